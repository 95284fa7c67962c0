#include "WorkPageMetaList.h"

#include "qtplatform/Resources.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/SoftwareSettings.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int kColourColumn = 2;
constexpr int kColumnWidths[] = {50, 80, 80};

QColor ColourOf(std::uint32_t colorref)
{
    return QColor(static_cast<int>(colorref & 0xFF), static_cast<int>((colorref >> 8) & 0xFF),
                  static_cast<int>((colorref >> 16) & 0xFF));
}

// Entry of "phase19:sort-manually" naming an object's kind.
int KindEntry(std::uint32_t type)
{
    switch (type) {
    case MT_POINT:
        return 4;
    case MT_LINE:
        return 5;
    case MT_RECT:
        return 6;
    case MT_ELLIPSE:
        return 7;
    case MT_BITMAP:
        return 8;
    case MT_GROUP:
        return 9;
    case MT_BEZIER:
    case MT_NURBS:
        return 11;
    case MT_CHAR:
        return 12;
    default:
        return 10;
    }
}

} // namespace

// The rows over the object list: one pointer per object, the cells made
// when they are drawn.
class CWorkPageMetaList::Model : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void Reset(std::vector<const CDocData*> objects, std::array<QString, 13> kinds)
    {
        beginResetModel();
        m_objects = std::move(objects);
        m_kinds = std::move(kinds);
        endResetModel();
    }
    void SetHeaders(std::array<QString, 3> headers) { m_headers = std::move(headers); }

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_objects.size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= rowCount(QModelIndex()))
            return {};
        const CDocData* o = m_objects[static_cast<std::size_t>(index.row())];
        if (role == Qt::BackgroundRole && index.column() == kColourColumn)
            return ColourOf(o->m_nColor);
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case 0:
            return QString::number(index.row() + 1);
        case 1:
            return m_kinds[static_cast<std::size_t>(KindEntry(o->GetType()))];
        default:
            return QString::number(o->m_nLayer);
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 3)
            return m_headers[static_cast<std::size_t>(section)];
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    std::vector<const CDocData*> m_objects;
    std::array<QString, 13> m_kinds;
    std::array<QString, 3> m_headers{QStringLiteral("No."), QStringLiteral("Kind"), QStringLiteral("Layer")};
};

// Paints the layer column in the layer's colour, without text, and the row
// under a dragged row as highlighted.
class CWorkPageMetaList::ColourDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (index.column() == kColourColumn) {
            painter->fillRect(option.rect, index.data(Qt::BackgroundRole).value<QColor>());
            return;
        }
        QStyleOptionViewItem o = option;
        if (index.row() == m_dropRow)
            o.state |= QStyle::State_Selected;
        QStyledItemDelegate::paint(painter, o, index);
    }

    int m_dropRow = -1;
};

CWorkPageMetaList::CWorkPageMetaList(QWidget* parent) : WorkPageBase(IDD, u"phase19:sort-manually", parent)
{
    m_list = new QTableView(this);
    m_list->setObjectName(QString::number(IDC_LIST));
    m_model = new Model(m_list);
    m_delegate = new ColourDelegate(m_list);
    std::array<QString, 3> headers;
    for (int k = 0; k < 3; ++k) {
        const std::u16string text = SectionText(k + 1);
        headers[static_cast<std::size_t>(k)] =
            text.empty() ? m_model->headerData(k, Qt::Horizontal, Qt::DisplayRole).toString()
                         : QString::fromStdU16String(text);
    }
    m_model->SetHeaders(headers);
    m_list->setModel(m_model);
    m_list->setItemDelegate(m_delegate);
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    // Rows of one height: a long list is laid out without measuring rows.
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->horizontalHeader()->setSectionsMovable(true);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < 3; ++c)
        m_list->setColumnWidth(c, kColumnWidths[c]);
    m_list->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);

    connect(m_list, &QTableView::clicked, this, [this] {
        const QModelIndexList rows = m_list->selectionModel()->selectedRows();
        if (rows.isEmpty())
            return;
        int first = rows.front().row();
        for (const QModelIndex& r : rows)
            first = std::min(first, r.row());
        SelectRowObject(first);
    });
}

