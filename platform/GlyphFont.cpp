#include "GlyphFont.h"

#include "CodePage.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <bitset>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_map>

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

// Families whose font file is remembered, and faces kept open for reuse.
constexpr std::size_t kMaxFontAnswers = 256;
constexpr std::size_t kMaxIdleFaces = GlyphFont::kMaxCachedFaces;
// Characters whose stand-in face a font remembers.
constexpr std::size_t kMaxRememberedChars = 65536;

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

// The points of an outline as a test gives them, or as FreeType does.
struct RawSource {
    const RawOutline& o;
    std::size_t PointCount() const { return o.x.size(); }
    std::size_t ContourCount() const { return o.contourEnds.size(); }
    std::int64_t ContourEnd(std::size_t c) const { return o.contourEnds[c]; }
    Vec Point(std::size_t i) const { return Vec{o.x[i], o.y[i]}; }
    std::uint8_t Tag(std::size_t i) const { return o.tags[i]; }
};

struct FreeTypeSource {
    const FT_Outline& o;
    std::size_t PointCount() const { return o.n_points > 0 ? static_cast<std::size_t>(o.n_points) : 0; }
    std::size_t ContourCount() const { return o.n_contours > 0 ? static_cast<std::size_t>(o.n_contours) : 0; }
    std::int64_t ContourEnd(std::size_t c) const { return o.contours[c]; }
    Vec Point(std::size_t i) const { return Vec{o.points[i].x, o.points[i].y}; }
    std::uint8_t Tag(std::size_t i) const { return static_cast<std::uint8_t>(o.tags[i]); }
};

// The flat outline while it is filled: room for every point made ready
// first, `count` of it used.
struct FlatWriter {
    FlatOutline& flat;
    std::size_t count = 0;
    void Add(const Vec& v, FlatOutline::Kind kind)
    {
        flat.points[count] = ToPointFx(v);
        flat.kinds[count] = kind;
        ++count;
    }
};

// Appends one contour as a polygon: its start point on the curve, then its
// points in record order, closing on the start point. False for a malformed
// contour; the flat outline then holds a part of it.
template <class Source>
bool AddFlatContour(const Source& o, std::size_t first, std::size_t last, FlatWriter& flat)
{
    if (last <= first)
        return true; // a lone point draws nothing

    // The polygon starts on a point on the curve; a contour made of
    // quadratic controls only starts between its last and first point.
    Vec start;
    std::size_t from = first;
    std::size_t to = last;
    const PointKind firstKind = KindOf(o.Tag(first));
    const PointKind lastKind = KindOf(o.Tag(last));
    if (firstKind == PointKind::On) {
        start = o.Point(first);
        from = first + 1;
    } else if (firstKind == PointKind::Cubic) {
        return false;
    } else if (lastKind == PointKind::On) {
        start = o.Point(last);
        to = last - 1;
    } else if (lastKind == PointKind::Cubic) {
        return false;
    } else {
        const Vec a = o.Point(first);
        const Vec b = o.Point(last);
        start = Vec{(a.x + b.x) / 2, (a.y + b.y) / 2};
    }
    if (!InRange(start))
        return false;

    const std::size_t begin = flat.count;
    flat.Add(start, FlatOutline::On);
    Vec lastEnd = start;
    std::size_t pending = 0;
    PointKind pendingKind = PointKind::On;
    // Two cubic controls or any run of quadratic ones before a point on the
    // curve make a segment; a cubic control alone does not.
    auto finishAt = [&](const Vec& end) {
        if (pendingKind == PointKind::Cubic && pending != 0 && pending != 2)
            return false;
        flat.Add(end, FlatOutline::On);
        pending = 0;
        pendingKind = PointKind::On;
        lastEnd = end;
        return true;
    };
    for (std::size_t i = from; i <= to; ++i) {
        const Vec p = o.Point(i);
        if (!InRange(p))
            return false;
        const PointKind kind = KindOf(o.Tag(i));
        if (kind == PointKind::On) {
            if (!finishAt(p))
                return false;
            continue;
        }
        if (pending != 0 && pendingKind != kind)
            return false;
        if (kind == PointKind::Cubic && pending == 2)
            return false;
        flat.Add(p, kind == PointKind::Cubic ? FlatOutline::CubicControl : FlatOutline::QuadControl);
        ++pending;
        pendingKind = kind;
    }
    // Close on the start point.
    if (pending != 0) {
        if (!finishAt(start))
            return false;
    } else if (!(lastEnd == start)) {
        flat.Add(start, FlatOutline::On);
    }
    if (flat.count == begin + 1)
        flat.count = begin; // nothing but the start point: no polygon
    else
        flat.flat.ends.push_back(static_cast<std::uint32_t>(flat.count));
    return true;
}

