// The HPGL resolution calculator (dialog 252): from the drawing's largest
// extent in plotter units and the real size the operator knows, the
// resolution in plotter units per millimetre. The caller sets the drawing's
// width and height, runs the dialog and reads m_dResolution after OK.
#pragma once
#include "qtplatform/DialogBase.h"

#include <string_view>

class CXPButton;
class QLabel;
class QLineEdit;

class CPltImportRsCalcDlg : public CDialogBase {
public:
    static constexpr int IDD = 252;
    static constexpr int IDC_FORMULA = 1303;
    static constexpr int IDC_REAL_SIZE_LABEL = 1304;
    static constexpr int IDC_REAL_SIZE = 1113;
    static constexpr int IDC_CALCULATE = 1073;

    explicit CPltImportRsCalcDlg(QWidget* parent = nullptr);

    double m_dPltMaxWidth = 0.0;
    double m_dPltMaxHeight = 0.0;
    double m_dResolution = 0.0;

    // True when the width is the extent divided: it is more than 0.9 units
    // either way; a thinner drawing is measured by its height.
    static bool MeasuresWidth(double width);
    // The resolution for a real size typed as text (read the C way; text
    // that is not a number reads 0): 0 for a real size within 0.01 of 0 or
    // not finite, else the measured extent / real size.
    static double Calculate(double width, double height, std::string_view realSizeText);

    QLabel* Formula() const { return m_formula; }
    QLineEdit* RealSize() const { return m_realSize; }
    CXPButton* CalculateButton() const { return m_calculate; }

protected:
    void OnInitDialog() override;
    bool OnOK() override;

private:
    QLabel* m_formula;
    QLabel* m_realSizeLabel;
    QLineEdit* m_realSize;
    CXPButton* m_calculate;
};
