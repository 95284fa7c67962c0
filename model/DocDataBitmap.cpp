#include "DocDataBitmap.h"

#include "ArrayExplode.h"
#include "BitmapBuffer.h"
#include "BitmapScan.h"
#include "BmpHeader.h"
#include "DocContext.h"
#include "DocListNode.h"
#include "DocState.h"
#include "GeoFunctions.h"
#include "PolylineGeometry.h"
#include "platform/Folders.h"
#include "platform/NumText.h"
#include "platform/TextFile.h"
#include "platform/WorkFolder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <numbers>
#include <vector>

namespace {

// Turns of less than this (radians) are no turn.
constexpr double kMinTurn = 0.001;
// Mark of a rewritten image file: <name>~<n>.bmp.
constexpr char kRewriteMark = '~';
// Names tried before a rewrite gives up.
constexpr int kMaxRewriteNames = 100000;
// Scan bounds are gathered from these seeds.
constexpr double kScanSeedMin = 1e8;
constexpr double kScanSeedMax = -1e8;

// The quarter turn (90, 180 or 270 degrees) of a rotation, or 0 for none.
int QuarterTurnOf(double angle)
{
    double d = std::trunc(angle * 180.0 / std::numbers::pi);
    if (d < 0.0) {
        d = std::fmod(d, 360.0);
        if (d < 0.0)
            d += 360.0;
    }
    if (d == 0.0 || d > 270.0)
        return 0;
    return d <= 90.0 ? 90 : (d <= 180.0 ? 180 : 270);
}

void MirrorXY(double& x, double& y, double x1, double y1, double x2, double y2)
{
    double mx = x, my = y;
    GeoMirrorPoint(x, y, x1, y1, x2, y2, mx, my);
    x = mx;
    y = my;
}

// A path with every run of separators made one, as the work folder is taken.
std::string SingleSeparators(const std::string& path)
{
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out.push_back(c);
    }
    return out;
}

// A file name in the file folder that no file has yet, made from the
// current name without an earlier rewrite mark: photo.bmp, then
// photo~1.bmp, photo~2.bmp ...
std::string NewRewritePath(const std::string& current)
{
    // Made as the program's own when missing, so it is emptied at exit.
    const std::string folder = plat::WithTrailingSeparator(plat::FileFolder());
    if (!plat::CreateOwnFolder(folder))
        return std::string();
    std::string stem = plat::FileNameOf(current);
    std::string ext = ".bmp";
    if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) {
        ext = stem.substr(dot);
        stem.erase(dot);
    }
    if (const std::size_t mark = stem.rfind(kRewriteMark); mark != std::string::npos && mark + 1 < stem.size() &&
                                                           stem.find_first_not_of("0123456789", mark + 1) ==
                                                               std::string::npos)
        stem.erase(mark);
    for (int n = 1; n <= kMaxRewriteNames; ++n) {
        const std::string candidate = folder + stem + kRewriteMark + plat::FormatInt(n) + ext;
        std::error_code ec;
        if (!std::filesystem::exists(candidate, ec) && !ec)
            return candidate;
    }
    return std::string();
}

} // namespace

CDocDataBitmap::CDocDataBitmap()
{
    m_nType = MT_BITMAP;
}

CDocDataBitmap::CDocDataBitmap(const std::string& name, const std::string& path, double x, double y,
                               std::uint8_t flag, DOCCONTEXT* ctx)
    : m_strName(name), m_strPath(path), m_bFlag(flag), m_x(x), m_y(y)
{
    m_nType = MT_BITMAP;
    ReadBmpHeader();
    CDocData::RecalcBoundRect(ctx);
    CDocData::SetSelected(1);
}

CDocDataBitmap::CDocDataBitmap(const CDocDataBitmap& source)
    : CDocData(), m_strName(source.m_strName), m_strPath(source.m_strPath), m_bFlag(source.m_bFlag),
      m_x(source.m_x), m_y(source.m_y)
{
    m_nType = MT_BITMAP;
    CopyFrom(source);
    // The copy keeps its own (absent) end-gap record: images are never cut.
    delete m_pEndGap;
    m_pEndGap = nullptr;
}

CDocData* CDocDataBitmap::Copy(const CDocData& source)
{
    const auto* typed = dynamic_cast<const CDocDataBitmap*>(&source);
    return typed != nullptr ? new CDocDataBitmap(*typed) : nullptr;
}

