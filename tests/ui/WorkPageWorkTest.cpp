// The machine control page against the fake controller: start, pause and
// continue, stop and positioning by the run state; the job's frame; commands
// that reach the machine shown while another holds the link; links that
// cannot be used; the machine change with its waits; the port search and
// the port failure; the jog settings; the dialog buttons.
#include "MachineStage.h"
#include "ui/XPButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>

#include <pty.h>
#include <unistd.h>

namespace {

using plat::Bytes;
using plat::FakeController;
using plat::MachineStage;

// The fixed tail of every frame below: speed 200 mm/s, powers 20, 30, 20, 30 %.
const Bytes kFrameTail = {0x00, 0x00, 0x0C, 0x1A, 0x40, 0x19, 0x4C, 0x26, 0x33, 0x19, 0x4C, 0x26, 0x33};

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

using WorkPageTest = MachineStage;

} // namespace

TEST_F(WorkPageTest, PauseAndContinueFollowOnlyAnAcceptedStartAndStopEndsThem)
{
    bool accept = true;
    int transfers = 0;
    std::u16string path;
    CWorkPageWork::Dialogs dialogs;
    dialogs.jobName = [](std::u16string& name) {
        name = u"JOB";
        return true;
    };
    dialogs.transfer = [&](DOCCONTEXT& context, int mode, const std::u16string& p, std::uint8_t startAfter) {
        ++transfers;
        path = p;
        EXPECT_EQ(&context, &m_context);
        EXPECT_EQ(mode, 0);
        EXPECT_EQ(startAfter, 1);
        return accept;
    };
    CWorkPageWork::SetDialogs(dialogs);
    CWorkPageWork& page = ShownPage();
    ASSERT_TRUE(m_fake.WaitForConnections(1, 3000)) << "binding connects a network machine";

    page.OnStop();
    page.OnPauseContinue(); // before any start: nothing
    page.OnStart();
    EXPECT_EQ(path, u"JOB.out");
    EXPECT_EQ(page.m_runState, 2);
    for (int i = 0; i < 3; ++i)
        page.OnPauseContinue();
    EXPECT_EQ(page.m_runState, 1);
    page.OnStop();
    EXPECT_EQ(page.m_runState, 0);
    page.OnPauseContinue(); // after stop: nothing
    // A rejected start (the transfer failed) leaves the run state alone.
    accept = false;
    page.OnStart();
    EXPECT_EQ(transfers, 2);
    EXPECT_EQ(page.m_runState, 0);
    page.OnPauseContinue();

    EXPECT_EQ(PayloadsUpToMarker(), (std::vector<Bytes>{{0xD1, 0x01}, {0xD1, 0x02}, {0xD1, 0x03}, {0xD1, 0x02},
                                                        {0xD1, 0x01}}));
    // The stop: one packet of type 1 with its two bytes.
    const Bytes stop = m_fake.Unscrambled(0x39).front();
    EXPECT_EQ(stop[1], 1);
    EXPECT_EQ(Bytes(stop.begin() + 29, stop.begin() + 31), (Bytes{0x00, 0x02}));
    EXPECT_TRUE(m_prompt.m_shown.empty());
    EXPECT_TRUE(m_sleeps.empty());

    // Nothing on a layer that is cut or scanned: entry 6, no dialog.
    FindLayerParams(g_settings.m_pLayers, 1)->m_border = 0;
    page.OnStart();
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, ErrorText(6));
    EXPECT_EQ(transfers, 2);
}

