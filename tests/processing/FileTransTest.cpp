// The shared operations of CFileTrans on hand-built jobs and object lists.
// Expected values are worked out from the coordinates given in each test.
#include "ProcessingTestSupport.h"
#include "processing/JobRecords.h"
#include "processing/FileTrans.h"
#include "processing/PathProc.h"
#include "platform/RecordPool.h"

#include "model/DocDataGroup.h"

#include <gtest/gtest.h>

#include <cmath>

namespace plat {
namespace {

void ExpectExtents(const PATHREC* p, double xmin, double xmax, double ymin, double ymax)
{
    EXPECT_DOUBLE_EQ(p->m_xmin, xmin);
    EXPECT_DOUBLE_EQ(p->m_xmax, xmax);
    EXPECT_DOUBLE_EQ(p->m_ymin, ymin);
    EXPECT_DOUBLE_EQ(p->m_ymax, ymax);
}

void ExpectNear(const std::vector<XY>& actual, const std::vector<XY>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].first, expected[i].first, 1e-9) << "node " << i;
        EXPECT_NEAR(actual[i].second, expected[i].second, 1e-9) << "node " << i;
    }
}

std::vector<XY> MmSquareOf(double x, double y, double side)
{
    return {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}};
}

void Scramble(PATHREC* p)
{
    p->m_xmin = p->m_xmax = p->m_ymin = p->m_ymax = 7.0;
    p->m_closed = 5;
}

// P0 | O1 P1 O2 P2 C2 P3 C1 on one layer, and P5 on a second layer.
struct NestedJob {
    PATHREC* p0 = MakePath({{0, 0}, {5, 0}, {5, 5}});
    PATHREC* o1 = MakeOpeningBracket(2, 1, 100.0, 0.0);
    PATHREC* p1 = MakePath({{10, 10}, {20, 10}});
    PATHREC* o2 = MakeOpeningBracket(1, 3, 0.0, 50.0);
    PATHREC* p2 = MakePath({{30, -5}, {40, -5}, {40, 0}, {30, -5}});
    PATHREC* c2 = MakeClosingBracket();
    PATHREC* p3 = MakePath({{12, 50}, {14, 52}});
    PATHREC* c1 = MakeClosingBracket();
    PATHREC* p5 = MakePath({{-7, 3}, {1, 60}});
    WORKLAYER* layers = LinkLayers({MakeLayer({p0, o1, p1, o2, p2, c2, p3, c1}), MakeLayer({p5})});

    NestedJob()
    {
        for (PATHREC* p : {p0, o1, p1, o2, p2, c2, p3, c1, p5})
            Scramble(p);
    }
    ~NestedJob() { FreePathRecordGroups(layers); }
};

TEST(RecalcPathBoundRects, NestedBracketsTakeTheUnionOfEveryPathTheyEnclose)
{
    NestedJob job;
    CFileTrans::RecalcPathBoundRects(job.layers);

    ExpectExtents(job.p0, 0, 5, 0, 5);
    EXPECT_EQ(job.p0->m_closed, 0u);
    ExpectExtents(job.p2, 30, 40, -5, 0);
    EXPECT_EQ(job.p2->m_closed, 1u);
    // Inner group: P2 only, in both of its brackets.
    ExpectExtents(job.o2, 30, 40, -5, 0);
    ExpectExtents(job.c2, 30, 40, -5, 0);
    // Outer group: P1, P2 (inside the nested group) and P3; stopping at the
    // nested bracket would give P1's extents alone and write them into O2.
    ExpectExtents(job.o1, 10, 40, -5, 52);
    ExpectExtents(job.c1, 10, 40, -5, 52);
    ExpectExtents(job.p5, -7, 1, 3, 60);
}

TEST(RecalcPathBoundRects, ClosedFlagNeedsTheEndsWithinAThousandth)
{
    PATHREC* nearly = MakePath({{0, 0}, {10, 0}, {10, 10}, {0.0005, 0.0005}});
    PATHREC* apart = MakePath({{0, 0}, {10, 0}, {10, 10}, {0.002, 0}});
    nearly->m_closed = 0;
    apart->m_closed = 1;
    WORKLAYER* layers = LinkLayers({MakeLayer({nearly, apart})});
    CFileTrans::RecalcPathBoundRects(layers);
    EXPECT_EQ(nearly->m_closed, 1u);
    EXPECT_EQ(apart->m_closed, 0u);
    FreePathRecordGroups(layers);
}

