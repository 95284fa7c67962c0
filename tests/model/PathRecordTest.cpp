// Output path records: each test builds its chain by hand, so the expected
// segments, links and bounds are read off the points given.
#include "model/DocState.h"
#include "model/NodeList.h"
#include "model/PathRecord.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

DOCNODE* Nodes(const std::vector<std::pair<double, double>>& pts)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (auto [x, y] : pts) {
        last = AppendNode(last, x, y);
        if (head == nullptr)
            head = last;
    }
    return head;
}

PATHREC* Path(const std::vector<std::pair<double, double>>& pts)
{
    DOCNODE* n = Nodes(pts);
    PATHREC* p = BuildPathRecord(n, 0);
    CDocState::FreeNodeList(n);
    return p;
}

struct Seg {
    double x0, y0, x1, y1;
};

// Segments walked along next links once round the ring; also checks that
// every previous link mirrors the next link.
std::vector<Seg> Walk(const PATHREC* p)
{
    std::vector<Seg> out;
    const SEGNODE* s = p->m_pSegs;
    while (s != nullptr) {
        out.push_back({s->m_x0, s->m_y0, s->m_x1, s->m_y1});
        EXPECT_EQ(s->m_pNext->m_pPrev, s);
        s = s->m_pNext;
        if (s == p->m_pSegs || out.size() > 100)
            break;
    }
    return out;
}

void ExpectSeg(const Seg& s, double x0, double y0, double x1, double y1)
{
    EXPECT_DOUBLE_EQ(s.x0, x0);
    EXPECT_DOUBLE_EQ(s.y0, y0);
    EXPECT_DOUBLE_EQ(s.x1, x1);
    EXPECT_DOUBLE_EQ(s.y1, y1);
}

PATHREC* Bracket(ARRAYREC* array)
{
    PATHREC* b = new PATHREC;
    b->m_kind = PATH_KIND_GROUP;
    b->m_pArray = array;
    return b;
}

ARRAYREC* Array(int rows, int cols, double dy, double dx)
{
    ARRAYREC* a = new ARRAYREC;
    a->m_nRows = static_cast<std::uint16_t>(rows);
    a->m_nCols = static_cast<std::uint16_t>(cols);
    a->m_dDy = dy;
    a->m_dDx = dx;
    return a;
}

// Links records into an open chain.
PATHREC* Chain(std::vector<PATHREC*> recs)
{
    for (std::size_t i = 0; i < recs.size(); ++i) {
        recs[i]->m_pPrev = i > 0 ? recs[i - 1] : nullptr;
        recs[i]->m_pNext = i + 1 < recs.size() ? recs[i + 1] : nullptr;
    }
    return recs.front();
}

int CountRecords(const PATHREC* head)
{
    int n = 0;
    for (const PATHREC* r = head; r != nullptr && n < 100; r = r->m_pNext)
        ++n;
    return n;
}

} // namespace

TEST(PathRecord, ClosedSquareBecomesRingOfFourSegmentsWithBounds)
{
    DOCNODE* n = Nodes({{500000, 500000}, {500100, 500000}, {500100, 500100}, {500000, 500100}, {500000, 500000}});
    PATHREC* p = BuildPathRecord(n, 3);
    CDocState::FreeNodeList(n);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->m_kind, PATH_KIND_PATH);
    EXPECT_EQ(p->m_subkind, 3);
    EXPECT_EQ(p->m_closed, 1u);
    EXPECT_EQ(p->m_xmin, 500000);
    EXPECT_EQ(p->m_xmax, 500100);
    EXPECT_EQ(p->m_ymin, 500000);
    EXPECT_EQ(p->m_ymax, 500100);
    EXPECT_EQ(p->m_zmin, 0.0);
    EXPECT_EQ(p->m_zmax, 0.0);
    EXPECT_EQ(p->m_pArray, nullptr);
    const auto segs = Walk(p);
    ASSERT_EQ(segs.size(), 4u);
    ExpectSeg(segs[0], 500000, 500000, 500100, 500000);
    ExpectSeg(segs[1], 500100, 500000, 500100, 500100);
    ExpectSeg(segs[2], 500100, 500100, 500000, 500100);
    ExpectSeg(segs[3], 500000, 500100, 500000, 500000);
    EXPECT_EQ(p->m_pSegs->m_pPrev->m_pNext, p->m_pSegs);
    const SEGNODE* s = p->m_pSegs;
    EXPECT_EQ(s->m_nMode, 0);
    EXPECT_EQ(s->m_nGrey0, 0);
    EXPECT_EQ(s->m_z0, 0.0);
    FreePathRecordList(p);
    EXPECT_EQ(p, nullptr);
}

