// The nesting page: nest.par shown and written back, progress posted from
// another thread, a run that ends by itself replacing the nested polylines by
// their placed copies in one undo step without touching the clipboard, Stop
// applying the best layout and closing the run's handle, and runs whose
// document changed, was switched away from, or closed.
#include "AppTestSupport.h"
#include "qtplatform/QtMessagePoster.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "processing/PathProc.h"
#include "settings/LanguageTable.h"
#include "settings/NestSettings.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "ui/WorkDlgBar.h"
#include "ui/WorkPageNest.h"
#include "ui/XPButton.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include <array>
#include <memory>
#include <thread>

namespace {

// A closed polyline box, selected.
CDocData* Poly(double x0, double y0, double w, double h)
{
    DOCNODE* head = AppendNode(nullptr, x0, y0);
    DOCNODE* n = AppendNode(head, x0 + w, y0);
    n = AppendNode(n, x0 + w, y0 + h);
    n = AppendNode(n, x0, y0 + h);
    AppendNode(n, x0, y0);
    auto* line = new CDocDataLine(head, 1, nullptr);
    line->m_bSelected = 1;
    return line;
}

std::vector<CDocData*> Objects(const DOCCONTEXT& ctx)
{
    std::vector<CDocData*> out;
    for (CDocData* o = ctx.m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
        out.push_back(o);
    return out;
}

// One document: its snapshot chain freed at the end.
struct Document {
    Document()
    {
        ctx.m_pCurrent = new CDocListNode;
        ctx.m_pView = &view;
        ctx.m_pSettings = &settings;
    }
    ~Document()
    {
        CDocListNode* head = ctx.m_pCurrent;
        while (head->m_pOlder != nullptr)
            head = head->m_pOlder;
        CDocState::DeleteHistoryChain(head);
        CPathProc::DeleteObjects(settings.m_pClipboard);
    }
    // A wide part and two squares after an unselected object.
    void AddThreeParts()
    {
        CDocData* other = Poly(400000, 400000, 10, 10);
        other->m_bSelected = 0;
        CDocData* parts[] = {other, Poly(505000, 505000, 200, 100), Poly(501000, 501000, 100, 100),
                             Poly(503000, 503000, 100, 100)};
        CDocData* prev = nullptr;
        for (CDocData* o : parts) {
            o->m_pPrev = prev;
            if (prev != nullptr)
                prev->m_pNext = o;
            else
                ctx.m_pCurrent->m_pFirst = o;
            prev = o;
        }
    }
    SoftwareSettings settings;
    plat::RecordingView view;
    DOCCONTEXT ctx;
};

class WorkPageNestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = std::make_unique<plat::ScratchProgram>();
        ASSERT_GT(CReadParamFile().LoadLanguageFiles(m_table), 0);
        SetLanguageTable(m_table);
        m_poster = std::make_unique<QtMessagePoster>();
        plat::SetMessagePoster(m_poster.get());
    }
    void TearDown() override
    {
        m_page.reset();
        plat::SetMessagePoster(nullptr);
        m_poster.reset();
        SetLanguageTable({});
        m_program.reset();
    }
    CWorkPageNest& MakePage(DOCCONTEXT* ctx, plat::ViewWindow* view)
    {
        m_page = std::make_unique<CWorkPageNest>();
        m_page->Create(nullptr);
        m_page->SetOwner(ctx, view);
        m_page->Engine().SetSeed(1);
        m_page->RotateBox()->setChecked(false);
        return *m_page;
    }
    // A run that goes on until stopped.
    void StartEndless(CWorkPageNest& page)
    {
        page.Edit(CWorkPageNest::IDC_TARGET)->setText(QStringLiteral("101"));
        page.Edit(CWorkPageNest::IDC_TIME)->setText(QStringLiteral("60"));
        page.OnStartStop();
        ASSERT_TRUE(page.IsRunning());
    }

    std::unique_ptr<plat::ScratchProgram> m_program;
    std::array<std::u16string, kLanguageTableSize> m_table;
    std::unique_ptr<QtMessagePoster> m_poster;
    std::unique_ptr<CWorkPageNest> m_page;
};

} // namespace

