// Optimised ordering. Hand cases for nesting, starts, origin corner, layers,
// cells, the slanted entry, lead lines and damaged paths; the random cases
// compare the k-d tree and grid version with the rule taken literally
// (nearest child by a scan of the whole list, best entry by a walk of each
// subtree, containment tested against every remaining child).
#include "ProcessingTestSupport.h"
#include "processing/FileTrans.h"
#include "processing/JobRecords.h"
#include "processing/PathProc.h"

#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/PolylineGeometry.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>

namespace plat {
namespace {

std::vector<XY> SquareFromFarCorner(double x0, double y0, double x1, double y1) // counter-clockwise from (x1, y1)
{
    return {{x1, y1}, {x0, y1}, {x0, y0}, {x1, y0}, {x1, y1}};
}

// Settings and context of one ordering; a machine with the given corner, or
// none for a corner below 0.
struct OrderingSetup {
    SoftwareSettings settings;
    MachineNode machine;
    CDocListNode document;
    DOCCONTEXT ctx;

    explicit OrderingSetup(int corner)
    {
        settings.SetOptionDefaults();
        settings.path_in_out = 1;
        settings.path_by_layer = 0;
        if (corner >= 0) {
            machine.m_orign = static_cast<std::uint8_t>(corner);
            settings.m_pMachines = &machine;
        }
        ctx.m_pSettings = &settings;
        ctx.m_pCurrent = &document;
    }
    ~OrderingSetup() { settings.m_pMachines = nullptr; }
};

WORKHEAD* Job(std::initializer_list<WORKLAYER*> layers)
{
    auto* header = new WORKHEAD;
    header->m_layers = LinkLayers(layers);
    CFileTrans::RecalcPathBoundRects(header->m_layers);
    return header;
}

void FreeJob(WORKHEAD* header)
{
    FreePathRecordGroups(header->m_layers);
    delete header;
}

WORKLAYER* CutLayer(std::uint32_t id, std::initializer_list<PATHREC*> paths)
{
    WORKLAYER* layer = MakeLayer(paths);
    layer->m_mode = 1;
    layer->m_layerId = id;
    return layer;
}

std::vector<std::vector<XY>> AllPoints(const WORKHEAD* header)
{
    std::vector<std::vector<XY>> out;
    ForEachLayer(header->m_layers, false, [&](WORKLAYER& l) {
        ForEachPath(l, [&](PATHREC& p) { out.push_back(p.m_pSegs != nullptr ? SegmentPoints(&p) : std::vector<XY>{}); });
    });
    return out;
}

TEST(OptimisedOrder, InnerSquareListedLastComesFirstAndBothStartNearTheHead)
{
    // Corner 1, position 0: start (0, 0). The outer square takes the inner
    // one as its child; with "path in out" the inner square comes first,
    // entered at its point nearest (0, 0), (40, 40); the outer square then
    // at its point nearest (40, 40), (0, 0).
    OrderingSetup s(1);
    WORKHEAD* job = Job({CutLayer(3, {MakePath(SquareFromFarCorner(0, 0, 100, 100)), MakePath(SquareFromFarCorner(40, 40, 60, 60))})});
    CPathProc::OrderPathsOptimised(job, &s.ctx);
    EXPECT_EQ(AllPoints(job), (std::vector<std::vector<XY>>{{{40, 40}, {60, 40}, {60, 60}, {40, 60}, {40, 40}},
                                                            {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}}}));
    EXPECT_EQ(job->m_layers->m_layerId, 3u);
    EXPECT_EQ(job->m_layers->m_paths->m_closed, 1u);
    FreeJob(job);

