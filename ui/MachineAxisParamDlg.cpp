#include "MachineAxisParamDlg.h"

#include "ParamDlg.h"
#include "ParamPageMachineResolution.h"
#include "XPButton.h"
#include "settings/MachineParams.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

struct AxisFields {
    std::uint32_t MachineParams::*control;
    double MachineParams::*resolution;
    double MachineParams::*maxSpeed;
    double MachineParams::*minSpeed;
    double MachineParams::*acceleration;
    double MachineParams::*jerk;
    double MachineParams::*journey;
};

#define BRENVIK_AXIS(a)                                                                                               \
    AxisFields                                                                                                        \
    {                                                                                                                 \
        &MachineParams::m_##a##_control, &MachineParams::m_##a##_resolution, &MachineParams::m_##a##_max_speed,     \
            &MachineParams::m_##a##_min_speed, &MachineParams::m_##a##_acceleration,                                 \
            &MachineParams::m_##a##_acc_acceleration, &MachineParams::m_##a##_journey                                 \
    }
const AxisFields kAxes[5] = {BRENVIK_AXIS(x), BRENVIK_AXIS(y), BRENVIK_AXIS(z), BRENVIK_AXIS(u), BRENVIK_AXIS(v)};
#undef BRENVIK_AXIS

constexpr std::uint32_t kDirectionBit = 0x200;
constexpr std::uint32_t kLimitBit = 0x400;
constexpr std::uint32_t kKeyBit = 0x1000;
constexpr int kRotaryType = 2;
constexpr int kYAxis = 1;

double DerivedResolution(double wheel, double referResolution, double referDiameter, double least)
{
    return referDiameter > least ? wheel * referResolution / referDiameter : 0.0;
}

} // namespace

CMachineAxisParamDlg::CMachineAxisParamDlg(QWidget* parent) : CMachineParamPage(IDD, parent)
{
    m_keepEscape = true;
    auto* grid = new QGridLayout(this);
    int row = 0;
    AddLabel(grid, row, 0, 1317, 14, "Axis");
    AddCombo(grid, row++, 1, IDC_AXIS, {}, {"X", "Y", "Z", "U", "V"}, [this](int index) {
        m_axis = index;
        Fill();
    });
    const struct {
        int label, entry, id;
        std::uint32_t bit;
        const char* text;
    } polarities[] = {{1318, 16, IDC_DIRECTION, kDirectionBit, "Direction Polarity"},
                      {1319, 17, IDC_LIMIT, kLimitBit, "Limit Polarity"},
                      {1320, 18, IDC_KEY, kKeyBit, "Key Polarity"}};
    for (const auto& p : polarities) {
        AddLabel(grid, row, 0, p.label, p.entry, p.text);
        AddCombo(grid, row++, 1, p.id, {}, {"+", "-"}, [this, bit = p.bit](int index) { SetControlBit(index, bit); });
    }

    AddLabel(grid, row, 0, 1325, 19, "Resolution");
    AddEdit(grid, row, 1, IDC_RESOLUTION, [this](double v) {
        // The rotary Y resolution is derived, never typed.
        if (IsRotary())
            return;
        StoreResolution(v);
    });
    auto* calc = new CXPButton(QStringLiteral("..."), this);
    calc->setObjectName(QString::number(IDC_CALC_RESOLUTION));
    grid->addWidget(calc, row++, 2);
    connect(calc, &QPushButton::clicked, this, [this] { OnCalcResolution(); });

    const struct {
        int label, entry, id;
        const char* text;
        const char* unit;
        int field; // 0 max, 1 min, 2 acceleration, 3 jerk, 4 journey
    } reals[] = {{1326, 20, IDC_MAX_SPEED, "Limit Speed", "mm/s", 0},
                 {1327, 21, IDC_MIN_SPEED, "Stop Speed", "mm/s", 1},
                 {1328, 22, IDC_ACCELERATION, "Acceleration", "mm/s²", 2},
                 {1329, 23, IDC_JERK, "Jerk", "mm/s³", 3},
                 {1321, 15, IDC_JOURNEY, "Maximum Travel", "mm", 4}};
    for (const auto& r : reals) {
        AddLabel(grid, row, 0, r.label, r.entry, r.text);
        AddEdit(grid, row, 1, r.id, [this, field = r.field](double v) {
            const AxisFields& a = kAxes[m_axis];
            double MachineParams::*members[5] = {a.maxSpeed, a.minSpeed, a.acceleration, a.jerk, a.journey};
            m_pParams->*members[field] = v * 1000.0;
        });
        AddLabel(grid, row++, 2, 0, -1, r.unit);
    }

    AddLabel(grid, row, 0, 1323, 64, "Reference Diameter");
    AddEdit(grid, row, 1, IDC_REFER_DIAMETER, [this](double v) {
        m_referDiameter = v;
        m_pParams->m_refer_dinameter = v * 1000.0;
        StoreDerivedResolution();
    });
    AddLabel(grid, row++, 2, 1370, -1, "mm");
    AddLabel(grid, row, 0, 1324, 66, "Reference Resolution");
    AddEdit(grid, row, 1, IDC_REFER_RESOLUTION, [this](double v) {
        m_referResolution = v;
        m_pParams->m_refer_resolution = v * 1e8;
        StoreDerivedResolution();
    });
    auto* referCalc = new CXPButton(QStringLiteral("..."), this);
    referCalc->setObjectName(QString::number(IDC_CALC_REFER));
    grid->addWidget(referCalc, row++, 2);
    connect(referCalc, &QPushButton::clicked, this, [this] { OnCalcReferResolution(); });
    AddLabel(grid, row, 0, 1322, 65, "Wheel Diameter");
    AddEdit(grid, row, 1, IDC_WHEEL_DIAMETER, [this](double v) {
        m_wheelDiameter = v;
        m_pParams->m_wheel_dinameter = v * 1000.0;
        StoreDerivedResolution();
    });
    AddLabel(grid, row++, 2, 1371, -1, "mm");

    CXPButton* apply = MakeApplyButton(IDC_APPLY);
    grid->addWidget(apply, row, 1);
}

