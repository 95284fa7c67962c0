// The drawing view's property-bar edits: the selection's position and size
// written into the X, Y, width and height edits (cut to thousandths of a
// millimetre), and an edit's typed value applied when the focus leaves it, as
// a move, a resize (keeping proportions if asked) or a rotation of the
// selection, each one undo step and refused beyond the world's range.
#include "OrvelView.h"

#include "MainFrame.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "qtplatform/NumberEdit.h"

#include <QLineEdit>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPositionEdit = 32853;
constexpr int kSizeEdit = 32831;
constexpr int kAngleEdit = 32855;
constexpr double kSameValue = 1e-7;

QString MillimetreText(double v)
{
    return QString::asprintf("%0.3f mm", v);
}

} // namespace

void COrvelView::SetPropertyText(int id, bool lower, const QString& text)
{
    CMainFrame* main = MainFrame();
    QLineEdit* edit = main != nullptr ? main->PropertyEdit(id, lower) : nullptr;
    if (edit != nullptr)
        edit->setText(text);
    if (id == kPositionEdit || id == kSizeEdit)
        m_shownTexts[(id == kSizeEdit ? 2 : 0) + (lower ? 1 : 0)] = text;
}

void COrvelView::ShowSelectionSize(double xmin, double xmax, double ymin, double ymax)
{
    ShowSelectionSize(CGeoBox(xmin, xmax, ymin, ymax));
}

void COrvelView::FollowSelection()
{
    const CGeoBox& box = Context().m_rcSelect;
    if (box.m_xmin != m_shownBox.m_xmin || box.m_xmax != m_shownBox.m_xmax || box.m_ymin != m_shownBox.m_ymin ||
        box.m_ymax != m_shownBox.m_ymax)
        ShowSelectionSize(box);
}

void COrvelView::ShowSelectionSize(const CGeoBox& box)
{
    m_shownBox = box;
    if (box.IsEmpty()) {
        for (int id : {kPositionEdit, kSizeEdit}) {
            SetPropertyText(id, false, QString());
            SetPropertyText(id, true, QString());
        }
        return;
    }
    // Cut, not rounded, to whole thousandths.
    const auto cut = [](double v) { return MillimetreText(static_cast<int>(v * 1000.0) * 0.001); };
    SetPropertyText(kPositionEdit, false, cut((box.m_xmin - kWorldOrigin) / 10.0));
    SetPropertyText(kPositionEdit, true, cut((box.m_ymin - kWorldOrigin) / 10.0));
    SetPropertyText(kSizeEdit, false, cut(box.Width() / 10.0));
    SetPropertyText(kSizeEdit, true, cut(box.Height() / 10.0));
}

double COrvelView::ReadEditNumber(const QString& text)
{
    double value = 0.0;
    return ReadLeadingNumber(text, value) ? value : 0.0;
}

double COrvelView::PropertyValue(int id, bool lower, double shown, double (*world)(double))
{
    CMainFrame* main = MainFrame();
    QLineEdit* edit = main != nullptr ? main->PropertyEdit(id, lower) : nullptr;
    if (edit == nullptr)
        return shown;
    const QString text = edit->text();
    // The text the view wrote stands for the exact value, not its cut.
    if (text == m_shownTexts[(id == kSizeEdit ? 2 : 0) + (lower ? 1 : 0)])
        return shown;
    return world(ReadEditNumber(text));
}

bool COrvelView::MoveSelectionTo(DOCCONTEXT* ctx, double x, double y)
{
    if (ctx->m_rcSelect.IsEmpty() || ctx->m_pCurrent == nullptr)
        return false;
    if (std::fabs(ctx->m_rcSelect.m_xmin - x) < kSameValue && std::fabs(ctx->m_rcSelect.m_ymin - y) < kSameValue)
        return false;
    const CGeoBox& box = ctx->m_rcSelect;
    if (!CGeoBox(x, x + box.Width(), y, y + box.Height()).InWorldRange()) {
        CDocState::ReportOutOfWorld(ctx);
        return false;
    }
    CDocState::PushHistory(ctx);
    const CGeoBox before = ctx->m_rcSelect;
    ctx->m_rcSelect.SetEmpty();
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() == 0)
            continue;
        obj->Move(before.BottomLeft(), CGeoPoint(x, y), ctx);
        ctx->m_rcSelect.Union(obj->GetBoundRect());
    }
    CDocState::InvalidateSelectionArea(ctx, before);
    CDocState::InvalidateSelectionArea(ctx, ctx->m_rcSelect);
    return true;
}

