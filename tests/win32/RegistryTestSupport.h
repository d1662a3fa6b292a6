// The Wine registry tests' own way into the store, past the code under test: the record's key
// removed before and after each case, values stored and read back as raw UTF-16.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace regtest {

inline constexpr const wchar_t* KeyPath = L"Software\\Pendravik";
inline constexpr const wchar_t* SectionPath = L"Software\\Pendravik\\KALDOREN";

struct TStored {
    DWORD Type = REG_NONE;
    std::vector<BYTE> Data;
};

inline void DeleteRecordKey() {
    const LONG rc = RegDeleteTreeW(HKEY_CURRENT_USER, KeyPath);
    ASSERT_TRUE(rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) << "RegDeleteTreeW: " << rc;
}

// Each case starts from a profile without the record's key and leaves none behind.
class TRecordFixture : public testing::Test {
protected:
    void SetUp() override { DeleteRecordKey(); }
    void TearDown() override { DeleteRecordKey(); }
};

inline bool KeyExists(const wchar_t* Path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Subkeys and values directly in Path; {-1, -1} when it cannot be opened.
inline std::pair<long, long> Counts(const wchar_t* Path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {-1, -1};
    DWORD subKeys = 0, values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return {static_cast<long>(subKeys), static_cast<long>(values)};
}

inline void PutKey(const wchar_t* Path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// Stores GameDir in the section exactly as given.
inline void PutStored(DWORD Type, const void* Data, std::size_t Size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, SectionPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const LONG rc = RegSetValueExW(key, L"GameDir", 0, Type, static_cast<const BYTE*>(Data),
                                   static_cast<DWORD>(Size));
    RegCloseKey(key);
    ASSERT_EQ(rc, ERROR_SUCCESS);
}

// UTF-16 text as stored: Units gives every code unit, NULs included or left out as wanted.
inline void PutUnits(DWORD Type, const std::wstring& Units) {
    // RegSetValueExW counts a NUL that directly follows string data in, as Windows does; a
    // non-NUL after the data keeps a missing terminator missing.
    const std::wstring followed = Units + L'#';
    PutStored(Type, followed.data(), Units.size() * sizeof(wchar_t));
}

inline bool GetStored(TStored& Out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SectionPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key, L"GameDir", nullptr, &Out.Type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        Out.Data.assign(size, 0);
        rc = RegQueryValueExW(key, L"GameDir", nullptr, &Out.Type,
                              Out.Data.empty() ? nullptr : Out.Data.data(), &size);
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// The bytes of Units with its NUL, as RegSetValueExW stores a string.
inline std::vector<BYTE> UnitsWithNul(const std::wstring& Units) {
    const auto* first = reinterpret_cast<const BYTE*>(Units.c_str());
    return std::vector<BYTE>(first, first + (Units.size() + 1) * sizeof(wchar_t));
}

} // namespace regtest
