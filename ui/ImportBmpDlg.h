// The bitmap import dialog (dialog 178): greyscale or two-level, and for
// greyscale the dot (halftone) mode with its screen angle, "0" or "45", and
// dot size in millimetres. The caller presets the values, runs the dialog
// and reads the members after OK.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>
#include <string>
#include <string_view>

class CXPButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class CImportBmpDlg : public CDialogBase {
public:
    static constexpr int IDD = 178;
    static constexpr int IDC_GREY = 1142;
    static constexpr int IDC_TWO_LEVEL = 1143;
    static constexpr int IDC_DOT = 1191;
    static constexpr int IDC_ANGLE_LABEL = 1192;
    static constexpr int IDC_ANGLE = 1193;
    static constexpr int IDC_SIZE_LABEL = 1194;
    static constexpr int IDC_SIZE = 1113;
    static constexpr int IDC_OK = 1073;

    CImportBmpDlg(std::uint8_t grey, int dot, int angle, double dotSize, QWidget* parent = nullptr);

    std::uint8_t m_bGrey;
    int m_nDot;
    std::string m_strAngle;
    double m_dDotSize;

    // The angle item shown for a preset angle: "0" or "45" as given, any
    // other text "0", so that what is shown is what OK returns.
    static QString AngleItemOf(const std::string& angle);
    // The dot size of a text: true only for a whole finite number written
    // the C way (blanks around it allowed).
    static bool ReadDotSize(std::string_view text, double& size);

    QButtonGroup* Radios() const { return m_radios; }
    QRadioButton* Radio(int id) const;
    QCheckBox* DotCheck() const { return m_dot; }
    QComboBox* AngleList() const { return m_angle; }
    QLineEdit* SizeEdit() const { return m_size; }
    CXPButton* OkButton() const { return m_ok; }

protected:
    void OnInitDialog() override;
    // A dot size that is not a number keeps the dialog open on its edit.
    bool OnOK() override;

private:
    void EnableDotControls(bool enable);

    QButtonGroup* m_radios;
    QCheckBox* m_dot;
    QLabel* m_angleLabel;
    QComboBox* m_angle;
    QLabel* m_sizeLabel;
    QLineEdit* m_size;
    CXPButton* m_ok;
};
