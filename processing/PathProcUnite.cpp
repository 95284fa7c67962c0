#include "PathProc.h"
#include "SpatialGrid.h"

#include "model/DocData.h"
#include "model/DocDataBezier.h"
#include "model/DocState.h"
#include "model/GeoFunctions.h"
#include "platform/LargeBlock.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr double kMinTolerance = 1e-7;
constexpr double kJoinFactor = 10.0;       // join distance = tolerance x 10
constexpr double kCrossingSearchFactor = 10.0; // crossings are looked for within join distance x 10
constexpr std::uint32_t kNone = plat::SpatialGrid::kNone;

double Distance(const DOCNODE* a, const DOCNODE* b)
{
    return std::hypot(b->m_x - a->m_x, b->m_y - a->m_y);
}

double ListLength(const DOCNODE* head)
{
    double sum = 0.0;
    for (const DOCNODE* n = head; n != nullptr && n->m_pNext != nullptr; n = n->m_pNext)
        sum += Distance(n, n->m_pNext);
    return sum;
}

// The length of a list as ListLength sums it, or any value of at least
// `cap` when the list is longer: walked from the end given (backwards) or
// from the head (forwards) only until the cap is reached, so a joint at the
// end of a long joined curve costs what the joint needs, not the curve.
// A list shorter than the cap is summed again from its head, in ListLength's
// order, so the comparisons made with it come out exactly as with the whole
// sum.
double LengthUpTo(const DOCNODE* head, const DOCNODE* last, double cap)
{
    double sum = 0.0;
    if (last != nullptr) {
        for (const DOCNODE* n = last; n->m_pPrev != nullptr; n = n->m_pPrev) {
            sum += Distance(n->m_pPrev, n);
            if (sum >= cap)
                return sum;
        }
        return ListLength(head);
    }
    for (const DOCNODE* n = head; n != nullptr && n->m_pNext != nullptr; n = n->m_pNext) {
        sum += Distance(n, n->m_pNext);
        if (sum >= cap)
            return sum;
    }
    return sum;
}

bool IsPolyline(const CDocData* o) { return o->GetType() == MT_LINE; }
bool IsBezier(const CDocData* o) { return o->GetType() == MT_BEZIER; }

// Open curves that can be joined: the outline kinds, with an open list of at
// least two nodes and not closed.
bool IsCandidate(const CDocData* o)
{
    const std::uint32_t type = o->GetType();
    if (type < MT_LINE || type > MT_NURBS)
        return false;
    const DOCNODE* head = o->m_pNodes;
    return head != nullptr && head->m_pPrev == nullptr && head->m_pNext != nullptr && o->m_bClosed == 0;
}

// Segment crossing by the signs of the cross products, touching ends
// included.
bool SegmentsCross(const DOCNODE* a0, const DOCNODE* a1, const DOCNODE* b0, const DOCNODE* b1)
{
    auto cross = [](const DOCNODE* o, const DOCNODE* p, const DOCNODE* q) {
        return (p->m_x - o->m_x) * (q->m_y - o->m_y) - (p->m_y - o->m_y) * (q->m_x - o->m_x);
    };
    const double d1 = cross(a0, a1, b0);
    const double d2 = cross(a0, a1, b1);
    const double d3 = cross(b0, b1, a0);
    const double d4 = cross(b0, b1, a1);
    return d1 * d2 <= 0.0 && d3 * d4 <= 0.0;
}

// Cuts `length` off the end of an open list given by its last node: whole
// end segments that are not longer than what remains go, then the last node
// moves back by the rest. Returns the new last node.
DOCNODE* ShortenEnd(DOCNODE* last, double length)
{
    while (last->m_pPrev != nullptr && last->m_pPrev->m_pPrev != nullptr) {
        const double d = Distance(last->m_pPrev, last);
        if (d > length)
            break;
        length -= d;
        DOCNODE* prev = last->m_pPrev;
        prev->m_pNext = nullptr;
        delete last;
        last = prev;
    }
    if (last->m_pPrev != nullptr)
        GeoPointAlong(last->m_x, last->m_y, last->m_pPrev->m_x, last->m_pPrev->m_y, length, last->m_x,
                      last->m_y);
    return last;
}

