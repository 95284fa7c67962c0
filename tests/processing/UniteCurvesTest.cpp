// Uniting open curves. The hand cases check node order and the kept joint
// nodes; the random cases compare the endpoint-grid search against a plain
// walk through the list, which is the rule as written (with the same-layer
// condition), on drawings full of nearly meeting ends.
#include "ProcessingTestSupport.h"
#include "processing/PathProc.h"

#include "model/DocContext.h"
#include "model/DocDataGroup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <list>
#include <random>

namespace plat {
namespace {

void ExpectNear(const std::vector<XY>& actual, const std::vector<XY>& expected, double tol = 1e-9)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].first, expected[i].first, tol) << "node " << i;
        EXPECT_NEAR(actual[i].second, expected[i].second, tol) << "node " << i;
    }
}

TEST(UniteCurves, ThreeScrambledPiecesBecomeOnePolylineInPathOrder)
{
    // The square's three sides (0,10)-(10,10)-(10,0)-(0,0), given as: the
    // middle side reversed, the first side reversed, the last side. Joints
    // are up to 0.004 apart (join distance 0.01), and both nodes stay.
    CDocData* list = LinkObjects({MakeLine({{10, 0}, {10, 10}}), MakeLine({{10.004, 10}, {0, 10}}),
                                  MakeLine({{10, -0.003}, {0, 0}})});
    DOCCONTEXT ctx;
    CPathProc::UniteCurves(list, 0.001, 0, &ctx);
    ASSERT_EQ(CountObjects(list), 1);
    EXPECT_EQ(list->GetType(), MT_LINE);
    EXPECT_EQ(list->m_bClosed, 0);
    // The first piece's end takes the piece that starts there; its start
    // then takes the last piece, reversed, since that one starts there too.
    EXPECT_EQ(NodePositions(list->m_pNodes),
              (std::vector<XY>{{0, 0}, {10, -0.003}, {10, 0}, {10, 10}, {10.004, 10}, {0, 10}}));
    EXPECT_EQ(list->m_pPrev, nullptr);
    EXPECT_EQ(list->m_pNext, nullptr);
    EXPECT_DOUBLE_EQ(list->m_rcBound.m_xmax, 10.004);
    EXPECT_DOUBLE_EQ(list->m_rcBound.m_ymin, -0.003);
    DeleteObjectList(list);
}

TEST(UniteCurves, PiecesOnDifferentLayersStayApart)
{
    CDocData* a = MakeLine({{0, 0}, {10, 0}}, 1);
    CDocData* b = MakeLine({{10, 0}, {20, 0}}, 2);
    CDocData* list = LinkObjects({a, b});
    CPathProc::UniteCurves(list, 0.001, 0, nullptr);
    ASSERT_EQ(CountObjects(list), 2);
    EXPECT_EQ(list, a);
    EXPECT_EQ(a->m_pNext, b);
    EXPECT_EQ(NodePositions(a->m_pNodes), (std::vector<XY>{{0, 0}, {10, 0}}));
    EXPECT_EQ(NodePositions(b->m_pNodes), (std::vector<XY>{{10, 0}, {20, 0}}));
    DeleteObjectList(list);
}

TEST(UniteCurves, JoinDistanceIsTenTimesTheToleranceAndZeroToleranceDoesNothing)
{
    CDocData* list = LinkObjects({MakeLine({{0, 0}, {10, 0}}), MakeLine({{10.005, 0}, {20, 0}}),
                                  MakeLine({{40, 0}, {30, 0}}), MakeLine({{20.02, 0}, {30.0, 0.0}})});
    CPathProc::UniteCurves(list, 0.0, 0, nullptr);
    EXPECT_EQ(CountObjects(list), 4);
    CPathProc::UniteCurves(list, 0.001, 0, nullptr);
    // (10.005, 0) joins; (20.02, 0) is 0.02 away and stays apart, but then
    // joins the reversed piece ending at (30, 0).
    ASSERT_EQ(CountObjects(list), 2);
    EXPECT_EQ(NodePositions(list->m_pNodes), (std::vector<XY>{{0, 0}, {10, 0}, {10.005, 0}, {20, 0}}));
    EXPECT_EQ(NodePositions(list->m_pNext->m_pNodes), (std::vector<XY>{{40, 0}, {30, 0}, {30, 0}, {20.02, 0}}));
    DeleteObjectList(list);
}

