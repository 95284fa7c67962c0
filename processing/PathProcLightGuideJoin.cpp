// Joining a light-guide layer's lines into one back-and-forth scan path.
#include "PathProc.h"
#include "PathUnits.h"

#include "JobRecords.h"
#include "model/PathRecord.h"
#include "model/PolylineGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kLineTol = 1e-5;  // a path lying along a row (or column)
constexpr double kRunTol = 0.001;  // leading rows, and the rows of one run
constexpr int kNone = -1;

// The layer's paths in list order, with the links of those still waiting.
struct Waiting {
    std::vector<PATHREC*> paths;
    std::vector<int> prev;
    std::vector<int> next;
    int head = kNone;

    void Remove(int i)
    {
        if (prev[i] != kNone)
            next[prev[i]] = next[i];
        else
            head = next[i];
        if (next[i] != kNone)
            prev[next[i]] = prev[i];
        prev[i] = next[i] = kNone;
        paths[i] = nullptr;
    }
};

// One pass over the rows (or the columns): the line nearest the start side
// is taken with the run of list neighbours on its row, worked one way, the
// next row the other way. A sorted index on (position of the first segment
// across the rows, along them, list place) finds each next line.
void JoinLines(Waiting& w, bool rows, int d, int& t, PATHREC* out, SEGNODE*& tail)
{
    auto lo = [&](const PATHREC* p) { return rows ? p->m_ymin : p->m_xmin; };
    auto hi = [&](const PATHREC* p) { return rows ? p->m_ymax : p->m_xmax; };
    auto across = [&](const PATHREC* p) { return rows ? p->m_pSegs->m_y0 : p->m_pSegs->m_x0; };
    auto along = [&](const PATHREC* p) { return rows ? p->m_pSegs->m_x0 : p->m_pSegs->m_y0; };
    // Positions that are not finite numbers cannot be ordered: such a path
    // is no line and leaves the job with the rest.
    auto isLine = [&](const PATHREC* p) {
        return p->m_pSegs != nullptr && std::fabs(lo(p) - hi(p)) < kLineTol && std::isfinite(across(p)) &&
               std::isfinite(along(p));
    };

    // The starting row from the lines that lead the list.
    double row = std::numeric_limits<double>::quiet_NaN();
    bool any = false;
    for (int i = w.head; i != kNone && std::fabs(lo(w.paths[i]) - hi(w.paths[i])) < kRunTol; i = w.next[i]) {
        const double v = d == 1 ? lo(w.paths[i]) : hi(w.paths[i]);
        row = !any ? v : (d == 1 ? std::min(row, v) : std::max(row, v));
        any = true;
    }

    struct Entry {
        double across;
        double along;
        int path;
    };
    std::vector<Entry> sorted;
    sorted.reserve(w.paths.size());
    for (int i = w.head; i != kNone; i = w.next[i]) {
        if (isLine(w.paths[i]))
            sorted.push_back({across(w.paths[i]), along(w.paths[i]), i});
    }
    if (sorted.empty())
        return;
    std::sort(sorted.begin(), sorted.end(), [](const Entry& a, const Entry& b) {
        if (a.across != b.across)
            return a.across < b.across;
        if (a.along != b.along)
            return a.along < b.along;
        return a.path < b.path;
    });
    // Groups of one row position, blocks of one (row, along) position; a
    // front pointer per group and per block and a back pointer per group
    // skip what was taken.
    const std::size_t n = sorted.size();
    std::vector<std::uint32_t> blockOf(n);
    std::vector<std::size_t> groupFront, groupBack, blockFront;
    for (std::size_t k = 0; k < n; ++k) {
        const bool newGroup = k == 0 || sorted[k].across != sorted[k - 1].across;
        if (newGroup) {
            groupFront.push_back(k);
            groupBack.push_back(k);
        }
        groupBack.back() = k;
        if (newGroup || sorted[k].along != sorted[k - 1].along)
            blockFront.push_back(k);
        blockOf[k] = static_cast<std::uint32_t>(blockFront.size() - 1);
    }
    const std::size_t groups = groupFront.size();
    std::vector<std::size_t> groupEnd(groups);
    for (std::size_t g = 0; g < groups; ++g)
        groupEnd[g] = groupBack[g];
    auto taken = [&](std::size_t k) { return w.paths[sorted[k].path] == nullptr; };
    // Groups in the sweep's order.
    std::size_t step = 0;
    auto groupAt = [&](std::size_t s) { return d == 1 ? s : groups - 1 - s; };

    std::vector<int> run;
    for (;;) {
        // The first group of the sweep that still holds lines.
        std::size_t g = 0;
        bool found = false;
        for (; step < groups; ++step) {
            g = groupAt(step);
            while (groupFront[g] <= groupEnd[g] && taken(groupFront[g]))
                ++groupFront[g];
            if (groupFront[g] <= groupEnd[g]) {
                found = true;
                break;
            }
        }
        if (!found)
            break;
        auto choose = [&]() -> int {
            if (t != 0)
                return sorted[groupFront[g]].path;
            // The largest along position, its earliest line.
            while (taken(groupBack[g]))
                --groupBack[g];
            const std::size_t b = blockOf[groupBack[g]];
            while (taken(blockFront[b]))
                ++blockFront[b];
            return sorted[blockFront[b]].path;
        };
        int c = choose();
        if (across(w.paths[c]) != row) {
            row = across(w.paths[c]);
            t ^= 1;
            c = choose();
        }
        // The run: the chosen line with its list neighbours on the same row.
        run.clear();
        const double at = lo(w.paths[c]);
        int first = c;
        while (w.prev[first] != kNone && std::fabs(lo(w.paths[w.prev[first]]) - at) <= kRunTol)
            first = w.prev[first];
        for (int i = first;; i = w.next[i]) {
            run.push_back(i);
            if (i == c)
                break;
        }
        for (int j = w.next[c]; j != kNone && std::fabs(lo(w.paths[j]) - at) <= kRunTol; j = w.next[j])
            run.push_back(j);
        if (t == 0) {
            for (int i : run)
                ReverseRing(w.paths[i]);
            std::reverse(run.begin(), run.end());
        }
        for (int i : run) {
            PATHREC* p = w.paths[i];
            SEGNODE* segs = p->m_pSegs;
            p->m_pSegs = nullptr;
            if (segs != nullptr) {
                SEGNODE* last = plat::LastSegmentOf(segs);
                segs->m_pPrev = nullptr;
                last->m_pNext = nullptr;
                if (tail != nullptr) {
                    tail->m_pNext = segs;
                    segs->m_pPrev = tail;
                } else {
                    out->m_pSegs = segs;
                }
                tail = last;
            }
            w.Remove(i);
            FreePathRecordList(p);
        }
    }
}

} // namespace

