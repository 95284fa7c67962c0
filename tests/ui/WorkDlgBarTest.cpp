// The work panel: its three fixed tabs and their titles, its place in the
// frame and the program, its scrolling, the optional pages switched on and
// off, and the document handed to the pages and taken back.
#include "AppTestSupport.h"
#include "app/DocumentManager.h"
#include "app/MainFrame.h"
#include "app/OrvelApp.h"
#include "qtplatform/Resources.h"
#include "model/DocContext.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "ui/MyTabCtrl.h"
#include "ui/WorkDlgBar.h"
#include "ui/WorkPageBarrier.h"
#include "ui/WorkPageExport.h"
#include "ui/WorkPageMetaList.h"
#include "ui/WorkPageNest.h"
#include "ui/WorkPageSet.h"
#include "ui/WorkPageWork.h"

#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <array>
#include <memory>

namespace {

class WorkDlgBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = std::make_unique<plat::ScratchProgram>();
        ASSERT_GT(CReadParamFile().LoadLanguageFiles(m_table), 0);
        SetLanguageTable(m_table);
    }
    void TearDown() override
    {
        SetLanguageTable({});
        m_program.reset();
    }
    std::unique_ptr<CWorkDlgBar> ShownBar()
    {
        auto bar = std::make_unique<CWorkDlgBar>();
        bar->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(bar.get()));
        return bar;
    }

    std::unique_ptr<plat::ScratchProgram> m_program;
    std::array<std::u16string, kLanguageTableSize> m_table;
    DOCCONTEXT m_context;
    plat::RecordingView m_view;
};

// Every page's owner, in the order work, array, output, light-guide plate,
// manual order, nesting.
std::array<DOCCONTEXT*, 6> Owners(const CWorkDlgBar& bar)
{
    return {bar.PageWork().Context(),    bar.PageSet().Context(),      bar.PageExport().Context(),
            bar.PageBarrier().Context(), bar.PageMetaList().Context(), bar.PageNest().Context()};
}

} // namespace

TEST_F(WorkDlgBarTest, FixedTabsAreWorkArrayOutputWithTheWorkPageShown)
{
    auto bar = ShownBar();
    CMyTabCtrl* tab = bar->TabCtrl();
    ASSERT_EQ(tab->count(), 3);
    EXPECT_EQ(tab->tabText(0), QStringLiteral("Work"));
    EXPECT_EQ(tab->tabText(1), QStringLiteral("Array"));
    EXPECT_EQ(tab->tabText(2), QStringLiteral("Output"));
    EXPECT_EQ(tab->objectName(), QStringLiteral("1027"));
    EXPECT_EQ(bar->CurrentTab(), 0);
    EXPECT_TRUE(bar->PageWork().isVisible());
    EXPECT_FALSE(bar->PageSet().isVisible());
    EXPECT_FALSE(bar->PageBarrier().isVisible());
    // Floatable and movable, never closed.
    EXPECT_EQ(bar->features(), QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
}

TEST_F(WorkDlgBarTest, MissingSectionTitlesItsTabWithTheTablesFirstString)
{
    const int marker = FindLanguageSection(m_table, u"phase5:array-tool");
    ASSERT_GE(marker, 0);
    m_table[static_cast<std::size_t>(marker)] = u"phase5:elsewhere";
    auto bar = ShownBar();
    EXPECT_EQ(bar->TabCtrl()->tabText(1), QStringLiteral("Brenvik laser cutting and engraving software"));
    EXPECT_EQ(bar->TabCtrl()->tabText(0), QStringLiteral("Work"));
}

TEST_F(WorkDlgBarTest, ShortFrameScrollsByTenPixelLinesAndEveryResizeReturnsToTheTop)
{
    CMainFrame frame;
    ASSERT_TRUE(frame.Create());
    auto* bar = new CWorkDlgBar(&frame);
    frame.SetWorkPanel(bar);
    EXPECT_EQ(frame.dockWidgetArea(bar), Qt::RightDockWidgetArea);
    EXPECT_EQ(bar->allowedAreas(), Qt::RightDockWidgetArea);
    EXPECT_EQ(frame.PanelPages(), bar);

    // Far taller than the pages need: no scrolling.
    frame.resize(1000, 2000);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QCoreApplication::processEvents();
    QScrollBar* bar1 = bar->ScrollArea()->verticalScrollBar();
    EXPECT_EQ(bar1->maximum(), 0);
    EXPECT_EQ(bar1->value(), 0);

    frame.resize(1000, 300);
    QCoreApplication::processEvents();
    // The contents keep the least height their pages need, and scroll.
    const int contents = bar->Contents()->height();
    EXPECT_EQ(contents, bar->Contents()->minimumSizeHint().height());
    const int maximum = bar1->maximum();
    ASSERT_GT(maximum, 20);
    EXPECT_EQ(bar1->pageStep(), contents / 4);
    bar1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar1->value(), 10);
    bar1->setValue(5);
    bar1->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(bar1->value(), 0);
    bar1->setValue(maximum - 3);
    bar1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar1->value(), maximum);

    frame.resize(1000, 320);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar1->value(), 0);
    EXPECT_EQ(bar1->pageStep(), contents / 4);
}

