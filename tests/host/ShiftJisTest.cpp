#include <gtest/gtest.h>

#include "classlib/ShiftJis.h"

namespace {

struct JoinCase {
    const char* Folder;
    const char* Expected;
};

// "ソ" and "表" are 83 5C and 95 5C: their trail byte is "\" but ends no folder.
const JoinCase JoinCases[] = {
    {"C:\\Game\\", "C:\\Game\\KALDOREN.EXE"},
    {"C:\\Game", "C:\\Game\\KALDOREN.EXE"},
    {"C:\\Game/", "C:\\Game/KALDOREN.EXE"},
    {"", "KALDOREN.EXE"},
    {"C:\\ゲーム\\ソ", "C:\\ゲーム\\ソ\\KALDOREN.EXE"},
    {"C:\\ソフト表", "C:\\ソフト表\\KALDOREN.EXE"},
    {"C:\\ゲーム\\ソフト表示\\", "C:\\ゲーム\\ソフト表示\\KALDOREN.EXE"},
    {"C:\\表\\", "C:\\表\\KALDOREN.EXE"},
    {"\\", "\\KALDOREN.EXE"},
    {" ", " \\KALDOREN.EXE"},
};

TEST(JoinPath, InsertsSeparatorOnlyWhereTheFolderLacksOne) {
    for (const auto& c : JoinCases)
        EXPECT_EQ(JoinPath(c.Folder, "KALDOREN.EXE"), c.Expected) << "folder: " << c.Folder;
}

TEST(JoinPath, LiteralsAreShiftJis) {
    // The rule above only means something if the sources really compile to code page 932.
    const std::string so = "ソ";
    ASSERT_EQ(so.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(so[0]), 0x83);
    EXPECT_EQ(static_cast<unsigned char>(so[1]), 0x5C);
}

TEST(EndsWithPathDelimiter, LoneLeadByteAtTheEndIsNoCharacterPair) {
    // A truncated double-byte character: the lead byte stands alone and is not a separator.
    EXPECT_FALSE(EndsWithPathDelimiter(std::string("C:\\\x83")));
    EXPECT_TRUE(EndsWithPathDelimiter(std::string("\x83\x5C\\")));
}

} // namespace
