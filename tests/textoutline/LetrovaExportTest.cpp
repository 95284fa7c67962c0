// The shared library as the main program sees it: three functions bound by
// name, words released only through the library.
#include "textoutline/Letrova.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

class LetrovaLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_handle = ::dlopen(LETROVA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_handle, nullptr) << ::dlerror();
        m_text = reinterpret_cast<decltype(m_text)>(::dlsym(m_handle, "g_GetTextOutlineInfo"));
        m_mtext = reinterpret_cast<decltype(m_mtext)>(::dlsym(m_handle, "g_GetMTextOutlineInfo"));
        m_del = reinterpret_cast<decltype(m_del)>(::dlsym(m_handle, "g_DelWordList"));
    }
    void TearDown() override
    {
        if (m_handle != nullptr)
            ::dlclose(m_handle);
    }

    void* m_handle = nullptr;
    int (*m_text)(Text, CMWordList&) = nullptr;
    int (*m_mtext)(MText, CMWordList&) = nullptr;
    void (*m_del)(CMWordList*) = nullptr;
};

CMWord* MakeWord(int contours)
{
    auto* word = new CMWord;
    for (int i = 0; i < contours; ++i) {
        auto* line = new COutLine;
        line->m_closed = 1;
        line->m_points.resize(5);
        word->m_lines.push_back(line);
    }
    return word;
}

} // namespace

TEST_F(LetrovaLibrary, ExportsAreFoundByTheirPlainNames)
{
    EXPECT_NE(m_text, nullptr);
    EXPECT_NE(m_mtext, nullptr);
    EXPECT_NE(m_del, nullptr);
    // Internals stay hidden.
    EXPECT_EQ(::dlsym(m_handle, "DestroyWord"), nullptr);
    EXPECT_EQ(::dlsym(m_handle, "_Z12DoublesEqualdd"), nullptr);
}

TEST_F(LetrovaLibrary, OutlineCallsLeaveWordsAlreadyInTheList)
{
    ASSERT_NE(m_text, nullptr);
    CMWordList words;
    CMWord* first = MakeWord(1);
    words.push_back(first);
    Text t;
    t.m_height = 10.0;
    EXPECT_EQ(m_text(t, words), 0);
    EXPECT_EQ(m_mtext(MText(), words), 0);
    ASSERT_FALSE(words.empty());
    EXPECT_EQ(words.front(), first);
    m_del(&words);
}

TEST_F(LetrovaLibrary, DelWordListDestroysEveryWordAndEmptiesTheList)
{
    ASSERT_NE(m_del, nullptr);
    CMWordList words;
    words.push_back(MakeWord(2));
    words.push_back(MakeWord(0));
    words.push_back(MakeWord(3));
    // The sanitizer build reports any contour or word left behind.
    m_del(&words);
    EXPECT_TRUE(words.empty());
    m_del(&words);
    EXPECT_TRUE(words.empty());
    m_del(nullptr);
}
