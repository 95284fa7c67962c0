// The drawing view inside a shown main frame: keys typed on the view through
// the key router, commands by id through the frame's router, mouse and wheel
// events on the viewport, all reaching a recording tool in every slot of the
// tool table. The screen image is read back where a change must show.
#include "AppTestSupport.h"
#include "ShownDocumentTest.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/OrvelDoc.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "app/RecentFileList.h"
#include "qtplatform/Resources.h"
#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "processing/PathProc.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"
#include "ui/WorkPageWork.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_log;

// Notes what reaches it as "<index>:<event>"; holds a pointer into the
// current snapshot from a press until it is reset, as the node tool does.
class RecordingTool : public CDocState {
public:
    explicit RecordingTool(int index) : m_index(index) {}
    void Reset(std::uint32_t mode, DOCCONTEXT*) override
    {
        Note("reset" + std::to_string(mode));
        m_pObject = nullptr;
    }
    void OnLButtonDown(DOCCONTEXT* ctx) override
    {
        Note("down");
        m_pObject = ctx->m_pCurrent->m_pFirst;
    }
    void OnMouseMove(DOCCONTEXT*) override
    {
        // Reads the object it holds: a freed snapshot shows under ASan.
        if (m_pObject != nullptr)
            m_seenLayer = m_pObject->m_nLayer;
    }
    void OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key) override
    {
        Note("key" + std::to_string(key));
        if (key == 46)
            DeleteSelectedObjects(ctx);
    }
    bool ClaimsKey(DOCCONTEXT*, std::uint32_t key, bool, bool, bool) override { return m_claimZ && key == 'Z'; }
    void DrawFeedback(DOCCONTEXT* ctx) override { DrawSelectionFrame(ctx); }

    bool m_claimZ = false;
    CDocData* m_pObject = nullptr;
    std::int32_t m_seenLayer = -1;

private:
    void Note(const std::string& what) { g_log.push_back(std::to_string(m_index) + ":" + what); }
    int m_index;
};

std::vector<RecordingTool*> g_tools;

CDocState* MakeRecordingTool(std::int32_t index)
{
    auto* tool = new RecordingTool(index);
    g_tools.push_back(tool);
    return tool;
}

using plat::kWhite;

class ViewInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_log.clear();
        g_tools.clear();
        m_savedMachines = g_settings.m_pMachines;
        g_settings.m_pMachines = nullptr;
        g_settings.SetPaletteAndInterfaceDefaults();
        m_program = std::make_unique<plat::ScratchProgram>();
        COrvelDoc::SetToolFactory(&MakeRecordingTool);
        ASSERT_NO_FATAL_FAILURE(plat::ShowFrameWithOneDocument(m_frame, m_manager, m_recent, m_view));
        ASSERT_EQ(g_tools.size(), 9u);
        m_view->setFocus();
        ASSERT_TRUE(plat::WaitFor([this] { return m_view->hasFocus(); }));
        g_log.clear();
    }
    void TearDown() override
    {
        CPathProc::DeleteObjects(g_settings.m_pClipboard);
        m_manager.reset();
        m_frame.reset();
        COrvelDoc::SetToolFactory(nullptr);
        m_program.reset();
        g_settings.m_pMachines = m_savedMachines;
    }
    DOCCONTEXT& Ctx() { return m_view->Context(); }
    bool Run(plat::UINT id) { return m_frame->Router().Execute(id); }
    // A horizontal line 2000 world units long on layer 2 (blue), selected.
    CDocData* AddLine(double y = 503000.0)
    {
        DOCNODE* nodes = AppendNode(nullptr, 503000.0, y);
        AppendNode(nodes, 505000.0, y);
        auto* line = new CDocDataLine(nodes, 1, nullptr);
        line->m_nLayer = 2;
        line->m_nColor = 0xFF0000;
        Ctx().m_pCurrent->m_pFirst = line;
        line->RecalcBoundRect(nullptr);
        return line;
    }
    void Repaint()
    {
        m_view->UpdateWindow();
    }
    QRgb Pixel(plat::POINT p) const { return m_view->ScreenImage().pixel(p.x, p.y) & 0xFFFFFF; }
    void MoveTo(plat::POINT p) { QTest::mouseMove(m_view->viewport(), QPoint(p.x, p.y)); }
    void Wheel(plat::POINT p, int delta)
    {
        QWheelEvent event(QPointF(p.x, p.y), m_view->viewport()->mapToGlobal(QPointF(p.x, p.y)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(m_view->viewport(), &event);
    }
    int Steps() const
    {
        int n = 0;
        for (CDocListNode* s = m_view->Context().m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n;
        return n;
    }

    plat::ScopedRecordingPrompt m_prompt;
    MachineNode* m_savedMachines = nullptr;
    std::unique_ptr<plat::ScratchProgram> m_program;
    std::unique_ptr<CMainFrame> m_frame;
    RecentFileList m_recent{QStringLiteral("BrenvikViewInputTest")};
    std::unique_ptr<OrvelDocManager> m_manager;
    COrvelView* m_view = nullptr;
};

} // namespace

// Esc goes to the polyline tool first and then switches to the select tool
// (both reset, the select tool's button down); F3 zooms out about the mouse;
// F4 fits the drawing again; Ctrl+L is no alignment.
TEST_F(ViewInputTest, EscF3F4AndCtrlLReachTheirPlaces)
{
    AddLine();
    ASSERT_TRUE(Run(32790));
    const double fitted = Ctx().m_dZoom;
    ASSERT_TRUE(Run(32792));
    EXPECT_EQ(Ctx().m_nTool, 2);
    EXPECT_EQ(m_frame->Router().Update(32792).m_nCheck, 1);
    g_log.clear();
    QTest::keyClick(m_view, Qt::Key_Escape);
    EXPECT_EQ(g_log, (std::vector<std::string>{"2:key27", "2:reset0", "0:reset0"}));
    EXPECT_EQ(Ctx().m_nTool, 0);
    EXPECT_EQ(m_view->m_nToolCommand, 32772);
    EXPECT_EQ(m_frame->Router().Update(32792).m_nCheck, 0);

    const plat::POINT at{300, 200};
    MoveTo(at);
    const CGeoPoint world = Ctx().m_ptMouse;
    QTest::keyClick(m_view, Qt::Key_F3);
    EXPECT_DOUBLE_EQ(Ctx().m_dZoom, fitted / 1.2);
    EXPECT_EQ(Ctx().m_dZoomPrev, fitted);
    const plat::POINT now = Ctx().WorldToClientPixel(world.m_x, world.m_y);
    EXPECT_LE(std::abs(now.x - at.x), 1);
    EXPECT_LE(std::abs(now.y - at.y), 1);

    QTest::keyClick(m_view, Qt::Key_F4);
    EXPECT_EQ(Ctx().m_dZoom, fitted);

    g_log.clear();
    const std::uint64_t changes = Ctx().m_nChangeCount;
    QTest::keyClick(m_view, Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(g_log.empty());
    EXPECT_EQ(Ctx().m_nChangeCount, changes);
    EXPECT_EQ(Ctx().m_dZoom, fitted);
}

// One press, one action: Ctrl+Z reaches a tool that claims it and leaves the
// history alone, else it undoes and the tool sees nothing. Shift+Del is the
// cut command's, never also the tool's Delete; plain Delete deletes in one
// step.
TEST_F(ViewInputTest, AnAcceleratorGoesToTheClaimingToolOrToItsCommandNeverBoth)
{
    CDocData* line = AddLine();
    CDocState::PushHistory(&Ctx());
    line->m_nLayer = 3;
    ASSERT_EQ(Steps(), 1);
    CDocListNode* live = Ctx().m_pCurrent;

    g_tools[0]->m_claimZ = true;
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(g_log, std::vector<std::string>{"0:key90"});
    EXPECT_EQ(Ctx().m_pCurrent, live);

    g_tools[0]->m_claimZ = false;
    g_log.clear();
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Ctx().m_pCurrent, live->m_pOlder);
    EXPECT_EQ(g_log, std::vector<std::string>{"0:reset0"}) << "undo resets the tool; no key reaches it";
    ASSERT_TRUE(Run(cmd::EditRedo));

    CDocData* cut = Ctx().m_pCurrent->m_pFirst;
    cut->SetSelected(1);
    g_log.clear();
    QTest::keyClick(m_view, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(g_log.empty()) << "the tool's Delete does not run as well";
    EXPECT_EQ(g_settings.m_pClipboard, cut) << "cut, not deleted";
    // Back into the drawing for the Delete key.
    g_settings.m_pClipboard = nullptr;
    Ctx().m_pCurrent->m_pFirst = cut;
    const int before = Steps();

    QTest::keyClick(m_view, Qt::Key_Delete);
    EXPECT_EQ(g_log, std::vector<std::string>{"0:key46"});
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst, nullptr);
    EXPECT_EQ(Steps(), before + 1);
    // Nothing selected: no step.
    QTest::keyClick(m_view, Qt::Key_Delete);
    EXPECT_EQ(Steps(), before + 1);
}

// Tool buttons: a drawing tool resets the old and the new tool; the zoom
// tool resets none; the pan tool only itself; the select tool also leaves
// nothing selected.
TEST_F(ViewInputTest, ToolSwitchesResetExactlyTheToolsConcerned)
{
    AddLine()->SetSelected(1);
    Ctx().m_rcSelect = Ctx().m_pCurrent->m_pFirst->m_rcBound;
    ASSERT_TRUE(Run(32793));
    EXPECT_EQ(g_log, (std::vector<std::string>{"0:reset0", "4:reset0"}));
    g_log.clear();
    ASSERT_TRUE(Run(32788));
    EXPECT_TRUE(g_log.empty());
    EXPECT_EQ(Ctx().m_nTool, 7);
    EXPECT_EQ(m_frame->Router().Update(32788).m_nCheck, 1);
    EXPECT_EQ(m_frame->Router().Update(32793).m_nCheck, 0);
    ASSERT_TRUE(Run(32937));
    EXPECT_EQ(g_log, std::vector<std::string>{"8:reset0"});
    EXPECT_EQ(Ctx().m_nTool, 8);
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst->IsSelected(), 1);
    g_log.clear();
    ASSERT_TRUE(Run(32772));
    EXPECT_EQ(g_log, (std::vector<std::string>{"8:reset0", "0:reset0"}));
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst->IsSelected(), 0);
    EXPECT_TRUE(Ctx().m_rcSelect.IsEmpty());
}

