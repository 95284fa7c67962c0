// Multi-line text: format codes split into font runs, and the runs laid out
// line by line. Layout values use a shape font whose characters A to D are
// lines (0,0)-(8,0) and (8,0)-(8,6) with reference height 8: at height 1 a
// character is 5 wide and the pen moves 5 + 10/3 after it. A text at the
// drawing origin starts its pen at (20000, 20000); line 1's pen y lies one
// line height x 10 lower.
#include "TextRecordFields.h"
#include "ShxBytes.h"
#include "platform/FontNotices.h"
#include "textoutline/Letrova.h"
#include "textoutline/MText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

using plat::SetField;
using plat::kEps;

constexpr double kAdvance = 5.0 + 10.0 / 3.0;

MText MakeMText(const char* text, const char* font = "test.shx", double height = 1.0)
{
    MText m;
    SetField(m.m_text, text);
    SetField(m.m_font_file, font);
    m.m_height = height;
    m.m_line_spacing = 1.0;
    return m;
}

CMText Parse(const MText& m)
{
    CMText text(m);
    text.Split();
    return text;
}

CMText Draw(const MText& m)
{
    CMText text(m);
    text.Outline();
    return text;
}

std::string Chars(const CMFontInfo& run)
{
    std::string s;
    for (const MCharInfo& c : run.m_chars)
        s += c.m_text;
    return s;
}

// First point of the character's first contour.
const CSuPoint& Start(const CTextChar& ch)
{
    return ch.m_contours.at(0).m_points.at(0);
}

double MinX(const CTextChar& ch)
{
    double v = 1e18;
    for (const COutLine& c : ch.m_contours)
        for (const CSuPoint& p : c.m_points)
            v = std::min(v, p.m_x);
    return v;
}

double MaxX(const CTextChar& ch)
{
    double v = -1e18;
    for (const COutLine& c : ch.m_contours)
        for (const CSuPoint& p : c.m_points)
            v = std::max(v, p.m_x);
    return v;
}

class MTextLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::vector<plat::ShxShape> shapes;
        for (char c = 'A'; c <= 'D'; ++c)
            shapes.push_back({static_cast<std::uint16_t>(c), std::string(1, c), {0x40, 0x34, 0x00}});
        m_folder.Write("shx/test.shx", plat::ShapeFontBytes(shapes));
        m_folder.Write("shx/big.shx", plat::BigFontBytes({{0x81, 0xFE}}, {{0x8140, "", {0x40, 0x00}}}));
    }
    plat::ScratchProgramFolder m_folder;
};

} // namespace

TEST(MTextFontName, ExtensionGoesOnlyWhenItIsOne)
{
    EXPECT_EQ(FontNameWithoutExtension("romans.shx"), "romans");
    EXPECT_EQ(FontNameWithoutExtension("Arial.TTF"), "Arial");
    EXPECT_EQ(FontNameWithoutExtension("my.font.shx"), "my.font");
    // Dots that start no extension keep the name whole.
    EXPECT_EQ(FontNameWithoutExtension("Arial.Narrow"), "Arial.Narrow");
    EXPECT_EQ(FontNameWithoutExtension("St. Ives"), "St. Ives");
    EXPECT_EQ(FontNameWithoutExtension("a.b.c"), "a.b.c");
    EXPECT_EQ(FontNameWithoutExtension(".shx"), ".shx");
    EXPECT_EQ(FontNameWithoutExtension("romans"), "romans");
}

TEST(MTextFontName, BaseFontComesFromTheStyleFiles)
{
    MText m = MakeMText("A", "C:\\Fonts\\times.TTF");
    CMText ttf(m);
    EXPECT_EQ(ttf.m_baseKind, CMFontInfo::kTrueType);
    EXPECT_EQ(ttf.m_baseName, "times.TTF");
    m = MakeMText("A", "romans.shx");
    SetField(m.m_bigfont_file, "gbcbig.shx");
    CMText shx(m);
    EXPECT_EQ(shx.m_baseKind, CMFontInfo::kShx);
    EXPECT_EQ(shx.m_baseName, "romans.shx,gbcbig.shx");
    // The additional text comes first.
    SetField(m.m_text_more, "AB");
    SetField(m.m_text, "CD");
    EXPECT_EQ(CMText(m).m_text, "ABCD");
}

