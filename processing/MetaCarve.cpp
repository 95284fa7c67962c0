#include "MetaCarve.h"

#include "FileTrans.h"
#include "JobRecords.h"
#include "PathProc.h"
#include "model/ArrayExplode.h"
#include "model/BitmapBuffer.h"
#include "model/BmpHeader.h"
#include "model/ChessboardDistance.h"
#include "model/GeoPoint.h"
#include "model/PathRecord.h"
#include "platform/LargeBlock.h"
#include "settings/WorkParams.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace {

constexpr std::uint8_t kModeMask = 0x7F;
constexpr std::uint8_t kLightGuideBit = 0x80;
constexpr std::uint8_t kCutMode = 1;
constexpr std::uint8_t kScanMode = 2;
constexpr std::uint8_t kBothModes = 3;
constexpr double kMinPrecision = 1e-5;
constexpr double kMinDiameter = 1e-5;
// The resolution choice keeps the estimated image below this many bytes.
constexpr double kEstimateLimit = 2147483647.0;
constexpr std::uint16_t kScanSubkind = 2;

std::uint64_t g_maxImageBytes = kMaxCarveImageBytes;

void PutU16(std::uint8_t* data, std::size_t offset, std::uint16_t v)
{
    data[offset] = static_cast<std::uint8_t>(v);
    data[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

std::size_t BlockBytes(std::size_t size)
{
    return (size + plat::kLargeBlockGranule - 1) / plat::kLargeBlockGranule * plat::kLargeBlockGranule;
}

// v + 0.5 truncated, for pixel coordinates; held far inside the 64-bit range.
std::int64_t RoundPixel(double v)
{
    constexpr double kFar = 4e15;
    if (!(v > -kFar))
        return static_cast<std::int64_t>(-kFar);
    if (v > kFar)
        return static_cast<std::int64_t>(kFar);
    return static_cast<std::int64_t>(v + 0.5);
}

struct Extents {
    double xmin = kBoxSeedMin, xmax = kBoxSeedMax, ymin = kBoxSeedMin, ymax = kBoxSeedMax;
    bool Usable() const
    {
        return std::isfinite(xmin) && std::isfinite(xmax) && std::isfinite(ymin) && std::isfinite(ymax) &&
               xmin <= xmax && ymin <= ymax;
    }
};

// Extents of the segments alone (in the image's pixel units).
Extents SegmentExtents(PATHREC* paths)
{
    Extents e;
    CFileTrans::GetPathBoundRect(paths, e.xmin, e.xmax, e.ymin, e.ymax, false);
    return e;
}

// One place a path is engraved at: the path itself (0, 0), or a copy its
// brackets' arrays make, moved by (dx, dy) world units.
struct Copy {
    PATHREC* path;
    double dx, dy;
};

// Where a coordinate of a copy lands in the image: the outlines moved so
// that their lower-left corner lies at the origin, divided by the pixel's
// world size and moved by the margin, in the order a layer moved, scaled
// and shifted would give it.
struct Frame {
    double shiftX = 0.0, shiftY = 0.0;
    double unit = 1.0;
    double margin = 0.0;
    double X(double x, const Copy& c) const { return ((x + c.dx) + shiftX) / unit + margin; }
    double Y(double y, const Copy& c) const { return ((y + c.dy) + shiftY) / unit + margin; }
};

// Every path of a list with segments at every place it is engraved: a path
// between brackets at each copy of their arrays (nested arrays multiply),
// the pitches turned into world direction by the origin corner. False when
// a path would be engraved at more than kMaxArrayCopies places.
bool ListCopies(PATHREC* paths, int originCorner, std::vector<Copy>& copies)
{
    using Offsets = std::vector<std::pair<double, double>>;
    std::vector<Offsets> open{Offsets{{0.0, 0.0}}};
    bool usable = true;
    ForEachInRing(paths, &PATHREC::m_pNext, [&](PATHREC& p) {
        if (!usable)
            return;
        if (p.m_kind == PATH_KIND_GROUP && p.m_pSegs == nullptr) {
            if (p.m_pArray == nullptr) {
                if (open.size() > 1)
                    open.pop_back();
                return;
            }
            Offsets steps{{0.0, 0.0}};
            ForEachArrayOffset(*p.m_pArray, originCorner, [&](double dx, double dy) { steps.push_back({dx, dy}); });
            const Offsets& outer = open.back();
            if (static_cast<double>(outer.size()) * static_cast<double>(steps.size()) > kMaxArrayCopies) {
                usable = false;
                return;
            }
            Offsets inner;
            inner.reserve(outer.size() * steps.size());
            for (const auto& [ox, oy] : outer)
                for (const auto& [sx, sy] : steps)
                    inner.push_back({ox + sx, oy + sy});
            open.push_back(std::move(inner));
            return;
        }
        if (p.m_pSegs == nullptr)
            return;
        for (const auto& [dx, dy] : open.back())
            copies.push_back({&p, dx, dy});
    });
    return usable;
}

// Extents of the copies' segments, world units.
Extents CopyExtents(const std::vector<Copy>& copies)
{
    Extents e;
    PATHREC* last = nullptr;
    Extents own;
    for (const Copy& c : copies) {
        if (c.path != last) {
            own = Extents();
            ForEachSegment(*c.path, [&](SEGNODE& s) {
                own.xmin = std::min({own.xmin, s.m_x0, s.m_x1});
                own.xmax = std::max({own.xmax, s.m_x0, s.m_x1});
                own.ymin = std::min({own.ymin, s.m_y0, s.m_y1});
                own.ymax = std::max({own.ymax, s.m_y0, s.m_y1});
            });
            last = c.path;
        }
        e.xmin = std::min(e.xmin, own.xmin + c.dx);
        e.xmax = std::max(e.xmax, own.xmax + c.dx);
        e.ymin = std::min(e.ymin, own.ymin + c.dy);
        e.ymax = std::max(e.ymax, own.ymax + c.dy);
    }
    return e;
}

// A copy of a path list with its array records.
PATHREC* CopyPathsWithArrays(PATHREC* paths)
{
    PATHREC* copy = CopyPathRecord(paths);
    PATHREC* c = copy;
    ForEachInRing(paths, &PATHREC::m_pNext, [&](PATHREC& p) {
        if (p.m_pArray != nullptr)
            c->m_pArray = new ARRAYREC(*p.m_pArray);
        c = c->m_pNext;
    });
    return copy;
}

void LinkBefore(WORKLAYER* added, WORKLAYER* layer)
{
    added->m_next = layer;
    added->m_prev = layer->m_prev;
    if (layer->m_prev != nullptr)
        layer->m_prev->m_next = added;
    layer->m_prev = added;
}

void LinkAfter(WORKLAYER* added, WORKLAYER* layer)
{
    added->m_prev = layer;
    added->m_next = layer->m_next;
    if (layer->m_next != nullptr)
        layer->m_next->m_prev = added;
    layer->m_next = added;
}

bool AnyDarkPixel(const std::uint8_t* pixels, int width, int height)
{
    const std::size_t stride = BitmapRowStride(width);
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        const std::uint8_t* row = pixels + y * stride;
        if (std::any_of(row, row + width, [](std::uint8_t v) { return v != 0; }))
            return true;
    }
    return false;
}

// The pixels of one copy of a path, as TraceEdges gives them for the path
// moved to its place; the path itself is not changed (a closed path's last
// end is taken as its first start).
void TraceCopy(const Copy& c, const Frame& f, std::vector<CARVEPIXEL>& out)
{
    out.clear();
    SEGNODE* first = c.path->m_pSegs;
    const bool closed = c.path->m_closed != 0 && first->m_pPrev != nullptr;
    auto add = [&](std::int64_t x, std::int64_t y) {
        if (out.empty() || out.back().x != x || out.back().y != y)
            out.push_back({x, y});
    };
    ForEachSegment(*c.path, [&](SEGNODE& s) {
        const bool last = closed && s.m_pNext == first;
        const std::int64_t x0 = RoundPixel(f.X(s.m_x0, c)), y0 = RoundPixel(f.Y(s.m_y0, c));
        const std::int64_t dx = RoundPixel(f.X(last ? first->m_x0 : s.m_x1, c)) - x0;
        const std::int64_t dy = RoundPixel(f.Y(last ? first->m_y0 : s.m_y1, c)) - y0;
        const std::int64_t n = std::max(std::llabs(dx), std::llabs(dy));
        if (n == 0) {
            add(x0, y0);
            return;
        }
        const bool alongX = std::llabs(dx) >= std::llabs(dy);
        const std::int64_t step = (alongX ? dx : dy) < 0 ? -1 : 1;
        for (std::int64_t i = 0; i <= n; ++i) {
            if (alongX)
                add(x0 + i * step, y0 + i * dy / n);
            else
                add(x0 + i * dx / n, y0 + i * step);
        }
    });
}

// Fills every copy into the image by toggling (an area covered by an even
// number of outlines stays white), then blackens every outline pixel. Each
// outline is traced again for the second step rather than kept: a layer of
// many copies would hold them all at once.
void FillCopies(std::uint8_t* pixels, int width, int height, const std::vector<Copy>& copies, const Frame& f)
{
    if (pixels == nullptr || width <= 0 || height <= 0)
        return;
    std::vector<CARVEPIXEL> outline;
    for (const Copy& c : copies) {
        TraceCopy(c, f, outline);
        CMetaCarve::ScanFill(pixels, width, height, outline);
    }
    for (const Copy& c : copies) {
        TraceCopy(c, f, outline);
        CMetaCarve::DrawOutlinePixels(pixels, width, height, outline);
    }
}

// A new BMP image of the copies: (spanX, spanY) pixels of outline and the
// frame's margin all round, filled white, the copies drawn in. Null, with
// the message shown and `size` 0, when it would exceed the limit or cannot
// be allocated.
std::uint8_t* RasteriseCopies(const std::vector<Copy>& copies, const Frame& frame, double spanX, double spanY,
                              double pixelSize, std::size_t& size)
{
    size = 0;
    const double margin = frame.margin;
    const double wd = std::floor(spanX + 2.0 * margin + 0.5) + 1.0;
    const double hd = std::floor(spanY + 2.0 * margin + 0.5) + 1.0;
    constexpr double kMaxSide = std::numeric_limits<std::int32_t>::max();
    std::uint64_t bytes = 0;
    int width = 0, height = 0;
    if (wd <= kMaxSide && hd <= kMaxSide) {
        width = static_cast<int>(wd);
        height = static_cast<int>(hd);
        bytes = static_cast<std::uint64_t>(BitmapRowStride(width)) * static_cast<std::uint64_t>(height) +
                kCarveImageHeader;
    }
    std::uint8_t* image = nullptr;
    if (width > 0 && bytes <= g_maxImageBytes && bytes <= std::numeric_limits<std::size_t>::max() / 2)
        image = static_cast<std::uint8_t*>(plat::AllocateLargeBlock(BlockBytes(static_cast<std::size_t>(bytes))));
    if (image == nullptr) {
        ShowScanTooLarge();
        return nullptr;
    }
    size = static_cast<std::size_t>(bytes);
    const std::uint32_t pixelBytes = static_cast<std::uint32_t>(bytes - kCarveImageHeader);
    const double pels = std::min(std::trunc(1000.0 / pixelSize + 0.5), kMaxSide);
    const std::uint32_t ppm = pels > 0.0 ? static_cast<std::uint32_t>(pels) : 0;
    std::memset(image + kCarveImageHeader, 255, pixelBytes);
    PutU16(image, 0, kBmpSignature);
    BmpPutU32(image, BMP_OFS_FILE_SIZE, static_cast<std::uint32_t>(bytes));
    BmpPutU32(image, BMP_OFS_DATA_OFFSET, kCarveImageHeader);
    BmpPutU32(image, 14, 40);
    BmpPutU32(image, BMP_OFS_WIDTH, static_cast<std::uint32_t>(width));
    BmpPutU32(image, BMP_OFS_HEIGHT, static_cast<std::uint32_t>(height));
    PutU16(image, 26, 1);
    PutU16(image, BMP_OFS_BIT_COUNT, 8);
    BmpPutU32(image, BMP_OFS_IMAGE_SIZE, pixelBytes);
    BmpPutU32(image, BMP_OFS_X_PELS, ppm);
    BmpPutU32(image, BMP_OFS_Y_PELS, ppm);
    BmpPutU32(image, BMP_OFS_COLORS_USED, 256);
    for (std::uint32_t i = 0; i < 256; ++i)
        BmpPutU32(image, kBmpHeadersSize + 4 * i, i * 0x010101u);

    FillCopies(image + kCarveImageHeader, width, height, copies, frame);
    return image;
}

// Rasterises and scans one scan layer in place. False when it keeps its
// outlines (nothing to scan at this spacing, or the image was refused).
bool ScanLayer(WORKLAYER& layer, const WorkParams& params, int originCorner, int posPoint)
{
    const double precision = params.m_s_precision;
    if (!(precision >= kMinPrecision))
        return false;
    // Array copies are engraved where the copies lie, each drawn as if it
    // were an object of the layer.
    std::vector<Copy> copies;
    if (!ListCopies(layer.m_paths, originCorner, copies)) {
        ShowScanTooLarge();
        return false;
    }
    const Extents e = CopyExtents(copies);
    if (!e.Usable())
        return false;
    const double p = CMetaCarve::PixelSize(precision, e.xmax - e.xmin, e.ymax - e.ymin);
    // World units per pixel; below the scaling's floor the outlines would
    // stay unscaled.
    if (!(p * 10.0 >= 1e-5))
        return false;

    std::uint64_t passes = 0;
    if (params.m_s_diameter_use != 0 && params.m_s_diameter > kMinDiameter) {
        const double n = std::trunc(params.m_s_diameter / p);
        passes = n >= 1e18 ? std::uint64_t{1} << 60 : static_cast<std::uint64_t>(n) / 2;
    }
    const int levels = CMetaCarve::SlopeLevels(params.m_s_incline, p);
    // A white margin of whole pixels round the outlines, so that the slope
    // and the erosion find background beyond every edge and the outlines
    // keep their pixel grid; the way back takes it off again. The layer's
    // paths are only read, so that a refused image leaves them as they are.
    const int margin = std::max(levels, passes > 0 ? 1 : 0);
    const Frame frame{0.0 - e.xmin, 0.0 - e.ymin, p * 10.0, static_cast<double>(margin)};
    std::size_t size = 0;
    std::uint8_t* image = RasteriseCopies(copies, frame, (e.xmax + frame.shiftX) / frame.unit,
                                          (e.ymax + frame.shiftY) / frame.unit, p, size);
    if (image == nullptr)
        return false;

    BMPHEADER h;
    ParseBmpHeader(image, size, h);
    std::uint8_t* pixels = image + kCarveImageHeader;
    const int width = h.m_width;
    const int height = h.m_height;
    CPathProc::InvertPixels(pixels, width, height);
    if (!CMetaCarve::ErodeAndSlope(pixels, width, height, passes, levels)) {
        CMetaCarve::FreeImage(image, size);
        ShowScanTooLarge();
        return false;
    }

    PATHREC* scan = CPathProc::ScanBitmap(image, size, precision, params.m_s_method,
                                          levels > 0 ? std::uint16_t{1} : std::uint16_t{0}, posPoint);
    // No scan from an image with dark pixels: the scan was refused for its
    // size (and said so); the outlines stay.
    const bool refused = scan == nullptr && AnyDarkPixel(pixels, width, height);
    CMetaCarve::FreeImage(image, size);
    if (refused)
        return false;
    if (scan != nullptr) {
        CMetaCarve::MapBackToWorld(scan, p, e.xmin, e.ymin, height, margin);
        scan->m_pPrev = scan->m_pNext = scan;
    }
    FreePathRecordList(layer.m_paths);
    layer.m_paths = scan;
    return true;
}

// Chessboard distance of every pixel to the nearest 0 pixel inside the
// image. `d` holds 0 for background and the type's maximum (no background
// in reach) for the rest; distances saturate at that maximum. Nothing
// stops the way, so one pair of passes is exact.
template <typename D>
void ChessboardDistance(D* d, std::size_t stride, std::size_t w, std::size_t h)
{
    ChessboardDistances(d, stride, w, h, [](D value, std::size_t, std::size_t) { return value != 0; }, false);
}

// The grey a pixel at distance d from the background takes after `passes`
// erosion passes and `levels` slope passes of grey step `step`.
std::uint8_t GreyAtDistance(std::uint64_t d, std::uint64_t passes, int levels, int step)
{
    if (d <= passes)
        return 0;
    const std::uint64_t inside = d - passes;
    if (inside < static_cast<std::uint64_t>(levels))
        return static_cast<std::uint8_t>(inside * static_cast<std::uint64_t>(step));
    return 255;
}

template <typename D>
bool ErodeAndSlopeWide(std::uint8_t* pixels, std::size_t stride, std::size_t w, std::size_t h,
                       std::uint64_t passes, int levels, int step)
{
    std::unique_ptr<D[]> d(new (std::nothrow) D[w * h]);
    if (d == nullptr)
        return false;
    for (std::size_t y = 0; y < h; ++y)
        for (std::size_t x = 0; x < w; ++x)
            d[y * w + x] = pixels[y * stride + x] == 0 ? D{0} : std::numeric_limits<D>::max();
    ChessboardDistance(d.get(), w, w, h);
    for (std::size_t y = 0; y < h; ++y)
        for (std::size_t x = 0; x < w; ++x)
            pixels[y * stride + x] = GreyAtDistance(d[y * w + x], passes, levels, step);
    return true;
}

} // namespace

