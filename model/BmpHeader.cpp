#include "BmpHeader.h"

#include "platform/Screen.h"

#include <limits>

namespace {

constexpr std::uint32_t kMinInfoSize = 40;
constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionBitFields = 3;
constexpr std::size_t kFileHeaderSize = 14;

std::uint16_t GetU16(const std::uint8_t* d, std::size_t o)
{
    return static_cast<std::uint16_t>(d[o] | (d[o + 1] << 8));
}

std::int32_t GetI32(const std::uint8_t* d, std::size_t o)
{
    return static_cast<std::int32_t>(BmpGetU32(d, o));
}

bool KnownBitCount(std::uint16_t bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

} // namespace

std::uint32_t BmpGetU32(const std::uint8_t* data, std::size_t offset)
{
    return static_cast<std::uint32_t>(data[offset]) | (static_cast<std::uint32_t>(data[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(data[offset + 2]) << 16) | (static_cast<std::uint32_t>(data[offset + 3]) << 24);
}

void BmpPutU32(std::uint8_t* data, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        data[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

int BMPHEADER::XPelsPerMetre() const
{
    return m_xPelsPerMeter > 0 ? m_xPelsPerMeter : plat::ScreenPixelsPerMetre();
}

int BMPHEADER::YPelsPerMetre() const
{
    return m_yPelsPerMeter > 0 ? m_yPelsPerMeter : plat::ScreenPixelsPerMetre();
}

bool ParseBmpHeader(const std::uint8_t* data, std::size_t size, BMPHEADER& out)
{
    out = BMPHEADER();
    if (data == nullptr || size < kBmpHeadersSize || GetU16(data, 0) != kBmpSignature)
        return false;
    BMPHEADER h;
    h.m_fileSize = BmpGetU32(data, BMP_OFS_FILE_SIZE);
    h.m_dataOffset = BmpGetU32(data, BMP_OFS_DATA_OFFSET);
    h.m_infoSize = BmpGetU32(data, kFileHeaderSize);
    h.m_width = GetI32(data, BMP_OFS_WIDTH);
    h.m_height = GetI32(data, BMP_OFS_HEIGHT);
    h.m_bitCount = GetU16(data, BMP_OFS_BIT_COUNT);
    h.m_compression = BmpGetU32(data, BMP_OFS_COMPRESSION);
    h.m_imageSize = BmpGetU32(data, BMP_OFS_IMAGE_SIZE);
    h.m_xPelsPerMeter = GetI32(data, BMP_OFS_X_PELS);
    h.m_yPelsPerMeter = GetI32(data, BMP_OFS_Y_PELS);
    h.m_colorsUsed = BmpGetU32(data, BMP_OFS_COLORS_USED);

    // The information header must end before the pixels begin, and the
    // pixels must begin inside the file.
    if (h.m_infoSize < kMinInfoSize || h.m_dataOffset > size ||
        static_cast<std::uint64_t>(h.m_infoSize) + kFileHeaderSize > h.m_dataOffset)
        return false;
    if (h.m_width < 1 || h.m_height == 0 || h.m_height == std::numeric_limits<std::int32_t>::min())
        return false;
    if (!KnownBitCount(h.m_bitCount))
        return false;
    // Compressed pixels have no row layout to check; nothing here reads them.
    if (h.m_compression != kCompressionNone && h.m_compression != kCompressionBitFields)
        return false;

    // Widths below 2^31 and at most 32 bits per pixel keep this below 2^37.
    const std::uint64_t stride = (static_cast<std::uint64_t>(h.m_width) * h.m_bitCount + 31) / 32 * 4;
    const std::uint64_t rows = h.m_height > 0 ? static_cast<std::uint64_t>(h.m_height)
                                              : static_cast<std::uint64_t>(-static_cast<std::int64_t>(h.m_height));
    const std::uint64_t room = size - h.m_dataOffset;
    // Divided rather than multiplied, so a hostile size cannot wrap around.
    if (stride > room || rows > room / stride)
        return false;
    h.m_stride = static_cast<std::size_t>(stride);
    h.m_rows = static_cast<std::size_t>(rows);
    h.m_pixelBytes = static_cast<std::size_t>(stride * rows);
    h.m_paletteBytes = h.m_dataOffset - kBmpHeadersSize;
    out = h;
    return true;
}

bool ParseBmpHeader(const std::string& bytes, BMPHEADER& out)
{
    return ParseBmpHeader(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out);
}