template <class Source>
bool ToFlat(const Source& o, FlatOutline& flat)
{
    const std::size_t n = o.PointCount();
    // A contour gains at most its start and closing points.
    const std::size_t room = n + 2 * o.ContourCount();
    if (flat.points.size() < room) {
        flat.points.resize(room);
        flat.kinds.resize(room);
    }
    flat.ends.clear();
    FlatWriter writer{flat};
    std::size_t first = 0;
    bool ok = true;
    for (std::size_t c = 0; ok && c < o.ContourCount(); ++c) {
        const std::int64_t end = o.ContourEnd(c);
        ok = end >= 0 && static_cast<std::size_t>(end) < n && static_cast<std::size_t>(end) + 1 >= first;
        if (ok && static_cast<std::size_t>(end) >= first)
            ok = AddFlatContour(o, first, static_cast<std::size_t>(end), writer);
        first = static_cast<std::size_t>(end) + 1;
    }
    if (!ok)
        flat.ends.clear();
    return ok;
}

// The records of a flat outline: straight and cubic records run on; a
// quadratic record ends at each point on the curve, since one record implies
// midpoints between its control points.
void FlatToPolygons(const FlatOutline& flat, std::vector<TTPOLYGON>& polygons)
{
    polygons.clear();
    std::size_t begin = 0;
    for (std::uint32_t end : flat.ends) {
        TTPOLYGON polygon;
        polygon.pfxStart = flat.points[begin];
        std::size_t controls = begin + 1;
        for (std::size_t i = begin + 1; i < end; ++i) {
            if (flat.kinds[i] != FlatOutline::On)
                continue;
            std::uint16_t type = TT_PRIM_LINE;
            if (i > controls)
                type = flat.kinds[controls] == FlatOutline::CubicControl ? TT_PRIM_CSPLINE : TT_PRIM_QSPLINE;
            const bool extend = !polygon.curves.empty() && polygon.curves.back().wType == type && type != TT_PRIM_QSPLINE;
            if (!extend)
                polygon.curves.push_back(TTPOLYCURVE{type, {}});
            auto& points = polygon.curves.back().apfx;
            points.insert(points.end(), flat.points.begin() + static_cast<std::ptrdiff_t>(controls),
                flat.points.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            controls = i + 1;
        }
        polygons.push_back(std::move(polygon));
        begin = end;
    }
}

bool FaceIsBold(FT_Face face)
{
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFFu)
        return os2->usWeightClass >= 600;
    return (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
}

// A pattern asking fontconfig for an outline face of the family (any family
// when empty) in the weight and slant, with the configuration's
// substitutions; null when none can be made. The caller destroys it.
FcPattern* OutlinePattern(const std::string& family, bool bold, bool italic)
{
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr)
        return nullptr;
    if (!family.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

// fontconfig's answer for a family, weight and slant, kept for the process;
// a drawing naming ever new families starts the list afresh when it is full.
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
    FaceMatch match;
    if (!MatchOutlineFace(spec.faceName, bold, spec.italic, match))
        match = FaceMatch();
    if (cache.size() >= kMaxFontAnswers)
        cache.clear();
    cache[key] = {match.path, match.index};
    path = match.path;
    index = match.index;
    return !path.empty();
}

// One opened face with a FreeType instance of its own, so that faces used
// by different threads share nothing.
struct OpenFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::string path;
    int index = 0;
    FT_UInt em = 0; // pixel size set last; 0 before the first
    // Single-byte codes converted for fonts of this face, in the code page
    // in force when the last font was made: texts repeat them. A single byte
    // is one character of the basic plane, or none (U+FFFD).
    std::string codePage;
    std::bitset<256> known;
    std::array<char16_t, 256> singles{};
    // The last glyph read flat; its storage serves the next.
    FlatOutline flat;

    OpenFace() = default;
    void UseCodePage(const std::string& name)
    {
        if (name != codePage) {
            codePage = name;
            known.reset();
        }
    }
    char32_t FromCodePage(std::uint32_t code)
    {
        if (code > 0xFFu)
            return CodePageCharToUnicode(code);
        if (!known[code]) {
            const char32_t c = CodePageCharToUnicode(code);
            singles[code] = c <= 0xFFFFu ? static_cast<char16_t>(c) : u'\uFFFD';
            known[code] = true;
        }
        return singles[code];
    }

    OpenFace(const OpenFace&) = delete;
    OpenFace& operator=(const OpenFace&) = delete;
    ~OpenFace()
    {
        if (face != nullptr)
            FT_Done_Face(face);
        if (library != nullptr)
            FT_Done_FreeType(library);
    }
};

