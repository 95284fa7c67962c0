// Raster engraving scans: an 8-bit grey BMP turned into scan segments. The
// head sweeps along rows (or columns) and the beam is on over runs of dark
// pixels, its power following the grey value: a run is a stretch of constant
// grey or of a steady grey ramp. The image objects scan their files through
// ScanBitmapFile; the vector engraving scans images it draws in memory.
//
// Pixels are one byte each, rows padded to a multiple of 4 bytes and stored
// from the bottom row up. Scan coordinates are pixel indices until
// ScanBitmapFile turns them into millimetres.
#pragma once
#include "machinecomm/VantrelRecords.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct WorkParams;

// The most segments one scan may make on a computer with this much
// physical memory: as many as the controller can take in one job (each
// run is at least a move and a cut of 3 bytes in a stream of at most
// kStreamLengthMax bytes, about 44.7 million) and whose records (72 bytes
// each) fill at most a quarter of the memory; 16 million when the memory is
// not known. A scan that would make more is refused with the language
// table's "image too large" message instead of exhausting either memory: a
// one-pixel checkerboard of 10,000 x 10,000 pixels would make 50 million.
std::size_t ScanSegmentLimit(std::uint64_t physicalBytes);

// The limit of this computer (or the one a test set).
std::size_t MaxScanSegments();

// Error text entry shown when a scan is refused for its size.
constexpr int kScanTooLargeText = 7;
// Shows that text ("image too large").
void ShowScanTooLarge();

// Slope levels are grey steps of 255 / levels; more than 255 levels would
// make the step 0.
constexpr int kMaxSlopeLevels = 255;

// An open chain of segments linked by m_pPrev / m_pNext, with its length.
struct SegmentChain {
    SEGNODE* m_pFirst = nullptr;
    SEGNODE* m_pLast = nullptr;
    std::size_t m_nCount = 0;

    void Append(SEGNODE* seg);
    // Moves every segment of `other` behind this chain's last; `other` is
    // left empty.
    void Splice(SegmentChain& other);
    void Unlink(SEGNODE* seg);
    void Free();
};

// Scans an image file with a layer's scan parameters: the file is read
// whole, its pixels inverted (dark becomes high power, white 0), shaded at
// the edges of dark areas when the image flag is 0 and the layer's slope
// width is above 0.001 mm, and scanned with the layer's line spacing and
// style (m_s_precision, m_s_method). The result's coordinates are
// millimetres: x from the horizontal and y from the vertical resolution.
// Null when the file cannot be read, is not an 8-bit uncompressed BMP stored
// bottom-up, holds no dark pixel, or is refused for its size. The origin
// corner plays no part in the scan itself.
PATHREC* ScanBitmapFile(const std::string& path, const WorkParams& params, int originCorner, int posPoint,
                        std::uint8_t imageFlag);

// The same on a whole file held in memory; its pixels are changed in place.
PATHREC* ScanBitmapBytes(std::string& bytes, const WorkParams& params, int posPoint, std::uint8_t imageFlag);

// Scans the (already inverted) pixels of a whole BMP held in memory into one
// path (kind 0, sub-kind 2, closed flag 0, bounds left at their initial
// values) whose segments form one ring in the order found, in pixel units.
// Styles 2 and 3 scan columns from x = 0 on, one way or both ways; any
// other style scans rows, both ways for 1. Rows go from the last stored row
// back to the first, except for positioning points 6 and 8; the first row
// runs toward -x for points 2 and 8. Only rows (columns) one line spacing
// apart are scanned, and runs of one pixel are lengthened by 0.01 mm (at
// most one pixel) in the scan direction. Null for a header that does not
// check out, for an image without dark pixels, and for a scan of more than
// MaxScanSegments() segments (which shows the message).
PATHREC* ScanBitmap(const std::uint8_t* bmp, std::size_t size, double spacing, int style, std::uint16_t powerFlag,
                    int posPoint);

// Run finders over one line of pixels: a row walked toward +x (forward) or
// -x (backward), a column (every stride-th byte from its bottom pixel)
// walked toward +y (up) or -y (down). `fixed` is the row's y or the column's
// x. A run that opens on the line's last pixel is kept as a one-pixel run.
SegmentChain ScanRowForward(const std::uint8_t* pixels, std::size_t count, double fixed, std::uint16_t powerFlag);
SegmentChain ScanRowBackward(const std::uint8_t* pixels, std::size_t count, double fixed, std::uint16_t powerFlag);
SegmentChain ScanColumnUp(const std::uint8_t* pixels, std::size_t count, std::size_t stride, double fixed,
                          std::uint16_t powerFlag);
SegmentChain ScanColumnDown(const std::uint8_t* pixels, std::size_t count, std::size_t stride, double fixed,
                            std::uint16_t powerFlag);

// Every pixel becomes 255 - pixel; the row padding is left alone.
void InvertPixels(std::uint8_t* pixels, int width, int height);

// Fades dark areas in from their edges over `levels` pixels: with step =
// 255 div levels, pass k = 1 .. levels sets every pixel still at 255 that has
// a pixel at (k - 1) x step among its 8 neighbours to k x step (the last
// level to 255). Worked out in one distance transform, not pass by pass: a
// pixel at 255 takes the level of its distance from the pixels at a level's
// grey (0 or k x step); other greys keep their value and stop the fade.
// Levels of 1 or less do nothing; more than 255 count as 255. False, the
// pixels unchanged, when there is no memory for the distances.
bool MakeSlope(std::uint8_t* pixels, int width, int height, int levels);

// One-pixel runs (start and end within 0.001 in x and y): removed when
// `remove` is set or the length is below 1e-5, else their end is moved by
// the length along x (row mode) or y, with the scan direction.
void FixSinglePixels(SegmentChain& list, bool remove, double length, bool rowMode, bool forward);

namespace plat {
// Lets tests refuse scans at another count (0: the computer's again);
// returns the limit it replaced.
std::size_t SetMaxScanSegmentsForTesting(std::size_t limit);
} // namespace plat
