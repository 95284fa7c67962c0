// The program's operator new and operator delete. Small blocks come from and
// go back to malloc as with the standard ones. Blocks of a megabyte and more
// (the working arrays of a million-path job) are mapped here instead,
// aligned to 2 MiB and marked for huge pages, and a freed one stays mapped
// for the next: one step of a large job frees arrays that the next step
// asks for again at once, and mapping them fresh each time costs a page
// fault and the zeroing of every page, which on some machines is a large
// share of what the job costs. What is kept is bounded (a sixteenth of the
// machine's memory) and lent to the system meanwhile, which may take the
// pages back whenever it needs memory. Linked into programs only, never
// into the libraries: a library must not decide the allocator of the
// process that loads it.
#include "platform/LargeBlock.h"
#include "platform/PhysicalMemory.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>
#include <sys/mman.h>

namespace {

constexpr std::size_t kGranule = plat::kLargeBlockGranule;
// Requests from this size up are mapped here (malloc too would map such a
// block apart and unmap it again when freed); smaller ones go to malloc,
// whose heap keeps and reuses them by itself.
constexpr std::size_t kMappedFrom = std::size_t{1} << 20;
// Free ranges kept at most; one more is unmapped.
constexpr std::size_t kMaxKept = 512;

template <class T>
struct MallocAllocator {
    using value_type = T;
    MallocAllocator() = default;
    template <class U>
    MallocAllocator(const MallocAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n)
    {
        if (void* p = std::malloc(n * sizeof(T)))
            return static_cast<T*>(p);
        throw std::bad_alloc();
    }
    void deallocate(T* p, std::size_t) noexcept { std::free(p); }
    template <class U>
    bool operator==(const MallocAllocator<U>&) const noexcept
    {
        return true;
    }
};

struct Range {
    std::uintptr_t start = 0;
    std::size_t bytes = 0;
};

// The mapped blocks: those handed out (by start, for operator delete, which
// is not always told the size) and the free ranges kept for reuse. Every
// block and range starts on a granule and spans whole granules, so that the
// kernel's mappings inside them split only at granule boundaries.
class BlockStore {
public:
    BlockStore()
    {
        const std::uint64_t memory = plat::PhysicalMemoryBytes();
        m_keepLimit = memory != 0 ? static_cast<std::size_t>(memory / 16) : std::size_t{256} << 20;
    }

    // A block of `bytes` (whole granules), kept pages first; null when no
    // memory can be had.
    void* Take(std::size_t bytes)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::uintptr_t start = TakeKept(bytes);
        if (start == 0)
            start = Gather(bytes);
        if (start == 0) {
            // Out of memory or mappings: what is kept goes back first.
            ReleaseKept();
            start = reinterpret_cast<std::uintptr_t>(plat::AllocateLargeBlock(bytes));
        }
        if (start == 0)
            return nullptr;
        try {
            m_live.emplace(start, bytes);
        } catch (const std::bad_alloc&) {
            plat::FreeLargeBlock(reinterpret_cast<void*>(start), bytes);
            return nullptr;
        }
        return reinterpret_cast<void*>(start);
    }

    // False when `block` is not one of ours (malloc's, then).
    bool Give(void* block)
    {
        const auto start = reinterpret_cast<std::uintptr_t>(block);
        std::size_t bytes = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const auto it = m_live.find(start);
            if (it == m_live.end())
                return false;
            bytes = it->second;
            m_live.erase(it);
            if (m_keptBytes + bytes <= m_keepLimit && m_keptCount < kMaxKept) {
                // Lent before anyone can take it again: the system must not
                // drop pages that a new owner has written.
                plat::LendLargeBlock(block, bytes);
                m_kept[m_keptCount++] = Range{start, bytes};
                m_keptBytes += bytes;
                return true;
            }
        }
        plat::FreeLargeBlock(block, bytes);
        return true;
    }

