#include "DocStateDrawBezier.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataBezier.h"
#include "settings/SoftwareSettings.h"

#include <cmath>

namespace {

constexpr std::uint32_t kKeyEnter = 13;
constexpr std::uint32_t kKeyEscape = 27;
constexpr std::uint32_t kKeySpace = 32;
constexpr std::uint32_t kKeyDelete = 46;
// A virtual key carries no case: 'Z' stands for z too.
constexpr std::uint32_t kKeyZ = 90;

// "end" closes the curve when its ends are this close; "close" adds no
// closing segment when they are within the smaller one.
constexpr double kEndCloseTol = 0.01;
constexpr double kCloseSameTol = 0.001;
// Pixels round what the tool drops that are repainted.
constexpr double kDropGrow = 10.0;
constexpr int kMarkHalf = 3;

plat::POINT Pixel(const DOCCONTEXT* ctx, const DOCNODE& n)
{
    return plat::POINT{plat::RoundPixel(n.m_x * ctx->m_dZoom), plat::RoundPixel(n.m_y * ctx->m_dZoom)};
}

void Square(CDC* dc, plat::POINT p)
{
    dc->Rectangle(p.x - kMarkHalf, p.y - kMarkHalf, p.x + kMarkHalf, p.y + kMarkHalf);
}

// Nodes from `first` up to, not including, `stop` (null: to the end).
void AddNodes(CGeoBox& box, const DOCNODE* first, const DOCNODE* stop = nullptr)
{
    for (const DOCNODE* n = first; n != nullptr && n != stop; n = n->m_pNext)
        box.AddPoint(CGeoPoint(n->m_x, n->m_y));
}

bool Near(const DOCNODE& a, const DOCNODE& b, double tol)
{
    return std::fabs(a.m_x - b.m_x) < tol && std::fabs(a.m_y - b.m_y) < tol;
}

int CountAnchors(const DOCNODE* head)
{
    int n = 0;
    for (const DOCNODE* p = head; p != nullptr; p = p->m_pNext)
        n += p->m_nKind == NODE_ANCHOR ? 1 : 0;
    return n;
}

// Unlinks and frees the head of a chain.
void DeleteHead(DOCNODE*& head)
{
    DOCNODE* gone = head;
    head = head->m_pNext;
    if (head != nullptr)
        head->m_pPrev = nullptr;
    delete gone;
}

void DeleteTail(DOCNODE* tail)
{
    if (tail->m_pPrev != nullptr)
        tail->m_pPrev->m_pNext = nullptr;
    delete tail;
}

// Keeps the brush hollow for the outlines drawn here.
class HollowBrush {
public:
    explicit HollowBrush(CDC& dc) : m_dc(dc), m_old(dc.SelectBrush(plat::Brush{true, 0})) {}
    ~HollowBrush() { m_dc.SelectBrush(m_old); }
    HollowBrush(const HollowBrush&) = delete;
    HollowBrush& operator=(const HollowBrush&) = delete;

private:
    CDC& m_dc;
    plat::Brush m_old;
};

} // namespace

CDocStateDrawBezier::~CDocStateDrawBezier()
{
    FreeNodeList(m_pPending);
    // The base frees m_pNodes.
}

DOCNODE* CDocStateDrawBezier::NewNodeTriplet(double x, double y)
{
    DOCNODE* in = AppendNode(nullptr, x, y, NODE_CONTROL_IN);
    AppendNode(AppendNode(in, x, y, NODE_ANCHOR), x, y, NODE_CONTROL_OUT);
    return in;
}

bool CDocStateDrawBezier::RemoveLastSegment(DOCNODE*& chain, int mode)
{
    if (chain == nullptr)
        return true;
    const std::uint8_t stopKind = mode == 0 ? NODE_ANCHOR : NODE_CONTROL_OUT;
    DOCNODE* last = LastNode(chain);
    DOCNODE* keep = last->m_pPrev;
    while (keep != nullptr && keep->m_nKind != stopKind)
        keep = keep->m_pPrev;
    if (keep == nullptr) {
        FreeNodeList(chain);
        return true;
    }
    DOCNODE* cut = keep->m_pNext;
    keep->m_pNext = nullptr;
    cut->m_pPrev = nullptr;
    FreeNodeList(cut);
    return true;
}

// ---- Chain bookkeeping ------------------------------------------------------

