// One operator's run of the real program: a scratch program folder
// with the shipped language files and a machine list of one network machine
// at 127.0.0.1 (900 x 600 mm), the fake controller listening there, the
// application with its document manager and work panel as the program has
// them, and the steps of a scenario run inside its event loop.
#pragma once
#include "AppTestSupport.h"
#include "FakeController.h"
#include "app/ChildFrame.h"
#include "app/FileNames.h"
#include "app/MainFrame.h"
#include "app/OrvelApp.h"
#include "app/OrvelDoc.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "qtplatform/Resources.h"
#include "platform/ImportOptions.h"
#include "settings/MachineNode.h"
#include "settings/ReadParamFile.h"
#include "ui/WorkDlgBar.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QScreen>
#include <QMdiSubWindow>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace plat {

inline constexpr std::uint32_t kLoopback = 0x7F000001; // 127.0.0.1, first octet high

class E2eProgram {
public:
    explicit E2eProgram(const std::string& language = kEnglishFile) : m_program(language)
    {
        EXPECT_TRUE(m_controller.Start("127.0.0.1", 0));
        ::setenv("VANTREL_PORT", std::to_string(m_controller.Port()).c_str(), 1);
        auto* machine = new MachineNode;
        machine->SetName(u"Table");
        machine->m_link_type = 1;
        machine->m_ip = kLoopback;
        machine->m_xsize = 900;
        machine->m_ysize = 600;
        EXPECT_TRUE(CReadParamFile().WriteMacInfo(machine, 0));
        FreeMachineList(machine);
        SetImportOptions(&m_importOptions);
        // Each run is a fresh start of the program: documents are
        // numbered from 0 again.
        COrvelDoc::ResetTitleCountersForTesting();
    }
    ~E2eProgram()
    {
        SetImportOptions(nullptr);
        ::unsetenv("VANTREL_PORT");
    }
    E2eProgram(const E2eProgram&) = delete;
    E2eProgram& operator=(const E2eProgram&) = delete;

    // Starts the program with these arguments, runs the steps once its
    // window is up, then chooses File, Exit; the program's exit status.
    int Run(const QStringList& arguments, const std::function<void(COrvelApp&)>& steps)
    {
        std::vector<std::string> bytes;
        for (const QString& a : arguments)
            bytes.push_back(FileNameBytes(a));
        return Run(bytes, steps);
    }
    // The same with the arguments as the bytes a process gets.
    int Run(const std::vector<std::string>& arguments, const std::function<void(COrvelApp&)>& steps)
    {
        COrvelApp app(arguments);
        OrvelDocManager documents(app);
        app.SetDocumentManager(&documents);
        app.SetWorkPanelMaker([](CMainFrame& frame) { return new CWorkDlgBar(&frame); });
        // The steps start in the program's own event loop, not in one that
        // start-up enters (the drawing of the command line is read in one).
        QTimer start;
        start.setInterval(kStartPollMs);
        QObject::connect(&start, &QTimer::timeout, [&] {
            if (!app.InEventLoop())
                return;
            start.stop();
            // The offscreen platform has no window manager to apply the
            // maximised state: the frame is given the whole screen.
            if (CMainFrame* frame = app.MainFrame()) {
                frame->setGeometry(QGuiApplication::primaryScreen()->geometry());
                WaitFor([frame] { return frame->frameGeometry() == QGuiApplication::primaryScreen()->geometry(); }, 2000);
            }
            steps(app);
            if (app.MainFrame() != nullptr)
                app.MainFrame()->Router().Execute(cmd::AppExit);
        });
        start.start();
        // A question left open or an exit that was cancelled would keep the
        // run waiting for an operator: it fails instead of hanging the suite.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            ADD_FAILURE() << "the program was still running after " << kRunLimitMs << " ms";
            QCoreApplication::exit(kStuck);
        });
        watchdog.start(kRunLimitMs);
        return app.Run();
    }

    // Writes a DXF drawing whose one line reaches from x = -1e300 to 1e300
    // into the program folder and has File, Import choose it.
    void ChooseFarDrawingForImport() const
    {
        m_program.Write("far.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n-1e300\n20\n0\n11\n1e300\n21\n10\n"
                                   "0\nENDSEC\n0\nEOF\n");
        COrvelView::SetImportChooserForTesting([far = m_program.Root() + "far.dxf"](const std::string&,
                                                                                   std::string& path, bool&) {
            path = far;
            return true;
        });
    }

    static constexpr int kRunLimitMs = 60000;
    static constexpr int kStartPollMs = 5;
    static constexpr int kStuck = 124;

    static std::vector<CChildFrame*> Documents(CMainFrame& frame)
    {
        std::vector<CChildFrame*> documents;
        for (QMdiSubWindow* window : frame.MdiArea()->subWindowList())
            if (auto* child = dynamic_cast<CChildFrame*>(window))
                documents.push_back(child);
        return documents;
    }

    ScratchProgram m_program;
    ScopedRecordingPrompt m_prompt;
    HeadlessImportOptions m_importOptions;
    FakeController m_controller;
};

} // namespace plat
