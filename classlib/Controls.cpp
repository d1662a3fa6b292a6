#include "classlib/Controls.h"

#include "classlib/Forms.h"
#include "classlib/Win32Text.h"

HINSTANCE MainInstance() {
    return GetModuleHandleW(nullptr);
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty())
        FComponents.pop_back();
}

void TComponent::SetProperty(const TLayoutProperty& Property) {
    throw ELayoutError(Property.Line, "プロパティ " + Property.Name + " はありません");
}

TNotifyEvent* TComponent::EventSlot(const std::string&) {
    return nullptr;
}

namespace {
[[noreturn]] void WrongKind(const TLayoutProperty& Property) {
    throw ELayoutError(Property.Line, "プロパティ " + Property.Name + " の値の種類が違います");
}
} // namespace

int LayoutInteger(const TLayoutProperty& Property) {
    if (Property.Value.Kind != TLayoutValue::TKind::Integer)
        WrongKind(Property);
    return Property.Value.Integer;
}

std::string LayoutString(const TLayoutProperty& Property) {
    if (Property.Value.Kind != TLayoutValue::TKind::String)
        WrongKind(Property);
    return Property.Value.Text;
}

bool LayoutBoolean(const TLayoutProperty& Property) {
    if (Property.Value.Kind == TLayoutValue::TKind::Identifier) {
        if (Property.Value.Text == "True")
            return true;
        if (Property.Value.Text == "False")
            return false;
    }
    WrongKind(Property);
}

TColor LayoutColor(const TLayoutProperty& Property) {
    TColor color = 0;
    if (Property.Value.Kind == TLayoutValue::TKind::Integer)
        return Property.Value.Integer;
    if (Property.Value.Kind == TLayoutValue::TKind::Identifier &&
        IdentToColor(Property.Value.Text, color))
        return color;
    WrongKind(Property);
}

TControl::~TControl() {
    // Children go first, while this window still exists to be their parent.
    DestroyComponents();
    FHandle.Reset();
}

TControl* TControl::FromHandle(HWND Window) {
    return reinterpret_cast<TControl*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
}

void TControl::CreateHandle(const wchar_t* ClassName, DWORD Style, DWORD ExStyle,
                            HWND ParentWindow) {
    // Child windows get identifiers from 100 up, clear of IDOK and IDCANCEL, which the dialog
    // manager sends for Enter and Esc.
    static int nextId = 100;
    HMENU id =
        (Style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId++)) : nullptr;
    HWND window = CreateWindowExW(ExStyle, ClassName, L"", Style, 0, 0, 0, 0, ParentWindow, id,
                                  MainInstance(), this);
    if (!window)
        throw Exception("ウィンドウを作成できません");
    FHandle.Reset(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LRESULT CALLBACK TControl::StandardWndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(LParam);
        SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    // Messages such as WM_GETMINMAXINFO come before WM_NCCREATE, and those of destruction after
    // the object has let go of the window: both find no object.
    TControl* self = FromHandle(Window);
    if (!self)
        return DefWindowProcW(Window, Msg, WParam, LParam);
    try {
        return self->WndProc(Window, Msg, WParam, LParam);
    } catch (...) {
        HandleException();
        return 0;
    }
}

LRESULT TControl::WndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
    return DefWindowProcW(Window, Msg, WParam, LParam);
}

