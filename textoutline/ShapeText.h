// Drawing characters of shape fonts: where the fonts are found and how one
// shape becomes a character scaled to the text height.
#pragma once
#include "ShapeReader.h"
#include "TextChar.h"

#include <cstdint>
#include <string>

// Full path of a shape font in the shx folder beside the program, the file
// name matched without regard to case; only the name's last component is
// used, so no name reaches outside that folder. Empty when there is no such
// file.
std::string ShxFontPath(const std::string& fileName);

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
