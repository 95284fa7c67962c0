// The node editing tool. A click on an outline (or a band round an object)
// picks one object and shows its nodes; clicks and bands then select nodes,
// a drag moves the selected nodes, a control point or a segment, a double
// click on the outline inserts a node, Delete removes the selected nodes and
// the right button offers to make the mouse point the start point. The
// geometry is the object's own; the tool hit-tests, keeps the state, shows
// the previews and takes the undo steps.
//
// m_nMode: 0 no object, 1 an object picked (its anchors shown), 2 nodes of
// it selected.
#pragma once
#include "model/DocState.h"

#include <cstdint>

class CDocStateEditNode : public CDocState {
public:
    CDocStateEditNode() = default;
    ~CDocStateEditNode() override;

    // Always back to mode 0, whatever is asked: the object is let go.
    void Reset(std::uint32_t mode, DOCCONTEXT* ctx) override;
    void OnLButtonDown(DOCCONTEXT* ctx) override;
    void OnLButtonUp(DOCCONTEXT* ctx) override;
    void OnLButtonDblClk(DOCCONTEXT* ctx) override;
    bool OnRButtonDown(DOCCONTEXT* ctx) override;
    void OnMouseMove(DOCCONTEXT* ctx) override;
    void OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key) override;
    void DrawFeedback(DOCCONTEXT* ctx) override;
    void OnSetCursor(DOCCONTEXT* ctx) override;
    // Picks the first object whose outline passes within three pixels of
    // the mouse and shows all its nodes; every other object's nodes are
    // hidden. Nothing hit: the object held keeps its nodes shown, false.
    bool SelectAtPoint(DOCCONTEXT* ctx) override;

    // Whether the object held is still in the drawing; when it is not
    // (taken out by a command meanwhile) the tool lets go of it without
    // touching it. Every event checks first.
    bool HoldsLiveObject(DOCCONTEXT* ctx);

    // Under the mouse: 0 nothing, 1 an anchor, 2 an incoming and 3 an
    // outgoing control point, 4 a segment.
    std::uint32_t m_nHover = 0;
    // What the press took hold of: 0 nothing, 1 a node, 2 a control point,
    // 3 a segment.
    std::uint32_t m_nDragKind = 0;
    // The object being edited; it stays in the document's list.
    CDocData* m_pObject = nullptr;

private:
    static double Tolerance(const DOCCONTEXT* ctx);
    // The object's shown anchors, with the neighbours of selected ones.
    CGeoBox NodesBox() const;
    static void Repaint(DOCCONTEXT* ctx, const CGeoBox& world);
    void HoverTest(DOCCONTEXT* ctx);
    void DrawBand(DOCCONTEXT* ctx);
    void DrawPreview(DOCCONTEXT* ctx) const;
    // Takes the band or the preview off the screen image at once.
    void EraseFeedback(DOCCONTEXT* ctx);
    // Has a band or a node preview that may be on screen repainted, for
    // when it cannot be drawn away.
    void RepaintFeedback(DOCCONTEXT* ctx);
    // Back to mode 0 without the object.
    void Drop();
    void PressMode1(DOCCONTEXT* ctx);
    void PressMode2(DOCCONTEXT* ctx);
    void DeleteNodes(DOCCONTEXT* ctx);
    void RemoveObject(DOCCONTEXT* ctx);

    // The band (modes 0 and 1) or the node preview (mode 2) is drawn at
    // m_ptCur.
    bool m_bFeedbackShown = false;
};
