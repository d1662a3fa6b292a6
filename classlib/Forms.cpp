#include "classlib/Forms.h"

#include <new>
#include <stdexcept>

#include "classlib/ShiftJis.h"
#include "classlib/Win32Text.h"

namespace {

const wchar_t FormClassName[] = L"TForm";
const wchar_t ApplicationClassName[] = L"TApplication";

HICON MainIcon() {
    static const HICON icon = [] {
        HICON found = LoadIconW(MainInstance(), L"MAINICON");
        return found ? found : LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    }();
    return icon;
}

void RegisterWindowClass(const wchar_t* Name, WNDPROC Proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = Proc;
    wc.hInstance = MainInstance();
    wc.hIcon = MainIcon();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = Name;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw Exception("ウィンドウクラスを登録できません");
}

// Disables the thread's visible, enabled windows other than Except for its lifetime, as a modal
// loop needs: the user can reach nothing but the modal window.
class TDisabledTaskWindows {
public:
    explicit TDisabledTaskWindows(HWND Except) : FExcept(Except) {
        EnumThreadWindows(GetCurrentThreadId(), &Collect, reinterpret_cast<LPARAM>(this));
        for (HWND w : FWindows)
            EnableWindow(w, FALSE);
    }
    ~TDisabledTaskWindows() {
        for (HWND w : FWindows)
            if (IsWindow(w))
                EnableWindow(w, TRUE);
    }
    TDisabledTaskWindows(const TDisabledTaskWindows&) = delete;
    TDisabledTaskWindows& operator=(const TDisabledTaskWindows&) = delete;

private:
    static BOOL CALLBACK Collect(HWND Window, LPARAM Self) {
        auto* self = reinterpret_cast<TDisabledTaskWindows*>(Self);
        if (Window != self->FExcept && IsWindowVisible(Window) && IsWindowEnabled(Window))
            self->FWindows.push_back(Window);
        return TRUE;
    }

    HWND FExcept;
    std::vector<HWND> FWindows;
};

// The component of Owner whose window is Window: only our own objects are ever looked up, never
// window data of a window someone else created.
template <class T>
T* FindComponentByHandle(const TComponent& Owner, HWND Window) {
    if (!Window)
        return nullptr;
    for (const auto& c : Owner.Components())
        if (auto* t = dynamic_cast<T*>(c.get()); t && t->Handle() == Window)
            return t;
    return nullptr;
}

TApplication TheApplication;
TScreen TheScreen;

} // namespace

TApplication* Application = &TheApplication;
TScreen* Screen = &TheScreen;

std::string ExceptionDisplayText(const std::string& Message) {
    if (Message.empty())
        return Message;
    std::size_t last = 0;
    for (std::size_t i = 0; i < Message.size();) {
        last = i;
        const bool pair =
            IsLeadByte(static_cast<unsigned char>(Message[i])) && i + 1 < Message.size();
        i += pair ? 2u : 1u;
    }
    if (static_cast<unsigned char>(Message[last]) > '.')
        return Message + ".";
    return Message;
}

void HandleException() noexcept {
    try {
        try {
            throw;
        } catch (const Exception& e) {
            Application->ShowException(e);
        } catch (const std::bad_alloc&) {
            Application->ShowException(EOutOfMemory());
        } catch (const std::exception& e) {
            Application->ShowException(Exception(e.what()));
        } catch (...) {
            Application->ShowException(Exception("不明な例外が発生しました"));
        }
    } catch (...) {
        // The display itself failed, for want of memory: there is nothing left to show it with.
    }
}

int TScreen::Width() const {
    return GetSystemMetrics(SM_CXSCREEN);
}
int TScreen::Height() const {
    return GetSystemMetrics(SM_CYSCREEN);
}

TForm::TForm(TComponent* AOwner) : TControl(AOwner, nullptr) {
    static const bool registered = (RegisterWindowClass(FormClassName, &StandardWndProc), true);
    (void)registered;
    CreateHandle(FormClassName, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, Application->Handle());
    FFont.OnChange = [this] { FontChanged(); };
}

TForm::~TForm() {
    FFont.OnChange = nullptr;
    DestroyComponents();
}

