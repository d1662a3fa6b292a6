// TObject, TComponent (owner of components, named), TControl (one window, its bounds, caption
// and state) and the controls the layouts create: TButton, TLabel, TImage. Win32 only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Graphics.h"
#include "classlib/Handles.h"
#include "classlib/Layout.h"

class TObject {
public:
    TObject() = default;
    virtual ~TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
};

// An event handler: the sender, no result.
using TNotifyEvent = std::function<void(TObject* Sender)>;

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* AOwner) : FOwner(AOwner) {}
    ~TComponent() override { DestroyComponents(); }

    TComponent* Owner() const { return FOwner; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Name) { FName = Name; }

    // Takes ownership; components are destroyed in reverse order of insertion.
    template <class T>
    T& InsertComponent(std::unique_ptr<T> Component) {
        T& ref = *Component;
        FComponents.push_back(std::move(Component));
        return ref;
    }
    const std::vector<std::unique_ptr<TComponent>>& Components() const { return FComponents; }

    // Applies one property read from a layout. Throws ELayoutError for a property the class does
    // not have or a value of the wrong kind.
    virtual void SetProperty(const TLayoutProperty& Property);
    // The event slot a layout binds by name ("OnClick"), or null.
    virtual TNotifyEvent* EventSlot(const std::string& Name);

protected:
    void DestroyComponents();

private:
    TComponent* FOwner;
    std::string FName;
    std::vector<std::unique_ptr<TComponent>> FComponents;
};

// Value conversions for SetProperty; each throws ELayoutError naming the line.
int LayoutInteger(const TLayoutProperty& Property);
std::string LayoutString(const TLayoutProperty& Property);
bool LayoutBoolean(const TLayoutProperty& Property);
TColor LayoutColor(const TLayoutProperty& Property);

class TControl : public TComponent {
public:
    ~TControl() override;

    HWND Handle() const { return FHandle.Get(); }
    TControl* Parent() const { return FParent; }

    // Top-level windows: the outer rectangle in screen pixels. Children: the window's rectangle
    // in the parent's client area.
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int Left);
    void SetTop(int Top);
    void SetWidth(int Width);
    void SetHeight(int Height);
    void SetBounds(int Left, int Top, int Width, int Height);

    std::string Caption() const;
    void SetCaption(const std::string& Caption);
    bool Enabled() const;
    void SetEnabled(bool Enabled);
    bool Visible() const;
    virtual void SetVisible(bool Visible);
    int TabOrder() const { return FTabOrder; }

    TNotifyEvent OnClick;
    virtual void Click();

    void SetProperty(const TLayoutProperty& Property) override;
    TNotifyEvent* EventSlot(const std::string& Name) override;

    // The object behind one of our windows or controls, or null.
    static TControl* FromHandle(HWND Window);
    // The window procedure of every window class the class library registers: it reaches the
    // object and lets no exception out.
    static LRESULT CALLBACK StandardWndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);

protected:
    TControl(TComponent* AOwner, TControl* AParent) : TComponent(AOwner), FParent(AParent) {}
    // Creates the window; our own window classes reach WndProc through the window data, system
    // classes carry the pointer all the same so their parent can find them.
    void CreateHandle(const wchar_t* ClassName, DWORD Style, DWORD ExStyle, HWND ParentWindow);
    virtual LRESULT WndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);

private:
    RECT BoundsRect() const;

    TControl* FParent;
    TWindowHandle FHandle;
    int FTabOrder = -1;
};

class TButton : public TControl {
public:
    TButton(TComponent* AOwner, TControl& AParent);
    void SetProperty(const TLayoutProperty& Property) override;
};

// A single-line label, sized to its text in its font (the layout's size is where it starts).
class TLabel : public TControl {
public:
    TLabel(TComponent* AOwner, TControl& AParent);
    // Fits the label to its text; its form calls it whenever the font changes.
    void AdjustBounds();
};

// An image control. Without a picture, the first use of Canvas creates a bitmap of the control's
// size; the control paints itself from it, so what is drawn stays.
class TImage : public TControl {
public:
    TImage(TComponent* AOwner, TControl& AParent);
    TCanvas& Canvas();

protected:
    LRESULT WndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
    std::unique_ptr<TBitmap> FBitmap;
};

// Creates a control of a class a layout names ("TButton"); null for an unknown class.
std::unique_ptr<TControl> CreateControl(const std::string& ClassName, TComponent* Owner,
                                        TControl& Parent);

// The module the class library's windows and resources belong to: the program's own.
HINSTANCE MainInstance();
