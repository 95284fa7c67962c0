#include "Messages.h"

#include <atomic>

namespace plat {

namespace {
std::atomic<MessagePoster*> g_poster{nullptr};
std::atomic<HWND> g_mainWindow{0};
} // namespace

void SetMessagePoster(MessagePoster* poster)
{
    g_poster.store(poster);
}

bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (window == 0)
        return false;
    MessagePoster* poster = g_poster.load();
    return poster != nullptr && poster->Post(window, msg, wParam, lParam);
}

void SetMainWindow(HWND window)
{
    g_mainWindow.store(window);
}

HWND MainWindow()
{
    return g_mainWindow.load();
}

bool RecordingPoster::Post(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.push_back({window, msg, wParam, lParam});
    return true;
}

std::vector<RecordingPoster::Message> RecordingPoster::Messages() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

std::size_t RecordingPoster::Count(UINT msg) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t n = 0;
    for (const Message& m : m_messages)
        n += m.msg == msg ? 1 : 0;
    return n;
}

void RecordingPoster::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
}

} // namespace plat

extern "C" bool plat_PostMessage(plat::HWND window, plat::UINT msg, plat::WPARAM wParam,
                                 plat::LPARAM lParam)
{
    return plat::PostMessage(window, msg, wParam, lParam);
}