private:
    // The smallest kept range that holds `bytes`, its head cut off.
    std::uintptr_t TakeKept(std::size_t bytes)
    {
        Range* best = nullptr;
        for (std::size_t i = 0; i < m_keptCount; ++i) {
            if (m_kept[i].bytes >= bytes && (best == nullptr || m_kept[i].bytes < best->bytes))
                best = &m_kept[i];
        }
        if (best == nullptr)
            return 0;
        const std::uintptr_t start = best->start;
        best->start += bytes;
        best->bytes -= bytes;
        m_keptBytes -= bytes;
        if (best->bytes == 0)
            *best = m_kept[--m_keptCount];
        return start;
    }

    // No kept range is large enough: a fresh block, into which the largest
    // kept ranges are moved (page tables only, no copying and no zeroing),
    // so that only the rest of it is faulted in fresh.
    std::uintptr_t Gather(std::size_t bytes)
    {
        if (m_keptCount == 0)
            return reinterpret_cast<std::uintptr_t>(plat::AllocateLargeBlock(bytes));
        void* fresh = plat::AllocateLargeBlock(bytes);
        if (fresh == nullptr)
            return 0;
        const auto start = reinterpret_cast<std::uintptr_t>(fresh);
        std::size_t filled = 0;
        while (filled < bytes && m_keptCount != 0) {
            Range* largest = std::max_element(m_kept, m_kept + m_keptCount,
                [](const Range& a, const Range& b) { return a.bytes < b.bytes; });
            const std::size_t part = std::min(largest->bytes, bytes - filled);
            const std::size_t moved = Move(largest->start, start + filled, part);
            filled += moved;
            largest->start += moved;
            largest->bytes -= moved;
            m_keptBytes -= moved;
            if (largest->bytes == 0)
                *largest = m_kept[--m_keptCount];
            if (moved < part) {
                // A failed move may leave the target unmapped.
                if (!Refill(start + filled, part - moved)) {
                    plat::FreeLargeBlock(fresh, bytes);
                    return 0;
                }
                break;
            }
        }
        return start;
    }

    // Moves kept pages over the untouched ones at `to`; returns how many
    // bytes were moved. A range may span several of the kernel's mappings,
    // which one call cannot move: granule by granule then, as every mapping
    // boundary inside our blocks lies on one.
    static std::size_t Move(std::uintptr_t from, std::uintptr_t to, std::size_t bytes)
    {
        if (MoveOnce(from, to, bytes))
            return bytes;
        std::size_t done = 0;
        while (done < bytes && MoveOnce(from + done, to + done, kGranule))
            done += kGranule;
        return done;
    }

    static bool MoveOnce(std::uintptr_t from, std::uintptr_t to, std::size_t bytes)
    {
        void* moved = ::mremap(reinterpret_cast<void*>(from), bytes, bytes, MREMAP_MAYMOVE | MREMAP_FIXED,
            reinterpret_cast<void*>(to));
        return moved == reinterpret_cast<void*>(to);
    }

    // Maps fresh pages over a target range that a failed move may have left
    // unmapped.
    static bool Refill(std::uintptr_t at, std::size_t bytes)
    {
        void* p = ::mmap(reinterpret_cast<void*>(at), bytes, PROT_READ | PROT_WRITE,
            MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (p == MAP_FAILED)
            return false;
        ::madvise(p, bytes, MADV_HUGEPAGE);
        return true;
    }

    void ReleaseKept()
    {
        for (std::size_t i = 0; i < m_keptCount; ++i)
            plat::FreeLargeBlock(reinterpret_cast<void*>(m_kept[i].start), m_kept[i].bytes);
        m_keptCount = 0;
        m_keptBytes = 0;
    }

    std::mutex m_mutex;
    std::unordered_map<std::uintptr_t, std::size_t, std::hash<std::uintptr_t>, std::equal_to<std::uintptr_t>,
        MallocAllocator<std::pair<const std::uintptr_t, std::size_t>>>
        m_live;
    Range m_kept[kMaxKept];
    std::size_t m_keptCount = 0;
    std::size_t m_keptBytes = 0;
    std::size_t m_keepLimit = 0;
};

// Made on first use and never destroyed: blocks are freed until the very
// end of the process, after static destructors have run.
BlockStore& Store()
{
    alignas(BlockStore) static unsigned char storage[sizeof(BlockStore)];
    static BlockStore* store = new (storage) BlockStore();
    return *store;
}

void* TryAllocate(std::size_t bytes, std::size_t align)
{
    if (bytes == 0)
        bytes = 1;
    if (bytes >= kMappedFrom && align <= kGranule && bytes <= SIZE_MAX - kGranule)
        return Store().Take((bytes + kGranule - 1) & ~(kGranule - 1));
    if (align <= alignof(std::max_align_t))
        return std::malloc(bytes);
    // aligned_alloc wants a multiple of the alignment.
    if (bytes > SIZE_MAX - align)
        return nullptr;
    return std::aligned_alloc(align, (bytes + align - 1) & ~(align - 1));
}

void* Allocate(std::size_t bytes, std::size_t align)
{
    for (;;) {
        if (void* block = TryAllocate(bytes, align))
            return block;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr)
            throw std::bad_alloc();
        handler();
    }
}

void* AllocateNoThrow(std::size_t bytes, std::size_t align) noexcept
{
    try {
        return Allocate(bytes, align);
    } catch (...) {
        return nullptr;
    }
}

void Free(void* block) noexcept
{
    if (block == nullptr)
        return;
    // Mapped blocks start on a granule; a malloc block rarely does, and the
    // store tells the two apart.
    if ((reinterpret_cast<std::uintptr_t>(block) & (kGranule - 1)) == 0 && Store().Give(block))
        return;
    std::free(block);
}

constexpr std::size_t kPlain = alignof(std::max_align_t);

} // namespace

void* plat::TakeProgramBlock(std::size_t bytes)
{
    return Store().Take(bytes);
}

bool plat::GiveProgramBlock(void* block)
{
    return Store().Give(block);
}

void* operator new(std::size_t bytes) { return Allocate(bytes, kPlain); }
void* operator new[](std::size_t bytes) { return Allocate(bytes, kPlain); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return AllocateNoThrow(bytes, kPlain); }
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept { return AllocateNoThrow(bytes, kPlain); }
void* operator new(std::size_t bytes, std::align_val_t align) { return Allocate(bytes, std::size_t(align)); }
void* operator new[](std::size_t bytes, std::align_val_t align) { return Allocate(bytes, std::size_t(align)); }
void* operator new(std::size_t bytes, std::align_val_t align, const std::nothrow_t&) noexcept
{
    return AllocateNoThrow(bytes, std::size_t(align));
}
void* operator new[](std::size_t bytes, std::align_val_t align, const std::nothrow_t&) noexcept
{
    return AllocateNoThrow(bytes, std::size_t(align));
}

void operator delete(void* block) noexcept { Free(block); }
void operator delete[](void* block) noexcept { Free(block); }
void operator delete(void* block, std::size_t) noexcept { Free(block); }
void operator delete[](void* block, std::size_t) noexcept { Free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete(void* block, std::align_val_t) noexcept { Free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { Free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { Free(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { Free(block); }