TEST_F(WorkPageTest, RunFrameTracesTheJobAroundItsAnchorWithTheDialogsValuesAndTheArrayInMillimetres)
{
    std::vector<CWorkPageWork::RunFrameSettings> presets;
    CWorkPageWork::Dialogs dialogs;
    dialogs.runFrame = [&](CWorkPageWork::RunFrameSettings& s) {
        presets.push_back(s);
        s.margin = 5.0;
        return true;
    };
    CWorkPageWork::SetDialogs(dialogs);
    CWorkPageWork& page = ShownPage();
    page.OnRunFrame();
    ASSERT_TRUE(m_fake.WaitForPackets(1, 3000));
    // Corner 1, point 0: anchor (0, 0); x -5 .. 105 mm, y -5 .. 55 mm, the
    // half added before truncation toward zero.
    EXPECT_EQ(Payloads(m_fake).back(),
              Joined({{0xD5, 0x00, 0x7F, 0x7F, 0x7F, 0x58, 0x79, 0x00, 0x00, 0x06, 0x34, 0x28},
                      {0x7F, 0x7F, 0x7F, 0x58, 0x79, 0x00, 0x00, 0x03, 0x2D, 0x58},
                      kFrameTail}));
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_EQ(presets[0].laser, 0u);
    EXPECT_EQ(presets[0].speed, 200.0);
    EXPECT_EQ(presets[0].margin, 0.0);
    EXPECT_EQ(presets[0].minPower1, 20.0);
    EXPECT_EQ(presets[0].maxPower2, 30.0);
    EXPECT_EQ(page.m_frameMargin, 5.0);

    // Three columns 120 mm apart widen it to the right, two rows 30 mm apart
    // downwards (pitches are in 0.1 mm); the margin of the last run stays.
    auto* array = new ARRAYREC;
    array->m_nCols = 3;
    array->m_dDx = 1200.0;
    array->m_nRows = 2;
    array->m_dDy = -300.0;
    m_doc.m_pArray = array;
    page.OnRunFrame();
    ASSERT_TRUE(m_fake.WaitForPackets(2, 3000));
    EXPECT_EQ(presets.back().margin, 5.0);
    EXPECT_EQ(Payloads(m_fake).back(),
              Joined({{0xD5, 0x00, 0x7F, 0x7F, 0x7F, 0x58, 0x79, 0x00, 0x00, 0x15, 0x07, 0x28},
                      {0x7F, 0x7F, 0x7D, 0x6E, 0x49, 0x00, 0x00, 0x03, 0x2D, 0x58},
                      kFrameTail}));

    // An empty document: nothing, no dialog, no message.
    CDocListNode empty;
    m_context.m_pCurrent = &empty;
    page.OnRunFrame();
    m_context.m_pCurrent = &m_doc;
    EXPECT_EQ(presets.size(), 2u);
    EXPECT_EQ(PayloadsUpToMarker().size(), 2u);
    EXPECT_TRUE(m_prompt.m_shown.empty());
}

TEST_F(WorkPageTest, FrameAnchorFollowsTheOriginCornerAndPositioningPointWithOtherValuesInTheLastColumnAndRow)
{
    CGeoBox box;
    box.m_xmin = 500000.0;
    box.m_xmax = 501000.0;
    box.m_ymin = 500000.0;
    box.m_ymax = 500500.0;
    struct Case {
        std::uint8_t corner, point;
        CWorkPageWork::FrameBox frame;
    };
    const Case cases[] = {
        {0, 0, {-100, 0, 0, 50}},   {0, 8, {0, 100, -50, 0}},   {1, 5, {-100, 0, -25, 25}},
        {2, 4, {-50, 50, -25, 25}}, {2, 6, {-100, 0, 0, 50}},   {3, 0, {0, 100, -50, 0}},
        {7, 200, {-100, 0, 0, 50}}, {1, 7, {-50, 50, -50, 0}},
    };
    for (const Case& c : cases) {
        const CWorkPageWork::FrameBox f = CWorkPageWork::BuildFramePath(box, c.corner, c.point);
        EXPECT_EQ((std::array<double, 4>{f.xmin, f.xmax, f.ymin, f.ymax}),
                  (std::array<double, 4>{c.frame.xmin, c.frame.xmax, c.frame.ymin, c.frame.ymax}))
            << int(c.corner) << " " << int(c.point);
    }
}