DOCNODE* CDocStateDrawBezier::Tail()
{
    if (m_pNodes == nullptr)
        m_pTail = nullptr;
    else if (m_pTail == nullptr || m_pTail->m_pNext != nullptr)
        m_pTail = LastNode(m_pNodes);
    return m_pTail;
}

const DOCNODE* CDocStateDrawBezier::LastAnchor()
{
    const DOCNODE* n = Tail();
    while (n != nullptr && n->m_nKind != NODE_ANCHOR)
        n = n->m_pPrev;
    return n;
}

void CDocStateDrawBezier::FreeChains()
{
    FreeNodeList(m_pNodes);
    FreeNodeList(m_pPending);
    m_pTail = nullptr;
}

void CDocStateDrawBezier::Repaint(DOCCONTEXT* ctx, const CGeoBox& box) const
{
    InvalidateWorldBox(ctx, box, kDropGrow);
}

void CDocStateDrawBezier::AddLastTriplet(CGeoBox& box)
{
    const DOCNODE* anchor = LastAnchor();
    if (anchor == nullptr)
        return;
    AddNodes(box, anchor->m_pPrev != nullptr ? anchor->m_pPrev : anchor);
}

void CDocStateDrawBezier::DropPending(DOCCONTEXT* ctx)
{
    if (m_pPending == nullptr)
        return;
    CGeoBox box;
    AddNodes(box, m_pPending);
    AddLastTriplet(box);
    FreeNodeList(m_pPending);
    Repaint(ctx, box);
}

bool CDocStateDrawBezier::DropLoneAnchor(DOCCONTEXT* ctx)
{
    // One anchor makes no curve, and what is left of its triplet must not
    // be trimmed again or extended by the next press.
    if (CountAnchors(m_pNodes) >= 2)
        return false;
    CGeoBox box;
    AddNodes(box, m_pNodes);
    FreeChains();
    Repaint(ctx, box);
    return true;
}

COLORREF CDocStateDrawBezier::XorColour(DOCCONTEXT* ctx) const
{
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    return settings.PaletteColor(settings.m_nCurLayer) ^ settings.m_crBackground;
}

void CDocStateDrawBezier::ShowDragSize(DOCCONTEXT* ctx) const
{
    if (ctx->m_pView == nullptr)
        return;
    const CGeoBox box = CGeoBox::FromPoints(m_ptDown, m_ptCur);
    ctx->m_pView->ShowSelectionSize(box.m_xmin, box.m_xmax, box.m_ymin, box.m_ymax);
}

void CDocStateDrawBezier::EraseLastHandles(DOCCONTEXT* ctx)
{
    DrawAnchorHandles(ctx, LastAnchor(), XorColour(ctx), true, true);
}

void CDocStateDrawBezier::MakeCurve(DOCCONTEXT* ctx, std::uint8_t closed)
{
    PushHistory(ctx);
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    auto* curve = new CDocDataBezier();
    curve->m_pNodes = m_pNodes;
    curve->m_bClosed = closed;
    curve->SetColor(settings.m_nCurLayer, settings.PaletteColor(settings.m_nCurLayer));
    curve->RecalcBoundRect(ctx);
    // The curve owns the chain now.
    m_pNodes = nullptr;
    m_pTail = nullptr;
    AddObjects(ctx, curve);
}

// ---- Finishing --------------------------------------------------------------

bool CDocStateDrawBezier::StartFinish(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return false;
    DropPending(ctx);
    m_bButtonDown = 0;
    if (m_pNodes == nullptr || DropLoneAnchor(ctx))
        return false;
    EraseLastHandles(ctx);
    DeleteHead(m_pNodes);
    return true;
}

void CDocStateDrawBezier::EndPathOpen(DOCCONTEXT* ctx)
{
    if (!StartFinish(ctx))
        return;
    DeleteTail(Tail());
    m_pTail = nullptr;
    DOCNODE* first = m_pNodes;
    DOCNODE* last = Tail();
    std::uint8_t closed = 0;
    if (Near(*first, *last, kEndCloseTol)) {
        last->m_x = first->m_x;
        last->m_y = first->m_y;
        closed = 1;
    }
    MakeCurve(ctx, closed);
}

