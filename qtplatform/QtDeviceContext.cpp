#include "QtDeviceContext.h"

#include "Resources.h"
#include "platform/FirstTrue.h"

#include <QPainterPath>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <unordered_map>

// The painter of one image and the context whose state it carries now.
struct QtSharedPainter {
    QPainter painter;
    const QtDeviceContext* user = nullptr;
};

namespace {

// The indexes [first, end) of a monotone pixel coordinate that lie in
// [low, high].
void IndexRange(long long steps, bool rising, long long low, long long high, auto coord, long long& first,
                long long& end)
{
    if (rising) {
        first = plat::FirstTrue(0, steps, [&](long long i) { return coord(i) >= low; });
        end = plat::FirstTrue(0, steps, [&](long long i) { return coord(i) > high; });
    } else {
        first = plat::FirstTrue(0, steps, [&](long long i) { return coord(i) <= high; });
        end = plat::FirstTrue(0, steps, [&](long long i) { return coord(i) < low; });
    }
}

// Cuts the segment to the box (Liang-Barsky); false when nothing is left.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double left, double top, double right,
                 double bottom)
{
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    double t0 = 0.0;
    double t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0)
                return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const double ax = x0 + t0 * dx;
    const double ay = y0 + t0 * dy;
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = ax;
    y0 = ay;
    return true;
}

std::uint32_t RgbOf(COLORREF c)
{
    return qRgb(static_cast<int>(plat::GetRValue(c)), static_cast<int>(plat::GetGValue(c)),
                static_cast<int>(plat::GetBValue(c))) &
           0xFFFFFFu;
}

} // namespace

namespace {

// The painters of the images being drawn on (user-interface thread only).
std::unordered_map<const QImage*, std::weak_ptr<QtSharedPainter>>& OpenPainters()
{
    static std::unordered_map<const QImage*, std::weak_ptr<QtSharedPainter>> painters;
    return painters;
}

} // namespace

QtDeviceContext::QtDeviceContext(QImage& image) : m_image(image)
{
    if (m_image.isNull())
        return;
    std::weak_ptr<QtSharedPainter>& slot = OpenPainters()[&m_image];
    m_shared = slot.lock();
    if (m_shared == nullptr) {
        m_shared = std::make_shared<QtSharedPainter>();
        m_shared->painter.begin(&m_image);
        m_shared->painter.setRenderHint(QPainter::Antialiasing, false);
        slot = m_shared;
    }
    // An image of a high-density screen holds more pixels than the window
    // has logical ones; drawing stays in logical pixels.
    m_ratio = m_image.devicePixelRatio();
    m_logical = QRect(QPoint(0, 0), m_image.deviceIndependentSize().toSize());
    m_drawRects.push_back(m_logical);
    m_pixelRects.push_back(m_image.rect());
    // While the painter is active the image cannot be shared (a copy made
    // meanwhile is a deep one), so its pixels stay where they are.
    const QImage::Format f = m_image.format();
    if (f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 || f == QImage::Format_ARGB32_Premultiplied) {
        m_bits = m_image.bits();
        m_bytesPerLine = m_image.bytesPerLine();
    }
}

QtDeviceContext::~QtDeviceContext()
{
    if (m_shared == nullptr)
        return;
    if (m_shared->user == this)
        m_shared->user = nullptr;
    m_shared.reset();
    // The last context over the image ends its painter.
    const auto it = OpenPainters().find(&m_image);
    if (it != OpenPainters().end() && it->second.expired())
        OpenPainters().erase(it);
}

bool QtDeviceContext::IsPainting(const QImage& image)
{
    const auto it = OpenPainters().find(&image);
    return it != OpenPainters().end() && !it->second.expired();
}

QColor QtDeviceContext::ToQColor(COLORREF c)
{
    return QColor(static_cast<int>(plat::GetRValue(c)), static_cast<int>(plat::GetGValue(c)),
                  static_cast<int>(plat::GetBValue(c)));
}

void QtDeviceContext::SetClipRegion(const QRegion& region)
{
    if (m_shared == nullptr)
        return;
    const QRegion inside = region.intersected(m_logical);
    m_drawRects.assign(inside.begin(), inside.end());
    m_pixelRects.clear();
    for (const QRect& r : m_drawRects)
        m_pixelRects.push_back(ToPixels(r));
    m_clip = inside;
    m_clipped = true;
    // Put on the painter when this context next draws with it.
    if (m_shared->user == this)
        m_shared->user = nullptr;
}

