// The process technology dialog (dialog 227): edits the three tables of one
// machine's technology record in place (carve repair, speed limit, cut
// repair), each kept sorted by its first value, with their enable switches,
// and saves the record into the machine's technology file.
#pragma once
#include "qtplatform/DialogBase.h"

#include <array>
#include <cstdint>

class CMachineTech;
class CXPButton;
class QCheckBox;
class QTableWidget;

class CParamTechnology : public CDialogBase {
public:
    static constexpr int IDD = 227;
    static constexpr int IDC_CARVE_LIST = 1086;
    static constexpr int IDC_CARVE_GROUP = 1087;
    static constexpr int IDC_CARVE_ADD = 1074;
    static constexpr int IDC_CARVE_DELETE = 1075;
    static constexpr int IDC_CARVE_USE = 1088;
    static constexpr int IDC_LIMIT_LIST = 1089;
    static constexpr int IDC_LIMIT_GROUP = 1090;
    static constexpr int IDC_LIMIT_ADD = 1076;
    static constexpr int IDC_LIMIT_DELETE = 1077;
    static constexpr int IDC_LIMIT_USE = 1091;
    static constexpr int IDC_CUT_LIST = 1093;
    static constexpr int IDC_CUT_GROUP = 1094;
    static constexpr int IDC_CUT_ADD = 1078;
    static constexpr int IDC_CUT_DELETE = 1079;
    static constexpr int IDC_CUT_USE = 1095;
    static constexpr int IDC_SAVE = 1092;

    // The table kinds, as the row dialog takes them.
    enum Table { kCarve = 0, kLimit = 1, kCut = 2 };

    explicit CParamTechnology(QWidget* parent = nullptr);

    // Set-up before DoModal: the record edited; its enable bytes are copied
    // for the check boxes.
    void SetTechnology(CMachineTech* tech);

    // The buttons' actions, as clicking them runs them.
    void AddRow(Table table);
    void DeleteRow(Table table);
    void Save();

    QTableWidget* List(Table table) const { return m_lists[table]; }
    QCheckBox* UseCheck(Table table) const { return m_checks[table]; }
    CXPButton* SaveButton() const { return m_save; }

protected:
    void OnInitDialog() override;

private:
    void Refill(Table table);

    CMachineTech* m_pTech = nullptr;
    std::array<std::uint8_t, 3> m_use{};
    std::array<QTableWidget*, 3> m_lists{};
    std::array<QCheckBox*, 3> m_checks{};
    std::array<CXPButton*, 3> m_adds{};
    std::array<CXPButton*, 3> m_deletes{};
    std::array<QWidget*, 3> m_groups{};
    CXPButton* m_save = nullptr;
};
