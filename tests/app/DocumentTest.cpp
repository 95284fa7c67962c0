// Documents and their windows: titles numbered per run, opening through the
// import dispatcher (a failed import leaves no window), Save writing HPGL
// under the name asked for, the modified flag that makes close and quit ask,
// the document menu while a document is open, the work panel's hooks, and
// the palette message on its way to the current tool.
#include "AppTestSupport.h"
#include "app/ChildFrame.h"
#include "app/ColorPaletteBar.h"
#include "app/MainFrame.h"
#include "app/OrvelDoc.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "app/RecentFileList.h"
#include "qtplatform/Resources.h"
#include "importexport/FileTransPlt.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/SoftwareSettings.h"

#include <QFileDialog>
#include <QMdiArea>
#include <QMenu>
#include <QKeySequence>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <filesystem>

namespace {

// A tool that notes what the view asks of it.
class NotingTool : public CDocState {
public:
    void SetSelectionColor(DOCCONTEXT* ctx) override { m_colours.push_back(ctx->m_pSettings->m_nCurLayer); }
    void Reset(std::uint32_t mode, DOCCONTEXT*) override { m_resets.push_back(static_cast<int>(mode)); }
    std::vector<int> m_colours;
    std::vector<int> m_resets;
};
std::vector<NotingTool*> g_madeTools;
CDocState* MakeNotingTool(int)
{
    g_madeTools.push_back(new NotingTool);
    return g_madeTools.back();
}

class StubPanel : public WorkPanel, public WorkPanelPages, public CommandMap {
public:
    QWidget* PanelWidget() override { return nullptr; }
    void OnPortError() override {}
    WorkPanelPages* Pages() override { return this; }
    bool OnCommand(plat::UINT id) override { return CommandMap::OnCommand(id); }
    bool OnUpdateCommand(CmdUI& ui) override { return CommandMap::OnUpdateCommand(ui); }
    int CurrentTab() const override { return 0; }
    void SetOwner(DOCCONTEXT* ctx, plat::ViewWindow* view) override
    {
        m_owner = ctx;
        m_view = view;
    }
    void ClearOwner() override
    {
        m_owner = nullptr;
        m_view = nullptr;
        ++m_clears;
    }
    void RefreshSelectionPage() override {}
    void RefreshLayerList() override {}
    void RefreshOrderList() override {}
    bool AddOptionalPage(int, DOCCONTEXT*, plat::ViewWindow*) override { return false; }
    bool RemoveOptionalPage(int) override { return false; }
    DOCCONTEXT* m_owner = nullptr;
    plat::ViewWindow* m_view = nullptr;
    int m_clears = 0;
};

// A small HPGL drawing: one 10 mm x 5 mm outline at 1016 dots per inch.
constexpr const char* kDrawing = "IN;SP1;PU0,0;PD400,0,400,200,0,200,0,0;SP0;";

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override { Make(plat::kEnglishFile); }
    void Make(const std::string& language)
    {
        COrvelDoc::ResetTitleCountersForTesting();
        m_program = std::make_unique<plat::ScratchProgram>(language);
        std::filesystem::create_directories(m_program->Root() + "drawings");
        m_program->Write("drawings/x.plt", kDrawing);
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->Create());
        m_frame->resize(1000, 800);
        m_frame->show();
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame.get()));
        // The new machine list is reported at the frame's start.
        m_prompt.m_prompt.m_shown.clear();
        m_manager = std::make_unique<OrvelDocManager>([this] { return m_frame.get(); }, [this] { return &m_recent; });
        COrvelDoc::SetSaveNameChooser([this](const std::string& folder, std::string& path, bool& first) {
            m_askedIn.push_back(folder);
            if (m_saveAs.empty())
                return false;
            path = m_saveAs;
            first = m_firstFilter;
            return true;
        });
    }
    void TearDown() override
    {
        COrvelDoc::SetSaveNameChooser(nullptr);
        COrvelDoc::SetToolFactory(nullptr);
        m_frame.reset();
        m_manager.reset();
        m_program.reset();
    }
    std::string Path(const std::string& relative) const { return m_program->Root() + relative; }
    std::vector<CChildFrame*> Frames() const { return m_manager->Frames(); }
    // Closed windows are deleted once control is back in the event loop.
    bool WaitForFrames(std::size_t count)
    {
        const bool gone = plat::WaitFor([&] { return Frames().size() == count; });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return gone;
    }

    plat::ScopedRecordingPrompt m_prompt;
    std::unique_ptr<plat::ScratchProgram> m_program;
    std::unique_ptr<CMainFrame> m_frame;
    RecentFileList m_recent{QStringLiteral("BrenvikDocumentTest")};
    std::unique_ptr<OrvelDocManager> m_manager;
    std::string m_saveAs;
    bool m_firstFilter = true;
    std::vector<std::string> m_askedIn;
};

} // namespace

