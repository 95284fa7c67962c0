#include "BmpPixels.h"

#include "BmpWriter.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionBitFields = 3;
// Bit fields of a 32-bit file: red, green and blue masks after the
// 40-byte information header, in the place every larger header keeps them.
constexpr std::size_t kMasksOffset = kBmpHeadersSize;
constexpr std::size_t kMasksEnd = kMasksOffset + 12;
constexpr std::uint32_t kRedMask = 0x00FF0000u;
constexpr std::uint32_t kGreenMask = 0x0000FF00u;
constexpr std::uint32_t kBlueMask = 0x000000FFu;
constexpr std::uint8_t kBlack[3] = {0, 0, 0};

} // namespace

bool BmpPixels::Open(const std::uint8_t* data, std::size_t size)
{
    *this = BmpPixels();
    BMPHEADER h;
    if (!ParseBmpHeader(data, size, h))
        return false;
    if (h.m_bitCount != 1 && h.m_bitCount != 8 && h.m_bitCount != 24 && h.m_bitCount != 32)
        return false;
    if (h.m_compression == kCompressionBitFields) {
        // Only the layout a plain 32-bit file has anyway can be read as one.
        if (h.m_bitCount != 32 || h.m_dataOffset < kMasksEnd || BmpGetU32(data, kMasksOffset) != kRedMask ||
            BmpGetU32(data, kMasksOffset + 4) != kGreenMask || BmpGetU32(data, kMasksOffset + 8) != kBlueMask)
            return false;
    } else if (h.m_compression != kCompressionNone) {
        return false;
    }
    if (!ImageSizeAllowed(h.m_width, static_cast<std::int64_t>(h.m_rows)))
        return false;

    m_data = data;
    m_header = h;
    // The palette follows the information header, whatever its size, and
    // ends where the pixels begin.
    m_paletteOffset = 14 + static_cast<std::size_t>(h.m_infoSize);
    if (h.m_compression == kCompressionBitFields && m_paletteOffset < kMasksEnd)
        m_paletteOffset = kMasksEnd;
    if (h.m_dataOffset > m_paletteOffset)
        m_paletteEntries = static_cast<unsigned>(std::min<std::size_t>((h.m_dataOffset - m_paletteOffset) / 4, 256));
    m_whiteFirst = m_paletteEntries > 0 && data[m_paletteOffset] != 0;
    if (h.m_bitCount == 32) {
        for (std::size_t y = 0; y < h.m_rows && !m_hasAlpha; ++y) {
            const std::uint8_t* row = Row(y);
            for (int x = 0; x < h.m_width; ++x) {
                if (row[4 * static_cast<std::size_t>(x) + 3] != 0) {
                    m_hasAlpha = true;
                    break;
                }
            }
        }
    }
    return true;
}

const std::uint8_t* BmpPixels::Row(std::size_t fromBottom) const
{
    const std::size_t stored = m_header.IsBottomUp() ? fromBottom : m_header.m_rows - 1 - fromBottom;
    return m_data + m_header.m_dataOffset + stored * m_header.m_stride;
}

const std::uint8_t* BmpPixels::PaletteBgr(unsigned index) const
{
    if (index >= m_paletteEntries)
        return kBlack;
    return m_data + m_paletteOffset + 4 * static_cast<std::size_t>(index);
}

void BmpPixels::ExpandBitRow(std::size_t fromBottom, std::uint8_t* out, std::size_t outStride) const
{
    const std::uint8_t* row = Row(fromBottom);
    const std::size_t width = static_cast<std::size_t>(m_header.m_width);
    for (std::size_t x = 0; x < width; ++x)
        out[x] = BitGrey((row[x >> 3] >> (7 - (x & 7))) & 1);
    std::fill(out + width, out + outStride, BitGrey(0));
}
