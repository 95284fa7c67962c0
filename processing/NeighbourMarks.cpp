// The marking of the points that lie near another: the points sorted by
// cells of at least twice the distance (each point one 64-bit word, its
// cell number above, its own number below), in strips side by side, and
// each cell compared with its neighbours.
#include "NeighbourMarks.h"

#include "platform/ParallelFor.h"

#include <atomic>
#include <bit>
#include <functional>

namespace plat::uniting {

namespace {

// Points per strip of the marking below, and the most strips.
constexpr std::size_t kPointsPerStrip = 1u << 16;
constexpr std::size_t kMaxStrips = 64;
// Pairs of two cells beyond which both are marked whole.
constexpr std::size_t kMaxPairTests = 4096;

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

void Run(std::size_t n, const std::function<void(std::size_t)>& fn)
{
    if (n == 1)
        fn(0);
    else
        plat::ParallelFor(n, fn);
}

// The cells the points are sorted by: of at least twice the distance, so
// that a point's neighbours lie in its own or an adjacent cell, numbered
// column by column, and few enough for a cell number to fit above the point
// numbers in a 64-bit word (with room for the next column's numbers); the
// columns dealt into strips.
struct CellGrid {
    CellGrid(const PointSpread& spread, std::uint32_t count, double dist)
        : pointBits(std::max(1, static_cast<int>(std::bit_width(count - 1)))), x0(spread.x0), y0(spread.y0)
    {
        const double cellLimit = std::ldexp(1.0, 62 - pointBits);
        // A side too long for a double (the span of two finite ends may
        // overflow) puts everything in one cell.
        const double spanX = spread.x1 - spread.x0, spanY = spread.y1 - spread.y0;
        double cell = std::isfinite(spanX) && std::isfinite(spanY) ? dist * 2.0
                                                                    : std::numeric_limits<double>::infinity();
        auto cells = [&](double c) { return (std::floor(spanX / c) + 3.0) * (std::floor(spanY / c) + 3.0); };
        while (std::isfinite(cell) && !(cells(cell) < cellLimit))
            cell *= 2.0;
        columnCount = std::isfinite(cell) ? static_cast<std::uint64_t>(std::floor(spanX / cell)) + 1 : 1;
        rowLength = std::isfinite(cell) ? static_cast<std::uint64_t>(std::floor(spanY / cell)) + 1 : 1;
        perCell = std::isfinite(cell) ? 1.0 / cell : 0.0;
        strips = spread.finite < 2 * kPointsPerStrip ? 1 : std::min<std::size_t>(kMaxStrips, spread.finite / kPointsPerStrip);
    }
    std::uint64_t KeyOf(const EndXY& p) const
    {
        return GridCell((p.x - x0) * perCell, columnCount) * rowLength + GridCell((p.y - y0) * perCell, rowLength);
    }
    std::size_t StripOf(std::uint64_t key) const { return static_cast<std::size_t>(key / rowLength * strips / columnCount); }

    const int pointBits;
    const double x0;
    const double y0;
    std::uint64_t columnCount;
    std::uint64_t rowLength;
    double perCell;
    std::size_t strips;
};

// Every finite point's word (its cell number above, its own number below),
// sorted. Many points are first dealt into strips of whole columns of
// cells, in column order, and each strip is sorted on its own, side by side
// with the others: the strips then lie in one sorted array. Returns the
// array the words end in; stripStart gets where each strip begins, and its
// end.
const std::uint64_t* SortByCell(const ScratchArray<EndXY>& points, std::uint32_t count, const CellGrid& grid,
                                ScratchArray<std::uint64_t>& sorted, ScratchArray<std::uint64_t>& spare,
                                std::vector<std::size_t>& stripStart)
{
    const std::size_t strips = grid.strips;
    const int pointBits = grid.pointBits;
    // Every point's word in its own place first (not finite: none), then
    // dealt into the strips, which the sort passes move between the arrays.
    constexpr std::uint64_t kNoWord = ~std::uint64_t{0};
    const std::size_t chunks = strips;
    const std::size_t chunkLength = (std::size_t{count} + chunks - 1) / chunks;
    // Points of each chunk in each strip, chunk by chunk; then where each
    // chunk's points of a strip go.
    std::vector<std::size_t> dealt(chunks * strips, 0);
    std::vector<std::uint64_t> chunkMax(chunks, 0);
    {
        std::uint64_t* words = spare.data();
        Run(chunks, [&](std::size_t c) {
            const std::size_t from = c * chunkLength, to = std::min<std::size_t>(count, from + chunkLength);
            std::size_t* counts = dealt.data() + c * strips;
            std::uint64_t maxKey = 0;
            for (std::size_t k = from; k < to; ++k) {
                const EndXY p = points[k];
                if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
                    words[k] = kNoWord;
                    continue;
                }
                const std::uint64_t key = grid.KeyOf(p);
                maxKey = std::max(maxKey, key);
                ++counts[grid.StripOf(key)];
                words[k] = key << pointBits | k;
            }
            chunkMax[c] = maxKey;
        });
    }
    stripStart.assign(strips + 1, 0);
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
    Run(chunks, [&](std::size_t c) {
        const std::size_t from = c * chunkLength, to = std::min<std::size_t>(count, from + chunkLength);
        std::size_t* next = dealt.data() + c * strips;
        const std::uint64_t* words = spare.data();
        std::uint64_t* out = sorted.data();
        for (std::size_t k = from; k < to; ++k) {
            const std::uint64_t w = words[k];
            if (w != kNoWord)
                out[next[grid.StripOf(w >> pointBits)]++] = w;
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
    Run(strips, [&](std::size_t st) {
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
    return passes % 2 == 0 ? sorted.data() : spare.data();
}

} // namespace

// Each cell is compared with itself and with the four cells after it. A
// cell of a strip's last column may mark points of the next strip, so the
// marks are stored atomically.
std::vector<std::uint8_t> MarkPointsWithNeighbours(const ScratchArray<EndXY>& points, std::uint32_t count,
                                                   const PointSpread& spread, double dist)
{
    std::vector<std::uint8_t> marked(count, 0);
    if (spread.finite == 0)
        return marked;
    const CellGrid grid(spread, count, dist);
    ScratchArray<std::uint64_t> sorted(count);
    ScratchArray<std::uint64_t> spare(count);
    std::vector<std::size_t> stripStart;
    const std::uint64_t* words = SortByCell(points, count, grid, sorted, spare, stripStart);

    const std::size_t n = spread.finite;
    const int pointBits = grid.pointBits;
    const std::uint64_t rowLength = grid.rowLength;
    const std::uint64_t pointMask = (std::uint64_t{1} << pointBits) - 1;
    auto keyAt = [&](std::size_t i) { return words[i] >> pointBits; };
    auto pointAt = [&](std::size_t i) { return static_cast<std::uint32_t>(words[i] & pointMask); };
    auto mark = [&](std::uint32_t k) { std::atomic_ref<std::uint8_t>(marked[k]).store(1, std::memory_order_relaxed); };
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
    Run(grid.strips, [&](std::size_t st) {
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

} // namespace plat::uniting
