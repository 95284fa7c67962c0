// GIF files through giflib, decoded into a 24-bit BMP (BmpWriter.h) held
// in memory.
#pragma once
#include "BmpWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The whole BMP file of a GIF's first frame, at the screen's 3780 pixels
// per metre (GIF gives no resolution). The image has the size of the
// file's logical screen (of the frame's extent where the screen has none);
// the frame is drawn at its offset, clipped to it, over white, and its
// transparent colour stays white. Later frames of an animation are not
// read. False, with `bmp` untouched, for anything the library reports, for
// a file without a frame or colours, and for a screen or frame size beyond
// ImageSizeAllowed(maxPixels).
bool DecodeGifToBmp(const std::uint8_t* data, std::size_t size, std::string& bmp,
                    std::int64_t maxPixels = kMaxImagePixels);
