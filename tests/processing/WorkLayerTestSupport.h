// Reading finished job layers in tests: their layers and paths in order, and
// a path's points against values worked out by hand.
#pragma once
#include "ProcessingTestSupport.h"
#include "processing/JobRecords.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace plat {

inline void ExpectPoints(const PATHREC* p, const std::vector<XY>& expected)
{
    ASSERT_NE(p, nullptr);
    const std::vector<XY> actual = SegmentPoints(p);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].first, expected[i].first, 1e-9) << "point " << i;
        EXPECT_NEAR(actual[i].second, expected[i].second, 1e-9) << "point " << i;
    }
}

inline std::vector<PATHREC*> Paths(WORKLAYER* layer)
{
    std::vector<PATHREC*> out;
    ForEachPath(*layer, [&](PATHREC& p) { out.push_back(&p); });
    return out;
}

inline std::vector<WORKLAYER*> Layers(WORKLAYER* head)
{
    std::vector<WORKLAYER*> out;
    ForEachLayer(head, false, [&](WORKLAYER& l) { out.push_back(&l); });
    return out;
}

} // namespace plat
