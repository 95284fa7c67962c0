// What engine code needs of a document's view window: its scroll position and
// repainting. The program's view implements it; tests use a recorder.
#pragma once
#include "Win.h"

#include <vector>

namespace plat {

class ViewWindow {
public:
    virtual ~ViewWindow() = default;
    // Scroll position in logical units, read at each call.
    virtual POINT GetScrollPosition() const = 0;
    // Marks a client rectangle for repainting (null: the whole view).
    virtual void InvalidateRect(const RECT* rect, bool erase) = 0;
    // Repaints what is invalid now.
    virtual void UpdateWindow() = 0;
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

    POINT m_scroll;
    std::vector<RECT> m_invalidated; // {0,0,-1,-1} stands for the whole view
    bool m_lastErase = false;
    int m_updates = 0;
};

} // namespace plat
