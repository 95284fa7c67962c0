// The machine manager and the work area dialog: the rows as the list holds
// the machines, saving by the stored name, deleting with the selection and
// file following, connecting against the fake controller (one link at a
// time, refused links changing nothing), and the work area with the boxes it
// recomputes.
#include "MachineStage.h"
#include "qtplatform/QtMessagePoster.h"
#include "machinecomm/OnlineOperate.h"
#include "model/DocDataLine.h"
#include "model/NodeList.h"
#include "settings/MachineTech.h"
#include "ui/MachineManage.h"
#include "ui/ParamTechnology.h"
#include "ui/SetMachineCoor.h"
#include "ui/XPButton.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <QTimer>

namespace {

using plat::FakeController;
using plat::kLoopbackA;
using plat::kLoopbackB;

class MachineManageTest : public plat::MachineStage {
protected:
    void TearDown() override
    {
        CDialogBase::SetModalAnswerForTesting({});
        m_manager.reset();
        MachineStage::TearDown();
    }
    CMachineManage& Manager()
    {
        m_manager = std::make_unique<CMachineManage>(&m_context);
        m_manager->Create(nullptr);
        return *m_manager;
    }
    QString Cell(int row, int column) const { return m_manager->List()->item(row, column)->text(); }
    int Selected() const
    {
        const auto rows = m_manager->List()->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    }
    void Save(const QString& name, int type, const QString& address)
    {
        m_manager->NameEdit()->setText(name);
        m_manager->TypeCombo()->setCurrentIndex(type);
        m_manager->AddressEdit()->setText(address);
        m_manager->OnSave();
    }
    // The names MacInfo.par holds and its current index.
    std::vector<std::u16string> StoredNames(std::int32_t* current = nullptr) const
    {
        MachineNode* list = CReadParamFile().ReadMacInfo(current);
        std::vector<std::u16string> names;
        for (const MachineNode* m = list; m != nullptr; m = m->m_next)
            names.push_back(m->Name());
        FreeMachineList(list);
        return names;
    }
    std::unique_ptr<CMachineManage> m_manager;
};

TEST_F(MachineManageTest, RowsShowAddressMostSignificantFirstAndLinkOnlyWhileOnline)
{
    Machine(0).m_ip = 0xC0A80064;
    AddMachine(u"S", 0, 0).m_online = 1;
    AddMachine(u"N", 1, 0x0A000102).m_online = 1;
    Machine(2).m_mac_type = 1;
    g_settings.m_nCurMachine = 2;
    CMachineManage& dlg = Manager();
    ASSERT_EQ(dlg.List()->rowCount(), 3);
    EXPECT_EQ(Cell(0, 2), QStringLiteral("192.168.0.100"));
    EXPECT_EQ(Cell(0, 3), QStringLiteral("NULL"));
    EXPECT_EQ(Cell(1, 3), QStringLiteral("COM"));
    EXPECT_EQ(Cell(2, 3), QStringLiteral("IP"));
    EXPECT_EQ(Cell(2, 1), QString::fromStdU16String(LanguageText(m_table, u"phase9:mac-info", 10)));
    EXPECT_EQ(Selected(), 2);
    EXPECT_EQ(dlg.NameEdit()->text(), QStringLiteral("N"));
    EXPECT_EQ(dlg.AddressEdit()->text(), QStringLiteral("10.0.1.2"));
    EXPECT_EQ(dlg.TypeCombo()->currentIndex(), 1);
    EXPECT_TRUE(dlg.Button(CMachineManage::IDC_PARAMETERS)->isEnabled());

    // A current index past the list: no row, empty fields, the first type.
    g_settings.m_nCurMachine = 7;
    CMachineManage& past = Manager();
    EXPECT_EQ(Selected(), -1);
    EXPECT_TRUE(past.NameEdit()->text().isEmpty());
    EXPECT_TRUE(past.AddressEdit()->text().isEmpty());
    EXPECT_EQ(past.TypeCombo()->currentIndex(), 0);
    past.OnConnect(); // no selection: nothing happens
    past.OnDelete();
    EXPECT_EQ(past.List()->rowCount(), 3);
}

TEST_F(MachineManageTest, SaveFindsTheMachineByItsStoredNameAndSelectsItsOwnRow)
{
    FreeMachineList(g_settings.m_pMachines);
    AddMachine(u"AB", 1, kLoopbackA);
    AddMachine(u"A", 1, kLoopbackA).m_xsize = 1300;
    CMachineManage& dlg = Manager();

    // An existing name changes type and address only, and stays selected.
    Save(QStringLiteral("A"), 1, QStringLiteral("10.1.2.3"));
    ASSERT_EQ(dlg.List()->rowCount(), 2);
    EXPECT_EQ(Selected(), 1) << "the row beginning with \"A\" first is AB's";
    EXPECT_EQ(Machine(1).m_ip, 0x0A010203u);
    EXPECT_EQ(Machine(1).m_mac_type, 1);
    EXPECT_EQ(Machine(1).m_link_type, 1);
    EXPECT_EQ(Machine(1).m_xsize, 1300);
    dlg.OnDelete();
    EXPECT_EQ(StoredNames(), (std::vector<std::u16string>{u"AB"}));

    // A long name is stored cut, and saving it again finds it.
    const QString longName(60, QLatin1Char('L'));
    Save(longName, 0, QStringLiteral("1.2.3.4"));
    Save(longName, 0, QStringLiteral("1.2.3.5"));
    ASSERT_EQ(dlg.List()->rowCount(), 2);
    EXPECT_EQ(Machine(1).Name(), std::u16string(49, u'L'));
    EXPECT_EQ(Machine(1).m_ip, 0x01020305u);
    EXPECT_EQ(Machine(1).m_orign, 1);
    EXPECT_EQ(Machine(1).m_xsize, 900);
    ASSERT_NE(Machine(1).m_tech, nullptr);
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(StoredNames().size(), 2u);

    // Addresses the control refuses change nothing.
    for (const char* bad : {"256.1.1.1", "1.2.3", ""}) {
        Save(QStringLiteral("New"), 0, QString::fromLatin1(bad));
        EXPECT_EQ(dlg.List()->rowCount(), 2) << bad;
    }
}

TEST_F(MachineManageTest, DeleteSelectsTheRowThatTakesItsPlaceAndTheOnlyMachineComesBackFromTheFile)
{
    AddMachine(u"B", 1, kLoopbackB);
    AddMachine(u"C", 1, kLoopbackB);
    AddMachine(u"D", 1, kLoopbackB);
    CMachineManage& dlg = Manager();

    dlg.List()->selectRow(3);
    dlg.OnDelete();
    EXPECT_EQ(Selected(), 2);
    dlg.List()->selectRow(1);
    dlg.OnDelete();
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(Cell(1, 0), QStringLiteral("C"));
    std::int32_t current = -1;
    EXPECT_EQ(StoredNames(&current), (std::vector<std::u16string>{u"A", u"C"}));
    EXPECT_EQ(current, 1);
    EXPECT_EQ(g_settings.m_nCurMachine, 1);

    // Down to an empty list: the file still holds the last machine.
    dlg.List()->selectRow(0);
    dlg.OnDelete();
    dlg.List()->selectRow(0);
    dlg.OnDelete();
    ASSERT_NE(g_settings.m_pMachines, nullptr);
    EXPECT_EQ(g_settings.m_pMachines->Name(), u"C");
    EXPECT_EQ(g_settings.m_nCurMachine, 0);
    ASSERT_EQ(dlg.List()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("C"));
}

TEST_F(MachineManageTest, ConnectKeepsOneLinkAndAnUnusableOrFailedLinkChangesNothing)
{
    FakeController fakeB;
    ASSERT_TRUE(fakeB.Start("127.0.0.2", m_fake.Port()));
    AddMachine(u"B", 1, kLoopbackB);
    AddMachine(u"Zero", 1, 0);
    AddMachine(u"Serial", 0, 0);
    g_settings.m_nComPort = 2;
    CMachineManage& dlg = Manager();

    dlg.List()->selectRow(0);
    dlg.OnConnect();
    EXPECT_TRUE(m_fake.WaitForConnections(1, 3000));
    EXPECT_EQ(Cell(0, 3), QStringLiteral("IP"));

    dlg.List()->selectRow(1);
    dlg.OnConnect();
    EXPECT_TRUE(fakeB.WaitForConnections(1, 3000));
    EXPECT_EQ(Cell(0, 3), QStringLiteral("NULL"));
    EXPECT_EQ(Machine(0).m_session, nullptr);
    EXPECT_EQ(Cell(1, 3), QStringLiteral("IP"));
    EXPECT_TRUE(m_sleeps.empty());

    // Address 0.0.0.0 and a serial machine on port 2: one message each, B
    // keeps its connection.
    for (int row : {2, 3}) {
        m_prompt.m_shown.clear();
        dlg.List()->selectRow(row);
        dlg.OnConnect();
        ASSERT_EQ(m_prompt.m_shown.size(), 1u) << row;
        EXPECT_EQ(m_prompt.m_shown[0].text, ErrorText(5));
        EXPECT_NE(Machine(1).m_session, nullptr);
        EXPECT_EQ(Cell(1, 3), QStringLiteral("IP"));
    }

    dlg.List()->selectRow(1);
    dlg.OnDisconnect();
    EXPECT_EQ(Cell(1, 3), QStringLiteral("NULL"));
    EXPECT_EQ(Machine(1).m_session, nullptr);

    // A link that runs already makes B's start fail: B stays offline.
    {
        CTransThreadInfo running(1, kLoopbackA, 0, u"Other", 1);
        ASSERT_TRUE(running.Started());
        dlg.OnConnect();
        EXPECT_EQ(Machine(1).m_session, nullptr);
        EXPECT_EQ(Machine(1).m_online, 0);
        EXPECT_EQ(Cell(1, 3), QStringLiteral("NULL"));
    }
}

// Passes the link's state on to the machine list, as the main frame does.
class MainFrameStandIn : public PostedMessageTarget {
public:
    void OnPostedMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM) override
    {
        if (msg == WM_COMM_LINK_STATE)
            OnMachineLinkState(g_settings.m_pMachines, wParam != 0);
    }
};

