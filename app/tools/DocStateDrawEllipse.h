// The ellipse tool: a drag spans a box, and on release the ellipse
// inscribed in it becomes a new object on the current layer. Ctrl makes it
// a circle.
#pragma once
#include "model/DocState.h"

#include <cstdint>

class CDocStateDrawEllipse : public CDocState {
public:
    CDocStateDrawEllipse() = default;
    ~CDocStateDrawEllipse() override = default;

    void Reset(std::uint32_t mode, DOCCONTEXT* ctx) override;
    void OnLButtonDown(DOCCONTEXT* ctx) override;
    void OnLButtonUp(DOCCONTEXT* ctx) override;
    void OnMouseMove(DOCCONTEXT* ctx) override;
    // Delete (46) removes the selection; other keys do nothing.
    void OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key) override;
    // The selection frame only: a repaint does not bring the band back.
    void DrawFeedback(DOCCONTEXT* ctx) override;
    void OnSetCursor(DOCCONTEXT* ctx) override { SetArrowCursor(ctx); }
    bool UpdateSelectionRect(DOCCONTEXT* ctx) override { return SharedUpdateSelectionRect(ctx); }

private:
    // XOR outline of the ellipse in the box from m_ptDown to m_ptCur; a
    // second call erases it.
    void DrawBand(DOCCONTEXT* ctx) const;
    void ShowSize(DOCCONTEXT* ctx, const CGeoBox& box) const;
};
