// A layer's path list as the orderings see it: a sequence of units, where a
// group bracket with everything up to its closing bracket counts as one unit
// that moves whole and is never reversed or restarted. Also the few segment
// ring operations the orderings share.
#pragma once
#include "machinecomm/VantrelRecords.h"

#include <vector>

namespace plat {

struct PathUnit {
    PATHREC* first = nullptr; // the path, or the opening bracket
    PATHREC* last = nullptr;  // the path, or the closing bracket (the last member when it is missing)
};

// Opens the list (a ring or an open chain) and cuts it into units in order;
// the head becomes null and `wasRing` tells whether it was a ring. An
// opening bracket without its closing bracket runs to the end of the list; a
// closing bracket without an opening one is a unit of its own.
std::vector<PathUnit> TakeUnits(PATHREC*& head, bool& wasRing);

// Links the units into one list in the given order, a ring when `ring` is
// set; returns the head (null for no units).
PATHREC* LinkUnits(const std::vector<PathUnit>& units, bool ring);

// A unit of one path that holds segments (not a bracket).
inline bool IsSinglePath(const PathUnit& u)
{
    return u.first == u.last && u.first->m_kind != PATH_KIND_GROUP && u.first->m_pSegs != nullptr;
}

// Last segment of a ring or open chain.
SEGNODE* LastSegmentOf(SEGNODE* first);

// Makes `seg`, a segment of the path's ring, the path's first segment; an
// open chain is closed round for the turn and opened again before `seg`.
void RotateRingTo(PATHREC* path, SEGNODE* seg);

// Moves every segment of `from` behind the last segment of `to`, keeping
// `to` a ring when it was one; `from` is left without segments.
void AppendSegments(PATHREC* to, PATHREC* from);

} // namespace plat