TEST(MTextCodes, FontSwitchWithBoldAndItalicMakesOneRun)
{
    CMText text = Parse(MakeMText("{\\fArial|b1|i0;AB}"));
    ASSERT_EQ(text.m_runs.size(), 1u);
    const CMFontInfo& run = text.m_runs[0];
    EXPECT_EQ(run.m_kind, CMFontInfo::kTrueType);
    EXPECT_EQ(run.m_name, "Arial");
    EXPECT_TRUE(run.m_bold);
    EXPECT_FALSE(run.m_italic);
    EXPECT_EQ(Chars(run), "AB");
    EXPECT_EQ(run.m_line, 1);

    text = Parse(MakeMText("{\\fTimes New Roman|b0|i1|c134|p34;X}{\\Fromans,gbcbig|c2;Y}"));
    ASSERT_EQ(text.m_runs.size(), 2u);
    EXPECT_EQ(text.m_runs[0].m_name, "Times New Roman");
    EXPECT_TRUE(text.m_runs[0].m_italic);
    EXPECT_EQ(text.m_runs[0].m_charset, 134);
    EXPECT_EQ(text.m_runs[0].m_pitch, 34);
    EXPECT_EQ(Chars(text.m_runs[0]), "X");
    EXPECT_EQ(text.m_runs[1].m_kind, CMFontInfo::kShx);
    EXPECT_EQ(text.m_runs[1].m_name, "romans,gbcbig");
    EXPECT_EQ(text.m_runs[1].m_charset, 2);
    EXPECT_EQ(Chars(text.m_runs[1]), "Y");
}

TEST(MTextCodes, FontSwitchAfterCharactersClosesTheRun)
{
    const CMText text = Parse(MakeMText("{A\\fArial;B\\fArial|b1;C}"));
    ASSERT_EQ(text.m_runs.size(), 3u);
    // The first run had no font of its own: the base font.
    EXPECT_EQ(text.m_runs[0].m_kind, CMFontInfo::kShx);
    EXPECT_EQ(text.m_runs[0].m_name, "test.shx,");
    EXPECT_EQ(Chars(text.m_runs[0]), "A");
    EXPECT_EQ(Chars(text.m_runs[1]), "B");
    EXPECT_FALSE(text.m_runs[1].m_bold);
    EXPECT_TRUE(text.m_runs[2].m_bold);
}

TEST(MTextCodes, FlagsAreReadOnlyWithinTheRun)
{
    // The code ends with the run: the flags half there are not taken.
    CMText text = Parse(MakeMText("{X\\fArial|b1|i}{Y}"));
    ASSERT_EQ(text.m_runs.size(), 2u);
    EXPECT_EQ(Chars(text.m_runs[0]), "X");
    // Y's group names no font: it takes the previous run's.
    EXPECT_EQ(text.m_runs[1].m_name, "test.shx,");
    text = Parse(MakeMText("{\\fArial|b"));
    EXPECT_TRUE(text.m_runs.empty());
    text = Parse(MakeMText("{\\fArial|b1|i1;A}|b0"));
    ASSERT_EQ(text.m_runs.size(), 2u);
    EXPECT_TRUE(text.m_runs[0].m_bold);
    EXPECT_TRUE(text.m_runs[0].m_italic);
    EXPECT_EQ(Chars(text.m_runs[1]), "|b0");
}

