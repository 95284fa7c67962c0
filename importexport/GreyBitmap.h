// Halftone screens: a grey image turned into black and white dots whose
// size follows the grey level, in square cells of n x n pixels (n odd). The
// threshold of each pixel of a cell comes from the screen matrix, which
// ranks the cell's pixels by their distance from its centre; at 45 degrees
// every other row of cells is shifted by half a cell of a doubled matrix.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class BmpPixels;

// The largest screen cell, in pixels: its matrix holds up to 2 x 1023 x 1023
// thresholds. A cell from a large cell size at a high resolution (a file
// may claim any) would otherwise make a matrix of gigabytes.
constexpr int kMaxScreenCell = 1023;

class CGreyBitmap {
public:
    CGreyBitmap() = default;
    virtual ~CGreyBitmap() = default;

    // Reads a ".bmp" file (the extension compared without case) longer
    // than 58 bytes and screens it as LoadBytes does.
    bool Load(const std::string& path, double cellMm, int angle);

    // Screens a BMP held in memory (1, 8, 24 or 32 bits, as BmpPixels
    // reads it). The resolution is the file's, 40000 pixels per metre where
    // it gives none; the cell is trunc(x resolution x cell size / 1000)
    // pixels, one more when that is even. Angle 0 screens in mode 0, angle
    // 45 in mode 1. False, with nothing screened, for a file BmpPixels
    // refuses, a cell size that is not a positive number, a cell above
    // kMaxScreenCell, or another angle.
    bool LoadBytes(const std::string& bytes, double cellMm, int angle);

    // The screen of a source with an n x n cell in mode 0 or 1: per pixel
    // (x, y counted from the bottom row) grey = trunc(0.3 red + 0.59 green +
    // 0.11 blue) (through the palette for 8 bits, 32-bit pixels laid over
    // white where the file uses its alpha bytes); 0 when grey is below the
    // pixel's threshold, else 255. 1-bit sources are expanded to 0 and 255
    // without screening. False when the cell or mode is out of range or the
    // memory cannot be had.
    bool Screen(const BmpPixels& source, int cell, int mode);

    // The threshold matrix of an n x n cell: the cells sorted by their
    // squared distance from (n/2, n/2), the later-generated cell (row by
    // row) first among equal ones; rank k (0 first) of N = n x n gives
    // (N/2 + 255 (k+1)) / N in mode 0 (n x n values, row by row); mode 1
    // holds n rows of 2n values, with M = 2N, (M/2 + 255 (k+1)) / M in
    // column j and (510 N + M/2 - 255 k) / M in column n + j. Empty for a
    // cell outside 1 .. kMaxScreenCell or another mode.
    static std::vector<int> BuildScreen(int cell, int mode);

    // The screened image as an 8-bit grey BMP: the grey ramp layout, the
    // source's width, height (rows bottom-up) and resolution (after the
    // default) and its file-header reserved bytes. Empty before a screen.
    const std::string& Grey8Bytes() const { return m_file; }
    // Writes it in one step; false when there is nothing to write or the
    // file cannot be written.
    bool WriteGrey8(const std::string& path) const;

    // Load, then WriteGrey8 to the target (which may be the source).
    static bool Convert(const std::string& source, int angle, double cellMm, const std::string& target);

    std::uint32_t m_nStride = 0;
    std::uint32_t m_nWidth = 0;
    std::uint32_t m_nHeight = 0;
    std::uint32_t m_nXRes = 0;
    std::uint32_t m_nYRes = 0;
    int m_nCell = 0; // of the last screen

private:
    std::uint32_t m_nReserved = 0;
    std::string m_file;
};
