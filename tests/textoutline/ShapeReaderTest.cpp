// The shape font reader and its interpreter. Shape coordinates are y up; a
// length L is 2 x L x scale. Expected values are worked out from the shape
// codes by hand.
#include "TextRecordFields.h"
#include "ShxBytes.h"
#include "textoutline/ShapeReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

namespace {

using plat::kEps;

using plat::Bytes;
using plat::ShxShape;

// A plain shape font holding the shapes; the interpreter is run on the first.
CShapeReader RunShape(const Bytes& codes, std::vector<ShxShape> more = {})
{
    std::vector<ShxShape> shapes{{'A', "A", codes}};
    shapes.insert(shapes.end(), more.begin(), more.end());
    CShapeReader reader;
    EXPECT_EQ(reader.LoadFromMemory(plat::ShapeFontBytes(shapes)), 0);
    EXPECT_EQ(reader.Execute('A', reader.FindCode('A')), 0);
    return reader;
}

const dxfLine& LineAt(const CShapeReader& r, std::size_t i)
{
    return static_cast<const dxfLine&>(*r.Objects().at(i));
}

const dxfArc& ArcAt(const CShapeReader& r, std::size_t i)
{
    return static_cast<const dxfArc&>(*r.Objects().at(i));
}

void ExpectLine(const CShapeReader& r, std::size_t i, double x1, double y1, double x2, double y2)
{
    ASSERT_LT(i, r.Objects().size());
    ASSERT_EQ(r.Objects()[i]->m_kind, dxfObject::kLine);
    const dxfLine& l = LineAt(r, i);
    EXPECT_NEAR(l.m_x1, x1, kEps);
    EXPECT_NEAR(l.m_y1, y1, kEps);
    EXPECT_NEAR(l.m_x2, x2, kEps);
    EXPECT_NEAR(l.m_y2, y2, kEps);
}

} // namespace

TEST(ShapeFontFile, TableIsReadFromTheBytesAfterTheEndOfFileMark)
{
    // Header text, CR LF 1A, first 0x41, last 0x41, count 1, one entry
    // (0x41, 5 bytes), then "A" 0, two vectors and the end byte.
    const std::string header = "AutoCAD-86 shapes 1.0\r\n\x1A";
    Bytes file(header.begin(), header.end());
    const Bytes rest = {0x41, 0x00, 0x41, 0x00, 0x01, 0x00, 0x41, 0x00, 0x05, 0x00, 0x41, 0x00, 0x40, 0x34, 0x00};
    file.insert(file.end(), rest.begin(), rest.end());
    CShapeReader reader;
    ASSERT_EQ(reader.LoadFromMemory(file), 0);
    EXPECT_EQ(reader.FontType(), CShapeReader::kShapeFont);
    ASSERT_EQ(reader.Table().size(), 1u);
    EXPECT_EQ(reader.Table()[0].code, 0x41);
    EXPECT_EQ(reader.Table()[0].offset, header.size() + 10);
    EXPECT_EQ(reader.Table()[0].length, 5u);
    // No shape 0: the reference height is 8.
    EXPECT_EQ(reader.FontHeight(), 8.0);
    // The only shape sits at index 0 and must be found there.
    ASSERT_EQ(reader.FindCode(0x41), 0);
    EXPECT_EQ(reader.FindCode(0x42), -1);
    ASSERT_EQ(reader.Execute(0x41, 0), 0);
    ASSERT_EQ(reader.Objects().size(), 2u);
    ExpectLine(reader, 0, 0, 0, 8, 0); // 0x40: length 4, direction 0
    ExpectLine(reader, 1, 8, 0, 8, 6); // 0x34: length 3, direction 4
}