void CDocDataBitmap::ReadBmpHeader()
{
    CDocState::FreeNodeList(m_pNodes);
    std::string bytes;
    BMPHEADER h;
    if (!plat::ReadWholeFile(m_strPath, bytes) || !ParseBmpHeader(bytes, h))
        return;
    const double w = static_cast<double>(h.m_width) * 10.0 * 1000.0 / h.XPelsPerMetre();
    const double hgt = static_cast<double>(h.m_height) * 10.0 * 1000.0 / h.YPelsPerMetre();
    DOCNODE* n = AppendNode(nullptr, m_x, m_y);
    m_pNodes = n;
    n = AppendNode(n, m_x + w, m_y);
    n = AppendNode(n, m_x + w, m_y + hgt);
    n = AppendNode(n, m_x, m_y + hgt);
    AppendNode(n, m_x, m_y);
}

bool CDocDataBitmap::LoadGrey8(std::string& bytes, BMPHEADER& header) const
{
    return plat::ReadWholeFile(m_strPath, bytes) && ParseBmpHeader(bytes, header) && header.IsPlainGrey8();
}

bool CDocDataBitmap::StoreRewrite(const std::string& bytes)
{
    const std::string path = NewRewritePath(m_strPath);
    if (path.empty() || !plat::WriteWholeFile(path, bytes)) {
        if (!path.empty()) {
            std::error_code ec;
            std::filesystem::remove(path, ec);
        }
        return false;
    }
    m_strPath = path;
    return true;
}

void CDocDataBitmap::AfterTransform(DOCCONTEXT* ctx)
{
    RecalcBoundRect(ctx);
    PlaceOriginAtBox();
}

void CDocDataBitmap::PlaceOriginAtBox()
{
    // Without nodes there is no box to take the origin from.
    if (m_rcBound.IsEmpty())
        return;
    m_x = m_rcBound.m_xmin;
    m_y = m_rcBound.m_ymin;
}

PATHREC* CDocDataBitmap::MakeScanPath(const WorkParams& params, int /*originCorner*/, int posPoint)
{
    std::string bytes;
    BMPHEADER h;
    if (!LoadGrey8(bytes, h))
        return nullptr;

    // Every job copies the image into the work folder. The scan takes the
    // bytes just read and written, never an older file of the same name; an
    // image that lies there already is not copied onto itself.
    const std::string folder = plat::WithTrailingSeparator(SingleSeparators(plat::WorkFolder()));
    const std::string copy = folder + plat::FileNameOf(m_strPath);
    std::error_code ec;
    if (!std::filesystem::equivalent(copy, m_strPath, ec)) {
        if (!plat::CreateOwnFolder(folder) || !plat::WriteWholeFile(copy, bytes))
            return nullptr;
    }

    PATHREC* scan = ScanBitmapBytes(bytes, params, posPoint, m_bFlag);
    if (scan == nullptr)
        return nullptr;

    // Millimetres to world units, and the file's rows (bottom row first)
    // turned so that the top row lies at the origin's y, as the image is
    // drawn. The scan is placed by the image's own frame, so white margins
    // keep the engraving where the picture shows it.
    const double top = static_cast<double>(h.m_rows - 1) * 10000.0 / h.YPelsPerMetre();
    scan->m_xmin = scan->m_ymin = kScanSeedMin;
    scan->m_xmax = scan->m_ymax = kScanSeedMax;
    scan->m_zmin = scan->m_zmax = 0.0;
    SEGNODE* s = scan->m_pSegs;
    do {
        s->m_x0 = m_x + s->m_x0 * 10.0;
        s->m_x1 = m_x + s->m_x1 * 10.0;
        s->m_y0 = m_y + top - s->m_y0 * 10.0;
        s->m_y1 = m_y + top - s->m_y1 * 10.0;
        scan->m_xmin = std::fmin(scan->m_xmin, std::fmin(s->m_x0, s->m_x1));
        scan->m_xmax = std::fmax(scan->m_xmax, std::fmax(s->m_x0, s->m_x1));
        scan->m_ymin = std::fmin(scan->m_ymin, std::fmin(s->m_y0, s->m_y1));
        scan->m_ymax = std::fmax(scan->m_ymax, std::fmax(s->m_y0, s->m_y1));
        s = s->m_pNext;
    } while (s != scan->m_pSegs);
    return scan;
}

bool CDocDataBitmap::DeselectNodes()
{
    m_bNodesSelected = 0;
    return false;
}

bool CDocDataBitmap::HitTest(double x, double y, double)
{
    return PolylineContainsPoint(m_pNodes, x, y);
}

void CDocDataBitmap::SetColor(std::int32_t layer, std::uint32_t color)
{
    SharedSetColor(layer, color);
}

bool CDocDataBitmap::GetStartPoint(CGeoPoint& point)
{
    point.m_x = m_x;
    point.m_y = m_y;
    return true;
}

bool CDocDataBitmap::GetEndPoint(CGeoPoint& point)
{
    return GetStartPoint(point);
}

