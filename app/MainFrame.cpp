#include "MainFrame.h"

#include "ColorPaletteBar.h"
#include "qtplatform/DialogBase.h"
#include "qtplatform/FrameworkText.h"
#include "RecentFileList.h"
#include "qtplatform/Resources.h"
#include "machinecomm/Vantrel.h"
#include "model/DocData.h"
#include "platform/Folders.h"
#include "platform/Prompt.h"
#include "platform/WorkFolder.h"
#include "settings/MachineNode.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "settings/TransThreadInfo.h"
#include "settings/WorkParams.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDockWidget>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

constexpr std::u16string_view kMainMenu = u"phase0:main-menu";
constexpr std::u16string_view kTitle = u"phase:title";
constexpr std::u16string_view kEditMenu = u"phase11:edit-right-menu";
// Pane 0 takes what the other three (250 + 250 + 150 by design, more where
// their texts need it) and the borders leave.
constexpr int kPaneBorders = 20;
constexpr std::array<int, 4> kPaneWidths = {0, 250, 250, 150};
// The widest count and mouse point the panes make room for.
constexpr std::uint32_t kWidestCount = 9999999;
constexpr const char* kWidestPoint = "X=-99999.9999, Y=-99999.9999";
// The status bar's count: entry 38, the objects, entry 39, and this entry
// with the selected objects in place of its "%1".
constexpr int kCountText = 38;
constexpr int kCountEndText = 39;
constexpr int kSelectedText = 52;
constexpr int kUpdateIntervalMs = 100;
// The line edit's own margin on each side of its text.
constexpr int kLineEditTextMargin = 2;
constexpr auto kPortErrorWait = std::chrono::milliseconds(20);
// The Korean language's name, which gives the property font another face.
constexpr std::u16string_view kKoreanName = u"\uD55C\uAD6D\uC758";
constexpr const char16_t* kChineseHelp = u"Help_CN.chm";
constexpr const char16_t* kEnglishHelp = u"Help_EN.chm";

// Texts of menu 128: top-level menus by position, items by id.
struct MenuTextEntry {
    plat::UINT id;
    int entry;
};
constexpr std::array<int, 3> kTopMenuEntries = {0, 33, 31};
constexpr MenuTextEntry kMenuItemEntries[] = {{32902, 1}, {32901, 2},  {57606, 8},  {57616, 9}, {57665, 10},
                                              {59392, 34}, {59393, 35}, {57664, 32}, {32916, 40}};

// Docking of each toolbar and whether it can be moved (has a gripper).
struct ToolBarPlace {
    int id;
    Qt::ToolBarArea area;
    bool movable;
    bool breakBefore;
};
// Main, group and place share the first top row, property and path tools
// the second; the align bar stands below the tools bar on the left.
constexpr ToolBarPlace kPlaces[] = {{130, Qt::LeftToolBarArea, false, false}, {128, Qt::TopToolBarArea, true, false},
                                    {196, Qt::TopToolBarArea, true, false},   {238, Qt::TopToolBarArea, true, false},
                                    {180, Qt::TopToolBarArea, true, true},    {189, Qt::LeftToolBarArea, false, false},
                                    {210, Qt::TopToolBarArea, true, false}};

QString ToQ(const std::u16string& s)
{
    return QString::fromStdU16String(s);
}

QLabel* MakeLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// A name shown in a menu as it is: its ampersands are no mnemonic marks.
QString MenuLiteral(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// The width a line edit in the font needs to show a text whole.
int EditWidthForText(const QFont& font, const QString& text)
{
    QLineEdit edit;
    edit.setFont(font);
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
    // The edit's own text margins and cursor, as its size hint counts them.
    const QMargins margins = edit.textMargins();
    const int inner = QFontMetrics(font).horizontalAdvance(text) + 2 * kLineEditTextMargin + margins.left() +
                      margins.right() + 1;
    return edit.style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(inner, edit.sizeHint().height()), &edit)
        .width();
}

// A toolbar place of fixed width holding one or two controls stacked.
QWidget* MakePlace(int width, QWidget* parent)
{
    auto* place = new QWidget(parent);
    place->setFixedWidth(width);
    auto* layout = new QVBoxLayout(place);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return place;
}

} // namespace