QPainter* QtDeviceContext::Painter()
{
    if (m_shared == nullptr)
        return nullptr;
    QPainter* const painter = &m_shared->painter;
    if (m_shared->user != this) {
        // Another context drew last: this one's clip and state go on again.
        m_shared->user = this;
        painter->resetTransform();
        if (m_clipped)
            painter->setClipRegion(m_clip);
        else
            painter->setClipping(false);
        m_painterStale = true;
    }
    if (!m_painterStale)
        return painter;
    if (m_pen.style == plat::PS_NULL) {
        painter->setPen(Qt::NoPen);
    } else {
        QPen pen(ToQColor(m_pen.color));
        pen.setWidth(m_pen.width <= 1 ? 0 : m_pen.width);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        if (m_pen.style == plat::PS_DOT)
            pen.setDashPattern({1.0, 1.0});
        else if (m_pen.style == plat::PS_DASH)
            pen.setDashPattern({6.0, 2.0});
        painter->setPen(pen);
    }
    if (m_brush.hollow)
        painter->setBrush(Qt::NoBrush);
    else
        painter->setBrush(ToQColor(m_brush.color));
    // XOR pen: destination XOR pen colour; a second identical drawing erases it.
    painter->setCompositionMode(m_rop == plat::R2_XORPEN ? QPainter::RasterOp_SourceXorDestination
                                                           : QPainter::CompositionMode_SourceOver);
    painter->setTransform(QTransform::fromTranslate(m_org.x, m_org.y));
    m_painterStale = false;
    return painter;
}

plat::Pen QtDeviceContext::SelectPen(const plat::Pen& pen)
{
    plat::Pen old = m_pen;
    m_pen = pen;
    m_painterStale = true;
    return old;
}

plat::Brush QtDeviceContext::SelectBrush(const plat::Brush& brush)
{
    plat::Brush old = m_brush;
    m_brush = brush;
    m_painterStale = true;
    return old;
}

int QtDeviceContext::SetROP2(int mode)
{
    int old = m_rop;
    m_rop = mode;
    m_painterStale = true;
    return old;
}

COLORREF QtDeviceContext::SetTextColor(COLORREF color)
{
    COLORREF old = m_textColor;
    m_textColor = color;
    return old;
}

plat::POINT QtDeviceContext::SetViewportOrg(int x, int y)
{
    plat::POINT old = m_org;
    m_org = {x, y};
    m_painterStale = true;
    return old;
}

plat::POINT QtDeviceContext::MoveTo(int x, int y)
{
    plat::POINT old = m_pos;
    m_pos = {x, y};
    return old;
}

QRect QtDeviceContext::ImagePixels(const QRect& r, double ratio)
{
    if (ratio == 1.0)
        return r;
    // Every image pixel the logical rectangle touches.
    return QRect(QPoint(static_cast<int>(std::floor(r.left() * ratio)), static_cast<int>(std::floor(r.top() * ratio))),
                 QPoint(static_cast<int>(std::ceil((r.right() + 1) * ratio)) - 1,
                        static_cast<int>(std::ceil((r.bottom() + 1) * ratio)) - 1));
}

QRect QtDeviceContext::ToPixels(const QRect& r) const
{
    return ImagePixels(r, m_ratio).intersected(m_image.rect());
}

long long QtDeviceContext::ToPixel(long long v) const
{
    return m_ratio == 1.0 ? v : std::llround(static_cast<double>(v) * m_ratio);
}

void QtDeviceContext::WritePixelLine(long long x0, long long y0, long long x1, long long y1, COLORREF color,
                                     bool dotted)
{
    // One image pixel wide whatever the ratio: the sharpest line the screen
    // shows.
    WritePixels(ToPixel(x0), ToPixel(y0), ToPixel(x1), ToPixel(y1), color, dotted);
}

