// Pools of one kind of small record (path segments, outline nodes) that are
// made by the million. Taken one by one from the general heap they cost more
// than the work on them. Here they are cut from large blocks aligned to their
// size, each block with a map of its free slots at its start. A record is
// taken from the lowest free slot of the earliest block that has one, so
// records lie in the order they were made whatever was freed before: a copy
// of a large drawing reads and writes memory in order, not at the places an
// earlier job happened to free, and late blocks drain. A block whose records are all freed stays for the
// next records up to a reserve and goes back to the system beyond it;
// ReleaseFreeMemory gives back every free block of every pool (a drawing
// closed, a job ended), so that the program comes back to its size before.
//
// Builds with AddressSanitizer take every record from the general heap (see
// BRENVIK_RECORD_POOL), so that a use after free is still caught.
#pragma once
#include "platform/LargeBlock.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
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

// What every pool answers for the process as a whole; pools register
// themselves when made.
class RecordPoolBase {
public:
    RecordPoolBase();
    virtual ~RecordPoolBase();
    RecordPoolBase(const RecordPoolBase&) = delete;
    RecordPoolBase& operator=(const RecordPoolBase&) = delete;

    // Bytes of the records now taken.
    virtual std::size_t BytesInUse() = 0;
    // Every block without a taken record back to the system.
    virtual void ReleaseFree() = 0;
};

// Bytes of the records taken from every pool of the process.
std::size_t RecordPoolBytesInUse();

// For a program, once at its start: the heap gives back the free memory at
// the top of every thread's heap as it is freed (ReleaseFreeMemory cannot
// reach it there), and maps blocks from 32 MiB apart. Libraries leave the
// heap of the process that loads them alone.
void UseProgramHeap();

// Gives back to the system what the process keeps but does not use: the
// free blocks of every pool, the kept working blocks and the heap's free
// pages. For the end of a large piece of work (a drawing closed, a job
// sent), not for the middle of one: the next records are faulted in anew.
void ReleaseFreeMemory();

// Records of `Size` bytes aligned to `Align`, from blocks of `BlockBytes` (a
// power of two); at most `ReserveBytes` of blocks without a taken record
// stay mapped between releases.
template <std::size_t Size, std::size_t Align, std::size_t BlockBytes,
          std::size_t ReserveBytes = 4 * BlockBytes>
class RecordPool final : public RecordPoolBase {
public:
    RecordPool() = default;
    ~RecordPool() override
    {
        for (Block* b : m_blocks)
            FreeLargeBlock(b, BlockBytes);
    }

    // While one lives on a thread, that thread's takes and gives of the
    // pool go through it: records come in batches and go back in batches,
    // under one lock each instead of one per record, and the records the
    // thread gives back serve its next takes first, without the lock and
    // while they are still in the cache. Threads that make and free records
    // side by side then do not queue for the lock. What it holds goes back
    // when it ends. They nest: the innermost one serves.
    class Batches {
    public:
        explicit Batches(RecordPool& pool) : m_pool(pool), m_outer(t_batches) { t_batches = this; }
        ~Batches()
        {
            t_batches = m_outer;
            std::lock_guard<std::mutex> lock(m_pool.m_mutex);
            for (std::size_t k = 0; k < m_takenLeft; ++k)
                m_pool.GiveLocked(m_taken[k]);
            for (std::size_t k = 0; k < m_givenCount; ++k)
                m_pool.GiveLocked(m_given[k]);
        }
        Batches(const Batches&) = delete;
        Batches& operator=(const Batches&) = delete;

    private:
        friend class RecordPool;
        static constexpr std::size_t kBatch = 256;

        void* Take()
        {
            if (m_givenCount != 0)
                return m_given[--m_givenCount];
            if (m_takenLeft == 0) {
                m_pool.TakeBatch(m_taken, kBatch);
                // Handed out from the back: the first taken, usually the
                // lowest address, goes first.
                std::reverse(m_taken, m_taken + kBatch);
                m_takenLeft = kBatch;
            }
            return m_taken[--m_takenLeft];
        }
        void Give(void* p)
        {
            m_given[m_givenCount++] = p;
            if (m_givenCount == kBatch) {
                std::lock_guard<std::mutex> lock(m_pool.m_mutex);
                for (std::size_t k = 0; k < kBatch; ++k)
                    m_pool.GiveLocked(m_given[k]);
                m_givenCount = 0;
            }
        }

        RecordPool& m_pool;
        Batches* m_outer;
        void* m_taken[kBatch];
        void* m_given[kBatch];
        std::size_t m_takenLeft = 0; // slots [0, left) not handed out yet
        std::size_t m_givenCount = 0;
    };

    void* Take()
    {
        if (Batches* b = OwnBatches())
            return b->Take();
        std::lock_guard<std::mutex> lock(m_mutex);
        return TakeLocked();
    }

    void Give(void* p)
    {
        if (Batches* b = OwnBatches()) {
            b->Give(p);
            return;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        GiveLocked(p);
    }

    // `count` records under one lock, as that many Takes would give them;
    // none when the memory runs out.
    void TakeMany(void** out, std::size_t count)
    {
        if (Batches* b = OwnBatches()) {
            std::size_t taken = 0;
            try {
                for (; taken < count; ++taken)
                    out[taken] = b->Take();
            } catch (...) {
                while (taken > 0)
                    b->Give(out[--taken]);
                throw;
            }
            return;
        }
        TakeBatch(out, count);
    }

private:
    // `count` records from the blocks under one lock, whatever batches the
    // thread holds.
    void TakeBatch(void** out, std::size_t count)
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

public:
    // Records back under one lock, as that many Gives would take them.
    void GiveMany(void* const* records, std::size_t count)
    {
        if (Batches* b = OwnBatches()) {
            for (std::size_t k = 0; k < count; ++k)
                b->Give(records[k]);
            return;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::size_t k = 0; k < count; ++k)
            GiveLocked(records[k]);
    }

    // True when the record lies in one of the pool's blocks.
    bool Owns(const void* p)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::find(m_blocks.begin(), m_blocks.end(), BlockOf(p)) != m_blocks.end();
    }

