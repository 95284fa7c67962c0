// Ordering by direction. Hand cases check the start-side table, band order,
// joins, starts and the open-path turn; the random cases compare the sorted
// and indexed band sweep and the grid-based joins with a plain rendering of
// the rule (every remaining path looked at for every choice).
#include "ProcessingTestSupport.h"
#include "processing/FileTrans.h"
#include "processing/JobRecords.h"
#include "processing/PathProc.h"

#include "model/PolylineGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace plat {
namespace {

std::vector<std::vector<XY>> LayerPoints(const WORKLAYER* layer)
{
    std::vector<std::vector<XY>> out;
    ForEachInRing(layer->m_paths, &PATHREC::m_pNext, [&](PATHREC& p) {
        out.push_back(p.m_pSegs != nullptr ? SegmentPoints(&p) : std::vector<XY>{});
    });
    return out;
}

TEST(BandStartSide, EveryCornerAndWorkPositionGivesTheTableEntry)
{
    // Rows: corner 0..3, columns: work position 0..3; {d, t}. For codes 0
    // and 1, E is {1, 0} and F {0, 1}; for codes 2 and 3 the other way round.
    const int horizontal[4][4][2] = {{{1, 0}, {1, 1}, {0, 0}, {0, 1}},
                                     {{1, 1}, {1, 0}, {0, 1}, {0, 0}},
                                     {{0, 0}, {0, 1}, {1, 0}, {1, 1}},
                                     {{0, 1}, {0, 0}, {1, 1}, {1, 0}}};
    const int vertical[4][4][2] = {{{0, 1}, {1, 1}, {0, 0}, {1, 0}},
                                   {{1, 1}, {0, 1}, {1, 0}, {0, 0}},
                                   {{0, 0}, {1, 0}, {0, 1}, {1, 1}},
                                   {{1, 0}, {0, 0}, {1, 1}, {0, 1}}};
    for (int code = 0; code <= 3; ++code) {
        const auto& table = code <= 1 ? horizontal : vertical;
        for (int corner = 0; corner <= 4; ++corner) {
            for (int pos = 0; pos <= 3; ++pos) {
                int d = -1, t = -1;
                CPathProc::BandStartSide(code, corner, pos, d, t);
                SCOPED_TRACE(testing::Message() << "code " << code << " corner " << corner << " pos " << pos);
                EXPECT_EQ(d, corner == 4 ? 1 : table[corner][pos][0]);
                EXPECT_EQ(t, corner == 4 ? 1 : table[corner][pos][1]);
            }
        }
    }
}

TEST(SimpleOrdering, HatchLinesComeOutByBandWithEveryOtherLineReversed)
{
    // Lines at y = 2, 0, 3, 1, all drawn left to right. Code 1, height 0.5,
    // corner 1, position 0: the sweep starts at the low side (d 1), so the
    // bands hold y = 0, 1, 2, 3 in turn. Walking from (0, 0), lines 1 and 3
    // start far from the previous end and are reversed.
    WORKLAYER* layer = MakeLayer({MakePath({{0, 2}, {10, 2}}), MakePath({{0, 0}, {10, 0}}),
                                  MakePath({{0, 3}, {10, 3}}), MakePath({{0, 1}, {10, 1}})});
    layer->m_mode = 1;
    WORKLAYER* layers = LinkLayers({layer});
    CFileTrans::RecalcPathBoundRects(layers);
    CPathProc::OrderPathsSimple(layers, 1, 0.5, 1, 0);
    CPathProc::OrientOpenPaths(layers);
    EXPECT_EQ(LayerPoints(layer), (std::vector<std::vector<XY>>{
                                      {{0, 0}, {10, 0}}, {{10, 1}, {0, 1}}, {{0, 2}, {10, 2}}, {{10, 3}, {0, 3}}}));
    EXPECT_EQ(layer->m_paths->m_pPrev->m_pNext, layer->m_paths); // still a ring
    FreePathRecordGroups(layers);
}

TEST(SimpleOrdering, AlternatingCodeTakesConsecutiveBandsInOppositeAcrossOrder)
{
    // Band 1 (y 0 to 0.4): A at x 0..1, B at x 5..6; band 2 (y 1 to 1.4): C
    // at x 0..1, D at x 5..6; listed D, A, C, B. d 1, t 1: band 1 smallest
    // centre first (A, B); band 2 after the flip largest first (D, C).
    PATHREC* a = MakePath({{0, 0}, {1, 0.4}});
    PATHREC* b = MakePath({{5, 0}, {6, 0.4}});
    PATHREC* c = MakePath({{0, 1}, {1, 1.4}});
    PATHREC* d = MakePath({{5, 1}, {6, 1.4}});
    WORKLAYER* layer = MakeLayer({d, a, c, b});
    WORKLAYER* layers = LinkLayers({layer});
    CFileTrans::RecalcPathBoundRects(layers);
    CPathProc::SortIntoBands(layer->m_paths, 1, 0.5, 1, 0);
    std::vector<PATHREC*> order;
    ForEachPath(*layer, [&](PATHREC& p) { order.push_back(&p); });
    EXPECT_EQ(order, (std::vector<PATHREC*>{a, b, d, c}));
    // Code 0 (one way) keeps the across order: band 2 smallest first too.
    CPathProc::SortIntoBands(layer->m_paths, 0, 0.5, 1, 0);
    order.clear();
    ForEachPath(*layer, [&](PATHREC& p) { order.push_back(&p); });
    EXPECT_EQ(order, (std::vector<PATHREC*>{a, b, c, d}));
    FreePathRecordGroups(layers);
}

TEST(JoinTouchingPaths, LinesMeetingWithinATenthJoinAndCloseWhenTheirFarEndsMeet)
{
    // End to start within 0.1: appended as they are, the gap stays.
    WORKLAYER* layer = MakeLayer({MakePath({{0, 0}, {10, 0}}), MakePath({{10.05, 0.03}, {20, 5}})});
    WORKLAYER* layers = LinkLayers({layer});
    CFileTrans::RecalcPathBoundRects(layers);
    CPathProc::JoinTouchingPaths(layer->m_paths, 0, 0, 0.1);
    ASSERT_EQ(LayerPoints(layer), (std::vector<std::vector<XY>>{{{0, 0}, {10, 0}, {20, 5}}}));
    EXPECT_DOUBLE_EQ(layer->m_paths->m_pSegs->m_pNext->m_x0, 10.05);
    EXPECT_EQ(layer->m_paths->m_closed, 0u);
    EXPECT_DOUBLE_EQ(layer->m_paths->m_xmax, 20.0);
    FreePathRecordGroups(layers);

    // The two ends meet: the later line is reversed; then the far ends lie
    // within 0.1 and the path is marked closed, its extents grown.
    layer = MakeLayer({MakePath({{0, 0}, {10, 0}, {10, 10}}), MakePath({{0.04, 0.06}, {10.02, 10.05}})});
    layers = LinkLayers({layer});
    CFileTrans::RecalcPathBoundRects(layers);
    CPathProc::JoinTouchingPaths(layer->m_paths, 0, 0, 0.1);
    ASSERT_EQ(LayerPoints(layer), (std::vector<std::vector<XY>>{{{0, 0}, {10, 0}, {10, 10}, {0.04, 0.06}}}));
    EXPECT_EQ(layer->m_paths->m_closed, 1u);
    EXPECT_DOUBLE_EQ(layer->m_paths->m_xmax, 10.02);
    EXPECT_DOUBLE_EQ(layer->m_paths->m_ymax, 10.05);
    FreePathRecordGroups(layers);
}

TEST(JoinTouchingPaths, CandidateWithTheBestKeyWinsNotTheFirstInTheList)
{
    // Both later lines touch P's end (10, 0). Code 0, t 0 takes the largest
    // min x: B (10.05) before A (10). P then ends at (15, 0), which A does
    // not reach, so A stays apart.
    PATHREC* a = MakePath({{10, 0}, {10, -5}});
    PATHREC* b = MakePath({{10.05, 0}, {15, 0}});
    WORKLAYER* layer = MakeLayer({MakePath({{0, 0}, {10, 0}}), a, b});
    WORKLAYER* layers = LinkLayers({layer});
    CFileTrans::RecalcPathBoundRects(layers);
    CPathProc::JoinTouchingPaths(layer->m_paths, 0, 0, 0.1);
    EXPECT_EQ(LayerPoints(layer),
              (std::vector<std::vector<XY>>{{{0, 0}, {10, 0}, {15, 0}}, {{10, 0}, {10, -5}}}));
    FreePathRecordGroups(layers);
}

TEST(SimpleOrdering, ClosedPathsAreOrientedAndStartedByTheWorkPosition)
{
    // Code 0, f 1. Position 0: wanted orientation (f is 0) = 0, counter-
    // clockwise, so the square stays; it starts at the highest start, the
    // tie (10,10)/(0,10) going to the larger x.
    WORKLAYER* layer = MakeLayer({MakePath(Square(0, 0, 10, 10))});
    CPathProc::SetClosedPathStarts(layer, 0, 0, 1);
    EXPECT_EQ(SegmentPoints(layer->m_paths), (std::vector<XY>{{10, 10}, {0, 10}, {0, 0}, {10, 0}, {10, 10}}));
    // Position 1: wanted = f = 1, clockwise: reversed, the tie to the smaller x.
    CPathProc::SetClosedPathStarts(layer, 0, 1, 1);
    EXPECT_EQ(SegmentPoints(layer->m_paths), (std::vector<XY>{{0, 10}, {10, 10}, {10, 0}, {0, 0}, {0, 10}}));
    // Code 2, position 2: wanted 1 (clockwise, kept), the rightmost start,
    // the tie (10,10)/(10,0) to the larger y.
    CPathProc::SetClosedPathStarts(layer, 2, 2, 1);
    EXPECT_EQ(SegmentPoints(layer->m_paths), (std::vector<XY>{{10, 10}, {10, 0}, {0, 0}, {0, 10}, {10, 10}}));
    // Work positions above 3 leave the layer alone.
    CPathProc::SetClosedPathStarts(layer, 0, 4, 1);
    EXPECT_EQ(SegmentPoints(layer->m_paths), (std::vector<XY>{{10, 10}, {10, 0}, {0, 0}, {0, 10}, {10, 10}}));
    WORKLAYER* layers = LinkLayers({layer});
    FreePathRecordGroups(layers);
}

TEST(SimpleOrdering, LaterBandsStartAtTheLowestPointAndEveryOtherIsReversed)
{
    // Three squares with centres y = 5, 25, 45 (band height 10): the first
    // band is left alone, the second starts at its lowest point (tie to the
    // smaller x for position 0), the third does too and is reversed.
    WORKLAYER* layer = MakeLayer({MakePath({{10, 10}, {0, 10}, {0, 0}, {10, 0}, {10, 10}}),
                                  MakePath({{10, 30}, {0, 30}, {0, 20}, {10, 20}, {10, 30}}),
                                  MakePath({{10, 50}, {0, 50}, {0, 40}, {10, 40}, {10, 50}})});
    WORKLAYER* layers = LinkLayers({layer});
    CFileTrans::RecalcPathBoundRects(layers);
    CPathProc::NormaliseBandStarts(layer, 1, 10.0, 0);
    EXPECT_EQ(LayerPoints(layer), (std::vector<std::vector<XY>>{
                                      {{10, 10}, {0, 10}, {0, 0}, {10, 0}, {10, 10}},
                                      {{0, 20}, {10, 20}, {10, 30}, {0, 30}, {0, 20}},
                                      {{0, 40}, {0, 50}, {10, 50}, {10, 40}, {0, 40}}}));
    FreePathRecordGroups(layers);
}

TEST(SortIntoBands, ZeroOrNegativeHeightEndsWithOneBandPerLevel)
{
    // A band height of 0 would never move the line. It is taken as the limit
    // of thin bands: each distinct low side is a band (d 1 here), and code 1
    // alternates between them. Lines at y 0 and 1 with two pieces each.
    for (double h : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        PATHREC* a0 = MakePath({{0, 0}, {1, 0.2}});
        PATHREC* b0 = MakePath({{5, 0}, {6, 0.2}});
        PATHREC* a1 = MakePath({{0, 1}, {1, 1.2}});
        PATHREC* b1 = MakePath({{5, 1}, {6, 1.2}});
        WORKLAYER* layer = MakeLayer({b1, a1, b0, a0});
        WORKLAYER* layers = LinkLayers({layer});
        CFileTrans::RecalcPathBoundRects(layers);
        CPathProc::SortIntoBands(layer->m_paths, 1, h, 1, 0);
        std::vector<PATHREC*> order;
        ForEachPath(*layer, [&](PATHREC& p) { order.push_back(&p); });
        EXPECT_EQ(order, (std::vector<PATHREC*>{a0, b0, b1, a1})) << h;
        FreePathRecordGroups(layers);
    }
}

TEST(SortIntoBands, PathsWithExtentsThatAreNotNumbersFollowTheBands)
{
    PATHREC* a = MakePath({{0, 3}, {1, 3}});
    PATHREC* broken = MakePath({{0, 0}, {1, 0}});
    PATHREC* b = MakePath({{0, 1}, {1, 1}});
    WORKLAYER* layer = MakeLayer({a, broken, b});
    WORKLAYER* layers = LinkLayers({layer});
    CFileTrans::RecalcPathBoundRects(layers);
    broken->m_ymin = std::numeric_limits<double>::quiet_NaN();
    CPathProc::SortIntoBands(layer->m_paths, 0, 0.5, 1, 0);
    std::vector<PATHREC*> order;
    ForEachPath(*layer, [&](PATHREC& p) { order.push_back(&p); });
    EXPECT_EQ(order, (std::vector<PATHREC*>{b, a, broken}));
    FreePathRecordGroups(layers);
}

// ---- comparison with the rule as written -------------------------------------

struct Unit {
    PATHREC* first;
    PATHREC* last;
};

std::vector<Unit> Units(PATHREC* head)
{
    std::vector<Unit> units;
    head->m_pPrev->m_pNext = nullptr;
    head->m_pPrev = nullptr;
    for (PATHREC* p = head; p != nullptr;) {
        Unit u{p, p};
        if (p->m_kind == PATH_KIND_GROUP && p->m_pArray != nullptr) {
            int depth = 1;
            while (depth > 0 && u.last->m_pNext != nullptr) {
                u.last = u.last->m_pNext;
                depth += u.last->m_kind != PATH_KIND_GROUP ? 0 : (u.last->m_pArray != nullptr ? 1 : -1);
            }
        }
        p = u.last->m_pNext;
        u.last->m_pNext = nullptr;
        if (p != nullptr)
            p->m_pPrev = nullptr;
        units.push_back(u);
    }
    return units;
}

PATHREC* Link(const std::vector<Unit>& units)
{
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i].last->m_pNext = units[(i + 1) % units.size()].first;
        units[(i + 1) % units.size()].first->m_pPrev = units[i].last;
    }
    return units.front().first;
}

