// One row of a machine's technology tables (dialog 172): the carve repair
// table (kind 0: speed, gap), the speed limit table (kind 1: frame size,
// speed) or the cut repair table (kind 2: speed, x and y compensation). The
// caller gives the row's values and reads them back after OK.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class CXPButton;
class QLabel;
class QLineEdit;

class CTechParamSetDlg : public CDialogBase {
public:
    static constexpr int IDD = 172;
    static constexpr int IDC_VALUE1 = 1111;
    static constexpr int IDC_VALUE2 = 1112;
    static constexpr int IDC_VALUE3 = 1113;
    static constexpr int IDC_LABEL1 = 1133;
    static constexpr int IDC_UNIT1 = 1134;
    static constexpr int IDC_LABEL2 = 1135;
    static constexpr int IDC_UNIT2 = 1136;
    static constexpr int IDC_LABEL3 = 1137;
    static constexpr int IDC_UNIT3 = 1138;
    static constexpr int IDC_OK = 1073;

    CTechParamSetDlg(std::uint8_t kind, double value1, double value2, double value3, QWidget* parent = nullptr);

    double m_dValue1;
    double m_dValue2;
    double m_dValue3;
    std::uint8_t m_nKind;

    QLineEdit* Edit(int row) const { return m_edits[row]; }
    QLabel* Label(int row) const { return m_labels[row]; }
    QLabel* Unit(int row) const { return m_units[row]; }
    CXPButton* OkButton() const { return m_ok; }

protected:
    void OnInitDialog() override;
    // Every shown edit must hold a number; the first that does not keeps
    // the dialog open with the focus on it.
    bool OnOK() override;

private:
    QLineEdit* m_edits[3];
    QLabel* m_labels[3];
    QLabel* m_units[3];
    CXPButton* m_ok;
};
