// The work page's layer list: a row per layer of the document in the order
// the layers first occur, with its modes and settings; a click selects the
// layer's objects, a double click opens its parameters, and the Up and Down
// buttons, the arrow keys and a drag move its objects in the drawing's
// order, each move one undo step.
#include "WorkPageWork.h"

#include "WorkSetParameter.h"
#include "XPButton.h"
#include "qtplatform/Resources.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/NumText.h"
#include "platform/Prompt.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The layer list: columns, widths and the header entries of
// "phase3:work-tool"; row texts.
constexpr int kSwatchColumnWidth = 25;
// The rows the list shows without scrolling.
constexpr int kLayerRowsShown = 6;
constexpr int kLayerHeaderEntries[4] = {-1, 7, 8, 9};
constexpr int kHeaderMaxChars = 99;
constexpr int kCutText = 10;
constexpr int kScanText = 11;
constexpr int kNoOutputText = 36;
constexpr int kDefaultPowerText = 43;
constexpr int kUpText = 38;
constexpr int kDownText = 39;
constexpr int kDragBitmap = 220;

// Column 0 shows only the palette colour of the row's layer while a
// document is bound; its text stays for reading the layer back.
class LayerColorDelegate : public QStyledItemDelegate {
public:
    explicit LayerColorDelegate(CWorkPageWork* page) : QStyledItemDelegate(page), m_page(page) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const DOCCONTEXT* context = m_page->Context();
        if (index.column() != 0 || context == nullptr) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const SoftwareSettings& settings = SettingsOf(context);
        const int layer = static_cast<int>(plat::ParseInt(index.data().toString().toStdString()));
        const COLORREF c = settings.PaletteColor(layer);
        painter->fillRect(option.rect, QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    }

private:
    CWorkPageWork* m_page;
};

QString Fixed(double v, int decimals)
{
    return QString::fromStdString(plat::FormatFixed(v, decimals));
}

} // namespace

void CWorkPageWork::BuildLayerArea(QGroupBox* parameters)
{
    m_layerArea = new QVBoxLayout(parameters);
    m_layerList = static_cast<QTableWidget*>(Named(new QTableWidget(0, 4, parameters), IDC_LAYER_LIST));
    m_layerList->setShowGrid(true);
    m_layerList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_layerList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_layerList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_layerList->setSortingEnabled(false);
    m_layerList->setDragEnabled(false);
    m_layerList->verticalHeader()->hide();
    m_layerList->horizontalHeader()->setSectionsMovable(true);
    m_layerList->horizontalHeader()->setSortIndicatorShown(false);
    m_layerList->horizontalHeader()->setSectionsClickable(false);
    m_layerList->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The selected row stays marked while another control has the focus.
    QPalette listPalette = m_layerList->palette();
    listPalette.setBrush(QPalette::Inactive, QPalette::Highlight, listPalette.brush(QPalette::Active, QPalette::Highlight));
    listPalette.setBrush(QPalette::Inactive, QPalette::HighlightedText,
                         listPalette.brush(QPalette::Active, QPalette::HighlightedText));
    m_layerList->setPalette(listPalette);
    // Columns can be widened by hand; the last one takes what is left.
    m_layerList->horizontalHeader()->setStretchLastSection(true);
    m_layerList->setItemDelegateForColumn(0, new LayerColorDelegate(this));
    m_layerArea->addWidget(m_layerList, 1);
    auto* moves = new QHBoxLayout;
    auto* up = new CXPButton(parameters);
    Named(up, IDC_LAYER_UP);
    up->setText(QStringLiteral("Up"));
    auto* down = new CXPButton(parameters);
    Named(down, IDC_LAYER_DOWN);
    down->setText(QStringLiteral("Down"));
    moves->addWidget(up);
    moves->addWidget(down);
    m_layerArea->addLayout(moves);
    connect(up, &QPushButton::clicked, this, [this] { OnMoveLayerUp(); });
    connect(down, &QPushButton::clicked, this, [this] { OnMoveLayerDown(); });
    connect(m_layerList, &QTableWidget::cellClicked, this, [this] { OnLayerClick(); });
    connect(m_layerList, &QTableWidget::cellDoubleClicked, this, [this] { OnLayerDblClk(); });
}

void CWorkPageWork::InitLayerList()
{
    for (int column = 0; column < 4; ++column) {
        QString header;
        if (kLayerHeaderEntries[column] >= 0)
            header = QString::fromStdU16String(SectionText(kLayerHeaderEntries[column])).left(kHeaderMaxChars);
        m_layerList->setHorizontalHeaderItem(column, new QTableWidgetItem(header));
    }
    FitLayerList();
    SetTextFromSection(Button(IDC_LAYER_UP), kUpText);
    SetTextFromSection(Button(IDC_LAYER_DOWN), kDownText);
}

