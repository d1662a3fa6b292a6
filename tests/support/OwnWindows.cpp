#include "tests/support/OwnWindows.h"

namespace ownwindows {

namespace {

struct TSearch {
    std::wstring Caption;
    HWND Not;
    HWND Found;
};

BOOL CALLBACK MatchTopLevel(HWND h, LPARAM p) {
    auto& search = *reinterpret_cast<TSearch*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid == GetCurrentProcessId() && h != search.Not && IsWindowVisible(h) &&
        (search.Caption.empty() || search.Caption == Text(h))) {
        search.Found = h;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK MatchChild(HWND h, LPARAM p) {
    auto& search = *reinterpret_cast<TSearch*>(p);
    if (Text(h) == search.Caption) {
        search.Found = h;
        return FALSE;
    }
    return TRUE;
}

// Windows come and go with no event to wait on: look in short steps, up to 10 s.
constexpr int Steps = 500;
constexpr DWORD StepMs = 20;

} // namespace

HWND Wait(const std::wstring& Caption, HWND Not) {
    TSearch search{Caption, Not, nullptr};
    for (int i = 0; i < Steps && !search.Found; ++i) {
        EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
        if (!search.Found)
            Sleep(StepMs);
    }
    return search.Found;
}

bool WaitGone(HWND Window) {
    for (int i = 0; i < Steps; ++i) {
        if (!IsWindow(Window) || !IsWindowVisible(Window))
            return true;
        Sleep(StepMs);
    }
    return false;
}

std::wstring Text(HWND Window) {
    wchar_t buf[1024] = {};
    GetWindowTextW(Window, buf, 1024);
    return buf;
}

HWND Child(HWND Parent, const std::wstring& Text_) {
    TSearch search{Text_, nullptr, nullptr};
    EnumChildWindows(Parent, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

std::wstring BoxText(HWND Box) {
    std::wstring text;
    for (HWND c = GetWindow(Box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[32] = {};
        GetClassNameW(c, cls, 32);
        if (std::wstring(cls) == L"Static" && !Text(c).empty())
            text = Text(c);
    }
    return text;
}

void Press(HWND Button) {
    PostMessageW(Button, BM_CLICK, 0, 0);
}
void Press(HWND Dialog, int Id) {
    Press(GetDlgItem(Dialog, Id));
}

void Sync(HWND Window) {
    SendMessageW(Window, WM_NULL, 0, 0);
}

TUser::TUser(std::function<void()> Steps)
    : FDone(CreateEventW(nullptr, TRUE, FALSE, nullptr)), FThread([this, Steps] {
          Steps();
          SetEvent(FDone);
      }) {}

TUser::~TUser() {
    while (MsgWaitForMultipleObjects(1, &FDone, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    FThread.join();
    CloseHandle(FDone);
}

} // namespace ownwindows
