#include "TrueTypeFont.h"

#include "OutlineMath.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cmath>
#include <compare>
#include <map>
#include <mutex>

namespace {

// Larger texts than this many pixels (working units) per em are refused.
constexpr double kMaxPixels = 1.0e8;

std::int32_t Scaled(std::int64_t v, std::int32_t factor)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v * factor, INT32_MIN, INT32_MAX));
}

// The face name as the glyph outlines take it and the H measured at a point
// size, kept per code-page face name (and code page), style and size: many
// texts of a drawing share them, and measuring costs a glyph. A full list
// starts afresh.
struct MeasureKey {
    std::string codePage;
    std::string faceName;
    bool bold = false;
    bool italic = false;
    std::int32_t pointPixels = 0;
    auto operator<=>(const MeasureKey&) const = default;
};

constexpr std::size_t kMaxMeasures = 256;
std::mutex g_measureMutex;
std::map<MeasureKey, std::pair<std::string, std::int32_t>> g_measures;

bool FindMeasure(const MeasureKey& key, std::string& face, std::int32_t& hBox)
{
    std::lock_guard<std::mutex> lock(g_measureMutex);
    const auto it = g_measures.find(key);
    if (it == g_measures.end())
        return false;
    face = it->second.first;
    hBox = it->second.second;
    return true;
}

void KeepMeasure(const MeasureKey& key, const std::string& face, std::int32_t hBox)
{
    std::lock_guard<std::mutex> lock(g_measureMutex);
    if (g_measures.size() >= kMaxMeasures)
        g_measures.clear();
    g_measures[key] = {face, hBox};
}

} // namespace

std::int32_t PointFontPixels(double height)
{
    if (!std::isfinite(height) || height <= 0.0)
        return 0;
    const double tenths = NearestValue(height * 160.0);
    const double pixels = NearestValue(tenths * 96.0 / 720.0);
    if (pixels > kMaxPixels)
        return 0;
    return static_cast<std::int32_t>(pixels);
}

std::int32_t CalibratedFontHeight(std::int32_t logicalHeight, double height, std::int32_t hBlackBoxY)
{
    if (hBlackBoxY <= 0)
        return logicalHeight;
    const double v = NearestValue(logicalHeight * height * 10.0 / hBlackBoxY);
    if (!std::isfinite(v) || std::fabs(v) > kMaxPixels)
        return 0;
    return static_cast<std::int32_t>(v);
}

bool CTrueTypeFont::SetUp(const std::string& faceName, double height, bool bold, bool italic)
{
    m_font = plat::GlyphFont();
    m_logicalHeight = 0;
    // A zero height would be the platform's default size: nothing is drawn.
    const std::int32_t pointPixels = PointFontPixels(height);
    if (pointPixels == 0)
        return false;
    m_spec.weight = bold ? 700 : 400;
    m_spec.italic = italic;
    std::int32_t hBox = 0;
    const MeasureKey key{plat::CodePageName(), faceName, bold, italic, pointPixels};
    if (!FindMeasure(key, m_spec.faceName, hBox)) {
        m_spec.faceName = plat::Utf16ToUtf8(plat::CodePageToWide(faceName));
        if (!Select(-pointPixels))
            return false;
        // The H measured is one the face has, with contours.
        CharMetrics hMetrics;
        if (m_font.HasGlyph(U'H') && Fetch('H', hMetrics) && !m_outline->ends.empty())
            hBox = hMetrics.blackBoxY;
        KeepMeasure(key, m_spec.faceName, hBox);
    }
    const std::int32_t logicalHeight = CalibratedFontHeight(-pointPixels, height, hBox);
    if (logicalHeight == 0) {
        m_font = plat::GlyphFont();
        return false;
    }
    return Select(logicalHeight);
}

bool CTrueTypeFont::Select(std::int32_t logicalHeight)
{
    const std::int64_t em = std::abs(static_cast<std::int64_t>(logicalHeight));
    m_factor = static_cast<std::int32_t>((em + kMaxFetchPixels - 1) / kMaxFetchPixels);
    if (m_factor < 1)
        m_factor = 1;
    const std::int64_t fetchEm = (em + m_factor / 2) / m_factor;
    m_spec.height = -static_cast<std::int32_t>(fetchEm);
    m_logicalHeight = logicalHeight;
    // A face already found only changes its size.
    const bool selected = m_font.IsValid() ? m_font.SetHeight(m_spec.height) : m_font.Create(m_spec);
    if (!selected) {
        m_logicalHeight = 0;
        return false;
    }
    return true;
}

bool CTrueTypeFont::Fetch(std::uint32_t code, CharMetrics& metrics) const
{
    plat::GLYPHMETRICS gm;
    m_outline = m_font.GetFlatOutlineA(code, gm);
    if (m_outline == nullptr)
        return false;
    metrics.blackBoxX = Scaled(gm.gmBlackBoxX, m_factor);
    metrics.blackBoxY = Scaled(gm.gmBlackBoxY, m_factor);
    metrics.originX = Scaled(gm.gmptGlyphOrigin.x, m_factor);
    metrics.originY = Scaled(gm.gmptGlyphOrigin.y, m_factor);
    metrics.cellIncX = Scaled(gm.gmCellIncX, m_factor);
    metrics.cellIncY = Scaled(gm.gmCellIncY, m_factor);
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
        const Source source{flat, begin, penX, penY, static_cast<double>(m_factor)};
        COutLine contour;
        contour.m_closed = 1;
        // Sized once: a contour's points are allocated whole.
        contour.m_points.resize(ConvertedSize(source, n));
        contour.m_points.resize(ConvertRawContourOf(source, n, contour.m_points.data()));
        ch.m_contours.push_back(std::move(contour));
        begin = end;
    }
    // Glyph points lie less than 32768 fetched pixels (of fewer than 2^14
    // units each) from the pen: only a pen far out (a hostile insertion
    // point) can put them past the range.
    if (!(std::fabs(penX) < 1e300 && std::fabs(penY) < 1e300))
        DropNonFiniteContours(ch.m_contours);
    ch.m_metrics = metrics;
    return true;
}
