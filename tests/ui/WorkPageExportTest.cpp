// The output page: feed repeat, split feed and split heads as they reach the
// document's records, the clamps on typed head counts and spacings, and the
// machine's coefficient, which is only stored where there is a machine.
#include "AppTestSupport.h"

#include "model/DocContext.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/ViewWindow.h"
#include "platform/WorkFolder.h"
#include "settings/MacInfoFile.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"
#include "ui/WorkPageExport.h"

#include <QCheckBox>
#include <QLineEdit>

#include <filesystem>
#include <memory>

namespace {

class OutputPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = std::make_unique<plat::ScratchProgram>();
        m_settings.m_nCurMachine = 0;
        m_context.m_pSettings = &m_settings;
        m_context.m_pCurrent = &m_doc;
        m_page.SetOwner(&m_context, &m_view);
    }
    void TearDown() override
    {
        FreeMachineList(m_settings.m_pMachines);
        // The snapshots the page pushed; the live one is the fixture's.
        CDocListNode* oldest = m_doc.m_pOlder;
        while (oldest != nullptr && oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        if (m_doc.m_pOlder != nullptr) {
            m_doc.m_pOlder->m_pNewer = nullptr;
            m_doc.m_pOlder = nullptr;
            CDocState::DeleteHistoryChain(oldest);
        }
    }

    MachineNode& AddMachine()
    {
        auto* m = new MachineNode;
        m->SetName(u"A");
        m->m_ysize = 600;
        m->m_ratio = 1.25;
        m_settings.m_pMachines = m;
        return *m;
    }
    void AddRect(double w, double h)
    {
        CGeoBox box;
        box.m_xmin = kWorldOrigin;
        box.m_xmax = kWorldOrigin + w * 10.0;
        box.m_ymin = kWorldOrigin;
        box.m_ymax = kWorldOrigin + h * 10.0;
        auto* rect = new CDocDataRect(box, &m_context, 0);
        rect->m_pNext = m_doc.m_pFirst;
        m_doc.m_pFirst = rect;
    }
    void Type(int id, const char* text) { m_page.Edit(id)->setText(QString::fromLatin1(text)); }
    QString Text(int id) const { return m_page.Edit(id)->text(); }
    void Click(int id) { m_page.Check(id)->click(); }
    bool MacInfoWritten() const { return std::filesystem::exists(plat::ParamFolder() + kMacInfoFile); }

    std::unique_ptr<plat::ScratchProgram> m_program;
    SoftwareSettings m_settings;
    CDocListNode m_doc;
    DOCCONTEXT m_context;
    plat::RecordingView m_view;
    CWorkPageExport m_page;
};

TEST_F(OutputPage, FeedRepeatStoresItsDelayAsTheWholeSecondsSentAndOffRemovesIt)
{
    AddRect(100.0, 40.0);
    m_page.UpdateFromDocument();
    EXPECT_EQ(Text(CWorkPageExport::IDC_FEED_LENGTH), "40") << "the objects' height is proposed";
    Type(CWorkPageExport::IDC_FEED_COUNT, "3");
    Type(CWorkPageExport::IDC_FEED_DELAY, "1.5");
    Click(CWorkPageExport::IDC_FEED_ON);
    ASSERT_NE(m_doc.m_pFeed, nullptr);
    EXPECT_EQ(m_doc.m_pFeed->m_nCount, 3);
    EXPECT_EQ(m_doc.m_pFeed->m_dLength, 40.0);
    EXPECT_EQ(m_doc.m_pFeed->m_nDelayMs, 2000) << "the job sends 2 s";

    // Typed without a click, it reaches the record when the page is left.
    Type(CWorkPageExport::IDC_FEED_DELAY, "0.0004");
    m_page.WriteToDocument();
    EXPECT_EQ(m_doc.m_pFeed->m_nDelayMs, 0);
    Type(CWorkPageExport::IDC_FEED_DELAY, "2.5");
    m_page.WriteToDocument();
    EXPECT_EQ(m_doc.m_pFeed->m_nDelayMs, 3000);
    Type(CWorkPageExport::IDC_FEED_DELAY, "1e300");
    m_page.WriteToDocument();
    EXPECT_EQ(m_doc.m_pFeed->m_nDelayMs, 2147483000) << "the most whole seconds the record holds";

    // A stored delay shows as the whole seconds it is sent as.
    m_doc.m_pFeed->m_nDelayMs = 2500;
    m_page.UpdateFromDocument();
    EXPECT_EQ(Text(CWorkPageExport::IDC_FEED_DELAY), "3");
    EXPECT_TRUE(m_page.Check(CWorkPageExport::IDC_FEED_ON)->isChecked());
    Click(CWorkPageExport::IDC_FEED_ON);
    EXPECT_EQ(m_doc.m_pFeed, nullptr);
}

