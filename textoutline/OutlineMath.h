// Numeric rules shared by the outline renderers: rounding, equality, fixed
// point, curve conversion, bounding rectangles, rotation, the working space
// and the walk over double-byte text.
#pragma once
#include "Letrova.h"
#include "platform/GlyphFont.h"
#include "platform/Win.h"

#include <cstdint>
#include <string_view>
#include <vector>

// Nearest integer, halves away from zero: trunc(x + 0.500001) for x >= 0,
// trunc(x - 0.500001) below. As a double, so no value overflows.
double NearestValue(double x);
// The same as an integer, saturated to the type's range; NaN gives 0.
std::int64_t NearestInt(double x);
std::int32_t NearestInt32(double x);

// Two doubles are equal when the nearest integers of their values times 1e8
// are equal.
bool DoublesEqual(double a, double b);

// A 16.16 value read as integer part + fraction / 65535.
double FixedToDouble(plat::FIXED f);

// Insertion point into the working space: x * 10 + 20000, 20000 - y * 10.
void MapToWorkingSpace(double x, double y, double& wx, double& wy);

// A text angle is applied only when the nearest integer of angle * 10000 is
// not 0.
bool AngleApplies(double angle);

// Turns a raw contour (points of kind 0 on the curve, 4 quadratic controls,
// 6 cubic controls) into straight and cubic segments: a quadratic control q
// between p0 and p2 becomes p0 (kind 5), (2q + p0) / 3 and (2q + p2) / 3
// (kind 6), p2 (kind 5); two quadratic controls in a row imply the on-curve
// point midway between them; a pair of cubic controls passes through.
// Controls at the end close on the first point; a last point within 1e-6 of
// the first is removed.
std::vector<CSuPoint> ConvertRawContour(const std::vector<CSuPoint>& raw);

// Cubic pieces for the elliptic arc of centre (cx, cy), radii rx, ry, from the
// start angle over the sweep (degrees, positive counter-clockwise, y up): the
// start point (kind 0), then per piece two controls (kind 6) and its end
// (kind 0). A sweep of 0 gives nothing; a sweep above 180 degrees is split
// into equal pieces of at most 180 degrees.
std::vector<CSuPoint> ArcToCubic(double cx, double cy, double rx, double ry, double startDeg, double sweepDeg);

// Nearest integers of the extremes; a rectangle of zero width or height is
// widened by 2 on each side; no points give an empty rectangle (all 0).
plat::RECT BoundingRect(const std::vector<CSuPoint>& points);
plat::RECT BoundingRect(const std::vector<COutLine>& contours);

// Removes every contour holding a point that is infinite or not a number.
// Each transform of a character's points runs it: values near the double's
// limits overflow in scaling, stretching or turning, and one such point would
// also spoil the boxes that later transforms are taken about.
void DropNonFiniteContours(std::vector<COutLine>& contours);

// Turns the point about (cx, cy) by the angle (radians): x' = cx + dx cos a +
// dy sin a, y' = cy - dx sin a + dy cos a, counter-clockwise as drawn in the
// y-down working space.
void RotatePoint(CSuPoint& p, double cx, double cy, double angle);

// Reads the character code at pos and moves pos past it: a byte with the top
// bit set and the byte after it form one code (first << 8 | second), any other
// byte is its own code. False at the end of the text, at a zero byte, and at
// a lead byte with no second byte (the incomplete character ends the text).
bool ReadTextCode(std::string_view text, std::size_t& pos, std::uint32_t& code);