TEST_F(WorkPageTest, StopReachesTheMachineShownAfterTheLinkAnotherMachineHoldsCloses)
{
    FakeController other;
    ASSERT_TRUE(other.Start("127.0.0.2", m_fake.Port()));
    MachineNode& b = AddMachine(u"B", 1, plat::kLoopbackB);
    CWorkPageWork& page = ShownPage();
    // The manager connects B: it alone holds a connection.
    CloseMachineConnections(g_settings.m_pMachines, false);
    ASSERT_TRUE(OpenMachineConnection(b, g_settings));
    ASSERT_TRUE(other.WaitForConnections(1, 3000));

    page.OnStop();
    ASSERT_TRUE(m_fake.WaitForPackets(1, 3000));
    EXPECT_EQ(Payloads(m_fake), (std::vector<Bytes>{{0xD1, 0x01}}));
    EXPECT_TRUE(other.Packets().empty());
    EXPECT_EQ(b.m_session, nullptr);
    EXPECT_EQ(b.m_online, 0);
    EXPECT_NE(Machine(0).m_session, nullptr);
    EXPECT_EQ(m_sleeps, std::vector<int>{1000});
}

TEST_F(WorkPageTest, UnusableLinkShowsItsMessageAndSendsNothing)
{
    CWorkPageWork::Dialogs dialogs;
    dialogs.runFrame = [](CWorkPageWork::RunFrameSettings&) { return true; };
    CWorkPageWork::SetDialogs(dialogs);
    CWorkPageWork& page = ShownPage();
    CloseMachineConnections(g_settings.m_pMachines, false);
    MachineNode& a = Machine(0);
    const int before = m_fake.Connections();

    a.m_ip = 0; // 0.0.0.0
    page.OnStop();
    page.OnPositioning();
    page.OnRunFrame();
    page.m_runState = 2;
    page.OnPauseContinue();
    // A serial machine with port 2.
    a.m_link_type = 0;
    a.m_ip = plat::kLoopbackA;
    g_settings.m_nComPort = 2;
    page.OnStop();
    ASSERT_EQ(m_prompt.m_shown.size(), 5u);
    for (const auto& shown : m_prompt.m_shown)
        EXPECT_EQ(shown.text, ErrorText(5));
    EXPECT_EQ(page.m_runState, 2);
    EXPECT_EQ(a.m_session, nullptr);
    EXPECT_EQ(m_fake.Connections(), before);

    // A negative index or one past the end: silently nothing.
    for (int index : {-1, 1}) {
        g_settings.m_nCurMachine = index;
        page.OnStop();
        page.OnRunFrame();
    }
    EXPECT_EQ(m_prompt.m_shown.size(), 5u);
    // Unbound: nothing at all.
    g_settings.m_nCurMachine = 0;
    a.m_link_type = 1;
    page.FillDeviceList(nullptr, nullptr);
    page.OnStop();
    EXPECT_TRUE(m_fake.Packets().empty());
}

TEST_F(WorkPageTest, MachineChangeWritesTheListClosesEveryConnectionWithItsWaitThenOpensTheNewOnes)
{
    MachineNode& b = AddMachine(u"B", 1, plat::kLoopbackB);
    MachineNode& c = AddMachine(u"C", 1, plat::kLoopbackA);
    CWorkPageWork& page = ShownPage();
    auto* machines = page.findChild<QComboBox*>(QStringLiteral("1153"));
    ASSERT_EQ(machines->count(), 3);
    EXPECT_EQ(machines->itemText(1), QStringLiteral("B"));
    MachineNode& a = Machine(0);
    CTransThreadInfo* session = a.m_session;
    ASSERT_NE(session, nullptr);

    // The machine already current: no file, no connection touched.
    machines->setCurrentIndex(0);
    page.OnDeviceChange();
    EXPECT_FALSE(m_program->Exists("MacInfo.par"));
    EXPECT_EQ(a.m_session, session);

    // A holds the link, B a connection without link: both close, each
    // followed by its wait, before C's opens.
    ASSERT_TRUE(OpenMachineConnection(b, g_settings, 0));
    m_sleeps.clear();
    plat::SetSleepHookForTesting([&](int ms) {
        EXPECT_EQ(c.m_session, nullptr);
        m_sleeps.push_back(ms);
    });
    machines->setCurrentIndex(2);
    page.OnDeviceChange();
    EXPECT_EQ(m_sleeps, (std::vector<int>{1000, 1000}));
    EXPECT_EQ(a.m_session, nullptr);
    EXPECT_EQ(b.m_session, nullptr);
    EXPECT_NE(c.m_session, nullptr);
    EXPECT_EQ(c.m_online, 1);
    EXPECT_EQ(g_settings.m_nCurMachine, 2);
    EXPECT_EQ(page.findChild<QLineEdit*>(QStringLiteral("1064"))->text(), QStringLiteral("127.0.0.1"));
    std::int32_t stored = -1;
    MachineNode* read = CReadParamFile().ReadMacInfo(&stored);
    EXPECT_EQ(stored, 2);
    FreeMachineList(read);
    EXPECT_TRUE(m_prompt.m_shown.empty());
}

