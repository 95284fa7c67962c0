// The run-time estimate: its tables, direction codes, corner speeds and
// ramps against values worked out by hand, whole jobs of straight cuts, dots
// and scans with their times, and random jobs and parameters that must end
// in a finite number.
#include "processing/CalcFileRunTime.h"
#include "settings/MachineParams.h"

#include "JobTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <random>

namespace {

using plat::TestJob;

// A ramp without jerk phase (it starts at its peak), so times are those of
// constant acceleration: 1000 mm/s^2 from the start speed of 20 mm/s.
RUNTIMEPARAMS ConstantAcceleration()
{
    RUNTIMEPARAMS p;
    p.m_acc = 1000.0;
    p.m_minAcc = 1000.0;
    return p;
}

WORKLAYER* CutLayer(TestJob& job, float speed)
{
    WORKLAYER* layer = job.AddLayer(1);
    layer->m_speed = speed;
    return layer;
}

TEST(RunTimeTables, CosineAndArctangentTablesAndDirectionCodes)
{
    EXPECT_EQ(CCalcFileRunTime::CosineTable(0), 4096);
    EXPECT_EQ(CCalcFileRunTime::CosineTable(2048), 2896); // 4096 cos 45 degrees
    EXPECT_EQ(CCalcFileRunTime::CosineTable(4096), 0);
    EXPECT_EQ(CCalcFileRunTime::CosineTable(40), 4096);
    EXPECT_EQ(CCalcFileRunTime::CosineTable(41), 4095);
    EXPECT_EQ(CCalcFileRunTime::ArctanTable(0), 0);
    EXPECT_EQ(CCalcFileRunTime::ArctanTable(1024), 1209); // atan(1/2) = 26.57 degrees
    EXPECT_EQ(CCalcFileRunTime::ArctanTable(2047), 2047);

    EXPECT_EQ(CCalcFileRunTime::DirectionCode(1, 0), 0u);
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(0, 1), 4096u);
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(-1, 0), 8192u);
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(0, -1), 12288u);
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(1, 1), 2048u);
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(-1, -1), 10240u);
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(2, 1), 1209u);           // not steep, up
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(1, 2), 4096u - 1209);    // steep, up
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(1, -2), 12288u + 1209);  // steep, down
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(2, -1), 16384u - 1209);  // not steep, down
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(-2, 1), 8192u - 1209);
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(-1, 2), 4096u + 1209);
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(-1, -2), 12288u - 1209);
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(-2, -1), 8192u + 1209);
    // Large components: 1,100,000 / (2,000,000 div 2048 = 976) = 1127, where
    // the plain quotient would give 1126.
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(2000, 1100), 1312u);
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(2.0, 1.1), 1311u);
    // Below a micrometre a component counts as none.
    EXPECT_EQ(CCalcFileRunTime::DirectionCode(5, 0.0009), 0u);
}

TEST(RunTimeCorners, LimitByTurnAndSmoothingOfShortBlocks)
{
    const RUNTIMEPARAMS p;
    MOTIONBLOCK prev;
    MOTIONBLOCK next;
    prev.direction = 0;
    next.dx = 10.0;
    std::uint32_t last = 8192;
    next.direction = 2048; // 45 degrees: sqrt(1 / (0.29297 x 0.70703) x 2.5 x 2000 x 2)
    EXPECT_NEAR(CCalcFileRunTime::CornerSpeed(prev, next, 300.0, last, p), 219.7202, 1e-4);
    EXPECT_EQ(last, 2048u);
    EXPECT_EQ(CCalcFileRunTime::CornerSpeed(prev, next, 100.0, last, p), 100.0);
    next.direction = 31;
    EXPECT_EQ(CCalcFileRunTime::CornerSpeed(prev, next, 300.0, last, p), 300.0);
    next.direction = 40; // the table's cosine is still 1: no limit, no division by 0
    EXPECT_EQ(CCalcFileRunTime::CornerSpeed(prev, next, 300.0, last, p), 300.0);
    next.direction = 3840;
    EXPECT_EQ(CCalcFileRunTime::CornerSpeed(prev, next, 300.0, last, p), 20.0);
    next.direction = 16384 - 100; // folded: a turn of 100
    CCalcFileRunTime::CornerSpeed(prev, next, 300.0, last, p);
    EXPECT_EQ(last, 100u);

    // Short blocks after a turn of 400: d1 = 50, d2 = 91.
    next.dx = 0.5;
    const std::pair<std::uint32_t, std::uint32_t> smoothed[] = {
        {430, 400}, // within d1 and above: lowered to the last turn
        {370, 370}, // within d1 and below: kept
        {470, 450}, // within d2 and above: last + d1
        {330, 350}, // within d2 and below: last - d1
        {500, 500}, // beyond d2
    };
    for (const auto& [turn, expected] : smoothed) {
        last = 400;
        next.direction = turn;
        CCalcFileRunTime::CornerSpeed(prev, next, 300.0, last, p);
        EXPECT_EQ(last, expected) << turn;
    }
    // The first corner of an estimate smooths against 8192: d1 = 45.
    last = 8192;
    next.direction = 8150;
    EXPECT_EQ(CCalcFileRunTime::CornerSpeed(prev, next, 300.0, last, p), 20.0);
    EXPECT_EQ(last, 8150u);
}

