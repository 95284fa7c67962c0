#include "OrvelApp.h"

#include "AboutDlg.h"
#include "DocumentManager.h"
#include "FileNames.h"
#include "qtplatform/FrameworkText.h"
#include "qtplatform/LongWork.h"
#include "MainFrame.h"
#include "MyFileDialog.h"
#include "RecentFileList.h"
#include "qtplatform/Resources.h"
#include "platform/Folders.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>

#include <atomic>

namespace {

std::atomic<COrvelApp*> g_app{nullptr};

// The open dialog's filter as designed: description | patterns pairs.
constexpr const char* kOpenFilter =
    "All Files(*.*)|*.ai;*.plt;*.dxf;*.dst;*.dsb;*.bmp;*.jpg;*.png;*.gif;*.wcvr|AI-Adobe Illustrator|*.ai|"
    "PLT-HPGL Plotter File|*.plt|DXF-AutoCAD|*.dxf|DST-Brede Files|*.dst|DSB-Brede Files|*.dsb|"
    "BMP-Windows Bitmap|*.bmp|JPG-JPEG Bitmaps|*.jpg|PNG-Portable Network Graphics|*.png|"
    "GIF-CompuServe Bitmap|*.gif|WCVR-WCVR File|*.wcvr|";

// Extensions opened as documents; any other is ignored.
const QStringList kOpenExtensions = {QStringLiteral("dxf"), QStringLiteral("ai"),  QStringLiteral("plt"),
                                     QStringLiteral("dst"), QStringLiteral("dsb"), QStringLiteral("wcvr"),
                                     QStringLiteral("out"), QStringLiteral("bmp"), QStringLiteral("jpg"),
                                     QStringLiteral("png"), QStringLiteral("gif")};

void Report(const QString& text)
{
    plat::MessageBox(text.toStdU16String(), std::u16string(), plat::MB_OK | plat::MB_ICONERROR);
}

} // namespace

QStringList COrvelApp::OpenDialogFilters()
{
    // A pattern matches either case: extensions written in capitals are
    // accepted, as the comparison of the extension is.
    auto anyCase = [](const QString& pattern) {
        QString out;
        for (const QChar c : pattern) {
            if (c.isLetter())
                out += QStringLiteral("[%1%2]").arg(c.toLower()).arg(c.toUpper());
            else
                out += c;
        }
        return out;
    };
    QStringList filters;
    const QStringList parts = QString::fromLatin1(kOpenFilter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns.append(anyCase(p));
        filters.append(parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QStringLiteral(")"));
    }
    return filters;
}

COrvelApp::COrvelApp(const QStringList& arguments, Launcher launcher)
    : COrvelApp(
          [&arguments] {
              std::vector<std::string> bytes;
              for (const QString& a : arguments)
                  bytes.push_back(FileNameBytes(a));
              return bytes;
          }(),
          std::move(launcher))
{
}

COrvelApp::COrvelApp(std::vector<std::string> arguments, Launcher launcher)
    : m_arguments(std::move(arguments)), m_launcher(std::move(launcher))
{
    if (!m_launcher)
        m_launcher = [](const QString& program) { return QProcess::startDetached(program, QStringList()); };
    g_app.store(this);

    On(cmd::FileNew, [this] { NewDocument(); });
    On(cmd::WindowNew, [this] { NewDocument(); });
    On(cmd::FileOpen, [this] { OnFileOpen(); });
    On(cmd::FilePrintSetup, [this] { OnPrintSetup(); });
    On(cmd::AppAbout, [this] { OnAppAbout(); });
    On(cmd::AppExit, [this] { CloseMainWindow(); });
    OnRange(
        cmd::FileMru1, cmd::FileMru4, [this](plat::UINT id) { OnOpenRecentFile(id); },
        [this](CmdUI& ui) {
            const int index = static_cast<int>(ui.m_nID - cmd::FileMru1);
            ui.Enable(m_recentFiles != nullptr && index < static_cast<int>(m_recentFiles->Paths().size()));
        });
}

COrvelApp::~COrvelApp()
{
    if (m_filterInstalled && QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeEventFilter(this);
    m_mainFrame.reset();
    COrvelApp* self = this;
    g_app.compare_exchange_strong(self, nullptr);
}

COrvelApp* COrvelApp::Instance()
{
    return g_app.load();
}

QString COrvelApp::LockFilePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return QString();
    return folder + QLatin1Char('/') + QCoreApplication::applicationName() + QStringLiteral(".lock");
}

