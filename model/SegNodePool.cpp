// The one allocator of output path segments. A raster scan makes a segment
// per run of pixels, easily ten million for one image; taken one by one from
// the general heap they cost more than the scan itself. Here they are cut
// from large blocks, and freed segments are kept on a free list for the next
// ones. When the last live segment is freed every block but the first goes
// back to the system, so a large job leaves no memory behind. The blocks take huge pages
// where the system offers them: filling a gigabyte of segments then costs
// hundreds rather than hundreds of thousands of page faults.
//
// Builds with AddressSanitizer take every segment from the general heap, so
// that a use after free is still caught.
#include "machinecomm/VantrelRecords.h"
#include "platform/LargeBlock.h"

#include <cstddef>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define BRENVIK_SEGMENT_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRENVIK_SEGMENT_POOL 0
#endif
#endif
#ifndef BRENVIK_SEGMENT_POOL
#define BRENVIK_SEGMENT_POOL 1
#endif

#if BRENVIK_SEGMENT_POOL

namespace {

// Blocks of 16 MiB, about 233,000 segments each.
constexpr std::size_t kBlockBytes = 8 * plat::kLargeBlockGranule;
constexpr std::size_t kBlockSegments = kBlockBytes / sizeof(SEGNODE);

union Slot {
    Slot* next;
    alignas(SEGNODE) unsigned char bytes[sizeof(SEGNODE)];
};

class SegmentPool {
public:
    void* Take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Slot* slot = m_free;
        if (slot != nullptr) {
            m_free = slot->next;
        } else {
            if (m_used == kBlockSegments || m_blocks.empty()) {
                m_blocks.reserve(m_blocks.size() + 1);
                void* block = plat::AllocateLargeBlock(kBlockBytes);
                if (block == nullptr)
                    throw std::bad_alloc();
                m_blocks.push_back(static_cast<Slot*>(block));
                m_used = 0;
            }
            slot = m_blocks.back() + m_used++;
        }
        ++m_live;
        return slot;
    }

    void Give(void* p)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (--m_live == 0) {
            // All free: the first block stays for the next small paths, so
            // that making and freeing one path at a time does not map and
            // unmap a block each time.
            for (std::size_t i = 1; i < m_blocks.size(); ++i)
                plat::FreeLargeBlock(m_blocks[i], kBlockBytes);
            m_blocks.resize(1);
            m_free = nullptr;
            m_used = 0;
            return;
        }
        Slot* slot = static_cast<Slot*>(p);
        slot->next = m_free;
        m_free = slot;
    }

private:
    std::mutex m_mutex;
    std::vector<Slot*> m_blocks;
    std::size_t m_used = 0; // slots handed out of the last block
    Slot* m_free = nullptr;
    std::size_t m_live = 0;
};

// Never destroyed: segments may still be freed while static objects go.
SegmentPool& Pool()
{
    static SegmentPool* pool = new SegmentPool;
    return *pool;
}

} // namespace

static_assert(sizeof(Slot) == sizeof(SEGNODE));

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
