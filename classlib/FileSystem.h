// Questions and changes of the file system by Shift-JIS path: FileExists, DirectoryExists,
// ForceDirectories.
#pragma once

#include <string>

// True when Name is an existing entry that is not a folder.
bool FileExists(const std::string& Name);
bool DirectoryExists(const std::string& Name);
// Creates Dir and every missing parent; false when one of them cannot be made. An empty Dir
// raises, as it names nothing that could be created.
bool ForceDirectories(const std::string& Dir);
