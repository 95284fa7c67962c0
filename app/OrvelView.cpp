#include "OrvelView.h"

#include "ChildFrame.h"
#include "FileNames.h"
#include "ImportRun.h"
#include "MyFileDialog.h"
#include "MainFrame.h"
#include "OrvelDoc.h"
#include "QtDeviceContext.h"
#include "Resources.h"
#include "ViewPageCommands.h"
#include "ViewPathCommands.h"
#include "ViewSettingsCommands.h"
#include "WorkPanelPages.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/LeadInOut.h"
#include "processing/PathProc.h"
#include "processing/SelectionAlign.h"
#include "processing/SelectionGroups.h"
#include "importexport/FileReadTrans.h"
#include "platform/Folders.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"
#include "tools/DocTools.h"
#include "ui/NumberEdit.h"
#include "ui/ParamFontType.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMenu>
#include <QMdiArea>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr int kSelectTool = 0;
constexpr double kHitPixels = 3.0;
constexpr std::u16string_view kMainMenu = u"phase0:main-menu";
constexpr int kCountRefreshMs = 100;

// Commands of the view (those of the tools come from the tool table).
namespace vc {
constexpr plat::UINT ZoomWorkArea = 32789, ZoomAll = 32790, ShowOrder = 32817, ShowTravel = 32867,
                     ShowStart = 32868, KeepProportions = 32852, SetStartPoint = 32822, EndPathOpen = 32880,
                     EndPathClosed = 32881, CloseSelected = 32891, DeleteSelected = 32892, PlaceLowerEdge = 32897,
                     PlaceUpperEdge = 32898, PlaceCentre = 32899, Group = 32860, Ungroup = 32861,
                     UngroupAll = 32862, MirrorLeftRight = 32833, MirrorTopBottom = 32834;
}

// The alignment commands with their horizontal and vertical modes.
struct AlignCommand {
    plat::UINT command;
    int horizontal;
    int vertical;
};
constexpr std::array<AlignCommand, 6> kAlignCommands = {
    {{32835, 1, 0}, {32839, 2, 0}, {32837, 3, 0}, {32838, 0, 1}, {32836, 0, 2}, {32840, 0, 3}}};

// The alignment commands of the keys L, E, R, T, C and B.
struct AlignKey {
    int key;
    plat::UINT command;
};
constexpr std::array<AlignKey, 6> kAlignKeys = {
    {{'L', 32835}, {'E', 32839}, {'R', 32837}, {'T', 32838}, {'C', 32836}, {'B', 32840}}};

// Tooltip texts: a toolbar's buttons by id and language entry, in a section.
struct TipEntry {
    plat::UINT id;
    int entry;
};
struct TipTable {
    std::u16string_view section;
    std::vector<TipEntry> tips;
};
const std::array<TipTable, 6>& ToolTipTables()
{
    static const std::array<TipTable, 6> tables = {{
        {u"phase2:draw-tool",
         {{32772, 0}, {32791, 1}, {32792, 2}, {32793, 3}, {32794, 4}, {32882, 5}, {32909, 10}}},
        {u"phase1:main-tool",
         {{32902, 0}, {32901, 1}, {32903, 2}, {32904, 3}, {32905, 4}, {32908, 5}, {57607, 6}, {32907, 7},
          {32906, 8}, {32788, 9}, {32789, 10}, {32790, 11}, {32784, 12}, {32937, 32}}},
        {u"phase1:main-tool", {{32860, 13}, {32861, 14}, {32862, 15}, {32817, 16}, {32867, 17}, {32868, 18}, {32914, 19}}},
        {u"phase1:main-tool",
         {{32833, 20}, {32834, 21}, {32835, 22}, {32839, 23}, {32837, 24}, {32838, 25}, {32836, 26}, {32840, 27}}},
        {u"phase1:main-tool", {{32898, 29}, {32897, 30}, {32899, 31}}},
        {u"phase11:edit-right-menu",
         {{32872, 0}, {32873, 1}, {32875, 2}, {32876, 3}, {32874, 30}, {32888, 35}, {32890, 36}, {32894, 42},
          {32913, 49}, {32915, 53}}},
    }};
    return tables;
}

bool IsPropertyEdit(int id)
{
    return id == 32853 || id == 32831 || id == 32855;
}

// The control id a widget carries as its object name; the view's own id
// for the view and its viewport; 0 for others.
int ControlIdOf(const QWidget* widget)
{
    if (widget == nullptr)
        return 0;
    if (dynamic_cast<const COrvelView*>(widget) != nullptr ||
        dynamic_cast<const COrvelView*>(widget->parentWidget()) != nullptr)
        return COrvelView::kViewControlId;
    return widget->objectName().toInt();
}

// Box of an object with its lead points, which lie outside its own box.
CGeoBox BoxWithLeads(const CDocData& obj)
{
    CGeoBox box = obj.m_rcBound;
    if (const LEADINOUT* lead = obj.m_pLeadInOut) {
        if (lead->m_bLeadIn != 0)
            box.AddPoint(CGeoPoint(lead->m_dInX, lead->m_dInY));
        if (lead->m_bLeadOut != 0)
            box.AddPoint(CGeoPoint(lead->m_dOutX, lead->m_dOutY));
    }
    return box;
}

// Every node of an object and of its children, in order: what a change of
// its start point or a closing changes.
void TraceNodes(CDocData* obj, std::vector<double>& out)
{
    out.push_back(obj->m_bClosed);
    ForEachNode(obj->m_pNodes, [&](DOCNODE& n) {
        out.push_back(n.m_x);
        out.push_back(n.m_y);
        out.push_back(n.m_nKind);
    });
    if (CDocData** children = obj->ChildList()) {
        for (CDocData* c = *children; c != nullptr; c = c->m_pNext)
            TraceNodes(c, out);
    }
}

COrvelView::PopupRunner g_popupRunner;
COrvelView::ImportChooser g_importChooser;

constexpr int kPositionEdit = 32853;
constexpr int kSizeEdit = 32831;
constexpr int kAngleEdit = 32855;
constexpr double kSameValue = 1e-7;

// The import dialog's entries: description and patterns.
constexpr std::array<std::pair<const char*, const char*>, 10> kImportFilter = {{
    {"All Files(*.*)", "*.ai *.plt *.dxf *.dst *.dsb *.bmp *.jpg *.png *.gif"},
    {"AI-Adobe Illustrator", "*.ai"},
    {"PLT-HPGL Plotter File", "*.plt"},
    {"DXF-AutoCAD", "*.dxf"},
    {"DST-Brede Files", "*.dst"},
    {"DSB-Brede Files", "*.dsb"},
    {"BMP-Windows Bitmap", "*.bmp"},
    {"JPG-JPEG Bitmaps", "*.jpg"},
    {"PNG-Portable Network Graphics", "*.png"},
    {"GIF-CompuServe Bitmap", "*.gif"},
}};

bool AskImportFile(const QString& checkText, const std::string& folder, std::string& path, bool& preview)
{
    CMyFileDialog dialog(QApplication::activeWindow(), COrvelView::ImportDialogFilters(), QString::fromStdString(folder),
                         checkText, preview);
    QStringList extensions;
    for (const auto& entry : kImportFilter) {
        if (std::string_view(entry.second).find(';') == std::string_view::npos &&
            std::string_view(entry.second).find(' ') == std::string_view::npos)
            extensions.append(QString::fromLatin1(entry.second + 2));
    }
    dialog.SetAcceptedExtensions(extensions);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    preview = dialog.PreviewOn();
    return ChosenFileName(dialog.selectedFiles().front(), path);
}

