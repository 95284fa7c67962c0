// The array page and its fill dialog: virtual arrays as one undo step with
// gaps reduced and counts held, real arrays that leave the clipboard alone,
// fills, the reading of typed numbers, and bad input.
#include "../processing/ProcessingTestSupport.h"
#include "AppTestSupport.h"
#include "model/DocContext.h"
#include "model/DocDataBitmap.h"
#include "model/DocDataGroup.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/Prompt.h"
#include "platform/Sleep.h"
#include "processing/PathProc.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "ui/WorkAutoArray.h"
#include "ui/WorkPageSet.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <array>
#include <memory>
#include <vector>

namespace {

using plat::MakeLine;

class ArrayPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = std::make_unique<plat::ScratchProgram>();
        ASSERT_GT(CReadParamFile().LoadLanguageFiles(m_table), 0);
        SetLanguageTable(m_table);
        plat::SetPrompt(&m_prompt);
        plat::SetSleepHookForTesting([this](int ms) { m_sleeps.push_back(ms); });
        m_ctx.m_pCurrent = new CDocListNode;
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_pView = &m_view;
        m_page.SetOwner(&m_ctx, &m_view);
    }
    void TearDown() override
    {
        CDialogBase::SetModalAnswerForTesting(nullptr);
        plat::SetSleepHookForTesting({});
        plat::SetPrompt(nullptr);
        CDocListNode* oldest = m_ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
        DeleteObjectList(m_settings.m_pClipboard);
        SetLanguageTable({});
    }
    // A 100 x 50 polyline, selected, the selection box its box.
    CDocData* AddSelectedPolyline()
    {
        CDocData* line = MakeLine({{1000, 1000}, {1100, 1000}, {1100, 1050}, {1000, 1050}});
        line->RecalcBoundRect(&m_ctx);
        line->SetSelected(1);
        m_ctx.m_pCurrent->m_pFirst = plat::LinkObjects({line});
        m_ctx.m_rcSelect = line->GetBoundRect();
        return line;
    }
    void Type(int id, const QString& text)
    {
        // As typed or pasted at once: the text, then the edit signal.
        QLineEdit* edit = m_page.Edit(id);
        edit->setText(text);
        emit edit->textEdited(text);
    }
    CDocData* First() const { return m_ctx.m_pCurrent->m_pFirst; }

    std::unique_ptr<plat::ScratchProgram> m_program;
    std::array<std::u16string, kLanguageTableSize> m_table;
    plat::RecordingPrompt m_prompt;
    std::vector<int> m_sleeps;
    plat::RecordingView m_view;
    SoftwareSettings m_settings;
    DOCCONTEXT m_ctx;
    CWorkPageSet m_page;
};

TEST_F(ArrayPage, VirtualArrayGroupsTheSelectionInOneStepAndShowingThePageLoadsItBack)
{
    AddSelectedPolyline();
    m_page.m_nVirtCols = 3;
    m_page.m_nVirtRows = 2;
    m_page.m_dVirtGapX = 5.0;
    m_page.m_dVirtGapY = 2.0;
    m_page.ShowFields();
    const std::uint64_t before = m_ctx.m_nChangeCount;
    m_page.VirtualArray();

    ASSERT_NE(First(), nullptr);
    EXPECT_EQ(First()->m_pNext, nullptr);
    ASSERT_EQ(First()->m_nType, static_cast<std::uint32_t>(MT_GROUP));
    ASSERT_NE(First()->m_pArray, nullptr);
    EXPECT_EQ(First()->m_pArray->m_nCols, 3);
    EXPECT_EQ(First()->m_pArray->m_nRows, 2);
    EXPECT_DOUBLE_EQ(First()->m_pArray->m_dDx, 150.0);
    EXPECT_DOUBLE_EQ(First()->m_pArray->m_dDy, 70.0);
    EXPECT_DOUBLE_EQ(m_ctx.m_rcSelect.Width(), 400.0);
    EXPECT_DOUBLE_EQ(m_ctx.m_rcSelect.Height(), 120.0);
    EXPECT_EQ(m_ctx.m_nChangeCount, before + 1) << "the grouping took a step of its own";

    // The copies are left out of the measure, so the gaps come back as set.
    m_page.show();
    m_page.hide();
    m_page.show();
    EXPECT_EQ(m_page.Edit(CWorkPageSet::IDC_VIRT_COLS)->text(), QStringLiteral("3"));
    EXPECT_EQ(m_page.Edit(CWorkPageSet::IDC_VIRT_ROWS)->text(), QStringLiteral("2"));
    EXPECT_EQ(m_page.Edit(CWorkPageSet::IDC_VIRT_GAP_X)->text(), QStringLiteral("5"));
    EXPECT_EQ(m_page.Edit(CWorkPageSet::IDC_VIRT_GAP_Y)->text(), QStringLiteral("2"));
    EXPECT_EQ(m_ctx.m_nChangeCount, before + 1) << "loading the page built an array";
}

