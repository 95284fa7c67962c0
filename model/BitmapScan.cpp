#include "BitmapScan.h"

#include "BitmapBuffer.h"
#include "BmpHeader.h"
#include "ChessboardDistance.h"
#include "machinecomm/JobStream.h"
#include "platform/PhysicalMemory.h"
#include "platform/Prompt.h"
#include "platform/TextFile.h"
#include "settings/LanguageTable.h"
#include "settings/WorkParams.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <utility>

namespace {

constexpr std::u16string_view kErrorSection = u"phase15:error-hint";
// Two ends closer than this are one pixel.
constexpr double kSinglePixelTol = 0.001;
// A lengthening below this is no lengthening.
constexpr double kMinSingleLength = 1e-5;
// Below this slope width (mm) there is no slope.
constexpr double kMinIncline = 0.001;
// Path sub-kind of a raster scan.
constexpr std::uint16_t kScanSubkind = 2;

// Stream bytes of one run at the least: a relative move and a cut.
constexpr std::uint64_t kStreamBytesPerRun = 6;
// The limit where the computer does not tell its memory.
constexpr std::uint64_t kUnknownMemorySegments = 16'000'000;
// A quarter of the memory for one scan's records, as for the undo history.
constexpr std::uint64_t kMemoryShare = 4;

// A limit set by a test; 0 for the computer's.
std::size_t g_maxScanSegments = 0;

// v + 0.5 truncated toward zero, for non-negative v, held to [0, max]; no
// number (or a negative one) gives 0.
std::size_t RoundCount(double v, std::size_t max)
{
    if (!(v >= 0.0))
        return 0;
    const double r = v + 0.5;
    if (r >= static_cast<double>(max))
        return max;
    return static_cast<std::size_t>(r);
}

SEGNODE* NewRunSegment(std::size_t start, std::size_t end, double fixed, bool rowMode, std::uint16_t grey0,
                       std::uint16_t grey1, std::uint16_t powerFlag)
{
    SEGNODE* s = new SEGNODE;
    s->m_nMode = powerFlag;
    s->m_nGrey0 = grey0;
    s->m_nGrey1 = grey1;
    const double a = static_cast<double>(start);
    const double b = static_cast<double>(end);
    if (rowMode) {
        s->m_x0 = a;
        s->m_x1 = b;
        s->m_y0 = s->m_y1 = fixed;
    } else {
        s->m_y0 = a;
        s->m_y1 = b;
        s->m_x0 = s->m_x1 = fixed;
    }
    return s;
}

// The run finder of all four scanners: emit(start, end, startGrey,
// endGrey) for every run in order. `at(k)` is the pixel at scan position k
// (0 .. count - 1) and `index(k)` its pixel index along the line.
template <typename At, typename Index, typename Emit>
void ForEachRun(std::size_t count, At at, Index index, Emit emit)
{
    enum class State { Outside, Opened, Running };
    State state = State::Outside;
    std::size_t start = 0, end = 0;
    int startGrey = 0, endGrey = 0, step = 0;
    auto open = [&](std::size_t k, int v) {
        start = end = index(k);
        startGrey = endGrey = v;
        state = State::Opened;
    };
    for (std::size_t k = 0; k < count; ++k) {
        const int v = at(k);
        switch (state) {
        case State::Outside:
            if (v != 0)
                open(k, v);
            break;
        case State::Opened:
            // The second pixel fixes the run's grey step.
            if (v != 0) {
                end = index(k);
                endGrey = v;
                step = v - startGrey;
                state = State::Running;
            } else {
                emit(start, end, startGrey, endGrey);
                state = State::Outside;
            }
            break;
        case State::Running:
            if (v - endGrey == step) {
                end = index(k);
                endGrey = v;
            } else {
                emit(start, end, startGrey, endGrey);
                state = State::Outside;
                if (v != 0)
                    open(k, v);
            }
            break;
        }
    }
    // A run still open at the line's end is kept, also one that opened on
    // its last pixel: that edge pixel is engraved too.
    if (state != State::Outside)
        emit(start, end, startGrey, endGrey);
}

// The runs of one line: a row (stride 1) walked toward +x or -x, or a
// column walked toward +y or -y from its bottom pixel.
template <typename Emit>
void LineRuns(const std::uint8_t* pixels, std::size_t count, std::size_t stride, bool forward, Emit emit)
{
    if (forward)
        ForEachRun(
            count, [&](std::size_t k) { return int{pixels[k * stride]}; }, [](std::size_t k) { return k; }, emit);
    else
        ForEachRun(
            count, [&](std::size_t k) { return int{pixels[(count - 1 - k) * stride]}; },
            [&](std::size_t k) { return count - 1 - k; }, emit);
}

SegmentChain FindRuns(const std::uint8_t* pixels, std::size_t count, std::size_t stride, bool forward, double fixed,
                      bool rowMode, std::uint16_t powerFlag)
{
    SegmentChain out;
    LineRuns(pixels, count, stride, forward, [&](std::size_t start, std::size_t end, int g0, int g1) {
        out.Append(NewRunSegment(start, end, fixed, rowMode, static_cast<std::uint16_t>(g0),
                                 static_cast<std::uint16_t>(g1), powerFlag));
    });
    return out;
}

// The lines of a scan in its order: line(pixels, count, stride, fixed,
// rowMode, forward) gets each and returns whether it gave runs, or stops
// the walk with -1. Styles 2 and 3 take columns, the others rows; a style
// of both ways (1 and 3) turns after a line with runs.
template <typename Line>
void ForEachScanLine(const BMPHEADER& h, const std::uint8_t* pixels, double spacing, int style, int posPoint,
                     Line line)
{
    const std::size_t width = static_cast<std::size_t>(h.m_width);
    const std::size_t rows = h.m_rows;
    if (style == 2 || style == 3) {
        const std::size_t step = std::max<std::size_t>(RoundCount(h.XPelsPerMetre() * 0.001 * spacing, width), 1);
        bool up = true;
        for (std::size_t x = 0; x < width; x += step) {
            const int gave = line(pixels + x, rows, h.m_stride, static_cast<double>(x), false, up);
            if (gave < 0)
                return;
            if (gave > 0 && style == 3)
                up = !up;
        }
    } else {
        const std::size_t step = std::max<std::size_t>(RoundCount(h.YPelsPerMetre() * 0.001 * spacing, rows), 1);
        const bool fromFirst = posPoint == 6 || posPoint == 8;
        bool forward = !(posPoint == 8 || posPoint == 2);
        for (std::size_t n = 0; n * step < rows; ++n) {
            const std::size_t y = fromFirst ? n * step : rows - 1 - n * step;
            const int gave = line(pixels + y * h.m_stride, width, 1, static_cast<double>(y), true, forward);
            if (gave < 0)
                return;
            if (gave > 0 && style == 1)
                forward = !forward;
        }
    }
}

// Whether the scan makes more than `limit` segments, counted without making
// any; one-pixel runs count unless they are dropped.
bool MoreRunsThan(const BMPHEADER& h, const std::uint8_t* pixels, double spacing, int style, int posPoint,
                  bool dropSingles, std::size_t limit)
{
    std::size_t total = 0;
    ForEachScanLine(h, pixels, spacing, style, posPoint,
                    [&](const std::uint8_t* line, std::size_t count, std::size_t stride, double, bool, bool forward) {
                        std::size_t runs = 0;
                        LineRuns(line, count, stride, forward, [&](std::size_t start, std::size_t end, int, int) {
                            if (!dropSingles || start != end)
                                ++runs;
                        });
                        total += runs;
                        return total > limit ? -1 : (runs != 0 ? 1 : 0);
                    });
    return total > limit;
}

} // namespace

