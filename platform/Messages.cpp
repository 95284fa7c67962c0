#include "Messages.h"

#include <atomic>
#include <pthread.h>

namespace plat {

namespace {

// Posts hold the lock shared, a change of poster holds it exclusively. A
// waiting change goes before new posts, so that a steady stream of posts
// cannot hold it off for ever.
pthread_rwlock_t g_posterLock = PTHREAD_RWLOCK_WRITER_NONRECURSIVE_INITIALIZER_NP;
MessagePoster* g_poster = nullptr;

class PosterLock {
public:
    explicit PosterLock(bool exclusive)
    {
        if (exclusive)
            ::pthread_rwlock_wrlock(&g_posterLock);
        else
            ::pthread_rwlock_rdlock(&g_posterLock);
    }
    ~PosterLock() { ::pthread_rwlock_unlock(&g_posterLock); }
    PosterLock(const PosterLock&) = delete;
    PosterLock& operator=(const PosterLock&) = delete;
};

std::atomic<HWND> g_mainWindow{0};

} // namespace

void SetMessagePoster(MessagePoster* poster)
{
    PosterLock lock(true);
    g_poster = poster;
}

bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (window == 0)
        return false;
    PosterLock lock(false);
    return g_poster != nullptr && g_poster->Post(window, msg, wParam, lParam);
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
