// Large blocks of memory for bulk records (millions of path segments), taken
// from and given back to the system directly: aligned to 2 MiB and marked
// for huge pages where the kernel offers them, so that filling them costs
// one page fault per 2 MiB instead of per 4 KiB, and a freed block leaves
// the process at once instead of lingering in the heap.
#pragma once
#include <cstddef>

namespace plat {

// Size granule of the large blocks.
inline constexpr std::size_t kLargeBlockGranule = std::size_t{2} << 20;

// A zero-filled block of `bytes` (a multiple of kLargeBlockGranule), or null
// when the memory cannot be had.
void* AllocateLargeBlock(std::size_t bytes);
// Gives a block back; `bytes` as it was allocated.
void FreeLargeBlock(void* block, std::size_t bytes);
// Keeps a block mapped but lets the system take its pages whenever it needs
// memory; until then writing to it again costs no page fault. Its contents
// are undefined afterwards (old bytes or zeros).
void LendLargeBlock(void* block, std::size_t bytes);

// A block of `bytes` (a multiple of kLargeBlockGranule), aligned to a
// granule and marked for huge pages, its contents undefined, or null when
// the memory cannot be had; it goes back through GiveLargeBlock. In the
// programs it comes from their operator new's kept blocks, so that blocks
// made and dropped by different steps of a job share one bounded reserve
// instead of each faulting in fresh pages; elsewhere straight from the
// system, as AllocateLargeBlock.
void* TakeLargeBlock(std::size_t bytes);
void GiveLargeBlock(void* block, std::size_t bytes);

// The programs' kept blocks, defined beside their operator new
// (platform/process) and absent from every other process: a block of whole
// granules, and giving one back, false when it is not from there.
void* TakeProgramBlock(std::size_t bytes);
bool GiveProgramBlock(void* block);

// Working arrays of one step that are made and dropped on every call: the
// last few blocks given back (256 MiB at most) stay mapped, lent to the
// system, and the next take of a size they hold reuses one in place instead
// of faulting in and zeroing fresh pages. `bytes` is a multiple of
// kLargeBlockGranule; on return it holds the size of the block taken, which
// goes back with it. Contents are undefined; null when the memory cannot be
// had.
void* TakeScratchBlock(std::size_t& bytes);
void GiveScratchBlock(void* block, std::size_t bytes);

// Marks the whole granules inside a freshly allocated, not yet touched
// buffer (a reserved string, say) for huge pages, so that filling a buffer
// of hundreds of megabytes does not fault on every 4 KiB. Only a hint;
// buffers below two granules are left alone.
void AdviseHugePages(void* data, std::size_t bytes);

} // namespace plat