TEST_F(WorkDlgBarTest, OptionalPageComesWithItsOwnerAndGoesWithoutLosingItsValues)
{
    auto bar = ShownBar();
    CMyTabCtrl* tab = bar->TabCtrl();
    DOCCONTEXT* ownerWhenSelected = nullptr;
    QObject::connect(tab, &QTabWidget::currentChanged, [&](int index) {
        if (index == 3)
            ownerWhenSelected = bar->PageBarrier().Context();
    });

    ASSERT_TRUE(bar->AddOptionalPage(WorkPanelPages::kLightGuidePage, &m_context, &m_view));
    ASSERT_EQ(tab->count(), 4);
    EXPECT_EQ(tab->tabText(3), QStringLiteral("Light-Guide Plate"));
    EXPECT_EQ(bar->CurrentTab(), 3);
    EXPECT_EQ(ownerWhenSelected, &m_context);
    EXPECT_EQ(bar->PageBarrier().View(), &m_view);
    EXPECT_TRUE(bar->PageBarrier().isVisible());
    EXPECT_FALSE(bar->PageWork().isVisible());
    auto* value = new QLineEdit(QStringLiteral("12.5"), &bar->PageBarrier());

    ASSERT_TRUE(bar->RemoveOptionalPage(WorkPanelPages::kLightGuidePage));
    EXPECT_EQ(tab->count(), 3);
    EXPECT_EQ(bar->CurrentTab(), 0);
    EXPECT_TRUE(bar->PageWork().isVisible());
    EXPECT_FALSE(bar->PageBarrier().isVisible());
    EXPECT_FALSE(bar->RemoveOptionalPage(WorkPanelPages::kLightGuidePage)); // not present
    // Fixed pages are neither added nor removed.
    EXPECT_FALSE(bar->RemoveOptionalPage(WorkPanelPages::kArrayPage));
    EXPECT_FALSE(bar->AddOptionalPage(WorkPanelPages::kWorkPage, &m_context, &m_view));
    EXPECT_EQ(tab->count(), 3);

    tab->setCurrentIndex(2);
    ASSERT_TRUE(bar->AddOptionalPage(WorkPanelPages::kLightGuidePage, &m_context, &m_view));
    EXPECT_EQ(tab->widget(3), &bar->PageBarrier());
    EXPECT_EQ(bar->CurrentTab(), 3);
    EXPECT_EQ(value->text(), QStringLiteral("12.5"));

    // A second optional page follows; switching one on again only selects it.
    ASSERT_TRUE(bar->AddOptionalPage(WorkPanelPages::kNestPage, &m_context, &m_view));
    EXPECT_EQ(tab->tabText(4), QStringLiteral("Nesting"));
    ASSERT_TRUE(bar->AddOptionalPage(WorkPanelPages::kLightGuidePage, &m_context, &m_view));
    EXPECT_EQ(tab->count(), 5);
    EXPECT_EQ(bar->CurrentTab(), 3);
}

TEST_F(WorkDlgBarTest, ActivationReachesThePresentPagesAndTheLastCloseClearsEveryOwner)
{
    auto bar = ShownBar();
    bar->SetOwner(&m_context, &m_view);
    EXPECT_EQ(Owners(*bar), (std::array<DOCCONTEXT*, 6>{&m_context, &m_context, &m_context, nullptr, nullptr, nullptr}));
    EXPECT_EQ(bar->PageWork().View(), &m_view);

    DOCCONTEXT second;
    plat::RecordingView secondView;
    bar->AddOptionalPage(WorkPanelPages::kOrderPage, &m_context, &m_view);
    bar->AddOptionalPage(WorkPanelPages::kNestPage, &m_context, &m_view);
    EXPECT_EQ(bar->TabCtrl()->tabText(3), QStringLiteral("Manual Order"));
    bar->SetOwner(&second, &secondView);
    // The light-guide plate page is not present: it keeps no document.
    EXPECT_EQ(Owners(*bar), (std::array<DOCCONTEXT*, 6>{&second, &second, &second, nullptr, &second, &second}));
    EXPECT_EQ(bar->PageNest().View(), &secondView);

    bar->ClearOwner();
    EXPECT_EQ(Owners(*bar), (std::array<DOCCONTEXT*, 6>{}));
    EXPECT_EQ(bar->PageWork().View(), nullptr);
    EXPECT_EQ(bar->PageMetaList().View(), nullptr);
}

TEST_F(WorkDlgBarTest, TheProgramDocksItsPanelBeforeTheFirstDocumentAndCommandsPassItBy)
{
    // The first document finds the panel's pages in place.
    class Documents : public DocumentManager {
    public:
        explicit Documents(COrvelApp& app) : m_app(app) {}
        void NewDocument() override { m_pages = m_app.MainFrame()->PanelPages(); }
        bool OpenDocumentFile(const std::string&) override { return false; }
        bool SaveAllModified() override { return true; }
        COrvelApp& m_app;
        WorkPanelPages* m_pages = nullptr;
    };
    CWorkDlgBar* made = nullptr;
    COrvelApp app({QStringLiteral("brenvik")});
    Documents documents(app);
    app.SetDocumentManager(&documents);
    app.SetWorkPanelMaker([&made](CMainFrame& frame) {
        made = new CWorkDlgBar(&frame);
        return made;
    });
    ASSERT_TRUE(app.InitInstance());
    CMainFrame* frame = app.MainFrame();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(documents.m_pages, made);
    EXPECT_EQ(made->parentWidget(), frame);
    EXPECT_EQ(frame->dockWidgetArea(made), Qt::RightDockWidgetArea);
    EXPECT_EQ(frame->PanelPages(), made);
    EXPECT_TRUE(frame->Router().Update(cmd::Help).m_bEnabled);
    EXPECT_FALSE(frame->Router().Update(cmd::FilePrint).m_bEnabled);
}
