// An axis-aligned box in world units, bounds in the order x-min, x-max, y-min,
// y-max. The empty box has all four bounds at -1.0.
#pragma once
#include "GeoPoint.h"

#include <algorithm>
#include <cmath>

class CGeoBox {
public:
    double m_xmin = -1.0;
    double m_xmax = -1.0;
    double m_ymin = -1.0;
    double m_ymax = -1.0;

    CGeoBox() = default;
    CGeoBox(double xmin, double xmax, double ymin, double ymax)
        : m_xmin(xmin), m_xmax(xmax), m_ymin(ymin), m_ymax(ymax)
    {
    }

    // Called once or more per object on every pass over a drawing: inline.
    void SetEmpty() { m_xmin = m_xmax = m_ymin = m_ymax = -1.0; }
    bool IsEmpty() const
    {
        return std::fabs(m_xmin - m_xmax) < kGeoEqualTol && std::fabs(m_ymin - m_ymax) < kGeoEqualTol &&
               m_xmin < 0 && m_xmax < 0 && m_ymin < 0 && m_ymax < 0;
    }
    bool IsDegenerate() const;
    bool HasSize(double w, double h) const;
    void SetFromPoints(const CGeoPoint& p, const CGeoPoint& q);
    static CGeoBox FromPoints(const CGeoPoint& p, const CGeoPoint& q);
    static CGeoBox FromCoords(double x0, double y0, double x1, double y1)
    {
        return CGeoBox(std::min(x0, x1), std::max(x0, x1), std::min(y0, y1), std::max(y0, y1));
    }
    void Normalize();
    bool Contains(double x, double y) const;
    bool ContainsPointObj(const CGeoPoint& p) const { return Contains(p.m_x, p.m_y); }
    bool IsInside(const CGeoBox& outer) const;
    bool Intersects(const CGeoBox& other, double margin) const;
    double Width() const { return m_xmax - m_xmin; }
    double Height() const { return m_ymax - m_ymin; }
    CGeoPoint Center() const;
    CGeoPoint BottomLeft() const { return CGeoPoint(m_xmin, m_ymin); }
    CGeoPoint TopRight() const { return CGeoPoint(m_xmax, m_ymax); }
    // A union with the empty box takes the other box whole, on either side.
    void Union(const CGeoBox& other)
    {
        if (other.IsEmpty())
            return;
        if (IsEmpty()) {
            *this = other;
            return;
        }
        m_xmin = std::min(m_xmin, other.m_xmin);
        m_xmax = std::max(m_xmax, other.m_xmax);
        m_ymin = std::min(m_ymin, other.m_ymin);
        m_ymax = std::max(m_ymax, other.m_ymax);
    }
    void AddPoint(const CGeoPoint& p);
    bool IsDifferent(const CGeoBox& other) const;
    // Every bound within the world's reach (InWorldRange).
    bool InWorldRange() const
    {
        return ::InWorldRange(m_xmin) && ::InWorldRange(m_xmax) && ::InWorldRange(m_ymin) && ::InWorldRange(m_ymax);
    }
    void Copy(const CGeoBox& other) { *this = other; }
};
