#include "tests/support/TestFiles.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "classlib/Win32Text.h"

namespace testfiles {

namespace {
std::atomic<unsigned> Counter{0};
}

TempFolder::TempFolder(const std::string& Name) {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH, temp);
    std::string base = FromWide(temp);
    for (;;) {
        FPath = base + Name + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(Counter++);
        if (CreateDirectoryW(ToWide(FPath).c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create test folder " + FPath);
    }
}

TempFolder::~TempFolder() {
    RemoveTree(FPath);
}

bool Exists(const std::string& Path) {
    return GetFileAttributesW(ToWide(Path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

Bytes ReadAll(const std::string& Path) {
    HANDLE h = CreateFileW(ToWide(Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + Path);
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    Bytes data(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    const BOOL ok =
        data.empty() || ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
    CloseHandle(h);
    if (!ok || (!data.empty() && got != data.size()))
        throw std::runtime_error("cannot read " + Path);
    return data;
}

void WriteAll(const std::string& Path, const Bytes& Data) {
    HANDLE h = CreateFileW(ToWide(Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + Path);
    DWORD put = 0;
    const BOOL ok =
        Data.empty() || WriteFile(h, Data.data(), static_cast<DWORD>(Data.size()), &put, nullptr);
    CloseHandle(h);
    if (!ok || put != Data.size())
        throw std::runtime_error("cannot write " + Path);
}

void SetReadOnly(const std::string& Path, bool ReadOnly) {
    SetFileAttributesW(ToWide(Path).c_str(),
                       ReadOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

std::vector<std::string> List(const std::string& Folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(ToWide(Folder + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(FromWide(name));
    } while (FindNextFileW(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

void RemoveTree(const std::string& Path) {
    const std::wstring wide = ToWide(Path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        for (const auto& name : List(Path))
            RemoveTree(Path + "\\" + name);
        RemoveDirectoryW(wide.c_str());
    } else {
        SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(wide.c_str());
    }
}

std::string HostPath(const std::string& UnixPath) {
    std::string out = "Z:";
    for (char c : UnixPath)
        out += c == '/' ? '\\' : c;
    return out;
}

} // namespace testfiles
