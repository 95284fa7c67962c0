// The main frame: its bars, panes and texts in both shipped languages, its
// command and key routing, help, the port-error message, and its end, which
// empties the work and file folders it made.
#include "AppTestSupport.h"
#include "app/MainFrame.h"
#include "qtplatform/QtMessagePoster.h"
#include "qtplatform/Resources.h"
#include "machinecomm/Vantrel.h"
#include "settings/SoftwareSettings.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QComboBox>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <thread>

namespace {

class StubPanel : public WorkPanel, public CommandMap {
public:
    QWidget* PanelWidget() override { return nullptr; }
    void OnPortError() override { m_portErrors.push_back(m_clock.elapsed()); }
    bool OnCommand(plat::UINT id) override { return CommandMap::OnCommand(id); }
    bool OnUpdateCommand(CmdUI& ui) override { return CommandMap::OnUpdateCommand(ui); }
    QElapsedTimer m_clock;
    std::vector<qint64> m_portErrors;
};

// A document window's widget: a view that handles commands and looks at keys
// first.
class StubView : public QWidget, public CommandChainSource, public KeyPreTranslator, public CommandMap {
public:
    StubView() { setFocusPolicy(Qt::StrongFocus); }
    void AppendCommandTargets(std::vector<CommandTarget*>& chain) override { chain.push_back(this); }
    bool PreTranslateKey(const VirtualKey& key) override
    {
        m_keys.push_back(key);
        return key.code == m_claim;
    }
    std::vector<VirtualKey> m_keys;
    int m_claim = -1;
};

class KeyCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1)
            ++m_f1;
        return false;
    }
    int m_f1 = 0;
};

class MainFrameTest : public ::testing::Test {
protected:
    void Make(const std::string& language = plat::kEnglishFile)
    {
        m_program = std::make_unique<plat::ScratchProgram>(language);
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->Create());
        m_frame->SetUrlOpenerForTesting([this](const QUrl& url) {
            m_opened.push_back(url.toLocalFile());
            return true;
        });
    }
    void Show()
    {
        m_frame->showMaximized();
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame.get()));
    }
    // A document window with a stub view, active.
    StubView* AddView()
    {
        auto* view = new StubView;
        QMdiSubWindow* child = m_frame->MdiArea()->addSubWindow(view);
        child->show();
        m_frame->MdiArea()->setActiveSubWindow(child);
        return view;
    }
    void TearDown() override
    {
        m_frame.reset();
        m_program.reset();
    }

    QtMessagePoster m_poster;
    plat::ScopedRecordingPrompt m_prompt;
    std::unique_ptr<plat::ScratchProgram> m_program;
    std::unique_ptr<CMainFrame> m_frame;
    std::vector<QString> m_opened;
};

struct LanguageCase {
    const char* file;
    const char* file0, *view33, *help31, *new1, *open2, *exit10, *recent9;
    const char* pane2;
    const char* assistOff, *assistOn, *leadLines, *microJoints;
};

void PrintTo(const LanguageCase& c, std::ostream* os)
{
    *os << c.file0;
}

class MainFrameLanguages : public MainFrameTest, public ::testing::WithParamInterface<LanguageCase> {};

} // namespace

