// Feeds arbitrary bytes to the BMP header reader and to the raster scan, as a
// file handed to an image object would reach them, and checks what a scan
// gives back: a ring of segments whose ends lie on the image (one pixel of
// lengthening aside) and whose greys are bytes. The last input byte picks the
// scan style, positioning point and slope.
#include "model/BitmapScan.h"
#include "model/BmpHeader.h"
#include "model/PathRecord.h"
#include "settings/WorkParams.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(PATHREC* path, const BMPHEADER& h, bool millimetres)
{
    if (path == nullptr)
        return;
    if (path->m_pSegs == nullptr || path->m_subkind != 2)
        std::abort();
    const double xScale = millimetres ? 1000.0 / h.XPelsPerMetre() : 1.0;
    const double yScale = millimetres ? 1000.0 / h.YPelsPerMetre() : 1.0;
    const double xMax = (h.m_width + 1.0) * xScale;
    const double yMax = (static_cast<double>(h.m_rows) + 1.0) * yScale;
    const double xMin = -xScale, yMin = -yScale;
    const SEGNODE* s = path->m_pSegs;
    do {
        if (s->m_pNext == nullptr || s->m_pNext->m_pPrev != s || s->m_nGrey0 > 255 || s->m_nGrey1 > 255)
            std::abort();
        for (double x : {s->m_x0, s->m_x1})
            if (!(x >= xMin && x <= xMax))
                std::abort();
        for (double y : {s->m_y0, s->m_y1})
            if (!(y >= yMin && y <= yMax))
                std::abort();
        s = s->m_pNext;
    } while (s != path->m_pSegs);
    FreePathRecordList(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    BMPHEADER h;
    const bool valid = ParseBmpHeader(data, size, h);
    if (valid && (static_cast<std::uint64_t>(h.m_dataOffset) + h.m_pixelBytes > size))
        std::abort();
    const std::uint8_t pick = size > 0 ? data[size - 1] : 0;
    const int style = pick & 3;
    const int point = (pick >> 2) % 9;

    Check(ScanBitmap(data, size, 0.05 * ((pick >> 4) & 7), style, 0, point), h, false);

    std::string copy(reinterpret_cast<const char*>(data), size);
    WorkParams params;
    params.m_s_precision = 0.1;
    params.m_s_method = static_cast<std::uint8_t>(style);
    params.m_s_incline = (pick & 0x80) != 0 ? 0.5 : 0.0;
    Check(ScanBitmapBytes(copy, params, point, 0), h, true);
    return 0;
}
