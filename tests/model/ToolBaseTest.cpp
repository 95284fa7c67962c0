// The editing tools' base: picking and counting, adding new objects and
// deleting the selection with their undo steps and repaints, and the overlay
// drawing (selection frame, handles, transform marks, rubber band, the path
// tools' menu, the objects pass limited to its clip). Repaint rectangles and
// handle squares are worked out by hand from zoom 0.5 and scroll (10, 20)
// unless a test says otherwise: client = world x 0.5 - scroll.
#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/RecordingDC.h"
#include "platform/ViewWindow.h"
#include "settings/LanguageTable.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"

#include "TestDocData.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

using plat::RecordingDC;
using Op = plat::RecordingDC::Op;

namespace {

CDocDataLine* Line(std::initializer_list<std::pair<double, double>> points, std::int32_t layer = 0)
{
    DOCNODE* head = nullptr;
    DOCNODE* tail = nullptr;
    for (const auto& [x, y] : points) {
        tail = AppendNode(tail, x, y);
        if (head == nullptr)
            head = tail;
    }
    auto* line = new CDocDataLine(head, 1, nullptr);
    line->SetSelected(0);
    line->m_nLayer = layer;
    return line;
}

std::vector<CDocData*> Objects(const CDocListNode& doc)
{
    std::vector<CDocData*> out;
    for (CDocData* obj = doc.m_pFirst; obj != nullptr; obj = obj->m_pNext)
        out.push_back(obj);
    return out;
}

std::vector<plat::RECT> FillRects(const RecordingDC& dc)
{
    std::vector<plat::RECT> out;
    for (const RecordingDC::Call& c : dc.Calls()) {
        if (c.op == Op::FillRect)
            out.push_back(plat::RECT{c.args[0], c.args[1], c.args[2], c.args[3]});
    }
    return out;
}

class ToolBaseTest : public ::testing::Test {
protected:
    ToolBaseTest()
    {
        m_settings.SetPaletteAndInterfaceDefaults();
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_pCurrent = new CDocListNode;
        m_ctx.m_pView = &m_view;
        m_ctx.m_dZoom = 0.5;
        m_view.m_scroll = {10, 20};
        for (CDocState*& tool : m_ctx.m_pTools)
            tool = &m_tool;
    }
    ~ToolBaseTest() override
    {
        CDocListNode* oldest = m_ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
        FreeWorkParamList(m_settings.m_pLayers);
    }
    void AddLayer(std::uint16_t id, bool cut, bool scan)
    {
        auto* rec = new WorkParams;
        rec->m_group_num = id;
        rec->m_border = cut ? 1 : 0;
        rec->m_sweep = scan ? 1 : 0;
        rec->m_pNext = m_settings.m_pLayers;
        m_settings.m_pLayers = rec;
    }
    CDocListNode& Doc() { return *m_ctx.m_pCurrent; }

    SoftwareSettings m_settings;
    DOCCONTEXT m_ctx;
    plat::RecordingView m_view;
    CDocState m_tool;
};

} // namespace

// Only the first object in list order under the mouse toggles; three pixels
// are six world units at zoom 0.5.
TEST_F(ToolBaseTest, SelectAtPointTogglesOnlyTheFirstObjectHitWithinThreePixels)
{
    CDocData* first = Line({{0, 100}, {200, 100}});
    CDocData* second = Line({{0, 100}, {200, 100}});
    Doc().m_pFirst = plat::LinkObjects({first, second});

    m_ctx.m_ptMouse = CGeoPoint(50, 105);
    EXPECT_TRUE(m_tool.SelectAtPoint(&m_ctx));
    EXPECT_EQ(first->IsSelected(), 1);
    EXPECT_EQ(second->IsSelected(), 0);
    EXPECT_TRUE(m_tool.SelectAtPoint(&m_ctx));
    EXPECT_EQ(first->IsSelected(), 0) << "a second hit deselects";
    EXPECT_EQ(second->IsSelected(), 0);

    m_ctx.m_ptMouse = CGeoPoint(50, 107);
    EXPECT_FALSE(m_tool.SelectAtPoint(&m_ctx));

    m_tool.SelectAll(&m_ctx, true);
    m_tool.m_nMode = 3;
    m_tool.DeselectAll(&m_ctx);
    EXPECT_TRUE(m_ctx.m_rcSelect.IsEmpty());
    EXPECT_FALSE(m_tool.HasSelection(&m_ctx));
    EXPECT_EQ(m_tool.m_nMode, 0u);
}

