// Which font draws a text whose drawing names a font file: the one rule for
// the styles of imported drawings and the faces of the text tool. A name
// never opens a file outside the font folders: TrueType faces are asked of
// fontconfig by family name, shape fonts are looked up by file name in the
// program's shx folder only.
#pragma once
#include <string>

namespace plat {

struct FontChoice {
    enum Kind { TrueType, Shape };
    Kind kind = TrueType;
    std::string face;     // TrueType: the family to ask fontconfig for (UTF-8)
    std::string shxPath;  // Shape: the font file in the shx folder
    bool replaced = false; // the name matched nothing: the default face stands in
};

// A font file name as a drawing's style gives it (UTF-8, perhaps with a
// folder, which is ignored):
// - a ".ttf" name is the face of its base name (fontconfig's substitute for
//   a face it does not know counts as found);
// - a ".shx" name is that file in the shx folder when it is there;
// - otherwise the name without its extension is a family when an installed
//   family has exactly that name (case aside), else <name>.shx in the shx
//   folder when it is there;
// - when nothing matches, the default face, marked replaced.
// Answers are kept: a drawing's texts name the same few fonts.
FontChoice ChooseFont(const std::string& fontFile);

// The face that draws what no named font can: the first installed of
// DejaVu Sans and Liberation Sans, else fontconfig's "sans-serif".
const std::string& DefaultFace();

// True when an installed scalable family has exactly this name (case aside).
bool FamilyInstalled(const std::string& family);

// Full path of a shape font in the shx folder beside the program, the file
// name matched without regard to case; only the name's last component is
// used. Empty when there is no such file.
std::string ShxFontPath(const std::string& fileName);

// True when the face fontconfig gives for the family (as a text of that face
// is drawn) has its own glyph for the Unicode character: callers choose a
// stand-in character for a face that lacks one.
bool FaceHasChar(const std::string& face, char32_t code);

} // namespace plat
