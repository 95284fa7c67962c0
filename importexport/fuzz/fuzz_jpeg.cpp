// The JPEG decoder on raw bytes: no crash, no read beyond the input, and a
// decoded image is a whole 24-bit BMP of at most the pixels allowed. The
// limit is lowered so that a header claiming a huge image costs nothing.
#include "importexport/JpegDecoder.h"
#include "model/BmpHeader.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
constexpr std::int64_t kFuzzPixels = std::int64_t{1} << 20;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string bmp;
    if (!DecodeJpegToBmp(data, size, bmp, kFuzzPixels))
        return 0;
    BMPHEADER h;
    if (!ParseBmpHeader(bmp, h) || h.m_bitCount != 24 || !h.IsBottomUp() ||
        static_cast<std::int64_t>(h.m_width) * static_cast<std::int64_t>(h.m_rows) > kFuzzPixels ||
        h.m_dataOffset + h.m_pixelBytes != bmp.size())
        std::abort();
    return 0;
}