// A group counts its children, an array record rows x columns with a zero
// count taken as 1. Counting used to cut the link in front of the list's
// head; it must leave every link as it was.
TEST_F(ToolBaseTest, CountObjectsCountsGroupsAndArraysAndLeavesTheLinksAlone)
{
    auto* arrayed = &(new plat::TestDocData)->WithNodes({{0, 0}, {1, 1}});
    arrayed->m_pArray = new ARRAYREC;
    arrayed->m_pArray->m_nRows = 2;
    arrayed->m_pArray->m_nCols = 3;
    auto* group = &(new plat::TestDocData(MT_GROUP))
                       ->WithChild(new plat::TestDocData)
                       .WithChild(arrayed)
                       .WithChild(new plat::TestDocData);
    auto* zeroRows = &(new plat::TestDocData)->WithNodes({{5, 5}, {6, 6}});
    zeroRows->m_pArray = new ARRAYREC;
    zeroRows->m_pArray->m_nRows = 0;
    zeroRows->m_pArray->m_nCols = 4;
    auto* unselected = new plat::TestDocData;
    group->SetSelected(1);
    zeroRows->SetSelected(1);
    // The document's list hangs behind an object outside it.
    plat::TestDocData outside;
    Doc().m_pFirst = plat::LinkObjects({group, zeroRows, unselected});
    outside.m_pNext = group;
    group->m_pPrev = &outside;

    EXPECT_EQ(m_tool.CountObjects(&m_ctx), 12u);
    EXPECT_EQ(m_tool.CountObjectsInList(group->m_pChildren), 8u);
    EXPECT_EQ(m_tool.CountObjectsInList(Doc().m_pFirst), 13u);
    EXPECT_EQ(group->m_pPrev, &outside);
    EXPECT_EQ(outside.m_pNext, group);
    EXPECT_EQ(m_tool.CountSelected(&m_ctx), 2u);

    group->m_pPrev = nullptr;
    outside.m_pNext = nullptr;
    EXPECT_EQ(m_tool.CountObjects(nullptr), 0u);
}

// Each new object takes its output switch from its own layer (not only the
// head): B sits on a layer that is off and keeps none, C on a scanned layer
// and gets one. The old selection area and the new objects with the mouse
// point are repainted, grown by 15 pixels.
TEST_F(ToolBaseTest, AddObjectsAppendsSelectsAndSwitchesEachObjectByItsOwnLayer)
{
    AddLayer(5, true, false);
    AddLayer(6, false, false);
    AddLayer(7, false, true);
    CDocData* e = Line({{100, 200}, {300, 250}}, 5);
    Doc().m_pFirst = e;
    m_tool.SelectAll(&m_ctx, true);
    m_view.m_invalidated.clear();

    CDocData* a = Line({{400, 300}, {420, 320}}, 5);
    CDocData* b = Line({{430, 300}, {440, 310}}, 6);
    CDocData* c = Line({{450, 290}, {460, 305}}, 7);
    a->m_bOutput = 0;
    b->m_bOutput = 1;
    c->m_bOutput = 0;
    plat::LinkObjects({a, b, c});
    m_ctx.m_ptMouse = CGeoPoint(500, 330);
    m_tool.AddObjects(&m_ctx, a);

    EXPECT_EQ(Objects(Doc()), (std::vector<CDocData*>{e, a, b, c}));
    EXPECT_EQ(a->m_pPrev, e);
    EXPECT_EQ(e->IsSelected(), 0);
    EXPECT_EQ(m_tool.CountSelected(&m_ctx), 3u);
    EXPECT_EQ(a->m_bOutput, 1);
    EXPECT_EQ(b->m_bOutput, 0);
    EXPECT_EQ(c->m_bOutput, 1);
    EXPECT_EQ(m_ctx.m_rcSelect.m_xmin, 400);
    EXPECT_EQ(m_ctx.m_rcSelect.m_xmax, 460);
    EXPECT_EQ(m_ctx.m_rcSelect.m_ymin, 290);
    EXPECT_EQ(m_ctx.m_rcSelect.m_ymax, 320);
    EXPECT_EQ(m_view.m_selectionPageRefreshes, 1);
    EXPECT_EQ(m_view.m_layerListRefreshes, 1) << "layers 6 and 7 are new to the document";
    EXPECT_EQ(m_view.m_orderListRefreshes, 0);
    // Old: x 40..140, y 80..105; new with the mouse: x 190..240, y 125..145.
    EXPECT_EQ(m_view.m_invalidated, (std::vector<plat::RECT>{{25, 65, 155, 120}, {175, 110, 255, 160}}));
    EXPECT_TRUE(m_view.m_lastErase);

    // A layer the document has already: no layer list; the order page
    // rebuilds while it is present.
    m_settings.m_bOrderPage = 1;
    m_tool.AddObjects(&m_ctx, Line({{0, 0}, {10, 10}}, 6));
    EXPECT_EQ(m_view.m_layerListRefreshes, 1);
    EXPECT_EQ(m_view.m_orderListRefreshes, 1);
}