// A click in the work panel's layer list ends the drawing tool as the select
// button does (its button checked, both tools reset) and leaves exactly the
// row's layer selected; a window that is not a drawing view is left alone.
TEST_F(ViewInputTest, ALayerListClickSwitchesTheViewToTheSelectToolAndSelectsTheLayer)
{
    WorkParams* savedLayers = g_settings.m_pLayers;
    g_settings.m_pLayers = MakeDefaultLayerList();
    CDocData* line = AddLine();
    ASSERT_TRUE(Run(32793));
    CWorkPageWork::Dialogs dialogs;
    dialogs.selectTool = &COrvelView::SelectToolIn;
    CWorkPageWork::SetDialogs(dialogs);
    {
        QWidget host;
        CWorkPageWork page;
        page.Create(&host);
        page.FillDeviceList(&Ctx(), m_view);
        page.RefreshLayerList();
        page.LayerList()->selectRow(0);
        g_log.clear();
        page.OnLayerClick();
    }
    CWorkPageWork::SetDialogs({});
    FreeWorkParamList(g_settings.m_pLayers);
    g_settings.m_pLayers = savedLayers;
    EXPECT_EQ(m_frame->Router().Update(32772).m_nCheck, 1);
    EXPECT_EQ(m_frame->Router().Update(32793).m_nCheck, 0);
    EXPECT_EQ(Ctx().m_nTool, 0);
    EXPECT_EQ(g_log.front(), "4:reset0");
    EXPECT_EQ(line->IsSelected(), 1);

    plat::RecordingView other;
    COrvelView::SelectToolIn(&other);
    COrvelView::SelectToolIn(nullptr);
}

