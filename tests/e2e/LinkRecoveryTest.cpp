// The machine link as the operator meets it when the controller goes away:
// the work page shows the machine offline as soon as the link ends, the next
// command says so with the machine and its address, and once the controller
// takes connections again the next command makes the link again.
#include "E2eJob.h"

#include <QLabel>

TEST(LinkRecovery, AnEndedLinkShowsOfflineSaysSoAtTheNextCommandAndComesBack)
{
    plat::E2eProgram program;
    plat::E2eJobStage stage; // the program's message poster
    plat::FakeController& controller = program.m_controller;
    // The controller answers one command and then takes no connection.
    controller.Script({plat::FakeController::LastAnswer({})});
    const int status = program.Run({QStringLiteral("brenvik")}, [&](COrvelApp& app) {
        CWorkPageWork& page = plat::WorkPage(*app.MainFrame());
        const QLabel* state = page.findChild<QLabel*>(QStringLiteral("linkState"));
        ASSERT_NE(state, nullptr);
        EXPECT_EQ(state->text(), QStringLiteral("Online"));
        std::vector<plat::RecordingPrompt::Shown>& shown = program.m_prompt.m_prompt.m_shown;

        QTest::mouseClick(page.Button(CWorkPageWork::IDC_STOP), Qt::LeftButton);
        ASSERT_TRUE(controller.WaitForPackets(1, 3000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return state->text() == QStringLiteral("Offline"); }, 1000));
        EXPECT_TRUE(shown.empty());

        QTest::mouseClick(page.Button(CWorkPageWork::IDC_POSITIONING), Qt::LeftButton);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, u"Table at 127.0.0.1 is offline: no connection to its controller could be made.");
        EXPECT_EQ(controller.Packets().size(), 1u);

        ASSERT_TRUE(controller.Relisten());
        QTest::mouseClick(page.Button(CWorkPageWork::IDC_POSITIONING), Qt::LeftButton);
        ASSERT_TRUE(controller.WaitForPackets(2, 3000));
        EXPECT_EQ(controller.Unscrambled(0x39)[1], plat::MakeNetPacket(1, {0xD1, 0x12}));
        EXPECT_TRUE(QTest::qWaitFor([&] { return state->text() == QStringLiteral("Online"); }, 3000));
        EXPECT_EQ(shown.size(), 1u);
    });
    EXPECT_EQ(status, 0);
}