// Whether the face cache below still exists: a plain flag, valid also after
// the cache is destroyed when the program ends or the library unloads.
bool g_faceCacheAlive = false;

// Faces kept open across fonts: opening the file and setting up FreeType is
// what a short text would otherwise spend most of its time on. A font takes
// a face out for its own use (one face serves one font, at that font's size)
// and gives it back when it is done; at most kMaxIdleFaces wait, the least
// recently given back going first. Everything left is closed with the cache.
class FaceCache {
public:
    FaceCache() { g_faceCacheAlive = true; }
    ~FaceCache() { g_faceCacheAlive = false; }
    FaceCache(const FaceCache&) = delete;
    FaceCache& operator=(const FaceCache&) = delete;

    static FaceCache& Instance()
    {
        static FaceCache cache;
        return cache;
    }

    // A face of the file, from the cache or newly opened; null when the file
    // cannot be opened as a face.
    std::unique_ptr<OpenFace> Take(const std::string& path, int index)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (auto it = m_idle.rbegin(); it != m_idle.rend(); ++it)
                if ((*it)->index == index && (*it)->path == path) {
                    std::unique_ptr<OpenFace> face = std::move(*it);
                    m_idle.erase(std::next(it).base());
                    return face;
                }
        }
        auto face = std::make_unique<OpenFace>();
        if (FT_Init_FreeType(&face->library) != 0) {
            face->library = nullptr;
            return nullptr;
        }
        if (FT_New_Face(face->library, path.c_str(), index, &face->face) != 0) {
            face->face = nullptr;
            return nullptr;
        }
        face->path = path;
        face->index = index;
        return face;
    }

    void Give(std::unique_ptr<OpenFace> face)
    {
        std::unique_ptr<OpenFace> dropped;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_idle.push_back(std::move(face));
        if (m_idle.size() > kMaxIdleFaces) {
            dropped = std::move(m_idle.front());
            m_idle.erase(m_idle.begin());
        }
    }

    std::size_t IdleCount()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_idle.size();
    }

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<OpenFace>> m_idle; // least recently given back first
};

// Installed faces that stand in for the characters a face lacks: fontconfig's
// list of outline faces sorted by closeness to the face's family and style
// (each kept only when it adds characters to those before it), asked once
// per family and style. The faces that have characters of a range of 256
// are found once per range, so a character costs no fontconfig query.
class FallbackFaces {
public:
    FallbackFaces(const std::string& family, bool bold, bool italic)
    {
        FcPattern* pattern = OutlinePattern(family, bold, italic);
        if (pattern == nullptr)
            return;
        FcResult result = FcResultNoMatch;
        m_set = FcFontSort(nullptr, pattern, FcTrue, &m_all, &result);
        FcPatternDestroy(pattern);
    }
    ~FallbackFaces()
    {
        if (m_set != nullptr)
            FcFontSetDestroy(m_set);
        if (m_all != nullptr)
            FcCharSetDestroy(m_all);
    }
    FallbackFaces(const FallbackFaces&) = delete;
    FallbackFaces& operator=(const FallbackFaces&) = delete;