TEST_F(DocumentTest, NewDocumentsAndOpenedFilesAreNumberedEachFromZero)
{
    m_manager->NewDocument();
    m_manager->NewDocument();
    const QString file = QString::fromStdString(Path("drawings/x.plt"));
    ASSERT_TRUE(m_manager->OpenDocumentFile(file));
    ASSERT_TRUE(m_manager->OpenDocumentFile(file));
    const std::vector<CChildFrame*> frames = Frames();
    ASSERT_EQ(frames.size(), 4u);
    const std::u16string stem = QString::fromStdString(Path("drawings/x")).toStdU16String();
    const std::vector<std::u16string> titles = {u"temp0.wcvr", u"temp1.wcvr", stem + u"0.wcvr", stem + u"1.wcvr"};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i]->Document()->Context().m_strTitle, titles[i]);
        EXPECT_EQ(frames[i]->Document()->GetTitle(), titles[i]);
        EXPECT_EQ(frames[i]->windowTitle().toStdU16String(), titles[i]);
        EXPECT_FALSE(frames[i]->Document()->IsModified());
    }
    // The active window is maximised, as every document window is when active.
    EXPECT_EQ(m_frame->MdiArea()->activeSubWindow(), frames[3]);
    EXPECT_TRUE(frames[3]->isMaximized());
    ASSERT_FALSE(m_recent.Files().isEmpty());
    EXPECT_EQ(m_recent.Files().front(), file);
    // The opened drawing was imported, its objects left selected.
    EXPECT_NE(frames[3]->Document()->Context().m_pCurrent->m_pFirst, nullptr);

    // A missing file, an unknown extension, a file without a path and a
    // folder open nothing, leave no window and use up no file number.
    m_program->Write("drawings/notes.txt", "text");
    m_program->Write("drawings/empty.plt", "IN;SP0;");
    for (const char* bad : {"drawings/missing.plt", "drawings/notes.txt", "drawings/empty.plt", "drawings"})
        EXPECT_FALSE(m_manager->OpenDocumentFile(QString::fromStdString(Path(bad)))) << bad;
    ASSERT_EQ(Frames().size(), 4u);
    EXPECT_EQ(m_recent.Files().front(), file);
    ASSERT_TRUE(m_manager->OpenDocumentFile(file));
    EXPECT_EQ(Frames().back()->Document()->Context().m_strTitle, stem + u"2.wcvr");
}

TEST_F(DocumentTest, SaveAsksForANameEachTimeAndAddsTheExtensionOnlyForThePltFilter)
{
    ASSERT_TRUE(m_manager->OpenDocumentFile(QString::fromStdString(Path("drawings/x.plt"))));
    COrvelDoc* doc = Frames()[0]->Document();
    std::filesystem::create_directories(Path("out"));

    m_saveAs = Path("out/a");
    ASSERT_TRUE(doc->OnFileSave());
    EXPECT_TRUE(std::filesystem::exists(Path("out/a.plt")));
    EXPECT_EQ(g_settings.open_file_dir, Path("out/"));
    m_saveAs = Path("out/b.PLT");
    ASSERT_TRUE(doc->OnFileSave());
    EXPECT_TRUE(std::filesystem::exists(Path("out/b.PLT")));
    EXPECT_FALSE(std::filesystem::exists(Path("out/b.PLT.plt")));
    m_saveAs = Path("out/c");
    m_firstFilter = false;
    ASSERT_TRUE(m_frame->Router().Execute(cmd::FileSaveAs));
    EXPECT_TRUE(std::filesystem::exists(Path("out/c")));
    EXPECT_EQ(m_askedIn.size(), 3u);
    EXPECT_EQ(m_askedIn.back(), Path("out/"));

    // What was written is the drawing in HPGL, maker word first.
    std::string bytes;
    ASSERT_TRUE(plat::ReadWholeFile(Path("out/a.plt"), bytes));
    EXPECT_LT(bytes.find(kPltMakerWord), bytes.find('\n'));
    EXPECT_NE(bytes.find("PD"), std::string::npos);
    EXPECT_TRUE(m_prompt.m_prompt.m_shown.empty()) << "nothing existed, nothing was asked";
}

