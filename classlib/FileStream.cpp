#include "classlib/FileStream.h"

#include <windows.h>

#include <limits>

#include "classlib/Exceptions.h"
#include "classlib/Win32Text.h"

TFileHandle& TFileHandle::operator=(TFileHandle&& Other) noexcept {
    if (this != &Other) {
        Close();
        FHandle = Other.Release();
    }
    return *this;
}

bool TFileHandle::Valid() const {
    return FHandle != INVALID_HANDLE_VALUE && FHandle != nullptr;
}

HANDLE TFileHandle::Release() {
    HANDLE h = FHandle;
    FHandle = INVALID_HANDLE_VALUE;
    return h;
}

void TFileHandle::Close() {
    if (Valid())
        CloseHandle(FHandle);
    FHandle = INVALID_HANDLE_VALUE;
}

namespace {

// WriteFile and ReadFile take 32-bit counts; larger requests go in pieces.
constexpr std::size_t MaxChunk = 1u << 30;

std::size_t ReadHandle(HANDLE H, void* Buffer, std::size_t Count) {
    auto* p = static_cast<std::uint8_t*>(Buffer);
    std::size_t done = 0;
    while (done < Count) {
        DWORD got = 0;
        const auto want = static_cast<DWORD>(std::min(Count - done, MaxChunk));
        if (!ReadFile(H, p + done, want, &got, nullptr) || got == 0)
            break;
        done += got;
    }
    return done;
}

std::size_t WriteHandle(HANDLE H, const void* Buffer, std::size_t Count) {
    const auto* p = static_cast<const std::uint8_t*>(Buffer);
    std::size_t done = 0;
    while (done < Count) {
        DWORD put = 0;
        const auto want = static_cast<DWORD>(std::min(Count - done, MaxChunk));
        if (!WriteFile(H, p + done, want, &put, nullptr) || put == 0)
            break;
        done += put;
    }
    return done;
}

// The folder part of a path, separator included ("" when there is none). UTF-16 has no trail
// bytes that look like separators, so a plain search is right here.
std::wstring FolderOf(const std::wstring& Path) {
    const auto at = Path.find_last_of(L"\\/:");
    return at == std::wstring::npos ? std::wstring() : Path.substr(0, at + 1);
}

} // namespace

TFileStream::TFileStream(const std::string& FileName, unsigned short Mode) {
    const std::wstring name = ToWide(FileName);
    if (Mode == fmCreate) {
        FHandle = TFileHandle(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!FHandle.Valid())
            throw EFCreateError(FileName);
    } else {
        FHandle = TFileHandle(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!FHandle.Valid())
            throw EFOpenError(FileName);
    }
}

std::size_t TFileStream::Read(void* Buffer, std::size_t Count) {
    return ReadHandle(FHandle.Get(), Buffer, Count);
}

std::size_t TFileStream::Write(const void* Buffer, std::size_t Count) {
    return WriteHandle(FHandle.Get(), Buffer, Count);
}

TReplacementFileStream::TReplacementFileStream(const std::string& Target)
    : FTarget(Target), FTargetW(ToWide(Target)) {
    const DWORD attributes = GetFileAttributesW(FTargetW.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // Wine lets a rename replace a read-only file; Windows does not, and neither do we.
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
            throw EFCreateError(FTarget);
        // The same access and sharing a plain create would ask for: it fails exactly when
        // another process (the running game) holds the file, or access is denied.
        FGuard = TFileHandle(CreateFileW(FTargetW.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!FGuard.Valid())
            throw EFCreateError(FTarget);
    }
    std::wstring folder = FolderOf(FTargetW);
    wchar_t name[MAX_PATH + 1] = {};
    if (folder.size() >= MAX_PATH - 14 ||
        !GetTempFileNameW(folder.empty() ? L"." : folder.c_str(), L"upd", 0, name))
        throw EFCreateError(FTarget);
    FNewW = name;
    FNew = TFileHandle(CreateFileW(FNewW.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FNew.Valid()) {
        DeleteFileW(FNewW.c_str());
        throw EFCreateError(FTarget);
    }
}

TReplacementFileStream::~TReplacementFileStream() {
    Discard();
}

void TReplacementFileStream::Discard() noexcept {
    FNew.Close();
    if (!FNewW.empty()) {
        DeleteFileW(FNewW.c_str());
        FNewW.clear();
    }
}

std::size_t TReplacementFileStream::Read(void* Buffer, std::size_t Count) {
    return ReadHandle(FNew.Get(), Buffer, Count);
}

std::size_t TReplacementFileStream::Write(const void* Buffer, std::size_t Count) {
    return WriteHandle(FNew.Get(), Buffer, Count);
}

void TReplacementFileStream::Commit() {
    // A new file the disk has not taken whole must never replace a working one.
    if (!FlushFileBuffers(FNew.Get()))
        throw EWriteError();
    FNew.Close();
    FGuard.Close();
    if (!MoveFileExW(FNewW.c_str(), FTargetW.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw EFCreateError(FTarget);
    FNewW.clear();
}
