#include "ViewPathCommands.h"

#include "OrvelView.h"
#include "importexport/BmpLoader.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataBitmap.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/GeoPoint.h"
#include "model/LeadInOut.h"
#include "platform/Prompt.h"
#include "processing/PathProc.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "settings/ShowProcess.h"
#include "settings/SoftwareSettings.h"
#include "ui/EnableLinkNearDlg.h"
#include "ui/ParamDashedSet.h"
#include "ui/ParamDeleteRepeat.h"
#include "ui/ParamScaleSlot.h"
#include "ui/RbtnNoneExtendDlg.h"
#include "ui/RbtnNoneUniteDlg.h"

#include <QComboBox>

#include <algorithm>
#include <climits>
#include <functional>
#include <numbers>
#include <set>
#include <string>
#include <vector>

namespace {

// Merge polylines: node reduction, then smoothing, with fixed limits.
constexpr double kReduceLength = 2.0;
constexpr double kReduceAngle = std::numbers::pi / 2.0;
constexpr std::int32_t kSmoothSteps = 2;
constexpr double kSmoothTolerance = 0.1;
constexpr double kFirstDash = 1.0;

CDocState* ToolOf(DOCCONTEXT& ctx)
{
    static CDocState base;
    return &CurrentToolOr(&ctx, base);
}

std::uint32_t CountSelected(DOCCONTEXT& ctx)
{
    return ToolOf(ctx)->CountSelected(&ctx);
}

// Progress over a count of steps.
void StartProgress(CShowProcess& progress, std::uint32_t steps)
{
    progress.Start(static_cast<std::int32_t>(std::min<std::uint32_t>(steps, INT_MAX)));
}

// Shows entry k of the error texts and answers false when fewer than `least`
// objects are selected.
bool EnoughSelected(DOCCONTEXT& ctx, std::uint32_t least, int text)
{
    if (CountSelected(ctx) >= least)
        return true;
    plat::MessageBox(LanguageText(RegisteredLanguageTable(), u"phase15:error-hint", text));
    return false;
}

CDocData* FirstObject(DOCCONTEXT& ctx)
{
    return ctx.m_pCurrent != nullptr ? ctx.m_pCurrent->m_pFirst : nullptr;
}

// The selection box brought up to date with the objects after a change.
CGeoBox NewSelectionBox(DOCCONTEXT& ctx)
{
    ToolOf(ctx)->UpdateSelectionRect(&ctx);
    return ctx.m_rcSelect;
}

void Repaint(DOCCONTEXT& ctx, CGeoBox box)
{
    CDocState::InvalidateSelectionArea(&ctx, box);
}

void RepaintAll(DOCCONTEXT& ctx)
{
    if (ctx.m_pView != nullptr)
        ctx.m_pView->InvalidateRect(nullptr, true);
}

void RefreshOrderList(DOCCONTEXT& ctx)
{
    if (SettingsOf(ctx).m_bOrderPage != 0 && ctx.m_pView != nullptr)
        ctx.m_pView->RefreshOrderList();
}

CGeoBox Joined(CGeoBox a, const CGeoBox& b)
{
    a.Union(b);
    return a;
}

} // namespace

void ViewPathCommands::Register(COrvelView& view)
{
    COrvelView* v = &view;
    const auto both = [v](plat::UINT button, plat::UINT menu, const std::function<void()>& run) {
        v->On(button, run);
        v->On(menu, run);
    };
    both(kMergePolylines, kMergePolylinesMenu, [v] { MergePolylines(v->Context()); });
    both(kMergeAdjacent, kMergeAdjacentMenu, [v] { MergeAdjacent(v->Context(), v); });
    both(kDeleteOverlaps, kDeleteOverlapsMenu, [v] { DeleteOverlaps(v->Context(), v); });
    both(kDashedLines, kDashedLinesMenu, [v] { DashedLines(v->Context(), v); });
    both(kReverse, kReverseMenu, [v] { Reverse(v->Context()); });
    both(kContourOffset, kContourOffsetMenu, [v] { ContourOffset(v->Context(), v); });
    both(kSmooth, kSmoothMenu, [v] { Smooth(v->Context()); });
    both(kInvertBitmaps, kInvertBitmapsMenu, [v] { InvertBitmaps(v->Context()); });
    both(kLeadLines, kLeadLinesMenu, [v] { LeadLines(v->Context(), v); });
    both(kMicroJoints, kMicroJointsMenu, [v] { MicroJoints(v->Context(), v); });
    v->On(kAssistSelector, [v] {
        const QComboBox* combo = v->window()->findChild<QComboBox*>(QString::number(kAssistSelector));
        SetAssistMode(v->Context(), combo != nullptr ? combo->currentIndex() : 0);
        // The keyboard goes back to the drawing.
        v->setFocus();
    });
}