TEST_F(MachineManageTest, ALinkThatEndsShowsOfflineAtOnceAndOnlineWhenACommandMakesItAgain)
{
    QtMessagePoster poster;
    plat::SetMessagePoster(&poster);
    MainFrameStandIn frame;
    SetMainFrameWindow(poster.RegisterWindow(&frame));
    // The controller answers one command and then takes no connection.
    m_fake.Script({FakeController::LastAnswer({})});
    CMachineManage& dlg = Manager();
    dlg.List()->selectRow(0);
    dlg.OnConnect();
    EXPECT_EQ(Cell(0, 3), QStringLiteral("IP"));
    EXPECT_EQ(VQ_OnlineOperate(1, OP_STOP, nullptr, 0, 0), 1u);
    ASSERT_TRUE(m_fake.WaitForPackets(1, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Cell(0, 3) == QStringLiteral("NULL"); }, 1000));
    EXPECT_EQ(Selected(), 0);
    EXPECT_NE(Machine(0).m_session, nullptr) << "the connection stays, to be made again";

    ASSERT_TRUE(m_fake.Relisten());
    EXPECT_EQ(VQ_OnlineOperate(1, OP_POSITION, nullptr, 0, 0), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Cell(0, 3) == QStringLiteral("IP"); }, 3000));
    m_manager.reset();
    SetMainFrameWindow(0);
    plat::SetMessagePoster(nullptr);
}

