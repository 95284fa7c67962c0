// Segments and path records come from pools: every live one has its own
// memory, also across the pool's blocks and after they were freed and made
// again.
#include "machinecomm/VantrelRecords.h"
#include "model/SegNodePool.h"
#include "platform/ParallelFor.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

TEST(SegNodePool, LiveSegmentsNeverShareMemoryAcrossBlocksAndReuse)
{
    // More than one 16 MiB block of 72-byte segments.
    constexpr int kCount = 500000;
    std::vector<SEGNODE*> segs;
    for (int i = 0; i < kCount; ++i) {
        segs.push_back(new SEGNODE);
        segs.back()->m_x0 = i;
    }
    for (int i = 0; i < kCount; i += 2) {
        delete segs[static_cast<std::size_t>(i)];
        segs[static_cast<std::size_t>(i)] = nullptr;
    }
    // The freed places are taken again, with fresh, zeroed fields.
    for (int i = 0; i < kCount; i += 2) {
        segs[static_cast<std::size_t>(i)] = new SEGNODE;
        EXPECT_EQ(segs[static_cast<std::size_t>(i)]->m_x0, 0.0);
        EXPECT_EQ(segs[static_cast<std::size_t>(i)]->m_pNext, nullptr);
        segs[static_cast<std::size_t>(i)]->m_x0 = i;
    }
    std::set<const SEGNODE*> distinct(segs.begin(), segs.end());
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(segs[static_cast<std::size_t>(i)]->m_x0, i);
    for (SEGNODE* s : segs)
        delete s;

    // After everything was freed the pool starts over and still works.
    SEGNODE* again = new SEGNODE;
    again->m_y1 = 5;
    EXPECT_EQ(again->m_y1, 5);
    delete again;
}

// Paths built side by side take segments and records in batches per thread
// and free them in batches: no two live ones share memory, batches cut
// short give their rest back, and what was freed in a batch is taken again.
TEST(SegNodePool, RecordsFromStocksOnSeveralThreadsAndFreedInBinsNeverShareMemory)
{
    constexpr std::size_t kPieces = 8;
    constexpr std::size_t kEach = 30001; // not a whole number of batches
    std::vector<std::vector<SEGNODE*>> segs(kPieces);
    std::vector<std::vector<PATHREC*>> recs(kPieces);
    plat::ParallelFor(kPieces, [&](std::size_t k) {
        PathRecordStock stock;
        for (std::size_t i = 0; i < kEach; ++i) {
            segs[k].push_back(new SEGNODE);
            segs[k].back()->m_x0 = static_cast<double>(k * kEach + i);
            if (i % 3 == 0) {
                recs[k].push_back(new PATHREC);
                recs[k].back()->m_xmin = static_cast<double>(k * kEach + i);
            }
        }
    });
    std::set<const void*> distinct;
    for (std::size_t k = 0; k < kPieces; ++k) {
        for (std::size_t i = 0; i < kEach; ++i) {
            ASSERT_EQ(segs[k][i]->m_x0, static_cast<double>(k * kEach + i));
            distinct.insert(segs[k][i]);
        }
        for (std::size_t j = 0; j < recs[k].size(); ++j) {
            ASSERT_EQ(recs[k][j]->m_xmin, static_cast<double>(k * kEach + 3 * j));
            distinct.insert(recs[k][j]);
        }
    }
    const std::size_t live = distinct.size();
    EXPECT_EQ(live, kPieces * (kEach + (kEach + 2) / 3));

    // Half go back through a bin, and as many are made again one by one.
    {
        PathRecordBin bin;
        for (std::size_t k = 0; k < kPieces; k += 2) {
            for (SEGNODE*& s : segs[k])
                bin.Free(std::exchange(s, nullptr));
            for (PATHREC*& r : recs[k])
                bin.Free(std::exchange(r, nullptr));
        }
    }
    for (std::size_t k = 0; k < kPieces; k += 2) {
        for (SEGNODE*& s : segs[k])
            s = new SEGNODE;
        for (PATHREC*& r : recs[k])
            r = new PATHREC;
    }
    distinct.clear();
    for (std::size_t k = 0; k < kPieces; ++k) {
        distinct.insert(segs[k].begin(), segs[k].end());
        distinct.insert(recs[k].begin(), recs[k].end());
        for (std::size_t i = 0; k % 2 == 1 && i < kEach; ++i)
            ASSERT_EQ(segs[k][i]->m_x0, static_cast<double>(k * kEach + i));
    }
    EXPECT_EQ(distinct.size(), live);
    for (std::size_t k = 0; k < kPieces; ++k) {
        for (SEGNODE* s : segs[k])
            delete s;
        for (PATHREC* r : recs[k])
            delete r;
    }
}
