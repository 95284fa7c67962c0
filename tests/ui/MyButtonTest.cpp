// The jog buttons against the fake controller: the command of each kind at
// the press and its one stop, however the hold ends; precise moves signed
// by the origin corner; presses that are ignored, refused or send nothing.
#include "MachineStage.h"

#include <QCheckBox>
#include <QDialog>

#include <cmath>
#include <limits>

namespace {

using plat::Bytes;
using plat::FakeController;
using plat::MachineStage;

class JogButtonTest : public MachineStage {
protected:
    CWorkPageWork& Page()
    {
        CWorkPageWork& page = ShownPage();
        EXPECT_TRUE(m_fake.WaitForConnections(1, 3000));
        m_sleeps.clear();
        return page;
    }
    void Press(int id) { QTest::mousePress(m_page->JogButton(id), Qt::LeftButton); }
    void Release(int id) { QTest::mouseRelease(m_page->JogButton(id), Qt::LeftButton); }
    void WaitForPayloads(std::size_t n) { EXPECT_TRUE(m_fake.WaitForPackets(n, 3000)) << n; }
    void SetStep(const char* text) { m_page->findChild<QLineEdit*>(QStringLiteral("1111"))->setText(text); }
};

} // namespace

TEST_F(JogButtonTest, HeldMoveGoesToTheShownMachineWithTheLaserByteAndTheReleaseSendsItsOneStop)
{
    FakeController other;
    ASSERT_TRUE(other.Start("127.0.0.2", m_fake.Port()));
    MachineNode& b = AddMachine(u"B", 1, plat::kLoopbackB);
    CWorkPageWork& page = Page();
    // B holds the link, as the machine manager leaves it.
    CloseMachineConnections(g_settings.m_pMachines, false);
    ASSERT_TRUE(OpenMachineConnection(b, g_settings));
    page.findChild<QCheckBox*>(QStringLiteral("1258"))->click();

    Press(CWorkPageWork::IDC_LEFT);
    WaitForPayloads(1);
    EXPECT_TRUE(page.JogButton(CWorkPageWork::IDC_LEFT)->isDown());
    EXPECT_EQ(m_sleeps, (std::vector<int>{1000, 100}));
    Release(CWorkPageWork::IDC_LEFT);
    // The spot shot sends no laser byte.
    Press(CWorkPageWork::IDC_SHOT);
    Release(CWorkPageWork::IDC_SHOT);
    EXPECT_EQ(PayloadsUpToMarker(), (std::vector<Bytes>{{0xD1, 0x40, 0x01}, {0xD1, 0x60}, {0xD1, 0x50}, {0xD1, 0x70}}));
    EXPECT_TRUE(other.Packets().empty());
    EXPECT_EQ(b.m_session, nullptr);
    EXPECT_TRUE(m_prompt.m_shown.empty());
}

TEST_F(JogButtonTest, HoldEndedByDisablingHidingTheFocusAModalWindowOrTheDocumentStopsOnceAndTheLaterReleaseSendsNothing)
{
    CWorkPageWork& page = Page();
    CMyButton* left = page.JogButton(CWorkPageWork::IDC_LEFT);
    QDialog modal(m_host.get());
    modal.setWindowModality(Qt::ApplicationModal);
    struct Way {
        const char* name;
        std::function<void()> end;
        std::function<void()> undo;
    };
    const Way ways[] = {
        {"disabled", [&] { left->setEnabled(false); }, [&] { left->setEnabled(true); }},
        {"hidden", [&] { left->hide(); }, [&] { left->show(); }},
        {"unfocused", [&] { m_edit->setFocus(); }, [] {}},
        {"modal window",
         [&] {
             modal.show();
             EXPECT_TRUE(QTest::qWaitForWindowActive(&modal));
         },
         [&] {
             modal.hide();
             m_host->activateWindow();
             EXPECT_TRUE(QTest::qWaitForWindowActive(m_host.get()));
         }},
        {"document gone", [&] { page.FillDeviceList(nullptr, nullptr); },
         [&] { page.FillDeviceList(&m_context, nullptr); }},
    };
    std::size_t sent = 0;
    for (const Way& way : ways) {
        Press(CWorkPageWork::IDC_LEFT);
        ASSERT_TRUE(left->StopOwed()) << way.name;
        way.end();
        EXPECT_FALSE(left->StopOwed()) << way.name;
        sent += 2;
        WaitForPayloads(sent);
        way.undo();
        Release(CWorkPageWork::IDC_LEFT);
    }
    std::vector<Bytes> expected;
    for (std::size_t i = 0; i < sent / 2; ++i) {
        expected.push_back({0xD1, 0x40, 0x00});
        expected.push_back({0xD1, 0x60});
    }
    EXPECT_EQ(PayloadsUpToMarker(), expected);
}