// The same at the start of the list; returns the new head.
DOCNODE* ShortenStart(DOCNODE* head, double length)
{
    while (head->m_pNext != nullptr && head->m_pNext->m_pNext != nullptr) {
        const double d = Distance(head, head->m_pNext);
        if (d > length)
            break;
        length -= d;
        DOCNODE* next = head->m_pNext;
        next->m_pPrev = nullptr;
        delete head;
        head = next;
    }
    if (head->m_pNext != nullptr)
        GeoPointAlong(head->m_x, head->m_y, head->m_pNext->m_x, head->m_pNext->m_y, length, head->m_x,
                      head->m_y);
    return head;
}

// Joins b behind a's last node; returns a's new last node.
DOCNODE* AppendAfterEnd(CDocData* a, DOCNODE* aLast, CDocData* b)
{
    DOCNODE* head = b->m_pNodes;
    b->m_pNodes = nullptr;
    if (head != nullptr && IsBezier(a)) {
        // The joint anchor is a's own.
        DOCNODE* dropped = head;
        head = head->m_pNext;
        if (head != nullptr)
            head->m_pPrev = nullptr;
        delete dropped;
    }
    if (head == nullptr)
        return aLast;
    aLast->m_pNext = head;
    head->m_pPrev = aLast;
    return LastNode(head);
}

// Joins a's nodes behind b's last node; the joined list becomes a's.
void PrependBeforeStart(CDocData* a, CDocData* b)
{
    DOCNODE* aHead = a->m_pNodes;
    if (IsBezier(a) && aHead != nullptr) {
        // The joint anchor is b's.
        DOCNODE* dropped = aHead;
        aHead = aHead->m_pNext;
        if (aHead != nullptr)
            aHead->m_pPrev = nullptr;
        delete dropped;
    }
    DOCNODE* bHead = b->m_pNodes;
    b->m_pNodes = nullptr;
    if (bHead == nullptr) {
        a->m_pNodes = aHead;
        return;
    }
    DOCNODE* bLast = LastNode(bHead);
    bLast->m_pNext = aHead;
    if (aHead != nullptr)
        aHead->m_pPrev = bLast;
    a->m_pNodes = bHead;
}

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

// The length of the list last united: the next list is most often about as
// long (the same drawing again), so its arrays start at that size and are
// filled on the one walk that also counts the list.
std::atomic<std::size_t> g_lastListLength{0};
constexpr std::size_t kMinListRoom = 1024;

