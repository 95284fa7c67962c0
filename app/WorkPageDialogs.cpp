#include "WorkPageDialogs.h"

#include "OrvelView.h"
#include "ui/MachineManage.h"
#include "ui/ParamRunFrame.h"
#include "ui/PathPreviewDlg.h"
#include "ui/WorkDownloadSet.h"

#include <QApplication>

CWorkPageWork::Dialogs MakeWorkPageDialogs()
{
    CWorkPageWork::Dialogs dialogs;
    dialogs.machineManager = [](DOCCONTEXT* context) {
        CMachineManage manager(context, QApplication::activeWindow());
        manager.DoModal();
    };
    dialogs.download = [](DOCCONTEXT& context) {
        CWorkDownloadSet dialog(context);
        dialog.DoModal();
    };
    dialogs.preview = [](DOCCONTEXT& context) {
        CPathPreviewDlg preview(context, QApplication::activeWindow());
        preview.DoModal();
    };
    dialogs.runFrame = &CParamRunFrame::Ask;
    dialogs.jobName = &CWorkDownloadSet::AskJobName;
    dialogs.transfer = &CWorkDownloadSet::RunTransfer;
    dialogs.selectTool = &COrvelView::SelectToolIn;
    return dialogs;
}
