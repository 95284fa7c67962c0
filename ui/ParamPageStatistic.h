// The statistics page of the machine parameter dialog (page 232): reads the
// controller's run statistics (power-on, laser-on and total processing
// time, job count, X and Y travel) into the machine's parameter block and
// shows them. The answers are posted to the page's own window.
#pragma once
#include "qtplatform/DialogBase.h"
#include "qtplatform/QtMessagePoster.h"

class CXPButton;
class QLineEdit;
struct MachineNode;

class CParamPageStatistic : public CDialogBase, public PostedMessageTarget {
public:
    static constexpr int IDD = 232;
    static constexpr int IDC_POWER_ON = 1111;
    static constexpr int IDC_LASER_ON = 1112;
    static constexpr int IDC_PROCESSING = 1113;
    static constexpr int IDC_COUNT = 1114;
    static constexpr int IDC_X_TRAVEL = 1115;
    static constexpr int IDC_Y_TRAVEL = 1116;
    static constexpr int IDC_READ = 1073;

    explicit CParamPageStatistic(QWidget* parent = nullptr);
    ~CParamPageStatistic() override;
    CParamPageStatistic(const CParamPageStatistic&) = delete;
    CParamPageStatistic& operator=(const CParamPageStatistic&) = delete;

    // The machine whose block holds the statistics, and the COM port number.
    void SetMachine(MachineNode* machine, int comPort);

    // The read button's action: a request while the machine is connected.
    void OnRead();
    void OnPostedMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam) override;

    plat::HWND Handle() const { return m_hWnd; }
    QLineEdit* Edit(int id) const;

protected:
    void OnInitDialog() override;

private:
    // Shows the block's statistics.
    void ShowValues();

    MachineNode* m_pMachine = nullptr;
    int m_comPort = 0;
    plat::HWND m_hWnd = 0;
};
