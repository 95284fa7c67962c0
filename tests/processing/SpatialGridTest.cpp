// The shared grid: a rectangle query visits every live entry that meets the
// rectangle, once, whatever the cell size and whether the query may drop
// entries, for points, small and huge boxes, boxes reaching to infinity and
// inverted boxes; dead entries never come back.
#include "processing/SpatialGrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace plat {
namespace {

struct Rect {
    double xmin, xmax, ymin, ymax;
};

bool Meets(const Rect& a, const Rect& q)
{
    return a.xmin <= q.xmax && a.xmax >= q.xmin && a.ymin <= q.ymax && a.ymax >= q.ymin;
}

TEST(SpatialGrid, RectangleQueryVisitsEveryLiveEntryThatMeetsItOnce)
{
    constexpr double kInf = std::numeric_limits<double>::infinity();
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> pos(-50.0, 50.0);
    std::uniform_real_distribution<double> size(0.0, 3.0);
    std::uniform_int_distribution<int> pick(0, 99);
    std::vector<Rect> boxes;
    for (int i = 0; i < 2000; ++i) {
        const double x = pos(rng), y = pos(rng);
        const int r = pick(rng);
        if (r < 30)
            boxes.push_back({x, x, y, y}); // points
        else if (r < 90)
            boxes.push_back({x, x + size(rng), y, y + size(rng)});
        else if (r < 95)
            boxes.push_back({x, x + 60.0, y - 40.0, y}); // over many cells
        else if (r < 97)
            boxes.push_back({-kInf, x, y, kInf});
        else
            boxes.push_back({x + 1.0, x, y, y + 1.0}); // inverted
    }
    for (double cell : {0.5, 4.0, 1e9, 0.0})
    for (bool anyOrder : {false, true}) {
        SpatialGrid grid(cell, boxes.size(), anyOrder);
        for (std::uint32_t i = 0; i < boxes.size(); ++i)
            grid.AddBox(boxes[i].xmin, boxes[i].xmax, boxes[i].ymin, boxes[i].ymax, i);
        grid.AddBox(std::numeric_limits<double>::quiet_NaN(), 0, 0, 0, 99999); // never filed
        grid.Build();
        std::vector<std::uint8_t> alive(boxes.size(), 1);
        for (int q = 0; q < 300; ++q) {
            const double x = pos(rng), y = pos(rng);
            const double w = q % 10 == 0 ? 200.0 : size(rng) * 2.0;
            const Rect rect{x, x + w, y, y + w};
            if (q % 3 == 0) {
                for (int k = 0; k < 20; ++k)
                    alive[static_cast<std::size_t>(pick(rng)) * 20 + static_cast<std::size_t>(k)] = 0;
            }
            // The query that changes nothing, asked first, visits the same.
            std::vector<int> shared(boxes.size(), 0);
            const SpatialGrid& built = grid;
            built.ForEachInRectShared(
                rect.xmin, rect.xmax, rect.ymin, rect.ymax,
                [&](std::uint32_t i) { return i < alive.size() && alive[i] != 0; },
                [&](std::uint32_t i) { ++shared[i]; });
            std::vector<int> seen(boxes.size() + 1, 0);
            bool stray = false;
            grid.ForEachInRect(
                rect.xmin, rect.xmax, rect.ymin, rect.ymax,
                [&](std::uint32_t i) { return i < alive.size() && alive[i] != 0; },
                [&](std::uint32_t i) {
                    if (i >= boxes.size())
                        stray = true;
                    else
                        ++seen[i];
                });
            ASSERT_FALSE(stray);
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                ASSERT_LE(seen[i], 1) << "cell " << cell << " entry " << i;
                ASSERT_EQ(shared[i], seen[i]) << "cell " << cell << " entry " << i;
                if (alive[i] == 0) {
                    ASSERT_EQ(seen[i], 0);
                } else if (Meets(boxes[i], rect)) {
                    ASSERT_EQ(seen[i], 1) << "cell " << cell << " entry " << i;
                }
            }
        }
    }
}

