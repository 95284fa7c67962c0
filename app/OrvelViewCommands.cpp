// The drawing view's own commands: the tool buttons and switching tools,
// undo and redo, the display toggles, keep proportions, the start point,
// ending and closing paths, the internal clipboard, Select All, placing the
// selection on the table, grouping, aligning, mirroring and deleting.
#include "OrvelView.h"

#include "MainFrame.h"
#include "qtplatform/Resources.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/LeadInOut.h"
#include "processing/PathProc.h"
#include "processing/SelectionAlign.h"
#include "processing/SelectionGroups.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"
#include "tools/DocTools.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <array>
#include <vector>

namespace {

constexpr double kHitPixels = 3.0;

// Commands of the view (those of the tools come from the tool table).
namespace vc {
constexpr plat::UINT ZoomWorkArea = 32789, ZoomAll = 32790, ShowOrder = 32817, ShowTravel = 32867,
                     ShowStart = 32868, KeepProportions = 32852, SetStartPoint = 32822, EndPathOpen = 32880,
                     EndPathClosed = 32881, CloseSelected = 32891, DeleteSelected = 32892, PlaceLowerEdge = 32897,
                     PlaceUpperEdge = 32898, PlaceCentre = 32899, Group = 32860, Ungroup = 32861,
                     UngroupAll = 32862, MirrorLeftRight = 32833, MirrorTopBottom = 32834;
}

// The alignment commands with their horizontal and vertical modes.
struct AlignCommand {
    plat::UINT command;
    int horizontal;
    int vertical;
};
constexpr std::array<AlignCommand, 6> kAlignCommands = {
    {{32835, 1, 0}, {32839, 2, 0}, {32837, 3, 0}, {32838, 0, 1}, {32836, 0, 2}, {32840, 0, 3}}};

// Every node of an object and of its children, in order: what a change of
// its start point or a closing changes.
void TraceNodes(CDocData* obj, std::vector<double>& out)
{
    out.push_back(obj->m_bClosed);
    ForEachNode(obj->m_pNodes, [&](DOCNODE& n) {
        out.push_back(n.m_x);
        out.push_back(n.m_y);
        out.push_back(n.m_nKind);
    });
    if (CDocData** children = obj->ChildList()) {
        for (CDocData* c = *children; c != nullptr; c = c->m_pNext)
            TraceNodes(c, out);
    }
}

} // namespace

void COrvelView::RegisterCommands()
{
    const auto isTool = [this](plat::UINT id) {
        return [this, id](CmdUI& ui) { ui.SetCheck(m_nToolCommand == static_cast<int>(id) ? 1 : 0); };
    };
    for (std::int32_t index = 0; index < kToolCount; ++index) {
        const plat::UINT id = ToolCommand(index);
        On(id, [this, index] { SwitchTool(index); }, isTool(id));
    }
    On(vc::ZoomWorkArea, [this] { ZoomToWorkArea(); });
    On(vc::ZoomAll, [this] { ZoomToAll(); });
    On(cmd::EditUndo, [this] { OnUndo(); });
    On(cmd::FileImport, [this] { OnFileImport(); });
    On(cmd::EditRedo, [this] { OnRedo(); });

    const auto settings = [this]() -> SoftwareSettings& { return SettingsOf(Context()); };
    On(
        vc::ShowOrder, [this, settings] { ToggleDisplay(settings().m_bShowOrder); },
        [settings](CmdUI& ui) { ui.SetCheck(settings().m_bShowOrder != 0 ? 1 : 0); });
    On(
        vc::ShowTravel, [this, settings] { ToggleDisplay(settings().m_bShowTravel); },
        [settings](CmdUI& ui) { ui.SetCheck(settings().m_bShowTravel != 0 ? 1 : 0); });
    On(
        vc::ShowStart, [this, settings] { ToggleDisplay(settings().m_bShowDirection, &settings().m_bShowStart); },
        [settings](CmdUI& ui) { ui.SetCheck(settings().m_bShowDirection != 0 ? 1 : 0); });
    On(
        vc::KeepProportions,
        [this] {
            DOCCONTEXT& ctx = Context();
            ctx.m_bResizeFlag = ctx.m_bResizeFlag != 0 ? 0 : 1;
            if (CMainFrame* main = MainFrame())
                main->Action(vc::KeepProportions)->setIcon(main->ProportionIcon(ctx.m_bResizeFlag != 0));
        },
        [this](CmdUI& ui) { ui.SetCheck(Context().m_bResizeFlag != 0 ? 1 : 0); });

    On(vc::SetStartPoint, [this] { OnSetStartPoint(); });
    On(vc::EndPathOpen, [this] {
        const EventDC dc(*this);
        CurrentTool()->EndPathOpen(&Context());
    });
    On(vc::EndPathClosed, [this] {
        const EventDC dc(*this);
        CurrentTool()->EndPathClosed(&Context());
    });
    On(vc::CloseSelected, [this] { OnCloseSelected(); });

    // The internal clipboard works only while the view has the keys: with
    // a property edit in use these keys are the edit's.
    On(cmd::EditCut, [this] {
        if (HasKeyboardFocus())
            CPathProc::CutSelection(&Context());
    });
    On(cmd::EditCopy, [this] {
        if (HasKeyboardFocus())
            CPathProc::CopySelection(&Context(), -1);
    });
    On(cmd::EditPaste, [this] {
        if (!HasKeyboardFocus())
            return;
        CurrentTool()->SelectAll(&Context(), false);
        CPathProc::PasteSelection(&Context(), 0);
    });
    // Select All, the platform's key only: every object, under the select
    // tool (a shape being drawn ends). In an edit of the window the key
    // keeps selecting the edit's text.
    On(cmd::EditSelectAll, [this] {
        if (!HasKeyboardFocus()) {
            if (auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget()))
                edit->selectAll();
            return;
        }
        if (Context().m_nTool != 0)
            SwitchTool(0);
        CurrentTool()->SelectAll(&Context(), true);
        InvalidateRect(nullptr, true);
        FollowSelection();
    });
    On(vc::PlaceLowerEdge, [this] { PlaceSelection(0); });
    On(vc::PlaceUpperEdge, [this] { PlaceSelection(2); });
    On(vc::PlaceCentre, [this] { PlaceSelection(1); });
    On(vc::Group, [this] { GroupSelection(); });
    On(vc::Ungroup, [this] { UngroupSelection(); });
    On(vc::UngroupAll, [this] { UngroupAll(); });
    for (const AlignCommand& align : kAlignCommands)
        On(align.command, [this, align] { AlignSelection(align.horizontal, align.vertical); });
    On(vc::MirrorLeftRight, [this] { MirrorSelection(true, false); });
    On(vc::MirrorTopBottom, [this] { MirrorSelection(false, true); });
    On(vc::DeleteSelected, [this] {
        // The current tool deletes, as if Delete were pressed in the view.
        QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier));
        QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier));
    });
}

