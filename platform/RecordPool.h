// Pools of one kind of small record (path segments, outline nodes) that are
// made by the million. Taken one by one from the general heap they cost more
// than the work on them. Here they are cut from large blocks, and freed
// records are kept on a free list for the next ones. When the last live
// record is freed every block but the first goes back to the system, so a
// large job leaves no memory behind. The blocks take huge pages where the
// system offers them: filling a gigabyte of records then costs hundreds
// rather than hundreds of thousands of page faults.
//
// Builds with AddressSanitizer take every record from the general heap (see
// BRENVIK_RECORD_POOL), so that a use after free is still caught.
#pragma once
#include "platform/LargeBlock.h"

#include <cstddef>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define BRENVIK_RECORD_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRENVIK_RECORD_POOL 0
#endif
#endif
#ifndef BRENVIK_RECORD_POOL
#define BRENVIK_RECORD_POOL 1
#endif

namespace plat {

// Records of `Size` bytes aligned to `Align`, from blocks of `BlockBytes`.
template <std::size_t Size, std::size_t Align, std::size_t BlockBytes>
class RecordPool {
public:
    void* Take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Slot* slot = m_free;
        if (slot != nullptr) {
            m_free = slot->next;
        } else {
            if (m_used == kBlockRecords || m_blocks.empty()) {
                m_blocks.reserve(m_blocks.size() + 1);
                void* block = AllocateLargeBlock(BlockBytes);
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
            // All free: the first block stays for the next small lists, so
            // that making and freeing one at a time does not map and unmap
            // a block each time.
            for (std::size_t i = 1; i < m_blocks.size(); ++i)
                FreeLargeBlock(m_blocks[i], BlockBytes);
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
    union Slot {
        Slot* next;
        alignas(Align) unsigned char bytes[Size];
    };
    static_assert(sizeof(Slot) == Size, "records must fill their slots exactly");
    static_assert(BlockBytes % kLargeBlockGranule == 0);
    static constexpr std::size_t kBlockRecords = BlockBytes / sizeof(Slot);

    std::mutex m_mutex;
    std::vector<Slot*> m_blocks;
    std::size_t m_used = 0; // slots handed out of the last block
    Slot* m_free = nullptr;
    std::size_t m_live = 0;
};

} // namespace plat
