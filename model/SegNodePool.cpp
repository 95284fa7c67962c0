// The one allocator of output path segments. A raster scan makes a segment
// per run of pixels, easily ten million for one image; they come from a
// record pool (see platform/RecordPool.h).
#include "machinecomm/VantrelRecords.h"
#include "platform/RecordPool.h"

#if BRENVIK_RECORD_POOL

namespace {

// Blocks of 16 MiB, about 233,000 segments each.
using SegmentPool = plat::RecordPool<sizeof(SEGNODE), alignof(SEGNODE), 8 * plat::kLargeBlockGranule>;

// Never destroyed: segments may still be freed while static objects go.
SegmentPool& Pool()
{
    static SegmentPool* pool = new SegmentPool;
    return *pool;
}

} // namespace

// Nothing derives from SEGNODE, so every request is one segment.
void* SEGNODE::operator new(std::size_t)
{
    return Pool().Take();
}

void SEGNODE::operator delete(void* p) noexcept
{
    if (p != nullptr)
        Pool().Give(p);
}

#else

void* SEGNODE::operator new(std::size_t size)
{
    return ::operator new(size);
}

void SEGNODE::operator delete(void* p) noexcept
{
    ::operator delete(p);
}

#endif
