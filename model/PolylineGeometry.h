// Geometry of node lists and output paths: lengths, points along a list,
// point-in-polygon tests, orientation, reversal and corner offsets.
#pragma once
#include "NodeList.h"
#include "machinecomm/VantrelRecords.h"

#include <cstdint>

struct LEADINOUT;

// Sum of the straight distances between consecutive nodes. With a lead
// record whose lead-in is on, the first segment (the lead-in line) is left
// out; with its lead-out on, the last one. A null list gives 0.
double PolylineLength(const DOCNODE* pNodes, const LEADINOUT* pLead = nullptr);

// Point at a distance along the list: 1 on a node (a distance below 1e-5 in
// absolute value gives the first node), 2 inside a segment, 0 beyond the end
// (the last node) or before the start (the first node), 0 with fewer than two
// nodes.
std::uint8_t PolylinePointAt(const DOCNODE* pNodes, double dist, double& x, double& y);

// Convex-outline test: false when the point and the centroid of the nodes
// lie strictly on opposite sides of an edge's line, or with fewer than three
// nodes.
bool PolylineContainsPoint(const DOCNODE* pNodes, double x, double y);

// Point against the polygon of the nodes: 0 outside, 1 on the outline, 2
// inside (non-zero winding); 255 with fewer than three nodes. A list whose
// last node is not its first is closed by an implied edge.
std::uint8_t PolylineClassifyPoint(const DOCNODE* pNodes, double x, double y);

// Orientation of a closed list: 1 clockwise (y up), 0 counter-clockwise; all
// ones for a null list, all ones but bit 0 with fewer than three nodes, all
// ones but bit 1 for an open list whose ends differ by more than 1e-5.
std::uint32_t PolylineOrientation(const DOCNODE* pNodes);

// The same test on an output path's segment starts: 1 clockwise, 0
// counter-clockwise, all ones without a path or segments. The answer does
// not depend on where the ring starts.
std::uint32_t PathRingOrientation(const PATHREC* pPath);

// Reverses an output path: every segment swaps its ends, grey levels and
// links, and the old last segment becomes the first.
void ReverseRing(PATHREC* pPath);

// Offset vertex at Q for the path P->Q->R at distance d, on the left of the
// direction of travel when bSide is set: the crossing of the two offset
// lines, or for collinear points the point |PQ| along the line between the
// offset points at P and at R. Sets the out node's coordinates (its kind and
// selection are cleared, its links kept) and returns it; null out, null.
DOCNODE* OffsetPolyline(DOCNODE* pOut, const DOCNODE* p, const DOCNODE* q, const DOCNODE* r, bool bSide,
                        double d);
