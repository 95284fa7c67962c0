// The overlapping-lines dialog (dialog 223): whether only lines of one layer
// count as overlapping, and the tolerance in millimetres.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class CXPButton;
class QCheckBox;
class QLineEdit;

class CParamDeleteRepeat : public CDialogBase {
public:
    static constexpr int IDD = 223;
    static constexpr int IDC_WITHIN_LAYER = 1245;
    static constexpr int IDC_TOLERANCE = 1111;
    static constexpr int IDC_TOLERANCE_LABEL = 1244;
    static constexpr int IDC_OK = 1073;
    static constexpr int IDC_CANCEL = 1074;

    explicit CParamDeleteRepeat(QWidget* parent = nullptr);

    std::int32_t m_bWithinLayer = 1;
    double m_dTolerance = 0.05;

    QCheckBox* WithinLayerCheck() const { return m_within; }
    QLineEdit* ToleranceEdit() const { return m_tolerance; }

protected:
    void OnInitDialog() override;
    bool OnOK() override;

private:
    QCheckBox* m_within;
    QLineEdit* m_tolerance;
};
