// Segments come from one pool: every live segment has its own memory, also
// across the pool's blocks and after segments were freed and made again.
#include "machinecomm/VantrelRecords.h"

#include <gtest/gtest.h>

#include <set>
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
