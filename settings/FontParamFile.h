// VqFontParam: the text tool's five settings (font kind, face name, text,
// character height and spacing in millimetres), kept in the parameter folder
// between documents. Key lines and value lines as every parameter file has
// them; the kind in the code page, face and text as HexUtf16Text, height and
// spacing as reals ("%f"), so a 0.5 mm height comes back as 0.5. Older
// files held whole numbers there, which read the same way.
#pragma once
#include <string>
#include <string_view>

struct FontParams {
    std::u16string type = u"TrueType";
    std::u16string name = u"Arial";
    std::u16string text = u"激光Laser";
    double high = 10.0;
    double inter = 0.0;
};

// The file's name, without extension.
inline constexpr const char* kFontParamFile = "VqFontParam";

// The file of a work folder: its parameter folder (plat::ParamFolderOf: only
// a final "work" component goes) + "VqFontParam"; empty for an empty work
// folder, where nothing is read or written.
std::string FontParamPathOf(std::string_view workFolder);
// The same for the work folder in force.
std::string FontParamPath();

// Reads the pairs in any order, skipping other keys; a key line without its
// value line leaves its field. A height or spacing that reads as no number
// gives 0; one that is not finite (nan, inf, beyond the range of a double)
// leaves the field. False, and every field kept, for an empty path or a file
// that cannot be opened.
bool ReadFontParamFile(const std::string& path, FontParams& params);

// Writes the five pairs in their fixed order, lines ended by CR LF. False
// for an empty path or a file that cannot be written.
bool WriteFontParamFile(const std::string& path, const FontParams& params);