struct Piece {
    CDocData* object;
    DOCNODE* last;
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

// The cell of a position given in cells from the grid's first one, held
// to the grid's `count` cells: monotonic in the position, so that
// neighbours stay in adjacent cells whatever the rounding. Clamped in
// integers, since a double near the count (beyond 2^53) has no room to
// step one below it; a position that is not a number takes the first cell.
std::uint64_t GridCell(double position, std::uint64_t count)
{
    const double c = std::floor(position);
    if (!(c > 0.0))
        return 0;
    if (c >= static_cast<double>(count))
        return count - 1;
    return std::min(static_cast<std::uint64_t>(c), count - 1);
}

// Points per strip of the marking below, and the most strips.
constexpr std::size_t kPointsPerStrip = 1u << 16;
constexpr std::size_t kMaxStrips = 64;

// Marks (1) the points that lie within `dist` (in x and in y) of another of
// them. Marks may be too many, never too few: a crowded cell marks all its
// points. Points with a coordinate that is not finite meet nothing and stay
// unmarked.
//
// The points are sorted by cells of at least twice the distance, so that a
// point's neighbours lie in its own or an adjacent cell, and each cell is
// compared with itself and with the four cells after it. Each point is one
// 64-bit word to sort: its cell number above, its own number below.
// `spread` has seen every point, as the points were written.
//
// Many points are first dealt into strips of whole columns of cells, in
// column order, and each strip is sorted on its own, side by side with the
// others: the strips then lie in one sorted array, and the cells are
// compared exactly as in one sort. A cell of a strip's last column may
// mark points of the next strip, so the marks are stored atomically.
std::vector<std::uint8_t> MarkPointsWithNeighbours(const ScratchArray<EndXY>& points, std::uint32_t count,
                                                   const PointSpread& spread, double dist)
{
    std::vector<std::uint8_t> marked(count, 0);
    const double x0 = spread.x0, x1 = spread.x1, y0 = spread.y0, y1 = spread.y1;
    const std::uint32_t finite = spread.finite;
    if (finite == 0)
        return marked;
    const int pointBits = std::max(1, static_cast<int>(std::bit_width(count - 1)));
    // Cell numbers take the bits above the point numbers, with room for
    // the next column's numbers.
    const double cellLimit = std::ldexp(1.0, 62 - pointBits);
    // A side too long for a double (the span of two finite ends may
    // overflow) puts everything in one cell.
    const double spanX = x1 - x0, spanY = y1 - y0;
    double cell = std::isfinite(spanX) && std::isfinite(spanY) ? dist * 2.0
                                                                : std::numeric_limits<double>::infinity();
    auto cells = [&](double c) { return (std::floor(spanX / c) + 3.0) * (std::floor(spanY / c) + 3.0); };
    while (std::isfinite(cell) && !(cells(cell) < cellLimit))
        cell *= 2.0;
    const std::uint64_t columnCount =
        std::isfinite(cell) ? static_cast<std::uint64_t>(std::floor(spanX / cell)) + 1 : 1;
    const std::uint64_t rowLength = std::isfinite(cell) ? static_cast<std::uint64_t>(std::floor(spanY / cell)) + 1 : 1;
    const double perCell = std::isfinite(cell) ? 1.0 / cell : 0.0;
    auto cellOf = [&](double v, double from, std::uint64_t count) {
        return GridCell((v - from) * perCell, count);
    };
    const std::size_t strips =
        finite < 2 * kPointsPerStrip ? 1 : std::min<std::size_t>(kMaxStrips, finite / kPointsPerStrip);
    auto stripOf = [&](std::uint64_t key) {
        return static_cast<std::size_t>(key / rowLength * strips / columnCount);
    };
    // Every point's word in its own place first (not finite: none), then
    // dealt into the strips, which the sort passes move between the arrays.
    ScratchArray<std::uint64_t> sorted(count);
    ScratchArray<std::uint64_t> spare(count);
    constexpr std::uint64_t kNoWord = ~std::uint64_t{0};
    const std::size_t chunks = strips;
    const std::size_t chunkLength = (std::size_t{count} + chunks - 1) / chunks;
    // Points of each chunk in each strip, chunk by chunk; then where each
    // chunk's points of a strip go.
    std::vector<std::size_t> dealt(chunks * strips, 0);
    std::vector<std::uint64_t> chunkMax(chunks, 0);
    auto run = [](std::size_t n, const std::function<void(std::size_t)>& fn) {
        if (n == 1)
            fn(0);
        else
            plat::ParallelFor(n, fn);
    };
    {
        std::uint64_t* words = spare.data();
        run(chunks, [&](std::size_t c) {
            const std::size_t from = c * chunkLength, to = std::min<std::size_t>(count, from + chunkLength);
            std::size_t* counts = dealt.data() + c * strips;
            std::uint64_t maxKey = 0;
            for (std::size_t k = from; k < to; ++k) {
                const EndXY p = points[k];
                if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
                    words[k] = kNoWord;
                    continue;
                }
                const std::uint64_t key = cellOf(p.x, x0, columnCount) * rowLength + cellOf(p.y, y0, rowLength);
                maxKey = std::max(maxKey, key);
                ++counts[stripOf(key)];
                words[k] = key << pointBits | k;
            }
            chunkMax[c] = maxKey;
        });
    }
    std::vector<std::size_t> stripStart(strips + 1, 0);
    {
        std::size_t sum = 0;
        for (std::size_t st = 0; st < strips; ++st) {
            stripStart[st] = sum;
            for (std::size_t c = 0; c < chunks; ++c) {
                std::size_t& here = dealt[c * strips + st];
                const std::size_t n = here;
                here = sum;
                sum += n;
            }
        }
        stripStart[strips] = sum;
    }
    const std::uint64_t maxKey = *std::max_element(chunkMax.begin(), chunkMax.end());
    run(chunks, [&](std::size_t c) {
        const std::size_t from = c * chunkLength, to = std::min<std::size_t>(count, from + chunkLength);
        std::size_t* next = dealt.data() + c * strips;
        const std::uint64_t* words = spare.data();
        std::uint64_t* out = sorted.data();
        for (std::size_t k = from; k < to; ++k) {
            const std::uint64_t w = words[k];
            if (w != kNoWord)
                out[next[stripOf(w >> pointBits)]++] = w;
        }
    });

