// A small drawing object for tests: a polyline-like outline that takes every
// shared body, mirrors the way the Bezier path does, and holds a child list
// when its type id is a group or a text.
#pragma once
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <initializer_list>
#include <vector>
#include <utility>

namespace plat {

class TestDocData : public CDocData {
public:
    explicit TestDocData(std::uint32_t type = MT_LINE) { m_nType = type; }
    TestDocData(const TestDocData& source) : CDocData()
    {
        CopyFrom(source);
        m_pChildren = CloneDocData(source.m_pChildren, true);
    }
    ~TestDocData() override { DeleteObjectList(m_pChildren); }

    bool SelectAllNodes() override { return SharedSelectAllNodes(); }
    bool DeselectNodes() override { return SharedDeselectNodes(); }
    std::uint8_t SelectNodeAt(double x, double y, double tol, std::uint8_t state) override
    {
        return SharedSelectNodeAt(x, y, tol, state);
    }
    bool UnionSelectedNodesRect(CGeoBox& box, bool withNeighbours, bool reset) override
    {
        return SharedUnionSelectedNodesRect(box, withNeighbours, reset);
    }
    void SetColor(std::int32_t layer, std::uint32_t color) override { SharedSetColor(layer, color); }
    bool GetStartPoint(CGeoPoint& p) override { return SharedGetStartPoint(p); }
    bool GetEndPoint(CGeoPoint& p) override { return SharedGetEndPoint(p); }
    DOCNODE* CopyNodes() override { return SharedCopyNodes(); }
    void DrawStartPoint(CDC* dc, DOCCONTEXT* ctx) override { SharedDrawStartPoint(dc, ctx); }
    void DrawIndex(CDC* dc, DOCCONTEXT* ctx, int number) override { SharedDrawIndex(dc, ctx, number); }
    void Move(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT* ctx) override { SharedMove(from, to, ctx); }
    void DrawMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to) override
    {
        SharedDrawMovePreview(ctx, dc, from, to);
    }
    void Scale(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override
    {
        SharedScale(cx, cy, sx, sy, ctx);
    }
    void Skew(double factor, double from, double to, int direction, DOCCONTEXT* ctx) override
    {
        SharedSkew(factor, from, to, direction, ctx);
    }
    void Rotate(const CGeoPoint& c, double angle, DOCCONTEXT* ctx) override { SharedRotate(c, angle, ctx); }
    void RotateBy3Points(const CGeoPoint& c, const CGeoPoint& p, const CGeoPoint& q, DOCCONTEXT* ctx) override
    {
        SharedRotateBy3Points(c, p, q, ctx);
    }
    bool Reverse() override
    {
        if (m_pNodes == nullptr)
            return false;
        DOCNODE* n = m_pNodes;
        DOCNODE* last = n;
        while (n != nullptr) {
            std::swap(n->m_pPrev, n->m_pNext);
            last = n;
            n = n->m_pPrev;
        }
        m_pNodes = last;
        return true;
    }
    CDocData* MirrorAbout(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                          DOCCONTEXT* ctx) override
    {
        return SharedMirrorNodes(x1, y1, x2, y2, asCopy, reverse, ctx);
    }
    CDocData** ChildList() override
    {
        return m_nType == MT_GROUP || m_nType == MT_CHAR ? &m_pChildren : nullptr;
    }

    // Appends anchors (x, y pairs) to the node list.
    TestDocData& WithNodes(std::initializer_list<std::pair<double, double>> points)
    {
        DOCNODE* last = m_pNodes != nullptr ? LastNode(m_pNodes) : nullptr;
        for (const auto& [x, y] : points) {
            last = AppendNode(last, x, y);
            if (m_pNodes == nullptr)
                m_pNodes = last;
        }
        RecalcBoundRect(nullptr);
        return *this;
    }
    // Appends a child to the child list.
    TestDocData& WithChild(CDocData* child)
    {
        CDocData** tail = &m_pChildren;
        CDocData* prev = nullptr;
        while (*tail != nullptr) {
            prev = *tail;
            tail = &(*tail)->m_pNext;
        }
        *tail = child;
        child->m_pPrev = prev;
        return *this;
    }

    static CDocData* Copy(const CDocData& source)
    {
        return new TestDocData(static_cast<const TestDocData&>(source));
    }

    CDocData* m_pChildren = nullptr;
};

// Lets CloneDocData copy TestDocData objects of the given type ids while it
// lives.
class ScopedTestCopiers {
public:
    ScopedTestCopiers(std::initializer_list<std::uint32_t> types)
    {
        for (std::uint32_t t : types)
            m_saved.push_back({t, SetDocDataCopierForTesting(t, &TestDocData::Copy)});
    }
    ~ScopedTestCopiers()
    {
        for (const auto& [t, copier] : m_saved)
            SetDocDataCopierForTesting(t, copier);
    }

private:
    std::vector<std::pair<std::uint32_t, DocDataCopier>> m_saved;
};

// Makes one machine with the given origin corner and positioning point the
// current machine of g_settings while it lives; without a corner there is no
// current machine.
class ScopedMachine {
public:
    ScopedMachine() : m_savedList(g_settings.m_pMachines), m_savedIndex(g_settings.m_nCurMachine)
    {
        g_settings.m_pMachines = nullptr;
    }
    ScopedMachine(std::uint8_t corner, std::uint8_t dot) : ScopedMachine()
    {
        m_machine.m_orign = corner;
        m_machine.m_dot = dot;
        g_settings.m_pMachines = &m_machine;
        g_settings.m_nCurMachine = 0;
    }
    ~ScopedMachine()
    {
        g_settings.m_pMachines = m_savedList;
        g_settings.m_nCurMachine = m_savedIndex;
    }

private:
    MachineNode m_machine;
    MachineNode* m_savedList;
    std::int32_t m_savedIndex;
};

// Links objects into a list in the given order and returns the head.
inline CDocData* LinkObjects(std::initializer_list<CDocData*> objects)
{
    CDocData* head = nullptr;
    CDocData* prev = nullptr;
    for (CDocData* obj : objects) {
        obj->m_pPrev = prev;
        obj->m_pNext = nullptr;
        if (prev != nullptr)
            prev->m_pNext = obj;
        else
            head = obj;
        prev = obj;
    }
    return head;
}

} // namespace plat
