#include "classlib/Registry.h"

#include "classlib/Exceptions.h"
#include "classlib/Messages.h"

#include <new>
#include <stdexcept>
#include <utility>

TRegKey::TRegKey(TRegKey&& Other) noexcept
    : FBackend(Other.FBackend), FHandle(std::exchange(Other.FHandle, TRegKeyHandle::None)) {}

TRegKey& TRegKey::operator=(TRegKey&& Other) noexcept {
    if (this != &Other) {
        Close();
        FBackend = Other.FBackend;
        FHandle = std::exchange(Other.FHandle, TRegKeyHandle::None);
    }
    return *this;
}

void TRegKey::Close() noexcept {
    // A failed close leaves nothing to undo: the handle is given up either way.
    if (FHandle != TRegKeyHandle::None && FBackend != nullptr)
        FBackend->CloseKey(std::exchange(FHandle, TRegKeyHandle::None));
}

void TRegistry::SetRootKey(TRegKeyHandle Root) {
    CloseKey();
    FRootKey = Root;
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) {
    TRegKeyHandle opened = TRegKeyHandle::None;
    const TRegStatus status =
        CanCreate ? Backend().CreateKey(FRootKey, Key, FAccess, Reg::NonVolatile, opened)
                  : Backend().OpenKey(FRootKey, Key, FAccess, opened);
    if (status != Reg::Success || opened == TRegKeyHandle::None)
        return false;
    FCurrentKey = TRegKey(Backend(), opened);
    return true;
}

bool TRegistry::GetDataInfo(const std::string& ValueName, TRegDataInfo& Info) const {
    return GetDataInfoIn(CurrentKey(), ValueName, Info);
}

bool TRegistry::ValueExists(const std::string& Name) const {
    TRegDataInfo info;
    return GetDataInfo(Name, info);
}

std::string TRegistry::ReadString(const std::string& Name) const {
    return ReadStringIn(CurrentKey(), Name);
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
    WriteStringIn(CurrentKey(), Name, Value);
}

bool TRegistry::GetDataInfoIn(TRegKeyHandle Key, const std::string& ValueName,
                              TRegDataInfo& Info) const {
    if (Key == TRegKeyHandle::None)
        return false;
    std::uint32_t type = Reg::TypeNone;
    std::size_t size = 0;
    if (Backend().QueryValueInfo(Key, ValueName, type, size) != Reg::Success)
        return false;
    Info = {type, size};
    return true;
}

std::string TRegistry::ReadStringIn(TRegKeyHandle Key, const std::string& Name) const {
    TRegDataInfo info;
    if (!GetDataInfoIn(Key, Name, info) || info.DataSize == 0)
        return {};

    std::string data;
    try {
        data.resize(info.DataSize);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    } catch (const std::length_error&) {
        throw EOutOfMemory();
    }
    std::uint32_t type = Reg::TypeNone;
    std::size_t got = 0;
    // A value that grew since it was sized answers MoreData: that is a failed read too.
    if (Backend().QueryValue(Key, Name, type, data, got) != Reg::Success || got > data.size())
        throw ERegistryException(Format(Messages::SRegGetDataFailed, Name));
    if (type != Reg::TypeSz && type != Reg::TypeExpandSz)
        throw ERegistryException(Format(Messages::SInvalidRegType, Name));

    data.resize(got);
    // 0x00 is never the second byte of a Shift-JIS character, so a byte search finds the end.
    if (const auto nul = data.find('\0'); nul != std::string::npos)
        data.resize(nul);
    return data;
}

void TRegistry::WriteStringIn(TRegKeyHandle Key, const std::string& Name,
                              const std::string& Value) {
    // c_str() guarantees the NUL after the text, so size() + 1 bytes are readable.
    const std::span<const char> bytes(Value.c_str(), Value.size() + 1);
    if (Key == TRegKeyHandle::None ||
        Backend().SetValue(Key, Name, Reg::TypeSz, bytes) != Reg::Success)
        throw ERegistryException(Format(Messages::SRegSetDataFailed, Name));
}

TRegIniFile::TRegIniFile(TRegistryBackend& Backend, std::string FileName)
    : TRegistry(Backend), FFileName(std::move(FileName)) {
    OpenKey(FFileName, true);
}

std::string TRegIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                    const std::string& Default) const {
    if (CurrentKey() == TRegKeyHandle::None)
        return Default;
    TRegKeyHandle opened = TRegKeyHandle::None;
    if (Backend().OpenKey(CurrentKey(), Section, Access(), opened) != Reg::Success ||
        opened == TRegKeyHandle::None)
        return Default;
    const TRegKey section(Backend(), opened);

    TRegDataInfo info;
    if (!GetDataInfoIn(section.Handle(), Ident, info))
        return Default;
    return ReadStringIn(section.Handle(), Ident);
}

void TRegIniFile::WriteString(const std::string& Section, const std::string& Ident,
                              const std::string& Value) {
    if (CurrentKey() == TRegKeyHandle::None)
        throw ERegistryException(Format(Messages::SRegCreateFailed, FFileName));

    TRegKeyHandle created = TRegKeyHandle::None;
    if (Backend().CreateKey(CurrentKey(), Section, Access(), Reg::NonVolatile, created) !=
            Reg::Success ||
        created == TRegKeyHandle::None)
        throw ERegistryException(Format(Messages::SRegCreateFailed, Section));
    TRegKey(Backend(), created).Close();

    // The section is opened afresh, as any later reader will open it: if that is refused the
    // value could not be read back, so the write has failed.
    TRegKeyHandle opened = TRegKeyHandle::None;
    if (Backend().OpenKey(CurrentKey(), Section, Access(), opened) != Reg::Success ||
        opened == TRegKeyHandle::None)
        throw ERegistryException(Format(Messages::SRegSetDataFailed, Ident));
    const TRegKey section(Backend(), opened);
    WriteStringIn(section.Handle(), Ident, Value);
}
