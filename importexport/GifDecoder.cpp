#include "GifDecoder.h"

#include "model/BmpHeader.h"
#include "platform/Screen.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

struct MemoryInput {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int length)
{
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    if (length <= 0)
        return 0;
    const std::size_t n = std::min(static_cast<std::size_t>(length), in->size - in->pos);
    std::memcpy(buffer, in->data + in->pos, n);
    in->pos += n;
    return static_cast<int>(n);
}

struct GifCloser {
    GifFileType* gif = nullptr;
    ~GifCloser()
    {
        int error = 0;
        if (gif != nullptr)
            DGifCloseFile(gif, &error);
    }
};

// Rows of an interlaced frame arrive in four passes: every 8th row from 0,
// every 8th from 4, every 4th from 2, every 2nd from 1.
constexpr int kPassStart[4] = {0, 4, 2, 1};
constexpr int kPassStep[4] = {8, 8, 4, 2};

// Reads the extensions up to the first frame's descriptor, keeping the
// transparent colour of the last graphic control block. False at the end
// of the file or on an error.
bool FindFirstFrame(GifFileType* gif, int& transparent)
{
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return false;
        if (type == IMAGE_DESC_RECORD_TYPE)
            return DGifGetImageDesc(gif) != GIF_ERROR;
        if (type != EXTENSION_RECORD_TYPE)
            return false;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
            return false;
        if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
            GraphicsControlBlock control;
            if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                transparent = control.TransparentColor;
        }
        while (block != nullptr) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                return false;
        }
    }
}

} // namespace

bool DecodeGifToBmp(const std::uint8_t* data, std::size_t size, std::string& bmp, std::int64_t maxPixels)
{
    if (data == nullptr || size == 0)
        return false;
    MemoryInput input{data, size, 0};
    int error = 0;
    GifCloser file{DGifOpen(&input, &ReadFromMemory, &error)};
    GifFileType* gif = file.gif;
    if (gif == nullptr)
        return false;
    int transparent = NO_TRANSPARENT_COLOR;
    if (!FindFirstFrame(gif, transparent))
        return false;
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* colours = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
    if (colours == nullptr || colours->Colors == nullptr || !ImageSizeAllowed(frame.Width, frame.Height, maxPixels))
        return false;
    std::int64_t width = gif->SWidth, height = gif->SHeight;
    if (width < 1 || height < 1) {
        width = static_cast<std::int64_t>(frame.Left) + frame.Width;
        height = static_cast<std::int64_t>(frame.Top) + frame.Height;
    }
    if (!ImageSizeAllowed(width, height, maxPixels))
        return false;

    const std::int32_t pels = plat::ScreenPixelsPerMetre();
    std::string out;
    std::vector<GifPixelType> line;
    try {
        line.resize(static_cast<std::size_t>(frame.Width));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!NewBmp24(static_cast<int>(width), static_cast<int>(height), pels, pels, out))
        return false;
    const std::size_t stride = BmpStride(width, 24);
    auto* pixels = reinterpret_cast<std::uint8_t*>(out.data()) + kBmpHeadersSize;
    for (std::int64_t y = 0; y < height; ++y)
        std::memset(pixels + static_cast<std::size_t>(y) * stride, 255, 3 * static_cast<std::size_t>(width));

    auto drawRow = [&](int row) {
        const std::int64_t y = static_cast<std::int64_t>(frame.Top) + row;
        if (y >= height)
            return;
        // GIF rows run top-down, BMP rows bottom-up.
        std::uint8_t* dst = pixels + static_cast<std::size_t>(height - 1 - y) * stride;
        for (int x = 0; x < frame.Width; ++x) {
            const std::int64_t cx = static_cast<std::int64_t>(frame.Left) + x;
            const int index = line[static_cast<std::size_t>(x)];
            if (cx >= width || index == transparent)
                continue;
            std::uint8_t* p = dst + 3 * static_cast<std::size_t>(cx);
            if (index < colours->ColorCount) {
                const GifColorType& c = colours->Colors[index];
                p[0] = c.Blue;
                p[1] = c.Green;
                p[2] = c.Red;
            } else {
                p[0] = p[1] = p[2] = 0;
            }
        }
    };
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? kPassStart[pass] : 0;
        const int step = frame.Interlace ? kPassStep[pass] : 1;
        for (int row = start; row < frame.Height; row += step) {
            if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR)
                return false;
            drawRow(row);
        }
    }
    bmp.swap(out);
    return true;
}
