// The forms side of the class library on real windows under Wine: layouts applied and bound by
// name, creation and show order, dispatch of clicks, the image canvas, modal loops, message
// dialogs and the standard exception display.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "classlib/Dialogs.h"
#include "classlib/Forms.h"
#include "classlib/Win32Text.h"

namespace {

class TTestForm : public TForm {
public:
    TTestForm(TComponent* AOwner, const char* Layout) : TForm(AOwner) {
        LoadLayout(*this, Layout, Published);
    }

    TImage* Image1 = nullptr;
    TLabel* Label1 = nullptr;
    TButton* Button1 = nullptr;
    void FormCreate(TObject*) {
        Events.push_back(Button1 ? "create with fields" : "create without fields");
    }
    void FormCreateThrows(TObject*) { throw Exception("作成に失敗"); }
    void FormShow(TObject*) {
        Events.push_back(IsWindowVisible(Handle()) ? "show when visible" : "show before visible");
    }
    void Button1Click(TObject* Sender) {
        Events.push_back(Sender == Button1 ? "click" : "click from elsewhere");
    }
    // Named by no layout.
    void Unbound(TObject*) { Events.push_back("unbound"); }

    std::vector<std::string> Events;

private:
    static constexpr TPublished<TTestForm>::TField Fields[] = {
        PublishedField<&TTestForm::Image1>("Image1"),
        PublishedField<&TTestForm::Label1>("Label1"),
        PublishedField<&TTestForm::Button1>("Button1"),
    };
    static constexpr TPublished<TTestForm>::THandler Handlers[] = {
        {"FormCreate", &TTestForm::FormCreate}, {"FormCreateThrows", &TTestForm::FormCreateThrows},
        {"FormShow", &TTestForm::FormShow},     {"Button1Click", &TTestForm::Button1Click},
        {"Unbound", &TTestForm::Unbound},
    };
    static constexpr TPublished<TTestForm> Published{Fields, Handlers};
};

RECT ClientBounds(HWND Child) {
    RECT r{};
    GetWindowRect(Child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(Child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring TextOf(HWND Window) {
    wchar_t text[512] = {};
    GetWindowTextW(Window, text, 512);
    return text;
}

// What a message box showed, read and answered from a second thread as a user would.
struct TBoxSeen {
    bool Found = false;
    std::wstring Text;
    bool HasIcon = false;
    std::vector<std::wstring> Buttons;
};

class TBoxAnswerer {
public:
    // Presses the box's button number Button (in the order the box lists them).
    TBoxAnswerer(std::wstring Caption, std::size_t Button = 0)
        : FThread([this, caption = std::move(Caption), Button] { Answer(caption, Button); }) {}
    ~TBoxAnswerer() {
        if (FThread.joinable())
            FThread.join();
    }
    TBoxAnswerer(const TBoxAnswerer&) = delete;
    TBoxAnswerer& operator=(const TBoxAnswerer&) = delete;

    const TBoxSeen& Seen() {
        FThread.join();
        return FSeen;
    }

private:
    void Answer(const std::wstring& Caption, std::size_t Button) {
        HWND box = nullptr;
        // The box appears with no event to wait on: poll, bounded.
        for (int i = 0; i < 2000 && !box; ++i) {
            box = FindWindowW(L"#32770", Caption.c_str());
            if (!box || !IsWindowVisible(box)) {
                box = nullptr;
                Sleep(5);
            }
        }
        if (!box)
            return;
        // Shown means initialised: its controls exist once it has handled this.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(box, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        FSeen.Found = true;
        std::vector<HWND> buttons;
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            if (!IsWindowVisible(c))
                continue;
            wchar_t cls[32] = {};
            GetClassNameW(c, cls, 32);
            if (_wcsicmp(cls, L"Button") == 0) {
                buttons.push_back(c);
                FSeen.Buttons.push_back(TextOf(c));
            } else if (_wcsicmp(cls, L"Static") == 0) {
                if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                    FSeen.HasIcon = SendMessageW(c, STM_GETICON, 0, 0) != 0;
                else if (!TextOf(c).empty())
                    FSeen.Text = TextOf(c);
            }
        }
        if (Button < buttons.size())
            PostMessageW(buttons[Button], BM_CLICK, 0, 0);
        else
            PostMessageW(box, WM_CLOSE, 0, 0);
    }

    TBoxSeen FSeen;
    std::thread FThread;
};

TEST(TForm, LayoutSetsEveryValueAndBindsFieldsAndHandlersByName) {
    TTestForm form(Application, "TESTFORM");
    EXPECT_EQ(form.Name(), "TestForm");
    EXPECT_EQ(form.Left(), 40);
    EXPECT_EQ(form.Top(), 30);
    EXPECT_EQ(form.Width(), 300);
    EXPECT_EQ(form.Height(), 200);
    EXPECT_EQ(form.Caption(), "テスト画面");
    EXPECT_EQ(TextOf(form.Handle()), ToWide("テスト画面"));
    EXPECT_EQ(form.Font().Name(), "ＭＳ Ｐゴシック");
    EXPECT_EQ(form.Font().Height(), -12);
    EXPECT_EQ(form.Font().Charset(), SHIFTJIS_CHARSET);
    EXPECT_TRUE(form.OldCreateOrder());
    EXPECT_FALSE(form.Visible());

    ASSERT_TRUE(form.Image1 && form.Label1 && form.Button1);
    struct {
        TControl* Control;
        RECT Expected;
        const char* Caption;
    } const controls[] = {
        {form.Image1, {8, 8, 72, 40}, ""},
        {form.Button1, {8, 80, 121, 113}, "ボタン"},
    };
    for (const auto& c : controls) {
        const RECT r = ClientBounds(c.Control->Handle());
        EXPECT_TRUE(EqualRect(&r, &c.Expected)) << c.Caption;
        EXPECT_EQ(c.Control->Caption(), c.Caption);
        EXPECT_EQ(GetParent(c.Control->Handle()), form.Handle());
    }
    // A label starts where the layout puts it and is as wide as its text in the form's font,
    // whatever the layout's width was measured in.
    {
        const RECT r = ClientBounds(form.Label1->Handle());
        EXPECT_EQ(r.left, 8);
        EXPECT_EQ(r.top, 48);
        EXPECT_EQ(form.Label1->Caption(), "ラベル表示");
        HDC dc = GetDC(form.Handle());
        HGDIOBJ old = SelectObject(dc, form.Font().Handle());
        SIZE text{};
        const std::wstring caption = ToWide("ラベル表示");
        GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
        SelectObject(dc, old);
        ReleaseDC(form.Handle(), dc);
        EXPECT_EQ(r.right - r.left, text.cx);
        EXPECT_EQ(r.bottom - r.top, text.cy);
    }
    // The controls take the form's font.
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(form.Button1->Handle(), WM_GETFONT, 0, 0)),
              form.Font().Handle());
    EXPECT_EQ(form.Button1->TabOrder(), 0);

    // OldCreateOrder: OnCreate fired inside construction, once the fields were bound.
    EXPECT_EQ(form.Events, std::vector<std::string>{"create with fields"});
}

TEST(TForm, ClicksReachTheBoundHandlerOnlyAndShowRunsBeforeTheWindowIsOnScreen) {
    TTestForm form(Application, "TESTFORM");
    form.Events.clear();
    SendMessageW(form.Button1->Handle(), BM_CLICK, 0, 0);
    form.Button1->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(form.Button1->Handle()));
    form.Show();
    EXPECT_TRUE(IsWindowVisible(form.Handle()));
    form.Hide();
    EXPECT_EQ(form.Events, (std::vector<std::string>{"click", "show before visible"}));
}