TEST(MTextCodes, GroupWithoutAFontTakesThePreviousRunsFont)
{
    const CMText text = Parse(MakeMText("{\\fArial;A}{B}C{D}"));
    ASSERT_EQ(text.m_runs.size(), 4u);
    EXPECT_EQ(text.m_runs[1].m_name, "Arial");
    EXPECT_EQ(text.m_runs[1].m_kind, CMFontInfo::kTrueType);
    // Text outside any group is in the base font, and so is a group after it.
    EXPECT_EQ(text.m_runs[2].m_name, "test.shx,");
    EXPECT_EQ(text.m_runs[3].m_name, "test.shx,");
}

TEST(MTextCodes, HeightMultipliesAndIgnoresValuesOfZeroOrBelow)
{
    EXPECT_EQ(Parse(MakeMText("{\\H2x;A}", "test.shx", 1.5)).m_runs.at(0).m_height, 3.0);
    EXPECT_EQ(Parse(MakeMText("{\\H2;A}", "test.shx", 1.5)).m_runs.at(0).m_height, 3.0);
    EXPECT_EQ(Parse(MakeMText("{\\H2;\\H3x;A}")).m_runs.at(0).m_height, 6.0);
    EXPECT_EQ(Parse(MakeMText("{\\H0;A}")).m_runs.at(0).m_height, 1.0);
    EXPECT_EQ(Parse(MakeMText("{\\H-2;A}")).m_runs.at(0).m_height, 1.0);
    EXPECT_EQ(Parse(MakeMText("{\\Hx;A}")).m_runs.at(0).m_height, 1.0);
    // Characters before the code keep their height; the group's height ends
    // with the group.
    const CMText text = Parse(MakeMText("{A\\H2;B}C"));
    ASSERT_EQ(text.m_runs.size(), 3u);
    EXPECT_EQ(text.m_runs[0].m_height, 1.0);
    EXPECT_EQ(text.m_runs[1].m_height, 2.0);
    EXPECT_EQ(text.m_runs[2].m_height, 1.0);
}

TEST(MTextCodes, CharacterSettingsCarryOnInTheRunAndStopAtABreak)
{
    const CMText text = Parse(MakeMText("{\\C1;\\Q15;\\W2;\\T1.5;\\L\\OAB\\PC}D"));
    ASSERT_EQ(text.m_runs.size(), 3u);
    const MCharInfo& a = text.m_runs[0].m_chars.at(0);
    EXPECT_EQ(a.m_color, 1);
    EXPECT_EQ(a.m_oblique, 15.0);
    EXPECT_EQ(a.m_width_factor, 2.0);
    EXPECT_EQ(a.m_tracking, 1.5);
    EXPECT_TRUE(a.m_underline);
    EXPECT_TRUE(a.m_overline);
    const MCharInfo& b = text.m_runs[0].m_chars.at(1);
    EXPECT_EQ(b.m_color, 1);
    EXPECT_EQ(b.m_width_factor, 2.0);
    EXPECT_TRUE(b.m_underline);
    // After the break: defaults again.
    const MCharInfo& c = text.m_runs[1].m_chars.at(0);
    EXPECT_EQ(c.m_color, 255);
    EXPECT_EQ(c.m_width_factor, 1.0);
    EXPECT_FALSE(c.m_underline);
    EXPECT_TRUE(c.m_firstInParagraph);
    EXPECT_EQ(text.m_runs[2].m_chars.at(0).m_color, 255);
    // {\C1;A}B: only A is coloured.
    const CMText coloured = Parse(MakeMText("{\\C1;A}B"));
    ASSERT_EQ(coloured.m_runs.size(), 2u);
    EXPECT_EQ(coloured.m_runs[0].m_chars.at(0).m_color, 1);
    EXPECT_EQ(coloured.m_runs[1].m_chars.at(0).m_color, 255);
}

