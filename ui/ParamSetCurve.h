// The curve settings dialog (dialog 200): the curve precision of import,
// display and export, and the unit speeds are shown in. OK stores them in
// the settings and software.par, repaints the view when the display
// precision changed on a drawing that has objects, and has the layer list
// rebuilt when the speed unit changed.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>
#include <functional>

class CXPButton;
class QComboBox;
class QLabel;
struct DOCCONTEXT;
struct SoftwareSettings;

class CParamSetCurve : public CDialogBase {
public:
    static constexpr int IDD = 200;
    static constexpr int IDC_SHOW = 1190;
    static constexpr int IDC_SHOW_LABEL = 1189;
    static constexpr int IDC_EXPORT = 1192;
    static constexpr int IDC_EXPORT_LABEL = 1191;
    static constexpr int IDC_IMPORT = 1194;
    static constexpr int IDC_IMPORT_LABEL = 1193;
    static constexpr int IDC_SPEED_UNIT = 1196;
    static constexpr int IDC_SPEED_UNIT_LABEL = 1195;
    static constexpr int IDC_OK = 1073;

    // `rebuildLayerList` rebuilds the work page's layer list (may be empty).
    CParamSetCurve(DOCCONTEXT* context, std::function<void()> rebuildLayerList, QWidget* parent = nullptr);

    QComboBox* Combo(int id) const;
    CXPButton* OkButton() const { return m_ok; }

protected:
    void OnInitDialog() override;
    bool OnOK() override;

private:
    SoftwareSettings& Settings() const;

    DOCCONTEXT* m_pContext;
    std::function<void()> m_rebuildLayerList;
    std::uint8_t m_circleShowBefore;
    std::uint8_t m_speedUnitsBefore;
    QComboBox* m_show;
    QComboBox* m_import;
    QComboBox* m_export;
    QComboBox* m_speedUnit;
    QLabel* m_labels[4];
    CXPButton* m_ok;
};
