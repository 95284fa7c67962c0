#include "GeoBox.h"

#include <algorithm>
#include <cmath>

bool CGeoBox::IsDegenerate() const
{
    return m_xmin >= 0 && m_xmax >= 0 && m_ymin >= 0 && m_ymax >= 0 &&
           (std::fabs(Width()) < kGeoEqualTol || std::fabs(Height()) < kGeoEqualTol);
}

bool CGeoBox::HasSize(double w, double h) const
{
    return std::fabs(m_xmin + w - m_xmax) < kGeoEqualTol && std::fabs(m_ymin + h - m_ymax) < kGeoEqualTol;
}

void CGeoBox::SetFromPoints(const CGeoPoint& p, const CGeoPoint& q)
{
    *this = FromCoords(p.m_x, p.m_y, q.m_x, q.m_y);
}

CGeoBox CGeoBox::FromPoints(const CGeoPoint& p, const CGeoPoint& q)
{
    return FromCoords(p.m_x, p.m_y, q.m_x, q.m_y);
}

void CGeoBox::Normalize()
{
    if (m_xmin > m_xmax)
        std::swap(m_xmin, m_xmax);
    if (m_ymin > m_ymax)
        std::swap(m_ymin, m_ymax);
}

bool CGeoBox::Contains(double x, double y) const
{
    return m_xmin <= x && x <= m_xmax && m_ymin <= y && y <= m_ymax;
}

bool CGeoBox::IsInside(const CGeoBox& outer) const
{
    return m_xmin >= outer.m_xmin && m_xmax <= outer.m_xmax && m_ymin >= outer.m_ymin && m_ymax <= outer.m_ymax;
}

bool CGeoBox::Intersects(const CGeoBox& other, double margin) const
{
    return !(m_xmin > other.m_xmax + margin || other.m_xmin - margin > m_xmax || m_ymin > other.m_ymax + margin ||
             other.m_ymin - margin > m_ymax);
}

CGeoPoint CGeoBox::Center() const
{
    return CGeoPoint((m_xmin + m_xmax) * 0.5, (m_ymin + m_ymax) * 0.5);
}

void CGeoBox::AddPoint(const CGeoPoint& p)
{
    if (IsEmpty()) {
        m_xmin = m_xmax = p.m_x;
        m_ymin = m_ymax = p.m_y;
        return;
    }
    m_xmin = std::min(m_xmin, p.m_x);
    m_xmax = std::max(m_xmax, p.m_x);
    m_ymin = std::min(m_ymin, p.m_y);
    m_ymax = std::max(m_ymax, p.m_y);
}

bool CGeoBox::IsDifferent(const CGeoBox& o) const
{
    return std::fabs(m_xmin - o.m_xmin) >= kGeoEqualTol || std::fabs(m_xmax - o.m_xmax) >= kGeoEqualTol ||
           std::fabs(m_ymin - o.m_ymin) >= kGeoEqualTol || std::fabs(m_ymax - o.m_ymax) >= kGeoEqualTol;
}