TEST(RunTimeRamps, SpeedChangesAndReachedSpeedsWorkedOutByHand)
{
    const RAMP cut = CCalcFileRunTime::CutRamp(RUNTIMEPARAMS{});
    EXPECT_DOUBLE_EQ(cut.jerkTime, 0.025); // (2000 - 500) / 60000
    // 20 to 300: jerk up to 51.25 mm/s, 0.10875 s at 2000, jerk down by 31.25.
    SPEEDCHANGE c = CCalcFileRunTime::SpeedChange(20, 300, cut);
    EXPECT_NEAR(c.time, 0.15875, 1e-12);
    EXPECT_NEAR(c.distance, 25.4, 1e-9); // symmetric: the mean speed 160 for 0.15875 s
    c = CCalcFileRunTime::SpeedChange(300, 20, cut);
    EXPECT_EQ(c.time, 0.0);
    EXPECT_EQ(c.distance, 0.0);
    // 20 to 40 never reaches the peak: 60000 t^2 + 1000 t = 20.
    c = CCalcFileRunTime::SpeedChange(20, 40, cut);
    EXPECT_NEAR(c.time, 0.0234720, 1e-6);
    EXPECT_NEAR(c.distance, 0.704159, 1e-6);

    const RAMP constant = CCalcFileRunTime::CutRamp(ConstantAcceleration());
    EXPECT_EQ(constant.jerkTime, 0.0);
    EXPECT_NEAR(CCalcFileRunTime::SpeedAfterDistance(100, 20, constant), std::sqrt(200400.0), 1e-9);
    // With jerk: 2.5625 mm of jerk phases, then 0.2656 s at the peak.
    EXPECT_NEAR(CCalcFileRunTime::SpeedAfterDistance(100, 20, cut), 613.70677, 1e-4);
    // A lowered peak: tau = 0.01 covers 0.4 + 0.1 + 0.06 mm and reaches 20 +
    // 10 + 6 mm/s; the search stops within 0.01 mm.
    EXPECT_NEAR(CCalcFileRunTime::SpeedAfterDistance(0.56, 20, cut), 36.0, 0.3);
    EXPECT_EQ(CCalcFileRunTime::SpeedAfterDistance(0.0, 20, cut), 20.0);

    const RUNTIMEPARAMS p;
    // Scan ramp: jerk phase of 0.0239583 s up to 169.7396 mm/s, then 12000.
    EXPECT_NEAR(CCalcFileRunTime::ScanAccelTime(300, p), 0.0348134, 1e-6);
    EXPECT_NEAR(CCalcFileRunTime::ScanAccelTime(100, p), 0.0172454, 1e-6);
    EXPECT_EQ(CCalcFileRunTime::ScanAccelTime(10, p), 0.0); // below the start speed
}

TEST(RunTimeJobs, StraightCutAndItsReturnAlongEitherAxis)
{
    // Out 100 mm and back at 100 mm/s: each way 4.8 mm and 0.08 s up from
    // 20 mm/s, as much down to the turn, 90.4 mm at speed: 1.064 s.
    for (const auto& [x, y] : {std::pair{0.0, 100.0}, std::pair{100.0, 0.0}}) {
        TestJob job;
        job.AddPolyline(CutLayer(job, 100.0f), {{0, 0}, {x, y}, {0, 0}});
        job.head.m_feedCount = 1;
        EXPECT_NEAR(CCalcFileRunTime().CalcRunTime(&job.head, ConstantAcceleration()), 2.128, 1e-9) << x;
        job.head.m_feedCount = 0;
        EXPECT_EQ(CCalcFileRunTime().CalcRunTime(&job.head, ConstantAcceleration()), 0.0);
    }
}

