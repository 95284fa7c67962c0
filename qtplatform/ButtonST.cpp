#include "ButtonST.h"

#include "qtplatform/Resources.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <utility>

namespace {

// The icon resource at its own size; null when there is none.
QPixmap IconPixmap(int id)
{
    const QIcon icon = IconResource(id);
    const QList<QSize> sizes = icon.availableSizes();
    return sizes.isEmpty() ? QPixmap() : icon.pixmap(sizes.last());
}

// The icon's left edge when the button has text.
constexpr int kIconMargin = 3;

} // namespace

CButtonST::CButtonST(QWidget* parent) : QPushButton(parent)
{
    // Moves without a button pressed start the hover look.
    setMouseTracking(true);
}

void CButtonST::SetBitmaps(int inIconId, int outIconId)
{
    SetBitmaps(IconPixmap(inIconId), outIconId);
}

void CButtonST::SetBitmaps(const QPixmap& in, int outIconId)
{
    m_in = in;
    if (outIconId == kGreyCopy)
        m_out = GreyCopy(in);
    else if (outIconId == kNoIcon)
        m_out = QPixmap();
    else
        m_out = IconPixmap(outIconId);
    update();
}

void CButtonST::SetTooltipText(const QString& text, bool activate)
{
    setToolTip(activate ? text : QString());
}

QPixmap CButtonST::GreyCopy(const QPixmap& icon)
{
    if (icon.isNull())
        return QPixmap();
    QImage image = icon.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const int r = qRed(p);
            const int g = qGreen(p);
            const int b = qBlue(p);
            if (r == 0 && g == 0 && b == 0)
                continue;
            const double level = 0.299 * r + 0.587 * g + 0.114 * b;
            const int grey = level >= 255.0 ? 255 : static_cast<int>(level);
            line[x] = qRgba(grey, grey, grey, qAlpha(p));
        }
    }
    return QPixmap::fromImage(image);
}

void CButtonST::mouseMoveEvent(QMouseEvent* event)
{
    QPushButton::mouseMoveEvent(event);
    if (m_hover || (event->buttons() & Qt::LeftButton) || !rect().contains(event->position().toPoint()))
        return;
    m_hover = true;
    update();
}

void CButtonST::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    if (m_hover) {
        m_hover = false;
        update();
    }
}

void CButtonST::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() != QEvent::EnabledChange || isEnabled())
        return;
    m_hover = false;
    // A disabled button keeps no focus: the next control takes it.
    if (hasFocus())
        focusNextChild();
    update();
}

void CButtonST::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& pal = palette();
    const int w = width();
    const int h = height();
    const bool pressed = isDown() || (isCheckable() && isChecked());

    painter.fillRect(rect(), pal.color(QPalette::Button));
    if (m_hover || pressed) {
        QColor topLeft = pal.color(QPalette::Light);
        QColor bottomRight = pal.color(QPalette::Dark);
        if (pressed)
            std::swap(topLeft, bottomRight);
        painter.fillRect(QRect(0, 0, w - 1, 1), topLeft);
        painter.fillRect(QRect(0, 0, 1, h - 1), topLeft);
        painter.fillRect(QRect(w - 1, 0, 1, h), bottomRight);
        painter.fillRect(QRect(0, h - 1, w, 1), bottomRight);
    }

    const QPixmap& icon = !m_hover && !m_out.isNull() ? m_out : m_in;
    QRect textRect = rect();
    if (!icon.isNull()) {
        int x = text().isEmpty() ? (w - icon.width()) / 2 : kIconMargin;
        int y = (h - icon.height()) / 2;
        if (isDown() && !isCheckable()) {
            ++x;
            ++y;
        }
        if (isEnabled()) {
            painter.drawPixmap(x, y, icon);
        } else {
            QStyleOption option;
            option.initFrom(this);
            painter.drawPixmap(x, y, style()->generatedIconPixmap(QIcon::Disabled, icon, &option));
        }
        if (!text().isEmpty())
            textRect.setLeft(kIconMargin + icon.width());
    }

    if (text().isEmpty())
        return;
    if (pressed)
        textRect.translate(1, 1);
    const int flags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    if (isEnabled()) {
        painter.setPen(pal.color(QPalette::ButtonText));
        painter.drawText(textRect, flags, text());
    } else {
        painter.setPen(pal.color(QPalette::Light));
        painter.drawText(textRect.translated(1, 1), flags, text());
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawText(textRect, flags, text());
    }
}
