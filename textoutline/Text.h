// The library's single-line text: a copy of the caller's Text record with the
// insertion point in the working space, and the characters drawn for it.
#pragma once
#include "Letrova.h"
#include "TextChar.h"

#include <cstdint>
#include <string>
#include <vector>

class CText {
public:
    // Copies every field of the record (texts up to their zero byte, and no
    // further than their field) and maps the insertion point.
    explicit CText(const Text& text);

    double m_x = 0.0; // working space
    double m_y = 0.0;
    std::uint8_t m_flag1 = 0;
    std::uint8_t m_flag2 = 0;
    std::string m_text;
    std::string m_style;
    std::string m_font_file;
    std::string m_bigfont_file;
    double m_height = 0.0;
    double m_angle = 0.0;
    double m_width_factor = 0.0;
    double m_oblique = 0.0;
    std::string m_layer;
    std::string m_linetype;
    std::int32_t m_color = 0;
    double m_common = 0.0;
    double m_linetype_scale = 0.0;

    std::vector<CTextChar> m_chars;

    // Chooses the font of the record's font file (arial.ttf when it has
    // none) and draws the text with it.
    void Outline();

    // Draws the text with the TrueType face of that name (UTF-8): one
    // character per character code, a space included, the pen moving right
    // by each cell increment times the width factor. A space takes the
    // metrics of the character before it (zeros at the start); a character
    // that no installed face has is left out. Draws nothing when the font
    // cannot be set up for the height.
    void OutlineTrueType(const std::string& faceName);

    // Draws the text with the shape font and, for double-byte codes, the big
    // font, both looked up in the shx folder beside the program; a font
    // file that is no shape font gives way to the default face. A drawn
    // character is scaled by (height x 10 / font height) x 0.5 about its
    // left edge and the pen's y, stretched by the width factor, and moves
    // the pen by its box width + height x 10 / 3. A code that the fonts lack
    // comes from the default TrueType face (CShapeStandIn).
    void OutlineShx(const std::string& fontFile, const std::string& bigFontFile);

    // Turns every drawn character about the insertion point by the text's
    // angle, when the angle is not too small to count.
    void ApplyAngle();
};