std::vector<std::string> COrvelApp::Arguments(int argc, char** argv)
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc && argv[i] != nullptr; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

std::string COrvelApp::CommandLineFile(const std::vector<std::string>& arguments)
{
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].empty() && arguments[i].front() != '-')
            return arguments[i];
    }
    return std::string();
}

bool COrvelApp::TakeInstanceLock()
{
    const QString path = LockFilePath();
    if (!path.isEmpty()) {
        m_lock = std::make_unique<QLockFile>(path);
        // A lock is never taken for stale by its age, only when its holder
        // has ended.
        m_lock->setStaleLockTime(0);
        if (m_lock->tryLock(0))
            return true;
        if (m_lock->error() == QLockFile::LockFailedError) {
            // Another instance runs: end at once, silently.
            m_lock.reset();
            m_exitStatus = 0;
            return false;
        }
        m_lock.reset();
    }
    // Two instances would empty each other's work folder: do not run.
    Report(FrameworkString(FrameworkText::CannotLock).arg(path));
    m_exitStatus = 1;
    return false;
}

bool COrvelApp::InitInstance()
{
    m_exitStatus = 0;
    if (!TakeInstanceLock())
        return false;

    m_recentFiles = std::make_unique<RecentFileList>(QCoreApplication::applicationName());

    m_mainFrame = std::make_unique<CMainFrame>();
    CMainFrame* frame = m_mainFrame.get();
    frame->SetAppTarget(this);
    frame->SetRecentFileList(m_recentFiles.get());
    frame->SetCloseGuard([this] { return ConfirmClose(); });
    connect(frame, &CMainFrame::closed, this, [] { QCoreApplication::quit(); });
    connect(frame, &CMainFrame::closeCancelled, this, [this] { m_restart = false; });
    if (!frame->Create()) {
        m_exitStatus = 1;
        return false;
    }
    if (m_makeWorkPanel)
        frame->SetWorkPanel(m_makeWorkPanel(*frame));

    // Shown first: the drawing named on the command line is read with the
    // frame's progress control and Cancel in view.
    frame->showMaximized();
    if (!ProcessCommandLine()) {
        m_exitStatus = 1;
        return false;
    }
    return true;
}

bool COrvelApp::ProcessCommandLine()
{
    // A session ended during start-up opens nothing more.
    if (m_endRequested)
        return true;
    const std::string file = CommandLineFile(m_arguments);
    if (file.empty()) {
        NewDocument();
        return true;
    }
    if (m_docManager == nullptr) {
        Report(FrameworkString(FrameworkText::CannotOpenFile).arg(FileNameText(file)));
        return false;
    }
    // Named, never silent: the program ends next. A question cancelled by
    // the end of the session is no failure.
    return OpenFile(file) == ImportFailure::None || m_endRequested;
}

ImportFailure COrvelApp::OpenFile(const std::string& path)
{
    if (m_docManager == nullptr)
        return ImportFailure::Damaged;
    if (m_docManager->OpenDocumentFile(path))
        return ImportFailure::None;
    const ImportFailure why = m_docManager->LastOpenFailure();
    if (why == ImportFailure::None)
        return ImportFailure::Damaged;
    if (!m_endRequested && why != ImportFailure::Cancelled && why != ImportFailure::OutOfReach)
        Report(OpenFailureText(FileNameText(path), why));
    return why;
}

int COrvelApp::Run()
{
    const bool quitOnLastClose = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    int status = 0;
    if (InitInstance()) {
        if (m_endRequested)
            m_mainFrame->close();
        if (!m_mainFrame->WasClosed()) {
            m_inEventLoop = true;
            status = QCoreApplication::exec();
            m_inEventLoop = false;
        }
    } else {
        status = m_exitStatus;
    }
    const bool closed = m_mainFrame != nullptr && m_mainFrame->WasClosed();
    // Cancelled work may still be ending on its threads.
    LongWork::JoinCancelled();
    m_mainFrame.reset();
    if (m_lock != nullptr)
        m_lock->unlock();
    // Only now may the new instance start: it takes the lock at once.
    if (m_restart && closed)
        m_launcher(QCoreApplication::applicationFilePath());
    m_restart = false;
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastClose);
    return status;
}

