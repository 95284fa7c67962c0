#include "ViewSettingsCommands.h"

#include "OrvelApp.h"
#include "OrvelView.h"
#include "ui/WorkPanelPages.h"
#include "model/DocContext.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "ui/ParamSetCurve.h"
#include "ui/ParamSetLanguage.h"
#include "ui/ShowGridDlg.h"

namespace {

constexpr plat::UINT kGridCommand = 32914;
constexpr plat::UINT kCurveCommand = 32865;
constexpr plat::UINT kLanguageCommand = 32864;
constexpr int kRestartQuestion = 9;

void OnShowGrid(COrvelView& view)
{
    SoftwareSettings& s = SettingsOf(view.Context());
    CShowGridDlg dlg(&view);
    dlg.m_bShowGrid = s.show_net;
    dlg.m_dLength = s.net_interval;
    if (dlg.DoModal() != plat::IDOK)
        return;
    s.show_net = dlg.m_bShowGrid != 0 ? 1 : 0;
    s.net_interval = dlg.m_dLength;
    CReadParamFile().WriteSoftwareParam(s);
    view.InvalidateRect(nullptr, true);
}

void OnCurveSettings(COrvelView& view)
{
    CParamSetCurve dlg(
        &view.Context(),
        [&view] {
            if (WorkPanelPages* pages = view.PanelPages())
                pages->RefreshLayerList();
        },
        &view);
    dlg.DoModal();
}

void OnLanguage(COrvelView& view)
{
    CParamSetLanguage dlg(&view);
    if (dlg.DoModal() != plat::IDOK)
        return;
    const std::u16string question = LanguageText(RegisteredLanguageTable(), u"phase15:error-hint", kRestartQuestion);
    if (plat::MessageBox(question, std::u16string(), plat::MB_OKCANCEL) != plat::IDOK)
        return;
    if (COrvelApp* app = COrvelApp::Instance())
        app->RestartApplication();
}

} // namespace

void AddViewSettingsCommands(COrvelView& view)
{
    view.On(kGridCommand, [&view] { OnShowGrid(view); });
    view.On(kCurveCommand, [&view] { OnCurveSettings(view); });
    view.On(kLanguageCommand, [&view] { OnLanguage(view); });
}
