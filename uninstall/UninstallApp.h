// The uninstaller's application object: it runs the dialog modally and the
// program ends when the dialog closes.
#pragma once
#include "uninstall/Edition.h"

#include <QApplication>

class CUninstallApp : public QApplication {
public:
    CUninstallApp(int& argc, char** argv, const EditionData& edition);
    int Run();

private:
    const EditionData& m_edition;
};