    // File and index of the first face of the list that has the character;
    // false when none has it.
    bool Find(char32_t code, std::string& path, int& index)
    {
        if (m_set == nullptr || m_all == nullptr || !FcCharSetHasChar(m_all, code))
            return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        const std::uint32_t block = code >> 8;
        auto it = m_blocks.find(block);
        if (it == m_blocks.end())
            it = m_blocks.emplace(block, FacesOfBlock(block)).first;
        for (int i : it->second) {
            FcCharSet* chars = nullptr;
            FcChar8* file = nullptr;
            if (FcPatternGetCharSet(m_set->fonts[i], FC_CHARSET, 0, &chars) != FcResultMatch || !FcCharSetHasChar(chars, code)
                || FcPatternGetString(m_set->fonts[i], FC_FILE, 0, &file) != FcResultMatch || file == nullptr)
                continue;
            path = reinterpret_cast<const char*>(file);
            if (FcPatternGetInteger(m_set->fonts[i], FC_INDEX, 0, &index) != FcResultMatch)
                index = 0;
            return true;
        }
        return false;
    }

private:
    // The outline faces with any character of the range, in list order.
    std::vector<int> FacesOfBlock(std::uint32_t block) const
    {
        std::vector<int> faces;
        for (int i = 0; i < m_set->nfont; ++i) {
            FcCharSet* chars = nullptr;
            FcBool outline = FcFalse;
            if (FcPatternGetBool(m_set->fonts[i], FC_OUTLINE, 0, &outline) != FcResultMatch || !outline
                || FcPatternGetCharSet(m_set->fonts[i], FC_CHARSET, 0, &chars) != FcResultMatch)
                continue;
            for (std::uint32_t c = block << 8; c < (block + 1) << 8; ++c)
                if (FcCharSetHasChar(chars, c)) {
                    faces.push_back(i);
                    break;
                }
        }
        return faces;
    }

    std::mutex m_mutex;
    FcFontSet* m_set = nullptr;
    FcCharSet* m_all = nullptr; // every character of the list
    std::unordered_map<std::uint32_t, std::vector<int>> m_blocks;
};

// The stand-in lists per family and style, shared by every font of the
// process; a process naming ever new families starts afresh when full.
std::shared_ptr<FallbackFaces> FallbacksFor(const std::string& family, bool bold, bool italic)
{
    static std::mutex mutex;
    static std::map<std::tuple<std::string, bool, bool>, std::shared_ptr<FallbackFaces>> lists;
    const auto key = std::make_tuple(family, bold, italic);
    std::lock_guard<std::mutex> lock(mutex);
    if (auto it = lists.find(key); it != lists.end())
        return it->second;
    if (lists.size() >= kMaxFontAnswers)
        lists.clear();
    auto list = std::make_shared<FallbackFaces>(family, bold, italic);
    lists.emplace(key, list);
    return list;
}

} // namespace

bool OutlineToPolygons(const RawOutline& outline, std::vector<TTPOLYGON>& polygons)
{
    polygons.clear();
    const std::size_t n = outline.x.size();
    if (outline.y.size() != n || outline.tags.size() != n)
        return false;
    FlatOutline flat;
    if (!ToFlat(RawSource{outline}, flat))
        return false;
    FlatToPolygons(flat, polygons);
    return true;
}

bool MatchOutlineFace(const std::string& family, bool bold, bool italic, FaceMatch& found)
{
    FcPattern* pattern = OutlinePattern(family, bold, italic);
    if (pattern == nullptr)
        return false;
    bool ok = false;
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
        FcChar8* file = nullptr;
        FcBool outline = FcFalse;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr
            && FcPatternGetBool(match, FC_OUTLINE, 0, &outline) == FcResultMatch && outline) {
            ok = true;
            found.path = reinterpret_cast<const char*>(file);
            if (FcPatternGetInteger(match, FC_INDEX, 0, &found.index) != FcResultMatch)
                found.index = 0;
            found.families.clear();
            FcChar8* name = nullptr;
            for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
                if (name != nullptr)
                    found.families.emplace_back(reinterpret_cast<const char*>(name));
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return ok;
}

namespace {

char32_t ConvertCodePageChar(std::uint32_t code)
{
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

} // namespace

char32_t CodePageCharToUnicode(std::uint32_t code)
{
    if (code > 0xFFFFu)
        return U'\uFFFD';
    // Each code is converted once per code page: a conversion opens the
    // converter, which costs more than a glyph. At most 65536 codes.
    static std::mutex mutex;
    static std::string known;
    static std::unordered_map<std::uint32_t, char32_t> chars;
    const std::string name = CodePageName();
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (name != known) {
            chars.clear();
            known = name;
        }
        if (auto it = chars.find(code); it != chars.end())
            return it->second;
    }
    const char32_t c = ConvertCodePageChar(code);
    std::lock_guard<std::mutex> lock(mutex);
    if (name == known)
        chars.emplace(code, c);
    return c;
}

struct GlyphFont::Impl {
    std::unique_ptr<OpenFace> open;
    FT_Face face = nullptr;
    std::int32_t em = 0;
    bool syntheticBold = false;
    bool syntheticItalic = false;
    GlyphFontSpec spec;

