#include "ShapeText.h"

#include "OutlineMath.h"

#include <algorithm>
#include <cmath>

namespace {

double LeftEdge(const CTextChar& ch, double fallback)
{
    bool any = false;
    double left = fallback;
    for (const COutLine& c : ch.m_contours)
        for (const CSuPoint& p : c.m_points) {
            left = any ? std::min(left, p.m_x) : p.m_x;
            any = true;
        }
    return left;
}

} // namespace

bool LoadShxFont(const std::string& fileName, CShapeReader& reader)
{
    const std::string path = ShxFontPath(fileName);
    return !path.empty() && reader.LoadFont(path) == 0;
}

bool DrawShapeChar(CShapeReader& reader, std::uint32_t code, double penX, double penY, double scale, CTextChar& ch)
{
    const int index = reader.FindCode(code);
    if (index < 0 || reader.Execute(code, index) != 0)
        return false;
    ch.m_contours = reader.ToContours(penX, penY);
    const double left = LeftEdge(ch, penX);
    for (COutLine& c : ch.m_contours)
        for (CSuPoint& p : c.m_points) {
            p.m_x = left + (p.m_x - left) * scale;
            p.m_y = penY + (p.m_y - penY) * scale;
        }
    DropNonFiniteContours(ch.m_contours);
    ch.m_rcBox = ch.BoundingBox();
    return true;
}

void StretchCharX(CTextChar& ch, double factor)
{
    const double left = LeftEdge(ch, 0.0);
    for (COutLine& c : ch.m_contours)
        for (CSuPoint& p : c.m_points)
            p.m_x = left + (p.m_x - left) * factor;
    DropNonFiniteContours(ch.m_contours);
    ch.m_rcBox = ch.BoundingBox();
}

double BoxWidth(const CTextChar& ch)
{
    return static_cast<double>(ch.m_rcBox.right) - ch.m_rcBox.left;
}

bool CShapeStandIn::Draw(std::uint32_t code, double height, double widthFactor, double penX, double penY,
                         CTextChar& ch, double& advance)
{
    if (!(height > 0.0) || !std::isfinite(height))
        return false;
    if (height != m_height) {
        m_height = height;
        m_font.SetUp(plat::DefaultFace(), height);
    }
    if (!m_font.IsValid() || !m_font.AppendGlyph(code, penX, penY, ch))
        return false;
    if (!DoublesEqual(widthFactor, 1.0) && !ch.m_contours.empty())
        StretchCharX(ch, widthFactor);
    ch.m_rcBox = ch.BoundingBox();
    advance = ch.m_metrics.cellIncX * widthFactor;
    return true;
}