void CPathProc::JoinLightGuideLayers(WORKHEAD* header, int corner, int workPos)
{
    if (header == nullptr)
        return;
    ForEachLayer(header->m_layers, false, [&](WORKLAYER& layer) {
        if ((layer.m_mode & 0x80) == 0)
            return;
        auto* out = new PATHREC;
        const bool ring = layer.m_paths != nullptr && layer.m_paths->m_pPrev != nullptr;
        Waiting w;
        ForEachPath(layer, [&](PATHREC& p) { w.paths.push_back(&p); });
        for (PATHREC* p : w.paths)
            p->m_pPrev = p->m_pNext = nullptr;
        layer.m_paths = nullptr;
        const int count = static_cast<int>(w.paths.size());
        w.prev.resize(w.paths.size());
        w.next.resize(w.paths.size());
        for (int i = 0; i < count; ++i) {
            w.prev[i] = i - 1;
            w.next[i] = i + 1 < count ? i + 1 : kNone;
        }
        w.head = count > 0 ? 0 : kNone;
        int d = 1, t = 1;
        BandStartSide(1, corner, workPos, d, t);
        SEGNODE* tail = nullptr;
        JoinLines(w, true, d, t, out, tail);
        // Columns: the column order starts opposite to where the rows left
        // the alternation, the alternation opposite to the row order.
        int tColumns = d == 0 ? 1 : 0;
        JoinLines(w, false, t == 0 ? 1 : 0, tColumns, out, tail);
        // What is neither a row nor a column line leaves the job.
        for (PATHREC* p : w.paths) {
            if (p != nullptr)
                FreePathRecordList(p);
        }
        layer.m_mode = 2;
        if (out->m_pSegs == nullptr) {
            delete out;
            layer.m_paths = nullptr;
            layer.m_style = 1;
            return;
        }
        out->m_pSegs->m_pPrev = tail;
        tail->m_pNext = out->m_pSegs;
        if (ring)
            out->m_pPrev = out->m_pNext = out;
        layer.m_paths = out;
        layer.m_style = out->m_pSegs->m_y0 != out->m_pSegs->m_y1 ? 3 : 1;
    });
}