TEST_F(WorkPageNestTest, ShowsNestParWritesTheStepAsPositionsAndShowsProgressPostedFromAnotherThread)
{
    m_program->Write("nest.par", "m_limit_time\r\n150\r\nm_rot_sum\r\n51\r\nm_rot_allow\r\n1\r\n");
    Document doc;
    CWorkPageNest& page = MakePage(&doc.ctx, &doc.view);
    EXPECT_EQ(page.Edit(CWorkPageNest::IDC_TIME)->text(), QStringLiteral("2.5"));
    EXPECT_EQ(page.Edit(CWorkPageNest::IDC_STEP)->text(), QStringLiteral("7"));
    EXPECT_EQ(page.Edit(CWorkPageNest::IDC_WIDTH)->text(), QStringLiteral("900"));
    EXPECT_EQ(page.RatioLabel()->text(), QStringLiteral("0%"));

    // Nothing selected: the run ends at once.
    page.Edit(CWorkPageNest::IDC_STEP)->setText(QStringLiteral("90"));
    page.Edit(CWorkPageNest::IDC_TIME)->setText(QStringLiteral("1e300"));
    page.OnStartStop();
    EXPECT_TRUE(plat::WaitFor([&] { return !page.IsRunning(); }));
    NestSettings stored;
    CReadParamFile().ReadNestParam(stored);
    EXPECT_EQ(stored.m_rot_sum, 4u);
    EXPECT_EQ(stored.m_limit_time, 2147483647u);

    // A step that divides no turn, and a stored count of 0: no rotation.
    page.Edit(CWorkPageNest::IDC_STEP)->setText(QStringLiteral("400"));
    page.OnStartStop();
    EXPECT_TRUE(plat::WaitFor([&] { return !page.IsRunning(); }));
    CReadParamFile().ReadNestParam(stored);
    EXPECT_EQ(stored.m_rot_sum, 1u);
    EXPECT_EQ(stored.m_rot_allow, 0u);
    m_program->Write("nest.par", "m_rot_sum\r\n0\r\nm_limit_time\r\n-60\r\nm_sizex\r\n0\r\n");
    CWorkPageNest& again = MakePage(&doc.ctx, &doc.view);
    EXPECT_EQ(again.Edit(CWorkPageNest::IDC_STEP)->text(), QStringLiteral("0"));
    EXPECT_FALSE(again.RotateBox()->isChecked());
    EXPECT_EQ(again.Edit(CWorkPageNest::IDC_TIME)->text(), QStringLiteral("-1"));

    const plat::HWND handle = m_poster->RegisterWindow(&again);
    std::thread worker([handle] { plat::PostMessage(handle, WM_NEST_PROGRESS, 0, 73); });
    worker.join();
    EXPECT_TRUE(plat::WaitFor([&] { return again.LastRatio() == 73; }));
    EXPECT_EQ(again.RatioLabel()->text(), QStringLiteral("73%"));
    m_poster->UnregisterWindow(handle);
}

TEST_F(WorkPageNestTest, ARunThatEndsByItselfReplacesThePartsByPlacedCopiesInOneStepLeavingTheClipboard)
{
    Document doc;
    doc.AddThreeParts();
    const std::vector<CDocData*> before = Objects(doc.ctx);
    // The operator's copy of the unselected object.
    for (CDocData* o : before)
        o->m_bSelected = o == before[0] ? 1 : 0;
    CPathProc::CopySelection(&doc.ctx, -1);
    for (CDocData* o : before)
        o->m_bSelected = o == before[0] ? 0 : 1;
    CWorkPageNest& page = MakePage(&doc.ctx, &doc.view);
    page.Edit(CWorkPageNest::IDC_TARGET)->setText(QStringLiteral("0"));
    page.OnStartStop();
    ASSERT_TRUE(plat::WaitFor([&] { return !page.IsRunning(); }));
    EXPECT_EQ(page.RunHandle(), 0u);

    const std::vector<CDocData*> after = Objects(doc.ctx);
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[0]->m_bSelected, 0);
    // Largest first from the sheet's corner, the squares above it 10 apart.
    const double bottoms[] = {500000, 500110, 500220};
    const double rights[] = {500200, 500100, 500100};
    for (int k = 0; k < 3; ++k) {
        const CDocData* o = after[static_cast<std::size_t>(k) + 1];
        EXPECT_EQ(o->GetType(), static_cast<std::uint32_t>(MT_LINE));
        EXPECT_EQ(o->m_bSelected, 1);
        EXPECT_DOUBLE_EQ(o->m_rcBound.m_xmin, 500000);
        EXPECT_DOUBLE_EQ(o->m_rcBound.m_xmax, rights[k]);
        EXPECT_DOUBLE_EQ(o->m_rcBound.m_ymin, bottoms[k]);
    }
    EXPECT_DOUBLE_EQ(doc.ctx.m_rcSelect.m_ymax, 500320);
    EXPECT_FALSE(doc.view.m_invalidated.empty());

    // The clipboard still holds the operator's copy.
    CPathProc::PasteSelection(&doc.ctx, 0);
    EXPECT_EQ(Objects(doc.ctx).size(), 5u);
    ASSERT_TRUE(CDocState::Undo(&doc.ctx));
    // One step took the nesting: the parts are back where they were.
    ASSERT_TRUE(CDocState::Undo(&doc.ctx));
    const std::vector<CDocData*> undone = Objects(doc.ctx);
    ASSERT_EQ(undone.size(), 4u);
    EXPECT_DOUBLE_EQ(undone[1]->m_rcBound.m_xmin, 505000);
    EXPECT_FALSE(CDocState::Undo(&doc.ctx));
}