// A click that only ends typing in a property edit does not reach the tool;
// the next one does. The status bar shows the count and the position in
// millimetres from the origin; tooltips come from the language table.
TEST_F(ViewInputTest, TheFirstClickAfterAPropertyEditIsUsedUpAndTheStatusBarAndTipsFollow)
{
    m_frame->m_nFocusEditId = 32853;
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_TRUE(g_log.empty());
    EXPECT_NE(m_frame->m_nFocusEditId, 32853);
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_EQ(g_log, std::vector<std::string>{"0:down"});

    // At zoom 100 a pixel is a hundredth of a world unit: the origin lands
    // on a whole pixel and maps back exactly.
    const plat::RECT origin{499999, 499999, 500001, 500001};
    m_view->OnZoomRect(origin);
    ASSERT_EQ(Ctx().m_dZoom, 100.0);
    MoveTo(Ctx().WorldToClientPixel(kWorldOrigin, kWorldOrigin));
    EXPECT_EQ(m_frame->StatusPane(3)->text(), QStringLiteral("X=0.0000, Y=0.0000"));
    EXPECT_EQ(m_frame->StatusPane(2)->text(), QStringLiteral("Objects: 0 in the drawing, 0 selected"));
    EXPECT_EQ(m_frame->StatusPane(0)->text(), QStringLiteral(" "));

    m_view->UpdateToolTips();
    EXPECT_EQ(m_frame->Action(32772)->toolTip(), QStringLiteral("Select"));
    EXPECT_EQ(m_frame->Action(32937)->toolTip(), QStringLiteral("Pan"));
    EXPECT_EQ(m_frame->Action(32898)->toolTip(), QStringLiteral("Place on the Lower Edge of the Table"));
    EXPECT_EQ(m_frame->Action(32872)->toolTip(), QStringLiteral("Merge Polylines"));
    ASSERT_NE(m_frame->PathToolButton(32875), nullptr);
    EXPECT_EQ(m_frame->PathToolButton(32875)->toolTip(), QStringLiteral("Lead Lines"));
}

// Undo moved by anyone resets the tool before its next event, so a pointer
// it held into the snapshot left behind (deleted by the next push) is never
// read; focus loss ends a drag and clears the held modifier keys.
TEST_F(ViewInputTest, HistoryMovesAndFocusLossLeaveNoStalePointerOrKeyState)
{
    AddLine();
    CDocState::PushHistory(&Ctx());
    Ctx().m_pCurrent->m_pFirst->m_nLayer = 5;
    QTest::mousePress(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    ASSERT_NE(g_tools[0]->m_pObject, nullptr);
    // Another subsystem undoes, then an edit deletes the snapshot the tool
    // pointed into.
    ASSERT_TRUE(CDocState::Undo(&Ctx()));
    CDocState::PushHistory(&Ctx());
    g_log.clear();
    MoveTo({60, 60});
    EXPECT_EQ(g_log, std::vector<std::string>{"0:reset0"});
    EXPECT_EQ(g_tools[0]->m_pObject, nullptr);
    QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));

    QTest::keyPress(m_view, Qt::Key_Control);
    QTest::keyPress(m_view, Qt::Key_Shift);
    EXPECT_EQ(Ctx().m_bCtrl, 1);
    EXPECT_EQ(Ctx().m_bShift, 1);
    QTest::mousePress(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    g_log.clear();
    auto* edit = new QLineEdit(m_frame.get());
    edit->show();
    edit->setFocus();
    ASSERT_TRUE(plat::WaitFor([&] { return !m_view->hasFocus(); }));
    EXPECT_EQ(Ctx().m_bCtrl, 0);
    EXPECT_EQ(Ctx().m_bShift, 0);
    EXPECT_EQ(g_log, std::vector<std::string>{"0:reset0"}) << "the drag is cut short";
    QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    EXPECT_EQ(g_log, std::vector<std::string>{"0:reset0"}) << "its release goes nowhere";
    delete edit;
}

