// A single point of the drawing; on the machine it becomes a dot. It holds
// one node, and none once DeleteSelectedNodes has removed it: every operation
// then leaves the point alone until the empty objects are deleted.
#pragma once
#include "DocData.h"

class CDocDataPoint : public CDocData {
public:
    CDocDataPoint();
    // With `adopt` the node itself becomes the point's node (handed over
    // unlinked); otherwise a new node at its place is made. A null node gives
    // a point without a node.
    CDocDataPoint(DOCNODE* node, bool adopt, DOCCONTEXT* ctx);
    CDocDataPoint(double x, double y, DOCCONTEXT* ctx);
    CDocDataPoint(const CDocDataPoint& source);
    ~CDocDataPoint() override = default;

    bool SelectAllNodes() override;
    bool DeselectNodes() override;
    bool SelectInRect(const CGeoBox& box) override;
    std::uint8_t SelectNodeAt(double x, double y, double tol, std::uint8_t state) override;
    bool HitSegment(double x, double y, double tol, std::uint8_t state) override;
    bool UnionSelectedNodesRect(CGeoBox& box, bool withNeighbours, bool reset) override;
    bool HitTest(double x, double y, double tol) override;
    void SetColor(std::int32_t layer, std::uint32_t color) override;
    bool GetStartPoint(CGeoPoint& point) override;
    bool GetEndPoint(CGeoPoint& point) override;
    PATHREC* MakeOutputPath() override;
    void ExplodeArray(DOCCONTEXT* ctx) override;
    DOCNODE* CopyNodes() override;
    void Draw(CDC* dc, DOCCONTEXT* ctx) override;
    void DrawArrayPreview(CDC* dc, DOCCONTEXT* ctx, const ARRAYREC* array) override;
    void DrawNodes(CDC* dc, DOCCONTEXT* ctx) override;
    void DrawStartPoint(CDC* dc, DOCCONTEXT* ctx) override;
    void DrawIndex(CDC* dc, DOCCONTEXT* ctx, int number) override;
    void DrawDirection(CDC*, DOCCONTEXT*) override {}
    void DrawArrayCopies(CDC* dc, DOCCONTEXT* ctx) override;
    void Move(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT* ctx) override;
    void DrawMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to) override;
    void Scale(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override;
    void DrawScalePreview(DOCCONTEXT* ctx, CDC* dc, double cx, double cy, double sx, double sy) override;
    void Skew(double factor, double from, double to, int direction, DOCCONTEXT* ctx) override;
    void DrawSkewPreview(DOCCONTEXT* ctx, CDC* dc, double factor, double from, double to, int direction) override;
    void Rotate(const CGeoPoint& centre, double angle, DOCCONTEXT* ctx) override;
    void RotateBy3Points(const CGeoPoint& centre, const CGeoPoint& from, const CGeoPoint& to,
                         DOCCONTEXT* ctx) override;
    void DrawRotatePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& centre, const CGeoPoint& from,
                           const CGeoPoint& to) override;
    CDocData* MirrorAbout(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                          DOCCONTEXT* ctx) override;
    void Flip(const CGeoPoint& centre, bool horizontal, bool vertical, DOCCONTEXT* ctx) override;
    void DrawMirrorPreview(DOCCONTEXT* ctx, CDC* dc, double x1, double y1, double x2, double y2) override;
    void ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override;
    // Removes the node only when it is the active node (state 2): a point
    // left in state 1 by a missed click must not take the deletion that was
    // meant for another object's node.
    bool DeleteSelectedNodes() override;

    static CDocData* Copy(const CDocData& source);

private:
    // Fills the 2 x 2 pixel square of a point drawn at client (x, y).
    static void FillDot(CDC& dc, int x, int y, std::uint32_t color);
    // The exclusive-or square of a preview at a changed world position.
    void DrawPreviewDot(DOCCONTEXT* ctx, CDC* dc, double x, double y) const;
    // The dots of an array record's copies, all but the first position.
    void DrawArrayDots(CDC& dc, DOCCONTEXT& ctx, const ARRAYREC& array) const;
};