TEST(UniteCurves, ClosedCurvesAndGroupsKeepTheirPlace)
{
    CDocData* closed = MakeLine({{10, 0}, {20, 0}, {20, 10}, {10, 0}});
    CDocData* group = new CDocDataGroup(LinkObjects({MakeLine({{10, 0}, {5, 5}})}), nullptr);
    CDocData* a = MakeLine({{0, 0}, {10, 0}});
    CDocData* b = MakeLine({{10, 0}, {10, -10}});
    CDocData* list = LinkObjects({closed, group, a, b});
    CPathProc::UniteCurves(list, 0.001, 0, nullptr);
    ASSERT_EQ(CountObjects(list), 3);
    EXPECT_EQ(list, closed);
    EXPECT_EQ(closed->m_pNext, group);
    EXPECT_EQ(group->m_pNext, a);
    EXPECT_EQ(CountNodes(closed->m_pNodes), 4);
    EXPECT_EQ(NodePositions(a->m_pNodes), (std::vector<XY>{{0, 0}, {10, 0}, {10, 0}, {10, -10}}));
    DeleteObjectList(list);
}

TEST(UniteCurves, PolylineEndingWhereABezierStartsBecomesOneBezierWithThePolylineAnchor)
{
    CDocData* line = MakeLine({{0, 0}, {10, 0}}, 3);
    line->m_nColor = 0x123456;
    CDocData* curve = MakeBezier({{10.005, 0}, {12, 5}, {18, 5}, {20, 0}}, 3);
    CDocData* list = LinkObjects({line, curve});
    CPathProc::UniteCurves(list, 0.001, 0, nullptr);
    ASSERT_EQ(CountObjects(list), 1);
    EXPECT_EQ(list->GetType(), MT_BEZIER);
    EXPECT_EQ(list->m_nLayer, 3);
    EXPECT_EQ(list->m_nColor, 0x123456u);
    EXPECT_EQ(NodePositions(list->m_pNodes),
              (std::vector<XY>{{0, 0}, {0, 0}, {10, 0}, {10, 0}, {12, 5}, {18, 5}, {20, 0}}));
    EXPECT_EQ(NodeKinds(list->m_pNodes), (std::vector<std::uint8_t>{NODE_ANCHOR, NODE_CONTROL_OUT, NODE_CONTROL_IN,
                                                                     NODE_ANCHOR, NODE_CONTROL_OUT,
                                                                     NODE_CONTROL_IN, NODE_ANCHOR}));
    DeleteObjectList(list);
}

TEST(UniteCurves, PolylineWhoseJoinedEndsMeetStaysOpenWhenItBecomesABezier)
{
    // After the first join the polyline's ends lie 0.0005 apart; joining the
    // Bezier path then turns it into a Bezier path, which must neither be
    // marked closed nor have its end anchor pulled onto its start: the
    // joined outline runs on to (-10, 0).
    CDocData* list = LinkObjects({MakeLine({{0, 0}, {10, 0}}), MakeLine({{10, 0}, {0, 0.0005}}),
                                  MakeBezier({{0.004, 0.0005}, {-5, 5}, {-10, 5}, {-10, 0}})});
    CPathProc::UniteCurves(list, 0.001, 0, nullptr);
    ASSERT_EQ(CountObjects(list), 1);
    EXPECT_EQ(list->GetType(), MT_BEZIER);
    EXPECT_EQ(list->m_bClosed, 0);
    EXPECT_EQ(NodePositions(list->m_pNodes),
              (std::vector<XY>{{0, 0}, {0, 0}, {10, 0}, {10, 0}, {10, 0}, {10, 0}, {10, 0}, {10, 0}, {0, 0.0005},
                               {0, 0.0005}, {-5, 5}, {-10, 5}, {-10, 0}}));
    DeleteObjectList(list);
}

TEST(UniteCurves, ToleranceWhoseJoinDistanceOverflowsJoinsEveryEnd)
{
    // Ten times 1e308 is beyond the largest double: every end lies within
    // the join distance, as the plain comparison of differences says.
    CDocData* list = LinkObjects({MakeLine({{0, 0}, {10, 0}}), MakeLine({{500, 500}, {600, 600}})});
    CPathProc::UniteCurves(list, 1e308, 0, nullptr);
    ASSERT_EQ(CountObjects(list), 1);
    EXPECT_EQ(NodePositions(list->m_pNodes), (std::vector<XY>{{0, 0}, {10, 0}, {500, 500}, {600, 600}}));
    DeleteObjectList(list);
}

