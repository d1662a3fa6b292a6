// Shift-JIS (code page 932) rules for paths: lead bytes, and the trailing-separator test that
// must not mistake the second byte of a double-byte character (0x5C in "ソ", "表") for "\".
#pragma once

#include <string>

// 0x81-0x9F and 0xE0-0xFC lead a two-byte character.
constexpr bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// True when the last character of Path is "\" or "/", scanning from the start so that trail
// bytes are recognised as such.
bool EndsWithPathDelimiter(const std::string& Path);

// Folder and Name joined as a path: a "\" is inserted when Folder is not empty and does not
// already end in a separator.
std::string JoinPath(const std::string& Folder, const std::string& Name);