QString MillimetreText(double v)
{
    return QString::asprintf("%0.3f mm", v);
}

} // namespace

COrvelView::COrvelView(COrvelDoc* document, QWidget* parent) : QAbstractScrollArea(parent), m_document(document)
{
    // A sunken edge two pixels wide round the client area, as the rulers'
    // tick positions expect.
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setLineWidth(2);
    // The ranges never fall below ten units, so the bars are always there.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        bar->setSingleStep(kLineStep);
        bar->setPageStep(kPageStep);
    }
    // The buffered paint covers the whole client area: nothing is erased.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    // Every move reaches the tool and the status bar, button held or not.
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    m_focusConnection = connect(qApp, &QApplication::focusChanged, this,
                                [this](QWidget* old, QWidget* now) { OnFocusChanged(old, now); });
    // The status bar's count follows every change of the drawing, whatever
    // made it, as the commands' states do.
    auto* countTimer = new QTimer(this);
    connect(countTimer, &QTimer::timeout, this, [this] { RefreshObjectCount(false); });
    countTimer->start(kCountRefreshMs);
    RegisterCommands();
    ViewPageCommands::Register(*this);
    AddViewSettingsCommands(*this);
    ViewPathCommands::Register(*this);
}

COrvelView::~COrvelView()
{
    // The focus moves while the base widget is taken down, when this view
    // is no longer a view.
    disconnect(m_focusConnection);
    if (m_document != nullptr && Context().m_pView == this) {
        Context().m_pView = nullptr;
        Context().m_pDC = nullptr;
    }
}

DOCCONTEXT& COrvelView::Context()
{
    return m_document->Context();
}

CMainFrame* COrvelView::MainFrame() const
{
    CChildFrame* frame = Frame();
    return frame != nullptr ? frame->MainFrame() : qobject_cast<CMainFrame*>(window());
}

CDocState* COrvelView::CurrentTool()
{
    static CDocState base;
    return &CurrentToolOr(&Context(), base);
}

CChildFrame* COrvelView::Frame() const
{
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* frame = dynamic_cast<CChildFrame*>(w))
            return frame;
    }
    return nullptr;
}

QSize COrvelView::ClientSize() const
{
    return viewport()->size();
}

QImage COrvelView::MakeViewImage() const
{
    // As many pixels as the screen shows in the client area, so the drawing
    // is as sharp as the screen allows; drawn on in logical pixels.
    const QSize size = ClientSize();
    if (size.isEmpty())
        return QImage();
    const qreal ratio = viewport()->devicePixelRatioF();
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    return image;
}

void COrvelView::FollowPixelRatio()
{
    // A window moved to a screen of another density draws everything anew
    // at the new ratio.
    if (m_screen.isNull() || m_screen.devicePixelRatio() == viewport()->devicePixelRatioF() ||
        QtDeviceContext::IsPainting(m_screen))
        return;
    m_screen = MakeViewImage();
    m_screen.fill(Qt::white);
    m_invalid += QRect(QPoint(0, 0), ClientSize());
}

void COrvelView::OnInitialUpdate()
{
    DOCCONTEXT& ctx = Context();
    ctx.m_pView = this;
    CChildFrame* frame = Frame();
    if (frame != nullptr)
        frame->showMaximized();

    m_settingScroll = true;
    SetScrollRanges(kFirstExtent);
    horizontalScrollBar()->setValue(kFirstScroll);
    verticalScrollBar()->setValue(kFirstScroll);
    m_settingScroll = false;
    ctx.m_ptScroll = {kFirstScroll, kFirstScroll};
    GiveRulersTheScroll();

    m_firstFitPending = true;
    if (ctx.m_pCurrent != nullptr && ctx.m_pCurrent->m_pFirst != nullptr)
        ZoomToAll();
    else
        ZoomToWorkArea();

    m_nToolCommand = kSelectToolCommand;
    ctx.m_nTool = kSelectTool;
    m_seenHistoryMoves = ctx.m_nHistoryMoves;
    if (frame != nullptr)
        frame->setWindowTitle(QString::fromStdU16String(ctx.m_strTitle));
    m_document->SetTitle(ctx.m_strTitle);
    InvalidateRect(nullptr, false);
}

WorkPanelPages* COrvelView::PanelPages() const
{
    // A closing window may have left the main frame already: its frame
    // still knows it.
    CMainFrame* main = MainFrame();
    return main != nullptr ? main->PanelPages() : nullptr;
}

void COrvelView::OnActivateView(bool activate)
{
    if (!activate)
        return;
    if (WorkPanelPages* pages = PanelPages())
        pages->SetOwner(&Context(), this);
    UpdateToolTips();
    ShowSelectionSize(Context().m_rcSelect);
    RefreshObjectCount(true);
}

void COrvelView::OnDestroy(bool lastDocument)
{
    WorkPanelPages* pages = PanelPages();
    if (pages != nullptr)
        pages->OnViewClosing(&Context());
    if (lastDocument && pages != nullptr)
        pages->ClearOwner();
}

plat::LPARAM COrvelView::SendMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam)
{
    switch (msg) {
    case kMsgPaletteIndex: {
        DOCCONTEXT& ctx = Context();
        SoftwareSettings& settings = SettingsOf(ctx);
        settings.m_nCurLayer = static_cast<std::int32_t>(lParam);
        CurrentTool()->SetSelectionColor(&ctx);
        return 0;
    }
    case kMsgZoomIn:
        OnZoomIn();
        return 0;
    case kMsgZoomOut:
        OnZoomOut();
        return 0;
    case kMsgZoomRect:
        if (wParam != 0)
            OnZoomRect(*reinterpret_cast<const plat::RECT*>(wParam));
        return 0;
    default:
        return 0;
    }
}

void COrvelView::ZoomToWorkArea()
{
    const DOCCONTEXT& ctx = Context();
    const SoftwareSettings& settings = SettingsOf(ctx);
    double width = CCoverGrid::kDefaultWidthMm;
    double height = CCoverGrid::kDefaultHeightMm;
    if (const MachineNode* machine = GetCurrentMachine(settings)) {
        width = machine->m_xsize;
        height = machine->m_ysize;
    }
    FitTo(CGeoBox(kWorldOrigin, width * kWorldPerMm + kWorldOrigin, kWorldOrigin, height * kWorldPerMm + kWorldOrigin));
}

void COrvelView::ZoomToAll()
{
    const DOCCONTEXT& ctx = Context();
    if (ctx.m_pCurrent == nullptr)
        return;
    CGeoBox box;
    ctx.m_pCurrent->GetAllObjectsRect(box);
    FitTo(box);
}

void COrvelView::FitTo(const CGeoBox& box)
{
    const QSize size = ClientSize();
    if (box.IsEmpty() || size.isEmpty())
        return;
    DOCCONTEXT& ctx = Context();
    ctx.m_dZoomPrev = ctx.m_dZoom;
    ZoomPlacement placement;
    if (!FitPlacement(box, size.width(), size.height(), placement))
        return;
    ctx.m_ptScroll = placement.corner;
    ApplyZoom(placement);
}

void COrvelView::OnZoomRect(const plat::RECT& world)
{
    DOCCONTEXT& ctx = Context();
    ctx.m_dZoomPrev = ctx.m_dZoom;
    const QSize size = ClientSize();
    ZoomPlacement placement;
    if (!ZoomToRectPlacement(world, size.width(), size.height(), placement))
        return;
    ctx.m_ptScroll = placement.corner;
    ApplyZoom(placement);
}

