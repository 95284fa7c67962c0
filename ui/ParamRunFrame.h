// The run-frame dialog (dialog 207): whether the laser fires while the head
// traces the frame, the tracing speed (mm/s), the two power ranges of the
// laser tubes and the margin (mm) round the drawing. The power edits are
// usable only while the laser is on.
#pragma once
#include "WorkPageWork.h"
#include "qtplatform/DialogBase.h"

#include <cstdint>

class QCheckBox;
class QLineEdit;

class CParamRunFrame : public CDialogBase {
public:
    static constexpr int IDD = 207;
    static constexpr int IDC_LASER = 1223;
    static constexpr int IDC_SPEED = 1111;
    static constexpr int IDC_MIN_POWER1 = 1112;
    static constexpr int IDC_MAX_POWER1 = 1113;
    static constexpr int IDC_MIN_POWER2 = 1114;
    static constexpr int IDC_MAX_POWER2 = 1115;
    static constexpr int IDC_MARGIN = 1420;
    static constexpr int IDC_OK = 1073;

    explicit CParamRunFrame(QWidget* parent = nullptr);

    std::int32_t m_bLaser = 0;
    double m_dSpeed = 200.0;
    double m_dMinPower1 = 20.0;
    double m_dMaxPower1 = 30.0;
    double m_dMinPower2 = 20.0;
    double m_dMaxPower2 = 30.0;
    double m_dMargin = 0.0;

    // The machine control page's run-frame question: the dialog preset with
    // the values, which take the dialog's after OK; false on Cancel.
    static bool Ask(CWorkPageWork::RunFrameSettings& values);

    QCheckBox* LaserCheck() const { return m_laser; }
    QLineEdit* Edit(int id) const;

protected:
    void OnInitDialog() override;
    bool OnOK() override;

private:
    void EnablePowers(bool on);

    QCheckBox* m_laser;
};
