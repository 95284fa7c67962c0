// A TrueType font scaled for the working space: its capital H is the text
// height x 10 working units high, exactly. Gives glyph metrics and contours
// at a pen position, with codes of the 8-bit code page; a character the face
// lacks comes from an installed face that has it, and one that no face has
// is left out and told to the program.
#pragma once
#include "TextChar.h"
#include "platform/GlyphFont.h"

#include <cstdint>
#include <string>

class CTrueTypeFont {
public:
    // Glyphs are fetched at this em size, whatever the height, and scaled in
    // double: no size is rounded, and 16.16 values hold glyphs up to 32 ems.
    static constexpr std::int32_t kFetchPixels = 1024;

    // Sets the face up for the text height (drawing units). faceName is
    // UTF-8; a face that cannot be opened gives way to the default
    // face (and is told as replaced). False, and nothing is to be outlined,
    // for a height that is not above 0 or is no number, or too large to
    // outline, or when no face at all can be had.
    bool SetUp(const std::string& faceName, double height, bool bold = false, bool italic = false);
    bool IsValid() const { return m_font.IsValid(); }
    // Working units per fetched pixel.
    double Scale() const { return m_scale; }

    bool GetMetrics(std::uint32_t code, CharMetrics& metrics) const;
    // Appends the glyph's contours, each closed, with the pen (x, y) at the
    // glyph origin, and copies its metrics into the character. False when
    // no installed face has the character, or for a control character; the
    // character is then left as it was.
    bool AppendGlyph(std::uint32_t code, double penX, double penY, CTextChar& ch) const;

private:
    // Metrics of the glyph, its outline left in m_outline.
    bool Fetch(std::uint32_t code, CharMetrics& metrics) const;

    plat::GlyphFont m_font;
    double m_scale = 0.0;
    // The glyph fetched last, held by the font that drew it.
    mutable const plat::FlatOutline* m_outline = nullptr;
};