void COrvelView::OnZoomIn()
{
    DOCCONTEXT& ctx = Context();
    CGeoPoint client;
    ctx.WorldToClientPoint(ctx.m_ptMouse, client);
    ctx.m_dZoomPrev = ctx.m_dZoom;
    ApplyZoom(ZoomStepPlacement(ctx.m_dZoom, true, ctx.m_ptMouse, client));
}

void COrvelView::OnZoomOut()
{
    DOCCONTEXT& ctx = Context();
    CGeoPoint client;
    ctx.WorldToClientPoint(ctx.m_ptMouse, client);
    ctx.m_dZoomPrev = ctx.m_dZoom;
    ApplyZoom(ZoomStepPlacement(ctx.m_dZoom, false, ctx.m_ptMouse, client));
}

void COrvelView::OnMouseWheel(int delta)
{
    SendMessage(delta >= 1 ? kMsgZoomIn : kMsgZoomOut, 0, 0);
}

void COrvelView::SetScrollRanges(std::int32_t extent)
{
    horizontalScrollBar()->setRange(0, extent - 1);
    verticalScrollBar()->setRange(0, extent - 1);
}

void COrvelView::ApplyZoom(const ZoomPlacement& placement)
{
    Context().m_dZoom = placement.zoom;
    m_settingScroll = true;
    SetScrollRanges(placement.extent);
    horizontalScrollBar()->setValue(placement.scroll.x);
    verticalScrollBar()->setValue(placement.scroll.y);
    m_settingScroll = false;
    if (CChildFrame* frame = Frame())
        frame->SetRulerScale(placement.zoom);
    GiveRulersTheScroll();
    InvalidateRect(nullptr, false);
}

void COrvelView::GiveRulersTheScroll()
{
    if (CChildFrame* frame = Frame()) {
        frame->SetVertRulerPos(verticalScrollBar()->value());
        frame->SetHorzRulerPos(horizontalScrollBar()->value());
    }
}

bool COrvelView::GetScrollInfo(plat::ScrollBar bar, plat::ScrollInfo& info) const
{
    const QScrollBar* scroll = bar == plat::SB_HORZ ? horizontalScrollBar() : verticalScrollBar();
    info = plat::ScrollInfo{scroll->minimum(), scroll->maximum(), scroll->pageStep(), scroll->value(),
                            scroll->sliderPosition()};
    return true;
}

void COrvelView::SetScrollInfo(plat::ScrollBar bar, const plat::ScrollInfo& info)
{
    QScrollBar* scroll = bar == plat::SB_HORZ ? horizontalScrollBar() : verticalScrollBar();
    m_settingScroll = true;
    scroll->setRange(info.nMin, info.nMax);
    scroll->setPageStep(info.nPage);
    scroll->setValue(info.nPos);
    m_settingScroll = false;
}

void COrvelView::ScrollBy(std::int32_t dx, std::int32_t dy)
{
    if (dx == 0 && dy == 0)
        return;
    m_firstFitPending = false;
    m_settingScroll = true;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dx);
    verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
    m_settingScroll = false;
}

void COrvelView::SetRulerPositions(std::int32_t horz, std::int32_t vert)
{
    if (CChildFrame* frame = Frame()) {
        frame->SetHorzRulerPos(horz);
        frame->SetVertRulerPos(vert);
    }
}

plat::POINT COrvelView::GetScrollPosition() const
{
    return plat::POINT{horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void COrvelView::InvalidateRect(const plat::RECT* rect, bool)
{
    const QRect client(QPoint(0, 0), ClientSize());
    QRect area = client;
    if (rect != nullptr) {
        // Bounds far outside are brought in first, so no arithmetic on them
        // can overflow.
        auto clampX = [&](int v) { return std::clamp(v, -1, client.width() + 1); };
        auto clampY = [&](int v) { return std::clamp(v, -1, client.height() + 1); };
        const int left = clampX(rect->left), right = clampX(rect->right);
        const int top = clampY(rect->top), bottom = clampY(rect->bottom);
        if (right <= left || bottom <= top)
            return;
        area = QRect(left, top, right - left, bottom - top).intersected(client);
    }
    if (area.isEmpty())
        return;
    m_invalid += area;
    viewport()->update(area);
}

void COrvelView::UpdateWindow()
{
    if (m_invalid.isEmpty())
        return;
    const QRegion region = m_invalid;
    m_invalid = QRegion();
    Render(region);
    viewport()->repaint(region);
}

void COrvelView::Render(const QRegion& invalid)
{
    const QSize size = ClientSize();
    if (size.isEmpty() || m_screen.isNull())
        return;
    QRegion region = invalid.intersected(QRect(QPoint(0, 0), size));
    if (!m_bBufferValid || m_nBufferWidth != size.width() || m_nBufferHeight != size.height() ||
        m_buffer.devicePixelRatio() != m_screen.devicePixelRatio()) {
        m_buffer = MakeViewImage();
        m_bBufferValid = !m_buffer.isNull();
        m_nBufferWidth = m_bBufferValid ? size.width() : 0;
        m_nBufferHeight = m_bBufferValid ? size.height() : 0;
        if (!m_bBufferValid)
            return;
        ++m_bufferCreations;
        // A new buffer holds nothing yet.
        region = QRegion(QRect(QPoint(0, 0), size));
    }
    if (region.isEmpty())
        return;
    DOCCONTEXT& ctx = Context();
    // Only the invalid part of the back buffer is drawn again; the rest
    // still shows the drawing as it is.
    {
        QPainter painter(&m_buffer);
        painter.setClipRegion(region);
        painter.fillRect(region.boundingRect(), Qt::white);
    }
    {
        QtDeviceContext dc(m_buffer);
        dc.SetClipRegion(region);
        m_coverGrid.Draw(&dc, &ctx, size.width(), size.height());
        CurrentTool()->DrawObjects(&dc, &ctx);
    }
    // Row by row, without a painter: a tool's device context may hold the
    // screen image's painter while it repaints at once.
    if (m_screen.format() == m_buffer.format() && m_screen.size() == m_buffer.size()) {
        const int depth = m_buffer.depth() / 8;
        for (const QRect& logical : region) {
            const QRect r =
                QtDeviceContext::ImagePixels(logical, m_buffer.devicePixelRatio()).intersected(m_buffer.rect());
            for (int y = r.top(); y <= r.bottom(); ++y) {
                std::memcpy(m_screen.scanLine(y) + static_cast<std::size_t>(r.left()) * depth,
                            m_buffer.constScanLine(y) + static_cast<std::size_t>(r.left()) * depth,
                            static_cast<std::size_t>(r.width()) * depth);
            }
        }
    }
    QtDeviceContext dc(m_screen);
    dc.SetClipRegion(region);
    const plat::POINT scroll = GetScrollPosition();
    dc.SetViewportOrg(-scroll.x, -scroll.y);
    CDC* const saved = ctx.m_pDC;
    ctx.m_pDC = &dc;
    m_rendering = &region;
    CurrentTool()->DrawFeedback(&ctx);
    m_rendering = nullptr;
    ctx.m_pDC = saved;
}

void COrvelView::paintEvent(QPaintEvent* event)
{
    FollowPixelRatio();
    if (!m_invalid.isEmpty()) {
        const QRegion region = m_invalid;
        m_invalid = QRegion();
        Render(region);
    }
    m_firstFitPending = false;
    if (m_screen.isNull())
        return;
    QPainter painter(viewport());
    const QRect r = event->rect();
    // Image pixels onto screen pixels, one to one.
    painter.drawImage(QRectF(r), m_screen, QRectF(QtDeviceContext::ImagePixels(r, m_screen.devicePixelRatio())));
}

void COrvelView::resizeEvent(QResizeEvent*)
{
    ResizeScreen();
}

void COrvelView::AfterPainting()
{
    if (m_resizePending && !QtDeviceContext::IsPainting(m_screen))
        ResizeScreen();
}

void COrvelView::ResizeScreen()
{
    // A painter open over the image would be left with its old pixels.
    m_resizePending = QtDeviceContext::IsPainting(m_screen);
    if (m_resizePending)
        return;
    m_screen = MakeViewImage();
    if (!m_screen.isNull())
        m_screen.fill(Qt::white);
    if (m_firstFitPending) {
        DOCCONTEXT& ctx = Context();
        if (ctx.m_pCurrent != nullptr && ctx.m_pCurrent->m_pFirst != nullptr)
            ZoomToAll();
        else
            ZoomToWorkArea();
    }
    InvalidateRect(nullptr, false);
}

void COrvelView::scrollContentsBy(int dx, int dy)
{
    if (m_settingScroll)
        return;
    m_firstFitPending = false;
    DOCCONTEXT& ctx = Context();
    const plat::POINT pos = GetScrollPosition();
    ctx.m_ptScroll = {plat::RoundPixel(pos.x / ctx.m_dZoom), plat::RoundPixel(pos.y / ctx.m_dZoom)};
    if (CChildFrame* frame = Frame()) {
        if (dx != 0)
            frame->SetHorzRulerPos(pos.x);
        if (dy != 0)
            frame->SetVertRulerPos(pos.y);
    }
    InvalidateRect(nullptr, false);
    UpdateWindow();
}

COrvelView::EventDC::EventDC(COrvelView& view, bool prepared)
    : m_view(view), m_dc(std::make_unique<QtDeviceContext>(view.m_screen)), m_saved(view.Context().m_pDC)
{
    if (prepared) {
        const plat::POINT scroll = view.GetScrollPosition();
        m_dc->SetViewportOrg(-scroll.x, -scroll.y);
    }
    view.Context().m_pDC = m_dc.get();
}

COrvelView::EventDC::~EventDC()
{
    m_view.Context().m_pDC = m_saved;
    m_dc.reset();
    m_view.viewport()->update();
    m_view.AfterPainting();
}

CDC* COrvelView::EventDC::dc() const
{
    return m_dc.get();
}

// ---- Tool events -----------------------------------------------------------

void COrvelView::SyncToolWithHistory()
{
    DOCCONTEXT& ctx = Context();
    if (ctx.m_nHistoryMoves == m_seenHistoryMoves)
        return;
    m_seenHistoryMoves = ctx.m_nHistoryMoves;
    CurrentTool()->Reset(0, &ctx);
    // A drag the reset ended: its release goes nowhere.
    m_leftDown = false;
}

void COrvelView::ToolMouseEvent(const QPoint& client, const std::function<void(CDocState*, DOCCONTEXT*)>& call)
{
    SyncToolWithHistory();
    DOCCONTEXT& ctx = Context();
    const EventDC dc(*this);
    const plat::POINT scroll = GetScrollPosition();
    ctx.m_ptMouse.Set((static_cast<double>(client.x()) + scroll.x) / ctx.m_dZoom,
                      (static_cast<double>(client.y()) + scroll.y) / ctx.m_dZoom);
    call(CurrentTool(), &ctx);
    FollowSelection();
}

void COrvelView::keyPressEvent(QKeyEvent* event)
{
    // Arrows and page keys are the tool's, not a scroll.
    event->accept();
}

void COrvelView::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
}

void COrvelView::mousePressEvent(QMouseEvent* event)
{
    const QPoint client = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        // The first click after typing in a property edit only brings the
        // focus back (the edit's value is applied then).
        if (CMainFrame* main = MainFrame(); main != nullptr && IsPropertyEdit(main->m_nFocusEditId)) {
            main->m_nFocusEditId = ControlIdOf(QApplication::focusWidget());
            return;
        }
        m_leftDown = true;
        ToolMouseEvent(client, [](CDocState* tool, DOCCONTEXT* ctx) { tool->OnLButtonDown(ctx); });
    } else if (event->button() == Qt::RightButton) {
        bool backToSelect = false;
        ToolMouseEvent(client, [&](CDocState* tool, DOCCONTEXT* ctx) { backToSelect = tool->OnRButtonDown(ctx); });
        if (backToSelect)
            OnCommand(kSelectToolCommand);
    }
}

