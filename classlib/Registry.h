// TRegistry, one open key of a per-user store reached through a TRegistryBackend, and
// TRegIniFile, a key read as an INI file: its subkeys are sections, their values the idents.
#pragma once

#include "classlib/RegistryBackend.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Owns one key that a backend opened and closes it exactly once. Move-only.
class TRegKey {
public:
    TRegKey() = default;
    TRegKey(TRegistryBackend& Backend, TRegKeyHandle Handle)
        : FBackend(&Backend), FHandle(Handle) {}
    ~TRegKey() { Close(); }
    TRegKey(TRegKey&& Other) noexcept;
    TRegKey& operator=(TRegKey&& Other) noexcept;
    TRegKey(const TRegKey&) = delete;
    TRegKey& operator=(const TRegKey&) = delete;

    TRegKeyHandle Handle() const { return FHandle; }
    bool IsOpen() const { return FHandle != TRegKeyHandle::None; }
    void Close() noexcept;

private:
    TRegistryBackend* FBackend = nullptr;
    TRegKeyHandle FHandle = TRegKeyHandle::None;
};

struct TRegDataInfo {
    std::uint32_t RegData = Reg::TypeNone; // the value's type
    std::size_t DataSize = 0;              // in bytes, as the backend counts them
};

class TRegistry {
public:
    // RootKey starts as HKEY_CURRENT_USER; every key is opened or created with KEY_ALL_ACCESS.
    explicit TRegistry(TRegistryBackend& Backend) : FBackend(&Backend) {}
    TRegistry(TRegistry&&) noexcept = default;
    TRegistry& operator=(TRegistry&&) noexcept = default;

    TRegKeyHandle RootKey() const { return FRootKey; }
    void SetRootKey(TRegKeyHandle Root);
    // None while no key is open. Value operations never fall back to RootKey.
    TRegKeyHandle CurrentKey() const { return FCurrentKey.Handle(); }
    std::uint32_t Access() const { return FAccess; }

    // Makes RootKey\Key the current key (creating it when CanCreate and it is absent) and
    // closes the previous one. False, with the current key unchanged, when that fails.
    bool OpenKey(const std::string& Key, bool CanCreate);
    void CloseKey() { FCurrentKey.Close(); }

    // False when the value is absent, cannot be queried, or no key is open.
    bool GetDataInfo(const std::string& ValueName, TRegDataInfo& Info) const;
    bool ValueExists(const std::string& Name) const;
    // The text of a REG_SZ or REG_EXPAND_SZ value, never expanded, up to its first NUL (all of
    // the data when it has none). "" when the value is absent, empty or cannot be sized.
    // ERegistryException when its data cannot be read or it holds another type.
    std::string ReadString(const std::string& Name) const;
    // Stores Value as REG_SZ: its bytes and one NUL. ERegistryException when refused.
    void WriteString(const std::string& Name, const std::string& Value);

protected:
    TRegistryBackend& Backend() const { return *FBackend; }
    // The value operations on a given key, which the current key's ones and TRegIniFile's
    // sections share.
    bool GetDataInfoIn(TRegKeyHandle Key, const std::string& ValueName, TRegDataInfo& Info) const;
    std::string ReadStringIn(TRegKeyHandle Key, const std::string& Name) const;
    void WriteStringIn(TRegKeyHandle Key, const std::string& Name, const std::string& Value);

private:
    TRegistryBackend* FBackend;
    TRegKeyHandle FRootKey = Reg::CurrentUser;
    std::uint32_t FAccess = Reg::AllAccess;
    TRegKey FCurrentKey;
};

class TRegIniFile : public TRegistry {
public:
    // Opens FileName under HKEY_CURRENT_USER, creating it when absent. When it can be neither
    // opened nor created no key is open: reads then give their default and writes raise, rather
    // than reaching for sections at the root of the hive.
    TRegIniFile(TRegistryBackend& Backend, std::string FileName);

    const std::string& FileName() const { return FFileName; }

    using TRegistry::ReadString;
    using TRegistry::WriteString;
    // Ident's text in the subkey Section, opened and never created; Default when the section
    // cannot be opened or the value is absent. Otherwise as TRegistry::ReadString.
    std::string ReadString(const std::string& Section, const std::string& Ident,
                           const std::string& Default) const;
    // Creates Section when absent and stores Value as REG_SZ in it. ERegistryException naming
    // the key when the file's key or the section cannot be created, and naming Ident when the
    // section cannot be opened or the value cannot be set.
    void WriteString(const std::string& Section, const std::string& Ident,
                     const std::string& Value);

private:
    std::string FFileName;
};