TEST_F(MachineManageTest, MenuCommandsRunAfterTheMenuClosesAndProcessOpensTheSelectedMachinesTechnology)
{
    AddMachine(u"B", 1, kLoopbackB).m_tech = new CMachineTech(u"B");
    CMachineManage& dlg = Manager();
    const QList<QAction*> actions = dlg.ContextMenu()->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[2]->data().toInt(), CMachineManage::ID_DELETE);
    EXPECT_EQ(actions[2]->text(), QString::fromStdU16String(LanguageText(m_table, u"phase12:mac-right-menu", 2)));
    dlg.List()->selectRow(0);
    actions[2]->trigger();
    EXPECT_EQ(dlg.List()->rowCount(), 2) << "queued, not run inside the menu";
    QCoreApplication::processEvents();
    ASSERT_EQ(dlg.List()->rowCount(), 1);

    int opened = 0;
    CDialogBase::SetModalAnswerForTesting([&](CDialogBase& d) {
        ++opened;
        EXPECT_EQ(d.TemplateId(), CParamTechnology::IDD);
        return plat::IDCANCEL;
    });
    dlg.List()->clearSelection();
    dlg.Button(CMachineManage::IDC_TECHNOLOGY)->click();
    EXPECT_EQ(opened, 0);
    dlg.List()->selectRow(0);
    dlg.Button(CMachineManage::IDC_TECHNOLOGY)->click();
    EXPECT_EQ(opened, 1);
}