CMainFrame::CMainFrame()
{
    m_openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    g_settings.SetPaletteAndInterfaceDefaults();
    const CReadParamFile files;
    files.ReadSoftwareParam(g_settings);

    for (std::u16string& text : m_langText)
        text.clear();
    files.LoadLanguageFiles(m_langText);
    SetLanguageTable(m_langText);

    // Folders that cannot be made are not emptied at exit.
    const std::string work = files.GetWorkPath();
    if (files.CreateWorkFolder(work))
        m_workFolder = work;
    const std::string file = plat::FileFolderOf(work);
    if (file != work && files.CreateWorkFolder(file))
        m_fileFolder = file;

    if (QtMessagePoster* poster = QtMessagePoster::Current())
        m_hWnd = poster->RegisterWindow(this);
}

CMainFrame::~CMainFrame()
{
    // Document windows close first, while the frame and the work panel they
    // report to are whole.
    if (m_mdiArea != nullptr) {
        disconnect(m_mdiArea, nullptr, this, nullptr);
        for (QMdiSubWindow* child : m_mdiArea->subWindowList())
            delete child;
    }
    // The panel's window goes with the frame's children.
    m_workPanel = nullptr;
    delete m_keyRouter;
    m_keyRouter = nullptr;
    if (m_updateTimer != nullptr)
        m_updateTimer->stop();
    if (QtMessagePoster* poster = QtMessagePoster::Current(); poster != nullptr && m_hWnd != 0)
        poster->UnregisterWindow(m_hWnd);
    if (plat::MainWindow() == m_hWnd)
        plat::SetMainWindow(0);
    if (plat::GetProgressSink() == m_progress.get())
        plat::SetProgressSink(nullptr);

    FreeWorkParamList(g_settings.m_pLayers);
    FreeMachineList(g_settings.m_pMachines);
    DeleteObjectList(g_settings.m_pClipboard);
    if (RegisteredLanguageTable().data() == m_langText.data())
        SetLanguageTable({});
    for (std::u16string& text : m_langText)
        text.clear();

    const CReadParamFile files;
    if (!m_workFolder.empty())
        files.DeleteFolderFiles(m_workFolder);
    if (!m_fileFolder.empty())
        files.DeleteFolderFiles(m_fileFolder);
}

bool CMainFrame::Create()
{
    setWindowIcon(IconResource(128));
    m_mdiArea = new QMdiArea(this);
    setCentralWidget(m_mdiArea);
    m_router = new CommandRouter([this] { return CommandChain(); }, this);
    if (m_hWnd != 0)
        plat::SetMainWindow(m_hWnd);

    const CReadParamFile files;
    FreeWorkParamList(g_settings.m_pLayers);
    g_settings.m_pLayers = files.ReadWorkParam();
    FreeMachineList(g_settings.m_pMachines);
    g_settings.m_pMachines = files.ReadMacInfo(&g_settings.m_nCurMachine);

    if (!CreateToolBars())
        return false;
    CreateStatusBar();
    CreatePropertyBar();
    CreatePaletteBar();
    CreateMenus();

    const std::u16string& title = LanguageText(m_langText, kTitle, 0);
    setWindowTitle(title.empty() ? QCoreApplication::applicationName() : ToQ(title));

    On(cmd::Help, [this] { OnHelp(); });
    On(
        cmd::ViewToolbar,
        [this] {
            const bool show = !AnyToolBarVisible();
            for (const auto& [id, bar] : m_toolBars)
                bar->setVisible(show);
        },
        [this](CmdUI& ui) { ui.SetCheck(AnyToolBarVisible() ? 1 : 0); });
    On(
        cmd::ViewStatusBar, [this] { statusBar()->setVisible(!statusBar()->isVisible()); },
        [this](CmdUI& ui) { ui.SetCheck(statusBar()->isVisible() ? 1 : 0); });
    // Window arrangement, while a document window is open. Minimised
    // windows are kept arranged by the document area itself.
    auto anyChild = [this](CmdUI& ui) { ui.Enable(m_mdiArea->activeSubWindow() != nullptr); };
    On(cmd::WindowCascade, [this] { m_mdiArea->cascadeSubWindows(); }, anyChild);
    On(cmd::WindowTile, [this] { m_mdiArea->tileSubWindows(); }, anyChild);
    On(cmd::WindowArrange, [] {}, anyChild);
    // The palette bar's page buttons stay enabled.
    On(cmd::PalettePage1, [] {});
    On(cmd::PalettePage2, [] {});

    m_keyRouter = new KeyRouter(this, this, AcceleratorTable());
    m_updateTimer = new QTimer(this);
    connect(m_updateTimer, &QTimer::timeout, this, &CMainFrame::UpdateCommandStates);
    m_updateTimer->start(kUpdateIntervalMs);
    UpdateCommandStates();
    return true;
}

