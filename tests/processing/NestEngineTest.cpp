// Genetic nesting: three parts worked by hand, a sheet too small for two of
// them, rotation positions, copies that keep class, layer and colour, the
// worker's messages and stops, runs that cannot start, degenerate parts, the
// seeded generator, and the indexed placing against the plain one on random
// outlines.
#include "ProcessingTestSupport.h"
#include "processing/NestEngine.h"

#include "model/DocContext.h"
#include "model/DocDataGroup.h"
#include "model/DocDataPoint.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "model/GeoFunctions.h"
#include "model/PolylineGeometry.h"
#include "platform/Messages.h"
#include "platform/TickCount.h"
#include "processing/OutlineIndex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <thread>

namespace plat {
namespace {

constexpr HWND kOwner = 42;

CDocData* Box(double x0, double y0, double x1, double y1, std::int32_t layer = 0)
{
    auto* r = new CDocDataRect(CGeoBox(x0, x1, y0, y1), nullptr, 255);
    r->m_bSelected = 1;
    r->m_nLayer = layer;
    return r;
}

class Nesting : public testing::Test {
protected:
    void SetUp() override
    {
        m_ctx.m_pCurrent = &m_doc;
        SetMessagePoster(&m_poster);
        m_engine.m_settings.m_sizex = 9000;
        m_engine.m_settings.m_sizey = 6000;
        m_engine.m_settings.m_step = 10;
        m_engine.m_settings.m_rot_allow = 0;
        m_engine.m_settings.m_rot_sum = 4;
        m_engine.m_settings.m_limit_time = 60;
        m_engine.m_settings.m_limit_ratio = 101;
        m_engine.m_settings.m_start_time = GetTickCount();
        m_engine.SetSeed(1);
    }
    void TearDown() override
    {
        m_engine.Stop();
        SetMessagePoster(nullptr);
        DeleteObjectList(m_doc.m_pFirst);
    }

