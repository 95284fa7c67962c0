// The entry-point search: a k-d tree over the paths' entry points, built
// level by level (side by side for many points), and a grid of cells round
// the head that answers most searches over many paths without the tree.
#include "EntryTree.h"

#include "platform/ParallelFor.h"

#include <algorithm>
#include <cmath>

namespace plat::optimised {

EntryTree::EntryTree(std::vector<Item> items, std::size_t keys) : m_items(std::move(items))
{
    const std::size_t n = m_items.size();
    std::vector<std::uint32_t> leafOf(n, kNone);
    if (n > 0) {
        m_node.reserve(2 * (n / kLeaf + 1));
        m_node.push_back({});
        m_node[0].lo = 0;
        m_node[0].hi = static_cast<std::uint32_t>(n);
    }
    // Splits at the median along the wider side of the node's region
    // (its parent's cut at the median), one level at a time from the
    // top (children come after their parent); then the boxes from the
    // bottom up. The nodes of a level hold separate runs of the points:
    // a level with many points splits them side by side. The shape and
    // numbering of the nodes do not change an answer.
    std::vector<std::uint32_t> level;
    std::vector<Box> region; // per node of the level
    if (n > 0) {
        level.push_back(0);
        region.emplace_back();
        for (const Item& it : m_items)
            region[0].Add(Dot{it.x, it.y});
    }
    std::vector<std::uint32_t> mids;
    std::vector<std::uint8_t> alongX;
    while (!level.empty()) {
        mids.assign(level.size(), kNone);
        alongX.assign(level.size(), 0);
        auto split = [&](std::size_t j) {
            const std::uint32_t k = level[j];
            const std::uint32_t lo = m_node[k].lo, hi = m_node[k].hi;
            if (hi - lo <= kLeaf) {
                for (std::uint32_t i = lo; i < hi; ++i)
                    leafOf[i] = k;
                return;
            }
            const Box& b = region[j];
            const std::uint32_t mid = lo + (hi - lo) / 2;
            const bool sx = b.xmax - b.xmin >= b.ymax - b.ymin;
            alongX[j] = sx ? 1 : 0;
            const auto at = [this](std::uint32_t i) { return m_items.begin() + static_cast<std::ptrdiff_t>(i); };
            std::nth_element(at(lo), at(mid), at(hi),
                             [sx](const Item& a, const Item& c) { return sx ? a.x < c.x : a.y < c.y; });
            mids[j] = mid;
        };
        if (n >= kSideBySidePoints && level.size() > 1) {
            const std::size_t per = (level.size() + kLevelPieces - 1) / kLevelPieces;
            plat::ParallelFor(kLevelPieces, [&](std::size_t piece) {
                const std::size_t end = std::min(level.size(), (piece + 1) * per);
                for (std::size_t j = piece * per; j < end; ++j)
                    split(j);
            });
        } else {
            for (std::size_t j = 0; j < level.size(); ++j)
                split(j);
        }
        std::vector<std::uint32_t> next;
        std::vector<Box> nextRegion;
        next.reserve(2 * level.size());
        nextRegion.reserve(2 * level.size());
        for (std::size_t j = 0; j < level.size(); ++j) {
            if (mids[j] == kNone)
                continue;
            Box lb = region[j], rb = region[j];
            const Item& cut = m_items[mids[j]];
            if (alongX[j] != 0)
                lb.xmax = rb.xmin = cut.x;
            else
                lb.ymax = rb.ymin = cut.y;
            nextRegion.push_back(lb);
            nextRegion.push_back(rb);
            const std::uint32_t k = level[j];
            const auto child = static_cast<std::uint32_t>(m_node.size());
            m_node[k].left = child;
            Node l, r;
            l.lo = m_node[k].lo;
            l.hi = mids[j];
            l.parent = k;
            r.lo = mids[j];
            r.hi = m_node[k].hi;
            r.parent = k;
            m_node.push_back(l);
            m_node.push_back(r);
            next.push_back(child);
            next.push_back(child + 1);
        }
        level.swap(next);
        region.swap(nextRegion);
    }
    for (std::size_t k = m_node.size(); k-- > 0;) {
        Node& nd = m_node[k];
        if (nd.left == kNone) {
            for (std::uint32_t i = nd.lo; i < nd.hi; ++i) {
                nd.box.Add(Dot{m_items[i].x, m_items[i].y});
                nd.keyMin = std::min(nd.keyMin, m_items[i].key);
                nd.keyMax = std::max(nd.keyMax, m_items[i].key);
            }
            nd.leaf = static_cast<std::uint32_t>(m_leafMask.size());
            m_leafMask.push_back((1u << (nd.hi - nd.lo)) - 1);
            m_leafParent.push_back(nd.parent);
        }
        if (nd.parent != kNone) {
            Node& p = m_node[nd.parent];
            p.box.Add(nd.box);
            p.keyMin = std::min(p.keyMin, nd.keyMin);
            p.keyMax = std::max(p.keyMax, nd.keyMax);
            if (nd.left == kNone || nd.alive > 0)
                ++p.alive;
        }
    }
    // Slots in the order the paths' first points lie in the tree:
    // paths near each other in space get slots near each other, so
    // data kept by slot is read from few places as the search walks.
    m_slotOfKey.assign(keys, kNone);
    m_keyOfSlot.reserve(keys);
    for (Item& it : m_items) {
        std::uint32_t& s = m_slotOfKey[it.key];
        if (s == kNone) {
            s = static_cast<std::uint32_t>(m_keyOfSlot.size());
            m_keyOfSlot.push_back(it.key);
        }
        it.slot = s;
    }
    const std::vector<std::uint32_t> cellAt = BuildCells();
    // Where each slot's points are, for removal.
    const std::size_t slots = m_keyOfSlot.size();
    m_slotFirst.assign(slots + 1, 0);
    for (const Item& it : m_items)
        ++m_slotFirst[it.slot + 1];
    for (std::size_t k = 0; k < slots; ++k)
        m_slotFirst[k + 1] += m_slotFirst[k];
    m_slotPoints.resize(n);
    std::vector<std::uint32_t> fill(m_slotFirst.begin(), m_slotFirst.end() - 1);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t leaf = leafOf[i];
        m_slotPoints[fill[m_items[i].slot]++] = {m_node[leaf].leaf, i - m_node[leaf].lo,
                                                 cellAt.empty() ? kNone : cellAt[i]};
    }
}