TEST(ShapeFontFile, InformationShapeAtIndexZeroGivesTheHeight)
{
    // Shape 0: name, above 4, below 2, modes 0, end.
    CShapeReader reader;
    ASSERT_EQ(reader.LoadFromMemory(plat::ShapeFontBytes({{0, "tiny", {4, 2, 0, 0}}, {'A', "A", {0x10, 0}}})), 0);
    EXPECT_EQ(reader.FindCode(0), 0);
    EXPECT_EQ(reader.FontHeight(), 4.0);
    // A height byte that is not positive (signed) falls back to 8.
    ASSERT_EQ(reader.LoadFromMemory(plat::ShapeFontBytes({{0, "", {0xF0, 2, 0, 0}}})), 0);
    EXPECT_EQ(reader.FontHeight(), 8.0);
    // An information shape too short to hold the byte keeps the default.
    ASSERT_EQ(reader.LoadFromMemory(plat::ShapeFontBytes({{0, "", {0}}})), 0);
    EXPECT_EQ(reader.FontHeight(), 8.0);
}

TEST(ShapeFontFile, FilesThatAreNoShapeFontAreNotLoaded)
{
    CShapeReader reader;
    // No CR LF 1A after the header text.
    Bytes noEnd = plat::ShapeFontBytes({{'A', "A", {0x10, 0}}});
    noEnd[21] = ' ';
    EXPECT_EQ(reader.LoadFromMemory(noEnd), -1);
    EXPECT_FALSE(reader.IsLoaded());
    EXPECT_EQ(reader.Execute('A', 0), -1);
    // The mark is looked for from offset 1 on only.
    EXPECT_EQ(reader.LoadFromMemory({0x0D, 0x0A, 0x1A, 's', 'h', 'a', 'p', 'e', 0, 0, 0, 0, 0, 0}), -1);
    // No type word in the header.
    EXPECT_EQ(reader.LoadFromMemory(plat::HeaderBytes("AutoCAD-86 glyphs 1.0")), -1);
    // The type word is found in any case; the count must be in the file.
    EXPECT_EQ(reader.LoadFromMemory(plat::HeaderBytes("AUTOCAD-86 SHAPES 1.0")), -1);
    Bytes empty = plat::HeaderBytes("AUTOCAD-86 SHAPES 1.0");
    empty.insert(empty.end(), {0, 0, 0, 0, 0, 0});
    EXPECT_EQ(reader.LoadFromMemory(empty), 0);
    EXPECT_TRUE(reader.Table().empty());
    EXPECT_EQ(reader.LoadFromMemory({}), -1);
    EXPECT_EQ(reader.LoadFont("/nonexistent/romans.shx"), -1);
}

TEST(ShapeFontFile, TruncatedFileKeepsOnlyShapesWhoseDataIsThere)
{
    const Bytes whole = plat::ShapeFontBytes({{'A', "A", {0x10, 0}}, {'B', "B", {0x14, 0}}, {'C', "C", {0x18, 0}}});
    CShapeReader reader;
    // Cut in the middle of C's data: A and B stay.
    ASSERT_EQ(reader.LoadFromMemory(Bytes(whole.begin(), whole.end() - 2)), 0);
    EXPECT_EQ(reader.FindCode('A'), 0);
    EXPECT_EQ(reader.FindCode('B'), 1);
    EXPECT_EQ(reader.FindCode('C'), -1);
    // Cut inside the table: no shape has its data.
    ASSERT_EQ(reader.LoadFromMemory(Bytes(whole.begin(), whole.begin() + 24 + 6 + 6)), 0);
    EXPECT_TRUE(reader.Table().empty());
    // A count far beyond the file reads no further than the file.
    Bytes hostile = plat::HeaderBytes("AutoCAD-86 shapes 1.0");
    hostile.insert(hostile.end(), {0x41, 0, 0x41, 0, 0xFF, 0xFF, 0x41, 0, 0xFF, 0xFF});
    ASSERT_EQ(reader.LoadFromMemory(hostile), 0);
    EXPECT_TRUE(reader.Table().empty());
}

