// Deleting repeated lines: the worked cases (identical lines, a line lying on
// a polyline's middle, rectangles sharing an edge, close anchors), curves and
// unselected objects left alone, the layer switch, tolerances that are no
// tolerance, and the indexed walk against a plain walk over every pair on
// random drawings.
#include "ProcessingTestSupport.h"
#include "processing/PathProc.h"

#include "model/DocContext.h"
#include "model/DocDataEllipse.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "platform/Progress.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace plat {
namespace {

class RepeatedLines : public testing::Test {
protected:
    void SetUp() override
    {
        m_ctx.m_pCurrent = &m_doc;
        SetProgressSink(&m_progress);
    }
    void TearDown() override
    {
        SetProgressSink(nullptr);
        DeleteObjectList(m_doc.m_pFirst);
    }

    // The drawing of the run before is deleted first.
    CDocData* Run(std::initializer_list<CDocData*> objects, double tol, std::uint8_t withinLayer = 0)
    {
        DeleteObjectList(m_doc.m_pFirst);
        m_doc.m_pFirst = LinkObjects(objects);
        CPathProc::DeleteRepeatedLines(&m_ctx, tol, withinLayer);
        return m_doc.m_pFirst;
    }

    CDocListNode m_doc;
    DOCCONTEXT m_ctx;
    RecordingProgress m_progress;
};

CDocData* Rect(double x0, double y0, double x1, double y1)
{
    auto* r = new CDocDataRect(CGeoBox(x0, x1, y0, y1), nullptr, 255);
    r->m_bSelected = 1;
    return r;
}

TEST_F(RepeatedLines, IdenticalLinesLoseTheLaterOneAndAPolylineLosesTheMiddleALineCovers)
{
    CDocData* first = MakeLine({{0, 0}, {100, 0}});
    CDocData* second = MakeLine({{0, 0}, {100, 0}});
    CDocData* head = Run({first, second}, 0.1);
    ASSERT_EQ(CountObjects(head), 1);
    EXPECT_EQ(head, first);
    EXPECT_EQ(NodePositions(head->m_pNodes), (std::vector<XY>{{0, 0}, {100, 0}}));
    // Eight steps, one after each part of the work.
    EXPECT_EQ(m_progress.m_upper, 8);
    EXPECT_EQ(m_progress.m_history, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 0}));

    CDocData* line = MakeLine({{10, 0}, {20, 0}});
    CDocData* poly = MakeLine({{0, 0}, {10, 0}, {20, 0}, {30, 0}}, 4);
    poly->m_nColor = 0x00FF00;
    poly->m_bOutput = 0x81;
    head = Run({line, poly}, 0.1);
    ASSERT_EQ(CountObjects(head), 3);
    EXPECT_EQ(NodePositions(head->m_pNodes), (std::vector<XY>{{10, 0}, {20, 0}}));
    EXPECT_EQ(head->m_pNext, poly);
    EXPECT_EQ(NodePositions(poly->m_pNodes), (std::vector<XY>{{0, 0}, {10, 0}}));
    CDocData* piece = poly->m_pNext;
    EXPECT_EQ(NodePositions(piece->m_pNodes), (std::vector<XY>{{20, 0}, {30, 0}}));
    EXPECT_EQ(piece->m_nLayer, 4);
    EXPECT_EQ(piece->m_nColor, 0x00FF00u);
    EXPECT_EQ(piece->m_bOutput, 0x81);
    EXPECT_EQ(piece->m_nType, static_cast<std::uint32_t>(MT_LINE));
    // The selection box is the box of what is left.
    EXPECT_EQ(m_ctx.m_rcSelect.m_xmin, 0.0);
    EXPECT_EQ(m_ctx.m_rcSelect.m_xmax, 30.0);
}

