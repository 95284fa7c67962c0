// Pools of one kind of small record (path segments, outline nodes) that are
// made by the million. Taken one by one from the general heap they cost more
// than the work on them. Here they are cut from large blocks, and freed
// records are kept on a free list for the next ones. When the last live
// record is freed the blocks are cut again from their start. Up to
// 256 MiB of them stay mapped for the next large job, their pages
// lent back to the system (which takes them when it needs memory, so a
// large job leaves no memory behind); the rest go back at once, in the
// programs to their kept large blocks for any other use (see
// TakeLargeBlock), elsewhere to the system. A job
// that reloads a large drawing then refills pages already in place instead
// of faulting in and zeroing fresh ones. The blocks take huge pages where
// the system offers them: filling a gigabyte of records then costs hundreds
// rather than hundreds of thousands of page faults.
//
// Builds with AddressSanitizer take every record from the general heap (see
// BRENVIK_RECORD_POOL), so that a use after free is still caught.
#pragma once
#include "platform/LargeBlock.h"

#include <algorithm>
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

// Records of `Size` bytes aligned to `Align`, from blocks of `BlockBytes`;
// at most `ReserveBytes` of blocks stay mapped while no record lives.
template <std::size_t Size, std::size_t Align, std::size_t BlockBytes, std::size_t ReserveBytes = std::size_t{256} << 20>
class RecordPool {
public:
    void* Take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return TakeLocked();
    }

    void Give(void* p)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        GiveLocked(p);
    }

    // `count` records under one lock, as that many Takes would give them;
    // none when the memory runs out.
    void TakeMany(void** out, std::size_t count)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::size_t taken = 0;
        try {
            for (; taken < count; ++taken)
                out[taken] = TakeLocked();
        } catch (...) {
            while (taken > 0)
                GiveLocked(out[--taken]);
            throw;
        }
    }

    // Records back under one lock, as that many Gives would take them.
    void GiveMany(void* const* records, std::size_t count)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::size_t k = 0; k < count; ++k)
            GiveLocked(records[k]);
    }

    // True when the record lies in one of the pool's blocks.
    bool Owns(const void* p)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto* byte = static_cast<const unsigned char*>(p);
        for (Slot* block : m_blocks) {
            const auto* start = reinterpret_cast<const unsigned char*>(block);
            if (byte >= start && byte < start + BlockBytes)
                return true;
        }
        return false;
    }

private:
    void* TakeLocked()
    {
        Slot* slot = m_free;
        if (slot != nullptr) {
            m_free = slot->next;
        } else {
            if (m_blocks.empty()) {
                AddBlock();
                m_current = 0;
                m_used = 0;
            } else if (m_used == kBlockRecords) {
                // The next block kept from an earlier job, else a new one.
                if (m_current + 1 == m_blocks.size())
                    AddBlock();
                ++m_current;
                m_used = 0;
            }
            slot = m_blocks[m_current] + m_used++;
        }
        ++m_live;
        return slot;
    }

    void GiveLocked(void* p)
    {
        if (--m_live == 0) {
            // All free. The first block stays as it is for the next small
            // lists, so that making and freeing one at a time costs no
            // system call; the others filled since the last time are lent
            // back, those beyond the reserve unmapped.
            const std::size_t keep = std::min(m_blocks.size(), kReserveBlocks);
            for (std::size_t i = keep; i < m_blocks.size(); ++i)
                GiveLargeBlock(m_blocks[i], BlockBytes);
            for (std::size_t i = 1; i < keep && i <= m_current; ++i)
                LendLargeBlock(m_blocks[i], BlockBytes);
            m_blocks.resize(keep);
            m_free = nullptr;
            m_current = 0;
            m_used = 0;
            return;
        }
        Slot* slot = static_cast<Slot*>(p);
        slot->next = m_free;
        m_free = slot;
    }

    union Slot {
        Slot* next;
        alignas(Align) unsigned char bytes[Size];
    };
    static_assert(sizeof(Slot) == Size, "records must fill their slots exactly");
    static_assert(BlockBytes % kLargeBlockGranule == 0);
    static constexpr std::size_t kBlockRecords = BlockBytes / sizeof(Slot);
    static constexpr std::size_t kReserveBlocks = std::max<std::size_t>(1, ReserveBytes / BlockBytes);

    void AddBlock()
    {
        m_blocks.reserve(m_blocks.size() + 1);
        void* block = TakeLargeBlock(BlockBytes);
        if (block == nullptr)
            throw std::bad_alloc();
        m_blocks.push_back(static_cast<Slot*>(block));
    }

    std::mutex m_mutex;
    std::vector<Slot*> m_blocks;
    std::size_t m_current = 0; // the block being cut
    std::size_t m_used = 0;    // slots handed out of it
    Slot* m_free = nullptr;
    std::size_t m_live = 0;
};

} // namespace plat