TEST_F(ArrayPage, TypedCountsAndGapsAreHeldAndOneByOneRemovesTheRecord)
{
    AddSelectedPolyline();
    m_page.show();
    Type(CWorkPageSet::IDC_VIRT_COLS, QStringLiteral("0"));
    EXPECT_EQ(m_page.Edit(CWorkPageSet::IDC_VIRT_COLS)->text(), QStringLiteral("1"));

    Type(CWorkPageSet::IDC_VIRT_COLS, QStringLiteral("2"));
    Type(CWorkPageSet::IDC_VIRT_GAP_X, QStringLiteral("-25"));
    ASSERT_NE(First()->m_pArray, nullptr);
    EXPECT_EQ(m_page.Edit(CWorkPageSet::IDC_VIRT_GAP_X)->text(), QStringLiteral("-5"));
    EXPECT_DOUBLE_EQ(First()->m_pArray->m_dDx, 50.0);

    // Bad numbers read 0 (a count of 0 then 1); a huge count stops at the
    // record's largest.
    Type(CWorkPageSet::IDC_VIRT_GAP_X, QStringLiteral("nan"));
    EXPECT_DOUBLE_EQ(First()->m_pArray->m_dDx, 100.0);
    Type(CWorkPageSet::IDC_VIRT_ROWS, QStringLiteral("99999999999"));
    EXPECT_EQ(First()->m_pArray->m_nRows, 0xFFFF);
    Type(CWorkPageSet::IDC_VIRT_ROWS, QStringLiteral("-3"));
    Type(CWorkPageSet::IDC_VIRT_COLS, QStringLiteral("abc"));
    EXPECT_EQ(m_page.Edit(CWorkPageSet::IDC_VIRT_COLS)->text(), QStringLiteral("1"));
    EXPECT_EQ(First()->m_pArray, nullptr);
}

TEST_F(ArrayPage, BitmapNeverCarriesAnArrayAndAnEmptySelectionOnlyWarns)
{
    auto* image = new CDocDataBitmap();
    image->m_rcBound = CGeoBox(0, 100, 0, 100);
    image->SetSelected(1);
    m_ctx.m_pCurrent->m_pFirst = image;
    m_ctx.m_rcSelect = image->m_rcBound;
    m_page.m_nVirtCols = 3;
    m_page.ShowFields();
    m_page.VirtualArray();
    const CDocData* group = First();
    ASSERT_NE(group, nullptr);
    const CDocData* bitmap = group->m_nType == MT_GROUP ? *const_cast<CDocData*>(group)->ChildList() : group;
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->m_nType, static_cast<std::uint32_t>(MT_BITMAP));
    EXPECT_EQ(bitmap->m_pArray, nullptr);

    m_ctx.m_rcSelect.SetEmpty();
    const std::uint64_t before = m_ctx.m_nChangeCount;
    m_page.VirtualArray();
    ASSERT_FALSE(m_prompt.m_shown.empty());
    EXPECT_EQ(m_prompt.m_shown.back().text, u"Please select an object first.");
    EXPECT_EQ(m_ctx.m_nChangeCount, before);
}