TEST_F(RepeatedLines, SecondRectangleIsOpenedAtTheSharedEdgeAndStaysACopyablePolyline)
{
    CDocData* left = Rect(0, 0, 10, 10);
    CDocData* right = Rect(10, 0, 20, 10);
    right->m_nLayer = 2;
    const std::vector<XY> leftNodes = NodePositions(left->m_pNodes);
    ASSERT_EQ(NodePositions(right->m_pNodes), (std::vector<XY>{{10, 0}, {20, 0}, {20, 10}, {10, 10}, {10, 0}}));
    CDocData* head = Run({left, right}, 0.1);
    ASSERT_EQ(CountObjects(head), 2);
    EXPECT_EQ(head, left);
    EXPECT_EQ(NodePositions(left->m_pNodes), leftNodes);
    EXPECT_EQ(left->m_nType, static_cast<std::uint32_t>(MT_RECT));
    // The edge (10,10)-(10,0) lies on the first one's (10,0)-(10,10): the
    // ring is opened there and runs from (10,0) round to (10,10).
    CDocData* opened = head->m_pNext;
    EXPECT_EQ(NodePositions(opened->m_pNodes), (std::vector<XY>{{10, 0}, {20, 0}, {20, 10}, {10, 10}}));
    EXPECT_EQ(opened->m_nType, static_cast<std::uint32_t>(MT_LINE));
    EXPECT_EQ(opened->m_bClosed, 0);
    EXPECT_EQ(opened->m_nLayer, 2);
    EXPECT_EQ(opened->m_bSelected, 1);
    // A rectangle object under a polyline's type id would be lost by every
    // undo snapshot; the opened one is a real polyline.
    CDocData* copy = CloneDocData(opened, false);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(NodePositions(copy->m_pNodes), NodePositions(opened->m_pNodes));
    delete copy;
}

TEST_F(RepeatedLines, CloseAnchorsMergeAndAClosedOutlineStillEndsOnItsStart)
{
    CDocData* open = MakeLine({{0, 0}, {0.05, 0}, {50, 0}});
    // The node before the closing one lies 0.05 from it: that node goes, so
    // the outline keeps ending exactly where it starts.
    CDocData* closed = MakeLine({{0, 100}, {50, 100}, {50, 150}, {0.05, 100.05}, {0, 100}});
    ASSERT_EQ(closed->m_bClosed, 1);
    // A polyline running back over itself loses the part that runs back.
    CDocData* back = MakeLine({{0, 200}, {100, 200}, {50, 200}});
    CDocData* head = Run({open, closed, back}, 0.1);
    ASSERT_EQ(CountObjects(head), 3);
    EXPECT_EQ(NodePositions(open->m_pNodes), (std::vector<XY>{{0, 0}, {50, 0}}));
    EXPECT_EQ(NodePositions(closed->m_pNodes), (std::vector<XY>{{0, 100}, {50, 100}, {50, 150}, {0, 100}}));
    EXPECT_EQ(NodePositions(back->m_pNodes), (std::vector<XY>{{0, 200}, {100, 200}}));
}

TEST_F(RepeatedLines, CurvesUnselectedObjectsAndToleranceThatIsNoneAreLeftAlone)
{
    // A circle inscribed in a square: its control polygon lies on the
    // square's edges, but a curve is not made of its control polygon.
    CDocData* square = Rect(0, 0, 100, 100);
    auto* circle = new CDocDataEllipse(0, 0, 100, 100);
    circle->m_bSelected = 1;
    const std::vector<XY> squareNodes = NodePositions(square->m_pNodes);
    const std::vector<XY> circleNodes = NodePositions(circle->m_pNodes);
    // Two unselected copies of one line, and a selected one on top.
    CDocData* u1 = MakeLine({{0, 300}, {100, 300}});
    CDocData* u2 = MakeLine({{0, 300}, {100, 300}});
    u1->m_bSelected = u2->m_bSelected = 0;
    CDocData* head = Run({square, circle, u1, u2}, 0.1);
    ASSERT_EQ(CountObjects(head), 4);
    EXPECT_EQ(NodePositions(square->m_pNodes), squareNodes);
    EXPECT_EQ(square->m_nType, static_cast<std::uint32_t>(MT_RECT));
    EXPECT_EQ(NodePositions(circle->m_pNodes), circleNodes);
    EXPECT_EQ(circle->m_nType, static_cast<std::uint32_t>(MT_ELLIPSE));
    EXPECT_EQ(NodePositions(u2->m_pNodes), (std::vector<XY>{{0, 300}, {100, 300}}));

    for (double tol : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
        CDocData* a = MakeLine({{0, 0}, {0.0, 0}, {100, 0}});
        CDocData* b = MakeLine({{0, 0}, {100, 0}});
        m_progress.m_history.clear();
        head = Run({a, b}, tol);
        EXPECT_EQ(CountObjects(head), 2) << tol;
        EXPECT_EQ(CountNodes(a->m_pNodes), 3) << tol;
        EXPECT_TRUE(m_progress.m_history.empty());
    }
}