std::uint64_t plat::SetMaxCarveImageBytesForTesting(std::uint64_t limit)
{
    const std::uint64_t old = g_maxImageBytes;
    g_maxImageBytes = limit;
    return old;
}

void CMetaCarve::Process(WORKLAYER*& first, WorkParams* params, int originCorner, int posPoint)
{
    // The layers as they are now: the scan layers made on the way are not
    // visited again.
    std::vector<WORKLAYER*> layers;
    ForEachInRing(first, &WORKLAYER::m_next, [&](WORKLAYER& l) { layers.push_back(&l); });
    for (WORKLAYER* layer : layers) {
        const std::uint8_t mode = layer->m_mode & kModeMask;
        if ((mode != kScanMode && mode != kBothModes) || (layer->m_mode & kLightGuideBit) != 0)
            continue;
        const WorkParams* own = FindLayerParams(params, static_cast<int>(layer->m_layerId));
        WORKLAYER* added = ConvertLayer(layer, own, originCorner, posPoint);
        if (added != nullptr && layer == first && own->m_sweep_first != 0)
            first = added;
    }
}

WORKLAYER* CMetaCarve::ConvertLayer(WORKLAYER* layer, const WorkParams* params, int originCorner, int posPoint)
{
    if (layer == nullptr || params == nullptr || layer->m_paths == nullptr)
        return nullptr;
    const std::uint8_t mode = layer->m_mode & kModeMask;
    if (mode < kScanMode)
        return nullptr;
    WORKLAYER* scanLayer = layer;
    WORKLAYER* added = nullptr;
    if (mode == kBothModes) {
        added = new WORKLAYER(*layer);
        added->m_paths = CopyPathsWithArrays(layer->m_paths);
        added->m_prev = added->m_next = nullptr;
        added->m_mode = kScanMode;
        layer->m_mode = kCutMode;
        scanLayer = added;
    }
    ScanLayer(*scanLayer, *params, originCorner, posPoint);
    if (added != nullptr) {
        if (params->m_sweep_first != 0)
            LinkBefore(added, layer);
        else
            LinkAfter(added, layer);
    }
    return added;
}