TEST_F(OutputPage, SplitFeedOnAnEmptyDocumentGivesTwoHeadsAndOffRemovesTheHeadsArray)
{
    AddMachine();
    m_page.UpdateFromDocument();
    EXPECT_EQ(Text(CWorkPageExport::IDC_SPLIT_DISTANCE), "550");
    EXPECT_EQ(Text(CWorkPageExport::IDC_RATIO), "1.25");
    EXPECT_FALSE(m_page.HeadControlsShown());

    Type(CWorkPageExport::IDC_RATIO, "0.5");
    Click(CWorkPageExport::IDC_SPLIT_ON);
    ASSERT_NE(m_doc.m_pSplit, nullptr);
    EXPECT_EQ(m_doc.m_pSplit->m_dDistance, 550.0);
    EXPECT_EQ(m_page.m_dHeadSpacing, 0.0);
    EXPECT_EQ(m_page.m_nHeadCount, 2u);
    EXPECT_TRUE(m_page.HeadControlsShown());
    EXPECT_EQ(m_settings.m_pMachines->m_ratio, 0.5);
    EXPECT_TRUE(MacInfoWritten());

    Type(CWorkPageExport::IDC_HEAD_SPACING, "120");
    Click(CWorkPageExport::IDC_HEADS_ON);
    ASSERT_NE(m_doc.m_pArray, nullptr);
    EXPECT_EQ(m_doc.m_pArray->m_nRows, 1);
    EXPECT_EQ(m_doc.m_pArray->m_nCols, 2);
    EXPECT_EQ(m_doc.m_pArray->m_dDx, 1200.0);
    EXPECT_EQ(m_context.m_pCurrent->m_pOlder != nullptr, true) << "the heads switch can be undone";

    // Off is one undo step that marks the document changed, and its undo
    // brings the split record and the heads' array back.
    const std::uint64_t changes = m_context.m_nChangeCount;
    CDocListNode* before = m_doc.m_pOlder;
    Click(CWorkPageExport::IDC_SPLIT_ON);
    EXPECT_EQ(m_doc.m_pSplit, nullptr);
    EXPECT_EQ(m_doc.m_pArray, nullptr);
    EXPECT_NE(m_context.m_nChangeCount, changes);
    ASSERT_NE(m_doc.m_pOlder, before);
    ASSERT_EQ(m_doc.m_pOlder->m_pOlder, before);
    ASSERT_TRUE(CDocState::Undo(&m_context));
    ASSERT_NE(m_context.m_pCurrent->m_pSplit, nullptr);
    EXPECT_EQ(m_context.m_pCurrent->m_pSplit->m_dDistance, 550.0);
    ASSERT_NE(m_context.m_pCurrent->m_pArray, nullptr);
    EXPECT_EQ(m_context.m_pCurrent->m_pArray->m_nCols, 2);
    EXPECT_EQ(m_context.m_pCurrent->m_pArray->m_dDx, 1200.0);
}

TEST_F(OutputPage, TypedHeadCountsAndSpacingsAreClampedAndReachTheArray)
{
    AddRect(30.0, 20.0);
    m_doc.m_pSplit = new SPLITFEED;
    m_doc.m_pSplit->m_bOn = 1;
    m_doc.m_pArray = new ARRAYREC;
    m_doc.m_pArray->m_nCols = 3;
    m_doc.m_pArray->m_dDx = 1234.5678;
    m_page.UpdateFromDocument();
    EXPECT_TRUE(m_page.Check(CWorkPageExport::IDC_HEADS_ON)->isChecked());
    EXPECT_EQ(m_page.m_nHeadCount, 3u);
    EXPECT_NEAR(m_page.m_dHeadSpacing, 123.456, 1e-9) << "cut to hundredths of a world unit";

    Type(CWorkPageExport::IDC_HEAD_COUNT, "0");
    EXPECT_EQ(Text(CWorkPageExport::IDC_HEAD_COUNT), "1");
    Type(CWorkPageExport::IDC_HEAD_COUNT, "300");
    EXPECT_EQ(Text(CWorkPageExport::IDC_HEAD_COUNT), "255");
    EXPECT_EQ(m_doc.m_pArray->m_nCols, 255);
    Type(CWorkPageExport::IDC_HEAD_COUNT, "12x");
    EXPECT_EQ(m_doc.m_pArray->m_nCols, 12);

    Type(CWorkPageExport::IDC_HEAD_SPACING, "-5");
    EXPECT_EQ(Text(CWorkPageExport::IDC_HEAD_SPACING), "0");
    EXPECT_EQ(m_doc.m_pArray->m_dDx, 0.0);
    // A number still being typed is left as it is.
    Type(CWorkPageExport::IDC_HEAD_SPACING, "1.0");
    EXPECT_EQ(Text(CWorkPageExport::IDC_HEAD_SPACING), "1.0");
    EXPECT_EQ(m_doc.m_pArray->m_dDx, 10.0);
    Type(CWorkPageExport::IDC_HEAD_SPACING, "2.");
    EXPECT_EQ(m_doc.m_pArray->m_dDx, 10.0);
    Type(CWorkPageExport::IDC_HEAD_SPACING, "inf");
    EXPECT_EQ(m_doc.m_pArray->m_dDx, 10.0) << "a non-finite spacing changes nothing";
    EXPECT_FALSE(m_view.m_invalidated.empty());

    m_page.WriteToDocument();
    EXPECT_EQ(m_doc.m_pArray->m_dDy, 200.0) << "the row pitch is the objects' height";
}

TEST_F(OutputPage, WithoutAMachineNoCoefficientIsStoredAndNoMachineListWritten)
{
    m_page.UpdateFromDocument();
    EXPECT_EQ(Text(CWorkPageExport::IDC_RATIO), "0");
    EXPECT_EQ(Text(CWorkPageExport::IDC_SPLIT_DISTANCE), "0");
    Type(CWorkPageExport::IDC_RATIO, "2");
    Click(CWorkPageExport::IDC_SPLIT_ON);
    m_page.WriteToDocument();
    EXPECT_FALSE(MacInfoWritten());
}

} // namespace