void QtDeviceContext::WritePixels(long long x0, long long y0, long long x1, long long y1, COLORREF color, bool dotted)
{
    const long long dx = x1 - x0;
    const long long dy = y1 - y0;
    const long long steps = std::max(std::llabs(dx), std::llabs(dy));
    if (steps == 0)
        return;
    // Pixel i of the line is start + round(d x i / steps), halves away from
    // zero, the same wherever the line is cut. Below 2^20 steps integer
    // arithmetic gives exactly what the double quotient rounds to, and
    // faster; longer lines take the doubles.
    constexpr long long kExactSteps = 1LL << 20;
    const bool exact = steps < kExactSteps;
    auto at = [exact, steps](long long start, long long d, long long i) {
        if (!exact)
            return start + std::llround(static_cast<double>(d) * static_cast<double>(i) / static_cast<double>(steps));
        const long long n = d * i;
        return start + (n >= 0 ? (2 * n + steps) / (2 * steps) : -((-2 * n + steps) / (2 * steps)));
    };
    auto px = [&](long long i) { return at(x0, dx, i); };
    auto py = [&](long long i) { return at(y0, dy, i); };
    const long long minX = std::min(x0, x1), maxX = std::max(x0, x1);
    const long long minY = std::min(y0, y1), maxY = std::max(y0, y1);
    const std::uint32_t rgb = RgbOf(color);
    const bool xorMode = m_rop == plat::R2_XORPEN;
    QPolygon points;

    for (const QRect& r : m_pixelRects) {
        if (maxX < r.left() || minX > r.right() || maxY < r.top() || minY > r.bottom())
            continue;
        long long first = 0;
        long long end = steps;
        if (minX < r.left() || maxX > r.right() || minY < r.top() || maxY > r.bottom()) {
            long long fx = 0, ex = 0, fy = 0, ey = 0;
            IndexRange(steps, dx >= 0, r.left(), r.right(), px, fx, ex);
            IndexRange(steps, dy >= 0, r.top(), r.bottom(), py, fy, ey);
            first = std::max(fx, fy);
            end = std::min(ex, ey);
        }
        if (dotted && (first % 2) != 0)
            ++first;
        const long long stride = dotted ? 2 : 1;
        auto put = [&](long long x, long long y) {
            if (m_bits == nullptr) {
                points << QPoint(static_cast<int>(x), static_cast<int>(y));
                return;
            }
            std::uint32_t& pixel = reinterpret_cast<std::uint32_t*>(m_bits + y * m_bytesPerLine)[x];
            pixel = xorMode ? (pixel ^ rgb) : (0xFF000000u | rgb);
        };
        if (!exact) {
            for (long long i = first; i < end; i += stride)
                put(px(i), py(i));
            continue;
        }
        // The same rounding stepped without a division per pixel: the
        // quotient and remainder of 2 |d| i + steps over 2 steps.
        struct Stepper {
            long long start, sign, add, mod, q, r;
            Stepper(long long from, long long d, long long i, long long n, long long stride)
                : start(from), sign(d < 0 ? -1 : 1), add(2 * std::llabs(d) * stride), mod(2 * n)
            {
                const long long num = 2 * std::llabs(d) * i + n;
                q = num / mod;
                r = num % mod;
            }
            long long Value() const { return start + sign * q; }
            void Next()
            {
                r += add;
                while (r >= mod) {
                    r -= mod;
                    ++q;
                }
            }
        };
        Stepper sx(x0, dx, first, steps, stride);
        Stepper sy(y0, dy, first, steps, stride);
        for (long long i = first; i < end; i += stride, sx.Next(), sy.Next())
            put(sx.Value(), sy.Value());
    }
    if (!points.isEmpty()) {
        QPainter* painter = Painter();
        painter->save();
        // The painter works in logical pixels.
        painter->setTransform(QTransform::fromScale(1.0 / m_ratio, 1.0 / m_ratio));
        QPen pen(ToQColor(color));
        pen.setWidth(0);
        painter->setPen(pen);
        painter->drawPoints(points);
        painter->restore();
    }
}

