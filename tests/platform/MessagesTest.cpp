#include "platform/Messages.h"
#include "platform/Prompt.h"

#include <gtest/gtest.h>

#include <atomic>
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

namespace {

// A poster whose every post reads and writes its own members, so that a post
// still running after the poster is deleted is a use after free.
class CountingPoster : public MessagePoster {
public:
    bool Post(HWND, UINT, WPARAM, LPARAM lParam) override
    {
        m_sum.fetch_add(static_cast<long long>(lParam));
        std::this_thread::yield(); // widen the window inside the post
        m_count.fetch_add(1);
        return true;
    }
    std::atomic<long long> m_sum{0};
    std::atomic<int> m_count{0};
};

} // namespace

TEST(Messages, PosterReplacedAndDeletedWhilePostsRunIsNeverUsedAfterItsRemoval)
{
    std::atomic<bool> stop{false};
    std::atomic<long long> delivered{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            while (!stop.load())
                delivered.fetch_add(PostMessage(7, WM_USER + 100, 0, 1) ? 1 : 0);
        });
    long long counted = 0;
    for (int round = 0; round < 1000; ++round) {
        auto* poster = new CountingPoster;
        SetMessagePoster(poster);
        std::this_thread::yield();
        SetMessagePoster(nullptr);
        // Every post that went through this poster has finished.
        EXPECT_EQ(poster->m_sum.load(), poster->m_count.load());
        counted += poster->m_count.load();
        delete poster;
    }
    stop.store(true);
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(counted, delivered.load());
}
