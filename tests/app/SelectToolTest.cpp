// The select and transform tool on a recording view: zoom 1, scroll
// (499950, 499950), so world (500000, 500000) is client (50, 50). The
// rectangle (500100, 500100)-(500300, 500200) is the client box
// (150, 150)-(350, 250). Expected boxes are worked out by hand.
#include "app/tools/DocStateNone.h"
#include "app/tools/DocTools.h"
#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/DocDataPoint.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "platform/Prompt.h"
#include "platform/RecordingDC.h"
#include "platform/ViewWindow.h"
#include "settings/LanguageTable.h"
#include "settings/SoftwareSettings.h"

#include "ToolContextTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <vector>

namespace {

constexpr double kOrigin = 499950.0;

class SelectToolTest : public plat::ToolContextTest {
protected:
    SelectToolTest()
    {
        UseTool(m_tool);
    }

    CDocData* Add(CDocData* obj)
    {
        CDocData* last = m_ctx.m_pCurrent->m_pFirst;
        while (last != nullptr && last->m_pNext != nullptr)
            last = last->m_pNext;
        obj->m_pPrev = last;
        obj->m_pNext = nullptr;
        (last != nullptr ? last->m_pNext : m_ctx.m_pCurrent->m_pFirst) = obj;
        return obj;
    }
    CDocData* AddRect(double x0, double y0, double x1, double y1)
    {
        return Add(new CDocDataRect(CGeoBox(x0, x1, y0, y1), nullptr, 255));
    }
    CDocData* AddLine(std::initializer_list<std::pair<double, double>> points)
    {
        DOCNODE* head = nullptr;
        DOCNODE* tail = nullptr;
        for (const auto& [x, y] : points) {
            tail = AppendNode(tail, x, y);
            if (head == nullptr)
                head = tail;
        }
        return Add(new CDocDataLine(head, 1, nullptr));
    }
    CDocData* First() { return m_ctx.m_pCurrent->m_pFirst; }

