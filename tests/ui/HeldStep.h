// Work held on its thread at one step of its progress while the interface
// goes on, until the test lets it go.
#pragma once
#include "platform/WorkControl.h"
#include "qtplatform/LongWork.h"

#include <atomic>
#include <chrono>
#include <thread>

class HeldStep {
public:
    explicit HeldStep(int permille)
    {
        plat::WorkControl::SetStepHookForTesting([this, permille](plat::WorkControl&, int step) {
            if (step != permille)
                return;
            m_reached = true;
            while (!m_release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    }
    ~HeldStep() { Release(); }
    HeldStep(const HeldStep&) = delete;
    HeldStep& operator=(const HeldStep&) = delete;

    // The work has reached the step.
    bool Reached() const { return m_reached; }
    // The work waits at the step now.
    bool Holding() const { return m_reached && !m_release; }
    // Lets the work go on, waits for the threads of cancelled work to end
    // and takes the hold away.
    void Release()
    {
        if (m_release.exchange(true))
            return;
        LongWork::JoinCancelled();
        plat::WorkControl::SetStepHookForTesting({});
    }

private:
    std::atomic<bool> m_reached{false};
    std::atomic<bool> m_release{false};
};
