#include "platform/LargeBlock.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/mman.h>

using namespace plat;

namespace {

bool IsMapped(void* p)
{
    unsigned char state = 0;
    return ::mincore(p, 4096, &state) == 0 || errno != ENOMEM;
}

} // namespace

TEST(LargeBlock, ScratchBlocksAreReusedWithTheirRealSizeAndTheKeptOnesStayBounded)
{
    std::size_t big = 2 * kLargeBlockGranule;
    void* a = TakeScratchBlock(big);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(big, 2 * kLargeBlockGranule);
    std::memset(a, 0x5A, big);
    GiveScratchBlock(a, big);

    // A smaller take reuses the kept block, and says how large it is so
    // that it goes back whole.
    std::size_t small = kLargeBlockGranule;
    void* b = TakeScratchBlock(small);
    EXPECT_EQ(b, a);
    EXPECT_EQ(small, 2 * kLargeBlockGranule);
    std::memset(b, 0x33, small);
    GiveScratchBlock(b, small);

    // A block that would take the kept memory beyond its bound is unmapped.
    std::size_t huge = std::size_t{256} << 20;
    void* c = TakeScratchBlock(huge);
    ASSERT_NE(c, nullptr);
    EXPECT_NE(c, a);
    static_cast<unsigned char*>(c)[0] = 1;
    GiveScratchBlock(c, huge);
    EXPECT_FALSE(IsMapped(c));
    EXPECT_TRUE(IsMapped(a));

    // Released, the kept ones leave too.
    ReleaseScratchBlocks();
    EXPECT_FALSE(IsMapped(a));
}
