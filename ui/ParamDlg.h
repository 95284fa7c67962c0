// The machine parameter dialog (dialog 162) of one machine of the list:
// reads the controller's parameter block into the machine's block, shows it
// on the axis, laser and other pages beside the statistics page, writes an
// edited block back behind the access code, and loads or exports the block
// as a ".machine" file.
//
// One request is awaited at a time: the dialog is disabled while a read
// (timer 1) or a write (timer 2) waits, 5 s each; the read sent as it opens
// has its time-out too but leaves it usable. A read that cannot be sent or
// is not answered says so and leaves the fields as they were. A write
// counts as confirmed only once the controller has read back every written
// value and the block then equals what was sent. A connection the dialog
// opened is closed again when it closes; one that failed to start is not
// kept, and the dialog then works offline.
#pragma once
#include "qtplatform/DialogBase.h"
#include "qtplatform/QtMessagePoster.h"
#include "settings/MachineParams.h"

#include <bitset>
#include <cstdint>
#include <functional>

class CMachineAxisParamDlg;
class CMachineLaserParamDlg;
class CMachineOtherParamDlg;
class CMyTabCtrl;
class CParamPageStatistic;
class CXPButton;
class QLabel;
class QTimer;
struct DOCCONTEXT;
struct MachineNode;
struct SoftwareSettings;

class CParamDlg : public CDialogBase, public PostedMessageTarget {
public:
    static constexpr int IDD = 162;
    static constexpr int IDC_TAB = 1085;
    static constexpr int IDC_READ = 1308;
    static constexpr int IDC_WRITE = 1309;
    static constexpr int IDC_CLEAR = 1310;
    static constexpr int IDC_LOAD = 1311;
    static constexpr int IDC_EXPORT = 1312;
    static constexpr int IDC_HIDDEN = 1077;
    static constexpr int IDC_STATUS = 1313;
    static constexpr int kReadTimer = 1;
    static constexpr int kWriteTimer = 2;
    static constexpr int kTimeoutMs = 5000;

    // Asks for a ".machine" file: `save` for the save chooser; the filter as
    // shown. False on Cancel, else the path chosen.
    using FileChooser = std::function<bool(bool save, const QString& filter, QString& path)>;
    static void SetFileChooserForTesting(FileChooser chooser);

    // The context may be null: the machine list is then the program's
    // settings'.
    CParamDlg(DOCCONTEXT* context, int machineIndex, QWidget* parent = nullptr);
    ~CParamDlg() override;
    CParamDlg(const CParamDlg&) = delete;
    CParamDlg& operator=(const CParamDlg&) = delete;

    // The buttons' actions, as clicking them runs them.
    void OnRead();
    void OnWrite();
    void OnClear();
    void OnLoad();
    void OnExport();
    // A timer's end (1 read, 2 write); tests end them through this.
    void OnTimer(int id);
    bool TimerActive(int id) const;

    void OnPostedMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam) override;

    // The laser page's machine type index, for the axis page.
    int LaserMachineTypeIndex() const;

    MachineNode* Machine() const { return m_pMachine; }
    MachineParams* Params() const;
    bool WritePending() const { return m_write_pending != 0; }
    plat::HWND Handle() const { return m_hWnd; }
    CMyTabCtrl* Tabs() const { return m_tab; }
    CMachineAxisParamDlg* AxisPage() const { return m_axisPage; }
    CMachineLaserParamDlg* LaserPage() const { return m_laserPage; }
    CMachineOtherParamDlg* OtherPage() const { return m_otherPage; }
    CParamPageStatistic* StatisticPage() const { return m_statPage; }
    CXPButton* Button(int id) const;
    QLabel* StatusLine() const { return m_status; }

protected:
    void OnInitDialog() override;

private:
    void SetStatus(int entry);
    void OnAnswer();
    void OnTabChanged();
    void RefillPages();
    void RefillShownPage();
    // Ends a pending write as failed: message, status, snapshot zeroed.
    void WriteFailed();
    const SoftwareSettings& Settings() const;
    // A message box with the warning icon.
    static void Warn(const std::u16string& text);

    DOCCONTEXT* m_context;
    MachineNode* m_pMachine = nullptr;
    int m_comPort = 0;
    std::uint8_t m_conn_existed = 1;
    std::uint8_t m_first_read = 1;
    std::uint8_t m_write_pending = 0;
    MachineParams m_snapshot{};
    // Written values the controller has read back since the write.
    std::bitset<kMachineParamWriteCount> m_readBack;
    plat::HWND m_hWnd = 0;

    CMyTabCtrl* m_tab = nullptr;
    CMachineAxisParamDlg* m_axisPage = nullptr;
    CMachineLaserParamDlg* m_laserPage = nullptr;
    CMachineOtherParamDlg* m_otherPage = nullptr;
    CParamPageStatistic* m_statPage = nullptr;
    QLabel* m_status = nullptr;
    QTimer* m_readTimer = nullptr;
    QTimer* m_writeTimer = nullptr;
};
