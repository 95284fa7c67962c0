#include "model/GeoBox.h"

#include <gtest/gtest.h>

TEST(GeoPoint, EqualityToleranceIsStrict)
{
    const CGeoPoint a(500000.0, 500000.0);
    EXPECT_TRUE(a.IsEqual(CGeoPoint(500000.0 + 5e-8, 500000.0)));
    EXPECT_FALSE(CGeoPoint(0.0, 0.0).IsEqual(CGeoPoint(1e-7, 0.0)));
    EXPECT_TRUE(CGeoPoint(0.0, 0.0).IsDifferent(CGeoPoint(0.0, 2e-7)));
    const CGeoPoint s = a.Sum(CGeoPoint(1.5, -2.0));
    EXPECT_EQ(s.m_x, 500001.5);
    EXPECT_EQ(s.m_y, 499998.0);
    EXPECT_EQ(s.m_aux1, 0);
}

TEST(GeoBox, DefaultIsEmptyAndAddPointGrowsIt)
{
    CGeoBox b;
    EXPECT_TRUE(b.IsEmpty());
    b.AddPoint(CGeoPoint(500010.0, 500020.0));
    EXPECT_FALSE(b.IsEmpty());
    EXPECT_EQ(b.m_xmin, 500010.0);
    EXPECT_EQ(b.m_xmax, 500010.0);
    EXPECT_EQ(b.m_ymin, 500020.0);
    EXPECT_EQ(b.m_ymax, 500020.0);
    b.AddPoint(CGeoPoint(500000.0, 500030.0));
    EXPECT_EQ(b.m_xmin, 500000.0);
    EXPECT_EQ(b.m_xmax, 500010.0);
    EXPECT_EQ(b.m_ymax, 500030.0);
}

TEST(GeoBox, UnionWithEmptyBoxKeepsBoxOnEitherSide)
{
    const CGeoBox b(500000.0, 500100.0, 500000.0, 500050.0);
    CGeoBox e;
    e.Union(b);
    EXPECT_FALSE(e.IsDifferent(b));
    CGeoBox c = b;
    c.Union(CGeoBox());
    // The empty marker must not pull the minimum bounds down to -1.
    EXPECT_FALSE(c.IsDifferent(b));
    CGeoBox both;
    both.Union(CGeoBox());
    EXPECT_TRUE(both.IsEmpty());
    c.Union(CGeoBox(499990.0, 500010.0, 500060.0, 500070.0));
    EXPECT_EQ(c.m_xmin, 499990.0);
    EXPECT_EQ(c.m_xmax, 500100.0);
    EXPECT_EQ(c.m_ymin, 500000.0);
    EXPECT_EQ(c.m_ymax, 500070.0);
}

TEST(GeoBox, DegenerateIsNotEmpty)
{
    const CGeoBox line(500000.0, 500000.0, 500000.0, 500010.0);
    EXPECT_TRUE(line.IsDegenerate());
    EXPECT_FALSE(line.IsEmpty());
    // A box at the origin of the coordinates is a real point, not the marker.
    EXPECT_FALSE(CGeoBox(0.0, 0.0, 0.0, 0.0).IsEmpty());
    EXPECT_FALSE(CGeoBox().IsDegenerate());
}

TEST(GeoBox, IntersectsTouchingEdgesAndRespectsMargin)
{
    const CGeoBox a(0.0, 10.0, 0.0, 10.0);
    EXPECT_TRUE(a.Intersects(CGeoBox(10.0, 20.0, 0.0, 10.0), 0.0));
    EXPECT_FALSE(a.Intersects(CGeoBox(10.5, 20.0, 0.0, 10.0), 0.0));
    EXPECT_TRUE(a.Intersects(CGeoBox(10.5, 20.0, 0.0, 10.0), 0.5));
    EXPECT_FALSE(a.Intersects(CGeoBox(0.0, 10.0, -5.0, -0.1), 0.0));
}

TEST(GeoBox, ConstructionContainmentAndSize)
{
    const CGeoBox b = CGeoBox::FromCoords(30.0, 50.0, 10.0, 20.0);
    EXPECT_EQ(b.m_xmin, 10.0);
    EXPECT_EQ(b.m_xmax, 30.0);
    EXPECT_EQ(b.m_ymin, 20.0);
    EXPECT_EQ(b.m_ymax, 50.0);
    EXPECT_TRUE(b.HasSize(20.0, 30.0));
    EXPECT_FALSE(b.HasSize(20.0, 30.001));
    EXPECT_TRUE(b.Contains(10.0, 50.0));
    EXPECT_FALSE(b.Contains(9.99, 50.0));
    EXPECT_TRUE(CGeoBox(12, 20, 25, 30).IsInside(b));
    EXPECT_FALSE(CGeoBox(12, 31, 25, 30).IsInside(b));
    CGeoBox n(5.0, 1.0, 9.0, 2.0);
    n.Normalize();
    EXPECT_EQ(n.m_xmin, 1.0);
    EXPECT_EQ(n.m_ymax, 9.0);
    EXPECT_EQ(b.Center().m_x, 20.0);
    EXPECT_EQ(b.Center().m_y, 35.0);
}
