#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "classlib/Layout.h"

namespace {

TEST(ParseLayout, ReadsObjectsPropertiesAndChildrenInOrder) {
    const auto root = ParseLayout("object Form1: TForm1\n"
                                  "  Left = 585\n"
                                  "  Font.Height = -12\n"
                                  "  Caption = 'アップデーター'\n"
                                  "  Color = clBtnFace\n"
                                  "  Font.Style = [fsBold, fsItalic]\n"
                                  "  Tags = []\n"
                                  "\r\n"
                                  "  object Image1: TImage\n"
                                  "    Width = 512\n"
                                  "  end\n"
                                  "  object Button1: TButton\r\n"
                                  "    OnClick = Button1Click\r\n"
                                  "  end\n"
                                  "end\n");
    EXPECT_EQ(root.Name, "Form1");
    EXPECT_EQ(root.ClassName, "TForm1");
    ASSERT_EQ(root.Properties.size(), 6u);
    using K = TLayoutValue::TKind;
    EXPECT_EQ(root.Properties[0].Name, "Left");
    EXPECT_EQ(root.Properties[0].Value.Kind, K::Integer);
    EXPECT_EQ(root.Properties[0].Value.Integer, 585);
    EXPECT_EQ(root.Properties[1].Name, "Font.Height");
    EXPECT_EQ(root.Properties[1].Value.Integer, -12);
    EXPECT_EQ(root.Properties[2].Value.Kind, K::String);
    EXPECT_EQ(root.Properties[2].Value.Text, "アップデーター");
    EXPECT_EQ(root.Properties[3].Value.Kind, K::Identifier);
    EXPECT_EQ(root.Properties[3].Value.Text, "clBtnFace");
    EXPECT_EQ(root.Properties[4].Value.Kind, K::Set);
    EXPECT_EQ(root.Properties[4].Value.Items, (std::vector<std::string>{"fsBold", "fsItalic"}));
    EXPECT_TRUE(root.Properties[5].Value.Items.empty());
    EXPECT_EQ(root.Properties[5].Line, 7);
    ASSERT_EQ(root.Children.size(), 2u);
    EXPECT_EQ(root.Children[0].Name, "Image1");
    EXPECT_EQ(root.Children[0].Properties[0].Value.Integer, 512);
    EXPECT_EQ(root.Children[1].ClassName, "TButton");
    EXPECT_EQ(root.Children[1].Properties[0].Value.Text, "Button1Click");
    EXPECT_EQ(root.Children[1].Line, 12);
}

TEST(ParseLayout, StringsKeepShiftJisTrailBytesAndUndoubleQuotes) {
    // "ソ" and "表" end in 5C, "ー" in 5B: none of them may end or escape anything.
    const auto root = ParseLayout("object A: TLabel\nCaption = 'ソ表ー''s'\nHint = ''\nend");
    EXPECT_EQ(root.Properties[0].Value.Text, "ソ表ー's");
    EXPECT_EQ(root.Properties[1].Value.Text, "");
}

struct BadCase {
    const char* Text;
    int Line;
};

const BadCase BadCases[] = {
    {"", 1},
    {"   \n\n", 3},
    {"object Form1 TForm1\nend", 1},
    {"object Form1: TForm1\n  Left = 1\n", 3},
    {"object Form1: TForm1\n  Caption = 'open\nend", 2},
    {"object Form1: TForm1\n  Left 1\nend", 2},
    {"object Form1: TForm1\n  Left =\nend", 2},
    {"object Form1: TForm1\n  Left = 99999999999\nend", 2},
    {"object Form1: TForm1\n  Left = 12px\nend", 2},
    {"object Form1: TForm1\n  Left = 1 2\nend", 2},
    {"object Form1: TForm1\n  Style = [a, ]\nend", 2},
    {"object Form1: TForm1\n  Style = [a\nend", 2},
    {"object Form1: TForm1\nend\nobject Form2: TForm2\nend", 3},
    {"object Form1: TForm1\nend x\n", 2},
    {"\xFF\xFE", 1},
};

TEST(ParseLayout, RefusesMalformedTextNamingTheLine) {
    for (const auto& c : BadCases) {
        try {
            ParseLayout(c.Text);
            ADD_FAILURE() << "accepted: " << c.Text;
        } catch (const ELayoutError& e) {
            EXPECT_NE(e.Message().find(" " + std::to_string(c.Line) + " 行目"), std::string::npos)
                << c.Text << " -> " << e.Message();
        }
    }
}

TEST(ParseLayout, RefusesNestingBeyondTheLimitInsteadOfRecursing) {
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "object A: T\n";
    EXPECT_THROW(ParseLayout(text), ELayoutError);

    std::string deepest;
    for (int i = 0; i < MaxLayoutDepth; ++i)
        deepest += "object A: T\n";
    for (int i = 0; i < MaxLayoutDepth; ++i)
        deepest += "end\n";
    EXPECT_NO_THROW(ParseLayout(deepest));
}

} // namespace

