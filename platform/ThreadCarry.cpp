#include "ThreadCarry.h"

#include <atomic>

namespace plat {

namespace {

std::atomic<void* (*)()> g_capture{nullptr};
std::atomic<void* (*)(void*)> g_swap{nullptr};

} // namespace

void SetThreadCarry(void* (*capture)(), void* (*swap)(void*))
{
    g_capture.store(capture);
    g_swap.store(swap);
}

void* CaptureThreadState()
{
    void* (*capture)() = g_capture.load();
    return capture != nullptr ? capture() : nullptr;
}

CarriedThreadState::CarriedThreadState(void* state)
{
    if (void* (*swap)(void*) = g_swap.load(); swap != nullptr) {
        m_saved = swap(state);
        m_set = true;
    }
}

CarriedThreadState::~CarriedThreadState()
{
    if (void* (*swap)(void*) = g_swap.load(); m_set && swap != nullptr)
        swap(m_saved);
}

} // namespace plat