TEST_F(WorkPageTest, PortSearchListsThePresentPortsFromCom3AndConnectsTheSerialMachineUntilThePortFails)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    Machine(0).m_link_type = 0;
    CWorkPageWork& page = ShownPage();
    auto* ports = page.findChild<QComboBox*>(QStringLiteral("1154"));
    EXPECT_TRUE(ports->isEnabled());
    EXPECT_EQ(ports->count(), 0);

    SetPort(2, name); // never listed
    SetPort(3, name);
    page.OnPortSearch();
    ASSERT_EQ(ports->count(), 1);
    EXPECT_EQ(ports->itemText(0), QStringLiteral("COM3"));
    EXPECT_EQ(g_settings.m_nComPort, 3);
    EXPECT_NE(Machine(0).m_session, nullptr);
    EXPECT_TRUE(ports->isEnabled());
    EXPECT_TRUE(page.Button(CWorkPageWork::IDC_PORT_SEARCH)->isEnabled());

    page.OnPortError();
    EXPECT_EQ(ports->count(), 0);
    EXPECT_EQ(g_settings.m_nComPort, 0);
    EXPECT_EQ(Machine(0).m_session, nullptr);

    SetPort(3, "/nonexistent/tty3");
    page.OnPortSearch();
    EXPECT_EQ(ports->count(), 0);
    EXPECT_EQ(g_settings.m_nComPort, 0);
    EXPECT_EQ(Machine(0).m_session, nullptr);
    EXPECT_TRUE(m_prompt.m_shown.empty());
    ::close(master);
    ::close(slave);
}

