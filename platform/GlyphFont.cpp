#include "GlyphFont.h"

#include "CodePage.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <map>
#include <mutex>
#include <tuple>

namespace plat {

namespace {

// 26.6 values whose 16.16 form still fits 32 bits.
constexpr std::int64_t kMin26_6 = -32768LL * 64;
constexpr std::int64_t kMax26_6 = 32767LL * 64 + 63;
constexpr std::int32_t kMaxPixelSize = 65535;

// Synthetic bold thickens strokes by 1/24 of the em, synthetic italic slants
// by 12 degrees (tan 12 = 0.21256), the usual amounts for faces without them.
constexpr int kEmboldenDivisor = 24;
constexpr FT_Fixed kObliqueShear = 0x366A;

FIXED ToFixed(std::int64_t v26_6)
{
    const std::int32_t v = static_cast<std::int32_t>(v26_6 * 1024);
    FIXED f;
    f.fract = static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) & 0xFFFFu);
    f.value = static_cast<std::int16_t>(v >> 16);
    return f;
}

struct Vec {
    std::int64_t x = 0;
    std::int64_t y = 0;
    friend bool operator==(const Vec&, const Vec&) = default;
};

POINTFX ToPointFx(const Vec& v)
{
    return POINTFX{ToFixed(v.x), ToFixed(v.y)};
}

bool InRange(const Vec& v)
{
    return v.x >= kMin26_6 && v.x <= kMax26_6 && v.y >= kMin26_6 && v.y <= kMax26_6;
}

enum class PointKind { On, Conic, Cubic };

PointKind KindOf(std::uint8_t tag)
{
    if (tag & 1u)
        return PointKind::On;
    return (tag & 2u) ? PointKind::Cubic : PointKind::Conic;
}

// Appends one contour's records; false for a malformed contour.
bool AddContour(const RawOutline& o, std::size_t first, std::size_t last, std::vector<TTPOLYGON>& polygons)
{
    if (last <= first)
        return true; // a lone point draws nothing
    auto point = [&](std::size_t i) { return Vec{o.x[i], o.y[i]}; };

    // The polygon starts on a point on the curve; a contour made of
    // quadratic controls only starts between its last and first point.
    Vec start;
    std::size_t from = first;
    std::size_t to = last;
    const PointKind firstKind = KindOf(o.tags[first]);
    const PointKind lastKind = KindOf(o.tags[last]);
    if (firstKind == PointKind::On) {
        start = point(first);
        from = first + 1;
    } else if (firstKind == PointKind::Cubic) {
        return false;
    } else if (lastKind == PointKind::On) {
        start = point(last);
        to = last - 1;
    } else if (lastKind == PointKind::Cubic) {
        return false;
    } else {
        const Vec a = point(first);
        const Vec b = point(last);
        start = Vec{(a.x + b.x) / 2, (a.y + b.y) / 2};
    }
    if (!InRange(start))
        return false;

    TTPOLYGON polygon;
    polygon.pfxStart = ToPointFx(start);
    Vec lastEnd = start;
    std::vector<Vec> pending;
    PointKind pendingKind = PointKind::On;

    // Straight and cubic records run on; a quadratic record ends at each
    // point on the curve, since one record implies midpoints between its
    // control points.
    auto emit = [&](std::uint16_t type, const Vec& end) {
        const bool extend = !polygon.curves.empty() && polygon.curves.back().wType == type && type != TT_PRIM_QSPLINE;
        if (!extend)
            polygon.curves.push_back(TTPOLYCURVE{type, {}});
        auto& points = polygon.curves.back().apfx;
        for (const Vec& c : pending)
            points.push_back(ToPointFx(c));
        points.push_back(ToPointFx(end));
        pending.clear();
        pendingKind = PointKind::On;
        lastEnd = end;
    };
    auto finishAt = [&](const Vec& end) {
        if (pending.empty())
            emit(TT_PRIM_LINE, end);
        else if (pendingKind == PointKind::Conic)
            emit(TT_PRIM_QSPLINE, end);
        else if (pending.size() == 2)
            emit(TT_PRIM_CSPLINE, end);
        else
            return false;
        return true;
    };

    for (std::size_t i = from; i <= to; ++i) {
        const Vec p = point(i);
        if (!InRange(p))
            return false;
        const PointKind kind = KindOf(o.tags[i]);
        if (kind == PointKind::On) {
            if (!finishAt(p))
                return false;
            continue;
        }
        if (!pending.empty() && pendingKind != kind)
            return false;
        if (kind == PointKind::Cubic && pending.size() == 2)
            return false;
        pending.push_back(p);
        pendingKind = kind;
    }
    // Close on the start point.
    if (!pending.empty()) {
        if (!finishAt(start))
            return false;
    } else if (!(lastEnd == start)) {
        emit(TT_PRIM_LINE, start);
    }
    if (!polygon.curves.empty())
        polygons.push_back(std::move(polygon));
    return true;
}