TEST_F(WorkPageNestTest, StopAppliesTheBestLayoutDropsTheOldRunsLateDoneAndStartsAgain)
{
    Document doc;
    doc.AddThreeParts();
    CWorkPageNest& page = MakePage(&doc.ctx, &doc.view);
    StartEndless(page);
    EXPECT_EQ(page.StartButton()->text(), QStringLiteral("Stop"));
    const plat::HWND first = page.RunHandle();
    ASSERT_TRUE(plat::WaitFor([&] { return page.LastRatio() > 0; }));
    page.OnStartStop();
    EXPECT_FALSE(page.IsRunning());
    EXPECT_EQ(page.StartButton()->text(), QStringLiteral("Start"));
    const std::vector<CDocData*> placed = Objects(doc.ctx);
    ASSERT_EQ(placed.size(), 4u);
    EXPECT_DOUBLE_EQ(placed[1]->m_rcBound.m_xmin, 500000);
    EXPECT_EQ(placed[3]->m_bSelected, 1);

    StartEndless(page);
    EXPECT_NE(page.RunHandle(), first);
    // The stopped run's end message no longer reaches the page.
    EXPECT_FALSE(plat::PostMessage(first, WM_NEST_DONE, 0, 0));
    QCoreApplication::processEvents();
    EXPECT_TRUE(page.IsRunning());
    page.OnStartStop();
    EXPECT_EQ(Objects(doc.ctx).size(), 4u);
}

TEST_F(WorkPageNestTest, ResultLandsInTheDocumentItStartedInOnlyWhileThatDrawingIsUnchangedAndOpen)
{
    plat::ScopedRecordingPrompt prompt;
    Document first;
    Document second;
    first.AddThreeParts();
    second.AddThreeParts();
    CWorkDlgBar bar;
    bar.AddOptionalPage(WorkPanelPages::kNestPage, &first.ctx, &first.view);
    CWorkPageNest& page = bar.PageNest();
    page.Engine().SetSeed(1);
    page.RotateBox()->setChecked(false);
    StartEndless(page);
    // Another document becomes active: the run keeps its own.
    bar.SetOwner(&second.ctx, &second.view);
    EXPECT_TRUE(page.IsRunning());
    ASSERT_TRUE(plat::WaitFor([&] { return page.LastRatio() > 0; }));
    page.OnStartStop();
    EXPECT_DOUBLE_EQ(Objects(first.ctx)[1]->m_rcBound.m_xmin, 500000);
    EXPECT_DOUBLE_EQ(Objects(second.ctx)[1]->m_rcBound.m_xmin, 505000);
    EXPECT_TRUE(prompt.m_prompt.m_shown.empty());

    // An edit while it runs: nothing applied, and the operator is told.
    const std::vector<CDocData*> before = Objects(second.ctx);
    StartEndless(page);
    second.ctx.NoteChange();
    page.OnStartStop();
    EXPECT_EQ(Objects(second.ctx), before);
    ASSERT_EQ(prompt.m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(prompt.m_prompt.m_shown[0].text, u"The drawing changed during nesting; the result was not applied.");

    // Its view closes: the worker is joined, nothing applied, no message.
    StartEndless(page);
    bar.OnViewClosing(&second.ctx);
    EXPECT_FALSE(page.IsRunning());
    EXPECT_EQ(page.Context(), nullptr);
    EXPECT_EQ(Objects(second.ctx), before);
    QCoreApplication::processEvents();
    EXPECT_EQ(prompt.m_prompt.m_shown.size(), 1u);

    // Without an owner Start does nothing; a page destroyed mid-run joins
    // its worker.
    page.OnStartStop();
    EXPECT_FALSE(page.IsRunning());
    auto lone = std::make_unique<CWorkPageNest>();
    lone->Create(nullptr);
    lone->SetOwner(&first.ctx, &first.view);
    StartEndless(*lone);
    lone.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(Objects(first.ctx).size(), 4u);
}