TEST_F(WorkPageTest, AxisSwitchCyclesZUVAndPreciseModeShiftsTheKindsAndEnablesTheStep)
{
    CWorkPageWork& page = ShownPage();
    auto kinds = [&] {
        std::vector<std::uint32_t> k;
        for (int id : {1191, 1192, 1189, 1190, 1187, 1188, 1194})
            k.push_back(page.JogButton(id)->m_kind);
        return k;
    };
    CMyButton* plus = page.JogButton(CWorkPageWork::IDC_AXIS_PLUS);
    CMyButton* minus = page.JogButton(CWorkPageWork::IDC_AXIS_MINUS);
    EXPECT_EQ(kinds(), (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6, 22}));
    EXPECT_EQ(page.Button(CWorkPageWork::IDC_AXIS_SWITCH)->m_kind, 21u);
    auto* step = page.findChild<QLineEdit*>(QStringLiteral("1111"));
    EXPECT_FALSE(step->isEnabled());

    const char* expected[] = {"U", "V", "Z"};
    for (const char* axis : expected) {
        QTest::mouseClick(page.Button(CWorkPageWork::IDC_AXIS_SWITCH), Qt::LeftButton);
        EXPECT_EQ(plus->text(), QString::fromLatin1(axis) + QLatin1Char('+'));
        EXPECT_EQ(minus->text(), QString::fromLatin1(axis) + QLatin1Char('-'));
    }
    EXPECT_EQ(page.m_axis, 0);

    auto* precise = page.findChild<QCheckBox*>(QStringLiteral("1256"));
    precise->click();
    EXPECT_EQ(kinds(), (std::vector<std::uint32_t>{11, 12, 13, 14, 15, 16, 22}));
    EXPECT_TRUE(step->isEnabled());
    QTest::mouseClick(page.Button(CWorkPageWork::IDC_AXIS_SWITCH), Qt::LeftButton);
    EXPECT_EQ(kinds()[4], 17u);
    precise->click();
    EXPECT_EQ(kinds(), (std::vector<std::uint32_t>{1, 2, 3, 4, 7, 8, 22}));
    EXPECT_FALSE(step->isEnabled());

    // Laser and step reach the six motion buttons, not the spot shot.
    page.findChild<QCheckBox*>(QStringLiteral("1258"))->click();
    step->setText(QStringLiteral("-2.5"));
    for (int id : {1191, 1192, 1189, 1190, 1187, 1188}) {
        EXPECT_EQ(page.JogButton(id)->m_laser, 1) << id;
        EXPECT_EQ(page.JogButton(id)->m_step, -2.5) << id;
    }
    EXPECT_EQ(page.JogButton(CWorkPageWork::IDC_SHOT)->m_laser, 0);
    EXPECT_EQ(page.JogButton(CWorkPageWork::IDC_SHOT)->m_step, 0.0);
    step->setText(QStringLiteral("abc"));
    EXPECT_EQ(page.m_dStep, 0.0);
    EXPECT_EQ(page.JogButton(1191)->m_step, 0.0);

    // Texts from "phase3:work-tool"; group 1045 has no title.
    EXPECT_EQ(page.findChild<QCheckBox*>(QStringLiteral("1186"))->text(), QStringLiteral("Network"));
    EXPECT_EQ(page.findChild<QGroupBox*>(QStringLiteral("1039"))->title(), QStringLiteral("Control"));
    EXPECT_TRUE(page.findChild<QGroupBox*>(QStringLiteral("1045"))->title().isEmpty());
}

TEST_F(WorkPageTest, DialogButtonsWaitForTheirDialogsAndTheDownloadEndsTheRunState)
{
    CWorkPageWork& page = ShownPage();
    const int dialogButtons[] = {CWorkPageWork::IDC_DOWNLOAD, CWorkPageWork::IDC_PREVIEW,
                                 CWorkPageWork::IDC_DEVICE_INFO, CWorkPageWork::IDC_START,
                                 CWorkPageWork::IDC_RUN_FRAME};
    for (int id : dialogButtons)
        EXPECT_FALSE(page.Button(id)->isEnabled()) << id;

    int downloads = 0;
    DOCCONTEXT* managed = nullptr;
    CWorkPageWork::Dialogs dialogs;
    dialogs.download = [&](DOCCONTEXT&) { ++downloads; };
    dialogs.preview = [](DOCCONTEXT&) {};
    dialogs.machineManager = [&](DOCCONTEXT* context) { managed = context; };
    dialogs.jobName = [](std::u16string&) { return false; };
    dialogs.transfer = [](DOCCONTEXT&, int, const std::u16string&, std::uint8_t) { return true; };
    dialogs.runFrame = [](CWorkPageWork::RunFrameSettings&) { return false; };
    CWorkPageWork::SetDialogs(dialogs);
    page.FillDeviceList(&m_context, nullptr);
    for (int id : dialogButtons)
        EXPECT_TRUE(page.Button(id)->isEnabled()) << id;

    page.m_runState = 1;
    QTest::mouseClick(page.Button(CWorkPageWork::IDC_DOWNLOAD), Qt::LeftButton);
    EXPECT_EQ(downloads, 1);
    EXPECT_EQ(page.m_runState, 0);
    QTest::mouseClick(page.Button(CWorkPageWork::IDC_DEVICE_INFO), Qt::LeftButton);
    EXPECT_EQ(managed, &m_context);
    // Cancelled job name and run frame: nothing sent.
    page.OnStart();
    page.OnRunFrame();
    EXPECT_EQ(page.m_runState, 0);
    EXPECT_TRUE(PayloadsUpToMarker().empty());
}
