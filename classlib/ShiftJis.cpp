#include "classlib/ShiftJis.h"

bool EndsWithPathDelimiter(const std::string& Path) {
    bool lastIsDelimiter = false;
    for (std::size_t i = 0; i < Path.size(); ++i) {
        const auto c = static_cast<unsigned char>(Path[i]);
        if (IsLeadByte(c) && i + 1 < Path.size()) {
            ++i; // the trail byte belongs to this character, whatever its value
            lastIsDelimiter = false;
        } else {
            lastIsDelimiter = c == '\\' || c == '/';
        }
    }
    return lastIsDelimiter;
}

std::string JoinPath(const std::string& Folder, const std::string& Name) {
    if (Folder.empty() || EndsWithPathDelimiter(Folder))
        return Folder + Name;
    return Folder + "\\" + Name;
}
