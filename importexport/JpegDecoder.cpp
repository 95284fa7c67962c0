#include "JpegDecoder.h"

#include "model/BmpHeader.h"
#include "platform/Screen.h"

#include <turbojpeg.h>

#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace {

constexpr std::uint8_t kMarkerStart = 0xFF;
constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kApp0 = 0xE0;
constexpr std::uint8_t kApp14 = 0xEE;
constexpr std::uint8_t kTem = 0x01;
constexpr std::uint8_t kRst0 = 0xD0;
constexpr std::uint8_t kRst7 = 0xD7;
// APP0 payload: "JFIF\0", version (2 bytes), units, x and y density.
constexpr char kJfifId[] = "JFIF";
constexpr std::size_t kJfifPayload = 12;
constexpr std::uint8_t kUnitsPerInch = 1;
constexpr std::uint8_t kUnitsPerCm = 2;
// APP14 payload of Adobe's writers: "Adobe", version, flags, transform.
constexpr char kAdobeId[] = "Adobe";
constexpr std::size_t kAdobeIdLength = 5;

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

// Calls take(marker, payload, payload length) on each segment before the
// first scan until it returns true; true then, false when no segment took.
template <typename Take>
bool FindSegment(const std::uint8_t* data, std::size_t size, Take take)
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
        if (take(marker, data + pos + 2, length - 2))
            return true;
        pos += length;
    }
    return false;
}

// Adobe's writers store CMYK inverted (0 is full ink) and say so with their
// APP14 segment; other writers store ink amounts as they are.
bool HasAdobeSegment(const std::uint8_t* data, std::size_t size)
{
    return FindSegment(data, size, [](std::uint8_t marker, const std::uint8_t* payload, std::size_t length) {
        return marker == kApp14 && length >= kAdobeIdLength && std::memcmp(payload, kAdobeId, kAdobeIdLength) == 0;
    });
}

// Turns rows of C, M, Y, K bytes into the rows of blue, green, red bytes of
// a 24-bit BMP: R = (255 - C) x (255 - K) / 255 and so on, or from inverted
// values R = C x K / 255.
void CmykToBgr(const std::uint8_t* cmyk, int width, int height, bool inverted, unsigned char* bgr, std::size_t stride)
{
    const auto channel = [inverted](unsigned ink, unsigned black) {
        return static_cast<unsigned char>(inverted ? ink * black / 255 : (255 - ink) * (255 - black) / 255);
    };
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = cmyk + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4;
        unsigned char* out = bgr + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x, in += 4, out += 3) {
            out[0] = channel(in[2], in[3]);
            out[1] = channel(in[1], in[3]);
            out[2] = channel(in[0], in[3]);
        }
    }
}

} // namespace

bool JfifPelsPerMetre(const std::uint8_t* data, std::size_t size, std::int32_t& xPels, std::int32_t& yPels)
{
    // The first JFIF header decides, whether or not it gives a resolution.
    bool found = false;
    FindSegment(data, size, [&](std::uint8_t marker, const std::uint8_t* payload, std::size_t length) {
        if (marker != kApp0 || length < kJfifPayload || std::memcmp(payload, kJfifId, 5) != 0)
            return false;
        const std::uint8_t units = payload[7];
        if (units != kUnitsPerInch && units != kUnitsPerCm)
            return true;
        const std::int32_t x = PelsOf(BigEndian16(payload + 8), units);
        const std::int32_t y = PelsOf(BigEndian16(payload + 10), units);
        if (x < 1 || y < 1)
            return true;
        xPels = x;
        yPels = y;
        found = true;
        return true;
    });
    return found;
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
    if (colourspace != TJCS_CMYK && colourspace != TJCS_YCCK) {
        if (tjDecompress2(jpeg.handle, data, static_cast<unsigned long>(size), pixels, width,
                          static_cast<int>(stride), height, TJPF_BGR, flags) != 0)
            return false;
        bmp.swap(out);
        return true;
    }
    // Four-colour files come out of the library only as C, M, Y, K bytes.
    std::vector<std::uint8_t> cmyk;
    try {
        cmyk.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (tjDecompress2(jpeg.handle, data, static_cast<unsigned long>(size), cmyk.data(), width, width * 4, height,
                      TJPF_CMYK, flags) != 0)
        return false;
    CmykToBgr(cmyk.data(), width, height, HasAdobeSegment(data, size), pixels, stride);
    bmp.swap(out);
    return true;
}