TEST_F(ToolBaseTest, AddObjectsWithADocumentArraySetsItsPitchAndRepaintsTheWholeView)
{
    Doc().m_pFirst = Line({{100, 200}, {300, 250}});
    Doc().m_pArray = new ARRAYREC;
    Doc().m_pArray->m_nCols = 2;
    m_tool.AddObjects(&m_ctx, Line({{400, 300}, {460, 320}}));
    EXPECT_EQ(Doc().m_pArray->m_dDx, 360.0);
    EXPECT_EQ(m_view.m_invalidated, (std::vector<plat::RECT>{{0, 0, -1, -1}}));
}

// Nothing selected: no undo step. Otherwise one step, the neighbours joined,
// the old selection area repainted (joined with the neighbours' boxes while
// travel lines are shown), and the layer list rebuilt.
TEST_F(ToolBaseTest, DeletingTheSelectionTakesOneStepJoinsTheNeighboursAndRepaintsItsArea)
{
    CDocData* a = Line({{400, 300}, {420, 320}});
    CDocData* b = Line({{430, 300}, {440, 310}});
    CDocData* c = Line({{450, 290}, {460, 305}});
    Doc().m_pFirst = plat::LinkObjects({a, b, c});

    m_tool.DeleteSelectedObjects(&m_ctx);
    EXPECT_EQ(Doc().m_pOlder, nullptr);
    EXPECT_EQ(m_ctx.m_nChangeCount, 0u);
    EXPECT_TRUE(m_view.m_invalidated.empty());

    b->SetSelected(1);
    m_tool.SharedUpdateSelectionRect(&m_ctx);
    m_tool.DeleteSelectedObjects(&m_ctx);
    EXPECT_EQ(Objects(Doc()), (std::vector<CDocData*>{a, c}));
    EXPECT_EQ(a->m_pNext, c);
    EXPECT_EQ(c->m_pPrev, a);
    EXPECT_TRUE(m_ctx.m_rcSelect.IsEmpty());
    ASSERT_NE(Doc().m_pOlder, nullptr);
    EXPECT_EQ(Doc().m_pOlder->m_pOlder, nullptr) << "one step";
    EXPECT_EQ(m_view.m_invalidated, (std::vector<plat::RECT>{{190, 115, 225, 150}}));
    EXPECT_EQ(m_view.m_layerListRefreshes, 1);

    // The head goes, travel lines shown: its neighbour's box joins in.
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    m_settings.m_bShowTravel = 1;
    m_tool.DeselectAll(&m_ctx);
    Doc().m_pFirst->SetSelected(1);
    m_tool.SharedUpdateSelectionRect(&m_ctx);
    m_view.m_invalidated.clear();
    m_tool.DeleteSelectedObjects(&m_ctx, CDocState::DeleteRepaint::Bezier);
    ASSERT_EQ(Objects(Doc()).size(), 2u);
    EXPECT_EQ(Doc().m_pFirst->m_pPrev, nullptr);
    // a and b: x 400..440, y 300..320 -> client 190..210, 130..140, grown by 10.
    EXPECT_EQ(m_view.m_invalidated, (std::vector<plat::RECT>{{180, 120, 220, 150}}));
}

TEST_F(ToolBaseTest, ASelectionAreaReachesOverTheDocumentArraysColumns)
{
    Doc().m_pArray = new ARRAYREC;
    Doc().m_pArray->m_nCols = 3;
    Doc().m_pArray->m_dDx = 100.0;
    CDocState::InvalidateSelectionArea(&m_ctx, CGeoBox(430, 440, 300, 310));
    // x-max 440 + 2 x 100 = 640: client 205..310.
    EXPECT_EQ(m_view.m_invalidated, (std::vector<plat::RECT>{{190, 115, 325, 150}}));
    CDocState::InvalidateSelectionArea(&m_ctx, CGeoBox());
    EXPECT_EQ(m_view.m_invalidated.size(), 1u);

    // A record of no columns places the objects once, where they are: the
    // area keeps its own x-max (client 205..210) instead of losing 100.
    Doc().m_pArray->m_nCols = 0;
    m_view.m_invalidated.clear();
    CDocState::InvalidateSelectionArea(&m_ctx, CGeoBox(430, 440, 300, 310));
    EXPECT_EQ(m_view.m_invalidated, (std::vector<plat::RECT>{{190, 115, 225, 150}}));
}

