// The application: one instance, start-up to a maximised window, the end of
// the run (restart only after the lock is free, never after a cancelled
// close), the command-line file, the end of the session, File, Open and the
// recent files.
#include "AppTestSupport.h"
#include "ModalWatch.h"
#include "app/AboutDlg.h"
#include "app/ChildFrame.h"
#include "qtplatform/DialogBase.h"
#include "app/DocumentManager.h"
#include "app/FileNames.h"
#include "app/MainFrame.h"
#include "app/OrvelApp.h"
#include "app/OrvelDoc.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "qtplatform/QtPrompt.h"
#include "app/RecentFileList.h"
#include "qtplatform/Resources.h"
#include "app/SignalCloser.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/CodePage.h"
#include "platform/ImportOptions.h"
#include "settings/LanguageTable.h"
#include "settings/SoftwareSettings.h"
#include "ui/ImportResolutionDlg.h"
#include "ui/QtImportOptions.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QLockFile>
#include <QPageSetupDialog>
#include <QTimer>

#include <csignal>
#include <functional>
#include <typeindex>

namespace {

class StubDocuments : public DocumentManager {
public:
    void NewDocument() override { ++m_new; }
    bool OpenDocumentFile(const std::string& path) override
    {
        m_opened.append(QString::fromStdString(path));
        return m_openResult;
    }
    bool SaveAllModified() override
    {
        ++m_asked;
        return m_asked > m_refusals;
    }
    int m_new = 0;
    int m_asked = 0;
    int m_refusals = 0;
    bool m_openResult = true;
    QStringList m_opened;
};

struct Launches {
    QStringList programs;
    std::vector<bool> lockWasFree;
};

COrvelApp::Launcher Recording(Launches& launches, const QString& lockPath)
{
    return [&launches, lockPath](const QString& program) {
        launches.programs.append(program);
        QLockFile probe(lockPath);
        launches.lockWasFree.push_back(probe.tryLock(0));
        return true;
    };
}

const QStringList kNoFile = {QStringLiteral("brenvik")};

using plat::ModalWatch;

} // namespace

TEST(OrvelApp, SecondInstanceEndsAtOnceWithStatusZeroAndNoMessage)
{
    plat::ScratchProgram program;
    plat::ScopedRecordingPrompt prompt;
    COrvelApp app(kNoFile);
    QLockFile first(app.LockFilePath());
    ASSERT_TRUE(first.tryLock(0));
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(app.MainFrame(), nullptr);
    EXPECT_TRUE(prompt.m_prompt.m_shown.empty());
    EXPECT_FALSE(program.Exists("MacInfo.par")); // ended before reading anything
}

TEST(OrvelApp, LockThatFailsForAnotherReasonIsReportedAndEndsTheProgram)
{
    plat::ScratchProgram program;
    plat::ScopedRecordingPrompt prompt;
    // A lock file name longer than any file name can be.
    QCoreApplication::setApplicationName(QString(300, QLatin1Char('b')));
    COrvelApp app(kNoFile);
    const QString path = app.LockFilePath();
    const int status = app.Run();
    QCoreApplication::setApplicationName(QStringLiteral("Brenvik"));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(app.MainFrame(), nullptr);
    ASSERT_EQ(prompt.m_prompt.m_shown.size(), 1u);
    EXPECT_NE(prompt.m_prompt.m_shown[0].text.find(path.toStdU16String()), std::u16string::npos);
}

TEST(OrvelApp, RunShowsTheFrameMaximisedAndRestartsOnlyOnceItClosedAndTheLockIsFree)
{
    plat::ScratchProgram program;
    plat::ScopedRecordingPrompt prompt;
    StubDocuments documents;
    Launches launches;
    COrvelApp app(kNoFile, Recording(launches, COrvelApp::LockFilePath()));
    app.SetDocumentManager(&documents);
    bool maximised = false;
    QTimer::singleShot(0, [&] {
        maximised = app.MainFrame()->isMaximized();
        EXPECT_TRUE(launches.programs.empty());
        app.RestartApplication();
    });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(maximised);
    EXPECT_EQ(documents.m_new, 1); // no file named: a new document
    ASSERT_EQ(launches.programs.size(), 1u);
    EXPECT_EQ(launches.programs[0], QCoreApplication::applicationFilePath());
    EXPECT_TRUE(launches.lockWasFree[0]);
}

