// The zoom tool: a left click zooms in one step about the mouse point, a
// right click out, and a rectangle dragged with the left button fills the
// view. The tool only asks the view; the view works the zoom out.
#pragma once
#include "model/DocState.h"

#include <cstdint>

class CDocStateZoomInOut : public CDocState {
public:
    CDocStateZoomInOut() = default;
    ~CDocStateZoomInOut() override;

    void Reset(std::uint32_t mode, DOCCONTEXT* ctx) override;
    void OnLButtonDown(DOCCONTEXT* ctx) override;
    void OnLButtonUp(DOCCONTEXT* ctx) override;
    bool OnRButtonDown(DOCCONTEXT* ctx) override;
    void OnRButtonUp(DOCCONTEXT* ctx) override;
    void OnMouseMove(DOCCONTEXT* ctx) override;
    void DrawFeedback(DOCCONTEXT* ctx) override;
    void OnSetCursor(DOCCONTEXT* ctx) override;
    bool UpdateSelectionRect(DOCCONTEXT* ctx) override;

    // The world rectangle of a drag: each bound rounded half up.
    static plat::RECT DragRect(const CGeoPoint& a, const CGeoPoint& b);

    // Press point and the band's moving corner, world units.
    CGeoPoint m_ptPress;
    CGeoPoint m_ptTrack;
    // The left button is down: the band is on screen.
    std::uint8_t m_bTracking = 0;
};
