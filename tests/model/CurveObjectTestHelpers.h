// Node lists written out by hand for the Bezier path and ellipse tests, and
// readers that turn an object's nodes back into plain values.
#pragma once
#include "model/DocData.h"
#include "model/NodeList.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <utility>
#include <vector>

namespace plat {

using PointList = std::vector<std::pair<double, double>>;

// Coordinates worked out by hand compare within this.
constexpr double kTol = 1e-9;

// A Bezier list: anchor, out, in, anchor, ... (kinds follow from position).
inline DOCNODE* BezierNodes(const PointList& pts)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const std::uint8_t kind = i % 3 == 0 ? NODE_ANCHOR : i % 3 == 1 ? NODE_CONTROL_OUT : NODE_CONTROL_IN;
        last = AppendNode(last, pts[i].first, pts[i].second, kind);
        if (head == nullptr)
            head = last;
    }
    return head;
}

inline PointList PointsOf(const DOCNODE* head)
{
    PointList out;
    for (const DOCNODE* n = head; n != nullptr; n = n->m_pNext)
        out.emplace_back(n->m_x, n->m_y);
    return out;
}

inline std::vector<int> KindsOf(const DOCNODE* head)
{
    std::vector<int> out;
    for (const DOCNODE* n = head; n != nullptr; n = n->m_pNext)
        out.push_back(n->m_nKind);
    return out;
}

inline std::vector<int> StatesOf(const DOCNODE* head)
{
    std::vector<int> out;
    for (const DOCNODE* n = head; n != nullptr; n = n->m_pNext)
        out.push_back(n->m_nSelect);
    return out;
}

inline DOCNODE* NodeAt(DOCNODE* head, int index)
{
    for (int i = 0; i < index && head != nullptr; ++i)
        head = head->m_pNext;
    return head;
}

inline void ExpectPoints(const DOCNODE* head, const PointList& expected, double tol = 1e-9)
{
    const PointList got = PointsOf(head);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].first, expected[i].first, tol) << "node " << i;
        EXPECT_NEAR(got[i].second, expected[i].second, tol) << "node " << i;
    }
}

} // namespace plat
