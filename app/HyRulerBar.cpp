#include "HyRulerBar.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>
#include <cstdio>

namespace {

constexpr double kOrigin = 500000.0;
constexpr double kMinorTarget = 20.0;
constexpr double kInchesPerMm = 0.03937007874015748;
// Where the walk ends before the ruler's far end: the scroll bar, and for
// the vertical ruler the horizontal ruler above the view too.
constexpr int kHorizontalEndMargin = 20;
constexpr int kVerticalEndMargin = 43;
// Drawing offsets of a tick pixel x: column x + 1 on the horizontal ruler,
// row x + 24 on the vertical one.
constexpr int kHorizontalTickShift = 1;
constexpr int kVerticalTickShift = 24;
constexpr int kFirstVisibleTick = 3;
constexpr int kMarkerFrom = 2;
constexpr int kLabelSample = 1234567890;

} // namespace

double CHyRulerBar::StepFactor(double d)
{
    double s = 1.0;
    if (!(d > 0.0) || !std::isfinite(d))
        return s;
    bool doubling = true;
    while (d * s < kMinorTarget) {
        if (doubling) {
            if (d * s * 5.0 > kMinorTarget) {
                s *= 2.0;
                break;
            }
            s *= 2.0;
            doubling = false;
        } else {
            s *= 5.0;
            doubling = true;
        }
    }
    return s;
}

CHyRulerBar::Layout CHyRulerBar::ComputeLayout(double offset, double scale, double base, double unit, int unitCode,
                                               int labelExtent, int length, bool vertical)
{
    Layout out;
    if (!(scale > 0.0) || !(base > 0.0) || !(unit > 0.0) || !std::isfinite(scale) || !std::isfinite(offset))
        return out;
    const double o = offset - scale * kOrigin;
    const double s = StepFactor(scale * unit);
    const double m = unit / 10.0 * s;
    out.step = s;
    out.minorPixels = std::max(1, plat::SaturateInt32(m * scale / base + 0.5));
    const int r = labelExtent / out.minorPixels;
    out.labelEvery = r >= 6 ? 10 : (r >= 2 ? 5 : 1);
    const double f = unitCode == kUnitInches ? kInchesPerMm : 1.0;
    const double k = std::trunc(o * base / scale / unit / s) - 1.0;
    const int limit = length - (vertical ? kVerticalEndMargin : kHorizontalEndMargin);
    // Each tick moves at least a few pixels on; the bound only guards
    // against numbers that have lost their precision.
    const long long maxTicks = static_cast<long long>(std::max(0, limit)) + 40;
    for (long long i = 1; i <= maxTicks; ++i) {
        const double q = k * s * unit + static_cast<double>(i) * m;
        const int x = plat::SaturateInt32(q * scale / base + 0.5 - o);
        if (x >= limit)
            break;
        if (x + 1 < kFirstVisibleTick)
            continue;
        Tick t;
        t.x = x;
        t.length = i % 10 == 0 ? 7 : (i % 10 == 5 ? 5 : 2);
        t.labelled = i % out.labelEvery == 0;
        t.value = q * f;
        out.ticks.push_back(t);
    }
    return out;
}

