// Uniting open curves. The hand cases check node order and the kept joint
// nodes; the random cases compare the endpoint-grid search against a plain
// walk through the list, which is the rule as written (with the same-layer
// condition), on drawings full of nearly meeting ends.
#include "ProcessingTestSupport.h"
#include "processing/PathProc.h"

#include "model/DocContext.h"
#include "model/DocDataGroup.h"
#include "model/GeoFunctions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <list>
#include <numbers>
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

TEST(UniteCurves, ASquareOfFourLinesClosesInEveryOrderAndDirection)
{
    // The four sides in each of the 24 orders, each side either way round:
    // always one polyline that runs round the square, starting and ending
    // on the same corner (each joint keeps both of its nodes: 8 nodes).
    const std::vector<XY> corners = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    std::vector<int> order = {0, 1, 2, 3};
    DOCCONTEXT ctx;
    int cases = 0;
    do {
        for (int flips = 0; flips < 16; ++flips, ++cases) {
            std::vector<CDocData*> sides;
            for (int k : order) {
                XY a = corners[static_cast<std::size_t>(k)], b = corners[static_cast<std::size_t>((k + 1) % 4)];
                if ((flips >> k & 1) != 0)
                    std::swap(a, b);
                sides.push_back(MakeLine({a, b}));
            }
            CDocData* list = LinkObjectRange(sides);
            CPathProc::UniteCurves(list, 0.001, 0, &ctx);
            SCOPED_TRACE(testing::Message() << "order " << order[0] << order[1] << order[2] << order[3] << " flips "
                                            << flips);
            ASSERT_EQ(CountObjects(list), 1);
            const std::vector<XY> nodes = NodePositions(list->m_pNodes);
            ASSERT_EQ(nodes.size(), 8u);
            EXPECT_EQ(nodes.front(), nodes.back());
            for (std::size_t i = 1; i + 1 < nodes.size(); i += 2)
                EXPECT_EQ(nodes[i], nodes[i + 1]); // the joints
            std::vector<XY> visited = {nodes[0], nodes[2], nodes[4], nodes[6]};
            std::sort(visited.begin(), visited.end());
            std::vector<XY> all = corners;
            std::sort(all.begin(), all.end());
            EXPECT_EQ(visited, all);
            DeleteObjectList(list);
        }
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(cases, 384);
}

TEST(UniteCurves, PreparedObjectsAreSeenOnceInOrderAndJoinedByTheirPreparedEnds)
{
    // The second piece starts 1 away from the first one's end; prepared,
    // it starts there and the two join. A closed third piece is prepared
    // too; with a tolerance too small to join, every object is still
    // prepared once and nothing joined.
    CDocData* a = MakeLine({{0, 0}, {10, 0}});
    CDocData* b = MakeLine({{11, 0}, {20, 0}});
    CDocData* c = MakeLine({{0, 5}, {5, 5}, {5, 10}, {0, 5}});
    std::vector<CDocData*> seen;
    auto prepare = [&](CDocData* o) {
        seen.push_back(o);
        if (o == b)
            o->m_pNodes->m_x = 10.0;
    };
    CDocData* list = LinkObjects({a, b, c});
    CPathProc::UniteCurves(list, 0.0, 0, nullptr, prepare);
    EXPECT_EQ(seen, (std::vector<CDocData*>{a, b, c}));
    EXPECT_EQ(CountObjects(list), 3);

    b->m_pNodes->m_x = 11.0;
    seen.clear();
    CPathProc::UniteCurves(list, 0.001, 0, nullptr, prepare);
    EXPECT_EQ(seen, (std::vector<CDocData*>{a, b, c}));
    ASSERT_EQ(CountObjects(list), 2);
    EXPECT_EQ(NodePositions(list->m_pNodes), (std::vector<XY>{{0, 0}, {10, 0}, {10, 0}, {20, 0}}));
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

// The joint trimming as first written: both curves measured whole and a's
// end found again at every joint. Uniting a chain this way costs the square
// of its length, so the service measures only as far as its limits reach;
// the results must not change.
double WholeLength(const DOCNODE* head)
{
    double sum = 0.0;
    for (const DOCNODE* n = head; n != nullptr && n->m_pNext != nullptr; n = n->m_pNext)
        sum += std::hypot(n->m_pNext->m_x - n->m_x, n->m_pNext->m_y - n->m_y);
    return sum;
}

void WholeLengthTrimJoint(CDocData* a, CDocData* b, double t)
{
    DOCNODE* aHead = a->m_pNodes;
    DOCNODE* bHead = b->m_pNodes;
    if (aHead == nullptr || bHead == nullptr || aHead->m_pNext == nullptr || bHead->m_pNext == nullptr)
        return;
    auto dist = [](const DOCNODE* p, const DOCNODE* q) { return std::hypot(q->m_x - p->m_x, q->m_y - p->m_y); };
    auto cross = [](const DOCNODE* o, const DOCNODE* p, const DOCNODE* q) {
        return (p->m_x - o->m_x) * (q->m_y - o->m_y) - (p->m_y - o->m_y) * (q->m_x - o->m_x);
    };
    const double la = WholeLength(aHead);
    const double lb = WholeLength(bHead);
    const double reach = t * 10.0;
    DOCNODE* aLast = LastNode(aHead);
    double sumA = 0.0;
    for (DOCNODE* a1 = aLast; a1->m_pPrev != nullptr && sumA < la * 0.5 && sumA < reach; a1 = a1->m_pPrev) {
        DOCNODE* a0 = a1->m_pPrev;
        double sumB = 0.0;
        for (DOCNODE* b0 = bHead; b0->m_pNext != nullptr && sumB < lb * 0.5 && sumB < reach; b0 = b0->m_pNext) {
            DOCNODE* b1 = b0->m_pNext;
            double x = 0.0, y = 0.0;
            if (cross(a0, a1, b0) * cross(a0, a1, b1) <= 0.0 && cross(b0, b1, a0) * cross(b0, b1, a1) <= 0.0 &&
                GeoLineIntersection(a0->m_x, a0->m_y, a1->m_x, a1->m_y, b0->m_x, b0->m_y, b1->m_x, b1->m_y, x,
                                    y) == 0) {
                a1->m_x = x;
                a1->m_y = y;
                DOCNODE* rest = a1->m_pNext;
                a1->m_pNext = nullptr;
                CDocState::FreeNodeList(rest);
                b0->m_x = x;
                b0->m_y = y;
                if (b0 != bHead) {
                    b0->m_pPrev->m_pNext = nullptr;
                    b0->m_pPrev = nullptr;
                    CDocState::FreeNodeList(bHead);
                    b->m_pNodes = b0;
                }
                return;
            }
            sumB += dist(b0, b1);
        }
        sumA += dist(a0, a1);
    }
    if (t > 0.0 && la > 2.0 * t &&
        GeoTurnAngle(aLast->m_pPrev->m_x, aLast->m_pPrev->m_y, aLast->m_x, aLast->m_y, bHead->m_x, bHead->m_y) >
            std::numbers::pi / 2.0) {
        double length = t;
        DOCNODE* last = aLast;
        while (last->m_pPrev != nullptr && last->m_pPrev->m_pPrev != nullptr && dist(last->m_pPrev, last) <= length) {
            length -= dist(last->m_pPrev, last);
            DOCNODE* prev = last->m_pPrev;
            prev->m_pNext = nullptr;
            delete last;
            last = prev;
        }
        GeoPointAlong(last->m_x, last->m_y, last->m_pPrev->m_x, last->m_pPrev->m_y, length, last->m_x, last->m_y);
        aLast = last;
    }
    const DOCNODE* b1 = bHead->m_pNext;
    if (t > 0.0 && lb > 2.0 * t &&
        GeoTurnAngle(aLast->m_x, aLast->m_y, bHead->m_x, bHead->m_y, b1->m_x, b1->m_y) > std::numbers::pi / 2.0) {
        double length = t;
        DOCNODE* head = bHead;
        while (head->m_pNext->m_pNext != nullptr && dist(head, head->m_pNext) <= length) {
            length -= dist(head, head->m_pNext);
            DOCNODE* next = head->m_pNext;
            next->m_pPrev = nullptr;
            delete head;
            head = next;
        }
        GeoPointAlong(head->m_x, head->m_y, head->m_pNext->m_x, head->m_pNext->m_y, length, head->m_x, head->m_y);
        b->m_pNodes = head;
    }
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
        // The four phases in order, run again while a run joins anything.
        for (bool again = IsJoinable(a); again;) {
            again = false;
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
                            WholeLengthTrimJoint(a, b, t);
                        if (a->GetType() == MT_BEZIER)
                            DropFirst(b->m_pNodes);
                        a->m_pNodes = Concat(a->m_pNodes, b->m_pNodes);
                    } else {
                        if (cross != 0 && a->GetType() == MT_LINE)
                            WholeLengthTrimJoint(b, a, t);
                        if (a->GetType() == MT_BEZIER)
                            DropFirst(a->m_pNodes);
                        a->m_pNodes = Concat(b->m_pNodes, a->m_pNodes);
                    }
                    b->m_pNodes = nullptr;
                    a->RecalcBoundRect(ctx);
                    delete b;
                    again = true;
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

TEST(UniteCurves, ListsLongerOrShorterThanTheLastOneJoinAlike)
{
    // The working arrays start at the last list's length and grow while the
    // list is walked: what was filled before a growth must survive it.
    DOCCONTEXT ctx;
    unsigned seed = 20;
    for (int count : {150, 2600, 90, 7000, 2600}) {
        SCOPED_TRACE(count);
        CDocData* fast = SparseDrawing(++seed, count, 0.01, 60.0);
        CDocData* plain = SparseDrawing(seed, count, 0.01, 60.0);
        const int before = CountObjects(fast);
        CPathProc::UniteCurves(fast, 0.001, 0, &ctx);
        ReferenceUnite(plain, 0.001, 0, &ctx);
        EXPECT_LT(CountObjects(fast), before);
        ExpectSameDrawings(fast, plain);
        DeleteObjectList(fast);
        DeleteObjectList(plain);
    }
}

// Chains of a few thousand pieces, some of whose joints overshoot (crossings
// near the joint), stop short or turn back sharply, shuffled and in random
// directions: long joined curves meet every length limit of the trimming
// on both sides, and must come out as the whole-length trimming made them.
TEST(UniteCurves, LongChainsWithCrossingsJoinAsWithWholeLengthTrimming)
{
    DOCCONTEXT ctx;
    for (unsigned seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        const double tol = 0.1, join = tol * 10.0;
        auto make = [&] {
            std::mt19937 rng(seed);
            std::uniform_real_distribution<double> unit(0.0, 1.0);
            std::vector<CDocData*> objects;
            for (int chain = 0; chain < 3; ++chain) {
                double x = chain * 1e5, y = 0.0, heading = 0.0;
                for (int k = 0; k < 1000; ++k) {
                    const double turn = unit(rng) < 0.05 ? 2.2 + unit(rng) : (unit(rng) - 0.5) * 1.5;
                    heading += turn;
                    const double length = join * (0.4 + unit(rng) * (unit(rng) < 0.5 ? 3.0 : 40.0));
                    std::vector<XY> pts{{x + (unit(rng) - 0.5) * 0.6 * join, y + (unit(rng) - 0.5) * 0.6 * join}};
                    const int more = 1 + static_cast<int>(unit(rng) * 3.0);
                    for (int m = 1; m <= more; ++m) {
                        const double bend = heading + (unit(rng) - 0.5) * 0.4;
                        pts.emplace_back(x + std::cos(bend) * length * m / more, y + std::sin(bend) * length * m / more);
                    }
                    // Some joints overshoot the next start, others stop short.
                    const double over = unit(rng) < 0.15 ? (unit(rng) - 0.3) * 0.5 * join : 0.0;
                    x = pts.back().first;
                    y = pts.back().second;
                    pts.back() = {x + std::cos(heading) * over, y + std::sin(heading) * over};
                    if (unit(rng) < 0.5)
                        std::reverse(pts.begin(), pts.end());
                    objects.push_back(MakeLine(pts));
                }
            }
            std::shuffle(objects.begin(), objects.end(), rng);
            return LinkObjectRange(objects);
        };
        CDocData* fast = make();
        CDocData* plain = make();
        CPathProc::UniteCurves(fast, tol, 1, &ctx);
        ReferenceUnite(plain, tol, 1, &ctx);
        EXPECT_LT(CountObjects(fast), 1000); // curves of several pieces form
        ExpectSameDrawings(fast, plain);
        DeleteObjectList(fast);
        DeleteObjectList(plain);
    }
}

TEST(UniteCurves, ChainsJoinAcrossTheColumnsAndStripsOfTheEndSorting)
{
    // Enough ends for the sorting to be split into strips of columns, each
    // joint a small gap that straddles two columns of the sorting cells
    // (twice the join distance wide, from the leftmost end): a joint the
    // marking misses between two strips leaves its chain in two. The ends
    // are taken on a walk or, from the objects held one by one, in pieces.
    constexpr int kChains = 1400, kPieces = 100;
    constexpr double kCell = 0.02, kGap = 0.002;
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "objects held" : "list walked");
        std::mt19937 rng(3);
        std::vector<CDocData*> objects;
        for (int c = 0; c < kChains; ++c) {
            for (int i = 0; i < kPieces; ++i) {
                const double from = i == 0 ? 0.0 : i * kCell + kGap;
                objects.push_back(MakeLine({{from, c * 1.0}, {(i + 1) * kCell - kGap, c * 1.0}}));
            }
        }
        std::shuffle(objects.begin(), objects.end(), rng);
        CDocData* list = LinkObjectRange(objects);
        DOCCONTEXT ctx;
        if (held)
            CPathProc::UniteCurves(list, 0.001, 0, &ctx, objects);
        else
            CPathProc::UniteCurves(list, 0.001, 0, &ctx);
        ASSERT_EQ(CountObjects(list), kChains);
        for (const CDocData* o = list; o != nullptr; o = o->m_pNext) {
            const std::vector<XY> nodes = NodePositions(o->m_pNodes);
            ASSERT_EQ(nodes.size(), 2u * kPieces);
            EXPECT_EQ(nodes.front().first, 0.0);
            EXPECT_EQ(nodes.back().first, kPieces * kCell - kGap);
            EXPECT_EQ(nodes.front().second, nodes.back().second);
        }
        DeleteObjectList(list);
    }
}

TEST(UniteCurves, EndsBillionsOfKilometresApartStillJoinExactlyAndStayInTheGrid)
{
    // Ends from -X to X: the sorting grid needs more than 2^53 columns from
    // X = 1e15 on, and the span overflows a double at the largest X. The
    // piece starting exactly at the long line's end joins it; a lonely
    // piece stays. With enough lonely pieces spread over the span (131,072
    // ends and more) the sorting is split into strips too.
    const double kLargest = std::numeric_limits<double>::max();
    for (const double x : {1e14, 1e15, 1e16, 1e17, 1e50, 1e300, kLargest}) {
        for (const int spread : {0, x == 1e15 || x == 1e300 ? 66000 : 0}) {
            SCOPED_TRACE(x);
            SCOPED_TRACE(spread);
            std::vector<CDocData*> objects{MakeLine({{-x, 0}, {x, 10}}), MakeLine({{0, 5}, {1, 5}}),
                                           MakeLine({{x, 10}, {x, 20}})};
            for (int i = 0; i < spread; ++i) {
                const double at = x * (2.0 * i / spread - 1.0);
                objects.push_back(MakeLine({{at, 100}, {at, 101}}));
            }
            CDocData* list = LinkObjectRange(objects);
            CPathProc::UniteCurves(list, 0.001, 0, nullptr);
            ASSERT_EQ(CountObjects(list), 2 + spread);
            EXPECT_EQ(NodePositions(list->m_pNodes), (std::vector<XY>{{-x, 0}, {x, 10}, {x, 10}, {x, 20}}));
            EXPECT_EQ(NodePositions(list->m_pNext->m_pNodes), (std::vector<XY>{{0, 5}, {1, 5}}));
            DeleteObjectList(list);
        }
    }
}

} // namespace
} // namespace plat