TEST(RunTimeJobs, LineFromAwayAndTheTravelHomeThatEndsAtTheStartSpeed)
{
    // The travel to the line and the line run the same way: one block of 110
    // mm at 100 mm/s, 1.164 s. Home, 110 mm at 300 mm/s, takes 44.8 mm and
    // 0.28 s up and as much down to the start speed it ends at, 0.628 s.
    TestJob job;
    job.AddPolyline(CutLayer(job, 100.0f), {{10, 0}, {110, 0}});
    job.head.m_feedCount = 1;
    std::vector<MOTIONBLOCK> blocks = CCalcFileRunTime::BuildBlocks(&job.head, 1.0);
    ASSERT_EQ(blocks.size(), 3u);
    CCalcFileRunTime::MergeBlocks(blocks);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].dx, 110.0);
    EXPECT_EQ(blocks[1].dx, -110.0);
    EXPECT_EQ(blocks[1].speed, 300.0);
    EXPECT_NEAR(CCalcFileRunTime().CalcRunTime(&job.head, ConstantAcceleration()), 1.792, 1e-9);
}

TEST(RunTimeJobs, ArraysOfTheJobAndOfAnObjectFeedsAndTheDivisor)
{
    // The out-and-back cut of 2.128 s.
    TestJob job;
    job.AddPolyline(CutLayer(job, 100.0f), {{0, 0}, {0, 100}, {0, 0}});
    WORKHEAD& h = job.head;
    h.m_arrayCountX = 3;
    h.m_arrayCountY = 2;
    h.m_pitchX = 50;
    h.m_pitchY = -30; // a distance whichever way
    h.m_feedCount = 2;
    h.m_feedDelay = 1;
    h.m_feedLength = 40;
    RUNTIMEPARAMS p = ConstantAcceleration();
    // (5 x 30 / 300 + 2 x 3 x 2.128 + 50 / 300) x 2 + 1 x 2 + 2 x 40 / 20
    EXPECT_NEAR(CCalcFileRunTime().CalcRunTime(&h, p), 32.869333, 1e-6);
    p.m_twoWay = 1; // columns 3 div 2 + 3 mod 2 = 2
    EXPECT_NEAR(CCalcFileRunTime().CalcRunTime(&h, p), 24.357333, 1e-6);

    // The cut as an object with two columns 50 mm apart: the travel of 50 mm
    // at 100 mm/s between them, 0.564 s, and home at 300 mm/s, which meets
    // its ramps at 224.5 mm/s, 0.409 s.
    TestJob copies;
    WORKLAYER* layer = CutLayer(copies, 100.0f);
    ARRAYREC a;
    a.m_nRows = 1;
    a.m_nCols = 2;
    a.m_dDx = 50;
    copies.AddPath(layer, PATH_KIND_GROUP)->m_pArray = copies.Own(a);
    copies.AddPolyline(layer, {{0, 0}, {0, 100}, {0, 0}});
    copies.AddPath(layer, PATH_KIND_GROUP);
    copies.head.m_feedCount = 1;
    EXPECT_NEAR(CCalcFileRunTime().CalcRunTime(&copies.head, ConstantAcceleration()), 5.2290, 1e-3);

    // A divisor of 10 makes the same job a tenth the size.
    TestJob tenfold;
    tenfold.AddPolyline(CutLayer(tenfold, 100.0f), {{0, 0}, {0, 1000}, {0, 0}});
    tenfold.head.m_feedCount = 1;
    p = ConstantAcceleration();
    p.m_divisor = 10.0;
    EXPECT_NEAR(CCalcFileRunTime().CalcRunTime(&tenfold.head, p), 2.128, 1e-9);
}

