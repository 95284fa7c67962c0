#include "PathProc.h"

#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/NodeList.h"

void CPathProc::BezierToPolyline(CDocData*& list, DOCCONTEXT* ctx)
{
    for (CDocData* o = list; o != nullptr;) {
        CDocData* next = o->m_pNext;
        if (o->GetType() == MT_BEZIER && CompactNodeList(o->m_pNodes)) {
            auto* line = new CDocDataLine(o->m_pNodes, 1, ctx);
            o->m_pNodes = nullptr;
            line->m_nLayer = o->m_nLayer;
            line->m_nColor = o->m_nColor;
            line->m_bSelected = o->m_bSelected;
            line->m_bOutput = o->m_bOutput;
            // The records move over whole: an array or a lead-in must not
            // vanish because the curve turned out to be straight.
            line->m_pLeadInOut = o->m_pLeadInOut;
            line->m_pEndGap = o->m_pEndGap;
            line->m_pArray = o->m_pArray;
            o->m_pLeadInOut = nullptr;
            o->m_pEndGap = nullptr;
            o->m_pArray = nullptr;
            if (line->m_pArray != nullptr)
                line->RecalcBoundRect(ctx);
            line->m_pPrev = o->m_pPrev;
            line->m_pNext = next;
            if (line->m_pPrev != nullptr)
                line->m_pPrev->m_pNext = line;
            else
                list = line;
            if (next != nullptr)
                next->m_pPrev = line;
            o->m_pPrev = o->m_pNext = nullptr;
            delete o;
        }
        o = next;
    }
}