    // Least significant digit first over the cell number's bits, in as few
    // passes of at most 11 bits as the bits need; the counts of every digit
    // are taken in one pass. A pass writes to as many places as a digit has
    // values: 2048 open cache lines stay in the second-level cache, where
    // 8192 (one pass fewer) made each write a miss and the sort slower.
    constexpr int kMaxDigit = 11;
    const int keyBits = static_cast<int>(std::bit_width(maxKey));
    const int passes = (keyBits + kMaxDigit - 1) / kMaxDigit;
    const int digit = passes == 0 ? 1 : (keyBits + passes - 1) / passes;
    const std::size_t buckets = std::size_t{1} << digit;
    const std::uint64_t digitMask = buckets - 1;
    run(strips, [&](std::size_t st) {
        const std::size_t first0 = stripStart[st], n = stripStart[st + 1] - first0;
        std::uint64_t* words = sorted.data() + first0;
        std::uint64_t* other = spare.data() + first0;
        std::vector<std::size_t> start(buckets * static_cast<std::size_t>(passes), 0);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t key = words[i] >> pointBits;
            for (int p = 0; p < passes; ++p)
                ++start[static_cast<std::size_t>(p) * buckets + ((key >> (p * digit)) & digitMask)];
        }
        for (int p = 0; p < passes; ++p) {
            std::size_t* first = start.data() + static_cast<std::size_t>(p) * buckets;
            std::size_t sum = 0;
            for (std::size_t b = 0; b < buckets; ++b) {
                const std::size_t here = first[b];
                first[b] = sum;
                sum += here;
            }
            const int shift = pointBits + p * digit;
            for (std::size_t i = 0; i < n; ++i)
                other[first[(words[i] >> shift) & digitMask]++] = words[i];
            std::swap(words, other);
        }
    });

    // Every strip ends in the same array: it made as many passes.
    const std::uint64_t* words = passes % 2 == 0 ? sorted.data() : spare.data();
    const std::size_t n = finite;
    const std::uint64_t pointMask = (std::uint64_t{1} << pointBits) - 1;
    auto keyAt = [&](std::size_t i) { return words[i] >> pointBits; };
    auto pointAt = [&](std::size_t i) { return static_cast<std::uint32_t>(words[i] & pointMask); };
    auto mark = [&](std::uint32_t k) { std::atomic_ref<std::uint8_t>(marked[k]).store(1, std::memory_order_relaxed); };
    constexpr std::size_t kMaxPairTests = 4096;
    auto near = [&](std::uint32_t a, std::uint32_t b) {
        return std::fabs(points[a].x - points[b].x) < dist && std::fabs(points[a].y - points[b].y) < dist;
    };
    auto markAll = [&](std::size_t b, std::size_t e) {
        for (std::size_t i = b; i < e; ++i)
            mark(pointAt(i));
    };
    // The pairs between two cells, or within one when they are the same.
    auto compare = [&](std::size_t b1, std::size_t e1, std::size_t b2, std::size_t e2) {
        if ((e1 - b1) * (e2 - b2) > kMaxPairTests) {
            markAll(b1, e1);
            markAll(b2, e2);
            return;
        }
        for (std::size_t i = b1; i < e1; ++i) {
            for (std::size_t j = b1 == b2 ? i + 1 : b2; j < e2; ++j) {
                if (near(pointAt(i), pointAt(j))) {
                    mark(pointAt(i));
                    mark(pointAt(j));
                }
            }
        }
    };
    auto cellEnd = [&](std::size_t b) {
        std::size_t e = b + 1;
        while (e < n && keyAt(e) == keyAt(b))
            ++e;
        return e;
    };
    // Cells after a cell that may hold neighbours: the next row of its
    // column, and three rows of the next column. Numbers that wrap into
    // another column only cost comparisons. A strip holds whole cells; the
    // cells after its last ones are read in the next strip.
    run(strips, [&](std::size_t st) {
        std::size_t nextColumn = stripStart[st];
        for (std::size_t b = stripStart[st]; b < stripStart[st + 1];) {
            const std::uint64_t key = keyAt(b);
            const std::size_t e = cellEnd(b);
            compare(b, e, b, e);
            if (e < n && keyAt(e) == key + 1)
                compare(b, e, e, cellEnd(e));
            const std::uint64_t lo = std::max(key + 2, key + rowLength - 1), hi = key + rowLength + 1;
            nextColumn = std::max(nextColumn, e);
            while (nextColumn < n && keyAt(nextColumn) < lo)
                ++nextColumn;
            for (std::size_t c = nextColumn; c < n && keyAt(c) <= hi;) {
                const std::size_t ce = cellEnd(c);
                compare(b, e, c, ce);
                c = ce;
            }
            b = e;
        }
    });
    return marked;
}

} // namespace