bool FaceIsBold(FT_Face face)
{
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFFu)
        return os2->usWeightClass >= 600;
    return (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
}

// fontconfig's answer for a family, weight and slant, kept for the process.
bool FindFontFile(const GlyphFontSpec& spec, std::string& path, int& index)
{
    static std::mutex mutex;
    static std::map<std::tuple<std::string, bool, bool>, std::pair<std::string, int>> cache;
    const bool bold = spec.weight >= 600;
    const auto key = std::make_tuple(spec.faceName, bold, spec.italic);
    std::lock_guard<std::mutex> lock(mutex);
    if (auto it = cache.find(key); it != cache.end()) {
        path = it->second.first;
        index = it->second.second;
        return !path.empty();
    }
    std::string foundPath;
    int foundIndex = 0;
    if (FcPattern* pattern = FcPatternCreate()) {
        if (!spec.faceName.empty())
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(spec.faceName.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, spec.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
            FcChar8* file = nullptr;
            FcBool outline = FcFalse;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr
                && FcPatternGetBool(match, FC_OUTLINE, 0, &outline) == FcResultMatch && outline) {
                foundPath = reinterpret_cast<const char*>(file);
                if (FcPatternGetInteger(match, FC_INDEX, 0, &foundIndex) != FcResultMatch)
                    foundIndex = 0;
            }
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    cache[key] = {foundPath, foundIndex};
    path = foundPath;
    index = foundIndex;
    return !path.empty();
}

} // namespace

bool OutlineToPolygons(const RawOutline& outline, std::vector<TTPOLYGON>& polygons)
{
    polygons.clear();
    const std::size_t n = outline.x.size();
    if (outline.y.size() != n || outline.tags.size() != n)
        return false;
    std::size_t first = 0;
    for (std::int32_t end : outline.contourEnds) {
        if (end < 0 || static_cast<std::size_t>(end) >= n || static_cast<std::size_t>(end) + 1 < first) {
            polygons.clear();
            return false;
        }
        if (static_cast<std::size_t>(end) >= first
            && !AddContour(outline, first, static_cast<std::size_t>(end), polygons)) {
            polygons.clear();
            return false;
        }
        first = static_cast<std::size_t>(end) + 1;
    }
    return true;
}

char32_t CodePageCharToUnicode(std::uint32_t code)
{
    if (code > 0xFFFFu)
        return U'\uFFFD';
    std::string bytes;
    if (code > 0xFFu)
        bytes += static_cast<char>(code >> 8);
    bytes += static_cast<char>(code & 0xFFu);
    const std::u16string wide = CodePageToWide(bytes);
    if (wide.size() == 1 && (wide[0] < 0xD800 || wide[0] >= 0xE000))
        return wide[0];
    if (wide.size() == 2 && wide[0] >= 0xD800 && wide[0] < 0xDC00 && wide[1] >= 0xDC00 && wide[1] < 0xE000)
        return 0x10000 + ((static_cast<char32_t>(wide[0]) - 0xD800) << 10) + (wide[1] - 0xDC00);
    return U'\uFFFD';
}

struct GlyphFont::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::string path;
    std::int32_t em = 0;
    bool syntheticBold = false;
    bool syntheticItalic = false;

    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl()
    {
        if (face != nullptr)
            FT_Done_Face(face);
        if (library != nullptr)
            FT_Done_FreeType(library);
    }

    FT_UInt CharIndex(char32_t code) const
    {
        FT_UInt index = FT_Get_Char_Index(face, code);
        // Symbol fonts keep their glyphs at U+F020..U+F0FF.
        if (index == 0 && code < 0x100 && face->charmap != nullptr && face->charmap->encoding == FT_ENCODING_MS_SYMBOL)
            index = FT_Get_Char_Index(face, 0xF000u | code);
        return index;
    }
};

GlyphFont::GlyphFont() = default;
GlyphFont::~GlyphFont() = default;
GlyphFont::GlyphFont(GlyphFont&& other) noexcept = default;
GlyphFont& GlyphFont::operator=(GlyphFont&& other) noexcept = default;

bool GlyphFont::Create(const GlyphFontSpec& spec)
{
    m_impl.reset();
    std::string path;
    int index = 0;
    if (spec.height == 0 || !FindFontFile(spec, path, index))
        return false;
    return Open(path, index, spec);
}

bool GlyphFont::CreateFromFile(const std::string& path, const GlyphFontSpec& spec)
{
    return Open(path, 0, spec);
}

