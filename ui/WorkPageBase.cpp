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
    CDocState::InvalidateSelectionArea(m_pContext, world);
}