void TForm::ReadLayout(const char* ResourceName, TBinder& Binder) {
    const std::wstring name = ToWide(ResourceName);
    HRSRC res = FindResourceW(MainInstance(), name.c_str(), MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = res ? LoadResource(MainInstance(), res) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        throw EResNotFound(ResourceName);
    const TLayoutObject root = ParseLayout(
        std::string_view(static_cast<const char*>(data), SizeofResource(MainInstance(), res)));

    SetName(root.Name);
    for (const auto& p : root.Properties) {
        if (EventSlot(p.Name))
            ApplyEvent(*this, p, Binder);
        else
            SetProperty(p);
    }
    for (const auto& child : root.Children) {
        auto created = CreateControl(child.ClassName, this, *this);
        if (!created)
            throw ELayoutError(child.Line, "クラス " + child.ClassName + " はありません");
        if (!child.Children.empty())
            throw ELayoutError(child.Children.front().Line, "コントロールの入れ子は使えません");
        TControl& control = InsertComponent(std::move(created));
        control.SetName(child.Name);
        for (const auto& p : child.Properties) {
            if (control.EventSlot(p.Name))
                ApplyEvent(control, p, Binder);
            else
                control.SetProperty(p);
        }
        Binder.BindField(child.Name, control);
    }
    FontChanged();
    if (FOldCreateOrder)
        DoCreate();
}

void TForm::ApplyEvent(TComponent& Target, const TLayoutProperty& Property, TBinder& Binder) {
    if (Property.Value.Kind != TLayoutValue::TKind::Identifier)
        throw ELayoutError(Property.Line, Property.Name + " にはハンドラ名が必要です");
    *Target.EventSlot(Property.Name) = Binder.Handler(Property.Value.Text);
}

void TForm::AfterConstruction() {
    if (!FOldCreateOrder)
        DoCreate();
}

// Handler exceptions stop at the class library: the display shows them and construction or
// showing goes on.
void TForm::DoCreate() {
    if (!OnCreate)
        return;
    try {
        OnCreate(this);
    } catch (...) {
        HandleException();
    }
}

void TForm::DoShow() {
    if (!OnShow)
        return;
    try {
        OnShow(this);
    } catch (...) {
        HandleException();
    }
}

void TForm::FontChanged() {
    const WPARAM font = reinterpret_cast<WPARAM>(FFont.Handle());
    for (const auto& c : Components())
        if (auto* control = dynamic_cast<TControl*>(c.get())) {
            SendMessageW(control->Handle(), WM_SETFONT, font, TRUE);
            if (auto* label = dynamic_cast<TLabel*>(control))
                label->AdjustBounds();
        }
}

void TForm::SetColor(TColor Color) {
    FColor = Color;
    FBrush.Reset();
    InvalidateRect(Handle(), nullptr, TRUE);
}

HBRUSH TForm::BackgroundBrush() {
    if (!FBrush) {
        FBrush.Reset(CreateSolidBrush(ColorToRGB(FColor)));
        if (!FBrush)
            throw EOutOfMemory();
    }
    return FBrush.Get();
}

int TForm::ClientWidth() const {
    RECT r{};
    GetClientRect(Handle(), &r);
    return r.right;
}
int TForm::ClientHeight() const {
    RECT r{};
    GetClientRect(Handle(), &r);
    return r.bottom;
}
// The frame is whatever the window has now: set the border style first.
void TForm::SetClientWidth(int Width) {
    SetWidth(this->Width() - ClientWidth() + Width);
}
void TForm::SetClientHeight(int Height) {
    SetHeight(this->Height() - ClientHeight() + Height);
}

void TForm::SetBorderStyle(TFormBorderStyle Style) {
    const LONG visible = GetWindowLongW(Handle(), GWL_STYLE) & WS_VISIBLE;
    LONG style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    LONG exStyle = WS_EX_WINDOWEDGE;
    if (Style == TFormBorderStyle::bsDialog) {
        style =
            static_cast<LONG>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPCHILDREN);
        exStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
    }
    SetWindowLongW(Handle(), GWL_STYLE, style | visible);
    SetWindowLongW(Handle(), GWL_EXSTYLE, exStyle);
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::SetVisible(bool Visible) {
    if (Visible == this->Visible())
        return;
    if (!Visible) {
        ShowWindow(Handle(), SW_HIDE);
        // Each showing starts on the first control of the tab order, whatever the last one
        // left focused.
        FFocused = nullptr;
        return;
    }
    DoShow();
    if (Application->MainForm() == this)
        ShowWindow(Application->Handle(), SW_SHOWNA); // the taskbar button
    ShowWindow(Handle(), SW_SHOWNORMAL);
}

void TForm::Close() {
    if (FModal)
        FModalResult = mrCancel;
    else if (Application->MainForm() == this)
        Application->Terminate();
    else
        Hide();
}

int TForm::ShowModal() {
    if (FModal || Visible())
        throw Exception("表示中のウィンドウはモーダルにできません");
    const HWND active = GetActiveWindow();
    struct TModalScope {
        TForm& Form;
        explicit TModalScope(TForm& F) : Form(F) { Form.FModal = true; }
        ~TModalScope() {
            Form.FModal = false;
            Form.Hide();
        }
    };
    int result = mrNone;
    {
        TDisabledTaskWindows disabled(Handle());
        TModalScope scope(*this);
        FModalResult = mrNone;
        Show();
        while (FModalResult == mrNone)
            if (!Application->HandleMessage()) {
                FModalResult = mrCancel;
                PostQuitMessage(0); // the ending belongs to the main loop as well
            }
        result = FModalResult;
    }
    if (active && IsWindow(active))
        SetActiveWindow(active);
    return result;
}

void TForm::ClickFocusedButton() {
    if (auto* button = FindComponentByHandle<TButton>(*this, GetFocus());
        button && button->Enabled())
        button->Click();
}

LRESULT TForm::WndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
    switch (Msg) {
    case WM_ERASEBKGND: {
        RECT r{};
        GetClientRect(Window, &r);
        FillRect(reinterpret_cast<HDC>(WParam), &r, BackgroundBrush());
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        const auto dc = reinterpret_cast<HDC>(WParam);
        SetTextColor(dc, ColorToRGB(FFont.Color()));
        SetBkColor(dc, ColorToRGB(FColor));
        return reinterpret_cast<LRESULT>(BackgroundBrush());
    }
    case WM_COMMAND: {
        const auto control = reinterpret_cast<HWND>(LParam);
        if (control && HIWORD(WParam) == BN_CLICKED) {
            if (auto* c = FindComponentByHandle<TControl>(*this, control))
                c->Click();
            return 0;
        }
        // Enter, as the dialog manager reports it: the focused button is pressed.
        if (!control && LOWORD(WParam) == IDOK) {
            ClickFocusedButton();
            return 0;
        }
        break;
    }
    case WM_CLOSE:
        Close();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(WParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(Window, focus))
                FFocused = focus;
        } else if (!HIWORD(WParam)) {
            HWND target = FFocused && IsChild(Window, FFocused)
                              ? FFocused
                              : GetNextDlgTabItem(Window, nullptr, FALSE);
            SetFocus(target ? target : Window);
        }
        return 0;
    default:
        break;
    }
    return TControl::WndProc(Window, Msg, WParam, LParam);
}

