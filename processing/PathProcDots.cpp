// Dot mode: cut paths replaced by single dots (or dashes) at a fixed interval.
#include "PathProc.h"

#include "JobRecords.h"
#include "model/GeoFunctions.h"
#include "model/PathRecord.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"
#include "settings/WorkParams.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr std::uint8_t kCutMode = 1;
constexpr double kMinInterval = 1e-5;
constexpr double kMinDash = 0.001;
constexpr double kSamePoint = 1e-7;
constexpr std::uint16_t kDashSubkind = 1;
constexpr std::u16string_view kErrorSection = u"phase15:error-hint";

struct Pt {
    double x, y;
};

// Points at growing distances along a polyline: the same points as
// PolylinePointAt, found from where the last one lay instead of from the
// start each time.
class PolylineWalker {
public:
    explicit PolylineWalker(const std::vector<Pt>& pts) : m_pts(pts) {}

    Pt At(double dist)
    {
        if (std::fabs(dist) < kGeoCoincideTol || dist < 0.0)
            return m_pts.front();
        for (; m_i + 1 < m_pts.size(); ++m_i) {
            const Pt& n = m_pts[m_i];
            const Pt& m = m_pts[m_i + 1];
            const double len = std::hypot(m.x - n.x, m.y - n.y);
            const double end = m_walked + len;
            if (dist == end)
                return m;
            if (dist < end) {
                const double t = (dist - m_walked) / len;
                return {n.x + t * (m.x - n.x), n.y + t * (m.y - n.y)};
            }
            m_walked = end;
        }
        return m_pts.back();
    }

private:
    const std::vector<Pt>& m_pts;
    std::size_t m_i = 0;
    double m_walked = 0.0;
};

PATHREC* NewPiece(const Pt& a, const Pt& b, bool dot)
{
    auto* seg = new SEGNODE;
    seg->m_x0 = a.x;
    seg->m_y0 = a.y;
    seg->m_x1 = b.x;
    seg->m_y1 = b.y;
    seg->m_pPrev = seg->m_pNext = seg;
    auto* path = new PATHREC;
    if (dot)
        path->m_kind = PATH_KIND_DOT;
    else
        path->m_subkind = kDashSubkind;
    path->m_pSegs = seg;
    path->m_xmin = std::min(a.x, b.x);
    path->m_xmax = std::max(a.x, b.x);
    path->m_ymin = std::min(a.y, b.y);
    path->m_ymax = std::max(a.y, b.y);
    path->m_closed = std::fabs(a.x - b.x) < kSamePoint && std::fabs(a.y - b.y) < kSamePoint ? 1 : 0;
    return path;
}

} // namespace

PATHREC* CPathProc::MakeDotPath(PATHREC* path, double interval, double dash, bool* capped)
{
    if (capped != nullptr)
        *capped = false;
    if (path == nullptr || path->m_pSegs == nullptr || !(interval > 0.0))
        return nullptr;
    if (!(dash >= 0.0))
        dash = 0.0;
    std::vector<Pt> pts{{path->m_pSegs->m_x0, path->m_pSegs->m_y0}};
    ForEachSegment(*path, [&](SEGNODE& s) { pts.push_back({s.m_x1, s.m_y1}); });
    double total = 0.0;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i)
        total += std::hypot(pts[i + 1].x - pts[i].x, pts[i + 1].y - pts[i].y);
    // Coordinates beyond any number leave only the start.
    if (!std::isfinite(total))
        total = 0.0;

    // An interval far below the path's length (a slip of the keyboard) would
    // make millions of dots: they are limited and spread over the length.
    if (total / (interval + dash) + 1.0 > static_cast<double>(kMaxDotsPerPath)) {
        interval = std::max(total / static_cast<double>(kMaxDotsPerPath - 1) - dash, 0.0);
        if (capped != nullptr)
            *capped = true;
    }
    const bool dot = dash < kMinDash;
    // On a closed path the walk comes back to the start: that spot keeps
    // its one dot rather than being hit twice.
    const bool closed = std::fabs(pts.back().x - pts.front().x) < kGeoCoincideTol &&
                        std::fabs(pts.back().y - pts.front().y) < kGeoCoincideTol;
    PolylineWalker walker(pts);
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    std::size_t count = 0;
    for (double s = 0.0; s <= total && count < kMaxDotsPerPath; ++count) {
        const Pt a = walker.At(s);
        if (closed && count > 0 && s + dash + interval > total && std::fabs(a.x - pts.front().x) < kGeoCoincideTol &&
            std::fabs(a.y - pts.front().y) < kGeoCoincideTol)
            break;
        s += dash;
        const Pt b = dot ? a : walker.At(s);
        AppendPathRecord(&head, &tail, NewPiece(a, b, dot));
        s += interval;
    }
    return head;
}

void CPathProc::MakeHitPoints(WORKLAYER* layers, WorkParams* params)
{
    bool anyCapped = false;
    ForEachLayer(layers, false, [&](WORKLAYER& layer) {
        if (layer.m_mode != kCutMode || layer.m_paths == nullptr)
            return;
        const WorkParams* own = FindLayerParams(params, static_cast<int>(layer.m_layerId));
        if (own == nullptr || own->m_b_hit_point == 0 || !(own->m_b_hit_dis > kMinInterval))
            return;
        PATHREC* first = layer.m_paths;
        PATHREC* last = first->m_pPrev;
        const bool ring = last != nullptr;
        if (ring) {
            last->m_pNext = nullptr;
            first->m_pPrev = nullptr;
        }
        for (PATHREC* p = first; p != nullptr;) {
            PATHREC* next = p->m_pNext;
            if (p->m_pSegs != nullptr && p->m_kind == PATH_KIND_PATH) {
                bool capped = false;
                PATHREC* dots = MakeDotPath(p, own->m_b_hit_dis, 0.0, &capped);
                anyCapped = anyCapped || capped;
                PATHREC* dotsLast = dots;
                while (dotsLast->m_pNext != nullptr)
                    dotsLast = dotsLast->m_pNext;
                dots->m_pPrev = p->m_pPrev;
                if (p->m_pPrev != nullptr)
                    p->m_pPrev->m_pNext = dots;
                else
                    first = dots;
                dotsLast->m_pNext = next;
                if (next != nullptr)
                    next->m_pPrev = dotsLast;
                p->m_pPrev = p->m_pNext = nullptr;
                FreePathRecordList(p);
            }
            p = next;
        }
        if (ring) {
            last = first;
            while (last->m_pNext != nullptr)
                last = last->m_pNext;
            last->m_pNext = first;
            first->m_pPrev = last;
        }
        layer.m_paths = first;
    });
    if (anyCapped)
        plat::MessageBox(LanguageText(RegisteredLanguageTable(), kErrorSection, kDotsLimitedText), std::u16string(),
                         plat::MB_OK);
}
