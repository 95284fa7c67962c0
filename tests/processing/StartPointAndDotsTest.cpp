// Start points of closed contours and dot mode. Coordinates are millimetres;
// turns and runs below were worked out by hand.
#include "ProcessingTestSupport.h"

#include "platform/Prompt.h"
#include "processing/DislocationProc.h"
#include "processing/JobRecords.h"
#include "processing/PathProc.h"
#include "settings/LanguageTable.h"
#include "settings/WorkParams.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

namespace {

using plat::XY;

WORKLAYER* CutLayer(std::initializer_list<PATHREC*> paths, std::uint32_t id = 3)
{
    WORKLAYER* layer = plat::MakeLayer(paths);
    layer->m_mode = 1;
    layer->m_layerId = id;
    return layer;
}

XY StartOf(const PATHREC* path)
{
    return {path->m_pSegs->m_x0, path->m_pSegs->m_y0};
}

// Dot positions of a chain of dot paths, each a closed single point.
std::vector<XY> Dots(PATHREC* head)
{
    std::vector<XY> out;
    ForEachInRing(head, &PATHREC::m_pNext, [&](PATHREC& p) {
        EXPECT_TRUE(p.m_kind == PATH_KIND_DOT && p.m_closed == 1 && p.m_pSegs->m_pNext == p.m_pSegs &&
                    p.m_pSegs->m_x1 == p.m_pSegs->m_x0 && p.m_xmin == p.m_pSegs->m_x0);
        out.push_back(StartOf(&p));
    });
    FreePathRecordList(head);
    return out;
}

// Start point, reference point and senses after one layer.
void ExpectChosen(WORKLAYER* layer, XY ref, XY start, XY refAfter)
{
    int sx = 0, sy = 0;
    CDislocationProc::ChooseStart(layer, ref.first, ref.second, sx, sy);
    EXPECT_EQ(StartOf(layer->m_paths), start);
    EXPECT_EQ(ref, refAfter);
    EXPECT_EQ(sx, 1);
    EXPECT_EQ(sy, 1);
    FreePathRecordGroups(layer);
}

TEST(StartPoint, ContourStartsWhereTheApproachMovesWithItsOwnArrivalPreferringLongRunsThenSharpTurns)
{
    // A square counter-clockwise from the origin, reached from the origin:
    // only (10, 10) is approached moving +x and +y, as the contour arrives.
    ExpectChosen(CutLayer({plat::MakePath({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}})}), {0, 0}, {10, 10},
                 {10, 10});
    // A 0.5 mm notch, from (-100, -100): (10, 0.5) turns 42.4 degrees with
    // runs 10 / 0.5, (10.5, 0.5) 47.7 with 10.5 / 0.5, (10.5, 10) 135.1
    // with 10.5 / 10. The last wins: both runs above 1 mm against a short.
    ExpectChosen(CutLayer({plat::MakePath({{0, 0}, {10, 0}, {10, 0.5}, {10.5, 0.5}, {10.5, 10}, {0, 10}, {0, 0}})}),
                 {-100, -100}, {10.5, 10}, {10.5, 10});
    // A step listed from (20, 20): that corner comes first (135 degrees,
    // runs 20 / 20), then (10, 5) turns 43.7 with runs 10 / 5 and replaces
    // it; (20, 5) turns 48.8 and does not.
    ExpectChosen(CutLayer({plat::MakePath({{20, 20}, {0, 20}, {0, 0}, {10, 0}, {10, 5}, {20, 5}, {20, 20}})}),
                 {-100, -100}, {10, 5}, {10, 5});
}