void COrvelView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        if (!m_leftDown)
            return; // its press was used up or reset
        m_leftDown = false;
        ToolMouseEvent(event->position().toPoint(),
                       [](CDocState* tool, DOCCONTEXT* ctx) { tool->OnLButtonUp(ctx); });
    } else if (event->button() == Qt::RightButton) {
        SyncToolWithHistory();
        CurrentTool()->OnRButtonUp(&Context());
    }
}

void COrvelView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_leftDown = true;
    ToolMouseEvent(event->position().toPoint(), [](CDocState* tool, DOCCONTEXT* ctx) { tool->OnLButtonDblClk(ctx); });
}

void COrvelView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint client = event->position().toPoint();
    if (CChildFrame* frame = Frame())
        frame->SetRulerMarker(plat::POINT{client.x(), client.y()});
    ToolMouseEvent(client, [](CDocState* tool, DOCCONTEXT* ctx) {
        tool->OnMouseMove(ctx);
        tool->OnSetCursor(ctx);
    });
    UpdateStatusBar();
}

void COrvelView::wheelEvent(QWheelEvent* event)
{
    // A turn of the horizontal wheel alone is not a zoom.
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    event->accept();
    OnMouseWheel(delta);
}

void COrvelView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    DOCCONTEXT& ctx = Context();
    // The key releases go elsewhere now.
    ctx.m_bCtrl = 0;
    ctx.m_bShift = 0;
    if (m_leftDown) {
        // A drag cut short: its button release may never come here.
        m_leftDown = false;
        CurrentTool()->Reset(0, &ctx);
        InvalidateRect(nullptr, false);
    }
}

void COrvelView::UpdateStatusBar()
{
    CMainFrame* main = MainFrame();
    if (main == nullptr)
        return;
    DOCCONTEXT& ctx = Context();
    main->SetPaneText(0, QStringLiteral(" "));
    main->SetPaneText(1, QStringLiteral(" "));
    RefreshObjectCount(true);
    main->SetPaneText(3, QString::asprintf("X=%0.4f, Y=%0.4f", (ctx.m_ptMouse.m_x - kWorldOrigin) / 10.0,
                                           (ctx.m_ptMouse.m_y - kWorldOrigin) / 10.0));
}

void COrvelView::RefreshObjectCount(bool show)
{
    CMainFrame* main = MainFrame();
    if (main == nullptr || m_document == nullptr)
        return;
    // Only the active document's view speaks in the status bar.
    if (!show && main->MdiArea()->activeSubWindow() != Frame())
        return;
    DOCCONTEXT& ctx = Context();
    // Counted again only after the drawing or the selection changed.
    const CountStamp stamp{ctx.m_pCurrent, ctx.m_nChangeCount, ctx.m_rcSelect};
    if (!m_countStamp || !(*m_countStamp == stamp)) {
        m_countStamp = stamp;
        CDocState* tool = CurrentTool();
        m_objectCount = ctx.m_pCurrent != nullptr ? tool->CountObjectsInList(ctx.m_pCurrent->m_pFirst) : 0;
        m_selectedCount = tool->CountObjects(&ctx);
        show = true;
    }
    if (show)
        main->SetPaneText(2, main->ObjectCountText(m_objectCount, m_selectedCount));
}

