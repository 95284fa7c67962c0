// The cutting extras of a layer (dialog 169): air, start and end delays,
// dot mode, delay after cutting and the delay power. Works on a copy of the
// record's values; the caller copies them back after OK with StoreInto.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class CXPButton;
class QCheckBox;
class QLineEdit;
struct WorkParams;

class CWorkSetParamCut : public CDialogBase {
public:
    static constexpr int IDD = 169;
    enum : int {
        IDC_OK = 1073,
        IDC_HIT_DIS = 1111,
        IDC_HIT_TIME = 1112,
        IDC_ST_DELAY = 1113,
        IDC_ED_DELAY = 1114,
        IDC_AFTER_WORK_V = 1115,
        IDC_DELAY_LASER = 1117,
        IDC_CUIQI = 1129,
        IDC_AUTO_CUIQI = 1130,
        IDC_HIT_POINT = 1131,
        IDC_AFTER_WORK = 1256,
        IDC_DELAY_LSR_ACT = 1258,
    };

    CWorkSetParamCut(const WorkParams& rec, QWidget* parent = nullptr);

    // The values into the record; the delays as trunc(seconds x 1000) ms.
    void StoreInto(WorkParams& rec) const;

    // A delay typed in seconds as milliseconds: false when trunc(s x 1000)
    // is not a finite value within 0 .. 65535.
    static bool DelayMilliseconds(double seconds, std::uint16_t& ms);

    std::int32_t m_bCuiqi = 0;
    std::int32_t m_bAutoCuiqi = 0;
    double m_dStDelay = 0.0; // s
    double m_dEdDelay = 0.0; // s
    std::int32_t m_bHitPoint = 0;
    double m_dHitDis = 0.0;
    double m_dHitTime = 0.0;
    std::int32_t m_bAfterWork = 0;
    double m_dAfterWorkV = 0.0;
    std::int32_t m_bDelayLsrAct = 0;
    double m_dDelayLaser = 0.0;

    QLineEdit* Edit(int id) const;
    QCheckBox* Check(int id) const;

protected:
    void OnInitDialog() override;
    bool OnOK() override;
};
