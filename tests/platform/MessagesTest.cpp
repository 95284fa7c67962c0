#include "platform/Messages.h"
#include "platform/Prompt.h"

#include <gtest/gtest.h>

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
