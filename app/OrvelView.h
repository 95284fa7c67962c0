// The drawing view: one per document, in its child frame. It maps world,
// logical and client coordinates for the tools and objects (through the
// context's mapping, reading the scroll bars at each call), paints through
// the current tool, and sets the zoom and scroll position.
//
// Painting keeps two images. The back buffer is rendered whole at each
// repaint (white, the work area, the objects) and kept while the client size
// stays. The screen image is what the window shows: a repaint copies the
// back buffer into it, limited to the invalid region, and has the current
// tool draw its feedback on it under the same clip; drawing outside a
// repaint (a tool's XOR preview during a drag) goes straight into it through
// an EventDC. paintEvent only copies the screen image out. A repaint renders
// only the invalid part of the back buffer, so every change of the drawing
// must invalidate what it changed.
//
// Input: every mouse event goes to the current tool (with the world point
// and a device context in the edit context), keys come through the key
// router's view hook (PreTranslateKey), commands through the command chain.
// Before each tool event the view makes sure the tool has been reset since
// the last undo or redo.
#pragma once
#include "qtplatform/CommandRouter.h"
#include "CoverGrid.h"
#include "qtplatform/KeyRouter.h"
#include "ViewZoom.h"
#include "model/GeoBox.h"
#include "platform/ViewWindow.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QRegion>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CChildFrame;
class CDocState;
class CMainFrame;
class COrvelDoc;
class QMenu;
class QtDeviceContext;
class WorkPanelPages;
struct DOCCONTEXT;