EntryTree::Found EntryTree::Nearest(double x, double y, std::uint32_t klo, std::uint32_t khi)
{
    std::uint32_t bestKey = kNone;
    std::uint32_t bestSlot = kNone;
    double best = kInf;
    // A search over many numbers looks around the point first: mostly
    // the nearest lies there and the tree is not read at all. What it
    // found bounds the tree's search otherwise.
    if (!m_cellFirst.empty() && khi >= klo && khi - klo >= m_cellKeys && NearestInCells(x, y, klo, khi, bestKey, bestSlot, best))
        return {bestKey, bestSlot};
    m_stack.clear();
    if (!m_node.empty())
        m_stack.push_back({0, 0.0});
    while (!m_stack.empty()) {
        const auto [k, bound] = m_stack.back();
        m_stack.pop_back();
        // No point in the box lies nearer than the box itself (the same
        // rounded formula, which is monotonic in each difference); the
        // bound is known without reading the node.
        if (bestKey != kNone && bound > best)
            continue;
        const Node& nd = m_node[k];
        const std::uint32_t live = nd.left == kNone ? m_leafMask[nd.leaf] : nd.alive;
        if (live == 0 || nd.keyMax < klo || nd.keyMin > khi)
            continue;
        if (bestKey != kNone && bound == best && nd.keyMin >= bestKey)
            continue;
        if (nd.left == kNone) {
            for (std::uint32_t i = nd.lo; i < nd.hi; ++i) {
                const Item& it = m_items[i];
                if ((live >> (i - nd.lo) & 1u) == 0 || it.key < klo || it.key > khi)
                    continue;
                const double d = Dist2(Dot{it.x, it.y}, x, y);
                if (bestKey == kNone || d < best || (d == best && it.key < bestKey)) {
                    best = d;
                    bestKey = it.key;
                    bestSlot = it.slot;
                }
            }
            continue;
        }
        // The nearer child is looked at first (pushed last).
        const double dl = BoxDist2(m_node[nd.left].box, x, y);
        const double dr = BoxDist2(m_node[nd.left + 1].box, x, y);
        if (dl <= dr) {
            m_stack.push_back({nd.left + 1, dr});
            m_stack.push_back({nd.left, dl});
        } else {
            m_stack.push_back({nd.left, dl});
            m_stack.push_back({nd.left + 1, dr});
        }
    }
    return {bestKey, bestSlot};
}

