// Large-job banding. Hand cases for the band line, band taking (whole paths,
// cut paths, arrayed groups), the bands' stacking and the containment
// grouping; the random cases compare the grid-based grouping with the rule
// taken literally (every later object tested against every earlier one).
#include "ProcessingTestSupport.h"
#include "WorkLayerTestSupport.h"
#include "processing/BigFileExc.h"
#include "processing/FileTrans.h"
#include "processing/JobRecords.h"

#include "model/DocContext.h"
#include "model/DocDataGroup.h"
#include "model/DocListNode.h"

#include <gtest/gtest.h>

#include <random>

namespace plat {
namespace {

TEST(GetBandOffset, LineAndSideFollowCornerPositionAndDirection)
{
    struct Case {
        int corner, position, direction;
        double line;
        bool lowSide;
    };
    const Case cases[] = {
        {1, 0, 1, 20, false}, {0, 8, 1, 0, false}, {1, 6, 1, 0, false}, {2, 0, 1, -20, true},
        {3, 2, 1, -20, true}, {3, 4, 1, 0, true},  {2, 0, 0, 0, false},  {3, 5, 0, 20, false},
        {1, 8, 0, 0, false},  {0, 2, 0, 20, false},
    };
    for (const Case& c : cases) {
        bool lowSide = !c.lowSide;
        EXPECT_EQ(CBigFileExc::GetBandOffset(c.corner, c.position, c.direction, 20.0, lowSide), c.line)
            << c.corner << " " << c.position << " " << c.direction;
        EXPECT_EQ(lowSide, c.lowSide) << c.corner << " " << c.position << " " << c.direction;
    }
}

// Group of 3 rows (pitch 10) and 3 columns (pitch 20) round a line M from
// y 0 to 6 and a line N from y 2 to 9; the band from 0 up 8 with margin 0.5
// cuts at 8.5. Rows become copies M' (10..16), N' (12..19), M'' (20..26)
// and N'' (22..29); M lies inside, N is cut at 8.5, the copies lie beyond.
TEST(TakeBand, ArrayedGroupIsCutRowByRowAndBothHalvesKeepTheirColumns)
{
    PATHREC* open = MakeOpeningBracket(3, 3, 10.0, 20.0);
    WORKLAYER* layers = LinkLayers({MakeLayer({open, MakePath({{0, 0}, {0, 6}}), MakePath({{5, 2}, {5, 9}}),
                                               MakeClosingBracket()})});
    layers->m_layerId = 7;
    layers->m_speed = 12.5f;
    CFileTrans::RecalcPathBoundRects(layers);

    bool refused = true;
    WORKLAYER* band = CBigFileExc::TakeBand(layers, 0.0, 8.0, false, 0.5, refused);
    EXPECT_FALSE(refused);
    ASSERT_NE(band, nullptr);
    EXPECT_EQ(band->m_next, band);
    EXPECT_EQ(band->m_layerId, 7u);
    EXPECT_EQ(band->m_speed, 12.5f);
    const std::vector<PATHREC*> in = Paths(band);
    ASSERT_EQ(in.size(), 4u);
    ASSERT_NE(in[0]->m_pArray, nullptr);
    EXPECT_NE(in[0]->m_pArray, open->m_pArray);
    EXPECT_EQ(in[0]->m_pArray->m_nRows, 1);
    EXPECT_EQ(in[0]->m_pArray->m_nCols, 3);
    EXPECT_EQ(in[0]->m_pArray->m_dDx, 20.0);
    ExpectPoints(in[1], {{0, 0}, {0, 6}});
    ExpectPoints(in[2], {{5, 2}, {5, 8.5}});
    EXPECT_EQ(in[3]->m_kind, PATH_KIND_GROUP);
    EXPECT_EQ(in[3]->m_pArray, nullptr);
    // Group bounds with the columns: x 0 .. 5 + 2 x 20.
    EXPECT_DOUBLE_EQ(in[0]->m_xmax, 45.0);
    EXPECT_DOUBLE_EQ(in[0]->m_ymax, 8.5);

    ASSERT_NE(layers, nullptr);
    const std::vector<PATHREC*> rest = Paths(layers);
    ASSERT_EQ(rest.size(), 7u);
    EXPECT_EQ(rest[0], open);
    EXPECT_EQ(open->m_pArray->m_nRows, 1);
    EXPECT_EQ(open->m_pArray->m_nCols, 3);
    ExpectPoints(rest[1], {{5, 8.5}, {5, 9}});
    ExpectPoints(rest[2], {{0, 10}, {0, 16}});
    ExpectPoints(rest[3], {{5, 12}, {5, 19}});
    ExpectPoints(rest[4], {{0, 20}, {0, 26}});
    ExpectPoints(rest[5], {{5, 22}, {5, 29}});
    EXPECT_EQ(rest[6]->m_kind, PATH_KIND_GROUP);
    EXPECT_DOUBLE_EQ(open->m_ymax, 29.0);
    FreePathRecordGroups(band);
    FreePathRecordGroups(layers);
}

TEST(TakeBand, RowsThatWouldCopyTooManySegmentsAreRefusedAndStayWhole)
{
    std::vector<XY> zigzag;
    for (int k = 0; k <= 300; ++k)
        zigzag.push_back({static_cast<double>(k), static_cast<double>(k % 2) * 20.0});
    PATHREC* member = MakePath(zigzag);
    WORKLAYER* layers =
        LinkLayers({MakeLayer({MakeOpeningBracket(65535, 1, 30.0, 0.0), member, MakeClosingBracket()})});
    CFileTrans::RecalcPathBoundRects(layers);
    bool refused = false;
    WORKLAYER* band = CBigFileExc::TakeBand(layers, 0.0, 8.0, false, 0.5, refused);
    EXPECT_TRUE(refused);
    EXPECT_EQ(band, nullptr);
    ASSERT_NE(layers, nullptr);
    const std::vector<PATHREC*> rest = Paths(layers);
    ASSERT_EQ(rest.size(), 3u);
    EXPECT_EQ(rest[1], member);
    EXPECT_EQ(rest[0]->m_pArray->m_nRows, 65535);
    FreePathRecordGroups(layers);
}

// A 10 x 30 rectangle from y 0, one 10 x 10 square at y 60, bands of 20
// with margin 0.1 from the bottom (corner 1, direction 0): band 0 cuts the
// rectangle at 20.1 and puts its top on 20; band 1 starts at 20.1 (gap
// 20.1) with the rest of the rectangle, band 2 at 60 (gap 39.9) with the
// square. Each band moves along x by the gaps so far times 0.5.
TEST(SplitIntoBands, TallPathIsCutAndEachBandGetsItsIndexGapAndShift)
{
    PATHREC* rect = MakePath(Square(0, 0, 10, 30));
    PATHREC* square = MakePath(Square(20, 60, 30, 70));
    WORKHEAD header;
    header.m_layers = LinkLayers({MakeLayer({rect, square})});
    header.m_layers->m_mode = 1;
    header.m_originCorner = 1;
    header.m_posPoint = 0;
    header.m_minY = 0.0;
    header.m_maxY = 70.0;
    CFileTrans::RecalcPathBoundRects(header.m_layers);
    SPLITFEED split;
    split.m_bOn = 1;
    split.m_dDistance = 20.0;
    split.m_dMargin = 0.1;
    split.m_nDirection = 0;

    ASSERT_TRUE(CBigFileExc::SplitIntoBands(&header, &split, 0.5));
    const std::vector<WORKLAYER*> layers = Layers(header.m_layers);
    ASSERT_EQ(layers.size(), 3u);
    EXPECT_EQ(layers.back()->m_next, layers.front());
    const double gaps[] = {0.0, 20.1, 39.9};
    for (std::uint32_t k = 0; k < 3; ++k) {
        EXPECT_EQ(layers[k]->m_bandIndex, k);
        EXPECT_NEAR(layers[k]->m_bandGap, gaps[k], 1e-9);
        EXPECT_EQ(layers[k]->m_mode, 1);
        ASSERT_EQ(Paths(layers[k]).size(), 1u);
    }
    ExpectPoints(layers[0]->m_paths, {{0, 20}, {0, -0.1}, {10, -0.1}, {10, 20}});
    ExpectPoints(layers[1]->m_paths, {{20.05, 10.1}, {20.05, 20}, {10.05, 20}, {10.05, 10.1}});
    ExpectPoints(layers[2]->m_paths, {{50, 10}, {60, 10}, {60, 20}, {50, 20}, {50, 10}});
    EXPECT_EQ(layers[2]->m_paths->m_closed, 1u);
    EXPECT_NEAR(layers[1]->m_paths->m_xmin, 10.05, 1e-9);
    FreePathRecordGroups(header.m_layers);
}

TEST(SplitIntoBands, ShortJobIsOneBandAndUnusableRecordsLeaveTheJobAlone)
{
    // From the top (corner 1, direction 1): one band, its top on +20.
    WORKHEAD header;
    header.m_layers = LinkLayers({MakeLayer({MakePath(Square(0, 0, 10, 5))})});
    header.m_originCorner = 1;
    header.m_maxY = 5.0;
    CFileTrans::RecalcPathBoundRects(header.m_layers);
    PATHREC* path = header.m_layers->m_paths;
    SPLITFEED split;
    split.m_bOn = 1;
    split.m_dMargin = 0.1;
    for (double length : {0.0, 0.0005, std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity()}) {
        split.m_dDistance = length;
        EXPECT_TRUE(CBigFileExc::SplitIntoBands(&header, &split, 1.0));
        EXPECT_EQ(header.m_layers->m_paths, path);
        EXPECT_EQ(path->m_ymax, 5.0);
    }
    split.m_dDistance = 20.0;
    split.m_dMargin = -1.0;
    EXPECT_TRUE(CBigFileExc::SplitIntoBands(&header, &split, 1.0));
    EXPECT_EQ(path->m_ymax, 5.0);

    split.m_dMargin = 0.1;
    ASSERT_TRUE(CBigFileExc::SplitIntoBands(&header, &split, 1.0));
    ASSERT_EQ(Layers(header.m_layers).size(), 1u);
    EXPECT_EQ(header.m_layers->m_bandIndex, 0u);
    EXPECT_EQ(header.m_layers->m_bandGap, 0.0);
    ExpectPoints(header.m_layers->m_paths, {{0, 15}, {10, 15}, {10, 20}, {0, 20}, {0, 15}});
    FreePathRecordGroups(header.m_layers);
}

TEST(SplitIntoBands, PlainGroupMarkersGoAndArrayedOnesStay)
{
    WORKHEAD header;
    header.m_layers = LinkLayers({MakeLayer({MakeOpeningBracket(1, 1, 0.0, 0.0), MakePath({{0, 0}, {1, 1}}),
                                             MakeClosingBracket(), MakeOpeningBracket(1, 2, 0.0, 5.0),
                                             MakePath({{0, 2}, {1, 3}}), MakeClosingBracket()})});
    header.m_maxY = 3.0;
    CFileTrans::RecalcPathBoundRects(header.m_layers);
    SPLITFEED split;
    split.m_bOn = 1;
    split.m_dDistance = 10.0;
    split.m_nDirection = 0;
    ASSERT_TRUE(CBigFileExc::SplitIntoBands(&header, &split, 0.0));
    std::vector<int> kinds;
    for (PATHREC* p : Paths(header.m_layers))
        kinds.push_back(p->m_kind);
    EXPECT_EQ(kinds, (std::vector<int>{PATH_KIND_PATH, PATH_KIND_GROUP, PATH_KIND_PATH, PATH_KIND_GROUP}));
    EXPECT_EQ(Paths(header.m_layers)[1]->m_pArray->m_nCols, 2);
    FreePathRecordGroups(header.m_layers);
}

TEST(SplitIntoBands, JobNeedingMoreThanTheBandLimitIsRefusedKeepingEveryLayer)
{
    WORKHEAD header;
    header.m_layers = LinkLayers({MakeLayer({MakePath({{0, 0}, {0, 20005}})}), MakeLayer({MakePath({{1, 0}})})});
    header.m_maxY = 20005.0;
    CFileTrans::RecalcPathBoundRects(header.m_layers);
    SPLITFEED split;
    split.m_bOn = 1;
    split.m_dDistance = 1.0;
    split.m_dMargin = 0.0;
    split.m_nDirection = 0;
    EXPECT_FALSE(CBigFileExc::SplitIntoBands(&header, &split, 0.0));
    // The pieces taken so far and the rest are all still in the list.
    double top = 0.0;
    ForEachLayer(header.m_layers, false, [&](WORKLAYER& l) {
        ForEachPath(l, [&](PATHREC& p) { top = std::max(top, p.m_ymax); });
    });
    EXPECT_GT(top, 19000.0);
    FreePathRecordGroups(header.m_layers);
}

TEST(StackBands, EachGapMovesItsBandAndEveryLaterOne)
{
    for (int corner : {1, 2}) {
        WORKLAYER* b0 = MakeLayer({MakePath({{0, 0}, {0, 10}})});
        WORKLAYER* b1 = MakeLayer({MakePath({{0, 0}, {0, 10}})});
        WORKLAYER* b2 = MakeLayer({MakePath({{0, 0}, {0, 10}})});
        b1->m_bandIndex = 1;
        b1->m_bandGap = 5.0;
        b2->m_bandIndex = 2;
        b2->m_bandGap = 3.0;
        WORKLAYER* layers = LinkLayers({b0, b1, b2});
        CFileTrans::RecalcPathBoundRects(layers);
        CBigFileExc::StackBands(layers, corner);
        const double sign = corner == 1 ? -1.0 : 1.0;
        ExpectPoints(b0->m_paths, {{0, 0}, {0, 10}});
        ExpectPoints(b1->m_paths, {{0, 5 * sign}, {0, 10 + 5 * sign}});
        ExpectPoints(b2->m_paths, {{0, 8 * sign}, {0, 10 + 8 * sign}});
        EXPECT_EQ(b2->m_paths->m_ymin, 8 * sign);
        FreePathRecordGroups(layers);
    }
}

// ---- Containment grouping ----------------------------------------------

struct GroupingSetup {
    CDocListNode document;
    DOCCONTEXT ctx;
    SPLITFEED* split = new SPLITFEED;

