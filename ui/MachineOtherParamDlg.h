// The other page of the machine parameter dialog (page 257): minimum
// acceleration, speed factor, frame speed, return speed, pulse time, common
// output polarity and lid protection.
#pragma once
#include "MachineParamPage.h"

class CMachineOtherParamDlg : public CMachineParamPage {
public:
    static constexpr int IDD = 257;
    static constexpr int IDC_APPLY = 1315;
    static constexpr int IDC_MIN_ACC = 1362;
    static constexpr int IDC_SPEED_RATE = 1363;
    static constexpr int IDC_BACK_SPEED = 1364;
    static constexpr int IDC_PULSE_TIME = 1365;
    static constexpr int IDC_COMMON_POLARITY = 1366;
    static constexpr int IDC_LID = 1367;
    static constexpr int IDC_FRAME_SPEED = 1383;

    explicit CMachineOtherParamDlg(QWidget* parent = nullptr);

    void Fill() override;
};
