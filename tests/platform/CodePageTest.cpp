#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

using namespace plat;

// The allocation functions of this test program, so that one test can make
// every allocation change errno, as a heap that cannot grow in place may do.
// Only the unaligned forms are replaced; the aligned ones stay a pair of their
// own.
namespace {
std::atomic<bool> g_allocationSetsErrno{false};

void* Allocate(std::size_t size)
{
    if (g_allocationSetsErrno.load(std::memory_order_relaxed))
        errno = EILSEQ;
    return std::malloc(size == 0 ? 1 : size);
}
} // namespace

void* operator new(std::size_t size)
{
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
// Freeing what Allocate gave is the match here, whatever the compiler infers.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

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

TEST(CodePage, OutputThatOutgrowsTheBufferIsNotTakenForABadCharacter)
{
    // 60,000 characters of two bytes each fill the conversion buffer 118
    // times; each time the output grows, the allocation may change errno.
    unsetenv("BRENVIK_CODEPAGE");
    const std::u16string text(60000, u'\u4e2d'); // D6 D0 in GBK
    std::string expected;
    for (int i = 0; i < 60000; ++i)
        expected += "\xd6\xd0";
    g_allocationSetsErrno = true;
    const std::string bytes = WideToCodePage(text);
    const std::u16string back = CodePageToWide(expected);
    g_allocationSetsErrno = false;
    EXPECT_EQ(bytes.size(), 120000u);
    EXPECT_TRUE(bytes == expected);
    EXPECT_EQ(bytes.find('?'), std::string::npos);
    EXPECT_TRUE(back == text);
}
