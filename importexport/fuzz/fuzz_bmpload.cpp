// The BMP loader's conversions on raw bytes: the grey copy, black and white,
// and the halftone screen of both the copy and the source itself. Whatever
// the bytes, a file that opens gives a plain bottom-up 8-bit copy of its own
// size, black and white holds only 0 and 255, and so does a screen. The last
// input byte picks the cell sizes and the angle.
#include "importexport/BmpLoader.h"
#include "importexport/BmpPixels.h"
#include "importexport/GreyBitmap.h"
#include "model/BmpHeader.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void CheckGrey(const std::string& file, int width, std::size_t rows, bool twoTone)
{
    BMPHEADER h;
    if (!ParseBmpHeader(file, h) || !h.IsPlainGrey8() || h.m_width != width || h.m_rows != rows ||
        h.m_dataOffset != 1078 || h.m_dataOffset + h.m_pixelBytes != file.size())
        std::abort();
    if (!twoTone)
        return;
    for (std::size_t y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto v = static_cast<std::uint8_t>(file[h.m_dataOffset + y * h.m_stride + static_cast<std::size_t>(x)]);
            if (v != 0 && v != 255)
                std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    BmpPixels source;
    if (!source.Open(data, size))
        return 0;
    std::string grey;
    if (!CBmpLoader::ToGrey8(source, 2835, 2835, grey))
        std::abort();
    CheckGrey(grey, source.Width(), source.Rows(), false);

    // The copy is at 2835 pixels per metre: cells of 1 to 46 pixels. The
    // source may claim any resolution, so its cells are kept small enough
    // for many runs a second, up to the largest only at the highest ones.
    const std::uint8_t pick = data[size - 1];
    const int angle = (pick & 16) != 0 ? 45 : 0;
    CGreyBitmap screen;
    if (screen.LoadBytes(grey, 1.0 * (pick & 15), angle))
        CheckGrey(screen.Grey8Bytes(), source.Width(), source.Rows(), true);
    CGreyBitmap direct;
    if (direct.LoadBytes(std::string(reinterpret_cast<const char*>(data), size), 0.01 * (pick & 15), angle))
        CheckGrey(direct.Grey8Bytes(), source.Width(), source.Rows(), true);

    CBmpLoader::Binarise(grey);
    CheckGrey(grey, source.Width(), source.Rows(), true);
    return 0;
}
