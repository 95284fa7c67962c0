// Our own BMP writer, for the files that the image import makes: colour
// images decoded from JPEG, PNG and GIF (24 bits per pixel) and the grey
// copies the image objects refer to (8 bits per pixel, a grey ramp palette).
// Both have the 14-byte file header, a 40-byte information header and rows
// stored bottom-up, each padded to a multiple of 4 bytes.
//
// Decoded sizes are checked against the limits here before any pixel buffer
// is allocated, so a hostile header cannot ask for gigabytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The largest image side and pixel count the import takes: a 16384 x 16384
// photo fits, and the 24-bit file of the largest image stays below 1 GB.
constexpr std::int64_t kMaxImageSide = 65535;
constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 28;

// Header of a grey copy: file header, information header, 256 palette entries.
constexpr std::size_t kGreyBmpHeaderSize = 14 + 40 + 256 * 4;

// True when width and height are at least 1, neither side is above
// kMaxImageSide and the pixel count is at most maxPixels.
bool ImageSizeAllowed(std::int64_t width, std::int64_t height, std::int64_t maxPixels = kMaxImagePixels);

// Bytes of one stored row: bits per pixel x width rounded up to 4 bytes.
std::size_t BmpStride(std::int64_t width, int bitCount);

// A whole 24-bit file of the given size and resolution (pixels per metre),
// its pixels 0 for the caller to fill. False, with `out` untouched, when
// the size is not allowed or the memory cannot be had.
bool NewBmp24(int width, int height, std::int32_t xPels, std::int32_t yPels, std::string& out);

// A whole 8-bit grey file: the palette entry i is (i, i, i, 0), 256 colours
// used, pixel offset 1078; every pixel byte, padding included, is 255. The
// file header's reserved bytes (offset 6) take `reserved`. False as above.
bool NewGreyBmp(int width, int height, std::int32_t xPels, std::int32_t yPels, std::uint32_t reserved,
                std::string& out);

// Pixels per metre of a resolution in dots per inch, rounded: 96 gives 3780.
// 0 when the result would not be a positive 32-bit value.
std::int32_t PelsPerMetreOfDpi(double dpi);

// A colour byte with straight alpha laid over white, rounded.
inline std::uint8_t OverWhite(std::uint8_t colour, std::uint8_t alpha)
{
    return static_cast<std::uint8_t>((colour * alpha + 255 * (255 - alpha) + 127) / 255);
}
