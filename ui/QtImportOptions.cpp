#include "QtImportOptions.h"

#include "ImportBmpDlg.h"
#include "ImportDimensionsDlg.h"
#include "ImportResolutionDlg.h"
#include "platform/NumText.h"

#include <QApplication>
#include <QThread>

#include <limits>

namespace {

bool CanShowDialogs()
{
    QCoreApplication* app = QCoreApplication::instance();
    return qobject_cast<QApplication*>(app) != nullptr && QThread::currentThread() == app->thread();
}

} // namespace

int QtImportOptions::AskDimensions(std::uint8_t& unit)
{
    if (!CanShowDialogs())
        return plat::IDCANCEL;
    CImportDimensionsDlg dialog(unit, QApplication::activeWindow());
    const int result = dialog.DoModal();
    if (result == plat::IDOK)
        unit = dialog.m_nUnit;
    return result;
}

int QtImportOptions::AskResolution(plat::ResolutionChoice& choice)
{
    if (!CanShowDialogs())
        return plat::IDCANCEL;
    CImportResolutionDlg dialog(choice.m_nResolution, QApplication::activeWindow());
    dialog.m_nOther = choice.m_nCustom;
    dialog.m_dPltWidth = choice.m_dWidth;
    dialog.m_dPltHeight = choice.m_dHeight;
    const int result = dialog.DoModal();
    if (result == plat::IDOK) {
        choice.m_nResolution = dialog.m_nResolution;
        choice.m_nCustom = dialog.m_nOther;
    }
    return result;
}

int QtImportOptions::AskBitmap(plat::BitmapChoice& choice)
{
    if (!CanShowDialogs())
        return plat::IDCANCEL;
    // The stored angle is a byte; anything else shows as the first item.
    const std::int64_t angle = plat::ParseInt(choice.m_angleText);
    CImportBmpDlg dialog(choice.m_bGrey, choice.m_nHalftone,
                         angle >= 0 && angle <= std::numeric_limits<int>::max() ? static_cast<int>(angle) : 0,
                         choice.m_dCellSize, QApplication::activeWindow());
    const int result = dialog.DoModal();
    if (result == plat::IDOK) {
        choice.m_bGrey = dialog.m_bGrey;
        choice.m_nHalftone = dialog.m_nDot;
        choice.m_angleText = dialog.m_strAngle;
        choice.m_dCellSize = dialog.m_dDotSize;
    }
    return result;
}