void ShowScanTooLarge()
{
    plat::MessageBox(LanguageText(RegisteredLanguageTable(), kErrorSection, kScanTooLargeText), std::u16string(),
                     plat::MB_OK);
}

std::size_t ScanSegmentLimit(std::uint64_t physicalBytes)
{
    const std::uint64_t stream = kStreamLengthMax / kStreamBytesPerRun;
    const std::uint64_t memory =
        physicalBytes == 0 ? kUnknownMemorySegments : physicalBytes / kMemoryShare / sizeof(SEGNODE);
    return static_cast<std::size_t>(std::min(stream, memory));
}

std::size_t MaxScanSegments()
{
    static const std::size_t computer = ScanSegmentLimit(plat::PhysicalMemoryBytes());
    return g_maxScanSegments != 0 ? g_maxScanSegments : computer;
}

std::size_t plat::SetMaxScanSegmentsForTesting(std::size_t limit)
{
    const std::size_t old = MaxScanSegments();
    g_maxScanSegments = limit;
    return old;
}

void SegmentChain::Append(SEGNODE* seg)
{
    seg->m_pPrev = m_pLast;
    seg->m_pNext = nullptr;
    if (m_pLast != nullptr)
        m_pLast->m_pNext = seg;
    else
        m_pFirst = seg;
    m_pLast = seg;
    ++m_nCount;
}

void SegmentChain::Splice(SegmentChain& other)
{
    if (other.m_pFirst == nullptr)
        return;
    other.m_pFirst->m_pPrev = m_pLast;
    if (m_pLast != nullptr)
        m_pLast->m_pNext = other.m_pFirst;
    else
        m_pFirst = other.m_pFirst;
    m_pLast = other.m_pLast;
    m_nCount += other.m_nCount;
    other = SegmentChain();
}

