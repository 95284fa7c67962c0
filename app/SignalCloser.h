// SIGTERM and SIGINT end the session: the handler only writes to a pipe
// (nothing else is safe inside a signal handler), and the pipe's reading end
// wakes the event loop, which then calls the function given. One closer at a
// time; the signals' former handlers come back when it is destroyed.
#pragma once
#include <QObject>

#include <csignal>
#include <functional>

class QSocketNotifier;

class SignalCloser : public QObject {
public:
    explicit SignalCloser(std::function<void()> onSignal, QObject* parent = nullptr);
    ~SignalCloser() override;
    SignalCloser(const SignalCloser&) = delete;
    SignalCloser& operator=(const SignalCloser&) = delete;

    // False when the pipe or the handlers could not be set up.
    bool IsActive() const { return m_notifier != nullptr; }

private:
    void OnReadable();

    std::function<void()> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
    int m_pipe[2] = {-1, -1};
    struct sigaction m_oldTerm {};
    struct sigaction m_oldInt {};
};
