// TRegistryBackend, the narrow seam between TRegistry and a per-user store: six operations
// (create key, open key, value info, value data, set value, close key) in the program's terms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// An open key as the store hands it out. Predefined roots are fixed values; None is no key.
enum class TRegKeyHandle : std::uintptr_t { None = 0 };

// A store call's result: a Windows error code, so that a backend over advapi32 passes its
// results through unchanged and a test double can return the codes Windows would.
using TRegStatus = long;

namespace Reg {
// HKEY_CURRENT_USER exactly as Windows spells it: the 32-bit value 0x80000001 sign-extended to
// pointer width, so a backend can turn it into an HKEY with a plain cast.
inline constexpr TRegKeyHandle CurrentUser = static_cast<TRegKeyHandle>(static_cast<std::uintptr_t>(
    static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000001u))));

inline constexpr std::uint32_t AllAccess = 0xF003F; // KEY_ALL_ACCESS
inline constexpr std::uint32_t NonVolatile = 0;     // REG_OPTION_NON_VOLATILE

// Value types (REG_*).
inline constexpr std::uint32_t TypeNone = 0;
inline constexpr std::uint32_t TypeSz = 1;
inline constexpr std::uint32_t TypeExpandSz = 2;
inline constexpr std::uint32_t TypeBinary = 3;
inline constexpr std::uint32_t TypeDword = 4;
inline constexpr std::uint32_t TypeMultiSz = 7;

// The results TRegistry and its tests tell apart; any other non-zero value is a failure too.
inline constexpr TRegStatus Success = 0;
inline constexpr TRegStatus FileNotFound = 2;
inline constexpr TRegStatus AccessDenied = 5;
inline constexpr TRegStatus InvalidParameter = 87;
inline constexpr TRegStatus MoreData = 234;
inline constexpr TRegStatus NoUnicodeTranslation = 1113;
} // namespace Reg

// Names, and the data of the string types (TypeSz, TypeExpandSz, TypeMultiSz), are Shift-JIS
// bytes, counted in bytes: a backend whose store keeps another encoding converts both ways, and
// a text it cannot convert exactly is a failed call, never a silently altered one.
// Implementations never throw. Result, Type and Size mean something only on Success (and Size
// on MoreData).
class TRegistryBackend {
public:
    TRegistryBackend() = default;
    virtual ~TRegistryBackend() = default;
    TRegistryBackend(const TRegistryBackend&) = delete;
    TRegistryBackend& operator=(const TRegistryBackend&) = delete;

    // Opens Parent\SubKey, creating it (and any missing key on the way) when absent.
    virtual TRegStatus CreateKey(TRegKeyHandle Parent, const std::string& SubKey,
                                 std::uint32_t Access, std::uint32_t Options,
                                 TRegKeyHandle& Result) = 0;
    // Opens Parent\SubKey only when it exists.
    virtual TRegStatus OpenKey(TRegKeyHandle Parent, const std::string& SubKey,
                               std::uint32_t Access, TRegKeyHandle& Result) = 0;
    // The type and data size of a value, without its data. FileNotFound when it is absent.
    virtual TRegStatus QueryValueInfo(TRegKeyHandle Key, const std::string& Name,
                                      std::uint32_t& Type, std::size_t& Size) = 0;
    // Reads the value's type and data into Buffer and sets Size to the bytes written; MoreData
    // (with Size = the bytes needed) when Buffer is too small. Nothing past Size is written.
    virtual TRegStatus QueryValue(TRegKeyHandle Key, const std::string& Name, std::uint32_t& Type,
                                  std::span<char> Buffer, std::size_t& Size) = 0;
    // Sets the value to Type and exactly the bytes of Data.
    virtual TRegStatus SetValue(TRegKeyHandle Key, const std::string& Name, std::uint32_t Type,
                                std::span<const char> Data) = 0;
    // Releases a key that CreateKey or OpenKey returned. Never asks for a flush.
    virtual TRegStatus CloseKey(TRegKeyHandle Key) = 0;
};
