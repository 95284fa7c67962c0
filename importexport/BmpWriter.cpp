#include "BmpWriter.h"

#include "model/BmpHeader.h"
#include "platform/LargeBlock.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

namespace {

constexpr std::uint32_t kInfoHeaderSize = 40;

void PutU16(std::uint8_t* d, std::size_t offset, std::uint16_t v)
{
    d[offset] = static_cast<std::uint8_t>(v);
    d[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

// The headers of a file of `pixelBytes` pixel bytes behind `dataOffset`
// header and palette bytes. False when the sizes do not fit their fields or
// the memory cannot be had.
bool NewFile(int width, int height, int bitCount, std::int32_t xPels, std::int32_t yPels, std::uint32_t colours,
             std::uint8_t fill, std::string& out)
{
    if (!ImageSizeAllowed(width, height))
        return false;
    const std::size_t dataOffset = kBmpHeadersSize + 4 * static_cast<std::size_t>(colours);
    const std::size_t pixelBytes = BmpStride(width, bitCount) * static_cast<std::size_t>(height);
    if (dataOffset + pixelBytes > std::numeric_limits<std::uint32_t>::max())
        return false;
    std::string file;
    try {
        file.reserve(dataOffset + pixelBytes);
        plat::AdviseHugePages(file.data(), file.capacity());
        file.assign(dataOffset + pixelBytes, static_cast<char>(fill));
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    auto* d = reinterpret_cast<std::uint8_t*>(file.data());
    std::fill(d, d + dataOffset, std::uint8_t{0});
    PutU16(d, 0, kBmpSignature);
    BmpPutU32(d, BMP_OFS_FILE_SIZE, static_cast<std::uint32_t>(dataOffset + pixelBytes));
    BmpPutU32(d, BMP_OFS_DATA_OFFSET, static_cast<std::uint32_t>(dataOffset));
    BmpPutU32(d, 14, kInfoHeaderSize);
    BmpPutU32(d, BMP_OFS_WIDTH, static_cast<std::uint32_t>(width));
    BmpPutU32(d, BMP_OFS_HEIGHT, static_cast<std::uint32_t>(height));
    PutU16(d, 26, 1); // planes
    PutU16(d, BMP_OFS_BIT_COUNT, static_cast<std::uint16_t>(bitCount));
    BmpPutU32(d, BMP_OFS_IMAGE_SIZE, static_cast<std::uint32_t>(pixelBytes));
    BmpPutU32(d, BMP_OFS_X_PELS, static_cast<std::uint32_t>(xPels));
    BmpPutU32(d, BMP_OFS_Y_PELS, static_cast<std::uint32_t>(yPels));
    BmpPutU32(d, BMP_OFS_COLORS_USED, colours);
    for (std::uint32_t i = 0; i < colours; ++i)
        BmpPutU32(d, kBmpHeadersSize + 4 * static_cast<std::size_t>(i), i * 0x010101u);
    out.swap(file);
    return true;
}

} // namespace

bool ImageSizeAllowed(std::int64_t width, std::int64_t height, std::int64_t maxPixels)
{
    return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= maxPixels;
}

std::size_t BmpStride(std::int64_t width, int bitCount)
{
    return static_cast<std::size_t>((width * bitCount + 31) / 32 * 4);
}

bool NewBmp24(int width, int height, std::int32_t xPels, std::int32_t yPels, std::string& out)
{
    return NewFile(width, height, 24, xPels, yPels, 0, 0, out);
}

bool NewGreyBmp(int width, int height, std::int32_t xPels, std::int32_t yPels, std::uint32_t reserved,
                std::string& out)
{
    if (!NewFile(width, height, 8, xPels, yPels, 256, 255, out))
        return false;
    BmpPutU32(reinterpret_cast<std::uint8_t*>(out.data()), 6, reserved);
    return true;
}

std::int32_t PelsPerMetreOfDpi(double dpi)
{
    const double v = std::trunc(dpi * 1000.0 / 25.4 + 0.5);
    if (!(v >= 1.0 && v <= std::numeric_limits<std::int32_t>::max()))
        return 0;
    return static_cast<std::int32_t>(v);
}