    // Waits for the end message of a run; false after 20 s.
    bool WaitForDone()
    {
        for (int i = 0; i < 2000 && m_poster.Count(WM_NEST_DONE) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return m_poster.Count(WM_NEST_DONE) == 1;
    }

    CDocListNode m_doc;
    DOCCONTEXT m_ctx;
    RecordingPoster m_poster;
    CNestEngine m_engine;
};

void ExpectBox(const CGeoBox& box, double x0, double x1, double y0, double y1)
{
    EXPECT_DOUBLE_EQ(box.m_xmin, x0);
    EXPECT_DOUBLE_EQ(box.m_xmax, x1);
    EXPECT_DOUBLE_EQ(box.m_ymin, y0);
    EXPECT_DOUBLE_EQ(box.m_ymax, y1);
}

TEST_F(Nesting, ThreePartsLandBottomLeftOnTheGridAndComeBackAsCopiesOfTheirObjects)
{
    // Listed 100 x 100, 200 x 100, 100 x 100: the larger part goes first,
    // the equal squares keep their order.
    CDocData* square = Box(1000, 1000, 1100, 1100, 1);
    square->m_nColor = 0x0000FF;
    CDocData* wide = Box(5000, 5000, 5200, 5100, 2);
    CDocData* poly = MakeLine({{300, 300}, {400, 300}, {400, 400}, {300, 400}, {300, 300}}, 3);
    CDocData* unselected = Box(0, 0, 10, 10);
    unselected->m_bSelected = 0;
    m_doc.m_pFirst = LinkObjects({square, wide, unselected, poly});

    ASSERT_TRUE(m_engine.BuildParts(&m_ctx));
    ASSERT_EQ(m_engine.m_nCount, 3);
    EXPECT_DOUBLE_EQ(m_engine.m_dTotalArea, 40000.0);
    EXPECT_DOUBLE_EQ(m_engine.m_pParts[0].m_dArea, 20000.0);
    ExpectBox(m_engine.m_pParts[0].m_rcBound, -100, 100, -50, 50);
    ASSERT_TRUE(m_engine.RunGeneration());
    // The wide part at (0, 0); the first square touches it at every height
    // up to 100 (touching collides), so it lands at the first free row, 110;
    // the second likewise above the first, at 220.
    ExpectBox(m_engine.m_pBest[0].m_rcBound, 0, 200, 0, 100);
    ExpectBox(m_engine.m_pBest[1].m_rcBound, 0, 100, 110, 210);
    ExpectBox(m_engine.m_pBest[2].m_rcBound, 0, 100, 220, 320);
    // 40000 x 100 / (200 x 320).
    EXPECT_DOUBLE_EQ(m_engine.m_dBestRatio, 62.5);
    EXPECT_EQ(m_engine.UnplacedCount(), 0u);

    CDocData* result = m_engine.ApplyResult(&m_ctx);
    ASSERT_EQ(CountObjects(result), 3);
    CDocData* a = result;
    CDocData* b = a->m_pNext;
    CDocData* c = b->m_pNext;
    EXPECT_EQ(a->m_nType, static_cast<std::uint32_t>(MT_RECT));
    EXPECT_EQ(a->m_nLayer, 2);
    ExpectBox(a->m_rcBound, 500000, 500200, 500000, 500100);
    EXPECT_EQ(b->m_nType, static_cast<std::uint32_t>(MT_RECT));
    EXPECT_EQ(b->m_nLayer, 1);
    EXPECT_EQ(b->m_nColor, 0x0000FFu);
    ExpectBox(b->m_rcBound, 500000, 500100, 500110, 500210);
    EXPECT_EQ(c->m_nType, static_cast<std::uint32_t>(MT_LINE));
    EXPECT_EQ(c->m_nLayer, 3);
    EXPECT_EQ(NodePositions(c->m_pNodes), (std::vector<XY>{{500000, 500220},
                                                           {500100, 500220},
                                                           {500100, 500320},
                                                           {500000, 500320},
                                                           {500000, 500220}}));
    // The originals are untouched.
    ExpectBox(wide->m_rcBound, 5000, 5200, 5000, 5100);
    DeleteObjectList(result);
}

TEST_F(Nesting, PartsThatDoNotFitAreUnplacedBesideTheSheetAndLeaveTheUtilisationAtMostWhole)
{
    m_doc.m_pFirst = LinkObjects({Box(0, 0, 200, 100), Box(0, 0, 100, 100), Box(0, 0, 100, 100)});
    // 250 x 150: beside the wide part no 100 x 100 square fits.
    m_engine.m_settings.m_sizex = 250;
    m_engine.m_settings.m_sizey = 150;
    m_engine.m_settings.m_limit_ratio = 75;
    m_engine.Start(kOwner, &m_ctx);
    ASSERT_TRUE(WaitForDone());
    // The unplaced squares count for nothing: 20000 x 100 / (200 x 100),
    // where counting them at (0, 0) would have made 200 %. That reaches the
    // target of 75 after one generation.
    EXPECT_DOUBLE_EQ(m_engine.m_dBestRatio, 100.0);
    const std::vector<RecordingPoster::Message> messages = m_poster.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].msg, WM_NEST_PROGRESS);
    EXPECT_EQ(messages[0].lParam, 100);
    EXPECT_EQ(messages[0].window, kOwner);
    EXPECT_EQ(messages[1].msg, WM_NEST_DONE);
    EXPECT_EQ(messages[1].lParam, 0);
    EXPECT_EQ(m_engine.UnplacedCount(), 2u);

    CDocData* result = m_engine.ApplyResult(&m_ctx);
    ASSERT_EQ(CountObjects(result), 3);
    EXPECT_FALSE(m_engine.IsRunning());
    ExpectBox(result->m_rcBound, 500000, 500200, 500000, 500100);
    // In a row right of the sheet, a step apart.
    ExpectBox(result->m_pNext->m_rcBound, 500260, 500360, 500000, 500100);
    ExpectBox(result->m_pNext->m_pNext->m_rcBound, 500370, 500470, 500000, 500100);
    DeleteObjectList(result);

