// A hash grid over the plane for the processing steps that look for
// neighbours among many points or boxes: curve ends that meet, boxes lying
// within or around another. Entries are boxes (a point is a box without
// extent) carrying an index of the caller's choosing; each is filed in every
// cell it meets, so a query looks only at the cells its rectangle meets.
//
// Answers are exact whatever the cell size: cells are numbered by a
// monotonic function of the coordinate, so an entry meeting a rectangle
// always shares a cell with it. The cell size only decides the speed: about
// the size of the entries, or of the distance a point query reaches.
//
// Entries are added first; Build (or the first query) files them into one
// array grouped by cell (in the order they were added within a cell) behind
// an open-addressing table of the cells: no allocation per cell, and a bit
// field indexed by the cell's hash answers most of the empty cells a query
// looks at without touching the table. Adding after a query files every
// entry again at the next query: cheap for a few additions, not for many.
//
// Entries are not removed one by one: ForEachInRect and FindEarliest drop,
// on their way, the entries whose index the caller's `alive` test rejects,
// since in every user an entry once dead stays dead. Entries with a NaN
// coordinate are never filed (no comparison can place them); infinite
// coordinates are filed at the edge.
//
// A caller that does not mind in which order the cells of a rectangle over
// more cells than the grid holds are visited may let a compact drawing be
// filed in a plain array of cells instead of the table: neighbouring cells
// then lie side by side in memory, and no query hashes.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace plat {

class SpatialGrid {
public:
    static constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

    // `cell` is the side of the square cells; a value that is not a positive
    // number takes 1. An infinite side puts every entry in one cell.
    // `expected` is the number of entries about to be added. `anyOrder`
    // allows the plain array of cells (see above).
    SpatialGrid(double cell, std::size_t expected, bool anyOrder = false);

    void AddPoint(double x, double y, std::uint32_t index) { AddBox(x, x, y, y, index); }
    void AddBox(double xmin, double xmax, double ymin, double ymax, std::uint32_t index);

    // Files the entries added so far; a large grid in pieces side by side
    // (on this thread alone when called from inside plat::ParallelFor).
    void Build();

    // Calls visit(index) once for every entry whose box may meet the closed
    // rectangle and that `alive` accepts, in no particular order. Every
    // entry that does meet it is visited; the caller applies its own exact
    // test. Nothing for a rectangle with a NaN bound.
    template <typename Alive, typename Visit>
    void ForEachInRect(double xmin, double xmax, double ymin, double ymax, Alive alive, Visit visit);

    // As ForEachInRect, but it changes nothing, so that several threads may
    // query a built grid at once: dead entries are passed over, not dropped.
    // An entry filed in several cells is visited in the first of them the
    // rectangle meets. Only after Build, with no other call running.
    template <typename Alive, typename Visit>
    void ForEachInRectShared(double xmin, double xmax, double ymin, double ymax, Alive alive, Visit visit) const;

    // For point entries added in rising index order: the earliest index
    // above `after` whose point lies strictly within `dist` of (x, y) in x
    // and in y and that `usable` accepts; kNone when none. A cell's entries
    // are in index order, so each cell stops at its first match.
    template <typename Alive, typename Usable>
    std::uint32_t FindEarliest(double x, double y, double dist, std::uint32_t after, Alive alive, Usable usable);

    // For entries added in rising index order: the earliest index above
    // `after` (and below `before`) among the entries whose box may hold the
    // point (x, y) that `alive` and `accept` accept; kNone when none. Only
    // the point's cell is looked at, from its first index above `after` up
    // to its first match. Once built, it changes nothing: several threads
    // may search at once.
    template <typename Alive, typename Accept>
    std::uint32_t FindEarliestAround(double x, double y, std::uint32_t after, Alive alive, Accept accept,
                                     std::uint32_t before = kNone);