void COrvelView::UpdateToolTips()
{
    CMainFrame* main = MainFrame();
    if (main == nullptr)
        return;
    for (const TipTable& table : ToolTipTables()) {
        for (const TipEntry& tip : table.tips) {
            const QString text = QString::fromStdU16String(LanguageText(main->m_langText, table.section, tip.entry));
            if (QPushButton* button = main->PathToolButton(static_cast<int>(tip.id)))
                button->setToolTip(text);
            else
                main->Action(tip.id)->setToolTip(text);
        }
    }
}

// ---- Keys ------------------------------------------------------------------

bool COrvelView::PreTranslateKey(const VirtualKey& key)
{
    SyncToolWithHistory();
    DOCCONTEXT& ctx = Context();
    const EventDC dc(*this);
    if (!key.down) {
        if (key.code == vk::Shift)
            ctx.m_bShift = 0;
        else if (key.code == vk::Control)
            ctx.m_bCtrl = 0;
        return false;
    }
    switch (key.code) {
    case vk::Shift:
        ctx.m_bShift = 1;
        return false;
    case vk::Control:
        ctx.m_bCtrl = 1;
        return false;
    case vk::Escape:
        if (ctx.m_nTool == TOOL_POLYLINE || ctx.m_nTool == TOOL_BEZIER)
            CurrentTool()->OnKeyDown(&ctx, vk::Escape);
        OnCommand(kSelectToolCommand);
        return false;
    case vk::F1 + 2: // F3
        SendMessage(kMsgZoomOut, 0, 0);
        return false;
    case vk::F1 + 3: // F4
        ZoomToAll();
        return false;
    default:
        break;
    }
    for (const AlignKey& align : kAlignKeys) {
        if (key.code == align.key) {
            if (!key.ctrl && hasFocus())
                OnCommand(align.command);
            return false;
        }
    }
    // A combination of the accelerator table goes to one place only: the
    // tool when it claims it now, else its command.
    const auto code = static_cast<std::uint32_t>(key.code);
    if (FindAccelerator(AcceleratorTable(), key) != 0) {
        if (!CurrentTool()->ClaimsKey(&ctx, code, key.ctrl, key.shift, key.alt))
            return false;
        CurrentTool()->OnKeyDown(&ctx, code);
        return true;
    }
    CurrentTool()->OnKeyDown(&ctx, code);
    return false;
}

// ---- Commands --------------------------------------------------------------

void COrvelView::RegisterCommands()
{
    const auto isTool = [this](plat::UINT id) {
        return [this, id](CmdUI& ui) { ui.SetCheck(m_nToolCommand == static_cast<int>(id) ? 1 : 0); };
    };
    for (std::int32_t index = 0; index < kToolCount; ++index) {
        const plat::UINT id = ToolCommand(index);
        On(id, [this, index] { SwitchTool(index); }, isTool(id));
    }
    On(vc::ZoomWorkArea, [this] { ZoomToWorkArea(); });
    On(vc::ZoomAll, [this] { ZoomToAll(); });
    On(cmd::EditUndo, [this] { OnUndo(); });
    On(cmd::FileImport, [this] { OnFileImport(); });
    On(cmd::EditRedo, [this] { OnRedo(); });

    const auto settings = [this]() -> SoftwareSettings& { return SettingsOf(Context()); };
    On(
        vc::ShowOrder, [this, settings] { ToggleDisplay(settings().m_bShowOrder); },
        [settings](CmdUI& ui) { ui.SetCheck(settings().m_bShowOrder != 0 ? 1 : 0); });
    On(
        vc::ShowTravel, [this, settings] { ToggleDisplay(settings().m_bShowTravel); },
        [settings](CmdUI& ui) { ui.SetCheck(settings().m_bShowTravel != 0 ? 1 : 0); });
    On(
        vc::ShowStart, [this, settings] { ToggleDisplay(settings().m_bShowDirection, &settings().m_bShowStart); },
        [settings](CmdUI& ui) { ui.SetCheck(settings().m_bShowDirection != 0 ? 1 : 0); });
    On(
        vc::KeepProportions,
        [this] {
            DOCCONTEXT& ctx = Context();
            ctx.m_bResizeFlag = ctx.m_bResizeFlag != 0 ? 0 : 1;
            if (CMainFrame* main = MainFrame())
                main->Action(vc::KeepProportions)->setIcon(main->ProportionIcon(ctx.m_bResizeFlag != 0));
        },
        [this](CmdUI& ui) { ui.SetCheck(Context().m_bResizeFlag != 0 ? 1 : 0); });

    On(vc::SetStartPoint, [this] { OnSetStartPoint(); });
    On(vc::EndPathOpen, [this] {
        const EventDC dc(*this);
        CurrentTool()->EndPathOpen(&Context());
    });
    On(vc::EndPathClosed, [this] {
        const EventDC dc(*this);
        CurrentTool()->EndPathClosed(&Context());
    });
    On(vc::CloseSelected, [this] { OnCloseSelected(); });

    // The internal clipboard works only while the view has the keys: with
    // a property edit in use these keys are the edit's.
    On(cmd::EditCut, [this] {
        if (HasKeyboardFocus())
            CPathProc::CutSelection(&Context());
    });
    On(cmd::EditCopy, [this] {
        if (HasKeyboardFocus())
            CPathProc::CopySelection(&Context(), -1);
    });
    On(cmd::EditPaste, [this] {
        if (!HasKeyboardFocus())
            return;
        CurrentTool()->SelectAll(&Context(), false);
        CPathProc::PasteSelection(&Context(), 0);
    });
    // Select All, the platform's key only: every object, under the select
    // tool (a shape being drawn ends). In an edit of the window the key
    // keeps selecting the edit's text.
    On(cmd::EditSelectAll, [this] {
        if (!HasKeyboardFocus()) {
            if (auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget()))
                edit->selectAll();
            return;
        }
        if (Context().m_nTool != 0)
            SwitchTool(0);
        CurrentTool()->SelectAll(&Context(), true);
        InvalidateRect(nullptr, true);
        FollowSelection();
    });
    On(vc::PlaceLowerEdge, [this] { PlaceSelection(0); });
    On(vc::PlaceUpperEdge, [this] { PlaceSelection(2); });
    On(vc::PlaceCentre, [this] { PlaceSelection(1); });
    On(vc::Group, [this] { GroupSelection(); });
    On(vc::Ungroup, [this] { UngroupSelection(); });
    On(vc::UngroupAll, [this] { UngroupAll(); });
    for (const AlignCommand& align : kAlignCommands)
        On(align.command, [this, align] { AlignSelection(align.horizontal, align.vertical); });
    On(vc::MirrorLeftRight, [this] { MirrorSelection(true, false); });
    On(vc::MirrorTopBottom, [this] { MirrorSelection(false, true); });
    On(vc::DeleteSelected, [this] {
        // The current tool deletes, as if Delete were pressed in the view.
        QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier));
        QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier));
    });
}

void COrvelView::SelectToolIn(plat::ViewWindow* view)
{
    if (auto* drawing = dynamic_cast<COrvelView*>(view))
        drawing->OnCommand(kSelectToolCommand);
}

