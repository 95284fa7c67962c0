// A view driven as an operator drives it: mouse events sent straight to its
// viewport (two quick presses stay two presses, not a double click), and its
// screen as the pending repaints leave it or as a whole repaint draws it.
#pragma once
#include "app/OrvelView.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>

namespace plat {

class ViewInput {
public:
    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* port = m_view->viewport();
        QMouseEvent event(type, QPointF(at), port->mapToGlobal(QPointF(at)), button, held, modifiers);
        QCoreApplication::sendEvent(port, &event);
    }
    void Press(QPoint at) { Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
    void Drag(QPoint at) { Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
    void Hover(QPoint at) { Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
    void Release(QPoint at) { Mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); }
    void Click(QPoint at)
    {
        Press(at);
        Release(at);
    }

    QImage Settled()
    {
        m_view->UpdateWindow();
        return m_view->ScreenImage().copy();
    }
    QImage Fresh()
    {
        m_view->InvalidateRect(nullptr, true);
        return Settled();
    }

    COrvelView* m_view = nullptr;
};

} // namespace plat
