#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace plat;

TEST(CodePage, DefaultIsCp936AndEnvironmentOverrides)
{
    unsetenv("BRENVIK_CODEPAGE");
    EXPECT_EQ(CodePageName(), "CP936");
    setenv("BRENVIK_CODEPAGE", "CP1252", 1);
    EXPECT_EQ(CodePageName(), "CP1252");
    EXPECT_EQ(WideToCodePage(u"\u00e9"), "\xe9");
    unsetenv("BRENVIK_CODEPAGE");
}

TEST(CodePage, ChineseRoundTripsThroughGbk)
{
    unsetenv("BRENVIK_CODEPAGE");
    // In GBK the first character is CD BC and the second D6 BD.
    const std::string bytes = WideToCodePage(u"\u56fe\u7eb8");
    EXPECT_EQ(bytes, "\xcd\xbc\xd6\xbd");
    EXPECT_EQ(CodePageToWide(bytes), u"\u56fe\u7eb8");
    EXPECT_TRUE(IsLeadByte(0xCD));
    EXPECT_FALSE(IsLeadByte('A'));
}

TEST(CodePage, UnmappableCharacterBecomesQuestionMark)
{
    unsetenv("BRENVIK_CODEPAGE");
    EXPECT_EQ(WideToCodePage(u"a\U0001F600b"), "a?b");
}

TEST(CodePage, CutNeverSplitsADoubleByteCharacter)
{
    unsetenv("BRENVIK_CODEPAGE");
    EXPECT_EQ(WideToCodePageCut(u"A\u56fe\u7eb8", 4), "A\xcd\xbc");
    EXPECT_EQ(WideToCodePageCut(u"A\u56fe\u7eb8", 2), "A");
    EXPECT_EQ(WideToCodePageCut(u"ABC", 10), "ABC");
}

TEST(CodePage, TruncatedDoubleByteInputGivesReplacement)
{
    unsetenv("BRENVIK_CODEPAGE");
    EXPECT_EQ(CodePageToWide("A\xcd"), std::u16string(u"A\uFFFD"));
}

TEST(CodePage, Utf8AndUtf16ConvertBothWays)
{
    EXPECT_EQ(Utf8ToUtf16("D:\\\xe5\x9b\xbe\xe7\xba\xb8"), u"D:\\\u56fe\u7eb8");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xf0\x9f\x98\x80");
    EXPECT_EQ(Utf8ToUtf16("\xf0\x9f\x98\x80"), u"\U0001F600");
    // A cut sequence and an overlong form are each one replacement.
    EXPECT_EQ(Utf8ToUtf16("a\xe5\x9b"), std::u16string(u"a\uFFFD\uFFFD"));
    EXPECT_EQ(Utf8ToUtf16("\xc0\xaf"), std::u16string(u"\uFFFD\uFFFD"));
    // A lone surrogate cannot be written as UTF-8.
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xef\xbf\xbd");
}
