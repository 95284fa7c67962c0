#include "WorkPageMetaList.h"

CWorkPageMetaList::CWorkPageMetaList(QWidget* parent) : WorkPageBase(IDD, u"phase19:sort-manually", parent) {}

void CWorkPageMetaList::SetOwner(DOCCONTEXT* context, plat::ViewWindow* view)
{
    StoreOwner(context, view);
}

void CWorkPageMetaList::RefreshList()
{
    // The page has no list yet.
}

void CWorkPageMetaList::ClearList()
{
    // The page has no list yet.
}