CWorkPageMetaList::~CWorkPageMetaList()
{
    if (m_bDragging)
        QGuiApplication::restoreOverrideCursor();
}

void CWorkPageMetaList::SetOwner(DOCCONTEXT* context, plat::ViewWindow* view)
{
    StoreOwner(context, view);
}

void CWorkPageMetaList::RefreshList()
{
    DOCCONTEXT* ctx = Context();
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    std::vector<const CDocData*> objects;
    for (const CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
        objects.push_back(o);
    std::array<QString, 13> kinds;
    for (int k = 4; k <= 12; ++k)
        kinds[static_cast<std::size_t>(k)] = QString::fromStdU16String(SectionText(k));
    m_model->Reset(std::move(objects), std::move(kinds));
}

void CWorkPageMetaList::ClearList()
{
    m_model->Reset({}, {});
}

void CWorkPageMetaList::SelectRowObject(int row)
{
    DOCCONTEXT* ctx = Context();
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || row < 0)
        return;
    if (CDocState* tool = CurrentTool(ctx))
        tool->Reset(0, ctx);
    ctx->m_nTool = 0;
    if (ctx->m_pTools[0] != nullptr)
        ctx->m_pTools[0]->Reset(1, ctx);
    const CGeoBox old = ctx->m_rcSelect;
    ctx->m_rcSelect.SetEmpty();
    int position = 0;
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext, ++position) {
        if (position == row) {
            o->SetSelected(1);
            ctx->m_rcSelect.Union(o->GetBoundRect());
        } else {
            o->SetSelected(0);
        }
    }
    RepaintArea(old);
    RepaintArea(ctx->m_rcSelect);
}

bool CWorkPageMetaList::MoveSelectedTo(int target)
{
    DOCCONTEXT* ctx = Context();
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || target < 0)
        return false;
    CDocData*& head = ctx->m_pCurrent->m_pFirst;
    CDocData* moved = nullptr;
    int from = -1;
    int count = 0;
    for (CDocData* o = head; o != nullptr; o = o->m_pNext, ++count) {
        if (moved == nullptr && o->IsSelected() != 0) {
            moved = o;
            from = count;
        }
    }
    if (moved == nullptr || target >= count || target == from)
        return false;
    CDocState::PushHistory(ctx);
    if (moved->m_pPrev != nullptr)
        moved->m_pPrev->m_pNext = moved->m_pNext;
    else
        head = moved->m_pNext;
    if (moved->m_pNext != nullptr)
        moved->m_pNext->m_pPrev = moved->m_pPrev;
    moved->m_pPrev = nullptr;
    moved->m_pNext = nullptr;
    if (target == 0 || head == nullptr) {
        moved->m_pNext = head;
        if (head != nullptr)
            head->m_pPrev = moved;
        head = moved;
    } else {
        CDocData* after = head;
        for (int i = 0; i < target - 1 && after->m_pNext != nullptr; ++i)
            after = after->m_pNext;
        moved->m_pPrev = after;
        moved->m_pNext = after->m_pNext;
        if (after->m_pNext != nullptr)
            after->m_pNext->m_pPrev = moved;
        after->m_pNext = moved;
    }
    RefreshList();
    m_list->selectRow(target);
    m_list->setCurrentIndex(m_model->index(target, 0));
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    if (settings.m_bShowOrder != 0 || settings.m_bShowTravel != 0) {
        CGeoBox area;
        for (const CDocData* o = moved; o != nullptr; o = o->m_pNext)
            area.Union(o->GetBoundRect());
        RepaintArea(area);
    }
    return true;
}

