#include "MachineOtherParamDlg.h"

#include "XPButton.h"
#include "settings/MachineParams.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace {

constexpr std::uint32_t kLidBit = 0x1;
constexpr std::uint32_t kPolarityBits = 0x3;
constexpr double kMaxSpeedRate = 5.0;

} // namespace

CMachineOtherParamDlg::CMachineOtherParamDlg(QWidget* parent) : CMachineParamPage(IDD, parent)
{
    auto* grid = new QGridLayout(this);
    int row = 0;
    AddLabel(grid, row, 0, 1356, 85, "Minimum Acceleration");
    AddEdit(grid, row, 1, IDC_MIN_ACC, [this](double v) {
        // Never above the X or Y axis's own acceleration.
        const double most = std::min(m_pParams->m_x_acceleration, m_pParams->m_y_acceleration) / 1000.0;
        m_pParams->m_min_acc = ToFieldWord(std::min(v, most) * 1000.0, true);
    });
    AddLabel(grid, row++, 2, 0, -1, "mm/s²");
    AddLabel(grid, row, 0, 1357, 86, "Speed Factor");
    AddEdit(grid, row++, 1, IDC_SPEED_RATE, [this](double v) {
        if (v < 0.0 || v > kMaxSpeedRate) {
            v = std::clamp(v, 0.0, kMaxSpeedRate);
            SetNumber(IDC_SPEED_RATE, v);
        }
        m_pParams->m_speed_rate = v * 100.0;
    });
    AddLabel(grid, row, 0, 1382, 90, "Frame Speed");
    AddEdit(grid, row, 1, IDC_FRAME_SPEED, [this](double v) {
        // The frame runs no faster than the slower of X and Y may move.
        const double most = std::min(m_pParams->m_x_max_speed, m_pParams->m_y_max_speed) / 1000.0;
        m_pParams->m_run_range_speed = ToFieldWord(std::min(v, most) * 1000.0, false);
    });
    AddLabel(grid, row++, 2, 0, -1, "mm/s");
    AddLabel(grid, row, 0, 1358, 29, "Return Speed");
    AddEdit(grid, row, 1, IDC_BACK_SPEED, [this](double v) { m_pParams->m_mac_back_speed = v; });
    AddLabel(grid, row++, 2, 0, -1, "mm/s");
    AddLabel(grid, row, 0, 1359, 30, "Pulse Time");
    AddEdit(grid, row, 1, IDC_PULSE_TIME, [this](double v) { m_pParams->m_mac_pluse_time = v; });
    AddLabel(grid, row++, 2, 0, -1, "ms");
    AddLabel(grid, row, 0, 1360, 87, "Common Output Polarity");
    AddCombo(grid, row++, 1, IDC_COMMON_POLARITY, {89, 88}, {}, [this](int index) {
        std::uint32_t& polarity = m_pParams->m_common_out_polarity;
        polarity = index == 1 ? polarity | kPolarityBits : polarity & ~kPolarityBits;
    });
    AddLabel(grid, row, 0, 1361, 79, "Lid Protection");
    AddCombo(grid, row++, 1, IDC_LID, {81, 80}, {}, [this](int index) {
        std::uint32_t& mode = m_pParams->m_mac_op_mod;
        mode = index == 1 ? mode | kLidBit : mode & ~kLidBit;
    });

    CXPButton* apply = MakeApplyButton(IDC_APPLY);
    grid->addWidget(apply, row, 1);
}

void CMachineOtherParamDlg::Fill()
{
    if (m_pParams == nullptr)
        return;
    const MachineParams& b = *m_pParams;
    SetNumber(IDC_MIN_ACC, static_cast<std::int32_t>(b.m_min_acc) / 1000);
    SetNumber(IDC_SPEED_RATE, b.m_speed_rate / 100.0);
    SetNumber(IDC_FRAME_SPEED, b.m_run_range_speed / 1000);
    SetNumber(IDC_BACK_SPEED, b.m_mac_back_speed);
    SetNumber(IDC_PULSE_TIME, b.m_mac_pluse_time);
    SetChoice(IDC_COMMON_POLARITY, (b.m_common_out_polarity & 0x1) != 0 ? 1 : 0);
    SetChoice(IDC_LID, (b.m_mac_op_mod & kLidBit) != 0 ? 1 : 0);
}
