// TFileStream, a stream over one file handle, and TReplacementFileStream, which writes a new
// file beside its target and puts it in the target's place only when told the content is whole.
#pragma once

#include <string>

#include "classlib/Streams.h"

using HANDLE = void*;

// A Win32 file handle with one owner.
class TFileHandle {
public:
    TFileHandle() = default;
    explicit TFileHandle(HANDLE H) : FHandle(H) {}
    TFileHandle(TFileHandle&& Other) noexcept : FHandle(Other.Release()) {}
    TFileHandle& operator=(TFileHandle&& Other) noexcept;
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    ~TFileHandle() { Close(); }

    bool Valid() const;
    HANDLE Get() const { return FHandle; }
    HANDLE Release();
    void Close();

private:
    HANDLE FHandle = reinterpret_cast<HANDLE>(static_cast<long long>(-1));
};

inline constexpr unsigned short fmCreate = 0xFFFF;
inline constexpr unsigned short fmOpenRead = 0x0000;

class TFileStream : public TStream {
public:
    // fmCreate: CREATE_ALWAYS, read and write, no sharing; EFCreateError with FileName when
    // that fails. fmOpenRead: an existing file, read only, shared for reading; EFOpenError.
    TFileStream(const std::string& FileName, unsigned short Mode);

    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;

    HANDLE Handle() const { return FHandle.Get(); }

private:
    TFileHandle FHandle;
};

class TReplacementFileStream : public TStream {
public:
    // Refuses, with EFCreateError naming Target, a target that Windows would not let us replace:
    // a folder, a read-only file, a file another process holds open, a missing folder. The
    // target is held exclusively until Commit, as a game starting meanwhile would hold it.
    explicit TReplacementFileStream(const std::string& Target);
    // Without Commit the new file is removed and the target stays as it was.
    ~TReplacementFileStream() override;

    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;

    // Flushes the new file to disk and moves it over the target in one step.
    void Commit();

private:
    void Discard() noexcept;

    std::string FTarget;
    std::wstring FTargetW;
    std::wstring FNewW;
    TFileHandle FGuard;
    TFileHandle FNew;
};
