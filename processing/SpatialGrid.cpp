#include "SpatialGrid.h"

#include <algorithm>

namespace plat {

SpatialGrid::SpatialGrid(double cell, std::size_t expected) : m_cell(cell > 0.0 ? cell : 1.0)
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
    m_entries.push_back(Entry{xmin, xmax, ymin, ymax, index, 0, false});
}

SpatialGrid::Slot* SpatialGrid::Find(const Key& key)
{
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
    // Where each entry goes: its cells, or the list every query looks at.
    struct Filing {
        Key key;
        std::uint32_t entry;
    };
    std::vector<Filing> filing;
    filing.reserve(m_entries.size());
    m_oversize.clear();
    for (std::size_t k = 0; k < m_entries.size(); ++k) {
        Entry& e = m_entries[k];
        e.stamp = 0;
        const std::int64_t x0 = CellOf(e.xmin), x1 = CellOf(e.xmax);
        const std::int64_t y0 = CellOf(e.ymin), y1 = CellOf(e.ymax);
        const double covered = (static_cast<double>(x1 - x0) + 1.0) * (static_cast<double>(y1 - y0) + 1.0);
        // An inverted box meets no rectangle, but a caller's own test (lies
        // within) may still accept it: it goes where every query looks.
        if (x1 < x0 || y1 < y0 || covered > kMaxCellsPerEntry) {
            e.multi = false;
            m_oversize.push_back(static_cast<std::uint32_t>(k));
            continue;
        }
        e.multi = covered > 1.0;
        for (std::int64_t cx = x0; cx <= x1; ++cx) {
            for (std::int64_t cy = y0; cy <= y1; ++cy)
                filing.push_back({Key{cx, cy}, static_cast<std::uint32_t>(k)});
        }
    }
    m_query = 0;
    m_filed = m_entries.size();
    // The table is sized by the cells in use, not by the items: a cell often
    // holds many, and a table as large as the items spends the time in
    // cache misses. It starts from a guess and doubles at half full.
    std::size_t slots = 16;
    while (slots < filing.size() / 8)
        slots *= 2;
    m_slots.assign(slots, Slot{});
    m_mask = slots - 1;
    std::size_t used = 0;
    auto place = [this](const Key& key) {
        std::size_t s = Hash(key) & m_mask;
        while (m_slots[s].used && !(m_slots[s].key == key))
            s = (s + 1) & m_mask;
        return s;
    };
    for (const Filing& f : filing) {
        std::size_t s = place(f.key);
        if (!m_slots[s].used) {
            if ((used + 1) * 2 > m_slots.size()) {
                std::vector<Slot> old(m_slots.size() * 2, Slot{});
                old.swap(m_slots);
                m_mask = m_slots.size() - 1;
                for (const Slot& o : old) {
                    if (o.used)
                        m_slots[place(o.key)] = o;
                }
                s = place(f.key);
            }
            m_slots[s].used = true;
            m_slots[s].key = f.key;
            ++used;
        }
        ++m_slots[s].end;
    }
    // About sixteen bits per cell: most empty cells find their bit clear.
    std::size_t bits = 64;
    while (bits < used * 16)
        bits *= 2;
    m_occupied.assign(bits / 64, 0);
    m_bitMask = bits - 1;
    std::uint32_t next = 0;
    for (Slot& slot : m_slots) {
        if (!slot.used)
            continue;
        slot.begin = next;
        next += slot.end;
        slot.end = slot.begin;
        const std::size_t bit = Hash(slot.key) & m_bitMask;
        m_occupied[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
    m_items.resize(filing.size());
    for (const Filing& f : filing) {
        const Entry& e = m_entries[f.entry];
        const std::uint32_t flags = (e.multi ? kMultiFlag : 0u) | (e.xmin == e.xmax && e.ymin == e.ymax ? kPointFlag : 0u);
        m_items[m_slots[place(f.key)].end++] = Item{e.xmin, e.ymin, e.index, f.entry | flags};
    }
    if (filing.empty())
        m_slots.clear();
}

} // namespace plat