std::string CHyRulerBar::FormatLabel(double value, int decimals)
{
    const int size = std::snprintf(nullptr, 0, "%20.10f", value);
    std::string text(static_cast<std::size_t>(std::max(size, 0)) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%20.10f", value);
    text.resize(static_cast<std::size_t>(std::max(size, 0)));
    std::erase(text, ' ');
    const std::size_t point = text.find('.');
    if (point == std::string::npos)
        return text;
    if (decimals >= 0) {
        const std::size_t have = text.size() - point - 1;
        if (have > static_cast<std::size_t>(decimals))
            text.resize(point + 1 + static_cast<std::size_t>(decimals));
        else
            text.append(static_cast<std::size_t>(decimals) - have, '0');
        if (decimals == 0)
            text.resize(point);
        return text;
    }
    while (text.size() > point + 1 && text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

CHyRulerBar::CHyRulerBar(QWidget* parent) : QWidget(parent)
{
    m_font.setPixelSize(10);
    m_font.setStyleHint(QFont::SansSerif);
    m_font.setWeight(QFont::Normal);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CHyRulerBar::Init(QWidget* owner, double initialScale, bool vertical)
{
    m_owner = owner;
    m_initialScale = initialScale;
    m_vertical = vertical;
    m_unit = m_unitCode == kUnitInches ? 25.4 : 10.0;
    m_base = 0.1 * m_initialScale;
    setProperty("windowId", kBarId);
    if (m_vertical)
        setFixedWidth(kThickness);
    else
        setFixedHeight(kThickness);
}

void CHyRulerBar::SetOffset(int position, bool redraw)
{
    const double offset = static_cast<double>(std::max(position, 0)) - 1.0;
    if (offset == m_offset)
        return;
    m_offset = offset;
    // A repaint takes the marker away until the mouse moves again.
    m_lastMarkerX = m_lastMarkerY = -1;
    if (redraw)
        repaint();
    else
        update();
}

void CHyRulerBar::SetScale(double zoom)
{
    if (zoom == m_scale)
        return;
    m_scale = zoom;
    m_lastMarkerX = m_lastMarkerY = -1;
    update();
}

void CHyRulerBar::DrawMarker(const plat::POINT& client)
{
    if (m_vertical) {
        const int y = plat::SaturateInt32(static_cast<double>(client.y) + 1);
        if (y == m_lastMarkerY)
            return;
        m_lastMarkerY = y;
    } else {
        const int x = plat::SaturateInt32(static_cast<double>(client.x) + 1);
        if (x == m_lastMarkerX)
            return;
        m_lastMarkerX = x;
    }
    update();
}

int CHyRulerBar::MarkerLine() const
{
    // The line of the marker: py + 24 on the vertical ruler, px + 1 on the
    // horizontal one.
    if (m_vertical)
        return m_lastMarkerY < 0 ? -1 : m_lastMarkerY + kThickness;
    return m_lastMarkerX;
}

int CHyRulerBar::LabelStart(int tick, int width, bool vertical)
{
    // The tick's pixel (column tick + 1, or row tick + 24) less half the
    // label's width.
    return tick + (vertical ? kVerticalTickShift : kHorizontalTickShift) - width / 2;
}

int CHyRulerBar::LabelExtent() const
{
    const QFontMetrics metrics(m_font);
    const QString sample = QString::fromStdString(FormatLabel(kLabelSample, -1));
    const int width = metrics.horizontalAdvance(sample);
    return m_vertical ? std::max(width, metrics.height()) : width;
}

CHyRulerBar::Layout CHyRulerBar::CurrentLayout() const
{
    return ComputeLayout(m_offset, m_scale, m_base, m_unit, m_unitCode, LabelExtent(),
                         m_vertical ? height() : width(), m_vertical);
}

void CHyRulerBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& pal = palette();
    painter.fillRect(rect(), pal.color(QPalette::Button));
    const int w = width();
    const int h = height();
    painter.setPen(pal.color(QPalette::Light));
    painter.drawLine(0, 0, w - 1, 0);
    painter.drawLine(0, 0, 0, h - 1);
    painter.setPen(pal.color(QPalette::Dark));
    painter.drawLine(0, h - 1, w - 1, h - 1);
    painter.drawLine(w - 1, 0, w - 1, h - 1);

    painter.setPen(pal.color(QPalette::WindowText));
    painter.setFont(m_font);
    const QFontMetrics metrics(m_font);
    const int ascent = metrics.ascent();
    const Layout layout = CurrentLayout();
    for (const Tick& t : layout.ticks) {
        // Each label is centred on its tick by its own width.
        const QString label = t.labelled ? QString::fromStdString(FormatLabel(t.value, -1)) : QString();
        const int width = metrics.horizontalAdvance(label);
        const int start = LabelStart(t.x, width, m_vertical);
        if (m_vertical) {
            const int y = t.x + kVerticalTickShift;
            painter.drawLine(kThickness - t.length, y, kThickness - 1, y);
            if (t.labelled && t.x - width / 2 + 1 > 0) {
                // Written upwards from its lower end.
                painter.save();
                painter.translate(1, start + width);
                painter.rotate(-90.0);
                painter.drawText(0, ascent, label);
                painter.restore();
            }
        } else {
            const int x = t.x + kHorizontalTickShift;
            painter.drawLine(x, kThickness - t.length, x, kThickness - 1);
            if (t.labelled && start > 3)
                painter.drawText(start, 1 + ascent, label);
        }
    }

    const int marker = MarkerLine();
    if (marker >= 0) {
        // The marker inverts the pixels it covers, as the window pen in XOR mode does.
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(pal.color(QPalette::Base));
        if (m_vertical)
            painter.drawLine(kMarkerFrom, marker, kThickness - 1, marker);
        else
            painter.drawLine(marker, kMarkerFrom, marker, kThickness - 1);
    }
}
