#include "WorkPageSet.h"

CWorkPageSet::CWorkPageSet(QWidget* parent) : WorkPageBase(IDD, u"phase5:array-tool", parent) {}

void CWorkPageSet::SetOwner(DOCCONTEXT* context, plat::ViewWindow* view)
{
    StoreOwner(context, view);
}

void CWorkPageSet::UpdateFromSelection()
{
    // The page has no fields yet.
}
