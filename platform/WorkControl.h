// Long work done on a thread of its own (a job built, a drawing read): the
// worker tells how far it has come and stops at its next step once the
// interface thread has cancelled it. Engine code reaches the control of the
// thread it runs on, so the same code runs unchanged on the interface
// thread, where there is none.
#pragma once
#include <atomic>
#include <functional>

namespace plat {

class WorkControl {
public:
    // Progress is counted in thousandths of the whole.
    static constexpr int kWhole = 1000;

    int Progress() const { return m_progress.load(std::memory_order_relaxed); }
    // Moves the progress on to `permille` (clamped to the whole); it never
    // goes back. Any thread of the work may call it.
    void Advance(int permille);
    void Cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool Cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    // The control of the calling thread, null on a thread without one.
    static WorkControl* Current();
    // Makes a control the calling thread's for the life of the scope.
    class Scope {
    public:
        explicit Scope(WorkControl* control);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        WorkControl* m_saved;
    };

    // Called on the worker at each step, after the progress has moved;
    // tests hold the work there. Null: none.
    using StepHook = std::function<void(WorkControl& control, int permille)>;
    static void SetStepHookForTesting(StepHook hook);
    static void RunStepHook(WorkControl& control, int permille);

private:
    std::atomic<int> m_progress{0};
    std::atomic<bool> m_cancelled{false};
};

// Within its scope the calling thread's steps count in thousandths of a
// part of its work, the part reaching from `from` to `to` thousandths of the
// whole: a reader steps through its file without knowing what follows it.
class WorkPart {
public:
    WorkPart(int from, int to);
    ~WorkPart();
    WorkPart(const WorkPart&) = delete;
    WorkPart& operator=(const WorkPart&) = delete;

private:
    int m_savedFrom;
    int m_savedTo;
};

// A step of the work the calling thread does: the progress moves on to
// `permille` (of the part in force); false when the work has been cancelled
// and must stop. Always true on a thread without a control.
bool WorkStep(int permille);

// The thousandths of the whole that `permille` of the calling thread's part
// is: work shared out to other threads moves the control with it.
int WorkWhole(int permille);

// The work of the calling thread has been cancelled.
inline bool WorkCancelled()
{
    const WorkControl* control = WorkControl::Current();
    return control != nullptr && control->Cancelled();
}

} // namespace plat
