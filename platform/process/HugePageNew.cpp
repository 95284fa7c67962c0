// The program's operator new: as the standard one, but a block of several
// megabytes (the working arrays of a million-path job) is marked for huge
// pages before anything touches it. Filling fresh memory otherwise costs a
// page fault per 4 KiB, and on some machines that is most of what building
// such an array costs. Linked into programs only, never into the libraries:
// a library must not decide the allocator of the process that loads it.
// Blocks still come from and go back to malloc, so the standard operator
// delete pairs with it unchanged.
#include "platform/LargeBlock.h"

#include <cstdlib>
#include <new>

namespace {

void* Allocate(std::size_t bytes)
{
    if (bytes == 0)
        bytes = 1;
    for (;;) {
        if (void* block = std::malloc(bytes)) {
            // Only blocks of two granules and more hold a whole aligned one;
            // smaller ones come from the heap and are left alone.
            plat::AdviseHugePages(block, bytes);
            return block;
        }
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr)
            throw std::bad_alloc();
        handler();
    }
}

} // namespace

void* operator new(std::size_t bytes) { return Allocate(bytes); }
void* operator new[](std::size_t bytes) { return Allocate(bytes); }
