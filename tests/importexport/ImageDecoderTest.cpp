// The JPEG, PNG and GIF decoders: the 24-bit BMP each makes, byte for byte,
// with the resolution of the source's header, transparency over white,
// rows turned bottom-up, and refusals of broken and oversized files.
//
// Faults these catch: an image upside down, a resolution field misread or
// taken where the file gives only the pixel shape, alpha ignored or
// composited wrongly, a later GIF frame drawn, an interlaced frame's rows
// out of order, a truncated file accepted with made-up pixels, a header's
// size allocated before it is checked.
#include "ImageEncoders.h"
#include "importexport/GifDecoder.h"
#include "importexport/JpegDecoder.h"
#include "importexport/PngDecoder.h"
#include "tests/model/BmpTestFiles.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

using Decoder = bool (*)(const std::uint8_t*, std::size_t, std::string&, std::int64_t);

std::string Decode(Decoder decode, const std::string& file, std::int64_t maxPixels = kMaxImagePixels)
{
    std::string bmp;
    if (!decode(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), bmp, maxPixels))
        return std::string();
    return bmp;
}

// The 24-bit layout the decoders write: no palette, padding 0.
std::string Bmp24(int width, int height, std::int32_t pels, const std::vector<std::vector<std::uint8_t>>& rows)
{
    BmpForm f;
    f.width = width;
    f.height = height;
    f.bits = 24;
    f.xPels = f.yPels = pels;
    return MakeBmp(f, rows);
}

TEST(ImageDecoders, JpegRowsComeBottomUpWithTheJfifResolution)
{
    // 8 x 16: the top eight rows black, the bottom eight white; flat blocks
    // at quality 100 come back exactly.
    std::vector<std::uint8_t> rgb(8 * 16 * 3, 0);
    std::fill(rgb.begin() + 8 * 8 * 3, rgb.end(), 255);
    const std::string jpeg = EncodeJpeg(rgb, 8, 16);
    std::vector<std::vector<std::uint8_t>> rows(8, std::vector<std::uint8_t>(24, 255));
    rows.resize(16, std::vector<std::uint8_t>(24, 0));
    // The encoder writes density 1:1 with units 0: the pixel shape only.
    ASSERT_EQ(jpeg.substr(6, 5), std::string("JFIF\0", 5));
    ASSERT_EQ(jpeg[13], 0);
    EXPECT_EQ(Decode(&DecodeJpegToBmp, jpeg), Bmp24(8, 16, 3780, rows));

    // 300 by 150 dots per inch: trunc(300000 / 25.4 + 0.5) = 11811 and
    // trunc(150000 / 25.4 + 0.5) = 5906; 100 dots per centimetre: 10000.
    std::string dpi = jpeg;
    dpi.replace(13, 5, std::string("\x01\x01\x2C\x00\x96", 5));
    std::string bmp = Decode(&DecodeJpegToBmp, dpi);
    EXPECT_EQ(GetLe(bmp, 38), 11811u);
    EXPECT_EQ(GetLe(bmp, 42), 5906u);
    std::string dpcm = jpeg;
    dpcm.replace(13, 5, std::string("\x02\x00\x64\x00\x64", 5));
    bmp = Decode(&DecodeJpegToBmp, dpcm);
    EXPECT_EQ(GetLe(bmp, 38), 10000u);
    // A density of 0 is none.
    dpi.replace(14, 2, std::string("\0\0", 2));
    EXPECT_EQ(GetLe(Decode(&DecodeJpegToBmp, dpi), 38), 3780u);
}

