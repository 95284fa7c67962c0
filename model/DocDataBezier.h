// The general curve object: a path of cubic Bezier segments. Its node list
// runs anchor, outgoing control, incoming control, anchor, ...; a segment is
// an anchor with three successors, and the anchor that ends one segment
// starts the next. A closed path repeats its first anchor exactly as its
// last node. The ellipse object derives from it and keeps most of its bodies.
#pragma once
#include "DocData.h"

#include <cstdint>
#include <utility>
#include <vector>

class CDocDataBezier : public CDocData {
public:
    CDocDataBezier();
    // Takes the list itself when `adopt` is set, else a copy; computes the box
    // and closes the path (last node put exactly on the first) when its ends
    // lie within 0.001 of each other.
    CDocDataBezier(DOCNODE* nodes, bool adopt, DOCCONTEXT* ctx);
    CDocDataBezier(const CDocDataBezier& source);
    ~CDocDataBezier() override = default;

    // Copy for the object-list clone: a new Bezier path when the source is
    // one (an ellipse counts), else null.
    static CDocData* Copy(const CDocData& source);

    bool SelectAllNodes() override { return SharedSelectAllNodes(); }
    bool DeselectNodes() override;
    bool SelectInRect(const CGeoBox& box) override;
    // 1 anchor, 2 incoming control, 3 outgoing control, 0 nothing hit.
    std::uint8_t SelectNodeAt(double x, double y, double tol, std::uint8_t state) override;
    bool HitSegment(double x, double y, double tol, std::uint8_t state) override;
    bool UnionSelectedNodesRect(CGeoBox& box, bool withNeighbours, bool reset) override;
    bool HitTest(double x, double y, double tol) override;
    void SetColor(std::int32_t layer, std::uint32_t color) override { SharedSetColor(layer, color); }
    void RecalcBoundRect(DOCCONTEXT* ctx) override;
    CGeoBox GetAnchorRect() override;
    bool Reverse() override;
    bool SetStartPoint(double x, double y, double tol) override;
    bool GetStartPoint(CGeoPoint& point) override { return SharedGetStartPoint(point); }
    bool GetEndPoint(CGeoPoint& point) override { return SharedGetEndPoint(point); }
    bool Close() override;
    PATHREC* MakeOutputPath() override;
    // The outline flattened at the output tolerance, anchors only.
    DOCNODE* CopyNodes() override;
    void Draw(CDC* dc, DOCCONTEXT* ctx) override;
    void DrawArrayPreview(CDC* dc, DOCCONTEXT* ctx, const ARRAYREC* array) override;
    void DrawNodes(CDC* dc, DOCCONTEXT* ctx) override;
    void DrawStartPoint(CDC* dc, DOCCONTEXT* ctx) override { SharedDrawStartPoint(dc, ctx); }
    void DrawIndex(CDC* dc, DOCCONTEXT* ctx, int number) override { SharedDrawIndex(dc, ctx, number); }
    void DrawDirection(CDC* dc, DOCCONTEXT* ctx) override;
    void DrawArrayCopies(CDC* dc, DOCCONTEXT* ctx) override;
    // Translates nodes, lead points, end-gap marker and the box itself.
    void Move(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT*) override { SharedMoveWithBox(from, to); }
    void DrawMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to) override;
    void Scale(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override
    {
        SharedScale(cx, cy, sx, sy, ctx);
    }
    void DrawScalePreview(DOCCONTEXT* ctx, CDC* dc, double cx, double cy, double sx, double sy) override;
    void Skew(double factor, double from, double to, int direction, DOCCONTEXT* ctx) override
    {
        SharedSkew(factor, from, to, direction, ctx);
    }
    void DrawSkewPreview(DOCCONTEXT* ctx, CDC* dc, double factor, double from, double to,
                         int direction) override;
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
                           const CGeoPoint& to) override;
    // Modes 1 and 3 move the active anchors with their controls; mode 2 moves
    // the active controls and their opposite controls the other way.
    void MoveSelectedNodes(const CGeoPoint& from, const CGeoPoint& to, int mode, DOCCONTEXT* ctx) override;
    void DrawNodeMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to,
                             int mode) override;
    // Reflects the nodes only; lead and end-gap points stay where they are.
    CDocData* MirrorAbout(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                          DOCCONTEXT* ctx) override;
    void Flip(const CGeoPoint& centre, bool horizontal, bool vertical, DOCCONTEXT* ctx) override;
    void DrawMirrorPreview(DOCCONTEXT* ctx, CDC* dc, double x1, double y1, double x2, double y2) override;
    // The node scaling of the polyline family.
    void ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override;
    bool InsertNodeAt(double x, double y, double tol) override;
    bool DeleteSelectedNodes() override;