TEST(StartPoint, DotsAndStraightPathsPassWithoutWalkingRoundForever)
{
    // A dot, an open straight path, and a closed one out and back: nothing
    // in them turns against itself.
    PATHREC* dot = plat::MakePath({{3, 4}});
    PATHREC* open = plat::MakePath({{0, 0}, {5, 0}, {10, 0}});
    PATHREC* outAndBack = plat::MakePath({{0, 0}, {10, 0}, {0, 0}});
    WORKLAYER* layer = CutLayer({dot, open, outAndBack});
    double refX = 0.0, refY = 0.0;
    int sx = 0, sy = 0;
    CDislocationProc::ChooseStart(layer, refX, refY, sx, sy);
    // Both keep their starts (the closed one turns 180 degrees there, 0 at
    // the far end with runs no longer); the walk ends at the origin, last
    // moving -x, and -y since the move down from the dot.
    EXPECT_EQ(StartOf(open), XY(0, 0));
    EXPECT_EQ(StartOf(outAndBack), XY(0, 0));
    EXPECT_EQ(XY(refX, refY), XY(0, 0));
    EXPECT_EQ(sx, -1);
    EXPECT_EQ(sy, -1);

    // Walking back stops after one round: the whole straight path.
    int ax = 0, ay = 0;
    double runX = -1, runY = -1;
    CDislocationProc::ArrivalRun(open->m_pSegs->m_pNext, ax, ay, runX, runY);
    EXPECT_EQ(std::make_pair(ax, ay), std::make_pair(1, 0));
    EXPECT_EQ(XY(runX, runY), XY(10, 0));
    ax = ay = 5;
    CDislocationProc::ArrivalRun(dot->m_pSegs, ax, ay, runX, runY);
    EXPECT_EQ(std::make_pair(ax, runX), std::make_pair(5, 0.0));
    FreePathRecordGroups(layer);
}

TEST(StartPoint, OnePassArrivalsEqualTheWalkBackFromEachSegment)
{
    // Random closed walks on a half-millimetre grid, with moves along one
    // axis only and moves of no length among them.
    std::mt19937 rng(11);
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<XY> pts{{0, 0}};
        const int n = 5 + static_cast<int>(rng() % 200);
        for (int k = 0; k < n; ++k)
            pts.emplace_back(pts.back().first + (static_cast<int>(rng() % 5) - 2) * 0.5,
                             pts.back().second + (static_cast<int>(rng() % 5) - 2) * 0.5);
        pts.push_back(pts.front());
        PATHREC* path = plat::MakePath(pts);
        std::vector<SEGNODE*> ring;
        ForEachSegment(*path, [&](SEGNODE& s) { ring.push_back(&s); });
        const std::vector<ARRIVALRUN> fast = CDislocationProc::ArrivalRuns(ring, 1, -1);
        for (std::size_t i = 0; i < ring.size(); ++i) {
            SCOPED_TRACE(::testing::Message() << "trial " << trial << " segment " << i);
            int sx = 1, sy = -1;
            double rx = 0, ry = 0;
            CDislocationProc::ArrivalRun(ring[i], sx, sy, rx, ry);
            EXPECT_EQ(std::make_pair(fast[i].senseX, fast[i].senseY), std::make_pair(sx, sy));
            EXPECT_NEAR(fast[i].runX, rx, 1e-9);
            EXPECT_NEAR(fast[i].runY, ry, 1e-9);
        }
        FreePathRecordList(path);
    }
}

