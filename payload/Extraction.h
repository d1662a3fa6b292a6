// ExtractPayload: one packed resource of this module decoded over one game file, which is
// replaced whole or left exactly as it was.
#pragma once

#include <string>

// EResNotFound when there is no such resource (the target is not touched); EFCreateError with
// TargetPath when the target cannot be replaced; EReadError, EWriteError, EOutOfMemory from the
// decode. Returns true on every return.
bool ExtractPayload(std::string ResName, std::string TargetPath);

// Applies every entry of UpdateSet to Folder, in order; the first failure stops it.
void ApplyUpdateSet(const std::string& Folder);
