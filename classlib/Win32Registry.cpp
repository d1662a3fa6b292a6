#include "classlib/Win32Registry.h"

#include "classlib/Win32Text.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

HKEY ToHkey(TRegKeyHandle Key) {
    return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(Key));
}

TRegKeyHandle FromHkey(HKEY Key) {
    return static_cast<TRegKeyHandle>(reinterpret_cast<std::uintptr_t>(Key));
}

// The types whose data the A functions convert between the ANSI code page and UTF-16.
bool IsStringType(DWORD Type) {
    return Type == REG_SZ || Type == REG_EXPAND_SZ || Type == REG_MULTI_SZ;
}

// Shift-JIS to UTF-16; invalid sequences fail rather than turn into replacement characters.
bool ToWideExact(const char* Text, std::size_t Length, std::wstring& Out) {
    Out.clear();
    if (Length == 0)
        return true;
    if (Length > static_cast<std::size_t>(INT_MAX))
        return false;
    const int length = static_cast<int>(Length);
    const int n =
        MultiByteToWideChar(ShiftJisCodePage, MB_ERR_INVALID_CHARS, Text, length, nullptr, 0);
    if (n <= 0)
        return false;
    Out.resize(static_cast<std::size_t>(n));
    return MultiByteToWideChar(ShiftJisCodePage, MB_ERR_INVALID_CHARS, Text, length, Out.data(),
                               n) == n;
}

// UTF-16 to Shift-JIS; a character code page 932 lacks fails rather than being best-fitted: a
// folder name must never come back as the name of some other folder.
bool FromWideExact(const wchar_t* Text, std::size_t Length, std::string& Out) {
    Out.clear();
    if (Length == 0)
        return true;
    if (Length > static_cast<std::size_t>(INT_MAX))
        return false;
    const int length = static_cast<int>(Length);
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(ShiftJisCodePage, WC_NO_BEST_FIT_CHARS, Text, length, nullptr,
                                      0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        return false;
    Out.resize(static_cast<std::size_t>(n));
    return WideCharToMultiByte(ShiftJisCodePage, WC_NO_BEST_FIT_CHARS, Text, length, Out.data(), n,
                               nullptr, nullptr) == n;
}

// The value's type and its data as the registry holds them, read again while it grows under us.
LONG ReadStored(HKEY Key, const wchar_t* Name, DWORD& Type, std::vector<BYTE>& Data) {
    DWORD size = 0;
    LONG rc = RegQueryValueExW(Key, Name, nullptr, &Type, nullptr, &size);
    for (int attempt = 0; rc == ERROR_SUCCESS && attempt < 4; ++attempt) {
        Data.resize(size);
        DWORD got = size;
        rc =
            RegQueryValueExW(Key, Name, nullptr, &Type, Data.empty() ? nullptr : Data.data(), &got);
        if (rc == ERROR_SUCCESS) {
            Data.resize(got);
            return rc;
        }
        if (rc == ERROR_MORE_DATA) {
            size = got;
            rc = ERROR_SUCCESS;
        }
    }
    return rc == ERROR_SUCCESS ? ERROR_MORE_DATA : rc;
}

// The stored UTF-16 code units of string data. An odd last byte is half a unit and no character.
std::wstring StoredUnits(const std::vector<BYTE>& Stored) {
    std::wstring units(Stored.size() / sizeof(wchar_t), L'\0');
    if (!units.empty())
        std::memcpy(units.data(), Stored.data(), units.size() * sizeof(wchar_t));
    return units;
}

// Stored data in the program's terms: string types in Shift-JIS, embedded and missing NULs
// kept as they are; other types byte for byte.
LONG ToProgramData(DWORD Type, const std::vector<BYTE>& Stored, std::string& Out) {
    if (!IsStringType(Type)) {
        Out.assign(Stored.begin(), Stored.end());
        return ERROR_SUCCESS;
    }
    const std::wstring units = StoredUnits(Stored);
    return FromWideExact(units.data(), units.size(), Out) ? ERROR_SUCCESS
                                                          : ERROR_NO_UNICODE_TRANSLATION;
}

// The seam promises no exceptions: running out of memory for a conversion is a failed call.
template <class F>
TRegStatus Guarded(F Call) noexcept {
    try {
        return Call();
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return ERROR_OUTOFMEMORY;
    }
}

LONG WideName(const std::string& Name, std::wstring& Out) {
    return ToWideExact(Name.data(), Name.size(), Out) ? ERROR_SUCCESS
                                                      : ERROR_NO_UNICODE_TRANSLATION;
}

// The value Name of Key as stored: its type and its bytes.
LONG ReadNamed(HKEY Key, const std::string& Name, DWORD& Type, std::vector<BYTE>& Data) {
    std::wstring name;
    if (const LONG rc = WideName(Name, name); rc != ERROR_SUCCESS)
        return rc;
    return ReadStored(Key, name.c_str(), Type, Data);
}

} // namespace

