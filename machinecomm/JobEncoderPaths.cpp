// The job encoder's path blocks: a cut path's travel and segments with the
// power blocks of grey segments, its closing overlap and speed cap, scanned
// paths, dots and array brackets.
#include "ByteLanguage.h"
#include "JobEncoder.h"
#include "JobEncoding.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace plat::encoding;

namespace {

constexpr std::int64_t kShortMove = 8192;    // relative moves below this fit 14-bit offsets
constexpr std::int64_t kSegmentMax = 17;     // C1, C2 and a long move
constexpr double kShortSide = 0.001;
constexpr double kMaxHalfOverlap = 5.0;

// Moves point (x, y) by h along the line from p through it: away from p for
// a positive h, toward it for a negative one. d is the distance to p.
void MoveAlongLine(double& x, double& y, double px, double py, double d, double h)
{
    const double newY = y + h * (y - py) / d;
    if (std::fabs(newY - py) >= kClosedTolerance)
        x = px + (newY - py) * (x - px) / (y - py);
    else
        x = x >= px ? x + h : x - h;
    y = newY;
}

double HalfOverlap(double overlap)
{
    const double h = overlap / 2.0;
    return std::isnan(h) ? 0.0 : std::clamp(h, -kMaxHalfOverlap, kMaxHalfOverlap);
}

void ZeroNearZero(double& v)
{
    if (std::fabs(v) < kShortSide)
        v = 0.0;
}

bool Near(double ax, double ay, double bx, double by)
{
    return std::fabs(ax - bx) < kShortSide && std::fabs(ay - by) < kShortSide;
}

// Moves the end (x, y) of a segment whose other end is (px, py) by h along
// their line; a segment shorter than 0.001 takes the direction of its
// neighbour's far point (nx, ny), and nothing moves when that is as near or
// missing. Coordinates within 0.001 of 0 become 0 first. A negative h moves
// the end back only where shorten is set and the side is longer than |h|.
void ExtendEnd(double h, double& x, double& y, double px, double py, const double* nx,
               const double* ny, bool shorten)
{
    ZeroNearZero(x);
    ZeroNearZero(y);
    if (Near(px, py, x, y)) {
        if (nx == nullptr || Near(*nx, *ny, x, y))
            return;
        px = *nx;
        py = *ny;
    }
    const double d = std::hypot(x - px, y - py);
    if (h > 0.0 || (shorten && h < 0.0 && d + h > 0.0))
        MoveAlongLine(x, y, px, py, d, h);
}

} // namespace

SpeedLimit LookupSpeedLimit(const std::vector<SpeedLimitRow>& rows, std::int64_t w,
                            std::int64_t h, std::int64_t s)
{
    SpeedLimit result;
    if (rows.size() < 2)
        return result;
    // Products of two 32-bit differences can pass 63 bits.
    using Wide = __int128;
    const Wide m = (Wide{w} + h) / 2;
    Wide limit = 0;
    auto found = std::find_if(rows.begin(), rows.end(), [&](const SpeedLimitRow& r) {
        return r.frame >= w && r.frame >= h;
    });
    if (found == rows.begin()) {
        limit = found->speed;
    } else {
        const SpeedLimitRow& row = found != rows.end() ? *found : rows.back();
        const SpeedLimitRow& prev = *(found != rows.end() ? found - 1 : rows.end() - 2);
        if (row.frame == prev.frame)
            return result;
        if (found != rows.end())
            limit = (m - prev.frame) * (Wide{row.speed} - prev.speed) / (Wide{row.frame} - prev.frame) +
                    prev.speed;
        else
            limit = (Wide{row.speed} - prev.speed) * (m - row.frame) / (Wide{row.frame} - prev.frame) +
                    row.speed;
    }
    // A cap only: never above the layer's speed, and never zero or negative,
    // which no table means.
    if (limit > 0 && limit < s) {
        result.apply = true;
        result.limit = static_cast<std::int32_t>(limit);
    }
    return result;
}

void ExtendClosedStart(double overlap, SEGNODE& first)
{
    const SEGNODE* next = first.m_pNext;
    ExtendEnd(HalfOverlap(overlap), first.m_x0, first.m_y0, first.m_x1, first.m_y1,
              next != nullptr ? &next->m_x1 : nullptr, next != nullptr ? &next->m_y1 : nullptr,
              false);
}

