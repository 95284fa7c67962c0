// Small value types that the drawing and messaging code was designed around.
#pragma once
#include <cstdint>

namespace plat {

// Colour as 0x00BBGGRR.
using COLORREF = std::uint32_t;

constexpr COLORREF MakeRGB(unsigned r, unsigned g, unsigned b)
{
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr unsigned GetRValue(COLORREF c) { return c & 0xFFu; }
constexpr unsigned GetGValue(COLORREF c) { return (c >> 8) & 0xFFu; }
constexpr unsigned GetBValue(COLORREF c) { return (c >> 16) & 0xFFu; }

struct POINT {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const POINT&, const POINT&) = default;
};

struct RECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const RECT&, const RECT&) = default;
};

// A window is an opaque handle; 0 is no window.
using HWND = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using UINT = std::uint32_t;

constexpr UINT WM_USER = 0x0400;

// A double truncated towards zero into 32 bits; values beyond the range
// give the nearest end of it and NaN gives 0, so no conversion is undefined.
inline std::int32_t SaturateInt32(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

// Device coordinates are held within +-2^29 pixels: far beyond any screen
// and any scroll position (at most 1e8), and far enough inside 32 bits that
// the few pixels a drawing call adds to a coordinate, or the sum of two of
// them, never overflow. NaN gives 0.
constexpr std::int32_t kMaxDevicePixel = 1 << 29;
inline std::int32_t DevicePixel(double v)
{
    if (!(v == v))
        return 0;
    if (v >= kMaxDevicePixel)
        return kMaxDevicePixel;
    if (v <= -kMaxDevicePixel)
        return -kMaxDevicePixel;
    return static_cast<std::int32_t>(v);
}

// World coordinates are rounded to device pixels by adding 0.5 and truncating,
// as every drawing call of the objects does.
inline std::int32_t RoundPixel(double v) { return DevicePixel(v + 0.5); }

} // namespace plat

using plat::COLORREF;
