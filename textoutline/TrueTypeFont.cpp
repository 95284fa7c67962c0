#include "TrueTypeFont.h"

#include "Notices.h"
#include "OutlineMath.h"
#include "platform/CodePage.h"
#include "platform/FontChoice.h"

#include <algorithm>
#include <cmath>
#include <compare>
#include <map>
#include <mutex>

namespace {

// Larger texts than this many working units per em are refused.
constexpr double kMaxEmUnits = 1.0e8;
// A face without a capital H is taken at the point size of the height:
// 160 tenths of a point per drawing unit, at 96 dots per inch.
constexpr double kPointPixelsPerUnit = 160.0 / 720.0 * 96.0;

// The face drawn for a face name (the default face when the named one
// cannot be opened) and its H's height at the fetch size, kept per face
// name and style: many texts of a drawing share them, and measuring costs
// a glyph. A full list starts afresh.
struct MeasureKey {
    std::string faceName;
    bool bold = false;
    bool italic = false;
    auto operator<=>(const MeasureKey&) const = default;
};

struct Measure {
    std::string face; // UTF-8
    bool replaced = false;
    double hBox = 0.0; // fetched pixels; 0 without an H
};

constexpr std::size_t kMaxMeasures = 256;
std::mutex g_measureMutex;
std::map<MeasureKey, Measure> g_measures;

bool FindMeasure(const MeasureKey& key, Measure& measure)
{
    std::lock_guard<std::mutex> lock(g_measureMutex);
    const auto it = g_measures.find(key);
    if (it == g_measures.end())
        return false;
    measure = it->second;
    return true;
}

void KeepMeasure(const MeasureKey& key, const Measure& measure)
{
    std::lock_guard<std::mutex> lock(g_measureMutex);
    if (g_measures.size() >= kMaxMeasures)
        g_measures.clear();
    g_measures[key] = measure;
}

} // namespace

bool CTrueTypeFont::SetUp(const std::string& faceName, double height, bool bold, bool italic)
{
    m_font = plat::GlyphFont();
    m_scale = 0.0;
    if (!std::isfinite(height) || height <= 0.0)
        return false;
    plat::GlyphFontSpec spec;
    spec.height = -kFetchPixels;
    spec.weight = bold ? 700 : 400;
    spec.italic = italic;
    const MeasureKey key{faceName, bold, italic};
    Measure measure;
    if (FindMeasure(key, measure)) {
        spec.faceName = measure.face;
        if (!m_font.Create(spec))
            return false;
    } else {
        measure.face = faceName;
        spec.faceName = faceName;
        if (!m_font.Create(spec)) {
            measure.face = plat::DefaultFace();
            measure.replaced = true;
            spec.faceName = measure.face;
            if (!m_font.Create(spec))
                return false;
        }
        // The H measured is one the face has, with contours.
        plat::GLYPHMETRICS gm;
        plat::GlyphExtent extent;
        const plat::FlatOutline* h = m_font.HasGlyph(U'H') ? m_font.GetFlatOutline(U'H', gm, &extent) : nullptr;
        if (h != nullptr && !h->ends.empty())
            measure.hBox = extent.blackBoxY;
        KeepMeasure(key, measure);
    }
    if (measure.replaced)
        NoteFontReplaced(faceName, measure.face);
    m_scale = measure.hBox > 0.0 ? height * 10.0 / measure.hBox : height * kPointPixelsPerUnit / kFetchPixels;
    if (!std::isfinite(m_scale) || !(m_scale > 0.0) || m_scale * kFetchPixels > kMaxEmUnits) {
        m_font = plat::GlyphFont();
        m_scale = 0.0;
        return false;
    }
    return true;
}

bool CTrueTypeFont::Fetch(std::uint32_t code, CharMetrics& metrics) const
{
    m_outline = nullptr;
    if (!m_font.IsValid())
        return false;
    const char32_t c = m_font.FromCodePage(code);
    // Control characters have no glyph in any face: nothing to draw or tell.
    if (c < 0x20 || c == 0x7F)
        return false;
    const plat::GlyphFont* font = m_font.FontFor(c);
    if (font == nullptr) {
        NoteCharMissing(c);
        return false;
    }
    plat::GLYPHMETRICS gm;
    plat::GlyphExtent e;
    m_outline = font->GetFlatOutline(c, gm, &e);
    if (m_outline == nullptr)
        return false;
    metrics.blackBoxX = e.blackBoxX * m_scale;
    metrics.blackBoxY = e.blackBoxY * m_scale;
    metrics.originX = e.originX * m_scale;
    metrics.originY = e.originY * m_scale;
    metrics.cellIncX = e.cellIncX * m_scale;
    metrics.cellIncY = 0.0;
    return true;
}

bool CTrueTypeFont::GetMetrics(std::uint32_t code, CharMetrics& metrics) const
{
    return Fetch(code, metrics);
}

bool CTrueTypeFont::AppendGlyph(std::uint32_t code, double penX, double penY, CTextChar& ch) const
{
    CharMetrics metrics;
    if (!Fetch(code, metrics))
        return false;
    // Each polygon is its start point and its records' points: straight
    // points plain, quadratic controls kind 4 and cubic controls kind 6 until
    // the conversion.
    struct Source {
        const plat::FlatOutline& flat;
        std::size_t begin;
        double penX;
        double penY;
        double f;
        std::uint8_t Kind(std::size_t i) const
        {
            static constexpr std::uint8_t kKinds[3] = {kSuPointPlain, kSuPointQuadControl, kSuPointCubicControl};
            return kKinds[flat.kinds[begin + i] % 3];
        }
        CSuPoint Point(std::size_t i) const
        {
            CSuPoint s;
            s.m_x = penX + f * FixedToDouble(flat.points[begin + i].x);
            s.m_y = penY - f * FixedToDouble(flat.points[begin + i].y);
            s.m_kind = Kind(i);
            return s;
        }
    };
    const plat::FlatOutline& flat = *m_outline;
    ch.m_contours.reserve(ch.m_contours.size() + flat.ends.size());
    std::size_t begin = 0;
    for (std::uint32_t end : flat.ends) {
        const std::size_t n = end - begin;
        const Source source{flat, begin, penX, penY, m_scale};
        COutLine contour;
        contour.m_closed = 1;
        // Sized once: a contour's points are allocated whole.
        contour.m_points.resize(ConvertedSize(source, n));
        contour.m_points.resize(ConvertRawContourOf(source, n, contour.m_points.data()));
        ch.m_contours.push_back(std::move(contour));
        begin = end;
    }
    // Glyph points lie less than 32768 fetched pixels (of fewer than 10^5
    // units each) from the pen: only a pen far out (a hostile insertion
    // point) can put them past the range.
    if (!(std::fabs(penX) < 1e300 && std::fabs(penY) < 1e300))
        DropNonFiniteContours(ch.m_contours);
    ch.m_metrics = metrics;
    return true;
}
