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
// Entries are not removed one by one: a query drops, on its way, the entries
// whose index the caller's `alive` test rejects, since in every user an entry
// once dead stays dead. Entries with a NaN coordinate are never filed (no
// comparison can place them); infinite coordinates are filed at the edge.
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <vector>

namespace plat {

class SpatialGrid {
public:
    static constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

    // `cell` is the side of the square cells; a value that is not a positive
    // number takes 1. An infinite side puts every entry in one cell.
    // `expected` is the number of entries about to be added.
    SpatialGrid(double cell, std::size_t expected);

    void AddPoint(double x, double y, std::uint32_t index) { AddBox(x, x, y, y, index); }
    void AddBox(double xmin, double xmax, double ymin, double ymax, std::uint32_t index);

    // Calls visit(index) once for every entry whose box may meet the closed
    // rectangle and that `alive` accepts, in no particular order. Every
    // entry that does meet it is visited; the caller applies its own exact
    // test. Nothing for a rectangle with a NaN bound.
    template <typename Alive, typename Visit>
    void ForEachInRect(double xmin, double xmax, double ymin, double ymax, Alive alive, Visit visit);

    // For point entries added in rising index order: the earliest index
    // above `after` whose point lies strictly within `dist` of (x, y) in x
    // and in y and that `usable` accepts; kNone when none. A cell's entries
    // are in index order, so each cell stops at its first match.
    template <typename Alive, typename Usable>
    std::uint32_t FindEarliest(double x, double y, double dist, std::uint32_t after, Alive alive, Usable usable);

    // A cell side for boxes of these sizes: their median (sizes that are
    // not positive finite numbers left out), so that a typical box meets a
    // few cells; 1 when no size is usable.
    static double MedianCell(std::vector<double> sizes);

private:
    struct Key {
        std::int64_t x;
        std::int64_t y;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const
        {
            const std::uint64_t h = static_cast<std::uint64_t>(k.x) * 0x9E3779B97F4A7C15ull;
            return static_cast<std::size_t>(h ^ (static_cast<std::uint64_t>(k.y) + 0x632BE59BD9B4E019ull +
                                                 (h << 6) + (h >> 2)));
        }
    };
    struct Entry {
        double xmin;
        double xmax;
        double ymin;
        double ymax;
        std::uint32_t index;
        std::uint32_t stamp; // number of the last query that visited it
    };
    using Slots = std::vector<std::uint32_t>; // positions in m_entries

    // A box meeting more cells than this is kept in one list that every
    // query looks through.
    static constexpr double kMaxCellsPerEntry = 64.0;

    std::int64_t CellOf(double v) const;
    bool MaybeOccupied(const Key& key) const
    {
        const std::size_t slot = KeyHash{}(key) & m_mask;
        return (m_occupied[slot / 64] & (std::uint64_t{1} << (slot % 64))) != 0;
    }
    // Drops the dead slots of a list and calls visit on the live ones that
    // this query has not seen yet.
    template <typename Alive, typename Visit>
    void Sweep(Slots& slots, Alive& alive, Visit& visit);

    double m_cell;
    std::vector<Entry> m_entries;
    std::unordered_map<Key, Slots, KeyHash> m_cells;
    Slots m_oversize;
    // Most cells looked at are empty; a bit per hash slot answers those
    // without touching the map.
    std::vector<std::uint64_t> m_occupied;
    std::size_t m_mask = 0;
    std::uint32_t m_query = 0;
};

template <typename Alive, typename Visit>
void SpatialGrid::Sweep(Slots& slots, Alive& alive, Visit& visit)
{
    std::size_t keep = 0;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        Entry& e = m_entries[slots[i]];
        if (!alive(e.index))
            continue;
        slots[keep++] = slots[i];
        if (e.stamp == m_query)
            continue;
        e.stamp = m_query;
        visit(e.index);
    }
    slots.resize(keep);
}

template <typename Alive, typename Visit>
void SpatialGrid::ForEachInRect(double xmin, double xmax, double ymin, double ymax, Alive alive, Visit visit)
{
    if (std::isnan(xmin) || std::isnan(xmax) || std::isnan(ymin) || std::isnan(ymax))
        return;
    if (++m_query == 0) {
        // The stamps wrapped: forget them all.
        for (Entry& e : m_entries)
            e.stamp = 0;
        m_query = 1;
    }
    Sweep(m_oversize, alive, visit);
    const std::int64_t x0 = CellOf(xmin), x1 = CellOf(xmax);
    const std::int64_t y0 = CellOf(ymin), y1 = CellOf(ymax);
    if (x1 < x0 || y1 < y0)
        return;
    const double covered = (static_cast<double>(x1 - x0) + 1.0) * (static_cast<double>(y1 - y0) + 1.0);
    if (covered > static_cast<double>(m_cells.size())) {
        // A rectangle over more cells than are occupied: walk the occupied ones.
        for (auto& [key, slots] : m_cells) {
            if (key.x >= x0 && key.x <= x1 && key.y >= y0 && key.y <= y1)
                Sweep(slots, alive, visit);
        }
        return;
    }
    for (std::int64_t cx = x0; cx <= x1; ++cx) {
        for (std::int64_t cy = y0; cy <= y1; ++cy) {
            const Key key{cx, cy};
            if (!MaybeOccupied(key))
                continue;
            auto it = m_cells.find(key);
            if (it != m_cells.end())
                Sweep(it->second, alive, visit);
        }
    }
}

template <typename Alive, typename Usable>
std::uint32_t SpatialGrid::FindEarliest(double x, double y, double dist, std::uint32_t after, Alive alive,
                                        Usable usable)
{
    if (!std::isfinite(x) || !std::isfinite(y) || std::isnan(dist))
        return kNone;
    // Division and floor are monotonic, so a point strictly within the
    // distance of the query never falls outside the cells of query -/+ it.
    const std::int64_t x0 = CellOf(x - dist), x1 = CellOf(x + dist);
    const std::int64_t y0 = CellOf(y - dist), y1 = CellOf(y + dist);
    std::uint32_t best = kNone;
    auto searchCell = [&](Slots& slots) {
        std::size_t keep = 0;
        std::size_t i = 0;
        for (; i < slots.size(); ++i) {
            const Entry& e = m_entries[slots[i]];
            if (e.index <= after || !alive(e.index))
                continue;
            slots[keep++] = slots[i];
            if (e.index < best && std::fabs(e.xmin - x) < dist && std::fabs(e.ymin - y) < dist &&
                usable(e.index)) {
                best = e.index;
                ++i;
                break;
            }
        }
        for (; i < slots.size(); ++i)
            slots[keep++] = slots[i];
        slots.resize(keep);
    };
    const double covered = (static_cast<double>(x1 - x0) + 1.0) * (static_cast<double>(y1 - y0) + 1.0);
    if (covered > static_cast<double>(m_cells.size())) {
        for (auto& [key, slots] : m_cells) {
            if (key.x >= x0 && key.x <= x1 && key.y >= y0 && key.y <= y1)
                searchCell(slots);
        }
        return best;
    }
    for (std::int64_t cx = x0; cx <= x1; ++cx) {
        for (std::int64_t cy = y0; cy <= y1; ++cy) {
            const Key key{cx, cy};
            if (!MaybeOccupied(key))
                continue;
            auto it = m_cells.find(key);
            if (it != m_cells.end())
                searchCell(it->second);
        }
    }
    return best;
}

} // namespace plat