TEST(RecalcHeaderBoundRect, JobExtentsOverAllLayersAndBandedPitch)
{
    NestedJob job;
    CFileTrans::RecalcPathBoundRects(job.layers);
    WORKHEAD head;
    head.m_layers = job.layers;
    head.m_pitchY = 123.0;
    CFileTrans::RecalcHeaderBoundRect(&head);
    EXPECT_DOUBLE_EQ(head.m_minX, -7.0);
    EXPECT_DOUBLE_EQ(head.m_maxX, 40.0);
    EXPECT_DOUBLE_EQ(head.m_minY, -5.0);
    EXPECT_DOUBLE_EQ(head.m_maxY, 60.0);
    EXPECT_DOUBLE_EQ(head.m_pitchY, 123.0); // not banded: pitch kept

    head.m_banded = 1;
    CFileTrans::RecalcHeaderBoundRect(&head);
    EXPECT_DOUBLE_EQ(head.m_pitchY, 65.0);
    head.m_layers = nullptr;

    WORKHEAD empty;
    empty.m_maxX = 9.0;
    CFileTrans::RecalcHeaderBoundRect(&empty);
    EXPECT_DOUBLE_EQ(empty.m_maxX, 9.0);
}

TEST(GetLayersBoundRect, BracketsCountWithOrWithoutTheirArrayCopies)
{
    NestedJob job;
    double xmin, xmax, ymin, ymax;
    ASSERT_TRUE(CFileTrans::GetLayersBoundRect(job.layers, xmin, xmax, ymin, ymax, false));
    EXPECT_DOUBLE_EQ(xmin, -7.0);
    EXPECT_DOUBLE_EQ(xmax, 40.0);
    EXPECT_DOUBLE_EQ(ymin, -5.0);
    EXPECT_DOUBLE_EQ(ymax, 60.0);
    // With arrays: O2's three columns at pitch 50 stretch P2's x 40 to 140;
    // O1's two rows at pitch 100 stretch its members' y 52 to 152.
    ASSERT_TRUE(CFileTrans::GetLayersBoundRect(job.layers, xmin, xmax, ymin, ymax, true));
    EXPECT_DOUBLE_EQ(xmax, 140.0);
    EXPECT_DOUBLE_EQ(ymax, 152.0);
    EXPECT_DOUBLE_EQ(xmin, -7.0);
    EXPECT_DOUBLE_EQ(ymin, -5.0);
    EXPECT_FALSE(CFileTrans::GetLayersBoundRect(nullptr, xmin, xmax, ymin, ymax, true));

    // The inner group alone, from the bracket's own initial bounds: P2's x
    // 30..40 widened by two more columns of 50; returns its closing bracket.
    double gx0 = 1e9, gx1 = -1e9, gy0 = 1e9, gy1 = -1e9;
    EXPECT_EQ(CFileTrans::GetGroupBoundRect(job.o2, gx0, gx1, gy0, gy1, true), job.c2);
    EXPECT_DOUBLE_EQ(gx0, 30.0);
    EXPECT_DOUBLE_EQ(gx1, 140.0);
    EXPECT_DOUBLE_EQ(gy0, -5.0);
    EXPECT_DOUBLE_EQ(gy1, 0.0);
}

TEST(GetPathBoundRect, UnclosedBracketOnARingEndsTheWalk)
{
    PATHREC* p = MakePath({{1, 2}, {3, 4}});
    WORKLAYER* layers = LinkLayers({MakeLayer({p, MakeOpeningBracket(1, 1, 0, 0), MakePath({{-1, 0}, {0, 9}})})});
    double xmin = 1e8, xmax = -1e8, ymin = 1e8, ymax = -1e8;
    ASSERT_TRUE(CFileTrans::GetPathBoundRect(layers->m_paths, xmin, xmax, ymin, ymax, false));
    EXPECT_DOUBLE_EQ(xmin, -1.0);
    EXPECT_DOUBLE_EQ(ymax, 9.0);
    FreePathRecordGroups(layers);
}

