// The ellipse object: a closed path of four cubic Bezier segments, so it
// keeps most of the Bezier path's bodies. Its start node is placed by the
// current machine's positioning point when it is built; its hit test is
// tighter, it edits and draws its nodes as anchors only, and its array
// record explodes into real copies.
#pragma once
#include "DocDataBezier.h"
#include "DocDataLine.h"

#include <cstdint>

class CDocDataEllipse : public CDocDataBezier {
public:
    // No nodes, closed.
    CDocDataEllipse();
    // The ellipse inscribed in the box from (x0, y0) to (x1, y1); the box is
    // kept exactly as given, also when x1 < x0 or y1 < y0 (the nodes then run
    // the other way round). The start goes where the current machine's
    // positioning point asks.
    CDocDataEllipse(double x0, double y0, double x1, double y1);
    CDocDataEllipse(const CDocDataEllipse& source);
    ~CDocDataEllipse() override = default;

    // Copy for the object-list clone and array explosion: a new ellipse when
    // the source is one, else null.
    static CDocData* Copy(const CDocData& source);

    // Moves the start anchor to the point of the box that the positioning
    // code (0-8, a 3 x 3 grid) names; other codes change nothing. True when
    // the start moved.
    bool ApplyStartPosition(int code);
    // Positioning point of the current machine, or -1 without one.
    static int CurrentPositioningCode();

    bool DeselectNodes() override { return SharedDeselectNodes(); }
    // Anchors only; 1 when one was hit.
    std::uint8_t SelectNodeAt(double x, double y, double tol, std::uint8_t state) override;
    bool HitSegment(double x, double y, double tol, std::uint8_t state) override;
    // Neither a segment's node box nor a chord's box is grown by tol.
    bool HitTest(double x, double y, double tol) override;
    // The box of the outline flattened at 10.0, with the array copies.
    void RecalcBoundRect(DOCCONTEXT* ctx) override;
    bool SetStartPoint(double x, double y, double tol) override;
    // An ellipse is always closed.
    bool Close() override { return false; }
    void ExplodeArray(DOCCONTEXT* ctx) override;
    void Draw(CDC* dc, DOCCONTEXT* ctx) override;
    void DrawArrayPreview(CDC* dc, DOCCONTEXT* ctx, const ARRAYREC* array) override;
    void DrawNodes(CDC* dc, DOCCONTEXT* ctx) override;
    // Arrow at the second anchor along its outgoing control; nothing when
    // node deletions left fewer than two segments.
    void DrawDirection(CDC* dc, DOCCONTEXT* ctx) override;
    void Move(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT* ctx) override { SharedMove(from, to, ctx); }
    // Active anchors move with their two controls, whatever the mode; the box
    // is left to the caller.
    void MoveSelectedNodes(const CGeoPoint& from, const CGeoPoint& to, int mode, DOCCONTEXT* ctx) override;
    void DrawNodeMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to,
                             int mode) override;
    // Reflects the nodes, the enabled lead points (angles become 360 - angle)
    // and the end-gap marker.
    CDocData* MirrorAbout(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                          DOCCONTEXT* ctx) override
    {
        return CDocDataLine::MirrorAboutOf(*this, x1, y1, x2, y2, asCopy, reverse, ctx);
    }
    bool DeleteSelectedNodes() override;
};
