// TRegistryDouble, an in-memory per-user store behind the registry seam that can make any one
// call fail, and keeps count of the handles it gave out so tests can see that each was closed.
#pragma once

#include "classlib/RegistryBackend.h"

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

class TRegistryDouble final : public TRegistryBackend {
public:
    enum class TOp { CreateKey, OpenKey, QueryValueInfo, QueryValue, SetValue, CloseKey };

    struct TValue {
        std::uint32_t Type = Reg::TypeNone;
        std::string Data;
        bool operator==(const TValue&) const = default;
    };

    // One call that fails: the (Skip + 1)th call of Op on Path (a key path below the root, as
    // "Software\\Pendravik\\KALDOREN"; for value calls the key holding the value) answers Status.
    struct TFault {
        TOp Op;
        std::string Path;
        TRegStatus Status = Reg::AccessDenied;
        int Skip = 0;
    };

    TRegistryDouble() { FKeys[""]; }

    void Fail(TFault Fault) { FFaults.push_back(std::move(Fault)); }

    // The store as a test arranges and inspects it; paths are relative to HKEY_CURRENT_USER.
    void PutKey(const std::string& Path) { MakeKey(Path); }
    void PutValue(const std::string& Path, const std::string& Name, TValue Value) {
        MakeKey(Path)[Name] = std::move(Value);
    }
    bool HasKey(const std::string& Path) const { return FKeys.contains(Path); }
    // Subkeys directly below Path.
    std::vector<std::string> SubKeys(const std::string& Path) const {
        std::vector<std::string> out;
        const std::string prefix = Path.empty() ? "" : Path + "\\";
        for (const auto& [path, values] : FKeys)
            if (!path.empty() && path != Path && path.starts_with(prefix) &&
                path.find('\\', prefix.size()) == std::string::npos)
                out.push_back(path.substr(prefix.size()));
        return out;
    }
    const TValue* Value(const std::string& Path, const std::string& Name) const {
        const auto key = FKeys.find(Path);
        if (key == FKeys.end())
            return nullptr;
        const auto value = key->second.find(Name);
        return value == key->second.end() ? nullptr : &value->second;
    }

    // Handles given out and not yet closed, and closes of handles that were not open (a double
    // close, or closing the predefined root).
    std::size_t OpenHandles() const { return FOpen.size(); }
    int BadCloses() const { return FBadCloses; }
    // Every call, as "Op path" (with the access mask and options where the call takes them).
    const std::vector<std::string>& Calls() const { return FCalls; }

    TRegStatus CreateKey(TRegKeyHandle Parent, const std::string& SubKey, std::uint32_t Access,
                         std::uint32_t Options, TRegKeyHandle& Result) override {
        const std::string path = Join(PathOf(Parent), SubKey);
        Log("CreateKey " + path + " " + Hex(Access) + " " + Hex(Options));
        if (const auto status = Fault(TOp::CreateKey, path); status != Reg::Success)
            return status;
        if (!KnownHandle(Parent))
            return InvalidHandle;
        MakeKey(path);
        Result = Hand(path);
        return Reg::Success;
    }

    TRegStatus OpenKey(TRegKeyHandle Parent, const std::string& SubKey, std::uint32_t Access,
                       TRegKeyHandle& Result) override {
        const std::string path = Join(PathOf(Parent), SubKey);
        Log("OpenKey " + path + " " + Hex(Access));
        if (const auto status = Fault(TOp::OpenKey, path); status != Reg::Success)
            return status;
        if (!KnownHandle(Parent))
            return InvalidHandle;
        if (!FKeys.contains(path))
            return Reg::FileNotFound;
        Result = Hand(path);
        return Reg::Success;
    }

    TRegStatus QueryValueInfo(TRegKeyHandle Key, const std::string& Name, std::uint32_t& Type,
                              std::size_t& Size) override {
        const TValue* value = nullptr;
        if (const auto status = Find(TOp::QueryValueInfo, Key, Name, value); status != Reg::Success)
            return status;
        Type = value->Type;
        Size = value->Data.size();
        return Reg::Success;
    }

