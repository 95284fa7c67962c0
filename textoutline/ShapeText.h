// Drawing characters of shape fonts: where the fonts are found and how one
// shape becomes a character scaled to the text height.
#pragma once
#include "ShapeReader.h"
#include "TextChar.h"
#include "TrueTypeFont.h"
#include "platform/FontChoice.h"

#include <cstdint>
#include <string>

// Shape fonts are found in the shx folder beside the program only.
using plat::ShxFontPath;

// Loads the font when its file is found; false when it is absent or
// unreadable.
bool LoadShxFont(const std::string& fileName, CShapeReader& reader);

// Draws the shape of the code at the pen into the character, scaled by the
// factor about the left edge of its points and the pen's y. False, and the
// character left empty, when the font lacks the code.
bool DrawShapeChar(CShapeReader& reader, std::uint32_t code, double penX, double penY, double scale, CTextChar& ch);

// Stretches the character in x by the factor about the left edge of its
// points and recomputes its box.
void StretchCharX(CTextChar& ch, double factor);

// Width of the character's box (the integer bounding rectangle).
double BoxWidth(const CTextChar& ch);

// Characters that the shape fonts of a text lack, drawn from the default
// TrueType face (or a face that has them) at the pen with their H at the
// height, stretched by the width factor like the shape characters.
class CShapeStandIn {
public:
    // False when no installed face has the character (or it is a control
    // character): it is left out. Otherwise the character and the pen's
    // advance, its cell increment times the width factor.
    bool Draw(std::uint32_t code, double height, double widthFactor, double penX, double penY, CTextChar& ch,
              double& advance);

private:
    CTrueTypeFont m_font;
    double m_height = 0.0; // the font's height; 0 before it is set up
};