protected:
    // The closed-path start move: the first anchor after the head (never the
    // head itself, never the closing node) within tol becomes the start, and
    // a new closing node repeats it. False when none lies there.
    bool MoveClosedStart(double x, double y, double tol);
    // Segment hit on the path flattened at `flattenTol`; the hit segment's
    // end anchors take the state (and the matching end of a closed path).
    bool HitFlattenedSegment(double x, double y, double tol, std::uint8_t state, double flattenTol);
    // Curve hit on samples at parameter steps of 0.1: a segment whose node
    // box, and then a chord whose box, grown by `boxGrowth` contains the
    // point (bounds inclusive), with the point below tol from the chord's
    // line.
    bool HitSampledSegments(double x, double y, double tol, double boxGrowth) const;
    // Moves the nodes of a list the way a node drag of the given mode does
    // (modes 1 and 3: active anchors with their controls; mode 2: active
    // controls, their opposite controls the other way, wrapping round the
    // ends of a closed path; no node moves twice). With `handles`, each moved
    // control and its anchor are added as a pair.
    static void MoveNodesOfList(DOCNODE* head, bool closed, double dx, double dy, int mode,
                                std::vector<std::pair<DOCNODE*, DOCNODE*>>* handles);
    // Handle lines from controls to their anchors with a 4-pixel square at
    // each control, at zoom x world without the scroll offset.
    static void DrawHandles(CDC* dc, double zoom, const std::vector<std::pair<DOCNODE*, DOCNODE*>>& handles);
    // Draw without the emptiness test: own array preview, leads, segments,
    // end-gap cross, then the document's array copies.
    void DrawOutlineAndCopies(CDC* dc, DOCCONTEXT* ctx);
    // The outline shifted by (ox, oy) world units with its lead lines and,
    // when asked, the end-gap cross, with the pen in force.
    void DrawShifted(CDC* dc, const DOCCONTEXT* ctx, double ox, double oy, bool endGapCross) const;
    // Copies at every (row, column) but (0, 0) of the record, with the pen.
    void DrawCopies(CDC* dc, const DOCCONTEXT* ctx, const ARRAYREC& array, const plat::Pen& pen,
                    bool endGapCross) const;
    // Anchor marks of node editing; with handles, the control handles of the
    // segments that meet at each active anchor.
    void DrawAnchorMarks(CDC* dc, DOCCONTEXT* ctx, bool handles) const;
    // Arrow head at anchor p pointing towards q.
    void DrawDirectionArrow(CDC* dc, DOCCONTEXT* ctx, const DOCNODE* p, const DOCNODE* q) const;
    // Node deletion at the inner anchor n (one with a predecessor and a
    // successor): the two segments that meet there become one, n and its two
    // controls go, and n moves on to the anchor after them. Where n lacks a
    // segment on either side nothing goes and n moves on to its successor.
    // True when deleted.
    static bool MergeSegmentsAt(DOCNODE*& n);
    // After a node edit: lead lines and end-gap marker follow the outline.
    void RefreshLeadsAndGap(DOCCONTEXT* ctx);
    // Draws a transformed copy of the nodes as Bezier pieces in exclusive-or
    // mode with the given pen, then frees the copy.
    static void DrawXorCopy(DOCCONTEXT* ctx, CDC* dc, DOCNODE*& copy, const plat::Pen& pen);
};
