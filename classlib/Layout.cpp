#include "classlib/Layout.h"

#include <charconv>
#include <limits>

#include "classlib/ShiftJis.h"

ELayoutError::ELayoutError(int Line, const std::string& What)
    : Exception("レイアウトの " + std::to_string(Line) + " 行目が不正です: " + What) {}

namespace {

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// One line at a time; every read is checked against the end of the line.
class TLineReader {
public:
    TLineReader(std::string_view Line, int Number) : FLine(Line), FNumber(Number) {}

    void SkipBlanks() {
        while (FPos < FLine.size() && IsBlank(FLine[FPos]))
            ++FPos;
    }
    bool AtEnd() {
        SkipBlanks();
        return FPos == FLine.size();
    }
    bool Accept(char c) {
        SkipBlanks();
        if (FPos < FLine.size() && FLine[FPos] == c) {
            ++FPos;
            return true;
        }
        return false;
    }
    void Expect(char c) {
        if (!Accept(c))
            Fail(std::string("'") + c + "' がありません");
    }
    // A word of letters, digits and "_", dotted parts allowed when Dotted.
    std::string Identifier(bool Dotted) {
        SkipBlanks();
        const std::size_t start = FPos;
        if (FPos == FLine.size() || !IsIdentStart(FLine[FPos]))
            Fail("名前がありません");
        while (FPos < FLine.size() && (IsIdentChar(FLine[FPos]) ||
                                       (Dotted && FLine[FPos] == '.' && FPos + 1 < FLine.size() &&
                                        IsIdentStart(FLine[FPos + 1]))))
            ++FPos;
        return std::string(FLine.substr(start, FPos - start));
    }
    TLayoutValue Value() {
        SkipBlanks();
        if (FPos == FLine.size())
            Fail("値がありません");
        TLayoutValue v;
        const char c = FLine[FPos];
        if (c == '\'') {
            v.Kind = TLayoutValue::TKind::String;
            v.Text = QuotedString();
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            v.Kind = TLayoutValue::TKind::Integer;
            v.Integer = Integer();
        } else if (c == '[') {
            v.Kind = TLayoutValue::TKind::Set;
            ++FPos;
            if (!Accept(']')) {
                do
                    v.Items.push_back(Identifier(false));
                while (Accept(','));
                Expect(']');
            }
        } else {
            v.Kind = TLayoutValue::TKind::Identifier;
            v.Text = Identifier(false);
        }
        return v;
    }
    [[noreturn]] void Fail(const std::string& What) const { throw ELayoutError(FNumber, What); }

private:
    std::string QuotedString() {
        ++FPos; // the opening quote
        std::string out;
        while (FPos < FLine.size()) {
            const char c = FLine[FPos++];
            if (IsLeadByte(static_cast<unsigned char>(c)) && FPos < FLine.size()) {
                out += c;
                out += FLine[FPos++]; // a trail byte is text, whatever its value
            } else if (c == '\'') {
                if (FPos < FLine.size() && FLine[FPos] == '\'') {
                    out += '\'';
                    ++FPos;
                } else {
                    return out;
                }
            } else {
                out += c;
            }
        }
        Fail("文字列が閉じていません");
    }
    std::int32_t Integer() {
        const char* first = FLine.data() + FPos;
        const char* last = FLine.data() + FLine.size();
        std::int32_t n = 0;
        const auto [end, ec] = std::from_chars(first, last, n);
        if (ec == std::errc::result_out_of_range)
            Fail("数値が範囲外です");
        if (ec != std::errc() || (end != last && IsIdentChar(*end)))
            Fail("数値が不正です");
        FPos += static_cast<std::size_t>(end - first);
        return n;
    }

    std::string_view FLine;
    std::size_t FPos = 0;
    int FNumber;
};

class TParser {
public:
    explicit TParser(std::string_view Text) : FText(Text) {}

    TLayoutObject Parse() {
        if (!NextLine())
            throw ELayoutError(FNumber, "object がありません");
        TLayoutObject root = Object(1);
        while (NextLine())
            if (!Current().AtEnd())
                Current().Fail("end の後に余分な行があります");
        return root;
    }

private:
    // Moves to the next line that is not blank; false at the end of the text.
    bool NextLine() {
        while (FNext <= FText.size()) {
            std::size_t eol = FText.find('\n', FNext);
            if (eol == std::string_view::npos)
                eol = FText.size();
            ++FNumber;
            FReader = TLineReader(FText.substr(FNext, eol - FNext), FNumber);
            FNext = eol + 1;
            if (!FReader.AtEnd())
                return true;
        }
        return false;
    }
    TLineReader& Current() { return FReader; }

    // Current line is "object Name: TClass".
    TLayoutObject Object(int Depth) {
        if (Depth > MaxLayoutDepth)
            Current().Fail("入れ子が深すぎます");
        TLayoutObject obj;
        obj.Line = FNumber;
        if (Current().Identifier(false) != "object")
            Current().Fail("object がありません");
        obj.Name = Current().Identifier(false);
        Current().Expect(':');
        obj.ClassName = Current().Identifier(false);
        if (!Current().AtEnd())
            Current().Fail("行末に余分な文字があります");
        for (;;) {
            if (!NextLine())
                throw ELayoutError(FNumber, obj.Name + " の end がありません");
            TLineReader probe = Current();
            const std::string word = probe.Identifier(true);
            if (word == "end") {
                if (!probe.AtEnd())
                    probe.Fail("行末に余分な文字があります");
                return obj;
            }
            if (word == "object") {
                obj.Children.push_back(Object(Depth + 1));
                continue;
            }
            TLayoutProperty prop;
            prop.Line = FNumber;
            prop.Name = Current().Identifier(true);
            Current().Expect('=');
            prop.Value = Current().Value();
            if (!Current().AtEnd())
                Current().Fail("行末に余分な文字があります");
            obj.Properties.push_back(std::move(prop));
        }
    }

    std::string_view FText;
    std::size_t FNext = 0;
    int FNumber = 0;
    TLineReader FReader{{}, 0};
};

} // namespace

TLayoutObject ParseLayout(std::string_view Text) {
    return TParser(Text).Parse();
}