QAction* CMainFrame::Action(plat::UINT id)
{
    const auto it = m_actions.find(id);
    if (it != m_actions.end())
        return it->second;
    auto* action = new QAction(this);
    SetCommandId(action, id);
    // Toolbar and menu pictures show only where the design puts them.
    action->setIconVisibleInMenu(false);
    connect(action, &QAction::triggered, this, [this, id] { m_router->Execute(id); });
    m_actions.emplace(id, action);
    return action;
}

QToolBar* CMainFrame::ToolBar(int resourceId) const
{
    const auto it = m_toolBars.find(resourceId);
    return it != m_toolBars.end() ? it->second : nullptr;
}

QLabel* CMainFrame::StatusPane(int pane) const
{
    return pane >= 0 && pane < kPaneCount ? m_panes[static_cast<std::size_t>(pane)] : nullptr;
}

void CMainFrame::SetPaneText(int pane, const QString& text)
{
    if (QLabel* label = StatusPane(pane))
        label->setText(text);
}

QLineEdit* CMainFrame::PropertyEdit(int id, bool lower) const
{
    const auto it = m_propertyEdits.find(id);
    if (it == m_propertyEdits.end())
        return nullptr;
    return it->second[lower ? 1 : 0];
}

QPushButton* CMainFrame::PathToolButton(int id) const
{
    const auto it = m_pathButtons.find(id);
    return it != m_pathButtons.end() ? it->second : nullptr;
}

QIcon CMainFrame::ProportionIcon(bool on) const
{
    return on ? m_proportionOn : m_proportionOff;
}

void CMainFrame::SetWorkPanel(WorkPanel* panel)
{
    m_workPanel = panel;
    auto* dock = panel != nullptr ? qobject_cast<QDockWidget*>(panel->PanelWidget()) : nullptr;
    if (dock == nullptr)
        return;
    dock->setAllowedAreas(Qt::RightDockWidgetArea);
    addDockWidget(Qt::RightDockWidgetArea, dock);
}

std::vector<CommandTarget*> CMainFrame::CommandChain()
{
    std::vector<CommandTarget*> chain;
    if (m_workPanel != nullptr)
        chain.push_back(m_workPanel);
    // The current document window stays current while another application
    // has the focus.
    if (QMdiSubWindow* child = m_mdiArea != nullptr ? m_mdiArea->currentSubWindow() : nullptr) {
        if (auto* frame = dynamic_cast<CommandChainSource*>(child))
            frame->AppendCommandTargets(chain);
        else if (auto* source = dynamic_cast<CommandChainSource*>(child->widget()))
            source->AppendCommandTargets(chain);
    }
    chain.push_back(this);
    if (m_appTarget != nullptr)
        chain.push_back(m_appTarget);
    return chain;
}

bool CMainFrame::CreateToolBars()
{
    for (const ToolBarPlace& place : kPlaces) {
        auto* bar = new QToolBar(this);
        bar->setObjectName(QStringLiteral("toolbar%1").arg(place.id));
        bar->setProperty("windowId", kToolbarId);
        bar->setMovable(place.movable);
        bar->setIconSize(QSize(16, 15));
        for (const ToolbarButton& button : ToolbarButtons(place.id)) {
            if (button.id == 0) {
                bar->addSeparator();
                continue;
            }
            if (button.image < 0)
                continue; // a control's place, made by CreatePropertyBar
            const QPixmap image = ToolbarImage(place.id, button.image);
            if (image.isNull())
                return false;
            QAction* action = Action(button.id);
            action->setIcon(QIcon(image));
            bar->addAction(action);
        }
        if (place.breakBefore)
            addToolBarBreak(place.area);
        addToolBar(place.area, bar);
        m_toolBars.emplace(place.id, bar);
    }
    // The proportion toggle's second image.
    const QPixmap on = BitmapResource(217);
    if (on.isNull())
        return false;
    m_proportionOff = Action(32852)->icon();
    m_proportionOn = QIcon(on);
    // The property bar shows no tooltips.
    Action(32852)->setToolTip(QString());
    return true;
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setProperty("windowId", kStatusBarId);
    for (int i = 0; i < kPaneCount; ++i) {
        auto* pane = new QLabel(QStringLiteral(" "), bar);
        pane->setObjectName(QStringLiteral("pane%1").arg(i));
        bar->addWidget(pane);
        m_panes[static_cast<std::size_t>(i)] = pane;
    }
    SetPaneText(2, ToQ(LanguageText(m_langText, kMainMenu, 38)) + QStringLiteral(" ") +
                       ToQ(LanguageText(m_langText, kMainMenu, 39)));

    m_progressBar = new QProgressBar(m_panes[1]);
    m_progressBar->setObjectName(QString::number(kProgressId));
    auto* layout = new QHBoxLayout(m_panes[1]);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_progressBar);
    m_workCancel = new QPushButton(FrameworkString(FrameworkText::Cancel), m_panes[1]);
    m_workCancel->setObjectName(QStringLiteral("workCancel"));
    m_workCancel->hide();
    layout->addWidget(m_workCancel);
    m_progress = std::make_unique<QtProgress>(m_progressBar);
    plat::SetProgressSink(m_progress.get());

    const QScreen* screen = QGuiApplication::primaryScreen();
    UpdatePaneWidths(screen != nullptr ? screen->geometry().width() : width());
}

