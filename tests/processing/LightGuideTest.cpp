// Light-guide plate patterns. Hand cases: the nine-element grid in row
// order and staggered, sizes by column and by row, margins, pitches of 0,
// refused and broken settings, scan lines through a vertex, a scan pattern
// in its worked order, and a line plate joined into one scan path with its
// outline gone. Random cases: the edge index against PolylineClassifyPoint,
// and the indexed join against a plain walk through the lines.
#include "ProcessingTestSupport.h"
#include "processing/FileTrans.h"
#include "processing/JobRecords.h"
#include "processing/OutlineIndex.h"
#include "processing/PathProc.h"

#include "model/DocDataRect.h"
#include "model/PolylineGeometry.h"
#include "platform/Prompt.h"
#include "settings/BarrierParams.h"
#include "settings/LanguageTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>

namespace plat {
namespace {

BARRIERPARAMS Grid(int mode, double size, double pitch)
{
    BARRIERPARAMS p;
    p.m_guide_mode = mode;
    p.m_guide_width = p.m_guide_hight = size;
    p.m_guide_up = p.m_guide_down = p.m_guide_left = p.m_guide_right = pitch;
    p.m_deri_ratio = 1.0;
    return p;
}

std::vector<CDocData*> Objects(CDocData* list)
{
    std::vector<CDocData*> out;
    for (; list != nullptr; list = list->m_pNext)
        out.push_back(list);
    return out;
}

// Centre and width of each object's box.
std::vector<std::pair<XY, double>> Boxes(CDocData* list)
{
    std::vector<std::pair<XY, double>> out;
    for (CDocData* o : Objects(list)) {
        const CGeoBox& b = o->m_rcBound;
        out.push_back({{(b.m_xmin + b.m_xmax) / 2, (b.m_ymin + b.m_ymax) / 2}, b.m_xmax - b.m_xmin});
    }
    return out;
}

CDocData* Square(double side)
{
    return new CDocDataRect(CGeoBox(0, side, 0, side), nullptr, 255);
}

TEST(LightGuidePattern, NineEllipsesInRowOrderAndTheStaggeredRows)
{
    // Rectangle (0,0)-(200,200), pitch 50, size 20: grid points at 50, 100
    // and 150 (those on the border are not inside), taken row by row.
    CDocData* plate = Square(200);
    plate->m_nLayer = 7;
    BARRIERPARAMS p = Grid(1, 20, 50);
    CDocData* pattern = CPathProc::MakeLightGuidePattern(plate, p, nullptr);
    const std::vector<std::pair<XY, double>> expected{
        {{50, 50}, 20},  {{100, 50}, 20},  {{150, 50}, 20},  {{50, 100}, 20}, {{100, 100}, 20},
        {{150, 100}, 20}, {{50, 150}, 20}, {{100, 150}, 20}, {{150, 150}, 20}};
    EXPECT_EQ(Boxes(pattern), expected);
    for (CDocData* o : Objects(pattern)) {
        EXPECT_EQ(o->GetType(), MT_ELLIPSE);
        EXPECT_EQ(o->m_nLayer, 7);
        EXPECT_EQ(o->m_bOutput, 1);
    }
    DeleteObjectList(pattern);

    // Odd rows (y 50 and 150) shifted by 25; the inside test takes the
    // unshifted point, so 175 stays although 200 would not.
    p.m_row_disloc = 1;
    p.m_dislocation_row = 25;
    pattern = CPathProc::MakeLightGuidePattern(plate, p, nullptr);
    const std::vector<std::pair<XY, double>> staggered{
        {{75, 50}, 20},  {{125, 50}, 20},  {{175, 50}, 20},  {{50, 100}, 20}, {{100, 100}, 20},
        {{150, 100}, 20}, {{75, 150}, 20}, {{125, 150}, 20}, {{175, 150}, 20}};
    EXPECT_EQ(Boxes(pattern), staggered);
    DeleteObjectList(pattern);
    delete plate;
}

TEST(LightGuidePattern, OneColumnOrOneRowNeverHoldsTwoSizes)
{
    // (0,0)-(300,300), pitch 50, centre 150. Width by column: the column
    // right of the origin shares its index 0 (the next one 1), left ones
    // count 1, 2, whichever walk reaches a point. Equal gradients: sizes by
    // row, the row below the origin (y 200) index 0 like the origin row.
    CDocData* plate = Square(300);
    BARRIERPARAMS p = Grid(2, 20, 50);
    p.m_width_grad = 2;
    CDocData* pattern = CPathProc::MakeLightGuidePattern(plate, p, nullptr);
    const std::map<double, double> widthAtX{{50, 24}, {100, 22}, {150, 20}, {200, 20}, {250, 22}};
    int count = 0;
    for (const auto& [centre, width] : Boxes(pattern)) {
        EXPECT_EQ(width, widthAtX.at(centre.first)) << centre.first << "," << centre.second;
        ++count;
    }
    EXPECT_EQ(count, 25);
    DeleteObjectList(pattern);

    p.m_hight_grad = 2;
    pattern = CPathProc::MakeLightGuidePattern(plate, p, nullptr);
    const std::map<double, double> widthAtY{{50, 24}, {100, 22}, {150, 20}, {200, 20}, {250, 22}};
    for (const auto& [centre, width] : Boxes(pattern))
        EXPECT_EQ(width, widthAtY.at(centre.second)) << centre.first << "," << centre.second;
    DeleteObjectList(pattern);
    delete plate;
}

TEST(LightGuidePattern, MarginsPitchesOfZeroAndBadSettings)
{
    CDocData* plate = MakeLine({{0, 0}, {200, 0}, {200, 200}, {0, 200}, {0, 0}});
    // A margin of 10 keeps all nine (the boundary is (10,10)-(190,190)); one
    // of 150 collapses the outline: no boundary, no pattern.
    BARRIERPARAMS p = Grid(3, 20, 50);
    p.m_reserve_side = 10;
    CDocData* pattern = CPathProc::MakeLightGuidePattern(plate, p, nullptr);
    EXPECT_EQ(Objects(pattern).size(), 9u);
    DeleteObjectList(pattern);
    p.m_reserve_side = 150;
    EXPECT_EQ(CPathProc::MakeLightGuidePattern(plate, p, nullptr), nullptr);

    // Pitches of 0 end at once: the origin's element only. A pitch shrunk
    // to 0 by its gradient ends that side after two rings.
    p = Grid(3, 20, 0);
    pattern = CPathProc::MakeLightGuidePattern(plate, p, nullptr);
    EXPECT_EQ(Boxes(pattern), (std::vector<std::pair<XY, double>>{{{100, 100}, 20}}));
    DeleteObjectList(pattern);
    p = Grid(3, 20, 50);
    p.m_guide_left = 30;
    p.m_left_grad = -30;
    pattern = CPathProc::MakeLightGuidePattern(plate, p, nullptr);
    EXPECT_EQ(Objects(pattern).size(), 9u); // columns at 70, 100, 150
    DeleteObjectList(pattern);

    // A pitch of 0.01 world units over 200 would make 4e8 grid points: the
    // settings are refused with the message, nothing is made. A value that
    // is not a number makes no pattern and no message.
    RecordingPrompt prompt;
    SetPrompt(&prompt);
    std::vector<std::u16string> table{u"phase18:light-barrier"};
    for (int k = 0; k < 24; ++k)
        table.push_back(u"-");
    table.push_back(u"too many");
    SetLanguageTable(table);
    p = Grid(3, 20, 0.01);
    EXPECT_EQ(CPathProc::MakeLightGuidePattern(plate, p, nullptr), nullptr);
    ASSERT_EQ(prompt.m_shown.size(), 1u);
    EXPECT_EQ(prompt.m_shown[0].text, u"too many");
    p = Grid(3, 20, 50);
    p.m_up_grad = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(CPathProc::MakeLightGuidePattern(plate, p, nullptr), nullptr);
    EXPECT_EQ(prompt.m_shown.size(), 1u);
    SetLanguageTable({});
    SetPrompt(nullptr);

    plate->m_bClosed = 0;
    EXPECT_EQ(CPathProc::MakeLightGuidePattern(plate, Grid(3, 20, 50), nullptr), nullptr);
    delete plate;
    // A damaged outline whose box is not a number bounds no grid (its rings
    // would never leave the box).
    CDocData* broken = MakeLine({{0, 0}, {200, 0}, {200, 200}, {0, 0}});
    broken->m_pNodes->m_pNext->m_x = std::numeric_limits<double>::quiet_NaN();
    broken->m_rcBound.m_xmax = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(CPathProc::MakeLightGuidePattern(broken, Grid(3, 20, 50), nullptr), nullptr);
    delete broken;
}

std::vector<std::vector<XY>> LinePoints(CDocData* list)
{
    std::vector<std::vector<XY>> out;
    for (CDocData* o : Objects(list))
        out.push_back(NodePositions(o->m_pNodes));
    return out;
}

TEST(ScanLinesAtY, RowThroughAVertexDrawsOnlyInsideTheOutline)
{
    // A square with a notch from the top down to (50, 50). At y = 50 both
    // notch edges start at the vertex: crossings 0, 50, 50, 100 give two
    // lines meeting there. At y = 100 the row only touches the top corners.
    CDocData* notch = MakeLine({{0, 0}, {100, 0}, {100, 100}, {50, 50}, {0, 100}, {0, 0}});
    CDocData* lines = CPathProc::ScanLinesAtY(notch, 50);
    EXPECT_EQ(LinePoints(lines), (std::vector<std::vector<XY>>{{{0, 50}, {50, 50}}, {{50, 50}, {100, 50}}}));
    DeleteObjectList(lines);
    EXPECT_EQ(CPathProc::ScanLinesAtY(notch, 100), nullptr);
    // Crossings are cut to whole world units: at y = 60 the notch edges
    // cross at 40 and 60, the sides at 0 and 100.
    lines = CPathProc::ScanLinesAtY(notch, 60.3);
    EXPECT_EQ(LinePoints(lines), (std::vector<std::vector<XY>>{{{0, 60.3}, {39, 60.3}}, {{60, 60.3}, {100, 60.3}}}));
    DeleteObjectList(lines);
    delete notch;
    // The lowest corner of a diamond: two crossings at one point, no line.
    CDocData* diamond = MakeLine({{50, 0}, {100, 50}, {50, 100}, {0, 50}, {50, 0}});
    EXPECT_EQ(CPathProc::ScanLinesAtY(diamond, 0), nullptr);
    delete diamond;
}

TEST(LightGuidePattern, ScanLinesComeRowByRowThenColumnByColumnBackAndForth)
{
    // The notched square, scan mode, pitch 25 from the centre (50, 50):
    // rows 50, 25, 75, 0 (100 touches only); columns 50, 25, 75, 0. Without
    // a machine: origin 1, start 0, so rows upwards starting left to right,
    // then columns from the x direction the rows left (left to right), each
    // column turning the y direction first.
    CDocData* notch = MakeLine({{0, 0}, {100, 0}, {100, 100}, {50, 50}, {0, 100}, {0, 0}});
    BARRIERPARAMS p = Grid(4, 0, 25);
    CDocData* lines = CPathProc::MakeLightGuidePattern(notch, p, nullptr);
    EXPECT_EQ(LinePoints(lines), (std::vector<std::vector<XY>>{
                                     {{0, 0}, {100, 0}},
                                     {{100, 25}, {0, 25}},
                                     {{0, 50}, {50, 50}},
                                     {{50, 50}, {100, 50}},
                                     {{100, 75}, {75, 75}},
                                     {{25, 75}, {0, 75}},
                                     {{0, 100}, {0, 0}},
                                     {{25, 0}, {25, 75}},
                                     {{50, 50}, {50, 0}},
                                     {{75, 0}, {75, 75}},
                                 }));
    DeleteObjectList(lines);
    delete notch;
}

// A job layer from the objects' output paths, closed into a ring.
WORKLAYER* LayerOf(CDocData* objects)
{
    auto* layer = new WORKLAYER{};
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    for (CDocData* o : Objects(objects))
        AppendPathRecord(&head, &tail, o->MakeOutputPath());
    head->m_pPrev = tail;
    tail->m_pNext = head;
    layer->m_paths = head;
    layer->m_mode = head->m_subkind == 3 ? 0x81 : 1;
    return layer;
}

TEST(JoinLightGuideLayers, LinePlateBecomesOneScanPathAndItsOutlineLeaves)
{
    // Lines of 20 on the 50 grid of (0,0)-(200,200), applied before their
    // outline. Corner 1, position 0: rows from the bottom, the first left to
    // right; then columns from the right (where the rows' alternation
    // stands), the first top down.
    CDocData* plate = MakeLine({{0, 0}, {200, 0}, {200, 200}, {0, 200}, {0, 0}});
    CDocData* pattern = CPathProc::MakeLightGuidePattern(plate, Grid(0, 20, 50), nullptr);
    ASSERT_EQ(Objects(pattern).size(), 18u);
    EXPECT_EQ(pattern->m_bOutput, 0x81);
    CDocData* last = pattern;
    while (last->m_pNext != nullptr)
        last = last->m_pNext;
    last->m_pNext = plate;
    plate->m_pPrev = last;
    auto* job = new WORKHEAD;
    job->m_layers = LinkLayers({LayerOf(pattern)});
    CFileTrans::RecalcPathBoundRects(job->m_layers);
    CPathProc::JoinLightGuideLayers(job, 1, 0);
    WORKLAYER* layer = job->m_layers;
    EXPECT_EQ(layer->m_mode, 2);
    EXPECT_EQ(layer->m_style, 1);
    ASSERT_NE(layer->m_paths, nullptr);
    EXPECT_EQ(layer->m_paths->m_pNext, layer->m_paths); // the only path
    std::vector<std::pair<XY, XY>> segs;
    ForEachSegment(*layer->m_paths, [&](SEGNODE& s) { segs.push_back({{s.m_x0, s.m_y0}, {s.m_x1, s.m_y1}}); });
    EXPECT_EQ(segs, (std::vector<std::pair<XY, XY>>{
                        {{40, 50}, {60, 50}},     {{90, 50}, {110, 50}},    {{140, 50}, {160, 50}},
                        {{160, 100}, {140, 100}}, {{110, 100}, {90, 100}},  {{60, 100}, {40, 100}},
                        {{40, 150}, {60, 150}},   {{90, 150}, {110, 150}},  {{140, 150}, {160, 150}},
                        {{150, 160}, {150, 140}}, {{150, 110}, {150, 90}},  {{150, 60}, {150, 40}},
                        {{100, 40}, {100, 60}},   {{100, 90}, {100, 110}},  {{100, 140}, {100, 160}},
                        {{50, 160}, {50, 140}},   {{50, 110}, {50, 90}},    {{50, 60}, {50, 40}}}));
    FreePathRecordGroups(job->m_layers);
    delete job;
    DeleteObjectList(pattern);
}

// ---- comparisons with the plain rules ---------------------------------------

TEST(OutlineIndex, AnswersExactlyAsPolylineClassifyPoint)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> coord(0, 12);
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_real_distribution<double> real(-1.0, 13.0);
    int inside = 0, on = 0;
    for (int shape = 0; shape < 60; ++shape) {
        std::vector<XY> pts;
        const int n = 3 + pick(rng) * 3;
        for (int i = 0; i < n; ++i)
            pts.push_back({coord(rng), coord(rng)});
        if (shape % 2 == 0)
            pts.push_back(pts.front()); // closed by a repeated node
        DOCNODE* nodes = MakeNodes(pts);
        const OutlineIndex index(nodes);
        for (int q = 0; q < 400; ++q) {
            // Lattice points and half steps hit vertices, edges and slopes.
            const double x = q % 3 == 0 ? real(rng) : coord(rng) * (q % 2 == 0 ? 1.0 : 0.5) + (q % 5 == 0 ? 0.5 : 0);
            const double y = q % 3 == 0 ? real(rng) : coord(rng) * 1.0;
            const std::uint8_t want = PolylineClassifyPoint(nodes, x, y);
            ASSERT_EQ(index.Classify(x, y), want) << shape << " " << x << "," << y;
            inside += want == 2;
            on += want == 1;
        }
        CDocState::FreeNodeList(nodes);
    }
    EXPECT_GT(inside, 1000);
    EXPECT_GT(on, 200);
}

// The join as written: every choice by a walk over the waiting lines.
void ReferenceJoin(WORKLAYER* layer, int corner, int pos)
{
    std::vector<PATHREC*> list;
    ForEachPath(*layer, [&](PATHREC& p) { list.push_back(&p); });
    for (PATHREC* p : list)
        p->m_pPrev = p->m_pNext = nullptr;
    std::vector<SEGNODE*> segs;
    int d = 0, t = 0;
    CPathProc::BandStartSide(1, corner, pos, d, t);
    auto phase = [&](bool rows, int dir, int& alt) {
        auto lo = [&](PATHREC* p) { return rows ? p->m_ymin : p->m_xmin; };
        auto hi = [&](PATHREC* p) { return rows ? p->m_ymax : p->m_xmax; };
        double row = std::numeric_limits<double>::quiet_NaN();
        for (std::size_t i = 0; i < list.size() && std::fabs(lo(list[i]) - hi(list[i])) < 0.001; ++i) {
            const double v = dir == 1 ? lo(list[i]) : hi(list[i]);
            row = i == 0 ? v : (dir == 1 ? std::min(row, v) : std::max(row, v));
        }
        for (;;) {
            auto choose = [&]() {
                int best = -1;
                for (int i = 0; i < static_cast<int>(list.size()); ++i) {
                    PATHREC* p = list[i];
                    if (std::fabs(lo(p) - hi(p)) >= 1e-5)
                        continue;
                    if (best < 0) {
                        best = i;
                        continue;
                    }
                    const double a = rows ? p->m_pSegs->m_y0 : p->m_pSegs->m_x0;
                    const double ba = rows ? list[best]->m_pSegs->m_y0 : list[best]->m_pSegs->m_x0;
                    const double b = rows ? p->m_pSegs->m_x0 : p->m_pSegs->m_y0;
                    const double bb = rows ? list[best]->m_pSegs->m_x0 : list[best]->m_pSegs->m_y0;
                    if (dir == 1 ? a < ba : a > ba)
                        best = i;
                    else if (a == ba && (alt != 0 ? b < bb : b > bb))
                        best = i;
                }
                return best;
            };
            int c = choose();
            if (c < 0)
                break;
            const double at = rows ? list[c]->m_pSegs->m_y0 : list[c]->m_pSegs->m_x0;
            if (at != row) {
                row = at;
                alt ^= 1;
                c = choose();
            }
            int first = c, end = c;
            while (first > 0 && std::fabs(lo(list[first - 1]) - lo(list[c])) <= 0.001)
                --first;
            while (end + 1 < static_cast<int>(list.size()) && std::fabs(lo(list[end + 1]) - lo(list[c])) <= 0.001)
                ++end;
            std::vector<PATHREC*> run(list.begin() + first, list.begin() + end + 1);
            list.erase(list.begin() + first, list.begin() + end + 1);
            if (alt == 0) {
                for (PATHREC* p : run)
                    ReverseRing(p);
                std::reverse(run.begin(), run.end());
            }
            for (PATHREC* p : run) {
                ForEachSegment(*p, [&](SEGNODE& s) { segs.push_back(new SEGNODE(s)); });
                FreePathRecordList(p);
            }
        }
    };
    phase(true, d, t);
    int alt = d == 0 ? 1 : 0;
    phase(false, t == 0 ? 1 : 0, alt);
    for (PATHREC* p : list)
        FreePathRecordList(p);
    auto* out = new PATHREC;
    for (std::size_t i = 0; i < segs.size(); ++i) {
        segs[i]->m_pNext = segs[(i + 1) % segs.size()];
        segs[(i + 1) % segs.size()]->m_pPrev = segs[i];
    }
    out->m_pSegs = segs.empty() ? nullptr : segs.front();
    out->m_pPrev = out->m_pNext = out;
    layer->m_paths = out;
}

// Short horizontal and vertical lines on a coarse lattice (so that rows,
// columns and starts repeat), some drawn backwards, a few runs of one row
// listed together, and slanted paths that must leave.
WORKLAYER* RandomLines(unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> c(0, 4);
    std::uniform_int_distribution<int> pick(0, 99);
    auto* layer = new WORKLAYER{};
    layer->m_mode = 0x81;
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    for (int i = 0; i < 150; ++i) {
        const double a = c(rng) * 10.0, b = c(rng) * 10.0, len = 5.0 + pick(rng) % 3 * 5.0;
        const int r = pick(rng);
        std::vector<XY> pts;
        if (r < 50)
            pts = {{b, a}, {b + len, a}};
        else if (r < 60)
            pts = {{b + len, a}, {b, a}};
        else if (r < 90)
            pts = {{a, b}, {a, b + len}};
        else
            pts = {{a, b}, {a + len, b + len}};
        const int copies = pick(rng) < 20 ? 3 : 1; // a row piece repeated along
        for (int k = 0; k < copies; ++k) {
            std::vector<XY> moved = pts;
            for (XY& q : moved)
                (r < 60 ? q.first : q.second) += k * 20.0;
            AppendPathRecord(&head, &tail, MakePath(moved));
        }
    }
    head->m_pPrev = tail;
    tail->m_pNext = head;
    layer->m_paths = head;
    WORKLAYER* layers = LinkLayers({layer});
    CFileTrans::RecalcPathBoundRects(layers);
    return layers;
}

TEST(JoinLightGuideLayers, IndexedJoinGivesExactlyThePlainWalk)
{
    for (unsigned seed = 1; seed <= 30; ++seed) {
        const int corner = static_cast<int>(seed % 4), pos = static_cast<int>(seed / 4 % 4);
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        auto* fast = new WORKHEAD;
        fast->m_layers = RandomLines(seed);
        WORKLAYER* plain = RandomLines(seed);
        CPathProc::JoinLightGuideLayers(fast, corner, pos);
        ReferenceJoin(plain, corner, pos);
        std::vector<std::pair<XY, XY>> a, b;
        ForEachSegment(*fast->m_layers->m_paths, [&](SEGNODE& s) { a.push_back({{s.m_x0, s.m_y0}, {s.m_x1, s.m_y1}}); });
        ForEachSegment(*plain->m_paths, [&](SEGNODE& s) { b.push_back({{s.m_x0, s.m_y0}, {s.m_x1, s.m_y1}}); });
        EXPECT_GT(a.size(), 50u);
        EXPECT_EQ(a, b);
        FreePathRecordGroups(fast->m_layers);
        delete fast;
        FreePathRecordGroups(plain);
    }
}

} // namespace
} // namespace plat