void CDocDataBitmap::StretchInto(CDC& dc, const DOCCONTEXT& ctx, const CGeoBox& world) const
{
    CGeoBox c;
    ctx.WorldToClientRect(world, c);
    const std::int32_t left = plat::RoundPixel(c.m_xmin);
    const std::int32_t top = plat::RoundPixel(c.m_ymin);
    dc.DrawBmpFile(m_strPath, plat::RECT{left, top, left + plat::RoundPixel(c.Width()),
                                         top + plat::RoundPixel(c.Height())});
}

void CDocDataBitmap::Draw(CDC* dc, DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr || m_pNodes == nullptr)
        return;
    DrawArrayPreview(dc, ctx, m_pArray);
    StretchInto(*dc, *ctx, m_rcBound);
    DrawArrayCopies(dc, ctx);
}

void CDocDataBitmap::DrawIndex(CDC* dc, DOCCONTEXT* ctx, int number)
{
    if (dc == nullptr || ctx == nullptr)
        return;
    const plat::POINT p = ctx->WorldToClientPixel(m_x, m_y);
    const std::string text = plat::FormatInt(number);
    dc->TextOut(p.x, p.y, std::u16string(text.begin(), text.end()));
}

void CDocDataBitmap::DrawArrayCopies(CDC* dc, DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr || m_pNodes == nullptr || ctx->m_pCurrent == nullptr)
        return;
    const ARRAYREC* array = ctx->m_pCurrent->m_pArray;
    // Copies in one column are copies too.
    if (array == nullptr || (array->m_nRows <= 1 && array->m_nCols <= 1))
        return;
    ForEachArrayOffset(*array, [&](double dx, double dy) {
        const CGeoBox shifted(m_rcBound.m_xmin + dx, m_rcBound.m_xmax + dx, m_rcBound.m_ymin + dy,
                              m_rcBound.m_ymax + dy);
        StretchInto(*dc, *ctx, shifted);
    });
}

void CDocDataBitmap::Move(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT* ctx)
{
    const double dx = to.m_x - from.m_x;
    const double dy = to.m_y - from.m_y;
    m_x += dx;
    m_y += dy;
    ForEachNode(m_pNodes, [&](DOCNODE& n) {
        n.m_x += dx;
        n.m_y += dy;
    });
    RecalcBoundRect(ctx);
}

void CDocDataBitmap::DrawMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to)
{
    SharedDrawMovePreview(ctx, dc, from, to);
}

void CDocDataBitmap::Scale(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx)
{
    SharedScale(cx, cy, sx, sy, ctx);
}

void CDocDataBitmap::DrawScalePreview(DOCCONTEXT* ctx, CDC* dc, double cx, double cy, double sx, double sy)
{
    if (dc == nullptr || m_rcBound.IsEmpty())
        return;
    const double zoom = ctx != nullptr ? ctx->m_dZoom : 1.0;
    const CGeoBox b = ScaledBox(m_rcBound, cx, cy, sx, sy);
    const int x0 = plat::RoundPixel(b.m_xmin * zoom), x1 = plat::RoundPixel(b.m_xmax * zoom);
    const int y0 = plat::RoundPixel(b.m_ymin * zoom), y1 = plat::RoundPixel(b.m_ymax * zoom);
    plat::ScopedPen pen(*dc, PreviewPen(ctx), plat::R2_XORPEN);
    dc->MoveTo(x0, y0);
    dc->LineTo(x1, y0);
    dc->LineTo(x1, y1);
    dc->LineTo(x0, y1);
    dc->LineTo(x0, y0);
}

void CDocDataBitmap::Rotate(const CGeoPoint& centre, double angle, DOCCONTEXT* ctx)
{
    if (!(std::fabs(angle) >= kMinTurn) || !std::isfinite(angle))
        return;
    const int quarter = QuarterTurnOf(angle);
    if (quarter == 0)
        return;
    std::string bytes;
    BMPHEADER h;
    if (!LoadGrey8(bytes, h))
        return;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::vector<std::uint8_t> pixels(data + h.m_dataOffset, data + h.m_dataOffset + h.m_pixelBytes);
    const int height = static_cast<int>(h.m_rows);
    if (!BitmapRotateBuffer(h.m_width, height, pixels, quarter))
        return;
    // The size fields are 32 bits wide; a turned image must fit them.
    if (h.m_dataOffset + pixels.size() > std::numeric_limits<std::uint32_t>::max())
        return;

    // Headers and palette as they were; a quarter turn swaps the sizes. The
    // size fields tell the real pixel size, also where the file had 0.
    std::string out(bytes, 0, h.m_dataOffset);
    auto* head = reinterpret_cast<std::uint8_t*>(out.data());
    if (quarter != 180) {
        BmpPutU32(head, BMP_OFS_WIDTH, static_cast<std::uint32_t>(height));
        BmpPutU32(head, BMP_OFS_HEIGHT, static_cast<std::uint32_t>(h.m_width));
    }
    BmpPutU32(head, BMP_OFS_IMAGE_SIZE, static_cast<std::uint32_t>(pixels.size()));
    BmpPutU32(head, BMP_OFS_FILE_SIZE, static_cast<std::uint32_t>(h.m_dataOffset + pixels.size()));
    out.append(pixels.begin(), pixels.end());
    if (!StoreRewrite(out))
        return;

    const double turn = quarter * std::numbers::pi / 180.0;
    ForEachNode(m_pNodes, [&](DOCNODE& n) {
        double x = n.m_x, y = n.m_y;
        GeoRotatePoint(centre.m_x, centre.m_y, n.m_x, n.m_y, turn, x, y);
        n.m_x = x;
        n.m_y = y;
    });
    AfterTransform(ctx);
}