int CMachineAxisParamDlg::MachineTypeIndex() const
{
    if (m_pDlg != nullptr)
        return m_pDlg->LaserMachineTypeIndex();
    return m_pParams != nullptr ? static_cast<int>(m_pParams->m_machine_type >> 4 & 0xF) : 0;
}

bool CMachineAxisParamDlg::IsRotary() const
{
    return m_axis == kYAxis && MachineTypeIndex() == kRotaryType;
}

void CMachineAxisParamDlg::ShowRotary(bool rotary) const
{
    SetVisible({1322, 1323, 1324, IDC_REFER_RESOLUTION, IDC_REFER_DIAMETER, IDC_WHEEL_DIAMETER, 1370, 1371,
                IDC_CALC_REFER},
               rotary);
    Edit(IDC_RESOLUTION)->setReadOnly(rotary);
    SetVisible({IDC_CALC_RESOLUTION}, !rotary);
}

void CMachineAxisParamDlg::Fill()
{
    if (m_pParams == nullptr)
        return;
    const MachineParams& b = *m_pParams;
    const AxisFields& a = kAxes[m_axis];
    SetChoice(IDC_AXIS, m_axis);
    const std::uint32_t control = b.*(a.control);
    SetChoice(IDC_DIRECTION, (control & kDirectionBit) != 0 ? 1 : 0);
    SetChoice(IDC_LIMIT, (control & kLimitBit) != 0 ? 1 : 0);
    SetChoice(IDC_KEY, (control & kKeyBit) != 0 ? 1 : 0);
    SetNumber(IDC_MAX_SPEED, b.*(a.maxSpeed) * 0.001);
    SetNumber(IDC_MIN_SPEED, b.*(a.minSpeed) * 0.001);
    SetNumber(IDC_ACCELERATION, b.*(a.acceleration) * 0.001);
    SetNumber(IDC_JERK, b.*(a.jerk) * 0.001);
    SetNumber(IDC_JOURNEY, b.*(a.journey) * 0.001);
    m_resolution = b.*(a.resolution) * 1e-8;
    m_referDiameter = b.m_refer_dinameter * 0.001;
    m_referResolution = b.m_refer_resolution * 1e-8;
    m_wheelDiameter = b.m_wheel_dinameter * 0.001;
    SetNumber(IDC_REFER_DIAMETER, m_referDiameter);
    SetNumber(IDC_REFER_RESOLUTION, m_referResolution);
    SetNumber(IDC_WHEEL_DIAMETER, m_wheelDiameter);
    const bool rotary = IsRotary();
    if (rotary)
        m_resolution = DerivedResolution(m_wheelDiameter, m_referResolution, m_referDiameter, 0.001);
    SetNumber(IDC_RESOLUTION, m_resolution);
    ShowRotary(rotary);
}

void CMachineAxisParamDlg::SetControlBit(int index, std::uint32_t bit)
{
    std::uint32_t& control = m_pParams->*(kAxes[m_axis].control);
    control = index == 1 ? control | bit : control & ~bit;
}

void CMachineAxisParamDlg::StoreResolution(double value)
{
    m_resolution = value;
    m_pParams->*(kAxes[m_axis].resolution) = value * 1e8;
}

void CMachineAxisParamDlg::StoreDerivedResolution()
{
    m_resolution = DerivedResolution(m_wheelDiameter, m_referResolution, m_referDiameter, 1e-5);
    if (m_axis == kYAxis)
        SetNumber(IDC_RESOLUTION, m_resolution);
    m_pParams->m_y_resolution = m_resolution * 1e8;
}

void CMachineAxisParamDlg::OnCalcResolution()
{
    if (m_pParams == nullptr)
        return;
    CParamPageMachineResolution calc(m_resolution, this);
    if (calc.DoModal() != 1)
        return;
    StoreResolution(calc.Resolution());
    SetNumber(IDC_RESOLUTION, m_resolution);
}

void CMachineAxisParamDlg::OnCalcReferResolution()
{
    if (m_pParams == nullptr)
        return;
    CParamPageMachineResolution calc(m_referResolution, this);
    if (calc.DoModal() != 1)
        return;
    m_referResolution = calc.Resolution();
    m_pParams->m_refer_resolution = m_referResolution * 1e8;
    SetNumber(IDC_REFER_RESOLUTION, m_referResolution);
    StoreDerivedResolution();
}