void QtDeviceContext::LineTo(int x, int y)
{
    const plat::POINT from = m_pos;
    m_pos = {x, y};
    if (from == m_pos || m_pen.style == plat::PS_NULL || m_shared == nullptr)
        return;
    const long long x0 = static_cast<long long>(from.x) + m_org.x;
    const long long y0 = static_cast<long long>(from.y) + m_org.y;
    const long long x1 = static_cast<long long>(x) + m_org.x;
    const long long y1 = static_cast<long long>(y) + m_org.y;
    if (m_pen.width <= 1) {
        // The end pixel is left out, as the platform does; lines drawn end to
        // end then never touch a pixel twice, which XOR drawing depends on.
        WritePixelLine(x0, y0, x1, y1, m_pen.color, m_pen.style == plat::PS_DOT);
        return;
    }
    // A wide line is cut to the image grown by its width before the painter
    // sees it, so coordinates far outside cost nothing.
    double ax = static_cast<double>(x0), ay = static_cast<double>(y0);
    double bx = static_cast<double>(x1), by = static_cast<double>(y1);
    const double margin = m_pen.width + 2.0;
    if (!ClipSegment(ax, ay, bx, by, -margin, -margin, m_logical.width() + margin, m_logical.height() + margin))
        return;
    QPainter* painter = Painter();
    painter->drawLine(QPointF(ax - m_org.x, ay - m_org.y), QPointF(bx - m_org.x, by - m_org.y));
}

void QtDeviceContext::PolyBezier(const plat::POINT* points, std::size_t count)
{
    if (count < 4)
        return;
    if (m_pen.width <= 1 && m_pen.style == plat::PS_SOLID && m_rop != plat::R2_XORPEN && m_shared != nullptr) {
        // A thin solid curve is halved into pieces flat to a quarter of an
        // image pixel and drawn as one-pixel lines end to end: a drawing of
        // a hundred thousand circles spent most of its paint in the
        // painter's path stroking. Pieces wholly off the image are passed
        // over, so a curve far larger than the screen costs little.
        for (std::size_t i = 0; i + 3 < count; i += 3)
            StrokeCubic(&points[i]);
        return;
    }
    QPainter* painter = Painter();
    if (painter == nullptr)
        return;
    QPainterPath path(QPointF(points[0].x, points[0].y));
    for (std::size_t i = 1; i + 2 < count; i += 3)
        path.cubicTo(QPointF(points[i].x, points[i].y), QPointF(points[i + 1].x, points[i + 1].y),
                     QPointF(points[i + 2].x, points[i + 2].y));
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(path);
    m_painterStale = true;
}

void QtDeviceContext::StrokeCubic(const plat::POINT* p)
{
    struct Piece {
        double x[4];
        double y[4];
        int depth;
    };
    constexpr int kMaxDepth = 40;
    constexpr double flat = 0.25; // image pixels
    // Halved in image pixels: on a screen of several pixels per logical
    // one the curve is as fine as the screen.
    const QRect image = m_image.rect();
    const double left = image.left() - 2.0, right = image.right() + 2.0;
    const double top = image.top() - 2.0, bottom = image.bottom() + 2.0;
    std::array<Piece, kMaxDepth + 2> stack;
    int size = 0;
    Piece& first = stack[size++];
    for (int k = 0; k < 4; ++k) {
        first.x[k] = (static_cast<double>(p[k].x) + m_org.x) * m_ratio;
        first.y[k] = (static_cast<double>(p[k].y) + m_org.y) * m_ratio;
    }
    first.depth = 0;
    while (size > 0) {
        const Piece c = stack[--size];
        const auto [xmin, xmax] = std::minmax({c.x[0], c.x[1], c.x[2], c.x[3]});
        const auto [ymin, ymax] = std::minmax({c.y[0], c.y[1], c.y[2], c.y[3]});
        if (xmax < left || xmin > right || ymax < top || ymin > bottom)
            continue; // the curve lies within its control points
        const bool flatEnough =
            std::fabs(3.0 * c.x[1] - 2.0 * c.x[0] - c.x[3]) <= 3.0 * flat &&
            std::fabs(3.0 * c.y[1] - 2.0 * c.y[0] - c.y[3]) <= 3.0 * flat &&
            std::fabs(3.0 * c.x[2] - c.x[0] - 2.0 * c.x[3]) <= 3.0 * flat &&
            std::fabs(3.0 * c.y[2] - c.y[0] - 2.0 * c.y[3]) <= 3.0 * flat;
        if (flatEnough || c.depth >= kMaxDepth) {
            WritePixels(std::llround(c.x[0]), std::llround(c.y[0]), std::llround(c.x[3]), std::llround(c.y[3]),
                        m_pen.color, false);
            continue;
        }
        // de Casteljau at the middle; the first half is drawn first.
        auto mid = [](double a, double b) { return (a + b) * 0.5; };
        Piece l, r;
        const double abx = mid(c.x[0], c.x[1]), bcx = mid(c.x[1], c.x[2]), cdx = mid(c.x[2], c.x[3]);
        const double aby = mid(c.y[0], c.y[1]), bcy = mid(c.y[1], c.y[2]), cdy = mid(c.y[2], c.y[3]);
        const double abcx = mid(abx, bcx), bcdx = mid(bcx, cdx), abcy = mid(aby, bcy), bcdy = mid(bcy, cdy);
        const double mx = mid(abcx, bcdx), my = mid(abcy, bcdy);
        r = {{mx, bcdx, cdx, c.x[3]}, {my, bcdy, cdy, c.y[3]}, c.depth + 1};
        l = {{c.x[0], abx, abcx, mx}, {c.y[0], aby, abcy, my}, c.depth + 1};
        stack[size++] = r;
        stack[size++] = l;
    }
}

