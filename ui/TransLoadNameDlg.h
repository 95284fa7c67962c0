// The job name dialog (dialog 186): the name a job is sent under, preset to
// the current UTC day, hour, minute and second ("%02d%02d%02d%02d").
#pragma once
#include "qtplatform/DialogBase.h"

#include <ctime>
#include <functional>
#include <string>

class CXPButton;
class QLineEdit;

class CTransLoadNameDlg : public CDialogBase {
public:
    static constexpr int IDD = 186;
    static constexpr int IDC_NAME = 1111;
    static constexpr int IDC_OK = 1073;

    explicit CTransLoadNameDlg(QWidget* parent = nullptr);

    // The clock the preset name is taken from; the system's for an empty one.
    static void SetClockForTesting(std::function<std::time_t()> clock);
    // The preset name for a moment (UTC).
    static std::u16string NameAt(std::time_t moment);

    std::u16string m_name; // after OK: never empty ("x" for an empty edit)

    QLineEdit* NameEdit() const { return m_edit; }
    CXPButton* OkButton() const { return m_ok; }

protected:
    void OnInitDialog() override;
    bool OnOK() override;

private:
    QLineEdit* m_edit;
    CXPButton* m_ok;
};