double CMetaCarve::PixelSize(double spacing, double width, double height)
{
    const double estimate = (height / 10.0 / spacing + 1.0) * (width / 10.0 / spacing + 1.0) + 14 + 40 + 1024;
    double f = 1.0;
    if (estimate < kEstimateLimit) {
        const double s = std::sqrt(2.0 * estimate / kEstimateLimit);
        f = s < 0.1 ? 0.1 : s < 0.25 ? 0.25 : s < 0.5 ? 0.5 : 1.0;
    }
    return f * spacing;
}

int CMetaCarve::SlopeLevels(double incline, double pixelSize)
{
    const double v = incline / pixelSize + 0.5;
    if (!(v >= 1.0))
        return 0;
    // The slope's grey steps end at 255 levels.
    return v >= kMaxSlopeLevels ? kMaxSlopeLevels : static_cast<int>(v);
}

void CMetaCarve::FreeImage(std::uint8_t* image, std::size_t size)
{
    plat::FreeLargeBlock(image, BlockBytes(size));
}

std::uint8_t* CMetaCarve::Rasterise(WORKLAYER* layer, int margin, double pixelSize, std::size_t& size)
{
    size = 0;
    if (layer == nullptr)
        return nullptr;
    const Extents e = SegmentExtents(layer->m_paths);
    if (!e.Usable())
        return nullptr;
    std::vector<Copy> copies;
    ForEachPath(*layer, [&](PATHREC& p) {
        if (p.m_pSegs != nullptr)
            copies.push_back({&p, 0.0, 0.0});
    });
    Frame frame;
    frame.margin = std::max(margin, 0);
    return RasteriseCopies(copies, frame, e.xmax - e.xmin, e.ymax - e.ymin, pixelSize, size);
}