// The real dialog: it opens in the remembered folder with the one HPGL
// filter and takes an existing file without a question of its own (the
// writer asks before replacing).
TEST_F(DocumentTest, TheSaveDialogStartsInTheFolderAndLeavesTheReplaceQuestionToTheWriter)
{
    std::filesystem::create_directories(Path("out"));
    m_program->Write("out/old.plt", "old");
    std::string path;
    bool first = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("PLT-HPGL Plotter File(*.plt)")});
        EXPECT_EQ(dialog->directory().absolutePath(), QString::fromStdString(Path("out")));
        dialog->selectFile(QStringLiteral("old.plt"));
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept, as the Save button runs it
    });
    ASSERT_TRUE(COrvelDoc::AskSaveName(Path("out/"), path, first));
    EXPECT_EQ(path, Path("out/old.plt"));
    EXPECT_TRUE(first);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(DocumentTest, AnEditMakesCloseAskAndEveryAnswerIsHonoured)
{
    ASSERT_TRUE(m_manager->OpenDocumentFile(QString::fromStdString(Path("drawings/x.plt"))));
    CChildFrame* frame = Frames()[0];
    COrvelDoc* doc = frame->Document();
    // An unchanged document closes without a question.
    EXPECT_TRUE(doc->SaveModified());
    EXPECT_TRUE(m_prompt.m_prompt.m_shown.empty());

    ASSERT_TRUE(CDocState::PushHistory(&doc->Context()));
    EXPECT_TRUE(doc->IsModified());

    m_prompt.m_prompt.m_answer = plat::IDCANCEL;
    frame->close();
    QCoreApplication::processEvents();
    ASSERT_EQ(Frames().size(), 1u);
    ASSERT_EQ(m_prompt.m_prompt.m_shown.size(), 1u);
    const std::u16string question =
        u"Save changes to " + QString::fromStdString(Path("drawings/x0.wcvr")).toStdU16String() + u"?";
    EXPECT_EQ(m_prompt.m_prompt.m_shown[0].text, question);
    EXPECT_EQ(m_prompt.m_prompt.m_shown[0].type, plat::MB_YESNOCANCEL | plat::MB_ICONWARNING);

    // Yes, then the save dialog is cancelled: the document stays.
    m_prompt.m_prompt.m_answer = plat::IDYES;
    m_frame->Router().Execute(cmd::FileClose);
    QCoreApplication::processEvents();
    ASSERT_EQ(Frames().size(), 1u);
    EXPECT_EQ(m_askedIn.size(), 1u);

    // Yes, and the writer's question before replacing a file is not
    // answered OK: it stays too.
    m_program->Write("out.plt", "old");
    m_saveAs = Path("out.plt");
    frame->close();
    QCoreApplication::processEvents();
    ASSERT_EQ(Frames().size(), 1u);
    ASSERT_EQ(m_prompt.m_prompt.m_shown.size(), 4u);
    EXPECT_EQ(m_prompt.m_prompt.m_shown[3].type, plat::MB_OKCANCEL | plat::MB_ICONWARNING);
    EXPECT_TRUE(doc->IsModified());

    // No: closed, nothing written.
    m_prompt.m_prompt.m_answer = plat::IDNO;
    frame->close();
    ASSERT_TRUE(WaitForFrames(0));
    std::string bytes;
    ASSERT_TRUE(plat::ReadWholeFile(Path("out.plt"), bytes));
    EXPECT_EQ(bytes, "old");
}