void ViewPathCommands::MergePolylines(DOCCONTEXT& ctx)
{
    if (!EnoughSelected(ctx, 1, kSelectOneText))
        return;
    const CGeoBox before = ctx.m_rcSelect;
    CDocState::PushHistory(&ctx);
    CPathProc::ReduceNodes(&ctx, kReduceLength, kReduceAngle);
    CPathProc::SmoothCurves(&ctx, kSmoothSteps, kSmoothTolerance);
    // Node reduction alone may move outlines, so the area is repainted
    // whether or not the smoothing changed anything.
    Repaint(ctx, Joined(before, CDocState::GetSelectionBounds(FirstObject(ctx))));
}

void ViewPathCommands::MergeAdjacent(DOCCONTEXT& ctx, QWidget* parent)
{
    if (!EnoughSelected(ctx, 2, kSelectTwoText))
        return;
    SoftwareSettings& settings = SettingsOf(ctx);
    const CReadParamFile files;
    files.ReadSoftwareParam(settings);
    CRbtnNoneUniteDlg dlg(parent);
    dlg.m_dDistance = settings.comebin_dis;
    dlg.m_bDeleteCrossings = settings.use_comebin != 0 ? 1 : 0;
    if (dlg.DoModal() != plat::IDOK)
        return;
    settings.comebin_dis = dlg.m_dDistance;
    settings.use_comebin = dlg.m_bDeleteCrossings != 0 ? 1 : 0;
    files.WriteSoftwareParam(settings);
    CDocState::PushHistory(&ctx);
    // Every open curve of the drawing takes part, selected or not.
    CPathProc::UniteCurves(ctx.m_pCurrent->m_pFirst, settings.comebin_dis, settings.use_comebin, &ctx);
    NewSelectionBox(ctx);
    RepaintAll(ctx);
    RefreshOrderList(ctx);
}

void ViewPathCommands::DeleteOverlaps(DOCCONTEXT& ctx, QWidget* parent)
{
    if (!EnoughSelected(ctx, 1, kSelectOneText))
        return;
    CParamDeleteRepeat dlg(parent);
    if (dlg.DoModal() != plat::IDOK)
        return;
    const CGeoBox before = ctx.m_rcSelect;
    CDocState::PushHistory(&ctx);
    CPathProc::DeleteRepeatedLines(&ctx, dlg.m_dTolerance * kWorldPerMm,
                                   static_cast<std::uint8_t>(dlg.m_bWithinLayer != 0 ? 1 : 0));
    Repaint(ctx, Joined(before, ctx.m_rcSelect));
    RefreshOrderList(ctx);
}

void ViewPathCommands::DashedLines(DOCCONTEXT& ctx, QWidget* parent)
{
    if (!EnoughSelected(ctx, 1, kSelectOneText))
        return;
    CParamDashedSet dlg(kFirstDash, kFirstDash, parent);
    if (dlg.DoModal() != plat::IDOK)
        return;
    const CGeoBox before = ctx.m_rcSelect;
    CDocState::PushHistory(&ctx);
    CPathProc::MakeDashedLines(&ctx, dlg.m_dSolid * kWorldPerMm, dlg.m_dGap * kWorldPerMm);
    Repaint(ctx, Joined(before, NewSelectionBox(ctx)));
    RefreshOrderList(ctx);
}

void ViewPathCommands::Reverse(DOCCONTEXT& ctx)
{
    CDocData* first = FirstObject(ctx);
    CShowProcess progress;
    StartProgress(progress, CountSelected(ctx));
    bool stepped = false;
    for (CDocData* o = first; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() == 0)
            continue;
        if (!stepped) {
            CDocState::PushHistory(&ctx);
            stepped = true;
        }
        CPathProc::ReverseCurve(o);
        if (o->m_pLeadInOut != nullptr)
            ApplyLeadInOut(&ctx, o);
        progress.Step();
    }
    if (stepped)
        Repaint(ctx, Joined(ctx.m_rcSelect, GetObjectsBounds(first)));
}

void ViewPathCommands::ContourOffset(DOCCONTEXT& ctx, QWidget* parent)
{
    if (ctx.m_rcSelect.IsEmpty())
        return;
    CParamScaleSlot dlg(parent);
    if (dlg.DoModal() != plat::IDOK)
        return;
    const CGeoBox before = ctx.m_rcSelect;
    CDocState::PushHistory(&ctx);
    // Outward and automatic both offset outward.
    CPathProc::OffsetSelection(&ctx, dlg.m_dDistance * kWorldPerMm, dlg.m_nMode != 0 ? 1 : 0,
                               static_cast<std::uint8_t>(dlg.m_bDeleteSource != 0 ? 1 : 0));
    Repaint(ctx, before);
    Repaint(ctx, NewSelectionBox(ctx));
    RefreshOrderList(ctx);
}