TEST(TForm, WithoutOldCreateOrderOnCreateWaitsForTheCompleteObject) {
    TTestForm form(Application, "NEWCREATEORDER");
    EXPECT_TRUE(form.Events.empty());
    form.AfterConstruction();
    EXPECT_EQ(form.Events, std::vector<std::string>{"create with fields"});
    // The dialog frame is set before the client size, which is then exact.
    EXPECT_EQ(form.ClientWidth(), 418);
    EXPECT_EQ(form.ClientHeight(), 122);
    EXPECT_FALSE(GetWindowLongW(form.Handle(), GWL_STYLE) & WS_THICKFRAME);
}

struct TBadLayout {
    const char* Resource;
    const char* MessagePart;
};

const TBadLayout BadLayouts[] = {
    {"UNKNOWNHANDLER", "Nope"},       {"UNKNOWNFIELD", "Button9"},  {"UNKNOWNCLASS", "TEdit"},
    {"UNKNOWNPROPERTY", "Colour"},    {"WRONGFIELDTYPE", "Image1"}, {"UNTERMINATED", "end"},
    {"NOSUCHLAYOUT", "NOSUCHLAYOUT"},
};

TEST(TForm, ALayoutNamingWhatTheClassLacksFailsConstruction) {
    for (const auto& bad : BadLayouts) {
        try {
            TTestForm form(Application, bad.Resource);
            ADD_FAILURE() << bad.Resource << " was accepted";
        } catch (const Exception& e) {
            EXPECT_NE(e.Message().find(bad.MessagePart), std::string::npos)
                << bad.Resource << ": " << e.Message();
        }
    }
}

