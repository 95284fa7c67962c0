// Brenvik, the main program.
#include "MainFrame.h"
#include "OrvelApp.h"
#include "OrvelDocManager.h"
#include "qtplatform/QtMessagePoster.h"
#include "qtplatform/QtPrompt.h"
#include "SignalCloser.h"
#include "WorkPageDialogs.h"
#include "ui/QtImportOptions.h"
#include "ui/WorkDlgBar.h"
#include "ui/WorkPageWork.h"
#include "platform/RecordPool.h"

#include <QApplication>

#include <clocale>

int main(int argc, char** argv)
{
    plat::UseProgramHeap();
    QApplication application(argc, argv);
    // QApplication's constructor sets the environment's locale; numbers are
    // written and read the C way.
    std::setlocale(LC_NUMERIC, "C");
    // The program's name whatever its file is called: it names the lock and
    // the recent-file settings.
    QCoreApplication::setApplicationName(QStringLiteral("Brenvik"));

    QtMessagePoster poster;
    plat::SetMessagePoster(&poster);
    QtPrompt prompt;
    plat::SetPrompt(&prompt);
    QtImportOptions importOptions;
    plat::SetImportOptions(&importOptions);

    CWorkPageWork::SetDialogs(MakeWorkPageDialogs());

    int status = 0;
    {
        // File names on the command line are kept as the bytes they came as.
        COrvelApp app(COrvelApp::Arguments(argc, argv));
        OrvelDocManager documents(app);
        app.SetDocumentManager(&documents);
        app.SetWorkPanelMaker([](CMainFrame& frame) { return new CWorkDlgBar(&frame); });
        SignalCloser closer([&app] { app.RequestEndOfSession(); });
        status = app.Run();
    }

    CWorkPageWork::SetDialogs({});
    plat::SetImportOptions(nullptr);
    plat::SetPrompt(nullptr);
    // Threads that still post get false from here on.
    poster.Shutdown();
    plat::SetMessagePoster(nullptr);
    return status;
}
