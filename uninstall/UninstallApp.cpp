#include "uninstall/UninstallApp.h"

#include "uninstall/UninstallCore.h"
#include "uninstall/UninstallDlg.h"

CUninstallApp::CUninstallApp(int& argc, char** argv, const EditionData& edition)
    : QApplication(argc, argv), m_edition(edition)
{
    setApplicationName(QString::fromStdString("Uninstall" + edition.name));
}

int CUninstallApp::Run()
{
    UninstallEnv env = EnvironmentOfProcess();
    env.programFolder = applicationDirPath().toStdString();
    CUninstallDlg dialog(m_edition, env);
    dialog.exec();
    return 0;
}
