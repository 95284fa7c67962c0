#include "JobEncoder.h"

#include "ByteLanguage.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr std::int64_t kReserve = 10240;     // kept free below the capacity after each path
constexpr std::int64_t kShortMove = 8192;    // relative moves below this fit 14-bit offsets
constexpr std::int32_t kMax14 = 16383;
constexpr std::int64_t kSegmentMax = 17;     // C1, C2 and a long move
constexpr double kClosedTolerance = 0.0001;
constexpr double kShortSide = 0.001;
constexpr double kMaxHalfOverlap = 5.0;

// Start codes of the work modes 0..8.
constexpr std::uint8_t kWorkModeCode[kWorkModeMax + 1] = {0x11, 0x12, 0x10, 0x13, 0x14,
                                                          0x15, 0x16, 0x17, 0x18};

constexpr std::uint8_t MODE_CUT = 1;
constexpr std::uint8_t MODE_SCAN = 2;

std::int64_t TruncToInt64(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 9.2e18)
        return std::numeric_limits<std::int64_t>::max();
    if (v <= -9.2e18)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(v);
}

std::int32_t ClampToInt32(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// An unsigned count or delay in two groups: beyond 14 bits it is sent as
// 16383, as powers are, never wrapped to a small value.
std::int32_t Clamp14(std::uint32_t v)
{
    return v > static_cast<std::uint32_t>(kMax14) ? kMax14 : static_cast<std::int32_t>(v);
}

// Microseconds of a time in seconds, rounded half up.
std::int64_t Microseconds(double seconds)
{
    return TruncToInt64(seconds * 1000000.0 + 0.5);
}

// A power in percent x 100 as a percentage 0..100.
double Percent(std::uint16_t field)
{
    return std::min(field / 100.0, 100.0);
}

std::int32_t PowerFraction(double percent)
{
    return std::min(static_cast<std::int32_t>(percent * 16384.0 / 100.0), kMax14);
}

// A double rounded to single precision, as the band gap is; values beyond
// the float range stay as they are (they clamp when converted).
double ToSinglePrecision(double v)
{
    if (std::isnan(v) || std::fabs(v) > FLT_MAX)
        return v;
    return static_cast<double>(static_cast<float>(v));
}

// The 11/5/3 byte estimate of a move by (dx, dy) micrometres.
std::uint64_t MoveEstimate(std::int64_t dx, std::int64_t dy)
{
    if (std::llabs(dx) >= 8191 || std::llabs(dy) >= 8191)
        return 11;
    return dx != 0 && dy != 0 ? 5 : 3;
}

std::int64_t MicroDelta(double to, double from)
{
    return std::int64_t{RoundHalfAway(to)} - RoundHalfAway(from);
}

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

SEGNODE* LastSegment(SEGNODE* first)
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

// The same, the last element found by walking from the first.
template <class T>
void CloseIntoRing(T* first, T* T::*prev, T* T::*next)
{
    if (first == nullptr)
        return;
    T* last = first;
    while (last->*next != nullptr && last->*next != first)
        last = last->*next;
    CloseAt(first, last, prev, next);
}

// What the size estimate does to a path's segments: its closed flag by
// exact equality of the last end and the first start, and an open list
// linked into a ring.
void CloseSegments(PATHREC& path)
{
    SEGNODE* first = path.m_pSegs;
    if (first == nullptr)
        return;
    SEGNODE* last = LastSegment(first);
    path.m_closed = last->m_x1 == first->m_x0 && last->m_y1 == first->m_y0 ? 1 : 0;
    CloseAt(first, last, &SEGNODE::m_pPrev, &SEGNODE::m_pNext);
}

PATHREC* Following(const PATHREC* path, const PATHREC* first)
{
    return path->m_pNext == first ? nullptr : path->m_pNext;
}

// Paths are visited in list order, which in a large job jumps all over
// memory, so that each path costs a cache miss that the next one cannot
// start before: the scout runs ahead of the encoding and fetches paths and
// segments early. Along the list it can only follow the links one by one;
// on a ring it also walks back from the last path, a second chain of
// misses beside the first, noting each path, and once the two walks meet,
// the rest of the ring is known and fetched far ahead. Only fetches: the
// encoding follows the next links itself, so a prev link that is wrong
// costs time, never a byte.
class CPathScout {
public:
    explicit CPathScout(PATHREC* first) : m_first(first), m_ahead(first)
    {
        if (first != nullptr && first->m_pPrev != nullptr && first->m_pPrev->m_pNext == first &&
            first->m_pPrev != first) {
            m_back = first->m_pPrev;
            Note(m_back);
        }
        for (int i = 0; i < kAhead; ++i)
            Step();
    }

    // Once per path taken from the list.
    void Step()
    {
        if (m_near >= 0) {
            FetchSegments(m_noted[static_cast<std::size_t>(m_near--)]);
            if (m_far >= 0)
                FetchPath(m_noted[static_cast<std::size_t>(m_far--)]);
            return;
        }
        if (m_ahead == nullptr)
            return;
        m_ahead = Following(m_ahead, m_first);
        if (m_ahead == nullptr)
            return;
        FetchSegments(m_ahead);
        if (m_back == nullptr)
            return;
        if (m_ahead != m_back) {
            m_back = m_back->m_pPrev;
            if (m_back == nullptr || !Note(m_back))
                return;
        }
        if (m_ahead == m_back) {
            // Met: the paths after this one are the noted ones, backwards.
            m_near = static_cast<std::ptrdiff_t>(m_noted.size()) - 2;
            m_far = m_near - kFar;
            m_back = nullptr;
            m_ahead = nullptr;
        }
    }

private:
    static constexpr int kAhead = 8;  // paths between the scout and the encoding
    static constexpr int kFar = 32;   // paths fetched before their segments

    static void FetchPath(const PATHREC* path)
    {
        const auto* at = reinterpret_cast<const char*>(path);
        __builtin_prefetch(at);
        __builtin_prefetch(at + sizeof(PATHREC) - 1);
    }

    static void FetchSegments(const PATHREC* path)
    {
        if (path->m_pSegs != nullptr) {
            const auto* seg = reinterpret_cast<const char*>(path->m_pSegs);
            __builtin_prefetch(seg);
            __builtin_prefetch(seg + sizeof(SEGNODE) - 1);
        }
    }

    bool Note(PATHREC* path)
    {
        try {
            m_noted.push_back(path);
            return true;
        } catch (const std::bad_alloc&) {
            m_back = nullptr; // short of memory: the walk back was only a help
            return false;
        }
    }

    PATHREC* m_first;
    PATHREC* m_ahead;              // the walk along the list
    PATHREC* m_back = nullptr;     // the walk back, until it meets m_ahead
    std::vector<PATHREC*> m_noted; // the paths the walk back passed, from the last
    std::ptrdiff_t m_near = -1;    // after the meeting: next noted path to fetch segments of
    std::ptrdiff_t m_far = -1;     // and next noted path to fetch
};

} // namespace

