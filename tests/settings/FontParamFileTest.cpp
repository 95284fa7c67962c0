// The text tool's settings file: where it lies, its bytes (worked out by
// hand), and old, reordered and damaged files.
#include "ScratchProgramFolder.h"
#include "settings/FontParamFile.h"

#include <gtest/gtest.h>

namespace {
const FontParams kOdd{u"Kind", u"Face", u"Text", 7.25, 3.5};
}

// Removing every "work/" would turn ~/homework/work/ into ~/home. Height
// and spacing are reals now: a 0.5 mm height used to come back as 0 and
// 12.7 as 12. Face and text are hex UTF-16; lines end in CR LF.
TEST(FontParamFile, LiesInTheParameterFolderAndKeepsRealsExactly)
{
    EXPECT_EQ(FontParamPathOf("~/homework/work/"), "~/homework/VqFontParam");
    EXPECT_EQ(FontParamPathOf("/srv/jobs"), "/srv/jobs/VqFontParam");
    EXPECT_EQ(FontParamPathOf(""), "");
    ScratchProgramFolder program;
    ASSERT_EQ(FontParamPath(), program.Root() + "VqFontParam");
    for (double high : {12.7, 0.5}) {
        ASSERT_TRUE(WriteFontParamFile(FontParamPath(), FontParams{u"TrueType", u"Arial", u"激A", high, -0.5}));
        FontParams back = kOdd;
        ASSERT_TRUE(ReadFontParamFile(FontParamPath(), back));
        EXPECT_EQ(back.high, high);
        EXPECT_EQ(back.inter, -0.5);
        EXPECT_TRUE(back.type == u"TrueType" && back.name == u"Arial" && back.text == u"激A");
    }
    EXPECT_EQ(program.Read("VqFontParam"), "m_font_type\r\nTrueType\r\nm_font_name\r\n0041007200690061006c\r\n"
                                           "m_font_text\r\n6fc00041\r\nm_font_high\r\n0.500000\r\n"
                                           "m_font_inter\r\n-0.500000\r\n");
}

// Old files (whole numbers, LF line ends), pairs in another order, foreign
// pairs between them, and a last key line without its value (its field
// stays).
TEST(FontParamFile, ReadsOldReorderedAndCutFiles)
{
    ScratchProgramFolder program;
    program.Write("VqFontParam", "m_font_high\n12\nforeign\n0041\nm_font_name\n00440065\n"
                                 "m_font_text\r\n\r\nm_font_type\r\nTrueType\r\nm_font_inter\n");
    FontParams p = kOdd;
    ASSERT_TRUE(ReadFontParamFile(FontParamPath(), p));
    EXPECT_EQ(p.high, 12.0);
    EXPECT_EQ(p.name, u"De");
    EXPECT_EQ(p.type, u"TrueType");
    EXPECT_EQ(p.text, u"");
    EXPECT_EQ(p.inter, 3.5);
}

// No number reads as 0, as it always did; a value that is not finite would
// put NaN or infinity into the placement, so its field stays. A missing
// file keeps everything.
TEST(FontParamFile, NonFiniteValuesAndMissingFilesKeepTheFields)
{
    ScratchProgramFolder program;
    FontParams p = kOdd;
    EXPECT_FALSE(ReadFontParamFile(FontParamPath(), p));
    EXPECT_FALSE(WriteFontParamFile("", p));
    for (const char* bad : {"nan", "inf", "-infinity", "1e999"}) {
        program.Write("VqFontParam", std::string("m_font_high\r\n") + bad + "\r\nm_font_inter\r\n" + bad + "\r\n");
        ASSERT_TRUE(ReadFontParamFile(FontParamPath(), p));
        EXPECT_TRUE(p.high == 7.25 && p.inter == 3.5) << bad;
    }
    program.Write("VqFontParam", "m_font_high\r\nabc\r\nm_font_inter\r\n2.5mm\r\n");
    ASSERT_TRUE(ReadFontParamFile(FontParamPath(), p));
    EXPECT_EQ(p.high, 0.0);
    EXPECT_EQ(p.inter, 2.5);
}