void CDocDataBitmap::RotateBy3Points(const CGeoPoint& centre, const CGeoPoint& from, const CGeoPoint& to,
                                     DOCCONTEXT* ctx)
{
    Rotate(centre, RotationAngleOf3Points(centre, from, to), ctx);
}

CDocData* CDocDataBitmap::MirrorAbout(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                                      DOCCONTEXT* ctx)
{
    if (asCopy) {
        CDocDataBitmap* copy = new CDocDataBitmap(*this);
        copy->MirrorAbout(x1, y1, x2, y2, false, reverse, ctx);
        return copy;
    }
    if (reverse)
        Reverse();
    MirrorXY(m_x, m_y, x1, y1, x2, y2);
    ForEachNode(m_pNodes, [&](DOCNODE& n) { MirrorXY(n.m_x, n.m_y, x1, y1, x2, y2); });
    RecalcBoundRect(ctx);
    return nullptr;
}

void CDocDataBitmap::Flip(const CGeoPoint& centre, bool horizontal, bool vertical, DOCCONTEXT* ctx)
{
    if (!horizontal && !vertical)
        return;
    std::string bytes;
    BMPHEADER h;
    if (!LoadGrey8(bytes, h))
        return;
    auto* data = reinterpret_cast<std::uint8_t*>(bytes.data());
    std::vector<std::uint8_t> pixels(data + h.m_dataOffset, data + h.m_dataOffset + h.m_pixelBytes);
    if (!BitmapMirrorBuffer(h.m_width, static_cast<int>(h.m_rows), pixels, horizontal, vertical))
        return;
    std::copy(pixels.begin(), pixels.end(), data + h.m_dataOffset);
    if (!StoreRewrite(bytes))
        return;

    ForEachNode(m_pNodes, [&](DOCNODE& n) {
        if (horizontal)
            n.m_x = 2.0 * centre.m_x - n.m_x;
        if (vertical)
            n.m_y = 2.0 * centre.m_y - n.m_y;
    });
    AfterTransform(ctx);
}

void CDocDataBitmap::ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx)
{
    std::string bytes;
    BMPHEADER h;
    if (!plat::ReadWholeFile(m_strPath, bytes) || !ParseBmpHeader(bytes, h))
        return;
    // The resolution shrinks as the image grows. A mirroring factor scales
    // by its size; a factor that would leave no valid resolution is refused.
    auto newPels = [](int pels, double factor, std::int32_t& out) {
        const double v = std::trunc(pels / std::fabs(factor) + 0.5);
        if (!(v >= 1.0 && v <= std::numeric_limits<std::int32_t>::max()))
            return false;
        out = static_cast<std::int32_t>(v);
        return true;
    };
    std::int32_t xPels = 0, yPels = 0;
    if (!newPels(h.XPelsPerMetre(), sx, xPels) || !newPels(h.YPelsPerMetre(), sy, yPels))
        return;
    auto* data = reinterpret_cast<std::uint8_t*>(bytes.data());
    BmpPutU32(data, BMP_OFS_X_PELS, static_cast<std::uint32_t>(xPels));
    BmpPutU32(data, BMP_OFS_Y_PELS, static_cast<std::uint32_t>(yPels));

    const ArrayGaps gaps = MeasureArrayGaps(*this, ctx);
    if (!StoreRewrite(bytes))
        return;
    ForEachNode(m_pNodes, [&](DOCNODE& n) {
        n.m_x = (n.m_x - cx) * sx + cx;
        n.m_y = (n.m_y - cy) * sy + cy;
    });
    ScaleBoxAndPitches(*this, gaps, cx, cy, sx, sy, ctx);
    PlaceOriginAtBox();
}