void CDocStateDrawBezier::EndPathClosed(DOCCONTEXT* ctx)
{
    if (!StartFinish(ctx))
        return;
    DOCNODE* first = m_pNodes;
    DOCNODE* tail = Tail();
    DOCNODE* last = tail->m_pPrev;
    if (Near(*first, *last, kCloseSameTol)) {
        last->m_x = first->m_x;
        last->m_y = first->m_y;
        DeleteTail(tail);
        m_pTail = last;
    } else {
        // The closing segment leaves the first anchor the way it came in.
        const DOCNODE* out = first->m_pNext;
        DOCNODE* in = AppendNode(tail, 2.0 * first->m_x - out->m_x, 2.0 * first->m_y - out->m_y, NODE_CONTROL_IN);
        m_pTail = AppendNode(in, first->m_x, first->m_y, NODE_ANCHOR);
    }
    MakeCurve(ctx, 1);
}

void CDocStateDrawBezier::Reset(std::uint32_t mode, DOCCONTEXT* ctx)
{
    CGeoBox box;
    AddNodes(box, m_pNodes);
    AddNodes(box, m_pPending);
    FreeChains();
    m_nMode = mode;
    m_bButtonDown = 0;
    Repaint(ctx, box);
}

// ---- Mouse ------------------------------------------------------------------

void CDocStateDrawBezier::OnLButtonDown(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    DropPending(ctx);
    m_bButtonDown = 1;
    m_ptDown = m_ptCur = ctx->m_ptMouse;
    m_pPending = NewNodeTriplet(m_ptDown.m_x, m_ptDown.m_y);
    DrawPendingSegment(ctx);
}

void CDocStateDrawBezier::OnMouseMove(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || m_bButtonDown == 0 || m_pPending == nullptr)
        return;
    const COLORREF colour = XorColour(ctx);
    DOCNODE* in = m_pPending;
    DOCNODE* anchor = in->m_pNext;
    DOCNODE* out = anchor->m_pNext;
    DrawPendingSegment(ctx);
    DrawAnchorHandles(ctx, anchor, colour, true, true);
    const CGeoPoint& mouse = ctx->m_ptMouse;
    // The incoming control mirrors the outgoing one about the anchor.
    in->m_x -= mouse.m_x - m_ptCur.m_x;
    in->m_y -= mouse.m_y - m_ptCur.m_y;
    out->m_x = mouse.m_x;
    out->m_y = mouse.m_y;
    m_ptCur = mouse;
    DrawPendingSegment(ctx);
    DrawAnchorHandles(ctx, anchor, colour, true, true);
    ShowDragSize(ctx);
}

void CDocStateDrawBezier::OnLButtonUp(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    m_ptCur = ctx->m_ptMouse;
    if (m_bButtonDown != 0 && m_pPending != nullptr) {
        if (m_pNodes != nullptr) {
            EraseLastHandles(ctx);
            DrawAnchorMarks(ctx);
        }
        DOCNODE* tail = Tail();
        if (tail != nullptr) {
            tail->m_pNext = m_pPending;
            m_pPending->m_pPrev = tail;
        } else {
            m_pNodes = m_pPending;
        }
        m_pTail = LastNode(m_pPending);
        m_pPending = nullptr;
    }
    if (ctx->m_pView != nullptr) {
        const CGeoBox& box = ctx->m_rcSelect;
        ctx->m_pView->ShowSelectionSize(box.m_xmin, box.m_xmax, box.m_ymin, box.m_ymax);
    }
    m_bButtonDown = 0;
}

bool CDocStateDrawBezier::OnRButtonDown(DOCCONTEXT* ctx)
{
    return ShowPathMenu(ctx, m_pNodes != nullptr || m_pPending != nullptr);
}

// ---- Keys -------------------------------------------------------------------

bool CDocStateDrawBezier::ClaimsKey(DOCCONTEXT*, std::uint32_t key, bool, bool, bool)
{
    return key == kKeyZ && (m_pNodes != nullptr || m_pPending != nullptr);
}

void CDocStateDrawBezier::OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key)
{
    if (ctx == nullptr)
        return;
    switch (key) {
    case kKeyEnter:
    case kKeyEscape:
    case kKeySpace: {
        DropPending(ctx);
        m_bButtonDown = 0;
        if (m_pNodes == nullptr || DropLoneAnchor(ctx))
            return;
        EraseLastHandles(ctx);
        DeleteHead(m_pNodes);
        DeleteTail(Tail());
        m_pTail = nullptr;
        // Never closed, even when the last anchor lies on the first.
        MakeCurve(ctx, 0);
        return;
    }
    case kKeyZ:
        if (m_pPending != nullptr) {
            DropPending(ctx);
            m_bButtonDown = 0;
        } else if (m_pNodes != nullptr) {
            // The dropped segment, and the handles of the anchor that is
            // last again, which a repaint shows.
            CGeoBox box;
            const DOCNODE* anchor = LastAnchor();
            const DOCNODE* from = anchor != nullptr && anchor->m_pPrev != nullptr ? anchor->m_pPrev : m_pNodes;
            for (int k = 0; k < 3 && from->m_pPrev != nullptr; ++k)
                from = from->m_pPrev;
            AddNodes(box, from);
            RemoveLastSegment(m_pNodes, 1);
            m_pTail = nullptr;
            Repaint(ctx, box);
        }
        return;
    case kKeyDelete:
        DeleteSelectedObjects(ctx, DeleteRepaint::Bezier);
        return;
    default:
        return;
    }
}