void CWorkPageWork::FitLayerList()
{
    // Each column as wide as its header and the widest text a one-mode
    // layer shows in it, in the list's fonts; the list as wide as its
    // columns beside a vertical scroll bar and as tall as its header and
    // six rows.
    QHeaderView* header = m_layerList->horizontalHeader();
    const QStyle* style = m_layerList->style();
    const int cellMargin = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_layerList) + 1);
    const int headerMargin = 2 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const QFontMetrics cells(m_layerList->font());
    const QFontMetrics headers(header->font());
    const QString cut = QString::fromStdU16String(SectionText(kCutText));
    const QString scan = QString::fromStdU16String(SectionText(kScanText));
    const QStringList samples[4] = {
        {},
        {QStringLiteral("100.0,100.0"), QString::fromStdU16String(SectionText(kDefaultPowerText))},
        {QStringLiteral("1000.0")},
        {cut, scan, cut + QLatin1Char('+') + scan, QString::fromStdU16String(SectionText(kNoOutputText))}};
    int total = 0;
    for (int column = 0; column < 4; ++column) {
        int width = column == 0 ? kSwatchColumnWidth : 0;
        if (const QTableWidgetItem* item = m_layerList->horizontalHeaderItem(column))
            width = std::max(width, headers.horizontalAdvance(item->text()) + headerMargin);
        for (const QString& text : samples[column])
            width = std::max(width, cells.horizontalAdvance(text) + cellMargin);
        m_layerList->setColumnWidth(column, width);
        total += width;
    }
    // Rows as tall as a line of text with the cell's margins.
    QHeaderView* rows = m_layerList->verticalHeader();
    rows->setMinimumSectionSize(cells.height() + cellMargin);
    rows->setDefaultSectionSize(cells.height() + cellMargin);
    const int frame = 2 * m_layerList->frameWidth();
    m_layerList->setMinimumSize(
        total + frame + style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_layerList),
        header->sizeHint().height() + kLayerRowsShown * m_layerList->verticalHeader()->defaultSectionSize() + frame);
}

std::vector<int> CWorkPageWork::LayersInOrder(const DOCCONTEXT* ctx)
{
    std::vector<int> layers;
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return layers;
    std::array<bool, kLayerCount> seen{};
    for (const CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
        const int layer = o->m_nLayer;
        // Layer indices outside the palette are legal in a drawing; they are
        // tracked apart so that the flags are never indexed with them.
        if (layer >= 0 && layer < kLayerCount) {
            if (seen[static_cast<std::size_t>(layer)])
                continue;
            seen[static_cast<std::size_t>(layer)] = true;
        } else if (std::find(layers.begin(), layers.end(), layer) != layers.end()) {
            continue;
        }
        layers.push_back(layer);
    }
    return layers;
}

void CWorkPageWork::RefreshLayerList()
{
    m_layerList->setRowCount(0);
    const DOCCONTEXT* context = Context();
    if (context == nullptr || context->m_pCurrent == nullptr || context->m_pCurrent->m_pFirst == nullptr)
        return;
    const std::vector<int> layers = LayersInOrder(context);
    const SoftwareSettings& settings = Settings();
    // First record of each palette layer, so the rows cost one pass over
    // the list of records.
    std::array<const WorkParams*, kLayerCount> records{};
    for (const WorkParams* rec = settings.m_pLayers; rec != nullptr; rec = rec->m_pNext) {
        if (rec->m_group_num < kLayerCount && records[rec->m_group_num] == nullptr)
            records[rec->m_group_num] = rec;
    }
    const bool perMinute = settings.speed_units == 1;
    auto speedText = [perMinute](double mmPerSecond) {
        return perMinute ? Fixed(mmPerSecond * 60.0 / 1000.0, 2) : Fixed(mmPerSecond, 1);
    };
    const QString defaultPower = QString::fromStdU16String(SectionText(kDefaultPowerText));

    m_layerList->setRowCount(static_cast<int>(layers.size()));
    int row = 0;
    for (int layer : layers) {
        const WorkParams* rec = nullptr;
        if (layer >= 0 && layer < kLayerCount)
            rec = records[static_cast<std::size_t>(layer)];
        else
            rec = FindLayerParams(settings.m_pLayers, layer);
        // A layer without a record outputs nothing (start and download skip
        // it); the row says so and the drawing is left as it is.
        QString power, speed, mode;
        if (rec != nullptr) {
            QString scanPower, scanSpeed, scanMode;
            const bool scan = rec->m_sweep != 0;
            if (scan) {
                scanPower = rec->m_s_light_def != 0
                                ? defaultPower
                                : Fixed(rec->m_s_max_light1, 1) + QLatin1Char(',') + Fixed(rec->m_s_max_light2, 1);
                scanSpeed = speedText(rec->m_s_speed);
                scanMode = QString::fromStdU16String(SectionText(kScanText));
            }
            QString cutPower, cutSpeed, cutMode;
            if (rec->m_border != 0) {
                cutPower = rec->m_b_light_def != 0
                               ? defaultPower
                               : Fixed(rec->m_b_max_light1, 1) + QLatin1Char(',') + Fixed(rec->m_b_max_light2, 1);
                cutSpeed = speedText(rec->m_b_speed);
                cutMode = QString::fromStdU16String(SectionText(kCutText));
                if (scan) {
                    cutPower += QLatin1Char('+');
                    cutSpeed += QLatin1Char('+');
                    cutMode += QLatin1Char('+');
                }
            }
            power = cutPower + scanPower;
            speed = cutSpeed + scanSpeed;
            mode = cutMode + scanMode;
        }
        if (mode.isEmpty())
            mode = QString::fromStdU16String(SectionText(kNoOutputText));
        const QString texts[4] = {QString::number(layer), power, speed, mode};
        for (int column = 0; column < 4; ++column)
            m_layerList->setItem(row, column, new QTableWidgetItem(texts[column]));
        ++row;
    }
}