XY Start(const PATHREC* p) { return {p->m_pSegs->m_x0, p->m_pSegs->m_y0}; }
XY End(const PATHREC* p)
{
    const SEGNODE* s = p->m_pSegs->m_pPrev;
    return {s->m_x1, s->m_y1};
}
bool Meet(const XY& a, const XY& b, double tol)
{
    return std::isfinite(a.first) && std::isfinite(a.second) && std::isfinite(b.first) &&
           std::isfinite(b.second) && std::fabs(a.first - b.first) <= tol && std::fabs(a.second - b.second) <= tol;
}
bool Joinable(const Unit& u)
{
    return u.first == u.last && u.first->m_kind == PATH_KIND_PATH && u.first->m_pSegs != nullptr &&
           u.first->m_closed == 0;
}

void ReferenceJoin(std::vector<Unit>& band, int code, int t, double tol)
{
    for (std::size_t i = 0; i < band.size(); ++i) {
        if (!Joinable(band[i]))
            continue;
        PATHREC* p = band[i].first;
        for (;;) {
            std::size_t best = band.size();
            double bestKey = 0.0;
            for (std::size_t j = i + 1; j < band.size(); ++j) {
                if (!Joinable(band[j]))
                    continue;
                const PATHREC* c = band[j].first;
                if (!Meet(End(p), Start(c), tol) && !Meet(End(p), End(c), tol) && !Meet(Start(p), Start(c), tol) &&
                    !Meet(Start(p), End(c), tol))
                    continue;
                double key = code <= 1 ? (t == 0 ? c->m_xmin : -c->m_xmax) : (t == 0 ? c->m_ymin : -c->m_ymax);
                if (std::isnan(key))
                    key = -std::numeric_limits<double>::infinity();
                if (best == band.size() || key > bestKey) {
                    best = j;
                    bestKey = key;
                }
            }
            if (best == band.size())
                break;
            PATHREC* c = band[best].first;
            if (Meet(End(p), Start(c), tol)) {
            } else if (Meet(End(p), End(c), tol)) {
                ReverseRing(c);
            } else if (Meet(Start(p), Start(c), tol)) {
                ReverseRing(p);
            } else {
                ReverseRing(p);
                ReverseRing(c);
            }
            // Splice c's ring in behind p's last segment.
            SEGNODE* pf = p->m_pSegs;
            SEGNODE* pl = pf->m_pPrev;
            SEGNODE* cf = c->m_pSegs;
            SEGNODE* cl = cf->m_pPrev;
            pl->m_pNext = cf;
            cf->m_pPrev = pl;
            cl->m_pNext = pf;
            pf->m_pPrev = cl;
            c->m_pSegs = nullptr;
            p->m_xmin = std::min(p->m_xmin, c->m_xmin);
            p->m_xmax = std::max(p->m_xmax, c->m_xmax);
            p->m_ymin = std::min(p->m_ymin, c->m_ymin);
            p->m_ymax = std::max(p->m_ymax, c->m_ymax);
            p->m_zmin = std::min(p->m_zmin, c->m_zmin);
            p->m_zmax = std::max(p->m_zmax, c->m_zmax);
            delete c;
            band.erase(band.begin() + static_cast<std::ptrdiff_t>(best));
        }
        if (Meet(Start(p), End(p), tol))
            p->m_closed = 1;
    }
}

