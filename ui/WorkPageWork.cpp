#include "WorkPageWork.h"

CWorkPageWork::CWorkPageWork(QWidget* parent) : WorkPageBase(IDD, u"phase3:work-tool", parent) {}

void CWorkPageWork::FillDeviceList(DOCCONTEXT* context, plat::ViewWindow* view)
{
    StoreOwner(context, view);
}

void CWorkPageWork::RefreshLayerList()
{
    // The page has no layer list yet.
}

void CWorkPageWork::OnPortError()
{
    // The page opens no connection yet.
}
