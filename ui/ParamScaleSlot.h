// The contour offset dialog (dialog 222): the offset distance in
// millimetres, whether the source outlines are deleted, and the direction
// (0 inward, 1 outward, 2 automatic). The three values are kept for the
// program's run: a dialog starts from them, and only OK stores them back.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class QCheckBox;
class QLineEdit;
class QRadioButton;

class CParamScaleSlot : public CDialogBase {
public:
    static constexpr int IDD = 222;
    static constexpr int IDC_DISTANCE_LABEL = 1240;
    static constexpr int IDC_DISTANCE = 1111;
    static constexpr int IDC_DELETE_SOURCE = 1241;
    static constexpr int IDC_INWARD = 1242;
    static constexpr int IDC_OUTWARD = 1243;
    static constexpr int IDC_AUTOMATIC = 1244;
    static constexpr int IDC_OK = 1073;
    static constexpr int IDC_CANCEL = 1074;

    explicit CParamScaleSlot(QWidget* parent = nullptr);

    double m_dDistance;
    std::int32_t m_bDeleteSource;
    std::uint8_t m_nMode;

    // The values the next dialog starts from: 0.0, 0 and 1 when the program
    // starts.
    struct Remembered {
        double distance = 0.0;
        std::int32_t deleteSource = 0;
        std::uint8_t mode = 1;
    };
    static Remembered& Stored();

    QLineEdit* DistanceEdit() const { return m_distance; }
    QCheckBox* DeleteCheck() const { return m_delete; }
    QRadioButton* Radio(int id) const;

protected:
    void OnInitDialog() override;
    bool OnOK() override;

private:
    void ShowMode();

    QLineEdit* m_distance;
    QCheckBox* m_delete;
    QRadioButton* m_radios[3];
};
