// The process parameters of one layer (dialog 156): cutting, scanning or
// both, with speeds, powers, engraving method, precision and slope; the
// cutting and scanning extras in two sub-dialogs; loading and saving one
// layer's parameters as a .prp file. Works on the layer's record in the
// settings' layer list: values typed here reach it at OK, values of a
// sub-dialog when the sub-dialog closes with OK. The caller writes the list
// to WorkParam.par after OK.
#pragma once
#include "qtplatform/DialogBase.h"
#include "settings/WorkParams.h"
#include "settings/WorkSetParameterBase.h"

#include <cstdint>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
struct DOCCONTEXT;
struct SoftwareSettings;

class CWorkSetParameter : public CDialogBase, public CWorkSetParameterBase {
public:
    static constexpr int IDD = 156;
    enum : int {
        IDC_CUT_SPEED = 1041,
        IDC_CUT = 1042,
        IDC_WORK_LEVEL = 1043,
        IDC_CUT_MIN1 = 1045,
        IDC_CUT_MAX1 = 1047,
        IDC_CUT_MIN2 = 1049,
        IDC_CUT_MAX2 = 1051,
        IDC_SCAN = 1052,
        IDC_FREE_SPEED = 1054,
        IDC_SCAN_SPEED = 1056,
        IDC_METHOD = 1057,
        IDC_OK = 1058,
        IDC_SCAN_MAX1 = 1060,
        IDC_CUT_MORE = 1061,
        IDC_SCAN_MORE = 1062,
        IDC_SCAN_MAX2 = 1064,
        IDC_SCAN_MIN1 = 1066,
        IDC_PRECISION = 1070,
        IDC_CANCEL = 1071,
        IDC_INCLINE = 1073,
        IDC_SCAN_MIN2 = 1074,
        IDC_LOAD = 1075,
        IDC_SAVE = 1076,
        IDC_CUT_DEFAULT = 1256,
        IDC_SCAN_DEFAULT = 1258,
    };

    // The file chooser: `save` for a name to write, starting in `folder`;
    // false when the operator cancels. The chooser asks nothing about
    // existing files.
    using FileChooser = std::function<bool(bool save, const std::string& folder, std::string& path)>;
    static void SetFileChooser(FileChooser chooser);

    CWorkSetParameter(WorkParams* layers, int layer, DOCCONTEXT* context, QWidget* parent = nullptr);

    // The controls enabled by the switches, the bitmap flag and the slope.
    void UpdateEnabling();
    void OnLoad();
    void OnSave();
    void OnCutMore();
    void OnScanMore();

    QLineEdit* Edit(int id) const;
    QCheckBox* Check(int id) const;
    QComboBox* Combo(int id) const;
    QWidget* Control(int id) const;

    // Dialog values: checks as 0 or 1, speeds in the speed unit shown.
    std::int32_t m_bBorder = 0;
    std::int32_t m_bSweep = 0;
    std::int32_t m_nWorkLevel = 0;
    double m_dCutSpeed = 0.0;
    double m_dFreeSpeed = 0.0;
    std::int32_t m_bCutDefault = 0;
    double m_dCutMin1 = 0.0;
    double m_dCutMax1 = 0.0;
    double m_dCutMin2 = 0.0;
    double m_dCutMax2 = 0.0;
    double m_dScanSpeed = 0.0;
    std::int32_t m_bScanDefault = 0;
    double m_dScanMin1 = 0.0;
    double m_dScanMin2 = 0.0;
    double m_dScanMax1 = 0.0;
    double m_dScanMax2 = 0.0;
    std::int32_t m_nMethod = 0;
    double m_dPrecision = 0.0;
    double m_dIncline = 0.0;

    bool m_bBitmap = false;
    bool m_bLoaded = false;
    WorkParams m_loaded;

protected:
    void OnInitDialog() override;
    bool OnOK() override;
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    SoftwareSettings& Settings() const;
    WorkParams* Record() const;
    // Reads every control; false (after the message) when an edit holds
    // no number.
    bool ReadControls();
    // The switches only: they never fail.
    void ReadSwitches();
    void ShowRecord(const WorkParams& rec);
    // The dialog's values into a record, speeds in mm/s.
    void StoreValues(WorkParams& rec) const;
    double ShownSpeed(double mmPerSecond) const;
    double StoredSpeed(double shown) const;
    void OnInclineChanged();
    void RememberFolder(const std::string& path);

    WorkParams* m_pLayers;
    int m_nLayer;
    DOCCONTEXT* m_pContext;
};