// A compact drawing filed in the plain array of cells must answer every
// query as the table does: the same entries, the same earliest index, also
// for queries reaching past the drawing or lying wholly outside it. A large
// grid is filed in pieces side by side: each cell, and the list of boxes
// over too many cells, must still hold its entries in the order they were
// added, or the earliest-index searches go wrong.
void ExpectThePlainArrayToAnswerAsTheTable(std::uint32_t count)
{
    SCOPED_TRACE(count);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> pos(0.0, 20.0);
    std::uniform_real_distribution<double> size(0.0, 2.5);
    std::uniform_real_distribution<double> far(-30.0, 50.0);
    SpatialGrid table(1.0, 0);
    SpatialGrid plain(1.0, 0, true);
    SpatialGrid tablePoints(1.0, 0);
    SpatialGrid plainPoints(1.0, 0, true);
    std::vector<Rect> boxes;
    for (std::uint32_t i = 0; i < count; ++i) {
        const double x = pos(rng), y = pos(rng);
        const double w = i % 97 == 0 ? 15.0 : size(rng), h = i % 97 == 0 ? 15.0 : size(rng);
        boxes.push_back({x, x + w, y, y + h});
        table.AddBox(x, x + w, y, y + h, i);
        plain.AddBox(x, x + w, y, y + h, i);
        tablePoints.AddPoint(x, y, i);
        plainPoints.AddPoint(x, y, i);
    }
    std::vector<std::uint8_t> alive(count, 1);
    auto live = [&](std::uint32_t i) { return alive[i] != 0; };
    std::uniform_int_distribution<std::uint32_t> place(0, count - 1);
    for (int q = 0; q < 400; ++q) {
        const double x = far(rng), y = far(rng), w = q % 50 == 0 ? 100.0 : size(rng);
        if (q % 4 == 0)
            alive[static_cast<std::size_t>(q) * 3] = 0;
        std::vector<std::uint32_t> a, b;
        table.ForEachInRect(x, x + w, y, y + w, live, [&](std::uint32_t i) { a.push_back(i); });
        plain.ForEachInRect(x, x + w, y, y + w, live, [&](std::uint32_t i) { b.push_back(i); });
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        ASSERT_EQ(a, b) << q;
        const std::uint32_t after = q % 2 == 0 ? static_cast<std::uint32_t>(q) : place(rng);
        auto odd = [](std::uint32_t i) { return i % 2 == 1; };
        ASSERT_EQ(tablePoints.FindEarliest(x, y, w, after, live, odd), plainPoints.FindEarliest(x, y, w, after, live, odd))
            << q;
        // The earliest box holding the point, by a look at every entry.
        auto holds = [&](std::uint32_t i) { return odd(i) && Meets(boxes[i], Rect{x, x, y, y}); };
        std::uint32_t literal = SpatialGrid::kNone;
        for (std::uint32_t i = after + 1; i < count && literal == SpatialGrid::kNone; ++i) {
            if (live(i) && holds(i))
                literal = i;
        }
        ASSERT_EQ(table.FindEarliestAround(x, y, after, live, holds), literal) << q;
        ASSERT_EQ(plain.FindEarliestAround(x, y, after, live, holds), literal) << q;
    }
}

TEST(SpatialGrid, PlainArrayOfCellsAnswersAsTheTable)
{
    ExpectThePlainArrayToAnswerAsTheTable(1500);
    ExpectThePlainArrayToAnswerAsTheTable(80000);
}

TEST(SpatialGrid, QueryWithANaNBoundFindsNothingAndLateEntriesAreFound)
{
    SpatialGrid grid(1.0, 4);
    grid.AddPoint(0.0, 0.0, 1);
    std::vector<std::uint32_t> seen;
    auto all = [](std::uint32_t) { return true; };
    grid.ForEachInRect(-1, 1, -1, 1, all, [&](std::uint32_t i) { seen.push_back(i); });
    // Added after a query: filed again before the next one.
    grid.AddBox(0.5, 30.0, 0.5, 0.5, 2);
    grid.ForEachInRect(20, 21, 0, 1, all, [&](std::uint32_t i) { seen.push_back(i); });
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{1, 2}));
    int visits = 0;
    grid.ForEachInRect(
        std::numeric_limits<double>::quiet_NaN(), 1.0, -1.0, 1.0, [](std::uint32_t) { return true; },
        [&](std::uint32_t) { ++visits; });
    EXPECT_EQ(visits, 0);
}

} // namespace
} // namespace plat
