// The grid dialog (dialog 259): whether the drawing view shows a grid, and
// the grid step in millimetres. The caller sets both fields, runs the dialog
// and takes them back after OK.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class CXPButton;
class QCheckBox;
class QLabel;
class QLineEdit;

class CShowGridDlg : public CDialogBase {
public:
    static constexpr int IDD = 259;
    static constexpr int IDC_SHOW = 1256;
    static constexpr int IDC_LENGTH = 1111;
    static constexpr int IDC_LENGTH_LABEL = 1409;
    static constexpr int IDC_OK = 1073;

    explicit CShowGridDlg(QWidget* parent = nullptr);

    std::int32_t m_bShowGrid = 0;
    double m_dLength = 0.0;

    QCheckBox* ShowCheck() const { return m_show; }
    QLineEdit* LengthEdit() const { return m_length; }
    QLabel* LengthLabel() const { return m_label; }
    CXPButton* OkButton() const { return m_ok; }

protected:
    void OnInitDialog() override;
    // The length must be a number; otherwise the dialog stays, the edit focused.
    bool OnOK() override;

private:
    QCheckBox* m_show;
    QLabel* m_label;
    QLineEdit* m_length;
    CXPButton* m_ok;
};