TEST_P(MainFrameLanguages, ShowsMaximisedWithSevenToolbarsFourPanesAndTheTablesTexts)
{
    const LanguageCase& c = GetParam();
    Make(c.file);
    Show();
    EXPECT_TRUE(m_frame->isMaximized());
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Brenvik"));

    for (int id : CMainFrame::kToolbars) {
        QToolBar* bar = m_frame->ToolBar(id);
        ASSERT_NE(bar, nullptr) << id;
        EXPECT_EQ(bar->property("windowId").toInt(), 59392);
        const bool left = id == 130 || id == 189;
        EXPECT_EQ(m_frame->toolBarArea(bar), left ? Qt::LeftToolBarArea : Qt::TopToolBarArea) << id;
        EXPECT_EQ(bar->isMovable(), !left) << id;
    }
    // The align bar stands below the tools bar; group and place follow the
    // main toolbar in its row, the path-tool bar the property bar in the next.
    EXPECT_GT(m_frame->ToolBar(189)->y(), m_frame->ToolBar(130)->y());
    EXPECT_EQ(m_frame->ToolBar(196)->y(), m_frame->ToolBar(128)->y());
    EXPECT_EQ(m_frame->ToolBar(238)->y(), m_frame->ToolBar(128)->y());
    EXPECT_EQ(m_frame->ToolBar(210)->y(), m_frame->ToolBar(180)->y());
    EXPECT_GT(m_frame->ToolBar(180)->y(), m_frame->ToolBar(128)->y());

    for (int pane = 0; pane < 4; ++pane)
        ASSERT_NE(m_frame->StatusPane(pane), nullptr);
    EXPECT_EQ(m_frame->StatusPane(0)->text(), QStringLiteral(" "));
    EXPECT_EQ(m_frame->StatusPane(2)->text(), QString::fromUtf8(c.pane2));
    EXPECT_EQ(m_frame->StatusPane(1)->width(), 250);
    // Panes 2 and 3 keep their designed widths or widen for the widest
    // count and mouse point they show.
    EXPECT_GE(m_frame->StatusPane(2)->width(), 250);
    EXPECT_GE(m_frame->StatusPane(3)->width(), 150);
    const QFontMetrics metrics = m_frame->StatusPane(2)->fontMetrics();
    EXPECT_LE(metrics.horizontalAdvance(m_frame->ObjectCountText(9999999, 9999999)), m_frame->StatusPane(2)->width());
    EXPECT_LE(metrics.horizontalAdvance(QStringLiteral("X=-99999.9999, Y=-99999.9999")),
              m_frame->StatusPane(3)->width());
    EXPECT_EQ(m_frame->ProgressBar()->maximum(), 1000);

    const QList<QAction*> menus = m_frame->menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), QString::fromUtf8(c.file0));
    EXPECT_EQ(menus[1]->text(), QString::fromUtf8(c.view33));
    EXPECT_EQ(menus[2]->text(), QString::fromUtf8(c.help31));
    EXPECT_EQ(m_frame->Action(32902)->text(), QString::fromUtf8(c.new1) + QStringLiteral("\tCtrl+N"));
    EXPECT_EQ(m_frame->Action(32901)->text(), QString::fromUtf8(c.open2) + QStringLiteral("\tCtrl+O"));
    EXPECT_EQ(m_frame->Action(57665)->text(), QString::fromUtf8(c.exit10));
    EXPECT_EQ(m_frame->Action(57616)->text(), QString::fromUtf8(c.recent9));

    QComboBox* combo = m_frame->AssistCombo();
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), QString::fromUtf8(c.assistOff));
    EXPECT_EQ(combo->itemText(1), QString::fromUtf8(c.assistOn));
    EXPECT_EQ(combo->currentIndex(), 1); // m_assist_mode's default
    EXPECT_EQ(m_frame->PathToolButton(32875)->text(), QString::fromUtf8(c.leadLines));
    EXPECT_EQ(m_frame->PathToolButton(32915)->text(), QString::fromUtf8(c.microJoints));
    EXPECT_EQ(combo->font().family(), QStringLiteral("Arial"));
}

INSTANTIATE_TEST_SUITE_P(
    BothShippedLanguages, MainFrameLanguages,
    ::testing::Values(LanguageCase{plat::kEnglishFile, "File", "View", "Help", "New", "Open...", "Exit",
                                   "Recent File", "Objects in the drawing", "Assist Off", "Assist On", "Lead Lines",
                                   "Micro-joints"},
                      LanguageCase{plat::kChineseFile, "文件", "视图", "帮助", "新建", "打开...", "退出", "最近文件",
                                   "图形数量 个", "辅助关", "辅助开", "引线", "微连接"}),
    [](const ::testing::TestParamInfo<LanguageCase>& info) {
        return std::string(info.param.file == plat::kEnglishFile ? "English" : "Chinese");
    });

