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

// Blocks of 64-byte records; two free blocks kept. A 2 MiB block has 32,768
// slots; its head (three counts and a 512-word free map, 4,120 bytes) takes
// the first 65, so records start 4,160 bytes in.
using SmallPool = RecordPool<64, 8, kLargeBlockGranule, 2 * kLargeBlockGranule>;
constexpr std::size_t kPerBlock = 32703;
constexpr std::uintptr_t kFirstRecordAt = 4160;
static_assert(SmallPool::kSlots == kPerBlock);

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

TEST(RecordPool, RecordsAreTakenInAddressOrderWhateverOrderTheyWereFreedIn)
{
    SmallPool pool;
    // Two blocks and a bit, half of it in one batch: every record its own,
    // each block filled from its start in order.
    std::vector<void*> taken = TakeFilled(pool, kPerBlock);
    std::vector<void*> batch(kPerBlock + 20);
    pool.TakeMany(batch.data(), batch.size());
    taken.insert(taken.end(), batch.begin(), batch.end());
    EXPECT_EQ(std::set<void*>(taken.begin(), taken.end()).size(), taken.size());
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(taken[k * kPerBlock]) % kLargeBlockGranule, kFirstRecordAt) << k;
    for (std::size_t i = 1; i < taken.size(); ++i) {
        if (i % kPerBlock != 0) {
            ASSERT_EQ(static_cast<char*>(taken[i]), static_cast<char*>(taken[i - 1]) + 64) << i;
        }
    }
    for (std::size_t i = 0; i < kPerBlock; ++i)
        ASSERT_EQ(static_cast<unsigned char*>(taken[i])[63], i & 0xFF) << i;
    EXPECT_EQ(pool.BytesInUse(), taken.size() * 64);

    // A few of the second block in a batch, then every third record of the
    // first freed last to first: the next takes fill the first block's
    // lowest first, then the second's.
    pool.GiveMany(&taken[kPerBlock + 7], 5);
    std::vector<void*> freed;
    for (std::size_t i = kPerBlock - 1; i < kPerBlock; i -= 3) {
        pool.Give(taken[i]);
        freed.push_back(taken[i]);
    }
    std::sort(freed.begin(), freed.end());
    freed.insert(freed.end(), &taken[kPerBlock + 7], &taken[kPerBlock + 12]);
    std::vector<void*> again(freed.size());
    pool.TakeMany(again.data(), again.size());
    EXPECT_EQ(again, freed);
    EXPECT_EQ(pool.BytesInUse(), taken.size() * 64);
}

TEST(RecordPool, FreeBlocksGoBackBeyondTheReserveAndEveryOneOnReleaseButNotALiveOne)
{
    SmallPool pool;
    const std::vector<void*> taken = TakeFilled(pool, 4 * kPerBlock);
    // All but the first record: block 0 keeps one, blocks 1 and 2 are kept
    // free, block 3, emptied last, lies beyond the reserve.
    for (std::size_t i = 1; i < taken.size(); ++i)
        pool.Give(taken[i]);
    EXPECT_EQ(pool.BytesInUse(), 64u);
    EXPECT_TRUE(IsMapped(taken[kPerBlock]));
    EXPECT_TRUE(IsMapped(taken[2 * kPerBlock]));
    EXPECT_FALSE(IsMapped(taken[3 * kPerBlock]));

    pool.ReleaseFree();
    EXPECT_FALSE(IsMapped(taken[kPerBlock]));
    EXPECT_FALSE(IsMapped(taken[2 * kPerBlock]));
    ASSERT_TRUE(IsMapped(taken[0]));
    EXPECT_EQ(static_cast<unsigned char*>(taken[0])[63], 0);
    EXPECT_TRUE(pool.Owns(taken[0]));
    EXPECT_FALSE(pool.Owns(taken[kPerBlock]));
    // The next record is the free slot after the live one.
    EXPECT_EQ(pool.Take(), taken[1]);
}

// Batches on a thread: a record given back is the next one taken, without
// the pool; the pool counts a whole batch taken while they live (256
// records for the first take) and nothing once they end; a second pool of
// the same kind on the same thread is not served by them.
TEST(RecordPool, BatchesReuseWhatTheThreadGaveBackAndReturnTheRestAtTheirEnd)
{
    SmallPool pool;
    SmallPool other;
    std::vector<void*> kept;
    {
        SmallPool::Batches batches(pool);
        void* a = pool.Take();
        EXPECT_EQ(pool.BytesInUse(), 256u * 64u);
        pool.Give(a);
        EXPECT_EQ(pool.Take(), a);
        void* elsewhere = other.Take();
        EXPECT_EQ(other.BytesInUse(), 64u);
        other.Give(elsewhere);
        kept = TakeFilled(pool, 600); // beyond two batches
        pool.Give(a);
        std::vector<void*> many(300);
        pool.TakeMany(many.data(), many.size());
        EXPECT_EQ(many.front(), a);
        pool.GiveMany(many.data(), many.size());
    }
    EXPECT_EQ(pool.BytesInUse(), 600u * 64u);
    for (void* p : kept)
        pool.Give(p);
    EXPECT_EQ(pool.BytesInUse(), 0u);
}
