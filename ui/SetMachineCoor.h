// The work area dialog (dialog 139): one machine's work area in millimetres,
// the corner of its origin and the positioning point of a job (one of the
// nine points of the job's box). The caller gives the machine's values and
// takes the fields back after OK.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class CXPButton;
class QAbstractButton;
class QButtonGroup;
class QLabel;
class QLineEdit;

class CSetMachineCoor : public CDialogBase {
public:
    static constexpr int IDD = 139;
    static constexpr int IDC_XSIZE = 1026;
    static constexpr int IDC_YSIZE = 1034;
    static constexpr int IDC_OK = 1009;
    // Corner buttons: corner 0 top right, 1 top left, 2 bottom right, 3 bottom left.
    static constexpr int IDC_TOP_LEFT = 1004;
    static constexpr int IDC_TOP_RIGHT = 1005;
    static constexpr int IDC_BOTTOM_LEFT = 1006;
    static constexpr int IDC_BOTTOM_RIGHT = 1007;
    static constexpr int IDC_WARNING = 1008;
    static constexpr int IDC_POINT_GROUP = 1151;
    // Positioning points 0 .. 8 are buttons 1152 .. 1160.
    static constexpr int IDC_FIRST_POINT = 1152;
    static constexpr int IDC_XSIZE_LABEL = 1253;
    static constexpr int IDC_YSIZE_LABEL = 1254;
    static constexpr int IDC_AREA_LABEL = 1419;
    static constexpr int IDC_ORIGIN_GROUP = 1420;

    // The sizes OK accepts, in millimetres.
    static constexpr double kMinSize = 1.0;
    static constexpr double kMaxSize = 100000.0;

    // A corner outside 0 .. 3 is taken as corner 0 and a point above 8 as
    // point 8: the dialog returns what its buttons show.
    CSetMachineCoor(std::uint8_t origin, std::uint8_t point, double xsize, double ysize, QWidget* parent = nullptr);

    std::uint8_t m_orign;
    std::uint8_t m_dot;
    double m_xsize;
    double m_ysize;

    QLineEdit* SizeEdit(bool y) const { return y ? m_yEdit : m_xEdit; }
    // The button of a corner (0 .. 3) or a positioning point (0 .. 8).
    QAbstractButton* CornerButton(int corner) const;
    QAbstractButton* PointButton(int point) const;
    QLabel* Label(int id) const;
    CXPButton* OkButton() const { return m_ok; }

protected:
    void OnInitDialog() override;
    // Both sizes must be finite numbers from 1 to 100000 mm; otherwise a
    // message names the rule and the dialog stays, the edit focused.
    bool OnOK() override;

private:
    QLineEdit* m_xEdit;
    QLineEdit* m_yEdit;
    QButtonGroup* m_corners;
    QButtonGroup* m_points;
    CXPButton* m_ok;
};
