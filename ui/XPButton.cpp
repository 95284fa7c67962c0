#include "XPButton.h"

#include "qtplatform/Resources.h"

#include <QPainter>
#include <QStyle>

namespace {

// The system's edge widths: the face lies this far inside the outline.
constexpr int kEdge = 2;

const QColor kFaceColor(240, 245, 245);
const QColor kHoverFaceColor(226, 225, 217);
// The face inside the outline, as the device context's default brush
// leaves it where neither face nor edges reach.
const QColor kInsideColor(255, 255, 255);

struct EdgePen {
    QColor color;
    int width;
};
struct EdgeSet {
    EdgePen left, right, top, bottom;
};
const EdgeSet kHoverEdges = {{QColor(250, 196, 88), 3},
                             {QColor(251, 202, 106), 3},
                             {QColor(252, 210, 121), 2},
                             {QColor(229, 151, 0), 2}};
const EdgeSet kFocusEdges = {{QColor(153, 198, 252), 3},
                             {QColor(162, 201, 255), 2},
                             {QColor(162, 189, 252), 3},
                             {QColor(162, 201, 255), 2}};

// First pixel of a line of the given width drawn along `centre`.
int BandStart(int centre, int width)
{
    return centre - width / 2;
}

// Inside the outline: the region less its one-pixel rim.
QRegion InsideRegion(const QSize& size)
{
    const int w = size.width();
    const int h = size.height();
    return QRegion(2, 1, w - 4, h - 2) | QRegion(1, 2, w - 2, h - 4);
}

} // namespace

CXPButton::CXPButton(QWidget* parent) : QPushButton(parent)
{
    Init();
}

CXPButton::CXPButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    Init();
}

void CXPButton::Init()
{
    // Every pixel inside the shape is painted: no background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMask(RoundedRegion(size()));
}

CXPButton::ArrowIcon CXPButton::ArrowOf(std::uint32_t kind)
{
    switch (kind) {
    case 1:
    case 11:
        return {202, 0, 1};
    case 2:
    case 12:
        return {203, 4, 1};
    case 3:
    case 13:
        return {204, 2, -1};
    case 4:
    case 14:
        return {205, 2, 2};
    case 21:
        return {234, -1, -4};
    default:
        return {0, 0, 0};
    }
}

QRegion CXPButton::RoundedRegion(const QSize& size)
{
    const int w = size.width();
    const int h = size.height();
    // A 5 x 5 corner ellipse leaves out the corner pixel and its two
    // neighbours along the edges.
    return QRegion(2, 0, w - 4, h) | QRegion(1, 1, w - 2, h - 2) | QRegion(0, 2, w, h - 4);
}

void CXPButton::resizeEvent(QResizeEvent* event)
{
    QPushButton::resizeEvent(event);
    setMask(RoundedRegion(size()));
}

void CXPButton::enterEvent(QEnterEvent* event)
{
    QPushButton::enterEvent(event);
    m_hover = true;
    update();
}

void CXPButton::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    m_hover = false;
    update();
}

void CXPButton::FillFace(QPainter& painter, const QRect& face)
{
    painter.fillRect(face, m_hover ? kHoverFaceColor : kFaceColor);
}

void CXPButton::DrawBorder(QPainter& painter, const QRect& face)
{
    const EdgeSet& set = m_hover ? kHoverEdges : kFocusEdges;
    // The face rectangle's sides; right and bottom lie just outside it.
    const int l = face.left();
    const int t = face.top();
    const int r = face.left() + face.width();
    const int b = face.top() + face.height();

    // Left from the bottom up to one pixel below the top, right at r - 1,
    // top from l - 1 to r - 1, bottom from l to r - 1.
    painter.fillRect(QRect(BandStart(l, set.left.width), t + 1, set.left.width, b - t), set.left.color);
    painter.fillRect(QRect(BandStart(r - 1, set.right.width), t, set.right.width, b - t + 1), set.right.color);
    painter.fillRect(QRect(l - 1, BandStart(t, set.top.width), r - l + 1, set.top.width), set.top.color);
    painter.fillRect(QRect(l, BandStart(b, set.bottom.width), r - l, set.bottom.width), set.bottom.color);

    if (m_hover)
        return;
    // The focus rectangle, inside the edges: every other pixel inverted.
    const QRect focus = face.adjusted(2, 2, -2, -2);
    if (focus.width() < 1 || focus.height() < 1)
        return;
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    int n = 0;
    auto dot = [&](int x, int y) {
        if (n++ % 2 == 0)
            painter.fillRect(QRect(x, y, 1, 1), Qt::white);
    };
    for (int x = focus.left(); x <= focus.right(); ++x)
        dot(x, focus.top());
    for (int y = focus.top() + 1; y <= focus.bottom(); ++y)
        dot(focus.right(), y);
    for (int x = focus.right() - 1; x >= focus.left() && focus.bottom() > focus.top(); --x)
        dot(x, focus.bottom());
    for (int y = focus.bottom() - 1; y > focus.top() && focus.right() > focus.left(); --y)
        dot(focus.left(), y);
    painter.restore();
}

void CXPButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int w = width();
    const int h = height();

    // The outline with its curved corners, filled inside.
    for (const QRect& part : InsideRegion(size()))
        painter.fillRect(part, kInsideColor);
    const QColor outline(0, 0, 0);
    painter.fillRect(QRect(2, 0, w - 4, 1), outline);
    painter.fillRect(QRect(2, h - 1, w - 4, 1), outline);
    painter.fillRect(QRect(0, 2, 1, h - 4), outline);
    painter.fillRect(QRect(w - 1, 2, 1, h - 4), outline);
    for (const QPoint corner : {QPoint(1, 1), QPoint(w - 2, 1), QPoint(1, h - 2), QPoint(w - 2, h - 2)})
        painter.fillRect(QRect(corner, QSize(1, 1)), outline);

    const QRect face(kEdge, kEdge, w - 2 * kEdge, h - 2 * kEdge);
    FillFace(painter, face);
    if (m_hover || hasFocus()) {
        painter.save();
        painter.setClipRegion(InsideRegion(size()));
        DrawBorder(painter, face);
        painter.restore();
    }

    // Centred, one pixel right and down while pressed; greyed when disabled.
    const QRect textRect = isDown() ? face.translated(1, 1) : face;
    style()->drawItemText(&painter, textRect, Qt::AlignCenter | Qt::TextShowMnemonic, palette(), isEnabled(), text(),
                          QPalette::ButtonText);

    const ArrowIcon arrow = ArrowOf(m_kind);
    if (arrow.icon != 0) {
        const QPixmap pixmap = IconResource(arrow.icon).pixmap(32, 32);
        if (!pixmap.isNull())
            painter.drawPixmap(arrow.x, arrow.y, pixmap);
    }
}
