#include "QtDeviceContext.h"

#include <QPainterPath>
#include <QString>
#include <cmath>

QtDeviceContext::QtDeviceContext(QImage& image) : m_image(image), m_painter(std::make_unique<QPainter>(&image))
{
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    ApplyState();
}

QtDeviceContext::~QtDeviceContext() = default;

QColor QtDeviceContext::ToQColor(COLORREF c)
{
    return QColor(static_cast<int>(plat::GetRValue(c)), static_cast<int>(plat::GetGValue(c)),
                  static_cast<int>(plat::GetBValue(c)));
}

void QtDeviceContext::ApplyState()
{
    if (m_pen.style == plat::PS_NULL) {
        m_painter->setPen(Qt::NoPen);
    } else {
        QPen pen(ToQColor(m_pen.color));
        pen.setWidth(m_pen.width <= 1 ? 0 : m_pen.width);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        if (m_pen.style == plat::PS_DOT)
            pen.setDashPattern({1.0, 1.0});
        else if (m_pen.style == plat::PS_DASH)
            pen.setDashPattern({6.0, 2.0});
        m_painter->setPen(pen);
    }
    if (m_brush.hollow)
        m_painter->setBrush(Qt::NoBrush);
    else
        m_painter->setBrush(ToQColor(m_brush.color));
    // XOR pen: destination XOR pen colour; a second identical drawing erases it.
    m_painter->setCompositionMode(m_rop == plat::R2_XORPEN ? QPainter::RasterOp_SourceXorDestination
                                                           : QPainter::CompositionMode_SourceOver);
    m_painter->resetTransform();
    m_painter->translate(m_org.x, m_org.y);
}

plat::Pen QtDeviceContext::SelectPen(const plat::Pen& pen)
{
    plat::Pen old = m_pen;
    m_pen = pen;
    ApplyState();
    return old;
}

plat::Brush QtDeviceContext::SelectBrush(const plat::Brush& brush)
{
    plat::Brush old = m_brush;
    m_brush = brush;
    ApplyState();
    return old;
}

int QtDeviceContext::SetROP2(int mode)
{
    int old = m_rop;
    m_rop = mode;
    ApplyState();
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
    ApplyState();
    return old;
}

plat::POINT QtDeviceContext::MoveTo(int x, int y)
{
    plat::POINT old = m_pos;
    m_pos = {x, y};
    return old;
}

void QtDeviceContext::LineTo(int x, int y)
{
    const int x0 = m_pos.x;
    const int y0 = m_pos.y;
    m_pos = {x, y};
    if (x0 == x && y0 == y)
        return;
    // The end pixel is left out, as the platform does; lines drawn end to end
    // then never touch a pixel twice, which XOR drawing depends on.
    const int dx = x - x0;
    const int dy = y - y0;
    const int steps = std::max(std::abs(dx), std::abs(dy));
    QPolygon pixels;
    pixels.reserve(steps);
    const bool dotted = m_pen.style == plat::PS_DOT;
    for (int i = 0; i < steps; ++i) {
        if (dotted && (i % 2) != 0)
            continue;
        const int px = x0 + static_cast<int>(std::lround(static_cast<double>(dx) * i / steps));
        const int py = y0 + static_cast<int>(std::lround(static_cast<double>(dy) * i / steps));
        pixels << QPoint(px, py);
    }
    if (m_pen.style == plat::PS_NULL)
        return;
    if (m_pen.width <= 1) {
        // Pixels are written one by one so that each is touched exactly once.
        QPen pen(ToQColor(m_pen.color));
        pen.setWidth(0);
        QPen saved = m_painter->pen();
        m_painter->setPen(pen);
        m_painter->drawPoints(pixels);
        m_painter->setPen(saved);
    } else {
        m_painter->drawLine(QPointF(x0, y0), QPointF(x, y));
    }
}

void QtDeviceContext::PolyBezier(const plat::POINT* points, std::size_t count)
{
    if (count < 4)
        return;
    QPainterPath path(QPointF(points[0].x, points[0].y));
    for (std::size_t i = 1; i + 2 < count; i += 3)
        path.cubicTo(QPointF(points[i].x, points[i].y), QPointF(points[i + 1].x, points[i + 1].y),
                     QPointF(points[i + 2].x, points[i + 2].y));
    QBrush saved = m_painter->brush();
    m_painter->setBrush(Qt::NoBrush);
    m_painter->drawPath(path);
    m_painter->setBrush(saved);
}

void QtDeviceContext::Rectangle(int left, int top, int right, int bottom)
{
    m_painter->drawRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void QtDeviceContext::Ellipse(int left, int top, int right, int bottom)
{
    m_painter->drawEllipse(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void QtDeviceContext::Arc(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye)
{
    const QRectF box(QPointF(left, top), QPointF(right, bottom));
    const QPointF c = box.center();
    // Screen y grows downwards; angles are counter-clockwise as seen on screen.
    const double a0 = std::atan2(c.y() - ys, xs - c.x()) * 180.0 / M_PI;
    double a1 = std::atan2(c.y() - ye, xe - c.x()) * 180.0 / M_PI;
    double span = a1 - a0;
    if (span <= 0)
        span += 360.0;
    m_painter->drawArc(box, static_cast<int>(std::lround(a0 * 16)), static_cast<int>(std::lround(span * 16)));
}

void QtDeviceContext::FillRect(const plat::RECT& rect, COLORREF color)
{
    const QRect r(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1));
    m_painter->fillRect(r, ToQColor(color));
}

void QtDeviceContext::SetPixel(int x, int y, COLORREF color)
{
    QPen saved = m_painter->pen();
    QPen pen(ToQColor(color));
    pen.setWidth(0);
    m_painter->setPen(pen);
    m_painter->drawPoint(x, y);
    m_painter->setPen(saved);
}

void QtDeviceContext::TextOut(int x, int y, const std::u16string& text)
{
    QPen saved = m_painter->pen();
    m_painter->setPen(ToQColor(m_textColor));
    const QString s = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetrics fm = m_painter->fontMetrics();
    m_painter->drawText(QPoint(x, y + fm.ascent()), s);
    m_painter->setPen(saved);
}

bool QtDeviceContext::DrawBmpFile(const std::string& path, const plat::RECT& rect)
{
    QImage img;
    if (!img.load(QString::fromStdString(path), "BMP"))
        return false;
    m_painter->drawImage(QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1)), img);
    return true;
}
