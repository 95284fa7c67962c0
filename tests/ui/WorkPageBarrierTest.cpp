// The light-guide plate page: its starting values without Bari.par and the
// spacing floor written there, the mode change, test patterns on closed
// outlines only (replaced, undone in one step), apply splicing them into the
// drawing, and switching the page off taking every pattern with one step.
#include "AppTestSupport.h"
#include "app/OrvelDoc.h"
#include "app/OrvelView.h"
#include "app/ViewPageCommands.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "ui/MyTabCtrl.h"
#include "ui/WorkDlgBar.h"
#include "ui/WorkPageBarrier.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <array>
#include <memory>

namespace {

CDocData* Square(double x0, double y0, double size, std::uint8_t selected)
{
    auto* r = new CDocDataRect(CGeoBox(x0, x0 + size, y0, y0 + size), nullptr, 255);
    r->m_bSelected = selected;
    return r;
}

CDocData* OpenPath(std::uint8_t selected)
{
    DOCNODE* head = AppendNode(nullptr, 500000, 500000);
    AppendNode(AppendNode(head, 501000, 500000), 501000, 501000);
    auto* line = new CDocDataLine(head, 1, nullptr);
    line->m_bSelected = selected;
    return line;
}

void Link(CDocListNode& doc, std::initializer_list<CDocData*> objects)
{
    CDocData* prev = nullptr;
    for (CDocData* o : objects) {
        o->m_pPrev = prev;
        if (prev != nullptr)
            prev->m_pNext = o;
        else
            doc.m_pFirst = o;
        prev = o;
    }
}

int Count(const CDocData* head)
{
    int n = 0;
    for (; head != nullptr; head = head->m_pNext)
        ++n;
    return n;
}

class WorkPageBarrierTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = std::make_unique<plat::ScratchProgram>();
        ASSERT_GT(CReadParamFile().LoadLanguageFiles(m_table), 0);
        SetLanguageTable(m_table);
        m_doc = new CDocListNode;
        m_ctx.m_pCurrent = m_doc;
        m_ctx.m_pView = &m_view;
        m_ctx.m_pSettings = &m_settings;
        m_page = std::make_unique<CWorkPageBarrier>();
        m_page->Create(nullptr);
    }
    void TearDown() override
    {
        m_page.reset();
        CDocListNode* head = m_ctx.m_pCurrent;
        while (head->m_pOlder != nullptr)
            head = head->m_pOlder;
        CDocState::DeleteHistoryChain(head);
        SetLanguageTable({});
        m_program.reset();
    }
    void Type(int id, const char* text) { m_page->Edit(id)->setText(QString::fromLatin1(text)); }
    double Shown(int id) const { return m_page->Edit(id)->text().toDouble(); }
    void SelectMode(int index)
    {
        m_page->ModeBox()->setCurrentIndex(index);
        emit m_page->ModeBox()->activated(index);
    }

    std::unique_ptr<plat::ScratchProgram> m_program;
    std::array<std::u16string, kLanguageTableSize> m_table;
    SoftwareSettings m_settings;
    CDocListNode* m_doc = nullptr;
    DOCCONTEXT m_ctx;
    plat::RecordingView m_view;
    std::unique_ptr<CWorkPageBarrier> m_page;
};

} // namespace

