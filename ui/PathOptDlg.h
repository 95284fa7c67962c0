// The path options dialog (dialog 304): how the job's paths are ordered (fast
// path, drawing order or one of four scan directions), the start corner, the
// joint point of each object, the scan line spacing, ordering by layer and
// from inside to outside, and the current machine's closing compensation and
// dislocation handling. The caller sets every member, runs the dialog and
// takes them back after OK.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
struct DOCCONTEXT;

class CPathOptDlg : public CDialogBase {
public:
    static constexpr int IDD = 304;
    enum : int {
        IDC_PREVIEW = 3,
        IDC_LINE_SPACING = 1112,
        IDC_CLOSE_REPAY = 1113,
        IDC_BY_LAYER = 1257,
        IDC_IN_OUT = 1258,
        IDC_CLOSE_USE = 1259,
        IDC_DISLOC_USE = 1260,
        IDC_START_CORNER = 1392,
        IDC_JOINT_POINT = 1394,
        IDC_FAST = 1396,
        IDC_ORDER = 1397,
        IDC_H_ONE_WAY = 1398,
        IDC_H_TWO_WAY = 1399,
        IDC_V_ONE_WAY = 1404,
        IDC_V_TWO_WAY = 1405,
    };
    enum : std::uint8_t { MODE_FAST = 0, MODE_DRAWING_ORDER = 2 };

    static constexpr double kMinLineSpacing = 0.5;

    explicit CPathOptDlg(QWidget* parent = nullptr);

    std::uint8_t m_nPathMode = 0;   // 0..5
    std::uint8_t m_nStartCorner = 0;
    std::uint8_t m_nJointPoint = 0;
    double m_dLineSpacing = kMinLineSpacing; // mm
    double m_dPathWidth = 0.0;      // carried through
    std::uint8_t m_bByLayer = 0;
    std::uint8_t m_bInOut = 0;
    std::uint8_t m_bCloseUse = 0;
    double m_dCloseRepay = 0.0;     // mm
    std::uint8_t m_bDislocUse = 0;
    DOCCONTEXT* m_pContext = nullptr;

    QLineEdit* Edit(int id) const;
    QComboBox* List(int id) const;
    QCheckBox* Check(int id) const;
    QRadioButton* Radio(int id) const;
    QPushButton* PreviewButton() const { return m_preview; }

    // Cuts a typed number to two decimals and raises it to `minimum`; a
    // number with at most two decimals keeps its value as typed.
    static double TwoDecimals(const QString& text, double minimum);

protected:
    void OnInitDialog() override;
    bool OnOK() override;

private:
    void ApplyLayout();
    void OnMode(std::uint8_t mode);
    // Normalises a number being typed (see TwoDecimals); the member takes it.
    void Normalise(QLineEdit* edit, double minimum, double& member);
    void TakeValues();
    // Shows the path preview with the dialog's values in the settings for
    // its length.
    void OnPreview();

    QPushButton* m_preview = nullptr;
};
