#include "TextChar.h"

#include "OutlineMath.h"

plat::RECT CTextChar::BoundingBox() const
{
    return BoundingRect(m_contours);
}

void CTextChar::Rotate(double cx, double cy, double angle)
{
    for (COutLine& contour : m_contours)
        for (CSuPoint& p : contour.m_points)
            RotatePoint(p, cx, cy, angle);
    DropNonFiniteContours(m_contours);
}
