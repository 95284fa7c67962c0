// The scanning extras of a layer (dialog 170): air, spot compensation and
// the delay after scanning. Works on a copy of the record's values; the
// caller copies them back after OK with StoreInto.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class QCheckBox;
class QLineEdit;
struct WorkParams;

class CWorkSetParamCarve : public CDialogBase {
public:
    static constexpr int IDD = 170;
    enum : int {
        IDC_OK = 1073,
        IDC_DIAMETER = 1111,
        IDC_AFTER_WORK_V = 1112,
        IDC_CUIQI = 1129,
        IDC_AUTO_CUIQI = 1130,
        IDC_DIAMETER_USE = 1131,
        IDC_AFTER_WORK = 1132,
    };

    CWorkSetParamCarve(const WorkParams& rec, QWidget* parent = nullptr);

    void StoreInto(WorkParams& rec) const;

    std::int32_t m_bCuiqi = 0;
    std::int32_t m_bAutoCuiqi = 0;
    std::int32_t m_bDiameterUse = 0;
    double m_dDiameter = 0.0;
    std::int32_t m_bAfterWork = 0;
    double m_dAfterWorkV = 0.0;

    QLineEdit* Edit(int id) const;
    QCheckBox* Check(int id) const;

protected:
    void OnInitDialog() override;
    bool OnOK() override;
};