// The wheel zooms about the mouse (the world point keeps its pixel), stays
// in its range under bursts and ignores a turn without vertical delta;
// the single steps hold the range exactly.
TEST_F(ViewInputTest, TheWheelZoomsAboutTheMouseWithinItsRange)
{
    AddLine();
    ASSERT_TRUE(Run(32790));
    Repaint();
    const plat::POINT on = Ctx().WorldToClientPixel(504000.0, 503000.0);
    ASSERT_EQ(Pixel(on), 0x0000FFu) << "the line in its colour (COLORREF 0xFF0000)";
    MoveTo(on);
    const double before = Ctx().m_dZoom;
    Wheel(on, 120);
    EXPECT_DOUBLE_EQ(Ctx().m_dZoom, before * 1.2);
    Repaint();
    bool shown = false;
    for (int dy = -1; dy <= 1; ++dy)
        shown = shown || Pixel({on.x, on.y + dy}) == 0x0000FFu;
    EXPECT_TRUE(shown) << "the line is still under the mouse";
    Wheel(on, 0);
    EXPECT_DOUBLE_EQ(Ctx().m_dZoom, before * 1.2);

    for (int k = 0; k < 60; ++k)
        Wheel(on, 120);
    EXPECT_EQ(Ctx().m_dZoom, 100.0);
    for (int k = 0; k < 120; ++k)
        Wheel(on, -120);
    EXPECT_EQ(Ctx().m_dZoom, 1e-5);

    Ctx().m_dZoom = 90.0;
    m_view->SendMessage(COrvelView::kMsgZoomIn, 0, 0);
    EXPECT_EQ(Ctx().m_dZoom, 100.0);
    EXPECT_EQ(Ctx().m_dZoomPrev, 90.0);
    Ctx().m_dZoom = 1.1e-5;
    m_view->SendMessage(COrvelView::kMsgZoomOut, 0, 0);
    EXPECT_EQ(Ctx().m_dZoom, 1e-5);
    EXPECT_EQ(Ctx().m_dZoomPrev, 1.1e-5);
}

// Line and page steps of the bars are 10 and 100; a page down at the maximum
// stays there; the stored scroll point follows in world units.
TEST_F(ViewInputTest, ScrollBarStepsAndClamping)
{
    QScrollBar* bar = m_view->verticalScrollBar();
    const int start = bar->value();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar->value(), start + 10);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(bar->value(), start - 90);
    EXPECT_EQ(Ctx().m_ptScroll.y, static_cast<int>((start - 90) / Ctx().m_dZoom + 0.5));
    bar->setValue(bar->maximum());
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(bar->value(), bar->maximum());
}