std::vector<std::uint32_t> EntryTree::BuildCells()
{
    const std::size_t n = m_items.size();
    if (n < kCellsFrom)
        return {};
    const Box& b = m_node[0].box;
    const double w = b.xmax - b.xmin, h = b.ymax - b.ymin;
    const double cell = std::sqrt(w * h * kPointsPerCell / static_cast<double>(n));
    if (!(cell > 0.0) || !std::isfinite(cell))
        return {}; // the points lie on a line: the tree alone
    const double cols = std::floor(w / cell) + 1.0, rows = std::floor(h / cell) + 1.0;
    if (cols * rows > 2.0 * static_cast<double>(n))
        return {}; // too long and thin for square cells
    m_cols = static_cast<std::uint32_t>(cols);
    m_rows = static_cast<std::uint32_t>(rows);
    m_x0 = b.xmin;
    m_y0 = b.ymin;
    m_cell = cell;
    m_inv = 1.0 / cell;
    // Far more than rounding moves a point's cell or a cell's edge.
    m_slack = 1e-9 * (std::fabs(b.xmin) + std::fabs(b.ymin) + w + h + cell);
    m_cellKeys = static_cast<std::uint32_t>(m_keyOfSlot.size() / 4);
    std::vector<std::uint32_t> at(n);
    m_cellFirst.assign(std::size_t{m_cols} * m_rows + 1, 0);
    for (std::size_t i = 0; i < n; ++i) {
        at[i] = CellOf(m_items[i].x, m_items[i].y);
        ++m_cellFirst[at[i] + 1];
    }
    for (std::size_t c = 0; c + 1 < m_cellFirst.size(); ++c)
        m_cellFirst[c + 1] += m_cellFirst[c];
    m_cellKey.resize(n);
    m_cellDot.resize(n);
    std::vector<std::uint32_t> fill(m_cellFirst.begin(), m_cellFirst.end() - 1);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t j = fill[at[i]]++;
        m_cellKey[j] = {m_items[i].key, m_items[i].slot};
        m_cellDot[j] = {m_items[i].x, m_items[i].y};
        at[i] = j;
    }
    return at;
}

bool EntryTree::NearestInCells(double x, double y, std::uint32_t klo, std::uint32_t khi, std::uint32_t& bestKey,
                               std::uint32_t& bestSlot, double& best) const
{
    const std::uint32_t qc = Col(x), qr = Row(y);
    // The cells of a row next to each other hold one run of points.
    auto scan = [&](std::uint32_t row, std::uint32_t c0, std::uint32_t c1) {
        const std::uint32_t first = row * m_cols;
        for (std::uint32_t i = m_cellFirst[first + c0], end = m_cellFirst[first + c1 + 1]; i < end; ++i) {
            const std::uint32_t key = m_cellKey[i].key;
            if (key == kNone || key < klo || key > khi)
                continue;
            const double d = Dist2(m_cellDot[i], x, y);
            if (bestKey == kNone || d < best || (d == best && key < bestKey)) {
                best = d;
                bestKey = key;
                bestSlot = m_cellKey[i].slot;
            }
        }
    };
    std::uint32_t pc0 = 1, pc1 = 0, pr0 = 1, pr1 = 0; // the cells looked at: none yet
    for (std::uint32_t ring = 1; ring <= kRings; ++ring) {
        const std::uint32_t c0 = qc > ring ? qc - ring : 0, c1 = std::min(m_cols - 1, qc + ring);
        const std::uint32_t r0 = qr > ring ? qr - ring : 0, r1 = std::min(m_rows - 1, qr + ring);
        for (std::uint32_t row = r0; row <= r1; ++row) {
            if (row < pr0 || row > pr1 || pc0 > pc1) {
                scan(row, c0, c1);
                continue;
            }
            if (c0 < pc0)
                scan(row, c0, pc0 - 1);
            if (c1 > pc1)
                scan(row, pc1 + 1, c1);
        }
        pc0 = c0, pc1 = c1, pr0 = r0, pr1 = r1;
        // Every point outside lies beyond an edge of the cells looked at
        // that is not the grid's own.
        double gap = kInf;
        if (c0 > 0)
            gap = std::min(gap, x - (m_x0 + c0 * m_cell));
        if (c1 + 1 < m_cols)
            gap = std::min(gap, m_x0 + (c1 + 1) * m_cell - x);
        if (r0 > 0)
            gap = std::min(gap, y - (m_y0 + r0 * m_cell));
        if (r1 + 1 < m_rows)
            gap = std::min(gap, m_y0 + (r1 + 1) * m_cell - y);
        gap -= m_slack;
        if (gap == kInf || (bestKey != kNone && gap > 0.0 && best < gap * gap * (1.0 - 1e-9)))
            return true;
    }
    return false;
}

} // namespace plat::optimised
