#include "classlib/Messages.h"

std::string Format(const std::string& Fmt, const std::string& Arg) {
    // "%s" is pure ASCII and 0x25 never occurs as a Shift-JIS trail byte, so a byte search is safe.
    const auto at = Fmt.find("%s");
    if (at == std::string::npos)
        return Fmt;
    std::string out;
    out.reserve(Fmt.size() + Arg.size());
    out.append(Fmt, 0, at).append(Arg).append(Fmt, at + 2, std::string::npos);
    return out;
}
