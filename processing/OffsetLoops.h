// The clean-up of a closed contour's raw offset ring into the outlines at
// the offset distance, and the test whether a ring meets itself.
#pragma once
#include <vector>

struct DOCNODE;

namespace plat::offset {

struct RingPoint {
    double x, y;
    const DOCNODE* like; // the node whose kind and selection a new node takes
};

// The loops of a raw offset ring that are outlines at distance d from the
// source: split at the ring's self-intersections, those that run the
// source's way round and keep the distance (to within a hair) everywhere.
std::vector<std::vector<RingPoint>> CleanOffsetLoops(const std::vector<RingPoint>& source,
                                                      const std::vector<RingPoint>& raw, double d);

// True when a closed polygon (its last point joined to its first) crosses,
// touches or runs along itself anywhere.
bool RingMeetsItself(const std::vector<RingPoint>& ring);

} // namespace plat::offset