int CWorkPageWork::RowLayer(int row) const
{
    const QTableWidgetItem* item = m_layerList->item(row, 0);
    return item != nullptr ? static_cast<int>(plat::ParseInt(item->text().toStdString())) : -1;
}

int CWorkPageWork::SelectedRow() const
{
    const QList<QTableWidgetItem*> items = m_layerList->selectedItems();
    return items.isEmpty() ? -1 : items.front()->row();
}

void CWorkPageWork::OnLayerClick()
{
    DOCCONTEXT* ctx = Context();
    const int row = SelectedRow();
    if (row < 0 || ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    const int layer = RowLayer(row);
    if (CDocState* tool = CurrentTool(ctx))
        tool->Reset(0, ctx);
    if (GetDialogs().selectTool)
        GetDialogs().selectTool(View());
    ctx->m_nTool = 0;
    if (ctx->m_pTools[0] != nullptr)
        ctx->m_pTools[0]->Reset(1, ctx);

    const CGeoBox old = ctx->m_rcSelect;
    ctx->m_rcSelect.SetEmpty();
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
        if (o->m_nLayer == layer) {
            o->SetSelected(1);
            ctx->m_rcSelect.Union(o->GetBoundRect());
        } else {
            o->SetSelected(0);
        }
    }
    if (old.IsDifferent(ctx->m_rcSelect)) {
        RepaintArea(old);
        RepaintArea(ctx->m_rcSelect);
    }
}

void CWorkPageWork::OnLayerDblClk()
{
    DOCCONTEXT* ctx = Context();
    const int row = SelectedRow();
    if (row < 0 || ctx == nullptr)
        return;
    const int layer = RowLayer(row);
    const bool accepted = GetDialogs().layerParams ? GetDialogs().layerParams(*ctx, layer) : RunLayerDialog(*ctx, layer);
    if (accepted) {
        CDocState base;
        CurrentToolOr(ctx, base).ApplyLayerFlags(ctx);
        CReadParamFile().WriteWorkParam(Settings().m_pLayers);
        RefreshLayerList();
    }
    if (row < m_layerList->rowCount()) {
        m_layerList->selectRow(row);
        m_layerList->setFocus();
    }
}

bool CWorkPageWork::RunLayerDialog(DOCCONTEXT& ctx, int layer)
{
    CWorkSetParameter dialog(Settings().m_pLayers, layer, &ctx, this);
    return dialog.DoModal() == plat::IDOK;
}

bool CWorkPageWork::MoveSelectionToRow(DOCCONTEXT* ctx, int target, CGeoBox& box)
{
    box.SetEmpty();
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || target < 0)
        return false;
    bool any = false;
    for (const CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr && !any; o = o->m_pNext)
        any = o->IsSelected() != 0;
    if (!any || !CDocState::PushHistory(ctx))
        return false;

    // Unlink the selected objects into a chain, keeping their order.
    CDocData*& head = ctx->m_pCurrent->m_pFirst;
    CDocData* chain = nullptr;
    CDocData* chainTail = nullptr;
    for (CDocData* o = head; o != nullptr;) {
        CDocData* next = o->m_pNext;
        if (o->IsSelected() != 0) {
            if (o->m_pPrev != nullptr)
                o->m_pPrev->m_pNext = next;
            else
                head = next;
            if (next != nullptr)
                next->m_pPrev = o->m_pPrev;
            o->m_pPrev = chainTail;
            o->m_pNext = nullptr;
            (chainTail != nullptr ? chainTail->m_pNext : chain) = o;
            chainTail = o;
            box.Union(o->GetBoundRect());
        }
        o = next;
    }

    // Where it goes: after the object at which the count of layer changes
    // reaches the target, else after the last object.
    CDocData* after = nullptr;
    if (head != nullptr && target > 0) {
        int changes = 0;
        for (CDocData* o = head; o != nullptr; o = o->m_pNext) {
            after = o;
            if (o->m_pNext != nullptr && o->m_pNext->m_nLayer != o->m_nLayer && ++changes == target)
                break;
        }
    }
    CDocData* before = after != nullptr ? after->m_pNext : head;
    chain->m_pPrev = after;
    chainTail->m_pNext = before;
    if (after != nullptr)
        after->m_pNext = chain;
    else
        head = chain;
    if (before != nullptr)
        before->m_pPrev = chainTail;
    return true;
}