    // Three nested squares, outermost listed first: inner, middle, outer.
    job = Job({CutLayer(3, {MakePath(SquareFromFarCorner(0, 0, 100, 100)), MakePath(SquareFromFarCorner(20, 20, 80, 80)),
                            MakePath(SquareFromFarCorner(40, 40, 60, 60))})});
    CPathProc::OrderPathsOptimised(job, &s.ctx);
    const auto pts = AllPoints(job);
    ASSERT_EQ(pts.size(), 3u);
    EXPECT_EQ(pts[0].front(), (XY{40, 40}));
    EXPECT_EQ(pts[1].front(), (XY{20, 20}));
    EXPECT_EQ(pts[2].front(), (XY{0, 0}));
    FreeJob(job);
}

// The ordering lays every path anew and measures it as it lays it: a path
// closed within the tolerance ends on its first point, so its extents no
// longer reach the last point it had. With a group's brackets (whose
// extents are their members') it says the layers are to be measured again.
TEST(OptimisedOrder, ThePathsLaidAreMeasuredAsARecalcMeasuresThem)
{
    OrderingSetup s(1);
    s.settings.path_in_out = 1;
    PATHREC* square = MakePath({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {-0.0005, 0.0002}});
    PATHREC* line = MakePath({{5, 5}, {7, 8}});
    for (PATHREC* p : {square, line}) {
        p->m_xmin = p->m_ymin = 999;
        p->m_xmax = p->m_ymax = -999;
        p->m_closed = 7;
    }
    WORKHEAD* job = Job({CutLayer(1, {square, line})});
    EXPECT_TRUE(CPathProc::OrderPathsOptimised(job, &s.ctx, true, false));
    std::vector<std::vector<double>> measured;
    ForEachPath(*job->m_layers, [&](PATHREC& p) {
        measured.push_back({p.m_xmin, p.m_xmax, p.m_ymin, p.m_ymax, double(p.m_closed)});
    });
    // The line lies within the square: with "path in out" it comes first.
    EXPECT_EQ(measured, (std::vector<std::vector<double>>{{5, 7, 5, 8, 0}, {0, 10, 0, 10, 1}}));
    CFileTrans::RecalcPathBoundRects(job->m_layers);
    std::vector<std::vector<double>> recalculated;
    ForEachPath(*job->m_layers, [&](PATHREC& p) {
        recalculated.push_back({p.m_xmin, p.m_xmax, p.m_ymin, p.m_ymax, double(p.m_closed)});
    });
    EXPECT_EQ(recalculated, measured);
    FreeJob(job);

    job = Job({CutLayer(1, {MakeOpeningBracket(1, 1, 0, 0), MakePath({{0, 0}, {1, 1}}), MakeClosingBracket()})});
    EXPECT_FALSE(CPathProc::OrderPathsOptimised(job, &s.ctx, true, false));
    FreeJob(job);
}

TEST(OptimisedOrder, WithoutAMachineTheOriginCornerIsOne)
{
    // Work position 1: corner 0 maps it to 0 (start lower left), corner 1
    // to 3 (start lower right), which is what no machine must give.
    for (int corner : {0, -1}) {
        OrderingSetup s(corner);
        s.settings.path_work_pos = 1;
        PATHREC* left = MakePath(SquareFromFarCorner(0, 0, 10, 10));
        PATHREC* right = MakePath(SquareFromFarCorner(50, 0, 60, 10));
        WORKHEAD* job = Job({CutLayer(1, {left, right})});
        CPathProc::OrderPathsOptimised(job, &s.ctx);
        EXPECT_EQ(job->m_layers->m_paths, corner == 0 ? left : right) << corner;
        FreeJob(job);
    }
    EXPECT_EQ(CPathProc::RemapWorkPosition(0, 0), 3);
    EXPECT_EQ(CPathProc::RemapWorkPosition(2, 3), 0);
    EXPECT_EQ(CPathProc::RemapWorkPosition(7, 1), 2);
    EXPECT_EQ(CPathProc::RemapWorkPosition(1, 6), 6);
}

TEST(OptimisedOrder, LayersOrderedTogetherSplitWhereTheLayerChanges)
{
    // Layer 1 has squares at x 0 and 100, layer 2 one at x 50; a scan layer
    // sits between them. Ordered together the run goes 0, 50, 100: three
    // work layers (ids 1, 2, 1) where layer 1 was; the scan layer stays.
    // Ordered by layer, each keeps its place with its own paths.
    for (int byLayer : {0, 1}) {
        OrderingSetup s(1);
        s.settings.path_by_layer = static_cast<std::uint8_t>(byLayer);
        WORKLAYER* one = CutLayer(1, {MakePath(SquareFromFarCorner(100, 0, 110, 10)), MakePath(SquareFromFarCorner(0, 0, 10, 10))});
        one->m_speed = 7.0f;
        WORKLAYER* scan = MakeLayer({MakePath({{0, 50}, {10, 50}})});
        scan->m_mode = 2;
        scan->m_layerId = 9;
        WORKLAYER* two = CutLayer(2, {MakePath(SquareFromFarCorner(50, 0, 60, 10))});
        WORKHEAD* job = Job({one, scan, two});
        CPathProc::OrderPathsOptimised(job, &s.ctx);
        std::vector<std::pair<std::uint32_t, double>> got; // layer id, first x of each path
        std::vector<float> speeds;
        ForEachLayer(job->m_layers, false, [&](WORKLAYER& l) {
            speeds.push_back(l.m_speed);
            ForEachPath(l, [&](PATHREC& p) { got.push_back({l.m_layerId, p.m_pSegs->m_x0}); });
        });
        if (byLayer == 0) {
            EXPECT_EQ(got, (std::vector<std::pair<std::uint32_t, double>>{{1, 0}, {2, 50}, {1, 100}, {9, 0}}));
            EXPECT_EQ(speeds, (std::vector<float>{7.0f, 0.0f, 7.0f, 0.0f}));
        } else {
            EXPECT_EQ(got, (std::vector<std::pair<std::uint32_t, double>>{{1, 0}, {1, 100}, {9, 0}, {2, 50}}));
        }
        EXPECT_EQ(job->m_layers->m_prev->m_next, job->m_layers); // the layer ring is kept
        FreeJob(job);
    }
}

TEST(OptimisedOrder, CellModeWorksTheCellsInASnakeNotNearestFirst)
{
    // Bounds (10,10)-(100,70), cells 50 x 50 from the lower left. Row 0
    // holds S1 (column 0) and S2 (column 1), row 1 S3 (column 0) and S4
    // (column 1): the snake gives S1, S2, S4, S3. Nearest first would go
    // from S1 to S3 (50 away) before S2 (80 away).
    OrderingSetup s(1);
    s.settings.path_mode = 1;
    s.settings.path_width = 50.0;
    s.settings.path_hight = 50.0;
    PATHREC* s1 = MakePath(SquareFromFarCorner(10, 10, 20, 20));
    PATHREC* s2 = MakePath(SquareFromFarCorner(90, 10, 100, 20));
    PATHREC* s3 = MakePath(SquareFromFarCorner(10, 60, 20, 70));
    PATHREC* s4 = MakePath(SquareFromFarCorner(90, 60, 100, 70));
    WORKHEAD* job = Job({CutLayer(1, {s4, s3, s2, s1})});
    CPathProc::OrderPathsOptimised(job, &s.ctx);
    std::vector<PATHREC*> order;
    ForEachPath(*job->m_layers, [&](PATHREC& p) { order.push_back(&p); });
    EXPECT_EQ(order, (std::vector<PATHREC*>{s1, s2, s4, s3}));
    FreeJob(job);

    s.settings.path_mode = 0;
    job = Job({CutLayer(1, {MakePath(SquareFromFarCorner(90, 60, 100, 70)), MakePath(SquareFromFarCorner(10, 60, 20, 70)),
                            MakePath(SquareFromFarCorner(90, 10, 100, 20)), MakePath(SquareFromFarCorner(10, 10, 20, 20))})});
    CPathProc::OrderPathsOptimised(job, &s.ctx);
    std::vector<XY> firsts;
    ForEachPath(*job->m_layers, [&](PATHREC& p) { firsts.push_back(SegmentPoints(&p).front()); });
    EXPECT_EQ(firsts, (std::vector<XY>{{10, 10}, {10, 60}, {90, 60}, {90, 20}}));
    FreeJob(job);
}

TEST(OptimisedOrder, SlantedEntryPrefersTheNodeWhoseSegmentLeavesAtAnAngle)
{
    // From (0, 0) the nearest point is (10, 0), whose segment runs along the
    // x axis. With "path meta pos" 1 the walk goes on: (20, 0) leaves at 45
    // degrees with 135 degrees between the head and (30, 10); (30, 10) has
    // only 63 degrees, so the walk stops and the path begins at (20, 0).
    for (int meta : {0, 1}) {
        OrderingSetup s(1);
        s.settings.path_meta_pos = static_cast<std::uint8_t>(meta);
        WORKHEAD* job = Job({CutLayer(1, {MakePath({{10, 0}, {20, 0}, {30, 10}, {20, 20}, {10, 10}, {10, 0}}),
                                          MakePath({{0, 0}, {0, -0.5}})})});
        // The small line puts the start at (0, -0.5): its bounds' lower left.
        CPathProc::OrderPathsOptimised(job, &s.ctx);
        const auto pts = AllPoints(job);
        ASSERT_EQ(pts.size(), 2u);
        EXPECT_EQ(pts[0], (std::vector<XY>{{0, -0.5}, {0, 0}})) << meta; // reversed: entered at its end
        EXPECT_EQ(pts[1].front(), (meta == 1 ? XY{20, 0} : XY{10, 0}));
        FreeJob(job);
    }
}

TEST(OptimisedOrder, LeadLinesInTheDocumentKeepEveryPathsDirection)
{
    // An open line drawn away from the start is reversed, unless an object
    // of the document carries a lead line: then paths keep their direction.
    for (bool leads : {false, true}) {
        OrderingSetup s(1);
        CDocData* line = MakeLine({{0, 0}, {1, 0}});
        if (leads) {
            line->m_pLeadInOut = new LEADINOUT;
            line->m_pLeadInOut->m_dOutLength = 2.0;
        }
        s.document.m_pFirst = line;
        WORKHEAD* job = Job({CutLayer(1, {MakePath({{20, 10}, {0, 0}}), MakePath({{30, 30}, {25, 25}})})});
        CPathProc::OrderPathsOptimised(job, &s.ctx);
        const auto pts = AllPoints(job);
        ASSERT_EQ(pts.size(), 2u);
        if (leads)
            EXPECT_EQ(pts[0], (std::vector<XY>{{20, 10}, {0, 0}}));
        else
            EXPECT_EQ(pts[0], (std::vector<XY>{{0, 0}, {20, 10}}));
        FreeJob(job);
    }
}

TEST(OptimisedOrder, PathsWithPointsThatAreNotNumbersFollowUntouched)
{
    OrderingSetup s(1);
    PATHREC* far = MakePath(SquareFromFarCorner(50, 0, 60, 10));
    PATHREC* broken = MakePath({{1, 1}, {2, 2}});
    PATHREC* near = MakePath(SquareFromFarCorner(0, 0, 10, 10));
    broken->m_pSegs->m_x1 = std::numeric_limits<double>::quiet_NaN();
    WORKHEAD* job = Job({CutLayer(1, {far, broken, near})});
    CPathProc::OrderPathsOptimised(job, &s.ctx);
    std::vector<PATHREC*> order;
    ForEachPath(*job->m_layers, [&](PATHREC& p) { order.push_back(&p); });
    EXPECT_EQ(order, (std::vector<PATHREC*>{near, far, broken}));
    EXPECT_TRUE(std::isnan(broken->m_pSegs->m_x1));
    FreeJob(job);
}

// ---- comparison with the rule taken literally ---------------------------------

struct RBox {
    double xmin = 1e300, xmax = -1e300, ymin = 1e300, ymax = -1e300;
    void Add(const RBox& b)
    {
        xmin = std::min(xmin, b.xmin);
        xmax = std::max(xmax, b.xmax);
        ymin = std::min(ymin, b.ymin);
        ymax = std::max(ymax, b.ymax);
    }
    bool Within(const RBox& o) const { return xmin >= o.xmin && xmax <= o.xmax && ymin >= o.ymin && ymax <= o.ymax; }
};

class ReferenceOrdering {
public:
    ReferenceOrdering(int metaPos, bool inOut, int position) : m_meta(metaPos), m_inOut(inOut), m_pos(position) {}

