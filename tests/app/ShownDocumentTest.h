// A shown main frame, offscreen, 1000 x 800, with one new document window
// whose view has the focus: the fixture of the tests that drive the view
// through real mouse and key events. The scratch program folders, the
// machine list and the clipboard are put back after each test.
#pragma once
#include "AppTestSupport.h"
#include "ViewInput.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/OrvelDoc.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "app/RecentFileList.h"
#include "model/DocContext.h"
#include "processing/PathProc.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace plat {

// A shown main frame, offscreen, 1000 x 800, with one new document window;
// its view.
inline void ShowFrameWithOneDocument(std::unique_ptr<CMainFrame>& frame, std::unique_ptr<OrvelDocManager>& manager,
                                     RecentFileList& recent, COrvelView*& view)
{
    frame = std::make_unique<CMainFrame>();
    ASSERT_TRUE(frame->Create());
    frame->resize(1000, 800);
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    CMainFrame* shown = frame.get();
    manager = std::make_unique<OrvelDocManager>([shown] { return shown; }, [&recent] { return &recent; });
    manager->NewDocument();
    ASSERT_EQ(manager->Frames().size(), 1u);
    view = manager->Frames()[0]->View();
}

class ShownDocumentTest : public ::testing::Test, public ViewInput {
protected:
    // `recentName` keeps each test program's recent-file settings apart.
    explicit ShownDocumentTest(const QString& recentName) : m_recent(recentName) {}

    void SetUp() override
    {
        m_savedMachines = g_settings.m_pMachines;
        g_settings.m_pMachines = nullptr;
        g_settings.SetPaletteAndInterfaceDefaults();
        m_program = std::make_unique<ScratchProgram>();
        COrvelDoc::SetToolFactory(nullptr);
        ASSERT_NO_FATAL_FAILURE(plat::ShowFrameWithOneDocument(m_frame, m_manager, m_recent, m_view));
        m_view->setFocus();
        ASSERT_TRUE(WaitFor([this] { return m_view->hasFocus(); }));
    }
    void TearDown() override
    {
        CPathProc::DeleteObjects(g_settings.m_pClipboard);
        m_manager.reset();
        m_frame.reset();
        m_program.reset();
        FreeMachineList(g_settings.m_pMachines);
        g_settings.m_pMachines = m_savedMachines;
        g_settings.m_nCurLayer = 0;
    }

    DOCCONTEXT& Ctx() { return m_view->Context(); }
    bool Run(UINT id) { return m_frame->Router().Execute(id); }
    QRgb Pixel(POINT p) const { return m_view->ScreenImage().pixel(p.x, p.y) & 0xFFFFFF; }

    ScopedRecordingPrompt m_prompt;
    MachineNode* m_savedMachines = nullptr;
    std::unique_ptr<ScratchProgram> m_program;
    std::unique_ptr<CMainFrame> m_frame;
    RecentFileList m_recent;
    std::unique_ptr<OrvelDocManager> m_manager;
};

} // namespace plat