TEST(PathRecord, OpenTwoPointPathIsOneSegmentLinkedToItself)
{
    PATHREC* p = Path({{0, 0}, {100, 0}});
    EXPECT_EQ(p->m_kind, PATH_KIND_PATH);
    EXPECT_EQ(p->m_closed, 0u);
    EXPECT_EQ(p->m_xmin, 0);
    EXPECT_EQ(p->m_xmax, 100);
    EXPECT_EQ(p->m_ymin, 0);
    EXPECT_EQ(p->m_ymax, 0);
    EXPECT_EQ(p->m_pSegs->m_pNext, p->m_pSegs);
    EXPECT_EQ(p->m_pSegs->m_pPrev, p->m_pSegs);
    FreePathRecordList(p);
}

TEST(PathRecord, EndsWithinAThousandthCountAsClosedButNotBeyond)
{
    PATHREC* near = Path({{0, 0}, {10, 0}, {10, 10}, {0.001, 0.0005}});
    EXPECT_EQ(near->m_closed, 1u);
    PATHREC* far = Path({{0, 0}, {10, 0}, {10, 10}, {0.0011, 0}});
    EXPECT_EQ(far->m_closed, 0u);
    FreePathRecordList(near);
    FreePathRecordList(far);
}

TEST(PathRecord, OnePointIsADotWithOneZeroLengthSegment)
{
    PATHREC* p = Path({{500020, 500030}});
    EXPECT_EQ(p->m_kind, PATH_KIND_DOT);
    EXPECT_EQ(p->m_closed, 0u);
    const auto segs = Walk(p);
    ASSERT_EQ(segs.size(), 1u);
    ExpectSeg(segs[0], 500020, 500030, 500020, 500030);
    EXPECT_EQ(p->m_xmin, 500020);
    EXPECT_EQ(p->m_xmax, 500020);
    FreePathRecordList(p);
}

TEST(PathRecord, NullNodeListGivesNoRecord)
{
    EXPECT_EQ(BuildPathRecord(nullptr, 0), nullptr);
}

