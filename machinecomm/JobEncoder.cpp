#include "JobEncoder.h"

#include "ByteLanguage.h"
#include "JobEncoding.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

using namespace plat::encoding;

namespace {

constexpr std::int64_t kReserve = 10240;     // kept free below the capacity after each path

// Start codes of the work modes 0..8.
constexpr std::uint8_t kWorkModeCode[kWorkModeMax + 1] = {0x11, 0x12, 0x10, 0x13, 0x14,
                                                          0x15, 0x16, 0x17, 0x18};

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