void ReferenceSortIntoBands(PATHREC*& paths, int code, double height, int corner, int pos)
{
    int d = 0, t = 0;
    CPathProc::BandStartSide(code, corner, pos, d, t);
    const double h = height > 0.0 ? height : 0.0;
    std::vector<Unit> rest, aside, result, band;
    for (const Unit& u : Units(paths)) {
        const PATHREC* p = u.first;
        if (std::isfinite(p->m_xmin) && std::isfinite(p->m_xmax) && std::isfinite(p->m_ymin) &&
            std::isfinite(p->m_ymax))
            rest.push_back(u);
        else
            aside.push_back(u);
    }
    const bool y = code <= 1;
    auto lo = [&](const Unit& u) { return y ? u.first->m_ymin : u.first->m_xmin; };
    auto hi = [&](const Unit& u) { return y ? u.first->m_ymax : u.first->m_xmax; };
    auto across = [&](const Unit& u) { return y ? u.first->m_xmin + u.first->m_xmax : u.first->m_ymin + u.first->m_ymax; };
    double low = 1e300, high = -1e300;
    for (const Unit& u : rest) {
        low = std::min(low, lo(u));
        high = std::max(high, hi(u));
    }
    double line = d == 0 ? high - h : low + h;
    while (!rest.empty()) {
        for (;;) {
            std::size_t best = rest.size();
            for (std::size_t i = 0; i < rest.size(); ++i) {
                if (!(d == 0 ? lo(rest[i]) >= line : hi(rest[i]) <= line))
                    continue;
                if (best == rest.size() || (t == 0 ? across(rest[i]) > across(rest[best])
                                                   : across(rest[i]) < across(rest[best])))
                    best = i;
            }
            if (best == rest.size())
                break;
            band.push_back(rest[best]);
            rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(best));
        }
        const bool took = !band.empty();
        if (took) {
            ReferenceJoin(band, code, t, 0.1);
            result.insert(result.end(), band.begin(), band.end());
            band.clear();
        }
        if (rest.empty())
            break;
        double remLo = 1e300, remHi = -1e300;
        for (const Unit& u : rest) {
            remLo = std::min(remLo, lo(u));
            remHi = std::max(remHi, hi(u));
        }
        if (d == 0)
            line = std::min(line - h, remHi - h);
        else
            line = std::max(line + h, remLo + h);
        if (!took && h == 0.0) {
            // The limit of thin bands: onto the next path.
            double next = d == 0 ? -1e300 : 1e300;
            for (const Unit& u : rest)
                next = d == 0 ? std::max(next, lo(u)) : std::min(next, hi(u));
            line = next;
        }
        if (took && (code == 1 || code == 3))
            t ^= 1;
    }
    result.insert(result.end(), aside.begin(), aside.end());
    paths = Link(result);
}

