#include "PngDecoder.h"

#include "model/BmpHeader.h"
#include "platform/Screen.h"

#include <png.h>

#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// A chunk: length (4), type (4), data, CRC (4).
constexpr std::size_t kChunkFrame = 12;
constexpr std::uint32_t kPhysLength = 9;
constexpr std::uint8_t kUnitMetre = 1;

std::uint32_t BigEndian32(const std::uint8_t* d)
{
    return static_cast<std::uint32_t>(d[0]) << 24 | static_cast<std::uint32_t>(d[1]) << 16 |
           static_cast<std::uint32_t>(d[2]) << 8 | d[3];
}

// Frees what libpng holds for the image however the decoding ends (a
// second free does nothing).
struct ImageGuard {
    png_image image{};
    ImageGuard() { image.version = PNG_IMAGE_VERSION; }
    ~ImageGuard() { png_image_free(&image); }
};

} // namespace

bool PngPelsPerMetre(const std::uint8_t* data, std::size_t size, std::int32_t& xPels, std::int32_t& yPels)
{
    if (data == nullptr || size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0)
        return false;
    std::size_t pos = sizeof kSignature;
    while (size - pos >= kChunkFrame) {
        const std::uint32_t length = BigEndian32(data + pos);
        const std::uint8_t* type = data + pos + 4;
        if (length > size - pos - kChunkFrame)
            return false;
        if (std::memcmp(type, "IDAT", 4) == 0)
            return false;
        if (std::memcmp(type, "pHYs", 4) == 0) {
            const std::uint8_t* d = data + pos + 8;
            const std::uint32_t x = BigEndian32(d);
            const std::uint32_t y = BigEndian32(d + 4);
            const auto most = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
            if (length != kPhysLength || d[8] != kUnitMetre || x < 1 || y < 1 || x > most || y > most)
                return false;
            xPels = static_cast<std::int32_t>(x);
            yPels = static_cast<std::int32_t>(y);
            return true;
        }
        pos += kChunkFrame + length;
    }
    return false;
}

bool DecodePngToBmp(const std::uint8_t* data, std::size_t size, std::string& bmp, std::int64_t maxPixels)
{
    if (data == nullptr || size == 0)
        return false;
    ImageGuard png;
    if (png_image_begin_read_from_memory(&png.image, data, size) == 0)
        return false;
    const std::int64_t width = png.image.width;
    const std::int64_t height = png.image.height;
    if (!ImageSizeAllowed(width, height, maxPixels))
        return false;
    png.image.format = PNG_FORMAT_BGRA;
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(width);
    std::vector<std::uint8_t> bgra;
    try {
        bgra.resize(rowBytes * static_cast<std::size_t>(height));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (png_image_finish_read(&png.image, nullptr, bgra.data(), static_cast<png_int_32>(rowBytes), nullptr) == 0)
        return false;

    std::int32_t xPels = plat::ScreenPixelsPerMetre(), yPels = plat::ScreenPixelsPerMetre();
    PngPelsPerMetre(data, size, xPels, yPels);
    std::string out;
    if (!NewBmp24(static_cast<int>(width), static_cast<int>(height), xPels, yPels, out))
        return false;
    const std::size_t stride = BmpStride(width, 24);
    auto* pixels = reinterpret_cast<std::uint8_t*>(out.data()) + kBmpHeadersSize;
    for (std::int64_t y = 0; y < height; ++y) {
        // PNG rows run top-down, BMP rows bottom-up.
        const std::uint8_t* src = bgra.data() + static_cast<std::size_t>(y) * rowBytes;
        std::uint8_t* dst = pixels + static_cast<std::size_t>(height - 1 - y) * stride;
        for (std::int64_t x = 0; x < width; ++x, src += 4, dst += 3) {
            const std::uint8_t a = src[3];
            for (int c = 0; c < 3; ++c)
                dst[c] = a == 255 ? src[c] : OverWhite(src[c], a);
        }
    }
    bmp.swap(out);
    return true;
}