void CPathProc::ReverseCurve(CDocData* object)
{
    if (object == nullptr)
        return;
    switch (object->GetType()) {
    case MT_LINE:
    case MT_RECT:
    case MT_ELLIPSE:
    case MT_BEZIER:
    case MT_NURBS:
    case MT_CHAR:
    case MT_GROUP:
        object->Reverse();
        break;
    default:
        break;
    }
}

void CPathProc::LineToBezier(CDocData*& list, DOCCONTEXT* ctx, std::uint8_t firstOnly)
{
    for (CDocData* o = list; o != nullptr;) {
        CDocData* next = o->m_pNext;
        if (IsPolyline(o)) {
            // Anchor, then for every further anchor: outgoing control on the
            // previous anchor, incoming control on this one, the anchor.
            DOCNODE* head = nullptr;
            DOCNODE* tail = nullptr;
            const DOCNODE* prev = nullptr;
            for (const DOCNODE* n = o->m_pNodes; n != nullptr;) {
                if (prev != nullptr) {
                    tail = AppendNode(tail, prev->m_x, prev->m_y, NODE_CONTROL_OUT);
                    tail = AppendNode(tail, n->m_x, n->m_y, NODE_CONTROL_IN);
                }
                tail = AppendNode(tail, n->m_x, n->m_y, NODE_ANCHOR, n->m_nSelect);
                if (head == nullptr)
                    head = tail;
                prev = n;
                n = n->m_pNext;
                if (n == o->m_pNodes)
                    break;
            }
            // Built without the node-list constructor's closing test: an
            // open polyline whose ends happen to meet (as a joined curve
            // may) stays open, with its end anchor where it was.
            CDocDataBezier* b = new CDocDataBezier;
            b->m_pNodes = head;
            b->m_bClosed = o->m_bClosed;
            b->RecalcBoundRect(ctx);
            b->m_nLayer = o->m_nLayer;
            b->m_nColor = o->m_nColor;
            b->m_bSelected = o->m_bSelected;
            b->m_bOutput = o->m_bOutput;
            b->m_pPrev = o->m_pPrev;
            b->m_pNext = o->m_pNext;
            if (b->m_pPrev != nullptr)
                b->m_pPrev->m_pNext = b;
            else
                list = b;
            if (b->m_pNext != nullptr)
                b->m_pNext->m_pPrev = b;
            o->m_pPrev = o->m_pNext = nullptr;
            delete o;
        }
        if (firstOnly != 0)
            break;
        o = next;
    }
}

void CPathProc::MatchCurveTypes(CDocData*& a, CDocData*& b, DOCCONTEXT* ctx)
{
    if (a == nullptr || b == nullptr)
        return;
    if (IsBezier(a) && IsPolyline(b))
        LineToBezier(b, ctx, 1);
    else if (IsPolyline(a) && IsBezier(b))
        LineToBezier(a, ctx, 1);
}