    // One run over the given layers; returns the paths in order with layers.
    std::vector<std::pair<PATHREC*, WORKLAYER*>> Run(const std::vector<WORKLAYER*>& layers)
    {
        m_groups.push_back({});
        for (WORKLAYER* l : layers) {
            PATHREC* head = l->m_paths;
            head->m_pPrev->m_pNext = nullptr;
            l->m_paths = nullptr;
            for (PATHREC* p = head; p != nullptr;) {
                const int unit = Parse(p, l);
                m_groups[0].children.push_back(unit);
            }
        }
        for (int c : m_groups[0].children)
            m_groups[0].box.Add(m_groups[c].box);
        const RBox& b = m_groups[0].box;
        const double mx = (b.xmin + b.xmax) / 2, my = (b.ymin + b.ymax) / 2;
        const XY starts[9] = {{b.xmin, b.ymin}, {b.xmin, b.ymax}, {b.xmax, b.ymax}, {b.xmax, b.ymin}, {b.xmin, my},
                              {mx, b.ymax},     {b.xmax, my},     {mx, b.ymin},     {mx, my}};
        m_at = starts[m_pos];
        Partition(0);
        Order(0);
        std::vector<std::pair<PATHREC*, WORKLAYER*>> out;
        Flatten(0, out);
        return out;
    }

private:
    struct G {
        PATHREC* path = nullptr;
        PATHREC* closing = nullptr;
        WORKLAYER* layer = nullptr;
        bool bracket = false;
        std::vector<XY> dots;
        bool closed = false;
        RBox box;
        std::vector<int> children; // members, then adopted children; the order after partition
        std::vector<int> ordered;
        std::size_t entry = 0;
        bool reversed = false;
    };

