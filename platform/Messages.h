// Posting messages to windows from any thread. The main program registers a
// poster that queues them to the user-interface thread; tests register one
// that records.
#pragma once
#include "Win.h"

#include <mutex>
#include <vector>

namespace plat {

class MessagePoster {
public:
    virtual ~MessagePoster() = default;
    // Returns false when the message could not be queued.
    virtual bool Post(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

// Registers the process-wide poster (null: messages are dropped). Returns
// only when no post through the previous poster is still running, so its
// owner may delete it right after. A poster's Post must not call it.
void SetMessagePoster(MessagePoster* poster);

// Queues a message for a window; false for window 0 or without a poster.
// Posts from several threads run side by side; only a change of poster makes
// them wait.
bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

// The main frame's window (0 while there is none). The machine link hands it
// to the communication library, which reports a failed serial port to it.
void SetMainWindow(HWND window);
HWND MainWindow();

// A poster that keeps every message, for tests and headless runs.
class RecordingPoster : public MessagePoster {
public:
    struct Message {
        HWND window;
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };
    bool Post(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) override;
    std::vector<Message> Messages() const;
    std::size_t Count(UINT msg) const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
};

} // namespace plat

// plat::PostMessage under an unmangled name. A shared library that links this
// layer in privately (its symbols hidden) calls this one, so that it posts
// through the poster of the program that loaded it.
extern "C" bool plat_PostMessage(plat::HWND window, plat::UINT msg, plat::WPARAM wParam,
                                 plat::LPARAM lParam);
