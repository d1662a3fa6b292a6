// The Win32 registry backend against Wine's registry: data in the program's terms (Shift-JIS,
// counted in bytes), exact buffers, and the calls' own failures.
#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/Win32Registry.h"
#include "tests/win32/RegistryTestSupport.h"

#include <array>
#include <string>

namespace {

using namespace regtest;

// The backend on the section, which each case makes first.
class Win32Backend : public TRecordFixture {
protected:
    void SetUp() override {
        TRecordFixture::SetUp();
        PutKey(SectionPath);
        ASSERT_EQ(Backend.OpenKey(Reg::CurrentUser, "Software\\Pendravik\\KALDOREN", Reg::AllAccess,
                                  Section),
                  Reg::Success);
    }
    void TearDown() override {
        EXPECT_EQ(Backend.CloseKey(Section), Reg::Success);
        TRecordFixture::TearDown();
    }

    TWin32RegistryBackend Backend;
    TRegKeyHandle Section = TRegKeyHandle::None;
};

constexpr char Poison = '#';

TEST_F(Win32Backend, CodePageIndependentSizesAndDataInShiftJis) {
    PutUnits(REG_SZ, std::wstring(L"C:\\ソフト表示\\\0", 10));
    const std::string expected("C:\\ソフト表示\\\0", 15);

    std::uint32_t type = 0xdeadbeef;
    std::size_t size = 0xdeadbeef;
    ASSERT_EQ(Backend.QueryValueInfo(Section, "GameDir", type, size), Reg::Success);
    EXPECT_EQ(type, Reg::TypeSz);
    EXPECT_EQ(size, expected.size());

    std::array<char, 32> buffer;
    buffer.fill(Poison);
    size = 0xdeadbeef;
    ASSERT_EQ(Backend.QueryValue(Section, "GameDir", type, buffer, size), Reg::Success);
    ASSERT_EQ(size, expected.size());
    EXPECT_EQ(std::string(buffer.data(), size), expected);
    EXPECT_EQ(buffer[size], Poison);
}

TEST_F(Win32Backend, ABufferOneByteShortIsLeftAlone) {
    PutUnits(REG_SZ, std::wstring(L"C:\\表\\\0", 6));
    std::array<char, 16> buffer;
    buffer.fill(Poison);
    std::uint32_t type = 0;
    std::size_t size = 0;
    // The data is 7 bytes; offer 6.
    EXPECT_EQ(Backend.QueryValue(Section, "GameDir", type, std::span(buffer).first(6), size),
              Reg::MoreData);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(std::string(buffer.data(), buffer.size()), std::string(buffer.size(), Poison));
}

TEST_F(Win32Backend, OtherTypesPassByteForByte) {
    const unsigned char raw[] = {0x00, 0xFF, 0x5C, 0x81, 0x00};
    PutStored(REG_BINARY, raw, sizeof raw);
    std::array<char, 8> buffer;
    buffer.fill(Poison);
    std::uint32_t type = 0;
    std::size_t size = 0;
    ASSERT_EQ(Backend.QueryValue(Section, "GameDir", type, buffer, size), Reg::Success);
    EXPECT_EQ(type, Reg::TypeBinary);
    ASSERT_EQ(size, sizeof raw);
    EXPECT_EQ(std::string(buffer.data(), size),
              std::string(reinterpret_cast<const char*>(raw), sizeof raw));
    EXPECT_EQ(buffer[size], Poison);
}

TEST_F(Win32Backend, SetValueStoresTheUtf16OfTheShiftJisBytes) {
    const std::string data("D:\\表\\\0", 7);
    ASSERT_EQ(Backend.SetValue(Section, "GameDir", Reg::TypeSz, data), Reg::Success);
    TStored stored;
    ASSERT_TRUE(GetStored(stored));
    EXPECT_EQ(stored.Type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored.Data, UnitsWithNul(L"D:\\表\\"));
}

TEST_F(Win32Backend, FailuresAreTheCallsOwn) {
    std::uint32_t type = 0;
    std::size_t size = 0;
    std::array<char, 4> buffer{};
    TRegKeyHandle key = TRegKeyHandle::None;
    EXPECT_EQ(Backend.QueryValueInfo(Section, "Missing", type, size), Reg::FileNotFound);
    EXPECT_EQ(Backend.QueryValue(Section, "Missing", type, buffer, size), Reg::FileNotFound);
    EXPECT_EQ(Backend.OpenKey(Section, "Missing", Reg::AllAccess, key), Reg::FileNotFound);
    EXPECT_FALSE(KeyExists(L"Software\\Pendravik\\KALDOREN\\Missing"));
    // Names that are not Shift-JIS never reach the registry as something else.
    EXPECT_EQ(Backend.CreateKey(Section, "\x83", Reg::AllAccess, Reg::NonVolatile, key),
              Reg::NoUnicodeTranslation);
    EXPECT_EQ(Counts(SectionPath), std::make_pair(0L, 0L));
}

} // namespace
