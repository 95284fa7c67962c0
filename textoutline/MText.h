// The library's multi-line text: a copy of the caller's MText record, its
// text split into font runs by the inline format codes, and the characters
// drawn for it line by line.
#pragma once
#include "Letrova.h"
#include "MFontInfo.h"
#include "ShapeReader.h"
#include "ShapeText.h"
#include "TextChar.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A font or big-font name without its extension: the last four characters
// go when they are a dot and three letters or digits after a first
// character; any other name is kept whole.
std::string FontNameWithoutExtension(const std::string& name);

class CMText {
public:
    // Copies the fields the layout reads, the additional text first, and
    // maps the insertion point into the working space.
    explicit CMText(const MText& text);

    // Splits the text into runs, lays the lines out, draws them and turns
    // the characters by the rotation.
    void Outline();

    // Splits the text at braces and parses each piece's format codes into
    // font runs (m_runs).
    void Split();
    // Draws the runs line by line into m_chars.
    void Layout();

    double m_x = 0.0; // working space
    double m_y = 0.0;
    std::uint8_t m_flag1 = 0;
    std::uint8_t m_flag2 = 0;
    double m_height = 0.0; // nominal
    double m_ref_width = 0.0;
    double m_angle = 0.0;
    std::int32_t m_attach = 0;
    std::int32_t m_direction = 0;
    double m_rotation = 0.0; // radians
    std::int32_t m_bg_color = 0;
    double m_line_spacing = 0.0;
    std::string m_font_file;
    std::string m_bigfont_file;
    std::string m_text;

    // The font of text outside any format group.
    int m_baseKind = CMFontInfo::kShx;
    std::string m_baseName;

    std::vector<CMFontInfo> m_runs;
    std::vector<CTextChar> m_chars;

private:
    void ParseRun(std::string_view run);
    void ParseFormatted(std::string_view run);
    void ParsePlain(std::string_view run);
    // Ends the run: it takes the current line and, without a font of its
    // own, the previous run's font or the base font.
    void CloseRun(CMFontInfo& run);
    // Appends one character (one byte, or two for a double-byte one) with
    // the settings; the first after a break starts its paragraph.
    void AddChar(CMFontInfo& run, const MCharInfo& settings, std::string_view bytes);
    // The same for each character of the text.
    void AddText(CMFontInfo& run, const MCharInfo& settings, std::string_view text);
    CMFontInfo NewRun(const CMFontInfo& font, double height) const;

    void DrawTrueTypeRun(const CMFontInfo& run, double& penX, double penY);
    void DrawShxRun(const CMFontInfo& run, double& penX, double penY);
    // The shape font of that file name, loaded once per text; null when it
    // is absent or no shape font.
    CShapeReader* ShxFont(const std::string& fileName);

    int m_line = 1;
    bool m_afterBreak = false;
    std::map<std::string, std::unique_ptr<CShapeReader>> m_shxFonts;
    CShapeStandIn m_standIn;
};
