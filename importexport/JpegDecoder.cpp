#include "JpegDecoder.h"

#include "model/BmpHeader.h"
#include "platform/Screen.h"

#include <turbojpeg.h>

#include <cstring>
#include <limits>

namespace {

constexpr std::uint8_t kMarkerStart = 0xFF;
constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kApp0 = 0xE0;
constexpr std::uint8_t kTem = 0x01;
constexpr std::uint8_t kRst0 = 0xD0;
constexpr std::uint8_t kRst7 = 0xD7;
// APP0 payload: "JFIF\0", version (2 bytes), units, x and y density.
constexpr char kJfifId[] = "JFIF";
constexpr std::size_t kJfifPayload = 12;
constexpr std::uint8_t kUnitsPerInch = 1;
constexpr std::uint8_t kUnitsPerCm = 2;

unsigned BigEndian16(const std::uint8_t* d) { return static_cast<unsigned>(d[0]) << 8 | d[1]; }

std::int32_t PelsOf(unsigned density, std::uint8_t units)
{
    if (density == 0)
        return 0;
    if (units == kUnitsPerInch)
        return PelsPerMetreOfDpi(density);
    return static_cast<std::int32_t>(density) * 100; // per centimetre; at most 6,553,500
}

struct Decompressor {
    tjhandle handle = tjInitDecompress();
    ~Decompressor()
    {
        if (handle != nullptr)
            tjDestroy(handle);
    }
};

} // namespace

bool JfifPelsPerMetre(const std::uint8_t* data, std::size_t size, std::int32_t& xPels, std::int32_t& yPels)
{
    if (data == nullptr || size < 2 || data[0] != kMarkerStart || data[1] != kStartOfImage)
        return false;
    std::size_t pos = 2;
    while (pos + 1 < size) {
        if (data[pos] != kMarkerStart)
            return false;
        // Any number of fill bytes may stand before a marker.
        while (pos + 1 < size && data[pos + 1] == kMarkerStart)
            ++pos;
        if (pos + 1 >= size)
            return false;
        const std::uint8_t marker = data[pos + 1];
        pos += 2;
        if (marker == kStartOfImage || marker == kTem || (marker >= kRst0 && marker <= kRst7))
            continue;
        if (marker == kStartOfScan || marker == kEndOfImage || pos + 2 > size)
            return false;
        const std::size_t length = BigEndian16(data + pos);
        if (length < 2 || pos + length > size)
            return false;
        const std::uint8_t* payload = data + pos + 2;
        if (marker == kApp0 && length - 2 >= kJfifPayload && std::memcmp(payload, kJfifId, 5) == 0) {
            const std::uint8_t units = payload[7];
            if (units != kUnitsPerInch && units != kUnitsPerCm)
                return false;
            const std::int32_t x = PelsOf(BigEndian16(payload + 8), units);
            const std::int32_t y = PelsOf(BigEndian16(payload + 10), units);
            if (x < 1 || y < 1)
                return false;
            xPels = x;
            yPels = y;
            return true;
        }
        pos += length;
    }
    return false;
}

bool DecodeJpegToBmp(const std::uint8_t* data, std::size_t size, std::string& bmp, std::int64_t maxPixels)
{
    if (data == nullptr || size == 0 || size > std::numeric_limits<unsigned long>::max())
        return false;
    Decompressor jpeg;
    if (jpeg.handle == nullptr)
        return false;
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(jpeg.handle, data, static_cast<unsigned long>(size), &width, &height, &subsampling,
                            &colourspace) != 0)
        return false;
    if (!ImageSizeAllowed(width, height, maxPixels))
        return false;
    std::int32_t xPels = plat::ScreenPixelsPerMetre(), yPels = plat::ScreenPixelsPerMetre();
    JfifPelsPerMetre(data, size, xPels, yPels);
    std::string out;
    if (!NewBmp24(width, height, xPels, yPels, out))
        return false;
    const std::size_t stride = BmpStride(width, 24);
    auto* pixels = reinterpret_cast<unsigned char*>(out.data()) + kBmpHeadersSize;
    // Rows go straight into the file's bottom-up layout. A warning (such as
    // the end of a truncated file) stops the decoding: the rest of the image
    // would be made up.
    const int flags = TJFLAG_BOTTOMUP | TJFLAG_LIMITSCANS | TJFLAG_STOPONWARNING;
    if (tjDecompress2(jpeg.handle, data, static_cast<unsigned long>(size), pixels, width, static_cast<int>(stride),
                      height, TJPF_BGR, flags) != 0)
        return false;
    bmp.swap(out);
    return true;
}
