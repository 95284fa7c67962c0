// The auto-fill dialog of the array page: how many copies of an item fit
// into an area with the given spacing. In virtual mode every change typed
// that gives more than one copy is applied to the array page at once.
// Dialog 198; its texts come from "phase5:array-tool".
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>

class CWorkPageSet;
class QLineEdit;

class CWorkAutoArray : public CDialogBase {
public:
    static constexpr int IDD = 198;
    static constexpr int IDC_AREA_W = 1111;
    static constexpr int IDC_AREA_H = 1112;
    static constexpr int IDC_SPACE_X = 1115;
    static constexpr int IDC_SPACE_Y = 1116;
    static constexpr int IDC_APPLY = 1073;
    static constexpr std::uint32_t kModeReal = 1;
    static constexpr std::uint32_t kModeVirtual = 2;

    // Lengths in millimetres; `page` is the array page a virtual fill
    // applies to (null in real mode).
    CWorkAutoArray(std::uint32_t mode, double areaW, double areaH, double spaceX, double spaceY, double itemW,
                   double itemH, CWorkPageSet* page, QWidget* parent = nullptr);

    // Reads the edits and works the counts out; `live` applies them to the
    // page when one of them is 2 or more (virtual mode only).
    void Compute(bool live);

    QLineEdit* Edit(int id) const;

    std::uint32_t m_nMode;
    double m_dAreaW;
    double m_dAreaH;
    double m_dSpaceX;
    double m_dSpaceY;
    double m_dItemW;
    double m_dItemH;
    std::uint32_t m_nCountX = 1;
    std::uint32_t m_nCountY = 1;
    CWorkPageSet* m_pPage;

protected:
    void OnInitDialog() override;
    bool OnOK() override;
};