// ---- Feedback ---------------------------------------------------------------

void CDocStateDrawBezier::DrawPendingSegment(DOCCONTEXT* ctx)
{
    CDC* dc = ctx != nullptr ? ctx->m_pDC : nullptr;
    if (dc == nullptr || m_pPending == nullptr)
        return;
    const plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 1, XorColour(ctx)}, plat::R2_XORPEN);
    const HollowBrush brush(*dc);
    const DOCNODE* anchor = m_pPending->m_pNext;
    if (const DOCNODE* last = LastAnchor()) {
        const DOCNODE* out = last->m_pNext != nullptr ? last->m_pNext : last;
        const plat::POINT pts[4] = {Pixel(ctx, *last), Pixel(ctx, *out), Pixel(ctx, *m_pPending), Pixel(ctx, *anchor)};
        dc->PolyBezier(pts, 4);
    }
    Square(dc, Pixel(ctx, *anchor));
}

void CDocStateDrawBezier::DrawAnchorMarks(DOCCONTEXT* ctx)
{
    CDC* dc = ctx != nullptr ? ctx->m_pDC : nullptr;
    if (dc == nullptr || m_pNodes == nullptr)
        return;
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    const plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 1, settings.PaletteColor(settings.m_nCurLayer)});
    const HollowBrush brush(*dc);
    for (const DOCNODE* n = m_pNodes; n != nullptr; n = n->m_pNext) {
        if (n->m_nKind == NODE_ANCHOR)
            Square(dc, Pixel(ctx, *n));
    }
}

void CDocStateDrawBezier::DrawAnchorHandles(DOCCONTEXT* ctx, const DOCNODE* anchor, COLORREF colour, bool incoming,
                                            bool outgoing)
{
    CDC* dc = ctx != nullptr ? ctx->m_pDC : nullptr;
    if (dc == nullptr || anchor == nullptr || anchor->m_pPrev == nullptr || anchor->m_pNext == nullptr)
        return;
    const plat::POINT a = Pixel(ctx, *anchor);
    const plat::POINT in = Pixel(ctx, *anchor->m_pPrev);
    const plat::POINT out = Pixel(ctx, *anchor->m_pNext);
    {
        const plat::ScopedPen dotted(*dc, plat::Pen{plat::PS_DOT, 1, colour}, plat::R2_XORPEN);
        if (incoming) {
            dc->MoveTo(in.x, in.y);
            dc->LineTo(a.x, a.y);
        }
        if (outgoing) {
            dc->MoveTo(a.x, a.y);
            dc->LineTo(out.x, out.y);
        }
    }
    const plat::ScopedPen solid(*dc, plat::Pen{plat::PS_SOLID, 1, colour}, plat::R2_XORPEN);
    const HollowBrush brush(*dc);
    if (incoming)
        Square(dc, in);
    if (outgoing)
        Square(dc, out);
}

void CDocStateDrawBezier::DrawFeedback(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    DrawSelectionFrame(ctx);
    // A first press being dragged out shows too, or a repaint would leave
    // its next erase drawing it back.
    if (m_pNodes == nullptr && m_pPending == nullptr)
        return;
    const COLORREF colour = XorColour(ctx);
    if (CDC* dc = ctx->m_pDC) {
        const plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 1, colour}, plat::R2_XORPEN);
        DrawBezierNodes(m_pNodes, dc, ctx->m_dZoom);
    }
    DrawPendingSegment(ctx);
    DrawAnchorMarks(ctx);
    DrawAnchorHandles(ctx, LastAnchor(), colour, true, true);
    if (m_pPending != nullptr)
        DrawAnchorHandles(ctx, m_pPending->m_pNext, colour, true, true);
    ShowDragSize(ctx);
}