TEST_F(JogButtonTest, PreciseMoveSendsOneAxisMoveOfTheSignedStepAndTheReleaseNothing)
{
    CWorkPageWork& page = Page();
    page.findChild<QCheckBox*>(QStringLiteral("1256"))->click();
    // Origin corner 1: left is negative; -1.2345 mm gives -1234 um.
    SetStep("1.2345");
    Press(CWorkPageWork::IDC_LEFT);
    Release(CWorkPageWork::IDC_LEFT);
    SetStep("0.0004");
    Press(CWorkPageWork::IDC_LEFT);
    Release(CWorkPageWork::IDC_LEFT);
    // Beyond 32 bits the distance clamps; a step that is not a number is 0.
    SetStep("1e300");
    Press(CWorkPageWork::IDC_RIGHT);
    Release(CWorkPageWork::IDC_RIGHT);
    SetStep("nan");
    Press(CWorkPageWork::IDC_RIGHT);
    Release(CWorkPageWork::IDC_RIGHT);
    // The laser makes it mode 3; "Z+" moves axis 2, negatively for corner 1:
    // trunc(-2000 + 0.5) = -1999.
    page.findChild<QCheckBox*>(QStringLiteral("1258"))->click();
    SetStep("-2");
    Press(CWorkPageWork::IDC_AXIS_PLUS);
    Release(CWorkPageWork::IDC_AXIS_PLUS);
    EXPECT_EQ(PayloadsUpToMarker(), (std::vector<Bytes>{{0xD2, 0x00, 0x02, 0x7F, 0x7F, 0x7F, 0x76, 0x2E},
                                                        {0xD2, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00},
                                                        {0xD2, 0x00, 0x02, 0x07, 0x7F, 0x7F, 0x7F, 0x7F},
                                                        {0xD2, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00},
                                                        {0xD2, 0x02, 0x03, 0x7F, 0x7F, 0x7F, 0x70, 0x31}}));
    EXPECT_EQ(m_sleeps, std::vector<int>(5, 100));
}

TEST_F(JogButtonTest, SignTableReversesXByCornerBitZeroAndYByBitOneAndCornersAboveThreeArePositive)
{
    // Kinds 11 to 20 by corner 0, 1, 2, 3, 4.
    const char* signs[] = {"+-+-+", "-+-++", "--+++", "++--+", "----+",
                           "+++++", "+++++", "----+", "+++++", "----+"};
    CMyButton button;
    for (std::uint32_t kind = 11; kind <= 20; ++kind) {
        button.m_kind = kind;
        for (std::uint8_t corner = 0; corner <= 4; ++corner) {
            const double expected = signs[kind - 11][corner] == '+' ? 1.5 : -1.5;
            EXPECT_EQ(button.GetSignedStep(corner, -1.5), expected) << kind << " " << int(corner);
            EXPECT_EQ(button.GetSignedStep(corner, 1.5), expected) << kind << " " << int(corner);
        }
    }
    EXPECT_EQ(CMyButton::RoundForController(1234.5), 1235);
    EXPECT_EQ(CMyButton::RoundForController(-1234.5), -1234);
    EXPECT_EQ(CMyButton::RoundForController(std::nan("")), 0);
    EXPECT_EQ(CMyButton::RoundForController(3e9), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(CMyButton::RoundForController(-3e9), std::numeric_limits<std::int32_t>::min());
}

TEST_F(JogButtonTest, PressWithoutDocumentIsIgnoredKindZeroOnlyWaitsAndAnUnusableLinkKeepsTheButtonUp)
{
    CWorkPageWork& page = Page();
    CMyButton* left = page.JogButton(CWorkPageWork::IDC_LEFT);
    page.FillDeviceList(nullptr, nullptr);
    Press(CWorkPageWork::IDC_LEFT);
    EXPECT_FALSE(left->isDown());
    Release(CWorkPageWork::IDC_LEFT);
    EXPECT_TRUE(m_sleeps.empty());

    page.FillDeviceList(&m_context, nullptr);
    left->m_kind = 0;
    Press(CWorkPageWork::IDC_LEFT);
    EXPECT_TRUE(left->isDown());
    EXPECT_EQ(m_sleeps, std::vector<int>{100});
    Release(CWorkPageWork::IDC_LEFT);
    left->m_kind = 1;

    // 0.0.0.0, then a serial machine on port 2: the message, no wait, up.
    MachineNode& a = Machine(0);
    a.m_ip = 0;
    Press(CWorkPageWork::IDC_LEFT);
    EXPECT_FALSE(left->isDown());
    Release(CWorkPageWork::IDC_LEFT);
    a.m_ip = plat::kLoopbackA;
    a.m_link_type = 0;
    g_settings.m_nComPort = 2;
    Press(CWorkPageWork::IDC_LEFT);
    Release(CWorkPageWork::IDC_LEFT);
    ASSERT_EQ(m_prompt.m_shown.size(), 2u);
    EXPECT_EQ(m_prompt.m_shown[1].text, ErrorText(5));
    EXPECT_EQ(m_sleeps, std::vector<int>{100});
    a.m_link_type = 1;
    EXPECT_TRUE(PayloadsUpToMarker().empty());
}
