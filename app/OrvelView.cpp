// The drawing view's life with its document and frame: making and taking
// down the view, its first display, activation, the messages it is sent,
// the status bar's count and the tooltips, the services it gives the tools
// (cursor, modal loops, pop-up menu, font dialog, the work panel's lists) and
// File > Import. Painting, input, the property bar and the view's commands lie
// in the OrvelView*.cpp files beside it.
#include "OrvelView.h"

#include "ChildFrame.h"
#include "FileNames.h"
#include "ImportRun.h"
#include "MyFileDialog.h"
#include "MainFrame.h"
#include "OrvelDoc.h"
#include "qtplatform/QtDeviceContext.h"
#include "qtplatform/Resources.h"
#include "ViewPageCommands.h"
#include "ViewPathCommands.h"
#include "ViewSettingsCommands.h"
#include "ui/WorkPanelPages.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "importexport/FileReadTrans.h"
#include "platform/Folders.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "tools/DocTools.h"
#include "ui/ParamFontType.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMdiArea>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <array>
#include <string_view>
#include <vector>

namespace {

constexpr int kSelectTool = 0;
constexpr std::u16string_view kMainMenu = u"phase0:main-menu";
constexpr int kCountRefreshMs = 100;

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

COrvelView::PopupRunner g_popupRunner;
COrvelView::ImportChooser g_importChooser;

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

// ---- The window's services for the tools -------------------------------------

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