QString CMainFrame::ObjectCountText(std::uint32_t objects, std::uint32_t selected) const
{
    QString text = ToQ(MenuText(kCountText)) + QStringLiteral(": %1 ").arg(objects) + ToQ(MenuText(kCountEndText));
    const QString selectedText = ToQ(MenuText(kSelectedText));
    if (selectedText.contains(QLatin1String("%1")))
        text += selectedText.arg(selected);
    return text;
}

int CMainFrame::PaneWidth(int pane) const
{
    const QLabel* label = StatusPane(pane);
    if (label == nullptr || pane == 0)
        return 0;
    // The designed width, or what the widest text of the pane needs.
    QString widest;
    if (pane == 2)
        widest = ObjectCountText(kWidestCount, kWidestCount);
    else if (pane == 3)
        widest = QString::fromLatin1(kWidestPoint);
    const QMargins margins = label->contentsMargins();
    const int need = label->fontMetrics().horizontalAdvance(widest) + margins.left() + margins.right() +
                     2 * label->margin() + 2 * label->frameWidth();
    return std::max(kPaneWidths[static_cast<std::size_t>(pane)], widest.isEmpty() ? 0 : need);
}

void CMainFrame::UpdatePaneWidths(int width)
{
    int reserve = kPaneBorders;
    for (int i = 1; i < kPaneCount; ++i)
        reserve += PaneWidth(i);
    for (int i = 0; i < kPaneCount; ++i) {
        QLabel* pane = m_panes[static_cast<std::size_t>(i)];
        if (pane == nullptr)
            return;
        pane->setFixedWidth(i == 0 ? std::max(0, width - reserve) : PaneWidth(i));
    }
}

void CMainFrame::CreatePaletteBar()
{
    // A fixed dock without a title: the bar always spans the frame's width.
    auto* dock = new QDockWidget(this);
    dock->setObjectName(QString::number(CColorPaletteBar::kBarId));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setTitleBarWidget(new QWidget(dock));
    m_paletteBar = new CColorPaletteBar(dock);
    m_paletteBar->SetDocumentArea(m_mdiArea);
    dock->setWidget(m_paletteBar);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
}