    // The group of the unit starting at p; p moves past it.
    int Parse(PATHREC*& p, WORKLAYER* layer)
    {
        const int g = static_cast<int>(m_groups.size());
        m_groups.push_back({});
        m_groups[g].path = p;
        m_groups[g].layer = layer;
        PATHREC* rec = p;
        p = p->m_pNext;
        if (rec->m_kind == PATH_KIND_GROUP) {
            m_groups[g].bracket = true;
            while (p->m_kind != PATH_KIND_GROUP || p->m_pArray != nullptr) {
                const int m = Parse(p, layer);
                m_groups[g].children.push_back(m);
                m_groups[g].box.Add(m_groups[m].box);
            }
            m_groups[g].closing = p;
            p = p->m_pNext;
            return g;
        }
        G& gr = m_groups[g];
        gr.dots = SegmentPoints(rec);
        for (const XY& d : gr.dots)
            gr.box.Add({d.first, d.first, d.second, d.second});
        gr.closed = std::fabs(gr.dots.front().first - gr.dots.back().first) <= 0.001 &&
                    std::fabs(gr.dots.front().second - gr.dots.back().second) <= 0.001;
        return g;
    }

    bool Own(int g) const { return g > 0 && !m_groups[g].bracket; }
    static double D2(const XY& a, const XY& b)
    {
        return (a.first - b.first) * (a.first - b.first) + (a.second - b.second) * (a.second - b.second);
    }

    void Partition(int g)
    {
        while (m_groups[g].children.size() == 1)
            g = m_groups[g].children[0];
        std::vector<int> rest = m_groups[g].children, result;
        const XY corner{m_groups[g].box.xmin, m_groups[g].box.ymin};
        auto dist = [&](int c) { return D2({m_groups[c].box.xmin, m_groups[c].box.ymin}, corner); };
        while (!rest.empty()) {
            std::size_t best = 0;
            for (std::size_t k = 1; k < rest.size(); ++k) {
                if (dist(rest[k]) < dist(rest[best]))
                    best = k;
            }
            const int k = rest[best];
            rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(best));
            result.push_back(k);
            if (Own(k) && m_groups[k].closed && m_groups[k].children.empty()) {
                std::vector<int> keep;
                for (int c : rest)
                    (m_groups[c].box.Within(m_groups[k].box) ? m_groups[k].children : keep).push_back(c);
                rest = keep;
            }
        }
        m_groups[g].children = result;
        for (int c : result)
            Partition(c);
    }

    std::vector<XY> EntryCandidates(const G& gr) const
    {
        if (m_meta == 2)
            return {gr.dots.front()};
        if (gr.closed)
            return std::vector<XY>(gr.dots.begin(), gr.dots.end() - 1);
        return {gr.dots.front(), gr.dots.back()};
    }

    double EntryDistance(int g) const
    {
        double best = std::numeric_limits<double>::infinity();
        for (const XY& d : EntryCandidates(m_groups[g]))
            best = std::min(best, D2(d, m_at));
        return best;
    }

    // The best entry among the paths of a subtree that may be taken now.
    double BestEntry(int g) const
    {
        double best = std::numeric_limits<double>::infinity();
        if (Own(g) && (!m_inOut || m_groups[g].children.empty()))
            best = EntryDistance(g);
        for (int c : m_groups[g].children)
            best = std::min(best, BestEntry(c));
        return best;
    }

    double BoxDistance(int g) const
    {
        const RBox& b = m_groups[g].box;
        const double dx = m_at.first < b.xmin ? b.xmin - m_at.first : (m_at.first > b.xmax ? m_at.first - b.xmax : 0.0);
        const double dy =
            m_at.second < b.ymin ? b.ymin - m_at.second : (m_at.second > b.ymax ? m_at.second - b.ymax : 0.0);
        return dx * dx + dy * dy;
    }

    void Order(int g)
    {
        std::vector<int> rest = m_groups[g].children;
        bool ownPending = Own(g);
        while (!rest.empty() || ownPending) {
            int bestChild = -1;
            double best = std::numeric_limits<double>::infinity();
            for (std::size_t k = 0; k < rest.size(); ++k) {
                if (bestChild >= 0 && BoxDistance(rest[k]) > best)
                    continue; // farther away than the best so far
                const double d = BestEntry(rest[k]);
                if (bestChild < 0 || d < best) {
                    best = d;
                    bestChild = static_cast<int>(k);
                }
            }
            if (ownPending && (!m_inOut || rest.empty()) && (bestChild < 0 || EntryDistance(g) < best)) {
                Take(g);
                ownPending = false;
                continue;
            }
            const int c = rest[static_cast<std::size_t>(bestChild)];
            rest.erase(rest.begin() + bestChild);
            m_groups[g].ordered.push_back(c);
            Order(c);
        }
    }

