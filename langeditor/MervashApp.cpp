#include "langeditor/MervashApp.h"

#include "langeditor/MervashDlg.h"
#include "settings/LanguageTable.h"

CMervashApp::CMervashApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Mervash"));
}

int CMervashApp::Run()
{
    // Every program lies in one folder; the languages are in the folder
    // Brenvik reads them from.
    CMervashDlg dialog(LanguageFolder());
    dialog.exec();
    return 0;
}