void CMainFrame::CreatePropertyBar()
{
    QFont labelFont(QStringLiteral("Arial"));
    labelFont.setPixelSize(11);
    labelFont.setStyleHint(QFont::SansSerif);
    QFont propertyFont = labelFont;
    propertyFont.setFamily(g_languageNames.Current() == kKoreanName ? QStringLiteral("宋体") : QStringLiteral("Arial"));

    QToolBar* property = ToolBar(180);
    QAction* toggle = Action(32852);
    auto insertPlace = [&](QWidget* place, int id) {
        place->setObjectName(QString::number(id));
        property->insertWidget(toggle, place);
    };
    auto twoLabels = [&](int width, const QString& upper, const QString& lower) {
        QWidget* place = MakePlace(width, property);
        place->layout()->addWidget(MakeLabel(upper, labelFont, place));
        place->layout()->addWidget(MakeLabel(lower, labelFont, place));
        return place;
    };
    // The position and size edits hold the widest value they show.
    const int editWidth = EditWidthForText(labelFont, QStringLiteral("-99999.999 mm"));
    auto twoEdits = [&](int id, int width) {
        QWidget* place = MakePlace(width, property);
        std::array<QLineEdit*, 2> edits{};
        for (QLineEdit*& edit : edits) {
            edit = new QLineEdit(place);
            edit->setObjectName(QString::number(id));
            edit->setFont(labelFont);
            place->layout()->addWidget(edit);
        }
        m_propertyEdits[id] = edits;
        return place;
    };
    auto iconLabel = [&](int icon, QWidget* parent) {
        QLabel* label = MakeLabel(QString(), labelFont, parent);
        label->setPixmap(IconResource(icon).pixmap(16, 16));
        return label;
    };

    // Places 0 to 3 stand before the toggle (place 4).
    insertPlace(twoLabels(20, QStringLiteral("x:"), QStringLiteral("y:")), 32830);
    insertPlace(twoEdits(32853, std::max(60, editWidth)), 32853);
    QWidget* wh = MakePlace(20, property);
    wh->layout()->addWidget(iconLabel(228, wh));
    wh->layout()->addWidget(iconLabel(229, wh));
    insertPlace(wh, 32854);
    insertPlace(twoEdits(32831, std::max(60, editWidth)), 32831);

    // Places 5 and 6 hold one static with icon 230; 7 the angle; 8 the degree sign.
    QWidget* ratio = MakePlace(32, property);
    ratio->layout()->addWidget(iconLabel(230, ratio));
    ratio->setObjectName(QStringLiteral("32832"));
    property->addWidget(ratio);
    QWidget* angle = MakePlace(40, property);
    angle->setObjectName(QStringLiteral("32855"));
    angle->layout()->setContentsMargins(0, 7, 0, 8);
    auto* angleEdit = new QLineEdit(angle);
    angleEdit->setObjectName(QStringLiteral("32855"));
    angleEdit->setFont(labelFont);
    angle->layout()->addWidget(angleEdit);
    m_propertyEdits[32855] = {angleEdit, angleEdit};
    property->addWidget(angle);
    QWidget* degree = MakePlace(14, property);
    degree->setObjectName(QStringLiteral("32856"));
    degree->layout()->addWidget(MakeLabel(QStringLiteral("°"), labelFont, degree));
    property->addWidget(degree);

    // The path-tool bar: the assist selector and two push buttons, each
    // place at least its designed width and wide enough for its texts.
    QToolBar* path = ToolBar(210);
    m_assistCombo = new QComboBox;
    m_assistCombo->setObjectName(QStringLiteral("32939"));
    m_assistCombo->setFont(propertyFont);
    m_assistCombo->addItem(ToQ(LanguageText(m_langText, kEditMenu, 58)));
    m_assistCombo->addItem(ToQ(LanguageText(m_langText, kEditMenu, 59)));
    m_assistCombo->setCurrentIndex(g_settings.m_assist_mode < 2 ? g_settings.m_assist_mode : -1);
    const QMargins comboMargins(3, 6, 0, 0);
    QWidget* combo = MakePlace(std::max(60, m_assistCombo->sizeHint().width() + comboMargins.left()), path);
    combo->setObjectName(QStringLiteral("32939"));
    combo->layout()->setContentsMargins(comboMargins);
    m_assistCombo->setParent(combo);
    combo->layout()->addWidget(m_assistCombo);
    connect(m_assistCombo, &QComboBox::activated, this, [this] { m_router->Execute(32939); });
    path->addWidget(combo);

    struct PushPlace {
        int id;
        int width;
        int entry;
        QMargins margins;
    };
    const PushPlace pushPlaces[] = {{32875, 60, 2, QMargins(0, 4, 2, 5)}, {32915, 64, 53, QMargins(2, 4, 4, 5)}};
    // Both buttons as wide as the longer of their texts needs.
    int textWidth = 0;
    for (const PushPlace& p : pushPlaces) {
        QPushButton probe;
        probe.setFont(propertyFont);
        textWidth = std::max(textWidth, ButtonWidthForText(probe, ToQ(LanguageText(m_langText, kEditMenu, p.entry))));
    }
    for (const PushPlace& p : pushPlaces) {
        QWidget* place =
            MakePlace(std::max(p.width, textWidth + p.margins.left() + p.margins.right()), path);
        place->setObjectName(QString::number(p.id));
        place->layout()->setContentsMargins(p.margins);
        auto* button = new QPushButton(ToQ(LanguageText(m_langText, kEditMenu, p.entry)), place);
        button->setObjectName(QString::number(p.id));
        button->setFont(propertyFont);
        place->layout()->addWidget(button);
        const plat::UINT id = static_cast<plat::UINT>(p.id);
        connect(button, &QPushButton::clicked, this, [this, id] { m_router->Execute(id); });
        m_pathButtons[p.id] = button;
        path->addWidget(place);
    }
}