    std::size_t BytesInUse() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_live * Size;
    }

    void ReleaseFree() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::size_t i = m_blocks.size(); i-- > 0;) {
            if (m_blocks[i]->live == 0)
                DropBlock(i);
        }
    }

private:
    static_assert(Size % Align == 0 && Size >= Align, "records must fill their slots exactly");

    static inline thread_local Batches* t_batches = nullptr;

    // The thread's innermost batches, when they are this pool's.
    Batches* OwnBatches() const
    {
        Batches* b = t_batches;
        return b != nullptr && &b->m_pool == this ? b : nullptr;
    }
    static_assert(std::has_single_bit(BlockBytes) && BlockBytes % kLargeBlockGranule == 0);

    static constexpr std::size_t kRawSlots = BlockBytes / Size;
    static constexpr std::size_t kWords = (kRawSlots + 63) / 64;

    // The head of a block: how many of its records are taken, where to look
    // for a free one, and a bit per slot, set while the slot is free.
    struct Block {
        std::size_t index; // in m_blocks
        std::size_t live;
        std::size_t look; // no free slot lies in a word before this one
        std::uint64_t free[kWords];
    };
    static constexpr std::size_t kHeadSlots = (sizeof(Block) + Size - 1) / Size;
    static_assert(kHeadSlots < kRawSlots / 2, "blocks too small for their records");

public:
    static constexpr std::size_t kSlots = kRawSlots - kHeadSlots; // records per block

private:

    static Block* BlockOf(const void* p)
    {
        return reinterpret_cast<Block*>(reinterpret_cast<std::uintptr_t>(p) & ~(BlockBytes - 1));
    }

    static unsigned char* SlotAt(Block* b, std::size_t i)
    {
        return reinterpret_cast<unsigned char*>(b) + (kHeadSlots + i) * Size;
    }

    void* TakeLocked()
    {
        for (;;) {
            if (m_current < m_blocks.size()) {
                Block* b = m_blocks[m_current];
                for (std::size_t w = b->look; b->live < kSlots && w < kWords; ++w) {
                    if (b->free[w] == 0)
                        continue;
                    const auto bit = static_cast<std::size_t>(std::countr_zero(b->free[w]));
                    b->free[w] &= b->free[w] - 1;
                    b->look = w;
                    if (b->live++ == 0)
                        --m_empty;
                    ++m_live;
                    return SlotAt(b, w * 64 + bit);
                }
                b->look = kWords;
            }
            NextBlock();
        }
    }

    void GiveLocked(void* p)
    {
        Block* b = BlockOf(p);
        const std::size_t i =
            static_cast<std::size_t>(static_cast<unsigned char*>(p) - reinterpret_cast<unsigned char*>(b)) / Size -
            kHeadSlots;
        b->free[i / 64] |= std::uint64_t{1} << (i % 64);
        b->look = std::min(b->look, i / 64);
        m_current = std::min(m_current, b->index);
        --m_live;
        if (--b->live == 0 && ++m_empty * BlockBytes > ReserveBytes)
            DropBlock(b->index);
    }

    // The first block with a free slot after the current one, in the order
    // the blocks were made, else a new one; the blocks before it are full.
    void NextBlock()
    {
        const std::size_t n = m_blocks.size();
        for (std::size_t i = m_current + 1; i < n; ++i) {
            if (m_blocks[i]->live < kSlots) {
                m_current = i;
                return;
            }
        }
        m_blocks.reserve(n + 1);
        void* memory = AllocateLargeBlock(BlockBytes, BlockBytes);
        if (memory == nullptr)
            throw std::bad_alloc();
        Block* b = ::new (memory) Block;
        b->index = n;
        b->live = 0;
        b->look = 0;
        std::fill(std::begin(b->free), std::end(b->free), ~std::uint64_t{0});
        if constexpr (kSlots % 64 != 0)
            b->free[kSlots / 64] = (std::uint64_t{1} << (kSlots % 64)) - 1;
        std::fill(std::begin(b->free) + (kSlots + 63) / 64, std::end(b->free), std::uint64_t{0});
        m_blocks.push_back(b);
        ++m_empty;
        m_current = n;
    }

    // Unmaps the block at `i`, which holds no taken record.
    void DropBlock(std::size_t i)
    {
        Block* b = m_blocks[i];
        m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(i));
        for (std::size_t k = i; k < m_blocks.size(); ++k)
            m_blocks[k]->index = k;
        // The blocks before the current one are full, so it lies at or
        // before `i` and still names the earliest one that may have room.
        --m_empty;
        FreeLargeBlock(b, BlockBytes);
    }

    std::mutex m_mutex;
    std::vector<Block*> m_blocks; // in the order they were made
    std::size_t m_current = 0;    // the earliest block that may have a free slot
    std::size_t m_live = 0;
    std::size_t m_empty = 0; // blocks without a taken record
};

} // namespace plat