TEST(ShapeInterpreter, NameOrOperandPastTheShapeStopsIt)
{
    // A's last command lacks its dy; B's bytes follow in the file and must
    // not be taken for it.
    CShapeReader reader = RunShape({0x10, 0x08, 0x05}, {{'B', "B", {0x7F, 0x7F, 0}}});
    ASSERT_EQ(reader.Objects().size(), 1u);
    ExpectLine(reader, 0, 0, 0, 2, 0);
    // A name without its zero byte: nothing of the shape runs.
    const Bytes noName = {'A', 0x41, 0x10, 0x10};
    Bytes file = plat::HeaderBytes("AutoCAD-86 shapes 1.0");
    file.insert(file.end(), {0x41, 0, 0x41, 0, 1, 0, 0x41, 0, 4, 0});
    file.insert(file.end(), noName.begin(), noName.end());
    ASSERT_EQ(reader.LoadFromMemory(file), 0);
    ASSERT_EQ(reader.Execute('A', 0), 0);
    EXPECT_TRUE(reader.Objects().empty());
    // Pairs and triples cut short.
    EXPECT_EQ(RunShape({0x09, 0x01, 0x01, 0x02}).Objects().size(), 1u);
    EXPECT_EQ(RunShape({0x0D, 0x04, 0x00}).Objects().size(), 0u);
    EXPECT_EQ(RunShape({0x0B, 0, 0, 0, 1}).Objects().size(), 0u);
}

TEST(ShapeInterpreter, VectorOneDownIsALineOfTwoTowardMinusY)
{
    // 01 1C 02: pen down, length 1 in direction 12, pen up.
    CShapeReader reader = RunShape({0x01, 0x1C, 0x02, 0x14, 0x00});
    ASSERT_EQ(reader.Objects().size(), 1u);
    ExpectLine(reader, 0, 0, 0, 0, -2);
    // In the working space it points toward +y.
    const std::vector<COutLine> contours = reader.ToContours(100.0, 50.0);
    ASSERT_EQ(contours.size(), 1u);
    EXPECT_EQ(contours[0].m_closed, 0);
    ASSERT_EQ(contours[0].m_points.size(), 2u);
    EXPECT_EQ(contours[0].m_points[1].m_x, 100.0);
    EXPECT_EQ(contours[0].m_points[1].m_y, 52.0);
    EXPECT_EQ(contours[0].m_points[1].m_kind, kSuPointPlain);
}

TEST(ShapeInterpreter, PenUpMovesWithoutDrawingAndSkipNextConsumesOperands)
{
    CShapeReader reader = RunShape({0x02, 0x20, 0x01, 0x10, 0x00});
    ASSERT_EQ(reader.Objects().size(), 1u);
    ExpectLine(reader, 0, 4, 0, 6, 0);
    // 14 before 8: the displacement is neither drawn nor made.
    reader = RunShape({0x0E, 0x08, 0x05, 0x05, 0x10, 0x00});
    ASSERT_EQ(reader.Objects().size(), 1u);
    ExpectLine(reader, 0, 0, 0, 2, 0);
    // 14 before 9 takes every pair up to (0, 0); before 0 the shape goes on.
    reader = RunShape({0x0E, 0x09, 0x01, 0x01, 0x02, 0x02, 0x00, 0x00, 0x0E, 0x00, 0x10, 0x00});
    ASSERT_EQ(reader.Objects().size(), 1u);
    ExpectLine(reader, 0, 0, 0, 2, 0);
    // Code 8 and 9 displacements are signed bytes, doubled.
    reader = RunShape({0x08, 0xFF, 0x02, 0x09, 0x01, 0x00, 0x00, 0xFE, 0x00, 0x00, 0x00});
    ASSERT_EQ(reader.Objects().size(), 3u);
    ExpectLine(reader, 0, 0, 0, -2, 4);
    ExpectLine(reader, 1, -2, 4, 0, 4);
    ExpectLine(reader, 2, 0, 4, 0, 0);
}

TEST(ShapeInterpreter, ScaleDividesAndMultipliesAndIgnoresADivisorOfZero)
{
    CShapeReader reader = RunShape({0x03, 0x00, 0x10, 0x03, 0x02, 0x10, 0x04, 0x06, 0x10, 0x00});
    ASSERT_EQ(reader.Objects().size(), 3u);
    ExpectLine(reader, 0, 0, 0, 2, 0);
    ExpectLine(reader, 1, 2, 0, 3, 0);
    ExpectLine(reader, 2, 3, 0, 9, 0);
}

