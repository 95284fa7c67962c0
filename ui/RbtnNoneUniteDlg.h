// The merge-adjacent dialog (dialog 179): whether crossings at the joints
// are deleted, and the reference distance in millimetres. The caller sets
// both, runs the dialog and uses them after OK.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class QCheckBox;
class QLineEdit;

class CRbtnNoneUniteDlg : public CDialogBase {
public:
    static constexpr int IDD = 179;
    static constexpr int IDC_DISTANCE_LABEL = 1143;
    static constexpr int IDC_DELETE_CROSSINGS = 1146;
    static constexpr int IDC_DISTANCE = 1111;
    static constexpr int IDC_OK = 1073;

    explicit CRbtnNoneUniteDlg(QWidget* parent = nullptr);

    std::int32_t m_bDeleteCrossings = 0;
    double m_dDistance = 0.1;

    QCheckBox* CrossingsCheck() const { return m_crossings; }
    QLineEdit* DistanceEdit() const { return m_distance; }

protected:
    void OnInitDialog() override;
    bool OnOK() override;

private:
    QCheckBox* m_crossings;
    QLineEdit* m_distance;
};
