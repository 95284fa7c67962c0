// The axis page of the machine parameter dialog (page 253): the direction,
// limit and key polarities, resolution, speeds, accelerations and travel of
// one axis at a time (list 1331 picks X, Y, Z, U or V). On a rotary machine
// (machine type 2 on the laser page) the Y resolution follows from the
// wheel diameter, reference resolution and reference diameter.
#pragma once
#include "MachineParamPage.h"

class CParamDlg;

class CMachineAxisParamDlg : public CMachineParamPage {
public:
    static constexpr int IDD = 253;
    static constexpr int IDC_APPLY = 1073;
    static constexpr int IDC_AXIS = 1331;
    static constexpr int IDC_DIRECTION = 1332;
    static constexpr int IDC_LIMIT = 1333;
    static constexpr int IDC_KEY = 1334;
    static constexpr int IDC_JOURNEY = 1335;
    static constexpr int IDC_RESOLUTION = 1336;
    static constexpr int IDC_MAX_SPEED = 1337;
    static constexpr int IDC_MIN_SPEED = 1338;
    static constexpr int IDC_ACCELERATION = 1339;
    static constexpr int IDC_JERK = 1340;
    static constexpr int IDC_REFER_RESOLUTION = 1384;
    static constexpr int IDC_REFER_DIAMETER = 1385;
    static constexpr int IDC_WHEEL_DIAMETER = 1386;
    static constexpr int IDC_CALC_REFER = 1330;
    static constexpr int IDC_CALC_RESOLUTION = 1368;

    explicit CMachineAxisParamDlg(QWidget* parent = nullptr);

    // The dialog whose laser page tells the machine type; without one the
    // block's machine type is taken.
    void SetParamDlg(CParamDlg* dlg) { m_pDlg = dlg; }

    void Fill() override;

    // The calculator buttons' actions.
    void OnCalcResolution();
    void OnCalcReferResolution();

private:
    int MachineTypeIndex() const;
    bool IsRotary() const;
    // Applies the rotary rule to the controls.
    void ShowRotary(bool rotary) const;
    // Recomputes the Y resolution from the reference values, shows and
    // stores it.
    void StoreDerivedResolution();
    void StoreResolution(double value);
    void SetControlBit(int index, std::uint32_t bit);

    CParamDlg* m_pDlg = nullptr;
    int m_axis = 0;
    double m_resolution = 0.0;
    double m_referDiameter = 0.0;
    double m_referResolution = 0.0;
    double m_wheelDiameter = 0.0;
};
