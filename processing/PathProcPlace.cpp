// Placing the selection on the machine table: against the origin line, on
// the table's centre or against the far edge.
#include "PathProc.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/MachineNode.h"
#include "settings/ShowProcess.h"

#include <cmath>

std::uint32_t CPathProc::PlaceOnTable(DOCCONTEXT* ctx, std::uint32_t mode)
{
    if (ctx == nullptr)
        return 0;
    CGeoBox box = ctx->m_rcSelect;
    if (box.IsEmpty()) {
        CDocState base;
        base.SelectAll(ctx, true);
        box = ctx->m_rcSelect;
        if (box.IsEmpty())
            return 1;
    }
    // The table of the machine in use, as the work-area outline shows it.
    const MachineNode* machine = GetCurrentMachine(CDocData::SettingsOf(ctx));
    if (machine == nullptr)
        return 0;
    const double width = machine->m_xsize * kWorldPerMm;
    const double height = machine->m_ysize * kWorldPerMm;
    double dx = 0.0;
    double dy = 0.0;
    if (mode == 0) {
        dy = kWorldOrigin - box.m_ymin;
    } else if (mode == 1) {
        const CGeoPoint c = box.Center();
        dx = kWorldOrigin + width / 2.0 - c.m_x;
        dy = kWorldOrigin + height / 2.0 - c.m_y;
    } else if (mode == 2) {
        dy = kWorldOrigin + height - box.m_ymax;
    }
    // A box that is not a box of numbers gives no move to make.
    if (!std::isfinite(dx) || !std::isfinite(dy) || ctx->m_pCurrent == nullptr)
        return 1;

    CDocState base;
    CDocState* tool = &CurrentToolOr(ctx, base);
    CShowProcess progress;
    progress.Start(static_cast<std::int32_t>(tool->CountSelected(ctx)));
    bool first = true;
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() == 0)
            continue;
        const CGeoPoint from = o->GetBoundRect().BottomLeft();
        o->Move(from, CGeoPoint(from.m_x + dx, from.m_y + dy), ctx);
        if (first)
            ctx->m_rcSelect = o->GetBoundRect();
        else
            ctx->m_rcSelect.Union(o->GetBoundRect());
        first = false;
        progress.Step();
    }
    return 1;
}
