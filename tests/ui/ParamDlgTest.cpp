// The machine parameter dialog against the fake controller: the read the
// dialog sends as it opens, the connection it makes and drops, answers that
// fill the pages, the access code, a write confirmed only by the whole
// read-back, time-outs, a machine whose link cannot start while another
// runs, and the statistics page.
#include "MachineStage.h"

#include "qtplatform/QtMessagePoster.h"
#include "platform/Messages.h"
#include "settings/MachineParams.h"
#include "ui/MachineAxisParamDlg.h"
#include "ui/MachineManage.h"
#include "ui/ParamDlg.h"
#include "ui/ParamPageStatistic.h"
#include "ui/ParamPasswordInput.h"
#include "ui/XPButton.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

namespace {

using plat::Bytes;
using plat::FakeController;

// Answer of one parameter read: D4 01, the id in two 7-bit groups, the
// value in five.
Bytes ParamAnswer(std::uint16_t id, std::uint32_t v)
{
    return {0xD4, 0x01, static_cast<std::uint8_t>(id >> 7 & 0x7F), static_cast<std::uint8_t>(id & 0x7F),
            static_cast<std::uint8_t>(v >> 28 & 0x0F), static_cast<std::uint8_t>(v >> 21 & 0x7F),
            static_cast<std::uint8_t>(v >> 14 & 0x7F), static_cast<std::uint8_t>(v >> 7 & 0x7F),
            static_cast<std::uint8_t>(v & 0x7F)};
}

class ParamDlgTest : public plat::MachineStage {
protected:
    void SetUp() override
    {
        MachineStage::SetUp();
        plat::SetMessagePoster(&m_poster);
    }
    void TearDown() override
    {
        m_dlg.reset();
        CDialogBase::SetModalAnswerForTesting({});
        CloseMachineConnections(g_settings.m_pMachines, false);
        plat::SetMessagePoster(nullptr);
        MachineStage::TearDown();
    }
    CParamDlg& Open(int index)
    {
        m_dlg = std::make_unique<CParamDlg>(&m_context, index);
        m_dlg->Create(nullptr);
        return *m_dlg;
    }
    // Answers the access-code prompt with the code.
    void AnswerCode(const QString& code)
    {
        CDialogBase::SetModalAnswerForTesting([code](CDialogBase& d) {
            auto& prompt = static_cast<CParamPasswordInput&>(d);
            prompt.FirstEdit()->setText(code);
            prompt.OkButton()->click();
            return prompt.result() == QDialog::Accepted ? 1 : 2;
        });
    }
    QString Status() const { return m_dlg->StatusLine()->text(); }
    QString Entry(int k) const { return QString::fromStdU16String(LanguageText(m_table, u"phase13:param-dialog", k)); }
    // The write packets the controller got (type 15).
    std::vector<Bytes> Writes() const
    {
        std::vector<Bytes> writes;
        for (const Bytes& p : m_fake.Unscrambled(0x39))
            if (p[1] == 15)
                writes.emplace_back(p.begin() + 50, p.end());
        return writes;
    }
    // What the controller answers when it reads back a write: each written
    // value as a parameter answer, the value of `changedId` replaced.
    static Bytes ReadBack(const Bytes& write, int changedId = -1, std::uint32_t changed = 0)
    {
        Bytes answer;
        for (std::size_t at = 0; at + 14 <= write.size(); at += 14) {
            Bytes entry(write.begin() + static_cast<std::ptrdiff_t>(at),
                        write.begin() + static_cast<std::ptrdiff_t>(at + 9));
            if ((entry[2] << 7 | entry[3]) == changedId)
                entry = ParamAnswer(static_cast<std::uint16_t>(changedId), changed);
            answer.insert(answer.end(), entry.begin(), entry.end());
        }
        return answer;
    }

