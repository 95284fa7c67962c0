// Curves as node lists: flattening and sampling Bezier lists, splitting a
// cubic segment, circular and elliptical arcs as Bezier nodes, and B-spline
// evaluation. Every list returned is new and owned by the caller (free it
// with CDocState::FreeNodeList).
#pragma once
#include "GeoBox.h"
#include "NodeList.h"

#include <cstdint>

// Control distance of a quarter circle of radius 1 drawn as one cubic.
constexpr double kBezierQuarterFactor = 0.551784;
// Curve flattening tolerance of output paths and node insertion (world units).
constexpr double kOutputFlattenTol = 4.0;

// Flattens a Bezier list (anchor, control, control, anchor, ...) into an
// anchor-only list. The first segment is always halved once; after that each
// piece is halved until its end anchors lie within tol of each other on both
// axes. Null for a null list or a tolerance that is not above 0.
DOCNODE* SamplePolyline(const DOCNODE* pNodes, double tol);

// The least and greatest coordinates of the list SamplePolyline makes,
// found without making it: a coordinate that is not a number is passed
// over, and an axis with none gets NaN for both. False, nothing set, where
// it would make no list.
bool SamplePolylineBounds(const DOCNODE* pNodes, double tol, double& xmin, double& ymin, double& xmax, double& ymax);

// Samples the cubic segments at parameter steps of `step` (only the first
// segment unless bAllSegments), each segment ending exactly on its end anchor;
// `box` becomes the box of the first node and the samples. Null when there is
// no segment or the step is not above 0.
DOCNODE* SampleBezierByStep(const DOCNODE* pNodes, double step, bool bAllSegments, CGeoBox& box);

// The bounds of the list SampleBezierByStep makes over all segments (its
// samples, each segment's last one on its end anchor), found without making
// it; coordinates that are not numbers are passed over. False, and the
// bounds untouched, when there is no segment or the step is not above 0.
bool SampleBezierStepBounds(const DOCNODE* pNodes, double step, CGeoBox& bounds);

// Splits the cubic segment that starts at `pStart` at its first parameter
// (in steps of 0.0001) whose point lies within tol of (x, y): seven new
// nodes, start anchor, two controls, split anchor, two controls, end anchor.
// Null when the anchor has no segment or no such point exists.
DOCNODE* SplitBezierAt(const DOCNODE* pStart, double x, double y, double tol);

// Circular arc from angle a0 to a1 (counter-clockwise when a0 <= a1) as cubic
// Bezier nodes, in quarter-circle pieces and one shorter last piece, whose
// controls lie 4/3 r tan(sweep / 4) from its ends; a rest whose end lies
// within tol of the last quarter's end on both axes moves that end onto it
// instead. Always at least one whole piece (anchor, control, control,
// anchor). Null for an arc of more than 64 turns or angles that are not
// numbers.
DOCNODE* EllipseToBeziers(double cx, double cy, double r, double a0, double a1, double tol);

// Closed axis-parallel ellipse as 13 nodes starting and ending at (cx - rx, cy).
DOCNODE* MakeEllipseNodes(double cx, double cy, double rx, double ry);

// Reverses an open Bezier list in place: every node's links swap and the
// incoming and outgoing controls trade kinds, so each segment keeps its
// shape. Returns the new head (the old last node); null for a null list.
DOCNODE* ReverseBezierList(DOCNODE* head);

// Elliptical arc from parameter a0 to a1 (counter-clockwise when a0 <= a1)
// on the ellipse (cx, cy, rx, ry) rotated by `rotation`: the arc of the unit
// circle mapped onto the axes, so that it starts and ends exactly on the
// points of a0 and a1. A rest within 0.1 x unit of the end joins the last
// piece. Null when the unit is not above 0 or an angle is not a number.
DOCNODE* BuildImportCurves(double cx, double cy, double rx, double ry, double a0, double a1, double rotation,
                           double unit);

// Highest B-spline order that is evaluated; a higher one is refused (a
// reader skips such a curve). Degrees written by drawing programs stay far
// below it, and each point costs order^2 work.
constexpr int kMaxSplineOrder = 32;

// Knot vector of a B-spline of order k over the control points 0 .. n into
// knots[0 .. n + k] (the caller provides n + k + 1 values): k zeros, then
// 0.5, 0.5, 1.0, 1.0, 1.5, ... up to index n, then the last value repeated.
// Returns k, or 0 when n < k - 1 (knots untouched).
std::uint32_t SplineKnots(int k, int n, double* knots);

// B-spline basis N(i, k) at t by the Cox-de Boor recursion over half-open
// knot intervals; terms over knot differences of 1e-5 or less are left out.
// 0 for an order above kMaxSplineOrder.
double SplineBasis(int i, int k, double t, const double* knots);

// Points of the B-spline of the given order over the control nodes: t = 0,
// 0.05, ... below the top knot, then the curve's end at the top knot. With
// as many control nodes as the order (a knot vector of zeros, no curve) the
// result is a copy of the control nodes. Null for a null list, too few
// nodes for the order or an order above kMaxSplineOrder.
DOCNODE* EvaluateSpline(const DOCNODE* pControls, int order);
