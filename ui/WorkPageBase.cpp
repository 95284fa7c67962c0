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
    if (m_pContext == nullptr || m_pContext->m_pView == nullptr || world.IsEmpty())
        return;
    CGeoBox area = world;
    const ARRAYREC* array = m_pContext->m_pCurrent != nullptr ? m_pContext->m_pCurrent->m_pArray : nullptr;
    if (array != nullptr)
        area.m_xmax += (array->m_nCols - 1) * array->m_dDx;
    CGeoBox client;
    m_pContext->WorldToClientRect(area, client);
    CDocState::InflateRect(client, 15.0);
    const plat::RECT rect{plat::RoundPixel(client.m_xmin), plat::RoundPixel(client.m_ymin),
                          plat::RoundPixel(client.m_xmax), plat::RoundPixel(client.m_ymax)};
    m_pContext->m_pView->InvalidateRect(&rect, true);
}
