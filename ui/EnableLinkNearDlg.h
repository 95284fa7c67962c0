// The micro-joint dialog (dialog 258): whether objects get a micro-joint (an
// end gap) and its length in millimetres. The length is one value for the
// program's run: each dialog starts from it and OK stores the length
// accepted back into it. The caller may preset both members after
// construction, runs the dialog and takes them back after OK.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class CXPButton;
class QCheckBox;
class QLabel;
class QLineEdit;

class CEnableLinkNearDlg : public CDialogBase {
public:
    static constexpr int IDD = 258;
    static constexpr int IDC_ENABLE = 1256;
    static constexpr int IDC_LENGTH = 1111;
    static constexpr int IDC_LENGTH_LABEL = 1406;
    static constexpr int IDC_UNIT_LABEL = 1407;
    static constexpr int IDC_OK = 1073;

    explicit CEnableLinkNearDlg(QWidget* parent = nullptr);

    std::int32_t m_bEnable = 0;
    double m_dLength;

    // The length the next dialog starts from (0.3 when the program starts).
    static double RememberedLength();
    static void SetRememberedLength(double length);

    QCheckBox* EnableCheck() const { return m_enable; }
    QLineEdit* LengthEdit() const { return m_length; }
    QLabel* LengthLabel() const { return m_label; }
    QLabel* UnitLabel() const { return m_unit; }
    CXPButton* OkButton() const { return m_ok; }

protected:
    void OnInitDialog() override;
    // The length must be a number; otherwise the dialog stays on the edit.
    bool OnOK() override;

private:
    void EnableLength(bool on);

    QCheckBox* m_enable;
    QLabel* m_label;
    QLineEdit* m_length;
    QLabel* m_unit;
    CXPButton* m_ok;
};
