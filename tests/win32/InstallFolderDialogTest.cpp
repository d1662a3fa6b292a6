// The install folder dialog on real windows: TForm1::Button4Click shows it modally on this
// thread while a second thread works it, and the chooser inside it, as a user would. The record
// is the real one in Wine's registry.
#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/Dialogs.h"
#include "classlib/FileSystem.h"
#include "classlib/Forms.h"
#include "classlib/Win32Text.h"
#include "install/InstallLocation.h"
#include "tests/e2e/Driver.h"
#include "tests/support/OwnWindows.h"
#include "tests/support/TestFiles.h"
#include "ui/Unit1.h"
#include "ui/Unit3.h"

namespace {

using namespace ownwindows;
using testfiles::TempFolder;

const std::wstring DialogCaption = ToWide("インストール先を指定してください");
const std::wstring ChooserCaption = ToWide("ディレクトリの選択");
// The prompt for a folder that does not exist yet.
const std::wstring ConfirmCaption = ToWide("確認");
const std::wstring ChooseButton = ToWide("インストール先の指定");
const std::wstring ExitCaption = ToWide("終了");
constexpr int ChooserNameField = 100;
// What the record holds before each case; the main window read it at creation.
const std::string Before = "C:\\before\\";

class InstallFolderDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // One application per process, as in the program: both forms, in their order.
        if (Form1)
            return;
        e2e::ClearRecord();
        WriteInstallLocation(Before);
        Application->Initialize();
        Application->CreateForm(Form1);
        Application->CreateForm(Form3);
    }
    static void TearDownTestSuite() { e2e::ClearRecord(); }
    void SetUp() override { WriteInstallLocation(Before); }

    // Button4Click on this thread, with the user's steps on another; the dialog's modal
    // result, taken from inside the loop when it closes.
    int ShowDialog(std::function<void()> Steps) {
        TUser user(std::move(Steps));
        Form1->Button4Click(nullptr);
        return Form3->ModalResult();
    }
};

// The chooser, opened from the dialog; Name typed and OK pressed. Returns the chooser.
HWND ChooseFolder(HWND Dialog, const std::string& Name) {
    Press(Child(Dialog, ChooseButton));
    HWND chooser = Wait(ChooserCaption);
    if (!chooser)
        return nullptr;
    const std::wstring wide = ToWide(Name);
    SendMessageW(GetDlgItem(chooser, ChooserNameField), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(wide.c_str()));
    Press(chooser, IDOK);
    return chooser;
}

// After the chooser has gone: whether the dialog is still up once Button2Click has finished.
bool StillOpenAfter(HWND Dialog, HWND Chooser) {
    WaitGone(Chooser);
    Sync(Dialog);
    return IsWindowVisible(Dialog);
}

struct TFolderCase {
    const char* What;
    bool DataFile;     // holds "mg_data.mbl"
    bool DataIsFolder; // "mg_data.mbl" is a folder
    bool Recorded;
};

const TFolderCase FolderCases[] = {
    {"holds the data file", true, false, true},
    {"lacks it", false, false, false},
    {"has a folder of that name", false, true, false},
};

TEST_F(InstallFolderDialog, RecordsOnlyAFolderThatHoldsTheDataFile) {
    for (const auto& c : FolderCases) {
        WriteInstallLocation(Before);
        TempFolder game("ゲーム表示");
        if (c.DataFile)
            testfiles::WriteAll(game.File("mg_data.mbl"), {1, 2, 3});
        if (c.DataIsFolder)
            CreateDirectoryW(ToWide(game.File("mg_data.mbl")).c_str(), nullptr);
        bool open = true;
        const int result = ShowDialog([&] {
            HWND dialog = Wait(DialogCaption);
            ASSERT_NE(dialog, nullptr);
            HWND chooser = ChooseFolder(dialog, game.Path());
            ASSERT_NE(chooser, nullptr);
            open = StillOpenAfter(dialog, chooser);
            if (open)
                Press(Child(dialog, ExitCaption));
        });
        EXPECT_EQ(result, mrCancel) << c.What;
        EXPECT_EQ(open, !c.Recorded) << c.What;
        EXPECT_EQ(ReadInstallLocation(), c.Recorded ? game.Path() + "\\" : Before) << c.What;
        // The running window keeps what it read at start.
        EXPECT_EQ(InstallDir, Before) << c.What;
    }
}

TEST_F(InstallFolderDialog, ANewFolderIsCreatedButNotRecorded) {
    TempFolder root("dialog");
    const std::string target = root.Path() + "\\a\\b";
    bool open = false;
    std::wstring question;
    ShowDialog([&] {
        HWND dialog = Wait(DialogCaption);
        ASSERT_NE(dialog, nullptr);
        HWND chooser = ChooseFolder(dialog, target);
        HWND box = Wait(ConfirmCaption, chooser);
        ASSERT_NE(box, nullptr);
        question = BoxText(box);
        Press(box, IDYES);
        open = StillOpenAfter(dialog, chooser);
        Press(Child(dialog, ExitCaption));
    });
    EXPECT_EQ(question, ToWide("指定されたディレクトリが存在しません。作成しますか？"));
    EXPECT_TRUE(open);
    EXPECT_TRUE(DirectoryExists(target));
    EXPECT_EQ(ReadInstallLocation(), Before);
}