TEST_F(DocumentTest, ASuccessfulSaveClearsTheFlagAndQuitAsksEveryChangedDocument)
{
    ASSERT_TRUE(m_manager->OpenDocumentFile(QString::fromStdString(Path("drawings/x.plt"))));
    m_manager->NewDocument();
    COrvelDoc* drawing = Frames()[0]->Document();
    COrvelDoc* empty = Frames()[1]->Document();
    EXPECT_TRUE(m_manager->SaveAllModified());

    // An undo counts as a change; a nudge that takes no undo step too.
    ASSERT_TRUE(CDocState::PushHistory(&drawing->Context()));
    ASSERT_TRUE(CDocState::Undo(&drawing->Context()));
    EXPECT_TRUE(drawing->IsModified());
    empty->Context().NoteChange();
    EXPECT_TRUE(empty->IsModified());

    m_prompt.m_prompt.m_answer = plat::IDCANCEL;
    EXPECT_FALSE(m_manager->SaveAllModified());
    EXPECT_EQ(m_prompt.m_prompt.m_shown.size(), 1u) << "the first cancel ends the round";

    m_prompt.m_prompt.m_answer = plat::IDYES;
    m_prompt.m_prompt.m_shown.clear();
    // The drawing is saved; the empty one is asked about, its save dialog
    // cancelled: the program stays.
    m_saveAs = Path("saved.plt");
    COrvelDoc::SetSaveNameChooser([this](const std::string&, std::string& path, bool& first) {
        if (m_askedIn.size() > 0)
            return false;
        m_askedIn.push_back("drawing");
        path = m_saveAs;
        first = true;
        return true;
    });
    EXPECT_FALSE(m_manager->SaveAllModified());
    EXPECT_FALSE(drawing->IsModified());
    EXPECT_TRUE(empty->IsModified());
    EXPECT_TRUE(std::filesystem::exists(Path("saved.plt")));
    EXPECT_EQ(m_prompt.m_prompt.m_shown.size(), 2u);

    m_prompt.m_prompt.m_answer = plat::IDNO;
    EXPECT_TRUE(m_manager->SaveAllModified());
}

TEST_F(DocumentTest, TheDocumentMenuShowsWithItsTextsWhileADocumentIsOpen)
{
    TearDown();
    Make(plat::kChineseFile);
    EXPECT_EQ(m_frame->ShownMenu(), 128);
    m_manager->NewDocument();
    EXPECT_EQ(m_frame->ShownMenu(), 129);
    EXPECT_EQ(m_frame->menuBar()->actions().size(), 7);
    EXPECT_EQ(m_frame->TopMenu(129, 0)->title(), QStringLiteral("文件"));
    EXPECT_EQ(m_frame->TopMenu(129, 4)->title(), QStringLiteral("工具"));
    EXPECT_EQ(m_frame->TopMenu(129, 5)->title(), QStringLiteral("窗口"));
    // Close shows the platform's standard key after its text.
    const QString closeKey = QKeySequence::keyBindings(QKeySequence::Close).value(0).toString(QKeySequence::NativeText);
    EXPECT_EQ(m_frame->Action(cmd::FileClose)->text(),
              QStringLiteral("关闭") + (closeKey.isEmpty() ? QString() : QLatin1Char('\t') + closeKey));
    EXPECT_EQ(m_frame->Action(32936)->text(), QStringLiteral("位图反色"));
    EXPECT_TRUE(m_frame->Router().Update(cmd::FileSave).m_bEnabled);
    EXPECT_TRUE(m_frame->Router().Update(cmd::FileClose).m_bEnabled);
    // Print and Print Preview have no handler.
    EXPECT_FALSE(m_frame->Router().Update(cmd::FilePrint).m_bEnabled);

    m_frame->Router().Execute(cmd::FileClose);
    ASSERT_TRUE(WaitForFrames(0));
    ASSERT_TRUE(plat::WaitFor([&] { return m_frame->ShownMenu() == 128; }));
    EXPECT_FALSE(m_frame->Router().Update(cmd::FileSave).m_bEnabled);
}

TEST_F(DocumentTest, ActivationHandsTheDocumentToThePanelAndTheLastCloseTakesItBack)
{
    StubPanel panel;
    m_frame->SetWorkPanel(&panel);
    m_manager->NewDocument();
    m_manager->NewDocument();
    const std::vector<CChildFrame*> frames = Frames();
    EXPECT_EQ(panel.m_owner, &frames[1]->Document()->Context());
    EXPECT_EQ(panel.m_view, static_cast<plat::ViewWindow*>(frames[1]->View()));

    frames[1]->close();
    ASSERT_TRUE(WaitForFrames(1));
    EXPECT_EQ(panel.m_clears, 0);
    EXPECT_EQ(panel.m_owner, &frames[0]->Document()->Context()) << "the remaining document is handed over";

    frames[0]->close();
    ASSERT_TRUE(WaitForFrames(0));
    EXPECT_EQ(panel.m_clears, 1);
    EXPECT_EQ(panel.m_owner, nullptr);
    m_frame->SetWorkPanel(nullptr);
}

