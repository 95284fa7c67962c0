// Free geometry functions on points and lines shared by the drawing objects,
// the readers and the path processing. Coordinates are world units, angles
// radians.
#pragma once
#include <cstdint>

// Tolerances of the geometry functions.
constexpr double kGeoCoincideTol = 1e-5;  // two points are the same
constexpr double kGeoParallelTol = 1e-8;  // two lines are parallel
constexpr double kGeoNoPoint = -1e10;     // both coordinates of "no intersection"
constexpr std::uint32_t kGeoAllOnes = 0xFFFFFFFFu;

// Distance from P to the infinite line through P0 and P1 (to P0 itself when
// the two coincide).
double GeoPointLineDistance(double x0, double y0, double x1, double y1, double px, double py);

// Point at distance d from P0 towards P1; P0 itself and false when the two
// lie within 1e-5 of each other.
bool GeoPointAlong(double x0, double y0, double x1, double y1, double d, double& x, double& y);

// Direction of P0->P1 in [0, 2*pi); 0 for coincident points.
double GeoAngle(double x0, double y0, double x1, double y1);

// P rotated about the centre by `angle`.
bool GeoRotatePoint(double cx, double cy, double px, double py, double angle, double& x, double& y);

// Point at distance d on the normal of P0P1, at P0 (bAtStart) or at P1. With
// bSide set the point lies to the left of the direction P0->P1, else right.
// False, with the foot itself, when P0 and P1 coincide.
bool GeoPerpendicularPoint(double x0, double y0, double x1, double y1, bool bAtStart, bool bSide, double d,
                           double& x, double& y);

// Foot of the perpendicular from P to the line P0P1 (P0 when they coincide).
bool GeoProjectPointOnLine(double x0, double y0, double x1, double y1, double px, double py, double& x,
                           double& y);

// Change of direction at Q along P->Q->R, in [0, pi]: 0 straight on, pi for
// a full reversal; 0 when P = Q or Q = R.
double GeoTurnAngle(double px, double py, double qx, double qy, double rx, double ry);

// Intersection of the infinite lines P0P1 and Q0Q1: 0 with the point, or
// all ones with (-1e10, -1e10) for parallel lines.
std::uint32_t GeoLineIntersection(double p0x, double p0y, double p1x, double p1y, double q0x, double q0y,
                                  double q1x, double q1y, double& x, double& y);

// Intersection of the segments P0P1 and Q0Q1: 0 none; 1 P0 = Q0, 2 P0 = Q1,
// 3 P1 = Q0, 4 P1 = Q1; 5, 6 Q0 or Q1 lies on segment P; 7, 8 P0 or P1 lies
// on segment Q; 9 a proper crossing. The point is set for every non-zero
// result.
std::uint32_t GeoSegmentIntersection(double p0x, double p0y, double p1x, double p1y, double q0x, double q0y,
                                     double q1x, double q1y, double& x, double& y);

// Reflection of P across the line through (x1, y1) and (x2, y2); exact
// across a level or upright line.
bool GeoMirrorPoint(double px, double py, double x1, double y1, double x2, double y2, double& x, double& y);

// The value rounded to n decimals through its fixed-point text, in the C
// locale whatever the process locale.
double RoundDecimals(double value, int n);
