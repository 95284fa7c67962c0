// Carve repair: the offset of a speed from the machine's table, and the shift
// of the segments that two-way scans run backwards, on scan layers only.
#include "ProcessingTestSupport.h"

#include "processing/JobRecords.h"
#include "processing/PathProc.h"
#include "settings/MachineTech.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

struct ScanEnds {
    double x0, y0, x1, y1;
    friend bool operator==(const ScanEnds&, const ScanEnds&) = default;
};

// A scan path: separate segments in one ring, in the order given.
PATHREC* ScanPath(const std::vector<ScanEnds>& segs, double xmax, double ymax)
{
    auto* path = new PATHREC;
    path->m_subkind = 2;
    path->m_xmax = xmax;
    path->m_ymax = ymax;
    SEGNODE* last = nullptr;
    for (const ScanEnds& e : segs) {
        auto* s = new SEGNODE;
        s->m_x0 = e.x0;
        s->m_y0 = e.y0;
        s->m_x1 = e.x1;
        s->m_y1 = e.y1;
        s->m_pPrev = last;
        if (last != nullptr)
            last->m_pNext = s;
        else
            path->m_pSegs = s;
        last = s;
    }
    path->m_pSegs->m_pPrev = last;
    last->m_pNext = path->m_pSegs;
    return path;
}

std::vector<ScanEnds> ScanEndsOf(const PATHREC* path)
{
    std::vector<ScanEnds> out;
    const SEGNODE* s = path->m_pSegs;
    do {
        out.push_back({s->m_x0, s->m_y0, s->m_x1, s->m_y1});
        s = s->m_pNext;
    } while (s != path->m_pSegs);
    return out;
}

WORKLAYER* ScanLayer(std::uint8_t mode, std::uint8_t style, float speed, PATHREC* path)
{
    WORKLAYER* layer = plat::MakeLayer({path});
    layer->m_mode = mode;
    layer->m_style = style;
    layer->m_speed = speed;
    return layer;
}

// 100 mm/s: 0.1, 200 mm/s: 0.3.
struct CarveTable {
    CarveTable()
    {
        rows[0].speed = 100;
        rows[0].inter = 0.1;
        rows[1].speed = 200;
        rows[1].inter = 0.3;
        rows[0].next = &rows[1];
        rows[1].prev = &rows[0];
    }
    std::array<CARVEREPAIR, 2> rows;
};

} // namespace

TEST(CarveRepair, OffsetIsInterpolatedBetweenRowsAndHeldBeforeTheFirstAndBeyondTheLast)
{
    CarveTable t;
    const struct {
        double speed;
        double offset;
    } cases[] = {{150, 0.2}, {50, 0.1}, {300, 0.3}, {100, 0.1}, {200, 0.3}, {125, 0.15}};
    for (const auto& c : cases) {
        double v = -1;
        ASSERT_TRUE(CPathProc::LookupCarveRepair(t.rows.data(), c.speed, &v)) << c.speed;
        EXPECT_NEAR(v, c.offset, 1e-12) << c.speed;
    }
    double v = -1;
    EXPECT_FALSE(CPathProc::LookupCarveRepair(nullptr, 150, &v));
    EXPECT_FALSE(CPathProc::LookupCarveRepair(t.rows.data(), 0.0005, &v));
    EXPECT_EQ(v, -1);
    // One row: its offset at any speed.
    ASSERT_TRUE(CPathProc::LookupCarveRepair(&t.rows[1], 50, &v));
    EXPECT_EQ(v, 0.3);
}

TEST(CarveRepair, TwoWayRowsShiftTheirBackwardSegmentsAndLoneDotsAfterThem)
{
    // Row 0 runs forward twice; row 1 backward; rows 2 and 3 hold dots of no
    // length in x. A new row turns the sign, a backward segment sets it and
    // a forward one clears it: the dot of row 2 stays, those of row 3 move.
    PATHREC* path = ScanPath({{0, 0, 4, 0}, {5, 0, 6, 0}, {6, 1, 2, 1}, {3, 2, 3, 2}, {1, 3, 1, 3}, {0, 3, 0, 3}},
                             6, 3);
    WORKLAYER* layer = ScanLayer(2, 1, 100, path);
    CPathProc::ShiftReverseSegments(layer, 0.5);
    EXPECT_EQ(ScanEndsOf(path), (std::vector<ScanEnds>{{0, 0, 4, 0},
                                               {5, 0, 6, 0},
                                               {6.5, 1, 2.5, 1},
                                               {3, 2, 3, 2},
                                               {1.5, 3, 1.5, 3},
                                               {0.5, 3, 0.5, 3}}));
    EXPECT_EQ(path->m_xmax, 6.5);
    EXPECT_EQ(path->m_ymax, 3);

    // Columns both ways: the same along y.
    PATHREC* columns = ScanPath({{0, 0, 0, 4}, {1, 6, 1, 2}}, 1, 6);
    WORKLAYER* colLayer = ScanLayer(2, 3, 100, columns);
    CPathProc::ShiftReverseSegments(colLayer, 0.5);
    EXPECT_EQ(ScanEndsOf(columns), (std::vector<ScanEnds>{{0, 0, 0, 4}, {1, 6.5, 1, 2.5}}));
    EXPECT_EQ(columns->m_ymax, 6.5);
    EXPECT_EQ(columns->m_xmax, 1);

    // One-way scans have nothing running backwards to repair.
    PATHREC* oneWay = ScanPath({{6, 1, 2, 1}}, 6, 1);
    WORKLAYER* oneWayLayer = ScanLayer(2, 0, 100, oneWay);
    CPathProc::ShiftReverseSegments(oneWayLayer, 0.5);
    EXPECT_EQ(ScanEndsOf(oneWay), (std::vector<ScanEnds>{{6, 1, 2, 1}}));
    EXPECT_EQ(oneWay->m_xmax, 6);

    FreePathRecordGroups(layer);
    FreePathRecordGroups(colLayer);
    FreePathRecordGroups(oneWayLayer);
}

TEST(CarveRepair, OnlyScanLayersWithASpeedAreRepaired)
{
    CarveTable t;
    const std::vector<ScanEnds> backward = {{6, 1, 2, 1}};
    WORKLAYER* scan = ScanLayer(2, 1, 150, ScanPath(backward, 6, 1));
    WORKLAYER* cut = ScanLayer(1, 1, 150, ScanPath(backward, 6, 1));
    WORKLAYER* lightGuide = ScanLayer(0x82, 1, 150, ScanPath(backward, 6, 1));
    WORKLAYER* still = ScanLayer(2, 1, 0, ScanPath(backward, 6, 1));
    WORKLAYER* layers = plat::LinkLayers({scan, cut, lightGuide, still});
    CPathProc::ApplyCarveRepair(layers, t.rows.data());
    const std::vector<ScanEnds> shifted = ScanEndsOf(scan->m_paths);
    ASSERT_EQ(shifted.size(), 1u);
    EXPECT_NEAR(shifted[0].x0, 6.2, 1e-12);
    EXPECT_NEAR(shifted[0].x1, 2.2, 1e-12);
    EXPECT_EQ(ScanEndsOf(cut->m_paths), backward);
    EXPECT_EQ(ScanEndsOf(lightGuide->m_paths), backward);
    EXPECT_EQ(ScanEndsOf(still->m_paths), backward);
    CPathProc::ApplyCarveRepair(layers, nullptr);
    EXPECT_NEAR(ScanEndsOf(scan->m_paths)[0].x0, 6.2, 1e-12);
    FreePathRecordGroups(layers);
}
