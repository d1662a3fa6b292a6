#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "classlib/Exceptions.h"
#include "classlib/Win32Text.h"
#include "payload/UpdateSet.h"
#include "tests/support/TestFiles.h"
#include "tests/win32/Form1Access.h"

namespace {

using testfiles::Bytes;
using testfiles::TempFolder;

Bytes StandIn(const std::string& Name) {
    return testfiles::ReadAll(testfiles::HostPath(STANDIN_DIR "/" + Name));
}

// An install folder holding an old version of every game file.
struct OldInstall {
    explicit OldInstall(const std::string& Name = "game") : Dir(Name) {
        for (const auto& entry : UpdateSet)
            testfiles::WriteAll(Dir.File(entry.FileName), Old(entry.FileName));
    }
    static Bytes Old(const std::string& Name) { return Bytes(5000 + Name.size(), 'o'); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : UpdateSet)
            names.push_back(entry.FileName);
        std::sort(names.begin(), names.end());
        return names;
    }
    TempFolder Dir;
};

TEST(ExtractPayload, WritesEveryPayloadExactly) {
    TempFolder dir;
    const std::size_t sizes[] = {1378304, 3124554, 54870, 29045};
    for (std::size_t i = 0; i < UpdateSet.size(); ++i) {
        const auto path = dir.File(UpdateSet[i].FileName);
        EXPECT_TRUE(ExtractPayload(UpdateSet[i].ResourceName, path));
        const Bytes written = testfiles::ReadAll(path);
        EXPECT_EQ(written.size(), sizes[i]) << path;
        EXPECT_TRUE(written == StandIn(UpdateSet[i].FileName)) << path;
    }
    EXPECT_EQ(testfiles::List(dir.Path()).size(), UpdateSet.size()) << "a stray file was left";
}

TEST(ExtractPayload, ReplacesALongerFileWhole) {
    TempFolder dir;
    const auto path = dir.File("mg_gra3.mbl");
    testfiles::WriteAll(path, Bytes(100000, 'z'));
    ExtractPayload("GRA3", path);
    EXPECT_TRUE(testfiles::ReadAll(path) == StandIn("mg_gra3.mbl"));
    EXPECT_EQ(testfiles::List(dir.Path()), std::vector<std::string>{"mg_gra3.mbl"});
}

// Each way a target cannot be replaced: the error names the full path, the old file is intact
// and nothing is left beside it.
enum class Obstacle { ReadOnly, HeldOpen, Folder };

class Unreplaceable : public ::testing::TestWithParam<Obstacle> {};

TEST_P(Unreplaceable, RaisesAndChangesNothing) {
    OldInstall game;
    const auto path = game.Dir.File("mg_data.mbl");
    HANDLE held = INVALID_HANDLE_VALUE;
    switch (GetParam()) {
    case Obstacle::ReadOnly:
        testfiles::SetReadOnly(path, true);
        break;
    case Obstacle::HeldOpen:
        // As the running game holds its files: no sharing at all.
        held =
            CreateFileW(ToWide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        break;
    case Obstacle::Folder:
        testfiles::RemoveTree(path);
        ASSERT_TRUE(CreateDirectoryW(ToWide(path).c_str(), nullptr));
        break;
    }
    try {
        ExtractPayload("DAT", path);
        ADD_FAILURE() << "replaced " << path;
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "ファイル " + path + " を作成できません");
    }
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    testfiles::SetReadOnly(path, false);
    if (GetParam() != Obstacle::Folder) {
        EXPECT_TRUE(testfiles::ReadAll(path) == OldInstall::Old("mg_data.mbl"));
    }
    EXPECT_EQ(testfiles::List(game.Dir.Path()), game.Names());
}

INSTANTIATE_TEST_SUITE_P(Targets, Unreplaceable,
                         ::testing::Values(Obstacle::ReadOnly, Obstacle::HeldOpen,
                                           Obstacle::Folder));

TEST(ExtractPayload, MissingFolderCreatesNothing) {
    TempFolder dir;
    const auto path = dir.File("absent\\KALDOREN.EXE");
    EXPECT_THROW(ExtractPayload("EXE", path), EFCreateError);
    EXPECT_TRUE(testfiles::List(dir.Path()).empty());
}

TEST(ExtractPayload, MissingResourceLeavesTheTargetAlone) {
    OldInstall game;
    const auto path = game.Dir.File("mg_data2.mbl");
    try {
        ExtractPayload("NOPE", path);
        ADD_FAILURE();
    } catch (const EResNotFound& e) {
        EXPECT_EQ(e.Message(), "NOPE リソースが見つかりません");
    }
    EXPECT_TRUE(testfiles::ReadAll(path) == OldInstall::Old("mg_data2.mbl"));
    // Nor is a missing target created.
    TempFolder empty;
    EXPECT_THROW(ExtractPayload("NOPE", empty.File("x")), EResNotFound);
    EXPECT_TRUE(testfiles::List(empty.Path()).empty());
}

TEST(ExtractPayload, TruncatedPayloadKeepsTheOldFile) {
    OldInstall game;
    const auto path = game.Dir.File("mg_data2.mbl");
    try {
        ExtractPayload("TRUNC", path);
        ADD_FAILURE();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "ストリームからの読み込みエラー");
    }
    EXPECT_TRUE(testfiles::ReadAll(path) == OldInstall::Old("mg_data2.mbl"));
    EXPECT_EQ(testfiles::List(game.Dir.Path()), game.Names());
}

TEST(ApplyUpdateSet, StopsAtTheFirstFailureInTableOrder) {
    OldInstall game;
    testfiles::SetReadOnly(game.Dir.File("mg_data.mbl"), true);
    EXPECT_THROW(ApplyUpdateSet(game.Dir.Path() + "\\"), EFCreateError);
    EXPECT_TRUE(testfiles::ReadAll(game.Dir.File("KALDOREN.EXE")) == StandIn("KALDOREN.EXE"));
    for (const char* name : {"mg_data.mbl", "mg_data2.mbl", "mg_gra3.mbl"})
        EXPECT_TRUE(testfiles::ReadAll(game.Dir.File(name)) == OldInstall::Old(name)) << name;
    testfiles::SetReadOnly(game.Dir.File("mg_data.mbl"), false);
}

// With and without the trailing separator, and in a folder whose name ends in a double-byte
// character with a 0x5C trail byte, the files land inside the folder.
TEST(ApplyUpdateSet, WritesInsideTheFolderHoweverItIsSpelled) {
    for (const std::string name : {"plain", "ソフト表", "ゲーム表示"}) {
        for (const bool trailing : {true, false}) {
            OldInstall game(name);
            ApplyUpdateSet(game.Dir.Path() + (trailing ? "\\" : ""));
            for (const auto& entry : UpdateSet)
                EXPECT_TRUE(testfiles::ReadAll(game.Dir.File(entry.FileName)) ==
                            StandIn(entry.FileName))
                    << game.Dir.Path() << " " << entry.FileName;
            EXPECT_EQ(testfiles::List(game.Dir.Path()), game.Names());
        }
    }
}

} // namespace