TEST(ImageDecoders, BrokenOrOversizedJpegsAreRefused)
{
    std::vector<std::uint8_t> rgb(16 * 16 * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<std::uint8_t>(i * 7);
    const std::string jpeg = EncodeJpeg(rgb, 16, 16);
    // Cut in the middle of its scan: the library would only warn and make
    // the rest up.
    EXPECT_EQ(Decode(&DecodeJpegToBmp, jpeg.substr(0, jpeg.size() / 2 + 100)), "");
    EXPECT_EQ(Decode(&DecodeJpegToBmp, jpeg.substr(0, 20)), "");
    EXPECT_EQ(Decode(&DecodeJpegToBmp, "\xFF\xD8\xFF"), "");
    // 16 x 16 is refused under a limit of 255 pixels, taken at 256.
    EXPECT_EQ(Decode(&DecodeJpegToBmp, jpeg, 255), "");
    EXPECT_NE(Decode(&DecodeJpegToBmp, jpeg, 256), "");
    // A frame header claiming 60000 x 60000 pixels is refused before any
    // pixel memory is taken.
    std::string huge = jpeg;
    const std::size_t sof = huge.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    huge.replace(sof + 5, 4, std::string("\xEA\x60\xEA\x60", 4));
    EXPECT_EQ(Decode(&DecodeJpegToBmp, huge), "");
}

TEST(ImageDecoders, PngAlphaLiesOverWhiteAndPhysGivesTheResolution)
{
    // Top row: opaque red, black at alpha 128; bottom row: a fully
    // transparent green, opaque blue. Black at 128 over white is
    // (255 x 127 + 127) / 255 = 127.
    const std::string png =
        EncodePng({255, 0, 0, 255, 0, 0, 0, 128, /**/ 0, 255, 0, 0, 0, 0, 255, 255}, 2, 2);
    const std::vector<std::vector<std::uint8_t>> rows = {{255, 255, 255, 255, 0, 0}, {0, 0, 255, 127, 127, 127}};
    EXPECT_EQ(Decode(&DecodePngToBmp, png), Bmp24(2, 2, 3780, rows));

    // pHYs per metre is taken as it is; the pixel shape only (unit 0) is not.
    const std::string perMetre("\x00\x00\x2E\x23\x00\x00\x17\x12\x01", 9); // 11811, 5906
    std::string bmp = Decode(&DecodePngToBmp, WithPngChunk(png, "pHYs", perMetre));
    EXPECT_EQ(GetLe(bmp, 38), 11811u);
    EXPECT_EQ(GetLe(bmp, 42), 5906u);
    std::string shapeOnly = perMetre;
    shapeOnly[8] = 0;
    EXPECT_EQ(GetLe(Decode(&DecodePngToBmp, WithPngChunk(png, "pHYs", shapeOnly)), 38), 3780u);

    EXPECT_EQ(Decode(&DecodePngToBmp, png.substr(0, png.size() - 20)), "");
    EXPECT_EQ(Decode(&DecodePngToBmp, png.substr(0, 8)), "");
    EXPECT_EQ(Decode(&DecodePngToBmp, png, 3), "");
}

TEST(ImageDecoders, GifGivesItsFirstFrameOnTheScreenOverWhite)
{
    // Colours: 0 black, 1 red, 2 green, 3 unused. Screen 4 x 3; the first
    // frame at (2, 1), 3 x 1, reaching past the screen's right edge: red,
    // transparent (index 2), red (cut off). A second frame would paint it
    // all black.
    const std::vector<GifColorType> colours = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    GifFrame first;
    first.left = 2;
    first.top = 1;
    first.width = 3;
    first.height = 1;
    first.transparent = 2;
    first.indices = {1, 2, 1};
    GifFrame second;
    second.width = 4;
    second.height = 3;
    second.indices.assign(12, 0);
    const std::string gif = EncodeGif(4, 3, colours, {first, second});
    const std::vector<std::uint8_t> white(12, 255);
    const std::vector<std::uint8_t> middle = {255, 255, 255, 255, 255, 255, 0, 0, 255, 255, 255, 255};
    EXPECT_EQ(Decode(&DecodeGifToBmp, gif), Bmp24(4, 3, 3780, {white, middle, white}));
    EXPECT_EQ(Decode(&DecodeGifToBmp, gif, 11), "");

    EXPECT_EQ(Decode(&DecodeGifToBmp, gif.substr(0, gif.size() / 2)), "");
    EXPECT_EQ(Decode(&DecodeGifToBmp, "GIF89a"), "");
    // The screen alone, no frame.
    EXPECT_EQ(Decode(&DecodeGifToBmp, EncodeGif(4, 3, colours, {})), "");
}

TEST(ImageDecoders, InterlacedGifRowsLandInTheirPlaces)
{
    // One column of nine rows; row r has colour r, (10 r, 0, 0).
    std::vector<GifColorType> colours(16);
    for (int i = 0; i < 16; ++i)
        colours[static_cast<std::size_t>(i)] = {static_cast<GifByteType>(10 * i), 0, 0};
    GifFrame frame;
    frame.width = 1;
    frame.height = 9;
    frame.interlace = true;
    frame.indices = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<std::vector<std::uint8_t>> rows;
    for (int r = 8; r >= 0; --r)
        rows.push_back({0, 0, static_cast<std::uint8_t>(10 * r)});
    EXPECT_EQ(Decode(&DecodeGifToBmp, EncodeGif(1, 9, colours, {frame})), Bmp24(1, 9, 3780, rows));
}

} // namespace
} // namespace plat