void COrvelView::SelectToolIn(plat::ViewWindow* view)
{
    if (auto* drawing = dynamic_cast<COrvelView*>(view))
        drawing->OnCommand(kSelectToolCommand);
}

void COrvelView::SwitchTool(int index)
{
    DOCCONTEXT& ctx = Context();
    SyncToolWithHistory();
    const plat::UINT command = ToolCommand(index);
    if (index == TOOL_ZOOM) {
        // The zoom tool keeps the other tools as they are.
        m_nToolCommand = static_cast<int>(command);
        ctx.m_nTool = index;
        return;
    }
    if (index == TOOL_PAN) {
        m_nToolCommand = static_cast<int>(command);
        ctx.m_nTool = index;
        CurrentTool()->Reset(0, &ctx);
        m_leftDown = false;
        return;
    }
    const CGeoBox oldSelect = ctx.m_rcSelect;
    CDocState* old = CurrentTool();
    // A shape in progress or a drag may have left feedback on the screen.
    const bool feedback = m_leftDown || old->m_bButtonDown != 0 || old->m_pNodes != nullptr;
    old->Reset(0, &ctx);
    m_leftDown = false;
    m_nToolCommand = static_cast<int>(command);
    ctx.m_nTool = index;
    CurrentTool()->Reset(0, &ctx);
    if (index == TOOL_SELECT || index == TOOL_EDIT_NODE) {
        CurrentTool()->DeselectAll(&ctx);
        CDocState::InvalidateSelectionArea(&ctx, oldSelect);
    }
    if (feedback)
        InvalidateRect(nullptr, false);
}

void COrvelView::OnUndo()
{
    OnUndoRedo(true);
}

void COrvelView::OnRedo()
{
    OnUndoRedo(false);
}

void COrvelView::OnUndoRedo(bool undo)
{
    DOCCONTEXT& ctx = Context();
    const CGeoBox oldSelect = ctx.m_rcSelect;
    if (!(undo ? CDocState::Undo(&ctx) : CDocState::Redo(&ctx)))
        return;
    // The tool may point into the snapshot just left.
    m_seenHistoryMoves = ctx.m_nHistoryMoves;
    CurrentTool()->Reset(0, &ctx);
    m_leftDown = false;
    CurrentTool()->UpdateSelectionRect(&ctx);
    CDocState::InvalidateSelectionArea(&ctx, oldSelect);
    CDocState::InvalidateSelectionArea(&ctx, ctx.m_rcSelect);
    InvalidateRect(nullptr, true);
    RefreshLayerList();
    FollowSelection();
}

void COrvelView::ToggleDisplay(std::uint8_t& flag, std::uint8_t* second)
{
    flag = flag != 0 ? 0 : 1;
    if (second != nullptr)
        *second = *second != 0 ? 0 : 1;
    InvalidateRect(nullptr, true);
}

