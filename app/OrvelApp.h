// The application: one running instance per user, the main frame, the
// application-level commands (New, Open, Print Setup, About, Exit, the
// recent files) and the restart after a change of language.
#pragma once
#include "qtplatform/CommandRouter.h"
#include "importexport/FileReadTrans.h"

#include <QCoreApplication>
#include <QLockFile>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CMainFrame;
class DocumentManager;
class QPrinter;
class RecentFileList;
class WorkPanel;

class COrvelApp : public QObject, public CommandMap {
public:
    // Starts a program file as a new process, without arguments.
    using Launcher = std::function<bool(const QString& program)>;
    // Makes the docked work panel of a frame that has just been built, as a
    // child of the frame; null for none.
    using WorkPanelMaker = std::function<WorkPanel*(CMainFrame& frame)>;

    // The command line as the process got it, in bytes (program first):
    // Arguments(argc, argv); without a launcher QProcess::startDetached is
    // used.
    explicit COrvelApp(std::vector<std::string> arguments, Launcher launcher = {});
    // The same from text (names that are UTF-8).
    explicit COrvelApp(const QStringList& arguments = QCoreApplication::arguments(), Launcher launcher = {});
    ~COrvelApp() override;

    // The application alive, or null.
    static COrvelApp* Instance();

    // Start-up: the single-instance lock, the recent files, the main frame,
    // the command line, the maximised window. False ends the program with
    // ExitStatus(): 0 when another instance runs, 1 on a failure (reported
    // with a message, except a frame that could not be built).
    bool InitInstance();
    int ExitStatus() const { return m_exitStatus; }

    // The whole run: InitInstance, the event loop until the main window has
    // closed, then the frame's end (lists freed, folders emptied), the lock
    // released and, when a restart was asked for and the window did close,
    // the new process. Returns the program's exit status.
    int Run();

    CMainFrame* MainFrame() const { return m_mainFrame.get(); }
    RecentFileList* RecentFiles() const { return m_recentFiles.get(); }
    void SetDocumentManager(DocumentManager* manager) { m_docManager = manager; }
    // The frame gets its panel before the command line opens a document.
    void SetWorkPanelMaker(WorkPanelMaker maker) { m_makeWorkPanel = std::move(maker); }
    // <runtime folder>/<application name>.lock; empty without a runtime folder.
    static QString LockFilePath();

    // The arguments of main() as bytes.
    static std::vector<std::string> Arguments(int argc, char** argv);
    // The command-line file: the first argument after the program that is
    // not an option (does not start with '-'); empty when there is none.
    static std::string CommandLineFile(const std::vector<std::string>& arguments);

    // After a change of language: closes the main window as File, Exit does
    // and, once it has closed, starts the program again.
    void RestartApplication();
    // File, Exit.
    void CloseMainWindow();
    // The end of the session (SIGTERM, SIGINT): open modal dialogs are
    // cancelled, and so is every modal window shown from then on, at
    // start-up too (a cancelled command-line import is no failure); then the
    // main window closes. Unsaved work is the one question still asked, since
    // answering it for the operator would throw the drawing away: the
    // operator's Cancel keeps the session, and another request while it is
    // asked ends the session without saving.
    void RequestEndOfSession();
    bool EndOfSessionRequested() const { return m_endRequested; }
    // The program has started up and runs its own event loop.
    bool InEventLoop() const { return m_inEventLoop; }

    // File, Open.
    void OnFileOpen();
    // The open dialog's file type filters, each pattern matching either case.
    static QStringList OpenDialogFilters();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool TakeInstanceLock();
    bool ConfirmClose();
    bool ProcessCommandLine();
    // Opens a file as a new document; a failure is reported in one message
    // naming the file and the reason, unless the operator cancelled one of
    // the import's questions. None when the file was opened.
    ImportFailure OpenFile(const std::string& path);
    void OnOpenRecentFile(plat::UINT id);
    void OnPrintSetup();
    void OnAppAbout();
    void NewDocument();

    std::vector<std::string> m_arguments;
    Launcher m_launcher;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<RecentFileList> m_recentFiles;
    std::unique_ptr<CMainFrame> m_mainFrame;
    std::unique_ptr<QPrinter> m_printer;
    DocumentManager* m_docManager = nullptr;
    WorkPanelMaker m_makeWorkPanel;
    int m_exitStatus = 0;
    bool m_restart = false;
    bool m_endRequested = false;
    bool m_askingBeforeEnd = false;
    bool m_endForced = false;
    bool m_filterInstalled = false;
    bool m_inEventLoop = false;
};
