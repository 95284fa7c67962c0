#include "MachineLaserParamDlg.h"

#include "XPButton.h"
#include "settings/MachineParams.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

constexpr std::uint32_t kBackPosBits = 0xC000;
constexpr std::uint32_t kCollisionBit = 0x2;

// A millimetre length kept in thousandths in a signed integer field.
double SignedThousandths(std::uint32_t word)
{
    return static_cast<std::int32_t>(word) * 0.001;
}

} // namespace

CMachineLaserParamDlg::CMachineLaserParamDlg(QWidget* parent) : CMachineParamPage(IDD, parent)
{
    auto* outer = new QGridLayout(this);
    auto* grid = new QGridLayout;
    outer->addLayout(grid, 0, 0);
    int row = 0;

    AddLabel(grid, row, 0, 1341, 25, "Return Point");
    AddCombo(grid, row++, 1, IDC_BACK_POS, {28, 27, 26}, {}, [this](int index) {
        std::uint32_t& pos = m_pParams->m_mac_back_pos;
        pos &= ~kBackPosBits;
        if (index == 1)
            pos |= 0x8000;
        else if (index == 2)
            pos |= kBackPosBits;
    });
    AddLabel(grid, row, 0, 1373, 72, "Heads");
    AddCombo(grid, row++, 1, IDC_HEADS, {73, 74}, {}, [this](int index) { SetTypeBits(0, 0x3, index); });
    AddLabel(grid, row, 0, 1342, 60, "Machine Type");
    AddCombo(grid, row++, 1, IDC_MACHINE_TYPE, {61, 62, 63, 94}, {}, [this](int index) {
        SetTypeBits(4, 0xF, index);
        Layout();
    });
    AddLabel(grid, row, 0, 1377, 75, "Platforms");
    AddCombo(grid, row++, 1, IDC_PLATFORMS, {76, 77, 78, 101}, {}, [this](int index) { SetTypeBits(2, 0x3, index); });
    AddLabel(grid, row, 0, 1343, 31, "Laser Type");
    AddCombo(grid, row++, 1, IDC_LASER_TYPE, {32, 33, 34}, {}, [this](int index) {
        std::uint32_t& control = m_pParams->m_laser_control;
        control = (control & ~0xFFu) | static_cast<std::uint32_t>(index * 8);
    });
    AddLabel(grid, row, 0, 1344, 36, "PWM Polarity");
    AddCombo(grid, row++, 1, IDC_PWM_POLARITY, {}, {"-", "+"},
             [this](int index) { m_pParams->m_laser_pwm_polarity = static_cast<std::uint32_t>(index); });

    // Edits whose value goes to a real field as typed.
    auto addReal = [&](QGridLayout* g, int& r, int label, int entry, const char* text, int id, const char* unit,
                       int unitId, double MachineParams::*field) {
        AddLabel(g, r, 0, label, entry, text);
        AddEdit(g, r, 1, id, [this, field](double v) { m_pParams->*field = v; });
        AddLabel(g, r++, 2, unitId, -1, unit);
    };
    addReal(grid, row, 1345, 35, "PWM Frequency", IDC_FREQUENCY, "Hz", 0, &MachineParams::m_laser_frequency);
    addReal(grid, row, 1346, 54, "Minimum Duty", IDC_MIN_POWER, "%", 0, &MachineParams::m_laser_min_power);
    addReal(grid, row, 1347, 55, "Maximum Duty", IDC_MAX_POWER, "%", 0, &MachineParams::m_laser_max_power);

    AddLabel(grid, row, 0, 1374, 84, "Focal Length");
    AddEdit(grid, row, 1, IDC_FOCUS, [this](double v) {
        // The focus cannot lie beyond the U axis's travel.
        const double most = m_pParams->m_u_journey / 1000.0;
        if (v > most) {
            v = most;
            SetNumber(IDC_FOCUS, v);
        }
        m_pParams->m_focus_len = ToFieldWord(v * 1000.0, true);
    });
    AddLabel(grid, row++, 2, 0, -1, "mm");
    AddLabel(grid, row, 0, 1375, 82, "Double-Platform Distance");
    AddEdit(grid, row, 1, IDC_PLATFORM_DISTANCE,
            [this](double v) { m_pParams->m_doub_plat_len = ToFieldWord(v * 1000.0, true); });
    AddLabel(grid, row++, 2, 0, -1, "mm");
    AddLabel(grid, row, 0, 1376, 83, "Double-Head Minimum Spacing");
    AddEdit(grid, row, 1, IDC_HEAD_SPACING,
            [this](double v) { m_pParams->m_doub_head_len = ToFieldWord(v * 1000.0, true); });
    AddLabel(grid, row++, 2, 0, -1, "mm");

    auto* delays = new QGroupBox(this);
    delays->setObjectName(QString::number(IDC_DELAY_GROUP));
    auto* delayGrid = new QGridLayout(delays);
    int delayRow = 0;
    addReal(delayGrid, delayRow, 1382, 92, "Rise Delay", IDC_UP_DELAY, "ms", 1411, &MachineParams::m_metal_up_delay);
    addReal(delayGrid, delayRow, 1384, 93, "Fall Delay", IDC_DOWN_DELAY, "ms", 1412,
            &MachineParams::m_metal_down_delay);
    outer->addWidget(delays, 1, 0);

    auto* rest = new QGridLayout;
    outer->addLayout(rest, 2, 0);
    int restRow = 0;
    addReal(rest, restRow, 1387, 95, "Long Travel Distance", IDC_UPLIFT, "mm", 1413,
            &MachineParams::m_metal_uplift_dis);
    AddLabel(rest, restRow, 0, 1389, 96, "Height Controller");
    AddCombo(rest, restRow++, 1, IDC_HEIGHT_CONTROLLER, {81, 80}, {}, [](int) {});

    auto* metal = new QGroupBox(this);
    metal->setObjectName(QString::number(IDC_METAL_GROUP));
    auto* metalGrid = new QGridLayout(metal);
    int metalRow = 0;
    addReal(metalGrid, metalRow, 1391, 97, "Follow Height", IDC_HANGING, "mm", 1414, &MachineParams::m_metal_hanging);
    addReal(metalGrid, metalRow, 1392, 98, "Travel Lift Height", IDC_FREE_UPDIS, "mm", 1415,
            &MachineParams::m_metal_free_updis);
    addReal(metalGrid, metalRow, 1394, 99, "Finish Lift Height", IDC_FINISH_UPDIS, "mm", 1416,
            &MachineParams::m_metal_finish_updis);
    AddLabel(metalGrid, metalRow, 0, 1396, 100, "Tolerance");
    AddEdit(metalGrid, metalRow++, 1, IDC_TOLERANCE,
            [this](double v) { m_pParams->m_metal_tolerance = ToFieldWord(v, true); });
    AddLabel(metalGrid, metalRow, 0, 1397, 102, "Collision Alarm");
    AddCombo(metalGrid, metalRow++, 1, IDC_COLLISION, {81, 80}, {}, [this](int index) {
        std::uint32_t& mode = m_pParams->m_mac_op_mod;
        mode = index == 1 ? mode | kCollisionBit : mode & ~kCollisionBit;
    });
    outer->addWidget(metal, 3, 0);

    CXPButton* apply = MakeApplyButton(IDC_APPLY);
    outer->addWidget(apply, 4, 0, Qt::AlignRight);
}

