// The base of the nine editing tools, with the services every tool and the
// view share: the undo history, selection and counting, the overlay drawing,
// adding new objects and deleting the selection.
//
// How the view drives a tool (the contract the tools build on):
// - The document's edit context owns one instance of each tool
//   (DOCCONTEXT::m_pTools, by index) and names the current one (m_nTool).
// - Before OnLButtonDown, OnLButtonUp, OnLButtonDblClk, OnRButtonDown,
//   OnMouseMove and OnKeyDown the view sets ctx->m_ptMouse (world point of
//   the event; unchanged for keys) and ctx->m_pDC (a device context over the
//   view in logical coordinates: world x zoom, scroll taken off by the
//   context); m_pDC is null again after the call. OnRButtonUp gets neither.
//   OnRButtonDown answering true sends the view back to the select tool.
// - Reset(0) comes at a tool switch, after every Undo and Redo, and when the
//   view loses the focus mid-drag: a tool then drops every drag state and
//   every pointer into the document's objects (the snapshot it pointed
//   into may be deleted by the next push).
// - An edit calls PushHistory once before the document changes, never for
//   view-only changes; new objects go to AddObjects.
// - Drag feedback is drawn with XOR on ctx->m_pDC, always twice (erase,
//   draw); DrawFeedback draws the present feedback again after a repaint.
// - A key combination of the accelerator table (Ctrl+Z, Shift+Del and so
//   on) reaches OnKeyDown only when ClaimsKey says so in the tool's present
//   state, and its command then does not run: one press, one action. Every
//   other key reaches OnKeyDown as it comes.
// - What a tool needs of the window (cursor, context menu, property bar,
//   work-panel refreshes, a device context of its own) is on ctx->m_pView,
//   which is null until the document has a view.
#pragma once
#include "GeoBox.h"
#include "GeoPoint.h"
#include "NodeList.h"
#include "platform/DeviceContext.h"

#include <cstddef>
#include <cstdint>

struct DOCCONTEXT;
class CDocData;
class CDocListNode;

// Older snapshots kept before a push; the push itself adds one more.
constexpr int kHistoryOlderLimit = 30;

// Tool indexes of DOCCONTEXT::m_pTools.
enum : std::int32_t {
    TOOL_SELECT = 0,
    TOOL_EDIT_NODE = 1,
    TOOL_POLYLINE = 2,
    TOOL_BEZIER = 3,
    TOOL_RECT = 4,
    TOOL_ELLIPSE = 5,
    TOOL_TEXT = 6,
    TOOL_ZOOM = 7,
    TOOL_PAN = 8,
};

class CDocState {
public:
    CDocState() = default;
    // Frees the node chain of a shape being drawn.
    virtual ~CDocState();
    CDocState(const CDocState&) = delete;
    CDocState& operator=(const CDocState&) = delete;

    // ---- Operations the view calls on the current tool --------------------
    // The base does nothing where nothing is said.

