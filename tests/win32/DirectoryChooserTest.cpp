#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/DirectoryChooser.h"
#include "classlib/Exceptions.h"
#include "classlib/FileSystem.h"
#include "classlib/Win32Text.h"
#include "tests/support/OwnWindows.h"
#include "tests/support/TestFiles.h"

namespace {

using testfiles::TempFolder;

const std::wstring ChooserCaption = ToWide("ディレクトリの選択");
// The prompt for a folder that does not exist yet.
const std::wstring ConfirmCaption = ToWide("確認");
constexpr int NameField = 100;
constexpr int HelpButton = 105;

using ownwindows::BoxText;
using ownwindows::Press;
using ownwindows::Text;
using User = ownwindows::TUser;

HWND WaitWindow(const std::wstring& Caption, HWND Not = nullptr) {
    return ownwindows::Wait(Caption, Not);
}

// Types Name into the chooser's field and presses OK.
HWND TypeAndOk(const std::wstring& Name) {
    HWND chooser = WaitWindow(ChooserCaption);
    if (!chooser)
        return nullptr;
    SendMessageW(GetDlgItem(chooser, NameField), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(Name.c_str()));
    Press(chooser, IDOK);
    return chooser;
}

struct CurrentFolder {
    explicit CurrentFolder(const std::string& Path) {
        GetCurrentDirectoryW(MAX_PATH, Saved);
        SetCurrentDirectoryW(ToWide(Path).c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryW(Saved); }
    wchar_t Saved[MAX_PATH] = {};
};

TEST(SelectDirectory, StartsOnTheCurrentFolderAndReturnsTheFieldOnOk) {
    TempFolder dir("chooser");
    CurrentFolder cwd(dir.Path());
    std::wstring shown;
    std::string folder;
    bool ok = false;
    {
        User user([&] {
            HWND chooser = WaitWindow(ChooserCaption);
            ASSERT_NE(chooser, nullptr);
            shown = Text(GetDlgItem(chooser, NameField));
            Press(chooser, IDOK);
        });
        ok = SelectDirectory(folder, sdAllowCreate | sdPerformCreate | sdPrompt, 1000);
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(FromWide(shown), dir.Path());
    EXPECT_EQ(folder, dir.Path()) << "an existing folder needs no prompt";
}

TEST(SelectDirectory, ANewFolderIsCreatedWithItsParentsAfterYes) {
    TempFolder dir("chooser");
    const std::string target = dir.Path() + "\\新しい\\表示";
    std::wstring question;
    std::string folder;
    bool ok = false;
    {
        User user([&] {
            HWND chooser = TypeAndOk(ToWide(target));
            HWND box = WaitWindow(ConfirmCaption, chooser);
            ASSERT_NE(box, nullptr);
            question = BoxText(box);
            Press(box, IDYES);
        });
        ok = SelectDirectory(folder, sdAllowCreate | sdPerformCreate | sdPrompt, 1000);
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(folder, target);
    EXPECT_EQ(question, ToWide("指定されたディレクトリが存在しません。作成しますか？"));
    EXPECT_TRUE(DirectoryExists(target));
}

TEST(SelectDirectory, NoReturnsToTheChooserAndCancelChangesNothing) {
    TempFolder dir("chooser");
    const std::string target = dir.Path() + "\\absent";
    bool stillOpen = false;
    std::string folder;
    bool ok = true;
    {
        User user([&] {
            HWND chooser = TypeAndOk(ToWide(target));
            HWND box = WaitWindow(ConfirmCaption, chooser);
            ASSERT_NE(box, nullptr);
            Press(box, IDNO);
            // The box goes and the chooser is there to be cancelled.
            ownwindows::WaitGone(box);
            stillOpen = IsWindowVisible(chooser);
            Press(chooser, IDCANCEL);
        });
        ok = SelectDirectory(folder, sdAllowCreate | sdPerformCreate | sdPrompt, 1000);
    }
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(ok);
    EXPECT_EQ(folder, "");
    EXPECT_FALSE(DirectoryExists(target));
}

TEST(SelectDirectory, AnEmptyNameCannotBeCreated) {
    std::string folder;
    User user([&] {
        HWND chooser = TypeAndOk(L"");
        HWND box = WaitWindow(ConfirmCaption, chooser);
        ASSERT_NE(box, nullptr);
        Press(box, IDYES);
    });
    try {
        SelectDirectory(folder, sdAllowCreate | sdPerformCreate | sdPrompt, 1000);
        ADD_FAILURE() << "an empty name was accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "ディレクトリを作成できません");
    }
    EXPECT_EQ(folder, "");
}

TEST(SelectDirectory, HelpShowsNothingAndKeepsTheChooser) {
    bool helpShown = false, stillOpen = false;
    std::string folder;
    {
        User user([&] {
            HWND chooser = WaitWindow(ChooserCaption);
            ASSERT_NE(chooser, nullptr);
            HWND help = GetDlgItem(chooser, HelpButton);
            helpShown = IsWindowVisible(help);
            SendMessageW(help, BM_CLICK, 0, 0); // handled before SendMessage returns
            stillOpen = IsWindowVisible(chooser);
            Press(chooser, IDCANCEL);
        });
        EXPECT_FALSE(SelectDirectory(folder, sdAllowCreate | sdPerformCreate | sdPrompt, 1000));
    }
    EXPECT_TRUE(helpShown);
    EXPECT_TRUE(stillOpen);
}

} // namespace
