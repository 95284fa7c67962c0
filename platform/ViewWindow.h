// What engine code and the editing tools need of a document's view window:
// its scroll position, repainting, a device context for drawing at once,
// the zoom messages, the cursor, context menus, the property bar and the
// work panel's pages. The program's view implements it; tests use a recorder.
#pragma once
#include "DeviceContext.h"
#include "RecordingDC.h"
#include "Win.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plat {

// The standard arrow cursor; other ids are cursor resources.
constexpr int IDC_ARROW = 32512;
// The system's sizing cursors: diagonal (top left to bottom right, and top
// right to bottom left), horizontal, vertical, and the four-way move.
constexpr int IDC_SIZENWSE = 32642;
constexpr int IDC_SIZENESW = 32643;
constexpr int IDC_SIZEWE = 32644;
constexpr int IDC_SIZENS = 32645;
constexpr int IDC_SIZEALL = 32646;

// One scroll bar as the view keeps it: the range (the maximum is a position
// too), the page, the position and where its thumb is being dragged.
struct ScrollInfo {
    std::int32_t nMin = 0;
    std::int32_t nMax = 0;
    std::int32_t nPage = 0;
    std::int32_t nPos = 0;
    std::int32_t nTrackPos = 0;
    friend bool operator==(const ScrollInfo&, const ScrollInfo&) = default;
};
enum ScrollBar : int { SB_HORZ = 0, SB_VERT = 1 };

// A context-menu item whose text replaces the resource's own.
struct MenuItemText {
    UINT id = 0;
    std::u16string text;
    friend bool operator==(const MenuItemText&, const MenuItemText&) = default;
};

// What the text font dialog shows and gives back: font kind, face name,
// text, character height and spacing in millimetres.
struct FontDialogValues {
    std::u16string type;
    std::u16string face;
    std::u16string text;
    double height = 0.0;
    double spacing = 0.0;
    friend bool operator==(const FontDialogValues&, const FontDialogValues&) = default;
};

class ViewWindow {
public:
    virtual ~ViewWindow() = default;
    // Scroll position in logical units, read at each call.
    virtual POINT GetScrollPosition() const = 0;
    // Marks a client rectangle for repainting (null: the whole view).
    virtual void InvalidateRect(const RECT* rect, bool erase) = 0;
    // Repaints what is invalid now.
    virtual void UpdateWindow() = 0;

    // A device context over the window in client coordinates (no scroll
    // origin), for drawing at once; during a repaint it draws under the
    // repaint's clip. Hand it back with ReleaseDC. Null when the window
    // cannot draw.
    virtual DeviceContext* GetDC() { return nullptr; }
    virtual void ReleaseDC(DeviceContext*) {}
    // A message sent to the view and handled before the call returns (the
    // zoom messages WM_USER+103 to +105); 0 when it is not the view's.
    virtual LPARAM SendMessage(UINT, WPARAM, LPARAM) { return 0; }
    // The zoom messages as calls: one step in or out about the mouse point,
    // and to a world rectangle (left, top, right, bottom).
    virtual void OnZoomIn() {}
    virtual void OnZoomOut() {}
    virtual void OnZoomRect(const RECT&) {}
    // A scroll bar's range, page and position; false when there is none.
    virtual bool GetScrollInfo(ScrollBar, ScrollInfo&) const { return false; }
    // Writes a scroll bar back; no scroll handling runs for it.
    virtual void SetScrollInfo(ScrollBar, const ScrollInfo&) {}
    // Moves the scroll position by whole pixels and the content with it.
    virtual void ScrollBy(std::int32_t, std::int32_t) {}
    // The rulers follow a scroll position, horizontal then vertical.
    virtual void SetRulerPositions(std::int32_t, std::int32_t) {}
    // The cursor over the view: IDC_ARROW or a cursor resource id.
    virtual void SetCursor(int) {}
    // Shows context menu `menuId` at a client point, with the given item
    // texts in place of the resource's; the chosen command reaches the view
    // once the menu is gone (and is dropped if the view has closed).
    virtual void TrackPopupMenu(int, std::span<const MenuItemText>, POINT) {}
    // The property bar shows the position and size of a world box.
    virtual void ShowSelectionSize(double, double, double, double) {}
    // Runs the text font dialog modally from the values; true on OK, the
    // values then the ones chosen. Without a dialog: false (Cancel).
    virtual bool ShowFontDialog(FontDialogValues&) { return false; }
    // Runs a call once the event being handled is done, from the event loop
    // (dropped when the window closes first): a modal dialog or menu must
    // not run inside a mouse press that draws. Without an event loop the
    // call runs at once.
    virtual void RunLater(std::function<void()> call) { call(); }
    // The work panel after a change of the selection or of the drawing: the
    // page of the shown tab (array from the selection, output from the
    // document), the layer list, and the manual order list when its page is
    // present.
    virtual void RefreshSelectionPage() {}
    virtual void RefreshLayerList() {}
    virtual void RefreshOrderList() {}
};