// Open pieces with ends on a coarse lattice, jittered by up to 0.12 so that
// many lie within the join tolerance of each other; closed squares; a
// bracket now and then; sizes that span several band heights.
WORKLAYER* RandomLayer(unsigned seed, int count)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> lattice(0, 8);
    std::uniform_int_distribution<int> pick(0, 99);
    std::uniform_real_distribution<double> jitter(-0.12, 0.12);
    auto point = [&]() -> XY {
        const double jx = pick(rng) < 40 ? 0.0 : jitter(rng);
        const double jy = pick(rng) < 40 ? 0.0 : jitter(rng);
        return {lattice(rng) * 0.5 + jx, lattice(rng) * 0.5 + jy};
    };
    auto* layer = new WORKLAYER{};
    layer->m_mode = 1;
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    for (int i = 0; i < count; ++i) {
        const int kind = pick(rng);
        if (kind < 70) {
            std::vector<XY> pts{point()};
            const int more = 1 + pick(rng) % 3;
            for (int k = 0; k < more; ++k)
                pts.push_back(point());
            AppendPathRecord(&head, &tail, MakePath(pts));
        } else if (kind < 92) {
            const XY a = point();
            const double s = 0.2 + (pick(rng) % 5) * 0.3;
            AppendPathRecord(&head, &tail, MakePath(Square(a.first, a.second, a.first + s, a.second + s)));
        } else {
            AppendPathRecord(&head, &tail, MakeOpeningBracket(1, 1, 0, 0));
            AppendPathRecord(&head, &tail, MakePath({point(), point()}));
            AppendPathRecord(&head, &tail, MakeClosingBracket());
        }
    }
    head->m_pPrev = tail;
    tail->m_pNext = head;
    layer->m_paths = head;
    WORKLAYER* layers = LinkLayers({layer});
    CFileTrans::RecalcPathBoundRects(layers);
    return layers;
}