TEST(UniteCurves, BezierStartJoinsAPieceEndingThereAndKeepsThatPiecesAnchor)
{
    // Phase 3: the Bezier in hand starts where the later Bezier ends; the
    // later piece's anchor is kept and the curve's own first anchor goes.
    CDocData* a = MakeBezier({{10.004, 0}, {12, 3}, {18, 3}, {20, 0}});
    CDocData* b = MakeBezier({{0, 0}, {2, 3}, {8, 3}, {10, 0}});
    CDocData* list = LinkObjects({a, b});
    CPathProc::UniteCurves(list, 0.001, 0, nullptr);
    ASSERT_EQ(CountObjects(list), 1);
    EXPECT_EQ(NodePositions(list->m_pNodes),
              (std::vector<XY>{{0, 0}, {2, 3}, {8, 3}, {10, 0}, {12, 3}, {18, 3}, {20, 0}}));
    DeleteObjectList(list);
}

TEST(UniteCurves, DeleteCrossingsCutsBothPiecesAtTheirCrossing)
{
    // Tolerance 0.1: join distance 1. A's last segment (10,0)-(11,1) and B's
    // first segment (11.5,0.9)-(9.5,0.9) cross at (10.9, 0.9).
    CDocData* list = LinkObjects({MakeLine({{0, 0}, {10, 0}, {11, 1}}), MakeLine({{11.5, 0.9}, {9.5, 0.9}, {9.5, 5}})});
    CPathProc::UniteCurves(list, 0.1, 1, nullptr);
    ASSERT_EQ(CountObjects(list), 1);
    ExpectNear(NodePositions(list->m_pNodes), {{0, 0}, {10, 0}, {10.9, 0.9}, {10.9, 0.9}, {9.5, 0.9}, {9.5, 5}});
    DeleteObjectList(list);
}

TEST(UniteCurves, DeleteCrossingsShortensEndsThatTurnBack)
{
    // B starts at (9.6, 0.3), behind A's end (10, 0): a turn of 2.50 rad. A
    // loses 1 at its end, to (9, 0); seen from there B's start turns by 1.75
    // rad, so B loses 1 along its first segment (direction (-0.6, 0.8)).
    CDocData* list = LinkObjects({MakeLine({{0, 0}, {10, 0}}), MakeLine({{9.6, 0.3}, {3.6, 8.3}})});
    CPathProc::UniteCurves(list, 0.1, 1, nullptr);
    ASSERT_EQ(CountObjects(list), 1);
    ExpectNear(NodePositions(list->m_pNodes), {{0, 0}, {9, 0}, {9, 1.1}, {3.6, 8.3}});
    DeleteObjectList(list);
}

// ---- comparison with a plain walk ------------------------------------------

bool IsJoinable(const CDocData* o)
{
    const std::uint32_t t = o->GetType();
    return t >= MT_LINE && t <= MT_NURBS && o->m_pNodes != nullptr && o->m_pNodes->m_pNext != nullptr &&
           o->m_bClosed == 0;
}

bool Near(const DOCNODE* p, const DOCNODE* q, double t)
{
    return std::fabs(p->m_x - q->m_x) < t && std::fabs(p->m_y - q->m_y) < t;
}

void DropFirst(DOCNODE*& head)
{
    DOCNODE* d = head;
    head = head->m_pNext;
    if (head != nullptr)
        head->m_pPrev = nullptr;
    delete d;
}

// Joins `tail` behind the last node of `head`'s list; returns the head.
DOCNODE* Concat(DOCNODE* head, DOCNODE* tail)
{
    if (head == nullptr)
        return tail;
    if (tail != nullptr) {
        DOCNODE* last = LastNode(head);
        last->m_pNext = tail;
        tail->m_pPrev = last;
    }
    return head;
}

