// The lead-in and lead-out dialog (dialog 175). It shows the leads of the
// first selected object that has any (else 45 degrees and 5 mm each, both
// off) and, on its apply button, gives every selected object but points and
// images those leads and builds them, as one undo step taken before the
// first change. Whether the lead side is decided automatically is one
// switch for the program's run; without it the side is the property bar's
// assist mode.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class QCheckBox;
class QLineEdit;
struct DOCCONTEXT;

class CRbtnNoneExtendDlg : public CDialogBase {
public:
    static constexpr int IDD = 175;
    static constexpr int IDC_IN_ANGLE = 1111;
    static constexpr int IDC_IN_LENGTH = 1112;
    static constexpr int IDC_OUT_ANGLE = 1113;
    static constexpr int IDC_OUT_LENGTH = 1114;
    static constexpr int IDC_LEAD_IN = 1256;
    static constexpr int IDC_LEAD_OUT = 1257;
    static constexpr int IDC_AUTO_SIDE = 1258;
    static constexpr int IDC_APPLY = 1073;
    // Lead angles are kept in (-181, 181): a typed angle is taken modulo 181.
    static constexpr std::int32_t kAngleModulus = 181;

    explicit CRbtnNoneExtendDlg(DOCCONTEXT* ctx, QWidget* parent = nullptr);

    std::int32_t m_nStartAngle = 45;
    double m_dStartLength = 5.0; // mm
    std::int32_t m_nEndAngle = 45;
    double m_dEndLength = 5.0; // mm
    std::int32_t m_bLeadIn = 0;
    std::int32_t m_bLeadOut = 0;
    DOCCONTEXT* m_pContext;

    // The automatic-side switch (on when the program starts).
    static bool AutoSide();
    static void SetAutoSide(bool on);

    QLineEdit* Edit(int id) const;
    QCheckBox* Check(int id) const;

protected:
    void OnInitDialog() override;
    // Applies the leads; false (the dialog stays) when an edit in use holds
    // no number.
    bool OnOK() override;

private:
    void EnableEdits();
    bool ReadControls();
    void ApplyLeads();
};
