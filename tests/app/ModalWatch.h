// Watches the modal windows of the application: each one shown is noted and
// handed to a callback once its own event loop runs, as an operator would
// answer it; a window still open after the time limit is cancelled, so that
// a test fails rather than hangs.
#pragma once
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <typeindex>
#include <vector>

namespace plat {

class ModalWatch : public QObject {
public:
    explicit ModalWatch(std::function<void(QWidget&, int index)> onShown, int limitMs = 8000)
        : m_onShown(std::move(onShown))
    {
        QCoreApplication::instance()->installEventFilter(this);
        m_clock.start();
        m_watchdog.setInterval(100);
        QObject::connect(&m_watchdog, &QTimer::timeout, [this, limitMs] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && m_clock.elapsed() > limitMs) {
                ++m_leftOpen;
                if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->reject();
            }
        });
        m_watchdog.start();
    }
    ~ModalWatch() override { QCoreApplication::instance()->removeEventFilter(this); }

    // The dynamic type of each, taken while it is alive.
    std::vector<std::type_index> m_shown;
    int m_leftOpen = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && window != nullptr && window->isWindow() && window->isModal()) {
            m_shown.emplace_back(typeid(*window));
            const int index = static_cast<int>(m_shown.size()) - 1;
            // Answered once its own loop runs, as an operator would.
            QTimer::singleShot(50, window, [this, window, index] { m_onShown(*window, index); });
        }
        return false;
    }

private:
    std::function<void(QWidget&, int)> m_onShown;
    QTimer m_watchdog;
    QElapsedTimer m_clock;
};

} // namespace plat