void ReferenceUnite(CDocData*& list, double tol, std::uint8_t cross, DOCCONTEXT* ctx)
{
    if (list == nullptr || tol < 1e-7)
        return;
    const double t = tol * 10.0;
    std::list<CDocData*> rest;
    for (CDocData* o = list; o != nullptr; o = o->m_pNext)
        rest.push_back(o);
    for (CDocData* o : rest)
        o->m_pPrev = o->m_pNext = nullptr;
    std::vector<CDocData*> result;
    while (!rest.empty()) {
        CDocData* a = rest.front();
        rest.pop_front();
        if (IsJoinable(a)) {
            for (int phase = 1; phase <= 4; ++phase) {
                for (;;) {
                    const DOCNODE* q = phase <= 2 ? LastNode(a->m_pNodes) : a->m_pNodes;
                    const bool bStart = phase == 1 || phase == 4;
                    auto it = std::find_if(rest.begin(), rest.end(), [&](CDocData* b) {
                        return IsJoinable(b) && b->m_nLayer == a->m_nLayer &&
                               Near(bStart ? b->m_pNodes : LastNode(b->m_pNodes), q, t);
                    });
                    if (it == rest.end())
                        break;
                    CDocData* b = *it;
                    rest.erase(it);
                    CPathProc::MatchCurveTypes(a, b, ctx);
                    if (phase == 2 || phase == 4)
                        CPathProc::ReverseCurve(b);
                    if (phase <= 2) {
                        if (cross != 0 && a->GetType() == MT_LINE)
                            CPathProc::TrimJoint(a, b, t);
                        if (a->GetType() == MT_BEZIER)
                            DropFirst(b->m_pNodes);
                        a->m_pNodes = Concat(a->m_pNodes, b->m_pNodes);
                    } else {
                        if (cross != 0 && a->GetType() == MT_LINE)
                            CPathProc::TrimJoint(b, a, t);
                        if (a->GetType() == MT_BEZIER)
                            DropFirst(a->m_pNodes);
                        a->m_pNodes = Concat(b->m_pNodes, a->m_pNodes);
                    }
                    b->m_pNodes = nullptr;
                    a->RecalcBoundRect(ctx);
                    delete b;
                }
            }
        }
        result.push_back(a);
    }
    list = nullptr;
    CDocData* prev = nullptr;
    for (CDocData* o : result) {
        o->m_pPrev = prev;
        if (prev != nullptr)
            prev->m_pNext = o;
        else
            list = o;
        prev = o;
    }
}

// A drawing of short pieces whose ends sit on a coarse lattice, jittered by
// up to 0.7 times the join distance, so that ends meet, nearly meet and
// cluster; polylines, Bezier paths, closed outlines, groups, three layers.
CDocData* RandomDrawing(unsigned seed, int count, double join)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> lattice(0, 5);
    std::uniform_int_distribution<int> pick(0, 99);
    std::uniform_real_distribution<double> jitter(-0.7 * join, 0.7 * join);
    auto point = [&]() -> XY {
        const double jx = pick(rng) < 30 ? 0.0 : jitter(rng);
        const double jy = pick(rng) < 30 ? 0.0 : jitter(rng);
        return {lattice(rng) * 1.0 + jx, lattice(rng) * 1.0 + jy};
    };
    std::vector<CDocData*> objects;
    for (int i = 0; i < count; ++i) {
        const int layer = pick(rng) % 3;
        const int kind = pick(rng);
        if (kind < 60) {
            std::vector<XY> pts{point()};
            const int more = 1 + pick(rng) % 3;
            for (int k = 0; k < more; ++k)
                pts.push_back(point());
            objects.push_back(MakeLine(pts, layer));
        } else if (kind < 85) {
            const XY a = point(), b = point();
            objects.push_back(MakeBezier({a, {a.first + 0.3, a.second + 0.2}, {b.first - 0.3, b.second}, b}, layer));
        } else if (kind < 93) {
            const XY a = point();
            objects.push_back(MakeLine({a, point(), point(), a}, layer));
        } else {
            objects.push_back(new CDocDataGroup(LinkObjects({MakeLine({point(), point()}, layer)}), nullptr));
        }
    }
    return LinkObjectRange(objects);
}

