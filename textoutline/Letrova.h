// Letrova, the text outline library: text records in, outline words of line
// and curve contours out. This header is shared by the library and the main
// program; the records cross by value and their layout is fixed below.
//
// Output points lie in the library's working space: x' = x * 10 + 20000,
// y' = 20000 - y * 10 (tenths of the drawing unit, y down).
#pragma once
#include <cstddef>
#include <cstdint>
#include <list>
#include <vector>

#if defined(__GNUC__)
#define LETROVA_API __attribute__((visibility("default")))
#else
#define LETROVA_API
#endif

// A single-line text (fields and widths as the main program fills them).
struct Text {
    double m_x = 0.0;
    double m_y = 0.0;
    std::uint8_t m_flag1 = 0;
    std::uint8_t m_flag2 = 0;
    char m_text[1024] = {};
    char m_style[512] = {};
    char m_font_file[512] = {};
    char m_bigfont_file[512] = {};
    double m_height = 0.0;
    double m_angle = 0.0; // radians
    double m_width_factor = 0.0;
    double m_oblique = 0.0;
    char m_reserved[512] = {};
    char m_layer[512] = {};
    char m_linetype[512] = {};
    std::int32_t m_color = 0;
    double m_common = 0.0;
    double m_linetype_scale = 0.0;
};

// A multi-line text with inline format codes.
struct MText {
    char m_font_file[512] = {};
    char m_bigfont_file[512] = {};
    double m_style_values[3] = {};
    char m_layer[512] = {};
    char m_linetype[512] = {};
    std::int32_t m_color = 0;
    double m_x = 0.0;
    double m_y = 0.0;
    std::uint8_t m_flag1 = 0;
    std::uint8_t m_flag2 = 0;
    double m_height = 0.0;
    double m_ref_width = 0.0;
    double m_angle = 0.0;
    std::int32_t m_attach = 0;
    std::int32_t m_direction = 0;
    char m_text[512] = {};
    char m_text_more[1024] = {}; // placed before m_text
    char m_style[512] = {};
    double m_geometry[5] = {}; // the fifth is the rotation in radians
    std::int32_t m_bg_color = 0;
    double m_line_spacing = 0.0;
};

// Point kinds of CSuPoint::m_kind.
constexpr std::uint8_t kSuPointPlain = 0;        // ends a straight segment
constexpr std::uint8_t kSuPointQuadControl = 4;  // quadratic control, never handed out
constexpr std::uint8_t kSuPointSegmentEnd = 5;   // end point of a curve segment
constexpr std::uint8_t kSuPointCubicControl = 6; // two of them, then the segment's end

struct CSuPoint {
    double m_x = 0.0;
    double m_y = 0.0;
    std::uint8_t m_flag = 0;
    std::uint8_t m_kind = kSuPointPlain;
};

// One contour.
struct COutLine {
    std::uint8_t m_closed = 0; // non-zero: the contour closes on its first point
    std::vector<CSuPoint> m_points;
};

// One drawn character. Words belong to the library: they are released only
// through g_DelWordList, never deleted by the caller.
class CMWord {
public:
    CMWord() = default;
    CMWord(const CMWord&) = delete;
    CMWord& operator=(const CMWord&) = delete;

    std::vector<COutLine*> m_lines;
    std::uint32_t m_reserved = 0;

private:
    friend void DestroyWord(CMWord* word);
    ~CMWord();
};

// The caller's list of words.
using CMWordList = std::list<CMWord*>;

extern "C" {
// Append one word per drawn character of the text; always 0.
LETROVA_API int g_GetTextOutlineInfo(Text text, CMWordList& words);
LETROVA_API int g_GetMTextOutlineInfo(MText text, CMWordList& words);
// Destroys every word of the list and leaves it empty.
LETROVA_API void g_DelWordList(CMWordList* words);
}

// The layout both sides rely on.
static_assert(offsetof(Text, m_flag1) == 16);
static_assert(offsetof(Text, m_text) == 18);
static_assert(offsetof(Text, m_style) == 1042);
static_assert(offsetof(Text, m_font_file) == 1554);
static_assert(offsetof(Text, m_bigfont_file) == 2066);
static_assert(offsetof(Text, m_height) == 2584);
static_assert(offsetof(Text, m_oblique) == 2608);
static_assert(offsetof(Text, m_reserved) == 2616);
static_assert(offsetof(Text, m_layer) == 3128);
static_assert(offsetof(Text, m_linetype) == 3640);
static_assert(offsetof(Text, m_color) == 4152);
static_assert(offsetof(Text, m_common) == 4160);
static_assert(offsetof(Text, m_linetype_scale) == 4168);
static_assert(sizeof(Text) == 4176);

static_assert(offsetof(MText, m_style_values) == 1024);
static_assert(offsetof(MText, m_layer) == 1048);
static_assert(offsetof(MText, m_color) == 2072);
static_assert(offsetof(MText, m_x) == 2080);
static_assert(offsetof(MText, m_flag1) == 2096);
static_assert(offsetof(MText, m_height) == 2104);
static_assert(offsetof(MText, m_attach) == 2128);
static_assert(offsetof(MText, m_direction) == 2132);
static_assert(offsetof(MText, m_text) == 2136);
static_assert(offsetof(MText, m_text_more) == 2648);
static_assert(offsetof(MText, m_style) == 3672);
static_assert(offsetof(MText, m_geometry) == 4184);
static_assert(offsetof(MText, m_bg_color) == 4224);
static_assert(offsetof(MText, m_line_spacing) == 4232);
static_assert(sizeof(MText) == 4240);

static_assert(sizeof(CSuPoint) == 24 && offsetof(CSuPoint, m_kind) == 17);
