#include "ViewZoom.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMargin = 15.0;
constexpr double kSizeThreshold = 0.99999;
constexpr double kZoomStep = 1.2;

} // namespace

std::int32_t ScrollExtent(double zoom)
{
    return std::max<std::int32_t>(1, plat::SaturateInt32(zoom * 1e6));
}

ZoomPlacement PlaceAtScale(double scale, double cx, double cy, int cw, int ch)
{
    double s = scale - scale / kMargin;
    // A scale beyond either end is held there; NaN takes the smallest.
    if (!(s >= kMinZoom))
        s = kMinZoom;
    else if (s > kMaxZoom)
        s = kMaxZoom;
    ZoomPlacement out;
    out.zoom = s;
    const double hx = (cw / 2) / s;
    const double hy = (ch / 2) / s;
    out.corner = {plat::SaturateInt32(cx - hx + 0.5), plat::SaturateInt32(cy - hy + 0.5)};
    out.scroll = {plat::RoundPixel(out.corner.x * s), plat::RoundPixel(out.corner.y * s)};
    out.extent = ScrollExtent(s);
    return out;
}

ZoomPlacement ZoomStepPlacement(double zoom, bool in, const CGeoPoint& mouse, const CGeoPoint& client)
{
    double z = in ? std::min(zoom * kZoomStep, kMaxZoom) : std::max(zoom / kZoomStep, kMinZoom);
    // A zoom that was never valid starts again from the smallest.
    if (!(z >= kMinZoom && z <= kMaxZoom))
        z = kMinZoom;
    ZoomPlacement out;
    out.zoom = z;
    out.scroll = {plat::SaturateInt32(mouse.m_x * z - client.m_x), plat::SaturateInt32(mouse.m_y * z - client.m_y)};
    out.extent = ScrollExtent(z);
    return out;
}

bool ZoomToRectPlacement(const plat::RECT& world, int cw, int ch, ZoomPlacement& out)
{
    const double w = std::fabs(static_cast<double>(world.right) - world.left);
    const double h = std::fabs(static_cast<double>(world.bottom) - world.top);
    if (w < 1.0 || h < 1.0)
        return false;
    const double s = std::min(cw / w, ch / h);
    out = PlaceAtScale(s, (static_cast<double>(world.left) + world.right) * 0.5,
                       (static_cast<double>(world.top) + world.bottom) * 0.5, cw, ch);
    return true;
}

bool FitPlacement(const CGeoBox& box, int cw, int ch, ZoomPlacement& out)
{
    if (box.IsEmpty() || cw <= 0 || ch <= 0)
        return false;
    const double w = box.Width();
    const double h = box.Height();
    const bool wide = w > kSizeThreshold;
    const bool high = h > kSizeThreshold;
    double s = 0.0;
    if (wide && high)
        s = std::min(cw / w, ch / h);
    else if (wide)
        s = cw / w;
    else if (high)
        s = ch / h;
    else
        return false;
    out = PlaceAtScale(s, (box.m_xmin + box.m_xmax) * 0.5, (box.m_ymin + box.m_ymax) * 0.5, cw, ch);
    return true;
}