TEST(RunTimeJobs, EveryDotCountsAndScansRunAtTheirSpeedAlongTheirAxis)
{
    // Four dots of 0.5 s each in a row, two at one place; home over 30 mm
    // meets its ramps at 174.36 mm/s: 0.3087 s.
    TestJob dots;
    WORKLAYER* layer = CutLayer(dots, 100.0f);
    layer->m_hitTime = 500.0f;
    for (double x : {10.0, 20.0, 20.0, 30.0})
        dots.AddSegment(dots.AddPath(layer, PATH_KIND_DOT), x, 0, x, 0);
    dots.head.m_feedCount = 1;
    EXPECT_NEAR(CCalcFileRunTime().CalcRunTime(&dots.head, ConstantAcceleration()), 2.0 + 0.30871, 1e-4);

    // One scan stroke of 100 mm at 300 mm/s, along x for row styles and
    // along y for column styles: its ramp 0.0348 s, 2 / 300 s, 100 / 300 s.
    for (std::uint8_t style : {0, 2}) {
        TestJob scan;
        WORKLAYER* rows = scan.AddLayer(2);
        rows->m_speed = 300.0f;
        rows->m_style = style;
        const double x = style == 0 ? 100.0 : 0.0;
        const double y = style == 0 ? 0.0 : 100.0;
        scan.AddSegment(scan.AddPath(rows), 0, 0, x, y);
        std::vector<MOTIONBLOCK> blocks = CCalcFileRunTime::BuildBlocks(&scan.head, 1.0);
        CCalcFileRunTime::MergeBlocks(blocks);
        ASSERT_EQ(blocks.size(), 2u);
        EXPECT_EQ(blocks[0].kind, style == 0 ? BLOCK_SCAN : BLOCK_SCAN_Y);
        CCalcFileRunTime::BlockTimes(blocks, RUNTIMEPARAMS{});
        EXPECT_NEAR(blocks[0].time, 0.0348134 + 2.0 / 300 + 100.0 / 300, 1e-6) << int(style);
    }
}

TEST(RunTimeJobs, ShortSegmentsOfACircleTakeAtLeastTheirLengthAtSpeed)
{
    // 20,000 segments of 0.0031 mm: each within the searches' tolerance.
    TestJob job;
    WORKLAYER* layer = CutLayer(job, 100.0f);
    PATHREC* path = job.AddPath(layer);
    const int n = 20000;
    const double r = 10.0;
    for (int i = 0; i < n; ++i) {
        const double a0 = 2 * std::numbers::pi * i / n;
        const double a1 = 2 * std::numbers::pi * (i + 1) / n;
        job.AddSegment(path, r * std::cos(a0), r * std::sin(a0), r * std::cos(a1), r * std::sin(a1));
    }
    job.head.m_feedCount = 1;
    const double t = CCalcFileRunTime().CalcRunTime(&job.head, RUNTIMEPARAMS{});
    EXPECT_GE(t, 2 * std::numbers::pi * r / 100.0) << t;
    EXPECT_LT(t, 2 * std::numbers::pi * r / 100.0 * 3);
}

TEST(RunTimeJobs, HugeArrayIsCountedThroughTheCopiesBuilt)
{
    // Rows of 1000 copies of a 10 mm cut, 20 mm apart: 100 rows are built
    // whole; of 65535 rows only those within the budget of blocks, which
    // stand for all, so a copy takes as long on average in both.
    const auto job = [](std::uint16_t rows) {
        auto made = std::make_unique<TestJob>();
        WORKLAYER* layer = CutLayer(*made, 100.0f);
        ARRAYREC a;
        a.m_nRows = rows;
        a.m_nCols = 1000;
        a.m_dDx = 20.0;
        a.m_dDy = 20.0;
        made->AddPath(layer, PATH_KIND_GROUP)->m_pArray = made->Own(a);
        made->AddPolyline(layer, {{0, 0}, {10, 0}});
        made->AddPath(layer, PATH_KIND_GROUP);
        made->head.m_feedCount = 1;
        return made;
    };
    const double built = CCalcFileRunTime().CalcRunTime(&job(100)->head, RUNTIMEPARAMS{}) / 100000.0;
    const double counted = CCalcFileRunTime().CalcRunTime(&job(65535)->head, RUNTIMEPARAMS{}) / 65535000.0;
    EXPECT_GT(built, 0.3);
    EXPECT_NEAR(counted, built, built * 0.01);
}