    void At(double cx, double cy) { m_ctx.m_ptMouse = CGeoPoint(cx + kOrigin, cy + kOrigin); }
    void Press(double cx, double cy)
    {
        At(cx, cy);
        m_ctx.m_pDC = &m_dc;
        m_tool.OnLButtonDown(&m_ctx);
        m_ctx.m_pDC = nullptr;
    }
    void Move(double cx, double cy)
    {
        At(cx, cy);
        m_ctx.m_pDC = &m_dc;
        m_tool.OnMouseMove(&m_ctx);
        m_ctx.m_pDC = nullptr;
    }
    void Release(double cx, double cy)
    {
        At(cx, cy);
        m_ctx.m_pDC = &m_dc;
        m_tool.OnLButtonUp(&m_ctx);
        m_ctx.m_pDC = nullptr;
    }
    void Drag(double x0, double y0, double x1, double y1)
    {
        Press(x0, y0);
        Move(x1, y1);
        Release(x1, y1);
    }
    void Click(double x, double y) { Drag(x, y, x, y); }
    int Steps() const
    {
        int n = 0;
        for (CDocListNode* s = m_ctx.m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n;
        return n;
    }
    bool WholeViewInvalidated() const
    {
        for (const plat::RECT& r : m_view.m_invalidated) {
            if (r.left == 0 && r.top == 0 && r.right == -1 && r.bottom == -1)
                return true;
        }
        return false;
    }

    CDocStateNone m_tool;
};

void ExpectBox(const CGeoBox& box, double x0, double y0, double x1, double y1)
{
    EXPECT_NEAR(box.m_xmin, x0, 1e-6);
    EXPECT_NEAR(box.m_ymin, y0, 1e-6);
    EXPECT_NEAR(box.m_xmax, x1, 1e-6);
    EXPECT_NEAR(box.m_ymax, y1, 1e-6);
}

} // namespace

TEST(SelectToolTable, SlotZeroIsTheSelectTool)
{
    std::unique_ptr<CDocState> tool(CreateDocTool(0));
    EXPECT_NE(dynamic_cast<CDocStateNone*>(tool.get()), nullptr);
    EXPECT_EQ(ToolCommand(0), 32772u);
}

// The grid of a 200 x 100 box lies 5 pixels out at the top left and 4 at the
// bottom right; 3 pixels off a position still hit it, 3.5 do not.
TEST_F(SelectToolTest, ClickSelectsAndHandleGridHitsWithinThreePixels)
{
    CDocData* rect = AddRect(500100, 500100, 500300, 500200);
    Click(150, 200); // on the left edge
    EXPECT_EQ(rect->IsSelected(), 1);
    EXPECT_EQ(m_tool.m_nMode, 1u);
    ExpectBox(m_ctx.m_rcSelect, 500100, 500100, 500300, 500200);
    ASSERT_FALSE(m_view.m_sizesShown.empty());
    EXPECT_EQ(m_view.m_sizesShown.back(), (std::vector<double>{500100, 500300, 500100, 500200}));
    EXPECT_EQ(Steps(), 0) << "selecting is no edit";

    const CGeoBox client(150, 350, 150, 250);
    EXPECT_EQ(CDocStateNone::HitHandle(client, 145, 145), 1u);
    EXPECT_EQ(CDocStateNone::HitHandle(client, 354, 254), 9u);
    EXPECT_EQ(CDocStateNone::HitHandle(client, 250, 145), 2u);
    EXPECT_EQ(CDocStateNone::HitHandle(client, 145, 200), 4u);
    EXPECT_EQ(CDocStateNone::HitHandle(client, 357, 257), 9u);
    EXPECT_EQ(CDocStateNone::HitHandle(client, 357.5, 254), 0u);
    const CGeoBox half(150.5, 350.5, 150.5, 250.5);
    EXPECT_EQ(CDocStateNone::HitHandle(half, 145.5 - 3.5, 145.5), 0u);
    EXPECT_EQ(CDocStateNone::HitHandle(half, 145.5 - 3.0, 145.5 + 3.0), 1u);
    // A box two pixels wide: L = cx - 8, R = cx + 7.
    const CGeoBox thin(200, 202, 150, 250);
    EXPECT_EQ(CDocStateNone::HitHandle(thin, 193, 200), 4u);
    EXPECT_EQ(CDocStateNone::HitHandle(thin, 208, 200), 6u);
    EXPECT_EQ(CDocStateNone::HitHandle(CGeoBox(), 49, 49), 0u) << "no handles on an empty box";

    Press(357, 257);
    EXPECT_EQ(m_tool.m_nHandle, 9u);
    ASSERT_FALSE(m_view.m_cursors.empty());
    EXPECT_EQ(m_view.m_cursors.back(), plat::IDC_SIZENWSE);
}

// Corner 9 dragged by (+W, +H/2): the larger factor, 2, on both axes about
// (xmin, ymin), in one undo step.
TEST_F(SelectToolTest, CornerScaleKeepsProportionsInOneStepAndUndoRestores)
{
    AddRect(500100, 500100, 500300, 500200);
    Click(200, 150);
    const std::uint64_t changes = m_ctx.m_nChangeCount;
    Drag(354, 254, 554, 304);
    ExpectBox(First()->m_rcBound, 500100, 500100, 500500, 500300);
    ExpectBox(m_ctx.m_rcSelect, 500100, 500100, 500500, 500300);
    EXPECT_EQ(m_tool.m_nMode, 1u);
    EXPECT_EQ(Steps(), 1);
    EXPECT_GT(m_ctx.m_nChangeCount, changes);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    ExpectBox(First()->m_rcBound, 500100, 500100, 500300, 500200);
}

// Zero-size boxes never divide by zero: no NaN factors, a flat box dragged
// at an edge moves.
TEST(SelectToolScale, FlatBoxesGiveFiniteFactorsOrMove)
{
    const CGeoBox line(10, 110, 50, 50);
    const auto edge = CDocStateNone::ScaleFor(8, line, 5, 20);
    EXPECT_TRUE(edge.move);
    const auto corner = CDocStateNone::ScaleFor(9, line, 50, 20);
    EXPECT_FALSE(corner.move);
    EXPECT_DOUBLE_EQ(corner.sx, 1.5);
    EXPECT_DOUBLE_EQ(corner.sy, 1.0);
    const auto dot = CDocStateNone::ScaleFor(1, CGeoBox(5, 5, 5, 5), 7, 7);
    EXPECT_DOUBLE_EQ(dot.sx, 1.0);
    EXPECT_DOUBLE_EQ(dot.sy, 1.0);
    EXPECT_TRUE(std::isfinite(CDocStateNone::ScaleFor(4, CGeoBox(5, 5, 0, 10), 3, 0).sx));
}

TEST_F(SelectToolTest, FlatLineAndPointObjectsMoveByTheDragVector)
{
    CDocData* line = AddLine({{500100, 500150}, {500300, 500150}});
    Click(200, 100); // empty space: nothing
    EXPECT_EQ(m_tool.m_nMode, 0u);
    Click(200, 200);
    ASSERT_EQ(m_tool.m_nMode, 1u);
    Drag(250, 204, 270, 234); // handle 8 of a zero-height box
    ExpectBox(line->m_rcBound, 500120, 500180, 500320, 500180);

    CDocData* point = Add(new CDocDataPoint(500200, 500300, nullptr));
    m_tool.OnKeyDown(&m_ctx, 'A');
    ExpectBox(m_ctx.m_rcSelect, 500120, 500180, 500320, 500300);
    // Corner 9 at (374, 354) dragged by (+10, +5): the line scales, the point moves.
    Drag(374, 354, 384, 359);
    ExpectBox(point->m_rcBound, 500210, 500305, 500210, 500305);
}

// A second click inside gives the rotate and skew marks; each drag acts on
// the original rectangle; a third click gives the scale handles again.
TEST_F(SelectToolTest, SecondClickRotatesAndSkewsThirdClickScalesAgain)
{
    AddRect(500100, 500100, 500300, 500200);
    Click(200, 150);
    Click(250, 200);
    ASSERT_EQ(m_tool.m_nMode, 2u);
    Drag(354, 254, 196, 304); // a quarter turn about (500200, 500150)
    ExpectBox(First()->m_rcBound, 500150, 500050, 500250, 500250);
    EXPECT_EQ(m_tool.m_nMode, 2u);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    m_tool.Reset(2, &m_ctx);
    m_tool.UpdateSelectionRect(&m_ctx);

    Drag(250, 145, 300, 145); // top edge sheared by +50
    ExpectBox(First()->m_rcBound, 500100, 500100, 500350, 500200);
    EXPECT_EQ(Steps(), 1);

    Click(250, 150);
    EXPECT_EQ(m_tool.m_nMode, 1u);
}

// A shear with no reference extent moves, also at negative coordinates
// where the shear itself would leave the object where it was.
TEST_F(SelectToolTest, SkewOfAFlatSelectionMovesItAtAnyCoordinates)
{
    CDocData* line = AddLine({{-500, -300}, {-100, -300}});
    line->SetSelected(1);
    m_tool.UpdateSelectionRect(&m_ctx);
    m_tool.Reset(2, &m_ctx);
    // Handle 2 of a zero-height box sits at client (cx, T = cy - 8).
    CGeoBox client;
    m_ctx.WorldToClientRect(m_ctx.m_rcSelect, client);
    const double cx = (client.m_xmin + client.m_xmax) / 2, cy = (client.m_ymin + client.m_ymax) / 2;
    Drag(cx, cy - 8, cx + 40, cy + 2);
    ExpectBox(line->m_rcBound, -460, -290, -60, -290);
}

// A drag that would take the selection beyond 1e9 world units (100 km) is
// refused with its message and changes nothing, undo history included; one
// that ends exactly at the limit is made. The 50 x 100 rectangle starts at
// x = 999,999,900.
TEST_F(SelectToolTest, DragsBeyondTheWorldsReachAreRefusedAndChangeNothing)
{
    std::vector<std::u16string> table(kLanguageTableSize);
    table[10] = u"phase15:error-hint";
    table[11 + 46] = u"too far";
    SetLanguageTable(table);
    plat::RecordingPrompt prompt;
    plat::SetPrompt(&prompt);
    const auto cx = [](double world) { return world - kOrigin; };
    CDocData* rect = AddRect(999999900, 500100, 999999950, 500200);
    Click(cx(999999900), 200);
    ASSERT_EQ(m_tool.m_nMode, 1u);

    Drag(cx(999999925), 170, cx(999999985), 170); // moved by +60
    // Corner 9 (4 pixels beyond the corner) by +60: factor 110 / 50.
    Drag(cx(999999954), 254, cx(1000000014), 254);
    ExpectBox(rect->m_rcBound, 999999900, 500100, 999999950, 500200);
    ExpectBox(m_ctx.m_rcSelect, 999999900, 500100, 999999950, 500200);
    EXPECT_EQ(Steps(), 0);
    ASSERT_EQ(prompt.m_shown.size(), 2u);
    EXPECT_EQ(prompt.m_shown[0].text, u"too far");
    EXPECT_TRUE(WholeViewInvalidated()) << "the previews are painted over";

    Drag(cx(999999925), 170, cx(999999975), 170); // +50: ends at 1e9
    ExpectBox(rect->m_rcBound, 999999950, 500100, 1e9, 500200);
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(prompt.m_shown.size(), 2u);
    plat::SetPrompt(nullptr);
    SetLanguageTable({});
}

// Shift on a handle draws a rubber band and toggles what lies wholly inside;
// a band without width selects nothing even across objects.
TEST_F(SelectToolTest, ShiftBandTogglesAndZeroWidthBandSelectsNothing)
{
    CDocData* a = AddRect(500100, 500100, 500300, 500200);
    CDocData* b = AddRect(500400, 500100, 500420, 500120);
    Click(150, 200);
    m_ctx.m_bShift = 1;
    Drag(354, 254, 480, 90); // from handle 9 round b and a's right part
    m_ctx.m_bShift = 0;
    EXPECT_EQ(a->IsSelected(), 1) << "a lies partly outside: unchanged";
    EXPECT_EQ(b->IsSelected(), 1);
    ExpectBox(a->m_rcBound, 500100, 500100, 500300, 500200); // no scale
    EXPECT_EQ(Steps(), 0);

    Click(10, 10);
    EXPECT_EQ(m_tool.m_nMode, 0u);
    Drag(200, 10, 200, 400);
    EXPECT_EQ(a->IsSelected(), 0);
    EXPECT_EQ(m_tool.m_nMode, 0u);
    Drag(40, 40, 500, 300);
    EXPECT_EQ(a->IsSelected(), 1);
    EXPECT_EQ(b->IsSelected(), 1);
    EXPECT_EQ(m_tool.m_nMode, 1u);
}

TEST_F(SelectToolTest, HandlesUseTheNarrowLayoutAndNoneForAnEmptyBox)
{
    AddRect(500100, 500100, 500108, 500140); // client (150, 150)-(158, 190)
    Click(150, 170);
    ASSERT_EQ(m_tool.m_nMode, 1u);
    m_view.m_dc.Clear();
    m_tool.DrawFeedback(&m_ctx);
    std::vector<std::pair<int, int>> corners;
    for (const auto& c : m_view.m_dc.Calls()) {
        if (c.op == plat::RecordingDC::Op::FillRect) {
            corners.emplace_back(c.args[0], c.args[1]);
            EXPECT_EQ(c.args[2] - c.args[0], 6);
        }
    }
    EXPECT_EQ(corners, (std::vector<std::pair<int, int>>{
                           {143, 142}, {151, 142}, {159, 142}, {143, 167}, {159, 167}, {143, 192}, {151, 192}, {159, 192}}));

    // Delete keeps the mode; with the box empty nothing is drawn.
    m_tool.OnKeyDown(&m_ctx, 46);
    EXPECT_EQ(m_tool.m_nMode, 1u);
    m_view.m_dc.Clear();
    m_tool.DrawFeedback(&m_ctx);
    m_tool.Reset(2, &m_ctx);
    m_tool.DrawFeedback(&m_ctx);
    EXPECT_TRUE(m_view.m_dc.Calls().empty());
}

TEST_F(SelectToolTest, KeysNudgeDeleteAndSelectAll)
{
    CDocData* a = AddRect(500100, 500100, 500300, 500200);
    AddRect(500400, 500100, 500420, 500120);
    const std::uint64_t changes = m_ctx.m_nChangeCount;
    m_tool.OnKeyDown(&m_ctx, 39);
    m_tool.OnKeyDown(&m_ctx, 46);
    EXPECT_EQ(m_ctx.m_nChangeCount, changes) << "keys with nothing selected change nothing";
    EXPECT_EQ(Steps(), 0);

    m_tool.OnKeyDown(&m_ctx, 'A');
    EXPECT_EQ(m_tool.m_nMode, 1u);
    EXPECT_EQ(Steps(), 0);
    ExpectBox(m_ctx.m_rcSelect, 500100, 500100, 500420, 500200);

    m_ctx.m_dZoom = 2.0;
    m_tool.OnKeyDown(&m_ctx, 39);
    ExpectBox(a->m_rcBound, 500101.5, 500100, 500301.5, 500200);
    EXPECT_EQ(Steps(), 0);
    EXPECT_GT(m_ctx.m_nChangeCount, changes) << "a nudge marks the drawing modified";

    m_settings.m_bShowOrder = 1;
    m_view.m_invalidated.clear();
    m_tool.OnKeyDown(&m_ctx, 46);
    EXPECT_TRUE(WholeViewInvalidated());
    EXPECT_EQ(First(), nullptr);
    EXPECT_EQ(Steps(), 1);
}

TEST_F(SelectToolTest, DeleteWithTravelLinesRepaintsTheNeighbours)
{
    AddRect(500000, 500000, 500010, 500010);
    CDocData* mid = AddRect(500100, 500100, 500110, 500110);
    AddRect(500600, 500400, 500610, 500410);
    m_settings.m_bShowTravel = 1;
    mid->SetSelected(1);
    m_tool.UpdateSelectionRect(&m_ctx);
    m_tool.Reset(1, &m_ctx);
    m_view.m_invalidated.clear();
    m_tool.OnKeyDown(&m_ctx, 46);
    ASSERT_FALSE(m_view.m_invalidated.empty());
    const plat::RECT r = m_view.m_invalidated.back();
    EXPECT_LE(r.left, 50 - 15);
    EXPECT_GE(r.right, 660 + 15);
    EXPECT_GE(r.bottom, 460 + 15);
}

TEST_F(SelectToolTest, PaletteRecoloursOnlyWhenSomethingChanges)
{
    CDocData* a = AddRect(500100, 500100, 500300, 500200);
    a->SetColor(3, m_settings.PaletteColor(3));
    Click(150, 200);
    m_settings.m_nCurLayer = 3;
    m_tool.SetSelectionColor(&m_ctx);
    EXPECT_EQ(Steps(), 0) << "the same index and colour is no edit";

    m_settings.m_nCurLayer = 5;
    m_tool.SetSelectionColor(&m_ctx);
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(First()->m_nLayer, 5);
    EXPECT_EQ(First()->m_nColor, m_settings.PaletteColor(5));
    EXPECT_GE(m_view.m_layerListRefreshes, 1);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(First()->m_nLayer, 3);
}

TEST_F(SelectToolTest, RightButtonShowsTheEditMenuAndStays)
{
    At(100, 120);
    EXPECT_FALSE(m_tool.OnRButtonDown(&m_ctx));
    ASSERT_EQ(m_view.m_popups.size(), 1u);
    EXPECT_EQ(m_view.m_popups[0].menuId, 231);
    EXPECT_EQ(m_view.m_popups[0].client.x, 100);
    EXPECT_EQ(m_view.m_popups[0].client.y, 120);
}
