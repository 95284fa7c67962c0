// Builders for the processing tests: node lists, polylines, Bezier paths,
// path records and layers from coordinate lists.
#pragma once
#include "machinecomm/VantrelRecords.h"
#include "model/DocData.h"
#include "model/DocDataBezier.h"
#include "model/DocDataLine.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "model/PathRecord.h"

#include <initializer_list>
#include <utility>
#include <vector>

namespace plat {

using XY = std::pair<double, double>;

inline DOCNODE* MakeNodes(const std::vector<XY>& points, std::uint8_t kind = NODE_ANCHOR)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (const auto& [x, y] : points) {
        last = AppendNode(last, x, y, kind);
        if (head == nullptr)
            head = last;
    }
    return head;
}

inline CDocDataLine* MakeLine(const std::vector<XY>& points, std::int32_t layer = 0)
{
    auto* line = new CDocDataLine(MakeNodes(points), 1, nullptr);
    line->m_nLayer = layer;
    return line;
}

// A Bezier path from anchor, outgoing control, incoming control, anchor ...
inline CDocDataBezier* MakeBezier(const std::vector<XY>& points, std::int32_t layer = 0)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const std::uint8_t kind = i % 3 == 0 ? NODE_ANCHOR : (i % 3 == 1 ? NODE_CONTROL_OUT : NODE_CONTROL_IN);
        last = AppendNode(last, points[i].first, points[i].second, kind);
        if (head == nullptr)
            head = last;
    }
    auto* curve = new CDocDataBezier(head, true, nullptr);
    curve->m_nLayer = layer;
    return curve;
}

// Links objects into a list in the given order; returns the head.
template <typename Range>
inline CDocData* LinkObjectRange(const Range& objects)
{
    CDocData* head = nullptr;
    CDocData* prev = nullptr;
    for (CDocData* o : objects) {
        o->m_pPrev = prev;
        o->m_pNext = nullptr;
        if (prev != nullptr)
            prev->m_pNext = o;
        else
            head = o;
        prev = o;
    }
    return head;
}

inline CDocData* LinkObjects(std::initializer_list<CDocData*> objects)
{
    return LinkObjectRange(objects);
}

inline std::vector<XY> NodePositions(const DOCNODE* head)
{
    std::vector<XY> out;
    for (const DOCNODE* n = head; n != nullptr;) {
        out.emplace_back(n->m_x, n->m_y);
        n = n->m_pNext;
        if (n == head)
            break;
    }
    return out;
}

inline std::vector<std::uint8_t> NodeKinds(const DOCNODE* head)
{
    std::vector<std::uint8_t> out;
    for (const DOCNODE* n = head; n != nullptr; n = n->m_pNext)
        out.push_back(n->m_nKind);
    return out;
}

inline int CountObjects(const CDocData* head)
{
    int n = 0;
    for (; head != nullptr; head = head->m_pNext)
        ++n;
    return n;
}

// The rectangle's outline, counter-clockwise from (x0, y0) and closed.
inline std::vector<XY> Square(double x0, double y0, double x1, double y1)
{
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
}

// An output path from anchor points (kind 0, or a dot for one point).
inline PATHREC* MakePath(const std::vector<XY>& points)
{
    DOCNODE* nodes = MakeNodes(points);
    PATHREC* path = BuildPathRecord(nodes, 0);
    CDocState::FreeNodeList(nodes);
    return path;
}

inline PATHREC* MakeOpeningBracket(std::uint16_t rows, std::uint16_t cols, double dy, double dx)
{
    auto* p = new PATHREC;
    p->m_kind = PATH_KIND_GROUP;
    p->m_pArray = new ARRAYREC;
    p->m_pArray->m_nRows = rows;
    p->m_pArray->m_nCols = cols;
    p->m_pArray->m_dDy = dy;
    p->m_pArray->m_dDx = dx;
    return p;
}

inline PATHREC* MakeClosingBracket()
{
    auto* p = new PATHREC;
    p->m_kind = PATH_KIND_GROUP;
    return p;
}

// A layer whose path list holds the records in order, closed into a ring.
inline WORKLAYER* MakeLayer(const std::vector<PATHREC*>& paths)
{
    auto* layer = new WORKLAYER{};
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    for (PATHREC* p : paths)
        AppendPathRecord(&head, &tail, p);
    if (head != nullptr) {
        head->m_pPrev = tail;
        tail->m_pNext = head;
    }
    layer->m_paths = head;
    return layer;
}

inline WORKLAYER* MakeLayer(std::initializer_list<PATHREC*> paths)
{
    return MakeLayer(std::vector<PATHREC*>(paths));
}

// Links layers into a ring in the given order; returns the first.
inline WORKLAYER* LinkLayers(std::initializer_list<WORKLAYER*> layers)
{
    std::vector<WORKLAYER*> v(layers);
    for (std::size_t i = 0; i < v.size(); ++i) {
        v[i]->m_next = v[(i + 1) % v.size()];
        v[i]->m_prev = v[(i + v.size() - 1) % v.size()];
    }
    return v.empty() ? nullptr : v.front();
}

// Segment ends of a path in order: start of the first, then every end.
inline std::vector<XY> SegmentPoints(const PATHREC* path)
{
    std::vector<XY> out;
    const SEGNODE* first = path->m_pSegs;
    for (const SEGNODE* s = first; s != nullptr;) {
        if (s == first)
            out.emplace_back(s->m_x0, s->m_y0);
        out.emplace_back(s->m_x1, s->m_y1);
        s = s->m_pNext;
        if (s == first)
            break;
    }
    return out;
}

} // namespace plat