void COrvelApp::RestartApplication()
{
    m_restart = true;
    if (m_mainFrame != nullptr)
        QMetaObject::invokeMethod(m_mainFrame.get(), &QWidget::close, Qt::QueuedConnection);
}

void COrvelApp::CloseMainWindow()
{
    if (m_mainFrame != nullptr)
        m_mainFrame->close();
}

namespace {

void CancelModal(QWidget* window)
{
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->reject();
    else
        window->close();
}

} // namespace

void COrvelApp::RequestEndOfSession()
{
    if (m_askingBeforeEnd)
        m_endForced = true;
    m_endRequested = true;
    // Questions asked after this one (the next import option, a failure
    // report) would otherwise keep the program up with nobody to answer.
    if (!m_filterInstalled && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
        m_filterInstalled = true;
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->isModal())
            CancelModal(w);
    }
    // Outside the main loop (during start-up) Run closes the window once
    // start-up is done.
    if (m_inEventLoop) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_mainFrame != nullptr && !m_mainFrame->WasClosed())
                    m_mainFrame->close();
            },
            Qt::QueuedConnection);
    }
}

bool COrvelApp::ConfirmClose()
{
    if (m_docManager == nullptr)
        return true;
    if (!m_endRequested)
        return m_docManager->SaveAllModified();
    m_askingBeforeEnd = true;
    const bool saved = m_docManager->SaveAllModified();
    m_askingBeforeEnd = false;
    if (saved || m_endForced)
        return true;
    // The operator chose to keep working.
    m_endRequested = false;
    return false;
}

bool COrvelApp::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && m_endRequested && (!m_askingBeforeEnd || m_endForced)) {
        auto* window = qobject_cast<QWidget*>(watched);
        // Cancelled from within its own loop: a dialog's exec starts that
        // loop only after the show.
        if (window != nullptr && window->isWindow() && window->isModal())
            QMetaObject::invokeMethod(window, [window] { CancelModal(window); }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void COrvelApp::NewDocument()
{
    if (m_docManager != nullptr)
        m_docManager->NewDocument();
}

void COrvelApp::OnFileOpen()
{
    const CReadParamFile files;
    files.ReadSoftwareParam(g_settings);

    const QString checkText =
        m_mainFrame != nullptr
            ? QString::fromStdU16String(LanguageText(m_mainFrame->m_langText, u"phase1:main-tool", CMyFileDialog::kPreviewEntry))
            : QString();
    CMyFileDialog dialog(m_mainFrame.get(), OpenDialogFilters(), QString::fromStdString(g_settings.open_file_dir),
                         checkText, g_settings.m_file_view != 0);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.SetAcceptedExtensions(kOpenExtensions);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;

    const QString chosen = dialog.selectedFiles().front();
    g_settings.m_file_view = dialog.PreviewOn() ? 1 : 0;
    g_settings.open_file_dir = plat::FolderOf(FileNameBytes(chosen));
    files.WriteSoftwareParam(g_settings);

    const QString extension = QFileInfo(chosen).suffix().toLower();
    std::string path;
    if (kOpenExtensions.contains(extension) && ChosenFileName(chosen, path))
        OpenFile(path);
}

void COrvelApp::OnOpenRecentFile(plat::UINT id)
{
    const int index = static_cast<int>(id - cmd::FileMru1);
    if (m_recentFiles == nullptr || m_docManager == nullptr ||
        index >= static_cast<int>(m_recentFiles->Paths().size()))
        return;
    // A file that no longer opens leaves the list; a question the operator
    // cancelled leaves it as it was.
    const ImportFailure why = OpenFile(m_recentFiles->Paths()[static_cast<std::size_t>(index)]);
    if (why != ImportFailure::None && why != ImportFailure::Cancelled)
        m_recentFiles->Remove(index);
}

void COrvelApp::OnPrintSetup()
{
    if (m_printer == nullptr)
        m_printer = std::make_unique<QPrinter>();
    QPageSetupDialog dialog(m_printer.get(), m_mainFrame.get());
    dialog.exec();
}

void COrvelApp::OnAppAbout()
{
    CAboutDlg dialog(m_mainFrame.get());
    dialog.DoModal();
}