TEST(OrvelApp, CancelledCloseRestartsNothing)
{
    plat::ScratchProgram program;
    plat::ScopedRecordingPrompt prompt;
    StubDocuments documents;
    documents.m_refusals = 1; // the first close is cancelled over unsaved work
    Launches launches;
    COrvelApp app(kNoFile, Recording(launches, COrvelApp::LockFilePath()));
    app.SetDocumentManager(&documents);
    QTimer::singleShot(0, [&] { app.RestartApplication(); });
    QTimer::singleShot(50, [&] {
        EXPECT_FALSE(app.MainFrame()->WasClosed());
        app.MainFrame()->Router().Execute(cmd::AppExit);
    });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(documents.m_asked, 2);
    EXPECT_TRUE(launches.programs.empty());
}

// Runs the steps once the program runs its own event loop (not one that
// start-up enters, as the reading of a command-line drawing does).
class InItsLoop {
public:
    InItsLoop(const COrvelApp& app, std::function<void()> steps)
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this, &app, steps = std::move(steps)] {
            if (!app.InEventLoop())
                return;
            m_timer.stop();
            steps();
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};

// Answers the questions in turn, Cancel once the answers run out, and keeps
// what each asked.
class AnswersInTurn : public plat::Prompt {
public:
    explicit AnswersInTurn(std::vector<int> answers) : m_answers(std::move(answers)) {}
    int MessageBox(const std::u16string& text, const std::u16string&, unsigned type) override
    {
        m_asked.push_back({text, type});
        const std::size_t n = m_asked.size() - 1;
        return n < m_answers.size() ? m_answers[n] : plat::IDCANCEL;
    }
    std::vector<std::pair<std::u16string, unsigned>> m_asked;

private:
    std::vector<int> m_answers;
};

// The restart a new language asks for ends the program as File, Exit does:
// an unsaved drawing is asked about with the same question first. Cancel
// there cancels the restart (the program, the drawing and its edits stay,
// nothing is started); No closes without saving and starts the program once.
TEST(OrvelApp, ALanguageRestartAsksAboutAnUnsavedDrawingAsExitDoesAndItsCancelCancelsIt)
{
    constexpr plat::UINT kLanguageCommand = 32864;
    plat::ScratchProgram program;
    // The report of the machine list a scratch program lacks; the restart
    // question, the drawing's question (Cancel); the same at File, Exit
    // (Cancel); then the restart again, and No for the drawing.
    AnswersInTurn prompt({plat::IDOK, plat::IDOK, plat::IDCANCEL, plat::IDCANCEL, plat::IDOK, plat::IDNO});
    plat::SetPrompt(&prompt);
    CDialogBase::SetModalAnswerForTesting([](CDialogBase&) { return plat::IDOK; });
    Launches launches;
    {
        COrvelApp app(kNoFile, Recording(launches, COrvelApp::LockFilePath()));
        OrvelDocManager documents(app);
        app.SetDocumentManager(&documents);
        const InItsLoop steps(app, [&] {
            ASSERT_EQ(documents.Frames().size(), 1u);
            COrvelDoc* doc = documents.Frames()[0]->Document();
            doc->SetModifiedFlag(true);
            CommandRouter& router = app.MainFrame()->Router();
            router.Execute(kLanguageCommand);
            ASSERT_TRUE(plat::WaitFor([&] { return prompt.m_asked.size() == 3; }));
            QCoreApplication::processEvents();
            EXPECT_FALSE(app.MainFrame()->WasClosed());
            EXPECT_EQ(documents.Frames().size(), 1u);
            EXPECT_TRUE(doc->IsModified());
            router.Execute(cmd::AppExit);
            ASSERT_EQ(prompt.m_asked.size(), 4u);
            EXPECT_FALSE(app.MainFrame()->WasClosed());
            router.Execute(kLanguageCommand);
        });
        EXPECT_EQ(app.Run(), 0);
    }
    CDialogBase::SetModalAnswerForTesting(nullptr);
    plat::SetPrompt(nullptr);
    ASSERT_EQ(prompt.m_asked.size(), 6u);
    // The drawing's question at the restart is the one File, Exit asks.
    EXPECT_EQ(prompt.m_asked[2], prompt.m_asked[3]);
    EXPECT_EQ(prompt.m_asked[5], prompt.m_asked[3]);
    // The drawing's number depends on how many came before in this process.
    const std::u16string& save = prompt.m_asked[2].first;
    EXPECT_TRUE(save.starts_with(u"Save changes to temp") && save.ends_with(u".wcvr?"));
    EXPECT_EQ(prompt.m_asked[2].second, plat::MB_YESNOCANCEL | plat::MB_ICONWARNING);
    EXPECT_EQ(prompt.m_asked[1].first, u"The new language takes effect after a restart. Restart now?");
    EXPECT_EQ(prompt.m_asked[4], prompt.m_asked[1]);
    ASSERT_EQ(launches.programs.size(), 1u);
    EXPECT_EQ(launches.lockWasFree, std::vector<bool>{true});
}

