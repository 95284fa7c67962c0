#include "RecordPool.h"

#include <malloc.h>

namespace plat {

namespace {

std::mutex& RegistryMutex()
{
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

// Never destroyed: pools may outlive the static objects of the program.
std::vector<RecordPoolBase*>& Registry()
{
    static auto* pools = new std::vector<RecordPoolBase*>;
    return *pools;
}

} // namespace

RecordPoolBase::RecordPoolBase()
{
    const std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().push_back(this);
}

RecordPoolBase::~RecordPoolBase()
{
    const std::lock_guard<std::mutex> lock(RegistryMutex());
    std::vector<RecordPoolBase*>& pools = Registry();
    pools.erase(std::remove(pools.begin(), pools.end(), this), pools.end());
}

std::size_t RecordPoolBytesInUse()
{
    const std::lock_guard<std::mutex> lock(RegistryMutex());
    std::size_t bytes = 0;
    for (RecordPoolBase* pool : Registry())
        bytes += pool->BytesInUse();
    return bytes;
}

void UseProgramHeap()
{
    // A fixed threshold keeps the heap's trim threshold at its small
    // default; glibc would otherwise raise both with every large block
    // freed and keep up to 64 MiB at the top of each thread's heap.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
}

void ReleaseFreeMemory()
{
    {
        const std::lock_guard<std::mutex> lock(RegistryMutex());
        for (RecordPoolBase* pool : Registry())
            pool->ReleaseFree();
    }
    ReleaseScratchBlocks();
    ::malloc_trim(0);
}

} // namespace plat
