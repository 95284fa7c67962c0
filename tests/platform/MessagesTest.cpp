#include "platform/Messages.h"
#include "platform/Prompt.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace plat;

TEST(Messages, PostReachesTheRegisteredPosterFromAnyThread)
{
    RecordingPoster poster;
    SetMessagePoster(&poster);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i)
                PostMessage(7, WM_USER + 100, static_cast<WPARAM>(t), i);
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(poster.Count(WM_USER + 100), 400u);
    EXPECT_FALSE(PostMessage(0, WM_USER + 100, 0, 0)); // no window
    SetMessagePoster(nullptr);
    EXPECT_FALSE(PostMessage(7, WM_USER + 100, 0, 0)); // no poster
    EXPECT_EQ(poster.Count(WM_USER + 100), 400u);
}

TEST(Messages, HeadlessPromptRecordsAndAnswers)
{
    RecordingPrompt prompt;
    prompt.m_answer = IDYES;
    SetPrompt(&prompt);
    EXPECT_EQ(MessageBox(u"Restart?", u"", MB_YESNO), IDYES);
    ASSERT_EQ(prompt.m_shown.size(), 1u);
    EXPECT_EQ(prompt.m_shown[0].text, u"Restart?");
    EXPECT_EQ(prompt.m_shown[0].type, static_cast<unsigned>(MB_YESNO));
    SetPrompt(nullptr);
    EXPECT_EQ(MessageBox(u"x"), IDOK);
}

namespace {

std::u16string Numbered(int i)
{
    const std::string digits = std::to_string(i);
    return std::u16string(digits.begin(), digits.end());
}

} // namespace

// A prompt a caller registers keeps every message; the headless default keeps
// only the latest 100, so a long run without a prompt stays bounded.
TEST(Messages, OnlyTheHeadlessDefaultPromptForgetsOldMessages)
{
    RecordingPrompt registered;
    SetPrompt(&registered);
    for (int i = 0; i < 150; ++i)
        MessageBox(Numbered(i));
    EXPECT_EQ(registered.m_shown.size(), 150u);

    SetPrompt(nullptr);
    auto* headless = dynamic_cast<RecordingPrompt*>(&GetPrompt());
    ASSERT_NE(headless, nullptr);
    headless->m_shown.clear();
    for (int i = 0; i < 150; ++i)
        EXPECT_EQ(MessageBox(Numbered(i), u"c", MB_OKCANCEL), IDOK);
    ASSERT_EQ(headless->m_shown.size(), 100u);
    EXPECT_EQ(headless->m_shown.front().text, u"50");
    EXPECT_EQ(headless->m_shown.back().text, u"149");
    EXPECT_EQ(headless->m_shown.back().caption, u"c");
    EXPECT_EQ(headless->m_shown.back().type, static_cast<unsigned>(MB_OKCANCEL));
    headless->m_shown.clear();
}
