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
// an EventDC. paintEvent only copies the screen image out.
#pragma once
#include "CommandRouter.h"
#include "CoverGrid.h"
#include "ViewZoom.h"
#include "platform/ViewWindow.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QRegion>

#include <memory>

class CChildFrame;
class CDocState;
class COrvelDoc;
class QtDeviceContext;
class WorkPanelPages;
struct DOCCONTEXT;

class COrvelView : public QAbstractScrollArea, public plat::ViewWindow, public CommandMap {
public:
    // Messages sent to the view (synchronously): a palette index from the
    // palette bar (second parameter), and zoom to the world rectangle the
    // first parameter points at.
    static constexpr plat::UINT kMsgPaletteIndex = plat::WM_USER + 101;
    static constexpr plat::UINT kMsgZoomRect = plat::WM_USER + 105;
    static constexpr int kSelectToolCommand = 32772;
    static constexpr int kLineStep = 10;
    static constexpr int kPageStep = 100;

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

    // A message sent to the view; 0 when it is not one of the view's.
    plat::LPARAM SendMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam);

    // Zoom to the machine's work area (900 mm x 600 mm without a machine)
    // and to all objects of the drawing; nothing for an empty box or view.
    void ZoomToWorkArea();
    void ZoomToAll();
    // Zoom to a world rectangle, centred; nothing when it is narrower or
    // lower than one world unit (the previous zoom is still recorded).
    void OnZoomRect(const plat::RECT& world);

    // plat::ViewWindow
    plat::POINT GetScrollPosition() const override;
    void InvalidateRect(const plat::RECT* rect, bool erase) override;
    void UpdateWindow() override;

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

private:
    CChildFrame* Frame() const;
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
    // The first display is fitted again at each size the view takes until
    // it is first painted (a window still being laid out).
    bool m_firstFitPending = false;
};