// The test tool's Delete and Ctrl+Z show on screen: the line goes white,
// comes back in its colour, and redo takes it away again. The rubber band
// drawn twice leaves the screen as it was.
TEST_F(ViewInputTest, DeleteUndoAndRedoShowOnScreenAndTheRubberBandErasesItself)
{
    CDocData* line = AddLine();
    line->SetSelected(1);
    ASSERT_TRUE(Run(32790));
    Ctx().m_rcSelect = line->m_rcBound;
    Repaint();
    const plat::POINT on = Ctx().WorldToClientPixel(504000.0, 503000.0);
    ASSERT_EQ(Pixel(on), 0x0000FFu);
    // The tool's selection frame, drawn on a context of its own during the
    // repaint: a line has no height, so squares stand above and below it.
    CGeoPoint corner;
    Ctx().WorldToClientPoint(CGeoPoint(503000.0, 503000.0), corner);
    const plat::POINT square{static_cast<int>(corner.m_x - 8) + 3, static_cast<int>((corner.m_y + on.y) / 2 - 11) + 3};
    EXPECT_EQ(Pixel(square), 0x000000u);
    QTest::keyClick(m_view, Qt::Key_Delete);
    Repaint();
    EXPECT_EQ(Pixel(on), kWhite);
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    Repaint();
    EXPECT_EQ(Pixel(on), 0x0000FFu);
    ASSERT_TRUE(Run(cmd::EditRedo));
    Repaint();
    EXPECT_EQ(Pixel(on), kWhite);
    // Nothing left to redo or undo beyond the ends.
    EXPECT_FALSE(CDocState::Redo(&Ctx()));

    const QImage screen = m_view->ScreenImage();
    for (int k = 0; k < 2; ++k) {
        COrvelView::EventDC dc(*m_view);
        g_tools[0]->DrawTrackRectPoints(dc.dc(), CGeoPoint(503000, 502000), CGeoPoint(505000, 504000),
                                        plat::PS_DOT, 0x00FF00, &Ctx());
        if (k == 0) {
            EXPECT_NE(m_view->ScreenImage(), screen);
        }
    }
    EXPECT_EQ(m_view->ScreenImage(), screen);
}

// Close and set start point take one undo step when an object changes and
// none otherwise; the delete item of the select tool's menu is a Delete key
// for the tool, queued; a queued item whose view has closed is dropped.
TEST_F(ViewInputTest, ContextCommandsStepOnlyOnChangeAndQueuedItemsNeedTheirView)
{
    CDocData* line = AddLine();
    line->SetSelected(1);
    Ctx().m_rcSelect = line->m_rcBound;
    ASSERT_TRUE(Run(32891));
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst->m_bClosed, 1);
    ASSERT_TRUE(Run(32891));
    EXPECT_EQ(Steps(), 1) << "closed already";

    Ctx().m_ptMouse = CGeoPoint(400000.0, 400000.0);
    ASSERT_TRUE(Run(32822));
    EXPECT_EQ(Steps(), 1) << "far from every object";
    Ctx().m_ptMouse = CGeoPoint(505000.0, 503000.0);
    ASSERT_TRUE(Run(32822));
    EXPECT_EQ(Steps(), 2);
    CGeoPoint start;
    ASSERT_TRUE(Ctx().m_pCurrent->m_pFirst->GetStartPoint(start));
    EXPECT_EQ(start.m_x, 505000.0);

    // The popup's delete item: chosen in the menu, run once the menu is gone.
    COrvelView::SetPopupRunnerForTesting([](QMenu& menu, const QPoint&) -> QAction* {
        for (QAction* action : menu.actions()) {
            if (CommandIdOf(action) == 32892)
                return action;
        }
        return nullptr;
    });
    g_log.clear();
    m_view->TrackPopupMenu(231, {}, plat::POINT{10, 10});
    EXPECT_TRUE(g_log.empty());
    ASSERT_TRUE(plat::WaitFor([] { return !g_log.empty(); }));
    EXPECT_EQ(g_log, std::vector<std::string>{"0:key46"});
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst, nullptr);

    m_view->TrackPopupMenu(231, {}, plat::POINT{10, 10});
    m_manager->Frames()[0]->CloseWithoutAsking();
    m_view = nullptr;
    g_log.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    for (const std::string& event : g_log)
        EXPECT_EQ(event.find("key"), std::string::npos) << event;
    COrvelView::SetPopupRunnerForTesting(nullptr);
}

