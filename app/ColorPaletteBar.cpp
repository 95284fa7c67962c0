#include "ColorPaletteBar.h"

#include "ChildFrame.h"
#include "MainFrame.h"
#include "qtplatform/Resources.h"
#include "platform/Win.h"
#include "settings/LanguageTable.h"
#include "settings/SoftwareSettings.h"
#include "qtplatform/ButtonST.h"

#include <QMdiArea>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The page buttons' tooltips: "prev" and "next" in the language files.
constexpr std::u16string_view kTipSection = u"phase15:error-hint";
constexpr int kPrevTipText = 75;
constexpr int kNextTipText = 76;

// Cell i spans (100 + 32 i, 10) to (130 + 32 i, 35), the far corner excluded.
QRect CellAt(int i)
{
    return QRect(QPoint(100 + 32 * i, 10), QPoint(129 + 32 * i, 34));
}

QColor PaletteColor(int index)
{
    if (index < 0 || index >= kPaletteSize)
        return Qt::black;
    const COLORREF c = g_settings.m_palette[static_cast<std::size_t>(index)];
    return QColor(static_cast<int>(plat::GetRValue(c)), static_cast<int>(plat::GetGValue(c)),
                  static_cast<int>(plat::GetBValue(c)));
}

} // namespace

CColorPaletteBar::CColorPaletteBar(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(kHeight);
    for (int i = 0; i < 15; ++i)
        m_cells[static_cast<std::size_t>(i)] = CellAt(i);

    auto makeButton = [this](int id, int icon, int tipEntry, const char* tip, const QRect& place) {
        auto* button = new CButtonST(this);
        button->setObjectName(QString::number(id));
        button->setGeometry(place);
        button->SetBitmaps(icon, icon);
        const std::u16string& text = LanguageText(RegisteredLanguageTable(), kTipSection, tipEntry);
        button->SetTooltipText(text.empty() ? QString::fromLatin1(tip) : QString::fromStdU16String(text));
        button->show();
        return button;
    };
    m_prev = makeButton(kPrevId, 137, kPrevTipText, "prev", QRect(60, 7, 32, 32));
    m_next = makeButton(kNextId, 138, kNextTipText, "next", QRect(width() - 60, 7, 32, 32));
    connect(m_prev, &QPushButton::clicked, this, [this] { OnPrevPage(); });
    connect(m_next, &QPushButton::clicked, this, [this] { OnNextPage(); });
}

void CColorPaletteBar::RecalcLayout(const QRect& client)
{
    m_client = client;
    const int right = client.x() + client.width();
    m_next->setGeometry(right - 80, 7, 32, 32);

    // Never more cells than the palette has colours, never fewer than one.
    m_cellsPerPage = std::clamp((right - 170) / 32, 1, kMaxCells);
    m_pageCount = kPaletteSize / m_cellsPerPage;
    m_cellsOnLastPage = kPaletteSize % m_cellsPerPage;
    m_shownPage = m_selPage = m_curIndex / m_cellsPerPage;
    m_shownSelCell = m_selCell = m_curIndex % m_cellsPerPage;
    for (int i = 0; i < m_cellsPerPage; ++i)
        m_cells[static_cast<std::size_t>(i)] = CellAt(i);
    update();
}

int CColorPaletteBar::CellsShown() const
{
    return m_shownPage == m_pageCount ? m_cellsOnLastPage : m_cellsPerPage;
}

void CColorPaletteBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(m_swatch, PaletteColor(m_curIndex));
    qDrawShadePanel(&painter, m_swatch, palette(), true, 1);

    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setBackgroundMode(Qt::TransparentMode);
    const int shown = CellsShown();
    for (int i = 0; i < shown; ++i) {
        const QRect& cell = m_cells[static_cast<std::size_t>(i)];
        const int k = m_shownPage * m_cellsPerPage + i;
        const QColor colour = PaletteColor(k);
        painter.fillRect(cell, colour);
        qDrawShadePanel(&painter, cell, palette(), i == m_shownSelCell, 1);
        painter.setPen(colour.rgb() == QColor(Qt::black).rgb() ? Qt::white : Qt::black);
        const int left = cell.left() + (k < 9 ? 9 : 5);
        const QRect text(left, cell.top() + 5, cell.right() - left, cell.bottom() - cell.top() - 5);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignTop, QString::number(k + 1));
    }
}

bool CColorPaletteBar::ClickAt(const QPoint& point)
{
    const int shown = CellsShown();
    for (int i = 0; i < shown; ++i) {
        if (!m_cells[static_cast<std::size_t>(i)].contains(point))
            continue;
        m_selPage = m_shownPage;
        m_shownSelCell = m_selCell = i;
        m_curIndex = m_shownPage * m_cellsPerPage + i;
        update();
        SendIndex();
        return true;
    }
    return false;
}

void CColorPaletteBar::SendIndex() const
{
    // With no document window the index has nowhere to go.
    if (m_area == nullptr)
        return;
    if (auto* frame = dynamic_cast<CChildFrame*>(m_area->activeSubWindow()))
        frame->SendMessage(CChildFrame::kMsgPaletteIndex, 0, m_curIndex);
}

void CColorPaletteBar::OnNextPage()
{
    const int last = m_cellsOnLastPage != 0 ? m_pageCount : m_pageCount - 1;
    m_shownPage = m_shownPage + 1 > last ? 0 : m_shownPage + 1;
    AfterPaging();
}

void CColorPaletteBar::OnPrevPage()
{
    const int last = m_cellsOnLastPage != 0 ? m_pageCount : m_pageCount - 1;
    m_shownPage = m_shownPage - 1 < 0 ? std::max(last, 0) : m_shownPage - 1;
    AfterPaging();
}

void CColorPaletteBar::AfterPaging()
{
    m_shownSelCell = m_shownPage == m_selPage ? m_selCell : -1;
    update();
}

void CColorPaletteBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !ClickAt(event->position().toPoint()))
        QWidget::mousePressEvent(event);
}

void CColorPaletteBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

void CColorPaletteBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    RecalcLayout(rect());
}