    void Take(int g)
    {
        G& gr = m_groups[g];
        if (m_meta == 2) {
            m_at = gr.dots.back();
            return;
        }
        if (!gr.closed) {
            gr.reversed = D2(gr.dots.back(), m_at) < D2(gr.dots.front(), m_at);
            m_at = gr.reversed ? gr.dots.front() : gr.dots.back();
            return;
        }
        const std::size_t m = gr.dots.size() - 1;
        std::size_t k = 0;
        for (std::size_t i = 1; i < m; ++i) {
            if (D2(gr.dots[i], m_at) < D2(gr.dots[k], m_at))
                k = i;
        }
        if (m_meta == 1) {
            bool found = false;
            double widest = 0.0;
            const std::size_t from = k;
            for (std::size_t step = 0; step < m; ++step) {
                const XY& p = gr.dots[(from + step) % m];
                const XY& q = gr.dots[(from + step + 1) % m];
                double dir = std::atan2(q.second - p.second, q.first - p.first);
                if (dir < 0)
                    dir += 2 * std::numbers::pi;
                const double folded = std::fmod(dir, std::numbers::pi / 2);
                const double ax = m_at.first - p.first, ay = m_at.second - p.second;
                const double bx = q.first - p.first, by = q.second - p.second;
                const double angle = std::atan2(std::fabs(ax * by - ay * bx), ax * bx + ay * by);
                if (folded >= 0.2617993877991494 && folded <= 1.3089969389957472 && angle > 2.0943951023931953) {
                    if (!found || angle > widest) {
                        widest = angle;
                        k = (from + step) % m;
                    }
                    found = true;
                } else if (found) {
                    break;
                }
            }
        }
        gr.entry = k;
        m_at = gr.dots[k];
    }

    void Flatten(int g, std::vector<std::pair<PATHREC*, WORKLAYER*>>& out)
    {
        G& gr = m_groups[g];
        if (gr.bracket)
            out.push_back({gr.path, gr.layer});
        for (int c : gr.ordered)
            Flatten(c, out);
        if (gr.bracket) {
            out.push_back({gr.closing, gr.layer});
        } else if (g > 0) {
            // The path from its points: a closed one turned to begin at its
            // entry, an open one reversed when entered at its end.
            std::vector<XY> pts = gr.dots;
            if (gr.closed) {
                pts.pop_back();
                std::rotate(pts.begin(), pts.begin() + static_cast<std::ptrdiff_t>(m_meta == 2 ? 0 : gr.entry),
                            pts.end());
                pts.push_back(pts.front());
            } else if (gr.reversed && m_meta != 2) {
                std::reverse(pts.begin(), pts.end());
            }
            PATHREC* p = gr.path;
            FreeSegmentRing(p->m_pSegs);
            PATHREC* made = MakePath(pts);
            p->m_pSegs = made->m_pSegs;
            made->m_pSegs = nullptr;
            delete made;
            p->m_closed = gr.closed ? 1 : 0;
            out.push_back({p, gr.layer});
        }
    }

    int m_meta;
    bool m_inOut;
    int m_pos;
    XY m_at;
    std::vector<G> m_groups; // 0 is the root
};

void ReferenceOrderOptimised(WORKHEAD* job, int meta, bool inOut, bool byLayer, int position)
{
    std::vector<WORKLAYER*> all, result, runs;
    ForEachLayer(job->m_layers, false, [&](WORKLAYER& l) { all.push_back(&l); });
    auto emit = [&](const std::vector<WORKLAYER*>& run) {
        ReferenceOrdering r(meta, inOut, position);
        WORKLAYER* current = nullptr;
        PATHREC* tail = nullptr;
        for (auto [p, layer] : r.Run(run)) {
            if (current == nullptr || current->m_layerId != layer->m_layerId) {
                current = new WORKLAYER(*layer);
                current->m_paths = tail = nullptr;
                result.push_back(current);
            }
            p->m_pPrev = p->m_pNext = nullptr;
            AppendPathRecord(&current->m_paths, &tail, p);
            current->m_paths->m_pPrev = tail;
            tail->m_pNext = current->m_paths;
        }
    };
    for (WORKLAYER* l : all) {
        if (l->m_mode != 1) {
            result.push_back(l);
        } else if (byLayer) {
            emit({l});
        } else if (runs.empty()) {
            for (WORKLAYER* m : all) {
                if (m->m_mode == 1)
                    runs.push_back(m);
            }
            emit(runs);
        }
    }
    for (WORKLAYER* l : all) {
        if (l->m_mode == 1)
            delete l;
    }
    for (std::size_t i = 0; i < result.size(); ++i) {
        result[i]->m_next = result[(i + 1) % result.size()];
        result[(i + 1) % result.size()]->m_prev = result[i];
    }
    job->m_layers = result.front();
}

// Squares that nest, share corners and repeat, open lines, triangles, and
// brackets (one nested now and then), on a coarse lattice so that distances
// tie.
WORKLAYER* RandomCutLayer(std::mt19937& rng, std::uint32_t id, int count)
{
    std::uniform_int_distribution<int> c(0, 20);
    std::uniform_int_distribution<int> pick(0, 99);
    auto path = [&]() -> PATHREC* {
        const int r = pick(rng);
        const double x = c(rng), y = c(rng);
        if (r < 50) {
            const double s = 1 + pick(rng) % 8;
            return MakePath(SquareFromFarCorner(x, y, x + s, y + s));
        }
        if (r < 80)
            return MakePath({{x, y}, {double(c(rng)), double(c(rng))}, {double(c(rng)), double(c(rng))}});
        return MakePath({{x, y}, {x + 3, y}, {x + 1, y + 2}, {x, y}});
    };
    auto* l = new WORKLAYER{};
    l->m_mode = 1;
    l->m_layerId = id;
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    for (int i = 0; i < count; ++i) {
        if (pick(rng) < 8) {
            AppendPathRecord(&head, &tail, MakeOpeningBracket(1, 1, 0, 0));
            AppendPathRecord(&head, &tail, path());
            if (pick(rng) < 40) {
                AppendPathRecord(&head, &tail, MakeOpeningBracket(1, 1, 0, 0));
                AppendPathRecord(&head, &tail, path());
                AppendPathRecord(&head, &tail, MakeClosingBracket());
            }
            AppendPathRecord(&head, &tail, path());
            AppendPathRecord(&head, &tail, MakeClosingBracket());
        } else {
            AppendPathRecord(&head, &tail, path());
        }
    }
    head->m_pPrev = tail;
    tail->m_pNext = head;
    l->m_paths = head;
    return l;
}

