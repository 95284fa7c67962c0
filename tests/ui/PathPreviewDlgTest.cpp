// The work preview's arithmetic: fitting the job into the picture (a one-dot
// job must not scale to infinity), the estimate's parameters (an unread
// machine block must not zero the speeds) and the run-time text.
#include "settings/MachineNode.h"
#include "settings/MachineParams.h"
#include "ui/PathPreviewDlg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(PathPreviewDlgTest, FitScaleTakesTheSmallerAxisAndFallsBackToOneForADotJob)
{
    // A 100 x 100 job in a 600 x 400 picture less 20 pixels on every side.
    EXPECT_DOUBLE_EQ(CPathPreviewDlg::FitScale(560, 360, 100, 100), 3.6);
    // One dot: both extents 0 give infinite axis scales, which do not count.
    EXPECT_EQ(CPathPreviewDlg::FitScale(560, 360, 0, 0), 1.0);
    // A horizontal line: only the horizontal scale is usable.
    EXPECT_DOUBLE_EQ(CPathPreviewDlg::FitScale(560, 360, 100, 0), 5.6);
    // A vast job gives scales at or under 1e-5 on both axes.
    EXPECT_EQ(CPathPreviewDlg::FitScale(560, 360, 1e12, 1e12), 1.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(CPathPreviewDlg::FitScale(560, 360, nan, nan), 1.0);
}

TEST(PathPreviewDlgTest, OnlyAValidMachineBlockReplacesTheEstimateDefaults)
{
    MachineParams block;
    block.m_x_min_speed = 30000;
    block.m_y_min_speed = 20000;
    block.m_speed_rate = 250;
    block.m_min_acc = 1500;
    block.m_machine_type = 4;
    MachineNode machine;
    machine.m_params = &block;

    // Made by the parameter dialog but never filled: the defaults stay.
    RUNTIMEPARAMS p = CPathPreviewDlg::RunTimeParams(&machine, 3.6);
    EXPECT_EQ((std::array{p.m_startSpeed, p.m_speedRate, p.m_minAcc, p.m_scanMinAcc, p.m_divisor}),
              (std::array{20.0, 2.5, 500.0, 500.0, 3.6}));
    EXPECT_EQ(p.m_twoWay, 0);

    block.m_valid = 1;
    p = CPathPreviewDlg::RunTimeParams(&machine, 3.6);
    EXPECT_EQ((std::array{p.m_startSpeed, p.m_speedRate, p.m_minAcc, p.m_scanMinAcc, p.m_divisor}),
              (std::array{20.0, 2.5, 1.0, 1.0, 3.6}));
    EXPECT_EQ(p.m_twoWay, 1);
    machine.m_params = nullptr;

    EXPECT_EQ(CPathPreviewDlg::RunTimeParams(nullptr, 2.0).m_startSpeed, 20.0);
}

TEST(PathPreviewDlgTest, RunTimeTextShowsRoundedHoursAndTwoDigitMinutesAndSeconds)
{
    EXPECT_EQ(CPathPreviewDlg::RunTimeText(3725.0, u"h", u"min", u"s"), u"1 h\r02 min\r05 s");
    EXPECT_EQ(CPathPreviewDlg::RunTimeText(59.5, u"h", u"min", u"s"), u"0 h\r01 min\r00 s");
    EXPECT_EQ(CPathPreviewDlg::RunTimeText(-4.0, u"h", u"min", u"s"), u"0 h\r00 min\r00 s");
    EXPECT_EQ(CPathPreviewDlg::RunTimeText(std::nan(""), u"h", u"min", u"s"), u"0 h\r00 min\r00 s");
}

} // namespace
