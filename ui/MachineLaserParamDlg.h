// The laser page of the machine parameter dialog (page 256): return point,
// head, platform and machine type, laser type and PWM, focal length,
// double-head and double-platform distances and the metal-cutting head's
// delays, heights and tolerance. The rows shown follow the machine type.
#pragma once
#include "MachineParamPage.h"

class CMachineLaserParamDlg : public CMachineParamPage {
public:
    static constexpr int IDD = 256;
    static constexpr int IDC_APPLY = 1314;
    static constexpr int IDC_BACK_POS = 1348;
    static constexpr int IDC_MACHINE_TYPE = 1349;
    static constexpr int IDC_LASER_TYPE = 1350;
    static constexpr int IDC_PWM_POLARITY = 1351;
    static constexpr int IDC_FREQUENCY = 1352;
    static constexpr int IDC_MIN_POWER = 1353;
    static constexpr int IDC_MAX_POWER = 1354;
    static constexpr int IDC_HEADS = 1372;
    static constexpr int IDC_FOCUS = 1378;
    static constexpr int IDC_PLATFORM_DISTANCE = 1379;
    static constexpr int IDC_HEAD_SPACING = 1380;
    static constexpr int IDC_PLATFORMS = 1381;
    static constexpr int IDC_UP_DELAY = 1383;
    static constexpr int IDC_DOWN_DELAY = 1385;
    static constexpr int IDC_UPLIFT = 1386;
    static constexpr int IDC_HANGING = 1388;
    static constexpr int IDC_FREE_UPDIS = 1390;
    static constexpr int IDC_FINISH_UPDIS = 1393;
    static constexpr int IDC_TOLERANCE = 1395;
    static constexpr int IDC_HEIGHT_CONTROLLER = 1417;
    static constexpr int IDC_COLLISION = 1418;
    static constexpr int IDC_METAL_GROUP = 1308;
    static constexpr int IDC_DELAY_GROUP = 1309;

    explicit CMachineLaserParamDlg(QWidget* parent = nullptr);

    void Fill() override;
    // The machine type list's index (-1 with none selected).
    int MachineTypeIndex() const;

private:
    // Shows the rows of the machine type chosen.
    void Layout() const;
    void SetTypeBits(int shift, std::uint32_t mask, int index);
};