namespace {

std::string ReadFile(const char* Path) {
    std::ifstream in(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Render(const TLayoutValue& v) {
    switch (v.Kind) {
    case TLayoutValue::TKind::Integer:
        return std::to_string(v.Integer);
    case TLayoutValue::TKind::String:
        return "'" + v.Text + "'";
    case TLayoutValue::TKind::Identifier:
        return v.Text;
    case TLayoutValue::TKind::Set: {
        std::string s = "[";
        for (const auto& i : v.Items)
            s += (s.size() > 1 ? ", " : "") + i;
        return s + "]";
    }
    }
    return {};
}

using TProps = std::vector<std::pair<std::string, std::string>>;

TProps Props(const TLayoutObject& Object) {
    TProps out;
    for (const auto& p : Object.Properties)
        out.emplace_back(p.Name, Render(p.Value));
    return out;
}

// The main window's layout as the program carries it (Shift-JIS), every value and binding.
TEST(MainWindowLayout, HoldsTheWindowsValuesAndBindsNothingToButton4Click) {
    const TLayoutObject form = ParseLayout(ReadFile(UNIT1_LAYOUT));
    EXPECT_EQ(form.Name, "Form1");
    EXPECT_EQ(form.ClassName, "TForm1");
    EXPECT_EQ(Props(form), (TProps{
                               {"Left", "585"},
                               {"Top", "1026"},
                               {"Width", "538"},
                               {"Height", "291"},
                               {"Caption", "'アップデーター'"},
                               {"Color", "clBtnFace"},
                               {"Font.Charset", "SHIFTJIS_CHARSET"},
                               {"Font.Color", "clWindowText"},
                               {"Font.Height", "-12"},
                               {"Font.Name", "'ＭＳ Ｐゴシック'"},
                               {"Font.Style", "[]"},
                               {"OldCreateOrder", "True"},
                               {"Scaled", "False"},
                               {"OnCreate", "FormCreate"},
                               {"OnShow", "FormShow"},
                               {"PixelsPerInch", "96"},
                               {"TextHeight", "12"},
                           }));
    ASSERT_EQ(form.Children.size(), 3u);
    const struct {
        const char* Name;
        const char* Class;
        TProps Expected;
    } controls[] = {
        {"Image1", "TImage", {{"Left", "8"}, {"Top", "8"}, {"Width", "512"}, {"Height", "193"}}},
        {"Button1",
         "TButton",
         {{"Left", "8"},
          {"Top", "216"},
          {"Width", "113"},
          {"Height", "33"},
          {"Caption", "'アップデート開始'"},
          {"TabOrder", "0"},
          {"OnClick", "Button1Click"}}},
        {"Button3",
         "TButton",
         {{"Left", "432"},
          {"Top", "216"},
          {"Width", "83"},
          {"Height", "33"},
          {"Caption", "'終了'"},
          {"TabOrder", "1"},
          {"OnClick", "Button3Click"}}},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(form.Children[i].Name, controls[i].Name);
        EXPECT_EQ(form.Children[i].ClassName, controls[i].Class);
        EXPECT_EQ(Props(form.Children[i]), controls[i].Expected) << controls[i].Name;
        EXPECT_TRUE(form.Children[i].Children.empty());
    }
}

} // namespace