TEST_F(MainFrameTest, EveryToolbarButtonShowsItsPicture)
{
    Make();
    Show();
    int buttons = 0;
    for (int id : CMainFrame::kToolbars) {
        QToolBar* bar = m_frame->ToolBar(id);
        for (QAction* action : bar->actions()) {
            if (CommandIdOf(action) == 0)
                continue;
            auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
            ASSERT_NE(button, nullptr) << id;
            const QImage image = button->grab().toImage();
            const QRgb background = image.pixel(0, 0);
            int drawn = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    drawn += image.pixel(x, y) != background ? 1 : 0;
            EXPECT_GE(drawn, 10) << "toolbar " << id << " button " << CommandIdOf(action);
            ++buttons;
        }
    }
    // 7 + 14 + 7 + 3 + 1 + 8 + 8 picture buttons.
    EXPECT_EQ(buttons, 48);
}

TEST_F(MainFrameTest, StatusPaneZeroShrinksToNothingButNeverBelow)
{
    Make();
    m_frame->show();
    m_frame->resize(1000, 600);
    QCoreApplication::processEvents();
    // What panes 1 to 3 and 20 pixels of borders leave of 1000.
    const int others = m_frame->StatusPane(1)->width() + m_frame->StatusPane(2)->width() +
                       m_frame->StatusPane(3)->width();
    EXPECT_EQ(m_frame->StatusPane(0)->minimumWidth(), 1000 - 20 - others);
    m_frame->resize(500, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_frame->StatusPane(0)->minimumWidth(), 0);
}

TEST_F(MainFrameTest, CommandsReachTheWorkPanelFirstAndUnhandledIdsAreDisabled)
{
    Make();
    StubPanel panel;
    panel.On(32907, [&] { panel.m_portErrors.push_back(-1); });
    m_frame->SetWorkPanel(&panel);
    EXPECT_FALSE(m_frame->Router().Update(57650).m_bEnabled); // cascade: no window yet
    StubView* view = AddView();
    EXPECT_TRUE(m_frame->Router().Update(57650).m_bEnabled);
    int viewUndos = 0;
    int viewCopies = 0;
    view->On(32907, [&] { ++viewUndos; });
    view->On(32905, [&] { ++viewCopies; });

    EXPECT_TRUE(m_frame->Router().Execute(32907));
    EXPECT_EQ(panel.m_portErrors.size(), 1u);
    EXPECT_EQ(viewUndos, 0);
    EXPECT_TRUE(m_frame->Router().Execute(32905));
    EXPECT_EQ(viewCopies, 1);

    m_frame->UpdateCommandStates();
    EXPECT_FALSE(m_frame->Action(57607)->isEnabled()); // print: nobody's
    EXPECT_FALSE(m_frame->Router().Update(57609).m_bEnabled);
    EXPECT_TRUE(m_frame->Router().Update(1000).m_bEnabled);
    EXPECT_TRUE(m_frame->Router().Update(1001).m_bEnabled);
    EXPECT_TRUE(m_frame->Action(32916)->isEnabled());

    // View, Toolbar hides and shows all seven bars at once.
    EXPECT_TRUE(m_frame->Router().Execute(59392));
    for (int id : CMainFrame::kToolbars)
        EXPECT_TRUE(m_frame->ToolBar(id)->isHidden()) << id;
    EXPECT_EQ(m_frame->Router().Update(59392).m_nCheck, 0);
    m_frame->Router().Execute(59392);
    for (int id : CMainFrame::kToolbars)
        EXPECT_FALSE(m_frame->ToolBar(id)->isHidden()) << id;
    m_frame->SetWorkPanel(nullptr);
}

