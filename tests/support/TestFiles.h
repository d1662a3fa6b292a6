// Real files for the Wine tests: a private folder per test, whole-file reads and writes, the
// listing of a folder, and the host files the build made (seen through Wine's Z: drive).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testfiles {

using Bytes = std::vector<std::uint8_t>;

// A new empty folder under the Wine user's temp folder, removed with everything in it when the
// object goes. Name may hold Japanese (Shift-JIS) text.
class TempFolder {
public:
    explicit TempFolder(const std::string& Name = "t");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Shift-JIS path, no trailing separator.
    const std::string& Path() const { return FPath; }
    std::string File(const std::string& Name) const { return FPath + "\\" + Name; }

private:
    std::string FPath;
};

bool Exists(const std::string& Path);
Bytes ReadAll(const std::string& Path);
void WriteAll(const std::string& Path, const Bytes& Data);
void SetReadOnly(const std::string& Path, bool ReadOnly);
// Names of the entries of Folder, sorted.
std::vector<std::string> List(const std::string& Folder);
void RemoveTree(const std::string& Path);

// A Unix path of the build turned into the Windows path Wine shows it under.
std::string HostPath(const std::string& UnixPath);

} // namespace testfiles
