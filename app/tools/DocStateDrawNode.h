// The polyline tool: each press adds a corner, a rubber line follows the
// mouse from the last one, and finishing (Enter, Esc, Space, or "end" and
// "close" of the path menu) turns the corners into one polyline, or into a
// point when there is only one. Ctrl snaps each new segment to a multiple of
// 15 degrees; Ctrl+Break (key 3) drops the chain.
//
// m_pNodes holds the corners placed so far, m_bButtonDown says a chain is
// started, m_ptDown is its first corner and m_ptCur the rubber line's end.
#pragma once
#include "model/DocState.h"

#include <cstdint>

class CDocStateDrawNode : public CDocState {
public:
    CDocStateDrawNode() = default;
    ~CDocStateDrawNode() override;

    void EndPathOpen(DOCCONTEXT* ctx) override;
    void EndPathClosed(DOCCONTEXT* ctx) override;
    void Reset(std::uint32_t mode, DOCCONTEXT* ctx) override;
    void OnLButtonDown(DOCCONTEXT* ctx) override;
    bool OnRButtonDown(DOCCONTEXT* ctx) override;
    void OnMouseMove(DOCCONTEXT* ctx) override;
    void OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key) override;
    void DrawFeedback(DOCCONTEXT* ctx) override;
    void OnSetCursor(DOCCONTEXT* ctx) override;
    // The shared body: after an undo the frame follows the objects that are
    // selected now, not the polyline the undo took away.
    bool UpdateSelectionRect(DOCCONTEXT* ctx) override;

    // The point turned about the chain's last corner so that the segment
    // to it keeps its length and points at the nearest multiple of 15
    // degrees; unchanged without a chain.
    CGeoPoint SnapAngle(const CGeoPoint& point) const;

private:
    DOCNODE* LastNode() const;
    bool Drawing() const { return m_bButtonDown != 0 && m_pNodes != nullptr; }
    // The box of the corners, and with the rubber line's end.
    CGeoBox ChainBox() const;
    CGeoBox ShownBox() const;
    // The mouse point, snapped while Ctrl is held.
    CGeoPoint MousePoint(const DOCCONTEXT* ctx) const;
    // The chain and the rubber line in XOR on the event's device context.
    void DrawRubber(DOCCONTEXT* ctx);
    // Pulls the rubber line back onto the last corner before finishing.
    void RetractRubber(DOCCONTEXT* ctx);
    // Makes the point or polyline of the chain and frees the chain.
    void Finish(DOCCONTEXT* ctx);
    void ShowSize(DOCCONTEXT* ctx, const CGeoBox& box);
};
