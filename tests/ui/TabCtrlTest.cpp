// The tab control with pages: at most 16 pages, pages stored without tabs
// until ShowPage creates them in table order, each page set up once, clicks
// outside the tabs ignored, and removal selecting tab 0 while the removed
// page lives on with its values.
#include "qtplatform/DialogBase.h"
#include "ui/MyTabCtrl.h"

#include <QPointer>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class CountingPage : public CDialogBase {
public:
    explicit CountingPage(int id) : CDialogBase(id, u"phase-none") {}
    int m_inits = 0;

protected:
    void OnInitDialog() override { ++m_inits; }
};

class TabCtrlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_tab = std::make_unique<CMyTabCtrl>();
        m_tab->resize(300, 200);
    }
    // The pages go before the control that holds them.
    void TearDown() override
    {
        m_pages.clear();
        m_tab.reset();
    }
    CountingPage* Page(int id)
    {
        m_pages.push_back(std::make_unique<CountingPage>(id));
        return m_pages.back().get();
    }
    void Show()
    {
        m_tab->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_tab.get()));
    }
    QStringList Titles() const
    {
        QStringList titles;
        for (int i = 0; i < m_tab->count(); ++i)
            titles.append(m_tab->tabText(i));
        return titles;
    }

    std::unique_ptr<CMyTabCtrl> m_tab;
    std::vector<std::unique_ptr<CountingPage>> m_pages;
};

} // namespace

TEST_F(TabCtrlTest, SeventeenthPageAndNullPagesAreRefusedAndStoreNothing)
{
    EXPECT_FALSE(m_tab->AddPage(QStringLiteral("none"), nullptr, 7, true));
    EXPECT_EQ(m_tab->PageCount(), 0);
    for (int i = 0; i < CMyTabCtrl::kMaxPages; ++i)
        ASSERT_TRUE(m_tab->AddPage(QStringLiteral("p%1").arg(i), Page(100 + i), 100 + i, false));
    CountingPage* extra = Page(200);
    EXPECT_FALSE(m_tab->AddPage(QStringLiteral("p16"), extra, 200, true));
    EXPECT_EQ(m_tab->PageCount(), 16);
    EXPECT_EQ(m_tab->Page(200), nullptr);
    EXPECT_FALSE(extra->IsCreated());

    m_tab->ShowPage(true, 115);
    ASSERT_EQ(m_tab->count(), 16);
    EXPECT_EQ(m_tab->tabText(15), QStringLiteral("p15")); // the 17th title is gone
    EXPECT_EQ(m_tab->currentIndex(), 15);
}

TEST_F(TabCtrlTest, PagesGetTheirTabsInTableOrderWhenShownAreSetUpOnceAndSwitchOnlyByTab)
{
    CountingPage* a = Page(10);
    CountingPage* b = Page(11);
    CountingPage* c = Page(12);
    m_tab->AddPage(QStringLiteral("A"), a, 10, false);
    m_tab->AddPage(QStringLiteral("B"), b, 11, false);
    m_tab->AddPage(QStringLiteral("C"), c, 12, false);
    EXPECT_EQ(m_tab->count(), 0); // only stored
    EXPECT_EQ(a->m_inits, 0);

    Show();
    m_tab->ShowPage(true, 11);
    EXPECT_EQ(Titles(), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
    EXPECT_EQ(m_tab->currentIndex(), 1);
    EXPECT_TRUE(b->isVisible());
    EXPECT_FALSE(a->isVisible());
    EXPECT_FALSE(c->isVisible());

    m_tab->ShowPage(true, 12); // nothing created twice
    EXPECT_EQ(m_tab->count(), 3);
    EXPECT_EQ(a->m_inits, 1);
    EXPECT_EQ(c->m_inits, 1);
    EXPECT_TRUE(c->isVisible());
    m_tab->ShowPage(false, 99); // unknown id
    EXPECT_EQ(m_tab->currentIndex(), 2);
    EXPECT_TRUE(c->isVisible());

    // Only a click on a tab switches: below the tabs lies the page.
    QTest::mouseClick(m_tab.get(), Qt::LeftButton, {}, QPoint(150, 150));
    EXPECT_EQ(m_tab->currentIndex(), 2);
    QTest::mouseClick(m_tab->tabBar(), Qt::LeftButton, {}, m_tab->tabBar()->tabRect(0).center());
    EXPECT_EQ(m_tab->currentIndex(), 0);
    EXPECT_TRUE(a->isVisible());
    EXPECT_FALSE(c->isVisible());
}

TEST_F(TabCtrlTest, RemovalSelectsTabZeroAndTheRemovedPageKeepsItsObject)
{
    CountingPage* a = Page(10);
    CountingPage* b = Page(11);
    CountingPage* c = Page(12);
    Show();
    m_tab->AddPage(QStringLiteral("A"), a, 10, true);
    m_tab->AddPage(QStringLiteral("B"), b, 11, true);
    m_tab->AddPage(QStringLiteral("C"), c, 12, true);
    EXPECT_EQ(m_tab->currentIndex(), 2); // a created page is selected
    EXPECT_TRUE(c->isVisible());

    // Qt alone would select the neighbour, B.
    EXPECT_TRUE(m_tab->RemovePage(12));
    EXPECT_EQ(m_tab->PageCount(), 2);
    EXPECT_EQ(m_tab->count(), 2);
    EXPECT_EQ(m_tab->currentIndex(), 0);
    EXPECT_TRUE(a->isVisible());
    EXPECT_FALSE(c->isVisible());

    // An unknown id changes nothing.
    m_tab->ShowPage(false, 11);
    EXPECT_FALSE(m_tab->RemovePage(99));
    EXPECT_EQ(m_tab->currentIndex(), 1);
    EXPECT_EQ(m_tab->PageCount(), 2);

    QPointer<CountingPage> kept(c);
    EXPECT_TRUE(m_tab->AddPage(QStringLiteral("C"), c, 12, true));
    ASSERT_FALSE(kept.isNull());
    EXPECT_EQ(m_tab->widget(2), c);
    EXPECT_EQ(m_tab->currentIndex(), 2);
    EXPECT_EQ(c->m_inits, 1); // set up once: its values stay

    // Removing a page that is not shown selects tab 0 as well (Qt would
    // keep C, now at index 1).
    EXPECT_TRUE(m_tab->RemovePage(11));
    EXPECT_EQ(Titles(), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
    EXPECT_EQ(m_tab->currentIndex(), 0);
    EXPECT_EQ(m_tab->TabOf(12), 1);

    // A page its owner deletes leaves the tables.
    m_pages.erase(m_pages.begin() + 2);
    EXPECT_EQ(m_tab->PageCount(), 1);
    EXPECT_EQ(m_tab->Page(12), nullptr);
    EXPECT_EQ(m_tab->count(), 1);
}

TEST_F(TabCtrlTest, CreatedPagesLeftToTheControlGoWithItWithoutTouchingItsTable)
{
    auto* page = new CountingPage(5);
    QPointer<CountingPage> watch(page);
    ASSERT_TRUE(m_tab->AddPage(QStringLiteral("five"), page, 5, true));
    m_tab.reset();
    EXPECT_TRUE(watch.isNull());
}
