// The language chooser (dialog 199): lists the installed languages, and on
// OK writes the chosen language's file name into the pointer file
// Language/Language. The caller then offers the restart into it.
#pragma once
#include "qtplatform/DialogBase.h"

class CXPButton;
class QListWidget;

class CParamSetLanguage : public CDialogBase {
public:
    static constexpr int IDD = 199;
    static constexpr int IDC_LIST = 1188;
    static constexpr int IDC_OK = 1073;

    explicit CParamSetLanguage(QWidget* parent = nullptr);

    int m_nSelect = 2;

    QListWidget* List() const { return m_list; }
    CXPButton* OkButton() const { return m_ok; }

protected:
    void OnInitDialog() override;

private:
    // Writes the pointer file; closes with OK when it is written whole, else
    // with Cancel (after saying so), so no restart is offered into the
    // language that is still in force.
    void OnChoose();

    QListWidget* m_list;
    CXPButton* m_ok;
};