TEST(ShapeInterpreter, PositionStackHoldsNinePointsAndIgnoresAnEmptyPop)
{
    // Ten pushes at x = 0, 2, ..., 18 (pen up between): the tenth is
    // ignored, so the first pop returns to x = 16.
    Bytes codes = {0x02};
    for (int i = 0; i < 10; ++i)
        codes.insert(codes.end(), {0x05, 0x10});
    codes.insert(codes.end(), {0x06, 0x01, 0x14, 0x02});
    // Eight more pops empty the stack at x = 0; further pops keep the point.
    for (int i = 0; i < 12; ++i)
        codes.push_back(0x06);
    codes.insert(codes.end(), {0x01, 0x14, 0x00});
    CShapeReader reader = RunShape(codes);
    ASSERT_EQ(reader.Objects().size(), 2u);
    ExpectLine(reader, 0, 16, 0, 16, 2);
    ExpectLine(reader, 1, 0, 0, 0, 2);
}

TEST(ShapeInterpreter, OctantArcRunsAroundTheCentreBehindThePoint)
{
    // Radius 1 (doubled: 2), start octant 1, two octants counter-clockwise.
    CShapeReader reader = RunShape({0x0A, 0x01, 0x12, 0x10, 0x00});
    ASSERT_EQ(reader.Objects().size(), 2u);
    const double c = std::sqrt(2.0);
    const dxfArc& arc = ArcAt(reader, 0);
    EXPECT_NEAR(arc.m_cx, -c, kEps);
    EXPECT_NEAR(arc.m_cy, -c, kEps);
    EXPECT_NEAR(arc.m_radius, 2.0, kEps);
    EXPECT_NEAR(arc.m_start, 45.0, kEps);
    EXPECT_NEAR(arc.m_end, 135.0, kEps);
    EXPECT_FALSE(arc.m_clockwise);
    EXPECT_NEAR(arc.Sweep(), 90.0, kEps);
    // The point moved to the arc's end at 135 degrees.
    ExpectLine(reader, 1, -2 * c, 0, -2 * c + 2, 0);

    // Bit 7: clockwise, from 45 down to -45.
    reader = RunShape({0x0A, 0x01, 0x92, 0x10, 0x00});
    ASSERT_EQ(reader.Objects().size(), 2u);
    EXPECT_TRUE(ArcAt(reader, 0).m_clockwise);
    EXPECT_NEAR(ArcAt(reader, 0).Sweep(), -90.0, kEps);
    ExpectLine(reader, 1, 0, -2 * c, 2, -2 * c);
}

TEST(ShapeInterpreter, OctantArcWithACountOfZeroIsAFullCircle)
{
    // The ring of an 'o': radius 2 (doubled: 4), start octant 0, count 0.
    CShapeReader reader = RunShape({0x0A, 0x02, 0x00, 0x10, 0x00});
    ASSERT_EQ(reader.Objects().size(), 2u);
    const dxfArc& arc = ArcAt(reader, 0);
    EXPECT_NEAR(arc.m_cx, -4.0, kEps);
    EXPECT_NEAR(arc.m_cy, 0.0, kEps);
    EXPECT_NEAR(arc.Sweep(), 360.0, kEps);
    // Back at the start point.
    ExpectLine(reader, 1, 0, 0, 2, 0);
    // As contours: two half-circle cubics through (-8, 0), closing on the start.
    const std::vector<COutLine> contours = reader.ToContours(0.0, 0.0);
    ASSERT_EQ(contours.size(), 2u);
    const auto& p = contours[0].m_points;
    ASSERT_EQ(p.size(), 7u);
    EXPECT_NEAR(p[0].m_x, 0.0, kEps);
    EXPECT_NEAR(p[3].m_x, -8.0, kEps);
    EXPECT_NEAR(p[3].m_y, 0.0, kEps);
    EXPECT_NEAR(p[6].m_x, 0.0, kEps);
    EXPECT_NEAR(p[6].m_y, 0.0, 1e-9);
}

