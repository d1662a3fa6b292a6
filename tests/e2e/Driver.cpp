#include "tests/e2e/Driver.h"
#include "tests/support/OwnWindows.h"

#include <cstring>
#include <stdexcept>

#include "classlib/Win32Text.h"

namespace e2e {

const char* const GameFiles[4] = {"KALDOREN.EXE", "mg_data.mbl", "mg_data2.mbl", "mg_gra3.mbl"};

std::wstring Wide(const std::string& ShiftJis) {
    return ToWide(ShiftJis);
}

Bytes NewFile(const std::string& Name) {
    return testfiles::ReadAll(testfiles::HostPath(STANDIN_DIR) + "\\" + Name);
}
Bytes OldFile(const std::string& Name) {
    return testfiles::ReadAll(testfiles::HostPath(OLD_GAME_DIR) + "\\" + Name);
}

TGameFolder::TGameFolder(const std::string& Subfolder) : FRoot("e2e"), FPath(FRoot.Path()) {
    if (!Subfolder.empty()) {
        FPath += "\\" + Subfolder;
        if (!CreateDirectoryW(ToWide(FPath).c_str(), nullptr))
            throw std::runtime_error("cannot create " + FPath);
    }
    for (const char* name : GameFiles)
        testfiles::WriteAll(File(name), OldFile(name));
}

bool TGameFolder::Holds(const std::string& Name, bool New) const {
    return testfiles::ReadAll(File(Name)) == (New ? NewFile(Name) : OldFile(Name));
}

namespace {
const wchar_t VendorKey[] = L"Software\\Pendravik";
const wchar_t RecordKey[] = L"Software\\Pendravik\\KALDOREN";

void SetRecord(DWORD Type, const void* Data, DWORD Size) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, RecordKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create the record's key");
    const LONG status =
        RegSetValueExW(key, L"GameDir", 0, Type, static_cast<const BYTE*>(Data), Size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        throw std::runtime_error("cannot write the record");
}
} // namespace

void ClearRecord() {
    RegDeleteTreeW(HKEY_CURRENT_USER, VendorKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, VendorKey);
}

void RecordGameDir(const std::string& ShiftJisText) {
    const std::wstring text = ToWide(ShiftJisText);
    SetRecord(REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void RecordGameDirAsNumber(DWORD Value) {
    SetRecord(REG_DWORD, &Value, sizeof(Value));
}

TUpdater::TUpdater() {
    std::wstring path = ToWide(testfiles::HostPath(UPDATER_EXE));
    std::wstring command = L"\"" + path + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    if (!CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &FInfo))
        throw std::runtime_error("cannot start the updater");
}

TUpdater::~TUpdater() {
    if (Running()) {
        TerminateProcess(FInfo.hProcess, 99);
        WaitForSingleObject(FInfo.hProcess, ExitTimeoutMs);
    }
    CloseHandle(FInfo.hThread);
    CloseHandle(FInfo.hProcess);
}

DWORD TUpdater::WaitExit(DWORD TimeoutMs) const {
    if (WaitForSingleObject(FInfo.hProcess, TimeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(FInfo.hProcess, &code);
    return code;
}

namespace {
struct TWindowQuery {
    DWORD ProcessId;
    std::vector<HWND> Found;
};

BOOL CALLBACK CollectWindow(HWND Window, LPARAM Query) {
    auto* q = reinterpret_cast<TWindowQuery*>(Query);
    DWORD pid = 0;
    GetWindowThreadProcessId(Window, &pid);
    if (pid == q->ProcessId && IsWindowVisible(Window))
        q->Found.push_back(Window);
    return TRUE;
}

std::wstring ClassOf(HWND Window) {
    wchar_t name[64] = {};
    GetClassNameW(Window, name, 64);
    return name;
}
} // namespace

std::vector<HWND> TUpdater::Windows() const {
    TWindowQuery q{FInfo.dwProcessId, {}};
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&q));
    return q.Found;
}

HWND TUpdater::WaitWindow(const wchar_t* ClassName, const std::wstring& Caption,
                          DWORD TimeoutMs) const {
    const ULONGLONG deadline = GetTickCount64() + TimeoutMs;
    for (;;) {
        for (HWND w : Windows())
            if (ClassOf(w) == ClassName && WindowText(w) == Caption)
                return w;
        // Windows appear without an event to wait on: poll, but wake at once if the process
        // ends.
        if (GetTickCount64() >= deadline ||
            WaitForSingleObject(FInfo.hProcess, 10) == WAIT_OBJECT_0)
            return nullptr;
    }
}

HWND TUpdater::WaitMainWindow() const {
    HWND w = WaitWindow(L"TForm", Wide("アップデーター"));
    if (w)
        Settle(w);
    return w;
}

HWND TUpdater::WaitMessageBox(const std::wstring& Caption, DWORD TimeoutMs) const {
    HWND w = WaitWindow(L"#32770", Caption, TimeoutMs);
    if (w)
        Settle(w);
    return w;
}

std::wstring WindowText(HWND Window) {
    return ownwindows::Text(Window);
}

void Settle(HWND Window) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(Window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    RedrawWindow(Window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    SendMessageTimeoutW(Window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
}

namespace {
struct TChildQuery {
    std::vector<HWND> Found;
};
BOOL CALLBACK CollectChild(HWND Window, LPARAM Query) {
    reinterpret_cast<TChildQuery*>(Query)->Found.push_back(Window);
    return TRUE;
}
std::vector<HWND> Children(HWND Parent) {
    TChildQuery q;
    EnumChildWindows(Parent, &CollectChild, reinterpret_cast<LPARAM>(&q));
    return q.Found;
}
} // namespace

TMessageBoxView ReadMessageBox(HWND Box) {
    TMessageBoxView view;
    for (HWND c : Children(Box)) {
        if (!IsWindowVisible(c))
            continue;
        const std::wstring cls = ClassOf(c);
        if (_wcsicmp(cls.c_str(), L"Static") == 0) {
            if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                view.HasIcon = view.HasIcon || SendMessageW(c, STM_GETICON, 0, 0) != 0;
            else if (!WindowText(c).empty())
                view.Text = WindowText(c);
        } else if (_wcsicmp(cls.c_str(), L"Button") == 0) {
            view.Buttons.push_back(WindowText(c));
        }
    }
    return view;
}

HWND FindChild(HWND Parent, const wchar_t* ClassName, const std::wstring& Caption) {
    for (HWND c : Children(Parent))
        if (_wcsicmp(ClassOf(c).c_str(), ClassName) == 0 &&
            (Caption.empty() || WindowText(c) == Caption))
            return c;
    return nullptr;
}

void Click(HWND Button) {
    ownwindows::Press(Button);
}

void PressButton(HWND Box, const std::wstring& Text) {
    HWND button = FindChild(Box, L"Button", Text);
    if (!button)
        throw std::runtime_error("no such button");
    Click(button);
}

RECT ScreenRect(HWND Window) {
    RECT r{};
    GetWindowRect(Window, &r);
    return r;
}

std::uint32_t ScreenPixel(int X, int Y) {
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, X, Y);
    ReleaseDC(nullptr, screen);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

namespace {
std::string ArtifactsFolder() {
    wchar_t root[MAX_PATH] = {};
    std::string folder;
    if (GetEnvironmentVariableW(L"WINE_ROOT", root, MAX_PATH)) {
        folder = testfiles::HostPath(FromWide(root)) + "\\artifacts";
    } else {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH, temp);
        folder = FromWide(temp) + "artifacts";
    }
    CreateDirectoryW(ToWide(folder).c_str(), nullptr);
    return folder;
}
} // namespace

std::string SaveScreenshot(HWND Window, const std::string& Name) {
    Settle(Window);
    const RECT r = ScreenRect(Window);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h; // bottom-up, as BMP files are
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    const DWORD rowBytes = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    const DWORD imageBytes = rowBytes * static_cast<DWORD>(h);
    bi.bmiHeader.biSizeImage = imageBytes;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();

    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
    fh.bfSize = fh.bfOffBits + imageBytes;
    Bytes file(fh.bfSize);
    std::memcpy(file.data(), &fh, sizeof(fh));
    std::memcpy(file.data() + sizeof(fh), &bi.bmiHeader, sizeof(bi.bmiHeader));
    std::memcpy(file.data() + fh.bfOffBits, bits, imageBytes);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);

    const std::string path =
        ArtifactsFolder() + "\\" + Name + "-cp" + std::to_string(GetACP()) + ".bmp";
    testfiles::WriteAll(path, file);
    return path;
}

} // namespace e2e
