// The program's poster behind plat::PostMessage: any thread may post; every
// message is delivered on the user-interface thread to the window that owns
// the handle. Handles are handed out once and never reused, so a message for
// a closed window cannot reach a newer one; it is dropped.
#pragma once
#include "platform/Messages.h"

#include <QObject>

#include <atomic>
#include <mutex>
#include <unordered_map>

// A window that receives posted messages.
class PostedMessageTarget {
public:
    virtual ~PostedMessageTarget() = default;
    virtual void OnPostedMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam) = 0;
};

class QtMessagePoster : public QObject, public plat::MessagePoster {
public:
    // Made on the user-interface thread, which then receives every message.
    // The newest poster alive is the one windows register with (Current).
    QtMessagePoster();
    ~QtMessagePoster() override;
    QtMessagePoster(const QtMessagePoster&) = delete;
    QtMessagePoster& operator=(const QtMessagePoster&) = delete;

    static QtMessagePoster* Current();

    // A new handle for the window; 0 after shut-down.
    plat::HWND RegisterWindow(PostedMessageTarget* target);
    // The window is closed: messages still queued for it are dropped.
    void UnregisterWindow(plat::HWND window);

    // Any thread. False, nothing queued, for a handle that is not (or no
    // longer) open, and during or after shut-down.
    bool Post(plat::HWND window, plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam) override;

    // Refuses every later post; messages still queued are dropped.
    void Shutdown();

protected:
    void customEvent(QEvent* event) override;

private:
    std::mutex m_mutex;
    std::unordered_map<plat::HWND, PostedMessageTarget*> m_windows;
    plat::HWND m_nextHandle = 0x10000;
    bool m_shutDown = false;
};