// An L-shaped path (10,20)-(30,20)-(30,60), brought to (0,0) and converted
// from corner 1 to each corner: x' = 20 - x when x is mirrored, y' = 40 - y
// when y is.
TEST(ConvertLayersOrigin, OffsetToZeroThenEachOriginCorner)
{
    struct Case {
        int corner;
        int code;
        std::vector<XY> points;
    };
    const Case cases[] = {
        {0, 1, {{20, 0}, {0, 0}, {0, 40}}},
        {1, 0, {{0, 0}, {20, 0}, {20, 40}}},
        {2, 3, {{20, 40}, {0, 40}, {0, 0}}},
        {3, 2, {{0, 40}, {20, 40}, {20, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.corner);
        PATHREC* path = MakePath({{10, 20}, {30, 20}, {30, 60}});
        WORKLAYER* layers = LinkLayers({MakeLayer({path})});
        EXPECT_TRUE(CFileTrans::OffsetLayers(layers, 0.0, 0.0, false, false));
        EXPECT_EQ(CFileTrans::ConvertLayersOrigin(layers, 1, c.corner), c.code);
        EXPECT_EQ(SegmentPoints(path), c.points);
        ExpectExtents(path, 0, 20, 0, 40);
        FreePathRecordGroups(layers);
    }
}

// The L-shaped path of world units placed for corner 0 at its middle
// (point 4): to (0,0) (0,0)-(20,0)-(20,40), tenths (0,0)-(2,0)-(2,4), x
// mirrored about 2: (2,0)-(0,0)-(0,4), the middle (1, 2) to the origin.
TEST(PlaceInOneWalk, MovesScalesMirrorsAndAnchorsAsTheStepsDo)
{
    PATHREC* path = MakePath({{10, 20}, {30, 20}, {30, 60}});
    WORKLAYER* layers = LinkLayers({MakeLayer({path})});
    CFileTrans::Bounds placed{};
    ASSERT_TRUE(CFileTrans::PlaceInOneWalk(layers, 10.0, 0, 4, &placed));
    EXPECT_EQ(SegmentPoints(path), (std::vector<XY>{{1, -2}, {-1, -2}, {-1, 2}}));
    ExpectExtents(path, -1, 1, -2, 2);
    EXPECT_EQ(std::vector<double>({placed.xmin, placed.xmax, placed.ymin, placed.ymax}),
              std::vector<double>({-1, 1, -2, 2}));
    FreePathRecordGroups(layers);

    // Awkward numbers, two layers, a plain group: every corner and point
    // gives the separate steps' numbers to the bit.
    auto make = [] {
        return LinkLayers({MakeLayer({MakePath({{0.1, 1.0 / 3}, {-7.7, 2.2}, {1e-3, -0.35}})}),
                           MakeLayer({MakeClosingBracket(), MakePath({{123.456, -9.87}, {5.5, 0.3}})})});
    };
    auto points = [](WORKLAYER* l) {
        std::vector<XY> out;
        ForEachLayer(l, false, [&](WORKLAYER& layer) {
            ForEachPath(layer, [&](PATHREC& p) {
                out.emplace_back(p.m_xmin, p.m_xmax);
                out.emplace_back(p.m_ymin, p.m_ymax);
                if (p.m_pSegs != nullptr)
                    for (const XY& xy : SegmentPoints(&p))
                        out.push_back(xy);
            });
        });
        return out;
    };
    for (int corner = 0; corner <= 4; ++corner) {
        for (int point = 0; point <= 9; ++point) {
            SCOPED_TRACE(corner * 10 + point);
            WORKLAYER* one = make();
            WORKLAYER* steps = make();
            CFileTrans::RecalcPathBoundRects(one);
            CFileTrans::RecalcPathBoundRects(steps);
            CFileTrans::Bounds placed{};
            ASSERT_TRUE(CFileTrans::PlaceInOneWalk(one, 10.0, corner, point, &placed));
            CFileTrans::OffsetLayers(steps, 0.0, 0.0, false, false);
            CFileTrans::ScaleLayers(steps, 10.0, false);
            CFileTrans::ConvertLayersOrigin(steps, 1, corner);
            CFileTrans::PlaceAtAnchor(steps, corner, point);
            EXPECT_EQ(points(one), points(steps));
            // The extents given are those measured on the placed segments.
            std::vector<double> measured(4);
            CFileTrans::GetLayersBoundRect(steps, measured[0], measured[1], measured[2], measured[3], true);
            EXPECT_EQ(std::vector<double>({placed.xmin, placed.xmax, placed.ymin, placed.ymax}), measured);
            FreePathRecordGroups(one);
            FreePathRecordGroups(steps);
        }
    }

    // Many paths, measured and moved in pieces side by side: the same.
    auto many = [] {
        std::vector<PATHREC*> a, b;
        for (int i = 0; i < 30000; ++i)
            (i % 2 == 0 ? a : b).push_back(MakePath({{i / 7.0, -i / 21.0}, {i / 7.0 + 0.1, 1.0 / (i + 3)}}));
        return LinkLayers({MakeLayer(a), MakeLayer(b)});
    };
    WORKLAYER* one = many();
    WORKLAYER* steps = many();
    CFileTrans::RecalcPathBoundRects(one);
    CFileTrans::RecalcPathBoundRects(steps);
    ASSERT_TRUE(CFileTrans::PlaceInOneWalk(one, 10.0, 2, 4));
    CFileTrans::OffsetLayers(steps, 0.0, 0.0, false, false);
    CFileTrans::ScaleLayers(steps, 10.0, false);
    CFileTrans::ConvertLayersOrigin(steps, 1, 2);
    CFileTrans::PlaceAtAnchor(steps, 2, 4);
    EXPECT_EQ(points(one), points(steps));
    FreePathRecordGroups(one);
    FreePathRecordGroups(steps);
}

TEST(PlaceInOneWalk, LeavesArraysNumbersThatAreNotFiniteAndFarExtentsToTheSteps)
{
    const std::vector<XY> l{{10, 20}, {30, 20}};
    PATHREC* inner = MakePath(l);
    WORKLAYER* arrays = LinkLayers({MakeLayer({MakeOpeningBracket(2, 1, -100.0, 0.0), inner, MakeClosingBracket()})});
    EXPECT_FALSE(CFileTrans::PlaceInOneWalk(arrays, 10.0, 1, 0));
    EXPECT_EQ(SegmentPoints(inner), l);
    FreePathRecordGroups(arrays);

    PATHREC* odd = MakePath({{10, 20}, {std::nan(""), 20}});
    WORKLAYER* nan = LinkLayers({MakeLayer({odd})});
    EXPECT_FALSE(CFileTrans::PlaceInOneWalk(nan, 10.0, 1, 0));
    EXPECT_EQ(odd->m_pSegs->m_x0, 10.0);
    FreePathRecordGroups(nan);

    // Beyond 1e8 the steps measure from their seeds, not from the path.
    PATHREC* far = MakePath({{2e8, 20}, {3e8, 20}});
    WORKLAYER* beyond = LinkLayers({MakeLayer({far})});
    EXPECT_FALSE(CFileTrans::PlaceInOneWalk(beyond, 10.0, 1, 0));
    EXPECT_EQ(far->m_pSegs->m_x0, 2e8);
    FreePathRecordGroups(beyond);

    EXPECT_FALSE(CFileTrans::PlaceInOneWalk(nullptr, 10.0, 1, 0));
}

TEST(OffsetLayers, RelativeZeroPutsTheCornerOfArrayCopiesAtTheOrigin)
{
    // Two rows at pitch -100 below a path spanning y 0..50: the copies reach
    // y -100, so everything moves up by 100 (and right by 5).
    PATHREC* inner = MakePath({{-5, 0}, {5, 50}});
    WORKLAYER* layers = LinkLayers({MakeLayer({MakeOpeningBracket(2, 1, -100.0, 0.0), inner, MakeClosingBracket()})});
    EXPECT_TRUE(CFileTrans::OffsetLayers(layers, 0.0, 0.0, false, false));
    EXPECT_EQ(SegmentPoints(inner), (std::vector<XY>{{0, 100}, {10, 150}}));
    ExpectExtents(inner, 0, 10, 100, 150);
    FreePathRecordGroups(layers);
}

TEST(OffsetLayers, AbsoluteMovesNegativeDistancesAndSkipsOnlyNoMove)
{
    PATHREC* path = MakePath({{10, 10}, {20, 30}});
    WORKLAYER* layers = LinkLayers({MakeLayer({path})});
    EXPECT_TRUE(CFileTrans::OffsetLayers(layers, -5.0, -2.5, true, false));
    EXPECT_EQ(SegmentPoints(path), (std::vector<XY>{{5, 7.5}, {15, 27.5}}));
    ExpectExtents(path, 5, 15, 7.5, 27.5);

    EXPECT_FALSE(CFileTrans::OffsetLayers(layers, 5e-8, -5e-8, true, false));
    EXPECT_EQ(SegmentPoints(path), (std::vector<XY>{{5, 7.5}, {15, 27.5}}));
    EXPECT_TRUE(CFileTrans::OffsetLayers(layers, 0.0, -1.0, true, false));
    EXPECT_EQ(SegmentPoints(path), (std::vector<XY>{{5, 6.5}, {15, 26.5}}));
    EXPECT_FALSE(CFileTrans::OffsetLayers(nullptr, 1.0, 1.0, true, false));
    FreePathRecordGroups(layers);
}

TEST(OffsetLayers, FirstOnlyMovesTheFirstLayerByItsOwnCorner)
{
    PATHREC* a = MakePath({{10, 10}, {20, 20}});
    PATHREC* b = MakePath({{0, 0}, {1, 1}});
    WORKLAYER* layers = LinkLayers({MakeLayer({a}), MakeLayer({b})});
    EXPECT_TRUE(CFileTrans::OffsetLayers(layers, 1.0, 2.0, false, true));
    EXPECT_EQ(SegmentPoints(a), (std::vector<XY>{{1, 2}, {11, 12}}));
    EXPECT_EQ(SegmentPoints(b), (std::vector<XY>{{0, 0}, {1, 1}}));
    FreePathRecordGroups(layers);
}

TEST(ScaleLayers, DividesPathsSegmentsAndBracketArraysButNotZ)
{
    PATHREC* open = MakeOpeningBracket(2, 2, 40.0, -60.0);
    open->m_pArray->m_dAreaW = 9000.0;
    open->m_pArray->m_dAreaH = 6000.0;
    PATHREC* path = MakePath({{100, 50}, {300, 250}});
    path->m_pSegs->m_z1 = 7.0;
    WORKLAYER* layers = LinkLayers({MakeLayer({open, path, MakeClosingBracket()})});
    CFileTrans::ScaleLayers(layers, 10.0, false);
    EXPECT_EQ(SegmentPoints(path), (std::vector<XY>{{10, 5}, {30, 25}}));
    ExpectExtents(path, 10, 30, 5, 25);
    EXPECT_DOUBLE_EQ(path->m_pSegs->m_z1, 7.0);
    EXPECT_DOUBLE_EQ(open->m_pArray->m_dDy, 4.0);
    EXPECT_DOUBLE_EQ(open->m_pArray->m_dDx, -6.0);
    EXPECT_DOUBLE_EQ(open->m_pArray->m_dAreaW, 900.0);
    EXPECT_DOUBLE_EQ(open->m_pArray->m_dAreaH, 600.0);

    CFileTrans::ScaleLayers(layers, 0.0, false); // below 1e-5: nothing
    EXPECT_EQ(SegmentPoints(path), (std::vector<XY>{{10, 5}, {30, 25}}));
    FreePathRecordGroups(layers);
}

TEST(RemoveZeroSegments, MiddleSegmentGoesPathStaysConnectedEmptyPathsGo)
{
    PATHREC* path = MakePath({{0, 0}, {10, 0}, {10.000001, 0.000002}, {10, 10}});
    PATHREC* zero = MakePath({{3, 3}, {3.000001, 3}});
    PATHREC* dot = MakePath({{4, 4}});
    PATHREC* bracket = MakeOpeningBracket(1, 1, 0, 0);
    WORKLAYER* layers = LinkLayers({MakeLayer({zero, path, dot, bracket})});
    CFileTrans::RemoveZeroSegments(layers->m_paths);

    ASSERT_EQ(layers->m_paths, path);
    EXPECT_EQ(SegmentPoints(path), (std::vector<XY>{{0, 0}, {10, 0}, {10, 10}}));
    // Still a ring of two segments, and still a ring of three paths.
    EXPECT_EQ(path->m_pSegs->m_pNext->m_pNext, path->m_pSegs);
    EXPECT_EQ(path->m_pSegs->m_pPrev, path->m_pSegs->m_pNext);
    EXPECT_EQ(path->m_pNext, dot);
    EXPECT_EQ(dot->m_pNext, bracket);
    EXPECT_EQ(bracket->m_pNext, path);
    EXPECT_EQ(path->m_pPrev, bracket);
    FreePathRecordGroups(layers);
}

// A zero-length last segment: its end goes to the segment before, which
// becomes the ring's last.
TEST(RemoveZeroSegments, LastSegmentGoesAndTheRingClosesOnTheOneBefore)
{
    PATHREC* path = MakePath({{0, 0}, {10, 0}, {10, 10}, {10, 10.000001}});
    WORKLAYER* layers = LinkLayers({MakeLayer({path})});
    CFileTrans::RemoveZeroSegments(layers->m_paths);
    ASSERT_EQ(layers->m_paths, path);
    EXPECT_EQ(SegmentPoints(path), (std::vector<XY>{{0, 0}, {10, 0}, {10, 10.000001}}));
    const SEGNODE* first = path->m_pSegs;
    EXPECT_EQ(first->m_pNext->m_pNext, first);
    EXPECT_EQ(first->m_pPrev, first->m_pNext);
    FreePathRecordGroups(layers);
}

// Bounds and zero segments in one walk, over more paths than one piece of
// the walk: a cut layer loses its zero paths wherever they lie (first, last,
// at the pieces' seams) and stays a ring in order; a group keeps the extents
// of a zero path it held; other layers keep theirs; a cut layer of zero
// paths only is left empty.
TEST(RecalcPathBoundRects, ZeroSegmentsOfCutLayersGoInTheSameWalk)
{
    constexpr int kPaths = 20000;
    PATHREC* opening = MakeOpeningBracket(1, 1, 0, 0);
    PATHREC* closing = MakeClosingBracket();
    PATHREC* inside = MakePath({{0, 0}, {1, 1}});
    std::vector<PATHREC*> cut{opening, MakePath({{100, 100}, {100.000001, 100}}), inside, closing};
    for (int i = 0; i < kPaths; ++i) {
        const double x = i;
        cut.push_back(i % 3 == 0 || i == kPaths - 1 ? MakePath({{x, 0}, {x, 0.000001}}) : MakePath({{x, 0}, {x, 5}}));
    }
    WORKLAYER* cutLayer = MakeLayer(cut);
    cutLayer->m_mode = 1;
    PATHREC* kept = MakePath({{7, 7}, {7.000001, 7}});
    WORKLAYER* scanLayer = MakeLayer({kept});
    scanLayer->m_mode = 2;
    WORKLAYER* emptied = MakeLayer({MakePath({{1, 1}, {1, 1}}), MakePath({{2, 2}, {2.000001, 2}})});
    emptied->m_mode = 3;
    WORKLAYER* layers = LinkLayers({cutLayer, scanLayer, emptied});

    CFileTrans::RecalcPathBoundRects(layers, 1);

    ExpectExtents(opening, 0, 100.000001, 0, 100);
    ExpectExtents(closing, 0, 100.000001, 0, 100);
    std::vector<PATHREC*> left;
    ForEachPath(*cutLayer, [&](PATHREC& p) { left.push_back(&p); });
    ASSERT_EQ(left.size(), 3u + static_cast<std::size_t>(kPaths - (kPaths + 2) / 3 - 1));
    EXPECT_EQ(left[0], opening);
    EXPECT_EQ(left[1], inside);
    EXPECT_EQ(left[2], closing);
    double x = 1;
    for (std::size_t i = 3; i < left.size(); ++i, x += (static_cast<int>(x) % 3 == 2 ? 2 : 1)) {
        ASSERT_NE(left[i]->m_pSegs, nullptr);
        ASSERT_EQ(left[i]->m_pSegs->m_x0, x) << i;
        ExpectExtents(left[i], x, x, 0, 5);
        ASSERT_EQ(left[i]->m_pPrev, left[i - 1]);
    }
    EXPECT_EQ(left.back()->m_pNext, left.front());
    EXPECT_EQ(left.front()->m_pPrev, left.back());
    EXPECT_EQ(scanLayer->m_paths, kept);
    EXPECT_EQ(SegmentPoints(kept), (std::vector<XY>{{7, 7}, {7.000001, 7}}));
    EXPECT_EQ(emptied->m_paths, nullptr);
    FreePathRecordGroups(layers);
}

TEST(ScaleObjects, DividesNodesRecursesIntoGroupsAndIgnoresTinyFactors)
{
    CDocData* loose = MakeLine({{10, 20}, {30, 40}});
    CDocData* child1 = MakeLine({{100, 100}, {120, 110}});
    CDocData* child2 = MakeLine({{60, 200}, {80, 220}});
    CDocData* group = new CDocDataGroup(LinkObjects({child1, child2}), nullptr);
    CDocData* list = LinkObjects({loose, group});

    CFileTrans::ScaleObjects(list, 0.0, false, nullptr);
    EXPECT_EQ(NodePositions(loose->m_pNodes), (std::vector<XY>{{10, 20}, {30, 40}}));

    CFileTrans::ScaleObjects(list, 2.0, false, nullptr);
    EXPECT_EQ(NodePositions(loose->m_pNodes), (std::vector<XY>{{5, 10}, {15, 20}}));
    EXPECT_EQ(NodePositions(child2->m_pNodes), (std::vector<XY>{{30, 100}, {40, 110}}));
    const CGeoBox box = group->m_rcBound;
    EXPECT_DOUBLE_EQ(box.m_xmin, 30.0);
    EXPECT_DOUBLE_EQ(box.m_xmax, 60.0);
    EXPECT_DOUBLE_EQ(box.m_ymin, 50.0);
    EXPECT_DOUBLE_EQ(box.m_ymax, 110.0);

    CFileTrans::ScaleObjects(list, 5.0, true, nullptr); // first object only
    EXPECT_EQ(NodePositions(loose->m_pNodes), (std::vector<XY>{{1, 2}, {3, 4}}));
    EXPECT_EQ(NodePositions(child2->m_pNodes), (std::vector<XY>{{30, 100}, {40, 110}}));
    DeleteObjectList(list);
}

TEST(GetObjectsBoundRect, NegativeMinimumIsKept)
{
    CDocData* list = LinkObjects({MakeLine({{-50, -20}, {-10, 5}}), MakeLine({{-30, 0}, {-20, 40}})});
    double xmin = 1e8, xmax = -1e8, ymin = 1e8, ymax = -1e8;
    ASSERT_TRUE(CFileTrans::GetObjectsBoundRect(list, xmin, xmax, ymin, ymax));
    EXPECT_DOUBLE_EQ(xmin, -50.0);
    EXPECT_DOUBLE_EQ(xmax, -10.0);
    EXPECT_DOUBLE_EQ(ymin, -20.0);
    EXPECT_DOUBLE_EQ(ymax, 40.0);
    EXPECT_FALSE(CFileTrans::GetObjectsBoundRect(nullptr, xmin, xmax, ymin, ymax));
    DeleteObjectList(list);
}

TEST(ConvertOrigin, MirrorsAboutTheJointBoxCentreByCornerPair)
{
    // Joint box x 0..10, y 0..10: mirroring maps x to 10 - x, y to 10 - y.
    CDocData* a = MakeLine({{0, 0}, {10, 4}});
    CDocData* b = MakeLine({{2, 10}, {4, 10}});
    CDocData* list = LinkObjects({a, b});
    EXPECT_EQ(CFileTrans::ConvertOrigin(list, 2, 0, nullptr), 2);
    ExpectNear(NodePositions(a->m_pNodes), {{0, 10}, {10, 6}});
    ExpectNear(NodePositions(b->m_pNodes), {{2, 0}, {4, 0}});
    EXPECT_EQ(CFileTrans::ConvertOrigin(list, 1, 2, nullptr), 3);
    ExpectNear(NodePositions(a->m_pNodes), {{10, 0}, {0, 4}});
    EXPECT_EQ(CFileTrans::ConvertOrigin(list, 3, 3, nullptr), 0);
    ExpectNear(NodePositions(a->m_pNodes), {{10, 0}, {0, 4}});
    DeleteObjectList(list);
}

// The joint box taken while scaling must be the one the separate walk finds:
// a group's box, an object beyond the walk's 1e8 seed and a box-less object
// all count as they do there, or the mirror centre moves.
TEST(ScaleAndConvertOrigin, EndsExactlyWhereScalingThenConvertingEnds)
{
    auto build = [] {
        CDocData* group = new CDocDataGroup(
            LinkObjects({MakeLine({{100, 100}, {120, 110}}), MakeLine({{60, 200}, {80, 225}})}), nullptr);
        return LinkObjects({MakeLine({{10.3, 20.7}, {30.1, 40.9}}), group, MakeLine({}),
                            MakeLine({{7e8, -3e8}, {9e8, 3.3}})});
    };
    auto nodes = [](CDocData* list) {
        std::vector<XY> all;
        for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
            CDocData** children = o->ChildList();
            CDocData* inner = o->GetType() == MT_GROUP && children != nullptr ? *children : o;
            for (CDocData* c = inner; c != nullptr; c = inner == o ? nullptr : c->m_pNext) {
                const std::vector<XY> some = NodePositions(c->m_pNodes);
                all.insert(all.end(), some.begin(), some.end());
            }
        }
        return all;
    };
    const struct {
        double factor;
        int from, to;
    } cases[] = {{2.54, 2, 0}, {0.1, 0, 2}, {3.0, 1, 1}, {1e-9, 2, 0}, {7.0, 1, 2}};
    for (const auto& c : cases) {
        CDocData* one = build();
        CDocData* two = build();
        CFileTrans::ScaleObjects(one, c.factor, false, nullptr);
        const int code = CFileTrans::ConvertOrigin(one, c.from, c.to, nullptr);
        EXPECT_EQ(CFileTrans::ScaleAndConvertOrigin(two, c.factor, c.from, c.to, nullptr), code);
        EXPECT_EQ(nodes(two), nodes(one)) << c.factor << " " << c.from << "->" << c.to;
        DeleteObjectList(one);
        DeleteObjectList(two);
    }
    EXPECT_EQ(CFileTrans::ScaleAndConvertOrigin(nullptr, 2.0, 2, 0, nullptr), 2);
}

// The one walk must leave every path as the three separate walks do. The
// bump's box is taken before merging flattens it, the scan layer keeps its
// short steps, the open segment lists end as rings, and a group's box counts
// its members as they were before merging.
TEST(MergeAndCloseRings, EndsExactlyWhereBoundsMergingAndClosingEnd)
{
    auto build = [] {
        PATHREC* open = MakePath({{0, 0}, {0.3, 0.01}, {0.6, 0}, {5, 0}});
        open->m_pSegs->m_pPrev->m_pNext = nullptr;
        open->m_pSegs->m_pPrev = nullptr;
        std::vector<XY> steps;
        for (int k = 0; k <= 8; ++k)
            steps.push_back({0.25 * k, 3.0 + (k % 2) * 0.005});
        WORKLAYER* cut = MakeLayer({MakeOpeningBracket(1, 2, 0.0, 10.0), open, MakePath(MmSquareOf(0, 0, 0.3)),
                                    MakeClosingBracket(), MakePath({{5, 5}})});
        cut->m_mode = 1;
        WORKLAYER* scan = MakeLayer({MakePath(steps)});
        scan->m_mode = 2;
        ForEachLayer(LinkLayers({cut, scan}), false,
                     [](WORKLAYER& l) { ForEachPath(l, [](PATHREC& p) { Scramble(&p); }); });
        return cut;
    };
    auto state = [](WORKLAYER* layers) {
        std::vector<std::vector<double>> out;
        ForEachLayer(layers, false, [&](WORKLAYER& l) {
            ForEachPath(l, [&](PATHREC& p) {
                std::vector<double> v{p.m_xmin, p.m_xmax, p.m_ymin, p.m_ymax, double(p.m_closed)};
                if (p.m_pSegs != nullptr)
                    v.push_back(p.m_pSegs->m_pPrev != nullptr ? 1.0 : 0.0);
                for (const XY& xy : SegmentPoints(&p)) {
                    v.push_back(xy.first);
                    v.push_back(xy.second);
                }
                out.push_back(v);
            });
        });
        return out;
    };
    for (bool recalc : {true, false}) {
        WORKLAYER* one = build();
        WORKLAYER* two = build();
        if (recalc)
            CFileTrans::RecalcPathBoundRects(one);
        CPathProc::MergeShortSegments(one, 0.8, 0.17453292519943295);
        CFileTrans::CloseRings(one);
        CFileTrans::MergeAndCloseRings(two, 0.8, 0.17453292519943295, recalc);
        EXPECT_EQ(state(two), state(one)) << recalc;
        // Merging took effect, so the comparison is not of two untouched jobs.
        EXPECT_EQ(SegmentPoints(two->m_paths->m_pNext).size(), 3u);
        FreePathRecordGroups(one);
        FreePathRecordGroups(two);
    }
}

TEST(FreePathRecordGroups, FreesARingOfLayersWithEveryRecordAndClearsTheHead)
{
    WORKLAYER* layers = LinkLayers({MakeLayer({MakePath({{0, 0}, {1, 1}}), MakeOpeningBracket(2, 1, 5, 0),
                                               MakePath({{2, 2}}), MakeClosingBracket()}),
                                    MakeLayer({}), MakeLayer({MakePath({{3, 3}, {4, 4}})})});
    FreePathRecordGroups(layers);
    EXPECT_EQ(layers, nullptr);
    FreePathRecordGroups(layers); // a null head is fine

    // A large job, freed in pieces side by side: every segment, path record
    // and array record goes back, from rings and open lists of paths alike,
    // whatever piece a group's brackets fall in.
    const std::size_t before = plat::RecordPoolBytesInUse();
    std::vector<PATHREC*> squares, mixed;
    for (int i = 0; i < 15000; ++i) {
        squares.push_back(MakePath(Square(i, 0, i + 1, 1)));
        if (i % 997 == 0)
            mixed.push_back(MakeOpeningBracket(2, 2, 1.0, 1.0));
        mixed.push_back(MakePath({{0, i}, {5, i}}));
        if (i % 997 == 996)
            mixed.push_back(MakeClosingBracket());
    }
    WORKLAYER* open = MakeLayer(mixed);
    open->m_paths->m_pPrev->m_pNext = nullptr; // an open list
    open->m_paths->m_pPrev = nullptr;
    layers = LinkLayers({MakeLayer(squares), open, MakeLayer({})});
    FreePathRecordGroups(layers);
    EXPECT_EQ(layers, nullptr);
    EXPECT_EQ(plat::RecordPoolBytesInUse(), before);
}

} // namespace
} // namespace plat

