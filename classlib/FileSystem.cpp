#include "classlib/FileSystem.h"

#include <windows.h>

#include "classlib/Exceptions.h"
#include "classlib/Messages.h"
#include "classlib/Win32Text.h"

namespace {

DWORD AttributesOf(const std::string& Name) {
    return GetFileAttributesW(ToWide(Name).c_str());
}

bool IsFolder(const std::wstring& Path) {
    const DWORD a = GetFileAttributesW(Path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Works in UTF-16, where no trail byte can pass for a separator.
bool ForceWide(std::wstring Dir) {
    // "C:\" keeps its separator: without it, it names the drive's current folder.
    while (Dir.size() > 1 && (Dir.back() == L'\\' || Dir.back() == L'/') &&
           Dir[Dir.size() - 2] != L':')
        Dir.pop_back();
    if (IsFolder(Dir))
        return true;
    const auto at = Dir.find_last_of(L"\\/", Dir.size() - 2);
    if (at != std::wstring::npos && at > 0) {
        std::wstring parent = Dir.substr(0, at);
        if (parent.back() == L':')
            parent += L'\\';
        if (parent.size() >= Dir.size() || !ForceWide(parent))
            return false;
    }
    return CreateDirectoryW(Dir.c_str(), nullptr) || IsFolder(Dir);
}

} // namespace

bool FileExists(const std::string& Name) {
    const DWORD a = AttributesOf(Name);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& Name) {
    const DWORD a = AttributesOf(Name);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const std::string& Dir) {
    if (Dir.empty())
        throw Exception(Messages::SCannotCreateDir);
    return ForceWide(ToWide(Dir));
}