TEST_F(WorkPageBarrierTest, StartsFromTheDesignedValuesAndASpacingOfZeroIsWrittenAsATenthMillimetre)
{
    EXPECT_EQ(m_page->ModeBox()->count(), 5);
    EXPECT_EQ(m_page->ModeBox()->itemText(0), QStringLiteral("Lines"));
    EXPECT_EQ(m_page->ModeBox()->itemText(4), QStringLiteral("Scan Lines"));
    EXPECT_EQ(Shown(CWorkPageBarrier::IDC_WIDTH), 1.0);
    EXPECT_EQ(Shown(CWorkPageBarrier::IDC_HEIGHT), 1.0);
    for (int id : {CWorkPageBarrier::IDC_UP, CWorkPageBarrier::IDC_DOWN, CWorkPageBarrier::IDC_LEFT,
                   CWorkPageBarrier::IDC_RIGHT})
        EXPECT_EQ(Shown(id), 2.0) << id;
    EXPECT_EQ(Shown(CWorkPageBarrier::IDC_WIDTH_GRAD), 0.0);

    // Without an owner Test neither writes nor makes anything.
    m_page->OnTest();
    EXPECT_FALSE(m_program->Exists("Bari.par"));

    Type(CWorkPageBarrier::IDC_UP, "0");
    Type(CWorkPageBarrier::IDC_LEFT, "-3");
    Type(CWorkPageBarrier::IDC_RIGHT, "nan");
    m_page->SetOwner(&m_ctx, &m_view);
    m_page->OnTest();
    std::string bytes;
    ASSERT_TRUE(plat::ReadWholeFile(m_program->Root() + "Bari.par", bytes));
    EXPECT_NE(bytes.find("m_guide_up\r\n1.000000\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("m_guide_left\r\n1.000000\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("m_guide_right\r\n1.000000\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("m_guide_down\r\n20.000000\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("m_deri_ratio\r\n0.900000\r\n"), std::string::npos);
    // No object: no step, nothing repainted.
    EXPECT_EQ(m_ctx.m_nChangeCount, 0u);
    EXPECT_TRUE(m_view.m_invalidated.empty());
}

TEST_F(WorkPageBarrierTest, ModeChangeGivesAMissingSizeOneMillimetreOrTheWidth)
{
    Type(CWorkPageBarrier::IDC_WIDTH, "0");
    Type(CWorkPageBarrier::IDC_HEIGHT, "0.0005");
    Type(CWorkPageBarrier::IDC_WIDTH_GRAD, "3");
    Type(CWorkPageBarrier::IDC_HEIGHT_GRAD, "4");
    m_page->Edit(CWorkPageBarrier::IDC_WIDTH)->setEnabled(false);
    SelectMode(1);
    EXPECT_EQ(Shown(CWorkPageBarrier::IDC_WIDTH), 1.0);
    EXPECT_EQ(Shown(CWorkPageBarrier::IDC_HEIGHT), 1.0);
    EXPECT_EQ(Shown(CWorkPageBarrier::IDC_WIDTH_GRAD), 0.0);
    EXPECT_EQ(Shown(CWorkPageBarrier::IDC_HEIGHT_GRAD), 0.0);
    EXPECT_TRUE(m_page->Edit(CWorkPageBarrier::IDC_WIDTH)->isEnabled());

    // Height alone missing: lines keep it, other modes take the width.
    Type(CWorkPageBarrier::IDC_WIDTH, "2.5");
    Type(CWorkPageBarrier::IDC_WIDTH_GRAD, "0.3");
    Type(CWorkPageBarrier::IDC_HEIGHT, "0");
    SelectMode(0);
    EXPECT_EQ(Shown(CWorkPageBarrier::IDC_HEIGHT), 0.0);
    SelectMode(2);
    EXPECT_EQ(Shown(CWorkPageBarrier::IDC_HEIGHT), 2.5);
    EXPECT_EQ(Shown(CWorkPageBarrier::IDC_HEIGHT_GRAD), 0.3);
}

TEST_F(WorkPageBarrierTest, TestPatternsClosedOutlinesOnlyReplacesItsPatternAndUndoesInOneStep)
{
    CDocData* square = Square(500000, 500000, 200, 1);
    CDocData* open = OpenPath(1);
    Link(*m_doc, {square, open});
    m_ctx.m_rcSelect = CGeoBox(500000, 501000, 500000, 501000);
    m_page->SetOwner(&m_ctx, &m_view);

    // Open paths alone: no pattern, no step, no repaint.
    square->m_bSelected = 0;
    m_page->OnTest();
    EXPECT_EQ(square->m_pAttached, nullptr);
    EXPECT_EQ(open->m_pAttached, nullptr);
    EXPECT_EQ(m_ctx.m_nChangeCount, 0u);
    EXPECT_EQ(m_ctx.m_pCurrent->m_pOlder, nullptr);
    EXPECT_TRUE(m_view.m_invalidated.empty());

    square->m_bSelected = 1;
    m_page->OnTest();
    ASSERT_NE(square->m_pAttached, nullptr);
    EXPECT_EQ(open->m_pAttached, nullptr);
    const int elements = Count(square->m_pAttached);
    EXPECT_GT(elements, 1);
    EXPECT_EQ(m_view.m_invalidated.size(), 1u);
    // A second test replaces the pattern, and it reaches an outline that
    // carries one even when no longer selected.
    square->m_bSelected = 0;
    m_page->OnTest();
    EXPECT_EQ(Count(square->m_pAttached), elements);
    EXPECT_EQ(m_ctx.m_nChangeCount, 2u);

    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(m_ctx.m_pCurrent->m_pFirst->m_pAttached, nullptr);
}

TEST_F(WorkPageBarrierTest, ApplyPutsThePatternBeforeItsOutlineAndNothingWithoutATest)
{
    CDocData* open = OpenPath(0);
    CDocData* square = Square(500000, 500000, 200, 1);
    Link(*m_doc, {square, open});
    m_page->SetOwner(&m_ctx, &m_view);
    m_page->OnApply();
    EXPECT_EQ(m_doc->m_pFirst, square);
    EXPECT_EQ(m_ctx.m_nChangeCount, 0u);

    m_page->OnTest();
    const CDocData* first = square->m_pAttached;
    ASSERT_NE(first, nullptr);
    const int elements = Count(first);
    const std::uint64_t count = m_ctx.m_nChangeCount;
    m_page->OnApply();
    EXPECT_EQ(square->m_pAttached, nullptr);
    EXPECT_EQ(m_doc->m_pFirst, first);
    EXPECT_EQ(m_doc->m_pFirst->m_pPrev, nullptr);
    EXPECT_EQ(Count(m_doc->m_pFirst), elements + 2);
    EXPECT_EQ(square->m_pPrev->m_pNext, square);
    EXPECT_EQ(square->m_pNext, open);
    EXPECT_EQ(m_ctx.m_nChangeCount, count + 1);
}

TEST_F(WorkPageBarrierTest, SwitchingThePageOffRemovesEveryPatternAsOneStep)
{
    CWorkDlgBar bar;
    CDocData* a = Square(500000, 500000, 200, 1);
    CDocData* b = Square(501000, 500000, 200, 1);
    Link(*m_doc, {a, b});
    ViewPageCommands::SwitchPage(&bar, WorkPanelPages::kLightGuidePage, m_ctx, &m_view);
    EXPECT_EQ(m_settings.m_bLightGuidePage, 1);
    EXPECT_EQ(bar.TabCtrl()->count(), 4);
    EXPECT_EQ(bar.PageBarrier().Context(), &m_ctx);

    bar.PageBarrier().OnTest();
    b->m_bSelected = 0;
    ASSERT_NE(b->m_pAttached, nullptr);
    const std::uint64_t count = m_ctx.m_nChangeCount;
    m_view.m_invalidated.clear();
    ViewPageCommands::SwitchPage(&bar, WorkPanelPages::kLightGuidePage, m_ctx, &m_view);
    EXPECT_EQ(m_settings.m_bLightGuidePage, 0);
    EXPECT_EQ(bar.TabCtrl()->count(), 3);
    EXPECT_EQ(a->m_pAttached, nullptr);
    EXPECT_EQ(b->m_pAttached, nullptr);
    EXPECT_EQ(m_ctx.m_nChangeCount, count + 1);
    ASSERT_EQ(m_view.m_invalidated.size(), 1u);
    EXPECT_TRUE(m_view.m_lastErase);
    // One undo brings both back.
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_NE(m_ctx.m_pCurrent->m_pFirst->m_pAttached, nullptr);
    EXPECT_NE(m_ctx.m_pCurrent->m_pFirst->m_pNext->m_pAttached, nullptr);

    // Nothing to remove: no step.
    ASSERT_TRUE(CDocState::Redo(&m_ctx));
    const std::uint64_t after = m_ctx.m_nChangeCount;
    ViewPageCommands::SwitchPage(&bar, WorkPanelPages::kLightGuidePage, m_ctx, &m_view);
    ViewPageCommands::SwitchPage(&bar, WorkPanelPages::kLightGuidePage, m_ctx, &m_view);
    EXPECT_EQ(m_ctx.m_nChangeCount, after);
    // Not an optional page, or no panel: nothing.
    ViewPageCommands::SwitchPage(&bar, WorkPanelPages::kArrayPage, m_ctx, &m_view);
    ViewPageCommands::SwitchPage(nullptr, WorkPanelPages::kNestPage, m_ctx, &m_view);
    EXPECT_EQ(m_settings.m_bNestPage, 0);
}

TEST_F(WorkPageBarrierTest, TheViewChecksItsPageCommandsByTheSwitches)
{
    COrvelDoc doc;
    COrvelView view(&doc);
    SoftwareSettings* saved = doc.Context().m_pSettings;
    doc.Context().m_pSettings = &m_settings;
    CmdUI ui;
    ui.m_nID = ViewPageCommands::kNestCommand;
    ASSERT_TRUE(view.OnUpdateCommand(ui));
    EXPECT_EQ(ui.m_nCheck, 0);
    m_settings.m_bNestPage = 1;
    ui.m_nID = ViewPageCommands::kNestCommand;
    ASSERT_TRUE(view.OnUpdateCommand(ui));
    EXPECT_EQ(ui.m_nCheck, 1);
    ui.m_nID = ViewPageCommands::kLightGuideCommand;
    ASSERT_TRUE(view.OnUpdateCommand(ui));
    EXPECT_EQ(ui.m_nCheck, 0);
    m_settings.m_bOrderPage = 1;
    ui.m_nID = ViewPageCommands::kOrderCommand;
    ASSERT_TRUE(view.OnUpdateCommand(ui));
    EXPECT_EQ(ui.m_nCheck, 1);
    // Without a work panel the command changes nothing.
    EXPECT_TRUE(view.OnCommand(ViewPageCommands::kLightGuideCommand));
    EXPECT_EQ(m_settings.m_bLightGuidePage, 0);
    doc.Context().m_pSettings = saved;
}
