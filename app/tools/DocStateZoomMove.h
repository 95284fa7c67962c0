// The pan tool: dragging with the left button scrolls the view with the
// mouse, whole pixels at a time, within the scroll bars' ranges.
#pragma once
#include "model/DocState.h"

#include <cstdint>

class CDocStateZoomMove : public CDocState {
public:
    CDocStateZoomMove() = default;
    ~CDocStateZoomMove() override;

    void Reset(std::uint32_t mode, DOCCONTEXT* ctx) override;
    void OnLButtonDown(DOCCONTEXT* ctx) override;
    void OnLButtonUp(DOCCONTEXT* ctx) override;
    void OnLButtonDblClk(DOCCONTEXT* ctx) override;
    void OnMouseMove(DOCCONTEXT* ctx) override;
    void OnSetCursor(DOCCONTEXT* ctx) override;

    // The mouse point the last scroll was measured to, and where it is now,
    // client pixels. A move of less than a pixel keeps m_ptPress, so small
    // moves add up.
    CGeoPoint m_ptPress;
    CGeoPoint m_ptTrack;
    // The left button is down.
    std::uint8_t m_bTracking = 0;
};