TEST_F(MachineManageTest, WorkAreaRoundsTheSizesAndBoxesFollowTheNewCornerWithTheSelectionAlone)
{
    // A selected polyline (0,0)-(100,50) as an array of 3 x 2, pitches 150, 80.
    DOCNODE* nodes = AppendNode(nullptr, 0, 0);
    AppendNode(nodes, 100, 50);
    auto* line = new CDocDataLine(nodes, 1, nullptr);
    line->m_pArray = new ARRAYREC;
    line->m_pArray->m_nCols = 3;
    line->m_pArray->m_nRows = 2;
    line->m_pArray->m_dDx = 150;
    line->m_pArray->m_dDy = 80;
    line->SetSelected(1);
    line->m_pNext = m_doc.m_pFirst;
    m_doc.m_pFirst->m_pPrev = line;
    m_doc.m_pFirst = line;
    m_context.m_rcSelect = CGeoBox(-1e6, 1e6, -1e6, 1e6);

    CMachineManage& dlg = Manager();
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& coor = static_cast<CSetMachineCoor&>(d);
        EXPECT_TRUE(coor.CornerButton(1)->isChecked());
        coor.SizeEdit(false)->setText(QStringLiteral("1200.4"));
        coor.SizeEdit(true)->setText(QStringLiteral("800.6"));
        coor.CornerButton(0)->click();
        coor.PointButton(4)->click();
        coor.OkButton()->click();
        return coor.result() == QDialog::Accepted ? plat::IDOK : plat::IDCANCEL;
    });
    dlg.OnWorkArea();
    EXPECT_EQ(Machine(0).m_xsize, 1200);
    EXPECT_EQ(Machine(0).m_ysize, 801);
    EXPECT_EQ(Machine(0).m_orign, 0);
    EXPECT_EQ(Machine(0).m_dot, 4);
    const CGeoBox& box = line->m_rcBound;
    EXPECT_DOUBLE_EQ(box.m_xmin, -300.0);
    EXPECT_DOUBLE_EQ(box.m_xmax, 100.0);
    EXPECT_DOUBLE_EQ(box.m_ymin, 0.0);
    EXPECT_DOUBLE_EQ(box.m_ymax, 130.0);
    EXPECT_FALSE(m_context.m_rcSelect.IsDifferent(box)) << "the unselected rectangle lies elsewhere";
    MachineNode* stored = CReadParamFile().ReadMacInfo(nullptr);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->m_xsize, 1200);
    EXPECT_EQ(stored->m_ysize, 801);
    FreeMachineList(stored);
}

TEST_F(MachineManageTest, WorkAreaDialogShowsAndReturnsAKnownCornerAndRefusesSizesOutOfRange)
{
    CSetMachineCoor fromSeven(7, 9, 900, 600);
    EXPECT_EQ(fromSeven.m_orign, 0);
    EXPECT_EQ(fromSeven.m_dot, 8);

    // Run for real: three refused sizes keep it open, each with the message.
    CSetMachineCoor dlg(7, 2, 900, 600);
    std::vector<bool> openAfter;
    QTimer::singleShot(0, &dlg, [&] {
        EXPECT_TRUE(dlg.CornerButton(0)->isChecked());
        EXPECT_TRUE(dlg.PointButton(2)->isChecked());
        for (const char* bad : {"0", "abc", "1e9"}) {
            dlg.SizeEdit(true)->setText(QString::fromLatin1(bad));
            dlg.OkButton()->click();
            openAfter.push_back(dlg.isVisible() && dlg.result() != QDialog::Accepted);
        }
        dlg.SizeEdit(true)->setText(QStringLiteral("100000"));
        dlg.OkButton()->click();
    });
    EXPECT_EQ(dlg.DoModal(), plat::IDOK);
    EXPECT_EQ(openAfter, (std::vector<bool>{true, true, true}));
    ASSERT_EQ(m_prompt.m_shown.size(), 3u);
    EXPECT_EQ(m_prompt.m_shown[0].text, LanguageText(m_table, u"phase7:mac-frame", 12));
    EXPECT_EQ(dlg.m_orign, 0);
    EXPECT_EQ(dlg.m_dot, 2);
    EXPECT_EQ(dlg.m_ysize, 100000.0);
    EXPECT_EQ(dlg.Label(CSetMachineCoor::IDC_WARNING)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

} // namespace