// Zoom 1, no scroll. Eight handles at a box of at least 10 x 10 pixels;
// beside a box 8 pixels wide the squares stand in three columns round its
// centre line, beside one 8 pixels high in three rows round its middle.
TEST_F(ToolBaseTest, TheSelectionFrameTakesTheNarrowOrLowPatternBelowTenPixels)
{
    m_ctx.m_dZoom = 1.0;
    m_view.m_scroll = {0, 0};
    RecordingDC& dc = m_view.m_dc;

    m_ctx.m_rcSelect = CGeoBox(100, 108, 50, 90);
    m_tool.DrawSelectionFrame(&m_ctx);
    EXPECT_EQ(FillRects(dc), (std::vector<plat::RECT>{{93, 42, 99, 48},
                                                      {101, 42, 107, 48},
                                                      {109, 42, 115, 48},
                                                      {93, 67, 99, 73},
                                                      {109, 67, 115, 73},
                                                      {93, 92, 99, 98},
                                                      {101, 92, 107, 98},
                                                      {109, 92, 115, 98}}));
    EXPECT_EQ(m_view.m_dcsTaken, 1);
    EXPECT_EQ(m_view.m_dcsReleased, 1);

    dc.Clear();
    m_ctx.m_rcSelect = CGeoBox(100, 140, 50, 58);
    m_tool.DrawSelectionFrame(&m_ctx);
    const std::vector<plat::RECT> low = FillRects(dc);
    ASSERT_EQ(low.size(), 8u);
    EXPECT_EQ(low.front(), (plat::RECT{92, 43, 98, 49}));
    EXPECT_EQ(low.back(), (plat::RECT{142, 59, 148, 65}));

    dc.Clear();
    m_ctx.m_rcSelect = CGeoBox(100, 140, 50, 90);
    m_tool.DrawSelectionFrame(&m_ctx);
    EXPECT_EQ(FillRects(dc), (std::vector<plat::RECT>{{93, 43, 99, 49},
                                                      {117, 42, 123, 48},
                                                      {142, 43, 148, 49},
                                                      {92, 67, 98, 73},
                                                      {143, 67, 149, 73},
                                                      {92, 92, 98, 98},
                                                      {117, 93, 123, 99},
                                                      {142, 92, 148, 98}}));

    dc.Clear();
    m_ctx.m_rcSelect.SetEmpty();
    m_tool.DrawSelectionFrame(&m_ctx);
    EXPECT_TRUE(dc.Calls().empty());
    EXPECT_EQ(m_view.m_dcsTaken, 3);
}

// Rounding of a point between pixels: X = trunc(x + 0.5), x0 = trunc(x).
TEST_F(ToolBaseTest, HandleSquaresRoundAndTruncateTheirPointAsTheTableSays)
{
    m_ctx.m_dZoom = 1.0;
    m_view.m_scroll = {0, 0};
    RecordingDC dc;
    const CGeoPoint p(10.6, 20.4);
    m_tool.DrawSelectionHandles(&dc, &m_ctx, p, 2);
    m_tool.DrawSelectionHandles(&dc, &m_ctx, p, 4);
    m_tool.DrawSelectionHandles(&dc, &m_ctx, p, 9);
    EXPECT_EQ(FillRects(dc), (std::vector<plat::RECT>{{12, 13, 18, 19}, {14, 17, 20, 23}, {10, 20, 16, 26}}));
    // A world point (index below 8) is mapped first.
    dc.Clear();
    m_ctx.m_dZoom = 0.5;
    m_view.m_scroll = {10, 20};
    m_tool.DrawSelectionHandles(&dc, &m_ctx, CGeoPoint(100, 100), 0);
    m_tool.DrawSelectionHandles(&dc, &m_ctx, CGeoPoint(100, 100), 100);
    EXPECT_EQ(FillRects(dc), (std::vector<plat::RECT>{{33, 23, 39, 29}, {100, 100, 106, 106}}));
}

