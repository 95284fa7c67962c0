// The HPGL resolution dialog (dialog 147): 1000 dpi, 1016 dpi or another
// resolution, typed or worked out by the calculator from the drawing's size.
// The caller presets the resolution, the other resolution and the drawing's
// width and height in plotter units, runs the dialog and after OK reads the
// resolution and the other resolution; both stay within 0 .. 2147483647
// whatever is typed or calculated, so a 0 is the caller's to refuse.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>
#include <string_view>

class CXPButton;
class QButtonGroup;
class QLineEdit;
class QRadioButton;

class CImportResolutionDlg : public CDialogBase {
public:
    static constexpr int IDD = 147;
    static constexpr int IDC_1000 = 1019;
    static constexpr int IDC_1016 = 1020;
    static constexpr int IDC_OTHER = 1021;
    static constexpr int IDC_OTHER_EDIT = 1022;
    static constexpr int IDC_CALCULATOR = 1073;
    static constexpr int IDC_OK = 1018;

    explicit CImportResolutionDlg(std::int32_t resolution, QWidget* parent = nullptr);

    std::int32_t m_nResolution;
    std::int32_t m_nOther = 0;
    // The drawing's extents in plotter units, handed to the calculator.
    double m_dPltWidth = 0.0;
    double m_dPltHeight = 0.0;

    // The radio a resolution checks: 1000 and 1016 their own, any other the
    // other resolution's.
    static int RadioOf(std::int32_t resolution);
    // Typed text read as a decimal integer (an unreadable start reads 0),
    // limited to 0 .. 2147483647.
    static std::int32_t ParseOther(std::string_view text);
    // The calculator's plotter units per millimetre in dots per inch:
    // times 25.4, limited to 0 .. 2147483647, rounded half up; 0 for a
    // result that is not a number.
    static std::int32_t DotsPerInchOf(double unitsPerMm);

    QButtonGroup* Radios() const { return m_radios; }
    QRadioButton* Radio(int id) const;
    QLineEdit* OtherEdit() const { return m_otherEdit; }
    CXPButton* CalculatorButton() const { return m_calculator; }
    CXPButton* OkButton() const { return m_ok; }

protected:
    void OnInitDialog() override;
    bool OnOK() override;

private:
    void OnRadio(int id);
    void OnOtherEdited(const QString& text);
    void OnCalculator();
    void SetOther(std::int32_t value);
    void EnableOther(bool enable);

    QButtonGroup* m_radios;
    QLineEdit* m_otherEdit;
    CXPButton* m_calculator;
    CXPButton* m_ok;
};
