// An axis-aligned box in world units, bounds in the order x-min, x-max, y-min,
// y-max. The empty box has all four bounds at -1.0.
#pragma once
#include "GeoPoint.h"

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

    void SetEmpty();
    bool IsEmpty() const;
    bool IsDegenerate() const;
    bool HasSize(double w, double h) const;
    void SetFromPoints(const CGeoPoint& p, const CGeoPoint& q);
    static CGeoBox FromPoints(const CGeoPoint& p, const CGeoPoint& q);
    static CGeoBox FromCoords(double x0, double y0, double x1, double y1);
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
    void Union(const CGeoBox& other);
    void AddPoint(const CGeoPoint& p);
    bool IsDifferent(const CGeoBox& other) const;
    void Copy(const CGeoBox& other) { *this = other; }
};
