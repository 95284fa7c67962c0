// The BMP header reader: fields read little-endian from their offsets, sizes
// derived from them, and every file refused whose header promises more than
// the file holds (the readers would otherwise read past its end).
#include "BmpTestFiles.h"

#include "model/BmpHeader.h"

#include <gtest/gtest.h>

#include <functional>

using plat::BmpForm;
using plat::MakeBmp;

namespace {

// 5 x 2 pixels, 8 bits, 256 palette entries: stride 8, 16 pixel bytes,
// pixels from 54 + 1024 = 1078, file 1094 bytes.
std::string FiveByTwo()
{
    BmpForm form;
    form.width = 5;
    form.height = 2;
    form.xPels = 11811;
    form.yPels = 0; // no resolution, as many writers leave it
    form.paletteEntries = 256;
    return MakeBmp(form, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
}

void SetU32(std::string& b, std::size_t offset, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[offset + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

} // namespace

TEST(BmpHeader, ReadsFieldsAndSizesAndTakesTheScreenResolutionWhereTheFileGivesNone)
{
    const std::string file = FiveByTwo();
    ASSERT_EQ(file.size(), 1094u);
    BMPHEADER h;
    ASSERT_TRUE(ParseBmpHeader(file, h));
    EXPECT_EQ(h.m_width, 5);
    EXPECT_EQ(h.m_height, 2);
    EXPECT_EQ(h.m_bitCount, 8);
    EXPECT_EQ(h.m_dataOffset, 1078u);
    EXPECT_EQ(h.m_stride, 8u);
    EXPECT_EQ(h.m_rows, 2u);
    EXPECT_EQ(h.m_pixelBytes, 16u);
    EXPECT_EQ(h.m_paletteBytes, 1024u);
    EXPECT_TRUE(h.IsPlainGrey8());
    EXPECT_EQ(h.XPelsPerMetre(), 11811);
    // 96 dots per inch: 96 / 25.4 x 1000 = 3779.5, rounded 3780.
    EXPECT_EQ(h.YPelsPerMetre(), 3780);

    // A negative resolution is no resolution either; a top-down file reads,
    // but is not the plain form the scan and the turning take.
    std::string topDown = file;
    SetU32(topDown, 38, 0xFFFFFFFFu);
    SetU32(topDown, 22, static_cast<std::uint32_t>(-2));
    ASSERT_TRUE(ParseBmpHeader(topDown, h));
    EXPECT_EQ(h.XPelsPerMetre(), 3780);
    EXPECT_EQ(h.m_rows, 2u);
    EXPECT_FALSE(h.IsPlainGrey8());

    // 24 bits, 5 wide: 15 bytes a row, padded to 16.
    BmpForm rgb;
    rgb.width = 5;
    rgb.height = 1;
    rgb.bits = 24;
    ASSERT_TRUE(ParseBmpHeader(MakeBmp(rgb, {std::vector<std::uint8_t>(15, 9)}), h));
    EXPECT_EQ(h.m_stride, 16u);
    EXPECT_FALSE(h.IsPlainGrey8());
}

TEST(BmpHeader, RefusesEveryHeaderThatPromisesMoreThanTheFileHolds)
{
    const std::string good = FiveByTwo();
    const std::vector<std::pair<const char*, std::function<void(std::string&)>>> breaks = {
        {"not BM", [](std::string& b) { b[1] = 'A'; }},
        {"shorter than the headers", [](std::string& b) { b.resize(53); }},
        {"last pixel row cut by one byte", [](std::string& b) { b.pop_back(); }},
        {"pixels said to start past the end", [](std::string& b) { SetU32(b, 10, 1095); }},
        {"pixels moved so the last row leaves the file", [](std::string& b) { SetU32(b, 10, 1079); }},
        {"information header shorter than 40", [](std::string& b) { SetU32(b, 14, 12); }},
        {"information header running into the pixels", [](std::string& b) { SetU32(b, 14, 1065); }},
        {"no width", [](std::string& b) { SetU32(b, 18, 0); }},
        {"no height", [](std::string& b) { SetU32(b, 22, 0); }},
        {"lowest height", [](std::string& b) { SetU32(b, 22, 0x80000000u); }},
        {"unknown bit count", [](std::string& b) { b[28] = 7; }},
        {"run-length compressed", [](std::string& b) { SetU32(b, 30, 1); }},
        {"width x height that would wrap", [](std::string& b) {
             SetU32(b, 18, 0x7FFFFFFFu);
             SetU32(b, 22, 0x7FFFFFFFu);
             b[28] = 32;
         }},
        {"width whose one row is larger than the file", [](std::string& b) { SetU32(b, 18, 1100); }},
    };
    BMPHEADER h;
    ASSERT_TRUE(ParseBmpHeader(good, h));
    for (const auto& [what, damage] : breaks) {
        std::string bad = good;
        damage(bad);
        EXPECT_FALSE(ParseBmpHeader(bad, h)) << what;
    }
    EXPECT_FALSE(ParseBmpHeader(nullptr, 100, h));
    // Bytes after the pixels are no fault.
    EXPECT_TRUE(ParseBmpHeader(good + "trailing", h));
}