void SegmentChain::Unlink(SEGNODE* seg)
{
    if (seg->m_pPrev != nullptr)
        seg->m_pPrev->m_pNext = seg->m_pNext;
    else
        m_pFirst = seg->m_pNext;
    if (seg->m_pNext != nullptr)
        seg->m_pNext->m_pPrev = seg->m_pPrev;
    else
        m_pLast = seg->m_pPrev;
    seg->m_pPrev = seg->m_pNext = nullptr;
    --m_nCount;
}

void SegmentChain::Free()
{
    for (SEGNODE* s = m_pFirst; s != nullptr;) {
        SEGNODE* next = s->m_pNext;
        delete s;
        s = next;
    }
    *this = SegmentChain();
}

SegmentChain ScanRowForward(const std::uint8_t* pixels, std::size_t count, double fixed, std::uint16_t powerFlag)
{
    return FindRuns(pixels, count, 1, true, fixed, true, powerFlag);
}

SegmentChain ScanRowBackward(const std::uint8_t* pixels, std::size_t count, double fixed, std::uint16_t powerFlag)
{
    return FindRuns(pixels, count, 1, false, fixed, true, powerFlag);
}

SegmentChain ScanColumnUp(const std::uint8_t* pixels, std::size_t count, std::size_t stride, double fixed,
                          std::uint16_t powerFlag)
{
    return FindRuns(pixels, count, stride, true, fixed, false, powerFlag);
}

SegmentChain ScanColumnDown(const std::uint8_t* pixels, std::size_t count, std::size_t stride, double fixed,
                            std::uint16_t powerFlag)
{
    return FindRuns(pixels, count, stride, false, fixed, false, powerFlag);
}

void FixSinglePixels(SegmentChain& list, bool remove, double length, bool rowMode, bool forward)
{
    const bool drop = remove || length < kMinSingleLength;
    const double d = forward ? length : -length;
    for (SEGNODE* s = list.m_pFirst; s != nullptr;) {
        SEGNODE* next = s->m_pNext;
        if (std::fabs(s->m_x0 - s->m_x1) <= kSinglePixelTol && std::fabs(s->m_y0 - s->m_y1) <= kSinglePixelTol) {
            if (drop) {
                list.Unlink(s);
                delete s;
            } else if (rowMode) {
                s->m_x1 += d;
            } else {
                s->m_y1 += d;
            }
        }
        s = next;
    }
}

void InvertPixels(std::uint8_t* pixels, int width, int height)
{
    if (pixels == nullptr || width <= 0 || height <= 0)
        return;
    const std::size_t stride = BitmapRowStride(width);
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        std::uint8_t* row = pixels + y * stride;
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x)
            row[x] = static_cast<std::uint8_t>(255 - row[x]);
    }
}

bool MakeSlope(std::uint8_t* pixels, int width, int height, int levels)
{
    if (pixels == nullptr || width <= 0 || height <= 0 || levels <= 1)
        return true; // one level sets nothing but 255
    levels = std::min(levels, kMaxSlopeLevels);
    const int step = 255 / levels;
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    const std::size_t stride = BitmapRowStride(width);
    // The pass that sets a pixel is its distance from the pixels holding a
    // level's grey: from 0 for grey 0, from k for grey k x step. Other greys
    // never change and pass nothing on (kStop). Pixels at 255 start at
    // `levels`, which leaves them at 255, so that no distance beyond is
    // worked out.
    constexpr std::uint8_t kStop = 254;
    std::uint8_t start[256];
    std::fill(start, start + 256, kStop);
    for (int k = 0; k < levels; ++k)
        start[k * step] = static_cast<std::uint8_t>(k);
    start[255] = static_cast<std::uint8_t>(levels);
    std::unique_ptr<std::uint8_t[]> d(new (std::nothrow) std::uint8_t[w * h]);
    if (d == nullptr)
        return false;
    // A grey pixel keeps its own distance, or none: smaller distances cannot
    // pass it, and may have to wind round it.
    bool greys = false;
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* row = pixels + y * stride;
        for (std::size_t x = 0; x < w; ++x) {
            greys = greys || (row[x] != 0 && row[x] != 255);
            d[y * w + x] = start[row[x]];
        }
    }
    auto movable = [&](std::uint8_t, std::size_t x, std::size_t y) { return pixels[y * stride + x] == 255; };
    ChessboardDistances(d.get(), w, w, h, movable, greys);
    for (std::size_t y = 0; y < h; ++y) {
        std::uint8_t* row = pixels + y * stride;
        for (std::size_t x = 0; x < w; ++x) {
            const int k = d[y * w + x];
            if (row[x] == 255 && k < levels)
                row[x] = static_cast<std::uint8_t>(k * step);
        }
    }
    return true;
}

