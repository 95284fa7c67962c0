// The headers of a Windows BMP file, read and checked against the bytes that
// are really there. Every reader of BMP files goes through ParseBmpHeader, so
// that no field is used before it has been checked: a file whose header
// promises more pixels than it holds is refused rather than over-read.
//
// Layout (little-endian): a 14-byte file header ("BM" at 0, file size at 2,
// pixel data offset at 10), an information header of at least 40 bytes from
// offset 14 (its size at 14, width at 18, height at 22, bit count at 28,
// compression at 30, image size at 34, pixels per metre at 38 and 42, colours
// used at 46), the palette, then rows padded to a multiple of 4 bytes, from
// the bottom row up (from the top row down when the height is negative).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::size_t kBmpHeadersSize = 54; // file header + 40-byte information header
constexpr std::uint16_t kBmpSignature = 0x4D42; // "BM"

// Field offsets, for the writers that update a header in place.
enum : std::size_t {
    BMP_OFS_FILE_SIZE = 2,
    BMP_OFS_DATA_OFFSET = 10,
    BMP_OFS_WIDTH = 18,
    BMP_OFS_HEIGHT = 22,
    BMP_OFS_BIT_COUNT = 28,
    BMP_OFS_COMPRESSION = 30,
    BMP_OFS_IMAGE_SIZE = 34,
    BMP_OFS_X_PELS = 38,
    BMP_OFS_Y_PELS = 42,
    BMP_OFS_COLORS_USED = 46,
};

// The fields as stored, and the sizes derived from them.
struct BMPHEADER {
    std::uint32_t m_fileSize = 0;   // as stored; never relied on
    std::uint32_t m_dataOffset = 0;
    std::uint32_t m_infoSize = 0;
    std::int32_t m_width = 0;       // at least 1
    std::int32_t m_height = 0;      // not 0; negative: rows stored top-down
    std::uint16_t m_bitCount = 0;   // 1, 4, 8, 16, 24 or 32
    std::uint32_t m_compression = 0; // 0 plain or 3 bit fields: rows as stored
    std::uint32_t m_imageSize = 0;  // as stored (often 0); never relied on
    std::int32_t m_xPelsPerMeter = 0; // as stored
    std::int32_t m_yPelsPerMeter = 0;
    std::uint32_t m_colorsUsed = 0; // as stored

    std::size_t m_stride = 0;       // bytes of one padded row
    std::size_t m_rows = 0;         // |height|
    std::size_t m_pixelBytes = 0;   // stride x rows, all inside the file
    std::size_t m_paletteBytes = 0; // bytes between the 54 header bytes and the pixels

    bool IsBottomUp() const { return m_height > 0; }
    // One byte per pixel, uncompressed, bottom row first: the form that the
    // raster scan, the turning and the mirroring work on.
    bool IsPlainGrey8() const { return m_bitCount == 8 && m_compression == 0 && m_height > 0; }
    // Stored pixels per metre, or the screen's (3780) where the file gives
    // 0 or less, as many writers do.
    int XPelsPerMetre() const;
    int YPelsPerMetre() const;
};

// Reads the headers from the first `size` bytes of a file and checks them
// against that size: the signature, an information header of 40 bytes or
// more that ends before the pixel data, a positive width, a non-zero
// height, a known bit count, an uncompressed layout, and every padded row
// inside the file. False, and `out` unusable, for anything else.
bool ParseBmpHeader(const std::uint8_t* data, std::size_t size, BMPHEADER& out);
bool ParseBmpHeader(const std::string& bytes, BMPHEADER& out);

// Little-endian fields of a header held in memory (the caller has checked
// that the offset lies inside it).
std::uint32_t BmpGetU32(const std::uint8_t* data, std::size_t offset);
void BmpPutU32(std::uint8_t* data, std::size_t offset, std::uint32_t value);
