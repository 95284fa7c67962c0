// The select and transform tool: picks objects by click and rubber band,
// moves the selection, scales it with eight handles and, after a second
// click on it, rotates it with the corner marks and skews it with the edge
// marks. Arrow keys nudge, Delete removes, A selects everything, the right
// button opens the edit menu and the palette recolours the selection.
//
// m_nMode: 0 nothing selected, 1 scale handles shown, 2 rotate and skew
// marks shown.
#pragma once
#include "model/DocState.h"

#include <cstdint>

class CDocStateNone : public CDocState {
public:
    CDocStateNone() = default;
    ~CDocStateNone() override;

    void Reset(std::uint32_t mode, DOCCONTEXT* ctx) override;
    void OnLButtonDown(DOCCONTEXT* ctx) override;
    void OnLButtonUp(DOCCONTEXT* ctx) override;
    bool OnRButtonDown(DOCCONTEXT* ctx) override;
    void OnMouseMove(DOCCONTEXT* ctx) override;
    void OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key) override;
    void DrawFeedback(DOCCONTEXT* ctx) override;
    void OnSetCursor(DOCCONTEXT* ctx) override;
    void SetSelectionColor(DOCCONTEXT* ctx) override;
    bool UpdateSelectionRect(DOCCONTEXT* ctx) override;

    // What a drag on a scale handle does, worked out once for the preview
    // and the release alike: scale about `fixed` by sx, sy, or (a flat box
    // dragged at an edge) move instead.
    struct ScaleStep {
        CGeoPoint fixed;
        double sx = 1.0;
        double sy = 1.0;
        bool move = false;
    };
    static ScaleStep ScaleFor(std::uint32_t handle, const CGeoBox& box, double dx, double dy);

    // Handle under a client point (0 none, 1 to 9 row by row from the
    // (xmin, ymin) corner) for a client box; 0 for an empty box.
    static std::uint32_t HitHandle(const CGeoBox& client, double x, double y);

    // Handle under the press point or the mouse: 0 none, 1 to 9.
    std::uint32_t m_nHandle = 0;
    // A drag preview is on screen (XOR) and must be drawn again to erase.
    std::uint8_t m_bPreviewShown = 0;

private:
    bool ClientBox(DOCCONTEXT* ctx, CGeoBox& client) const;
    void HitTest(DOCCONTEXT* ctx);
    bool IsInside(DOCCONTEXT* ctx) const;
    void DrawBand(DOCCONTEXT* ctx, const CGeoPoint& to);
    void DrawPreview(DOCCONTEXT* ctx, const CGeoPoint& to);
    // Moves every selected object; repaints unless `repaint` is false.
    void MoveSelection(DOCCONTEXT* ctx, const CGeoPoint& from, const CGeoPoint& to, bool repaint);
    void ScaleSelection(DOCCONTEXT* ctx);
    void SkewSelection(DOCCONTEXT* ctx);
    void RotateSelection(DOCCONTEXT* ctx);
    void TransformSelection(DOCCONTEXT* ctx);
    // Whether every selected object stays within the world's reach under the
    // drag from m_ptDown to m_ptCur.
    bool DragStaysInWorld(DOCCONTEXT* ctx) const;
    void RefreshPanel(DOCCONTEXT* ctx);
    void ShowSize(DOCCONTEXT* ctx);
};
