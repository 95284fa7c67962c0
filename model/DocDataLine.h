// The polyline object: a chain of straight segments through anchor nodes,
// open or closed (a closed outline repeats its first node as its last). It
// is also what every curve operation and importer produces through the
// node-list constructor. The bodies that the rectangle shares with it are
// the public static *Of members, which work on any object of the family.
#pragma once
#include "DocData.h"

#include <cstdint>

class CDocDataLine : public CDocData {
public:
    CDocDataLine();
    // Takes the list itself with adopt 1, else a copy. With nodes: the box
    // is computed, ends within 0.001 in x and in y close the outline (the
    // last node is put exactly on the first), and the polyline starts
    // selected.
    CDocDataLine(DOCNODE* nodes, std::uint8_t adopt, DOCCONTEXT* ctx);
    CDocDataLine(const CDocDataLine& source);
    CDocDataLine& operator=(const CDocDataLine&) = delete;
    ~CDocDataLine() override;

    bool SelectAllNodes() override { return SharedSelectAllNodes(); }
    bool DeselectNodes() override { return SharedDeselectNodes(); }
    bool SelectInRect(const CGeoBox& box) override { return SelectInRectOf(*this, box); }
    std::uint8_t SelectNodeAt(double x, double y, double tol, std::uint8_t state) override
    {
        return SharedSelectNodeAt(x, y, tol, state);
    }
    bool HitSegment(double x, double y, double tol, std::uint8_t state) override
    {
        return HitSegmentOf(*this, x, y, tol, state);
    }
    bool UnionSelectedNodesRect(CGeoBox& box, bool withNeighbours, bool reset) override
    {
        return SharedUnionSelectedNodesRect(box, withNeighbours, reset);
    }
    bool HitTest(double x, double y, double tol) override { return HitTestOf(*this, x, y, tol); }
    void SetColor(std::int32_t layer, std::uint32_t color) override { SharedSetColor(layer, color); }
    bool Reverse() override { return ReverseOf(*this); }
    // Closed: the node within tol becomes the first (and the closing) node.
    // Open: only the last node can become the start, by reversing.
    bool SetStartPoint(double x, double y, double tol) override;
    bool GetStartPoint(CGeoPoint& point) override { return SharedGetStartPoint(point); }
    bool GetEndPoint(CGeoPoint& point) override { return SharedGetEndPoint(point); }
    // False with fewer than two nodes. Ends that meet only set the flag, so
    // an outline that is closed already answers true again and keeps its
    // nodes, unlike the Bezier path.
    bool Close() override;
    PATHREC* MakeOutputPath() override;
    void ExplodeArray(DOCCONTEXT* ctx) override;
    DOCNODE* CopyNodes() override { return SharedCopyNodes(); }
    void Draw(CDC* dc, DOCCONTEXT* ctx) override { DrawOf(*this, dc, ctx); }
    void DrawArrayPreview(CDC* dc, DOCCONTEXT* ctx, const ARRAYREC* array) override
    {
        DrawArrayPreviewOf(*this, dc, ctx, array);
    }
    void DrawNodes(CDC* dc, DOCCONTEXT* ctx) override { DrawNodesOf(*this, dc, ctx, false); }
    void DrawStartPoint(CDC* dc, DOCCONTEXT* ctx) override { SharedDrawStartPoint(dc, ctx); }
    void DrawIndex(CDC* dc, DOCCONTEXT* ctx, int number) override { SharedDrawIndex(dc, ctx, number); }
    void DrawDirection(CDC* dc, DOCCONTEXT* ctx) override;
    void DrawArrayCopies(CDC* dc, DOCCONTEXT* ctx) override { DrawArrayCopiesOf(*this, dc, ctx); }
    // Translates nodes, lead points, end-gap marker and the box itself.
    void Move(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT*) override { SharedMoveWithBox(from, to); }
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
        DrawScalePreviewOf(*this, ctx, dc, cx, cy, sx, sy);
    }
    void Skew(double factor, double from, double to, int direction, DOCCONTEXT* ctx) override
    {
        SharedSkew(factor, from, to, direction, ctx);
    }
    void DrawSkewPreview(DOCCONTEXT* ctx, CDC* dc, double factor, double from, double to, int direction) override
    {
        DrawSkewPreviewOf(*this, ctx, dc, factor, from, to, direction);
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
        DrawRotatePreviewOf(*this, ctx, dc, centre, from, to);
    }
    void MoveSelectedNodes(const CGeoPoint& from, const CGeoPoint& to, int mode, DOCCONTEXT* ctx) override
    {
        MoveSelectedNodesOf(*this, from, to, mode, ctx);
    }
    void DrawNodeMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to,
                             int /*mode*/) override
    {
        DrawNodeMovePreviewOf(*this, ctx, dc, from, to, false);
    }
    CDocData* MirrorAbout(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                          DOCCONTEXT* ctx) override
    {
        return MirrorAboutOf(*this, x1, y1, x2, y2, asCopy, reverse, ctx);
    }
    void Flip(const CGeoPoint& centre, bool horizontal, bool vertical, DOCCONTEXT* ctx) override
    {
        FlipOf(*this, centre, horizontal, vertical, -1e-5, ctx);
    }
    void DrawMirrorPreview(DOCCONTEXT* ctx, CDC* dc, double x1, double y1, double x2, double y2) override
    {
        DrawMirrorPreviewOf(*this, ctx, dc, x1, y1, x2, y2);
    }
    void ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override;
    bool InsertNodeAt(double x, double y, double tol) override;
    bool DeleteSelectedNodes() override { return DeleteSelectedNodesOf(*this, m_bClosed != 0); }

    // Copy by the copy constructor; null when the object is not a polyline.
    static CDocData* Copy(const CDocData& source);

    // The node scaling of the polyline, rectangle, Bezier path and ellipse:
    // nodes and box scaled about (cx, cy); array pitches keep the gaps
    // between copies; lead points follow the first node; the end-gap marker
    // is recomputed.
    static void ScaleNodesOf(CDocData& obj, double cx, double cy, double sx, double sy, DOCCONTEXT* ctx);

    // Bodies of the polyline family (polyline and rectangle).
    static bool SelectInRectOf(CDocData& obj, const CGeoBox& box);
    // First segment whose box grown by tol holds the point strictly and
    // whose line passes within tol of it; null when none.
    static DOCNODE* FindHitSegment(const CDocData& obj, double x, double y, double tol,
                                   const DOCNODE* after = nullptr);
    static bool HitSegmentOf(CDocData& obj, double x, double y, double tol, std::uint8_t state);
    static bool HitTestOf(const CDocData& obj, double x, double y, double tol);
    static bool ReverseOf(CDocData& obj);
    // Drops the closing node, makes the node within tol the first and
    // appends a new closing node; without a match the old start stays and
    // the result is false.
    static bool SetStartPointClosedOf(CDocData& obj, double x, double y, double tol);
    // Output path chain; light-guide lines (bit 7 of the output switch) give
    // path records of sub-kind 3. Brackets get the given sub-kind.
    static PATHREC* MakeOutputPathOf(const CDocData& obj, std::uint16_t bracketSubkind);
    // The same from the given outline points (taken over and freed), for
    // outlines whose points are not their nodes; null points, null path.
    static PATHREC* MakeOutputPathOfPoints(const CDocData& obj, DOCNODE* points, std::uint16_t bracketSubkind);
    static void DrawOf(CDocData& obj, CDC* dc, DOCCONTEXT* ctx);
    static void DrawArrayPreviewOf(const CDocData& obj, CDC* dc, DOCCONTEXT* ctx, const ARRAYREC* array);
    static void DrawArrayCopiesOf(const CDocData& obj, CDC* dc, DOCCONTEXT* ctx);
    // Node marks in node editing; with onlyOneAndTwo states above 2 are not
    // drawn.
    static void DrawNodesOf(const CDocData& obj, CDC* dc, DOCCONTEXT* ctx, bool onlyOneAndTwo);
    // Arrow at 0.66 of the segment that starts at the node, in client
    // pixels.
    static void DrawDirectionArrow(const CDocData& obj, CDC* dc, DOCCONTEXT* ctx, const DOCNODE* start);
    static void DrawScalePreviewOf(const CDocData& obj, DOCCONTEXT* ctx, CDC* dc, double cx, double cy,
                                   double sx, double sy);
    static void DrawSkewPreviewOf(const CDocData& obj, DOCCONTEXT* ctx, CDC* dc, double factor, double from,
                                  double to, int direction);
    static void DrawRotatePreviewOf(const CDocData& obj, DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& centre,
                                    const CGeoPoint& from, const CGeoPoint& to);
    static void DrawMirrorPreviewOf(const CDocData& obj, DOCCONTEXT* ctx, CDC* dc, double x1, double y1,
                                    double x2, double y2);
    // With asRing the closing node is dropped, so a moved first node drags
    // both of its sides, and unmoved neighbours get no squares.
    static void DrawNodeMovePreviewOf(const CDocData& obj, DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from,
                                      const CGeoPoint& to, bool asRing);
    static void MoveSelectedNodesOf(CDocData& obj, const CGeoPoint& from, const CGeoPoint& to, int mode,
                                    DOCCONTEXT* ctx);
    static CDocData* MirrorAboutOf(CDocData& obj, double x1, double y1, double x2, double y2, bool asCopy,
                                   bool reverse, DOCCONTEXT* ctx);
    // A flipped lead angle below `wrapBelow` gets 360 added.
    static void FlipOf(CDocData& obj, const CGeoPoint& centre, bool horizontal, bool vertical, double wrapBelow,
                       DOCCONTEXT* ctx);
    // Deletes the nodes in state 2 (only in node editing); false when none
    // was deleted.
    static bool DeleteSelectedNodesOf(CDocData& obj, bool closed);
};
