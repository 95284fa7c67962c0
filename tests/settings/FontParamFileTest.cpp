// The text tool's settings file: where it lies, its bytes (worked out by
// hand) and how tolerant the reader is of old, reordered and damaged files.
#include "ScratchProgramFolder.h"
#include "settings/FontParamFile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

FontParams Odd()
{
    FontParams p;
    p.type = u"Kind";
    p.name = u"Face";
    p.text = u"Text";
    p.high = 7.25;
    p.inter = 3.5;
    return p;
}

} // namespace

// Removing every "work/" would turn ~/homework/work/ into ~/home; only the
// final component is the work folder's own.
TEST(FontParamFile, LiesInTheParameterFolderWithoutCuttingInsideNames)
{
    EXPECT_EQ(FontParamPathOf("~/homework/work/"), "~/homework/VqFontParam");
    EXPECT_EQ(FontParamPathOf("/srv/jobs"), "/srv/jobs/VqFontParam");
    EXPECT_EQ(FontParamPathOf(""), "");
    ScratchProgramFolder program;
    EXPECT_EQ(FontParamPath(), program.Root() + "VqFontParam");
}

// Height and spacing are reals now: a 0.5 mm height used to come back as 0
// and 12.7 as 12. The face is hex UTF-16, lines end in CR LF.
TEST(FontParamFile, WritesRealsAndHexTextsThatReadBackExactly)
{
    ScratchProgramFolder program;
    FontParams p;
    p.name = u"Arial";
    p.text = u"激A";
    p.high = 12.7;
    p.inter = -0.5;
    ASSERT_TRUE(WriteFontParamFile(FontParamPath(), p));
    EXPECT_EQ(program.Read("VqFontParam"), "m_font_type\r\nTrueType\r\n"
                                           "m_font_name\r\n0041007200690061006c\r\n"
                                           "m_font_text\r\n6fc00041\r\n"
                                           "m_font_high\r\n12.700000\r\n"
                                           "m_font_inter\r\n-0.500000\r\n");
    FontParams back = Odd();
    ASSERT_TRUE(ReadFontParamFile(FontParamPath(), back));
    EXPECT_EQ(back.type, u"TrueType");
    EXPECT_EQ(back.name, u"Arial");
    EXPECT_EQ(back.text, u"激A");
    EXPECT_EQ(back.high, 12.7);
    EXPECT_EQ(back.inter, -0.5);

    p.high = 0.5;
    p.text.clear();
    ASSERT_TRUE(WriteFontParamFile(FontParamPath(), p));
    back = Odd();
    ASSERT_TRUE(ReadFontParamFile(FontParamPath(), back));
    EXPECT_EQ(back.high, 0.5);
    EXPECT_EQ(back.text, u"");
}

// Old files (whole numbers, LF line ends), pairs in another order, foreign
// pairs between them, and a last key line without its value.
TEST(FontParamFile, ReadsOldReorderedAndCutFiles)
{
    ScratchProgramFolder program;
    program.Write("VqFontParam", "m_font_high\n12\nforeign\n0041\nm_font_name\n00440065\n"
                                 "m_font_type\r\nTrueType\r\nm_font_inter\n");
    FontParams p = Odd();
    ASSERT_TRUE(ReadFontParamFile(FontParamPath(), p));
    EXPECT_EQ(p.high, 12.0);
    EXPECT_EQ(p.name, u"De");
    EXPECT_EQ(p.type, u"TrueType");
    EXPECT_EQ(p.text, u"Text");
    EXPECT_EQ(p.inter, 3.5); // its value line is missing
}

// A value that is no number reads as 0 as it always did; one that is not
// finite would put NaN or infinity into the placement, so the field stays.
// A missing file keeps everything.
TEST(FontParamFile, NonFiniteValuesAndMissingFilesKeepTheFields)
{
    ScratchProgramFolder program;
    FontParams p = Odd();
    EXPECT_FALSE(ReadFontParamFile(FontParamPath(), p));
    EXPECT_FALSE(ReadFontParamFile("", p));
    EXPECT_FALSE(WriteFontParamFile("", p));
    EXPECT_EQ(p.high, 7.25);

    for (const char* bad : {"nan", "inf", "-infinity", "1e999"}) {
        program.Write("VqFontParam", std::string("m_font_high\r\n") + bad + "\r\nm_font_inter\r\n" + bad + "\r\n");
        p = Odd();
        ASSERT_TRUE(ReadFontParamFile(FontParamPath(), p));
        EXPECT_EQ(p.high, 7.25) << bad;
        EXPECT_EQ(p.inter, 3.5) << bad;
    }
    program.Write("VqFontParam", "m_font_high\r\nabc\r\nm_font_inter\r\n2.5mm\r\n");
    ASSERT_TRUE(ReadFontParamFile(FontParamPath(), p));
    EXPECT_EQ(p.high, 0.0);
    EXPECT_EQ(p.inter, 2.5);
}