    // Context menu items "end" (32880) and "close" (32881) of the drawing
    // tools: finish the shape open or closed.
    virtual void EndPathOpen(DOCCONTEXT* ctx);
    virtual void EndPathClosed(DOCCONTEXT* ctx);
    // Back to the resting state; the mode is the tool's own.
    virtual void Reset(std::uint32_t mode, DOCCONTEXT* ctx);
    virtual void OnLButtonDown(DOCCONTEXT* ctx);
    virtual void OnLButtonUp(DOCCONTEXT* ctx);
    virtual void OnLButtonDblClk(DOCCONTEXT* ctx);
    // True (the base) sends the view back to the select tool.
    virtual bool OnRButtonDown(DOCCONTEXT* ctx);
    virtual void OnRButtonUp(DOCCONTEXT* ctx);
    virtual void OnMouseMove(DOCCONTEXT* ctx);
    // A virtual-key code (46 Delete, 27 Esc, 'Z' ...).
    virtual void OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key);
    // Rubber bands and previews, drawn on ctx->m_pDC after the objects.
    virtual void DrawFeedback(DOCCONTEXT* ctx);
    // Sets the cursor through ctx->m_pView.
    virtual void OnSetCursor(DOCCONTEXT* ctx);
    // Toggles the selection of the first object (list order) within three
    // pixels of the mouse point; false when none is hit.
    virtual bool SelectAtPoint(DOCCONTEXT* ctx);
    // Empties the selection box, deselects every object, mode 0.
    virtual void DeselectAll(DOCCONTEXT* ctx);
    // The palette index in the settings changed: recolour what the tool
    // works on.
    virtual void SetSelectionColor(DOCCONTEXT* ctx);
    // Brings the selection box up to date with the objects; the base leaves
    // it and answers false (SharedUpdateSelectionRect is the tools' body).
    virtual bool UpdateSelectionRect(DOCCONTEXT* ctx);
    virtual bool HasSelection(DOCCONTEXT* ctx);
    // Any object with nodes selected by node editing.
    virtual bool HasSelectedNodes(DOCCONTEXT* ctx);
    // Number of selected objects of the document.
    virtual std::uint32_t CountSelected(DOCCONTEXT* ctx);
    // Selects (true) or deselects every object of the document, rebuilds the
    // selection box and repaints the area that changed.
    virtual void SelectAll(DOCCONTEXT* ctx, bool select);
    // Output switch of every object from its layer record: bit 0 set when
    // the layer is cut or scanned, else only bit 7 kept. Objects of a layer
    // without a record keep their switch.
    virtual void ApplyLayerFlags(DOCCONTEXT* ctx);
    // A black square handle on dc. Index 0 to 7: at a world point, placed
    // round a box corner or edge middle; any other index: at a client point.
    virtual void DrawSelectionHandles(CDC* dc, DOCCONTEXT* ctx, CGeoPoint point, int index);
    // Marks round a world box, in client coordinates: kind 0 the rotation
    // centre, 1 the rotation handles (icons 243 to 246), 2 the skew handles
    // (icons 247, 248).
    virtual void DrawTransformMarks(CDC* dc, DOCCONTEXT* ctx, CGeoBox box, int kind);
    // Rubber-band rectangle in XOR (a second call erases it), in the view's
    // logical coordinates: the corners of an integer world rectangle (left,
    // top, right, bottom) or of two world points, times the zoom, rounded.
    // The pen colour is the background colour XOR the given one.
    virtual void DrawTrackRect(CDC* dc, const plat::RECT& world, int style, COLORREF colour, DOCCONTEXT* ctx);
    virtual void DrawTrackRectPoints(CDC* dc, CGeoPoint p1, CGeoPoint p2, int style, COLORREF colour,
                                     DOCCONTEXT* ctx);
    // Every object of the current snapshot in list order, with its attached
    // objects; travel lines (dotted, in the axis colour), node marks (node
    // tool only), directions, order numbers and start points as the settings
    // ask. Objects wholly outside the device context's clip box are passed
    // over. Nothing without a device context or a current snapshot.
    virtual void DrawObjects(CDC* dc, DOCCONTEXT* ctx);
    // New objects (a chain linked by m_pNext, `first` at its head) go to the
    // end of the document, selected alone; each takes its output switch from
    // its own layer. The work panel and the view are brought up to date.
    virtual void AddObjects(DOCCONTEXT* ctx, CDocData* first);
    // Objects the selection stands for: a group counts its children, an
    // object with an array record rows x columns (a zero count taken as 1).
    // Counting changes nothing.
    virtual std::uint32_t CountObjects(DOCCONTEXT* ctx);
    // The same rule over every object of a list, selected or not.
    virtual std::uint32_t CountObjectsInList(CDocData* first);
    // Whether the tool takes a key combination of the accelerator table in
    // its present state, in place of the combination's command. The base
    // takes none.
    virtual bool ClaimsKey(DOCCONTEXT* ctx, std::uint32_t key, bool ctrl, bool shift, bool alt);

    // ---- Shared bodies of the drawing tools --------------------------------

    // How DeleteSelectedObjects repaints: the common way (grown by 15 pixels,
    // the document array's extent added), or the Bezier tool's (grown by 10,
    // no array extent, the whole view while order numbers are shown).
    enum class DeleteRepaint { Standard, Bezier };
    // The Delete key: nothing without a selection; else one undo step, the
    // selected objects unlinked and deleted, the selection box emptied, the
    // area repainted, the layer list and the manual order list rebuilt.
    void DeleteSelectedObjects(DOCCONTEXT* ctx, DeleteRepaint repaint = DeleteRepaint::Standard);
    // The selection box's handles, on a device context of the view's own:
    // eight handles at the box when it is at least 10 x 10 pixels, else the
    // narrow or low patterns of squares beside it. Nothing for an empty box.
    void DrawSelectionFrame(DOCCONTEXT* ctx);
    // The Ctrl square: the longer side of the drag from `down` to `cur` is
    // cut to the shorter one's length, keeping its sign.
    static void ConstrainSquare(const CGeoPoint& down, CGeoPoint& cur);
    // Right button of the path tools: OnMouseMove runs first; when nothing
    // is being drawn the answer is true (back to the select tool); else the
    // "end" / "close" menu (214) is shown at the mouse point and the answer
    // is false.
    bool ShowPathMenu(DOCCONTEXT* ctx, bool drawing);
    // The cursor of the drawing tools: the standard arrow.
    static void SetArrowCursor(DOCCONTEXT* ctx);
    // The common UpdateSelectionRect: the union of the boxes of the selected
    // objects (empty when none); true.
    bool SharedUpdateSelectionRect(DOCCONTEXT* ctx);

    // ---- Services of the view and of other subsystems ----------------------

    // Union of the anchor boxes of the selected objects of a list; the empty
    // box when none is selected.
    static CGeoBox GetSelectionBounds(CDocData* first);
    // Client pixels a repainted world box is grown by on every side, so
    // that handles and marks drawn round it are repainted with it.
    static constexpr double kRepaintGrow = 15.0;
    // Invalidates a world box of the view with erasing: the document array's
    // extent added to its x-max, mapped to client pixels, grown by `grow`.
    // Nothing for an empty box or without a view.
    static void InvalidateSelectionArea(DOCCONTEXT* ctx, const CGeoBox& box, double grow = kRepaintGrow);
    // Tells the operator that an edit was refused, changing nothing, because
    // it would take the drawing beyond the world's reach (kWorldLimit).
    static void ReportOutOfWorld(DOCCONTEXT* ctx);
    // A client box grown by d on every side, rounded to whole pixels.
    static plat::RECT ClientRectOf(const CGeoBox& client, double grow);
    // Invalidates a world box of the view with erasing, mapped to client
    // pixels and grown by `grow`, without the array's extent (a tool's own
    // feedback). Nothing for an empty box or without a context or view.
    static void InvalidateWorldBox(DOCCONTEXT* ctx, const CGeoBox& world, double grow = kRepaintGrow);

    // ---- Undo history ------------------------------------------------------

    // Before an edit: drops the redo side; drops the oldest snapshot when
    // more than 30 older ones exist, and more of the oldest while the
    // history would pass its memory budget; then keeps a copy of the current
    // snapshot as its older neighbour. The current node stays the live
    // document and the copy is always kept. False only without a current
    // snapshot. Push, undo and redo each raise the change count when they
    // take a step; undo and redo also raise the history-move count.
    static bool PushHistory(DOCCONTEXT* ctx);
    // Steps to the older snapshot; false at the oldest.
    static bool Undo(DOCCONTEXT* ctx);
    // Steps to the newer snapshot; false at the newest.
    static bool Redo(DOCCONTEXT* ctx);
    // Deletes a snapshot and every newer one; head becomes null.
    static void DeleteHistoryChain(CDocListNode*& head);

    // Bytes the history may hold, the live snapshot included; 0 restores the
    // default, a quarter of the physical memory.
    static void SetHistoryBudget(std::size_t bytes);
    static std::size_t HistoryBudget();
    // What a snapshot holds on the heap, estimated from its objects, nodes
    // and records as the allocator hands them out.
    static std::size_t SnapshotBytes(const CDocListNode& snapshot);

    // An undo step for an edit that may turn out to change nothing: taken
    // as PushHistory takes it, but the redo steps and oldest steps the push
    // drops are held. Withdraw takes the step back and gives them back, so
    // the history and the change count are as before; otherwise the step
    // stays when the scope ends.
    class PendingStep {
    public:
        explicit PendingStep(DOCCONTEXT* ctx);
        ~PendingStep();
        PendingStep(const PendingStep&) = delete;
        PendingStep& operator=(const PendingStep&) = delete;
        bool Taken() const { return m_copy != nullptr; }
        void Withdraw();

    private:
        DOCCONTEXT* m_ctx;
        CDocListNode* m_live = nullptr;
        CDocListNode* m_copy = nullptr;
        CDocListNode* m_redo = nullptr;
        CDocListNode* m_dropped = nullptr; // oldest first, its newest end unlinked
    };

    // Frees every node of a list, cutting a ring open first; head becomes null.
    static void FreeNodeList(DOCNODE*& head);
    // Grows a box by d on every side.
    static void InflateRect(CGeoBox& box, double d);

    // Head of the temporary node chain of the shape being drawn (owned).
    DOCNODE* m_pNodes = nullptr;
    // The left button is held (the polyline tool: a chain is started).
    std::uint8_t m_bButtonDown = 0;
    // Tool-specific mode; 0 after construction, Reset(0) and DeselectAll.
    std::uint32_t m_nMode = 0;
    // World points where the drag began and where it is now.
    CGeoPoint m_ptDown;
    CGeoPoint m_ptCur;

private:
    static bool TakeStep(DOCCONTEXT* ctx, CDocListNode** redo, CDocListNode** dropped);
};