class RecordingView : public ViewWindow {
public:
    POINT GetScrollPosition() const override { return m_scroll; }
    void InvalidateRect(const RECT* rect, bool erase) override
    {
        m_invalidated.push_back(rect != nullptr ? *rect : RECT{0, 0, -1, -1});
        m_lastErase = erase;
    }
    void UpdateWindow() override { ++m_updates; }
    DeviceContext* GetDC() override
    {
        ++m_dcsTaken;
        return &m_dc;
    }
    void ReleaseDC(DeviceContext* dc) override { m_dcsReleased += dc == &m_dc ? 1 : 0; }
    LPARAM SendMessage(UINT msg, WPARAM, LPARAM) override
    {
        m_messages.push_back(msg);
        return 0;
    }
    // The zoom calls are noted by their message numbers.
    void OnZoomIn() override { m_messages.push_back(WM_USER + 103); }
    void OnZoomOut() override { m_messages.push_back(WM_USER + 104); }
    void OnZoomRect(const RECT& world) override
    {
        m_messages.push_back(WM_USER + 105);
        m_zoomRects.push_back(world);
    }
    // The bars' positions are m_scroll.
    bool GetScrollInfo(ScrollBar bar, ScrollInfo& info) const override
    {
        info = m_bars[bar];
        info.nPos = bar == SB_HORZ ? m_scroll.x : m_scroll.y;
        return true;
    }
    void SetScrollInfo(ScrollBar bar, const ScrollInfo& info) override
    {
        m_bars[bar] = info;
        (bar == SB_HORZ ? m_scroll.x : m_scroll.y) = info.nPos;
    }
    void ScrollBy(std::int32_t dx, std::int32_t dy) override
    {
        m_scrolls.push_back(POINT{dx, dy});
        m_scroll.x += dx;
        m_scroll.y += dy;
    }
    void SetRulerPositions(std::int32_t horz, std::int32_t vert) override { m_rulers.push_back(POINT{horz, vert}); }
    void SetCursor(int id) override { m_cursors.push_back(id); }
    void TrackPopupMenu(int menuId, std::span<const MenuItemText> texts, POINT client) override
    {
        m_popups.push_back(Popup{menuId, {texts.begin(), texts.end()}, client});
    }
    void ShowSelectionSize(double xmin, double xmax, double ymin, double ymax) override
    {
        m_sizesShown.push_back({xmin, xmax, ymin, ymax});
    }
    bool ShowFontDialog(FontDialogValues& values) override
    {
        m_fontDialogs.push_back(values);
        if (!m_fontAnswer.has_value())
            return false;
        values = *m_fontAnswer;
        return true;
    }
    void RefreshSelectionPage() override { ++m_selectionPageRefreshes; }
    void RefreshLayerList() override { ++m_layerListRefreshes; }
    void RefreshOrderList() override { ++m_orderListRefreshes; }

    struct Popup {
        int menuId = 0;
        std::vector<MenuItemText> texts;
        POINT client;
        friend bool operator==(const Popup&, const Popup&) = default;
    };

    POINT m_scroll;
    std::vector<RECT> m_invalidated; // {0,0,-1,-1} stands for the whole view
    bool m_lastErase = false;
    int m_updates = 0;
    RecordingDC m_dc; // what GetDC hands out
    int m_dcsTaken = 0;
    int m_dcsReleased = 0;
    std::vector<UINT> m_messages;
    std::vector<RECT> m_zoomRects;
    ScrollInfo m_bars[2] = {ScrollInfo{0, 999999, 0, 0, 0}, ScrollInfo{0, 999999, 0, 0, 0}};
    std::vector<POINT> m_scrolls;
    std::vector<POINT> m_rulers;
    std::vector<int> m_cursors;
    std::vector<Popup> m_popups;
    std::vector<std::vector<double>> m_sizesShown;
    std::vector<FontDialogValues> m_fontDialogs;    // the values each dialog was shown
    std::optional<FontDialogValues> m_fontAnswer;   // OK with these; none: Cancel
    int m_selectionPageRefreshes = 0;
    int m_layerListRefreshes = 0;
    int m_orderListRefreshes = 0;
};

} // namespace plat