TEST(ShapeInterpreter, FractionalArcEndsPartWayIntoItsLastOctant)
{
    // Start offset 0, end offset 128 (22.5 degrees), radius 0x0002 (doubled:
    // 4), octant byte 0x01: one octant, less one as the end offset is set.
    CShapeReader reader = RunShape({0x0B, 0x00, 0x80, 0x00, 0x02, 0x01, 0x10, 0x00});
    ASSERT_EQ(reader.Objects().size(), 2u);
    const dxfArc& arc = ArcAt(reader, 0);
    EXPECT_NEAR(arc.m_radius, 4.0, kEps);
    EXPECT_NEAR(arc.m_start, 0.0, kEps);
    EXPECT_NEAR(arc.m_end, 22.5, kEps);
    EXPECT_NEAR(arc.m_cx, -4.0, kEps);
    const double ex = -4.0 + 4.0 * std::cos(22.5 * std::numbers::pi / 180.0);
    const double ey = 4.0 * std::sin(22.5 * std::numbers::pi / 180.0);
    ExpectLine(reader, 1, ex, ey, ex + 2, ey);
}

TEST(ShapeInterpreter, BulgeArcIsAHalfCircleAtFullBulgeAndOneCubic)
{
    // From (0, 0) to (8, 0), bulge 127: u = 0.5, radius 4, centre (4, 0),
    // counter-clockwise from 180 to 360 degrees (below the chord).
    CShapeReader reader = RunShape({0x0C, 0x04, 0x00, 0x7F, 0x00});
    ASSERT_EQ(reader.Objects().size(), 1u);
    const dxfArc& arc = ArcAt(reader, 0);
    EXPECT_NEAR(arc.m_cx, 4.0, kEps);
    EXPECT_NEAR(arc.m_cy, 0.0, kEps);
    EXPECT_NEAR(arc.m_radius, 4.0, kEps);
    EXPECT_NEAR(arc.Sweep(), 180.0, kEps);
    // One cubic: k = 4/3, controls 16/3 below the ends; y flips on the way
    // into the working space.
    const std::vector<COutLine> contours = reader.ToContours(0.0, 0.0);
    ASSERT_EQ(contours.size(), 1u);
    const auto& p = contours[0].m_points;
    ASSERT_EQ(p.size(), 4u);
    const double k = 16.0 / 3.0;
    const double expected[4][2] = {{0, 0}, {0, k}, {8, k}, {8, 0}};
    const std::uint8_t kinds[4] = {0, 6, 6, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(p[i].m_x, expected[i][0], 1e-9) << i;
        EXPECT_NEAR(p[i].m_y, expected[i][1], 1e-9) << i;
        EXPECT_EQ(p[i].m_kind, kinds[i]) << i;
    }
    // A negative bulge runs clockwise, over the chord.
    reader = RunShape({0x0C, 0x04, 0x00, 0x81, 0x00});
    ASSERT_EQ(reader.Objects().size(), 1u);
    EXPECT_TRUE(ArcAt(reader, 0).m_clockwise);
    EXPECT_NEAR(ArcAt(reader, 0).Sweep(), -180.0, kEps);
    EXPECT_NEAR(reader.ToContours(0.0, 0.0)[0].m_points[1].m_y, -k, 1e-9);
}

