#include "OutlineIndex.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace plat {

namespace {

// An edge over more buckets than this is looked at for every point.
constexpr std::size_t kMaxBucketsPerEdge = 64;

} // namespace

OutlineIndex::OutlineIndex(const DOCNODE* nodes)
{
    for (const DOCNODE* n = nodes; n != nullptr;) {
        m_pts.push_back({n->m_x, n->m_y});
        n = n->m_pNext;
        if (n == nodes)
            break;
    }
    const std::size_t n = m_pts.size();
    if (n < 3)
        return;
    const bool closedByRepeat = m_pts.front().x == m_pts.back().x && m_pts.front().y == m_pts.back().y;
    m_edges = closedByRepeat ? n - 1 : n;

    bool any = false;
    for (const Pt& p : m_pts) {
        if (std::isnan(p.x) || std::isnan(p.y))
            continue;
        m_xmin = any ? std::min(m_xmin, p.x) : p.x;
        m_xmax = any ? std::max(m_xmax, p.x) : p.x;
        any = true;
    }
    std::size_t buckets = std::max<std::size_t>(1, m_edges);
    m_width = (m_xmax - m_xmin) / static_cast<double>(buckets);
    if (!(m_width > 0.0) || !std::isfinite(m_width)) {
        buckets = 1;
        m_width = 1.0;
    }
    m_start.assign(buckets + 1, 0);
    // Counting pass, then filling in edge order.
    std::vector<std::uint8_t> wide(m_edges, 0);
    for (std::size_t e = 0; e < m_edges; ++e) {
        const Pt& a = m_pts[e];
        const Pt& b = m_pts[(e + 1) % n];
        if (std::isnan(a.x) || std::isnan(b.x) || std::isnan(a.y) || std::isnan(b.y)) {
            wide[e] = 1;
            continue;
        }
        const std::size_t b0 = BucketOf(std::min(a.x, b.x)), b1 = BucketOf(std::max(a.x, b.x));
        if (b1 - b0 + 1 > kMaxBucketsPerEdge) {
            wide[e] = 1;
            continue;
        }
        for (std::size_t k = b0; k <= b1; ++k)
            ++m_start[k + 1];
    }
    for (std::size_t k = 0; k < buckets; ++k)
        m_start[k + 1] += m_start[k];
    m_list.resize(m_start[buckets]);
    std::vector<std::uint32_t> fill(m_start.begin(), m_start.end() - 1);
    for (std::size_t e = 0; e < m_edges; ++e) {
        if (wide[e] != 0) {
            m_wide.push_back(static_cast<std::uint32_t>(e));
            continue;
        }
        const Pt& a = m_pts[e];
        const Pt& b = m_pts[(e + 1) % n];
        const std::size_t b0 = BucketOf(std::min(a.x, b.x)), b1 = BucketOf(std::max(a.x, b.x));
        for (std::size_t k = b0; k <= b1; ++k)
            m_list[fill[k]++] = static_cast<std::uint32_t>(e);
    }
}

std::size_t OutlineIndex::BucketOf(double x) const
{
    // Monotonic in x, so an edge whose span holds x shares x's bucket.
    const double b = std::floor((x - m_xmin) / m_width);
    const double last = static_cast<double>(m_start.size() - 2);
    if (!(b > 0.0))
        return 0;
    return b >= last ? static_cast<std::size_t>(last) : static_cast<std::size_t>(b);
}

std::uint8_t OutlineIndex::Classify(double x, double y) const
{
    if (m_edges == 0)
        return 255;
    const std::size_t n = m_pts.size();
    const std::uint32_t* first = nullptr;
    const std::uint32_t* last = nullptr;
    if (!std::isnan(x) && !std::isnan(y) && x >= m_xmin && x <= m_xmax) {
        const std::size_t b = BucketOf(x);
        first = m_list.data() + m_start[b];
        last = m_list.data() + m_start[b + 1];
    } else if (m_wide.empty()) {
        return 0; // no edge spans x, no vertex lies there
    }
    auto forEach = [&](auto f) {
        for (const std::uint32_t* e = first; e != last; ++e) {
            if (f(*e))
                return true;
        }
        for (std::uint32_t e : m_wide) {
            if (f(e))
                return true;
        }
        return false;
    };
    // The rules of PolylineClassifyPoint, on the edges that can take part,
    // in one pass: a point on a vertex or an edge is on the outline whatever
    // the other edges say, so the first such edge answers.
    int rightward = 0;
    int leftward = 0;
    const bool on = forEach([&](std::uint32_t e) {
        const Pt& a = m_pts[e];
        const Pt& b = m_pts[(e + 1) % n];
        if ((a.x == x && a.y == y) || (b.x == x && b.y == y))
            return true;
        if (a.x == b.x)
            return x == a.x && y > std::min(a.y, b.y) && y < std::max(a.y, b.y);
        if (x > std::min(a.x, b.x) && x < std::max(a.x, b.x)) {
            const double edgeSlope = (b.y - a.y) / (b.x - a.x);
            const double pointSlope = (y - a.y) / (x - a.x);
            if (std::fabs(edgeSlope - pointSlope) < 1e-11)
                return true;
        }
        const bool right = a.x < b.x;
        const double lo = right ? a.x : b.x;
        const double hi = right ? b.x : a.x;
        if (!(x >= lo && x < hi))
            return false;
        const double side = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
        if (right && side > 0.0)
            ++rightward;
        else if (!right && side < 0.0)
            ++leftward;
        return false;
    });
    if (on)
        return 1;
    return rightward == leftward ? 0 : 2;
}

bool OutlineIndex::VerticalGaps(double x, double y, double& up, double& down) const
{
    up = down = std::numeric_limits<double>::infinity();
    if (m_edges == 0 || std::isnan(x) || std::isnan(y))
        return false;
    const std::size_t n = m_pts.size();
    auto look = [&](std::uint32_t e) {
        const Pt& a = m_pts[e];
        const Pt& b = m_pts[(e + 1) % n];
        double lo = 0.0;
        double hi = 0.0;
        if (a.x == b.x) {
            if (x != a.x)
                return;
            lo = std::min(a.y, b.y);
            hi = std::max(a.y, b.y);
        } else {
            if (!(x >= std::min(a.x, b.x) && x <= std::max(a.x, b.x)))
                return;
            lo = hi = a.y + (b.y - a.y) * ((x - a.x) / (b.x - a.x));
        }
        if (lo >= y)
            up = std::min(up, lo - y);
        else if (hi <= y)
            down = std::min(down, y - hi);
        else
            up = down = 0.0;
    };
    if (x >= m_xmin && x <= m_xmax) {
        const std::size_t bucket = BucketOf(x);
        for (std::uint32_t k = m_start[bucket]; k < m_start[bucket + 1]; ++k)
            look(m_list[k]);
    }
    for (std::uint32_t e : m_wide)
        look(e);
    return true;
}

} // namespace plat