TEST(MTextCodes, ParagraphBreaksNumberTheLines)
{
    CMText text = Parse(MakeMText("AB\\PCD"));
    ASSERT_EQ(text.m_runs.size(), 2u);
    EXPECT_EQ(Chars(text.m_runs[0]), "AB");
    EXPECT_EQ(text.m_runs[0].m_line, 1);
    EXPECT_EQ(Chars(text.m_runs[1]), "CD");
    EXPECT_EQ(text.m_runs[1].m_line, 2);
    EXPECT_FALSE(text.m_runs[0].m_chars[0].m_firstInParagraph);
    EXPECT_TRUE(text.m_runs[1].m_chars[0].m_firstInParagraph);
    EXPECT_FALSE(text.m_runs[1].m_chars[1].m_firstInParagraph);
    // Inside a group the font goes on; an empty line keeps a run for its height.
    text = Parse(MakeMText("{\\fArial;A\\P\\PB}"));
    ASSERT_EQ(text.m_runs.size(), 3u);
    EXPECT_EQ(text.m_runs[1].m_line, 2);
    EXPECT_TRUE(text.m_runs[1].m_chars.empty());
    EXPECT_EQ(text.m_runs[2].m_line, 3);
    EXPECT_EQ(text.m_runs[2].m_name, "Arial");
}

TEST(MTextCodes, PlainTextSkipsParagraphSettingsAndBraces)
{
    // A closing brace without an opening one ends a run but is no text.
    const CMText text = Parse(MakeMText("\\pt12;A}B\\HC"));
    ASSERT_EQ(text.m_runs.size(), 2u);
    EXPECT_EQ(Chars(text.m_runs[0]), "A");
    // Outside a group \H has no effect; cut off by the end, it ends the text.
    EXPECT_EQ(Chars(text.m_runs[1]), "B");
    EXPECT_EQ(text.m_runs[1].m_height, 1.0);
}

TEST(MTextCodes, SecondByteOfADoubleByteCharacterIsNeverACode)
{
    // 81 7D and 81 5C are characters, not a closing brace or the backslash
    // of a paragraph break.
    CMText text = Parse(MakeMText("A\x81}B\x81\\PC"));
    ASSERT_EQ(text.m_runs.size(), 1u);
    ASSERT_EQ(text.m_runs[0].m_chars.size(), 6u);
    EXPECT_EQ(text.m_runs[0].m_chars[1].m_text, "\x81}");
    EXPECT_EQ(text.m_runs[0].m_chars[3].m_text, "\x81\\");
    text = Parse(MakeMText("{\\fArial;\x81{}"));
    ASSERT_EQ(text.m_runs.size(), 1u);
    EXPECT_EQ(Chars(text.m_runs[0]), "\x81{");
    // A lead byte at the very end is dropped.
    text = Parse(MakeMText("A\x81"));
    EXPECT_EQ(Chars(text.m_runs.at(0)), "A");
}

