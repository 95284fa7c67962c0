// The parameter pages, calculator, access-code prompt and the ".machine"
// file commands without a controller: typed values stored in the block's
// units and clamped to their fields, the rotary Y resolution, the
// calculator's guarded divisions, and export and load offline.
#include "MachineStage.h"

#include "settings/MachineParams.h"
#include "ui/MachineAxisParamDlg.h"
#include "ui/MachineLaserParamDlg.h"
#include "ui/MachineOtherParamDlg.h"
#include "ui/ParamDlg.h"
#include "ui/ParamPageMachineResolution.h"
#include "ui/ParamPasswordInput.h"
#include "ui/XPButton.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <filesystem>
#include <fstream>

namespace {

void Type(QLineEdit* edit, const char* text)
{
    edit->setText(QString::fromLatin1(text));
    emit edit->textEdited(edit->text());
}

void Choose(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

// A dialog for a machine whose link cannot start (address 0): no
// controller, nothing sent.
class ParamPagesTest : public plat::MachineStage {
protected:
    void SetUp() override
    {
        MachineStage::SetUp();
        AddMachine(u"Offline", 1, 0);
        m_dlg = std::make_unique<CParamDlg>(&m_context, 1);
        m_dlg->Create(nullptr);
        ASSERT_EQ(Machine(1).m_session, nullptr);
        m_block = Machine(1).m_params;
    }
    void TearDown() override
    {
        m_dlg.reset();
        CDialogBase::SetModalAnswerForTesting({});
        CParamDlg::SetFileChooserForTesting({});
        MachineStage::TearDown();
    }
    QString Entry(int k) const { return QString::fromStdU16String(LanguageText(m_table, u"phase13:param-dialog", k)); }

    std::unique_ptr<CParamDlg> m_dlg;
    MachineParams* m_block = nullptr;
};

TEST_F(ParamPagesTest, TypedValuesAreStoredInBlockUnitsAndFillBack)
{
    CMachineAxisParamDlg& axis = *m_dlg->AxisPage();
    Type(axis.Edit(CMachineAxisParamDlg::IDC_JOURNEY), "2.5");
    EXPECT_EQ(m_block->m_x_journey, 2500.0);
    axis.Edit(CMachineAxisParamDlg::IDC_JOURNEY)->clear();
    axis.Fill();
    EXPECT_EQ(axis.Edit(CMachineAxisParamDlg::IDC_JOURNEY)->text(), QStringLiteral("2.5"));
    // Texts that are no finite number change nothing.
    Type(axis.Edit(CMachineAxisParamDlg::IDC_JOURNEY), "abc");
    Type(axis.Edit(CMachineAxisParamDlg::IDC_JOURNEY), "1e999");
    EXPECT_EQ(m_block->m_x_journey, 2500.0);
    Choose(axis.Combo(CMachineAxisParamDlg::IDC_LIMIT), 1);
    EXPECT_EQ(m_block->m_x_control, 0x400u);

    CMachineOtherParamDlg& other = *m_dlg->OtherPage();
    Type(other.Edit(CMachineOtherParamDlg::IDC_SPEED_RATE), "7");
    EXPECT_EQ(m_block->m_speed_rate, 500.0);
    EXPECT_EQ(other.Edit(CMachineOtherParamDlg::IDC_SPEED_RATE)->text(), QStringLiteral("5"));
    Type(other.Edit(CMachineOtherParamDlg::IDC_SPEED_RATE), "-1");
    EXPECT_EQ(m_block->m_speed_rate, 0.0);
    EXPECT_EQ(other.Edit(CMachineOtherParamDlg::IDC_SPEED_RATE)->text(), QStringLiteral("0"));
    m_block->m_x_max_speed = 200000.0;
    m_block->m_y_max_speed = 250000.0;
    Type(other.Edit(CMachineOtherParamDlg::IDC_FRAME_SPEED), "300");
    EXPECT_EQ(m_block->m_run_range_speed, 200000u);
    Type(other.Edit(CMachineOtherParamDlg::IDC_FRAME_SPEED), "-5");
    EXPECT_EQ(m_block->m_run_range_speed, 0u) << "an unsigned field holds no negative value";

    // Values beyond an integer field are clamped, not wrapped.
    CMachineLaserParamDlg& laser = *m_dlg->LaserPage();
    Type(laser.Edit(CMachineLaserParamDlg::IDC_PLATFORM_DISTANCE), "1e12");
    EXPECT_EQ(m_block->m_doub_plat_len, 0x7FFFFFFFu);
    Type(laser.Edit(CMachineLaserParamDlg::IDC_HEAD_SPACING), "-1e12");
    EXPECT_EQ(m_block->m_doub_head_len, 0x80000000u);
    Type(laser.Edit(CMachineLaserParamDlg::IDC_TOLERANCE), "-3.9");
    EXPECT_EQ(static_cast<std::int32_t>(m_block->m_metal_tolerance), -3);
    m_block->m_u_journey = 30000.0;
    Type(laser.Edit(CMachineLaserParamDlg::IDC_FOCUS), "45");
    EXPECT_EQ(m_block->m_focus_len, 30000u);
    EXPECT_EQ(laser.Edit(CMachineLaserParamDlg::IDC_FOCUS)->text(), QStringLiteral("30"));
    Choose(laser.Combo(CMachineLaserParamDlg::IDC_BACK_POS), 1);
    EXPECT_EQ(m_block->m_mac_back_pos, 0x8000u);
    laser.Fill();
    EXPECT_EQ(laser.Combo(CMachineLaserParamDlg::IDC_BACK_POS)->currentIndex(), 1);
}

TEST_F(ParamPagesTest, TheRotaryYResolutionFollowsTheReferenceValuesOnYAlone)
{
    CMachineLaserParamDlg& laser = *m_dlg->LaserPage();
    Choose(laser.Combo(CMachineLaserParamDlg::IDC_MACHINE_TYPE), 2);
    EXPECT_EQ(m_block->m_machine_type, 0x20u);
    // Type 3 shows the metal-cutting rows, type 2 none of them.
    EXPECT_TRUE(laser.Control(CMachineLaserParamDlg::IDC_METAL_GROUP)->isHidden());
    Choose(laser.Combo(CMachineLaserParamDlg::IDC_MACHINE_TYPE), 3);
    EXPECT_FALSE(laser.Control(CMachineLaserParamDlg::IDC_METAL_GROUP)->isHidden());
    EXPECT_TRUE(laser.Control(CMachineLaserParamDlg::IDC_DELAY_GROUP)->isHidden());
    Choose(laser.Combo(CMachineLaserParamDlg::IDC_MACHINE_TYPE), 2);

    CMachineAxisParamDlg& axis = *m_dlg->AxisPage();
    Choose(axis.Combo(CMachineAxisParamDlg::IDC_AXIS), 1);
    QLineEdit* resolution = axis.Edit(CMachineAxisParamDlg::IDC_RESOLUTION);
    ASSERT_FALSE(axis.Edit(CMachineAxisParamDlg::IDC_WHEEL_DIAMETER)->isHidden());
    EXPECT_TRUE(axis.Control(CMachineAxisParamDlg::IDC_CALC_RESOLUTION)->isHidden());
    // A reference diameter of 0 divides by nothing.
    Type(axis.Edit(CMachineAxisParamDlg::IDC_WHEEL_DIAMETER), "50");
    Type(axis.Edit(CMachineAxisParamDlg::IDC_REFER_RESOLUTION), "0.01");
    EXPECT_EQ(resolution->text(), QStringLiteral("0"));
    Type(axis.Edit(CMachineAxisParamDlg::IDC_REFER_DIAMETER), "100");
    EXPECT_TRUE(resolution->isReadOnly());
    EXPECT_EQ(resolution->text(), QStringLiteral("0.005"));
    EXPECT_NEAR(m_block->m_y_resolution, 500000.0, 1e-6);
    EXPECT_EQ(m_block->m_wheel_dinameter, 50000.0);
    Type(resolution, "7");
    EXPECT_NEAR(m_block->m_y_resolution, 500000.0, 1e-6) << "a derived resolution is not typed over";

    Choose(axis.Combo(CMachineAxisParamDlg::IDC_AXIS), 0);
    for (int id : {1322, 1323, 1324, 1370, 1371, CMachineAxisParamDlg::IDC_CALC_REFER,
                   CMachineAxisParamDlg::IDC_REFER_DIAMETER})
        EXPECT_TRUE(axis.Control(id)->isHidden()) << id;
    EXPECT_FALSE(resolution->isReadOnly());
    EXPECT_FALSE(axis.Control(CMachineAxisParamDlg::IDC_CALC_RESOLUTION)->isHidden());
}

TEST_F(ParamPagesTest, EscapeOnTheAxisPageKeepsTheDialogOpenAndElsewhereClosesIt)
{
    m_dlg->show();
    QTest::keyClick(m_dlg->AxisPage()->Edit(CMachineAxisParamDlg::IDC_JOURNEY), Qt::Key_Escape);
    EXPECT_TRUE(m_dlg->isVisible());
    QTest::keyClick(m_dlg->OtherPage()->Edit(CMachineOtherParamDlg::IDC_SPEED_RATE), Qt::Key_Escape);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->result(), QDialog::Rejected);
}

TEST(ParamCalculator, DivisorsClearOfZeroAndOnlyFiniteNumbersCompute)
{
    auto compute = [](int mode, const char* a, const char* b, double r, bool* closed = nullptr) {
        CParamPageMachineResolution calc(r);
        if (mode == 1)
            calc.OnToggleMode();
        calc.EditA()->setText(QString::fromLatin1(a));
        calc.EditB()->setText(QString::fromLatin1(b));
        calc.OnCompute();
        if (closed != nullptr)
            *closed = calc.result() == QDialog::Accepted;
        return calc.Resolution();
    };
    EXPECT_NEAR(compute(0, "100.2", "50.2", 0.003), 0.006, 1e-15);
    EXPECT_EQ(compute(0, "100.2", "0", 0.003), 0.0);
    EXPECT_EQ(compute(0, "100.2", "0.2", 0.003), 0.0) << "B - 0.2 is the divisor";
    EXPECT_EQ(compute(1, "10", "20", 0.003), 500.0);
    bool closed = true;
    EXPECT_EQ(compute(0, "abc", "50.2", 0.003, &closed), 0.003);
    EXPECT_FALSE(closed);
    EXPECT_EQ(compute(1, "10", "1e999", 0.003, &closed), 0.003);
    EXPECT_FALSE(closed);
}

TEST(ParamPasswordInput, TheRepeatedCodeMustMatchToClose)
{
    plat::RecordingPrompt prompt;
    plat::SetPrompt(&prompt);
    CParamPasswordInput input(2);
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& p = static_cast<CParamPasswordInput&>(d);
        p.FirstEdit()->setText(QStringLiteral("abc"));
        p.SecondEdit()->setText(QStringLiteral("abC"));
        p.OkButton()->click();
        if (p.result() == QDialog::Accepted)
            return 1;
        p.SecondEdit()->setText(QStringLiteral("abc"));
        p.OkButton()->click();
        return p.result() == QDialog::Accepted ? 1 : 2;
    });
    EXPECT_EQ(input.DoModal(), 1);
    CDialogBase::SetModalAnswerForTesting({});
    plat::SetPrompt(nullptr);
    EXPECT_EQ(prompt.m_shown.size(), 1u) << "the first, differing entry keeps it open";
    EXPECT_EQ(input.First(), QStringLiteral("abc"));
}