void CWorkPageWork::MoveLayerTo(int target)
{
    DOCCONTEXT* ctx = Context();
    CGeoBox box;
    if (!MoveSelectionToRow(ctx, target, box))
        return;
    ctx->m_rcSelect = box;
    RefreshLayerList();
    if (target < m_layerList->rowCount()) {
        m_layerList->selectRow(target);
        m_layerList->setFocus();
    }
    RepaintArea(box);
}

void CWorkPageWork::OnMoveLayerUp()
{
    const DOCCONTEXT* ctx = Context();
    const int row = SelectedRow();
    if (ctx == nullptr || ctx->m_rcSelect.IsEmpty() || row < 1)
        return;
    MoveLayerTo(row - 1);
}

void CWorkPageWork::OnMoveLayerDown()
{
    const DOCCONTEXT* ctx = Context();
    const int row = SelectedRow();
    if (ctx == nullptr || ctx->m_rcSelect.IsEmpty() || row < 0 || row + 1 >= m_layerList->rowCount())
        return;
    MoveLayerTo(row + 1);
}

void CWorkPageWork::OnBeginDrag(int row)
{
    if (Context() == nullptr || row < 0 || row >= m_layerList->rowCount())
        return;
    m_layerList->selectRow(row);
    OnLayerClick();
    m_nDragIndex = row;
    m_pDropList = m_layerList;
    auto* image = new QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
    QPixmap picture = BitmapResource(kDragBitmap);
    if (picture.isNull()) {
        picture = QPixmap(16, 16);
        picture.fill(Qt::darkGray);
    }
    image->setPixmap(picture);
    image->adjustSize();
    delete m_dragImage;
    m_dragImage = image;
    m_bDragging = 1;
    OnDragMove(QCursor::pos());
    image->show();
    grabMouse();
}

void CWorkPageWork::OnDragMove(const QPoint& global)
{
    if (m_bDragging == 0)
        return;
    if (m_dragImage != nullptr)
        m_dragImage->move(global + QPoint(0, 4));
    QWidget* under = QApplication::widgetAt(global);
    QTableWidget* list = nullptr;
    for (QWidget* w = under; w != nullptr && list == nullptr; w = w->parentWidget())
        list = qobject_cast<QTableWidget*>(w);
    if (list == nullptr)
        setCursor(Qt::ForbiddenCursor);
    else if (list != m_layerList)
        setCursor(Qt::ArrowCursor);
}

void CWorkPageWork::OnDragDrop(const QPoint& global)
{
    if (m_bDragging == 0)
        return;
    releaseMouse();
    m_bDragging = 0;
    unsetCursor();
    delete m_dragImage;
    m_dragImage = nullptr;
    const int dragged = m_nDragIndex;
    m_nDragIndex = -1;
    QWidget* viewport = m_layerList->viewport();
    const QPoint local = viewport->mapFromGlobal(global);
    if (!m_layerList->rect().contains(m_layerList->mapFromGlobal(global)))
        return;
    int target = -1;
    for (int row = 0; row < m_layerList->rowCount() && target < 0; ++row) {
        const QRect r = m_layerList->visualRect(m_layerList->model()->index(row, 0));
        if (local.y() > r.top() && local.y() < r.bottom())
            target = row;
    }
    if (target < 0 || target == dragged)
        return;
    DOCCONTEXT* ctx = Context();
    CGeoBox box;
    if (!MoveSelectionToRow(ctx, target, box))
        return;
    ctx->m_rcSelect = box;
    RefreshLayerList();
    if (target < m_layerList->rowCount())
        m_layerList->selectRow(target);
    RepaintArea(box);
}

void CWorkPageWork::mouseMoveEvent(QMouseEvent* event)
{
    if (m_bDragging != 0)
        OnDragMove(event->globalPosition().toPoint());
    else
        WorkPageBase::mouseMoveEvent(event);
}

void CWorkPageWork::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_bDragging != 0 && event->button() == Qt::LeftButton)
        OnDragDrop(event->globalPosition().toPoint());
    else
        WorkPageBase::mouseReleaseEvent(event);
}
