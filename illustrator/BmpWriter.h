// A 32-bit BMP file written row by row, as the plug-in hands images over:
// the 14-byte file header ("BM", file size, two reserved zeros, pixel offset
// 54) and the 40-byte information header (size 40, width, height > 0 so the
// rows run bottom-up, one plane, 32 bits per pixel, no compression, image
// size, then four zero fields), all little-endian, then the rows from the
// bottom one up, 4 bytes per pixel as given.
//
// The file is made when Begin succeeds; unless Finish succeeds too, the
// writer removes it again, so a failed write leaves no partial image.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class BmpWriter {
public:
    static constexpr std::size_t kHeaderSize = 54;

    explicit BmpWriter(std::string path);
    BmpWriter(const BmpWriter&) = delete;
    BmpWriter& operator=(const BmpWriter&) = delete;
    ~BmpWriter();

    // The headers for a width and height; false when either is 0 or less or
    // the file would not fit the 32-bit size fields.
    static bool MakeHeader(std::int64_t width, std::int64_t height, std::array<std::uint8_t, kHeaderSize>& header);

    // Creates (or truncates) the file and writes the headers.
    bool Begin(std::int64_t width, std::int64_t height);
    // Appends whole rows, the lowest row of the image first.
    bool AppendRows(const std::uint8_t* rows, std::size_t bytes);
    // Closes the file; true when every row of the image was written.
    bool Finish();

private:
    void Discard();

    std::string m_path;
    int m_fd = -1;
    std::uint64_t m_expected = 0; // pixel bytes the headers promise
    std::uint64_t m_written = 0;
};