TEST(RunTimeJobs, RandomJobsAndParametersEndInAFiniteTime)
{
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double odd[] = {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(), 1e300, 1e-300};
    const auto value = [&](double typical) {
        return unit(rng) < 0.2 ? odd[rng() % 6] : typical * (unit(rng) * 2.0);
    };
    for (int round = 0; round < 300; ++round) {
        TestJob job;
        const int layers = 1 + static_cast<int>(rng() % 3);
        for (int l = 0; l < layers; ++l) {
            WORKLAYER* layer = job.AddLayer(static_cast<std::uint8_t>(rng() % 4));
            layer->m_style = static_cast<std::uint8_t>(rng() % 4);
            layer->m_speed = static_cast<float>(value(200.0));
            layer->m_hitTime = static_cast<float>(value(100.0));
            const int paths = static_cast<int>(rng() % 6);
            for (int k = 0; k < paths; ++k) {
                const unsigned what = rng() % 8;
                if (what == 0) {
                    ARRAYREC a;
                    a.m_nRows = static_cast<std::uint16_t>(rng() % 4);
                    a.m_nCols = static_cast<std::uint16_t>(rng() % 4);
                    a.m_dDx = value(20.0);
                    a.m_dDy = value(20.0);
                    job.AddPath(layer, PATH_KIND_GROUP)->m_pArray = job.Own(a);
                    continue;
                }
                if (what == 1) {
                    job.AddPath(layer, PATH_KIND_GROUP);
                    continue;
                }
                PATHREC* path = job.AddPath(layer, what == 2 ? PATH_KIND_DOT : PATH_KIND_PATH);
                const int segments = 1 + static_cast<int>(rng() % 20);
                double x = value(100.0);
                double y = value(100.0);
                for (int s = 0; s < segments; ++s) {
                    const double nx = unit(rng) < 0.3 ? x : value(100.0);
                    const double ny = unit(rng) < 0.3 ? y : value(100.0);
                    job.AddSegment(path, x, y, nx, ny);
                    x = nx;
                    y = ny;
                }
            }
        }
        WORKHEAD& h = job.head;
        h.m_arrayCountX = static_cast<std::uint32_t>(rng() % 4);
        h.m_arrayCountY = static_cast<std::uint32_t>(rng() % 4);
        h.m_pitchX = value(50.0);
        h.m_pitchY = value(50.0);
        h.m_feedCount = static_cast<std::int32_t>(rng() % 4) - 1;
        h.m_feedLength = value(10.0);
        h.m_feedDelay = static_cast<std::int32_t>(rng() % 3) - 1;
        RUNTIMEPARAMS p;
        for (double* field : {&p.m_startSpeed, &p.m_travelSpeed, &p.m_speedRate, &p.m_acc, &p.m_minAcc,
                              &p.m_jerk, &p.m_scanAcc, &p.m_scanMinAcc, &p.m_scanJerk, &p.m_divisor})
            *field = value(*field);
        p.m_twoWay = static_cast<std::uint8_t>(rng() % 2);
        const double t = CCalcFileRunTime().CalcRunTime(&h, p);
        ASSERT_TRUE(std::isfinite(t)) << round;
        ASSERT_GE(t, 0.0) << round;
    }
}

TEST(RunTimeParams, TakenFromTheMachineParameters)
{
    MachineParams m;
    m.m_x_min_speed = 30000;
    m.m_y_min_speed = 25000;
    m.m_speed_rate = 250;
    m.m_y_acceleration = 3000000;
    m.m_min_acc = 500999; // integer thousandths: 500
    m.m_y_acc_acceleration = 70000000;
    m.m_x_acceleration = 9000000;
    m.m_x_acc_acceleration = 400000000;
    m.m_machine_type = 8;
    RUNTIMEPARAMS p;
    p.m_divisor = 10.0;
    p.TakeMachine(m);
    EXPECT_EQ((std::array{p.m_startSpeed, p.m_travelSpeed, p.m_speedRate, p.m_acc, p.m_minAcc, p.m_jerk,
                          p.m_scanAcc, p.m_scanMinAcc, p.m_scanJerk, p.m_divisor}),
              (std::array{25.0, 300.0, 2.5, 3000.0, 500.0, 70000.0, 9000.0, 500.0, 400000.0, 10.0}));
    EXPECT_EQ(p.m_twoWay, 1);
    m.m_machine_type = 3; // bits 0 and 1 only
    p.TakeMachine(m);
    EXPECT_EQ(p.m_twoWay, 0);
}

} // namespace
