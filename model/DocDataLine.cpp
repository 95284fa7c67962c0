#include "DocDataLine.h"

#include "DocContext.h"
#include "DocState.h"
#include "LeadInOut.h"

#include <cmath>

CDocDataLine::CDocDataLine()
{
    m_nType = MT_LINE;
}

CDocDataLine::CDocDataLine(DOCNODE* nodes, std::uint8_t adopt, DOCCONTEXT* ctx)
{
    m_nType = MT_LINE;
    m_pNodes = adopt == 1 ? nodes : CopyPointList(nodes);
    if (m_pNodes == nullptr)
        return;
    CDocData::RecalcBoundRect(ctx);
    DOCNODE* last = LastNode(m_pNodes);
    if (std::fabs(last->m_x - m_pNodes->m_x) < kSamePointTol && std::fabs(last->m_y - m_pNodes->m_y) < kSamePointTol) {
        last->m_x = m_pNodes->m_x;
        last->m_y = m_pNodes->m_y;
        m_bClosed = 1;
    } else {
        m_bClosed = 0;
    }
    SetSelected(1);
}

CDocDataLine::CDocDataLine(const CDocDataLine& source) : CDocData()
{
    m_nType = MT_LINE;
    CopyFrom(source);
}

CDocDataLine::~CDocDataLine()
{
    CDocState::FreeNodeList(m_pNodes);
}

void CDocDataLine::ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx)
{
    ScaleNodesOf(*this, cx, cy, sx, sy, ctx);
}

namespace {

void ScaleBox(CGeoBox& box, double cx, double cy, double sx, double sy)
{
    box = CGeoBox((box.m_xmin - cx) * sx + cx, (box.m_xmax - cx) * sx + cx, (box.m_ymin - cy) * sy + cy,
                  (box.m_ymax - cy) * sy + cy);
    box.Normalize();
}

} // namespace

void CDocDataLine::ScaleNodesOf(CDocData& obj, double cx, double cy, double sx, double sy, DOCCONTEXT* ctx)
{
    // The box of one copy, and the gaps between copies, which scaling keeps.
    CGeoBox single;
    double gapX = 0.0, gapY = 0.0;
    if (obj.m_pArray != nullptr) {
        ARRAYREC* array = obj.m_pArray;
        const CGeoBox whole = obj.m_rcBound;
        obj.m_pArray = nullptr;
        obj.RecalcBoundRect(ctx);
        single = obj.m_rcBound;
        obj.m_pArray = array;
        obj.m_rcBound = whole;
        gapX = array->m_dDx - single.Width();
        gapY = array->m_dDy - single.Height();
    }

    const bool hasFirst = obj.m_pNodes != nullptr;
    const double firstX = hasFirst ? obj.m_pNodes->m_x : 0.0;
    const double firstY = hasFirst ? obj.m_pNodes->m_y : 0.0;
    for (DOCNODE* n = obj.m_pNodes; n != nullptr;) {
        n->m_x = (n->m_x - cx) * sx + cx;
        n->m_y = (n->m_y - cy) * sy + cy;
        n = n->m_pNext;
        if (n == obj.m_pNodes)
            break;
    }
    // An empty box stays empty rather than becoming a box somewhere.
    if (!obj.m_rcBound.IsEmpty())
        ScaleBox(obj.m_rcBound, cx, cy, sx, sy);

    if (obj.m_pArray != nullptr && !single.IsEmpty()) {
        ScaleBox(single, cx, cy, sx, sy);
        obj.m_pArray->m_dDx = single.Width() + gapX;
        obj.m_pArray->m_dDy = single.Height() + gapY;
    }

    if (obj.m_pLeadInOut != nullptr && hasFirst) {
        const double dx = obj.m_pNodes->m_x - firstX;
        const double dy = obj.m_pNodes->m_y - firstY;
        obj.m_pLeadInOut->m_dInX += dx;
        obj.m_pLeadInOut->m_dInY += dy;
        obj.m_pLeadInOut->m_dOutX += dx;
        obj.m_pLeadInOut->m_dOutY += dy;
    }
    if (obj.m_pEndGap != nullptr)
        SetEndGap(&obj, obj.m_pEndGap->m_dGap, obj.m_pEndGap->m_bOn);
}