TEST(DotMode, DotsEveryIntervalFromTheStartAndASquareStartDotOnlyOnce)
{
    PATHREC* line = plat::MakePath({{0, 0}, {10, 0}});
    EXPECT_EQ(Dots(CPathProc::MakeDotPath(line, 3.0, 0.0)), (std::vector<XY>{{0, 0}, {3, 0}, {6, 0}, {9, 0}}));
    // Dashes of 1 mm, 3 mm apart.
    PATHREC* dashes = CPathProc::MakeDotPath(line, 3.0, 1.0);
    std::vector<XY> spans;
    ForEachInRing(dashes, &PATHREC::m_pNext, [&](PATHREC& p) {
        EXPECT_TRUE(p.m_kind == PATH_KIND_PATH && p.m_subkind == 1 && p.m_closed == 0);
        spans.emplace_back(p.m_pSegs->m_x0, p.m_pSegs->m_x1);
    });
    EXPECT_EQ(spans, (std::vector<XY>{{0, 1}, {4, 5}, {8, 9}}));
    FreePathRecordList(dashes);
    EXPECT_EQ(CPathProc::MakeDotPath(line, 0.0, 0.0), nullptr);
    FreePathRecordList(line);
    // Shorter than the interval: one dot at the start.
    PATHREC* shortLine = plat::MakePath({{2, 2}, {3, 2}});
    EXPECT_EQ(Dots(CPathProc::MakeDotPath(shortLine, 3.0, 0.0)), (std::vector<XY>{{2, 2}}));
    FreePathRecordList(shortLine);

    PATHREC* square = plat::MakePath({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
    EXPECT_EQ(Dots(CPathProc::MakeDotPath(square, 3.0, 0.0)),
              (std::vector<XY>{{0, 0}, {3, 0}, {6, 0}, {9, 0}, {10, 2}, {10, 5}, {10, 8}, {9, 10}, {6, 10}, {3, 10},
                               {0, 10}, {0, 7}, {0, 4}, {0, 1}}));
    // At 4 mm the walk comes back to the start at 40 mm: no second dot there.
    EXPECT_EQ(Dots(CPathProc::MakeDotPath(square, 4.0, 0.0)),
              (std::vector<XY>{{0, 0}, {4, 0}, {8, 0}, {10, 2}, {10, 6}, {10, 10}, {6, 10}, {2, 10}, {0, 8}, {0, 4}}));
    FreePathRecordList(square);
}

class DotLayers : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetPrompt(&m_prompt);
        m_table[0] = u"phase15:error-hint";
        m_table[15] = u"dots limited";
        SetLanguageTable(m_table);
        m_params[0].m_group_num = 3;
        m_params[0].m_b_hit_point = 1;
        m_params[0].m_b_hit_dis = 3.0;
        m_params[0].m_pNext = &m_params[1];
        m_params[1].m_group_num = 4;
        m_params[1].m_b_hit_point = 1;
    }
    void TearDown() override
    {
        SetLanguageTable({});
        plat::SetPrompt(nullptr);
    }
    plat::RecordingPrompt m_prompt;
    std::array<std::u16string, kLanguageTableSize> m_table{};
    WorkParams m_params[2];
};

TEST_F(DotLayers, CutPathsBecomeTheirDotsInPlaceOnlyWhereAnIntervalIsSet)
{
    WORKLAYER* cut = CutLayer(
        {plat::MakePath({{0, 0}, {10, 0}}), plat::MakePath({{50, 50}}), plat::MakePath({{0, 5}, {4, 5}})});
    WORKLAYER* noInterval = CutLayer({plat::MakePath({{0, 0}, {10, 0}})}, 4);
    WORKLAYER* scan = CutLayer({plat::MakePath({{0, 0}, {10, 0}})});
    scan->m_mode = 2;
    WORKLAYER* layers = plat::LinkLayers({cut, noInterval, scan});
    CPathProc::MakeHitPoints(layers, m_params);
    std::vector<XY> seen;
    ForEachPath(*cut, [&](PATHREC& p) { seen.push_back(StartOf(&p)); });
    EXPECT_EQ(seen, (std::vector<XY>{{0, 0}, {3, 0}, {6, 0}, {9, 0}, {50, 50}, {0, 5}, {3, 5}}));
    EXPECT_EQ(cut->m_paths->m_pPrev->m_pNext, cut->m_paths);
    EXPECT_EQ(noInterval->m_paths->m_kind, PATH_KIND_PATH);
    EXPECT_EQ(scan->m_paths->m_kind, PATH_KIND_PATH);
    EXPECT_TRUE(m_prompt.m_shown.empty());
    FreePathRecordGroups(layers);
}

TEST_F(DotLayers, AnIntervalJustAboveTheFloorIsLimitedAndSaidSo)
{
    // 100 mm at 0.000011 mm would be 9,090,910 dots: 100,000 spread over it.
    m_params[0].m_b_hit_dis = 1.1e-5;
    WORKLAYER* cut = CutLayer({plat::MakePath({{0, 0}, {100, 0}})});
    cut->m_next = cut->m_prev = cut;
    CPathProc::MakeHitPoints(cut, m_params);
    std::size_t count = 0;
    double lastX = -1.0;
    ForEachPath(*cut, [&](PATHREC& p) {
        ++count;
        lastX = p.m_pSegs->m_x0;
    });
    EXPECT_EQ(count, kMaxDotsPerPath);
    EXPECT_NEAR(lastX, 100.0, 1e-6);
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, u"dots limited");
    FreePathRecordGroups(cut);
}

} // namespace
