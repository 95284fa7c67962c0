// The pixels of a BMP file held in memory, as the grey conversion and the
// halftone screen read them: rows counted from the bottom whatever order the
// file stores them in, palette entries looked up safely, and whether the
// fourth byte of a 32-bit pixel is alpha at all.
#pragma once
#include "model/BmpHeader.h"

#include <cstddef>
#include <cstdint>

class BmpPixels {
public:
    // Checks the headers (model/BmpHeader.h) and the forms the import reads:
    // 1, 8, 24 or 32 bits per pixel, uncompressed (a 32-bit file may give
    // the usual blue, green, red bit fields), at most kMaxImagePixels pixels.
    // False for anything else: 4 and 16 bits, run-length or other
    // compression, rows missing from the file. The bytes must outlive this.
    bool Open(const std::uint8_t* data, std::size_t size);

    const BMPHEADER& Header() const { return m_header; }
    // The whole file, headers first.
    const std::uint8_t* Data() const { return m_data; }
    int Width() const { return m_header.m_width; }
    std::size_t Rows() const { return m_header.m_rows; }
    int BitCount() const { return m_header.m_bitCount; }

    // Stored row `fromBottom` rows above the image's bottom row.
    const std::uint8_t* Row(std::size_t fromBottom) const;

    // Blue, green, red of a palette entry; black for an index beyond the
    // palette the file holds.
    const std::uint8_t* PaletteBgr(unsigned index) const;

    // 32 bits: some pixel's fourth byte is not 0. Where every one is 0 the
    // writer left them unused and the image is opaque.
    bool HasAlpha() const { return m_hasAlpha; }

    // 1 bit: the byte of bit 0 and bit 1 is 0 and 255, or 255 and 0 when
    // the first palette entry's blue byte is not 0.
    std::uint8_t BitGrey(int bit) const { return (bit != 0) == m_whiteFirst ? 0 : 255; }
    // A 1-bit row expanded to one byte per pixel; the padding up to
    // `outStride` takes the byte of bit 0.
    void ExpandBitRow(std::size_t fromBottom, std::uint8_t* out, std::size_t outStride) const;

private:
    const std::uint8_t* m_data = nullptr;
    BMPHEADER m_header;
    std::size_t m_paletteOffset = 0;
    unsigned m_paletteEntries = 0;
    bool m_hasAlpha = false;
    bool m_whiteFirst = false;
};
