// Long work (a job built, a drawing read) done on a thread of its own while
// the interface goes on: its progress is read back on a timer, Cancel
// returns at once (the thread stops at its next step by itself and drops
// what it made there), and the messages and import questions that engine
// code asks meanwhile are asked on the interface thread. The work must use
// only what it was given (copies), never what the interface may change.
#pragma once
#include "platform/WorkControl.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class LongWork : public QObject {
public:
    // Runs on the worker, the control being the thread's current one. False
    // (or an exception) when it failed.
    using Work = std::function<bool()>;
    // Runs on the interface thread once the work has ended without a
    // cancel: whether it succeeded.
    using Finished = std::function<void(bool ok)>;
    // Progress in thousandths, on the interface thread, each time it moved.
    using Progressed = std::function<void(int permille)>;

    static constexpr int kPollMs = 20;

    explicit LongWork(QObject* parent = nullptr);
    // Cancels work still running.
    ~LongWork() override;
    LongWork(const LongWork&) = delete;
    LongWork& operator=(const LongWork&) = delete;

    void Start(Work work, Finished finished, Progressed progressed = {});
    // The work is told to stop and forgotten: nothing of it reaches this
    // thread any more. Returns at once.
    void Cancel();
    bool Running() const { return m_state != nullptr; }
    int Progress() const;

    // Runs a call (freeing what cancelled work left) on a thread of its own,
    // joined as the threads of cancelled work are.
    static void Dispose(std::function<void()> call);
    // Waits for every thread of work that was cancelled to end (at the end
    // of the program, before what they may still touch goes).
    static void JoinCancelled();

private:
    struct State;
    void Poll();

    std::shared_ptr<State> m_state;
    Finished m_finished;
    Progressed m_progressed;
    int m_shown = -1;
    QTimer m_poll;
};