TEST_F(DocumentTest, ThePaletteIndexReachesTheCurrentToolThroughTheWindowAndTheView)
{
    g_madeTools.clear();
    COrvelDoc::SetToolFactory(&MakeNotingTool);
    ASSERT_TRUE(m_manager->OpenDocumentFile(QString::fromStdString(Path("drawings/x.plt"))));
    ASSERT_EQ(g_madeTools.size(), 9u);
    // The open left the import selected: the select tool was reset in mode 1.
    EXPECT_EQ(g_madeTools[0]->m_resets, std::vector<int>{1});

    const std::int32_t saved = g_settings.m_nCurLayer;
    CChildFrame* frame = Frames()[0];
    EXPECT_EQ(frame->SendMessage(CChildFrame::kMsgPaletteIndex, 0, 7), 0);
    EXPECT_EQ(g_settings.m_nCurLayer, 7);
    EXPECT_EQ(g_madeTools[0]->m_colours, std::vector<int>{7});
    g_settings.m_nCurLayer = saved;
}

TEST_F(DocumentTest, AClickOnThePaletteBarReachesTheActiveWindowsToolAndWithoutOneOnlyTheBarChanges)
{
    g_madeTools.clear();
    COrvelDoc::SetToolFactory(&MakeNotingTool);
    const std::int32_t saved = g_settings.m_nCurLayer;
    CColorPaletteBar* bar = m_frame->PaletteBar();
    ASSERT_NE(bar, nullptr);
    bar->RecalcLayout(QRect(0, 0, 650, CColorPaletteBar::kHeight));

    // No document window: the index stays with the bar.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(179, 22));
    EXPECT_EQ(bar->CurrentIndex(), 2);
    EXPECT_EQ(g_settings.m_nCurLayer, saved);

    ASSERT_TRUE(m_manager->OpenDocumentFile(QString::fromStdString(Path("drawings/x.plt"))));
    ASSERT_FALSE(g_madeTools.empty());
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(147, 22));
    EXPECT_EQ(bar->CurrentIndex(), 1);
    EXPECT_EQ(g_settings.m_nCurLayer, 1);
    EXPECT_EQ(g_madeTools[0]->m_colours, std::vector<int>{1});
    // Between two cells: nothing is sent.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(131, 22));
    EXPECT_EQ(g_madeTools[0]->m_colours, std::vector<int>{1});
    g_settings.m_nCurLayer = saved;
}

// What a plug-in left in the work folder becomes the first new document's
// drawing; a second new document of the same run starts empty although the
// list is still there, and a list whose entry is gone is reported.
TEST_F(DocumentTest, OnlyTheFirstNewDocumentTakesTheHandOver)
{
    m_program->Write("work/default.ai", "%AI5_BeginLayer\n0 0 m\n72 72 L\nS\n");
    m_program->Write("work/cor.param", "default.ai\r\nmax\r\n 25.4\r\n 25.4\r\nmin\r\n 0\r\n 0\r\n"
                                       "gone.bmp\r\n 0\r\n 0\r\nsize\r\n 1\r\n 1\r\n");
    m_manager->NewDocument();
    m_manager->NewDocument();
    const std::vector<CChildFrame*> frames = Frames();
    ASSERT_EQ(frames.size(), 2u);
    const CDocData* first = frames[0]->Document()->Context().m_pCurrent->m_pFirst;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->m_pNext, nullptr);
    EXPECT_EQ(first->IsSelected(), 1);
    EXPECT_NEAR(first->m_rcBound.m_xmin, kWorldOrigin, 1e-6);
    EXPECT_NEAR(first->m_rcBound.m_ymin, kWorldOrigin, 1e-6);
    EXPECT_FALSE(frames[0]->Document()->IsModified());
    EXPECT_EQ(frames[1]->Document()->Context().m_pCurrent->m_pFirst, nullptr);
    EXPECT_TRUE(m_program->Exists("work/cor.param"));
    ASSERT_EQ(m_prompt.m_prompt.m_shown.size(), 1u);
    EXPECT_NE(m_prompt.m_prompt.m_shown[0].text.find(u"gone.bmp"), std::u16string::npos);
}