    // A cell side for boxes of these sizes: their median (sizes that are
    // not positive finite numbers left out), so that a typical box meets a
    // few cells; 1 when no size is usable.
    static double MedianCell(std::vector<double> sizes);

private:
    // The rectangle entries are tested against. An inverted one meets
    // nothing; it is not used to pass over entries either, so a caller's own
    // test still sees what it saw.
    struct Reach {
        double xmin, xmax, ymin, ymax;
    };
    static Reach ReachOf(double xmin, double xmax, double ymin, double ymax)
    {
        constexpr double kInf = std::numeric_limits<double>::infinity();
        if (xmin <= xmax && ymin <= ymax)
            return {xmin, xmax, ymin, ymax};
        return {-kInf, kInf, -kInf, kInf};
    }
    struct Key {
        std::int64_t x = 0;
        std::int64_t y = 0;
        bool operator==(const Key&) const = default;
    };
    struct Entry {
        double xmin;
        double xmax;
        double ymin;
        double ymax;
        std::uint32_t index;
        std::uint32_t stamp; // number of the last query that visited it
    };
    // What a cell holds of an entry: its lower-left corner and index for the
    // point queries, and its place in m_entries with two flags in the top
    // bits, so that a query reads the entry itself only when it must.
    struct Item {
        // Left unset when made in bulk: Build writes every item it files.
        Item() noexcept {}
        Item(double x_, double y_, std::uint32_t index_, std::uint32_t entry_)
            : x(x_), y(y_), index(index_), entry(entry_)
        {
        }
        double x;
        double y;
        std::uint32_t index;
        std::uint32_t entry;
    };
    static constexpr std::uint32_t kMultiFlag = 0x80000000u; // filed in more than one cell
    static constexpr std::uint32_t kPointFlag = 0x40000000u; // a box without extent
    static constexpr std::uint32_t kEntryMask = 0x3FFFFFFFu; // 2^30 entries would take 48 GB
    struct Slot {
        Key key;
        std::uint32_t begin = 0;
        std::uint32_t end = 0;
        bool used = false;
    };
    // A box meeting more cells than this is kept in one list that every
    // query looks through.
    static constexpr double kMaxCellsPerEntry = 64.0;

    static std::size_t Hash(const Key& k)
    {
        std::uint64_t h = static_cast<std::uint64_t>(k.x) * 0x9E3779B97F4A7C15ull ^
                          static_cast<std::uint64_t>(k.y) * 0xC2B2AE3D27D4EB4Full;
        h ^= h >> 29;
        h *= 0xBF58476D1CE4E5B9ull;
        h ^= h >> 32;
        return static_cast<std::size_t>(h);
    }
    std::int64_t CellOf(double v) const;
    struct CellRange {
        std::int64_t x0, x1, y0, y1;
    };
    CellRange CellsOf(const Entry& e) const { return {CellOf(e.xmin), CellOf(e.xmax), CellOf(e.ymin), CellOf(e.ymax)}; }
    // The filed form of entry k, filed in `cells` cells.
    Item ItemOf(std::size_t k, std::uint8_t cells) const;
    Slot* Find(const Key& key);
    const Slot* Find(const Key& key) const { return const_cast<SpatialGrid*>(this)->Find(key); }
    void BuildDense(const std::vector<std::uint8_t>& spread, std::size_t filings, std::int64_t x0, std::int64_t x1,
                    std::int64_t y0, std::int64_t y1, std::size_t pieces);
    // Narrows a range of cells to those of the plain array; false when
    // none is left. The table keeps every range as it is.
    bool Clip(std::int64_t& x0, std::int64_t& x1, std::int64_t& y0, std::int64_t& y1) const
    {
        if (!m_dense)
            return true;
        x0 = std::max(x0, m_denseX0);
        x1 = std::min(x1, m_denseX0 + m_denseNx - 1);
        y0 = std::max(y0, m_denseY0);
        y1 = std::min(y1, m_denseY0 + m_denseNy - 1);
        return x0 <= x1 && y0 <= y1;
    }
    // The filed cells a rectangle meets; false when there are none.
    bool CellsMet(double xmin, double xmax, double ymin, double ymax, CellRange& c) const
    {
        c = {CellOf(xmin), CellOf(xmax), CellOf(ymin), CellOf(ymax)};
        return c.x0 <= c.x1 && c.y0 <= c.y1 && Clip(c.x0, c.x1, c.y0, c.y1);
    }
    void EnsureBuilt()
    {
        if (m_filed != m_entries.size())
            Build();
    }
    // Drops the dead items of a range, calls visit on the live ones that
    // this query has not seen yet; returns the new end of the range.
    template <typename Alive, typename Visit>
    std::uint32_t Sweep(std::uint32_t begin, std::uint32_t end, double xmin, double xmax, double ymin, double ymax,
                        Alive& alive, Visit& visit);