TEST_F(MainFrameTest, KeysGoToTheViewThenTheFrameThenTheAccelerators)
{
    Make();
    Show();
    StubView* view = AddView();
    int undos = 0;
    view->On(32907, [&] { ++undos; });
    view->setFocus();

    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undos, 1);
    QTest::keyClick(view, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(undos, 2);
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); // not an accelerator
    EXPECT_EQ(undos, 2);
    // The view saw the keys first, as virtual keys: Ctrl, then Z with Ctrl.
    ASSERT_GE(view->m_keys.size(), 2u);
    EXPECT_EQ(view->m_keys[0].code, 0x11);
    EXPECT_EQ(view->m_keys[1].code, 'Z');
    EXPECT_TRUE(view->m_keys[1].ctrl);
    EXPECT_TRUE(view->m_keys[1].down);

    // A key the view claims goes no further: one press, one action.
    view->m_claim = 'Z';
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undos, 2);

    // F1 opens help and is used up: the edit never sees it.
    QLineEdit* edit = m_frame->PropertyEdit(32853);
    KeyCounter editKeys;
    edit->installEventFilter(&editKeys);
    edit->setFocus();
    const std::size_t shown = m_prompt.m_prompt.m_shown.size();
    QTest::keyClick(edit, Qt::Key_F1);
    EXPECT_EQ(m_opened.size(), 0u); // the help file is missing here: named
    EXPECT_EQ(m_prompt.m_prompt.m_shown.size(), shown + 1);
    m_program->Write("Help_EN.chm", "help");
    QTest::keyClick(edit, Qt::Key_F1);
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(editKeys.m_f1, 0);
    edit->removeEventFilter(&editKeys);

    // Enter in a property edit gives the view the focus; the key still
    // reaches the edit.
    m_frame->m_nFocusEditId = 32853;
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(view->hasFocus());
}

TEST_F(MainFrameTest, AModalDialogKeepsItsKeys)
{
    Make();
    Show();
    m_program->Write("Help_EN.chm", "help");
    StubView* view = AddView();
    int undos = 0;
    view->On(32907, [&] { ++undos; });

    QDialog dialog(m_frame.get());
    auto* edit = new QLineEdit(&dialog);
    dialog.setModal(true);
    dialog.show();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("ab"));
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier); // the edit's own undo
    QTest::keyClick(edit, Qt::Key_F1);
    EXPECT_EQ(undos, 0);
    EXPECT_TRUE(m_opened.empty());
    EXPECT_NE(edit->text(), QStringLiteral("ab"));
}

TEST_F(MainFrameTest, HelpFileFollowsTheLanguagePointerAndAMissingOneIsNamed)
{
    Make(plat::kChineseFile);
    m_program->Write("Help_CN.chm", "help");
    m_program->Write("Help_EN.chm", "help");
    m_frame->OnHelp();
    m_program->Write("Language/Language", std::string(plat::kEnglishFile) + "\r\n");
    m_frame->OnHelp();
    std::filesystem::remove(m_program->Root() + "Language/Language");
    m_frame->OnHelp();
    ASSERT_EQ(m_opened.size(), 3u);
    const QString root = QString::fromStdString(m_program->Root());
    EXPECT_EQ(m_opened[0], root + QStringLiteral("Help_CN.chm"));
    EXPECT_EQ(m_opened[1], root + QStringLiteral("Help_EN.chm"));
    EXPECT_EQ(m_opened[2], root + QStringLiteral("Help_CN.chm"));

    std::filesystem::remove(m_program->Root() + "Help_CN.chm");
    const std::size_t before = m_prompt.m_prompt.m_shown.size();
    m_frame->OnHelp();
    ASSERT_EQ(m_prompt.m_prompt.m_shown.size(), before + 1);
    EXPECT_NE(m_prompt.m_prompt.m_shown.back().text.find((root + QStringLiteral("Help_CN.chm")).toStdU16String()),
              std::u16string::npos);
}