bool COrvelView::ResizeSelection(DOCCONTEXT* ctx, double w, double h, bool keep)
{
    if (ctx->m_rcSelect.IsEmpty() || ctx->m_pCurrent == nullptr)
        return false;
    const CGeoBox before = ctx->m_rcSelect;
    if (std::fabs(before.Width() - w) < kSameValue && std::fabs(before.Height() - h) < kSameValue)
        return false;
    double sx = before.Width() > 0.0 ? w / before.Width() : 1.0;
    double sy = before.Height() > 0.0 ? h / before.Height() : 1.0;
    if (keep) {
        // The edit that was changed decides; both changed: the smaller.
        if (std::fabs(sx - 1.0) < 0.001)
            sx = sy;
        else if (std::fabs(sy - 1.0) < 0.001)
            sy = sx;
        else
            sx = sy = std::min(sx, sy);
    }
    // The box scales with its objects about its own corner.
    if (!CGeoBox(before.m_xmin, before.m_xmin + before.Width() * sx, before.m_ymin,
                 before.m_ymin + before.Height() * sy)
             .InWorldRange()) {
        CDocState::ReportOutOfWorld(ctx);
        return false;
    }
    CDocState::PushHistory(ctx);
    ctx->m_rcSelect.SetEmpty();
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() == 0)
            continue;
        obj->ScaleNodes(before.m_xmin, before.m_ymin, sx, sy, ctx);
        ctx->m_rcSelect.Union(obj->GetBoundRect());
    }
    CDocState::InvalidateSelectionArea(ctx, before);
    CDocState::InvalidateSelectionArea(ctx, ctx->m_rcSelect);
    return true;
}

bool COrvelView::RotateSelection(DOCCONTEXT* ctx, double degrees)
{
    if (ctx->m_rcSelect.IsEmpty() || ctx->m_pCurrent == nullptr || !std::isfinite(degrees))
        return false;
    // fmod, not repeated steps of 360: a huge angle must not take forever.
    double a = std::fmod(degrees, 360.0);
    if (a < 0.0)
        a += 360.0;
    if (a >= 360.0)
        a -= 360.0;
    // A whole turn changes nothing and takes no step.
    if (a == 0.0)
        return false;
    const double radians = a * 3.141592653589793 / 180.0;
    CDocState::PushHistory(ctx);
    const CGeoBox before = ctx->m_rcSelect;
    const CGeoPoint centre((before.m_xmin + before.m_xmax) / 2.0, (before.m_ymin + before.m_ymax) / 2.0);
    ctx->m_rcSelect.SetEmpty();
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() == 0)
            continue;
        obj->Rotate(centre, radians, ctx);
        ctx->m_rcSelect.Union(obj->GetBoundRect());
    }
    CDocState::InvalidateSelectionArea(ctx, before);
    CDocState::InvalidateSelectionArea(ctx, ctx->m_rcSelect);
    return true;
}

void COrvelView::ApplyPropertyEdit(int id)
{
    CMainFrame* main = MainFrame();
    if (main == nullptr || m_document == nullptr)
        return;
    SyncToolWithHistory();
    DOCCONTEXT& ctx = Context();
    const CGeoBox box = ctx.m_rcSelect;
    if (id == kPositionEdit) {
        const auto world = [](double mm) { return mm * 10.0 + kWorldOrigin; };
        // A refused move shows the selection's own place again.
        if (!MoveSelectionTo(&ctx, PropertyValue(id, false, box.m_xmin, world),
                             PropertyValue(id, true, box.m_ymin, world)))
            ShowSelectionSize(ctx.m_rcSelect);
        FollowSelection();
    } else if (id == kSizeEdit) {
        const auto world = [](double mm) { return mm * 10.0; };
        ResizeSelection(&ctx, PropertyValue(id, false, box.Width(), world), PropertyValue(id, true, box.Height(), world),
                        ctx.m_bResizeFlag != 0);
        if (!ctx.m_rcSelect.IsEmpty()) {
            SetPropertyText(kSizeEdit, false, MillimetreText(ctx.m_rcSelect.Width() / 10.0));
            SetPropertyText(kSizeEdit, true, MillimetreText(ctx.m_rcSelect.Height() / 10.0));
        }
    } else if (id == kAngleEdit) {
        const double a = ReadEditNumber(main->PropertyEdit(id)->text());
        if (std::fabs(a) > 0.001)
            RotateSelection(&ctx, a);
        SetPropertyText(kAngleEdit, false, QStringLiteral("0"));
        FollowSelection();
    } else {
        return;
    }
    CurrentTool()->OnSetCursor(&ctx);
}

bool COrvelView::IsViewWidget(const QWidget* widget) const
{
    return widget != nullptr && (widget == this || widget == viewport());
}

void COrvelView::OnFocusChanged(QWidget* old, QWidget* now)
{
    CMainFrame* main = MainFrame();
    if (main == nullptr || IsViewWidget(old) == IsViewWidget(now))
        return;
    if (IsViewWidget(old)) {
        if (now != nullptr)
            main->m_nFocusEditId = ControlIdOf(now);
        return;
    }
    const int id = ControlIdOf(old);
    if (old != nullptr && id == main->m_nFocusEditId && IsPropertyEdit(id))
        ApplyPropertyEdit(id);
}

bool COrvelView::IsPropertyEdit(int id)
{
    return id == 32853 || id == 32831 || id == 32855;
}

int COrvelView::ControlIdOf(const QWidget* widget)
{
    if (widget == nullptr)
        return 0;
    if (dynamic_cast<const COrvelView*>(widget) != nullptr ||
        dynamic_cast<const COrvelView*>(widget->parentWidget()) != nullptr)
        return kViewControlId;
    return widget->objectName().toInt();
}