// Two cut layers around a scan layer.
WORKHEAD* RandomJob(unsigned seed)
{
    std::mt19937 rng(seed);
    WORKLAYER* first = RandomCutLayer(rng, 1, 60);
    WORKLAYER* scan = MakeLayer({MakePath({{0, 0}, {5, 0}})});
    scan->m_mode = 2;
    WORKLAYER* second = RandomCutLayer(rng, 2, 40);
    return Job({first, scan, second});
}

struct Flat {
    std::uint32_t layer;
    std::uint16_t kind;
    std::uint32_t closed;
    std::vector<XY> points;
    bool operator==(const Flat&) const = default;
};

std::vector<Flat> Flatten(const WORKHEAD* job)
{
    std::vector<Flat> out;
    ForEachLayer(job->m_layers, false, [&](WORKLAYER& l) {
        ForEachPath(l, [&](PATHREC& p) {
            out.push_back({l.m_layerId, p.m_kind, p.m_closed,
                           p.m_pSegs != nullptr ? SegmentPoints(&p) : std::vector<XY>{}});
        });
    });
    return out;
}

// Both jobs' paths, points and entries alike, in the same order; frees both.
void ExpectSameOrderAndFree(WORKHEAD* fast, WORKHEAD* plain)
{
    const std::vector<Flat> a = Flatten(fast), b = Flatten(plain);
    FreeJob(fast);
    FreeJob(plain);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        ASSERT_EQ(a[i], b[i]) << "path " << i;
}

TEST(OptimisedOrder, TreeAndGridSearchesGiveExactlyTheLiteralOrdering)
{
    for (unsigned seed = 1; seed <= 8; ++seed) {
        for (int meta : {0, 1, 2}) {
            for (int flags = 0; flags < 4; ++flags) {
                const bool inOut = (flags & 1) != 0, byLayer = (flags & 2) != 0;
                const int workPos = static_cast<int>(seed + static_cast<unsigned>(meta)) % 9;
                SCOPED_TRACE(testing::Message() << "seed " << seed << " meta " << meta << " in-out " << inOut
                                                << " by layer " << byLayer << " position " << workPos);
                OrderingSetup s(1);
                s.settings.path_meta_pos = static_cast<std::uint8_t>(meta);
                s.settings.path_in_out = inOut ? 1 : 0;
                s.settings.path_by_layer = byLayer ? 1 : 0;
                s.settings.path_work_pos = static_cast<std::uint8_t>(workPos);
                WORKHEAD* fast = RandomJob(seed);
                WORKHEAD* plain = RandomJob(seed);
                CPathProc::OrderPathsOptimised(fast, &s.ctx);
                ReferenceOrderOptimised(plain, meta, inOut, byLayer, CPathProc::RemapWorkPosition(1, workPos));
                ExpectSameOrderAndFree(fast, plain);
            }
        }
    }
}

// Many paths on a small lattice nest deep and crowd every point: the whole
// job and its bigger groups are searched in the tree, the smaller groups
// scanned, and both must pick exactly as the literal rule, ties included.
TEST(OptimisedOrder, ACrowdedJobWithGroupsOfEverySizeGivesExactlyTheLiteralOrdering)
{
    for (int meta : {0, 1, 2}) {
        for (int inOut = 0; inOut < 2; ++inOut) {
            SCOPED_TRACE(testing::Message() << "meta " << meta << " in-out " << inOut);
            OrderingSetup s(1);
            s.settings.path_meta_pos = static_cast<std::uint8_t>(meta);
            s.settings.path_in_out = static_cast<std::uint8_t>(inOut);
            s.settings.path_work_pos = 4;
            auto make = [] {
                std::mt19937 rng(77);
                return Job({RandomCutLayer(rng, 1, 1500)});
            };
            WORKHEAD* fast = make();
            WORKHEAD* plain = make();
            CPathProc::OrderPathsOptimised(fast, &s.ctx);
            ReferenceOrderOptimised(plain, meta, inOut != 0, false, CPathProc::RemapWorkPosition(1, 4));
            ExpectSameOrderAndFree(fast, plain);
        }
    }
}

// Groups of a few hundred children are partitioned through the corner grid,
// smaller ones by testing every pair: both must match the rule.
TEST(OptimisedOrder, GroupsOfHundredsOfChildrenOrderAsTheLiteralRule)
{
    for (unsigned seed = 1; seed <= 3; ++seed) {
        for (int flags = 0; flags < 4; ++flags) {
            const int meta = flags & 1;
            const bool inOut = (flags & 2) != 0;
            SCOPED_TRACE(testing::Message() << "seed " << seed << " meta " << meta << " in-out " << inOut);
            OrderingSetup s(1);
            s.settings.path_meta_pos = static_cast<std::uint8_t>(meta);
            s.settings.path_in_out = inOut ? 1 : 0;
            s.settings.path_work_pos = static_cast<std::uint8_t>(seed % 9);
            auto job = [seed]() {
                std::mt19937 rng(seed);
                return Job({RandomCutLayer(rng, 1, 600)});
            };
            WORKHEAD* fast = job();
            WORKHEAD* plain = job();
            CPathProc::OrderPathsOptimised(fast, &s.ctx);
            ReferenceOrderOptimised(plain, meta, inOut, false, CPathProc::RemapWorkPosition(1, seed % 9));
            ExpectSameOrderAndFree(fast, plain);
        }
    }
}