    // Fonts of other faces for the characters this face lacks, and which
    // one each such character got (-1: none has it).
    struct Fallback {
        std::string path;
        int index = 0;
        std::unique_ptr<GlyphFont> font; // null when the face would not open
    };
    std::vector<Fallback> fallbacks;
    std::unordered_map<char32_t, int> fallbackOf;
    std::shared_ptr<FallbackFaces> faces;

    const GlyphFont* FallbackFor(char32_t code)
    {
        if (auto it = fallbackOf.find(code); it != fallbackOf.end())
            return it->second < 0 ? nullptr : fallbacks[static_cast<std::size_t>(it->second)].font.get();
        if (!faces)
            faces = FallbacksFor(face->family_name != nullptr ? face->family_name : spec.faceName, spec.weight >= 600,
                                 spec.italic);
        int found = -1;
        std::string path;
        int index = 0;
        if (faces->Find(code, path, index)) {
            auto same = std::find_if(fallbacks.begin(), fallbacks.end(),
                                     [&](const Fallback& f) { return f.index == index && f.path == path; });
            if (same == fallbacks.end()) {
                Fallback f{path, index, std::make_unique<GlyphFont>()};
                if (!f.font->Open(path, index, spec))
                    f.font.reset();
                fallbacks.push_back(std::move(f));
                same = fallbacks.end() - 1;
            }
            // fontconfig's list is of the files as they were when it was
            // read: the face itself has the last word.
            if (same->font && same->font->HasGlyph(code))
                found = static_cast<int>(same - fallbacks.begin());
        }
        if (fallbackOf.size() >= kMaxRememberedChars)
            fallbackOf.clear();
        fallbackOf.emplace(code, found);
        return found < 0 ? nullptr : fallbacks[static_cast<std::size_t>(found)].font.get();
    }

    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    // A face that opened well goes back for the next font.
    ~Impl()
    {
        if (open && face != nullptr && g_faceCacheAlive)
            FaceCache::Instance().Give(std::move(open));
    }

    char32_t FromCodePage(std::uint32_t code) { return open->FromCodePage(code); }

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
    impl->open = FaceCache::Instance().Take(path, index);
    // A face that is no use (not scalable, no size) is closed, not kept.
    if (!impl->open || !FT_IS_SCALABLE(impl->open->face))
        return false;
    // A face kept from an earlier font has its character map chosen and
    // perhaps the size already.
    OpenFace& open = *impl->open;
    if (open.em == 0 && FT_Select_Charmap(open.face, FT_ENCODING_UNICODE) != 0)
        FT_Select_Charmap(open.face, FT_ENCODING_MS_SYMBOL);
    if (open.em != static_cast<FT_UInt>(em)) {
        open.em = 0;
        if (FT_Set_Pixel_Sizes(open.face, 0, static_cast<FT_UInt>(em)) != 0)
            return false;
        open.em = static_cast<FT_UInt>(em);
    }
    open.UseCodePage(CodePageName());
    impl->face = impl->open->face;
    impl->em = static_cast<std::int32_t>(em);
    impl->syntheticBold = spec.weight >= 600 && !FaceIsBold(impl->face);
    impl->syntheticItalic = spec.italic && (impl->face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
    impl->spec = spec;
    impl->spec.height = static_cast<std::int32_t>(em);
    m_impl = std::move(impl);
    return true;
}

bool GlyphFont::SetHeight(std::int32_t height)
{
    const std::int64_t em = height < 0 ? -static_cast<std::int64_t>(height) : height;
    if (!m_impl)
        return false;
    if (em == 0 || em > kMaxPixelSize) {
        m_impl.reset();
        return false;
    }
    if (em != m_impl->em) {
        m_impl->open->em = 0;
        if (FT_Set_Pixel_Sizes(m_impl->face, 0, static_cast<FT_UInt>(em)) != 0) {
            m_impl.reset();
            return false;
        }
        m_impl->open->em = static_cast<FT_UInt>(em);
        m_impl->em = static_cast<std::int32_t>(em);
        m_impl->spec.height = static_cast<std::int32_t>(em);
        // Stand-in fonts are opened anew at the new size when asked for.
        m_impl->fallbacks.clear();
        m_impl->fallbackOf.clear();
    }
    return true;
}

std::size_t GlyphFont::CachedFaceCount()
{
    return g_faceCacheAlive ? FaceCache::Instance().IdleCount() : 0;
}

bool GlyphFont::IsValid() const { return m_impl != nullptr; }
std::string GlyphFont::FilePath() const { return m_impl ? m_impl->open->path : std::string(); }
bool GlyphFont::SyntheticBold() const { return m_impl && m_impl->syntheticBold; }
bool GlyphFont::SyntheticItalic() const { return m_impl && m_impl->syntheticItalic; }

bool GlyphFont::HasGlyph(char32_t code) const
{
    return m_impl && m_impl->CharIndex(code) != 0;
}

std::string GlyphFont::FamilyName() const
{
    return m_impl && m_impl->face->family_name != nullptr ? std::string(m_impl->face->family_name) : std::string();
}

const GlyphFont* GlyphFont::FontFor(char32_t code) const
{
    if (!m_impl)
        return nullptr;
    if (m_impl->CharIndex(code) != 0)
        return this;
    return m_impl->FallbackFor(code);
}

char32_t GlyphFont::FromCodePage(std::uint32_t code) const
{
    return m_impl ? m_impl->FromCodePage(code) : CodePageCharToUnicode(code);
}

bool GlyphFont::Load(char32_t code, GLYPHMETRICS& metrics, FlatOutline& flat, GlyphExtent* extent) const
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
    double exactAdvance = slot->linearHoriAdvance / 65536.0;
    if (m_impl->syntheticBold) {
        const FT_Pos strength = static_cast<FT_Pos>(m_impl->em) * 64 / kEmboldenDivisor;
        FT_Outline_EmboldenXY(&source, strength, strength);
        advance += strength;
        exactAdvance += strength / 64.0;
    }
    if (m_impl->syntheticItalic) {
        FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
        FT_Outline_Transform(&source, &shear);
    }
    if (!ToFlat(FreeTypeSource{source}, flat))
        return false;

