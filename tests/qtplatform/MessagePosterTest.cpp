// The Qt poster behind plat::PostMessage: posts from any thread reach their
// window on the user-interface thread, in order per thread; closed windows
// and a shut-down poster get nothing.
#include "AppTestSupport.h"
#include "qtplatform/QtMessagePoster.h"

#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Received {
    plat::UINT msg;
    plat::WPARAM wParam;
    plat::LPARAM lParam;
};

class RecordingWindow : public PostedMessageTarget {
public:
    void OnPostedMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam) override
    {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        m_received.push_back({msg, wParam, lParam});
    }
    std::vector<Received> m_received;
};

} // namespace

TEST(QtMessagePoster, EightThreadsOfTenThousandPostsAllArriveInOrderPerThread)
{
    QtMessagePoster poster;
    plat::SetMessagePoster(&poster);
    RecordingWindow window;
    const plat::HWND handle = poster.RegisterWindow(&window);
    ASSERT_NE(handle, 0u);

    constexpr int kThreads = 8;
    constexpr int kPosts = 10000;
    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int k = 0; k < kPosts; ++k) {
                if (!plat::PostMessage(handle, plat::WM_USER + 100, static_cast<plat::WPARAM>(t), k))
                    ++refused;
            }
        });
    }
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(refused.load(), 0);
    ASSERT_TRUE(plat::WaitFor([&] { return window.m_received.size() >= kThreads * kPosts; }, 30000));
    EXPECT_EQ(window.m_received.size(), static_cast<std::size_t>(kThreads * kPosts));

    std::vector<plat::LPARAM> next(kThreads, 0);
    for (const Received& r : window.m_received) {
        ASSERT_LT(r.wParam, static_cast<plat::WPARAM>(kThreads));
        EXPECT_EQ(r.lParam, next[r.wParam]) << "thread " << r.wParam << " out of order";
        next[r.wParam] = r.lParam + 1;
    }
    for (plat::LPARAM n : next)
        EXPECT_EQ(n, kPosts);
    plat::SetMessagePoster(nullptr);
}

TEST(QtMessagePoster, MessagesForAClosedWindowAreDroppedAndItsHandleIsNeverReused)
{
    QtMessagePoster poster;
    RecordingWindow first;
    RecordingWindow second;
    const plat::HWND a = poster.RegisterWindow(&first);
    EXPECT_TRUE(poster.Post(a, plat::WM_USER + 1, 1, 1));
    // Closed while its message is still queued: the message goes nowhere.
    poster.UnregisterWindow(a);
    EXPECT_FALSE(poster.Post(a, plat::WM_USER + 1, 2, 2));

    const plat::HWND b = poster.RegisterWindow(&second);
    EXPECT_NE(b, a);
    EXPECT_TRUE(poster.Post(b, plat::WM_USER + 2, 3, 3));
    EXPECT_FALSE(poster.Post(0, plat::WM_USER + 2, 4, 4));
    ASSERT_TRUE(plat::WaitFor([&] { return !second.m_received.empty(); }));
    QCoreApplication::processEvents();

    EXPECT_TRUE(first.m_received.empty());
    ASSERT_EQ(second.m_received.size(), 1u);
    EXPECT_EQ(second.m_received[0].msg, plat::WM_USER + 2);
}

TEST(QtMessagePoster, PostsDuringAndAfterShutdownGetFalseAndQueuedOnesAreDropped)
{
    RecordingWindow window;
    {
        QtMessagePoster poster;
        plat::SetMessagePoster(&poster);
        const plat::HWND handle = poster.RegisterWindow(&window);
        EXPECT_TRUE(plat::PostMessage(handle, plat::WM_USER + 3, 0, 0));

        std::atomic<bool> stop{false};
        std::atomic<bool> trueAfterShutdown{false};
        std::atomic<bool> shutDown{false};
        std::thread poster2([&] {
            while (!stop) {
                const bool seenShutDown = shutDown.load();
                if (plat::PostMessage(handle, plat::WM_USER + 3, 1, 0) && seenShutDown)
                    trueAfterShutdown = true;
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        poster.Shutdown();
        shutDown = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        stop = true;
        poster2.join();
        EXPECT_FALSE(trueAfterShutdown.load());
        EXPECT_FALSE(poster.Post(handle, plat::WM_USER + 3, 2, 0));
        EXPECT_EQ(poster.RegisterWindow(&window), 0u);
        QCoreApplication::processEvents();
        plat::SetMessagePoster(nullptr);
    }
    EXPECT_TRUE(window.m_received.empty());
}