    // A part exactly as wide as the sheet does not fit it (the test is
    // strictly less than) and is never put on it; the first square then
    // takes the corner.
    m_engine.m_settings.m_sizex = 200;
    ASSERT_TRUE(m_engine.BuildParts(&m_ctx));
    ASSERT_TRUE(m_engine.RunGeneration());
    EXPECT_EQ(m_engine.m_pBest[0].m_bPlaced, 0);
    EXPECT_EQ(m_engine.m_pBest[1].m_bPlaced, 1);
    ExpectBox(m_engine.m_pBest[1].m_rcBound, 0, 100, 0, 100);
    EXPECT_EQ(m_engine.UnplacedCount(), 2u);
}

TEST_F(Nesting, RotationPositionsTurnByQuartersAndTheCopyTurnsWithItsGene)
{
    CDocData* left = Box(0, 0, 100, 100);
    CDocData* right = Box(150, 0, 200, 100);
    left->m_pNext = right;
    right->m_pPrev = left;
    CDocData* group = new CDocDataGroup(left, &m_ctx);
    m_doc.m_pFirst = group;
    m_engine.m_settings.m_rot_allow = 1;
    ASSERT_TRUE(m_engine.BuildParts(&m_ctx));
    // The group's two outlines, centred on its box centre (100, 50).
    ASSERT_EQ(m_engine.m_pParts[0].m_pOutline.size(), 2u);
    EXPECT_DOUBLE_EQ(m_engine.m_pParts[0].m_dArea, 15000.0);
    NestGene& gene = m_engine.m_pCurrent[0];
    // Position r turns by r x 90 degrees: the first node (-100, -50) goes to
    // (50, -100), (100, 50) and (-50, 100); then the box's corner onto (0, 0).
    const XY firstNode[4] = {{0, 0}, {100, 0}, {200, 100}, {0, 200}};
    const XY size[4] = {{200, 100}, {100, 200}, {200, 100}, {100, 200}};
    for (std::uint32_t r = 0; r < 4; ++r) {
        gene.m_nRotation = r;
        m_engine.Decode(m_engine.m_pCurrent.get());
        EXPECT_NEAR(gene.m_pOutline[0]->m_x, firstNode[r].first, 1e-9) << r;
        EXPECT_NEAR(gene.m_pOutline[0]->m_y, firstNode[r].second, 1e-9) << r;
        EXPECT_NEAR(gene.m_rcBound.Width(), size[r].first, 1e-9) << r;
        EXPECT_NEAR(gene.m_rcBound.Height(), size[r].second, 1e-9) << r;
    }
    // Turned a half turn and placed at the corner, the group's copy has its
    // 50-wide child on the left.
    gene.m_nRotation = 2;
    ASSERT_TRUE(m_engine.RunGeneration());
    CDocData* result = m_engine.ApplyResult(&m_ctx);
    ASSERT_EQ(CountObjects(result), 1);
    EXPECT_EQ(result->m_nType, static_cast<std::uint32_t>(MT_GROUP));
    const CDocData* child = *result->ChildList();
    EXPECT_NEAR(child->m_rcBound.m_xmin, 500100, 1e-6);
    EXPECT_NEAR(child->m_pNext->m_rcBound.m_xmin, 500000, 1e-6);
    EXPECT_NEAR(child->m_pNext->m_rcBound.m_xmax, 500050, 1e-6);
    EXPECT_NEAR(result->m_rcBound.m_ymax, 500100, 1e-6);
    DeleteObjectList(result);
}

TEST_F(Nesting, RunsThatCannotStartEndAtOnceAndDegeneratePartsNeverBreakARun)
{
    // No selected object.
    m_doc.m_pFirst = Box(0, 0, 10, 10);
    m_doc.m_pFirst->m_bSelected = 0;
    m_engine.Start(kOwner, &m_ctx);
    EXPECT_FALSE(m_engine.IsRunning());
    EXPECT_EQ(m_poster.Count(WM_NEST_DONE), 1u);
    EXPECT_EQ(m_engine.ApplyResult(&m_ctx), nullptr);
    m_doc.m_pFirst->m_bSelected = 1;

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const NestSettings good = m_engine.m_settings;
    for (int bad = 0; bad < 5; ++bad) {
        m_engine.m_settings = good;
        if (bad == 0)
            m_engine.m_settings.m_sizex = 0;
        else if (bad == 1)
            m_engine.m_settings.m_sizey = -5;
        else if (bad == 2)
            m_engine.m_settings.m_step = 0;
        else if (bad == 3)
            m_engine.m_settings.m_step = nan;
        else
            m_engine.m_settings.m_rot_allow = 1, m_engine.m_settings.m_rot_sum = 0;
        m_poster.Clear();
        m_engine.Start(kOwner, &m_ctx);
        EXPECT_FALSE(m_engine.IsRunning()) << bad;
        EXPECT_EQ(m_poster.Count(WM_NEST_DONE), 1u) << bad;
        EXPECT_EQ(m_poster.Count(WM_NEST_PROGRESS), 0u) << bad;
        EXPECT_EQ(m_engine.UnplacedCount(), 1u) << bad;
        EXPECT_EQ(m_engine.ApplyResult(&m_ctx), nullptr) << bad;
    }
    m_engine.m_settings = good;
    DeleteObjectList(m_doc.m_pFirst);

    // Only parts that cover nothing (a point, a bar, an empty group): the
    // utilisation could never leave 0, so the run does not spin until its
    // time limit but ends at once with every part unplaced.
    auto* lone = new CDocDataPoint(700, 700, nullptr);
    lone->m_bSelected = 1;
    auto* hollow = new CDocDataGroup();
    hollow->m_bSelected = 1;
    m_doc.m_pFirst = LinkObjects({lone, MakeLine({{0, 0}, {50, 0}}), hollow});
    m_poster.Clear();
    m_engine.Start(kOwner, &m_ctx);
    EXPECT_FALSE(m_engine.IsRunning());
    EXPECT_EQ(m_poster.Count(WM_NEST_DONE), 1u);
    EXPECT_EQ(m_poster.Count(WM_NEST_PROGRESS), 0u);
    EXPECT_EQ(m_engine.UnplacedCount(), 3u);
    EXPECT_EQ(m_engine.ApplyResult(&m_ctx), nullptr);
    DeleteObjectList(m_doc.m_pFirst);

    // A line with a node that is no number, a point, a line of two nodes,
    // an empty group and a square.
    CDocData* broken = MakeLine({{0, 0}, {nan, 5}, {10, 10}});
    auto* point = new CDocDataPoint(700, 700, nullptr);
    point->m_bSelected = 1;
    CDocData* bar = MakeLine({{0, 0}, {50, 0}});
    auto* empty = new CDocDataGroup();
    m_doc.m_pFirst = LinkObjects({broken, point, bar, empty, Box(0, 0, 100, 100)});
    m_engine.m_settings.m_limit_time = 0;
    m_poster.Clear();
    m_engine.Start(kOwner, &m_ctx);
    ASSERT_TRUE(WaitForDone());
    EXPECT_GE(m_engine.m_dBestRatio, 0.0);
    EXPECT_LE(m_engine.m_dBestRatio, 100.0);
    EXPECT_EQ(m_engine.UnplacedCount(), 1u);
    CDocData* result = m_engine.ApplyResult(&m_ctx);
    ASSERT_EQ(CountObjects(result), 5);
    for (CDocData* o = result; o != nullptr; o = o->m_pNext) {
        // The broken line comes back where it was; everything else lies on
        // or beside the sheet.
        if (o->m_nType == MT_LINE && CountNodes(o->m_pNodes) == 3) {
            EXPECT_EQ(o->m_pNodes->m_pNext->m_pNext->m_x, 10.0);
        } else if (o->m_pNodes != nullptr) {
            EXPECT_GE(o->m_rcBound.m_xmin, 500000.0);
        }
    }
    DeleteObjectList(result);
}

// Random rectangles of 40 to 400 units.
void RandomBoxes(CDocListNode& doc, int count, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> size(40, 400);
    std::vector<CDocData*> list;
    for (int i = 0; i < count; ++i)
        list.push_back(Box(0, 0, std::round(size(rng)), std::round(size(rng))));
    doc.m_pFirst = LinkObjectRange(list);
}

TEST_F(Nesting, SeededRunsRepeatAndStopsEndTheWorker)
{
    RandomBoxes(m_doc, 30, 3);
    auto genesOf = [](const CNestEngine& e) {
        std::vector<std::uint32_t> out;
        for (std::int32_t k = 0; k < e.m_nCount; ++k)
            out.push_back(e.m_pCurrent[k].m_nPart);
        return out;
    };
    std::vector<std::uint32_t> runs[3];
    double ratios[3] = {};
    for (int run = 0; run < 3; ++run) {
        CNestEngine e;
        e.m_settings = m_engine.m_settings;
        e.SetSeed(run < 2 ? 77 : 78);
        ASSERT_TRUE(e.BuildParts(&m_ctx));
        for (int g = 0; g < 8; ++g) {
            ASSERT_TRUE(e.RunGeneration());
            e.Mutate();
        }
        runs[run] = genesOf(e);
        ratios[run] = e.m_dBestRatio;
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_EQ(ratios[0], ratios[1]);
    EXPECT_NE(runs[0], runs[2]);

    // A run without end: StopWorker ends it and keeps the best layout.
    DeleteObjectList(m_doc.m_pFirst);
    RandomBoxes(m_doc, 200, 4);
    m_engine.Start(kOwner, &m_ctx);
    EXPECT_TRUE(m_engine.IsRunning());
    for (int i = 0; i < 6000 && m_poster.Count(WM_NEST_PROGRESS) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(m_poster.Count(WM_NEST_PROGRESS), 1u);
    m_engine.StopWorker();
    EXPECT_FALSE(m_engine.IsRunning());
    EXPECT_EQ(m_poster.Count(WM_NEST_DONE), 1u);
    CDocData* result = m_engine.ApplyResult(&m_ctx);
    EXPECT_EQ(CountObjects(result), 200);
    DeleteObjectList(result);
    // Stop frees everything: no result after it, and a new run starts clean.
    m_engine.Stop();
    EXPECT_EQ(m_engine.ApplyResult(&m_ctx), nullptr);
    m_engine.Start(kOwner, &m_ctx);
    m_engine.Stop();
    EXPECT_FALSE(m_engine.IsRunning());
    EXPECT_EQ(m_engine.m_nCount, 0);
}

TEST(OutlineIndexGaps, NearestCrossingsAboveAndBelowIncludingTheImpliedClosingEdge)
{
    const double inf = std::numeric_limits<double>::infinity();
    DOCNODE* square = MakeNodes({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
    const OutlineIndex s(square);
    double up = 0, down = 0;
    ASSERT_TRUE(s.VerticalGaps(4, 3, up, down));
    EXPECT_EQ(up, 7.0);
    EXPECT_EQ(down, 3.0);
    s.VerticalGaps(0, 5, up, down); // on the left edge
    EXPECT_EQ(up, 0.0);
    EXPECT_EQ(down, 0.0);
    s.VerticalGaps(4, 20, up, down);
    EXPECT_EQ(up, inf);
    EXPECT_EQ(down, 10.0);
    // An open triangle is closed by an implied edge from (0, 10) to (0, 0).
    DOCNODE* open = MakeNodes({{0, 0}, {10, 0}, {0, 10}});
    const OutlineIndex t(open);
    t.VerticalGaps(2, 2, up, down);
    EXPECT_EQ(up, 6.0);
    EXPECT_EQ(down, 2.0);
    t.VerticalGaps(0, 3, up, down);
    EXPECT_EQ(up, 0.0);
    EXPECT_EQ(down, 0.0);
    DOCNODE* bar = MakeNodes({{0, 0}, {10, 0}});
    EXPECT_FALSE(OutlineIndex(bar).VerticalGaps(5, 5, up, down));
    CDocState::FreeNodeList(square);
    CDocState::FreeNodeList(open);
    CDocState::FreeNodeList(bar);
}

// ---- The plain placing ------------------------------------------------------

bool PlainCollides(const NestGene& a, const NestGene& b, double dx, double dy)
{
    const CGeoBox& A = a.m_rcBound;
    const CGeoBox& B = b.m_rcBound;
    if (A.m_xmin > B.m_xmax + dx || B.m_xmin + dx > A.m_xmax || A.m_ymin > B.m_ymax + dy || B.m_ymin + dy > A.m_ymax)
        return false;
    const DOCNODE* oa = a.m_pOutline[0];
    const DOCNODE* ob = b.m_pOutline[0];
    for (const DOCNODE* n = ob; n != nullptr; n = n->m_pNext) {
        if (PolylineClassifyPoint(oa, n->m_x + dx, n->m_y + dy) != 0)
            return true;
    }
    for (const DOCNODE* n = oa; n != nullptr; n = n->m_pNext) {
        if (PolylineClassifyPoint(ob, n->m_x - dx, n->m_y - dy) != 0)
            return true;
    }
    for (const DOCNODE* p = oa; p != nullptr && p->m_pNext != nullptr; p = p->m_pNext) {
        for (const DOCNODE* q = ob; q != nullptr && q->m_pNext != nullptr; q = q->m_pNext) {
            double x = 0, y = 0;
            if (GeoSegmentIntersection(p->m_x, p->m_y, p->m_pNext->m_x, p->m_pNext->m_y, q->m_x + dx, q->m_y + dy,
                                       q->m_pNext->m_x + dx, q->m_pNext->m_y + dy, x, y) != 0)
                return true;
        }
    }
    return false;
}

// Every place of the grid in turn against every placed gene.
void PlainPlace(const NestSettings& s, NestGene* genes, int n)
{
    std::vector<int> placed;
    for (int k = 0; k < n; ++k) {
        NestGene& g = genes[k];
        const double w = g.m_rcBound.Width(), h = g.m_rcBound.Height();
        bool found = false;
        for (std::uint64_t i = 0; !found && w + i * s.m_step < s.m_sizex; ++i) {
            const double dx = static_cast<double>(i) * s.m_step;
            for (std::uint64_t j = 0; !found && h + j * s.m_step < s.m_sizey; ++j) {
                const double dy = static_cast<double>(j) * s.m_step;
                bool hit = false;
                for (int p : placed)
                    hit = hit || PlainCollides(genes[p], g, dx, dy);
                if (!hit) {
                    g.m_rcBound = CGeoBox(g.m_rcBound.m_xmin + dx, g.m_rcBound.m_xmax + dx, g.m_rcBound.m_ymin + dy,
                                          g.m_rcBound.m_ymax + dy);
                    ForEachNode(g.m_pOutline[0], [&](DOCNODE& node) {
                        node.m_x += dx;
                        node.m_y += dy;
                    });
                    g.m_bPlaced = 1;
                    placed.push_back(k);
                    found = true;
                }
            }
        }
    }
}

// Star-shaped outlines, some deeply concave, some closed and some open, and
// a few bars of two nodes; corners on a 5-unit lattice so that edges touch.
CDocData* RandomOutlines(std::mt19937& rng, int count)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<CDocData*> list;
    for (int i = 0; i < count; ++i) {
        const double r = 40 + unit(rng) * 120;
        std::vector<XY> pts;
        if (unit(rng) < 0.1) {
            pts = {{0, 0}, {std::round(r / 5) * 5, 0}};
        } else {
            const int corners = 4 + static_cast<int>(unit(rng) * 6);
            for (int c = 0; c < corners; ++c) {
                const double a = 2 * std::numbers::pi * c / corners;
                const double rr = r * (unit(rng) < 0.3 ? 0.3 : 0.6 + 0.4 * unit(rng));
                pts.push_back({std::round(rr * std::cos(a) / 5) * 5, std::round(rr * std::sin(a) / 5) * 5});
            }
            if (unit(rng) < 0.8)
                pts.push_back(pts.front());
        }
        list.push_back(MakeLine(pts));
    }
    return LinkObjectRange(list);
}

TEST(NestPlacing, IndexedPlacingGivesThePlainPlaces)
{
    std::mt19937 rng(99);
    int unplaced = 0;
    for (int round = 0; round < 6; ++round) {
        CDocListNode doc;
        doc.m_pFirst = RandomOutlines(rng, 18);
        DOCCONTEXT ctx;
        ctx.m_pCurrent = &doc;
        CNestEngine engine;
        engine.m_settings.m_sizex = 600;
        engine.m_settings.m_sizey = 450;
        engine.m_settings.m_step = 10;
        engine.m_settings.m_rot_allow = 1;
        engine.m_settings.m_rot_sum = 8;
        ASSERT_TRUE(engine.BuildParts(&ctx));
        const int n = engine.m_nCount;
        auto fast = std::make_unique<NestGene[]>(static_cast<std::size_t>(n));
        auto plain = std::make_unique<NestGene[]>(static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k) {
            fast[k].m_nPart = plain[k].m_nPart = static_cast<std::uint32_t>(k);
            fast[k].m_nRotation = plain[k].m_nRotation = static_cast<std::uint32_t>(rng() % 8);
        }
        engine.Decode(fast.get());
        engine.Decode(plain.get());
        ASSERT_TRUE(engine.Place(fast.get()));
        PlainPlace(engine.m_settings, plain.get(), n);
        for (int k = 0; k < n; ++k) {
            ASSERT_EQ(fast[k].m_bPlaced, plain[k].m_bPlaced) << "round " << round << " gene " << k;
            unplaced += fast[k].m_bPlaced == 0 ? 1 : 0;
            if (plain[k].m_bPlaced != 0) {
                EXPECT_EQ(fast[k].m_rcBound.m_xmin, plain[k].m_rcBound.m_xmin) << "round " << round << " gene " << k;
                EXPECT_EQ(fast[k].m_rcBound.m_ymin, plain[k].m_rcBound.m_ymin) << "round " << round << " gene " << k;
            }
        }
        DeleteObjectList(doc.m_pFirst);
    }
    // The sheet is small enough that some parts find no place.
    EXPECT_GT(unplaced, 0);
}

} // namespace
} // namespace plat