// Layers ordered one by one are ordered side by side: each must come out
// exactly as when it is the only layer of its job, in its own place, with the
// layers that are not ordered (scanned, empty) kept where they were.
TEST(OptimisedOrder, LayersOrderedSideBySideComeOutAsEachOrderedAlone)
{
    constexpr std::uint32_t kLayers = 14;
    // Layer i of the list, made the same every time it is asked for.
    auto make = [](std::uint32_t i) -> WORKLAYER* {
        if (i == 3) {
            WORKLAYER* scan = MakeLayer({MakePath({{0, 0}, {5, 0}})});
            scan->m_mode = 2;
            return scan;
        }
        if (i == 8) {
            auto* empty = new WORKLAYER{};
            empty->m_mode = 1;
            empty->m_layerId = 99;
            return empty;
        }
        std::mt19937 rng(i);
        return RandomCutLayer(rng, i + 1, 100 + static_cast<int>(i % 4) * 150);
    };
    auto jobOf = [](const std::vector<WORKLAYER*>& layers) {
        for (std::size_t i = 0; i < layers.size(); ++i) {
            layers[i]->m_next = layers[(i + 1) % layers.size()];
            layers[i]->m_prev = layers[(i + layers.size() - 1) % layers.size()];
        }
        auto* header = new WORKHEAD;
        header->m_layers = layers.front();
        CFileTrans::RecalcPathBoundRects(header->m_layers);
        return header;
    };
    auto layerIds = [](const WORKHEAD* job) {
        std::vector<std::uint32_t> ids;
        ForEachLayer(job->m_layers, false, [&](WORKLAYER& l) { ids.push_back(l.m_layerId); });
        return ids;
    };
    for (int inOut = 0; inOut < 2; ++inOut) {
        SCOPED_TRACE(inOut);
        OrderingSetup s(1);
        s.settings.path_by_layer = 1;
        s.settings.path_in_out = static_cast<std::uint8_t>(inOut);
        s.settings.path_work_pos = 2;

        std::vector<Flat> expected;
        std::vector<std::uint32_t> expectedIds;
        for (std::uint32_t i = 0; i < kLayers; ++i) {
            WORKHEAD* alone = jobOf({make(i)});
            CPathProc::OrderPathsOptimised(alone, &s.ctx);
            const std::vector<Flat> f = Flatten(alone);
            expected.insert(expected.end(), f.begin(), f.end());
            const std::vector<std::uint32_t> ids = layerIds(alone);
            expectedIds.insert(expectedIds.end(), ids.begin(), ids.end());
            FreeJob(alone);
        }

        std::vector<WORKLAYER*> layers;
        for (std::uint32_t i = 0; i < kLayers; ++i)
            layers.push_back(make(i));
        WORKHEAD* together = jobOf(layers);
        CPathProc::OrderPathsOptimised(together, &s.ctx);
        EXPECT_EQ(layerIds(together), expectedIds);
        const std::vector<Flat> got = Flatten(together);
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], expected[i]) << "path " << i;
        FreeJob(together);
    }
}

// A long list is read in pieces: the graphs of every piece must land where a
// single reading puts them. Lines along the x axis, listed shuffled, some in
// brackets, with units that cannot take part (a point not a number, a closing
// bracket alone) in every piece: from (0, 0) the lines come in x order, each
// with its own points, the others after them in list order. More paths than
// one thread gathers for the walk, so the gathered records and points must
// land by slot too (each line entered at its nearer end, then reversed).
TEST(OptimisedOrder, ALongListReadInPiecesOrdersAsOneReading)
{
    constexpr int kUnits = 70000;
    std::vector<int> place(kUnits);
    for (int i = 0; i < kUnits; ++i)
        place[i] = i;
    std::mt19937 rng(11);
    std::shuffle(place.begin(), place.end(), rng);

    std::vector<std::vector<PATHREC*>> atPlace(kUnits);
    std::vector<PATHREC*> aside;
    auto* layer = new WORKLAYER{};
    layer->m_mode = 1;
    layer->m_layerId = 5;
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    auto add = [&](std::vector<PATHREC*>& into, PATHREC* p) {
        AppendPathRecord(&head, &tail, p);
        into.push_back(p);
    };
    for (int i = 0; i < kUnits; ++i) {
        const double x = 2.0 * place[i];
        if (i % 1000 == 7) {
            PATHREC* broken = MakePath({{x, 0}, {x + 1, 0}});
            broken->m_pSegs->m_y1 = std::numeric_limits<double>::quiet_NaN();
            add(aside, broken);
        } else if (i % 500 == 3) {
            add(aside, MakeClosingBracket());
        } else if (i % 97 == 5) {
            add(atPlace[place[i]], MakeOpeningBracket(1, 1, 0, 0));
            add(atPlace[place[i]], MakePath({{x, 0}, {x + 1, 0}}));
            add(atPlace[place[i]], MakeClosingBracket());
        } else {
            add(atPlace[place[i]], MakePath({{x + 1, 0}, {x, 0}}));
        }
    }
    head->m_pPrev = tail;
    tail->m_pNext = head;
    layer->m_paths = head;
    WORKHEAD* job = Job({layer});

    OrderingSetup s(1);
    s.settings.path_by_layer = 1;
    s.settings.path_work_pos = 0;
    CPathProc::OrderPathsOptimised(job, &s.ctx);
    std::vector<PATHREC*> expected;
    for (const std::vector<PATHREC*>& unit : atPlace)
        expected.insert(expected.end(), unit.begin(), unit.end());
    expected.insert(expected.end(), aside.begin(), aside.end());
    std::vector<PATHREC*> got;
    ForEachPath(*job->m_layers, [&](PATHREC& p) { got.push_back(&p); });
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], expected[i]) << "record " << i;
    for (int k = 0; k < kUnits; ++k) {
        for (const PATHREC* p : atPlace[k]) {
            if (p->m_kind != PATH_KIND_GROUP) {
                ASSERT_EQ(SegmentPoints(p), (std::vector<XY>{{2.0 * k, 0}, {2.0 * k + 1, 0}})) << "line " << k;
            }
        }
    }
    FreeJob(job);
}

} // namespace
} // namespace plat