TEST_F(RepeatedLines, WithinLayerComparesOnlyObjectsOfOneLayer)
{
    CDocData* a = MakeLine({{0, 0}, {100, 0}}, 1);
    CDocData* b = MakeLine({{0, 0}, {100, 0}}, 2);
    EXPECT_EQ(CountObjects(Run({a, b}, 0.1, 1)), 2);
    a = MakeLine({{0, 0}, {100, 0}}, 1);
    b = MakeLine({{0, 0}, {100, 0}}, 2);
    EXPECT_EQ(CountObjects(Run({a, b}, 0.1, 0)), 1);
}

// ---- The plain walk ---------------------------------------------------------

std::vector<DOCNODE*> Starts(CDocData* o)
{
    std::vector<DOCNODE*> out;
    for (DOCNODE* n = o->m_pNodes; n != nullptr && n->m_pNext != nullptr; n = n->m_pNext)
        out.push_back(n);
    return out;
}

bool TwoNodes(const CDocData* o)
{
    return o->m_pNodes != nullptr && o->m_pNodes->m_pNext != nullptr;
}

// Every pair of segments, every pair of objects, in list order.
void PlainDeleteRepeatedLines(DOCCONTEXT* ctx, double tol, std::uint8_t withinLayer)
{
    CDocData*& head = ctx->m_pCurrent->m_pFirst;
    CPathProc::RemoveRepeatedNodes(ctx, tol);
    CPathProc::RemoveEmptyObjects(ctx);
    for (CDocData* o = head; o != nullptr; o = o->m_pNext) {
        if (!CPathProc::IsRepeatCandidate(o))
            continue;
        for (bool cut = true; cut;) {
            cut = false;
            const std::vector<DOCNODE*> s = Starts(o);
            for (std::size_t i = 0; i < s.size() && !cut; ++i) {
                for (std::size_t j = i + 1; j < s.size() && !cut; ++j) {
                    if (const int rule = CPathProc::SegmentOverlap(s[i], s[j], tol)) {
                        CPathProc::CutSegment(o, rule == 1 ? s[j] : s[i], head, ctx);
                        cut = true;
                    }
                }
            }
        }
    }
    CPathProc::RemoveEmptyObjects(ctx);
    for (CDocData* a = head; a != nullptr; a = a->m_pNext) {
        if (!CPathProc::IsRepeatCandidate(a))
            continue;
        for (CDocData* b = a->m_pNext; b != nullptr; b = b->m_pNext) {
            if (!CPathProc::IsRepeatCandidate(b) || (withinLayer != 0 && a->m_nLayer != b->m_nLayer))
                continue;
            for (bool cut = true; cut && TwoNodes(a) && TwoNodes(b) && a->m_rcBound.Intersects(b->m_rcBound, tol);) {
                cut = false;
                const std::vector<DOCNODE*> s = Starts(a);
                const std::vector<DOCNODE*> t = Starts(b);
                for (std::size_t i = 0; i < s.size() && !cut; ++i) {
                    for (std::size_t j = 0; j < t.size() && !cut; ++j) {
                        if (const int rule = CPathProc::SegmentOverlap(s[i], t[j], tol)) {
                            if (rule == 1)
                                CPathProc::CutSegment(b, t[j], head, ctx);
                            else
                                CPathProc::CutSegment(a, s[i], head, ctx);
                            cut = true;
                        }
                    }
                }
            }
        }
    }
    CPathProc::RemoveEmptyObjects(ctx);
}