void ExtendClosedEnd(double overlap, SEGNODE& last)
{
    const SEGNODE* prev = last.m_pPrev;
    ExtendEnd(HalfOverlap(overlap), last.m_x1, last.m_y1, last.m_x0, last.m_y0,
              prev != nullptr ? &prev->m_x0 : nullptr, prev != nullptr ? &prev->m_y0 : nullptr,
              true);
}

void CJobEncoder::WritePower(std::uint8_t command, std::int32_t value)
{
    if (command == 0xC1 && m_afterC1 == m_pos) {
        PutNum2(m_out + m_pos - 2, value); // the block just written takes the new value
        return;
    }
    Put(command);
    Put2(value);
    if (command == 0xC1)
        m_afterC1 = m_pos;
}

void CJobEncoder::WriteSegment(bool cut, SEGNODE& seg, double tx, double ty)
{
    const std::int64_t dx = std::int64_t{RoundHalfAway(tx)} - RoundHalfAway(m_curX);
    const std::int64_t dy = std::int64_t{RoundHalfAway(ty)} - RoundHalfAway(m_curY);
    m_curX = tx;
    m_curY = ty;
    if (cut && dx == 0 && dy == 0)
        return;
    if (!Room(kSegmentMax))
        return;
    seg.m_nGrey0 = std::min<std::uint16_t>(seg.m_nGrey0, 255);
    seg.m_nGrey1 = std::min<std::uint16_t>(seg.m_nGrey1, 255);
    if (seg.m_nMode == 1) {
        const std::int32_t g0 = seg.m_nGrey0 * 64;
        if (!m_powerKnown) {
            m_looseC1 = m_pos;
            m_looseC1Value = g0;
            m_powerKnown = true;
            WritePower(0xC1, g0);
        } else if (g0 != m_power) {
            WritePower(0xC1, g0);
        }
        m_power = std::min(seg.m_nGrey1 * 64, kMax14);
        WritePower(0xC2, m_power);
    } else if (seg.m_nMode == 2) {
        WritePower(0xC1, seg.m_nGrey0 * 64);
    }
    const std::uint8_t base = cut ? 0xA0 : 0x80;
    if (std::llabs(dx) < kShortMove && std::llabs(dy) < kShortMove) {
        if (dy == 0) {
            Put(static_cast<std::uint8_t>(base + 2));
            Put2(static_cast<std::int32_t>(dx));
        } else if (dx == 0) {
            Put(static_cast<std::uint8_t>(base + 3));
            Put2(static_cast<std::int32_t>(dy));
        } else {
            Put(static_cast<std::uint8_t>(base + 1));
            Put2(static_cast<std::int32_t>(dx));
            Put2(static_cast<std::int32_t>(dy));
        }
    } else {
        Put(base);
        Put5(RoundHalfAway(tx));
        Put5(RoundHalfAway(ty));
    }
}

void CJobEncoder::WriteArrayOpening(const PATHREC& path, const PATHREC* firstPath)
{
    if (!Room(36))
        return;
    const ARRAYREC& a = *path.m_pArray;
    // Bounds of the segments of the paths up to the next bracket or the end
    // of the layer's list.
    double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
    for (const PATHREC* p = path.m_pNext;
         p != nullptr && p != firstPath && p->m_kind != PATH_KIND_GROUP; p = p->m_pNext) {
        for (const SEGNODE* seg = p->m_pSegs; seg != nullptr;) {
            minX = std::min({minX, seg->m_x0, seg->m_x1});
            maxX = std::max({maxX, seg->m_x0, seg->m_x1});
            minY = std::min({minY, seg->m_y0, seg->m_y1});
            maxY = std::max({maxY, seg->m_y0, seg->m_y1});
            seg = seg->m_pNext == p->m_pSegs ? nullptr : seg->m_pNext;
        }
    }
    if (minX > maxX) // no segment inside the bracket
        minX = maxX = minY = maxY = 0.0;
    Put(0xE5);
    Put2(Clamp14(a.m_nRows));
    Put2(Clamp14(a.m_nCols));
    Put5(RoundHalfUp(std::fabs(a.m_dDy)));
    Put5(RoundHalfUp(std::fabs(a.m_dDx)));
    Put5(RoundHalfUp(minX));
    Put5(RoundHalfUp(maxX));
    Put5(RoundHalfUp(minY));
    Put5(RoundHalfUp(maxY));
    Put(static_cast<std::uint8_t>((a.m_dDx < 0.0 ? 1 : 0) | (a.m_dDy < 0.0 ? 2 : 0)));
}

