// Entry point of both uninstallers; the build defines which edition this
// executable removes.
#include "uninstall/UninstallApp.h"

int main(int argc, char** argv)
{
#if defined(BRENVIK_EDITION_TARNWELL)
    const EditionData& edition = TarnwellEdition();
#else
    const EditionData& edition = PendrixEdition();
#endif
    CUninstallApp app(argc, argv, edition);
    return app.Run();
}