TEST(ShapeInterpreter, BulgeArcCentreSideAndDegenerateChords)
{
    // Vertical chord down from (0, 0) to (0, -8), bulge 64: u = 64/254,
    // r = 8 (4u^2 + 1) / (8u); the centre lies to the right (x > 0).
    CShapeReader reader = RunShape({0x0C, 0x00, 0xFC, 0x40, 0x00});
    ASSERT_EQ(reader.Objects().size(), 1u);
    const double u = 64.0 / 254.0;
    const double r = 8.0 * (4 * u * u + 1) / (8 * u);
    const dxfArc& arc = ArcAt(reader, 0);
    EXPECT_NEAR(arc.m_radius, r, 1e-9);
    EXPECT_NEAR(arc.m_cx, std::sqrt(r * r - 16.0), 1e-9);
    EXPECT_NEAR(arc.m_cy, -4.0, 1e-9);
    // Half circle on a slanted chord: the centre is the chord's midpoint,
    // never a NaN from a root of a value rounded below 0.
    reader = RunShape({0x0C, 0x03, 0x07, 0x7F, 0x00});
    ASSERT_EQ(reader.Objects().size(), 1u);
    EXPECT_NEAR(ArcAt(reader, 0).m_cx, 3.0, 1e-9);
    EXPECT_NEAR(ArcAt(reader, 0).m_cy, 7.0, 1e-9);
    // A bulge of 0 is the straight chord; coinciding ends an arc of radius 0
    // that adds no contour.
    reader = RunShape({0x0C, 0x04, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x40, 0x00});
    ASSERT_EQ(reader.Objects().size(), 2u);
    ExpectLine(reader, 0, 0, 0, 8, 0);
    EXPECT_EQ(ArcAt(reader, 1).m_radius, 0.0);
    EXPECT_EQ(reader.ToContours(0.0, 0.0).size(), 1u);
    // Code 13 takes triples up to a (0, 0) pair.
    reader = RunShape({0x0D, 0x04, 0x00, 0x7F, 0x04, 0x00, 0x81, 0x00, 0x00, 0x10, 0x00});
    ASSERT_EQ(reader.Objects().size(), 3u);
    EXPECT_NEAR(ArcAt(reader, 1).m_cx, 12.0, kEps);
    ExpectLine(reader, 2, 16, 0, 18, 0);
}

TEST(ShapeInterpreter, SubshapeDrawsFromTheCurrentState)
{
    // A: move right 2 (pen up), then call B with the scale halved; B draws
    // one unit of length 2 up.
    CShapeReader reader = RunShape({0x02, 0x10, 0x01, 0x03, 0x02, 0x07, 'B', 0x10, 0x00}, {{'B', "B", {0x24, 0x00}}});
    ASSERT_EQ(reader.Objects().size(), 2u);
    ExpectLine(reader, 0, 2, 0, 2, 2);
    ExpectLine(reader, 1, 2, 2, 3, 2);
    // A missing subshape is passed over.
    EXPECT_EQ(RunShape({0x07, 'Z', 0x10, 0x00}).Objects().size(), 1u);
}

TEST(ShapeInterpreter, ShapeCallingItselfEndsCleanly)
{
    // Each level draws one line and calls itself again.
    CShapeReader reader = RunShape({0x10, 0x07, 'A', 0x00});
    EXPECT_GE(reader.Objects().size(), 2u);
    EXPECT_LE(reader.Objects().size(), 64u);
    // Every level calling itself many times: the work is bounded, not
    // exponential in the depth.
    Bytes fanOut;
    for (int i = 0; i < 100; ++i)
        fanOut.insert(fanOut.end(), {0x07, 'A', 0x10});
    fanOut.push_back(0x00);
    reader = RunShape(fanOut);
    EXPECT_LE(reader.Objects().size(), static_cast<std::size_t>(CShapeReader::kMaxCommands));
    // Two shapes calling each other.
    reader = RunShape({0x10, 0x07, 'B', 0x00}, {{'B', "B", {0x14, 0x07, 'A', 0x00}}});
    EXPECT_GE(reader.Objects().size(), 2u);
    EXPECT_LE(reader.Objects().size(), 64u);
}

TEST(BigFontFile, EntriesAreFoundAfterTheEscapeRanges)
{
    // Index size 2, count 2, one range 81..FE, then the entries (code,
    // length, file offset) from 7 + 4 bytes after the 1A byte.
    // Information entry: name "", then six bytes; the height is read 4
    // bytes before its end.
    const Bytes info = {0x00, 20, 10, 0, 20, 0};
    const Bytes shape = {0x00, 0x07, 0x00, 'A', 0x10, 0x00}; // subshape 0x0041 by two bytes
    const std::string header = "AutoCAD-86 bigfont 1.0\r\n\x1A";
    Bytes file(header.begin(), header.end());
    const std::uint32_t data = static_cast<std::uint32_t>(header.size() + 6 + 4 + 16);
    const Bytes fixed = {0x02, 0x00, 0x02, 0x00, 0x01, 0x00, 0x81, 0x00, 0xFE, 0x00,
        0x00, 0x00, 0x06, 0x00, static_cast<std::uint8_t>(data), 0, 0, 0,
        0x40, 0x81, 0x06, 0x00, static_cast<std::uint8_t>(data + 6), 0, 0, 0};
    file.insert(file.end(), fixed.begin(), fixed.end());
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), shape.begin(), shape.end());
    CShapeReader reader;
    ASSERT_EQ(reader.LoadFromMemory(file), 0);
    EXPECT_EQ(reader.FontType(), CShapeReader::kBigFont);
    EXPECT_EQ(reader.FontHeight(), 10.0);
    ASSERT_EQ(reader.FindCode(0x8140), 1);
    ASSERT_EQ(reader.Execute(0x8140, 1), 0);
    // Subshape 0x0041 is not in the font; the vector after it still draws.
    ASSERT_EQ(reader.Objects().size(), 1u);
    ExpectLine(reader, 0, 0, 0, 2, 0);
}