void CMetaCarve::FillOutlines(std::uint8_t* pixels, int width, int height, WORKLAYER* layer)
{
    if (layer == nullptr)
        return;
    std::vector<Copy> copies;
    ForEachPath(*layer, [&](PATHREC& p) {
        if (p.m_pSegs != nullptr)
            copies.push_back({&p, 0.0, 0.0});
    });
    FillCopies(pixels, width, height, copies, Frame());
}

std::vector<CARVEPIXEL> CMetaCarve::TraceEdges(PATHREC* path)
{
    std::vector<CARVEPIXEL> out;
    if (path == nullptr || path->m_pSegs == nullptr)
        return out;
    SEGNODE* first = path->m_pSegs;
    if (path->m_closed != 0 && first->m_pPrev != nullptr) {
        first->m_pPrev->m_x1 = first->m_x0;
        first->m_pPrev->m_y1 = first->m_y0;
    }
    TraceCopy(Copy{path, 0.0, 0.0}, Frame(), out);
    return out;
}

void CMetaCarve::ScanFill(std::uint8_t* pixels, int width, int height, const std::vector<CARVEPIXEL>& outline)
{
    struct Edge {
        std::int64_t ylo, yhi;
        double xlo, slope;
    };
    const std::size_t n = outline.size();
    if (pixels == nullptr || width <= 0 || height <= 0 || n < 2)
        return;
    std::vector<Edge> edges;
    edges.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const CARVEPIXEL& a = outline[i];
        const CARVEPIXEL& b = outline[(i + 1) % n];
        if (a.y == b.y)
            continue;
        const CARVEPIXEL& lo = a.y < b.y ? a : b;
        const CARVEPIXEL& hi = a.y < b.y ? b : a;
        edges.push_back({lo.y, hi.y, static_cast<double>(lo.x),
                         static_cast<double>(hi.x - lo.x) / static_cast<double>(hi.y - lo.y)});
    }
    if (edges.empty())
        return;
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.ylo < b.ylo; });
    const std::size_t stride = BitmapRowStride(width);
    // Rows below the image only retire edges; rows above it end the fill.
    std::vector<const Edge*> active;
    std::vector<double> xs;
    std::size_t next = 0;
    for (std::int64_t y = std::max<std::int64_t>(edges.front().ylo, 0); y < height; ++y) {
        while (next < edges.size() && edges[next].ylo <= y) {
            if (edges[next].yhi > y)
                active.push_back(&edges[next]);
            ++next;
        }
        std::erase_if(active, [&](const Edge* e) { return e->yhi <= y; });
        if (active.empty()) {
            if (next == edges.size())
                break;
            // Jump over rows without an edge.
            y = edges[next].ylo - 1;
            continue;
        }
        xs.clear();
        for (const Edge* e : active)
            xs.push_back(e->xlo + static_cast<double>(y - e->ylo) * e->slope);
        std::sort(xs.begin(), xs.end());
        std::uint8_t* row = pixels + static_cast<std::size_t>(height - 1 - y) * stride;
        for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
            const double a = std::max(std::ceil(xs[k]), 0.0);
            const double b = std::min(std::floor(xs[k + 1]), static_cast<double>(width - 1));
            if (!(a <= b))
                continue;
            for (std::size_t x = static_cast<std::size_t>(a); x <= static_cast<std::size_t>(b); ++x)
                row[x] = row[x] == 0 ? 255 : 0;
        }
    }
}

