// Thread state that follows work onto the threads that run it. A layer above
// (the settings a worker thread reads) says how its state is read and set;
// code that runs a caller's work on other threads (ParallelFor) carries the
// caller's state over, so that a piece reads what the caller would.
#pragma once

namespace plat {

// Registers how the state is read (capture) and set (swap: sets it, returns
// what it was). Once, before any work runs side by side.
void SetThreadCarry(void* (*capture)(), void* (*swap)(void*));

// The calling thread's state (null when none is registered).
void* CaptureThreadState();

// While it lives, the thread has the given state; the old one comes back.
class CarriedThreadState {
public:
    explicit CarriedThreadState(void* state);
    ~CarriedThreadState();
    CarriedThreadState(const CarriedThreadState&) = delete;
    CarriedThreadState& operator=(const CarriedThreadState&) = delete;

private:
    void* m_saved = nullptr;
    bool m_set = false;
};

} // namespace plat
