// What the uniting of open curves keeps its ends in and how it finds the
// ends that may join: scratch arrays kept from one call to the next, and
// the marking of the points that lie near another, by a sort into cells.
#pragma once
#include "platform/LargeBlock.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace plat::uniting {

// A scratch array of plain values, not to be read before it is written:
// one large block marked for huge pages when it is big, since fresh memory
// that faults every 4 KiB costs more than the work done on it, and kept
// for the next call; else a vector.
template <typename T>
class ScratchArray {
public:
    explicit ScratchArray(std::size_t count)
    {
        const std::size_t bytes = count * sizeof(T);
        if (bytes >= 2 * plat::kLargeBlockGranule) {
            m_bytes = (bytes + plat::kLargeBlockGranule - 1) / plat::kLargeBlockGranule * plat::kLargeBlockGranule;
            m_data = static_cast<T*>(plat::TakeScratchBlock(m_bytes));
        }
        if (m_data == nullptr) {
            m_bytes = 0;
            m_heap.resize(count);
            m_data = m_heap.data();
            m_capacity = count;
        } else {
            m_capacity = m_bytes / sizeof(T);
        }
    }
    ~ScratchArray()
    {
        if (m_bytes != 0)
            plat::GiveScratchBlock(m_data, m_bytes);
    }
    ScratchArray(const ScratchArray&) = delete;
    ScratchArray& operator=(const ScratchArray&) = delete;

    // Room for at least `count` values; the first `kept` stay as they are.
    void Grow(std::size_t count, std::size_t kept)
    {
        if (count <= m_capacity)
            return;
        ScratchArray bigger(count);
        std::copy_n(m_data, kept, bigger.m_data);
        std::swap(m_heap, bigger.m_heap);
        std::swap(m_data, bigger.m_data);
        std::swap(m_bytes, bigger.m_bytes);
        std::swap(m_capacity, bigger.m_capacity);
        // An outgrown block is not kept: it would hold one of the few
        // places of kept blocks with a size that the next call outgrows too.
        if (bigger.m_bytes != 0) {
            plat::FreeLargeBlock(bigger.m_data, bigger.m_bytes);
            bigger.m_bytes = 0;
        }
    }

    T* data() { return m_data; }
    T& operator[](std::size_t i) { return m_data[i]; }
    const T& operator[](std::size_t i) const { return m_data[i]; }

private:
    std::vector<T> m_heap;
    T* m_data = nullptr;
    std::size_t m_bytes = 0;
    std::size_t m_capacity = 0;
};

struct EndXY {
    double x;
    double y;
};

// The box and number of the finite points of a set.
struct PointSpread {
    double x0 = std::numeric_limits<double>::infinity(), x1 = -x0, y0 = x0, y1 = -x0;
    std::uint32_t finite = 0;
    void Add(const EndXY& p)
    {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return;
        ++finite;
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    void Add(const PointSpread& other)
    {
        finite += other.finite;
        x0 = std::min(x0, other.x0);
        x1 = std::max(x1, other.x1);
        y0 = std::min(y0, other.y0);
        y1 = std::max(y1, other.y1);
    }
};

// Marks (1) the points that lie within `dist` (in x and in y) of another of
// them. Marks may be too many, never too few: a crowded cell marks all its
// points. Points with a coordinate that is not finite meet nothing and stay
// unmarked.
//
// `spread` has seen every point, as the points were written.
std::vector<std::uint8_t> MarkPointsWithNeighbours(const ScratchArray<EndXY>& points, std::uint32_t count,
                                                   const PointSpread& spread, double dist);

} // namespace plat::uniting
