// Independent pieces of one piece of work (the layers of a job) run side by
// side on the processors the process may use.
#pragma once
#include <cstddef>
#include <functional>

namespace plat {

// Calls fn(i) once for every i in [0, n) on up to min(n, processors)
// threads (those the process may use: UsableProcessors, one of them left to
// the interface on a machine of three or more), the calling thread one of
// them, and returns when every call has ended. Indexes are
// handed out one at a time in order, so that long and short pieces even
// out. A call made from inside fn runs its pieces on its own thread, joined
// by those of the kept threads that are idle, so that nested work does not
// multiply the threads. Every piece runs with the calling thread's carried
// state (ThreadCarry.h).
// No exception escapes a worker thread: the first one thrown by fn stops
// the handing out and is thrown again on the calling thread once every
// thread has ended, as it would have left a plain loop.
void ParallelFor(std::size_t n, const std::function<void(std::size_t)>& fn);

} // namespace plat