int CMachineLaserParamDlg::MachineTypeIndex() const
{
    return Combo(IDC_MACHINE_TYPE)->currentIndex();
}

void CMachineLaserParamDlg::SetTypeBits(int shift, std::uint32_t mask, int index)
{
    std::uint32_t& type = m_pParams->m_machine_type;
    type = (type & ~(mask << shift)) | (static_cast<std::uint32_t>(index) & mask) << shift;
}

void CMachineLaserParamDlg::Fill()
{
    if (m_pParams == nullptr)
        return;
    const MachineParams& b = *m_pParams;
    const std::uint32_t back = b.m_mac_back_pos >> 14 & 0x3;
    SetChoice(IDC_BACK_POS, back != 0 ? static_cast<int>(back) - 1 : 0);
    SetChoice(IDC_HEADS, static_cast<int>(b.m_machine_type & 0x3));
    SetChoice(IDC_MACHINE_TYPE, static_cast<int>(b.m_machine_type >> 4 & 0xF));
    SetChoice(IDC_PLATFORMS, static_cast<int>(b.m_machine_type >> 2 & 0x3));
    SetChoice(IDC_LASER_TYPE, static_cast<int>((b.m_laser_control & 0xFF) / 8));
    SetChoice(IDC_PWM_POLARITY, b.m_laser_pwm_polarity <= 1 ? static_cast<int>(b.m_laser_pwm_polarity) : -1);
    SetNumber(IDC_FREQUENCY, b.m_laser_frequency);
    SetNumber(IDC_MIN_POWER, b.m_laser_min_power);
    SetNumber(IDC_MAX_POWER, b.m_laser_max_power);
    SetNumber(IDC_FOCUS, SignedThousandths(b.m_focus_len));
    SetNumber(IDC_PLATFORM_DISTANCE, SignedThousandths(b.m_doub_plat_len));
    SetNumber(IDC_HEAD_SPACING, SignedThousandths(b.m_doub_head_len));
    SetNumber(IDC_UP_DELAY, b.m_metal_up_delay);
    SetNumber(IDC_DOWN_DELAY, b.m_metal_down_delay);
    SetNumber(IDC_UPLIFT, b.m_metal_uplift_dis);
    SetNumber(IDC_HANGING, b.m_metal_hanging);
    SetNumber(IDC_FREE_UPDIS, b.m_metal_free_updis);
    SetNumber(IDC_FINISH_UPDIS, b.m_metal_finish_updis);
    SetNumber(IDC_TOLERANCE, static_cast<std::int32_t>(b.m_metal_tolerance));
    SetChoice(IDC_COLLISION, (b.m_mac_op_mod & kCollisionBit) != 0 ? 1 : 0);
    Layout();
}

void CMachineLaserParamDlg::Layout() const
{
    SetVisible({1382, 1383, 1411, 1384, 1385, 1412, IDC_DELAY_GROUP, 1387, 1386, 1413, 1389, 1417, 1391, 1388, 1414,
                1392, 1390, 1415, 1394, 1393, 1416, 1396, 1395, 1397, 1418, IDC_METAL_GROUP},
               false);
    const int type = MachineTypeIndex();
    if (type == 1)
        SetVisible({1382, 1383, 1411, 1384, 1385, 1412, IDC_DELAY_GROUP, 1387, 1386, 1413}, true);
    else if (type == 3)
        SetVisible({1387, 1386, 1413, 1391, 1388, 1414, 1392, 1390, 1415, 1394, 1393, 1416, 1396, 1395, 1397, 1418,
                    IDC_METAL_GROUP},
                   true);
}
