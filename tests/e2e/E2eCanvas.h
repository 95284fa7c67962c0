// The drawing view of the one open document, driven as the operator drives
// it: mouse events sent to its viewport (two quick presses stay two presses,
// not a double click), keys by QTest on the focused view, and the screen
// image as the pending repaints leave it next to a repaint of the whole view.
#pragma once
#include "E2eProgram.h"
#include "ViewInput.h"
#include "app/OrvelView.h"
#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/DocState.h"

#include <QMouseEvent>
#include <QTest>

namespace plat {

class E2eCanvas : public ViewInput {
public:
    // The only document window's view, its frame active and the view
    // focused; null view (and a failure) when there is not exactly one.
    explicit E2eCanvas(COrvelApp& app)
    {
        CMainFrame* frame = app.MainFrame();
        if (frame == nullptr) {
            ADD_FAILURE() << "no main frame";
            return;
        }
        const std::vector<CChildFrame*> documents = E2eProgram::Documents(*frame);
        if (documents.size() != 1u) {
            ADD_FAILURE() << documents.size() << " documents open";
            return;
        }
        m_child = documents[0];
        m_view = m_child->View();
        frame->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(frame));
        m_view->setFocus();
        EXPECT_TRUE(WaitFor([this] { return m_view->hasFocus(); }));
    }

    bool Ok() const { return m_view != nullptr; }
    COrvelView* View() const { return m_view; }
    CChildFrame* Child() const { return m_child; }
    DOCCONTEXT& Ctx() const { return m_view->Context(); }

    // The client pixel of a world point, as a viewport position.
    QPoint At(double x, double y) const
    {
        const POINT p = Ctx().WorldToClientPixel(x, y);
        return {p.x, p.y};
    }

    // A press, a move half way, a move to the end and the release there.
    void DragFromTo(QPoint from, QPoint to)
    {
        Press(from);
        Drag((from + to) / 2);
        Drag(to);
        Release(to);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(m_view, key, modifiers);
    }

    // The colour at a client point (its first image pixel on a screen of a
    // higher density).
    QRgb Pixel(QPoint at)
    {
        const QImage image = Settled();
        return image.pixel(at * image.devicePixelRatio()) & 0xFFFFFFu;
    }

    // Undo steps behind the drawing's current state.
    int UndoSteps() const
    {
        int n = 0;
        for (const CDocListNode* s = Ctx().m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n;
        return n;
    }

    // Objects in the drawing's current state.
    std::uint32_t Objects() const
    {
        DOCCONTEXT& ctx = Ctx();
        return m_view->CurrentTool()->CountObjectsInList(ctx.m_pCurrent->m_pFirst);
    }

private:
    CChildFrame* m_child = nullptr;
};

// A COLORREF (0x00BBGGRR) as the screen image holds it.
inline QRgb ScreenRgb(COLORREF c)
{
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

} // namespace plat