TEST(MTextCodes, CodesOfRealDrawingsAreReadNotDrawn)
{
    // Each text gives one run of exactly these characters.
    const std::pair<const char*, const char*> cases[] = {
        {"\\A1;AB", "AB"},
        {"a\\~b", "a b"},
        {"\\{x\\}", "{x}"},
        {"\\\\{B}", "\\B"}, // an escaped backslash, then a group
        {"{\\L under}", " under"},
        {"1\\S1/2;", "11/2"},
        {"\\S1\\;2#3;", "1;2#3"},
        {"\\S\x81\x7C/2;", "\x81\x7C/2"},
        {"{\\A1;\\pxi-3,l3;\\K\\k\\l\\oA}", "A"},
        {"\\pxqc;\\pi-1,l2;A\\K\\k\\l\\o\\L\\OB", "AB"},
        {"A\\C3;\\T2;\\Q15;\\W2;\\fArial|b1;\\Fromans;B", "AB"},
    };
    for (const auto& [text, chars] : cases) {
        const CMText parsed = Parse(MakeMText(text));
        ASSERT_FALSE(parsed.m_runs.empty()) << text;
        std::string all;
        for (const CMFontInfo& run : parsed.m_runs)
            all += Chars(run);
        EXPECT_EQ(all, chars) << text;
    }
    // Outside a group the codes change nothing: base font, nominal height,
    // default settings.
    const CMText plain = Parse(MakeMText("A\\C3;\\T2;\\Q15;\\W2;\\H3;\\fArial|b1;\\L\\OB"));
    ASSERT_EQ(plain.m_runs.size(), 1u);
    EXPECT_EQ(plain.m_runs[0].m_name, "test.shx,");
    EXPECT_EQ(plain.m_runs[0].m_height, 1.0);
    const MCharInfo& b = plain.m_runs[0].m_chars.at(1);
    EXPECT_EQ(b.m_color, 255);
    EXPECT_EQ(b.m_tracking, 1.0);
    EXPECT_EQ(b.m_width_factor, 1.0);
    EXPECT_FALSE(b.m_underline);
    // Inside one, \L keeps its meaning and a stacked character takes the
    // settings in force.
    const CMText group = Parse(MakeMText("{\\C5;\\L\\S1/2;}"));
    ASSERT_EQ(group.m_runs.size(), 1u);
    ASSERT_EQ(group.m_runs[0].m_chars.size(), 3u);
    EXPECT_EQ(group.m_runs[0].m_chars[2].m_color, 5);
    EXPECT_TRUE(group.m_runs[0].m_chars[2].m_underline);
}

TEST(MTextCodes, CodeCutOffByTheEndEndsTheTextOrGroup)
{
    for (const char* text : {"AB\\H2", "AB\\", "AB\\A1", "AB\\pxqc", "AB\\S"}) {
        const CMText parsed = Parse(MakeMText(text));
        ASSERT_EQ(parsed.m_runs.size(), 1u) << text;
        EXPECT_EQ(Chars(parsed.m_runs[0]), "AB") << text;
        EXPECT_EQ(parsed.m_runs[0].m_height, 1.0) << text;
    }
    EXPECT_EQ(Chars(Parse(MakeMText("1\\S1/2")).m_runs.at(0)), "11/2");
    // The group's end cuts the code; what follows the group is text.
    const CMText group = Parse(MakeMText("{AB\\H2}CD{\\C1}E"));
    ASSERT_EQ(group.m_runs.size(), 3u);
    EXPECT_EQ(Chars(group.m_runs[0]), "AB");
    EXPECT_EQ(Chars(group.m_runs[1]), "CD");
    EXPECT_EQ(group.m_runs[1].m_height, 1.0);
    EXPECT_EQ(Chars(group.m_runs[2]), "E");
}

TEST(MTextCodes, FontNameWithABarAsSecondByteIsReadWhole)
{
    // 83 7C is one double-byte character of the name (a katakana in the
    // Japanese code page), not the bar before the bold flag.
    const CMText text = Parse(MakeMText("{\\fHG\x83\x7C|b1;A}"));
    ASSERT_EQ(text.m_runs.size(), 1u);
    EXPECT_EQ(text.m_runs[0].m_name, "HG\x83\x7C");
    EXPECT_TRUE(text.m_runs[0].m_bold);
    EXPECT_EQ(Chars(text.m_runs[0]), "A");
}

