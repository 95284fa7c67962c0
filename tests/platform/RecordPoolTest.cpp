#include "platform/RecordPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <sys/mman.h>
#include <vector>

using namespace plat;

namespace {

// Blocks of 64-byte records, 32,768 to a block; two blocks kept.
using SmallPool = RecordPool<64, 8, kLargeBlockGranule, 2 * kLargeBlockGranule>;
constexpr std::size_t kPerBlock = kLargeBlockGranule / 64;

std::vector<void*> TakeFilled(SmallPool& pool, std::size_t count)
{
    std::vector<void*> taken;
    for (std::size_t i = 0; i < count; ++i) {
        void* p = pool.Take();
        std::memset(p, static_cast<int>(i & 0xFF), 64);
        taken.push_back(p);
    }
    return taken;
}

bool IsMapped(void* p)
{
    unsigned char state = 0;
    void* page = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(p) & ~std::uintptr_t{4095});
    return ::mincore(page, 4096, &state) == 0 || errno != ENOMEM;
}

} // namespace

TEST(RecordPool, AfterTheLastRecordGoesBlocksAreCutAgainAndOnlyTheReserveStaysMapped)
{
    SmallPool pool;
    // Three blocks' worth: the third lies beyond the reserve.
    const std::vector<void*> first = TakeFilled(pool, 3 * kPerBlock);
    EXPECT_EQ(std::set<void*>(first.begin(), first.end()).size(), first.size());
    for (void* p : first)
        pool.Give(p);
    EXPECT_TRUE(IsMapped(first[kPerBlock]));
    EXPECT_FALSE(IsMapped(first[2 * kPerBlock]));

    // The next job refills the kept blocks in place, then takes a new one;
    // no record is handed out twice and every one holds what was written.
    const std::vector<void*> second = TakeFilled(pool, 3 * kPerBlock);
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + 2 * kPerBlock, second.begin()));
    EXPECT_EQ(std::set<void*>(second.begin(), second.end()).size(), second.size());
    for (std::size_t i = 0; i < second.size(); ++i) {
        const auto* bytes = static_cast<const unsigned char*>(second[i]);
        ASSERT_EQ(bytes[0], i & 0xFF);
        ASSERT_EQ(bytes[63], i & 0xFF);
    }
    // A record freed while others live comes back first.
    pool.Give(second[5]);
    EXPECT_EQ(pool.Take(), second[5]);
}

TEST(RecordPool, BatchesTakeAndGiveAsOneByOneDoesAndTheLastGivenBackRecutsTheBlocks)
{
    // Across three block ends, a batch gets what single takes would get: the
    // rest of the block in order, then each new block from its start.
    // Given back in batches with the rest, the pool is empty again: blocks
    // cut from the start, the one beyond the reserve unmapped.
    SmallPool pool;
    const std::vector<void*> before = TakeFilled(pool, kPerBlock - 10);
    std::vector<void*> batch(2 * kPerBlock + 20);
    pool.TakeMany(batch.data(), batch.size());
    EXPECT_EQ(static_cast<char*>(batch[0]), static_cast<char*>(before.back()) + 64);
    for (std::size_t i = 1; i < batch.size(); ++i) {
        if (i >= 10 && (i - 10) % kPerBlock == 0)
            ASSERT_EQ(reinterpret_cast<std::uintptr_t>(batch[i]) % kLargeBlockGranule, 0u) << i;
        else
            ASSERT_EQ(static_cast<char*>(batch[i]), static_cast<char*>(batch[i - 1]) + 64) << i;
    }
    pool.GiveMany(batch.data(), batch.size() / 2);
    EXPECT_TRUE(IsMapped(batch.back()));
    pool.GiveMany(before.data(), before.size());
    pool.GiveMany(batch.data() + batch.size() / 2, batch.size() - batch.size() / 2);
    EXPECT_FALSE(IsMapped(batch.back()));
    EXPECT_EQ(pool.Take(), before[0]);
}
