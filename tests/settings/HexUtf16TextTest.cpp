#include "settings/HexUtf16Text.h"

#include <gtest/gtest.h>

TEST(HexUtf16Text, FourLowerCaseDigitsPerUtf16Unit)
{
    EXPECT_EQ(HexUtf16Text(u"Brenvik"), "004200720065006e00760069006b");
    EXPECT_EQ(HexUtf16Text(u"A-1"), "0041002d0031");
    // A character beyond the BMP is its surrogate pair, unit by unit.
    EXPECT_EQ(HexUtf16Text(u"\U0001F600"), "d83dde00");
    EXPECT_EQ(HexUtf16Text(u"D:\\图纸"), "0044003a005c56fe7eb8");
    EXPECT_EQ(HexUtf16Text(u"中文-简体"), "4e2d6587002d7b804f53");
    EXPECT_EQ(HexUtf16Text(u""), "");
}

TEST(DecodeHexName, GroupsOfFourWithAShortLastGroup)
{
    EXPECT_EQ(DecodeHexName("0041004"), std::u16string(u"A\u0004"));
    EXPECT_EQ(DecodeHexName("4E2D"), u"中");
    EXPECT_EQ(DecodeHexName("4e2d"), u"中");
    EXPECT_EQ(DecodeHexName("d83dde00"), u"\U0001F600");
    EXPECT_EQ(DecodeHexName("0044003a005c56fe7eb8"), u"D:\\图纸");
    EXPECT_EQ(DecodeHexName(""), u"");
}

TEST(DecodeHexName, OtherCharactersCountAsTheirCodeMinus55)
{
    // 'G' is 71 - 55 = 16: 0, 0, 4, 16 gives 0x50.
    EXPECT_EQ(DecodeHexName("004G"), u"P");
    // A CR left on a line adds a unit of its own: 13 - 55 = -42, kept to 16 bits.
    EXPECT_EQ(DecodeHexName("0041\r"), std::u16string(u"A\uFFD6"));
}

TEST(DecodeHexName, AtMost999UnitsAndEndsAtAZeroUnit)
{
    std::string many;
    for (int i = 0; i < 1200; ++i)
        many += "0041";
    EXPECT_EQ(DecodeHexName(many), std::u16string(999, u'A'));
    EXPECT_EQ(DecodeHexName("004100000042"), u"A");
}
