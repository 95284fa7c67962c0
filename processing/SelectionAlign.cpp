#include "SelectionAlign.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/ShowProcess.h"

#include <cstdint>

namespace {

// The point of a box that a mode lines up: 1 the minimum corner, 2 the
// centre, 3 the maximum corner.
CGeoPoint Anchor(const CGeoBox& box, int mode)
{
    switch (mode) {
    case 1:
        return CGeoPoint(box.m_xmin, box.m_ymin);
    case 3:
        return CGeoPoint(box.m_xmax, box.m_ymax);
    default:
        return box.Center();
    }
}

} // namespace

bool CSelectionAlign::AlignSelection(DOCCONTEXT* ctx, int horizontal, int vertical)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return false;
    CDocState base;
    const std::uint32_t count = CurrentToolOr(ctx, base).CountSelected(ctx);
    if (count < 2)
        return false;
    CDocState::PushHistory(ctx);
    const CGeoBox before = ctx->m_rcSelect;
    ctx->m_rcSelect.SetEmpty();
    CShowProcess progress;
    progress.Start(static_cast<std::int32_t>(count));
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() == 0)
            continue;
        if (horizontal >= 1 && horizontal <= 3) {
            const CGeoPoint from = Anchor(o->GetBoundRect(), horizontal);
            o->Move(from, CGeoPoint(Anchor(before, horizontal).m_x, from.m_y), ctx);
        }
        if (vertical >= 1 && vertical <= 3) {
            const CGeoPoint from = Anchor(o->GetBoundRect(), vertical);
            o->Move(from, CGeoPoint(from.m_x, Anchor(before, vertical).m_y), ctx);
        }
        ctx->m_rcSelect.Union(o->GetBoundRect());
        progress.Step();
    }
    CDocState::InvalidateSelectionArea(ctx, before);
    CDocState::InvalidateSelectionArea(ctx, ctx->m_rcSelect);
    return true;
}

bool CSelectionAlign::MirrorSelection(DOCCONTEXT* ctx, bool horizontal, bool vertical)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_rcSelect.IsEmpty())
        return false;
    CDocState::PushHistory(ctx);
    const CGeoBox before = ctx->m_rcSelect;
    const CGeoPoint centre = before.Center();
    ctx->m_rcSelect.SetEmpty();
    CDocState base;
    CShowProcess progress;
    progress.Start(static_cast<std::int32_t>(CurrentToolOr(ctx, base).CountSelected(ctx)));
    CDocData* first = ctx->m_pCurrent->m_pFirst;
    for (CDocData* o = first; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() == 0)
            continue;
        o->Flip(centre, horizontal, vertical, ctx);
        ctx->m_rcSelect.Union(o->GetBoundRect());
        progress.Step();
    }
    // The flipped selection keeps the upper-left corner of the old box:
    // array copies and leads make a box that is not symmetric about its
    // centre.
    const CGeoPoint from(ctx->m_rcSelect.m_xmin, ctx->m_rcSelect.m_ymin);
    const CGeoPoint to(before.m_xmin, before.m_ymin);
    ctx->m_rcSelect.SetEmpty();
    for (CDocData* o = first; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() == 0)
            continue;
        o->Move(from, to, ctx);
        ctx->m_rcSelect.Union(o->GetBoundRect());
    }
    CGeoBox area = before;
    area.Union(ctx->m_rcSelect);
    CDocState::InvalidateSelectionArea(ctx, area);
    return true;
}