TEST_F(MTextLayout, SecondLineStartsFiveThirdsOfTheLineHeightLower)
{
    const CMText text = Draw(MakeMText("AB\\PCD"));
    ASSERT_EQ(text.m_chars.size(), 4u);
    EXPECT_NEAR(Start(text.m_chars[0]).m_x, 20000.0, kEps);
    EXPECT_NEAR(Start(text.m_chars[0]).m_y, 20010.0, kEps);
    EXPECT_NEAR(Start(text.m_chars[1]).m_x, 20000.0 + kAdvance, kEps);
    EXPECT_NEAR(Start(text.m_chars[2]).m_x, 20000.0, kEps);
    EXPECT_NEAR(Start(text.m_chars[2]).m_y, 20010.0 + 50.0 / 3.0, kEps);
    EXPECT_NEAR(Start(text.m_chars[3]).m_y, 20010.0 + 50.0 / 3.0, kEps);
    // Spacing factor 2 doubles the step.
    MText m = MakeMText("A\\PB");
    m.m_line_spacing = 2.0;
    EXPECT_NEAR(Start(Draw(m).m_chars.at(1)).m_y, 20010.0 + 100.0 / 3.0, kEps);
    // No spacing, reversed spacing or no number at all: spacing 1, not lines
    // drawn over each other, upwards or nowhere.
    for (double bad : {0.0, -2.0, std::nan(""), HUGE_VAL}) {
        m.m_line_spacing = bad;
        const CMText text = Draw(m);
        ASSERT_EQ(text.m_chars.size(), 2u) << bad;
        EXPECT_NEAR(Start(text.m_chars[1]).m_y, 20010.0 + 50.0 / 3.0, kEps) << bad;
    }
}

TEST_F(MTextLayout, AttachmentPointDoesNotMoveTheFirstLine)
{
    MText m = MakeMText("AB\\PCD");
    m.m_attach = 5;
    m.m_direction = 1;
    m.m_ref_width = 300.0;
    const CMText middle = Draw(m);
    m.m_attach = 1;
    const CMText topLeft = Draw(m);
    ASSERT_EQ(middle.m_chars.size(), 4u);
    ASSERT_EQ(topLeft.m_chars.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Start(middle.m_chars[i]).m_x, Start(topLeft.m_chars[i]).m_x);
        EXPECT_EQ(Start(middle.m_chars[i]).m_y, Start(topLeft.m_chars[i]).m_y);
    }
}

TEST_F(MTextLayout, HeightCodeScalesTheRunAndTheLine)
{
    // Run height 2: factor 20 / 8 x 0.5 = 1.25, so A is 10 wide; the line is
    // 2 high, so its pen y is 20 below the insertion point.
    const CMText text = Draw(MakeMText("{\\H2x;A}B"));
    ASSERT_EQ(text.m_chars.size(), 2u);
    EXPECT_NEAR(Start(text.m_chars[0]).m_y, 20020.0, kEps);
    EXPECT_NEAR(MaxX(text.m_chars[0]), 20010.0, kEps);
    EXPECT_NEAR(text.m_chars[0].m_contours[1].m_points[1].m_y, 20020.0 - 7.5, kEps);
    // B follows after 10 + 20 / 3, at its own height.
    EXPECT_NEAR(Start(text.m_chars[1]).m_x, 20010.0 + 20.0 / 3.0, kEps);
    EXPECT_NEAR(MaxX(text.m_chars[1]) - MinX(text.m_chars[1]), 5.0, kEps);
}

TEST_F(MTextLayout, WidthCodeStretchesShapeCharactersAndTheirAdvance)
{
    const CMText text = Draw(MakeMText("{\\W2;A}B"));
    ASSERT_EQ(text.m_chars.size(), 2u);
    EXPECT_NEAR(MaxX(text.m_chars[0]), 20010.0, kEps);
    EXPECT_NEAR(Start(text.m_chars[1]).m_x, 20000.0 + 2 * kAdvance, kEps);
}