TEST(PathRecord, LeadInBecomesFirstSegmentAndOpensTheSquare)
{
    PATHREC* p = Path({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
    ASSERT_TRUE(AddLeadSegment(p, true, -5, -5));
    EXPECT_EQ(p->m_closed, 0u);
    auto segs = Walk(p);
    ASSERT_EQ(segs.size(), 5u);
    ExpectSeg(segs[0], -5, -5, 0, 0);
    ExpectSeg(segs[4], 0, 10, 0, 0);
    // Lead lines leave the bounds alone.
    EXPECT_EQ(p->m_xmin, 0);
    EXPECT_EQ(p->m_ymin, 0);

    ASSERT_TRUE(AddLeadSegment(p, false, 15, -5));
    segs = Walk(p);
    ASSERT_EQ(segs.size(), 6u);
    ExpectSeg(segs[0], -5, -5, 0, 0);
    ExpectSeg(segs[5], 0, 0, 15, -5);
    EXPECT_EQ(p->m_closed, 0u);
    FreePathRecordList(p);
}

TEST(PathRecord, LeadOutBackToTheLeadInPointClosesThePathAgain)
{
    PATHREC* p = Path({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
    AddLeadSegment(p, true, -5, -5);
    AddLeadSegment(p, false, -5, -5);
    EXPECT_EQ(p->m_closed, 1u);
    FreePathRecordList(p);
}

TEST(PathRecord, LeadOnRecordWithoutSegmentsIsRefused)
{
    PATHREC* b = Bracket(nullptr);
    EXPECT_FALSE(AddLeadSegment(b, true, 1, 1));
    EXPECT_FALSE(AddLeadSegment(nullptr, false, 1, 1));
    EXPECT_EQ(b->m_pSegs, nullptr);
    EXPECT_EQ(b->m_closed, 0u);
    FreePathRecordList(b);
}

TEST(PathRecord, LeadOutOnOpenSegmentChainKeepsItOpen)
{
    // Two segments linked without closing the ring.
    PATHREC* p = new PATHREC;
    SEGNODE* a = new SEGNODE;
    SEGNODE* b = new SEGNODE;
    a->m_x1 = 10;
    b->m_x0 = 10;
    b->m_x1 = 20;
    a->m_pNext = b;
    b->m_pPrev = a;
    p->m_pSegs = a;
    ASSERT_TRUE(AddLeadSegment(p, false, 20, 5));
    ASSERT_NE(b->m_pNext, nullptr);
    EXPECT_EQ(b->m_pNext->m_pNext, nullptr);
    EXPECT_EQ(b->m_pNext->m_x0, 20);
    EXPECT_EQ(b->m_pNext->m_y1, 5);
    EXPECT_EQ(a->m_pPrev, nullptr);
    FreePathRecordList(p);
}

TEST(PathRecord, BracketedChainAppendedToEmptyChainKeepsEveryRecord)
{
    PATHREC* open = Bracket(Array(2, 1, 100, 0));
    PATHREC* path = Path({{0, 0}, {10, 0}});
    PATHREC* close = Bracket(nullptr);
    Chain({open, path, close});

    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    AppendPathRecord(&head, &tail, open);
    EXPECT_EQ(head, open);
    EXPECT_EQ(tail, close);
    EXPECT_EQ(open->m_pNext, path);
    EXPECT_EQ(path->m_pNext, close);
    EXPECT_EQ(close->m_pNext, nullptr);
    EXPECT_EQ(open->m_pPrev, nullptr);

    // A second object's chain goes on behind the closing bracket.
    PATHREC* dot = Path({{5, 5}});
    AppendPathRecord(&head, &tail, dot);
    EXPECT_EQ(close->m_pNext, dot);
    EXPECT_EQ(dot->m_pPrev, close);
    EXPECT_EQ(tail, dot);
    EXPECT_EQ(CountRecords(head), 4);
    FreePathRecordList(head);
}

TEST(PathRecord, AppendingARingOfRecordsLeavesAnOpenChain)
{
    PATHREC* a = Path({{0, 0}, {1, 0}});
    PATHREC* b = Path({{2, 0}, {3, 0}});
    Chain({a, b});
    b->m_pNext = a;
    a->m_pPrev = b;
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    AppendPathRecord(&head, &tail, a);
    EXPECT_EQ(tail, b);
    EXPECT_EQ(b->m_pNext, nullptr);
    EXPECT_EQ(a->m_pPrev, nullptr);
    FreePathRecordList(head);
}

TEST(PathRecord, AppendWithNothingToAppendOrNoHeadChangesNothing)
{
    PATHREC* a = Path({{0, 0}, {1, 0}});
    PATHREC* head = a;
    PATHREC* tail = a;
    AppendPathRecord(&head, &tail, nullptr);
    EXPECT_EQ(head, a);
    EXPECT_EQ(tail, a);
    EXPECT_EQ(a->m_pNext, nullptr);

    PATHREC* b = Path({{2, 0}, {3, 0}});
    AppendPathRecord(nullptr, &tail, b);
    EXPECT_EQ(tail, a);
    EXPECT_EQ(a->m_pNext, nullptr);
    EXPECT_EQ(b->m_pPrev, nullptr);

    // Without a tail the end of the chain is found from the head.
    AppendPathRecord(&head, nullptr, b);
    EXPECT_EQ(a->m_pNext, b);
    EXPECT_EQ(b->m_pPrev, a);
    FreePathRecordList(head);
}

TEST(PathRecord, CopyOfBracketChainHasNoArrayRecordsAndOwnSegments)
{
    PATHREC* open = Bracket(Array(2, 2, 10, 10));
    PATHREC* path = Path({{0, 0}, {10, 0}, {10, 10}});
    PATHREC* close = Bracket(nullptr);
    PATHREC* head = Chain({open, path, close});

    PATHREC* copy = CopyPathRecord(head);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(CountRecords(copy), 3);
    EXPECT_EQ(copy->m_kind, PATH_KIND_GROUP);
    EXPECT_EQ(copy->m_pArray, nullptr);
    EXPECT_EQ(copy->m_pPrev, nullptr);
    const PATHREC* cp = copy->m_pNext;
    EXPECT_EQ(cp->m_pPrev, copy);
    EXPECT_NE(cp->m_pSegs, path->m_pSegs);
    const auto segs = Walk(cp);
    ASSERT_EQ(segs.size(), 2u);
    ExpectSeg(segs[1], 10, 0, 10, 10);
    EXPECT_EQ(cp->m_xmax, 10);
    EXPECT_EQ(cp->m_pNext->m_pArray, nullptr);

    FreePathRecordList(head);
    // The copy stands alone once the source is gone.
    EXPECT_EQ(Walk(copy->m_pNext).size(), 2u);
    FreePathRecordList(copy);
    EXPECT_EQ(CopyPathRecord(nullptr), nullptr);
}

TEST(PathRecord, CopyOfRingOfRecordsIsARing)
{
    PATHREC* a = Path({{0, 0}, {1, 0}});
    PATHREC* b = Path({{2, 0}, {3, 0}});
    Chain({a, b});
    b->m_pNext = a;
    a->m_pPrev = b;
    PATHREC* copy = CopyPathRecord(a);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_pNext->m_pNext, copy);
    EXPECT_EQ(copy->m_pPrev, copy->m_pNext);
    // Freeing rings frees every record once (the sanitizer build would see a
    // double free or a leak).
    FreePathRecordList(copy);
    FreePathRecordList(a);
    EXPECT_EQ(a, nullptr);
}

TEST(PathRecord, SegmentCopyOfOpenChainStaysOpen)
{
    SEGNODE* a = new SEGNODE;
    SEGNODE* b = new SEGNODE;
    a->m_x1 = 3;
    a->m_nGrey0 = 7;
    b->m_x0 = 3;
    a->m_pNext = b;
    b->m_pPrev = a;
    SEGNODE* c = CopySegmentRing(a);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->m_pPrev, nullptr);
    ASSERT_NE(c->m_pNext, nullptr);
    EXPECT_EQ(c->m_pNext->m_pNext, nullptr);
    EXPECT_EQ(c->m_x1, 3);
    EXPECT_EQ(c->m_nGrey0, 7);
    FreeSegmentRing(c);
    FreeSegmentRing(a);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(CopySegmentRing(nullptr), nullptr);
}

// Group bounds: one path spanning x 0..10, y 0..50 inside a bracket.
class GroupBounds : public ::testing::Test {
protected:
    PATHREC* MakeGroup(int rows, int cols, double dy, double dx)
    {
        head = Chain({Bracket(Array(rows, cols, dy, dx)), Path({{0, 0}, {10, 0}, {10, 50}}), Bracket(nullptr)});
        return head;
    }
    void TearDown() override { FreePathRecordList(head); }
    PATHREC* head = nullptr;
};

TEST_F(GroupBounds, NegativeRowPitchWidensDownwards)
{
    MakeGroup(2, 1, -100, 0);
    PATHREC* end = GetGroupBoundRect(head, head->m_xmin, head->m_xmax, head->m_ymin, head->m_ymax, true);
    EXPECT_EQ(end, head->m_pNext->m_pNext);
    EXPECT_EQ(head->m_xmin, 0);
    EXPECT_EQ(head->m_xmax, 10);
    EXPECT_EQ(head->m_ymin, -100);
    EXPECT_EQ(head->m_ymax, 50);
}

TEST_F(GroupBounds, PositiveRowPitchWidensUpwards)
{
    MakeGroup(2, 1, 100, 0);
    GetGroupBoundRect(head, head->m_xmin, head->m_xmax, head->m_ymin, head->m_ymax, true);
    EXPECT_EQ(head->m_ymin, 0);
    EXPECT_EQ(head->m_ymax, 150);
    EXPECT_EQ(head->m_xmin, 0);
    EXPECT_EQ(head->m_xmax, 10);
}

TEST_F(GroupBounds, ColumnsWidenXByTheirPitchInEitherDirection)
{
    MakeGroup(1, 3, 0, 20);
    double xmin = 1e9, xmax = -1e9, ymin = 1e9, ymax = -1e9;
    GetGroupBoundRect(head, xmin, xmax, ymin, ymax, true);
    EXPECT_EQ(xmin, 0);
    EXPECT_EQ(xmax, 50);
    EXPECT_EQ(ymin, 0);
    EXPECT_EQ(ymax, 50);

    head->m_pArray->m_dDx = -20;
    xmin = 1e9;
    xmax = -1e9;
    GetGroupBoundRect(head, xmin, xmax, ymin, ymax, true);
    EXPECT_EQ(xmin, -40);
    EXPECT_EQ(xmax, 10);
}

TEST_F(GroupBounds, WithoutArraysOnlyTheEnclosedPathsCount)
{
    MakeGroup(3, 3, 100, 100);
    double xmin = 5, xmax = 6, ymin = 60, ymax = 70;
    GetGroupBoundRect(head, xmin, xmax, ymin, ymax, false);
    EXPECT_EQ(xmin, 0);
    EXPECT_EQ(xmax, 10);
    EXPECT_EQ(ymin, 0);
    EXPECT_EQ(ymax, 70);
}

TEST_F(GroupBounds, NestedGroupIsWidenedByBothArrays)
{
    // Outer: 1 row, 2 columns at pitch 100; inner: 2 rows at pitch 50 round a
    // path 0..10 x 0..10. Inner: y 0..60; outer: x 0..110.
    PATHREC* outerClose = Bracket(nullptr);
    head = Chain({Bracket(Array(1, 2, 0, 100)), Bracket(Array(2, 1, 50, 0)), Path({{0, 0}, {10, 10}}),
                  Bracket(nullptr), outerClose});
    PATHREC* end = GetGroupBoundRect(head, head->m_xmin, head->m_xmax, head->m_ymin, head->m_ymax, true);
    EXPECT_EQ(end, outerClose);
    EXPECT_EQ(head->m_xmin, 0);
    EXPECT_EQ(head->m_xmax, 110);
    EXPECT_EQ(head->m_ymin, 0);
    EXPECT_EQ(head->m_ymax, 60);
}

TEST_F(GroupBounds, PathOrClosingBracketIsReturnedUnchanged)
{
    MakeGroup(2, 1, 100, 0);
    PATHREC* path = head->m_pNext;
    PATHREC* close = path->m_pNext;
    double xmin = 1, xmax = 2, ymin = 3, ymax = 4;
    EXPECT_EQ(GetGroupBoundRect(path, xmin, xmax, ymin, ymax, true), path);
    EXPECT_EQ(GetGroupBoundRect(close, xmin, xmax, ymin, ymax, true), close);
    EXPECT_EQ(xmin, 1);
    EXPECT_EQ(xmax, 2);
    EXPECT_EQ(ymin, 3);
    EXPECT_EQ(ymax, 4);
}

TEST_F(GroupBounds, GroupWithoutClosingBracketInARingStopsAtItsStart)
{
    // A broken chain closed into a ring: the walk must not run round forever.
    MakeGroup(1, 1, 0, 0);
    PATHREC* path = head->m_pNext;
    PATHREC* close = path->m_pNext;
    path->m_pNext = head;
    head->m_pPrev = path;
    double xmin = 1e9, xmax = -1e9, ymin = 1e9, ymax = -1e9;
    EXPECT_EQ(GetGroupBoundRect(head, xmin, xmax, ymin, ymax, false), path);
    EXPECT_EQ(xmax, 10);
    EXPECT_EQ(ymax, 50);
    close->m_pPrev = nullptr;
    FreePathRecordList(close);
}
