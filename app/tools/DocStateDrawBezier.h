// The Bezier tool: each press places an anchor, and dragging with the button
// held pulls its two controls out, mirrored about it. Enter, Esc or Space
// finish the curve open; the path menu's "end" closes it when its ends meet
// and "close" always does. Z takes back the press in progress or the last
// anchor.
//
// Every placed point is a triplet of nodes: incoming control, anchor,
// outgoing control, all made at the press point. m_pNodes holds the placed
// triplets in order; the one being dragged out stays apart in m_pPending
// until the release.
#pragma once
#include "model/DocState.h"

#include <cstdint>

class CDocStateDrawBezier : public CDocState {
public:
    CDocStateDrawBezier() = default;
    // Frees both chains.
    ~CDocStateDrawBezier() override;

    void EndPathOpen(DOCCONTEXT* ctx) override;
    void EndPathClosed(DOCCONTEXT* ctx) override;
    void Reset(std::uint32_t mode, DOCCONTEXT* ctx) override;
    void OnLButtonDown(DOCCONTEXT* ctx) override;
    void OnLButtonUp(DOCCONTEXT* ctx) override;
    bool OnRButtonDown(DOCCONTEXT* ctx) override;
    void OnMouseMove(DOCCONTEXT* ctx) override;
    // 13, 27, 32 finish open; 'Z' (90) takes back; 46 deletes the selection.
    void OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key) override;
    void DrawFeedback(DOCCONTEXT* ctx) override;
    void OnSetCursor(DOCCONTEXT* ctx) override { SetArrowCursor(ctx); }
    // Z, with or without Ctrl, while anything is being drawn: Ctrl+Z then
    // takes back a point rather than undoing an edit.
    bool ClaimsKey(DOCCONTEXT* ctx, std::uint32_t key, bool ctrl, bool shift, bool alt) override;

    // Incoming control, anchor, outgoing control at one point, unselected.
    static DOCNODE* NewNodeTriplet(double x, double y);
    // Cuts the end off a chain: mode 0 back to the last anchor before its
    // last node, mode 1 back to the last outgoing control before it (one
    // triplet). With no such node the whole chain is freed. True.
    static bool RemoveLastSegment(DOCNODE*& chain, int mode);

    // XOR: the segment from the chain's last anchor to the pending anchor,
    // and a square round the pending anchor.
    void DrawPendingSegment(DOCCONTEXT* ctx);
    // A plain square at every anchor of the chain.
    void DrawAnchorMarks(DOCCONTEXT* ctx);
    // XOR: dotted lines from the anchor to the chosen controls and a square
    // at each. Nothing for an anchor that lacks a neighbour.
    void DrawAnchorHandles(DOCCONTEXT* ctx, const DOCNODE* anchor, COLORREF colour, bool incoming, bool outgoing);

    // The triplet of the press in progress (owned); null between presses.
    DOCNODE* m_pPending = nullptr;

private:
    // The chain's last node and last anchor, kept so that a mouse move
    // costs the same however long the chain is.
    DOCNODE* Tail();
    const DOCNODE* LastAnchor();
    void FreeChains();
    // Feedback the tool drops without drawing it again: the box's client
    // area, grown by 10 pixels, is repainted.
    void Repaint(DOCCONTEXT* ctx, const CGeoBox& box) const;
    // The last placed triplet, or the whole chain when shorter.
    void AddLastTriplet(CGeoBox& box);
    // Frees the pending triplet, repainting where its segment was.
    void DropPending(DOCCONTEXT* ctx);
    // Drops a chain of fewer than two anchors; true when it did.
    bool DropLoneAnchor(DOCCONTEXT* ctx);
    // The start of every finish: the pending press dropped, the button up,
    // the handles erased and the leading control taken off; false when no
    // curve is to be made (a lone anchor is dropped).
    bool StartFinish(DOCCONTEXT* ctx);
    // Hands the chain to a new curve object as one undo step.
    void MakeCurve(DOCCONTEXT* ctx, std::uint8_t closed);
    void EraseLastHandles(DOCCONTEXT* ctx);
    COLORREF XorColour(DOCCONTEXT* ctx) const;
    void ShowDragSize(DOCCONTEXT* ctx) const;

    DOCNODE* m_pTail = nullptr;
};