// A selection reaching past the device range (a corner at 1e300) draws its
// handles at the range's end, the handle's own pixels beside it, instead of
// overflowing: index 1 at X is (X - 3, Y - 8) to (X + 3, Y - 2), index 7
// (X + 2, Y + 2) to (X + 8, Y + 8), with X = Y = 2^29 and -2^29.
TEST_F(ToolBaseTest, HandlesOfAFarSelectionStayAtTheEndOfTheDeviceRange)
{
    constexpr int kFar = 536870912;
    m_ctx.m_dZoom = 1.0;
    m_view.m_scroll = {0, 0};
    RecordingDC dc;
    m_tool.DrawSelectionHandles(&dc, &m_ctx, CGeoPoint(1e300, 1e300), 1);
    m_tool.DrawSelectionHandles(&dc, &m_ctx, CGeoPoint(-1e300, -1e300), 7);
    m_tool.DrawSelectionHandles(&dc, &m_ctx, CGeoPoint(1e300, -1e300), 100);
    EXPECT_EQ(FillRects(dc), (std::vector<plat::RECT>{{kFar - 3, kFar - 8, kFar + 3, kFar - 2},
                                                      {-kFar + 2, -kFar + 2, -kFar + 8, -kFar + 8},
                                                      {kFar, -kFar, kFar, -kFar}}));
}

TEST_F(ToolBaseTest, TransformMarksStandRoundTheMappedBox)
{
    m_ctx.m_dZoom = 1.0;
    m_view.m_scroll = {0, 0};
    RecordingDC dc;
    const CGeoBox box(20, 120, 30, 90);
    m_tool.DrawTransformMarks(&dc, &m_ctx, box, 1);
    m_tool.DrawTransformMarks(&dc, &m_ctx, box, 2);
    std::vector<std::vector<int>> icons;
    for (const RecordingDC::Call& c : dc.Calls())
        icons.push_back(c.args);
    EXPECT_EQ(icons, (std::vector<std::vector<int>>{{13, 23, 243},
                                                    {113, 23, 245},
                                                    {113, 83, 246},
                                                    {12, 82, 244},
                                                    {63, 24, 247},
                                                    {63, 92, 247},
                                                    {14, 54, 248},
                                                    {122, 54, 248}}));
    dc.Clear();
    m_tool.DrawTransformMarks(&dc, &m_ctx, box, 0);
    const std::vector<RecordingDC::Call> drawn = dc.DrawCalls();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].op, Op::Ellipse);
    EXPECT_EQ(drawn[0].args, (std::vector<int>{62, 52, 78, 68}));
    EXPECT_EQ(drawn[0].pen, (plat::Pen{plat::PS_SOLID, 1, 0x444444}));
    EXPECT_EQ(drawn[1].op, Op::Rectangle);
    EXPECT_EQ(drawn[1].args, (std::vector<int>{68, 58, 72, 62}));
    EXPECT_EQ(dc.CurrentBrush(), plat::Brush{});
}

// XOR pen of background XOR colour, corners x zoom rounded, four sides
// closing on the start; the raster mode and pen come back.
TEST_F(ToolBaseTest, TheRubberBandIsAnXorOutlineInLogicalCoordinates)
{
    RecordingDC dc;
    m_tool.DrawTrackRectPoints(&dc, CGeoPoint(101, 41), CGeoPoint(200.6, 80), plat::PS_DOT, 0x0000FF, &m_ctx);
    std::vector<std::vector<int>> path;
    for (const RecordingDC::Call& c : dc.DrawCalls()) {
        EXPECT_EQ(c.rop, plat::R2_XORPEN);
        EXPECT_EQ(c.pen, (plat::Pen{plat::PS_DOT, 0, 0xFFFF00}));
        path.push_back(c.args);
    }
    EXPECT_EQ(path, (std::vector<std::vector<int>>{{51, 21}, {100, 21}, {100, 40}, {51, 40}, {51, 21}}));
    EXPECT_EQ(dc.GetROP2(), plat::R2_COPYPEN);
    EXPECT_EQ(dc.CurrentPen(), plat::Pen{});
}

TEST(ToolBaseRules, TheCtrlSquareCutsTheLongerSideKeepingItsSign)
{
    const CGeoPoint down(100, 100);
    auto constrained = [&](double x, double y) {
        CGeoPoint cur(x, y);
        CDocState::ConstrainSquare(down, cur);
        return std::pair{cur.m_x, cur.m_y};
    };
    EXPECT_EQ(constrained(110, 96), (std::pair{104.0, 96.0}));
    EXPECT_EQ(constrained(97, 92), (std::pair{97.0, 97.0}));
    EXPECT_EQ(constrained(80, 120), (std::pair{80.0, 120.0}));
    EXPECT_EQ(constrained(130, -10), (std::pair{130.0, 70.0}));
}

