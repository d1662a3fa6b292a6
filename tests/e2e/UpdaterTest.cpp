// The real updater.exe, worked as a user would: each case starts from its own game folder and
// registry record, then looks at windows, pixels, files and the exit code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/e2e/Driver.h"

namespace {

using namespace e2e;

const std::wstring OK = L"OK";

class Updater : public ::testing::Test {
protected:
    void SetUp() override { ClearRecord(); }
    void TearDown() override { ClearRecord(); }
};

std::vector<std::string> SortedGameFiles() {
    std::vector<std::string> names(std::begin(GameFiles), std::end(GameFiles));
    std::sort(names.begin(), names.end());
    return names;
}

// Each file holds exactly the old or the new content, and nothing else is in the folder.
void ExpectFiles(const TGameFolder& Game, std::initializer_list<bool> New) {
    auto isNew = New.begin();
    for (const char* name : GameFiles)
        EXPECT_TRUE(Game.Holds(name, *isNew++))
            << name << " should hold the " << (isNew[-1] ? "new" : "old") << " content";
    EXPECT_EQ(testfiles::List(Game.Path()), SortedGameFiles());
}

ULONGLONG LastWrite(const std::string& Path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(Wide(Path).c_str(), GetFileExInfoStandard, &data);
    return (ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

HWND StartButton(HWND Main) {
    return FindChild(Main, L"Button", Wide("アップデート開始"));
}
HWND ExitButton(HWND Main) {
    return FindChild(Main, L"Button", Wide("終了"));
}

// A child's rectangle in its parent's client area.
RECT ClientRect(HWND Child) {
    RECT r = ScreenRect(Child);
    MapWindowPoints(HWND_DESKTOP, GetParent(Child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The paint reaches the screen a moment after the window has painted: wait for a pixel known.
bool WaitPixel(int X, int Y, std::uint32_t Expected) {
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (ScreenPixel(X, Y) != Expected)
        if (GetTickCount64() >= deadline)
            return false;
    return true;
}

std::uint32_t Blue(int Row) {
    return static_cast<std::uint32_t>((193 - Row) * 255 / 193);
}

// The first banner line: its glyphs are white, and the gradient shows between them.
void ExpectWhiteTextOverTheGradient(HWND Main) {
    const RECT image = ScreenRect(FindChild(Main, L"TImage"));
    int white = 0;
    int gradient = 0;
    int other = 0;
    for (int y = 10; y < 26; ++y)
        for (int x = 10; x < 140; ++x) {
            const std::uint32_t p = ScreenPixel(image.left + x, image.top + y);
            if (p == 0xFFFFFF)
                ++white;
            else if (p == Blue(y))
                ++gradient;
            else
                ++other; // antialiased edges
        }
    EXPECT_GT(white, 100) << "the banner's text is not drawn in white";
    EXPECT_GT(gradient, 500) << "the text is drawn over a background, not over the gradient";
}

TEST_F(Updater, FullUpdateWritesTheFourFilesInOrderAndReportsCompletion) {
    TGameFolder game;
    RecordGameDir(game.Path() + "\\");
    TUpdater updater;
    HWND main = updater.WaitMainWindow();
    ASSERT_TRUE(main);
    Click(StartButton(main));

    HWND box = updater.WaitMessageBox(Wide("情報"));
    ASSERT_TRUE(box);
    SaveScreenshot(box, "completion");
    const TMessageBoxView view = ReadMessageBox(box);
    EXPECT_EQ(view.Text, Wide("アップデート完了しました"));
    EXPECT_TRUE(view.HasIcon);
    EXPECT_EQ(view.Buttons, std::vector<std::wstring>{OK});
    EXPECT_TRUE(GetWindowLongW(FindChild(box, L"Button", OK), GWL_STYLE) & BS_DEFPUSHBUTTON);
    EXPECT_FALSE(IsWindowEnabled(main)) << "the main window takes input under the dialog";

    ExpectFiles(game, {true, true, true, true});
    for (int i = 0; i + 1 < 4; ++i)
        EXPECT_LT(LastWrite(game.File(GameFiles[i])), LastWrite(game.File(GameFiles[i + 1])))
            << GameFiles[i] << " was not written before " << GameFiles[i + 1];

    // Esc answers the dialog as OK does.
    PostMessageW(FindChild(box, L"Button", OK), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(updater.WaitExit(), 0u);
}

TEST_F(Updater, MainWindowIsCentredWithItsBannerAndTheExitButtonTouchesNothing) {
    TGameFolder game;
    RecordGameDir(game.Path() + "\\");
    TUpdater updater;
    HWND main = updater.WaitMainWindow();
    ASSERT_TRUE(main);

    const RECT outer = ScreenRect(main);
    EXPECT_EQ(outer.left, 243);
    EXPECT_EQ(outer.top, 238);
    EXPECT_EQ(outer.right - outer.left, 538);
    EXPECT_EQ(outer.bottom - outer.top, 291);

    struct {
        HWND Control;
        RECT Expected; // left, top, right, bottom in the client area
    } const controls[] = {
        {FindChild(main, L"TImage"), {8, 8, 520, 201}},
        {StartButton(main), {8, 216, 121, 249}},
        {ExitButton(main), {432, 216, 515, 249}},
    };
    for (const auto& c : controls) {
        ASSERT_TRUE(c.Control);
        const RECT r = ClientRect(c.Control);
        EXPECT_TRUE(EqualRect(&r, &c.Expected))
            << WindowText(c.Control).size() << ": " << r.left << "," << r.top << "," << r.right
            << "," << r.bottom;
        EXPECT_TRUE(IsWindowEnabled(c.Control));
    }

    const RECT image = ScreenRect(FindChild(main, L"TImage"));
    ASSERT_TRUE(WaitPixel(image.left + 505, image.top, 0x0000FF)) << "the banner is not painted";
    SaveScreenshot(main, "main-window");
    // Right of every line of text, the gradient alone: blue falls from 255 to 1, red and green 0.
    for (const int row : {0, 1, 96, 191, 192})
        EXPECT_EQ(ScreenPixel(image.left + 505, image.top + row), Blue(row)) << "row " << row;
    EXPECT_EQ(Blue(96), 128u);
    EXPECT_EQ(Blue(192), 1u);
    for (int x = 0; x < 512; ++x) {
        ASSERT_EQ(ScreenPixel(image.left + x, image.top), 0x0000FFu) << "row 0, x " << x;
        ASSERT_EQ(ScreenPixel(image.left + x, image.top + 192), 0x000001u) << "row 192, x " << x;
    }
    ExpectWhiteTextOverTheGradient(main);

    Click(ExitButton(main));
    EXPECT_EQ(updater.WaitExit(), 0u);
    ExpectFiles(game, {false, false, false, false});
}

TEST_F(Updater, TabAndEnterWorkTheButtonsFromTheKeyboard) {
    TGameFolder game;
    RecordGameDir(game.Path() + "\\");
    TUpdater updater;
    HWND main = updater.WaitMainWindow();
    ASSERT_TRUE(main);
    // The start button has the focus; Tab moves it to the exit button, Enter presses that.
    PostMessageW(StartButton(main), WM_KEYDOWN, VK_TAB, 0);
    PostMessageW(ExitButton(main), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(updater.WaitExit(), 0u);
    ExpectFiles(game, {false, false, false, false});
}

TEST_F(Updater, NothingRecordedTellsTheUserToInstallFirstAndEnds) {
    for (const bool emptyValue : {false, true}) {
        SCOPED_TRACE(emptyValue ? "GameDir is \"\"" : "no record");
        ClearRecord();
        if (emptyValue)
            RecordGameDir("");
        TUpdater updater;
        HWND box = updater.WaitMessageBox(Wide("ご注意"));
        ASSERT_TRUE(box);
        if (!emptyValue)
            SaveScreenshot(box, "missing-installation");
        const TMessageBoxView view = ReadMessageBox(box);
        EXPECT_EQ(view.Text, Wide("インストール情報がみつかりません。先に製品のインストールを行って"
                                  "ください。"));
        EXPECT_FALSE(view.HasIcon);
        EXPECT_EQ(view.Buttons, std::vector<std::wstring>{OK});
        EXPECT_FALSE(updater.WaitWindow(L"TForm", Wide("アップデーター"), 0))
            << "the main window is on screen before the box is answered";
        PressButton(box, OK);
        EXPECT_EQ(updater.WaitExit(), 0u);
    }
}

TEST_F(Updater, ASingleSpaceIsARecordedFolder) {
    RecordGameDir(" ");
    TUpdater updater;
    HWND main = updater.WaitMainWindow();
    ASSERT_TRUE(main);
    EXPECT_FALSE(updater.WaitWindow(L"#32770", Wide("ご注意"), 0));
    Click(ExitButton(main));
    EXPECT_EQ(updater.WaitExit(), 0u);
}

TEST_F(Updater, NumericRecordShowsTheRegistryErrorThenTheMissingInstallationBox) {
    RecordGameDirAsNumber(1);
    TUpdater updater;
    HWND error = updater.WaitMessageBox(L"updater");
    ASSERT_TRUE(error);
    SaveScreenshot(error, "registry-error");
    const TMessageBoxView view = ReadMessageBox(error);
    EXPECT_EQ(view.Text, Wide("'GameDir' のデータ型が不正です."));
    EXPECT_TRUE(view.HasIcon);
    EXPECT_EQ(view.Buttons, std::vector<std::wstring>{OK});
    PressButton(error, OK);

    HWND missing = updater.WaitMessageBox(Wide("ご注意"));
    ASSERT_TRUE(missing);
    PressButton(missing, OK);
    EXPECT_EQ(updater.WaitExit(), 0u);
}

TEST_F(Updater, OnlyOneCopyRunsAndTheNextStartsAfterItEnds) {
    TGameFolder game;
    RecordGameDir(game.Path() + "\\");
    TUpdater first;
    HWND main = first.WaitMainWindow();
    ASSERT_TRUE(main);
    {
        TUpdater second;
        EXPECT_EQ(second.WaitExit(), 1u);
    }
    // The first carries on untouched.
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_TRUE(IsWindowEnabled(StartButton(main)));
    Click(ExitButton(main));
    EXPECT_EQ(first.WaitExit(), 0u);

    TUpdater third;
    HWND again = third.WaitMainWindow();
    ASSERT_TRUE(again) << "the mutex outlived its process";
    Click(ExitButton(again));
    EXPECT_EQ(third.WaitExit(), 0u);
    ExpectFiles(game, {false, false, false, false});
}

TEST_F(Updater, NameHeldByAnEventRefusesToStart) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"QZV_SETUP");
    ASSERT_TRUE(event);
    TGameFolder game;
    RecordGameDir(game.Path() + "\\");
    TUpdater updater;
    EXPECT_EQ(updater.WaitExit(), 1u);
    CloseHandle(event);
}

TEST_F(Updater, ReadOnlyDataFileStopsTheUpdateAfterTheExecutable) {
    TGameFolder game;
    testfiles::SetReadOnly(game.File("mg_data.mbl"), true);
    RecordGameDir(game.Path() + "\\");
    TUpdater updater;
    HWND main = updater.WaitMainWindow();
    ASSERT_TRUE(main);
    Click(StartButton(main));

    HWND error = updater.WaitMessageBox(L"updater");
    ASSERT_TRUE(error);
    SaveScreenshot(error, "create-error");
    const TMessageBoxView view = ReadMessageBox(error);
    EXPECT_EQ(view.Text, Wide("ファイル " + game.File("mg_data.mbl") + " を作成できません."));
    EXPECT_TRUE(view.HasIcon);
    EXPECT_EQ(view.Buttons, std::vector<std::wstring>{OK});
    EXPECT_FALSE(IsWindowEnabled(main));
    PressButton(error, OK);

    Settle(main);
    EXPECT_TRUE(updater.Running());
    EXPECT_FALSE(IsWindowEnabled(StartButton(main)));
    EXPECT_FALSE(IsWindowEnabled(ExitButton(main)));
    EXPECT_FALSE(updater.WaitWindow(L"#32770", Wide("情報"), 0));
    testfiles::SetReadOnly(game.File("mg_data.mbl"), false);
    ExpectFiles(game, {true, false, false, false});

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(updater.WaitExit(), 0u);
}

TEST_F(Updater, RunningGameHoldingItsExecutableChangesNothing) {
    TGameFolder game;
    RecordGameDir(game.Path() + "\\");
    // Held as a running program holds its image: no one else may open it.
    HANDLE held = CreateFileW(Wide(game.File("KALDOREN.EXE")).c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    TUpdater updater;
    HWND main = updater.WaitMainWindow();
    ASSERT_TRUE(main);
    Click(StartButton(main));

    HWND error = updater.WaitMessageBox(L"updater");
    ASSERT_TRUE(error);
    EXPECT_EQ(ReadMessageBox(error).Text,
              Wide("ファイル " + game.File("KALDOREN.EXE") + " を作成できません."));
    // The first target failed, so the buttons went grey before any target was touched.
    EXPECT_FALSE(IsWindowEnabled(StartButton(main)));
    EXPECT_FALSE(IsWindowEnabled(ExitButton(main)));
    PressButton(error, OK);
    Settle(main);
    CloseHandle(held);
    ExpectFiles(game, {false, false, false, false});

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(updater.WaitExit(), 0u);
}

// Run once per code page (the test run repeats this suite under 1252): the Japanese texts and
// paths are the same whatever the system's ANSI code page is.
class CodePage : public Updater {};

TEST_F(CodePage, FullUpdateInAJapaneseFolderWhoseNameHasBackslashTrailBytes) {
    const char* expected = std::getenv("WINE_EXPECTED_ACP");
    EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected ? expected : "932")));

    // "ソ" and "表" are 83 5C and 95 5C: the name ends in a byte that looks like "\".
    TGameFolder game("ソフト表");
    RecordGameDir(game.Path() + "\\");
    TUpdater updater;
    HWND main = updater.WaitMainWindow();
    ASSERT_TRUE(main) << "no window captioned アップデーター";
    ASSERT_TRUE(StartButton(main));
    ASSERT_TRUE(ExitButton(main));
    const RECT image = ScreenRect(FindChild(main, L"TImage"));
    ASSERT_TRUE(WaitPixel(image.left + 505, image.top, 0x0000FF));
    SaveScreenshot(main, "main-window-japanese-folder");
    ExpectWhiteTextOverTheGradient(main);
    Click(StartButton(main));

    HWND box = updater.WaitMessageBox(Wide("情報"));
    ASSERT_TRUE(box);
    SaveScreenshot(box, "completion-japanese-folder");
    EXPECT_EQ(ReadMessageBox(box).Text, Wide("アップデート完了しました"));
    ExpectFiles(game, {true, true, true, true});
    PressButton(box, OK);
    EXPECT_EQ(updater.WaitExit(), 0u);
}

} // namespace