void COrvelView::OnSetStartPoint()
{
    DOCCONTEXT& ctx = Context();
    if (ctx.m_pCurrent == nullptr)
        return;
    const double tol = kHitPixels / ctx.m_dZoom;
    const double x = ctx.m_ptMouse.m_x, y = ctx.m_ptMouse.m_y;
    // No object can take a start point farther than the tolerance from
    // its box; those are passed over before a step is taken.
    const CGeoBox reach(x - tol, x + tol, y - tol, y + tol);
    CDocData* candidate = nullptr;
    for (CDocData* obj = ctx.m_pCurrent->m_pFirst; obj != nullptr && candidate == nullptr; obj = obj->m_pNext) {
        if (obj->m_rcBound.IsEmpty() || obj->m_rcBound.Intersects(reach, 0.0))
            candidate = obj;
    }
    if (candidate == nullptr)
        return;
    // The object is changed in place: one step, taken back when the start
    // point it takes is the one it had.
    CDocState::PendingStep step(&ctx);
    CDocData* changed = nullptr;
    CGeoBox before;
    for (CDocData* obj = candidate; obj != nullptr; obj = obj->m_pNext) {
        if (!obj->m_rcBound.IsEmpty() && !obj->m_rcBound.Intersects(reach, 0.0))
            continue;
        std::vector<double> trace;
        TraceNodes(obj, trace);
        before = BoxWithLeads(*obj);
        if (!obj->SetStartPoint(x, y, tol))
            continue;
        std::vector<double> after;
        TraceNodes(obj, after);
        if (after != trace)
            changed = obj;
        break;
    }
    if (changed == nullptr) {
        step.Withdraw();
        return;
    }
    if (changed->m_pLeadInOut != nullptr)
        ApplyLeadInOut(&ctx, changed);
    if (changed->m_pEndGap != nullptr)
        SetEndGap(changed, changed->m_pEndGap->m_dGap, changed->m_pEndGap->m_bOn);
    // The lead lines move with the start: their old and new places.
    before.Union(BoxWithLeads(*changed));
    CDocState::InvalidateSelectionArea(&ctx, before);
}

bool COrvelView::HasKeyboardFocus() const
{
    return hasFocus() || viewport()->hasFocus();
}

void COrvelView::PlaceSelection(std::uint32_t mode)
{
    DOCCONTEXT& ctx = Context();
    const SoftwareSettings& settings = CDocData::SettingsOf(&ctx);
    // The table is the current machine's; without one there is none.
    const MachineNode* machine = GetCurrentMachine(settings);
    if (machine == nullptr || ctx.m_pCurrent == nullptr)
        return;
    const CGeoBox kept = ctx.m_rcSelect;
    // Where the objects to be placed are now: the selected ones, or all of
    // them when none is (the placement then selects all).
    const bool any = CurrentTool()->HasSelection(&ctx);
    CGeoBox before;
    for (CDocData* obj = ctx.m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (!any || obj->IsSelected() != 0)
            before.Union(obj->GetBoundRect());
    }
    {
        CDocState::PendingStep step(&ctx);
        CPathProc::PlaceOnTable(&ctx, mode);
        // A selection already in place takes no undo step.
        if (before.IsEmpty() || !ctx.m_rcSelect.IsDifferent(before))
            step.Withdraw();
    }
    if (!kept.IsEmpty() && kept.Height() >= machine->m_ysize * kWorldPerMm &&
        kept.Width() >= machine->m_xsize * kWorldPerMm)
        ZoomToAll();
    else
        ZoomToWorkArea();
}

bool COrvelView::GroupSelection()
{
    SyncToolWithHistory();
    return CSelectionGroups::GroupCommand(&Context());
}

bool COrvelView::UngroupSelection()
{
    SyncToolWithHistory();
    return CSelectionGroups::UngroupCommand(&Context(), false);
}

bool COrvelView::UngroupAll()
{
    SyncToolWithHistory();
    return CSelectionGroups::UngroupCommand(&Context(), true);
}

bool COrvelView::AlignSelection(int horizontal, int vertical)
{
    SyncToolWithHistory();
    if (!CSelectionAlign::AlignSelection(&Context(), horizontal, vertical))
        return false;
    FollowSelection();
    return true;
}

bool COrvelView::MirrorSelection(bool horizontal, bool vertical)
{
    SyncToolWithHistory();
    if (!CSelectionAlign::MirrorSelection(&Context(), horizontal, vertical))
        return false;
    FollowSelection();
    return true;
}

void COrvelView::OnCloseSelected()
{
    DOCCONTEXT& ctx = Context();
    if (ctx.m_rcSelect.IsEmpty() || ctx.m_pCurrent == nullptr)
        return;
    std::vector<double> before;
    for (CDocData* obj = ctx.m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() != 0)
            TraceNodes(obj, before);
    }
    CDocState::PendingStep step(&ctx);
    std::vector<double> after;
    for (CDocData* obj = ctx.m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() != 0) {
            obj->Close();
            TraceNodes(obj, after);
        }
    }
    if (after == before)
        step.Withdraw();
    CDocState::InvalidateSelectionArea(&ctx, ctx.m_rcSelect);
}
