#include "QtMessagePoster.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

const QEvent::Type kPostedMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct PostedMessageEvent : QEvent {
    PostedMessageEvent(plat::HWND w, plat::UINT m, plat::WPARAM wp, plat::LPARAM lp)
        : QEvent(kPostedMessageEvent), window(w), msg(m), wParam(wp), lParam(lp)
    {
    }
    plat::HWND window;
    plat::UINT msg;
    plat::WPARAM wParam;
    plat::LPARAM lParam;
};

std::atomic<QtMessagePoster*> g_current{nullptr};

} // namespace

QtMessagePoster::QtMessagePoster()
{
    g_current.store(this);
}

QtMessagePoster::~QtMessagePoster()
{
    Shutdown();
    QtMessagePoster* self = this;
    g_current.compare_exchange_strong(self, nullptr);
}

QtMessagePoster* QtMessagePoster::Current()
{
    return g_current.load();
}

plat::HWND QtMessagePoster::RegisterWindow(PostedMessageTarget* target)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_shutDown || target == nullptr)
        return 0;
    const plat::HWND handle = m_nextHandle++;
    m_windows.emplace(handle, target);
    return handle;
}

void QtMessagePoster::UnregisterWindow(plat::HWND window)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_windows.erase(window);
}

bool QtMessagePoster::Post(plat::HWND window, plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam)
{
    // Queued under the lock, so that no post slips in behind Shutdown.
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_shutDown || m_windows.find(window) == m_windows.end())
        return false;
    QCoreApplication::postEvent(this, new PostedMessageEvent(window, msg, wParam, lParam));
    return true;
}

void QtMessagePoster::Shutdown()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_shutDown = true;
        m_windows.clear();
    }
    QCoreApplication::removePostedEvents(this, kPostedMessageEvent);
}

void QtMessagePoster::customEvent(QEvent* event)
{
    if (event->type() != kPostedMessageEvent)
        return;
    const auto* posted = static_cast<const PostedMessageEvent*>(event);
    PostedMessageTarget* target = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_windows.find(posted->window);
        if (it != m_windows.end())
            target = it->second;
    }
    // Called outside the lock: the window may post or close itself.
    if (target != nullptr)
        target->OnPostedMessage(posted->msg, posted->wParam, posted->lParam);
}