struct Shape {
    std::uint32_t type;
    std::int32_t layer;
    std::uint8_t selected;
    std::uint8_t closed;
    std::vector<XY> nodes;
    bool operator==(const Shape&) const = default;
};

std::vector<Shape> Shapes(const CDocData* head)
{
    std::vector<Shape> out;
    for (const CDocData* o = head; o != nullptr; o = o->m_pNext)
        out.push_back({o->m_nType, o->m_nLayer, o->m_bSelected, o->m_bClosed, NodePositions(o->m_pNodes)});
    return out;
}

// Lines, polylines (some closed, some long enough for the segment grid) and
// rectangles on a coarse lattice, so that overlaps are common; nodes jitter
// by less than the tolerance and some repeat.
CDocData* RandomDrawing(std::mt19937& rng, int objects)
{
    std::uniform_int_distribution<int> cell(0, 8);
    std::uniform_int_distribution<int> pct(0, 99);
    std::uniform_real_distribution<double> jitter(-0.2, 0.2);
    std::vector<CDocData*> list;
    for (int k = 0; k < objects; ++k) {
        const int kind = pct(rng);
        CDocData* o = nullptr;
        if (kind < 15) {
            const int x = cell(rng) * 10, y = cell(rng) * 10;
            o = Rect(x, y, x + 10 * (1 + cell(rng) % 3), y + 10 * (1 + cell(rng) % 3));
        } else {
            const int count = kind < 25 ? 40 + cell(rng) * 5 : 2 + cell(rng) % 5;
            std::vector<XY> pts;
            for (int i = 0; i < count; ++i) {
                XY p{cell(rng) * 10 + jitter(rng), cell(rng) * 10 + jitter(rng)};
                if (!pts.empty() && pct(rng) < 10)
                    p = {pts.back().first + 0.1, pts.back().second};
                pts.push_back(p);
            }
            if (kind >= 25 && kind < 40)
                pts.push_back(pts.front());
            o = MakeLine(pts);
        }
        o->m_nLayer = pct(rng) % 2;
        o->m_bSelected = pct(rng) < 85 ? 1 : 0;
        list.push_back(o);
    }
    return LinkObjectRange(list);
}

TEST(RepeatedLinesWalk, IndexedWalkGivesThePlainWalksDrawing)
{
    std::mt19937 rng(1234);
    int changed = 0;
    for (int round = 0; round < 60; ++round) {
        CDocData* drawing = RandomDrawing(rng, 6 + round % 30);
        const double tol = round % 3 == 0 ? 0.5 : 3.0;
        const std::uint8_t within = static_cast<std::uint8_t>(round % 2);
        CDocListNode plainDoc;
        CDocListNode fastDoc;
        plainDoc.m_pFirst = CloneDocData(drawing, true);
        fastDoc.m_pFirst = CloneDocData(drawing, true);
        DOCCONTEXT plainCtx;
        plainCtx.m_pCurrent = &plainDoc;
        DOCCONTEXT fastCtx;
        fastCtx.m_pCurrent = &fastDoc;
        PlainDeleteRepeatedLines(&plainCtx, tol, within);
        CPathProc::DeleteRepeatedLines(&fastCtx, tol, within);
        const std::vector<Shape> plain = Shapes(plainDoc.m_pFirst);
        ASSERT_EQ(Shapes(fastDoc.m_pFirst), plain) << "round " << round;
        changed += plain != Shapes(drawing) ? 1 : 0;
        DeleteObjectList(drawing);
    }
    // The drawings are dense enough that most of them lose something.
    EXPECT_GT(changed, 50);
}

} // namespace
} // namespace plat