namespace plat {
namespace {

// Many frames side by side, each holding a row of short lines, and a long
// thin frame just above them holding a line over each, listed shuffled:
// enough that the corners are sorted in chunks and filed in several grids
// made side by side. A line whose corner is filed apart from its frame's and
// missed would be taken on its own between the lower frames. With "path in
// out" every frame follows its own lines: the first lower frame, the long
// frame's lines from the near end out and back to the first, the long frame,
// then the other lower frames.
TEST(OptimisedOrder, ManyFramesEachTakeInTheLinesWithinThem)
{
    constexpr int kFrames = 2000;
    constexpr int kLines = 8;
    std::vector<std::vector<PATHREC*>> lower(kFrames);
    std::vector<PATHREC*> upper(kFrames);
    std::vector<PATHREC*> listed;
    for (int k = 0; k < kFrames; ++k) {
        const double x = 10.0 * k;
        for (int i = 1; i <= kLines; ++i) {
            lower[k].push_back(MakePath({{x + i, 4.0}, {x + i + 0.5, 4.0}}));
            listed.push_back(lower[k].back());
        }
        lower[k].push_back(MakePath(SquareFromFarCorner(x, 0.0, x + 9.5, 8.0)));
        listed.push_back(lower[k].back());
        upper[k] = MakePath({{x + 2.0, 9.0}, {x + 2.5, 9.0}});
        listed.push_back(upper[k]);
    }
    PATHREC* longFrame = MakePath(SquareFromFarCorner(-1.0, 8.5, 10.0 * kFrames, 9.5));
    listed.push_back(longFrame);
    std::mt19937 rng(3);
    std::shuffle(listed.begin(), listed.end(), rng);
    WORKLAYER* layer = MakeLayer(listed);
    layer->m_mode = 1;
    WORKHEAD* job = Job({layer});

    OrderingSetup s(1);
    s.settings.path_work_pos = 0;
    CPathProc::OrderPathsOptimised(job, &s.ctx);
    std::vector<PATHREC*> expected = lower[0];
    expected.insert(expected.end(), upper.begin() + 1, upper.end());
    expected.push_back(upper[0]);
    expected.push_back(longFrame);
    for (int k = 1; k < kFrames; ++k)
        expected.insert(expected.end(), lower[k].begin(), lower[k].end());
    std::vector<PATHREC*> got;
    ForEachLayer(job->m_layers, false, [&](WORKLAYER& l) { ForEachPath(l, [&](PATHREC& p) { got.push_back(&p); }); });
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], expected[i]) << "path " << i;
    FreeJob(job);
}

} // namespace
} // namespace plat

namespace plat {
namespace {

// A group too wide for one thread: frames of every size, overlapping, lying
// within one another, some repeated exactly, across the whole width, over
// many more short lines and small squares. Which frame takes in a path and
// whether a frame is itself taken in are worked out side by side, frames
// reaching across the divisions of the width included: the result must be
// exactly the literal rule's.
TEST(OptimisedOrder, AWideGroupOfOverlappingFramesOrdersAsTheLiteralRule)
{
    auto make = [] {
        std::mt19937 rng(11);
        std::uniform_real_distribution<double> x(0.0, 600.0), y(0.0, 40.0), side(2.0, 40.0), small(0.2, 3.0);
        std::vector<PATHREC*> paths;
        for (int i = 0; i < 1500; ++i) {
            const double x0 = std::round(x(rng)), y0 = std::round(y(rng));
            const double w = std::round(side(rng)), h = std::round(side(rng) / 2.0);
            paths.push_back(MakePath(SquareFromFarCorner(x0, y0, x0 + w, y0 + h)));
            if (i % 50 == 0)
                paths.push_back(MakePath(SquareFromFarCorner(x0, y0, x0 + w, y0 + h)));
        }
        for (int i = 0; i < 15000; ++i) {
            const double x0 = x(rng), y0 = y(rng), d = small(rng);
            if (i % 3 == 0)
                paths.push_back(MakePath(SquareFromFarCorner(x0, y0, x0 + d, y0 + d)));
            else
                paths.push_back(MakePath({{x0, y0}, {x0 + d, y0 + d / 2.0}}));
        }
        std::shuffle(paths.begin(), paths.end(), rng);
        WORKLAYER* layer = MakeLayer(paths);
        layer->m_mode = 1;
        layer->m_layerId = 1;
        return Job({layer});
    };
    OrderingSetup s(1);
    s.settings.path_meta_pos = 0;
    s.settings.path_in_out = 0;
    s.settings.path_by_layer = 0;
    s.settings.path_work_pos = 0;
    WORKHEAD* fast = make();
    WORKHEAD* plain = make();
    CPathProc::OrderPathsOptimised(fast, &s.ctx);
    ReferenceOrderOptimised(plain, 0, false, false, CPathProc::RemapWorkPosition(1, 0));
    ExpectSameOrderAndFree(fast, plain);
}

} // namespace
} // namespace plat
