// A NURBS curve as read from a drawing file: stored only. It is not drawn,
// transformed or output; snapshots replace it by an empty one.
#pragma once
#include "DocData.h"

class CDocDataNurbs : public CDocData {
public:
    // Type id 0 until its reader sets 6.
    CDocDataNurbs() = default;
    ~CDocDataNurbs() override = default;

    bool SelectAllNodes() override { return SharedSelectAllNodes(); }
    std::uint8_t SelectNodeAt(double x, double y, double tol, std::uint8_t state) override
    {
        return SharedSelectNodeAt(x, y, tol, state);
    }
    bool UnionSelectedNodesRect(CGeoBox& box, bool withNeighbours, bool reset) override
    {
        return SharedUnionSelectedNodesRect(box, withNeighbours, reset);
    }
    CGeoBox GetAnchorRect() override { return m_rcBound; }
    void RecalcBoundRect(DOCCONTEXT*) override {}
    void Scale(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override
    {
        SharedScale(cx, cy, sx, sy, ctx);
    }
};