TEST_F(ArrayPage, RealArrayAddsMovedCopiesInOneStepAndKeepsTheClipboard)
{
    CDocData* line = AddSelectedPolyline();
    CPathProc::CopySelection(&m_ctx, -1);
    CDocData* copied = m_settings.m_pClipboard;

    m_page.m_nRealCountX = 1;
    m_page.ShowFields();
    m_page.RealArray();
    EXPECT_EQ(plat::CountObjects(First()), 1) << "1 x 1 changed the drawing";

    m_page.m_nRealCountX = 3;
    m_page.m_dRealGapX = 2.0;
    m_page.ShowFields();
    const std::uint64_t before = m_ctx.m_nChangeCount;
    m_page.RealArray();
    ASSERT_EQ(plat::CountObjects(First()), 3);
    EXPECT_EQ(First(), line);
    EXPECT_DOUBLE_EQ(line->m_pNext->GetBoundRect().m_xmin - line->GetBoundRect().m_xmin, 120.0);
    EXPECT_DOUBLE_EQ(line->m_pNext->m_pNext->GetBoundRect().m_xmin - line->GetBoundRect().m_xmin, 240.0);
    EXPECT_EQ(m_ctx.m_nChangeCount, before + 1);
    EXPECT_EQ(m_settings.m_pClipboard, copied);
    CPathProc::PasteSelection(&m_ctx, 0);
    EXPECT_EQ(plat::CountObjects(First()), 4) << "the earlier copy no longer pastes";

    // Counts whose copies pass the limit are refused with a message.
    m_page.m_nRealCountX = 2000;
    m_page.m_nRealCountY = 2000;
    m_page.ShowFields();
    m_page.RealArray();
    EXPECT_EQ(plat::CountObjects(First()), 4);
    EXPECT_EQ(m_prompt.m_shown.back().text, u"The array is too large.");
}

TEST_F(ArrayPage, FillCountsFollowTheDialogsGuardAndNeverFallBelowOne)
{
    EXPECT_EQ(CWorkPageSet::FillCount(100, 20, 5, 7, 0xFFFFFFFF), 4u);
    EXPECT_EQ(CWorkPageSet::FillCount(0, 20, -10, 7, 0xFFFFFFFF), 1u);
    EXPECT_EQ(CWorkPageSet::FillCount(100, 0, 0, 7, 0xFFFFFFFF), 7u) << "no step must keep the count";
    EXPECT_EQ(CWorkPageSet::FillCount(1e12, 0.001, 0.001, 7, 0xFFFF), 0xFFFFu);

    // A real fill of 100 mm over 10 mm items with 15 mm spacing: 4 across.
    AddSelectedPolyline();
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& dlg) {
        auto& fill = static_cast<CWorkAutoArray&>(dlg);
        fill.Edit(CWorkAutoArray::IDC_AREA_W)->setText(QStringLiteral("100"));
        fill.Edit(CWorkAutoArray::IDC_SPACE_X)->setText(QStringLiteral("15"));
        fill.findChild<QPushButton*>(QString::number(CWorkAutoArray::IDC_APPLY))->click();
        return plat::IDOK;
    });
    m_page.RealFill();
    EXPECT_EQ(m_sleeps, std::vector<int>{100});
    EXPECT_EQ(m_page.m_nRealCountX, 4u);
    EXPECT_EQ(plat::CountObjects(First()), 4);
}

TEST_F(ArrayPage, VirtualFillAppliesWhileTypingOnlyOnceACountPassesOne)
{
    AddSelectedPolyline();
    int changes = -1;
    CDialogBase::SetModalAnswerForTesting([&](CDialogBase& dlg) {
        auto& fill = static_cast<CWorkAutoArray&>(dlg);
        const std::uint64_t before = m_ctx.m_nChangeCount;
        QLineEdit* width = fill.Edit(CWorkAutoArray::IDC_AREA_W);
        width->selectAll();
        QTest::keyClicks(width, QStringLiteral("15"));
        EXPECT_EQ(m_ctx.m_nChangeCount, before) << "a fill of one copy was applied";
        width->selectAll();
        QTest::keyClicks(width, QStringLiteral("25"));
        EXPECT_GT(m_ctx.m_nChangeCount, before);
        EXPECT_NE(First()->m_pArray, nullptr);
        changes = static_cast<int>(m_ctx.m_nChangeCount - before);
        return plat::IDCANCEL;
    });
    m_page.VirtualFill();
    EXPECT_GE(changes, 1);
    EXPECT_EQ(m_page.m_nVirtCols, 2u);
}

} // namespace