TEST_F(MTextLayout, WhatTheFontLacksComesFromTheDefaultFace)
{
    // H is not in the shape font: DejaVu Sans's H at the run's height 3, 30
    // units high on the first line's baseline 30 below the insertion point,
    // and the pen moves by its advance of 1540 x 30 / 1493.
    ASSERT_EQ(plat::DefaultFace(), "DejaVu Sans");
    const CMText text = Draw(MakeMText("{\\H3;H}A"));
    ASSERT_EQ(text.m_chars.size(), 2u);
    EXPECT_EQ(text.m_chars[0].BoundingBox().top, 20000);
    EXPECT_EQ(text.m_chars[0].BoundingBox().bottom, 20030);
    EXPECT_NEAR(Start(text.m_chars[1]).m_x, 20000.0 + 1540 * 30.0 / 1493.0, kEps);
    // A style font that is neither a shape font nor a family draws its
    // runs in the default face, and the message names it.
    plat::TakeFontNotices();
    const CMText txt = Draw(MakeMText("A", "txt"));
    ASSERT_EQ(txt.m_chars.size(), 1u);
    EXPECT_EQ(txt.m_chars[0].BoundingBox().top, 20000);
    EXPECT_EQ(txt.m_chars[0].BoundingBox().bottom, 20010);
    const plat::FontNotices notices = plat::TakeFontNotices();
    ASSERT_EQ(notices.replaced.size(), 1u);
    EXPECT_EQ(notices.replaced[0].first, "txt");
    // Double-byte characters come from the style's big font.
    MText m = MakeMText("\x81\x40" "A");
    SetField(m.m_bigfont_file, "BIG.SHX");
    const CMText big = Draw(m);
    ASSERT_EQ(big.m_chars.size(), 2u);
    EXPECT_NEAR(MaxX(big.m_chars[0]) - MinX(big.m_chars[0]), 8.0 * 10.0 / 84.0 * 0.5, kEps);
}

TEST_F(MTextLayout, RotationTurnsEveryCharacterAboutTheInsertionPoint)
{
    MText m = MakeMText("A");
    m.m_geometry[4] = std::numbers::pi / 2;
    m.m_angle = 1.0; // copied along, not applied
    const CMText text = Draw(m);
    ASSERT_EQ(text.m_chars.size(), 1u);
    // (20000, 20010), 10 below the insertion point, turns to 10 right of it.
    EXPECT_NEAR(Start(text.m_chars[0]).m_x, 20010.0, 1e-9);
    EXPECT_NEAR(Start(text.m_chars[0]).m_y, 20000.0, 1e-9);
}

// TrueType runs, with DejaVu Sans through the \f code.
TEST(MTextTrueType, SpaceAdvancesByTheRunHeightWhateverBoldOrTracking)
{
    const CMText joined = Draw(MakeMText("{\\fDejaVu Sans|b1;\\T2;AB}"));
    const CMText spaced = Draw(MakeMText("{\\fDejaVu Sans|b1;\\T2;A B}"));
    ASSERT_EQ(joined.m_chars.size(), 2u);
    ASSERT_EQ(spaced.m_chars.size(), 3u);
    EXPECT_TRUE(spaced.m_chars[1].m_contours.empty());
    EXPECT_EQ(spaced.m_chars[1].m_rcCell, plat::RECT());
    EXPECT_NEAR(MinX(spaced.m_chars[2]) - MinX(joined.m_chars[1]), 10.0, 1e-6);
}

TEST(MTextTrueType, WidthFactorStretchesFromTheCellsLeftEdge)
{
    const CMText plain = Draw(MakeMText("{\\fDejaVu Sans;H}"));
    const CMText wide = Draw(MakeMText("{\\fDejaVu Sans;\\W2;H}"));
    ASSERT_EQ(plain.m_chars.size(), 1u);
    ASSERT_EQ(wide.m_chars.size(), 1u);
    // The cell starts at the pen (20000), left of the glyph.
    EXPECT_EQ(plain.m_chars[0].m_rcCell.left, 20000);
    EXPECT_NEAR(MinX(wide.m_chars[0]), 20000.0 + 2 * (MinX(plain.m_chars[0]) - 20000.0), 1e-6);
    EXPECT_NEAR(MaxX(wide.m_chars[0]), 20000.0 + 2 * (MaxX(plain.m_chars[0]) - 20000.0), 1e-6);
}