void COrvelView::SwitchTool(int index)
{
    DOCCONTEXT& ctx = Context();
    SyncToolWithHistory();
    const plat::UINT command = ToolCommand(index);
    if (index == TOOL_ZOOM) {
        // The zoom tool keeps the other tools as they are.
        m_nToolCommand = static_cast<int>(command);
        ctx.m_nTool = index;
        return;
    }
    if (index == TOOL_PAN) {
        m_nToolCommand = static_cast<int>(command);
        ctx.m_nTool = index;
        CurrentTool()->Reset(0, &ctx);
        m_leftDown = false;
        return;
    }
    const CGeoBox oldSelect = ctx.m_rcSelect;
    CDocState* old = CurrentTool();
    // A shape in progress or a drag may have left feedback on the screen.
    const bool feedback = m_leftDown || old->m_bButtonDown != 0 || old->m_pNodes != nullptr;
    old->Reset(0, &ctx);
    m_leftDown = false;
    m_nToolCommand = static_cast<int>(command);
    ctx.m_nTool = index;
    CurrentTool()->Reset(0, &ctx);
    if (index == TOOL_SELECT || index == TOOL_EDIT_NODE) {
        CurrentTool()->DeselectAll(&ctx);
        CDocState::InvalidateSelectionArea(&ctx, oldSelect);
    }
    if (feedback)
        InvalidateRect(nullptr, false);
}

void COrvelView::OnUndo()
{
    OnUndoRedo(true);
}

void COrvelView::OnRedo()
{
    OnUndoRedo(false);
}

void COrvelView::OnUndoRedo(bool undo)
{
    DOCCONTEXT& ctx = Context();
    const CGeoBox oldSelect = ctx.m_rcSelect;
    if (!(undo ? CDocState::Undo(&ctx) : CDocState::Redo(&ctx)))
        return;
    // The tool may point into the snapshot just left.
    m_seenHistoryMoves = ctx.m_nHistoryMoves;
    CurrentTool()->Reset(0, &ctx);
    m_leftDown = false;
    CurrentTool()->UpdateSelectionRect(&ctx);
    CDocState::InvalidateSelectionArea(&ctx, oldSelect);
    CDocState::InvalidateSelectionArea(&ctx, ctx.m_rcSelect);
    InvalidateRect(nullptr, true);
    RefreshLayerList();
    FollowSelection();
}

void COrvelView::ToggleDisplay(std::uint8_t& flag, std::uint8_t* second)
{
    flag = flag != 0 ? 0 : 1;
    if (second != nullptr)
        *second = *second != 0 ? 0 : 1;
    InvalidateRect(nullptr, true);
}

void COrvelView::OnSetStartPoint()
{
    DOCCONTEXT& ctx = Context();
    if (ctx.m_pCurrent == nullptr)
        return;
    const double tol = kHitPixels / ctx.m_dZoom;
    const double x = ctx.m_ptMouse.m_x, y = ctx.m_ptMouse.m_y;
    // No object can take a start point farther than the tolerance from
    // its box; those are passed over before a step is taken.
    const CGeoBox reach(x - tol, x + tol, y - tol, y + tol);
    CDocData* candidate = nullptr;
    for (CDocData* obj = ctx.m_pCurrent->m_pFirst; obj != nullptr && candidate == nullptr; obj = obj->m_pNext) {
        if (obj->m_rcBound.IsEmpty() || obj->m_rcBound.Intersects(reach, 0.0))
            candidate = obj;
    }
    if (candidate == nullptr)
        return;
    // The object is changed in place: one step, taken back when the start
    // point it takes is the one it had.
    CDocState::PendingStep step(&ctx);
    CDocData* changed = nullptr;
    CGeoBox before;
    for (CDocData* obj = candidate; obj != nullptr; obj = obj->m_pNext) {
        if (!obj->m_rcBound.IsEmpty() && !obj->m_rcBound.Intersects(reach, 0.0))
            continue;
        std::vector<double> trace;
        TraceNodes(obj, trace);
        before = BoxWithLeads(*obj);
        if (!obj->SetStartPoint(x, y, tol))
            continue;
        std::vector<double> after;
        TraceNodes(obj, after);
        if (after != trace)
            changed = obj;
        break;
    }
    if (changed == nullptr) {
        step.Withdraw();
        return;
    }
    if (changed->m_pLeadInOut != nullptr)
        ApplyLeadInOut(&ctx, changed);
    if (changed->m_pEndGap != nullptr)
        SetEndGap(changed, changed->m_pEndGap->m_dGap, changed->m_pEndGap->m_bOn);
    // The lead lines move with the start: their old and new places.
    before.Union(BoxWithLeads(*changed));
    CDocState::InvalidateSelectionArea(&ctx, before);
}

bool COrvelView::HasKeyboardFocus() const
{
    return hasFocus() || viewport()->hasFocus();
}

void COrvelView::PlaceSelection(std::uint32_t mode)
{
    DOCCONTEXT& ctx = Context();
    const SoftwareSettings& settings = CDocData::SettingsOf(&ctx);
    // The table is the current machine's; without one there is none.
    const MachineNode* machine = GetCurrentMachine(settings);
    if (machine == nullptr || ctx.m_pCurrent == nullptr)
        return;
    const CGeoBox kept = ctx.m_rcSelect;
    // Where the objects to be placed are now: the selected ones, or all of
    // them when none is (the placement then selects all).
    const bool any = CurrentTool()->HasSelection(&ctx);
    CGeoBox before;
    for (CDocData* obj = ctx.m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (!any || obj->IsSelected() != 0)
            before.Union(obj->GetBoundRect());
    }
    {
        CDocState::PendingStep step(&ctx);
        CPathProc::PlaceOnTable(&ctx, mode);
        // A selection already in place takes no undo step.
        if (before.IsEmpty() || !ctx.m_rcSelect.IsDifferent(before))
            step.Withdraw();
    }
    if (!kept.IsEmpty() && kept.Height() >= machine->m_ysize * kWorldPerMm &&
        kept.Width() >= machine->m_xsize * kWorldPerMm)
        ZoomToAll();
    else
        ZoomToWorkArea();
}

bool COrvelView::GroupSelection()
{
    SyncToolWithHistory();
    return CSelectionGroups::GroupCommand(&Context());
}

bool COrvelView::UngroupSelection()
{
    SyncToolWithHistory();
    return CSelectionGroups::UngroupCommand(&Context(), false);
}

bool COrvelView::UngroupAll()
{
    SyncToolWithHistory();
    return CSelectionGroups::UngroupCommand(&Context(), true);
}

bool COrvelView::AlignSelection(int horizontal, int vertical)
{
    SyncToolWithHistory();
    if (!CSelectionAlign::AlignSelection(&Context(), horizontal, vertical))
        return false;
    FollowSelection();
    return true;
}

bool COrvelView::MirrorSelection(bool horizontal, bool vertical)
{
    SyncToolWithHistory();
    if (!CSelectionAlign::MirrorSelection(&Context(), horizontal, vertical))
        return false;
    FollowSelection();
    return true;
}

void COrvelView::OnCloseSelected()
{
    DOCCONTEXT& ctx = Context();
    if (ctx.m_rcSelect.IsEmpty() || ctx.m_pCurrent == nullptr)
        return;
    std::vector<double> before;
    for (CDocData* obj = ctx.m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() != 0)
            TraceNodes(obj, before);
    }
    CDocState::PendingStep step(&ctx);
    std::vector<double> after;
    for (CDocData* obj = ctx.m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() != 0) {
            obj->Close();
            TraceNodes(obj, after);
        }
    }
    if (after == before)
        step.Withdraw();
    CDocState::InvalidateSelectionArea(&ctx, ctx.m_rcSelect);
}

// ---- The window's services for the tools -------------------------------------

CDC* COrvelView::GetDC()
{
    if (m_screen.isNull())
        return nullptr;
    auto dc = std::make_unique<QtDeviceContext>(m_screen);
    if (m_rendering != nullptr)
        dc->SetClipRegion(*m_rendering);
    m_windowDCs.push_back(std::move(dc));
    return m_windowDCs.back().get();
}