    // Calls fn on every cell in use within a range of cells, the range
    // already narrowed to the plain array's.
    template <typename Self, typename Fn>
    static void ForEachCell(Self& self, std::int64_t x0, std::int64_t x1, std::int64_t y0, std::int64_t y1, Fn fn)
    {
        if (self.m_dense) {
            // Columns of cells lie side by side: no lookup per cell.
            for (std::int64_t cx = x0; cx <= x1; ++cx) {
                auto* column = self.m_slots.data() + (cx - self.m_denseX0) * self.m_denseNy;
                for (std::int64_t cy = y0 - self.m_denseY0; cy <= y1 - self.m_denseY0; ++cy) {
                    if (column[cy].used)
                        fn(column[cy]);
                }
            }
            return;
        }
        const double covered = (static_cast<double>(x1 - x0) + 1.0) * (static_cast<double>(y1 - y0) + 1.0);
        if (covered > static_cast<double>(self.m_slots.size())) {
            // A rectangle over more cells than the table holds: walk the table.
            for (auto& s : self.m_slots) {
                if (s.used && s.key.x >= x0 && s.key.x <= x1 && s.key.y >= y0 && s.key.y <= y1)
                    fn(s);
            }
            return;
        }
        for (std::int64_t cx = x0; cx <= x1; ++cx) {
            for (std::int64_t cy = y0; cy <= y1; ++cy) {
                if (auto* s = self.Find(Key{cx, cy}))
                    fn(*s);
            }
        }
    }
    template <typename Alive, typename Visit>
    void Resweep(Slot& s, double xmin, double xmax, double ymin, double ymax, Alive& alive, Visit& visit)
    {
        const std::uint32_t end = Sweep(s.begin, s.end, xmin, xmax, ymin, ymax, alive, visit);
        if (end != s.end)
            s.end = end;
    }

    double m_cell;
    std::vector<Entry> m_entries;
    std::size_t m_filed = 0; // entries filed by the last Build
    std::vector<Item> m_items;
    std::vector<Slot> m_slots;
    std::vector<std::uint32_t> m_oversize; // places in m_entries
    std::vector<std::uint64_t> m_occupied;
    std::size_t m_mask = 0;
    std::size_t m_bitMask = 0;
    std::uint32_t m_query = 0;
    bool m_anyOrder = false;
    // The plain array of cells: m_slots holds m_denseNx columns of
    // m_denseNy cells from cell (m_denseX0, m_denseY0).
    bool m_dense = false;
    std::int64_t m_denseX0 = 0;
    std::int64_t m_denseY0 = 0;
    std::int64_t m_denseNx = 0;
    std::int64_t m_denseNy = 0;
};

template <typename Alive, typename Visit>
std::uint32_t SpatialGrid::Sweep(std::uint32_t begin, std::uint32_t end, double xmin, double xmax, double ymin,
                                 double ymax, Alive& alive, Visit& visit)
{
    // Items are moved down only once one has been dropped: a cell without
    // dead entries is read, not written.
    std::uint32_t keep = begin;
    for (std::uint32_t i = begin; i < end; ++i) {
        const Item item = m_items[i];
        // An entry whose lower-left corner lies above or right of the
        // rectangle cannot meet it, nor a point outside it: passed over
        // without asking the caller whether it lives.
        const bool outside = item.x > xmax || item.y > ymax ||
                             ((item.entry & kPointFlag) != 0 && (item.x < xmin || item.y < ymin));
        if (!outside && !alive(item.index))
            continue;
        if (keep != i)
            m_items[keep] = item;
        ++keep;
        if (outside)
            continue;
        if ((item.entry & kMultiFlag) != 0) {
            Entry& e = m_entries[item.entry & kEntryMask];
            if (e.stamp == m_query)
                continue;
            e.stamp = m_query;
        }
        visit(item.index);
    }
    return keep;
}

template <typename Alive, typename Visit>
void SpatialGrid::ForEachInRect(double xmin, double xmax, double ymin, double ymax, Alive alive, Visit visit)
{
    if (std::isnan(xmin) || std::isnan(xmax) || std::isnan(ymin) || std::isnan(ymax))
        return;
    EnsureBuilt();
    if (++m_query == 0) {
        // The stamps wrapped: forget them all.
        for (Entry& e : m_entries)
            e.stamp = 0;
        m_query = 1;
    }
    const Reach r = ReachOf(xmin, xmax, ymin, ymax);
    std::size_t keep = 0;
    for (std::uint32_t place : m_oversize) {
        Entry& e = m_entries[place];
        if (!alive(e.index))
            continue;
        m_oversize[keep++] = place;
        visit(e.index);
    }
    m_oversize.resize(keep);
    if (m_slots.empty())
        return;
    CellRange c;
    if (!CellsMet(xmin, xmax, ymin, ymax, c))
        return;
    ForEachCell(*this, c.x0, c.x1, c.y0, c.y1, [&](Slot& s) { Resweep(s, r.xmin, r.xmax, r.ymin, r.ymax, alive, visit); });
}

