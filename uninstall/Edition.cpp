#include "uninstall/Edition.h"

const EditionData& PendrixEdition()
{
    static const EditionData data{
        "Pendrix", 1001, 1002,
        {"Kelvra.GMS"},
        "关于 UninstallPendrix", "UninstallPendrix 1.0 版", "关于 UninstallPendrix(&A)..."};
    return data;
}

const EditionData& TarnwellEdition()
{
    static const EditionData data{
        "Tarnwell", 1000, 1001,
        {"acad.lsp", "Kelvra.fas", "Kelvra.mnu", "Kelvra.cui", "Kelvra.mns", "Kelvra.mnr",
         "Kelvra.mnc", "Kelvra.cuix", "Kelvra.bak.cuix", "Uninstall.exe"},
        "关于 UninstallTarnwell", "UninstallTarnwell 1.0 版", "关于 UninstallTarnwell(&A)..."};
    return data;
}