namespace {

// Both curves open lists of two or more nodes: the joints TrimJoint treats.
bool CanTrim(const CDocData* a, const CDocData* b)
{
    const DOCNODE* aHead = a->m_pNodes;
    const DOCNODE* bHead = b->m_pNodes;
    return aHead != nullptr && bHead != nullptr && aHead->m_pPrev == nullptr && bHead->m_pPrev == nullptr &&
           aHead->m_pNext != nullptr && bHead->m_pNext != nullptr;
}

// TrimJoint with a's last node known; returns a's last node afterwards.
// Neither curve is measured beyond what the limits below can tell apart
// (the reach, half the curve, twice t), so joining a long chain piece by
// piece stays linear.
DOCNODE* TrimJointAt(CDocData* a, DOCNODE* aLast, CDocData* b, double t)
{
    DOCNODE* aHead = a->m_pNodes;
    DOCNODE* bHead = b->m_pNodes;
    const double reach = t * kCrossingSearchFactor;
    // Beyond four times the larger limit a length only ever compares as
    // "long": half of it exceeds the reach and it exceeds 2t.
    const double cap = 4.0 * std::max(reach, t);
    const double la = LengthUpTo(aHead, aLast, cap);
    const double lb = LengthUpTo(bHead, nullptr, cap);

    // Crossing search near the joint: a's segments backwards from its end,
    // b's forwards from its start, each while the length walked before the
    // segment stays below half the curve and below the reach.
    double sumA = 0.0;
    for (DOCNODE* a1 = aLast; a1->m_pPrev != nullptr && sumA < la * 0.5 && sumA < reach; a1 = a1->m_pPrev) {
        DOCNODE* a0 = a1->m_pPrev;
        double sumB = 0.0;
        for (DOCNODE* b0 = bHead; b0->m_pNext != nullptr && sumB < lb * 0.5 && sumB < reach; b0 = b0->m_pNext) {
            DOCNODE* b1 = b0->m_pNext;
            double x = 0.0, y = 0.0;
            // Parallel segments have no cut point and are passed over.
            if (SegmentsCross(a0, a1, b0, b1) &&
                GeoLineIntersection(a0->m_x, a0->m_y, a1->m_x, a1->m_y, b0->m_x, b0->m_y, b1->m_x, b1->m_y, x,
                                    y) == 0) {
                a1->m_x = x;
                a1->m_y = y;
                DOCNODE* rest = a1->m_pNext;
                a1->m_pNext = nullptr;
                CDocState::FreeNodeList(rest);
                b0->m_x = x;
                b0->m_y = y;
                if (b0 != bHead) {
                    b0->m_pPrev->m_pNext = nullptr;
                    b0->m_pPrev = nullptr;
                    CDocState::FreeNodeList(bHead);
                    b->m_pNodes = b0;
                }
                return a1;
            }
            sumB += Distance(b0, b1);
        }
        sumA += Distance(a0, a1);
    }

    // No crossing: an end that turns back sharply at the joint is shortened
    // by t; b is judged at the joint as a's shortening left it.
    constexpr double kSharpTurn = std::numbers::pi / 2.0;
    if (t > 0.0 && la > 2.0 * t &&
        GeoTurnAngle(aLast->m_pPrev->m_x, aLast->m_pPrev->m_y, aLast->m_x, aLast->m_y, bHead->m_x, bHead->m_y) >
            kSharpTurn) {
        aLast = ShortenEnd(aLast, t);
    }
    const DOCNODE* b1 = bHead->m_pNext;
    if (t > 0.0 && lb > 2.0 * t &&
        GeoTurnAngle(aLast->m_x, aLast->m_y, bHead->m_x, bHead->m_y, b1->m_x, b1->m_y) > kSharpTurn)
        b->m_pNodes = ShortenStart(bHead, t);
    return aLast;
}

} // namespace

void CPathProc::TrimJoint(CDocData* a, CDocData* b, double t)
{
    if (a == nullptr || b == nullptr || !CanTrim(a, b))
        return;
    TrimJointAt(a, LastNode(a->m_pNodes), b, t);
}

void CPathProc::UniteCurves(CDocData*& list, double tol, std::uint8_t deleteCrossings, DOCCONTEXT* ctx)
{
    UniteCurves(list, tol, deleteCrossings, ctx, nullptr, nullptr);
}

