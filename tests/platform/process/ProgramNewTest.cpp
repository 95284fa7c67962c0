// The programs' operator new and delete (linked in here as in the programs;
// sanitized builds keep the sanitizers' own, and these cases then hold for
// those). A wrong pairing shows as a crash in free, a block handed out twice
// as another block's bytes, a hole in a block put together from kept ones as
// a fault.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// One byte in every 4 KiB and the last one: every page must be there.
void Stamp(void* block, std::size_t bytes, unsigned char value)
{
    auto* p = static_cast<unsigned char*>(block);
    for (std::size_t i = 0; i < bytes; i += 4096)
        p[i] = value;
    p[bytes - 1] = value;
}

bool HasStamp(const void* block, std::size_t bytes, unsigned char value)
{
    const auto* p = static_cast<const unsigned char*>(block);
    for (std::size_t i = 0; i < bytes; i += 4096) {
        if (p[i] != value)
            return false;
    }
    return p[bytes - 1] == value;
}

bool Aligned(const void* p, std::size_t align)
{
    return reinterpret_cast<std::uintptr_t>(p) % align == 0;
}

} // namespace

TEST(ProgramNew, EveryFormOfNewPairsWithItsDeleteAndKeepsItsAlignment)
{
    // Small (malloc), mid-sized, and large enough to be mapped apart.
    const std::size_t sizes[] = {24, 300000, 3 * kMiB / 2 + 5, 5 * kMiB + 7, 37 * kMiB};
    for (std::size_t bytes : sizes) {
        SCOPED_TRACE(bytes);
        void* a = ::operator new(bytes);
        void* b = ::operator new[](bytes);
        void* c = ::operator new(bytes, std::nothrow);
        void* d = ::operator new[](bytes, std::nothrow);
        ASSERT_TRUE(c != nullptr && d != nullptr);
        for (void* p : {a, b, c, d}) {
            EXPECT_TRUE(Aligned(p, alignof(std::max_align_t)));
            Stamp(p, bytes, 0x11);
        }
        ::operator delete(a, bytes);
        ::operator delete[](b);
        ::operator delete(c, std::nothrow);
        ::operator delete[](d, bytes);

        // Up to the 2 MiB of a mapped block and beyond it (8 MiB, which
        // only aligned_alloc gives); a 2 MiB-aligned malloc block must still
        // go back to free.
        for (std::size_t align : {std::size_t{64}, std::size_t{4096}, 2 * kMiB, 8 * kMiB}) {
            SCOPED_TRACE(align);
            const std::align_val_t al{align};
            void* e = ::operator new(bytes, al);
            void* f = ::operator new[](bytes, al);
            void* g = ::operator new(bytes, al, std::nothrow);
            ASSERT_NE(g, nullptr);
            for (void* p : {e, f, g}) {
                EXPECT_TRUE(Aligned(p, align));
                Stamp(p, bytes, 0x22);
            }
            ::operator delete(e, bytes, al);
            ::operator delete[](f, al);
            ::operator delete(g, al, std::nothrow);
        }
    }
    // Arrays of a type with a destructor and of one over-aligned.
    struct alignas(4096) Page {
        unsigned char bytes[4096];
    };
    auto pages = std::make_unique<Page[]>(2048);
    EXPECT_TRUE(Aligned(pages.get(), 4096));
    Stamp(pages.get(), 2048 * sizeof(Page), 0x33);
    auto strings = std::make_unique<std::vector<int>[]>(300000);
    strings[299999].assign(3, 7);
    EXPECT_EQ(strings[299999][2], 7);
}

TEST(ProgramNew, FreedBlocksGoOutAgainAsBlocksOfOtherSizesWithoutOverlapOrHoles)
{
    auto take = [](std::size_t bytes, unsigned char value) {
        void* p = ::operator new(bytes);
        Stamp(p, bytes, value);
        return p;
    };
    void* a = take(40 * kMiB, 1);
    void* b = take(6 * kMiB, 2);
    void* c = take(10 * kMiB + 1, 3);
    ::operator delete(a);
    ::operator delete(c);
    // Smaller than what is kept (cut from it), then larger than any kept
    // range (put together from them and fresh pages).
    void* d = take(8 * kMiB, 4);
    void* e = take(30 * kMiB, 5);
    void* f = take(64 * kMiB + 3, 6);
    void* g = take(4 * kMiB, 7);
    EXPECT_TRUE(HasStamp(b, 6 * kMiB, 2));
    EXPECT_TRUE(HasStamp(d, 8 * kMiB, 4));
    EXPECT_TRUE(HasStamp(e, 30 * kMiB, 5));
    EXPECT_TRUE(HasStamp(f, 64 * kMiB + 3, 6));
    EXPECT_TRUE(HasStamp(g, 4 * kMiB, 7));
    // Every byte of the gathered block is usable, not just one a page.
    std::memset(f, 0x5A, 64 * kMiB + 3);
    EXPECT_TRUE(HasStamp(e, 30 * kMiB, 5));
    for (void* p : {b, d, e, f, g})
        ::operator delete(p);

    // A vector grown step by step keeps its contents while its old blocks
    // are taken again by the next steps.
    std::vector<std::uint64_t> grown;
    for (std::uint64_t i = 0; i < 24 * kMiB / sizeof(std::uint64_t); ++i)
        grown.push_back(i * 2654435761u);
    bool same = true;
    for (std::uint64_t i = 0; i < grown.size(); ++i)
        same = same && grown[i] == i * 2654435761u;
    EXPECT_TRUE(same);
}

TEST(ProgramNew, ThreadsTakingAndGivingLargeBlocksAtOnceNeverShareOne)
{
    constexpr int kThreads = 8;
    constexpr int kRounds = 60;
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &wrong] {
            std::mt19937 random(static_cast<unsigned>(t) + 1);
            std::uniform_int_distribution<std::size_t> size(4 * kMiB, 24 * kMiB);
            const auto mine = static_cast<unsigned char>(t + 1);
            void* held = nullptr;
            std::size_t heldBytes = 0;
            for (int round = 0; round < kRounds; ++round) {
                const std::size_t bytes = size(random);
                void* p = round % 2 == 0 ? ::operator new(bytes) : ::operator new[](bytes, std::align_val_t{4096});
                Stamp(p, bytes, mine);
                std::this_thread::yield();
                if (!HasStamp(p, bytes, mine) || (held != nullptr && !HasStamp(held, heldBytes, mine)))
                    ++wrong[t];
                // Some blocks outlive a few rounds of the others.
                if (round % 6 == 0) {
                    if (held != nullptr)
                        ::operator delete(held, heldBytes);
                    held = p;
                    heldBytes = bytes;
                } else if (round % 2 == 0) {
                    ::operator delete(p, bytes);
                } else {
                    ::operator delete[](p, std::align_val_t{4096});
                }
            }
            ::operator delete(held);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(wrong[t], 0) << "thread " << t;
}
