#include "ParallelFor.h"

#include "Processors.h"
#include "ThreadCarry.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include <unistd.h>

namespace plat {

namespace {

thread_local bool t_inParallelWork = false;

// The threads a loop may keep busy: on a machine of three processors or
// more one is left to the interface thread, which must go on drawing and
// answering while work runs side by side behind it.
std::size_t WorkingThreads()
{
    const unsigned usable = UsableProcessors();
    return usable > 2 ? usable - 1 : usable;
}

// One loop's shared state: indexes handed out in order, the first exception
// kept.
struct Loop {
    const std::function<void(std::size_t)>* fn = nullptr;
    std::size_t n = 0;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex errorMutex;
    std::exception_ptr error;
    std::size_t joined = 0; // kept threads at work on it; under the pool's lock
    void* carried = nullptr;  // the calling thread's state, given to every thread at work on it

    bool Waiting() const { return !failed.load(std::memory_order_relaxed) && next.load(std::memory_order_relaxed) < n; }

    void Work() noexcept
    {
        const CarriedThreadState state(carried);
        const bool outer = t_inParallelWork;
        t_inParallelWork = true;
        while (!failed.load(std::memory_order_relaxed)) {
            const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= n)
                break;
            try {
                (*fn)(i);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(errorMutex);
                if (!error)
                    error = std::current_exception();
                failed.store(true, std::memory_order_relaxed);
            }
        }
        t_inParallelWork = outer;
    }
};

// Threads kept waiting between loops: starting a thread costs milliseconds
// on some machines, and a job's steps make dozens of loops. One loop runs
// on them at a time; a loop that finds them busy (a second thread of the
// program) starts threads of its own as before. A loop made inside a piece
// is offered to the kept threads that are idle: when a loop's pieces are
// few (the layers of a job), those threads help with the loops inside them
// rather than wait.
class Pool {
public:
    static Pool* Get()
    {
        const std::lock_guard<std::mutex> lock(Made());
        if (Current() == nullptr || Current()->m_pid != ::getpid())
            Current() = new Pool;
        return Current();
    }

    // The pool of this process, if one was made.
    static Pool* Existing()
    {
        const std::lock_guard<std::mutex> lock(Made());
        Pool* pool = Current();
        return pool != nullptr && pool->m_pid == ::getpid() ? pool : nullptr;
    }

    // A loop made inside a piece: idle kept threads may join it while the
    // calling thread works on it; returns once every piece has ended.
    void RunNested(Loop& loop)
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_offered.push_back(&loop);
        }
        m_wake.notify_all();
        loop.Work();
        std::unique_lock<std::mutex> lock(m_mutex);
        m_offered.erase(std::find(m_offered.begin(), m_offered.end(), &loop));
        m_done.wait(lock, [&loop] { return loop.joined == 0; });
    }

    // Runs the loop with up to `helpers` of the kept threads beside the
    // calling one; false when another loop has them.
    bool Run(Loop& loop, std::size_t helpers)
    {
        std::unique_lock<std::mutex> busy(m_busy, std::try_to_lock);
        if (!busy.owns_lock())
            return false;
        // Every processor's thread: those the loop does not take help with
        // the loops inside its pieces.
        Start(std::max<std::size_t>(helpers, WorkingThreads() - 1));
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_loop = &loop;
            m_slots = std::min(helpers, m_threads.size());
            ++m_generation;
        }
        m_wake.notify_all();
        loop.Work();
        std::unique_lock<std::mutex> lock(m_mutex);
        m_slots = 0; // a thread that has not joined yet need not
        m_done.wait(lock, [this] { return m_active == 0; });
        m_loop = nullptr;
        return true;
    }

private:
    Pool() : m_pid(::getpid()) {}

    // Never destroyed: its threads wait until the process ends. A child
    // process made by fork has none of them and makes its own pool.
    static std::mutex& Made()
    {
        static std::mutex made;
        return made;
    }
    static Pool*& Current()
    {
        static Pool* pool = nullptr;
        return pool;
    }

    // An offered loop with pieces still to hand out; under m_mutex.
    Loop* Offered() const
    {
        for (Loop* l : m_offered) {
            if (l->Waiting())
                return l;
        }
        return nullptr;
    }

    void Start(std::size_t wanted)
    {
        while (m_threads.size() < wanted) {
            try {
                m_threads.emplace_back([this] { Serve(); });
            } catch (const std::system_error&) {
                return; // no more threads to be had: those running share the work
            }
        }
    }

    void Serve()
    {
        t_inParallelWork = true; // loops inside a piece are offered, not given slots
        std::unique_lock<std::mutex> lock(m_mutex);
        std::uint64_t seen = 0; // the last loop joined: never join one twice
        for (;;) {
            Loop* nested = nullptr;
            m_wake.wait(lock, [this, seen, &nested] {
                if (m_slots > 0 && m_loop != nullptr && m_generation != seen)
                    return true;
                nested = Offered();
                return nested != nullptr;
            });
            if (nested != nullptr) {
                ++nested->joined;
                lock.unlock();
                nested->Work();
                lock.lock();
                if (--nested->joined == 0)
                    m_done.notify_all();
                continue;
            }
            seen = m_generation;
            --m_slots;
            ++m_active;
            Loop* loop = m_loop;
            lock.unlock();
            loop->Work();
            lock.lock();
            if (--m_active == 0)
                m_done.notify_all();
        }
    }

    const pid_t m_pid;
    std::mutex m_busy;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::vector<std::thread> m_threads; // grown by the holder of m_busy only
    Loop* m_loop = nullptr;
    std::vector<Loop*> m_offered; // loops made inside pieces
    std::size_t m_slots = 0;
    std::size_t m_active = 0;
    std::uint64_t m_generation = 0;
};

} // namespace

void ParallelFor(std::size_t n, const std::function<void(std::size_t)>& fn)
{
    const std::size_t threads = std::min<std::size_t>(n, WorkingThreads());
    Pool* const kept = t_inParallelWork && threads > 1 ? Pool::Existing() : nullptr;
    if (threads <= 1 || (t_inParallelWork && kept == nullptr)) {
        for (std::size_t i = 0; i < n; ++i)
            fn(i);
        return;
    }

    Loop loop;
    loop.fn = &fn;
    loop.n = n;
    loop.carried = CaptureThreadState();
    if (kept != nullptr) {
        kept->RunNested(loop);
    } else if (!Pool::Get()->Run(loop, threads - 1)) {
        std::vector<std::thread> helpers;
        helpers.reserve(threads - 1);
        for (std::size_t k = 0; k + 1 < threads; ++k) {
            try {
                helpers.emplace_back([&loop] { loop.Work(); });
            } catch (const std::system_error&) {
                break; // no more threads to be had: those running share the rest
            }
        }
        loop.Work();
        for (std::thread& t : helpers)
            t.join();
    }
    if (loop.error)
        std::rethrow_exception(loop.error);
}

} // namespace plat