TRegStatus TWin32RegistryBackend::CreateKey(TRegKeyHandle Parent, const std::string& SubKey,
                                            std::uint32_t Access, std::uint32_t Options,
                                            TRegKeyHandle& Result) {
    return Guarded([&]() -> LONG {
        std::wstring subKey;
        if (const LONG rc = WideName(SubKey, subKey); rc != ERROR_SUCCESS)
            return rc;
        HKEY opened = nullptr;
        DWORD disposition = 0;
        const LONG rc = RegCreateKeyExW(ToHkey(Parent), subKey.c_str(), 0, nullptr, Options, Access,
                                        nullptr, &opened, &disposition);
        if (rc == ERROR_SUCCESS)
            Result = FromHkey(opened);
        return rc;
    });
}

TRegStatus TWin32RegistryBackend::OpenKey(TRegKeyHandle Parent, const std::string& SubKey,
                                          std::uint32_t Access, TRegKeyHandle& Result) {
    return Guarded([&]() -> LONG {
        std::wstring subKey;
        if (const LONG rc = WideName(SubKey, subKey); rc != ERROR_SUCCESS)
            return rc;
        HKEY opened = nullptr;
        const LONG rc = RegOpenKeyExW(ToHkey(Parent), subKey.c_str(), 0, Access, &opened);
        if (rc == ERROR_SUCCESS)
            Result = FromHkey(opened);
        return rc;
    });
}

TRegStatus TWin32RegistryBackend::QueryValueInfo(TRegKeyHandle Key, const std::string& Name,
                                                 std::uint32_t& Type, std::size_t& Size) {
    return Guarded([&]() -> LONG {
        DWORD type = REG_NONE;
        std::vector<BYTE> stored;
        if (const LONG rc = ReadNamed(ToHkey(Key), Name, type, stored); rc != ERROR_SUCCESS)
            return rc;
        std::string data;
        if (ToProgramData(type, stored, data) == ERROR_SUCCESS) {
            Size = data.size();
        } else {
            // The value is there but has no Shift-JIS form; size it generously (no UTF-16 unit
            // takes more than two Shift-JIS bytes) so that the read itself reports the failure.
            Size = stored.size() / sizeof(wchar_t) * 2;
        }
        Type = type;
        return ERROR_SUCCESS;
    });
}

TRegStatus TWin32RegistryBackend::QueryValue(TRegKeyHandle Key, const std::string& Name,
                                             std::uint32_t& Type, std::span<char> Buffer,
                                             std::size_t& Size) {
    return Guarded([&]() -> LONG {
        DWORD type = REG_NONE;
        std::vector<BYTE> stored;
        if (const LONG rc = ReadNamed(ToHkey(Key), Name, type, stored); rc != ERROR_SUCCESS)
            return rc;
        std::string data;
        if (const LONG rc = ToProgramData(type, stored, data); rc != ERROR_SUCCESS)
            return rc;
        Size = data.size();
        if (data.size() > Buffer.size())
            return ERROR_MORE_DATA;
        if (!data.empty())
            std::memcpy(Buffer.data(), data.data(), data.size());
        Type = type;
        return ERROR_SUCCESS;
    });
}

TRegStatus TWin32RegistryBackend::SetValue(TRegKeyHandle Key, const std::string& Name,
                                           std::uint32_t Type, std::span<const char> Data) {
    return Guarded([&]() -> LONG {
        std::wstring name;
        if (const LONG rc = WideName(Name, name); rc != ERROR_SUCCESS)
            return rc;
        if (IsStringType(Type)) {
            std::wstring units;
            if (!ToWideExact(Data.data(), Data.size(), units))
                return ERROR_NO_UNICODE_TRANSLATION;
            // At most INT_MAX units, so the byte count fits a DWORD.
            return RegSetValueExW(ToHkey(Key), name.c_str(), 0, Type,
                                  reinterpret_cast<const BYTE*>(units.data()),
                                  static_cast<DWORD>(units.size() * sizeof(wchar_t)));
        }
        if (Data.size() > static_cast<std::size_t>(INT_MAX))
            return ERROR_INVALID_PARAMETER;
        return RegSetValueExW(ToHkey(Key), name.c_str(), 0, Type,
                              reinterpret_cast<const BYTE*>(Data.data()),
                              static_cast<DWORD>(Data.size()));
    });
}

TRegStatus TWin32RegistryBackend::CloseKey(TRegKeyHandle Key) {
    return RegCloseKey(ToHkey(Key));
}

TRegistryBackend& Win32RegistryBackend() {
    static TWin32RegistryBackend backend;
    return backend;
}
