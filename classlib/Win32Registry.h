// TWin32RegistryBackend, the registry seam over advapi32's W functions: the only code that
// calls the registry. Shift-JIS names and string data are converted at code page 932 exactly.
#pragma once

#include "classlib/RegistryBackend.h"

// Strings are stored as the UTF-16 that the A functions of a Japanese system would store, and
// counted and returned in Shift-JIS bytes, whatever the system's ANSI code page is. A text that
// has no exact counterpart (invalid Shift-JIS going in, a character outside code page 932 coming
// out) fails the call with Reg::NoUnicodeTranslation instead of being replaced by a look-alike.
class TWin32RegistryBackend final : public TRegistryBackend {
public:
    TRegStatus CreateKey(TRegKeyHandle Parent, const std::string& SubKey, std::uint32_t Access,
                         std::uint32_t Options, TRegKeyHandle& Result) override;
    TRegStatus OpenKey(TRegKeyHandle Parent, const std::string& SubKey, std::uint32_t Access,
                       TRegKeyHandle& Result) override;
    TRegStatus QueryValueInfo(TRegKeyHandle Key, const std::string& Name, std::uint32_t& Type,
                              std::size_t& Size) override;
    TRegStatus QueryValue(TRegKeyHandle Key, const std::string& Name, std::uint32_t& Type,
                          std::span<char> Buffer, std::size_t& Size) override;
    TRegStatus SetValue(TRegKeyHandle Key, const std::string& Name, std::uint32_t Type,
                        std::span<const char> Data) override;
    TRegStatus CloseKey(TRegKeyHandle Key) override;
};

// The process's one instance; it holds no state.
TRegistryBackend& Win32RegistryBackend();
