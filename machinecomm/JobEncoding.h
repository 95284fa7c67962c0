// What the job encoder's files share: the encoding's limits and modes, the
// number conversions that clamp instead of wrapping, and the walks over the
// job's segment and path lists (open lists or rings).
#pragma once
#include "VantrelRecords.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace plat::encoding {

constexpr std::int32_t kMax14 = 16383;
constexpr double kClosedTolerance = 0.0001;
constexpr std::uint8_t MODE_CUT = 1;
constexpr std::uint8_t MODE_SCAN = 2;

inline std::int64_t TruncToInt64(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 9.2e18)
        return std::numeric_limits<std::int64_t>::max();
    if (v <= -9.2e18)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(v);
}

inline std::int32_t ClampToInt32(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// An unsigned count or delay in two groups: beyond 14 bits it is sent as
// 16383, as powers are, never wrapped to a small value.
inline std::int32_t Clamp14(std::uint32_t v)
{
    return v > static_cast<std::uint32_t>(kMax14) ? kMax14 : static_cast<std::int32_t>(v);
}

// Microseconds of a time in seconds, rounded half up.
inline std::int64_t Microseconds(double seconds)
{
    return TruncToInt64(seconds * 1000000.0 + 0.5);
}

inline SEGNODE* LastSegment(SEGNODE* first)
{
    SEGNODE* seg = first;
    while (seg->m_pNext != nullptr && seg->m_pNext != first)
        seg = seg->m_pNext;
    return seg;
}

// Links the last element of an open list back to the first (and the
// first's prev to the last, where it has none); a ring stays as it is.
template <class T>
void CloseAt(T* first, T* last, T* T::*prev, T* T::*next)
{
    if (last->*next == nullptr) {
        last->*next = first;
        if (first->*prev == nullptr)
            first->*prev = last;
    }
}

// What the size estimate does to a path's segments: its closed flag by
// exact equality of the last end and the first start, and an open list
// linked into a ring.
inline void CloseSegments(PATHREC& path)
{
    SEGNODE* first = path.m_pSegs;
    if (first == nullptr)
        return;
    SEGNODE* last = LastSegment(first);
    path.m_closed = last->m_x1 == first->m_x0 && last->m_y1 == first->m_y0 ? 1 : 0;
    CloseAt(first, last, &SEGNODE::m_pPrev, &SEGNODE::m_pNext);
}

inline PATHREC* Following(const PATHREC* path, const PATHREC* first)
{
    return path->m_pNext == first ? nullptr : path->m_pNext;
}

} // namespace plat::encoding