void ViewPathCommands::Smooth(DOCCONTEXT& ctx)
{
    if (ctx.m_rcSelect.IsEmpty())
        return;
    const CGeoBox before = ctx.m_rcSelect;
    CDocState::PushHistory(&ctx);
    CPathProc::FitCurves(&ctx);
    Repaint(ctx, before);
    Repaint(ctx, NewSelectionBox(ctx));
}

void ViewPathCommands::InvertBitmaps(DOCCONTEXT& ctx)
{
    if (ctx.m_rcSelect.IsEmpty())
        return;
    std::vector<const CDocDataBitmap*> images;
    for (const CDocData* o = FirstObject(ctx); o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() != 0 && o->GetType() == MT_BITMAP)
            images.push_back(static_cast<const CDocDataBitmap*>(o));
    }
    if (images.empty())
        return;
    CShowProcess progress;
    StartProgress(progress, static_cast<std::uint32_t>(images.size()));
    // Objects that share a file invert it once: a second inversion would
    // bring the pixels back.
    std::set<std::string> done;
    for (const CDocDataBitmap* image : images) {
        if (done.insert(image->m_strPath).second)
            CBmpLoader::InvertImage(image->m_strPath);
        progress.Step();
    }
    Repaint(ctx, ctx.m_rcSelect);
}

void ViewPathCommands::LeadLines(DOCCONTEXT& ctx, QWidget* parent)
{
    if (!EnoughSelected(ctx, 1, kSelectOneText))
        return;
    // The dialog builds the leads, with its own undo step, when it applies.
    CRbtnNoneExtendDlg dlg(&ctx, parent);
    dlg.DoModal();
}

void ViewPathCommands::MicroJoints(DOCCONTEXT& ctx, QWidget* parent)
{
    CEnableLinkNearDlg dlg(parent);
    for (const CDocData* o = FirstObject(ctx); o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() != 0 && o->m_pEndGap != nullptr && o->m_pEndGap->m_bOn != 0) {
            dlg.m_bEnable = 1;
            dlg.m_dLength = o->m_pEndGap->m_dGap;
            break;
        }
    }
    const CGeoBox before = ctx.m_rcSelect;
    if (dlg.DoModal() != plat::IDOK)
        return;
    bool stepped = false;
    for (CDocData* o = FirstObject(ctx); o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() == 0)
            continue;
        if (!stepped) {
            CDocState::PushHistory(&ctx);
            stepped = true;
        }
        SetEndGap(o, dlg.m_dLength, dlg.m_bEnable != 0 ? 1 : 0);
    }
    Repaint(ctx, before);
}

void ViewPathCommands::SetAssistMode(DOCCONTEXT& ctx, int index)
{
    SoftwareSettings& settings = SettingsOf(ctx);
    settings.m_assist_mode = index != 0 ? 1 : 0;
    const std::uint32_t selected = CountSelected(ctx);
    if (selected == 0)
        return;
    bool anyLeads = false;
    for (const CDocData* o = FirstObject(ctx); o != nullptr && !anyLeads; o = o->m_pNext)
        anyLeads = o->IsSelected() != 0 && o->m_pLeadInOut != nullptr;
    // Only objects with leads change.
    if (anyLeads)
        CDocState::PushHistory(&ctx);
    CShowProcess progress;
    StartProgress(progress, selected);
    CGeoBox area;
    area.SetEmpty();
    auto addLeadPoints = [&area](const LEADINOUT& rec) {
        if (rec.m_bLeadIn != 0)
            area.Union(CGeoBox(rec.m_dInX, rec.m_dInX, rec.m_dInY, rec.m_dInY));
        if (rec.m_bLeadOut != 0)
            area.Union(CGeoBox(rec.m_dOutX, rec.m_dOutX, rec.m_dOutY, rec.m_dOutY));
    };
    for (CDocData* o = FirstObject(ctx); o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() == 0 || o->m_pLeadInOut == nullptr)
            continue;
        area.Union(o->GetBoundRect());
        addLeadPoints(*o->m_pLeadInOut);
        o->m_pLeadInOut->m_nKind = settings.m_assist_mode;
        // Groups and texts hand the record on to their children.
        SetLeadInOut(o, o->m_pLeadInOut);
        ApplyLeadInOut(&ctx, o);
        addLeadPoints(*o->m_pLeadInOut);
        progress.Step();
    }
    Repaint(ctx, area);
}
