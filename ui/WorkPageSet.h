// The array page: array copies of the selected objects. A virtual array
// gives the selection one array record per layer group, so the copies are
// drawn and output without existing as objects; a real array makes the
// copies as new objects. Each has a fill that works out how many copies fit
// into an area (CWorkAutoArray). Gaps are shown in millimetres; the drawing
// is in world units (0.1 mm).
// Page 151 of the work panel; its texts come from "phase5:array-tool".
#pragma once
#include "WorkPageBase.h"

#include <cstdint>

class CGeoBox;

class CXPButton;
class QCheckBox;
class QLineEdit;

class CWorkPageSet : public WorkPageBase {
public:
    static constexpr int IDD = 151;
    static constexpr int IDC_VIRT_COLS = 1113;
    static constexpr int IDC_VIRT_GAP_X = 1114;
    static constexpr int IDC_VIRT_ROWS = 1115;
    static constexpr int IDC_VIRT_GAP_Y = 1116;
    static constexpr int IDC_REAL_COUNT_X = 1117;
    static constexpr int IDC_REAL_GAP_X = 1118;
    static constexpr int IDC_REAL_COUNT_Y = 1119;
    static constexpr int IDC_REAL_GAP_Y = 1120;
    static constexpr int IDC_REAL_REV_X = 1256;
    static constexpr int IDC_REAL_REV_Y = 1257;
    static constexpr int IDC_VIRT_REV_X = 1258;
    static constexpr int IDC_VIRT_REV_Y = 1259;
    static constexpr int IDC_VIRT_APPLY = 1167;
    static constexpr int IDC_VIRT_FILL = 1168;
    static constexpr int IDC_REAL_FILL = 1171;
    static constexpr int IDC_REAL_APPLY = 1174;
    // The most objects one real array may add.
    static constexpr std::uint64_t kMaxRealCopies = 1000000;
    // Entry of "phase5:array-tool" shown when a real array would add more.
    static constexpr int kTooLargeText = 24;

    explicit CWorkPageSet(QWidget* parent = nullptr);

    void SetOwner(DOCCONTEXT* context, plat::ViewWindow* view);
    // Loads the fields from the selection (and the controls from the
    // fields); without owner only the controls are refreshed.
    void UpdateFromSelection();

    // The page's operations, as its buttons run them.
    void RealArray();
    void VirtualArray();
    void RealFill();
    void VirtualFill();

    // Moves the fields into the controls, and back.
    void ShowFields();
    void ReadControls();

    // A count typed into an edit: negative or no integer 0, beyond u32 the
    // largest u32. A length: C locale, not a finite number 0.
    static std::uint32_t ReadCount(const QLineEdit* edit);
    static double ReadLength(const QLineEdit* edit);
    // Copies of a fill along one axis: trunc((|area| - item) / (item +
    // spacing)) + 1, at least 1 and at most `most`; `current` when item +
    // spacing is not above 0.001.
    static std::uint32_t FillCount(double area, double item, double spacing, std::uint32_t current,
                                   std::uint32_t most);

    std::uint32_t m_nVirtCols = 1;
    double m_dVirtGapX = 0.0;
    std::uint32_t m_nVirtRows = 1;
    double m_dVirtGapY = 0.0;
    double m_dRealGapX = 0.0;
    double m_dRealGapY = 0.0;
    std::uint32_t m_nRealCountX = 1;
    std::uint32_t m_nRealCountY = 1;
    bool m_bVirtRevX = false;
    bool m_bVirtRevY = false;
    bool m_bRealRevX = false;
    bool m_bRealRevY = false;
    double m_dFillW = 0.0;
    double m_dFillH = 0.0;
    double m_dSelW = 0.0;
    double m_dSelH = 0.0;

    QLineEdit* Edit(int id) const;
    QCheckBox* Check(int id) const;
    CXPButton* Button(int id) const;

protected:
    void OnInitDialog() override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Width and height of the selected objects without their array copies.
    void MeasureSelection(double& width, double& height) const;
    void OnCountEdited(std::uint32_t& count);
    void ShowObjectCount();
};
