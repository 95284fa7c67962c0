#include "WorkPageNest.h"

CWorkPageNest::CWorkPageNest(QWidget* parent) : WorkPageBase(IDD, u"phase22:genetic-nest", parent) {}

void CWorkPageNest::SetOwner(DOCCONTEXT* context, plat::ViewWindow* view)
{
    StoreOwner(context, view);
}