RECT TControl::BoundsRect() const {
    RECT r{};
    GetWindowRect(Handle(), &r);
    if (GetWindowLongW(Handle(), GWL_STYLE) & WS_CHILD)
        MapWindowPoints(HWND_DESKTOP, GetParent(Handle()), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int TControl::Left() const {
    return BoundsRect().left;
}
int TControl::Top() const {
    return BoundsRect().top;
}
int TControl::Width() const {
    const RECT r = BoundsRect();
    return r.right - r.left;
}
int TControl::Height() const {
    const RECT r = BoundsRect();
    return r.bottom - r.top;
}

void TControl::SetBounds(int Left, int Top, int Width, int Height) {
    SetWindowPos(Handle(), nullptr, Left, Top, Width, Height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}
void TControl::SetLeft(int Left) {
    SetBounds(Left, Top(), Width(), Height());
}
void TControl::SetTop(int Top) {
    SetBounds(Left(), Top, Width(), Height());
}
void TControl::SetWidth(int Width) {
    SetBounds(Left(), Top(), Width, Height());
}
void TControl::SetHeight(int Height) {
    SetBounds(Left(), Top(), Width(), Height);
}

std::string TControl::Caption() const {
    const int n = GetWindowTextLengthW(Handle());
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(Handle(), text.data(), n + 1);
    return FromWide(text.data(), static_cast<std::size_t>(got));
}

void TControl::SetCaption(const std::string& Caption) {
    SetWindowTextW(Handle(), ToWide(Caption).c_str());
}

bool TControl::Enabled() const {
    return IsWindowEnabled(Handle()) != 0;
}

void TControl::SetEnabled(bool Enabled) {
    EnableWindow(Handle(), Enabled ? TRUE : FALSE);
}

bool TControl::Visible() const {
    return (GetWindowLongW(Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
}

void TControl::SetVisible(bool Visible) {
    ShowWindow(Handle(), Visible ? SW_SHOWNA : SW_HIDE);
}

void TControl::Click() {
    if (OnClick)
        OnClick(this);
}

void TControl::SetProperty(const TLayoutProperty& Property) {
    const std::string& n = Property.Name;
    if (n == "Left")
        SetLeft(LayoutInteger(Property));
    else if (n == "Top")
        SetTop(LayoutInteger(Property));
    else if (n == "Width")
        SetWidth(LayoutInteger(Property));
    else if (n == "Height")
        SetHeight(LayoutInteger(Property));
    else if (n == "Caption")
        SetCaption(LayoutString(Property));
    else if (n == "Enabled")
        SetEnabled(LayoutBoolean(Property));
    else if (n == "Visible")
        SetVisible(LayoutBoolean(Property));
    else if (n == "TabOrder")
        FTabOrder = LayoutInteger(Property);
    else
        TComponent::SetProperty(Property);
}

TNotifyEvent* TControl::EventSlot(const std::string& Name) {
    return Name == "OnClick" ? &OnClick : nullptr;
}

TButton::TButton(TComponent* AOwner, TControl& AParent) : TControl(AOwner, &AParent) {
    CreateHandle(L"BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
                 AParent.Handle());
}

void TButton::SetProperty(const TLayoutProperty& Property) {
    // Accepted for the layouts' sake; Enter and Esc are handled by the form.
    if (Property.Name == "Default" || Property.Name == "Cancel")
        LayoutBoolean(Property);
    else
        TControl::SetProperty(Property);
}

TLabel::TLabel(TComponent* AOwner, TControl& AParent) : TControl(AOwner, &AParent) {
    CreateHandle(L"STATIC", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, AParent.Handle());
}

void TLabel::AdjustBounds() {
    // The layout's widths are those of its design font; the face that stands in for it here may
    // be wider, and a label cut short loses the end of its sentence.
    const int length = GetWindowTextLengthW(Handle());
    if (length == 0)
        return;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(Handle(), text.data(), length + 1);
    HDC dc = GetDC(Handle());
    const auto font = reinterpret_cast<HFONT>(SendMessageW(Handle(), WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SIZE size{};
    const BOOL measured = GetTextExtentPoint32W(dc, text.c_str(), length, &size);
    if (old)
        SelectObject(dc, old);
    ReleaseDC(Handle(), dc);
    if (measured) {
        SetWidth(size.cx);
        SetHeight(size.cy);
    }
}

namespace {
const wchar_t ImageClassName[] = L"TImage";

void RegisterImageClass() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &TControl::StandardWndProc;
        wc.hInstance = MainInstance();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        wc.lpszClassName = ImageClassName;
        return RegisterClassExW(&wc) != 0;
    }();
    if (!registered)
        throw Exception("ウィンドウクラスを登録できません");
}
} // namespace

TImage::TImage(TComponent* AOwner, TControl& AParent) : TControl(AOwner, &AParent) {
    RegisterImageClass();
    CreateHandle(ImageClassName, WS_CHILD | WS_VISIBLE, 0, AParent.Handle());
}

TCanvas& TImage::Canvas() {
    if (!FBitmap) {
        FBitmap = std::make_unique<TBitmap>(Width(), Height());
        FBitmap->Canvas().OnChange = [this] { InvalidateRect(Handle(), nullptr, FALSE); };
    }
    return FBitmap->Canvas();
}

LRESULT TImage::WndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
    switch (Msg) {
    case WM_ERASEBKGND:
        if (FBitmap)
            return 1; // the bitmap covers it
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Window, &ps);
        if (FBitmap)
            FBitmap->Draw(dc, 0, 0);
        EndPaint(Window, &ps);
        return 0;
    }
    default:
        break;
    }
    return TControl::WndProc(Window, Msg, WParam, LParam);
}

std::unique_ptr<TControl> CreateControl(const std::string& ClassName, TComponent* Owner,
                                        TControl& Parent) {
    if (ClassName == "TButton")
        return std::make_unique<TButton>(Owner, Parent);
    if (ClassName == "TLabel")
        return std::make_unique<TLabel>(Owner, Parent);
    if (ClassName == "TImage")
        return std::make_unique<TImage>(Owner, Parent);
    return nullptr;
}
