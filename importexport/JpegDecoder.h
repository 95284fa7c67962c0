// JPEG files through libjpeg-turbo's TurboJPEG interface, decoded into a
// 24-bit BMP (BmpWriter.h) held in memory.
#pragma once
#include "BmpWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The whole BMP file of a JPEG image, with the resolution of its JFIF
// header (dots per inch or per centimetre) where it gives one, else the
// screen's 3780 pixels per metre. Progressive files are read with the scan
// limit on. Four-colour (CMYK and YCCK) files are read as C, M, Y, K and
// turned into red, green and blue by R = (255 - C) x (255 - K) / 255 (G
// from M, B from Y), or by R = C x K / 255 when an Adobe APP14 segment says
// that the values are stored inverted. False, with `bmp` untouched, for
// anything the library reports, its warnings included (a truncated file is
// only a warning to it), and for a size beyond ImageSizeAllowed(maxPixels).
bool DecodeJpegToBmp(const std::uint8_t* data, std::size_t size, std::string& bmp,
                     std::int64_t maxPixels = kMaxImagePixels);

// Pixels per metre (x and y) of a JFIF header; false when the file has no
// JFIF header before its first scan or the header gives only the pixel
// shape (units 0).
bool JfifPelsPerMetre(const std::uint8_t* data, std::size_t size, std::int32_t& xPels, std::int32_t& yPels);