void ExpectSameLayers(const WORKLAYER* a, const WORKLAYER* b)
{
    std::vector<const PATHREC*> pa, pb;
    ForEachInRing(a->m_paths, &PATHREC::m_pNext, [&](PATHREC& p) { pa.push_back(&p); });
    ForEachInRing(b->m_paths, &PATHREC::m_pNext, [&](PATHREC& p) { pb.push_back(&p); });
    ASSERT_EQ(pa.size(), pb.size());
    for (std::size_t i = 0; i < pa.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pa[i]->m_kind, pb[i]->m_kind);
        EXPECT_EQ(pa[i]->m_closed, pb[i]->m_closed);
        EXPECT_EQ(pa[i]->m_xmin, pb[i]->m_xmin);
        EXPECT_EQ(pa[i]->m_ymax, pb[i]->m_ymax);
        if (pa[i]->m_pSegs != nullptr && pb[i]->m_pSegs != nullptr)
            EXPECT_EQ(SegmentPoints(pa[i]), SegmentPoints(pb[i]));
        else
            EXPECT_EQ(pa[i]->m_pSegs, pb[i]->m_pSegs);
    }
}

TEST(SortIntoBands, SortedSweepAndGridJoinsGiveExactlyThePlainRule)
{
    int joinedRuns = 0;
    for (unsigned seed = 1; seed <= 10; ++seed) {
        for (int code = 0; code <= 3; ++code) {
            for (double h : {0.5, 1.3, 0.0}) {
                const int corner = static_cast<int>(seed % 4);
                const int pos = static_cast<int>((seed / 4 + static_cast<unsigned>(code)) % 4);
                SCOPED_TRACE(testing::Message() << "seed " << seed << " code " << code << " h " << h);
                WORKLAYER* fast = RandomLayer(seed, 150);
                WORKLAYER* plain = RandomLayer(seed, 150);
                int before = 0;
                ForEachPath(*fast, [&](PATHREC&) { ++before; });
                CPathProc::SortIntoBands(fast->m_paths, code, h, corner, pos);
                ReferenceSortIntoBands(plain->m_paths, code, h, corner, pos);
                ExpectSameLayers(fast, plain);
                int after = 0;
                ForEachPath(*fast, [&](PATHREC&) { ++after; });
                joinedRuns += after < before ? 1 : 0;
                FreePathRecordGroups(fast);
                FreePathRecordGroups(plain);
            }
        }
    }
    EXPECT_GT(joinedRuns, 60); // the drawings do join
}

} // namespace
} // namespace plat