    QtMessagePoster m_poster;
    std::unique_ptr<CParamDlg> m_dlg;
};

TEST_F(ParamDlgTest, OpeningReadsOnceStillUsableAndClosingDropsOnlyTheConnectionItMade)
{
    m_fake.Script({FakeController::Answering(ParamAnswer(35, 200000))});
    CParamDlg& dlg = Open(0);
    ASSERT_NE(Machine(0).m_session, nullptr);
    ASSERT_TRUE(m_fake.WaitForPackets(1, 3000));
    const Bytes read = m_fake.Packets()[0];
    EXPECT_EQ(read[1], 16);
    EXPECT_EQ(read.size(), 50u + 260u);
    EXPECT_TRUE(dlg.isEnabled());
    EXPECT_FALSE(dlg.Button(CParamDlg::IDC_WRITE)->isEnabled());

    // Id 35 is the X limit speed, kept in thousandths.
    QLineEdit* speed = dlg.AxisPage()->Edit(CMachineAxisParamDlg::IDC_MAX_SPEED);
    EXPECT_TRUE(QTest::qWaitFor([&] { return speed->text() == QStringLiteral("200"); }, 3000));
    EXPECT_TRUE(dlg.Button(CParamDlg::IDC_WRITE)->isEnabled());
    EXPECT_EQ(Machine(0).m_params->m_x_max_speed, 200000.0);
    EXPECT_FALSE(dlg.TimerActive(CParamDlg::kReadTimer)) << "the answer ends the read's time-out";

    // A read the controller leaves unanswered: disabled until timer 1.
    m_fake.Script({FakeController::Silence()});
    dlg.OnRead();
    EXPECT_FALSE(dlg.isEnabled());
    EXPECT_TRUE(dlg.TimerActive(CParamDlg::kReadTimer));
    dlg.OnTimer(CParamDlg::kReadTimer);
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, u"The controller of A at 127.0.0.1 did not answer the parameter read "
                                        u"within 5 s; the fields keep their values.");
    EXPECT_EQ(m_prompt.m_shown[0].type, plat::MB_OK | plat::MB_ICONWARNING);
    EXPECT_TRUE(dlg.isEnabled());
    EXPECT_EQ(speed->text(), QStringLiteral("200"));

    m_dlg.reset();
    EXPECT_EQ(Machine(0).m_session, nullptr);
    EXPECT_EQ(Machine(0).m_online, 0);
    ASSERT_NE(Machine(0).m_params, nullptr) << "the block stays with the machine";

    ASSERT_TRUE(OpenMachineConnection(Machine(0), g_settings, 1));
    CTransThreadInfo* before = Machine(0).m_session;
    Open(0);
    m_dlg.reset();
    EXPECT_EQ(Machine(0).m_session, before);
}

TEST_F(ParamDlgTest, AReadThatFailsAsTheDialogOpensSaysSoAndLeavesTheFieldsAsTheyWere)
{
    // What an earlier read brought.
    Machine(0).m_params = new MachineParams;
    ResetMachineParam(*Machine(0).m_params);
    Machine(0).m_params->m_x_max_speed = 150000.0;
    Machine(0).m_params->m_valid = 1;
    m_fake.Script({FakeController::Silence()});
    CParamDlg& dlg = Open(0);
    ASSERT_TRUE(m_fake.WaitForPackets(1, 3000));
    EXPECT_TRUE(dlg.isEnabled());
    ASSERT_TRUE(dlg.TimerActive(CParamDlg::kReadTimer));
    dlg.OnTimer(CParamDlg::kReadTimer);
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, u"The controller of A at 127.0.0.1 did not answer the parameter read "
                                        u"within 5 s; the fields keep their values.");
    EXPECT_EQ(dlg.AxisPage()->Edit(CMachineAxisParamDlg::IDC_MAX_SPEED)->text(), QStringLiteral("150"));
    m_dlg.reset();

    // Nothing takes connections at B's address: said at once.
    AddMachine(u"B", 1, plat::kLoopbackB);
    m_prompt.m_shown.clear();
    Open(1);
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, u"B at 127.0.0.2 is offline: no connection to its controller could be made.");
    EXPECT_FALSE(m_dlg->TimerActive(CParamDlg::kReadTimer));
}

TEST_F(ParamDlgTest, AWriteNeedsTheCodeAndIsConfirmedOnlyByTheWholeMatchingReadBack)
{
    CParamDlg& dlg = Open(0);
    ASSERT_TRUE(m_fake.WaitForPackets(1, 3000));
    QLineEdit* travel = dlg.AxisPage()->Edit(CMachineAxisParamDlg::IDC_JOURNEY);
    travel->setText(QStringLiteral("2.5"));
    emit travel->textEdited(travel->text());

    AnswerCode(QStringLiteral("Kv3816"));
    dlg.OnWrite();
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, u"Error Pass word !");
    EXPECT_FALSE(dlg.WritePending());
    EXPECT_TRUE(dlg.isEnabled());

    // The state answer to the write decides nothing; the read-back comes
    // later.
    m_fake.Script({FakeController::Answering({0xCE, 0x05, 0x00, 0x00, 0x00, 0x00, 0x03}),
                   FakeController::Answering({}, 1, 600)});
    AnswerCode(QStringLiteral("KV3816"));
    dlg.OnWrite();
    ASSERT_EQ(Writes().size(), 1u);
    const Bytes write = Writes()[0];
    ASSERT_EQ(write.size(), 910u);
    EXPECT_EQ(Bytes(write.begin() + 6 * 14, write.begin() + 7 * 14),
              (Bytes{0xD4, 0x01, 0x00, 0x26, 0x00, 0x00, 0x00, 0x13, 0x44, 0x00, 0x00, 0x00, 0x13, 0x44}));
    QTest::qWait(300);
    EXPECT_TRUE(dlg.WritePending());
    EXPECT_FALSE(dlg.isEnabled());
    EXPECT_TRUE(dlg.TimerActive(CParamDlg::kWriteTimer));
    // The silent read-back: timer 2 ends it as timed out.
    dlg.OnTimer(CParamDlg::kWriteTimer);
    EXPECT_FALSE(dlg.WritePending());
    EXPECT_EQ(Status(), Entry(69));
    EXPECT_EQ(m_prompt.m_shown.back().text, ErrorText(3));
    EXPECT_TRUE(dlg.isEnabled());

    // All 65 values read back as sent: confirmed.
    m_prompt.m_shown.clear();
    m_fake.Script({FakeController::Answering({}), FakeController::Answering(ReadBack(write))});
    dlg.OnWrite();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg.WritePending(); }, 3000));
    EXPECT_EQ(Status(), Entry(68));
    EXPECT_FALSE(dlg.TimerActive(CParamDlg::kWriteTimer));
    EXPECT_TRUE(m_prompt.m_shown.empty());
    EXPECT_EQ(Machine(0).m_params->m_x_journey, 2500.0);

    // The controller kept another machine type (an integer): failed at once.
    m_fake.Script({FakeController::Answering({}), FakeController::Answering(ReadBack(write, 1, 1))});
    dlg.OnWrite();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg.WritePending(); }, 3000));
    EXPECT_EQ(Status(), Entry(69));
    EXPECT_FALSE(dlg.TimerActive(CParamDlg::kWriteTimer));
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, ErrorText(3));
    EXPECT_TRUE(dlg.isEnabled());
}