void CMainFrame::CreateMenus()
{
    BuildMenu(128);
    BuildMenu(129);
    ShowMenu(128);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
        if (window != nullptr)
            ShowMenu(129);
        else // a closing window is still listed now
            QMetaObject::invokeMethod(this, &CMainFrame::UpdateMenuForDocuments, Qt::QueuedConnection);
    });
    ApplyMenuTexts();
    RefreshRecentFileItems(TopMenu(128, 0));
}

void CMainFrame::BuildMenu(int menuId)
{
    std::vector<QMenu*>& menus = m_menus[menuId];
    QMenu* current = nullptr;
    for (const MenuItemResource& item : MenuResource(menuId)) {
        if (item.level == 0) {
            current = new QMenu(QString::fromUtf16(item.text), this);
            const bool fileMenu = menus.empty();
            menus.push_back(current);
            connect(current, &QMenu::aboutToShow, this, [this, current, fileMenu] {
                if (fileMenu)
                    RefreshRecentFileItems(current);
                if (current->actions().contains(Action(cmd::WindowNew)))
                    RefreshWindowItems(current);
                m_router->UpdateActions(current->actions());
            });
            continue;
        }
        if (item.id == 0) {
            current->addSeparator();
            continue;
        }
        QAction* action = Action(item.id);
        QString text = QString::fromUtf16(item.text);
        if (item.accel != nullptr)
            text += QStringLiteral("\t") + QString::fromUtf16(item.accel);
        else if (const QString key = StandardKeyText(item.id); !key.isEmpty())
            text += QStringLiteral("\t") + key;
        action->setText(text);
        if (item.bitmap != 0) {
            action->setIcon(QIcon(BitmapResource(item.bitmap)));
            action->setIconVisibleInMenu(true);
        }
        current->addAction(action);
        if (item.id == cmd::FileMru1) {
            // The other recent files follow the first; shown only when listed.
            for (plat::UINT id = cmd::FileMru1 + 1; id <= cmd::FileMru4; ++id) {
                QAction* more = Action(id);
                more->setVisible(false);
                current->addAction(more);
            }
        }
    }
}

void CMainFrame::ShowMenu(int menuId)
{
    if (menuId == m_shownMenu)
        return;
    menuBar()->clear();
    for (QMenu* menu : m_menus[menuId])
        menuBar()->addMenu(menu);
    m_shownMenu = menuId;
}

void CMainFrame::UpdateMenuForDocuments()
{
    ShowMenu(m_mdiArea->subWindowList().isEmpty() ? 128 : 129);
}

QMenu* CMainFrame::TopMenu(int menuId, int position) const
{
    const auto it = m_menus.find(menuId);
    if (it == m_menus.end() || position < 0 || position >= static_cast<int>(it->second.size()))
        return nullptr;
    return it->second[static_cast<std::size_t>(position)];
}

void CMainFrame::SetItemText(plat::UINT id, const std::u16string& text)
{
    QAction* action = Action(id);
    const QString old = action->text();
    const qsizetype tab = old.indexOf(QLatin1Char('\t'));
    action->setText(ToQ(text) + (tab >= 0 ? old.mid(tab) : QString()));
}

std::u16string CMainFrame::MenuText(int entry) const
{
    return LanguageText(m_langText, kMainMenu, entry);
}

void CMainFrame::ApplyMenuTexts()
{
    for (std::size_t i = 0; i < kTopMenuEntries.size(); ++i) {
        const std::u16string text = MenuText(kTopMenuEntries[i]);
        if (QMenu* menu = TopMenu(128, static_cast<int>(i)); menu != nullptr && !text.empty())
            menu->setTitle(ToQ(text));
    }
    for (const MenuTextEntry& e : kMenuItemEntries) {
        const std::u16string text = MenuText(e.entry);
        if (!text.empty())
            SetItemText(e.id, text);
    }
}