TEST(OrvelApp, CommandLineFileThatCannotBeOpenedIsNamedBeforeTheProgramEnds)
{
    plat::ScratchProgram program;
    plat::ScopedRecordingPrompt prompt;
    StubDocuments documents;
    documents.m_openResult = false;
    const QString file = QStringLiteral("/nowhere/drawing 7.dxf");
    COrvelApp app({QStringLiteral("brenvik"), QStringLiteral("-x"), file, QStringLiteral("second.dxf")});
    app.SetDocumentManager(&documents);
    EXPECT_EQ(app.Run(), 1);
    EXPECT_EQ(documents.m_opened, QStringList{file});
    EXPECT_EQ(documents.m_new, 0);
    ASSERT_FALSE(prompt.m_prompt.m_shown.empty());
    EXPECT_NE(prompt.m_prompt.m_shown.back().text.find(file.toStdU16String()), std::u16string::npos);
    // The lock went with the program.
    QLockFile probe(COrvelApp::LockFilePath());
    EXPECT_TRUE(probe.tryLock(0));
}

TEST(OrvelApp, EndOfSessionCancelsAnOpenModalBoxAndClosesTheProgram)
{
    plat::ScratchProgram program;
    plat::ScopedRecordingPrompt prompt;
    COrvelApp app(kNoFile);
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] {
            EXPECT_NE(QApplication::activeModalWidget(), nullptr);
            app.RequestEndOfSession();
        });
        app.MainFrame()->Router().Execute(cmd::AppAbout); // modal until cancelled
    });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_FALSE(program.Exists("work/default.ai"));
}