    const std::int64_t cellInc = (advance + 32) >> 6;
    if (cellInc < INT16_MIN || cellInc > INT16_MAX)
        return false;
    GLYPHMETRICS m;
    m.gmCellIncX = static_cast<std::int16_t>(cellInc);
    m.gmCellIncY = 0;
    GlyphExtent e;
    e.cellIncX = exactAdvance;
    if (flat.ends.empty()) {
        m.gmBlackBoxX = 1;
        m.gmBlackBoxY = 1;
    } else {
        FT_BBox box;
        FT_Outline_Get_BBox(&source, &box);
        e.blackBoxX = static_cast<double>(box.xMax - box.xMin) / 64.0;
        e.blackBoxY = static_cast<double>(box.yMax - box.yMin) / 64.0;
        e.originX = static_cast<double>(box.xMin) / 64.0;
        e.originY = static_cast<double>(box.yMax) / 64.0;
        const std::int64_t left = static_cast<std::int64_t>(box.xMin) >> 6;
        const std::int64_t bottom = static_cast<std::int64_t>(box.yMin) >> 6;
        const std::int64_t right = (static_cast<std::int64_t>(box.xMax) + 63) >> 6;
        const std::int64_t top = (static_cast<std::int64_t>(box.yMax) + 63) >> 6;
        m.gmBlackBoxX = static_cast<std::uint32_t>(right > left ? right - left : 1);
        m.gmBlackBoxY = static_cast<std::uint32_t>(top > bottom ? top - bottom : 1);
        m.gmptGlyphOrigin = POINT{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top)};
    }
    metrics = m;
    if (extent != nullptr)
        *extent = e;
    return true;
}

bool GlyphFont::GetGlyphOutline(char32_t code, GLYPHMETRICS& metrics, std::vector<TTPOLYGON>* outline) const
{
    FlatOutline flat;
    if (!Load(code, metrics, flat))
        return false;
    if (outline != nullptr)
        FlatToPolygons(flat, *outline);
    return true;
}

bool GlyphFont::GetGlyphOutlineA(std::uint32_t code, GLYPHMETRICS& metrics, std::vector<TTPOLYGON>* outline) const
{
    return m_impl && GetGlyphOutline(m_impl->FromCodePage(code), metrics, outline);
}

const FlatOutline* GlyphFont::GetFlatOutline(char32_t code, GLYPHMETRICS& metrics, GlyphExtent* extent) const
{
    return m_impl && Load(code, metrics, m_impl->open->flat, extent) ? &m_impl->open->flat : nullptr;
}

const FlatOutline* GlyphFont::GetFlatOutlineA(std::uint32_t code, GLYPHMETRICS& metrics) const
{
    return m_impl && Load(m_impl->FromCodePage(code), metrics, m_impl->open->flat) ? &m_impl->open->flat : nullptr;
}

} // namespace plat