void CMetaCarve::DrawOutlinePixels(std::uint8_t* pixels, int width, int height,
                                   const std::vector<CARVEPIXEL>& outline)
{
    if (pixels == nullptr || width <= 0 || height <= 0)
        return;
    const std::size_t stride = BitmapRowStride(width);
    for (const CARVEPIXEL& p : outline) {
        if (p.x < 0 || p.x >= width || p.y < 0 || p.y >= height)
            continue;
        pixels[static_cast<std::size_t>(height - 1 - p.y) * stride + static_cast<std::size_t>(p.x)] = 0;
    }
}

bool CMetaCarve::ErodeAndSlope(std::uint8_t* pixels, int width, int height, std::uint64_t passes, int levels)
{
    if (pixels == nullptr || width <= 0 || height <= 0)
        return true;
    levels = std::clamp(levels, 0, kMaxSlopeLevels);
    if (passes == 0 && levels == 0)
        return true;
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    const std::size_t stride = BitmapRowStride(width);
    // No distance inside the image reaches its larger side: more passes
    // than that change nothing more.
    passes = std::min<std::uint64_t>(passes, std::max(w, h));
    const int step = levels > 0 ? 255 / levels : 0;
    const std::uint64_t reach = passes + static_cast<std::uint64_t>(levels);
    if (reach < 255) {
        // Distances up to 254 are all that matter: worked out in the pixels
        // themselves, 255 standing for "farther".
        ChessboardDistance(pixels, stride, w, h);
        for (std::size_t y = 0; y < h; ++y) {
            std::uint8_t* row = pixels + y * stride;
            for (std::size_t x = 0; x < w; ++x)
                row[x] = GreyAtDistance(row[x], passes, levels, step);
        }
        return true;
    }
    const bool done = reach < 65535 ? ErodeAndSlopeWide<std::uint16_t>(pixels, stride, w, h, passes, levels, step)
                                    : ErodeAndSlopeWide<std::uint32_t>(pixels, stride, w, h, passes, levels, step);
    return done;
}