void TForm::SetProperty(const TLayoutProperty& Property) {
    const std::string& n = Property.Name;
    const TLayoutValue& v = Property.Value;
    if (n == "Color") {
        SetColor(LayoutColor(Property));
    } else if (n == "Font.Color") {
        FFont.SetColor(LayoutColor(Property));
    } else if (n == "Font.Height") {
        FFont.SetHeight(LayoutInteger(Property));
    } else if (n == "Font.Name") {
        FFont.SetName(LayoutString(Property));
    } else if (n == "Font.Charset") {
        std::uint8_t charset = 0;
        if (v.Kind == TLayoutValue::TKind::Integer && v.Integer >= 0 && v.Integer <= 255)
            charset = static_cast<std::uint8_t>(v.Integer);
        else if (v.Kind != TLayoutValue::TKind::Identifier || !IdentToCharset(v.Text, charset))
            throw ELayoutError(Property.Line, "文字セット " + v.Text + " はありません");
        FFont.SetCharset(charset);
    } else if (n == "Font.Style") {
        if (v.Kind != TLayoutValue::TKind::Set)
            throw ELayoutError(Property.Line, "Font.Style には集合が必要です");
        TFontStyles style = 0;
        for (const auto& item : v.Items) {
            if (item == "fsBold")
                style |= fsBold;
            else if (item == "fsItalic")
                style |= fsItalic;
            else if (item == "fsUnderline")
                style |= fsUnderline;
            else if (item == "fsStrikeOut")
                style |= fsStrikeOut;
            else
                throw ELayoutError(Property.Line, "フォントスタイル " + item + " はありません");
        }
        FFont.SetStyle(style);
    } else if (n == "OldCreateOrder") {
        FOldCreateOrder = LayoutBoolean(Property);
    } else if (n == "Scaled") {
        // Layouts are applied in pixels exactly as written; scaling is never done.
        if (LayoutBoolean(Property))
            throw ELayoutError(Property.Line, "Scaled = True は使えません");
    } else if (n == "PixelsPerInch" || n == "TextHeight") {
        LayoutInteger(Property); // design metrics: they only matter to scaling
    } else if (n == "BorderStyle") {
        if (v.Kind == TLayoutValue::TKind::Identifier && v.Text == "bsSizeable")
            SetBorderStyle(TFormBorderStyle::bsSizeable);
        else if (v.Kind == TLayoutValue::TKind::Identifier && v.Text == "bsDialog")
            SetBorderStyle(TFormBorderStyle::bsDialog);
        else
            throw ELayoutError(Property.Line, "境界線スタイル " + v.Text + " はありません");
    } else if (n == "ClientWidth") {
        SetClientWidth(LayoutInteger(Property));
    } else if (n == "ClientHeight") {
        SetClientHeight(LayoutInteger(Property));
    } else {
        TControl::SetProperty(Property);
    }
}