std::int32_t RoundHalfUp(double mm)
{
    return ClampToInt32(TruncToInt64(mm * 1000.0 + 0.5));
}

std::int32_t RoundHalfAway(double mm)
{
    return ClampToInt32(TruncToInt64(mm >= 0.0 ? mm * 1000.0 + 0.5 : mm * 1000.0 - 0.5));
}

void CloseLayerRing(WORKHEAD& head)
{
    CloseIntoRing(head.m_layers, &WORKLAYER::m_prev, &WORKLAYER::m_next);
}

bool CollectLayerPaths(const WORKLAYER& layer, std::size_t piecePaths, LayerPaths& out,
                       const std::function<void(std::size_t, bool)>& ready)
{
    out.pieces.clear();
    try {
        out.pieces.emplace_back().reserve(std::min<std::size_t>(piecePaths, 1024));
        PATHREC* first = layer.m_paths;
        if (first == nullptr) {
            if (ready)
                ready(0, true);
            return true;
        }
        // Brackets by kind: 0 none, 1 a closing or empty bracket, 2 an array
        // opening.
        const auto Bracket = [](const PATHREC* path) {
            return path->m_kind != PATH_KIND_GROUP ? 0 : path->m_pArray != nullptr ? 2 : 1;
        };
        bool arrayOpen = false;
        // Appends the next path in list order, first ending the piece when
        // it is long enough and no array bracket is open.
        const auto Append = [&](PATHREC* path, int bracket) {
            if (bracket != 0)
                arrayOpen = false;
            if (!arrayOpen && out.pieces.back().size() >= piecePaths) {
                out.pieces.emplace_back();
                if (ready)
                    ready(out.pieces.size() - 2, false);
            }
            if (bracket != 0)
                arrayOpen = bracket == 2;
            out.pieces.back().push_back(path);
        };

        // Each step is a cache miss that the next cannot start before. On
        // a ring a second walk goes back from the last path beside the
        // first, each prev link checked against the next one, until they
        // meet; a link that does not match ends the walk back there, and
        // the walk along the list goes on alone up to it. The paths the
        // walk back passed are taken into pieces once the walks have met.
        std::vector<PATHREC*> back;
        std::vector<std::uint8_t> backBrackets;
        bool backing = false;
        PATHREC* last = first->m_pPrev;
        if (last != nullptr && last != first && last->m_pNext == first) {
            back.push_back(last);
            backBrackets.push_back(static_cast<std::uint8_t>(Bracket(last)));
            backing = true;
        }
        Append(first, Bracket(first));
        for (PATHREC* path = first;;) {
            PATHREC* next = Following(path, first);
            if (next == nullptr) {
                back.clear(); // the walk back passed paths the list does not reach
                break;
            }
            if (!back.empty() && next == back.back())
                break;
            Append(next, Bracket(next));
            path = next;
            if (backing) {
                PATHREC* before = back.back()->m_pPrev;
                if (before == path && path->m_pNext == back.back())
                    break;
                if (before == nullptr || before->m_pNext != back.back()) {
                    backing = false;
                } else {
                    back.push_back(before);
                    backBrackets.push_back(static_cast<std::uint8_t>(Bracket(before)));
                }
            }
        }
        for (std::size_t i = back.size(); i-- > 0;)
            Append(back[i], backBrackets[i]);
        if (ready)
            ready(out.pieces.size() - 1, true);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void CloseLayerPaths(const WORKLAYER& layer, PATHREC& last)
{
    CloseAt(layer.m_paths, &last, &PATHREC::m_pPrev, &PATHREC::m_pNext);
}

std::uint64_t CalcJobSize(WORKHEAD& head)
{
    std::uint64_t size = 400;
    WORKLAYER* firstLayer = head.m_layers;
    CloseLayerRing(head);
    for (WORKLAYER* layer = firstLayer; layer != nullptr;) {
        const bool counted = layer->m_mode != 0;
        if (counted)
            size += head.m_kind <= 1 ? 50 : 46;
        const bool scan = layer->m_mode == MODE_SCAN;
        PATHREC* firstPath = layer->m_paths;
        CloseIntoRing(firstPath, &PATHREC::m_pPrev, &PATHREC::m_pNext);
        for (PATHREC* path = firstPath; path != nullptr;) {
            SEGNODE* first = path->m_pSegs;
            CloseSegments(*path);
            if (counted && path->m_kind == PATH_KIND_GROUP) {
                size += path->m_pArray != nullptr ? 35 : 1;
            } else if (counted && first != nullptr && path->m_kind == PATH_KIND_DOT) {
                for (SEGNODE* seg = first; seg != nullptr;) {
                    size += 18;
                    seg = seg->m_pNext == first ? nullptr : seg->m_pNext;
                }
            } else if (counted && first != nullptr && path->m_kind == PATH_KIND_PATH) {
                size += 11;
                const SEGNODE* prev = nullptr;
                for (SEGNODE* seg = first; seg != nullptr;) {
                    if (scan && prev != nullptr)
                        size += MoveEstimate(MicroDelta(seg->m_x0, prev->m_x1),
                                             MicroDelta(seg->m_y0, prev->m_y1));
                    size += MoveEstimate(MicroDelta(seg->m_x1, seg->m_x0),
                                         MicroDelta(seg->m_y1, seg->m_y0));
                    if (seg->m_nMode != 0)
                        size += 3;
                    prev = seg;
                    seg = seg->m_pNext == first ? nullptr : seg->m_pNext;
                }
            }
            path = path->m_pNext == firstPath ? nullptr : path->m_pNext;
        }
        layer = layer->m_next == firstLayer ? nullptr : layer->m_next;
    }
    return size;
}

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

void WriteFrameTrace(const WORKHEAD& head, std::uint8_t* out)
{
    const double w = head.m_maxX - head.m_minX;
    const double h = head.m_maxY - head.m_minY;
    // Signs of the four moves x, y, x, y by origin corner.
    static constexpr int kSigns[4][4] = {{1, 1, -1, -1}, {-1, 1, 1, -1}, {1, -1, -1, 1}, {-1, -1, 1, 1}};
    const int* signs = kSigns[head.m_originCorner <= 3 ? head.m_originCorner : 0];
    out[0] = 0xC5;
    out[1] = 0x00;
    out[2] = 0x00;
    std::uint8_t* p = out + 3;
    for (int i = 0; i < 4; ++i, p += 8) {
        p[0] = 0xD2;
        p[1] = static_cast<std::uint8_t>(i % 2); // axis: x, y, x, y
        p[2] = 0x02;
        PutNum5(p + 3, RoundHalfAway(signs[i] * (i % 2 == 0 ? w : h)));
    }
}

std::int32_t CBandOffsets::Next(const WORKHEAD& head, const WORKLAYER& layer)
{
    if (!m_started) {
        m_band = layer.m_bandIndex; // the first layer is compared with itself
        m_started = true;
    }
    if (head.m_banded != 0 && layer.m_bandIndex != m_band) {
        m_pending = true;
        m_gap = layer.m_bandGap;
    }
    m_band = layer.m_bandIndex;
    if (layer.m_mode == 0 || !m_pending)
        return 0;
    m_pending = false;
    return RoundHalfAway(ToSinglePrecision(m_gap));
}

void CJobEncoder::Begin(std::uint8_t* out, std::int64_t capacity)
{
    m_out = out;
    m_pos = 0;
    m_capacity = std::max<std::int64_t>(capacity, 0);
    m_overflow = false;
    m_power = 0;
    m_afterC1 = -1;
    m_curX = m_curY = 0.0;
    m_speedOverride = false;
    m_saved.clear();
    m_powerKnown = m_capKnown = true;
    m_looseC1 = m_looseCapOff = -1;
}

void CJobEncoder::BeginGrowing(std::size_t front)
{
    const bool room = m_own.Capacity() > front;
    Begin(room ? m_own.Data() + front : nullptr,
          room ? static_cast<std::int64_t>(m_own.Capacity() - front) : 0);
    m_front = front;
    m_growing = true;
}

bool CJobEncoder::Grow(std::int64_t need)
{
    // Doubling keeps the copies few.
    constexpr std::int64_t kFirstBlock = 64 * 1024;
    const std::int64_t capacity = std::max({need, 2 * m_capacity, kFirstBlock});
    if (!m_own.Reserve(m_front + static_cast<std::size_t>(capacity),
                       m_front + static_cast<std::size_t>(m_pos)))
        return false;
    m_out = m_own.Data() + m_front;
    m_capacity = static_cast<std::int64_t>(m_own.Capacity() - m_front);
    return true;
}

void CJobEncoder::Put2(std::int32_t v)
{
    PutNum2(m_out + m_pos, v);
    m_pos += 2;
}

void CJobEncoder::Put5(std::int32_t v)
{
    PutNum5(m_out + m_pos, v);
    m_pos += 5;
}

void CJobEncoder::Command5(std::uint8_t a, std::uint8_t b, std::int32_t v)
{
    if (!Room(7))
        return;
    Put(a);
    Put(b);
    Put5(v);
}

void CJobEncoder::WriteHeader(const WORKHEAD& head)
{
    if (!Room(4 + 3 + 4 + 2))
        return;
    Put({0xE3, 0x03, 0x00, 0x00});
    if (head.m_kind == 0)
        Put({0xDD, 0x00, 0x00});
    Put({0xD1, kWorkModeCode[head.m_workMode], 0xD1, 0x00});
    if (head.m_hasObjectArrays != 0)
        Put({0xE0, 0x0D});
    if (!Room(12 + 7 + 3 + 16))
        return;
    Put({0xE0, 0x05});
    Put5(head.m_feedCount);
    Put5(RoundHalfUp(head.m_feedLength));
    Command5(0xE0, 0x0C, head.m_feedDelay);
    const bool array = head.m_arrayUse != 0;
    if (array)
        Put({0xE0, 0x0E,
             static_cast<std::uint8_t>((head.m_pitchX < 0.0 ? 1 : 0) | (head.m_pitchY < 0.0 ? 2 : 0))});
    Put({0xE0, 0x04});
    Put2(array ? Clamp14(head.m_arrayCountX) : 1);
    Put2(array ? Clamp14(head.m_arrayCountY) : 1);
    Put5(RoundHalfUp(std::fabs(array ? head.m_pitchX : head.m_maxX - head.m_minX)));
    Put5(RoundHalfUp(std::fabs(array ? head.m_pitchY : head.m_maxY - head.m_minY)));
    Command5(0xE0, 0x06, RoundHalfUp(head.m_minX));
    Command5(0xE0, 0x07, RoundHalfUp(head.m_maxX));
    Command5(0xE0, 0x08, RoundHalfUp(head.m_minY));
    Command5(0xE0, 0x09, RoundHalfUp(head.m_maxY));
    if (head.m_banded != 0 && Room(22)) {
        // The record keeps max x, min x, max y, min y; the block wants them
        // in the order of the job extents above.
        Put({0xE0, 0x0F});
        Put5(RoundHalfUp(head.m_firstExtents[1]));
        Put5(RoundHalfUp(head.m_firstExtents[0]));
        Put5(RoundHalfUp(head.m_firstExtents[3]));
        Put5(RoundHalfUp(head.m_firstExtents[2]));
    }
    if (!Room(6))
        return;
    Put({0xE0, 0x0A, head.m_originCorner, 0xE0, 0x0B, head.m_posPoint});
}

void CJobEncoder::WriteLayerHeader(const WORKLAYER& layer)
{
    if (!Room(3 + 7 + 7 + 16 + 4 + 8 + 4))
        return;
    std::uint8_t type = 0x01;
    if ((layer.m_mode & 0x7F) == MODE_CUT)
        type = 0x00; // light-guide lines of a cut layer are cut too
    else if (layer.m_style == 0)
        type = 0x02;
    else if (layer.m_style == 2)
        type = 0x04;
    else if (layer.m_style == 3)
        type = 0x03;
    Put({0xCD, 0x01, type});
    const std::int32_t speed = RoundHalfUp(layer.m_speed);
    if (speed > 0)
        Command5(0xC5, 0x02, speed);
    else
        Put({0xC5, 0x00, 0x00});
    Command5(0xC5, 0x04, RoundHalfUp(layer.m_freeSpeed));
    if (layer.m_lightDef != 0) {
        Put({0xC0, 0x00, 0x00, 0x00});
    } else {
        const double min1 = Percent(layer.m_minPower1);
        const double min2 = Percent(layer.m_minPower2);
        double max1 = Percent(layer.m_maxPower1);
        double max2 = Percent(layer.m_maxPower2);
        if (max1 >= 0.001 && max1 < min1)
            max1 = min1;
        if (max2 >= 0.001 && max2 < min2)
            max2 = min2;
        const std::pair<std::uint8_t, double> powers[] = {
            {0x01, min1}, {0x02, max1}, {0x08, min2}, {0x03, max2}};
        for (const auto& [code, percent] : powers) {
            Put({0xC0, code});
            Put2(PowerFraction(percent));
        }
    }
    Put({0xC0, 0x04, static_cast<std::uint8_t>(layer.m_flags), 0x00});
    Put({0xC0, 0x05});
    Put2(Clamp14(layer.m_startDelay));
    Put({0xC0, 0x06});
    Put2(Clamp14(layer.m_endDelay));
    Put({0xC0, 0x09});
    Put2(PowerToFraction(layer.m_laserDelay));
    m_power = 0;
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

void CJobEncoder::WriteLayerOpening(const WORKLAYER& layer, std::int32_t bandOffset)
{
    if (bandOffset != 0)
        Command5(0x9F, 0x7F, bandOffset);
    WriteLayerHeader(layer);
    m_speedOverride = false;
}

void CJobEncoder::WriteLayerClosing(const WORKLAYER& layer)
{
    if (Room(2)) {
        Put({0xE0, 0x00});
    }
    if (layer.m_delayAfter > 0.001)
        Command5(0xC0, 0x11, static_cast<std::int32_t>(static_cast<std::uint32_t>(
                                 Microseconds(layer.m_delayAfter))));
}

bool CJobEncoder::WriteLayer(const WORKHEAD& head, const WORKLAYER& layer, std::int32_t bandOffset,
                             const SpeedLimitTable& limits, std::int64_t limit)
{
    WriteLayerOpening(layer, bandOffset);
    PATHREC* firstPath = layer.m_reserved4 == 0 ? layer.m_paths : nullptr;
    CPathScout scout(firstPath);
    for (PATHREC* path = firstPath; path != nullptr;) {
        scout.Step();
        WritePath(head, layer, *path, limits);
        if (m_overflow || m_pos > limit)
            return false;
        path = Following(path, firstPath);
    }
    WriteLayerClosing(layer);
    return !m_overflow;
}

std::int64_t CJobEncoder::Encode(WORKHEAD& head, std::uint8_t* out, bool header, bool end,
                                 std::int64_t capacity, const SpeedLimitTable& limits)
{
    if (head.m_workMode > kWorkModeMax)
        return kEncodeInvalid;
    Begin(out, capacity);
    m_growing = false;
    const std::int64_t limit = m_capacity - kReserve;
    auto overflow = [&] {
        RestoreStarts();
        return kEncodeOverflow;
    };

    if (header)
        WriteHeader(head);
    WORKLAYER* firstLayer = head.m_layers;
    CBandOffsets bands;
    for (WORKLAYER* layer = firstLayer; layer != nullptr && !m_overflow;) {
        const std::int32_t offset = bands.Next(head, *layer);
        if (layer->m_mode != 0 && !WriteLayer(head, *layer, offset, limits, limit))
            return overflow();
        layer = layer->m_next == firstLayer ? nullptr : layer->m_next;
    }
    if (end && Room(5)) {
        Put({0xD0, 0xE3, 0x02, 0x00, 0x00});
    }
    if (m_overflow)
        return overflow();
    m_saved.clear();
    return m_pos;
}

bool CJobEncoder::EncodeHeader(const WORKHEAD& head)
{
    BeginGrowing(0);
    WriteHeader(head);
    return !m_overflow;
}

bool CJobEncoder::EncodeLayer(const WORKHEAD& head, WORKLAYER& layer, std::int32_t bandOffset,
                              const SpeedLimitTable& limits, std::size_t front)
{
    PATHREC* first = layer.m_paths;
    PATHREC* last = nullptr;
    if (layer.m_mode != 0 && layer.m_reserved4 == 0) {
        LayerPaths list;
        if (!CollectLayerPaths(layer, std::numeric_limits<std::size_t>::max(), list))
            return false;
        const std::vector<PATHREC*>& paths = list.pieces.front();
        if (!EncodeLayerPiece(head, layer, bandOffset, limits, paths.data(), paths.size(), true,
                              true, front))
            return false;
        last = paths.empty() ? nullptr : paths.back();
    } else {
        BeginGrowing(front);
        // Nothing of these paths is written, but their lists are closed.
        for (PATHREC* path = first; path != nullptr; path = Following(path, first)) {
            CloseSegments(*path);
            last = path;
        }
        if (layer.m_mode != 0 && !WriteLayer(head, layer, bandOffset, limits,
                                             std::numeric_limits<std::int64_t>::max()))
            return false;
    }
    // The path list into a ring, from the end the walk found.
    if (last != nullptr)
        CloseAt(first, last, &PATHREC::m_pPrev, &PATHREC::m_pNext);
    return true;
}

bool CJobEncoder::EncodeLayerPiece(const WORKHEAD& head, const WORKLAYER& layer,
                                   std::int32_t bandOffset, const SpeedLimitTable& limits,
                                   PATHREC* const* paths, std::size_t count, bool opens, bool closes,
                                   std::size_t front)
{
    // Room for the bytes most paths take, so that a long piece's memory is
    // not grown through every size (and its pages faulted in one by one).
    constexpr std::size_t kTypicalPathBytes = 40;
    if (count > std::numeric_limits<std::size_t>::max() / kTypicalPathBytes / 2 ||
        !m_own.Reserve(front + count * kTypicalPathBytes, 0))
        return false;
    BeginGrowing(front);
    if (opens) {
        WriteLayerOpening(layer, bandOffset);
    } else {
        m_powerKnown = false;
        m_capKnown = false;
    }
    // The records and their first segments are all over memory: fetched
    // ahead, the misses of many paths overlap.
    constexpr std::size_t kFetchPath = 16;
    constexpr std::size_t kFetchSegments = 8;
    for (std::size_t i = 0; i < count; ++i) {
        if (i + kFetchPath < count) {
            const auto* at = reinterpret_cast<const char*>(paths[i + kFetchPath]);
            __builtin_prefetch(at);
            __builtin_prefetch(at + sizeof(PATHREC) - 1);
        }
        if (i + kFetchSegments < count) {
            if (const SEGNODE* seg = paths[i + kFetchSegments]->m_pSegs) {
                const auto* at = reinterpret_cast<const char*>(seg);
                __builtin_prefetch(at);
                __builtin_prefetch(at + sizeof(SEGNODE) - 1);
            }
        }
        CloseSegments(*paths[i]);
        WritePath(head, layer, *paths[i], limits);
        if (m_overflow)
            return false;
    }
    if (closes)
        WriteLayerClosing(layer);
    return !m_overflow;
}

void CJobEncoder::Drop(std::int64_t at, std::int64_t n)
{
    std::memmove(m_out + n, m_out, static_cast<std::size_t>(at));
    m_out += n;
    m_pos -= n;
}

void CJobEncoder::Settle(PieceCarry& carry)
{
    const bool dropC1 = m_looseC1 >= 0 && m_looseC1Value == carry.power;
    const bool dropCapOff = m_looseCapOff >= 0 && !carry.capped;
    // The later block first, so that the earlier one stays where it is.
    if (dropC1 && m_looseC1 > m_looseCapOff)
        Drop(m_looseC1, 3);
    if (dropCapOff)
        Drop(m_looseCapOff, 7);
    if (dropC1 && m_looseC1 < m_looseCapOff)
        Drop(m_looseC1, 3);
    m_looseC1 = m_looseCapOff = -1;
    if (m_powerKnown)
        carry.power = m_power;
    if (m_capKnown)
        carry.capped = m_speedOverride;
}

bool CJobEncoder::EncodeEnd()
{
    BeginGrowing(0);
    if (Room(5))
        Put({0xD0, 0xE3, 0x02, 0x00, 0x00});
    return !m_overflow;
}

std::int64_t EncodeJob(WORKHEAD& head, std::uint8_t* out, bool header, bool end,
                       std::int64_t capacity, std::uint8_t, const char* machineName)
{
    ReadTechParam(machineName);
    CJobEncoder encoder;
    return encoder.Encode(head, out, header, end, capacity, TechSpeedLimits());
}
