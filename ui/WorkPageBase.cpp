#include "WorkPageBase.h"

#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/DocState.h"

#include <QKeyEvent>

WorkPageBase::WorkPageBase(int templateId, std::u16string_view section, QWidget* parent)
    : CDialogBase(templateId, section, parent)
{
    setWindowFlags(Qt::Widget);
}

void WorkPageBase::StoreOwner(DOCCONTEXT* context, plat::ViewWindow* view)
{
    m_pContext = context;
    m_pView = view;
}

void WorkPageBase::RepaintArea(DOCCONTEXT* context, plat::ViewWindow* view, CGeoBox area)
{
    if (context == nullptr || view == nullptr || area.IsEmpty())
        return;
    const ARRAYREC* array = context->m_pCurrent != nullptr ? context->m_pCurrent->m_pArray : nullptr;
    if (array != nullptr && array->m_nCols > 1)
        area.m_xmax += (array->m_nCols - 1) * array->m_dDx;
    CGeoBox client;
    context->WorldToClientRect(area, client);
    CDocState::InflateRect(client, 15.0);
    const plat::RECT rect{plat::RoundPixel(client.m_xmin), plat::RoundPixel(client.m_ymin),
                          plat::RoundPixel(client.m_xmax), plat::RoundPixel(client.m_ymax)};
    view->InvalidateRect(&rect, true);
}

void WorkPageBase::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        CDialogBase::keyPressEvent(event);
    }
}

void WorkPageBase::RepaintArea(const CGeoBox& world) const
{
    RepaintArea(m_pContext, m_pContext != nullptr ? m_pContext->m_pView : nullptr, world);
}
