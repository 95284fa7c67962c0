// The machine manager (dialog 158): the machine list, one row per machine
// with its name, type, address and link. The operator adds a machine or
// changes one's type and address, deletes one, connects or disconnects one
// (right-button menu 161), and opens a machine's work area and process
// technology dialogs. The list is edited in place and MacInfo.par written
// after each change; connections made here outlive the dialog.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>
#include <optional>

class CXPButton;
class QComboBox;
class QLineEdit;
class QMenu;
class QTableWidget;
struct DOCCONTEXT;
struct MachineNode;
struct SoftwareSettings;

class CMachineManage : public CDialogBase {
public:
    static constexpr int IDD = 158;
    static constexpr int IDR_MENU = 161;
    static constexpr int IDC_LIST = 1061;
    static constexpr int IDC_NAME = 1077;
    static constexpr int IDC_TYPE = 1079;
    static constexpr int IDC_ADDRESS = 1084;
    static constexpr int IDC_SAVE = 1068;
    static constexpr int IDC_WORK_AREA = 1073;
    static constexpr int IDC_TECHNOLOGY = 1075;
    static constexpr int IDC_PARAMETERS = 1074;
    static constexpr int IDC_NAME_LABEL = 1076;
    static constexpr int IDC_TYPE_LABEL = 1078;
    static constexpr int IDC_ADDRESS_LABEL = 1082;
    static constexpr int ID_CONNECT = 32814;
    static constexpr int ID_DISCONNECT = 32815;
    static constexpr int ID_DELETE = 32816;

    // The context may be null: the list is then the program's settings' and
    // the fields start empty.
    explicit CMachineManage(DOCCONTEXT* context, QWidget* parent = nullptr);
    ~CMachineManage() override;
    CMachineManage(const CMachineManage&) = delete;
    CMachineManage& operator=(const CMachineManage&) = delete;

    // "a.b.c.d", most significant byte first.
    static QString AddressText(std::uint32_t address);
    // Four numbers 0 .. 255 joined by dots; nothing for any other text.
    static std::optional<std::uint32_t> ParseAddress(const QString& text);

    // The handlers, as the controls and menu commands run them.
    void OnSave();
    void OnConnect();
    void OnDisconnect();
    void OnDelete();
    void OnWorkArea();
    void OnTechnology();
    // Opens the selected machine's parameter dialog.
    void OnParameters();
    // Loads a row's machine into the fields (a click on the row).
    void LoadRow(int row);
    // Rebuilds the rows from the machine list.
    void RefreshList();

    // The right-button menu with its three commands (their ids as the
    // actions' data); choosing one runs it once the menu has closed.
    QMenu* ContextMenu() const { return m_menu; }
    QTableWidget* List() const { return m_list; }
    QLineEdit* NameEdit() const { return m_name; }
    QComboBox* TypeCombo() const { return m_type; }
    QLineEdit* AddressEdit() const { return m_address; }
    CXPButton* Button(int id) const;

protected:
    void OnInitDialog() override;

private:
    SoftwareSettings& Settings() const;
    int SelectedRow() const;
    // The machine of the selected row; null without a row or past the list.
    MachineNode* SelectedMachine(int* row = nullptr) const;
    void SelectRow(int row);
    void RunCommand(int id);
    void WriteMachineList() const;

    DOCCONTEXT* m_context;
    QTableWidget* m_list;
    QLineEdit* m_name;
    QComboBox* m_type;
    QLineEdit* m_address;
    QMenu* m_menu;
    int m_linkWatch = 0;
};