template <typename Alive, typename Visit>
void SpatialGrid::ForEachInRectShared(double xmin, double xmax, double ymin, double ymax, Alive alive,
                                      Visit visit) const
{
    if (std::isnan(xmin) || std::isnan(xmax) || std::isnan(ymin) || std::isnan(ymax))
        return;
    const Reach r = ReachOf(xmin, xmax, ymin, ymax);
    for (std::uint32_t place : m_oversize) {
        const std::uint32_t index = m_entries[place].index;
        if (alive(index))
            visit(index);
    }
    if (m_slots.empty())
        return;
    CellRange c;
    if (!CellsMet(xmin, xmax, ymin, ymax, c))
        return;
    auto sweep = [&](const Slot& s) {
        for (std::uint32_t i = s.begin; i < s.end; ++i) {
            const Item& item = m_items[i];
            if (item.x > r.xmax || item.y > r.ymax ||
                ((item.entry & kPointFlag) != 0 && (item.x < r.xmin || item.y < r.ymin)))
                continue;
            // The first cell of the entry's that the rectangle meets: its
            // lower-left corner's cell, or the rectangle's edge.
            if ((item.entry & kMultiFlag) != 0 &&
                (std::max(CellOf(item.x), c.x0) != s.key.x || std::max(CellOf(item.y), c.y0) != s.key.y))
                continue;
            if (alive(item.index))
                visit(item.index);
        }
    };
    ForEachCell(*this, c.x0, c.x1, c.y0, c.y1, sweep);
}

template <typename Alive, typename Usable>
std::uint32_t SpatialGrid::FindEarliest(double x, double y, double dist, std::uint32_t after, Alive alive,
                                        Usable usable)
{
    if (!std::isfinite(x) || !std::isfinite(y) || std::isnan(dist))
        return kNone;
    EnsureBuilt();
    if (m_slots.empty())
        return kNone;
    // Division and floor are monotonic, so a point strictly within the
    // distance of the query never falls outside the cells of query -/+ it.
    std::int64_t x0 = CellOf(x - dist), x1 = CellOf(x + dist);
    std::int64_t y0 = CellOf(y - dist), y1 = CellOf(y + dist);
    std::uint32_t best = kNone;
    if (!Clip(x0, x1, y0, y1))
        return kNone;
    auto searchCell = [&](Slot& slot) {
        std::uint32_t keep = slot.begin;
        std::uint32_t i = slot.begin;
        for (; i < slot.end; ++i) {
            const Item& e = m_items[i];
            if (e.index <= after || !alive(e.index))
                continue;
            m_items[keep++] = e;
            // The first match of a cell is its earliest.
            if (e.index < best && std::fabs(e.x - x) < dist && std::fabs(e.y - y) < dist && usable(e.index)) {
                best = e.index;
                ++i;
                break;
            }
        }
        for (; i < slot.end; ++i)
            m_items[keep++] = m_items[i];
        slot.end = keep;
    };
    const double covered = (static_cast<double>(x1 - x0) + 1.0) * (static_cast<double>(y1 - y0) + 1.0);
    if (covered > static_cast<double>(m_slots.size())) {
        for (Slot& s : m_slots) {
            if (s.used && s.key.x >= x0 && s.key.x <= x1 && s.key.y >= y0 && s.key.y <= y1)
                searchCell(s);
        }
        return best;
    }
    for (std::int64_t cx = x0; cx <= x1; ++cx) {
        for (std::int64_t cy = y0; cy <= y1; ++cy) {
            if (Slot* s = Find(Key{cx, cy}))
                searchCell(*s);
        }
    }
    return best;
}

template <typename Alive, typename Accept>
std::uint32_t SpatialGrid::FindEarliestAround(double x, double y, std::uint32_t after, Alive alive, Accept accept,
                                              std::uint32_t before)
{
    if (std::isnan(x) || std::isnan(y))
        return kNone;
    EnsureBuilt();
    std::uint32_t best = before;
    // The oversized entries are in index order too.
    auto first = std::upper_bound(m_oversize.begin(), m_oversize.end(), after,
                                  [this](std::uint32_t a, std::uint32_t place) { return a < m_entries[place].index; });
    for (auto it = first; it != m_oversize.end() && m_entries[*it].index < best; ++it) {
        const std::uint32_t index = m_entries[*it].index;
        if (alive(index) && accept(index)) {
            best = index;
            break;
        }
    }
    const auto found = [&] { return best == before ? kNone : best; };
    if (m_slots.empty())
        return found();
    Slot* s = Find(Key{CellOf(x), CellOf(y)});
    if (s == nullptr)
        return found();
    // Dead items stay in place: the cell keeps its index order for the search.
    auto from = std::upper_bound(m_items.begin() + s->begin, m_items.begin() + s->end, after,
                                 [](std::uint32_t a, const Item& item) { return a < item.index; });
    for (auto it = from; it != m_items.begin() + s->end && it->index < best; ++it) {
        // A box whose lower-left corner lies right of or above the point
        // cannot hold it: passed over without asking the caller.
        if (it->x > x || it->y > y)
            continue;
        if (alive(it->index) && accept(it->index))
            return it->index;
    }
    return found();
}

} // namespace plat