PATHREC* ScanBitmap(const std::uint8_t* bmp, std::size_t size, double spacing, int style, std::uint16_t powerFlag,
                    int posPoint)
{
    BMPHEADER h;
    if (!ParseBmpHeader(bmp, size, h) || !h.IsPlainGrey8())
        return nullptr;
    const std::uint8_t* pixels = bmp + h.m_dataOffset;
    const double single = std::min(h.XPelsPerMetre() * 0.001 * 0.01, 1.0);
    const bool dropSingles = single < kMinSingleLength;
    const std::size_t limit = MaxScanSegments();

    // A line of n pixels holds at most n / 2 + 1 runs (a run takes two
    // pixels, but for a last one or one before a white pixel). A scan that
    // might pass the limit is counted first, exactly, so that one refused
    // makes no segment at all.
    const bool columns = style == 2 || style == 3;
    const std::size_t along = columns ? h.m_rows : static_cast<std::size_t>(h.m_width);
    const std::size_t across = columns ? static_cast<std::size_t>(h.m_width) : h.m_rows;
    if (static_cast<double>(across) * static_cast<double>(along / 2 + 1) > static_cast<double>(limit) &&
        MoreRunsThan(h, pixels, spacing, style, posPoint, dropSingles, limit)) {
        ShowScanTooLarge();
        return nullptr;
    }

    SegmentChain all;
    ForEachScanLine(h, pixels, spacing, style, posPoint,
                    [&](const std::uint8_t* line, std::size_t count, std::size_t stride, double fixed, bool rowMode,
                        bool forward) {
                        SegmentChain runs = FindRuns(line, count, stride, forward, fixed, rowMode, powerFlag);
                        FixSinglePixels(runs, false, single, rowMode, forward);
                        const bool gave = runs.m_nCount != 0;
                        all.Splice(runs);
                        return gave ? 1 : 0;
                    });
    if (all.m_pFirst == nullptr)
        return nullptr;
    all.m_pFirst->m_pPrev = all.m_pLast;
    all.m_pLast->m_pNext = all.m_pFirst;
    PATHREC* path = new PATHREC;
    path->m_kind = PATH_KIND_PATH;
    path->m_subkind = kScanSubkind;
    path->m_closed = 0;
    path->m_pSegs = all.m_pFirst;
    return path;
}

PATHREC* ScanBitmapBytes(std::string& bytes, const WorkParams& params, int posPoint, std::uint8_t imageFlag)
{
    BMPHEADER h;
    if (!ParseBmpHeader(bytes, h) || !h.IsPlainGrey8())
        return nullptr;
    std::uint8_t* data = reinterpret_cast<std::uint8_t*>(bytes.data());
    std::uint8_t* pixels = data + h.m_dataOffset;
    const int height = static_cast<int>(h.m_rows);
    InvertPixels(pixels, h.m_width, height);

    std::uint16_t powerFlag = 0;
    if (imageFlag == 0 && params.m_s_incline > kMinIncline) {
        const std::size_t levels = RoundCount(h.XPelsPerMetre() * params.m_s_incline / 1000.0, kMaxSlopeLevels);
        // A slope narrower than half a pixel has no levels: no shading.
        if (levels > 0) {
            if (!MakeSlope(pixels, h.m_width, height, static_cast<int>(levels))) {
                ShowScanTooLarge();
                return nullptr;
            }
            powerFlag = 1;
        }
    }

    PATHREC* path = ScanBitmap(data, bytes.size(), params.m_s_precision, params.m_s_method, powerFlag, posPoint);
    if (path == nullptr)
        return nullptr;
    // Pixels to millimetres, each axis by its own resolution, so that an
    // image scaled in one direction engraves as large as it is shown.
    const double xScale = 1000.0 / h.XPelsPerMetre();
    const double yScale = 1000.0 / h.YPelsPerMetre();
    SEGNODE* s = path->m_pSegs;
    do {
        s->m_x0 *= xScale;
        s->m_x1 *= xScale;
        s->m_y0 *= yScale;
        s->m_y1 *= yScale;
        s = s->m_pNext;
    } while (s != path->m_pSegs);
    return path;
}

PATHREC* ScanBitmapFile(const std::string& path, const WorkParams& params, int /*originCorner*/, int posPoint,
                        std::uint8_t imageFlag)
{
    std::string bytes;
    if (!plat::ReadWholeFile(path, bytes))
        return nullptr;
    return ScanBitmapBytes(bytes, params, posPoint, imageFlag);
}
