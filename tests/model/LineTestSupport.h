// Helpers of the polyline, rectangle and lead tests: node lists from
// coordinate pairs and the coordinates and states read back.
#pragma once
#include "CurveObjectTestHelpers.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/NodeList.h"

#include <initializer_list>
#include <utility>
#include <vector>

namespace plat {

// New open anchor list, owned by the caller.
inline DOCNODE* MakeNodes(std::initializer_list<std::pair<double, double>> points)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (const auto& [x, y] : points) {
        last = AppendNode(last, x, y);
        if (head == nullptr)
            head = last;
    }
    return head;
}

// A polyline made by the node-list constructor (so it is selected, and
// closed when its ends meet).
inline CDocDataLine* MakeLine(std::initializer_list<std::pair<double, double>> points)
{
    return new CDocDataLine(MakeNodes(points), 1, nullptr);
}

inline PointList PointsOf(const CDocData& obj)
{
    return PointsOf(obj.m_pNodes);
}

inline std::vector<int> StatesOf(const CDocData& obj)
{
    std::vector<int> out;
    for (const DOCNODE* n = obj.m_pNodes; n != nullptr; n = n->m_pNext)
        out.push_back(n->m_nSelect);
    return out;
}

// Segments of an output path as (x0, y0, x1, y1), walked once round the ring.
inline std::vector<std::vector<double>> SegmentsOf(const PATHREC* path)
{
    std::vector<std::vector<double>> out;
    for (const SEGNODE* s = path->m_pSegs; s != nullptr;) {
        out.push_back({s->m_x0, s->m_y0, s->m_x1, s->m_y1});
        s = s->m_pNext;
        if (s == path->m_pSegs)
            break;
    }
    return out;
}

inline LEADINOUT* AddLead(CDocData& obj, std::uint8_t kind, double inAngle, double inLength, double outAngle,
                          double outLength)
{
    obj.m_pLeadInOut = new LEADINOUT;
    obj.m_pLeadInOut->m_nKind = kind;
    obj.m_pLeadInOut->m_bLeadIn = inLength > 0.0 ? 1 : 0;
    obj.m_pLeadInOut->m_dInAngle = inAngle;
    obj.m_pLeadInOut->m_dInLength = inLength;
    obj.m_pLeadInOut->m_bLeadOut = outLength > 0.0 ? 1 : 0;
    obj.m_pLeadInOut->m_dOutAngle = outAngle;
    obj.m_pLeadInOut->m_dOutLength = outLength;
    return obj.m_pLeadInOut;
}

} // namespace plat
