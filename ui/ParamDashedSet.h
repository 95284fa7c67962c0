// The dashed-line dialog (dialog 255): the length of the solid pieces and of
// the gaps between them, in millimetres. The caller sets both, runs the
// dialog and takes them back after OK.
#pragma once
#include "qtplatform/DialogBase.h"

class CXPButton;
class QLineEdit;

class CParamDashedSet : public CDialogBase {
public:
    static constexpr int IDD = 255;
    static constexpr int IDC_SOLID = 1111;
    static constexpr int IDC_GAP = 1112;
    static constexpr int IDC_SOLID_LABEL = 1404;
    static constexpr int IDC_GAP_LABEL = 1405;
    static constexpr int IDC_OK = 1073;

    CParamDashedSet(double solid, double gap, QWidget* parent = nullptr);

    double m_dSolid;
    double m_dGap;

    QLineEdit* SolidEdit() const { return m_solid; }
    QLineEdit* GapEdit() const { return m_gap; }

protected:
    void OnInitDialog() override;
    // Both lengths must be numbers; otherwise the dialog stays on the first
    // one that is not.
    bool OnOK() override;

private:
    QLineEdit* m_solid;
    QLineEdit* m_gap;
    CXPButton* m_ok;
};
