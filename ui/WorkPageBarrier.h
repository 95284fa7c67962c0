// The light-guide plate page: dot patterns inside the selected outlines.
// Page 206 of the work panel; its texts come from "phase18:light-barrier".
//
// The edits show millimetres (gradients as entered); the settings record
// keeps world units of 0.1 mm and lives in Bari.par. Test hangs a pattern on
// every selected closed outline as its attached chain (one undo step);
// Apply turns the attached chains into ordinary objects just before their
// outlines.
#pragma once
#include "WorkPageBase.h"
#include "settings/BarrierParams.h"

#include <array>

class CXPButton;
class QCheckBox;
class QComboBox;
class QLineEdit;

class CWorkPageBarrier : public WorkPageBase {
public:
    static constexpr int IDD = 206;
    static constexpr int IDC_MODE = 1196;
    static constexpr int IDC_TEST = 1168;
    static constexpr int IDC_APPLY = 1219;
    static constexpr int IDC_WIDTH = 1111;
    static constexpr int IDC_HEIGHT = 1112;
    static constexpr int IDC_WIDTH_GRAD = 1113;
    static constexpr int IDC_HEIGHT_GRAD = 1114;
    static constexpr int IDC_UP = 1115;
    static constexpr int IDC_DOWN = 1116;
    static constexpr int IDC_LEFT = 1119;
    static constexpr int IDC_RIGHT = 1120;
    static constexpr int IDC_ROW_DISLOC = 1217;
    static constexpr int IDC_COLUMN_DISLOC = 1218;

    explicit CWorkPageBarrier(QWidget* parent = nullptr);

    void SetOwner(DOCCONTEXT* context, plat::ViewWindow* view);

    // The record a page starts from before Bari.par is read.
    static BARRIERPARAMS DefaultParams();

    // Mode selection: edits 1111 .. 1114 enabled; a width and height both
    // (near) 0 become 1.0 mm with gradients 0; a height alone (near) 0 takes
    // the width and its gradient unless the mode is lines.
    void OnModeChange();
    // The pattern of every closed outline that is selected or already has
    // one; the settings are written to Bari.par first. Needs an owner.
    void OnTest();
    // Every attached chain becomes part of the drawing before its outline.
    void OnApply();

    const BARRIERPARAMS& Params() const { return m_params; }
    QLineEdit* Edit(int id) const;
    QComboBox* ModeBox() const { return m_mode; }
    QCheckBox* Check(int id) const;

protected:
    void OnInitDialog() override;

private:
    struct Field;
    static const std::array<Field, 17>& Fields();

    void ReadControls();
    void ShowValues();

    BARRIERPARAMS m_params = DefaultParams();
    // The displayed values, in the order of Fields(): millimetres or
    // gradients.
    std::array<double, 17> m_display{};
    std::array<QLineEdit*, 17> m_edits{};
    QComboBox* m_mode = nullptr;
    QCheckBox* m_rowDisloc = nullptr;
    QCheckBox* m_columnDisloc = nullptr;
    CXPButton* m_test = nullptr;
    CXPButton* m_apply = nullptr;
};
