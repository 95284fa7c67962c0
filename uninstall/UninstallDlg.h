// The uninstaller's one dialog: Uninstall, Cancel and an About button.
#pragma once
#include "uninstall/Edition.h"
#include "uninstall/UninstallCore.h"

#include <QDialog>
#include <functional>

class QPushButton;

class CUninstallDlg : public QDialog {
    Q_OBJECT
public:
    CUninstallDlg(const EditionData& edition, const UninstallEnv& env, QWidget* parent = nullptr);

    // Shows a message to the operator; tests replace it to answer without a
    // box. The default is a modal QMessageBox.
    using MessageFn = std::function<void(QWidget* parent, const QString& text)>;
    static void SetMessageFunction(MessageFn fn);

    QPushButton* UninstallButton() const { return m_uninstall; }
    QPushButton* CancelButton() const { return m_cancel; }
    QPushButton* AboutButton() const { return m_about; }

    // Control id of a button, as the dialog's template numbers it.
    static int ControlId(const QPushButton* button);

public slots:
    void OnUninstall();
    void OnAbout();

private:
    const EditionData& m_edition;
    UninstallEnv m_env;
    QPushButton* m_uninstall;
    QPushButton* m_cancel;
    QPushButton* m_about;
};