TEST_F(MainFrameTest, PortErrorFromAWorkerReachesTheWorkPanelAfter20ms)
{
    plat::SetMessagePoster(&m_poster);
    Make();
    StubPanel panel;
    m_frame->SetWorkPanel(&panel);
    EXPECT_EQ(plat::MainWindow(), m_frame->Handle());

    std::thread worker([] {
        EXPECT_TRUE(plat::PostMessage(plat::MainWindow(), plat::WM_USER + 111, 0, 0)); // not the frame's
        EXPECT_TRUE(plat::PostMessage(plat::MainWindow(), WM_COMM_PORT_ERROR, 0, 0));
    });
    worker.join();
    panel.m_clock.start();
    ASSERT_TRUE(plat::WaitFor([&] { return !panel.m_portErrors.empty(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(panel.m_portErrors.size(), 1u);
    EXPECT_GE(panel.m_portErrors[0], 20);

    const plat::HWND handle = m_frame->Handle();
    m_frame.reset();
    EXPECT_EQ(plat::MainWindow(), 0u);
    EXPECT_FALSE(plat::PostMessage(handle, WM_COMM_PORT_ERROR, 0, 0));
    plat::SetMessagePoster(nullptr);
}

TEST_F(MainFrameTest, EndEmptiesTheWorkAndFileFoldersAndFreesTheLists)
{
    Make();
    const std::string root = m_program->Root();
    EXPECT_EQ(m_frame->WorkFolder(), root + "work/");
    EXPECT_EQ(m_frame->FileFolder(), root + "file/");
    EXPECT_NE(g_settings.m_pLayers, nullptr);
    EXPECT_NE(g_settings.m_pMachines, nullptr);
    m_program->Write("work/default.ai", "hand-over never imported");
    std::filesystem::create_directories(root + "work/sub");
    m_program->Write("work/sub/0.bmp", "image");
    m_program->Write("file/job.out", "job");

    m_frame.reset();
    EXPECT_FALSE(m_program->Exists("work/default.ai"));
    EXPECT_FALSE(m_program->Exists("work/sub/0.bmp"));
    EXPECT_FALSE(m_program->Exists("file/job.out"));
    EXPECT_TRUE(m_program->Exists("work/sub"));
    EXPECT_TRUE(m_program->Exists("MacInfo.par")); // the parameter folder is left alone
    EXPECT_EQ(g_settings.m_pLayers, nullptr);
    EXPECT_EQ(g_settings.m_pMachines, nullptr);
    EXPECT_TRUE(RegisteredLanguageTable().empty());
}

TEST_F(MainFrameTest, WorkFolderThatCannotBeMadeIsNeitherUsedNorEmptied)
{
    m_program = std::make_unique<plat::ScratchProgram>();
    // A file stands where the folders' parent should be.
    m_program->Write("blocked", "a file");
    m_program->Write("workPath.txt", m_program->Root() + "blocked/work/\r\n");
    m_frame = std::make_unique<CMainFrame>();
    EXPECT_TRUE(m_frame->Create());
    EXPECT_TRUE(m_frame->WorkFolder().empty());
    EXPECT_TRUE(m_frame->FileFolder().empty());
    m_frame.reset();
    EXPECT_TRUE(m_program->Exists("blocked"));
}

TEST_F(MainFrameTest, KoreanPathToolControlsUseSongtiAndAMarkerlessTableIsReadFromItsStart)
{
    m_program = std::make_unique<plat::ScratchProgram>("");
    // The hex-coded name of the Korean language; its one string is "A".
    const std::string korean = "d55cad6dc758.txt";
    m_program->Write("Language/" + korean, "0041\r\n");
    m_program->Write("Language/Language", korean + "\r\n");
    m_frame = std::make_unique<CMainFrame>();
    ASSERT_TRUE(m_frame->Create());
    EXPECT_EQ(m_frame->AssistCombo()->font().family(), QStringLiteral("宋体"));
    EXPECT_EQ(m_frame->PathToolButton(32915)->font().family(), QStringLiteral("宋体"));
    // The property edits keep the label font.
    EXPECT_EQ(m_frame->PropertyEdit(32831, true)->font().family(), QStringLiteral("Arial"));
    // Without its markers the table is read from its start; texts beyond
    // its end keep the built-in ones.
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("A"));
    const QList<QAction*> menus = m_frame->menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("A"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("&View"));
    EXPECT_EQ(m_frame->Action(32901)->text(), QStringLiteral("&Open...\tCtrl+O"));
}
