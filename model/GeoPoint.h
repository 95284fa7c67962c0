// A point of the drawing in world units (0.1 mm; the machine origin lies at
// (500000, 500000)).
#pragma once
#include <cmath>
#include <cstdint>

// World frame and shared tolerances of the drawing model.
constexpr double kWorldOrigin = 500000.0;
constexpr double kWorldPerMm = 10.0;
constexpr double kGeoEqualTol = 1e-7;
constexpr double kSamePointTol = 0.001;
constexpr double kBoxSeedMin = 1e8;
constexpr double kBoxSeedMax = -1e8;

// The reach of the world: every coordinate of a drawing, imported or made by
// an edit, lies within +-1e9 world units (100 km) of zero, where the pixel,
// grid and plotter conversions keep their precision and their range.
constexpr double kWorldLimit = 1e9;
// True for a number within the world's reach (false for NaN and infinity).
constexpr bool InWorldRange(double v) { return v >= -kWorldLimit && v <= kWorldLimit; }

class CGeoPoint {
public:
    double m_x = 0.0;
    double m_y = 0.0;
    std::int64_t m_aux1 = 0;
    std::int64_t m_aux2 = 0;

    CGeoPoint() = default;
    CGeoPoint(double x, double y) : m_x(x), m_y(y) {}

    void Set(double x, double y, std::int64_t aux1 = 0, std::int64_t aux2 = 0)
    {
        m_x = x;
        m_y = y;
        m_aux1 = aux1;
        m_aux2 = aux2;
    }
    bool IsEqual(const CGeoPoint& o) const
    {
        return std::fabs(m_x - o.m_x) < kGeoEqualTol && std::fabs(m_y - o.m_y) < kGeoEqualTol;
    }
    bool IsDifferent(const CGeoPoint& o) const { return !IsEqual(o); }
    void Assign(const CGeoPoint& o)
    {
        m_x = o.m_x;
        m_y = o.m_y;
    }
    void Offset(const CGeoPoint& d)
    {
        m_x += d.m_x;
        m_y += d.m_y;
    }
    CGeoPoint Sum(const CGeoPoint& d) const { return CGeoPoint(m_x + d.m_x, m_y + d.m_y); }
};
