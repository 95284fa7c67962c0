#include "TrueTypeFont.h"

#include "OutlineMath.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cmath>

namespace {

// Larger texts than this many pixels (working units) per em are refused.
constexpr double kMaxPixels = 1.0e8;

std::int32_t Scaled(std::int64_t v, std::int32_t factor)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v * factor, INT32_MIN, INT32_MAX));
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
    m_spec.faceName = plat::Utf16ToUtf8(plat::CodePageToWide(faceName));
    m_spec.weight = bold ? 700 : 400;
    m_spec.italic = italic;
    if (!Select(-pointPixels))
        return false;
    // The H measured is one the face has, with contours.
    std::int32_t hBox = 0;
    CharMetrics hMetrics;
    std::vector<plat::TTPOLYGON> hOutline;
    if (m_font.HasGlyph(U'H') && Fetch('H', hMetrics, &hOutline) && !hOutline.empty())
        hBox = hMetrics.blackBoxY;
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
    if (!m_font.Create(m_spec)) {
        m_logicalHeight = 0;
        return false;
    }
    return true;
}

bool CTrueTypeFont::Fetch(std::uint32_t code, CharMetrics& metrics, std::vector<plat::TTPOLYGON>* outline) const
{
    plat::GLYPHMETRICS gm;
    if (!m_font.GetGlyphOutlineA(code, gm, outline))
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
    return Fetch(code, metrics, nullptr);
}

bool CTrueTypeFont::AppendGlyph(std::uint32_t code, double penX, double penY, CTextChar& ch) const
{
    CharMetrics metrics;
    std::vector<plat::TTPOLYGON> polygons;
    if (!Fetch(code, metrics, &polygons))
        return false;
    const double f = m_factor;
    std::vector<CSuPoint> raw;
    auto add = [&](const plat::POINTFX& p, std::uint8_t kind) {
        CSuPoint s;
        s.m_x = penX + f * FixedToDouble(p.x);
        s.m_y = penY - f * FixedToDouble(p.y);
        s.m_kind = kind;
        raw.push_back(s);
    };
    for (const plat::TTPOLYGON& polygon : polygons) {
        if (polygon.dwType != plat::TT_POLYGON_TYPE)
            continue;
        raw.clear();
        add(polygon.pfxStart, kSuPointPlain);
        for (const plat::TTPOLYCURVE& curve : polygon.curves) {
            const std::size_t n = curve.apfx.size();
            for (std::size_t i = 0; i < n; ++i) {
                std::uint8_t kind = kSuPointPlain;
                if (curve.wType == plat::TT_PRIM_QSPLINE && i + 1 < n)
                    kind = kSuPointQuadControl;
                // Cubic records hold control, control, end per segment.
                else if (curve.wType == plat::TT_PRIM_CSPLINE && i % 3 != 2 && i + 1 < n)
                    kind = kSuPointCubicControl;
                add(curve.apfx[i], kind);
            }
        }
        if (raw.empty())
            continue;
        COutLine contour;
        contour.m_closed = 1;
        contour.m_points = ConvertRawContour(raw);
        ch.m_contours.push_back(std::move(contour));
    }
    // A pen far out (a hostile insertion point) puts points past the range.
    DropNonFiniteContours(ch.m_contours);
    ch.m_metrics = metrics;
    return true;
}
