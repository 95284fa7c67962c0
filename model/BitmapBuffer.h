// Turning and mirroring the pixel rows of an 8-bit image: one byte per pixel,
// each row padded to a multiple of 4 bytes, rows stored one after the other.
#pragma once
#include <cstdint>
#include <vector>

// Bytes of one padded row of `width` one-byte pixels.
std::size_t BitmapRowStride(int width);

// Replaces the buffer by the image turned by 90 degrees (angle below 91),
// 180 (below 181) or 270: a new buffer first filled with 255. After a quarter
// turn the image is `height` wide and `width` high. False, and the buffer
// untouched, when the size is not positive or the buffer is too short.
bool BitmapRotateBuffer(int width, int height, std::vector<std::uint8_t>& buffer, double angle);

// Mirrors the image in place: horizontal swaps pixel x with width - 1 - x in
// every row, vertical swaps row y with height - 1 - y. False, and nothing
// changed, when the size is not positive or the buffer is too short.
bool BitmapMirrorBuffer(int width, int height, std::vector<std::uint8_t>& buffer, bool bHorizontal,
                        bool bVertical);
