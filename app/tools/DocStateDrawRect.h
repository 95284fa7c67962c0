// The rectangle tool: a drag spans a box and the release makes it a
// rectangle on the current layer, starting at the corner of the current
// machine's positioning point. Ctrl makes it a square.
#pragma once
#include "model/DocState.h"

#include <cstdint>

class CDocStateDrawRect : public CDocState {
public:
    CDocStateDrawRect() = default;
    ~CDocStateDrawRect() override;

    void Reset(std::uint32_t mode, DOCCONTEXT* ctx) override;
    void OnLButtonDown(DOCCONTEXT* ctx) override;
    void OnLButtonUp(DOCCONTEXT* ctx) override;
    void OnMouseMove(DOCCONTEXT* ctx) override;
    void OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key) override;
    void DrawFeedback(DOCCONTEXT* ctx) override;
    void OnSetCursor(DOCCONTEXT* ctx) override;
    bool UpdateSelectionRect(DOCCONTEXT* ctx) override;

    // Set by a press, cleared by the release and by Reset.
    std::uint8_t m_bDragging = 0;

private:
    // The outline from m_ptDown to m_ptCur in XOR: a second drawing erases.
    void DrawBand(DOCCONTEXT* ctx);
    static void ShowSize(DOCCONTEXT* ctx, const CGeoBox& box);
};
