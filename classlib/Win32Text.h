// Conversion between the program's Shift-JIS strings and the UTF-16 the W functions take.
// Always code page 932, whatever the system's ANSI code page is.
#pragma once

#include <string>

inline constexpr unsigned ShiftJisCodePage = 932;

std::wstring ToWide(const std::string& ShiftJis);
std::string FromWide(const std::wstring& Wide);
std::string FromWide(const wchar_t* Wide, std::size_t Length);
