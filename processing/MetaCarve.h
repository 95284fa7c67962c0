// Vector engraving: a scan layer engraves the area its closed outlines
// enclose instead of cutting along them. The outlines are drawn filled into
// an 8-bit image in memory, at a pixel size derived from the layer's line
// spacing, treated for beam width and slope, and scanned line by line with
// the raster scanner (model/BitmapScan.h); the scan replaces the outlines.
// A layer that is both cut and scanned is first divided into a cut layer,
// which keeps the outlines, and a scan layer beside it.
//
// The layers are in world units (0.1 mm). The object holds nothing.
#pragma once
#include "machinecomm/VantrelRecords.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct WorkParams;

// The largest image the engraving draws (P x H + 1078 bytes): larger ones
// are refused with the language table's "image too large" message before
// anything is allocated.
constexpr std::uint64_t kMaxCarveImageBytes = 4294967040u;

// Header and palette bytes in front of the image's pixels.
constexpr std::size_t kCarveImageHeader = 1078;

// A pixel of an outline traced into the image, in image coordinates (y up).
struct CARVEPIXEL {
    std::int64_t x;
    std::int64_t y;
    friend bool operator==(const CARVEPIXEL&, const CARVEPIXEL&) = default;
};

class CMetaCarve {
public:
    virtual ~CMetaCarve() = default;

    // Converts every layer from `first` on whose mode (low 7 bits) is 2 or
    // 3 and that carries no light-guide bit, with the parameter record of
    // its layer id. A scan layer placed before the first layer becomes the
    // new first.
    static void Process(WORKLAYER*& first, WorkParams* params, int originCorner, int posPoint);

    // One layer. Mode 3 divides it first: a copy of the record and its
    // paths becomes the scan layer (mode 2), linked before the layer when
    // m_sweep_first is set and after it otherwise, and the layer itself
    // becomes a cut layer (mode 1). The scan layer's outlines are then
    // rasterised and scanned, unless the line spacing is below 1e-5 mm or
    // the image is refused, in which case it keeps them. Returns the new
    // scan layer of a division, else null. Nothing without paths or
    // parameters, or for a mode below 2.
    static WORKLAYER* ConvertLayer(WORKLAYER* layer, const WorkParams* params, int originCorner, int posPoint);

    // The pixel size (mm) for a line spacing and the outlines' extents
    // (world units): the spacing times 0.1, 0.25, 0.5 or 1.0, the finest
    // whose image stays within reach of 2 GB.
    static double PixelSize(double spacing, double width, double height);

    // Slope levels (and image margin, pixels) for a slope width in mm.
    static int SlopeLevels(double incline, double pixelSize);

    // Draws the layer's outlines (pixel units, lower-left corner at the
    // origin) filled into a new BMP image with a white margin of `margin`
    // pixels all round; the outlines are moved by that margin. `size` gets
    // the image's bytes. Null, with the message shown and `size` 0, when the
    // image would exceed kMaxCarveImageBytes or cannot be allocated; null
    // without a message for a layer without segments. Free with FreeImage.
    static std::uint8_t* Rasterise(WORKLAYER* layer, int margin, double pixelSize, std::size_t& size);
    static void FreeImage(std::uint8_t* image, std::size_t size);

    // Fills every outline of the layer into the image by toggling (an area
    // covered by an even number of outlines stays white), then blackens
    // every outline pixel.
    static void FillOutlines(std::uint8_t* pixels, int width, int height, WORKLAYER* layer);

    // The pixels of one path: each segment's ends rounded, walked a pixel at
    // a time along its longer axis, both ends included, without repeating a
    // pixel. A closed path first has its last end set to its first start.
    static std::vector<CARVEPIXEL> TraceEdges(PATHREC* path);

    // Toggles the pixels inside the polygon of a traced outline (closed by
    // an edge from its last pixel to its first), row by row between pairs
    // of edge crossings. Pixels outside the image are skipped.
    static void ScanFill(std::uint8_t* pixels, int width, int height, const std::vector<CARVEPIXEL>& outline);

    // Blackens the traced outline's pixels inside the image.
    static void DrawOutlinePixels(std::uint8_t* pixels, int width, int height,
                                  const std::vector<CARVEPIXEL>& outline);

    // Beam width and slope on the inverted image (0 background, 255
    // engraved): `passes` erosion passes, each darkening every 255 pixel
    // next to a 0 pixel, then `levels` slope passes as MakeSlope makes them.
    // Computed from one chessboard distance transform; pixels outside the
    // image count as engraved, as the passes take them. False, and the
    // pixels unchanged, when there is no memory for the distances.
    static bool ErodeAndSlope(std::uint8_t* pixels, int width, int height, std::uint64_t passes, int levels);

    // Erosion by a beam `diameter` pixels wide: diameter div 2 passes.
    static bool ErodeByDiameter(std::uint8_t* pixels, int width, int height, std::uint64_t diameter);

    // Scan coordinates (pixels, y counted from the image's top row) back to
    // world units: the margin removed, y turned up the right way in an image
    // `height` pixels high, times the pixel size (mm) x 10, plus the
    // outlines' lower-left corner (x0, y0). Extents recomputed.
    static void MapBackToWorld(PATHREC* paths, double pixelSize, double x0, double y0, int height, int margin);
};

namespace plat {
// Lets tests refuse images at a lower size; returns the limit it replaced.
std::uint64_t SetMaxCarveImageBytesForTesting(std::uint64_t limit);
} // namespace plat
