// The install location record over the in-memory store: every outcome of a read and a write,
// including the store failures Wine cannot be made to produce, with every handle closed.
#include <gtest/gtest.h>

#include "classlib/Exceptions.h"
#include "install/InstallLocation.h"
#include "tests/host/RegistryTestDouble.h"

#include <functional>
#include <optional>
#include <string>

namespace {

using TOp = TRegistryDouble::TOp;
using TValue = TRegistryDouble::TValue;

const std::string KeyPath = "Software\\Pendravik";
const std::string SectionPath = "Software\\Pendravik\\KALDOREN";

// A string's bytes with its NUL, as a string value is stored.
std::string Sz(const std::string& Text) {
    return std::string(Text.data(), Text.size() + 1);
}

struct TOutcome {
    std::string Result;      // what the call returned (reads)
    std::string Error;       // the ERegistryException's message, "" when none was raised
    bool OtherError = false; // anything else escaped
};

TOutcome Capture(const std::function<std::string()>& Call) {
    TOutcome out;
    try {
        out.Result = Call();
    } catch (const ERegistryException& e) {
        out.Error = e.Message();
    } catch (...) {
        out.OtherError = true;
    }
    return out;
}

void ExpectEveryHandleClosed(const TRegistryDouble& Store) {
    EXPECT_EQ(Store.OpenHandles(), 0u) << "handles left open";
    EXPECT_EQ(Store.BadCloses(), 0) << "handles closed that were not open";
}

struct TReadCase {
    const char* Name;
    std::function<void(TRegistryDouble&)> Arrange;
    std::string Result;
    std::string Error;
};

TEST(ReadInstallLocation, OutcomesOverTheStore) {
    const TReadCase cases[] = {
        {"empty profile", [](TRegistryDouble&) {}, "", ""},
        {"key without section", [](TRegistryDouble& s) { s.PutKey(KeyPath); }, "", ""},
        {"section without value", [](TRegistryDouble& s) { s.PutKey(SectionPath); }, "", ""},
        {"recorded folder",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeSz, Sz("C:\\ゲーム\\ソフト表示\\")});
         },
         "C:\\ゲーム\\ソフト表示\\", ""},
        // Returned as stored: no separator added, no reference expanded.
        {"no trailing backslash",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeSz, Sz("D:\\G")});
         },
         "D:\\G", ""},
        {"expand string",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeExpandSz, Sz("%ProgramFiles%\\G\\")});
         },
         "%ProgramFiles%\\G\\", ""},
        // The text stops at the first NUL, or takes all the data when there is none.
        {"embedded NUL",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeSz, std::string("C:\\A\0B\\\0", 7)});
         },
         "C:\\A", ""},
        {"no terminating NUL",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeSz, "C:\\表"});
         },
         "C:\\表", ""},
        {"NUL only",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeSz, Sz("")});
         },
         "", ""},
        // No data is no text, whatever the type says.
        {"zero-byte string",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeSz, ""});
         },
         "", ""},
        {"zero-byte dword",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeDword, ""});
         },
         "", ""},
        {"dword",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeDword, std::string("\1\0\0\0", 4)});
         },
         "", "'GameDir' のデータ型が不正です"},
        {"multi string",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeMultiSz, std::string("C:\\\0\0", 5)});
         },
         "", "'GameDir' のデータ型が不正です"},
        {"binary",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeBinary, Sz("C:\\G\\")});
         },
         "", "'GameDir' のデータ型が不正です"},
        {"none",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeNone, "x"});
         },
         "", "'GameDir' のデータ型が不正です"},

        // What only a failing store shows.
        // A record left at the root of the hive must not be taken for ours.
        {"key neither opened nor created",
         [](TRegistryDouble& s) {
             s.PutValue("KALDOREN", "GameDir", {Reg::TypeSz, Sz("C:\\Wrong\\")});
             s.Fail({TOp::CreateKey, KeyPath});
         },
         "", ""},
        {"section refused",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeSz, Sz("C:\\G\\")});
             s.Fail({TOp::OpenKey, SectionPath});
         },
         "", ""},
        {"existence query fails",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeSz, Sz("C:\\G\\")});
             s.Fail({TOp::QueryValueInfo, SectionPath});
         },
         "", ""},
        {"size query fails",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeDword, std::string("\1\0\0\0", 4)});
             s.Fail({TOp::QueryValueInfo, SectionPath, Reg::AccessDenied, 1});
         },
         "", ""},
        {"data read fails",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeSz, Sz("C:\\G\\")});
             s.Fail({TOp::QueryValue, SectionPath});
         },
         "", "'GameDir' の取得に失敗しました"},
        // The value grew between sizing and reading it.
        {"data outgrew its size",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeSz, Sz("C:\\G\\")});
             s.Fail({TOp::QueryValue, SectionPath, Reg::MoreData});
         },
         "", "'GameDir' の取得に失敗しました"},
        // A close that fails changes nothing of the result.
        {"close fails",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeSz, Sz("C:\\G\\")});
             s.Fail({TOp::CloseKey, SectionPath});
         },
         "C:\\G\\", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRegistryDouble store;
        c.Arrange(store);
        const bool hadSection = store.HasKey(SectionPath);
        const auto out = Capture([&] { return ReadInstallLocation(store); });
        EXPECT_FALSE(out.OtherError);
        EXPECT_EQ(out.Error, c.Error);
        EXPECT_EQ(out.Result, c.Result);
        ExpectEveryHandleClosed(store);
        EXPECT_EQ(store.HasKey(SectionPath), hadSection) << "a read never makes the section";
    }
}