TEST_F(ParamDlgTest, AMachineWhoseLinkCannotStartBesideAnotherSendsNothingToEither)
{
    FakeController fakeB;
    ASSERT_TRUE(fakeB.Start("127.0.0.2", m_fake.Port()));
    AddMachine(u"B", 1, plat::kLoopbackB);
    ASSERT_TRUE(OpenMachineConnection(Machine(0), g_settings, 1));
    CTransThreadInfo* a = Machine(0).m_session;
    const std::size_t before = m_fake.Packets().size();

    CParamDlg& dlg = Open(1);
    EXPECT_EQ(Machine(1).m_session, nullptr);
    EXPECT_EQ(Machine(1).m_online, 0);
    AnswerCode(QStringLiteral("KV3816"));
    dlg.OnRead();
    dlg.OnWrite();
    dlg.StatisticPage()->OnRead();
    EXPECT_TRUE(dlg.isEnabled());
    EXPECT_FALSE(dlg.WritePending());
    QTest::qWait(300);
    EXPECT_EQ(m_fake.Packets().size(), before);
    EXPECT_EQ(fakeB.Packets().size(), 0u);
    m_dlg.reset();
    EXPECT_EQ(Machine(0).m_session, a);
}

TEST_F(ParamDlgTest, StatisticsShowTheAnsweredSecondsAsAClock)
{
    CParamDlg& dlg = Open(0);
    ASSERT_TRUE(m_fake.WaitForPackets(1, 3000));
    CParamPageStatistic* page = dlg.StatisticPage();
    QLineEdit* powerOn = page->Edit(CParamPageStatistic::IDC_POWER_ON);
    EXPECT_EQ(powerOn->text(), QStringLiteral("00:00:00"));

    m_fake.Script({FakeController::Answering({0xCE, 0x05, 0x00, 0x00, 0x00, 0x00, 0x03}),
                   FakeController::Answering({0xD4, 0x01, 0x04, 0x01, 0x00, 0x00, 0x00, 0x1D, 0x0D})});
    page->OnRead();
    ASSERT_TRUE(m_fake.WaitForPackets(2, 3000));
    QTest::qWait(300);
    EXPECT_EQ(powerOn->text(), QStringLiteral("00:00:00"));
    page->OnRead();
    EXPECT_TRUE(QTest::qWaitFor([&] { return powerOn->text() == QStringLiteral("01:02:05"); }, 3000));
    EXPECT_EQ(Machine(0).m_params->m_statistics.m_runTime[0].m_minutes, 2u);
}

TEST_F(ParamDlgTest, TheManagersParametersButtonOpensTheSelectedMachinesDialog)
{
    AddMachine(u"Zero", 1, 0);
    CMachineManage manager(&m_context);
    manager.Create(nullptr);
    ASSERT_TRUE(manager.Button(CMachineManage::IDC_PARAMETERS)->isEnabled());
    std::vector<MachineNode*> opened;
    CDialogBase::SetModalAnswerForTesting([&](CDialogBase& d) {
        opened.push_back(static_cast<CParamDlg&>(d).Machine());
        return 2;
    });
    manager.List()->selectRow(1);
    manager.Button(CMachineManage::IDC_PARAMETERS)->click();
    // An unusable link is said, and the dialog opens all the same.
    ASSERT_EQ(opened, std::vector<MachineNode*>{&Machine(1)});
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, ErrorText(5));
}

} // namespace