// The display switches invert their flags one by one (start points and
// directions each by itself) and repaint everything; keep proportions
// shows its state on its button.
TEST_F(ViewInputTest, DisplaySwitchesInvertEachFlagByItself)
{
    SoftwareSettings& s = *Ctx().m_pSettings;
    s.m_bShowStart = 1;
    s.m_bShowDirection = 0;
    ASSERT_TRUE(Run(32868));
    EXPECT_EQ(s.m_bShowStart, 0);
    EXPECT_EQ(s.m_bShowDirection, 1);
    EXPECT_EQ(m_frame->Router().Update(32868).m_nCheck, 1);
    const std::uint8_t order = s.m_bShowOrder;
    ASSERT_TRUE(Run(32817));
    EXPECT_EQ(s.m_bShowOrder, order != 0 ? 0 : 1);
    ASSERT_TRUE(Run(32817));
    EXPECT_EQ(s.m_bShowOrder, order);

    const std::uint8_t keep = Ctx().m_bResizeFlag;
    ASSERT_TRUE(Run(32852));
    EXPECT_NE(Ctx().m_bResizeFlag, keep);
    EXPECT_EQ(m_frame->Router().Update(32852).m_nCheck, Ctx().m_bResizeFlag);
    EXPECT_EQ(m_frame->Action(32852)->icon().cacheKey(), m_frame->ProportionIcon(Ctx().m_bResizeFlag != 0).cacheKey());
    ASSERT_TRUE(Run(32852));
    s.m_bShowStart = 0;
    s.m_bShowDirection = 0;
}

// Shift+Del cuts the selection onto the clipboard as one step and Ctrl+V
// puts it back as another; with the keys in another control nothing is
// copied. Placement on the table needs a machine, takes a step only when
// something moves, and shows all objects when the selection was as large
// as the table, else the table.
TEST_F(ViewInputTest, ClipboardKeysAndTablePlacement)
{
    CDocData* line = AddLine();
    line->SetSelected(1);
    Ctx().m_rcSelect = line->m_rcBound;
    QTest::keyClick(m_view, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst, nullptr);
    ASSERT_EQ(g_settings.m_pClipboard, line);
    EXPECT_EQ(line->m_pNext, nullptr);
    EXPECT_EQ(Steps(), 1);
    QTest::keyClick(m_view, Qt::Key_V, Qt::ControlModifier);
    ASSERT_NE(Ctx().m_pCurrent->m_pFirst, nullptr);
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst->m_rcBound.m_xmin, 503000.0);
    EXPECT_EQ(Steps(), 2);

    auto* edit = new QLineEdit(m_frame.get());
    edit->show();
    edit->setFocus();
    ASSERT_TRUE(plat::WaitFor([&] { return !m_view->hasFocus(); }));
    CPathProc::DeleteObjects(g_settings.m_pClipboard);
    Ctx().m_pCurrent->m_pFirst->SetSelected(1);
    ASSERT_TRUE(Run(cmd::EditCopy));
    EXPECT_EQ(g_settings.m_pClipboard, nullptr);
    delete edit;

    // No machine: nothing at all.
    MachineNode* const frameMachines = g_settings.m_pMachines;
    g_settings.m_pMachines = nullptr;
    const double zoom = Ctx().m_dZoom;
    ASSERT_TRUE(Run(32897));
    EXPECT_EQ(Steps(), 2);
    EXPECT_EQ(Ctx().m_dZoom, zoom);

    MachineNode table;
    table.m_xsize = 900;
    table.m_ysize = 600;
    g_settings.m_pMachines = &table;
    g_settings.m_nCurMachine = 0;
    ASSERT_TRUE(Run(32789));
    const double tableZoom = Ctx().m_dZoom;
    m_view->SendMessage(COrvelView::kMsgZoomIn, 0, 0);
    Ctx().m_rcSelect = Ctx().m_pCurrent->m_pFirst->m_rcBound;
    ASSERT_TRUE(Run(32897));
    EXPECT_EQ(Steps(), 3);
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst->m_rcBound.m_ymin, kWorldOrigin);
    EXPECT_EQ(Ctx().m_dZoom, tableZoom) << "a selection smaller than the table shows the table";
    ASSERT_TRUE(Run(32897));
    EXPECT_EQ(Steps(), 3) << "already against the origin line";

    // 10000 x 7000 world units: larger than the 9000 x 6000 table.
    DOCNODE* nodes = AppendNode(nullptr, 500000.0, 500000.0);
    AppendNode(nodes, 510000.0, 507000.0);
    auto* big = new CDocDataLine(nodes, 1, nullptr);
    Ctx().m_pCurrent->m_pFirst->m_pNext = big;
    big->m_pPrev = Ctx().m_pCurrent->m_pFirst;
    CDocState().SelectAll(&Ctx(), true);
    ASSERT_TRUE(Run(32899));
    EXPECT_EQ(Steps(), 4);
    const double placedZoom = Ctx().m_dZoom;
    ASSERT_TRUE(Run(32790));
    EXPECT_EQ(placedZoom, Ctx().m_dZoom) << "all objects are shown";
    EXPECT_NE(placedZoom, tableZoom);
    g_settings.m_pMachines = frameMachines;
}

