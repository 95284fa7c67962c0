// The progress display: positions shown by Start and Step, a refused start,
// and Step continuing from the control's own position.
#include "settings/ShowProcess.h"

#include "platform/Progress.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class ShowProcessTest : public ::testing::Test {
protected:
    ShowProcessTest() { plat::SetProgressSink(&m_bar); }
    ~ShowProcessTest() override { plat::SetProgressSink(nullptr); }
    plat::RecordingProgress m_bar;
};

} // namespace

TEST_F(ShowProcessTest, ThreeStepsOfThreeShowOneTwoThenReturnToZero)
{
    m_bar.m_pos = 17;
    CShowProcess progress;
    ASSERT_TRUE(progress.Start(3));
    EXPECT_EQ(m_bar.m_lower, 0);
    EXPECT_EQ(m_bar.m_upper, 3);
    EXPECT_EQ(progress.m_nRange, 4u);
    std::vector<int> shown;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(progress.Step());
        shown.push_back(m_bar.GetPos());
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 0}));
    // The last position is reached, then the bar returns to the end position.
    EXPECT_EQ(m_bar.m_history, (std::vector<int>{0, 1, 2, 3, 0}));
}

TEST_F(ShowProcessTest, StartOfNoStepsIsRefusedButStepsStillMoveInTheRangeOfAHundred)
{
    m_bar.m_pos = 97;
    CShowProcess progress;
    EXPECT_FALSE(progress.Start(0));
    EXPECT_FALSE(progress.Start(-4));
    EXPECT_EQ(m_bar.m_upper, 100); // range untouched
    EXPECT_TRUE(m_bar.m_history.empty());
    std::vector<int> shown;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(progress.Step());
        shown.push_back(m_bar.GetPos());
    }
    // 98; 99 is the last of 100 positions, so the bar returns to 0; then 1.
    EXPECT_EQ(shown, (std::vector<int>{98, 0, 1}));
}

TEST_F(ShowProcessTest, StepContinuesFromWhereTheControlStands)
{
    CShowProcess progress;
    ASSERT_TRUE(progress.Start(10));
    m_bar.SetPos(5); // moved by another user of the bar
    progress.Step();
    EXPECT_EQ(m_bar.GetPos(), 6);
}

TEST(ShowProcess, WithoutAProgressControlNothingMoves)
{
    plat::SetProgressSink(nullptr);
    CShowProcess progress;
    EXPECT_FALSE(progress.Start(5));
    EXPECT_EQ(progress.m_pFrame, nullptr);
    EXPECT_EQ(progress.m_nRange, 100u);
    EXPECT_TRUE(progress.Step());
}
