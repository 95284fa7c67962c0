// The rectangle object: an axis-aligned rectangle kept as a closed polyline
// of five anchors, (xmin, ymin), (xmax, ymin), (xmax, ymax), (xmin, ymax) and
// the closing node. It takes most bodies from the polyline family and is
// always treated as closed, even after its nodes were edited.
#pragma once
#include "DocData.h"
#include "DocDataLine.h"

#include <cstdint>

class CDocDataRect : public CDocData {
public:
    // Open, without nodes and with the empty box: the drawing-file reader
    // fills nodes and flag.
    CDocDataRect();
    // The five nodes of the box (x-min, x-max, y-min, y-max), closed, with
    // the start moved to the corner of the start position (the current
    // machine's positioning point; 255 without a machine keeps the start
    // at the minimum corner).
    CDocDataRect(const CGeoBox& box, DOCCONTEXT* ctx, std::uint8_t startPosition);
    CDocDataRect(const CDocDataRect& source);
    CDocDataRect& operator=(const CDocDataRect&) = delete;
    ~CDocDataRect() override;

    // Start corner by positioning point: 0, 1, 3, 4 minimum corner; 2, 5
    // (xmax, ymin); 6, 7 (xmin, ymax); 8 maximum corner; other codes leave
    // the start where it is.
    void ApplyStartPosition(std::uint8_t code);

    // Copy by the copy constructor; null when the object is not a rectangle.
    static CDocData* Copy(const CDocData& source);

    bool SelectAllNodes() override { return SharedSelectAllNodes(); }
    bool DeselectNodes() override { return SharedDeselectNodes(); }
    bool SelectInRect(const CGeoBox& box) override { return CDocDataLine::SelectInRectOf(*this, box); }
    // The hit anchor takes the state; every other node 1 for a nonzero
    // state, else 0.
    std::uint8_t SelectNodeAt(double x, double y, double tol, std::uint8_t state) override;
    bool HitSegment(double x, double y, double tol, std::uint8_t state) override
    {
        return CDocDataLine::HitSegmentOf(*this, x, y, tol, state);
    }
    bool UnionSelectedNodesRect(CGeoBox& box, bool withNeighbours, bool reset) override
    {
        return SharedUnionSelectedNodesRect(box, withNeighbours, reset);
    }
    bool HitTest(double x, double y, double tol) override { return CDocDataLine::HitTestOf(*this, x, y, tol); }
    void SetColor(std::int32_t layer, std::uint32_t color) override { SharedSetColor(layer, color); }
    bool Reverse() override { return CDocDataLine::ReverseOf(*this); }
    bool SetStartPoint(double x, double y, double tol) override
    {
        return CDocDataLine::SetStartPointClosedOf(*this, x, y, tol);
    }
    bool GetStartPoint(CGeoPoint& point) override { return SharedGetStartPoint(point); }
    bool GetEndPoint(CGeoPoint& point) override { return SharedGetEndPoint(point); }
    PATHREC* MakeOutputPath() override { return CDocDataLine::MakeOutputPathOf(*this, 0); }
    void ExplodeArray(DOCCONTEXT* ctx) override;
    DOCNODE* CopyNodes() override { return SharedCopyNodes(); }
    void Draw(CDC* dc, DOCCONTEXT* ctx) override { CDocDataLine::DrawOf(*this, dc, ctx); }
    void DrawArrayPreview(CDC* dc, DOCCONTEXT* ctx, const ARRAYREC* array) override
    {
        CDocDataLine::DrawArrayPreviewOf(*this, dc, ctx, array);
    }
    void DrawNodes(CDC* dc, DOCCONTEXT* ctx) override { CDocDataLine::DrawNodesOf(*this, dc, ctx, true); }
    void DrawStartPoint(CDC* dc, DOCCONTEXT* ctx) override { SharedDrawStartPoint(dc, ctx); }
    void DrawIndex(CDC* dc, DOCCONTEXT* ctx, int number) override { SharedDrawIndex(dc, ctx, number); }
    // Always on the first side.
    void DrawDirection(CDC* dc, DOCCONTEXT* ctx) override
    {
        CDocDataLine::DrawDirectionArrow(*this, dc, ctx, m_pNodes);
    }
    void DrawArrayCopies(CDC* dc, DOCCONTEXT* ctx) override { CDocDataLine::DrawArrayCopiesOf(*this, dc, ctx); }
    void Move(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT* ctx) override { SharedMove(from, to, ctx); }
    void DrawMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to) override
    {
        SharedDrawMovePreview(ctx, dc, from, to);
    }
    void Scale(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override
    {
        SharedScale(cx, cy, sx, sy, ctx);
    }
    void DrawScalePreview(DOCCONTEXT* ctx, CDC* dc, double cx, double cy, double sx, double sy) override
    {
        CDocDataLine::DrawScalePreviewOf(*this, ctx, dc, cx, cy, sx, sy);
    }
    void Skew(double factor, double from, double to, int direction, DOCCONTEXT* ctx) override
    {
        SharedSkew(factor, from, to, direction, ctx);
    }
    void DrawSkewPreview(DOCCONTEXT* ctx, CDC* dc, double factor, double from, double to, int direction) override
    {
        CDocDataLine::DrawSkewPreviewOf(*this, ctx, dc, factor, from, to, direction);
    }
    void Rotate(const CGeoPoint& centre, double angle, DOCCONTEXT* ctx) override
    {
        SharedRotate(centre, angle, ctx);
    }
    void RotateBy3Points(const CGeoPoint& centre, const CGeoPoint& from, const CGeoPoint& to,
                         DOCCONTEXT* ctx) override
    {
        SharedRotateBy3Points(centre, from, to, ctx);
    }
    void DrawRotatePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& centre, const CGeoPoint& from,
                           const CGeoPoint& to) override
    {
        CDocDataLine::DrawRotatePreviewOf(*this, ctx, dc, centre, from, to);
    }
    void MoveSelectedNodes(const CGeoPoint& from, const CGeoPoint& to, int mode, DOCCONTEXT* ctx) override
    {
        CDocDataLine::MoveSelectedNodesOf(*this, from, to, mode, ctx);
    }
    void DrawNodeMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to,
                             int /*mode*/) override
    {
        CDocDataLine::DrawNodeMovePreviewOf(*this, ctx, dc, from, to, true);
    }
    CDocData* MirrorAbout(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                          DOCCONTEXT* ctx) override
    {
        return CDocDataLine::MirrorAboutOf(*this, x1, y1, x2, y2, asCopy, reverse, ctx);
    }
    void Flip(const CGeoPoint& centre, bool horizontal, bool vertical, DOCCONTEXT* ctx) override
    {
        CDocDataLine::FlipOf(*this, centre, horizontal, vertical, 0.0, ctx);
    }
    void DrawMirrorPreview(DOCCONTEXT* ctx, CDC* dc, double x1, double y1, double x2, double y2) override
    {
        CDocDataLine::DrawMirrorPreviewOf(*this, ctx, dc, x1, y1, x2, y2);
    }
    void ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override
    {
        CDocDataLine::ScaleNodesOf(*this, cx, cy, sx, sy, ctx);
    }
    // Inserts only where the foot of the perpendicular lies strictly within
    // a side; a point off a side's end goes on to the next side.
    bool InsertNodeAt(double x, double y, double tol) override;
    bool DeleteSelectedNodes() override { return CDocDataLine::DeleteSelectedNodesOf(*this, true); }
};
