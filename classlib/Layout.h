// The text form descriptions that layouts are stored in ("object Name: TClass" ... "end", one
// "Property = value" per line), and ParseLayout, which reads one into a tree. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "classlib/Exceptions.h"

// A malformed description; the message names the line.
class ELayoutError : public Exception {
public:
    ELayoutError(int Line, const std::string& What);
};

struct TLayoutValue {
    enum class TKind { Integer, String, Identifier, Set };
    TKind Kind = TKind::Integer;
    std::int32_t Integer = 0;
    // String: the text between the quotes, '' undoubled; Identifier: the word as written.
    std::string Text;
    // Set: the identifiers between the brackets, in order.
    std::vector<std::string> Items;
};

struct TLayoutProperty {
    std::string Name; // may be dotted: "Font.Height"
    TLayoutValue Value;
    int Line = 0;
};

struct TLayoutObject {
    std::string Name;
    std::string ClassName;
    std::vector<TLayoutProperty> Properties;
    std::vector<TLayoutObject> Children;
    int Line = 0;
};

// Objects nest no deeper than this; a description that does is refused rather than recursed.
inline constexpr int MaxLayoutDepth = 16;

// Parses exactly one top-level object, followed by nothing but blank space. Text is Shift-JIS:
// string values may hold double-byte characters whose trail byte is "'"-free but may be "\".
TLayoutObject ParseLayout(std::string_view Text);
