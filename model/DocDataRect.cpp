#include "DocDataRect.h"

#include "ArrayExplode.h"
#include "DocState.h"
#include "GeoFunctions.h"

#include <algorithm>
#include <cmath>

namespace {

// Tolerance of the start corner search.
constexpr double kCornerTol = 0.1;

bool StrictlyBetween(double v, double a, double b)
{
    return v > std::min(a, b) && v < std::max(a, b);
}

bool WithinGrown(double v, double a, double b, double tol)
{
    return v >= std::min(a, b) - tol && v <= std::max(a, b) + tol;
}

} // namespace

CDocDataRect::CDocDataRect()
{
    m_nType = MT_RECT;
    m_bClosed = 0;
    m_rcBound.SetEmpty();
    SetSelected(0);
}

CDocDataRect::CDocDataRect(const CGeoBox& box, DOCCONTEXT* ctx, std::uint8_t startPosition)
{
    m_nType = MT_RECT;
    DOCNODE* n = AppendNode(nullptr, box.m_xmin, box.m_ymin);
    m_pNodes = n;
    n = AppendNode(n, box.m_xmax, box.m_ymin);
    n = AppendNode(n, box.m_xmax, box.m_ymax);
    n = AppendNode(n, box.m_xmin, box.m_ymax);
    AppendNode(n, box.m_xmin, box.m_ymin);
    m_bClosed = 1;
    CDocData::RecalcBoundRect(ctx);
    ApplyStartPosition(startPosition);
    SetSelected(0);
}

CDocDataRect::CDocDataRect(const CDocDataRect& source) : CDocData()
{
    m_nType = MT_RECT;
    CopyFrom(source);
}

CDocDataRect::~CDocDataRect()
{
    CDocState::FreeNodeList(m_pNodes);
}

CDocData* CDocDataRect::Copy(const CDocData& source)
{
    const auto* rect = dynamic_cast<const CDocDataRect*>(&source);
    return rect != nullptr ? new CDocDataRect(*rect) : nullptr;
}

void CDocDataRect::ApplyStartPosition(std::uint8_t code)
{
    double x = 0.0, y = 0.0;
    switch (code) {
    case 0:
    case 1:
    case 3:
    case 4:
        x = m_rcBound.m_xmin;
        y = m_rcBound.m_ymin;
        break;
    case 2:
    case 5:
        x = m_rcBound.m_xmax;
        y = m_rcBound.m_ymin;
        break;
    case 6:
    case 7:
        x = m_rcBound.m_xmin;
        y = m_rcBound.m_ymax;
        break;
    case 8:
        x = m_rcBound.m_xmax;
        y = m_rcBound.m_ymax;
        break;
    default:
        return;
    }
    m_bNodesSelected = 1;
    ForEachNode(m_pNodes, [](DOCNODE& n) { n.m_nSelect = NODE_SELECTED; });
    SetStartPoint(x, y, kCornerTol);
    ForEachNode(m_pNodes, [](DOCNODE& n) { n.m_nSelect = NODE_UNSELECTED; });
    m_bNodesSelected = 0;
}

std::uint8_t CDocDataRect::SelectNodeAt(double x, double y, double tol, std::uint8_t state)
{
    const bool set = state < 255;
    const std::uint8_t others = state != NODE_UNSELECTED ? NODE_SELECTED : NODE_UNSELECTED;
    bool hit = false;
    ForEachNode(m_pNodes, [&](DOCNODE& n) {
        if (!hit && std::fabs(x - n.m_x) < tol && std::fabs(y - n.m_y) < tol) {
            hit = true;
            if (set && n.m_nKind == NODE_ANCHOR)
                n.m_nSelect = state;
            return;
        }
        if (set)
            n.m_nSelect = others;
    });
    if (set && m_bClosed != 0 && m_pNodes != nullptr) {
        DOCNODE* last = LastNode(m_pNodes);
        if (last != m_pNodes)
            last->m_nSelect = m_pNodes->m_nSelect;
    }
    return hit ? 1 : 0;
}

void CDocDataRect::ExplodeArray(DOCCONTEXT* ctx)
{
    ExplodeArrayCopies(*this, ctx, &CDocDataRect::Copy);
}

bool CDocDataRect::InsertNodeAt(double x, double y, double tol)
{
    for (DOCNODE* a = CDocDataLine::FindHitSegment(*this, x, y, tol); a != nullptr;
         a = CDocDataLine::FindHitSegment(*this, x, y, tol, a)) {
        const DOCNODE* b = a->m_pNext;
        double fx = x, fy = y;
        GeoProjectPointOnLine(a->m_x, a->m_y, b->m_x, b->m_y, x, y, fx, fy);
        const bool alongX = StrictlyBetween(fx, a->m_x, b->m_x) && WithinGrown(fy, a->m_y, b->m_y, tol);
        const bool alongY = StrictlyBetween(fy, a->m_y, b->m_y) && WithinGrown(fx, a->m_x, b->m_x, tol);
        if (!alongX && !alongY)
            continue;
        AppendNode(a, fx, fy, NODE_ANCHOR, NODE_SELECTED);
        MarkAnchorsSelected();
        return true;
    }
    return false;
}
