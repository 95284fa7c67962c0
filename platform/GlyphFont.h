// TrueType glyph outlines as the platform's glyph-outline call gives them:
// metrics (black box, glyph origin, cell increment) and the native outline as
// polygons of line, quadratic-spline and cubic-spline records in 16.16 fixed
// point, y up, relative to the glyph origin on the baseline. Built on FreeType
// (unhinted outlines) with the face found by family name through fontconfig;
// bold and italic are synthesised when the face found has neither. Sizes are
// pixels at 96 dots per inch, so results never depend on a display.
#pragma once
#include "Win.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

// 16.16 fixed point: the whole value is (value << 16 | fract) in two's
// complement, so -0.5 is value -1, fract 0x8000.
struct FIXED {
    std::uint16_t fract = 0;
    std::int16_t value = 0;
    friend bool operator==(const FIXED&, const FIXED&) = default;
};

struct POINTFX {
    FIXED x;
    FIXED y;
    friend bool operator==(const POINTFX&, const POINTFX&) = default;
};

struct GLYPHMETRICS {
    std::uint32_t gmBlackBoxX = 0;
    std::uint32_t gmBlackBoxY = 0;
    POINT gmptGlyphOrigin; // left and top of the black box, y up
    std::int16_t gmCellIncX = 0;
    std::int16_t gmCellIncY = 0;
};

// The same values unrounded, in pixels: the outline's exact bounds and the
// advance as the face scales it. A glyph without contours has a black box
// of 0 x 0 at the origin.
struct GlyphExtent {
    double blackBoxX = 0.0;
    double blackBoxY = 0.0;
    double originX = 0.0; // left, y up
    double originY = 0.0; // top
    double cellIncX = 0.0;
};

constexpr std::uint32_t TT_POLYGON_TYPE = 24;
constexpr std::uint16_t TT_PRIM_LINE = 1;    // each point ends a straight segment
constexpr std::uint16_t TT_PRIM_QSPLINE = 2; // quadratic B-spline: all points off the curve but the last
constexpr std::uint16_t TT_PRIM_CSPLINE = 3; // cubic Beziers: two control points and an end point each

struct TTPOLYCURVE {
    std::uint16_t wType = TT_PRIM_LINE;
    std::vector<POINTFX> apfx;
};

// One closed contour. The last record ends on the start point.
struct TTPOLYGON {
    std::uint32_t dwType = TT_POLYGON_TYPE;
    POINTFX pfxStart;
    std::vector<TTPOLYCURVE> curves;
};

// The polygons of a native outline laid flat, as they come before they are
// grouped into records: each polygon's start point (on the curve), then its
// records' points in order, ending on the start point again, each with its
// kind. Records follow from the kinds: a point on the curve after another
// belongs to a line record, after quadratic controls it ends a
// quadratic-spline record, after two cubic controls a cubic-spline record.
// Filling the same object again reuses its storage: points and kinds keep
// their length, so the polygons' points are the first ends.back() of them.
struct FlatOutline {
    enum Kind : std::uint8_t { On = 0, QuadControl = 1, CubicControl = 2 };
    std::vector<POINTFX> points;
    std::vector<std::uint8_t> kinds;
    std::vector<std::uint32_t> ends; // one past each polygon's last point
};

// What a logical font asks for.
struct GlyphFontSpec {
    std::string faceName;
    // Character (em) height in pixels; the sign is ignored (the callers pass
    // the negative character height of a logical font). 0 is refused: there is
    // no default size here.
    std::int32_t height = 0;
    std::int32_t weight = 400; // 600 and above is bold
    bool italic = false;
};

// A FreeType outline as it comes from a font: points in 26.6 fixed point
// (1/64 pixel), tags with bit 0 set for points on the curve and, for points
// off it, bit 1 set for cubic and clear for quadratic control points, and the
// index of each contour's last point.
struct RawOutline {
    std::vector<std::int32_t> x;
    std::vector<std::int32_t> y;
    std::vector<std::uint8_t> tags;
    std::vector<std::int32_t> contourEnds;
};

// Turns a FreeType outline into native polygon records. Contours of fewer than
// two points are left out. False for a malformed outline (a contour starting
// on a cubic control, three cubic controls in a row, a quadratic and a cubic
// control side by side, contour ends out of order) or a coordinate that 16.16
// cannot hold.
bool OutlineToPolygons(const RawOutline& outline, std::vector<TTPOLYGON>& polygons);