    explicit GroupingSetup(double bandMm)
    {
        split->m_bOn = 1;
        split->m_dDistance = bandMm;
        document.m_pSplit = split;
        ctx.m_pCurrent = &document;
    }
};

CDocData* Tagged(CDocData* o, std::uint32_t tag)
{
    o->m_nColor = tag;
    return o;
}

// Per top-level object, the tags of what it holds: its own tag, or its
// children's for a group.
std::vector<std::vector<std::uint32_t>> Shape(const CDocData* list)
{
    std::vector<std::vector<std::uint32_t>> out;
    for (const CDocData* o = list; o != nullptr; o = o->m_pNext) {
        std::vector<std::uint32_t> tags;
        if (o->m_nType == MT_GROUP) {
            for (const CDocData* c = static_cast<const CDocDataGroup*>(o)->m_pChildren; c != nullptr; c = c->m_pNext)
                tags.push_back(c->m_nColor);
        } else {
            tags.push_back(o->m_nColor);
        }
        out.push_back(tags);
    }
    return out;
}

TEST(GroupContainedObjects, HolesJoinTheirOutlineWithinTheBandOnItsLayerOnly)
{
    GroupingSetup setup(20.0); // 200 world units
    CDocData* list = LinkObjects({
        Tagged(MakeLine(Square(20, 20, 40, 40)), 1),      // a hole listed before its plate
        Tagged(MakeLine(Square(0, 0, 100, 100)), 2),      // the plate
        Tagged(MakeLine(Square(25, 25, 30, 30)), 3),      // an island in the hole
        Tagged(MakeLine(Square(60, 60, 70, 70), 1), 4),   // inside, another layer
        Tagged(MakeLine(Square(500, 0, 600, 300)), 5),    // 300 tall around a hole:
        Tagged(MakeLine(Square(520, 20, 540, 40)), 6),    // too tall for one band
        Tagged(MakeLine({{1000, 0}, {2000, 1000}}), 7),   // a line contains nothing
        Tagged(MakeLine(Square(1400, 100, 1500, 200)), 8),
    });
    ASSERT_TRUE(CBigFileExc::GroupContainedObjects(&setup.ctx, list, false));
    const std::vector<std::vector<std::uint32_t>> expected{{1, 2, 3}, {4}, {5}, {6}, {7}, {8}};
    EXPECT_EQ(Shape(list), expected);
    EXPECT_EQ(list->m_pPrev, nullptr);
    // The group holds the three objects' box.
    EXPECT_EQ(list->m_rcBound.m_xmax, 100.0);
    EXPECT_EQ(list->m_pNext->m_pPrev, list);
    DeleteObjectList(list);

    // Without banding nothing is done.
    CDocData* one = MakeLine(Square(0, 0, 1, 1));
    setup.split->m_bOn = 0;
    EXPECT_FALSE(CBigFileExc::GroupContainedObjects(&setup.ctx, one, false));
    DeleteObjectList(one);
}

TEST(GroupContainedObjects, ArraysBecomeObjectsAndGroupsAreDissolvedFirst)
{
    GroupingSetup setup(100.0);
    CDocData* copied = Tagged(MakeLine(Square(0, 0, 10, 10)), 1);
    copied->m_pArray = new ARRAYREC;
    copied->m_pArray->m_nRows = 1;
    copied->m_pArray->m_nCols = 3;
    copied->m_pArray->m_dDx = 50.0;
    CDocData* list = LinkObjects({new CDocDataGroup(LinkObjects({copied, Tagged(MakeLine(Square(0, 100, 5, 105)), 2)}),
                                                    &setup.ctx)});
    ASSERT_TRUE(CBigFileExc::GroupContainedObjects(&setup.ctx, list, true));
    const std::vector<std::vector<std::uint32_t>> expected{{1}, {1}, {1}, {2}};
    EXPECT_EQ(Shape(list), expected);
    double x = 0.0;
    for (CDocData* o = list; o->m_pNext != nullptr; o = o->m_pNext) {
        EXPECT_EQ(o->m_pArray, nullptr);
        EXPECT_EQ(o->m_pNodes->m_x, x);
        x += 50.0;
    }
    DeleteObjectList(list);
}

// The rule taken literally: every pair in list order, the flat group
// growing in A's place.
void GroupLiterally(CDocData*& list, double limit, DOCCONTEXT* ctx)
{
    std::vector<CDocData*> objs;
    for (CDocData* o = list; o != nullptr; o = o->m_pNext)
        objs.push_back(o);
    std::vector<bool> alive(objs.size(), true);
    for (std::size_t i = 0; i < objs.size(); ++i) {
        if (!alive[i])
            continue;
        CDocData* last = nullptr;
        for (std::size_t j = i + 1; j < objs.size(); ++j) {
            if (!alive[j])
                continue;
            CGeoBox joint = CBigFileExc::GetObjectExtent(objs[i]);
            joint.Union(CBigFileExc::GetObjectExtent(objs[j]));
            if (!(joint.Height() < limit))
                continue;
            if (!CBigFileExc::IsInside(objs[i], objs[j]) && !CBigFileExc::IsInside(objs[j], objs[i]))
                continue;
            alive[j] = false;
            objs[j]->m_pPrev = objs[j]->m_pNext = nullptr;
            if (last == nullptr) {
                objs[i]->m_pPrev = nullptr;
                objs[i]->m_pNext = objs[j];
                objs[j]->m_pPrev = objs[i];
                objs[i] = new CDocDataGroup(objs[i], ctx);
            } else {
                last->m_pNext = objs[j];
                objs[j]->m_pPrev = last;
            }
            last = objs[j];
        }
    }
    std::vector<CDocData*> kept;
    for (std::size_t i = 0; i < objs.size(); ++i) {
        if (alive[i])
            kept.push_back(objs[i]);
    }
    list = LinkObjectRange(kept);
}

TEST(GroupContainedObjects, GridGroupingMatchesTheLiteralRuleOnRandomDrawings)
{
    for (int seed = 1; seed <= 25; ++seed) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> pos(0.0, 1000.0);
        std::uniform_real_distribution<double> size(1.0, 300.0);
        std::uniform_int_distribution<int> kind(0, 3);
        std::uniform_int_distribution<int> layer(0, 1);
        const double bandMm = std::uniform_real_distribution<double>(5.0, 40.0)(rng);
        std::vector<std::vector<XY>> shapes;
        std::vector<int> layers;
        for (int k = 0; k < 250; ++k) {
            const double x = pos(rng), y = pos(rng), s = size(rng);
            switch (kind(rng)) {
            case 0:
                shapes.push_back(Square(x, y, x + s, y + s * 0.7));
                break;
            case 1:
                shapes.push_back({{x, y}, {x + s, y}, {x + s / 2, y + s}, {x, y}});
                break;
            case 2:
                shapes.push_back({{x, y}, {x + s, y + s}});
                break;
            default: // a ring-shaped outline, concave
                shapes.push_back({{x, y}, {x + s, y}, {x + s, y + s}, {x + s * 0.6, y + s}, {x + s * 0.6, y + s * 0.3},
                                  {x + s * 0.4, y + s * 0.3}, {x + s * 0.4, y + s}, {x, y + s}, {x, y}});
                break;
            }
            layers.push_back(layer(rng));
        }
        auto build = [&] {
            std::vector<CDocData*> objs;
            for (std::size_t k = 0; k < shapes.size(); ++k)
                objs.push_back(Tagged(MakeLine(shapes[k], layers[k]), static_cast<std::uint32_t>(k)));
            return LinkObjectRange(objs);
        };
        GroupingSetup setup(bandMm);
        CDocData* fast = build();
        CDocData* literal = build();
        ASSERT_TRUE(CBigFileExc::GroupContainedObjects(&setup.ctx, fast, false));
        GroupLiterally(literal, bandMm * 10.0, &setup.ctx);
        EXPECT_EQ(Shape(fast), Shape(literal)) << "seed " << seed;
        DeleteObjectList(fast);
        DeleteObjectList(literal);
    }
}

} // namespace
} // namespace plat
