// Hand-made BMP files for the image and scan tests: every header field is
// written here field by field, so the tests compare the code's files with
// bytes laid out by hand.
#pragma once
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

inline void PutLe(std::string& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

struct BmpForm {
    std::int32_t width = 0;
    std::int32_t height = 0; // rows given; negative marks a top-down file
    std::uint16_t bits = 8;
    std::int32_t xPels = 10000;
    std::int32_t yPels = 10000;
    std::uint32_t paletteEntries = 0;
    std::uint32_t compression = 0;
    bool imageSizeZero = false; // leave the image-size field 0, as many writers do
    std::uint8_t pad = 0;       // row padding byte
};

// Header, palette (grey ramp) and the rows as given, each padded to 4 bytes.
inline std::string MakeBmp(const BmpForm& form, const std::vector<std::vector<std::uint8_t>>& rows)
{
    std::string pixels;
    for (const auto& row : rows) {
        std::string r(row.begin(), row.end());
        while (r.size() % 4 != 0)
            r.push_back(static_cast<char>(form.pad));
        pixels += r;
    }
    const std::uint32_t offset = 54 + 4 * form.paletteEntries;
    std::string out = "BM";
    PutLe(out, offset + static_cast<std::uint32_t>(pixels.size()), 4);
    PutLe(out, 0, 4);
    PutLe(out, offset, 4);
    PutLe(out, 40, 4);
    PutLe(out, static_cast<std::uint32_t>(form.width), 4);
    PutLe(out, static_cast<std::uint32_t>(form.height), 4);
    PutLe(out, 1, 2);
    PutLe(out, form.bits, 2);
    PutLe(out, form.compression, 4);
    PutLe(out, form.imageSizeZero ? 0 : static_cast<std::uint32_t>(pixels.size()), 4);
    PutLe(out, static_cast<std::uint32_t>(form.xPels), 4);
    PutLe(out, static_cast<std::uint32_t>(form.yPels), 4);
    PutLe(out, form.paletteEntries, 4);
    PutLe(out, 0, 4);
    for (std::uint32_t i = 0; i < form.paletteEntries; ++i)
        PutLe(out, i * 0x010101u, 4);
    return out + pixels;
}

inline std::uint32_t GetLe(const std::string& bytes, std::size_t offset)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(bytes.at(offset + static_cast<std::size_t>(i)));
    return v;
}

inline std::string ReadFileBytes(const std::string& path)
{
    std::string data;
    EXPECT_TRUE(ReadWholeFile(path, data)) << path;
    return data;
}

} // namespace plat
