// A TrueType font scaled for the working space: its capital H is the text
// height x 10 working units high. Gives glyph metrics and contours at a pen
// position, with codes of the 8-bit code page.
#pragma once
#include "TextChar.h"
#include "platform/GlyphFont.h"

#include <cstdint>
#include <string>

// Pixel height of the point font of nearest(height x 160) tenths of a point at
// 96 dots per inch; 0 for a height that gives no size.
std::int32_t PointFontPixels(double height);

// The logical height (negative: character height) that makes the capital H
// height x 10 units high, from the point font's logical height and the black-box
// height of its H. An H without a black box leaves the height as it is.
std::int32_t CalibratedFontHeight(std::int32_t logicalHeight, double height, std::int32_t hBlackBoxY);

class CTrueTypeFont {
public:
    // Glyphs are fetched at no more than this em size and scaled up beyond
    // it, so that their coordinates fit the platform's 16.16 values.
    static constexpr std::int32_t kMaxFetchPixels = 8192;

    // Sets the face up for the text height (drawing units). faceName is
    // code-page text. False, and nothing is to be outlined, for a height that
    // is not above 0 or too small to give a size, or a face that cannot be
    // had.
    bool SetUp(const std::string& faceName, double height, bool bold = false, bool italic = false);
    bool IsValid() const { return m_font.IsValid(); }
    // Logical height of the font set up (negative, pixels = working units).
    std::int32_t LogicalHeight() const { return m_logicalHeight; }

    bool GetMetrics(std::uint32_t code, CharMetrics& metrics) const;
    // Appends the glyph's contours, each closed, with the pen (x, y) at the
    // glyph origin, and copies its metrics into the character. False when
    // the glyph cannot be had; the character is then left as it was.
    bool AppendGlyph(std::uint32_t code, double penX, double penY, CTextChar& ch) const;

private:
    bool Select(std::int32_t logicalHeight);
    // Metrics of the glyph, its outline left in m_outline.
    bool Fetch(std::uint32_t code, CharMetrics& metrics) const;

    plat::GlyphFont m_font;
    plat::GlyphFontSpec m_spec;
    std::int32_t m_logicalHeight = 0;
    std::int32_t m_factor = 1; // working units per fetched pixel
    // The glyph fetched last, held by the font.
    mutable const plat::FlatOutline* m_outline = nullptr;
};
