#include "classlib/Win32Text.h"

#include <windows.h>

std::wstring ToWide(const std::string& ShiftJis) {
    if (ShiftJis.empty())
        return {};
    const int n = MultiByteToWideChar(ShiftJisCodePage, 0, ShiftJis.data(),
                                      static_cast<int>(ShiftJis.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(ShiftJisCodePage, 0, ShiftJis.data(), static_cast<int>(ShiftJis.size()),
                        out.data(), n);
    return out;
}

std::string FromWide(const wchar_t* Wide, std::size_t Length) {
    if (Length == 0)
        return {};
    const int n = WideCharToMultiByte(ShiftJisCodePage, 0, Wide, static_cast<int>(Length), nullptr,
                                      0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(ShiftJisCodePage, 0, Wide, static_cast<int>(Length), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::string FromWide(const std::wstring& Wide) {
    return FromWide(Wide.data(), Wide.size());
}
