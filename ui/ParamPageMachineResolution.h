// The resolution calculator (dialog 166) of the axis page. Mode 0 corrects
// a resolution from a set length A and the length B actually measured (both
// less the 0.2 mm the measurement loses); mode 1 gives the resolution of A
// pulses over a distance of B micrometres. Computing closes with OK.
#pragma once
#include "qtplatform/DialogBase.h"

class CXPButton;
class QLabel;
class QLineEdit;

class CParamPageMachineResolution : public CDialogBase {
public:
    static constexpr int IDD = 166;
    static constexpr int IDC_MODE = 1073;
    static constexpr int IDC_COMPUTE = 1074;
    static constexpr int IDC_TITLE = 1115;
    static constexpr int IDC_A_LABEL = 1116;
    static constexpr int IDC_A = 1117;
    static constexpr int IDC_B_LABEL = 1118;
    static constexpr int IDC_B = 1119;
    static constexpr int IDC_MM = 1046;

    explicit CParamPageMachineResolution(double resolution, QWidget* parent = nullptr);

    double Resolution() const { return m_resolution; }
    int Mode() const { return m_mode; }

    // The buttons' actions.
    void OnToggleMode();
    void OnCompute();

    QLineEdit* EditA() const { return m_a; }
    QLineEdit* EditB() const { return m_b; }
    CXPButton* Button(int id) const;

protected:
    void OnInitDialog() override;

private:
    void ShowMode();

    double m_resolution;
    int m_mode = 0;
    QLineEdit* m_a;
    QLineEdit* m_b;
};
