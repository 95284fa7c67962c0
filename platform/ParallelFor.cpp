#include "ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace plat {

namespace {
thread_local bool t_inParallelWork = false;
} // namespace

void ParallelFor(std::size_t n, const std::function<void(std::size_t)>& fn)
{
    const unsigned processors = std::thread::hardware_concurrency();
    const std::size_t threads = std::min<std::size_t>(n, std::max(processors, 1u));
    if (threads <= 1 || t_inParallelWork) {
        for (std::size_t i = 0; i < n; ++i)
            fn(i);
        return;
    }

    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex errorMutex;
    std::exception_ptr error;
    auto work = [&]() noexcept {
        t_inParallelWork = true;
        while (!failed.load(std::memory_order_relaxed)) {
            const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= n)
                break;
            try {
                fn(i);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(errorMutex);
                if (!error)
                    error = std::current_exception();
                failed.store(true, std::memory_order_relaxed);
            }
        }
        t_inParallelWork = false;
    };

    std::vector<std::thread> helpers;
    helpers.reserve(threads - 1);
    for (std::size_t k = 0; k + 1 < threads; ++k) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // no more threads to be had: those running share the rest
        }
    }
    work();
    for (std::thread& t : helpers)
        t.join();
    if (error)
        std::rethrow_exception(error);
}

} // namespace plat
