// One drawn character inside the library: its contours, its boxes, the glyph
// metric values and the style it was drawn with. Lives until the export has
// copied it into a CMWord.
#pragma once
#include "Letrova.h"
#include "platform/Win.h"

#include <cstdint>
#include <vector>

// Glyph metric values in working units, unrounded: small texts (tenths of
// an inch in an inch drawing) are only a few units high.
struct CharMetrics {
    double blackBoxX = 0.0;
    double blackBoxY = 0.0;
    double originX = 0.0;
    double originY = 0.0;
    double cellIncX = 0.0;
    double cellIncY = 0.0;
};

class CTextChar {
public:
    std::vector<COutLine> m_contours;
    std::uint32_t m_reserved = 0;
    plat::RECT m_rcBox;  // bounding box of the contours
    plat::RECT m_rcCell; // cell box
    CharMetrics m_metrics;
    // Style of the run it belongs to.
    std::int32_t m_color = 255;
    bool m_firstInParagraph = false;
    bool m_bold = false;
    double m_oblique = 0.0;

    // Bounding rectangle of every point of every contour.
    plat::RECT BoundingBox() const;
    // Turns every point about (cx, cy) by the angle (radians); flag and kind
    // bytes stay.
    void Rotate(double cx, double cy, double angle);
};
