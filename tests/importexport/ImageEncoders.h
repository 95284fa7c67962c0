// Small JPEG, PNG and GIF files for the decoder tests, encoded from pixels
// the test chooses with the same libraries the import decodes with; the
// header fields under test are patched in afterwards.
#pragma once
#include <gif_lib.h>
#include <png.h>
#include <turbojpeg.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace plat {

// Red, green, blue rows top-down (or C, M, Y, K rows with TJPF_CMYK, which
// the library writes as YCCK with an Adobe segment); quality 100 without
// subsampling, so that flat 8 x 8 blocks come back exactly.
inline std::string EncodeJpeg(const std::vector<std::uint8_t>& pixels, int width, int height, int format = TJPF_RGB)
{
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int result = tjCompress2(handle, pixels.data(), width, tjPixelSize[format] * width, height, format, &jpeg,
                                   &size, TJSAMP_444, 100, 0);
    std::string out = result == 0 ? std::string(reinterpret_cast<const char*>(jpeg), size) : std::string();
    tjFree(jpeg);
    tjDestroy(handle);
    EXPECT_FALSE(out.empty());
    return out;
}

// Red, green, blue, alpha rows top-down.
inline std::string EncodePng(const std::vector<std::uint8_t>& rgba, int width, int height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    EXPECT_NE(png_image_write_get_memory_size(image, size, 0, rgba.data(), 0, nullptr), 0);
    std::string out(size, '\0');
    EXPECT_NE(png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr), 0);
    out.resize(size);
    return out;
}

// The file with one more chunk right after its header chunk.
inline std::string WithPngChunk(const std::string& png, const char* type, const std::string& data)
{
    std::string chunk;
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk.push_back(static_cast<char>((data.size() >> shift) & 0xFF));
    chunk += std::string(type, 4) + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.data() + 4), static_cast<uInt>(chunk.size() - 4));
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk.push_back(static_cast<char>((crc >> shift) & 0xFF));
    const std::size_t afterHeader = 8 + 12 + 13;
    return png.substr(0, afterHeader) + chunk + png.substr(afterHeader);
}

struct GifFrame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool interlace = false;
    int transparent = NO_TRANSPARENT_COLOR;
    std::vector<std::uint8_t> indices; // rows top-down
};

inline int AppendToString(GifFileType* gif, const GifByteType* bytes, int length)
{
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), length);
    return length;
}

// A GIF89a file: a screen with a global colour table (a power of two
// entries) and the frames in order, each after its graphic control block.
inline std::string EncodeGif(int width, int height, const std::vector<GifColorType>& colours,
                             const std::vector<GifFrame>& frames)
{
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, &AppendToString, &error);
    EXPECT_NE(gif, nullptr);
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    EXPECT_EQ(EGifPutScreenDesc(gif, width, height, 8, 0, map), GIF_OK);
    for (const GifFrame& f : frames) {
        GraphicsControlBlock control{};
        control.TransparentColor = f.transparent;
        GifByteType block[4];
        const std::size_t length = EGifGCBToExtension(&control, block);
        EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), block), GIF_OK);
        EXPECT_EQ(EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlace, nullptr), GIF_OK);
        // An interlaced frame is written in the order it is stored.
        std::vector<int> order;
        if (f.interlace) {
            for (const auto& [start, step] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}})
                for (int row = start; row < f.height; row += step)
                    order.push_back(row);
        } else {
            for (int row = 0; row < f.height; ++row)
                order.push_back(row);
        }
        for (int row : order) {
            std::vector<GifPixelType> line(f.indices.begin() + row * f.width, f.indices.begin() + (row + 1) * f.width);
            EXPECT_EQ(EGifPutLine(gif, line.data(), f.width), GIF_OK);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

} // namespace plat
