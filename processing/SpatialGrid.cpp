#include "SpatialGrid.h"

#include "platform/ParallelFor.h"

#include <algorithm>
#include <limits>

namespace plat {

namespace {

// Below this many entries a grid is filed on one thread: starting the
// others costs more than it saves.
constexpr std::size_t kSideBySide = 65536;

// Runs fn(0) .. fn(pieces - 1), side by side when there are several.
void RunPieces(std::size_t pieces, const std::function<void(std::size_t)>& fn)
{
    if (pieces > 1)
        ParallelFor(pieces, fn);
    else if (pieces == 1)
        fn(0);
}

} // namespace

SpatialGrid::SpatialGrid(double cell, std::size_t expected, bool anyOrder)
    : m_cell(cell > 0.0 ? cell : 1.0), m_anyOrder(anyOrder)
{
    m_entries.reserve(expected);
}

double SpatialGrid::MedianCell(std::vector<double> sizes)
{
    sizes.erase(std::remove_if(sizes.begin(), sizes.end(), [](double s) { return !(s > 0.0 && std::isfinite(s)); }),
                sizes.end());
    if (sizes.empty())
        return 1.0;
    std::nth_element(sizes.begin(), sizes.begin() + static_cast<std::ptrdiff_t>(sizes.size() / 2), sizes.end());
    return sizes[sizes.size() / 2];
}

std::int64_t SpatialGrid::CellOf(double v) const
{
    constexpr double kLimit = 1e15;
    double c = std::floor(v / m_cell);
    // An infinite cell makes every coordinate meet every other: one cell
    // holds them all (infinity / infinity).
    if (std::isnan(c))
        return 0;
    if (c > kLimit)
        c = kLimit;
    else if (c < -kLimit)
        c = -kLimit;
    return static_cast<std::int64_t>(c);
}

void SpatialGrid::AddBox(double xmin, double xmax, double ymin, double ymax, std::uint32_t index)
{
    if (std::isnan(xmin) || std::isnan(xmax) || std::isnan(ymin) || std::isnan(ymax))
        return;
    m_entries.push_back(Entry{xmin, xmax, ymin, ymax, index, 0});
}

SpatialGrid::Slot* SpatialGrid::Find(const Key& key)
{
    if (m_dense) {
        const std::int64_t cx = key.x - m_denseX0, cy = key.y - m_denseY0;
        if (cx < 0 || cx >= m_denseNx || cy < 0 || cy >= m_denseNy)
            return nullptr;
        Slot& s = m_slots[static_cast<std::size_t>(cx * m_denseNy + cy)];
        return s.used ? &s : nullptr;
    }
    const std::size_t hash = Hash(key);
    const std::size_t bit = hash & m_bitMask;
    if ((m_occupied[bit / 64] & (std::uint64_t{1} << (bit % 64))) == 0)
        return nullptr;
    for (std::size_t s = hash & m_mask; m_slots[s].used; s = (s + 1) & m_mask) {
        if (m_slots[s].key == key)
            return &m_slots[s];
    }
    return nullptr;
}

void SpatialGrid::Build()
{
    // Filed in two passes over plain arrays: the first numbers the cells in
    // the order they are first met and counts their entries, the second
    // writes each entry into its cell's range. Within a cell the entries
    // keep the order they were added in, which the earliest-index searches
    // rely on; where the ranges lie in m_items is nobody's business.
    m_oversize.clear();
    // How many cells each entry is filed in (0: the oversized list); one
    // pass, which threads did not speed up.
    std::vector<std::uint8_t> spread(m_entries.size(), 0);
    constexpr std::int64_t kFar = std::numeric_limits<std::int64_t>::max();
    std::size_t filings = 0;
    std::int64_t bx0 = kFar, bx1 = -kFar, by0 = kFar, by1 = -kFar;
    for (std::size_t k = 0; k < m_entries.size(); ++k) {
        Entry& e = m_entries[k];
        e.stamp = 0;
        const auto [x0, x1, y0, y1] = CellsOf(e);
        const double covered = (static_cast<double>(x1 - x0) + 1.0) * (static_cast<double>(y1 - y0) + 1.0);
        // An inverted box meets no rectangle, but a caller's own test (lies
        // within) may still accept it: it goes where every query looks.
        if (x1 < x0 || y1 < y0 || covered > kMaxCellsPerEntry) {
            m_oversize.push_back(static_cast<std::uint32_t>(k));
            continue;
        }
        spread[k] = static_cast<std::uint8_t>(covered);
        filings += static_cast<std::size_t>(covered);
        bx0 = std::min(bx0, x0);
        bx1 = std::max(bx1, x1);
        by0 = std::min(by0, y0);
        by1 = std::max(by1, y1);
    }
    m_query = 0;
    m_filed = m_entries.size();
    m_dense = false;
    if (filings == 0) {
        m_slots.clear();
        m_items.clear();
        return;
    }
    // The plain array when its cells are not many more than the items.
    const double area = (static_cast<double>(bx1 - bx0) + 1.0) * (static_cast<double>(by1 - by0) + 1.0);
    if (m_anyOrder && area <= 2.0 * static_cast<double>(filings) + 1024.0) {
        BuildDense(spread, filings, bx0, bx1, by0, by1, m_entries.size() >= kSideBySide ? 8 : 1);
        return;
    }
    // The table is sized by the cells in use, not by the items: a cell often
    // holds many, and a table as large as the items spends the time in
    // cache misses. It starts from a guess and doubles at half full. While
    // filing, a slot's begin holds its cell's number.
    std::size_t slots = 16;
    while (slots < filings / 8)
        slots *= 2;
    m_slots.assign(slots, Slot{});
    m_mask = slots - 1;
    auto place = [this](const Key& key) {
        std::size_t s = Hash(key) & m_mask;
        while (m_slots[s].used && !(m_slots[s].key == key))
            s = (s + 1) & m_mask;
        return s;
    };
    std::vector<std::uint32_t> cellNumbers; // per filing, in entry order
    cellNumbers.reserve(filings);
    std::vector<std::uint32_t> counts;
    for (std::size_t k = 0; k < m_entries.size(); ++k) {
        if (spread[k] == 0)
            continue;
        const auto [x0, x1, y0, y1] = CellsOf(m_entries[k]);
        for (std::int64_t cx = x0; cx <= x1; ++cx) {
            for (std::int64_t cy = y0; cy <= y1; ++cy) {
                const Key key{cx, cy};
                std::size_t s = place(key);
                if (!m_slots[s].used) {
                    if ((counts.size() + 1) * 2 > m_slots.size()) {
                        std::vector<Slot> old(m_slots.size() * 2, Slot{});
                        old.swap(m_slots);
                        m_mask = m_slots.size() - 1;
                        for (const Slot& o : old) {
                            if (o.used)
                                m_slots[place(o.key)] = o;
                        }
                        s = place(key);
                    }
                    m_slots[s].used = true;
                    m_slots[s].key = key;
                    m_slots[s].begin = static_cast<std::uint32_t>(counts.size());
                    counts.push_back(0);
                }
                ++counts[m_slots[s].begin];
                cellNumbers.push_back(m_slots[s].begin);
            }
        }
    }
    // About sixteen bits per cell: most empty cells find their bit clear.
    std::size_t bits = 64;
    while (bits < counts.size() * 16)
        bits *= 2;
    m_occupied.assign(bits / 64, 0);
    m_bitMask = bits - 1;
    // counts becomes each cell's next free place.
    std::uint32_t next = 0;
    for (std::uint32_t& c : counts) {
        const std::uint32_t size = c;
        c = next;
        next += size;
    }
    for (Slot& slot : m_slots) {
        if (!slot.used)
            continue;
        const std::uint32_t number = slot.begin;
        slot.begin = counts[number];
        slot.end = number + 1 < counts.size() ? counts[number + 1] : next;
        const std::size_t bit = Hash(slot.key) & m_bitMask;
        m_occupied[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
    m_items.resize(filings);
    std::size_t f = 0;
    for (std::size_t k = 0; k < m_entries.size(); ++k) {
        if (spread[k] == 0)
            continue;
        const Item item = ItemOf(k, spread[k]);
        for (const std::size_t last = f + spread[k]; f < last; ++f)
            m_items[counts[cellNumbers[f]]++] = item;
    }
}

SpatialGrid::Item SpatialGrid::ItemOf(std::size_t k, std::uint8_t cells) const
{
    const Entry& e = m_entries[k];
    const std::uint32_t flags =
        (cells > 1 ? kMultiFlag : 0u) | (e.xmin == e.xmax && e.ymin == e.ymax ? kPointFlag : 0u);
    return Item(e.xmin, e.ymin, e.index, static_cast<std::uint32_t>(k) | flags);
}

void SpatialGrid::BuildDense(const std::vector<std::uint8_t>& spread, std::size_t filings, std::int64_t x0,
                             std::int64_t x1, std::int64_t y0, std::int64_t y1, std::size_t pieces)
{
    m_dense = true;
    m_denseX0 = x0;
    m_denseY0 = y0;
    m_denseNx = x1 - x0 + 1;
    m_denseNy = y1 - y0 + 1;
    const std::size_t cells = static_cast<std::size_t>(m_denseNx * m_denseNy);
    // A count of every cell per piece of the entries: as many pieces as
    // keep the counts within a few times the items.
    pieces = std::max<std::size_t>(1, std::min(pieces, (4 * filings) / cells));
    const std::size_t share = (m_entries.size() + pieces - 1) / pieces;
    std::vector<std::uint32_t> counts(pieces * cells, 0);
    RunPieces(pieces, [&](std::size_t p) {
        std::uint32_t* count = counts.data() + p * cells;
        const std::size_t last = std::min(m_entries.size(), (p + 1) * share);
        for (std::size_t k = p * share; k < last; ++k) {
            if (spread[k] == 0)
                continue;
            const auto [cx0, cx1, cy0, cy1] = CellsOf(m_entries[k]);
            for (std::int64_t cx = cx0; cx <= cx1; ++cx) {
                std::uint32_t* column = count + (cx - x0) * m_denseNy;
                for (std::int64_t cy = cy0; cy <= cy1; ++cy)
                    ++column[cy - y0];
            }
        }
    });
    // Each piece's count becomes the place its next item of the cell goes:
    // a cell holds the items of the first piece, then of the next, which is
    // the order the entries were added in.
    m_slots.resize(cells);
    std::uint32_t next = 0;
    std::int64_t cx = x0, cy = y0;
    for (std::size_t c = 0; c < cells; ++c) {
        Slot& slot = m_slots[c];
        slot.key = Key{cx, cy};
        if (++cy > y1) {
            cy = y0;
            ++cx;
        }
        slot.begin = next;
        for (std::size_t p = 0; p < pieces; ++p) {
            const std::uint32_t size = counts[p * cells + c];
            counts[p * cells + c] = next;
            next += size;
        }
        slot.end = next;
        slot.used = slot.end != slot.begin;
    }
    m_items.resize(filings);
    RunPieces(pieces, [&](std::size_t p) {
        std::uint32_t* place = counts.data() + p * cells;
        const std::size_t last = std::min(m_entries.size(), (p + 1) * share);
        for (std::size_t k = p * share; k < last; ++k) {
            if (spread[k] == 0)
                continue;
            const Item item = ItemOf(k, spread[k]);
            const auto [cx0, cx1, cy0, cy1] = CellsOf(m_entries[k]);
            for (std::int64_t c = cx0; c <= cx1; ++c) {
                std::uint32_t* column = place + (c - x0) * m_denseNy;
                for (std::int64_t r = cy0; r <= cy1; ++r)
                    m_items[column[r - y0]++] = item;
            }
        }
    });
}

} // namespace plat
