// The edit context of a document: handed to every tool and to every drawing,
// transforming, importing and processing operation.
#pragma once
#include "GeoBox.h"
#include "GeoPoint.h"
#include "NodeList.h"
#include "platform/DeviceContext.h"
#include "platform/ViewWindow.h"

#include <cstdint>
#include <string>

struct SoftwareSettings;
class CDocState;
class CDocListNode;

constexpr int kToolCount = 9;

struct DOCCONTEXT {
    CDC* m_pDC = nullptr;                 // device context of the event being handled
    plat::ViewWindow* m_pView = nullptr;  // the document's view
    std::uint8_t m_bFlag = 0;
    std::u16string m_strTitle;
    SoftwareSettings* m_pSettings = nullptr;
    CDocState* m_pTools[kToolCount] = {};
    std::int32_t m_nTool = 0;
    CDocListNode* m_pCurrent = nullptr;   // current undo snapshot: the live drawing
    CGeoBox m_rcSelect;
    double m_dZoom = 1.0;
    double m_dZoomPrev = 1.0;
    CGeoPoint m_ptMouse{kWorldOrigin, kWorldOrigin};
    plat::POINT m_ptScroll;
    std::uint8_t m_bCtrl = 0;
    std::uint8_t m_bShift = 0;
    std::uint8_t m_bResizeFlag = 0;
    // Raised by every change of the drawing: each history step (push, undo,
    // redo) and each edit that takes none (a nudge calls NoteChange). The
    // document compares it with its value at the open or the last save.
    std::uint64_t m_nChangeCount = 0;
    // Raised only when Undo or Redo moves the current snapshot: a tool that
    // points into the snapshot it worked on must let go of it then (the
    // next push may delete that snapshot). The view resets the current tool
    // when it sees the count move.
    std::uint64_t m_nHistoryMoves = 0;

    void NoteChange() { ++m_nChangeCount; }

    // Scroll position of the view at this moment (the stored one without a view).
    plat::POINT ScrollPosition() const;

    // World to client: times the zoom, minus the scroll position (doubles).
    void WorldToClientPoint(const CGeoPoint& world, CGeoPoint& out) const;
    void WorldToClientPointInt(const CGeoPoint& world, CGeoPoint& out) const { WorldToClientPoint(world, out); }
    void WorldToClientRect(const CGeoBox& world, CGeoBox& out) const;
    // Integer rectangle: trunc(v x zoom + 0.5), then minus the scroll position.
    // Integer results here are held to the 32-bit range (NaN gives 0).
    plat::RECT WorldToClientRectInt(const plat::RECT& world) const;
    // Logical integer point to world: trunc(v / zoom + 0.5).
    plat::POINT LogicalToWorld(const plat::POINT& logical) const;
    // Client pixel of a world point, rounded as the objects draw.
    plat::POINT WorldToClientPixel(double x, double y) const;
};

// Draws anchor, control, control, anchor groups as cubic pieces at
// trunc(zoom x coordinate + 0.5), without scroll offset. Leading controls are
// skipped; drawing stops when fewer than three nodes follow an anchor.
void DrawBezierNodes(const DOCNODE* head, CDC* dc, double zoom);

// The settings in force for a context: its own, else the calling thread's
// (the process-wide block, unless the thread works on a copy; a context made
// by a test or a headless run may carry none, or be null).
SoftwareSettings& SettingsOf(const DOCCONTEXT* ctx);
inline SoftwareSettings& SettingsOf(const DOCCONTEXT& ctx) { return SettingsOf(&ctx); }

// The tool a context names; null when its index is out of range or the slot
// is empty.
CDocState* CurrentTool(const DOCCONTEXT* ctx);
// The current tool, else `base`: a context without a tool still gets the
// services every tool shares (counting, selecting, layer flags).
CDocState& CurrentToolOr(const DOCCONTEXT* ctx, CDocState& base);
