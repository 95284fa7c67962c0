// The arithmetic of the drawing view's zoom and scroll position, apart from
// the window: fitting a box, zooming to a rectangle, and where the view then
// stands. World units are 0.1 mm; logical units are world units times the
// zoom, one per pixel.
#pragma once
#include "model/GeoBox.h"
#include "platform/Win.h"

#include <cstdint>

constexpr double kMinZoom = 1e-5;
constexpr double kMaxZoom = 100.0;
// The canvas of the first display: 1,000,000 logical units each way, shown
// from 499,950 (world 500000, the machine origin, 50 pixels in at zoom 1).
constexpr std::int32_t kFirstExtent = 1000000;
constexpr std::int32_t kFirstScroll = 499950;

// Where a zoom leaves the view.
struct ZoomPlacement {
    double zoom = 1.0;
    plat::POINT corner;     // world point at the client area's upper-left corner
    plat::POINT scroll;     // scroll position, logical units
    std::int32_t extent = 0; // scrollable extent in both directions; ranges are [0, extent - 1]
};

// The scrollable extent at a zoom: (int)(zoom x 1e6), at least 1.
std::int32_t ScrollExtent(double zoom);

// From a scale of logical units per world unit on: a margin of one
// fifteenth, held to [1e-5, 100], with the world point (cx, cy) in the
// middle of a client area of cw x ch pixels.
ZoomPlacement PlaceAtScale(double scale, double cx, double cy, int cw, int ch);

// One zoom step from `zoom` (x 1.2 in, / 1.2 out, held to [1e-5, 100]) that
// keeps the world point `mouse`, now at client point `client`, where it is:
// the scroll position becomes mouse x new zoom - client, truncated.
ZoomPlacement ZoomStepPlacement(double zoom, bool in, const CGeoPoint& mouse, const CGeoPoint& client);

// Zoom to a world rectangle: false, nothing to do, when it is narrower or
// lower than one world unit.
bool ZoomToRectPlacement(const plat::RECT& world, int cw, int ch, ZoomPlacement& out);

// Fit a world box: both sides when both exceed 0.99999, else the one that
// does. False, nothing to do, for an empty box or client area, or a box
// that is a point.
bool FitPlacement(const CGeoBox& box, int cw, int ch, ZoomPlacement& out);
