#include "BitmapBuffer.h"

#include <algorithm>

namespace {
bool Fits(int width, int height, const std::vector<std::uint8_t>& buffer)
{
    if (width <= 0 || height <= 0)
        return false;
    return buffer.size() / static_cast<std::size_t>(height) >= BitmapRowStride(width);
}
} // namespace

std::size_t BitmapRowStride(int width)
{
    return (static_cast<std::size_t>(width) + 3) & ~static_cast<std::size_t>(3);
}

bool BitmapRotateBuffer(int width, int height, std::vector<std::uint8_t>& buffer, double angle)
{
    if (!Fits(width, height, buffer))
        return false;
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    const std::size_t src = BitmapRowStride(width);
    std::vector<std::uint8_t> out;
    if (angle < 181.0 && angle >= 91.0) {
        out.assign(src * h, 255);
        for (std::size_t y = 0; y < h; ++y)
            for (std::size_t x = 0; x < w; ++x)
                out[(h - 1 - y) * src + (w - 1 - x)] = buffer[y * src + x];
    } else {
        // A quarter turn either way: rows become columns.
        const std::size_t dst = BitmapRowStride(height);
        out.assign(dst * w, 255);
        const bool by90 = angle < 91.0;
        for (std::size_t y = 0; y < h; ++y) {
            for (std::size_t x = 0; x < w; ++x) {
                const std::size_t row = by90 ? w - 1 - x : x;
                const std::size_t col = by90 ? y : h - 1 - y;
                out[row * dst + col] = buffer[y * src + x];
            }
        }
    }
    buffer.swap(out);
    return true;
}

bool BitmapMirrorBuffer(int width, int height, std::vector<std::uint8_t>& buffer, bool bHorizontal,
                        bool bVertical)
{
    if (!Fits(width, height, buffer))
        return false;
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    const std::size_t stride = BitmapRowStride(width);
    if (bHorizontal) {
        for (std::size_t y = 0; y < h; ++y)
            std::reverse(buffer.begin() + static_cast<std::ptrdiff_t>(y * stride),
                         buffer.begin() + static_cast<std::ptrdiff_t>(y * stride + w));
    }
    if (bVertical) {
        for (std::size_t y = 0; y < h / 2; ++y)
            std::swap_ranges(buffer.begin() + static_cast<std::ptrdiff_t>(y * stride),
                             buffer.begin() + static_cast<std::ptrdiff_t>(y * stride + stride),
                             buffer.begin() + static_cast<std::ptrdiff_t>((h - 1 - y) * stride));
    }
    return true;
}