TEST(MTextTrueType, ObliqueLeansHigherPointsRightAndKeepsTheBottom)
{
    const CMText plain = Draw(MakeMText("{\\fDejaVu Sans;l}"));
    const CMText slanted = Draw(MakeMText("{\\fDejaVu Sans;\\Q45;l}"));
    ASSERT_EQ(plain.m_chars.size(), 1u);
    ASSERT_EQ(slanted.m_chars.size(), 1u);
    const auto& before = plain.m_chars[0].m_contours.at(0).m_points;
    const auto& after = slanted.m_chars[0].m_contours.at(0).m_points;
    ASSERT_EQ(before.size(), after.size());
    const double bottom = plain.m_chars[0].m_rcBox.bottom;
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_NEAR(after[i].m_y, before[i].m_y, 1e-9);
        EXPECT_NEAR(after[i].m_x, before[i].m_x + (bottom - before[i].m_y), 1e-6);
    }
    EXPECT_EQ(slanted.m_chars[0].m_oblique, 45.0);
}

TEST(MTextTrueType, FirstCharacterOfAParagraphLosesItsLeftBearing)
{
    // Height 1: H is 10 units high, its 1493 font units; its left bearing
    // of 201 units is 201 x 10 / 1493 = 1.3463 units, so the second H
    // starts on the pen, that much left of the first.
    const CMText text = Draw(MakeMText("{\\fDejaVu Sans;H\\PH}"));
    ASSERT_EQ(text.m_chars.size(), 2u);
    EXPECT_NEAR(text.m_chars[1].m_metrics.originX, 2010.0 / 1493.0, 1e-6);
    EXPECT_NEAR(MinX(text.m_chars[1]), MinX(text.m_chars[0]) - 2010.0 / 1493.0, 1e-6);
    EXPECT_TRUE(text.m_chars[1].m_firstInParagraph);
}

// Points, kinds and closed flags of every contour, compared exactly.
void ExpectSameOutlines(const MText& a, const MText& b, const char* what)
{
    const CMText left = Draw(a);
    const CMText right = Draw(b);
    ASSERT_EQ(left.m_chars.size(), right.m_chars.size()) << what;
    std::size_t points = 0;
    for (std::size_t i = 0; i < left.m_chars.size(); ++i) {
        const auto& lc = left.m_chars[i].m_contours;
        const auto& rc = right.m_chars[i].m_contours;
        ASSERT_EQ(lc.size(), rc.size()) << what << " character " << i;
        for (std::size_t k = 0; k < lc.size(); ++k) {
            EXPECT_EQ(lc[k].m_closed, rc[k].m_closed);
            ASSERT_EQ(lc[k].m_points.size(), rc[k].m_points.size()) << what;
            for (std::size_t p = 0; p < lc[k].m_points.size(); ++p) {
                EXPECT_EQ(lc[k].m_points[p].m_x, rc[k].m_points[p].m_x) << what;
                EXPECT_EQ(lc[k].m_points[p].m_y, rc[k].m_points[p].m_y) << what;
                EXPECT_EQ(lc[k].m_points[p].m_kind, rc[k].m_points[p].m_kind) << what;
            }
            points += lc[k].m_points.size();
        }
    }
    EXPECT_GT(points, 0u) << what;
}

TEST(MTextTrueType, CodesOfRealDrawingsDrawWhatTheyStandFor)
{
    const std::pair<const char*, const char*> cases[] = {
        {"\\A1;AB", "AB"},
        {"a\\~b", "a b"},
        {"{\\L under}", " under"},
        {"1\\S1/2;", "11/2"},
        {"\\A1;A\\PB", "A\\PB"},
    };
    for (const auto& [coded, plain] : cases)
        ExpectSameOutlines(MakeMText(coded, "DejaVu Sans.ttf"), MakeMText(plain, "DejaVu Sans.ttf"), coded);
    const CMText braces = Draw(MakeMText("\\{x\\}", "DejaVu Sans.ttf"));
    ASSERT_EQ(braces.m_chars.size(), 3u);
    for (const CTextChar& ch : braces.m_chars)
        EXPECT_FALSE(ch.m_contours.empty());
}