void COrvelView::ReleaseDC(CDC* dc)
{
    const auto it = std::find_if(m_windowDCs.begin(), m_windowDCs.end(),
                                 [dc](const std::unique_ptr<QtDeviceContext>& held) { return held.get() == dc; });
    if (it == m_windowDCs.end())
        return;
    m_windowDCs.erase(it);
    if (m_rendering == nullptr)
        viewport()->update();
    AfterPainting();
}

void COrvelView::SetCursor(int cursorId)
{
    // The system's sizing cursors have Qt's shapes; the tools' own cursors
    // are images.
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (cursorId) {
    case 159:
    case 249:
    case 250:
    case 251:
    case 261:
        viewport()->setCursor(CursorResource(cursorId));
        return;
    case plat::IDC_SIZENWSE:
        shape = Qt::SizeFDiagCursor;
        break;
    case plat::IDC_SIZENESW:
        shape = Qt::SizeBDiagCursor;
        break;
    case plat::IDC_SIZEWE:
        shape = Qt::SizeHorCursor;
        break;
    case plat::IDC_SIZENS:
        shape = Qt::SizeVerCursor;
        break;
    case plat::IDC_SIZEALL:
        shape = Qt::SizeAllCursor;
        break;
    default:
        break;
    }
    viewport()->setCursor(shape);
}

void COrvelView::SetPopupRunnerForTesting(PopupRunner runner)
{
    g_popupRunner = std::move(runner);
}

COrvelView::ModalScope::ModalScope(COrvelView& view) : m_view(view)
{
    ++m_view.m_modalDepth;
}

COrvelView::ModalScope::~ModalScope()
{
    if (--m_view.m_modalDepth == 0) {
        if (CChildFrame* frame = m_view.Frame())
            frame->ModalLoopEnded();
    }
}

void COrvelView::RunLater(std::function<void()> call)
{
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call)] {
            const ModalScope modal(*this);
            call();
            FollowSelection();
        },
        Qt::QueuedConnection);
}

void COrvelView::TrackPopupMenu(int menuId, std::span<const plat::MenuItemText> texts, plat::POINT client)
{
    std::vector<plat::MenuItemText> items(texts.begin(), texts.end());
    QMetaObject::invokeMethod(
        this, [this, menuId, items = std::move(items), client] { RunPopupMenu(menuId, items, client); },
        Qt::QueuedConnection);
}

void COrvelView::RunPopupMenu(int menuId, const std::vector<plat::MenuItemText>& texts, plat::POINT client)
{
    const ModalScope modal(*this);
    QMenu menu(this);
    for (const MenuItemResource& item : MenuResource(menuId)) {
        if (item.level == 0)
            continue;
        if (item.id == 0) {
            menu.addSeparator();
            continue;
        }
        QString text = QString::fromUtf16(item.text);
        for (const plat::MenuItemText& t : texts) {
            if (t.id == item.id)
                text = QString::fromStdU16String(t.text);
        }
        SetCommandId(menu.addAction(text), item.id);
    }
    if (menu.isEmpty())
        return;
    const QPoint global = viewport()->mapToGlobal(QPoint(client.x, client.y));
    QAction* chosen = g_popupRunner ? g_popupRunner(menu, global) : menu.exec(global);
    const plat::UINT id = CommandIdOf(chosen);
    if (id == 0)
        return;
    // Once the menu is gone; a view closed meanwhile takes no command.
    QMetaObject::invokeMethod(this, [this, id] { OnCommand(id); }, Qt::QueuedConnection);
}

bool COrvelView::ShowFontDialog(plat::FontDialogValues& values)
{
    const ModalScope modal(*this);
    CParamFontType dlg(values.type, values.face, values.text, values.height, values.spacing, this);
    if (dlg.DoModal() != plat::IDOK)
        return false;
    values = plat::FontDialogValues{dlg.m_font_type, dlg.m_font_name, dlg.m_font_text, dlg.m_font_high,
                                    dlg.m_font_inter};
    return true;
}

void COrvelView::RefreshSelectionPage()
{
    if (WorkPanelPages* pages = PanelPages())
        pages->RefreshSelectionPage();
}

void COrvelView::RefreshLayerList()
{
    if (WorkPanelPages* pages = PanelPages())
        pages->RefreshLayerList();
}

void COrvelView::RefreshOrderList()
{
    if (WorkPanelPages* pages = PanelPages())
        pages->RefreshOrderList();
}

// ---- Property bar ----------------------------------------------------------

void COrvelView::SetPropertyText(int id, bool lower, const QString& text)
{
    CMainFrame* main = MainFrame();
    QLineEdit* edit = main != nullptr ? main->PropertyEdit(id, lower) : nullptr;
    if (edit != nullptr)
        edit->setText(text);
    if (id == kPositionEdit || id == kSizeEdit)
        m_shownTexts[(id == kSizeEdit ? 2 : 0) + (lower ? 1 : 0)] = text;
}

void COrvelView::ShowSelectionSize(double xmin, double xmax, double ymin, double ymax)
{
    ShowSelectionSize(CGeoBox(xmin, xmax, ymin, ymax));
}

void COrvelView::FollowSelection()
{
    const CGeoBox& box = Context().m_rcSelect;
    if (box.m_xmin != m_shownBox.m_xmin || box.m_xmax != m_shownBox.m_xmax || box.m_ymin != m_shownBox.m_ymin ||
        box.m_ymax != m_shownBox.m_ymax)
        ShowSelectionSize(box);
}

void COrvelView::ShowSelectionSize(const CGeoBox& box)
{
    m_shownBox = box;
    if (box.IsEmpty()) {
        for (int id : {kPositionEdit, kSizeEdit}) {
            SetPropertyText(id, false, QString());
            SetPropertyText(id, true, QString());
        }
        return;
    }
    // Cut, not rounded, to whole thousandths.
    const auto cut = [](double v) { return MillimetreText(static_cast<int>(v * 1000.0) * 0.001); };
    SetPropertyText(kPositionEdit, false, cut((box.m_xmin - kWorldOrigin) / 10.0));
    SetPropertyText(kPositionEdit, true, cut((box.m_ymin - kWorldOrigin) / 10.0));
    SetPropertyText(kSizeEdit, false, cut(box.Width() / 10.0));
    SetPropertyText(kSizeEdit, true, cut(box.Height() / 10.0));
}

double COrvelView::ReadEditNumber(const QString& text)
{
    double value = 0.0;
    return ReadLeadingNumber(text, value) ? value : 0.0;
}

double COrvelView::PropertyValue(int id, bool lower, double shown, double (*world)(double))
{
    CMainFrame* main = MainFrame();
    QLineEdit* edit = main != nullptr ? main->PropertyEdit(id, lower) : nullptr;
    if (edit == nullptr)
        return shown;
    const QString text = edit->text();
    // The text the view wrote stands for the exact value, not its cut.
    if (text == m_shownTexts[(id == kSizeEdit ? 2 : 0) + (lower ? 1 : 0)])
        return shown;
    return world(ReadEditNumber(text));
}

bool COrvelView::MoveSelectionTo(DOCCONTEXT* ctx, double x, double y)
{
    if (ctx->m_rcSelect.IsEmpty() || ctx->m_pCurrent == nullptr)
        return false;
    if (std::fabs(ctx->m_rcSelect.m_xmin - x) < kSameValue && std::fabs(ctx->m_rcSelect.m_ymin - y) < kSameValue)
        return false;
    const CGeoBox& box = ctx->m_rcSelect;
    if (!CGeoBox(x, x + box.Width(), y, y + box.Height()).InWorldRange()) {
        CDocState::ReportOutOfWorld(ctx);
        return false;
    }
    CDocState::PushHistory(ctx);
    const CGeoBox before = ctx->m_rcSelect;
    ctx->m_rcSelect.SetEmpty();
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() == 0)
            continue;
        obj->Move(before.BottomLeft(), CGeoPoint(x, y), ctx);
        ctx->m_rcSelect.Union(obj->GetBoundRect());
    }
    CDocState::InvalidateSelectionArea(ctx, before);
    CDocState::InvalidateSelectionArea(ctx, ctx->m_rcSelect);
    return true;
}