TNotifyEvent* TForm::EventSlot(const std::string& Name) {
    if (Name == "OnCreate")
        return &OnCreate;
    if (Name == "OnShow")
        return &OnShow;
    return TControl::EventSlot(Name);
}

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() {
    DestroyComponents();
    FHandle.Reset();
}

void TApplication::Initialize() {
    Handle();
}

const std::string& TApplication::Title() {
    if (FTitle.empty()) {
        std::wstring path(MAX_PATH, L'\0');
        for (;;) {
            const DWORD n =
                GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
            if (n < path.size()) {
                path.resize(n);
                break;
            }
            path.resize(path.size() * 2);
        }
        std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
        name = name.substr(0, name.find(L'.'));
        if (name.size() > 1)
            CharLowerBuffW(name.data() + 1, static_cast<DWORD>(name.size() - 1));
        FTitle = FromWide(name);
    }
    return FTitle;
}

HWND TApplication::Handle() {
    if (!FHandle) {
        static const bool registered =
            (RegisterWindowClass(ApplicationClassName, &AppWndProc), true);
        (void)registered;
        const std::wstring title = ToWide(Title());
        HWND window =
            CreateWindowExW(0, ApplicationClassName, title.c_str(),
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                            GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0,
                            0, nullptr, nullptr, MainInstance(), nullptr);
        if (!window)
            throw Exception("ウィンドウを作成できません");
        FHandle.Reset(window);
        SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(MainIcon()));
    }
    return FHandle.Get();
}

LRESULT CALLBACK TApplication::AppWndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
    try {
        switch (Msg) {
        case WM_GETMINMAXINFO: {
            // The window only carries the taskbar button: it keeps its size of nothing.
            auto* info = reinterpret_cast<MINMAXINFO*>(LParam);
            info->ptMinTrackSize = POINT{0, 0};
            return 0;
        }
        case WM_CLOSE:
            if (Application->MainForm())
                Application->MainForm()->Close();
            return 0;
        default:
            break;
        }
    } catch (...) {
        HandleException();
        return 0;
    }
    return DefWindowProcW(Window, Msg, WParam, LParam);
}

void TApplication::Dispatch(MSG& Msg) {
    const HWND root = Msg.hwnd ? GetAncestor(Msg.hwnd, GA_ROOT) : nullptr;
    // Tab, Enter and the arrow keys move between and press a form's controls.
    if (FindComponentByHandle<TForm>(*this, root) && IsDialogMessageW(root, &Msg))
        return;
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
}

bool TApplication::HandleMessage() {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        FTerminated = true;
        return false;
    }
    Dispatch(msg);
    return true;
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            FTerminated = true;
            break;
        }
        Dispatch(msg);
    }
}

void TApplication::Run() {
    if (FMainForm)
        FMainForm->Show();
    while (!FTerminated)
        HandleMessage();
}

void TApplication::Terminate() {
    PostQuitMessage(0);
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, unsigned Flags) {
    const std::wstring text = ToWide(Text);
    const std::wstring caption = ToWide(Caption);
    const HWND owner = Handle();
    const HWND active = GetActiveWindow();
    int result = 0;
    {
        TDisabledTaskWindows disabled(nullptr);
        result = ::MessageBoxW(owner, text.c_str(), caption.c_str(), Flags);
    }
    if (active && IsWindow(active))
        SetActiveWindow(active);
    return result;
}

void TApplication::ShowException(const Exception& E) {
    MessageBox(ExceptionDisplayText(E.Message()), Title(), MB_OK | MB_ICONSTOP);
}
