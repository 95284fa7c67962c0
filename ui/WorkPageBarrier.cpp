#include "WorkPageBarrier.h"

CWorkPageBarrier::CWorkPageBarrier(QWidget* parent) : WorkPageBase(IDD, u"phase18:light-barrier", parent) {}

void CWorkPageBarrier::SetOwner(DOCCONTEXT* context, plat::ViewWindow* view)
{
    StoreOwner(context, view);
}