bool COrvelView::ResizeSelection(DOCCONTEXT* ctx, double w, double h, bool keep)
{
    if (ctx->m_rcSelect.IsEmpty() || ctx->m_pCurrent == nullptr)
        return false;
    const CGeoBox before = ctx->m_rcSelect;
    if (std::fabs(before.Width() - w) < kSameValue && std::fabs(before.Height() - h) < kSameValue)
        return false;
    double sx = before.Width() > 0.0 ? w / before.Width() : 1.0;
    double sy = before.Height() > 0.0 ? h / before.Height() : 1.0;
    if (keep) {
        // The edit that was changed decides; both changed: the smaller.
        if (std::fabs(sx - 1.0) < 0.001)
            sx = sy;
        else if (std::fabs(sy - 1.0) < 0.001)
            sy = sx;
        else
            sx = sy = std::min(sx, sy);
    }
    // The box scales with its objects about its own corner.
    if (!CGeoBox(before.m_xmin, before.m_xmin + before.Width() * sx, before.m_ymin,
                 before.m_ymin + before.Height() * sy)
             .InWorldRange()) {
        CDocState::ReportOutOfWorld(ctx);
        return false;
    }
    CDocState::PushHistory(ctx);
    ctx->m_rcSelect.SetEmpty();
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() == 0)
            continue;
        obj->ScaleNodes(before.m_xmin, before.m_ymin, sx, sy, ctx);
        ctx->m_rcSelect.Union(obj->GetBoundRect());
    }
    CDocState::InvalidateSelectionArea(ctx, before);
    CDocState::InvalidateSelectionArea(ctx, ctx->m_rcSelect);
    return true;
}

bool COrvelView::RotateSelection(DOCCONTEXT* ctx, double degrees)
{
    if (ctx->m_rcSelect.IsEmpty() || ctx->m_pCurrent == nullptr || !std::isfinite(degrees))
        return false;
    // fmod, not repeated steps of 360: a huge angle must not take forever.
    double a = std::fmod(degrees, 360.0);
    if (a < 0.0)
        a += 360.0;
    if (a >= 360.0)
        a -= 360.0;
    // A whole turn changes nothing and takes no step.
    if (a == 0.0)
        return false;
    const double radians = a * 3.141592653589793 / 180.0;
    CDocState::PushHistory(ctx);
    const CGeoBox before = ctx->m_rcSelect;
    const CGeoPoint centre((before.m_xmin + before.m_xmax) / 2.0, (before.m_ymin + before.m_ymax) / 2.0);
    ctx->m_rcSelect.SetEmpty();
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() == 0)
            continue;
        obj->Rotate(centre, radians, ctx);
        ctx->m_rcSelect.Union(obj->GetBoundRect());
    }
    CDocState::InvalidateSelectionArea(ctx, before);
    CDocState::InvalidateSelectionArea(ctx, ctx->m_rcSelect);
    return true;
}

void COrvelView::ApplyPropertyEdit(int id)
{
    CMainFrame* main = MainFrame();
    if (main == nullptr || m_document == nullptr)
        return;
    SyncToolWithHistory();
    DOCCONTEXT& ctx = Context();
    const CGeoBox box = ctx.m_rcSelect;
    if (id == kPositionEdit) {
        const auto world = [](double mm) { return mm * 10.0 + kWorldOrigin; };
        // A refused move shows the selection's own place again.
        if (!MoveSelectionTo(&ctx, PropertyValue(id, false, box.m_xmin, world),
                             PropertyValue(id, true, box.m_ymin, world)))
            ShowSelectionSize(ctx.m_rcSelect);
        FollowSelection();
    } else if (id == kSizeEdit) {
        const auto world = [](double mm) { return mm * 10.0; };
        ResizeSelection(&ctx, PropertyValue(id, false, box.Width(), world), PropertyValue(id, true, box.Height(), world),
                        ctx.m_bResizeFlag != 0);
        if (!ctx.m_rcSelect.IsEmpty()) {
            SetPropertyText(kSizeEdit, false, MillimetreText(ctx.m_rcSelect.Width() / 10.0));
            SetPropertyText(kSizeEdit, true, MillimetreText(ctx.m_rcSelect.Height() / 10.0));
        }
    } else if (id == kAngleEdit) {
        const double a = ReadEditNumber(main->PropertyEdit(id)->text());
        if (std::fabs(a) > 0.001)
            RotateSelection(&ctx, a);
        SetPropertyText(kAngleEdit, false, QStringLiteral("0"));
        FollowSelection();
    } else {
        return;
    }
    CurrentTool()->OnSetCursor(&ctx);
}

bool COrvelView::IsViewWidget(const QWidget* widget) const
{
    return widget != nullptr && (widget == this || widget == viewport());
}

void COrvelView::OnFocusChanged(QWidget* old, QWidget* now)
{
    CMainFrame* main = MainFrame();
    if (main == nullptr || IsViewWidget(old) == IsViewWidget(now))
        return;
    if (IsViewWidget(old)) {
        if (now != nullptr)
            main->m_nFocusEditId = ControlIdOf(now);
        return;
    }
    const int id = ControlIdOf(old);
    if (old != nullptr && id == main->m_nFocusEditId && IsPropertyEdit(id))
        ApplyPropertyEdit(id);
}

// ---- Import ----------------------------------------------------------------

QStringList COrvelView::ImportDialogFilters()
{
    QStringList filters;
    for (const auto& [text, patterns] : kImportFilter)
        filters.append(QStringLiteral("%1 (%2)").arg(QLatin1String(text), QLatin1String(patterns)));
    return filters;
}

void COrvelView::SetImportChooserForTesting(ImportChooser chooser)
{
    g_importChooser = std::move(chooser);
}

void COrvelView::OnFileImport()
{
    const CReadParamFile files;
    files.ReadSoftwareParam(g_settings);
    std::string path;
    bool preview = g_settings.m_file_view != 0;
    CMainFrame* main = MainFrame();
    const QString checkText =
        main != nullptr ? QString::fromStdU16String(LanguageText(main->m_langText, u"phase1:main-tool", CMyFileDialog::kPreviewEntry))
                        : QString();
    const ImportChooser choose = g_importChooser ? g_importChooser : [&](const std::string& folder, std::string& chosen, bool& on) {
        return AskImportFile(checkText, folder, chosen, on);
    };
    if (!choose(g_settings.import_file_dir, path, preview) || path.empty())
        return;
    g_settings.m_file_view = preview ? 1 : 0;
    g_settings.import_file_dir = plat::FolderOf(path);
    files.WriteSoftwareParam(g_settings);

    SyncToolWithHistory();
    DOCCONTEXT& ctx = Context();
    ctx.m_ptMouse.Set(kWorldOrigin, kWorldOrigin);
    ImportFile(ctx, path, true);
    if (!ctx.m_rcSelect.IsEmpty() && ctx.m_pTools[kSelectTool] != nullptr)
        ctx.m_pTools[kSelectTool]->Reset(1, &ctx);
    ShowSelectionSize(ctx.m_rcSelect);
    RefreshLayerList();
    if (CDocData::SettingsOf(&ctx).m_bOrderPage != 0)
        RefreshOrderList();
    InvalidateRect(nullptr, true);
}
