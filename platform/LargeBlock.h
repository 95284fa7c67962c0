// Large blocks of memory for bulk records (millions of path segments) and
// working arrays, taken from and given back to the system directly, so that
// a freed block leaves the process at once instead of lingering in the heap.
#pragma once
#include <cstddef>

namespace plat {

// Size granule of the large blocks.
inline constexpr std::size_t kLargeBlockGranule = std::size_t{2} << 20;

// A zero-filled block of `bytes` (a multiple of kLargeBlockGranule) whose
// start is a multiple of `align` (a power of two, at least the granule), or
// null when the memory cannot be had.
void* AllocateLargeBlock(std::size_t bytes, std::size_t align = kLargeBlockGranule);
// Gives a block back; `bytes` as it was allocated.
void FreeLargeBlock(void* block, std::size_t bytes);

// Working arrays of one step that are made and dropped on every call: the
// last few blocks given back (256 MiB at most) stay mapped, lent to the
// system, and the next take of a size they hold reuses one in place instead
// of faulting in and zeroing fresh pages. `bytes` is a multiple of
// kLargeBlockGranule; on return it holds the size of the block taken, which
// goes back with it. Contents are undefined; null when the memory cannot be
// had.
void* TakeScratchBlock(std::size_t& bytes);
void GiveScratchBlock(void* block, std::size_t bytes);
// The kept working blocks back to the system (ReleaseFreeMemory).
void ReleaseScratchBlocks();

// Marks the whole granules inside a freshly allocated, not yet touched
// buffer (a reserved string, say) for huge pages, so that filling a buffer
// of hundreds of megabytes does not fault on every 4 KiB. Only a hint;
// buffers below two granules are left alone.
void AdviseHugePages(void* data, std::size_t bytes);

} // namespace plat
