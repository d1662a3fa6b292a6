// TForm (a top-level window built from its layout resource), the published-name tables that bind
// a layout to a form class, TApplication with the global Application, TScreen with Screen, and the
// standard exception display. Win32 only.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <typeinfo>
#include <vector>

#include "classlib/Controls.h"
#include "classlib/Dialogs.h"

enum class TFormBorderStyle { bsSizeable, bsDialog };

// The names a layout may use for a form class: its published fields and its handlers.
template <class F>
struct TPublished {
    struct TField {
        const char* Name;
        void (*Bind)(F& Form, TComponent& Component);
    };
    struct THandler {
        const char* Name;
        void (F::*Method)(TObject* Sender);
    };
    std::span<const TField> Fields;
    std::span<const THandler> Handlers;
};

template <class M>
struct TFieldMember;
template <class F, class C>
struct TFieldMember<C * F::*> {
    using Form = F;
    using Control = C;
};

// One published field: PublishedField<&TForm1::Button1>("Button1").
template <auto Member>
constexpr typename TPublished<typename TFieldMember<decltype(Member)>::Form>::TField
PublishedField(const char* Name) {
    using Traits = TFieldMember<decltype(Member)>;
    return {Name, [](typename Traits::Form& Form, TComponent& Component) {
                auto* control = dynamic_cast<typename Traits::Control*>(&Component);
                if (!control)
                    throw Exception("レイアウトの " + Component.Name() + " の型が違います");
                Form.*Member = control;
            }};
}

class TForm : public TControl {
public:
    explicit TForm(TComponent* AOwner);
    ~TForm() override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;

    TFont& Font() { return FFont; }
    TColor Color() const { return FColor; }
    void SetColor(TColor Color);
    int ClientWidth() const;
    int ClientHeight() const;
    void SetClientWidth(int Width);
    void SetClientHeight(int Height);
    void SetBorderStyle(TFormBorderStyle Style);
    bool OldCreateOrder() const { return FOldCreateOrder; }

    // Showing runs OnShow before the window is on screen.
    void SetVisible(bool Visible) override;
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // The main form ends the application; a modal form ends its modal loop with mrCancel; any
    // other form is hidden.
    void Close();
    int ShowModal();
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int Result) { FModalResult = Result; }

    // Called by Application.CreateForm once the form object is complete: OnCreate for forms
    // whose layout says OldCreateOrder is false.
    void AfterConstruction();

    void SetProperty(const TLayoutProperty& Property) override;
    TNotifyEvent* EventSlot(const std::string& Name) override;

protected:
    // Reads the layout resource ResourceName into this form: its properties, its controls (by
    // class name, bound to the fields of Table by name) and its events (bound to the handlers
    // of Table). Then, with OldCreateOrder, OnCreate. Call it from the form class's constructor.
    template <class F>
    void LoadLayout(F& Self, const char* ResourceName, const TPublished<F>& Table);

    LRESULT WndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
    class TBinder {
    public:
        virtual void BindField(const std::string& Name, TComponent& Component) = 0;
        virtual TNotifyEvent Handler(const std::string& Name) = 0;

    protected:
        ~TBinder() = default;
    };
    void ReadLayout(const char* ResourceName, TBinder& Binder);
    void ApplyEvent(TComponent& Target, const TLayoutProperty& Property, TBinder& Binder);
    void DoCreate();
    void DoShow();
    void FontChanged();
    void ClickFocusedButton();
    HBRUSH BackgroundBrush();

    TFont FFont;
    TColor FColor = clBtnFace;
    TBrushHandle FBrush;
    bool FOldCreateOrder = false;
    bool FModal = false;
    int FModalResult = mrNone;
    HWND FFocused = nullptr;
};

template <class F>
void TForm::LoadLayout(F& Self, const char* ResourceName, const TPublished<F>& Table) {
    class TTableBinder final : public TBinder {
    public:
        TTableBinder(F& Form, const TPublished<F>& Published) : FForm(Form), FTable(Published) {}
        void BindField(const std::string& Name, TComponent& Component) override {
            for (const auto& f : FTable.Fields)
                if (Name == f.Name)
                    return f.Bind(FForm, Component);
            throw Exception("レイアウトの " + Name + " はフォームにありません");
        }
        TNotifyEvent Handler(const std::string& Name) override {
            for (const auto& h : FTable.Handlers)
                if (Name == h.Name)
                    return [form = &FForm, method = h.Method](TObject* Sender) {
                        (form->*method)(Sender);
                    };
            throw Exception("レイアウトのハンドラ " + Name + " はフォームにありません");
        }

    private:
        F& FForm;
        const TPublished<F>& FTable;
    } binder(Self, Table);
    ReadLayout(ResourceName, binder);
}

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    void Initialize();
    // Constructs a form owned by the application; the first one becomes the main form.
    template <class T>
    void CreateForm(T*& Reference) {
        auto form = std::make_unique<T>(this);
        Reference = form.get();
        if (!FMainForm)
            FMainForm = form.get();
        InsertComponent(std::move(form)).AfterConstruction();
    }
    // Shows the main form and handles messages until the application is told to end.
    void Run();
    // Handles every message waiting in the thread's queue, then returns.
    void ProcessMessages();
    void Terminate();
    bool Terminated() const { return FTerminated; }

    // A system message box owned by the application's window, with the program's other windows
    // disabled while it is up.
    int MessageBox(const std::string& Text, const std::string& Caption, unsigned Flags);
    // The standard exception display: error icon, one OK, the title as caption, the message
    // with "." appended when its last character sorts above ".".
    void ShowException(const Exception& E);

    // The executable's file name up to its first dot, lower-cased after its first character.
    const std::string& Title();
    TForm* MainForm() const { return FMainForm; }
    // The hidden window that owns the forms and carries the taskbar button.
    HWND Handle();

    // One message from the queue, waiting for it; false once the application is to end.
    bool HandleMessage();

private:
    void Dispatch(MSG& Msg);
    static LRESULT CALLBACK AppWndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);

    TForm* FMainForm = nullptr;
    bool FTerminated = false;
    std::string FTitle;
    TWindowHandle FHandle;
};

class TScreen {
public:
    // The primary display's size in pixels.
    int Width() const;
    int Height() const;
};

extern TApplication* Application;
extern TScreen* Screen;

// Shows the exception being handled through Application's standard display. Call it only from
// a catch block; it lets nothing out, so window procedures can end with it.
void HandleException() noexcept;

// The message of E ready for the standard display: "." appended when its last character (a
// double-byte one counts by its lead byte) sorts above ".".
std::string ExceptionDisplayText(const std::string& Message);
