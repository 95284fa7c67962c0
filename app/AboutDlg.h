// The About box (dialog 100): the program's icon, its version line (the
// language file's first line), a second text line and OK, with its title and
// texts from the language section "phase8:soft-version".
#pragma once
#include "qtplatform/DialogBase.h"

class QLabel;
class QPushButton;

class CAboutDlg : public CDialogBase {
public:
    static constexpr int IDD = 100;
    static constexpr int IDC_VERSION = 1238;
    static constexpr int IDC_SECOND_LINE = 1239;

    explicit CAboutDlg(QWidget* parent = nullptr);

    QLabel* VersionLine() const { return m_version; }
    QLabel* SecondLine() const { return m_second; }
    QPushButton* OkButton() const { return m_ok; }

protected:
    void OnInitDialog() override;

private:
    QLabel* m_icon;
    QLabel* m_version;
    QLabel* m_second;
    QPushButton* m_ok;
};
