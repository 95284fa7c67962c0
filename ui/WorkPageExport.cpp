#include "WorkPageExport.h"

CWorkPageExport::CWorkPageExport(QWidget* parent) : WorkPageBase(IDD, u"phase4:export-tool", parent) {}

void CWorkPageExport::SetOwner(DOCCONTEXT* context, plat::ViewWindow* view)
{
    StoreOwner(context, view);
}

void CWorkPageExport::UpdateFromDocument()
{
    // The page has no fields yet.
}