void CJobEncoder::WriteCutPath(const WORKHEAD& head, const WORKLAYER& layer, PATHREC& path,
                               const SpeedLimitTable& limits)
{
    SEGNODE* first = path.m_pSegs;
    SEGNODE* last = LastSegment(first);
    const bool closed = std::fabs(last->m_x1 - first->m_x0) <= kClosedTolerance &&
                        std::fabs(last->m_y1 - first->m_y0) <= kClosedTolerance;
    path.m_closed = closed ? 1 : 0;
    if (closed) {
        m_saved.push_back(SavedStart{first, first->m_x0, first->m_y0});
        ExtendClosedStart(head.m_closeRepay, *first);
    }
    if (limits.enable != 0) {
        const std::int64_t w = ClampToInt32(TruncToInt64(std::fabs(path.m_xmin - path.m_xmax) * 1000.0));
        const std::int64_t h = ClampToInt32(TruncToInt64(std::fabs(path.m_ymin - path.m_ymax) * 1000.0));
        const SpeedLimit cap = LookupSpeedLimit(limits.rows, w, h, RoundHalfUp(layer.m_speed));
        if (cap.apply) {
            Command5(0xC5, 0x03, cap.limit);
            m_speedOverride = true;
        } else if (m_speedOverride || !m_capKnown) {
            if (!m_capKnown)
                m_looseCapOff = m_pos;
            Command5(0xC5, 0x03, 0);
            m_speedOverride = false;
        }
        m_capKnown = true;
    }
    WriteSegment(false, *first, first->m_x0, first->m_y0);
    for (SEGNODE* seg = first; seg != nullptr;) {
        if (closed && seg == last) {
            const double x1 = seg->m_x1;
            const double y1 = seg->m_y1;
            ExtendClosedEnd(head.m_closeRepay, *seg);
            WriteSegment(true, *seg, seg->m_x1, seg->m_y1);
            seg->m_x1 = x1;
            seg->m_y1 = y1;
        } else {
            WriteSegment(true, *seg, seg->m_x1, seg->m_y1);
        }
        if (m_overflow)
            return;
        seg = seg == last ? nullptr : seg->m_pNext;
    }
}

void CJobEncoder::WritePath(const WORKHEAD& head, const WORKLAYER& layer, PATHREC& path,
                            const SpeedLimitTable& limits)
{
    if (path.m_kind == PATH_KIND_GROUP) {
        if (path.m_pArray != nullptr) {
            WriteArrayOpening(path, layer.m_paths);
        } else if (Room(1)) {
            Put(0xE6);
        }
        return;
    }
    SEGNODE* first = path.m_pSegs;
    if (first == nullptr)
        return; // nothing to travel to
    if (!Room(11))
        return;
    Put(0x80);
    Put5(RoundHalfUp(first->m_x0));
    Put5(RoundHalfUp(first->m_y0));
    m_curX = first->m_x0;
    m_curY = first->m_y0;
    const bool scan = layer.m_mode == MODE_SCAN;
    if (path.m_kind == PATH_KIND_DOT) {
        if (scan)
            return;
        const std::int32_t dwell =
            ClampToInt32(std::max<std::int64_t>(Microseconds(layer.m_hitTime), 10));
        for (SEGNODE* seg = first; seg != nullptr && Room(7);) {
            Command5(0xC0, 0x10, dwell);
            m_curX = seg->m_x0;
            m_curY = seg->m_y0;
            seg = seg->m_pNext == first ? nullptr : seg->m_pNext;
        }
        return;
    }
    if (path.m_kind != PATH_KIND_PATH)
        return;
    if (scan) {
        for (SEGNODE* seg = first; seg != nullptr && !m_overflow;) {
            WriteSegment(false, *seg, seg->m_x0, seg->m_y0);
            WriteSegment(true, *seg, seg->m_x1, seg->m_y1);
            seg = seg->m_pNext == first ? nullptr : seg->m_pNext;
        }
        return;
    }
    WriteCutPath(head, layer, path, limits);
}

void CJobEncoder::RestoreStarts()
{
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        it->seg->m_x0 = it->x0;
        it->seg->m_y0 = it->y0;
    }
    m_saved.clear();
}