bool GlyphFont::Open(const std::string& path, int index, const GlyphFontSpec& spec)
{
    m_impl.reset();
    const std::int64_t em = spec.height < 0 ? -static_cast<std::int64_t>(spec.height) : spec.height;
    if (em == 0 || em > kMaxPixelSize)
        return false;
    auto impl = std::make_unique<Impl>();
    if (FT_Init_FreeType(&impl->library) != 0) {
        impl->library = nullptr;
        return false;
    }
    if (FT_New_Face(impl->library, path.c_str(), index, &impl->face) != 0) {
        impl->face = nullptr;
        return false;
    }
    if (!FT_IS_SCALABLE(impl->face))
        return false;
    if (FT_Select_Charmap(impl->face, FT_ENCODING_UNICODE) != 0)
        FT_Select_Charmap(impl->face, FT_ENCODING_MS_SYMBOL);
    if (FT_Set_Pixel_Sizes(impl->face, 0, static_cast<FT_UInt>(em)) != 0)
        return false;
    impl->path = path;
    impl->em = static_cast<std::int32_t>(em);
    impl->syntheticBold = spec.weight >= 600 && !FaceIsBold(impl->face);
    impl->syntheticItalic = spec.italic && (impl->face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
    m_impl = std::move(impl);
    return true;
}

bool GlyphFont::IsValid() const { return m_impl != nullptr; }
std::string GlyphFont::FilePath() const { return m_impl ? m_impl->path : std::string(); }
bool GlyphFont::SyntheticBold() const { return m_impl && m_impl->syntheticBold; }
bool GlyphFont::SyntheticItalic() const { return m_impl && m_impl->syntheticItalic; }

bool GlyphFont::HasGlyph(char32_t code) const
{
    return m_impl && m_impl->CharIndex(code) != 0;
}

bool GlyphFont::GetGlyphOutline(char32_t code, GLYPHMETRICS& metrics, std::vector<TTPOLYGON>* outline) const
{
    if (!m_impl)
        return false;
    FT_Face face = m_impl->face;
    if (FT_Load_Glyph(face, m_impl->CharIndex(code), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
        return false;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE)
        return false;
    FT_Outline& source = slot->outline;

    // The unrounded advance, 16.16 to 26.6.
    std::int64_t advance = slot->linearHoriAdvance / 1024;
    if (m_impl->syntheticBold) {
        const FT_Pos strength = static_cast<FT_Pos>(m_impl->em) * 64 / kEmboldenDivisor;
        FT_Outline_EmboldenXY(&source, strength, strength);
        advance += strength;
    }
    if (m_impl->syntheticItalic) {
        FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
        FT_Outline_Transform(&source, &shear);
    }

    RawOutline raw;
    const std::size_t n = source.n_points > 0 ? static_cast<std::size_t>(source.n_points) : 0;
    raw.x.reserve(n);
    raw.y.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        raw.x.push_back(static_cast<std::int32_t>(source.points[i].x));
        raw.y.push_back(static_cast<std::int32_t>(source.points[i].y));
        raw.tags.push_back(static_cast<std::uint8_t>(source.tags[i]));
    }
    for (int c = 0; c < source.n_contours; ++c)
        raw.contourEnds.push_back(source.contours[c]);
    std::vector<TTPOLYGON> polygons;
    if (!OutlineToPolygons(raw, polygons))
        return false;

    const std::int64_t cellInc = (advance + 32) >> 6;
    if (cellInc < INT16_MIN || cellInc > INT16_MAX)
        return false;
    GLYPHMETRICS m;
    m.gmCellIncX = static_cast<std::int16_t>(cellInc);
    m.gmCellIncY = 0;
    if (polygons.empty()) {
        m.gmBlackBoxX = 1;
        m.gmBlackBoxY = 1;
    } else {
        FT_BBox box;
        FT_Outline_Get_BBox(&source, &box);
        const std::int64_t left = static_cast<std::int64_t>(box.xMin) >> 6;
        const std::int64_t bottom = static_cast<std::int64_t>(box.yMin) >> 6;
        const std::int64_t right = (static_cast<std::int64_t>(box.xMax) + 63) >> 6;
        const std::int64_t top = (static_cast<std::int64_t>(box.yMax) + 63) >> 6;
        m.gmBlackBoxX = static_cast<std::uint32_t>(right > left ? right - left : 1);
        m.gmBlackBoxY = static_cast<std::uint32_t>(top > bottom ? top - bottom : 1);
        m.gmptGlyphOrigin = POINT{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top)};
    }
    metrics = m;
    if (outline != nullptr)
        *outline = std::move(polygons);
    return true;
}

bool GlyphFont::GetGlyphOutlineA(std::uint32_t code, GLYPHMETRICS& metrics, std::vector<TTPOLYGON>* outline) const
{
    return GetGlyphOutline(CodePageCharToUnicode(code), metrics, outline);
}

} // namespace plat
