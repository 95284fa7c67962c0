// One font run of a multi-line text: the font it is drawn with, its line and
// height, and its characters with their per-character settings.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One character of a run, with the settings of the codes before it.
struct MCharInfo {
    std::string m_text;           // one byte, or two for a double-byte character
    double m_oblique = 0.0;       // degrees (\Q)
    double m_width_factor = 1.0;  // \W
    double m_tracking = 1.0;      // \T
    bool m_underline = false;     // \L
    bool m_overline = false;      // \O
    std::int32_t m_color = 255;   // \C
    bool m_firstInParagraph = false;
};

class CMFontInfo {
public:
    static constexpr int kTrueType = 1;
    static constexpr int kShx = 2;

    int m_kind = 0; // 0 until a font is chosen
    // A TrueType face; for a shape font the font file and the big-font file
    // joined by ",".
    std::string m_name;
    bool m_bold = false;
    bool m_italic = false;
    std::int32_t m_charset = 0; // |c
    std::int32_t m_pitch = 0;   // |p
    int m_line = 1;             // 1-based
    double m_height = 0.0;      // drawing units
    std::vector<MCharInfo> m_chars;
};
