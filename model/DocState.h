// The base of the editing tools, with the services that engine code uses of
// it: freeing node lists, growing boxes, the undo history and the selection
// of the whole document.
#pragma once
#include "GeoBox.h"
#include "NodeList.h"
#include "platform/DeviceContext.h"

#include <cstdint>

struct DOCCONTEXT;
class CDocListNode;

// Older snapshots kept before a push; the push itself adds one more.
constexpr int kHistoryOlderLimit = 30;

class CDocState {
public:
    CDocState() = default;
    virtual ~CDocState() = default;

    // Operations the view calls on the current tool; the base does nothing.
    // Back to the tool's resting state (mode is tool specific).
    virtual void Reset(std::uint32_t mode, DOCCONTEXT* ctx);
    // Rubber bands and previews, drawn on ctx->m_pDC after the objects.
    virtual void DrawFeedback(DOCCONTEXT* ctx);
    // The palette index in the settings changed: recolour what the tool works on.
    virtual void SetSelectionColor(DOCCONTEXT* ctx);

    // Every object of the current snapshot in list order, with its attached
    // objects; travel lines (dotted, in the axis colour), node marks (node
    // tool only), directions, order numbers and start points as the settings
    // ask. Nothing without a device context or a current snapshot.
    virtual void DrawObjects(CDC* dc, DOCCONTEXT* ctx);

    // Selects (true) or deselects every object of the document, rebuilds the
    // selection box and repaints the area that changed.
    virtual void SelectAll(DOCCONTEXT* ctx, bool select);
    // Number of selected objects of the document.
    virtual std::uint32_t CountSelected(DOCCONTEXT* ctx);
    // Output switch of every object from its layer record: bit 0 set when
    // the layer is cut or scanned, else only bit 7 kept. Objects of a layer
    // without a record keep their switch.
    virtual void ApplyLayerFlags(DOCCONTEXT* ctx);

    // Before an edit: drops the redo side, drops the oldest snapshot when
    // more than 30 older ones exist, then keeps a copy of the current
    // snapshot as its older neighbour; the current node stays the live
    // document. False only without a current snapshot. Push, undo and redo
    // each raise the context's change count when they take a step.
    static bool PushHistory(DOCCONTEXT* ctx);
    // Steps to the older snapshot; false at the oldest.
    static bool Undo(DOCCONTEXT* ctx);
    // Steps to the newer snapshot; false at the newest.
    static bool Redo(DOCCONTEXT* ctx);
    // Deletes a snapshot and every newer one; head becomes null.
    static void DeleteHistoryChain(CDocListNode*& head);

    // Frees every node of a list, cutting a ring open first; head becomes null.
    static void FreeNodeList(DOCNODE*& head);
    // Grows a box by d on every side.
    static void InflateRect(CGeoBox& box, double d);
};