void CMainFrame::RefreshRecentFileItems(QMenu* fileMenu)
{
    if (fileMenu == nullptr)
        return;
    const QStringList files = m_recentFiles != nullptr ? m_recentFiles->Files() : QStringList();
    for (int i = 0; i < RecentFileList::kSize; ++i) {
        QAction* action = Action(cmd::FileMru1 + static_cast<plat::UINT>(i));
        if (i < files.size()) {
            action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(MenuLiteral(files[i])));
            action->setVisible(true);
        } else if (i == 0) {
            // The placeholder item while the list is empty.
            const std::u16string text = MenuText(9);
            action->setText(text.empty() ? QStringLiteral("Recent File") : ToQ(text));
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
}

void CMainFrame::RefreshWindowItems(QMenu* windowMenu)
{
    // The open documents below the window commands, numbered, the active
    // one checked; choosing one activates it.
    for (QAction* item : m_windowItems) {
        windowMenu->removeAction(item);
        delete item;
    }
    m_windowItems.clear();
    const QList<QMdiSubWindow*> windows = m_mdiArea->subWindowList();
    if (windows.isEmpty())
        return;
    m_windowItems.push_back(windowMenu->addSeparator());
    int number = 0;
    for (QMdiSubWindow* window : windows) {
        ++number;
        const QString mark = number < 10 ? QStringLiteral("&%1").arg(number) : QString::number(number);
        QAction* item = windowMenu->addAction(mark + QLatin1Char(' ') + MenuLiteral(window->windowTitle()));
        item->setCheckable(true);
        item->setChecked(window == m_mdiArea->activeSubWindow());
        const QPointer<QMdiSubWindow> target(window);
        connect(item, &QAction::triggered, this, [this, target] {
            if (target != nullptr)
                m_mdiArea->setActiveSubWindow(target);
        });
        m_windowItems.push_back(item);
    }
}

bool CMainFrame::AnyToolBarVisible() const
{
    // The menu item follows the first toolbar made.
    const QToolBar* first = ToolBar(kToolbars.front());
    return first != nullptr && !first->isHidden();
}

void CMainFrame::UpdateCommandStates()
{
    if (m_router == nullptr)
        return;
    QList<QAction*> actions;
    for (const auto& [id, action] : m_actions)
        actions.append(action);
    m_router->UpdateActions(actions);
}

void CMainFrame::OnHelp()
{
    const std::string folder = plat::ProgramFolder();
    const QString help = QString::fromStdString(folder) +
                         QString::fromUtf16(IsChineseLanguageCurrent() ? kChineseHelp : kEnglishHelp);
    if (!QFileInfo(help).isFile() || !m_openUrl(QUrl::fromLocalFile(help)))
        plat::MessageBox(FrameworkString(FrameworkText::CannotOpenFile).arg(help).toStdU16String());
}

void CMainFrame::OnPostedMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM)
{
    if (msg == WM_COMM_LINK_STATE) {
        OnMachineLinkState(g_settings.m_pMachines, wParam != 0);
        return;
    }
    if (msg != WM_COMM_PORT_ERROR)
        return; // no other posted message is the frame's
    std::this_thread::sleep_for(kPortErrorWait);
    if (m_workPanel != nullptr)
        m_workPanel->OnPortError();
}

bool CMainFrame::PreTranslateFrameKey(const VirtualKey& key)
{
    if (!key.down)
        return false;
    if (key.code == vk::F1) {
        OnHelp();
        return true;
    }
    if (key.code == vk::Return && (m_nFocusEditId == 32853 || m_nFocusEditId == 32831 || m_nFocusEditId == 32855)) {
        // The view takes the focus and applies the typed value; the key
        // still goes on to the edit.
        if (QMdiSubWindow* child = m_mdiArea->activeSubWindow(); child != nullptr && child->widget() != nullptr)
            child->widget()->setFocus(Qt::OtherFocusReason);
    }
    return false;
}

void CMainFrame::RunAccelerator(plat::UINT id)
{
    if (m_router->Update(id).m_bEnabled)
        m_router->Execute(id);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_closeGuard && !m_closeGuard()) {
        event->ignore();
        emit closeCancelled();
        return;
    }
    event->accept();
    m_closed = true;
    emit closed();
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (!isMinimized())
        UpdatePaneWidths(width());
    if (m_workPanel != nullptr)
        m_workPanel->OnFrameResized();
}