TEST(ReadInstallLocation, LeavesTheKeyItCreatedAndNothingElse) {
    TRegistryDouble store;
    EXPECT_EQ(ReadInstallLocation(store), "");
    EXPECT_TRUE(store.HasKey(KeyPath));
    EXPECT_TRUE(store.SubKeys(KeyPath).empty());
    EXPECT_EQ(store.SubKeys(""), std::vector<std::string>{"Software"});
}

TEST(ReadInstallLocation, NothingIsLookedUpAtTheRootWhenTheKeyIsRefused) {
    TRegistryDouble store;
    store.Fail({TOp::CreateKey, KeyPath});
    EXPECT_EQ(ReadInstallLocation(store), "");
    EXPECT_EQ(store.Calls(), std::vector<std::string>{"CreateKey Software\\Pendravik 0xF003F 0x0"});
}

struct TWriteCase {
    const char* Name;
    std::function<void(TRegistryDouble&)> Arrange;
    std::string Error;
    std::optional<TValue> After; // GameDir in the section afterwards
};

TEST(WriteInstallLocation, OutcomesOverTheStore) {
    const std::string text = "C:\\ゲーム\\ソフト表示\\";
    const TValue old{Reg::TypeSz, Sz("C:\\Old\\")};
    const TWriteCase cases[] = {
        {"empty profile", [](TRegistryDouble&) {}, "", TValue{Reg::TypeSz, Sz(text)}},
        {"replaces a value of another type",
         [](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", {Reg::TypeDword, std::string("\1\0\0\0", 4)});
         },
         "", TValue{Reg::TypeSz, Sz(text)}},
        // Never "KALDOREN\GameDir" at the root of the hive.
        {"key neither opened nor created",
         [](TRegistryDouble& s) {
             s.Fail({TOp::CreateKey, KeyPath});
         },
         "キー Software\\Pendravik の作成に失敗しました", std::nullopt},
        {"section cannot be created",
         [](TRegistryDouble& s) {
             s.Fail({TOp::CreateKey, SectionPath});
         },
         "キー KALDOREN の作成に失敗しました", std::nullopt},
        // Made, but then refused: the value would not be written, and the caller must know.
        {"section exists but cannot be opened",
         [&](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", old);
             s.Fail({TOp::OpenKey, SectionPath});
         },
         "'GameDir' の設定に失敗しました", old},
        {"value cannot be set",
         [&](TRegistryDouble& s) {
             s.PutValue(SectionPath, "GameDir", old);
             s.Fail({TOp::SetValue, SectionPath});
         },
         "'GameDir' の設定に失敗しました", old},
        {"close fails",
         [](TRegistryDouble& s) {
             s.Fail({TOp::CloseKey, SectionPath});
         },
         "", TValue{Reg::TypeSz, Sz(text)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRegistryDouble store;
        c.Arrange(store);
        const auto out = Capture([&] {
            WriteInstallLocation(text, store);
            return std::string();
        });
        EXPECT_FALSE(out.OtherError);
        EXPECT_EQ(out.Error, c.Error);
        const TValue* after = store.Value(SectionPath, "GameDir");
        EXPECT_EQ(after != nullptr, c.After.has_value());
        if (after != nullptr && c.After) {
            EXPECT_EQ(*after, *c.After);
        }
        EXPECT_FALSE(store.HasKey("KALDOREN")) << "written at the root of the hive";
        ExpectEveryHandleClosed(store);
    }
}

TEST(WriteInstallLocation, StoresTheTextAndOneNul) {
    // Length is the text's bytes plus one, counted in Shift-JIS: "表" is two bytes, one of
    // them 0x5C, and neither may be taken for the end or a separator.
    const std::string text = "D:\\表\\";
    ASSERT_EQ(text.size(), 6u);
    TRegistryDouble store;
    WriteInstallLocation(text, store);
    const TValue* stored = store.Value(SectionPath, "GameDir");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->Type, Reg::TypeSz);
    EXPECT_EQ(stored->Data, std::string("D:\\\x95\x5C\\\0", 7));
    EXPECT_EQ(ReadInstallLocation(store), text);
}

TEST(InstallLocationRecord, KeysAreOpenedWithFullAccessAndPersist) {
    TRegistryDouble store;
    WriteInstallLocation("C:\\G\\", store);
    ReadInstallLocation(store);
    const std::vector<std::string> expected = {
        // The write: the key, the section made and closed, the section opened for the value.
        "CreateKey Software\\Pendravik 0xF003F 0x0",
        "CreateKey Software\\Pendravik\\KALDOREN 0xF003F 0x0",
        "CloseKey Software\\Pendravik\\KALDOREN",
        "OpenKey Software\\Pendravik\\KALDOREN 0xF003F",
        "SetValue Software\\Pendravik\\KALDOREN GameDir",
        "CloseKey Software\\Pendravik\\KALDOREN",
        "CloseKey Software\\Pendravik",
        // The read: the key, the section opened, never created.
        "CreateKey Software\\Pendravik 0xF003F 0x0",
        "OpenKey Software\\Pendravik\\KALDOREN 0xF003F",
        "QueryValueInfo Software\\Pendravik\\KALDOREN GameDir",
        "QueryValueInfo Software\\Pendravik\\KALDOREN GameDir",
        "QueryValue Software\\Pendravik\\KALDOREN GameDir",
        "CloseKey Software\\Pendravik\\KALDOREN",
        "CloseKey Software\\Pendravik",
    };
    EXPECT_EQ(store.Calls(), expected);
}

} // namespace