bool CMetaCarve::ErodeByDiameter(std::uint8_t* pixels, int width, int height, std::uint64_t diameter)
{
    return ErodeAndSlope(pixels, width, height, diameter / 2, 0);
}

void CMetaCarve::MapBackToWorld(PATHREC* paths, double pixelSize, double x0, double y0, int height, int margin)
{
    const double unit = pixelSize * 10.0;
    const double top = static_cast<double>(height) - 1.0 - margin;
    ForEachInRing(paths, &PATHREC::m_pNext, [&](PATHREC& p) {
        p.m_xmin = p.m_ymin = kPathBoundMinInit;
        p.m_xmax = p.m_ymax = kPathBoundMaxInit;
        ForEachSegment(p, [&](SEGNODE& s) {
            s.m_x0 = (s.m_x0 - margin) * unit + x0;
            s.m_x1 = (s.m_x1 - margin) * unit + x0;
            s.m_y0 = (top - s.m_y0) * unit + y0;
            s.m_y1 = (top - s.m_y1) * unit + y0;
            p.m_xmin = std::min({p.m_xmin, s.m_x0, s.m_x1});
            p.m_xmax = std::max({p.m_xmax, s.m_x0, s.m_x1});
            p.m_ymin = std::min({p.m_ymin, s.m_y0, s.m_y1});
            p.m_ymax = std::max({p.m_ymax, s.m_y0, s.m_y1});
        });
    });
}