namespace {

class MovingTool : public CDocState {
public:
    void OnMouseMove(DOCCONTEXT*) override { ++m_moves; }
    int m_moves = 0;
};

} // namespace

// The path menu comes only while something is drawn, at the mouse point,
// with entries 33 and 34 of the edit menu's section in place of its own
// texts; the tool's mouse move runs first in both cases.
TEST_F(ToolBaseTest, ThePathMenuShowsWhileDrawingWithItsTextsFromTheLanguageTable)
{
    std::vector<std::u16string> table = {u"phase11:edit-right-menu"};
    for (int k = 0; k < 35; ++k)
        table.push_back(k == 33 ? u"Finish" : k == 34 ? u"Shut" : u"x");
    SetLanguageTable(table);
    MovingTool tool;
    m_ctx.m_ptMouse = CGeoPoint(500, 330);

    EXPECT_TRUE(tool.ShowPathMenu(&m_ctx, false));
    EXPECT_EQ(tool.m_moves, 1);
    EXPECT_TRUE(m_view.m_popups.empty());

    EXPECT_FALSE(tool.ShowPathMenu(&m_ctx, true));
    EXPECT_EQ(tool.m_moves, 2);
    const std::vector<plat::MenuItemText> texts = {{32880, u"Finish"}, {32881, u"Shut"}};
    EXPECT_EQ(m_view.m_popups, (std::vector<plat::RecordingView::Popup>{{214, texts, {240, 145}}}));

    // No language table: the menu keeps its own texts.
    SetLanguageTable({});
    EXPECT_FALSE(tool.ShowPathMenu(&m_ctx, true));
    ASSERT_EQ(m_view.m_popups.size(), 2u);
    EXPECT_TRUE(m_view.m_popups[1].texts.empty());
}

namespace {

class DrawnLog : public plat::TestDocData {
public:
    explicit DrawnLog(std::vector<int>& log, int id) : m_log(log), m_id(id) {}
    void Draw(CDC*, DOCCONTEXT*) override { m_log.push_back(m_id); }

private:
    std::vector<int>& m_log;
    int m_id;
};

} // namespace

// A repaint of part of the view draws only what can reach it: objects
// beyond the clip (and a margin for their marks) are passed over unless
// their lead line reaches in; travel lines are drawn whole, since they
// cross the view between objects outside it.
TEST_F(ToolBaseTest, TheObjectsPassSkipsWhatCannotReachTheClipBox)
{
    m_ctx.m_dZoom = 1.0;
    m_view.m_scroll = {0, 0};
    m_settings.m_bShowTravel = 1;
    std::vector<int> drawn;
    auto* near = &(new DrawnLog(drawn, 1))->WithNodes({{10, 10}, {20, 20}});
    auto* far = &(new DrawnLog(drawn, 2))->WithNodes({{1000, 1000}, {1010, 1010}});
    auto* leading = &(new DrawnLog(drawn, 3))->WithNodes({{2000, 2000}, {2010, 2010}});
    leading->m_pLeadInOut = new LEADINOUT;
    leading->m_pLeadInOut->m_bLeadIn = 1;
    leading->m_pLeadInOut->m_dInX = 50;
    leading->m_pLeadInOut->m_dInY = 50;
    auto* justOutside = &(new DrawnLog(drawn, 4))->WithNodes({{163, 0}, {170, 5}});
    Doc().m_pFirst = plat::LinkObjects({near, far, leading, justOutside});

    RecordingDC dc;
    dc.m_hasClip = true;
    dc.m_clip = {0, 0, 100, 100};
    m_tool.DrawObjects(&dc, &m_ctx);
    // The margin is 64 pixels: x 163 is inside it.
    EXPECT_EQ(drawn, (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(dc.Count(Op::LineTo), 3u) << "every travel line";

    // An array of copies spreads the drawing: nothing is passed over.
    drawn.clear();
    Doc().m_pArray = new ARRAYREC;
    Doc().m_pArray->m_nRows = 2;
    m_tool.DrawObjects(&dc, &m_ctx);
    EXPECT_EQ(drawn, (std::vector<int>{1, 2, 3, 4}));
}