TEST(OrvelApp, SigtermWakesTheEventLoopAndCallsBack)
{
    int calls = 0;
    struct sigaction before {};
    ::sigaction(SIGTERM, nullptr, &before);
    {
        SignalCloser closer([&] { ++calls; });
        ASSERT_TRUE(closer.IsActive());
        ::raise(SIGTERM);
        ASSERT_TRUE(plat::WaitFor([&] { return calls > 0; }));
        EXPECT_EQ(calls, 1);
    }
    struct sigaction after {};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

// The README's first command with every question real. First start: the
// signal comes while the report of the missing machine list is open, and
// the drawing is not read after it. Second start: it comes while the
// resolution question is open, and the cancelled import is no failure to
// report. Both end at once with status 0.
TEST(OrvelApp, SigtermAtStartUpEndsTheOpenQuestionAndTheProgramWithStatusZero)
{
    plat::ScratchProgram program;
    QtPrompt prompt;
    plat::SetPrompt(&prompt);
    QtImportOptions options;
    plat::SetImportOptions(&options);
    for (const auto& expected : {std::vector<std::type_index>{typeid(QMessageBox)},
                                 std::vector<std::type_index>{typeid(CImportResolutionDlg)}}) {
        COrvelApp app({QStringLiteral("brenvik"), QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt")});
        OrvelDocManager documents(app);
        app.SetDocumentManager(&documents);
        SignalCloser closer([&app] { app.RequestEndOfSession(); });
        ModalWatch watch([](QWidget&, int) { ::raise(SIGTERM); });
        EXPECT_EQ(app.Run(), 0);
        EXPECT_EQ(watch.m_shown, expected);
        EXPECT_EQ(watch.m_leftOpen, 0);
        QLockFile probe(COrvelApp::LockFilePath());
        EXPECT_TRUE(probe.tryLock(0));
    }
    plat::SetImportOptions(nullptr);
    plat::SetPrompt(nullptr);
}

// A caller that asks again after its question was cancelled by the end of
// the session (an import with two questions) gets Cancel at once.
TEST(OrvelApp, QuestionAskedAfterTheEndOfSessionIsCancelledAsItShows)
{
    class TwoQuestions : public StubDocuments {
    public:
        bool OpenDocumentFile(const std::string&) override
        {
            CAboutDlg first;
            CAboutDlg second;
            const bool firstOk = first.DoModal() == plat::IDOK;
            return second.DoModal() == plat::IDOK && firstOk;
        }
    };
    plat::ScratchProgram program;
    plat::ScopedRecordingPrompt prompt;
    TwoQuestions documents;
    COrvelApp app({QStringLiteral("brenvik"), QStringLiteral("drawing.dxf")});
    app.SetDocumentManager(&documents);
    ModalWatch watch([&app](QWidget&, int index) {
        if (index == 0)
            app.RequestEndOfSession();
    });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(watch.m_shown, (std::vector<std::type_index>{typeid(CAboutDlg), typeid(CAboutDlg)}));
    EXPECT_EQ(watch.m_leftOpen, 0);
    for (const auto& shown : prompt.m_prompt.m_shown)
        EXPECT_EQ(shown.text.find(u"drawing.dxf"), std::u16string::npos) << "a cancelled start-up file is no failure";
}

// Unsaved work is asked about once per signal: the operator's Cancel keeps
// the session (later questions show again); a second signal while it is
// asked ends the session.
TEST(OrvelApp, SigtermWithUnsavedWorkAsksAndASecondSignalWhileAskingEndsIt)
{
    plat::ScratchProgram program;
    plat::ScopedRecordingPrompt quiet; // start-up reports
    QtPrompt prompt;
    COrvelApp app(kNoFile);
    OrvelDocManager documents(app);
    app.SetDocumentManager(&documents);
    SignalCloser closer([&app] { app.RequestEndOfSession(); });
    std::vector<QMessageBox::StandardButtons> asked;
    ModalWatch watch([&](QWidget& window, int index) {
        auto* box = qobject_cast<QMessageBox*>(&window);
        asked.push_back(box != nullptr ? box->standardButtons() : QMessageBox::NoButton);
        if (index == 0) {
            box->button(QMessageBox::Cancel)->click();
            QTimer::singleShot(0, [&] {
                EXPECT_FALSE(app.EndOfSessionRequested());
                app.MainFrame()->Router().Execute(cmd::AppAbout); // shown: the session goes on
            });
        } else if (index == 1) {
            ::raise(SIGTERM); // ends the About box, then asks again
        } else {
            ::raise(SIGTERM);
        }
    });
    QTimer::singleShot(0, [&] {
        plat::SetPrompt(&prompt);
        ASSERT_EQ(documents.Frames().size(), 1u);
        documents.Frames()[0]->Document()->SetModifiedFlag(true);
        ::raise(SIGTERM);
    });
    EXPECT_EQ(app.Run(), 0);
    plat::SetPrompt(nullptr);
    EXPECT_EQ(watch.m_leftOpen, 0);
    const auto question = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    EXPECT_EQ(asked, (std::vector<QMessageBox::StandardButtons>{question, QMessageBox::NoButton, question}));
}

TEST(OrvelApp, OpenTakesCapitalExtensionsAndRemembersTheFolder)
{
    plat::ScratchProgram program;
    plat::ScopedRecordingPrompt prompt;
    std::filesystem::create_directories(program.Root() + "in");
    program.Write("in/PART.DXF", "0\r\nEOF\r\n");
    program.Write("in/notes.txt", "text");
    StubDocuments documents;
    COrvelApp app(kNoFile);
    app.SetDocumentManager(&documents);
    auto choose = [](const QString& file) {
        QTimer::singleShot(0, [file] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->selectFile(file);
            QMetaObject::invokeMethod(dialog, "accept");
        });
    };
    const QString folder = QString::fromStdString(program.Root()) + QStringLiteral("in/");
    choose(folder + QStringLiteral("PART.DXF"));
    app.OnFileOpen();
    EXPECT_EQ(documents.m_opened, QStringList{folder + QStringLiteral("PART.DXF")});
    EXPECT_EQ(QString::fromStdString(g_settings.open_file_dir), folder);
    EXPECT_TRUE(program.Exists("software.par"));

    // A file of another type is refused with a message naming it, and the
    // dialog stays open until it is cancelled.
    bool stayedOpen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(folder + QStringLiteral("notes.txt"));
        QMetaObject::invokeMethod(dialog, "accept");
        stayedOpen = dialog->isVisible();
        dialog->reject();
    });
    app.OnFileOpen();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(documents.m_opened.size(), 1);
    ASSERT_EQ(prompt.m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(prompt.m_prompt.m_shown[0].text,
              (u"Cannot open the file " + (folder + QStringLiteral("notes.txt")).toStdU16String() +
               u": Brenvik does not read files of this type."));

    const QStringList filters = COrvelApp::OpenDialogFilters();
    ASSERT_EQ(filters.size(), 11);
    EXPECT_EQ(filters[3], QStringLiteral("DXF-AutoCAD (*.[dD][xX][fF])"));
}

TEST(OrvelApp, PrintSetupShowsThePageSetupDialog)
{
    plat::ScratchProgram program;
    plat::ScopedRecordingPrompt prompt;
    COrvelApp app(kNoFile);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QPageSetupDialog*>(QApplication::activeModalWidget());
        shown = dialog != nullptr;
        if (dialog != nullptr)
            dialog->reject();
    });
    EXPECT_TRUE(app.OnCommand(cmd::FilePrintSetup));
    EXPECT_TRUE(shown);
}