    TRegStatus QueryValue(TRegKeyHandle Key, const std::string& Name, std::uint32_t& Type,
                          std::span<char> Buffer, std::size_t& Size) override {
        const TValue* value = nullptr;
        if (const auto status = Find(TOp::QueryValue, Key, Name, value); status != Reg::Success)
            return status;
        Size = value->Data.size();
        if (value->Data.size() > Buffer.size())
            return Reg::MoreData;
        if (!value->Data.empty())
            std::memcpy(Buffer.data(), value->Data.data(), value->Data.size());
        Type = value->Type;
        return Reg::Success;
    }

    TRegStatus SetValue(TRegKeyHandle Key, const std::string& Name, std::uint32_t Type,
                        std::span<const char> Data) override {
        const std::string path = PathOf(Key);
        Log("SetValue " + path + " " + Name);
        if (const auto status = Fault(TOp::SetValue, path); status != Reg::Success)
            return status;
        if (!KnownHandle(Key))
            return InvalidHandle;
        FKeys[path][Name] = {Type, std::string(Data.begin(), Data.end())};
        return Reg::Success;
    }

    TRegStatus CloseKey(TRegKeyHandle Key) override {
        Log("CloseKey " + PathOf(Key));
        if (FOpen.erase(Key) == 0) {
            ++FBadCloses;
            return InvalidHandle;
        }
        return Fault(TOp::CloseKey, FPaths[Key]);
    }

private:
    static constexpr TRegStatus InvalidHandle = 6; // ERROR_INVALID_HANDLE

    static std::string Join(const std::string& Parent, const std::string& SubKey) {
        if (Parent.empty())
            return SubKey;
        return SubKey.empty() ? Parent : Parent + "\\" + SubKey;
    }
    static std::string Hex(std::uint32_t Value) {
        static const char digits[] = "0123456789ABCDEF";
        std::string out = "0x";
        bool started = false;
        for (int shift = 28; shift >= 0; shift -= 4) {
            const auto digit = (Value >> shift) & 0xF;
            if (digit != 0 || started || shift == 0) {
                out += digits[digit];
                started = true;
            }
        }
        return out;
    }

    // Registry keys are made with every missing key on the way.
    std::map<std::string, TValue>& MakeKey(const std::string& Path) {
        for (auto at = Path.find('\\'); at != std::string::npos; at = Path.find('\\', at + 1))
            FKeys[Path.substr(0, at)];
        return FKeys[Path];
    }

    bool KnownHandle(TRegKeyHandle Key) const {
        return Key == Reg::CurrentUser || FOpen.contains(Key);
    }
    std::string PathOf(TRegKeyHandle Key) const {
        if (Key == Reg::CurrentUser)
            return "";
        const auto at = FPaths.find(Key);
        return at == FPaths.end() ? "<unknown>" : at->second;
    }
    TRegKeyHandle Hand(const std::string& Path) {
        const auto handle = static_cast<TRegKeyHandle>(++FLastHandle);
        FOpen.insert(handle);
        FPaths[handle] = Path;
        return handle;
    }

    TRegStatus Find(TOp Op, TRegKeyHandle Key, const std::string& Name, const TValue*& Out) {
        const std::string path = PathOf(Key);
        Log(std::string(Op == TOp::QueryValue ? "QueryValue " : "QueryValueInfo ") + path + " " +
            Name);
        if (const auto status = Fault(Op, path); status != Reg::Success)
            return status;
        if (!KnownHandle(Key))
            return InvalidHandle;
        Out = Value(path, Name);
        return Out == nullptr ? Reg::FileNotFound : Reg::Success;
    }

    TRegStatus Fault(TOp Op, const std::string& Path) {
        for (auto& fault : FFaults)
            if (fault.Op == Op && fault.Path == Path && fault.Skip-- == 0)
                return fault.Status;
        return Reg::Success;
    }

    void Log(std::string Call) { FCalls.push_back(std::move(Call)); }

    std::map<std::string, std::map<std::string, TValue>> FKeys;
    std::vector<TFault> FFaults;
    std::set<TRegKeyHandle> FOpen;
    std::map<TRegKeyHandle, std::string> FPaths;
    std::uintptr_t FLastHandle = 0x100;
    int FBadCloses = 0;
    std::vector<std::string> FCalls;
};