TEST_F(InstallFolderDialog, TheFolderTextIsUsedAsTheChooserGaveIt) {
    // A relative name is tested against the current folder and stored relative; a name ending
    // in "\" gets a second one.
    TempFolder root("dialog");
    CreateDirectoryW(ToWide(root.File("sub")).c_str(), nullptr);
    testfiles::WriteAll(root.File("sub\\mg_data.mbl"), {1});
    wchar_t saved[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, saved);
    SetCurrentDirectoryW(ToWide(root.Path()).c_str());
    for (const std::string typed : {"sub", "sub\\"}) {
        ShowDialog([&] {
            HWND dialog = Wait(DialogCaption);
            ASSERT_NE(dialog, nullptr);
            HWND chooser = ChooseFolder(dialog, typed);
            if (StillOpenAfter(dialog, chooser))
                Press(Child(dialog, ExitCaption));
        });
        EXPECT_EQ(ReadInstallLocation(), typed + "\\");
    }
    SetCurrentDirectoryW(saved);
}

enum class CloseRoute { ExitButton, AltF4, CloseBox, CancelledChooser };

TEST_F(InstallFolderDialog, EveryWayOutLeavesTheRecordAlone) {
    for (const auto route : {CloseRoute::ExitButton, CloseRoute::AltF4, CloseRoute::CloseBox,
                             CloseRoute::CancelledChooser}) {
        const int result = ShowDialog([&] {
            HWND dialog = Wait(DialogCaption);
            ASSERT_NE(dialog, nullptr);
            switch (route) {
            case CloseRoute::ExitButton:
                Press(Child(dialog, ExitCaption));
                break;
            case CloseRoute::AltF4:
                // Bit 29: Alt held, as the keyboard sends it.
                PostMessageW(dialog, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));
                break;
            case CloseRoute::CloseBox:
                PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
            case CloseRoute::CancelledChooser: {
                Press(Child(dialog, ChooseButton));
                HWND chooser = Wait(ChooserCaption);
                ASSERT_NE(chooser, nullptr);
                Press(chooser, IDCANCEL);
                EXPECT_TRUE(StillOpenAfter(dialog, chooser));
                Press(Child(dialog, ExitCaption));
                break;
            }
            }
        });
        EXPECT_EQ(result, mrCancel);
        EXPECT_EQ(ReadInstallLocation(), Before);
    }
}

TEST_F(InstallFolderDialog, EachShowingIsCentredAndTheChooserStartsAfresh) {
    TempFolder root("dialog");
    wchar_t saved[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, saved);
    SetCurrentDirectoryW(ToWide(root.Path()).c_str());
    for (int showing = 0; showing < 2; ++showing) {
        RECT r{};
        std::wstring field;
        HWND focused = nullptr, choose = nullptr;
        bool escapeKeptIt = false;
        ShowDialog([&] {
            HWND dialog = Wait(DialogCaption);
            ASSERT_NE(dialog, nullptr);
            Sync(dialog);
            GetWindowRect(dialog, &r);
            choose = Child(dialog, ChooseButton);
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
            focused = info.hwndFocus;
            // Neither button cancels: Esc does nothing.
            PostMessageW(focused, WM_KEYDOWN, VK_ESCAPE, 1);
            PostMessageW(focused, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0000001u));
            Sync(dialog);
            escapeKeptIt = IsWindowVisible(dialog);
            // Moved away, to be put back by the next showing.
            SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            Press(choose);
            HWND chooser = Wait(ChooserCaption);
            ASSERT_NE(chooser, nullptr);
            field = Text(GetDlgItem(chooser, ChooserNameField));
            Press(chooser, IDCANCEL);
            WaitGone(chooser);
            Press(Child(dialog, ExitCaption));
        });
        const int w = r.right - r.left, h = r.bottom - r.top;
        EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - w) / 2) << "showing " << showing;
        EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - h) / 2) << "showing " << showing;
        EXPECT_EQ(focused, choose) << "the first button in the tab order has the focus, not "
                                   << FromWide(Text(focused)) << " showing " << showing;
        EXPECT_TRUE(escapeKeptIt);
        EXPECT_EQ(FromWide(field), root.Path()) << "the chooser opens on the current folder";
    }
    SetCurrentDirectoryW(saved);
}

TEST_F(InstallFolderDialog, TheNextStartUpdatesTheRecordedFolder) {
    e2e::TGameFolder game("記録表");
    ShowDialog([&] {
        HWND dialog = Wait(DialogCaption);
        ASSERT_NE(dialog, nullptr);
        HWND chooser = ChooseFolder(dialog, game.Path());
        if (StillOpenAfter(dialog, chooser))
            Press(Child(dialog, ExitCaption));
    });
    ASSERT_EQ(ReadInstallLocation(), game.Path() + "\\");

    e2e::TUpdater updater;
    HWND main = updater.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    e2e::Click(e2e::FindChild(main, L"Button", e2e::Wide("アップデート開始")));
    HWND done = updater.WaitMessageBox(e2e::Wide("情報"));
    ASSERT_NE(done, nullptr);
    e2e::PressButton(done, L"OK");
    EXPECT_EQ(updater.WaitExit(), 0u);
    for (const char* name : e2e::GameFiles)
        EXPECT_TRUE(game.Holds(name, true)) << name;
}

} // namespace