void CPathProc::UniteCurves(CDocData*& list, double tol, std::uint8_t deleteCrossings, DOCCONTEXT* ctx,
                            const std::function<void(CDocData*)>& prepare)
{
    UniteCurves(list, tol, deleteCrossings, ctx, prepare, nullptr);
}

void CPathProc::UniteCurves(CDocData*& list, double tol, std::uint8_t deleteCrossings, DOCCONTEXT* ctx,
                            const std::vector<CDocData*>& objects)
{
    UniteCurves(list, tol, deleteCrossings, ctx, nullptr, &objects);
}

void CPathProc::UniteCurves(CDocData*& list, double tol, std::uint8_t deleteCrossings, DOCCONTEXT* ctx,
                            const std::function<void(CDocData*)>& prepare, const std::vector<CDocData*>* objects)
{
    if (list == nullptr || !(tol >= kMinTolerance)) {
        if (prepare)
            for (CDocData* o = list; o != nullptr; o = o->m_pNext)
                prepare(o);
        return;
    }
    const double join = tol * kJoinFactor;

    // Objects are addressed by their list place. The list stays linked:
    // an object joined into an earlier curve leaves it, and most objects,
    // which join nothing, are not touched again.
    std::size_t room = std::max(g_lastListLength.load(std::memory_order_relaxed), kMinListRoom);
    // With each object the last node of a candidate: a curve is untouched
    // until its own turn comes, so the walk to its end is made once.
    // Objects joined into an earlier curve leave their place empty. (One
    // array for both, so that the call's scratch blocks stay few enough to
    // be kept for the next call.)
    ScratchArray<Piece> pieces(room);
    // The ends as they were: object k's start is point 2k, its end 2k + 1
    // (not a number for objects that are not candidates).
    ScratchArray<EndXY> endPoints(2 * room);
    constexpr double kNoEnd = std::numeric_limits<double>::quiet_NaN();
    PointSpread spread;
    auto take = [&](std::uint32_t i, CDocData* o, PointSpread& seen) {
        Piece& piece = pieces[i];
        piece.object = o;
        if (IsCandidate(o)) {
            piece.last = LastNode(o->m_pNodes);
            endPoints[2 * i] = EndXY{o->m_pNodes->m_x, o->m_pNodes->m_y};
            endPoints[2 * i + 1] = EndXY{piece.last->m_x, piece.last->m_y};
            seen.Add(endPoints[2 * i]);
            seen.Add(endPoints[2 * i + 1]);
        } else {
            piece.last = nullptr;
            endPoints[2 * i] = endPoints[2 * i + 1] = EndXY{kNoEnd, kNoEnd};
        }
    };
    std::uint32_t count = 0;
    if (objects != nullptr) {
        count = static_cast<std::uint32_t>(objects->size());
        pieces.Grow(count, 0);
        endPoints.Grow(2 * std::size_t{count}, 0);
        for (std::uint32_t i = 0; i < count; ++i)
            take(i, (*objects)[i], spread);
    } else {
        for (CDocData* o = list; o != nullptr; o = o->m_pNext, ++count) {
            if (count == room) {
                room *= 2;
                pieces.Grow(room, count);
                endPoints.Grow(2 * room, 2 * std::size_t{count});
            }
            if (prepare)
                prepare(o);
            take(count, o, spread);
        }
    }
    g_lastListLength.store(count, std::memory_order_relaxed);
    // Most ends of a drawing either meet another end or lie alone; the
    // lonely ones are left out of the search.
    const std::vector<std::uint8_t> mayJoin = MarkPointsWithNeighbours(endPoints, 2 * count, spread, join);
    // The ends that may join, in cells of the join distance; a search
    // returns the earliest object in list order, so the result is the one a
    // walk through the list would find.
    plat::SpatialGrid starts(join, 0);
    plat::SpatialGrid ends(join, 0);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (mayJoin[2 * i])
            starts.AddPoint(endPoints[2 * i].x, endPoints[2 * i].y, i);
        if (mayJoin[2 * i + 1])
            ends.AddPoint(endPoints[2 * i + 1].x, endPoints[2 * i + 1].y, i);
    }
    starts.Build();
    ends.Build();

    auto isAlive = [&](std::uint32_t k) { return pieces[k].object != nullptr; };
    // Which former end of object j a curve's end now is, if any.
    auto endPointAt = [](const DOCNODE* n, std::uint32_t j, double sx, double sy, double ex, double ey) {
        if (n->m_x == ex && n->m_y == ey)
            return 2 * j + 1;
        if (n->m_x == sx && n->m_y == sy)
            return 2 * j;
        return kNone;
    };

    CDocData* head = list;
    head->m_pPrev = nullptr;
    for (std::uint32_t i = 0; i < count; ++i) {
        CDocData* a = pieces[i].object;
        if (a == nullptr)
            continue; // joined into an earlier curve
        // Neither end near another: nothing to join (the searches below
        // would all stop at once).
        if (pieces[i].last != nullptr && (mayJoin[2 * i] || mayJoin[2 * i + 1])) {
            // Out of the list while it is joined, since a change of its type
            // makes a new object; back in after the object before it, which
            // is earlier and so never joined away.
            CDocData* const place = a->m_pPrev;
            UnlinkObject(head, a);
            const std::int32_t own = a->m_nLayer;
            auto sameLayer = [&](std::uint32_t k) { return pieces[k].object->m_nLayer == own; };
            DOCNODE* aLast = pieces[i].last;
            std::uint32_t startPoint = 2 * i, endPoint = 2 * i + 1;
            bool joined = false;
            // Phases: 1 end-start, 2 end-end, 3 start-end, 4 start-start,
            // each until it finds nothing. A join moves an end to where an
            // earlier phase may now find a piece (a loop drawn in any order
            // and direction), so the phases go round again until four in a
            // row have found nothing; a further round follows a join, which
            // keeps the work linear.
            for (int phase = 1, idle = 0; idle < 4; phase = phase % 4 + 1) {
                const bool atEnd = phase <= 2;
                plat::SpatialGrid& grid = (phase == 1 || phase == 4) ? starts : ends;
                for (;;) {
                    const DOCNODE* q = atEnd ? aLast : a->m_pNodes;
                    // A search from a lonely former end cannot find anything.
                    const std::uint32_t point = atEnd ? endPoint : startPoint;
                    if (point != kNone && !mayJoin[point])
                        break;
                    const std::uint32_t j = grid.FindEarliest(q->m_x, q->m_y, join, i, isAlive, sameLayer);
                    if (j == kNone)
                        break;
                    CDocData* b = pieces[j].object;
                    pieces[j].object = nullptr;
                    UnlinkObject(head, b);
                    const double sx = endPoints[2 * j].x, sy = endPoints[2 * j].y;
                    const double ex = endPoints[2 * j + 1].x, ey = endPoints[2 * j + 1].y;
                    CDocData* before = a;
                    MatchCurveTypes(a, b, ctx);
                    if (a != before)
                        aLast = LastNode(a->m_pNodes);
                    if (phase == 2 || phase == 4)
                        ReverseCurve(b);
                    if (atEnd) {
                        if (deleteCrossings != 0 && IsPolyline(a) && CanTrim(a, b))
                            aLast = TrimJointAt(a, aLast, b, join);
                        aLast = AppendAfterEnd(a, aLast, b);
                        endPoint = endPointAt(aLast, j, sx, sy, ex, ey);
                    } else {
                        if (deleteCrossings != 0 && IsPolyline(a) && CanTrim(b, a))
                            TrimJointAt(b, LastNode(b->m_pNodes), a, join);
                        PrependBeforeStart(a, b);
                        startPoint = endPointAt(a->m_pNodes, j, sx, sy, ex, ey);
                    }
                    delete b;
                    joined = true;
                    idle = -1;
                }
                ++idle;
            }
            // The box depends on the final nodes only, so it is computed once
            // after the last join instead of after each.
            if (joined)
                a->RecalcBoundRect(ctx);
            pieces[i].object = a;
            CDocData* const next = place != nullptr ? place->m_pNext : head;
            a->m_pPrev = place;
            a->m_pNext = next;
            if (place != nullptr)
                place->m_pNext = a;
            else
                head = a;
            if (next != nullptr)
                next->m_pPrev = a;
        }
    }
    if (head != nullptr)
        head->m_pPrev = nullptr;
    list = head;
}