void QtDeviceContext::Rectangle(int left, int top, int right, int bottom)
{
    if (QPainter* painter = Painter())
        painter->drawRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void QtDeviceContext::Ellipse(int left, int top, int right, int bottom)
{
    if (QPainter* painter = Painter())
        painter->drawEllipse(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void QtDeviceContext::Arc(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye)
{
    QPainter* painter = Painter();
    if (painter == nullptr)
        return;
    const QRectF box(QPointF(left, top), QPointF(right, bottom));
    const QPointF c = box.center();
    // Screen y grows downwards; angles are counter-clockwise as seen on screen.
    const double a0 = std::atan2(c.y() - ys, xs - c.x()) * 180.0 / M_PI;
    double a1 = std::atan2(c.y() - ye, xe - c.x()) * 180.0 / M_PI;
    double span = a1 - a0;
    if (span <= 0)
        span += 360.0;
    painter->drawArc(box, static_cast<int>(std::lround(a0 * 16)), static_cast<int>(std::lround(span * 16)));
}

void QtDeviceContext::FillRect(const plat::RECT& rect, COLORREF color)
{
    if (QPainter* painter = Painter())
        painter->fillRect(QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1)), ToQColor(color));
}

void QtDeviceContext::SetPixel(int x, int y, COLORREF color)
{
    if (m_shared == nullptr)
        return;
    const long long ix = static_cast<long long>(x) + m_org.x;
    const long long iy = static_cast<long long>(y) + m_org.y;
    // The image pixels of the logical one, a row at a time; a one-step line
    // writes exactly its start pixel, clipped as lines are.
    for (long long row = ToPixel(iy); row < ToPixel(iy + 1); ++row)
        WritePixels(ToPixel(ix), row, ToPixel(ix + 1), row, color, false);
}

void QtDeviceContext::TextOut(int x, int y, const std::u16string& text)
{
    QPainter* painter = Painter();
    if (painter == nullptr)
        return;
    painter->setPen(ToQColor(m_textColor));
    const QString s = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetrics fm = painter->fontMetrics();
    painter->drawText(QPoint(x, y + fm.ascent()), s);
    m_painterStale = true;
}

bool QtDeviceContext::DrawBmpFile(const std::string& path, const plat::RECT& rect)
{
    QImage img;
    if (!img.load(QString::fromStdString(path), "BMP"))
        return false;
    if (QPainter* painter = Painter())
        painter->drawImage(QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1)), img);
    return true;
}

void QtDeviceContext::DrawIcon(int x, int y, int id)
{
    const QIcon icon = IconResource(id);
    QPainter* painter = icon.isNull() ? nullptr : Painter();
    if (painter == nullptr)
        return;
    painter->drawPixmap(QPoint(x, y), icon.pixmap(16, 16));
}

bool QtDeviceContext::GetClipBox(plat::RECT& box) const
{
    if (m_image.isNull())
        return false;
    QRect reach;
    for (const QRect& r : m_drawRects)
        reach |= r;
    box = plat::RECT{reach.left() - m_org.x, reach.top() - m_org.y, reach.right() + 1 - m_org.x,
                     reach.bottom() + 1 - m_org.y};
    return true;
}