TEST(BigFontFile, TableStartMovesWithTheNumberOfRanges)
{
    const std::vector<ShxShape> shapes = {{0x8140, "", {0x14, 0x00}}, {0x8141, "", {0x07, 0x81, 0x40, 0x10, 0x00}}};
    CShapeReader reader;
    ASSERT_EQ(reader.LoadFromMemory(plat::BigFontBytes({{0x81, 0x9F}, {0xE0, 0xFC}}, shapes)), 0);
    EXPECT_EQ(reader.FontHeight(), 84.0); // no information shape
    ASSERT_EQ(reader.FindCode(0x8141), 1);
    ASSERT_EQ(reader.Execute(0x8141, 1), 0);
    ASSERT_EQ(reader.Objects().size(), 2u);
    ExpectLine(reader, 0, 0, 0, 0, 2);
    ExpectLine(reader, 1, 0, 2, 2, 2);
    // Offsets or lengths past the file leave the entry out.
    Bytes file = plat::BigFontBytes({{0x81, 0xFE}}, shapes);
    file.resize(file.size() - 1);
    ASSERT_EQ(reader.LoadFromMemory(file), 0);
    EXPECT_EQ(reader.FindCode(0x8140), 0);
    EXPECT_EQ(reader.FindCode(0x8141), -1);
    // A range count that moves the table past the end reads nothing.
    file = plat::BigFontBytes({{0x81, 0xFE}}, shapes);
    file[29] = 0xFF;
    ASSERT_EQ(reader.LoadFromMemory(file), 0);
    EXPECT_TRUE(reader.Table().empty());
}

TEST(UnicodeFontFile, EntriesFollowTheInformationBlockInline)
{
    // Count 2, information block of 8 bytes (name "u", above 12, below 3,
    // modes, encoding, type, end), then code, length and data per entry.
    Bytes file = plat::HeaderBytes("AutoCAD-86 unifont 1.0");
    file.insert(file.end(), {0x02, 0, 0, 0, 0x08, 0x00, 'u', 0, 12, 3, 0, 0, 0, 0});
    file.insert(file.end(), {0x41, 0x00, 0x04, 0x00, 0x00, 0x24, 0x07, 0x00});
    file.insert(file.end(), {0x42, 0x00, 0x05, 0x00, 0x00, 0x07, 0x00, 0x41, 0x00});
    CShapeReader reader;
    ASSERT_EQ(reader.LoadFromMemory(file), 0);
    EXPECT_EQ(reader.FontType(), CShapeReader::kUnicodeFont);
    EXPECT_EQ(reader.FontHeight(), 12.0);
    ASSERT_EQ(reader.FindCode('B'), 1);
    // B calls A by a two-byte number; A's 07 lacks its operands and stops.
    ASSERT_EQ(reader.Execute('B', 1), 0);
    ASSERT_EQ(reader.Objects().size(), 1u);
    ExpectLine(reader, 0, 0, 0, 0, 4);
    // An entry running past the end ends the table there.
    file.pop_back();
    ASSERT_EQ(reader.LoadFromMemory(file), 0);
    EXPECT_EQ(reader.FindCode('A'), 0);
    EXPECT_EQ(reader.FindCode('B'), -1);
}
