// The install location record against Wine's registry: what a read makes of each stored form
// of the value, what a write stores, and Japanese folders kept exactly on any code page.
#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/Exceptions.h"
#include "install/InstallLocation.h"
#include "tests/win32/RegistryTestSupport.h"

#include <cstring>
#include <string>

namespace {

using namespace regtest;

using InstallLocationOnWine = TRecordFixture;

// The read's result, or the registry error's message prefixed with "error: ".
std::string ReadOutcome() {
    try {
        return ReadInstallLocation();
    } catch (const ERegistryException& e) {
        return "error: " + e.Message();
    }
}

TEST_F(InstallLocationOnWine, ReadOnAnEmptyProfileLeavesOnlyTheEmptyKey) {
    EXPECT_EQ(ReadOutcome(), "");
    EXPECT_EQ(Counts(KeyPath), std::make_pair(0L, 0L)) << "the key, with no section or value";
}

TEST_F(InstallLocationOnWine, ReadNeverCreatesTheSection) {
    PutKey(KeyPath);
    EXPECT_EQ(ReadOutcome(), "");
    EXPECT_FALSE(KeyExists(SectionPath));
}

TEST_F(InstallLocationOnWine, ReadOfEachStoredForm) {
    struct TCase {
        const char* Name;
        DWORD Type;
        std::wstring Units; // stored as is: a NUL is there only where written
        std::string Expected;
    };
    const std::string typeError = "error: 'GameDir' のデータ型が不正です";
    const TCase cases[] = {
        {"zero-byte string", REG_SZ, L"", ""},
        {"zero-byte dword", REG_DWORD, L"", ""},
        {"dword", REG_DWORD, std::wstring(L"\x0001\x0000", 2), typeError},
        {"binary", REG_BINARY, std::wstring(L"C:\\\0", 4), typeError},
        {"multi string", REG_MULTI_SZ, std::wstring(L"C:\\\0\0", 5), typeError},
        // Not expanded, though Wine defines %SystemRoot%.
        {"expand string", REG_EXPAND_SZ, std::wstring(L"%SystemRoot%\\Game\\\0", 19),
         "%SystemRoot%\\Game\\"},
        // Stops at the first NUL.
        {"embedded NUL", REG_SZ, std::wstring(L"C:\\A\0B\\\0", 8), "C:\\A"},
        // All of the data when there is no NUL.
        {"no terminating NUL", REG_SZ, L"C:\\Game\\", "C:\\Game\\"},
        // No separator is added.
        {"no trailing backslash", REG_SZ, std::wstring(L"C:\\Game\0", 8), "C:\\Game"},
        {"Japanese", REG_SZ, std::wstring(L"C:\\ゲーム\\ソフト表示\\\0", 14),
         "C:\\ゲーム\\ソフト表示\\"},
        // "é" has no Shift-JIS form; a best fit ("e") would name another folder.
        {"character outside code page 932", REG_SZ, std::wstring(L"C:\\Caf\u00e9\\\0", 9),
         "error: 'GameDir' の取得に失敗しました"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        DeleteRecordKey();
        PutUnits(c.Type, c.Units);
        EXPECT_EQ(ReadOutcome(), c.Expected);
        TStored after;
        ASSERT_TRUE(GetStored(after));
        EXPECT_EQ(after.Data.size(), c.Units.size() * sizeof(wchar_t)) << "a read changes nothing";
    }
}

TEST_F(InstallLocationOnWine, WriteOnAnEmptyProfileMakesKeySectionAndString) {
    WriteInstallLocation("C:\\ゲーム\\ソフト表示\\");
    EXPECT_EQ(Counts(KeyPath), std::make_pair(1L, 0L));
    EXPECT_EQ(Counts(SectionPath), std::make_pair(0L, 1L));
    TStored stored;
    ASSERT_TRUE(GetStored(stored));
    EXPECT_EQ(stored.Type, static_cast<DWORD>(REG_SZ));
    // What RegSetValueExA of the Shift-JIS text and its NUL stores on a Japanese system.
    EXPECT_EQ(stored.Data, UnitsWithNul(L"C:\\ゲーム\\ソフト表示\\"));
}

TEST_F(InstallLocationOnWine, WriteReplacesAValueOfAnotherType) {
    const DWORD number = 7;
    PutStored(REG_DWORD, &number, sizeof number);
    WriteInstallLocation("D:\\G\\");
    TStored stored;
    ASSERT_TRUE(GetStored(stored));
    EXPECT_EQ(stored.Type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored.Data, UnitsWithNul(L"D:\\G\\"));
}

TEST_F(InstallLocationOnWine, InvalidShiftJisIsRefusedAndTheRecordKept) {
    PutUnits(REG_SZ, std::wstring(L"C:\\Old\\\0", 8));
    // A lead byte with nothing after it: no character at all.
    try {
        WriteInstallLocation("C:\\\x83");
        ADD_FAILURE() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), "'GameDir' の設定に失敗しました");
    }
    EXPECT_EQ(ReadOutcome(), "C:\\Old\\");
}

// Also run under code page 1252: the record must not depend on the system's ANSI code page.
TEST_F(InstallLocationOnWine, CodePageIndependentRoundTripOfJapaneseFolders) {
    struct TCase {
        std::string Text;
        std::wstring Stored;
    };
    const TCase cases[] = {
        // "ソ" and "表" end in 0x5C.
        {"C:\\ゲーム\\ソフト表示\\", L"C:\\ゲーム\\ソフト表示\\"},
        {"D:\\表\\", L"D:\\表\\"},
        {"C:\\Program Files\\ペンドラヴィク\\カルドレン\\",
         L"C:\\Program Files\\ペンドラヴィク\\カルドレン\\"},
        {"C:\\ｹﾞｰﾑ\\①\\", L"C:\\ｹﾞｰﾑ\\①\\"},
        {"C:\\100%\\", L"C:\\100%\\"},
        {"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        DeleteRecordKey();
        WriteInstallLocation(c.Text);
        TStored stored;
        ASSERT_TRUE(GetStored(stored));
        EXPECT_EQ(stored.Data, UnitsWithNul(c.Stored));
        EXPECT_EQ(ReadOutcome(), c.Text);
    }
}

TEST_F(InstallLocationOnWine, CodePageIndependentReadOfAFolderTheSystemStored) {
    PutUnits(REG_SZ, std::wstring(L"C:\\ゲーム\\ソフト表示\\\0", 14));
    EXPECT_EQ(ReadOutcome(), "C:\\\x83Q\x81[\x83\x80\\\x83\x5C\x83t\x83g\x95\x5C\x8E\xA6\\");
}

// Seen through the A interface of a Japanese system, as the game's own installer and older
// tools see the record: the text's bytes and one NUL, nothing more.
TEST_F(InstallLocationOnWine, TheAnsiViewIsTheTextAndOneNul) {
    if (GetACP() != 932)
        GTEST_SKIP() << "the A functions speak Shift-JIS only under code page 932";
    const std::string text = "C:\\ゲーム\\ソフト表示\\";
    WriteInstallLocation(text);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Pendravik\\KALDOREN", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD type = 0xdeadbeef;
    DWORD size = 0xdeadbeef;
    EXPECT_EQ(RegQueryValueExA(key, "GameDir", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, text.size() + 1);

    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    size = sizeof buffer;
    EXPECT_EQ(
        RegQueryValueExA(key, "GameDir", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
        ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(size, text.size() + 1);
    EXPECT_EQ(std::string(buffer, size), std::string(text.c_str(), text.size() + 1));
    EXPECT_EQ(buffer[size], '#');
}

} // namespace