TEST(OrvelApp, RecentFilesKeepTheFourLatestFirstAcrossRuns)
{
    {
        RecentFileList list(QStringLiteral("BrenvikRecentTest"));
        for (const char* f : {"/a.dxf", "/b.plt", "/c.ai", "/d.bmp", "/e.dst", "/c.ai"})
            list.Add(QString::fromLatin1(f));
        EXPECT_EQ(list.Files(), (QStringList{"/c.ai", "/e.dst", "/d.bmp", "/b.plt"}));
    }
    RecentFileList again(QStringLiteral("BrenvikRecentTest"));
    EXPECT_EQ(again.Files(), (QStringList{"/c.ai", "/e.dst", "/d.bmp", "/b.plt"}));
    again.Remove(1);
    again.Remove(7);
    EXPECT_EQ(RecentFileList(QStringLiteral("BrenvikRecentTest")).Files(),
              (QStringList{"/c.ai", "/d.bmp", "/b.plt"}));
}

// Names are the file system's bytes: the recent list keeps one that is no
// UTF-8 across runs (and a text one as text, as it always did); whole names
// are made from relative ones as written. A name the file dialog gives
// back with U+FFFD for such bytes names no file and is refused with its
// message; one naming a file passes as its bytes.
TEST(OrvelApp, FileNamesStayBytesAndADialogNameThatNamesNoFileIsRefused)
{
    plat::ScratchProgram program;
    plat::ScopedRecordingPrompt prompt;
    const std::string odd = "/drawings/plan\xFF.dxf";
    {
        RecentFileList list(QStringLiteral("BrenvikRecentBytesTest"));
        list.Add(odd);
        list.Add(std::string("/drawings/plan.dxf"));
    }
    const RecentFileList again(QStringLiteral("BrenvikRecentBytesTest"));
    EXPECT_EQ(again.Paths(), (std::vector<std::string>{"/drawings/plan.dxf", odd}));
    EXPECT_EQ(again.Files()[1], QStringLiteral("/drawings/plan\uFFFD.dxf"));
    EXPECT_EQ(AbsoluteFileName("/a/./b//../c\xFF.dxf"), "/a/c\xFF.dxf");
    EXPECT_EQ(AbsoluteFileName("x.dxf"), QDir::currentPath().toStdString() + "/x.dxf");

    std::vector<std::u16string> table(kLanguageTableSize);
    table[0] = u"phase15:error-hint";
    table[1 + 48] = u"cannot hold";
    SetLanguageTable(table);
    std::string name;
    EXPECT_FALSE(ChosenFileName(QString::fromStdString(program.Root()) + QStringLiteral("plan\uFFFD.dxf"), name));
    ASSERT_EQ(prompt.m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(prompt.m_prompt.m_shown[0].text, u"cannot hold");
    program.Write("plan\xEF\xBF\xBD.dxf", "a file really named with U+FFFD");
    EXPECT_TRUE(ChosenFileName(QString::fromStdString(program.Root()) + QStringLiteral("plan\uFFFD.dxf"), name));
    EXPECT_EQ(name, program.Root() + "plan\xEF\xBF\xBD.dxf");
    EXPECT_EQ(prompt.m_prompt.m_shown.size(), 1u);
    SetLanguageTable({});
}

// The README's first command: the program started on the sample drawing
// shows it in one document window, fitted to its objects.
TEST(OrvelApp, StartedOnTheSampleDrawingItShowsItFittedToItsObjects)
{
    plat::ScratchProgram program;
    plat::ScopedRecordingPrompt prompt;
    const QString sample = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    COrvelDoc::ResetTitleCountersForTesting();
    COrvelApp app({QStringLiteral("brenvik"), sample});
    OrvelDocManager documents(app);
    app.SetDocumentManager(&documents);
    // Checked once the drawing read at start-up is shown.
    const InItsLoop steps(app, [&] {
        ASSERT_EQ(documents.Frames().size(), 1u);
        COrvelView* view = documents.Frames()[0]->View();
        ASSERT_TRUE(plat::WaitFor([&] { return view->BufferCreations() > 0; }));
        const DOCCONTEXT& ctx = view->Context();
        // 120 mm x 80 mm placed at the machine origin: the box (500000,
        // 500000) to (501200, 500800), fitted to the client area as shown.
        CGeoBox box;
        ctx.m_pCurrent->GetAllObjectsRect(box);
        EXPECT_EQ(box.m_xmin, 500000.0);
        EXPECT_EQ(box.m_xmax, 501200.0);
        EXPECT_EQ(box.m_ymin, 500000.0);
        EXPECT_EQ(box.m_ymax, 500800.0);
        const QSize client = view->ClientSize();
        const double s = std::min(client.width() / 1200.0, client.height() / 800.0);
        EXPECT_DOUBLE_EQ(ctx.m_dZoom, s - s / 15.0);
        // The plate's far corner is painted in the drawing's colour.
        const plat::POINT corner = ctx.WorldToClientPixel(501200.0, 500800.0);
        const QRgb colour = view->ScreenImage().pixel(corner.x, corner.y) & 0xFFFFFF;
        const COLORREF c = ctx.m_pCurrent->m_pFirst->m_nColor;
        EXPECT_EQ(colour, qRgb(plat::GetRValue(c), plat::GetGValue(c), plat::GetBValue(c)) & 0xFFFFFFu);
        EXPECT_EQ(view->Context().m_strTitle,
                  QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate0.wcvr").toStdU16String());
        app.CloseMainWindow();
    });
    EXPECT_EQ(app.Run(), 0);
}

// Every open from the recent list that fails says so once, naming the file
// and the reason, and drops the entry; a question the operator cancels is
// no failure: nothing is said and the entry stays. A command-line file that
// cannot be opened is named with its reason before the program ends.
TEST(OrvelApp, EachFailedOpenNamesTheFileAndWhyAndACancelledQuestionKeepsTheRecentEntry)
{
    plat::ScratchProgram program;
    plat::ScopedRecordingPrompt prompt;
    plat::RecordingImportOptions options;
    plat::SetImportOptions(&options);
    const std::string in = program.Root() + "in/";
    std::filesystem::create_directories(in + "folder.dxf");
    program.Write("in/empty.dxf", "");
    program.Write("in/blank.plt", "IN;SP0;");
    program.Write("in/job.out", "job");
    program.Write("in/part.dxf", "0\r\nEOF\r\n");
    const std::vector<std::pair<std::string, std::u16string>> cases = {
        {"missing.plt", u": it does not exist."},
        {"job.out", u": Brenvik does not read files of this type."},
        {"empty.dxf", u": it is empty."},
        {"blank.plt", u": it is damaged or holds no drawing."},
    };
    COrvelApp app(kNoFile);
    OrvelDocManager documents(app);
    app.SetDocumentManager(&documents);
    QTimer::singleShot(0, [&] {
        RecentFileList& recent = *app.RecentFiles();
        const auto openFirst = [&](const std::string& name) {
            recent.Add(QString::fromStdString(in + name));
            prompt.m_prompt.m_shown.clear();
            app.OnCommand(cmd::FileMru1);
            return std::vector<plat::RecordingPrompt::Shown>(prompt.m_prompt.m_shown);
        };
        for (const auto& [name, why] : cases) {
            const std::vector<plat::RecordingPrompt::Shown> shown = openFirst(name);
            ASSERT_EQ(shown.size(), 1u) << name;
            EXPECT_EQ(shown[0].text, u"Cannot open the file " + plat::Utf8ToUtf16(in + name) + why);
            EXPECT_FALSE(recent.Files().contains(QString::fromStdString(in + name))) << name;
        }
        const std::vector<plat::RecordingPrompt::Shown> folder = openFirst("folder.dxf");
        ASSERT_EQ(folder.size(), 1u);
        EXPECT_EQ(folder[0].text, u"Cannot open " + plat::Utf8ToUtf16(in + "folder.dxf") + u": it is not a file.");

        options.m_answer = plat::IDCANCEL;
        EXPECT_TRUE(openFirst("part.dxf").empty());
        EXPECT_EQ(options.m_dimensionsShown.size(), 2u) << "asked for empty.dxf and part.dxf";
        EXPECT_EQ(recent.Files().front(), QString::fromStdString(in + "part.dxf"));
        EXPECT_EQ(documents.Frames().size(), 1u) << "the start's new document alone";
        while (!recent.Files().isEmpty())
            recent.Remove(0);
        app.CloseMainWindow();
    });
    EXPECT_EQ(app.Run(), 0);

    prompt.m_prompt.m_shown.clear();
    COrvelApp started({QStringLiteral("brenvik"), QString::fromStdString(in + "empty.dxf")});
    OrvelDocManager startedDocuments(started);
    started.SetDocumentManager(&startedDocuments);
    options.m_answer = plat::IDOK;
    EXPECT_EQ(started.Run(), 1);
    ASSERT_EQ(prompt.m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(prompt.m_prompt.m_shown[0].text, u"Cannot open the file " + plat::Utf8ToUtf16(in + "empty.dxf") + u": it is empty.");
    plat::SetImportOptions(nullptr);
}

// A change of language restarts the program the way File, Exit closes it:
// a drawing with unsaved changes is asked about; Cancel there keeps the
// program running and starts nothing, No lets it close and start anew.
TEST(OrvelApp, LanguageRestartAsksAboutUnsavedDrawingsAndItsCancelKeepsTheProgram)
{
    plat::ScratchProgram program;
    struct Answers : plat::Prompt {
        int MessageBox(const std::u16string&, const std::u16string&, unsigned type) override
        {
            if ((type & 0xF) != plat::MB_YESNOCANCEL)
                return plat::IDOK;
            ++saveQuestions;
            return saveAnswer;
        }
        int saveAnswer = plat::IDCANCEL;
        int saveQuestions = 0;
    } prompt;
    plat::SetPrompt(&prompt);
    Launches launches;
    COrvelApp app(kNoFile, Recording(launches, COrvelApp::LockFilePath()));
    OrvelDocManager documents(app);
    app.SetDocumentManager(&documents);
    CDialogBase::SetModalAnswerForTesting([](CDialogBase&) { return plat::IDOK; });
    bool keptAfterCancel = false;
    QTimer::singleShot(0, [&] {
        ASSERT_EQ(documents.Frames().size(), 1u);
        CDocState::PushHistory(&documents.Frames()[0]->Document()->Context());
        app.MainFrame()->Router().Execute(32864);
        ASSERT_TRUE(plat::WaitFor([&] { return prompt.saveQuestions == 1; }));
        QCoreApplication::processEvents();
        keptAfterCancel = !app.MainFrame()->WasClosed() && documents.Frames().size() == 1u && launches.programs.empty();
        prompt.saveAnswer = plat::IDNO;
        app.MainFrame()->Router().Execute(32864);
    });
    EXPECT_EQ(app.Run(), 0);
    CDialogBase::SetModalAnswerForTesting({});
    plat::SetPrompt(nullptr);
    EXPECT_TRUE(keptAfterCancel);
    EXPECT_EQ(prompt.saveQuestions, 2);
    EXPECT_EQ(launches.programs.size(), 1);
}