void ExpectSameDrawings(const CDocData* a, const CDocData* b)
{
    ASSERT_EQ(CountObjects(a), CountObjects(b));
    for (int i = 0; a != nullptr; a = a->m_pNext, b = b->m_pNext, ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(a->GetType(), b->GetType());
        EXPECT_EQ(a->m_nLayer, b->m_nLayer);
        EXPECT_EQ(a->m_bClosed, b->m_bClosed);
        EXPECT_EQ(NodePositions(a->m_pNodes), NodePositions(b->m_pNodes));
        EXPECT_EQ(NodeKinds(a->m_pNodes), NodeKinds(b->m_pNodes));
        EXPECT_EQ(a->m_rcBound.m_xmin, b->m_rcBound.m_xmin);
        EXPECT_EQ(a->m_rcBound.m_ymax, b->m_rcBound.m_ymax);
    }
}

TEST(UniteCurves, GridSearchJoinsExactlyAsAPlainWalkThroughTheList)
{
    DOCCONTEXT ctx;
    for (double tol : {0.001, 0.02}) {
        for (std::uint8_t cross : {0, 1}) {
            for (unsigned seed = 1; seed <= 12; ++seed) {
                SCOPED_TRACE(testing::Message() << "tol " << tol << " cross " << int(cross) << " seed " << seed);
                CDocData* fast = RandomDrawing(seed, 300, tol * 10.0);
                CDocData* plain = RandomDrawing(seed, 300, tol * 10.0);
                const int before = CountObjects(fast);
                CPathProc::UniteCurves(fast, tol, cross, &ctx);
                ReferenceUnite(plain, tol, cross, &ctx);
                EXPECT_LT(CountObjects(fast), before); // the drawings do join
                ExpectSameDrawings(fast, plain);
                DeleteObjectList(fast);
                DeleteObjectList(plain);
            }
        }
    }
}

// Pieces scattered over a wide square, most of whose ends lie alone; some
// ends are put on an earlier end, within the join distance of it or just
// beyond, or on and around the multiples of twice the join distance, and a
// few pieces have an infinite end.
CDocData* SparseDrawing(unsigned seed, int count, double join, double side)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> anywhere(-side, side);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> pick(0, 99);
    std::vector<XY> placed;
    auto point = [&]() -> XY {
        const int how = pick(rng);
        if (placed.empty() || how < 50) {
            if (how < 8) {
                const double k = std::floor(anywhere(rng) / (2.0 * join));
                return {k * 2.0 * join, std::nextafter(k * 2.0 * join, -side) + join * (how % 2)};
            }
            return {anywhere(rng), anywhere(rng)};
        }
        const XY& base = placed[static_cast<std::size_t>(pick(rng)) % placed.size()];
        const double reach = how < 70 ? 0.0 : how < 90 ? 0.99 * join : 1.01 * join;
        return {base.first + reach * unit(rng), base.second + (how < 80 ? reach : -reach)};
    };
    std::vector<CDocData*> objects;
    for (int i = 0; i < count; ++i) {
        XY a = point(), b = point();
        if (pick(rng) < 2)
            a.first = pick(rng) < 50 ? -HUGE_VAL : HUGE_VAL;
        placed.push_back(a);
        placed.push_back(b);
        const int layer = pick(rng) % 2;
        if (pick(rng) < 75)
            objects.push_back(MakeLine({a, b}, layer));
        else
            objects.push_back(MakeBezier({a, {a.first + 1.0, a.second}, {b.first, b.second + 1.0}, b}, layer));
    }
    return LinkObjectRange(objects);
}

TEST(UniteCurves, LonelyEndsLeftOutOfTheSearchChangeNoJoin)
{
    // The search skips ends that no other end comes near; over a small and
    // a wide square (where the sorting cells grow) it must still join what
    // the plain walk joins, and nothing else.
    DOCCONTEXT ctx;
    for (double side : {50.0, 4e7}) {
        for (unsigned seed = 1; seed <= 8; ++seed) {
            const std::uint8_t cross = seed % 2;
            SCOPED_TRACE(testing::Message() << "side " << side << " seed " << seed);
            CDocData* fast = SparseDrawing(seed, 400, 0.01, side);
            CDocData* plain = SparseDrawing(seed, 400, 0.01, side);
            const int before = CountObjects(fast);
            CPathProc::UniteCurves(fast, 0.001, cross, &ctx);
            ReferenceUnite(plain, 0.001, cross, &ctx);
            EXPECT_LT(CountObjects(fast), before);
            ExpectSameDrawings(fast, plain);
            DeleteObjectList(fast);
            DeleteObjectList(plain);
        }
    }
}

} // namespace
} // namespace plat