// fontconfig's answer for a family (any family when empty) in a weight and
// slant: the file and face index of the outline face it gives, and every
// family name of that face (a face of another family when it has none of
// this one). False when it gives no outline face.
struct FaceMatch {
    std::string path;
    int index = 0;
    std::vector<std::string> families;
};
bool MatchOutlineFace(const std::string& family, bool bold, bool italic, FaceMatch& match);

class GlyphFont {
public:
    GlyphFont();
    ~GlyphFont();
    GlyphFont(GlyphFont&& other) noexcept;
    GlyphFont& operator=(GlyphFont&& other) noexcept;
    GlyphFont(const GlyphFont&) = delete;
    GlyphFont& operator=(const GlyphFont&) = delete;

    // Finds the face by family name (fontconfig substitutes for a family it
    // does not know) and sets the size. False when no scalable face can be
    // opened or the height is 0 or above 65535.
    bool Create(const GlyphFontSpec& spec);
    // The same with the first face of a given font file.
    bool CreateFromFile(const std::string& path, const GlyphFontSpec& spec);
    // Sets another size (pixels, sign ignored) on the face already found.
    // False, and the font no longer valid, for 0, a size above 65535 or one
    // the face refuses.
    bool SetHeight(std::int32_t height);
    bool IsValid() const;

    // Faces are kept open across fonts: a font takes one from a cache of the
    // process (or of the library it is linked into) and gives it back when it
    // is destroyed or created anew, so a later font of the same file skips
    // the opening. The cache holds at most a few idle faces, the least
    // recently used going first, and closes them when it is destroyed with
    // the program or library. The number of idle faces it holds:
    static std::size_t CachedFaceCount();
    static constexpr std::size_t kMaxCachedFaces = 8;

    std::string FilePath() const;
    // The face's family name as the face gives it.
    std::string FamilyName() const;
    bool SyntheticBold() const;
    bool SyntheticItalic() const;
    // True when the face has its own glyph for the Unicode code point.
    bool HasGlyph(char32_t code) const;

    // The font that draws the character: this one when its face has it,
    // else a font of the same size and style of another installed face that
    // has it, the closest to this face's family and style first (as
    // fontconfig sorts them); null when no installed face has it. The faces
    // are asked of fontconfig once per face and style, and sought once per
    // range of 256 characters; the fonts found stay with this one, which
    // must outlive what they give.
    const GlyphFont* FontFor(char32_t code) const;
    // The Unicode character of a code of the 8-bit code page, as
    // GetGlyphOutlineA reads it.
    char32_t FromCodePage(std::uint32_t code) const;

    // Metrics and native outline of a Unicode code point (a missing one gets
    // the face's default glyph). outline may be null for metrics only. A
    // glyph without contours (a space) gives an empty outline and a 1 x 1
    // black box at the origin. False when the glyph cannot be loaded or does
    // not fit 16.16; metrics and outline are then left as they were.
    bool GetGlyphOutline(char32_t code, GLYPHMETRICS& metrics, std::vector<TTPOLYGON>* outline) const;
    // The same for a character code of the 8-bit code page (CodePage.h): one
    // byte, or lead byte << 8 | trail byte for a double-byte character. A
    // font keeps what its single bytes stand for once it has read them.
    bool GetGlyphOutlineA(std::uint32_t code, GLYPHMETRICS& metrics, std::vector<TTPOLYGON>* outline) const;
    // The same outline laid flat, without a record's own storage: what a
    // caller converting many glyphs uses. The outline is held by the font's
    // face and stays valid until the next glyph is read from the font; null
    // when GetGlyphOutline would give false.
    // With `extent` the unrounded values too.
    const FlatOutline* GetFlatOutline(char32_t code, GLYPHMETRICS& metrics, GlyphExtent* extent = nullptr) const;
    const FlatOutline* GetFlatOutlineA(std::uint32_t code, GLYPHMETRICS& metrics) const;

private:
    bool Load(char32_t code, GLYPHMETRICS& metrics, FlatOutline& flat, GlyphExtent* extent = nullptr) const;
    struct Impl;
    bool Open(const std::string& path, int index, const GlyphFontSpec& spec);
    std::unique_ptr<Impl> m_impl;
};

// The Unicode character of a code-page character code as GetGlyphOutlineA
// reads it; U+FFFD when the code is no single character of the code page.
char32_t CodePageCharToUnicode(std::uint32_t code);

} // namespace plat