TEST_F(ParamPagesTest, ExportAddsTheExtensionAsksBeforeReplacingAndALoadedFileEnablesAnOfflineWrite)
{
    const std::string base = m_program->Root() + "/a";
    QString chosen = QString::fromStdString(base);
    CParamDlg::SetFileChooserForTesting([&](bool, const QString& filter, QString& path) {
        EXPECT_EQ(filter, QStringLiteral("Mac Param (*.machine)"));
        path = chosen;
        return true;
    });
    m_block->m_x_journey = 2500.0;
    m_dlg->OnExport();
    const std::string file = base + ".machine";
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_TRUE(m_prompt.m_shown.empty());

    m_block->m_x_journey = 7000.0;
    m_prompt.m_answer = plat::IDCANCEL;
    m_dlg->OnExport();
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, QString::fromStdString(file).toStdU16String() +
                                            LanguageText(m_table, u"phase13:param-dialog", 67));
    EXPECT_EQ(m_prompt.m_shown[0].type, plat::MB_OKCANCEL | plat::MB_ICONWARNING);

    // Loading the first export brings back its value and allows a write,
    // which finds no connection and sends nothing.
    chosen = QString::fromStdString(file);
    m_dlg->OnLoad();
    EXPECT_EQ(m_dlg->StatusLine()->text(), Entry(70));
    EXPECT_EQ(m_block->m_x_journey, 2500.0) << "Cancel wrote nothing";
    EXPECT_TRUE(m_dlg->Button(CParamDlg::IDC_WRITE)->isEnabled());
    EXPECT_EQ(m_dlg->AxisPage()->Edit(CMachineAxisParamDlg::IDC_JOURNEY)->text(), QStringLiteral("2.5"));
    bool asked = false;
    CDialogBase::SetModalAnswerForTesting([&](CDialogBase&) {
        asked = true;
        return 1;
    });
    m_dlg->OnWrite();
    EXPECT_FALSE(asked);
    EXPECT_FALSE(m_dlg->WritePending());

    chosen = QString::fromStdString(m_program->Root() + "/missing.machine");
    m_dlg->OnLoad();
    EXPECT_EQ(m_dlg->StatusLine()->text(), Entry(71));

    // Clear zeroes what a write sends and keeps what it never sends.
    m_block->m_ip_address = 0x0A000001;
    m_dlg->OnClear();
    EXPECT_EQ(m_block->m_x_journey, 0.0);
    EXPECT_EQ(m_block->m_ip_address, 0x0A000001u);
    EXPECT_FALSE(m_dlg->Button(CParamDlg::IDC_WRITE)->isEnabled());
}

} // namespace