TEST(TForm, AnExceptionFromOnCreateIsShownAndConstructionGoesOn) {
    TBoxAnswerer user(ToWide(Application->Title()));
    TTestForm form(Application, "THROWINGCREATE");
    const TBoxSeen& seen = user.Seen();
    ASSERT_TRUE(seen.Found) << "no exception display";
    EXPECT_EQ(seen.Text, ToWide("作成に失敗."));
    EXPECT_TRUE(seen.HasIcon);
    EXPECT_EQ(seen.Buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_TRUE(form.Button1);
}

TEST(TForm, CloseEndsAModalLoopWithCancelAndHidesTheForm) {
    TTestForm form(Application, "TESTFORM");
    PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(Application->Terminated());
}

TEST(TImage, CanvasDrawsOnABitmapOfTheControlsSizeThatStays) {
    TTestForm form(Application, "TESTFORM");
    TCanvas& canvas = form.Image1->Canvas();
    canvas.Brush().SetColor(0x0000FF); // red
    canvas.FillRect({0, 0, 64, 32});
    canvas.Brush().SetColor(0x00FF00);
    canvas.FillRect({0, 31, 64, 33}); // the last row, and one beyond the bitmap
    EXPECT_EQ(GetPixel(canvas.Handle(), 63, 30), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(canvas.Handle(), 0, 31), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(canvas.Handle(), 64, 0), CLR_INVALID) << "the bitmap is wider than 64";
    EXPECT_EQ(GetPixel(canvas.Handle(), 0, 32), CLR_INVALID) << "the bitmap is taller than 32";
    EXPECT_EQ(&form.Image1->Canvas(), &canvas);

    // On screen, after any repaint, the control shows what was drawn.
    form.Show();
    InvalidateRect(form.Image1->Handle(), nullptr, TRUE);
    UpdateWindow(form.Image1->Handle());
    HDC dc = GetDC(form.Image1->Handle());
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(255, 0, 0));
    ReleaseDC(form.Image1->Handle(), dc);
    form.Hide();
}

TEST(TCanvas, TextWithAClearBrushLeavesTheBackground) {
    TTestForm form(Application, "TESTFORM");
    TCanvas& canvas = form.Image1->Canvas();
    canvas.Brush().SetColor(0x000080);
    canvas.FillRect({0, 0, 64, 32});
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.Font().SetHeight(16);
    canvas.Font().SetColor(0xFFFFFF);
    canvas.TextOut(2, 2, "表示");
    int white = 0, background = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            const COLORREF p = GetPixel(canvas.Handle(), x, y);
            white += p == RGB(255, 255, 255);
            background += p == RGB(128, 0, 0);
        }
    EXPECT_GT(white, 20) << "no glyph was drawn";
    EXPECT_GT(background, 64 * 32 / 2) << "the text painted a background";
}

struct TDisplayCase {
    const char* Message;
    const char* Shown;
};

// "." is appended when the last character sorts above it: letters and double-byte characters
// (their lead byte is at least 0x81) do, "." itself and "!" or "-" do not.
const TDisplayCase DisplayCases[] = {
    {"", ""},
    {"Done.", "Done."},
    {"Failed", "Failed."},
    {"Failed!", "Failed!"},
    {"a-", "a-"},
    {"a/", "a/."},
    {"ファイル X を作成できません", "ファイル X を作成できません."},
    {"表", "表."},
};

TEST(ExceptionDisplay, AppendsAPeriodAfterACharacterThatSortsAboveIt) {
    for (const auto& c : DisplayCases)
        EXPECT_EQ(ExceptionDisplayText(c.Message), c.Shown) << c.Message;
}

TEST(Application, TitleIsTheExecutablesNameLowerCasedAfterItsFirstCharacter) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\/") + 1);
    name = name.substr(0, name.find(L'.'));
    EXPECT_EQ(ToWide(Application->Title()), name); // this test program is all lower case
    EXPECT_EQ(TextOf(Application->Handle()), name);
}

struct TDialogCase {
    TMsgDlgType Type;
    TMsgDlgButtons Buttons;
    const char* Caption;
    bool HasIcon;
    std::size_t ButtonCount;
    int FirstButtonResult;
};

const TDialogCase DialogCases[] = {
    {mtInformation, mbOK, "情報", true, 1, mrOk},
    {mtConfirmation, mbYes | mbNo, "確認", true, 2, mrYes},
    {mtWarning, mbOK | mbCancel, "警告", true, 2, mrOk},
    {mtError, mbOK, "エラー", true, 1, mrOk},
};

TEST(MessageDlg, CaptionIconAndButtonsFollowTheTypeAndTheSet) {
    EXPECT_EQ(TMsgDlgButtons(mbOK).Bits(), 0x0004);
    for (const auto& c : DialogCases) {
        TBoxAnswerer user(ToWide(c.Caption));
        const int result = MessageDlg("メッセージ", c.Type, c.Buttons, 0);
        const TBoxSeen& seen = user.Seen();
        ASSERT_TRUE(seen.Found) << c.Caption;
        EXPECT_EQ(seen.Text, ToWide("メッセージ"));
        EXPECT_EQ(seen.HasIcon, c.HasIcon) << c.Caption;
        EXPECT_EQ(seen.Buttons.size(), c.ButtonCount) << c.Caption;
        EXPECT_EQ(result, c.FirstButtonResult) << c.Caption;
    }
    EXPECT_THROW(MessageDlg("x", mtCustom, mbYesToAll, 0), Exception);
}

} // namespace
