// PNG files through libpng's simplified png_image interface, decoded into
// a 24-bit BMP (BmpWriter.h) held in memory.
#pragma once
#include "BmpWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The whole BMP file of a PNG image (interlaced or not, any bit depth and
// colour type), transparency laid over white, with the resolution of its
// pHYs chunk where that is given per metre, else the screen's 3780 pixels
// per metre. False, with `bmp` untouched, for anything the library reports
// and for a size beyond ImageSizeAllowed(maxPixels).
bool DecodePngToBmp(const std::uint8_t* data, std::size_t size, std::string& bmp,
                    std::int64_t maxPixels = kMaxImagePixels);

// Pixels per metre of the pHYs chunk before the first image data; false
// when there is none or it gives only the pixel shape (unit 0).
bool PngPelsPerMetre(const std::uint8_t* data, std::size_t size, std::int32_t& xPels, std::int32_t& yPels);