int CWorkPageMetaList::RowAt(const QPoint& viewportPos) const
{
    if (!m_list->viewport()->rect().contains(viewportPos))
        return -1;
    const int row = m_list->rowAt(viewportPos.y());
    if (row < 0)
        return -1;
    const int top = m_list->rowViewportPosition(row);
    const int bottom = top + m_list->rowHeight(row);
    return top < viewportPos.y() && viewportPos.y() < bottom ? row : -1;
}

bool CWorkPageMetaList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_list->viewport())
        return WorkPageBase::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            m_bPressed = true;
            m_pressPos = mouse->position().toPoint();
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_bDragging) {
            DragMove(mouse->globalPosition().toPoint());
            return true;
        }
        if (m_bPressed && (mouse->buttons() & Qt::LeftButton) != 0 &&
            (mouse->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            m_bPressed = false;
            const int row = RowAt(m_pressPos);
            if (row >= 0 && m_list->selectionModel()->selectedRows().size() < 2) {
                BeginDrag(row, mouse->globalPosition().toPoint());
                return true;
            }
        }
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        m_bPressed = false;
        if (m_bDragging && mouse->button() == Qt::LeftButton) {
            Drop(mouse->globalPosition().toPoint());
            return true;
        }
        break;
    }
    default:
        break;
    }
    return WorkPageBase::eventFilter(watched, event);
}

void CWorkPageMetaList::BeginDrag(int row, const QPoint& global)
{
    m_nDragRow = row;
    m_list->selectRow(row);
    SelectRowObject(row);

    const QRect rowRect = m_list->visualRect(m_model->index(row, 0))
                              .united(m_list->visualRect(m_model->index(row, m_model->columnCount({}) - 1)));
    const QPixmap rowPicture = m_list->viewport()->grab(rowRect);
    const QPixmap cursorPicture = BitmapResource(kDragBitmap);
    QPixmap picture(cursorPicture.width() + rowPicture.width(),
                    std::max(cursorPicture.height(), rowPicture.height()));
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.drawPixmap(0, 0, cursorPicture);
        painter.drawPixmap(cursorPicture.width(), 0, rowPicture);
    }
    auto window = std::make_unique<QLabel>();
    window->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput);
    window->setPixmap(picture);
    window->resize(picture.size());
    window->move(global - m_hotSpot);
    window->show();
    m_dragWindow = std::move(window);
    m_bDragging = true;
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    m_list->viewport()->grabMouse();
}

void CWorkPageMetaList::DragMove(const QPoint& global)
{
    if (m_dragWindow != nullptr)
        m_dragWindow->move(global - m_hotSpot);
    QTableView* over = nullptr;
    for (QWidget* w = QApplication::widgetAt(global); w != nullptr && over == nullptr; w = w->parentWidget())
        over = qobject_cast<QTableView*>(w);
    if (over == nullptr) {
        // widgetAt misses the list while its window is not on a screen.
        const QPoint local = m_list->viewport()->mapFromGlobal(global);
        if (m_list->viewport()->rect().contains(local))
            over = m_list;
    }
    QGuiApplication::changeOverrideCursor(over != nullptr ? Qt::ArrowCursor : Qt::ForbiddenCursor);
    const int row = over == m_list ? RowAt(m_list->viewport()->mapFromGlobal(global)) : -1;
    if (row != m_delegate->m_dropRow) {
        m_delegate->m_dropRow = row;
        m_list->viewport()->update();
    }
}

void CWorkPageMetaList::Drop(const QPoint& global)
{
    m_list->viewport()->releaseMouse();
    m_bDragging = false;
    QGuiApplication::restoreOverrideCursor();
    m_dragWindow.reset();
    m_delegate->m_dropRow = -1;
    m_list->viewport()->update();
    m_nDragRow = -1;
    const int target = RowAt(m_list->viewport()->mapFromGlobal(global));
    if (target >= 0)
        MoveSelectedTo(target);
}
