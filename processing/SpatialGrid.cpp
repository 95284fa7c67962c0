#include "SpatialGrid.h"

#include <algorithm>

namespace plat {

SpatialGrid::SpatialGrid(double cell, std::size_t expected) : m_cell(cell > 0.0 ? cell : 1.0)
{
    m_entries.reserve(expected);
    m_cells.reserve(expected);
    // About sixteen hash slots per entry keep the bit test selective.
    std::size_t bits = 64;
    while (bits < expected * 16 && bits < (std::size_t{1} << 32))
        bits *= 2;
    m_occupied.assign(bits / 64, 0);
    m_mask = bits - 1;
}

double SpatialGrid::MedianCell(std::vector<double> sizes)
{
    sizes.erase(std::remove_if(sizes.begin(), sizes.end(), [](double s) { return !(s > 0.0 && std::isfinite(s)); }),
                sizes.end());
    if (sizes.empty())
        return 1.0;
    std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
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
    const std::uint32_t slot = static_cast<std::uint32_t>(m_entries.size());
    m_entries.push_back(Entry{xmin, xmax, ymin, ymax, index, 0});
    const std::int64_t x0 = CellOf(xmin), x1 = CellOf(xmax);
    const std::int64_t y0 = CellOf(ymin), y1 = CellOf(ymax);
    const double covered = (static_cast<double>(x1 - x0) + 1.0) * (static_cast<double>(y1 - y0) + 1.0);
    // An inverted box meets no rectangle, but a caller's own test (lies
    // within) may still accept it: it goes where every query looks.
    if (x1 < x0 || y1 < y0 || covered > kMaxCellsPerEntry) {
        m_oversize.push_back(slot);
        return;
    }
    for (std::int64_t cx = x0; cx <= x1; ++cx) {
        for (std::int64_t cy = y0; cy <= y1; ++cy) {
            const Key key{cx, cy};
            const std::size_t bit = KeyHash{}(key) & m_mask;
            m_occupied[bit / 64] |= std::uint64_t{1} << (bit % 64);
            m_cells[key].push_back(slot);
        }
    }
}

} // namespace plat
