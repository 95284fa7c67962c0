// Point-against-outline tests for many points: the answer of
// PolylineClassifyPoint (0 outside, 1 on the outline, 2 inside, 255 with
// fewer than three nodes), found by looking only at the edges whose x span
// holds the point. Every rule of that test (vertex, vertical edge, slope,
// half-open winding count) looks at such edges alone, so the answer is
// exactly the same; the edges are filed in buckets along x.
#pragma once
#include "model/NodeList.h"

#include <cstdint>
#include <vector>

namespace plat {

class OutlineIndex {
public:
    // Indexes the node list as PolylineClassifyPoint reads it: a list whose
    // last node repeats its first is closed by that node, any other by an
    // implied edge back to the first.
    explicit OutlineIndex(const DOCNODE* nodes);

    std::uint8_t Classify(double x, double y) const;

    // How far the point can move straight up (`up`) or down (`down`)
    // before it meets an edge of the outline (the implied closing edge
    // included): the nearest crossing of the vertical line through it on
    // each side, 0 when an edge passes through the point, infinity when no
    // edge crosses on that side. Every rule of Classify looks only at edges
    // whose x span holds the point, so between those crossings its answer
    // cannot change. False, with both infinite, without edges.
    bool VerticalGaps(double x, double y, double& up, double& down) const;

private:
    struct Pt {
        double x;
        double y;
    };
    std::size_t BucketOf(double x) const;

    std::vector<Pt> m_pts;
    std::size_t m_edges = 0;
    double m_xmin = 0.0;
    double m_xmax = 0.0;
    double m_width = 1.0; // of a bucket
    std::vector<std::uint32_t> m_start; // bucket b's edges: m_list[m_start[b] .. m_start[b + 1])
    std::vector<std::uint32_t> m_list;
    std::vector<std::uint32_t> m_wide; // edges over many buckets, looked at always
};

} // namespace plat
