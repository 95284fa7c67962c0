#include "platform/ParallelFor.h"
#include "platform/Processors.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace plat;

TEST(ParallelFor, EveryIndexRunsExactlyOnceAndIdleThreadsHelpWithNestedLoops)
{
    ParallelFor(0, [](std::size_t) { FAIL() << "no index to run"; });

    constexpr std::size_t kOuter = 64, kInner = 16;
    std::vector<std::atomic<int>> runs(kOuter * kInner);
    ParallelFor(kOuter, [&](std::size_t i) { ParallelFor(kInner, [&](std::size_t j) { ++runs[i * kInner + j]; }); });
    for (std::size_t k = 0; k < runs.size(); ++k)
        EXPECT_EQ(runs[k].load(), 1) << "index " << k;

    // Two outer pieces leave kept threads idle (with four processors and
    // more, one left to the interface): the second piece's inner loop gets
    // one, so its first piece sees its second begin beside it (on one
    // thread alone it would wait its 10 s out and see nothing).
    if (UsableProcessors() >= 4) {
        std::mutex m;
        std::condition_variable cv;
        bool secondBegun = false;
        bool sideBySide = false;
        ParallelFor(2, [&](std::size_t i) {
            if (i == 0)
                return;
            ParallelFor(2, [&](std::size_t j) {
                std::unique_lock<std::mutex> lock(m);
                if (j == 1) {
                    secondBegun = true;
                    cv.notify_all();
                } else {
                    sideBySide = cv.wait_for(lock, std::chrono::seconds(10), [&] { return secondBegun; });
                }
            });
        });
        EXPECT_TRUE(sideBySide);
    }

    // An exception of an inner piece, wherever it ran, reaches the caller.
    EXPECT_THROW(ParallelFor(2, [](std::size_t) {
                     ParallelFor(64, [](std::size_t j) {
                         if (j == 40)
                             throw std::runtime_error("inner 40");
                     });
                 }),
                 std::runtime_error);
}

TEST(ParallelFor, AnExceptionOfAPieceReachesTheCallerInsteadOfEndingTheProgram)
{
    try {
        ParallelFor(1000, [&](std::size_t i) {
            if (i == 5)
                throw std::runtime_error("piece 5");
        });
        FAIL() << "the exception was lost";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "piece 5");
    }

    // The threads are all back: the next call runs as usual.
    std::atomic<std::size_t> after{0};
    ParallelFor(100, [&](std::size_t) { ++after; });
    EXPECT_EQ(after.load(), 100u);
}

TEST(ParallelFor, LoopsStartedFromSeveralThreadsAtOnceEachRunEveryIndexOnce)
{
    // The kept threads serve one loop at a time; the others must still run
    // whole, and the kept threads must come back for the next loops.
    constexpr int kCallers = 4, kLoops = 200;
    constexpr std::size_t kIndexes = 37;
    std::atomic<int> wrong{0};
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c) {
        callers.emplace_back([&] {
            for (int l = 0; l < kLoops; ++l) {
                std::vector<std::atomic<int>> runs(kIndexes);
                ParallelFor(kIndexes, [&](std::size_t i) { ++runs[i]; });
                for (const std::atomic<int>& r : runs)
                    wrong += r.load() != 1;
            }
        });
    }
    for (std::thread& t : callers)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}
