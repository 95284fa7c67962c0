// The DXF drawing unit dialog (dialog 218): automatic (the file's own unit),
// inch or millimetre. The caller presets the unit, runs the dialog and reads
// m_nUnit after OK: 0 automatic, 1 inch, 2 millimetre.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class CXPButton;
class QButtonGroup;
class QRadioButton;

class CImportDimensionsDlg : public CDialogBase {
public:
    static constexpr int IDD = 218;
    static constexpr int IDC_MILLIMETRE = 1019;
    static constexpr int IDC_INCH = 1230;
    static constexpr int IDC_AUTOMATIC = 1231;
    static constexpr int IDC_OK = 1018;

    explicit CImportDimensionsDlg(std::uint8_t unit, QWidget* parent = nullptr);

    std::uint8_t m_nUnit;

    // The unit a stored value stands for: 0 and 1 their own, any other
    // millimetre (2), so that the radio shown is the unit returned.
    static std::uint8_t UnitOf(std::uint8_t stored);
    static int RadioOf(std::uint8_t unit);

    QButtonGroup* Radios() const { return m_radios; }
    QRadioButton* Radio(int id) const;
    CXPButton* OkButton() const { return m_ok; }

protected:
    void OnInitDialog() override;

private:
    QButtonGroup* m_radios;
    CXPButton* m_ok;
};
