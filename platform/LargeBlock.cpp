#include "LargeBlock.h"

#include <cstdint>
#include <mutex>
#include <sys/mman.h>

namespace plat {

namespace {

struct KeptBlock {
    void* block = nullptr;
    std::size_t bytes = 0;
};

constexpr std::size_t kKeptBlocks = 4;
constexpr std::size_t kKeptBytes = std::size_t{256} << 20;

std::mutex g_keptMutex;
KeptBlock g_kept[kKeptBlocks];

// Keeps a block mapped but lets the system take its pages whenever it needs
// memory; until then writing to it again costs no page fault.
void LendLargeBlock(void* block, std::size_t bytes)
{
    if (block == nullptr)
        return;
#ifdef MADV_FREE
    if (::madvise(block, bytes, MADV_FREE) == 0)
        return;
#endif
    // Older kernels: the pages go at once and come back zeroed.
    ::madvise(block, bytes, MADV_DONTNEED);
}

} // namespace

void* AllocateLargeBlock(std::size_t bytes, std::size_t align)
{
    if (bytes == 0 || bytes % kLargeBlockGranule != 0 || align < kLargeBlockGranule || (align & (align - 1)) != 0 ||
        bytes > SIZE_MAX - align)
        return nullptr;
    // Room for an aligned start inside; the spare head and tail are
    // unmapped again.
    const std::size_t span = bytes + align;
    void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + align - 1) & ~(align - 1);
    const std::size_t head = aligned - start;
    const std::size_t tail = span - head - bytes;
    if (head != 0)
        ::munmap(raw, head);
    if (tail != 0)
        ::munmap(reinterpret_cast<void*>(aligned + bytes), tail);
    return reinterpret_cast<void*>(aligned);
}

void FreeLargeBlock(void* block, std::size_t bytes)
{
    if (block != nullptr)
        ::munmap(block, bytes);
}

void* TakeScratchBlock(std::size_t& bytes)
{
    {
        std::lock_guard<std::mutex> lock(g_keptMutex);
        KeptBlock* best = nullptr;
        for (KeptBlock& k : g_kept) {
            if (k.block != nullptr && k.bytes >= bytes && (best == nullptr || k.bytes < best->bytes))
                best = &k;
        }
        if (best != nullptr) {
            void* block = best->block;
            bytes = best->bytes;
            *best = KeptBlock{};
            return block;
        }
    }
    return AllocateLargeBlock(bytes);
}

void GiveScratchBlock(void* block, std::size_t bytes)
{
    if (block == nullptr)
        return;
    {
        std::lock_guard<std::mutex> lock(g_keptMutex);
        std::size_t total = bytes;
        KeptBlock* empty = nullptr;
        for (KeptBlock& k : g_kept) {
            total += k.bytes;
            if (k.block == nullptr)
                empty = &k;
        }
        if (empty != nullptr && total <= kKeptBytes) {
            LendLargeBlock(block, bytes);
            *empty = KeptBlock{block, bytes};
            return;
        }
    }
    FreeLargeBlock(block, bytes);
}

void ReleaseScratchBlocks()
{
    std::lock_guard<std::mutex> lock(g_keptMutex);
    for (KeptBlock& k : g_kept) {
        FreeLargeBlock(k.block, k.bytes);
        k = KeptBlock{};
    }
}

void AdviseHugePages(void* data, std::size_t bytes)
{
    if (data == nullptr || bytes < 2 * kLargeBlockGranule)
        return;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kLargeBlockGranule - 1) & ~(kLargeBlockGranule - 1);
    const std::uintptr_t end = (start + bytes) & ~(kLargeBlockGranule - 1);
    if (end > first)
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

} // namespace plat
