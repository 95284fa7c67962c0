#include "ViewPageCommands.h"

#include "OrvelView.h"
#include "ui/WorkPanelPages.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/SoftwareSettings.h"

namespace {

void AddPageCommand(COrvelView& view, plat::UINT id, int pageId)
{
    COrvelView* v = &view;
    view.On(
        id, [v, pageId] { ViewPageCommands::SwitchPage(v->PanelPages(), pageId, v->Context(), v); },
        [v, pageId](CmdUI& ui) {
            const std::uint8_t* on = ViewPageCommands::PageSwitch(SettingsOf(v->Context()), pageId);
            ui.SetCheck(on != nullptr && *on != 0 ? 1 : 0);
        });
}

} // namespace

void ViewPageCommands::Register(COrvelView& view)
{
    AddPageCommand(view, kLightGuideCommand, WorkPanelPages::kLightGuidePage);
    AddPageCommand(view, kNestCommand, WorkPanelPages::kNestPage);
    AddPageCommand(view, kOrderCommand, WorkPanelPages::kOrderPage);
}

std::uint8_t* ViewPageCommands::PageSwitch(SoftwareSettings& settings, int pageId)
{
    switch (pageId) {
    case WorkPanelPages::kLightGuidePage:
        return &settings.m_bLightGuidePage;
    case WorkPanelPages::kOrderPage:
        return &settings.m_bOrderPage;
    case WorkPanelPages::kNestPage:
        return &settings.m_bNestPage;
    default:
        return nullptr;
    }
}

void ViewPageCommands::SwitchPage(WorkPanelPages* pages, int pageId, DOCCONTEXT& ctx, plat::ViewWindow* view)
{
    std::uint8_t* on = PageSwitch(SettingsOf(ctx), pageId);
    if (pages == nullptr || on == nullptr)
        return;
    *on = *on != 0 ? 0 : 1;
    if (*on != 0) {
        pages->AddOptionalPage(pageId, &ctx, view);
        return;
    }
    pages->RemoveOptionalPage(pageId);
    if (pageId == WorkPanelPages::kLightGuidePage)
        RemovePatterns(ctx);
}

bool ViewPageCommands::RemovePatterns(DOCCONTEXT& ctx)
{
    if (ctx.m_pCurrent == nullptr)
        return false;
    bool any = false;
    for (const CDocData* o = ctx.m_pCurrent->m_pFirst; o != nullptr && !any; o = o->m_pNext)
        any = o->m_pAttached != nullptr;
    if (!any)
        return false;
    // The patterns are part of the drawing's state: one step brings them
    // all back.
    CDocState::PushHistory(&ctx);
    CGeoBox area;
    area.SetEmpty();
    for (CDocData* o = ctx.m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
        for (const CDocData* a = o->m_pAttached; a != nullptr; a = a->m_pNext)
            area.Union(a->GetBoundRect());
        DeleteObjectList(o->m_pAttached);
    }
    CDocState::InvalidateSelectionArea(&ctx, area);
    return true;
}
