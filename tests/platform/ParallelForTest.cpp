#include "platform/ParallelFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace plat;

TEST(ParallelFor, EveryIndexRunsExactlyOnceAndNestedCallsStayOnTheirThread)
{
    ParallelFor(0, [](std::size_t) { FAIL() << "no index to run"; });

    constexpr std::size_t kOuter = 64, kInner = 16;
    std::vector<std::atomic<int>> runs(kOuter * kInner);
    std::atomic<int> nestedElsewhere{0};
    ParallelFor(kOuter, [&](std::size_t i) {
        const std::thread::id self = std::this_thread::get_id();
        ParallelFor(kInner, [&](std::size_t j) {
            if (std::this_thread::get_id() != self)
                ++nestedElsewhere;
            ++runs[i * kInner + j];
        });
    });
    for (std::size_t k = 0; k < runs.size(); ++k)
        EXPECT_EQ(runs[k].load(), 1) << "index " << k;
    EXPECT_EQ(nestedElsewhere.load(), 0);
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