class COrvelView : public QAbstractScrollArea,
                   public plat::ViewWindow,
                   public CommandMap,
                   public KeyPreTranslator {
public:
    // Messages sent to the view (synchronously): a palette index from the
    // palette bar (second parameter), zoom in and out about the mouse point,
    // and zoom to the world rectangle the first parameter points at.
    static constexpr plat::UINT kMsgPaletteIndex = plat::WM_USER + 101;
    static constexpr plat::UINT kMsgZoomIn = plat::WM_USER + 103;
    static constexpr plat::UINT kMsgZoomOut = plat::WM_USER + 104;
    static constexpr plat::UINT kMsgZoomRect = plat::WM_USER + 105;
    static constexpr int kSelectToolCommand = 32772;
    static constexpr int kLineStep = 10;
    static constexpr int kPageStep = 100;
    // The view's own control id, which the main frame notes when the view
    // takes the focus.
    static constexpr int kViewControlId = 59648;

    explicit COrvelView(COrvelDoc* document, QWidget* parent = nullptr);
    ~COrvelView() override;
    COrvelView(const COrvelView&) = delete;
    COrvelView& operator=(const COrvelView&) = delete;

    COrvelDoc* GetDocument() const { return m_document; }
    DOCCONTEXT& Context();
    // The tool the context names; the tool base when it names none.
    CDocState* CurrentTool();

    // First display: the canvas and scroll position of a new view, the
    // document fitted (its objects, else the machine's work area), the
    // select tool, and the title in the frame and document.
    void OnInitialUpdate();
    // The view became active: the work panel's pages take this document.
    void OnActivateView(bool activate);
    // The view goes; `lastDocument` when no other document stays open, and
    // the work panel's pages then let go of every document.
    void OnDestroy(bool lastDocument);

    // Zoom to the machine's work area (900 mm x 600 mm without a machine)
    // and to all objects of the drawing; nothing for an empty box or view.
    void ZoomToWorkArea();
    void ZoomToAll();
    // Zoom to a world rectangle, centred; nothing when it is narrower or
    // lower than one world unit (the previous zoom is still recorded).
    void OnZoomRect(const plat::RECT& world) override;
    // Places the selection on the current machine's table (mode 0 against
    // the origin line, 1 on its centre, 2 against the far edge) as one undo
    // step, none when nothing moves, then shows all objects when the old
    // selection was as large as the table, else the table. Nothing without
    // a machine.
    void PlaceSelection(std::uint32_t mode);
    // Group (32860), ungroup one level (32861) and ungroup through every
    // level (32862) of the selection; one undo step each, none when nothing
    // changes. True when the document changed.
    bool GroupSelection();
    bool UngroupSelection();
    bool UngroupAll();
    // Align (horizontal mode 1 left, 2 centre, 3 right; vertical mode 1
    // upper, 2 middle, 3 lower edge) and mirror the selection as whole
    // objects against its box; one undo step each.
    bool AlignSelection(int horizontal, int vertical);
    bool MirrorSelection(bool horizontal, bool vertical);
    // One zoom step (x 1.2 in, / 1.2 out, held to [1e-5, 100]) that keeps
    // the world point under the mouse at its pixel.
    void OnZoomIn() override;
    void OnZoomOut() override;
    // A wheel turn: 1 or more zooms in, 0 or less out.
    void OnMouseWheel(int delta);

    // The current tool becomes the one of an index, as the tool buttons
    // switch (the old and the new tool reset, the select and node tools
    // start with nothing selected).
    void SwitchTool(int index);
    // The select tool command, sent to a drawing view as its toolbar button
    // sends it (the work panel's layer list does this); nothing for null or
    // another kind of window.
    static void SelectToolIn(plat::ViewWindow* view);
    // Undo and redo: the tool is reset and the whole view repainted.
    void OnUndo();
    void OnRedo();
    // The status bar after a mouse move: the count of the drawing's objects
    // and of those selected, and the mouse point in millimetres from the
    // machine origin.
    void UpdateStatusBar();
    // The count in the status bar, counted again when the drawing or the
    // selection changed since; written when `show` or when it changed, and
    // only by the active document's view unless `show`.
    void RefreshObjectCount(bool show);
    // The tooltips of the toolbars from the language table (at each
    // activation).
    void UpdateToolTips();

    // The key router's hook: keys of the drawing window before the main
    // frame and the accelerators see them. True when the key is taken (a
    // combination the current tool claims).
    bool PreTranslateKey(const VirtualKey& key) override;

    // plat::ViewWindow
    plat::POINT GetScrollPosition() const override;
    void InvalidateRect(const plat::RECT* rect, bool erase) override;
    void UpdateWindow() override;
    CDC* GetDC() override;
    void ReleaseDC(CDC* dc) override;
    plat::LPARAM SendMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam) override;
    void SetCursor(int cursorId) override;
    // The pan's scroll: the bars are moved without their scroll handling,
    // which would repaint at once; the caller repaints.
    bool GetScrollInfo(plat::ScrollBar bar, plat::ScrollInfo& info) const override;
    void SetScrollInfo(plat::ScrollBar bar, const plat::ScrollInfo& info) override;
    void ScrollBy(std::int32_t dx, std::int32_t dy) override;
    void SetRulerPositions(std::int32_t horz, std::int32_t vert) override;
    // The menu runs from the event loop, once the press that asked for it
    // has let go of the screen image.
    void TrackPopupMenu(int menuId, std::span<const plat::MenuItemText> texts, plat::POINT client) override;
    // The text font dialog, modal over the view.
    bool ShowFontDialog(plat::FontDialogValues& values) override;
    void RunLater(std::function<void()> call) override;
    // A menu or dialog of the view runs its own loop: the window is not
    // closed under it (it closes once the loop has ended).
    bool InModalLoop() const { return m_modalDepth > 0; }
    void RefreshSelectionPage() override;
    void RefreshLayerList() override;
    void RefreshOrderList() override;

    // The property bar's X, Y, width and height edits show a world box in
    // millimetres, cut to thousandths ("%0.3f mm"); empty for an empty box.
    // The rotation edit is left alone.
    void ShowSelectionSize(double xmin, double xmax, double ymin, double ymax) override;
    void ShowSelectionSize(const CGeoBox& box);
    // Edits of the selection as one undo step each; true when the document
    // changed. No step for an empty selection or a value already there.
    // Move puts the selection box's lower-left corner on (x, y); Resize
    // scales about that corner to width w and height h (with `keep` the
    // changed side decides, or the smaller factor when both changed);
    // Rotate turns about the box's centre by degrees brought into [0, 360).
    bool MoveSelectionTo(DOCCONTEXT* ctx, double x, double y);
    bool ResizeSelection(DOCCONTEXT* ctx, double w, double h, bool keep);
    bool RotateSelection(DOCCONTEXT* ctx, double degrees);
    // Applies the edit group of a property control id (32853 position,
    // 32831 size, 32855 rotation), as when the focus comes back from it.
    void ApplyPropertyEdit(int id);
    // The number an edit's text reads as: its first line, at most 50
    // characters, as a C-locale decimal number up to the first character
    // that is not part of it; 0.0 when there is none or it is not finite.
    static double ReadEditNumber(const QString& text);

    // The import command: asks for a file, remembers its folder and the
    // preview switch, and adds the file's drawing to the document.
    void OnFileImport();
    // Asks for the file to import, starting in a folder; fills the path and
    // the preview switch; false when cancelled.
    using ImportChooser = std::function<bool(const std::string& folder, std::string& path, bool& preview)>;
    static void SetImportChooserForTesting(ImportChooser chooser);
    // The import dialog's filters, in the dialog's "text (patterns)" form.
    static QStringList ImportDialogFilters();

    // Runs a context menu and answers the chosen action (null: none); the
    // default shows it at the global point. Tests choose without a menu loop.
    using PopupRunner = std::function<QAction*(QMenu& menu, const QPoint& global)>;
    static void SetPopupRunnerForTesting(PopupRunner runner);

    // Sets the context's device context to one over the screen image for
    // the life of the scope, for a tool event that draws at once; prepared
    // for logical coordinates (the viewport origin at minus the scroll
    // position) unless asked otherwise. What it draws shows when it ends.
    class EventDC {
    public:
        explicit EventDC(COrvelView& view, bool prepared = true);
        ~EventDC();
        EventDC(const EventDC&) = delete;
        EventDC& operator=(const EventDC&) = delete;
        CDC* dc() const;

    private:
        COrvelView& m_view;
        std::unique_ptr<QtDeviceContext> m_dc;
        CDC* m_saved;
    };

    // The command id of the current tool's button.
    int m_nToolCommand = kSelectToolCommand;

    // What the window shows, and the back buffer; for tests and benchmarks.
    const QImage& ScreenImage() const { return m_screen; }
    const QImage& BackBuffer() const { return m_buffer; }
    // How often the back buffer has been made.
    int BufferCreations() const { return m_bufferCreations; }
    QSize ClientSize() const;
    // The work panel's pages; null while the frame has no panel.
    WorkPanelPages* PanelPages() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    // Keys reach the view through the key router's hook alone.
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Counts a modal loop of the view for its life.
    class ModalScope {
    public:
        explicit ModalScope(COrvelView& view);
        ~ModalScope();
        ModalScope(const ModalScope&) = delete;
        ModalScope& operator=(const ModalScope&) = delete;

    private:
        COrvelView& m_view;
    };
    void RunPopupMenu(int menuId, const std::vector<plat::MenuItemText>& texts, plat::POINT client);
    // The screen image takes the client size, unless a device context is
    // open over it; then it does once the last one has closed.
    void ResizeScreen();
    void AfterPainting();
    CChildFrame* Frame() const;
    CMainFrame* MainFrame() const;
    void RegisterCommands();
    // A tool that pointed into the snapshot before the last undo or redo
    // is reset before it sees another event.
    void SyncToolWithHistory();
    // The mouse event of a client point for the current tool: the world
    // point set, a device context given for the call.
    void ToolMouseEvent(const QPoint& client, const std::function<void(CDocState*, DOCCONTEXT*)>& call);
    void OnUndoRedo(bool undo);
    void ToggleDisplay(std::uint8_t& flag, std::uint8_t* second = nullptr);
    void OnSetStartPoint();
    void OnCloseSelected();
    // The keyboard focus moved between two widgets of the application.
    void OnFocusChanged(QWidget* old, QWidget* now);
    QMetaObject::Connection m_focusConnection;
    bool IsViewWidget(const QWidget* widget) const;
    // The edits of the property bar the view reads on leaving them.
    static bool IsPropertyEdit(int id);
    // The control id a widget carries as its object name; the view's own id
    // for the view and its viewport; 0 for others.
    static int ControlIdOf(const QWidget* widget);
    // The property edits after a tool event or a history move: rewritten
    // when the selection box is no longer the one they show.
    void FollowSelection();
    // Writes a property edit and remembers the text written.
    void SetPropertyText(int id, bool lower, const QString& text);
    // The world value of a property edit: exactly `shown` while its text is
    // still the one the view wrote, else what the text reads as, through
    // `world` from millimetres.
    double PropertyValue(int id, bool lower, double shown, double (*world)(double));
    // The view or its client area has the keyboard focus.
    bool HasKeyboardFocus() const;
    // An image of the client area at the screen's device pixel ratio.
    QImage MakeViewImage() const;
    // Remakes the screen image when the window's device pixel ratio changed.
    void FollowPixelRatio();
    // Renders the back buffer and brings the region of the screen image up
    // to date with it and the tool's feedback.
    void Render(const QRegion& region);
    // Sets the zoom, scroll ranges and positions and the rulers, and
    // repaints the whole view.
    void ApplyZoom(const ZoomPlacement& placement);
    void FitTo(const CGeoBox& box);
    void SetScrollRanges(std::int32_t extent);
    void GiveRulersTheScroll();

    COrvelDoc* m_document;
    CCoverGrid m_coverGrid;
    QImage m_buffer;
    int m_nBufferWidth = 0;
    int m_nBufferHeight = 0;
    bool m_bBufferValid = false;
    int m_bufferCreations = 0;
    QImage m_screen;
    QRegion m_invalid;
    // Set while the view itself moves the scroll bars.
    bool m_settingScroll = false;
    bool m_resizePending = false;
    int m_modalDepth = 0;
    // The left button went down in the view and is not up yet.
    bool m_leftDown = false;
    // The context's history-move count the current tool has been reset at.
    std::uint64_t m_seenHistoryMoves = 0;
    // The region being rendered, while Render runs (GetDC clips to it).
    const QRegion* m_rendering = nullptr;
    std::vector<std::unique_ptr<QtDeviceContext>> m_windowDCs;
    // The first display is fitted again at each size the view takes until
    // it is first painted (a window still being laid out).
    bool m_firstFitPending = false;
    // The texts the view last wrote into the X, Y, width and height edits.
    std::array<QString, 4> m_shownTexts;
    // The box the edits were last written from.
    CGeoBox m_shownBox;
    // What the status bar's count was counted from, and the counts.
    struct CountStamp {
        const void* snapshot;
        std::uint64_t changes;
        CGeoBox selection;
        bool operator==(const CountStamp& o) const
        {
            return snapshot == o.snapshot && changes == o.changes && selection.m_xmin == o.selection.m_xmin &&
                   selection.m_xmax == o.selection.m_xmax && selection.m_ymin == o.selection.m_ymin &&
                   selection.m_ymax == o.selection.m_ymax;
        }
    };
    std::optional<CountStamp> m_countStamp;
    std::uint32_t m_objectCount = 0;
    std::uint32_t m_selectedCount = 0;
};