// The align letters act only without Ctrl, each as one undo step that shows
// on screen at once; group, ungroup and mirror come through the router with
// one step each, none when nothing changes.
TEST_F(ViewInputTest, AlignKeysGroupAndMirrorCommandsTakeOneStepEachAndShowAtOnce)
{
    CDocData* a = AddLine(503000.0);
    DOCNODE* nodes = AppendNode(nullptr, 506000.0, 504000.0);
    AppendNode(nodes, 507000.0, 504000.0);
    auto* b = new CDocDataLine(nodes, 1, nullptr);
    b->m_nLayer = 2;
    b->m_nColor = 0xFF0000;
    b->RecalcBoundRect(nullptr);
    a->m_pNext = b;
    b->m_pPrev = a;
    ASSERT_TRUE(Run(32790));
    CDocState().SelectAll(&Ctx(), true);
    Repaint();
    const plat::POINT oldPlace = Ctx().WorldToClientPixel(506500.0, 504000.0);
    ASSERT_EQ(Pixel(oldPlace), 0x0000FFu);

    QTest::keyClick(m_view, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(Steps(), 0);
    QTest::keyClick(m_view, Qt::Key_L);
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(a->m_rcBound.m_xmin, 503000.0);
    EXPECT_EQ(b->m_rcBound.m_xmin, 503000.0);
    EXPECT_EQ(b->m_rcBound.m_ymin, 504000.0);
    Repaint();
    EXPECT_EQ(Pixel(Ctx().WorldToClientPixel(503000.0, 503000.0)), 0x0000FFu);
    EXPECT_EQ(Pixel(Ctx().WorldToClientPixel(503000.0, 504000.0)), 0x0000FFu);
    EXPECT_EQ(Pixel(oldPlace), kWhite) << "the old place was not repainted";

    ASSERT_TRUE(Run(32860));
    EXPECT_EQ(Steps(), 2);
    CDocData* group = Ctx().m_pCurrent->m_pFirst;
    ASSERT_EQ(group->m_nType, static_cast<std::uint32_t>(MT_GROUP));
    EXPECT_EQ(group->m_pNext, nullptr);
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Steps(), 1);
    ASSERT_NE(Ctx().m_pCurrent->m_pFirst, nullptr);
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst->m_nType, static_cast<std::uint32_t>(MT_LINE));
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst->m_pNext->m_nType, static_cast<std::uint32_t>(MT_LINE));
    ASSERT_TRUE(Run(32862));
    EXPECT_EQ(Steps(), 1) << "ungrouping lines took a step";

    // Top-bottom about the middle line y 503500: the lines swap rows.
    CDocState().SelectAll(&Ctx(), true);
    ASSERT_TRUE(Run(32834));
    EXPECT_EQ(Steps(), 2);
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst->m_rcBound.m_ymin, 504000.0);
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst->m_pNext->m_rcBound.m_ymin, 503000.0);
}
