// The DXF reader: groups, sections, units, entities, blocks, colours and
// text, in micrometres before the dispatcher divides by 100.
//
// Faults these catch: lines ends or unknown entities that lose the pairing
// of codes and values, a unit applied twice or not at all, arcs and bulges
// turning the wrong way (mirrored ones above all), splines off their
// curve or sampled without end, blocks placed off their base point or
// nested without bound, colour numbers taken for RGB values, escapes that
// swallow the text after them, and broken files that crash or hang.
#include "DxfTestSupport.h"
#include "ImportTestSupport.h"
#include "importexport/FileReadTrans.h"
#include "importexport/FileTransDxf.h"
#include "model/CurveGeometry.h"
#include "platform/CodePage.h"
#include "platform/GlyphFont.h"
#include "platform/NumText.h"
#include "platform/Progress.h"
#include "platform/WorkControl.h"
#include "settings/ReadParamFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>

namespace plat {
namespace {

using dxftest::Block;
using dxftest::Entities;
using dxftest::InsUnits;
using dxftest::Insert;
using dxftest::Line;
using dxftest::Lines;
using dxftest::WithBlocks;

std::vector<std::uint8_t> Kinds(const CDocData* o)
{
    std::vector<std::uint8_t> out;
    for (const DOCNODE* n = o->m_pNodes; n != nullptr; n = n->m_pNext)
        out.push_back(n->m_nKind);
    return out;
}

class DxfReader : public ImportFixture {
protected:
    ~DxfReader() override { DeleteObjectList(m_list); }

    bool Read(const std::string& bytes, std::uint8_t unit = 0)
    {
        DeleteObjectList(m_list);
        CFileTransDxf reader;
        reader.SetUnitChoice(unit);
        return reader.ReadDxfBytes(bytes, m_list, &m_ctx);
    }
    CDocData* At(std::size_t i)
    {
        const std::vector<const CDocData*> objects = Objects(m_list);
        EXPECT_LT(i, objects.size());
        return i < objects.size() ? const_cast<CDocData*>(objects[i]) : nullptr;
    }
    std::uint32_t Nearest(COLORREF c) { return CFileReadTrans::NearestPaletteIndex(c, m_settings.m_palette.data()); }

    CDocData* m_list = nullptr;
};

TEST_F(DxfReader, EveryLineEndReadsTheSameAndUnknownEntitiesArePassedOver)
{
    // CR CR LF, LF (with blank lines before codes) and CR LF; a HATCH with
    // groups of its own between the two lines.
    const std::initializer_list<std::string_view> groups = {
        "0", "SECTION", "2", "ENTITIES", "0", "LINE", "10", "1", "20", "2", "11", "3", "21", "4",
        "0", "HATCH", "10", "99", "20", "99", "2", "SOLID", "0", "LINE", "10", "5", "20", "6",
        "11", "7", "21", "8", "0", "ENDSEC", "0", "EOF"};
    std::string lf;
    for (std::string_view g : groups)
        lf += std::string(g) + (g == "HATCH" ? "\n\n\n" : "\n");
    for (const std::string& bytes : {Lines(groups, "\r\r\n"), lf, Lines(groups)}) {
        ASSERT_TRUE(Read(bytes));
        ASSERT_EQ(Objects(m_list).size(), 2u);
        EXPECT_EQ(NodePositions(At(0)), (std::vector<XY>{{1000, 2000}, {3000, 4000}}));
        EXPECT_EQ(NodePositions(At(1)), (std::vector<XY>{{5000, 6000}, {7000, 8000}}));
    }
}

TEST_F(DxfReader, GroupsReadAsTheGeneralReaderDoesAtEveryLineLengthAndEnd)
{
    // Plain decimals, the longest exact ones, one digit more, exponents,
    // signs, blanks and stray bytes: each coordinate must be what the
    // general parser makes of it, -0 included, whatever the line ends and
    // the spelling of the group codes. Values of every length put line ends
    // at every place of an eight-byte word; the file's last line has no end
    // at all.
    const std::vector<std::string> values = {
        "0.1", "-0.0", "5.", ".5", "-.5", "123456789012.345", "0.000000000000001", "999999999999999",
        "1234567890123.4567", "0.30000000000000004", "1e3", "-2.5E-2", " 7.25", "+3.5", "1.2.3", "12abc",
        "-", ".", "", "00000000000000012.5", "\t4.75", "17179869184.0625", "0.3", "-0.7", "2.675", "45.67"};
    // The x code spelt with blanks, leading zeros or a sign.
    const std::vector<std::string> xCodes = {"10", " 10", "  10", "0000010", "+10", "010"};
    for (std::string_view end : {"\n", "\r\n", "\r\r\n"}) {
        std::string body;
        for (std::size_t i = 0; i < values.size(); ++i)
            body += Lines({"0", "LINE", xCodes[i % xCodes.size()], values[i], "20", "1", "11", "2", "21", values[i]}, end);
        std::string bytes = Lines({"0", "SECTION", "2", "ENTITIES"}, end) + body + Lines({"0", "ENDSEC", "0"}, end) + "EOF";
        ASSERT_TRUE(Read(bytes));
        const std::vector<const CDocData*> objects = Objects(m_list);
        ASSERT_EQ(objects.size(), values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            SCOPED_TRACE(values[i]);
            const double want = ParseDouble(values[i]) * 1000.0;
            const std::vector<XY> at = NodePositions(objects[i]);
            ASSERT_EQ(at.size(), 2u);
            EXPECT_EQ(at[0].first, want);
            EXPECT_EQ(std::signbit(at[0].first), std::signbit(want));
            EXPECT_EQ(at[1].second, want);
        }
    }
}

TEST_F(DxfReader, OverlongLinesWarnOncePerFileAndKeepCodesAndValuesPaired)
{
    // Two layer names of 2000 bytes: one message, and the coordinates after
    // them are still read as coordinates.
    const std::string longName(2000, 'L');
    ASSERT_TRUE(Read(Entities(Line(1, 1, 2, 1, Lines({"8", longName})) + Line(3, 3, 4, 3, Lines({"8", longName})))));
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, u"The string is too long");
    EXPECT_EQ(NodePositions(At(1)), (std::vector<XY>{{3000, 3000}, {4000, 3000}}));
}

TEST_F(DxfReader, TheUnitComesFromInsUnitsOrReplacesIt)
{
    const std::string line = Line(0, 0, 10, 0);
    struct Case {
        std::string header;
        std::uint8_t choice;
        double endX;
    } cases[] = {
        {"", 0, 10000},                // no $INSUNITS: millimetres
        {InsUnits(1), 0, 254000},      // inches
        {InsUnits(4), 0, 10000},       // millimetres
        {InsUnits(0), 0, 10000},       // unitless
        {InsUnits(6), 0, 10000000},    // metres
        {InsUnits(4), 1, 254000},      // inch chosen: replaces the file's unit
        {InsUnits(1), 1, 254000},      // ... never multiplies with it
        {InsUnits(1), 2, 10000},       // millimetres chosen
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header + " choice " + FormatInt(c.choice));
        ASSERT_TRUE(Read(Entities(line, c.header), c.choice));
        EXPECT_DOUBLE_EQ(NodePositions(m_list)[1].first, c.endX);
    }
}

TEST_F(DxfReader, BulgesMakeHalfCirclesAndAMirroredPolylineTurnsTheOtherWay)
{
    // From (10, 0) with bulge 1 to (10, 10): a counter-clockwise half circle
    // about (10, 5) through (15, 5), in two quarter pieces whose controls lie
    // 5 x 0.551784 along the tangents.
    const double h = 5000 * kBezierQuarterFactor;
    const std::string arc = Lines({"0", "LWPOLYLINE", "90", "2", "70", "0", "10", "10", "20", "0", "42", "1",
                                   "10", "10", "20", "10"});
    ASSERT_TRUE(Read(Entities(arc)));
    EXPECT_EQ(m_list->GetType(), MT_BEZIER);
    EXPECT_EQ(Kinds(m_list), (std::vector<std::uint8_t>{0, 2, 1, 0, 2, 1, 0}));
    ExpectNodesNear(m_list, {{10000, 0}, {10000 + h, 0}, {15000, 5000 - h}, {15000, 5000}, {15000, 5000 + h},
                             {10000 + h, 10000}, {10000, 10000}});

    // Seen from below (extrusion 0, 0, -1, given after the vertices): the
    // mirror image, through (-15, 5).
    ASSERT_TRUE(Read(Entities(arc + Lines({"210", "0.0", "220", "0.0", "230", "-1.0"}))));
    ExpectNodesNear(m_list, {{-10000, 0}, {-10000 - h, 0}, {-15000, 5000 - h}, {-15000, 5000}, {-15000, 5000 + h},
                             {-10000 - h, 10000}, {-10000, 10000}});

    // A square with straight vertices only is a polyline.
    ASSERT_TRUE(Read(Entities(Lines({"0", "LWPOLYLINE", "70", "1", "10", "0", "20", "0", "10", "2", "20", "0", "10",
                                     "2", "20", "2", "10", "0", "20", "2"}))));
    EXPECT_EQ(m_list->GetType(), MT_LINE);
    EXPECT_EQ(NodePositions(m_list), (std::vector<XY>{{0, 0}, {2000, 0}, {2000, 2000}, {0, 2000}, {0, 0}}));
}

TEST_F(DxfReader, PolylineVerticesCloseAndOnlyTheirOwnBulgesCurve)
{
    // Closed, three vertices: back to the first. Then an empty closed
    // POLYLINE adds nothing and the LINE after it is read.
    auto vertex = [](std::string_view x, std::string_view y, std::string_view bulge = "") {
        std::string v = Lines({"0", "VERTEX", "8", "0", "10", x, "20", y});
        return bulge.empty() ? v : v + Lines({"42", bulge});
    };
    const std::string triangle = Lines({"0", "POLYLINE", "66", "1", "70", "1"}) + vertex("0", "0") + vertex("4", "0") +
                                 vertex("4", "3") + Lines({"0", "SEQEND"});
    const std::string empty = Lines({"0", "POLYLINE", "66", "1", "70", "1", "0", "SEQEND"});
    ASSERT_TRUE(Read(Entities(triangle + empty + Line(7, 7, 8, 8))));
    ASSERT_EQ(Objects(m_list).size(), 2u);
    EXPECT_EQ(NodePositions(At(0)), (std::vector<XY>{{0, 0}, {4000, 0}, {4000, 3000}, {0, 0}}));
    EXPECT_EQ(At(1)->GetType(), MT_LINE);

    // Bulge 0.5 on the second vertex only: the last piece, from the third
    // vertex to the fourth, keeps its controls on its anchors.
    ASSERT_TRUE(Read(Entities(Lines({"0", "POLYLINE", "70", "0"}) + vertex("0", "0") + vertex("2", "0", "0.5") +
                              vertex("4", "0") + vertex("6", "0") + Lines({"0", "SEQEND"}))));
    ASSERT_EQ(m_list->GetType(), MT_BEZIER);
    const std::vector<XY> nodes = NodePositions(m_list);
    ASSERT_GE(nodes.size(), 4u);
    const std::size_t n = nodes.size();
    EXPECT_EQ(nodes[n - 1], (XY{6000, 0}));
    EXPECT_EQ(nodes[n - 2], (XY{6000, 0}));
    EXPECT_EQ(nodes[n - 3], (XY{4000, 0}));
    EXPECT_EQ(nodes[n - 4], (XY{4000, 0}));
    // The bulge 0.5 arc bows below the chord (clockwise is negative bulge).
    double ymin = 0.0;
    for (const XY& p : nodes)
        ymin = std::min(ymin, p.second);
    EXPECT_LT(ymin, -400.0);
}

TEST_F(DxfReader, ArcsAcrossZeroAndLinesStayInWorldCoordinates)
{
    // An ARC of radius 1 from 350 to 10 degrees covers 0 degrees; mirrored
    // it covers 180 degrees. A LINE with the mirrored extrusion is not moved;
    // a CIRCLE is.
    const double c = 1000 * std::cos(10 * std::numbers::pi / 180), s = 1000 * std::sin(10 * std::numbers::pi / 180);
    const std::string arc = Lines({"0", "ARC", "10", "0", "20", "0", "40", "1", "50", "350", "51", "10"});
    const std::string below = Lines({"210", "0", "220", "0", "230", "-1"});
    ASSERT_TRUE(Read(Entities(arc + arc + below + Line(1, 0, 2, 0, below) +
                              Lines({"0", "CIRCLE", "10", "5", "20", "0", "40", "1"}) + below)));
    const std::vector<XY> right = NodePositions(At(0));
    EXPECT_NEAR(right.front().first, c, 1e-6);
    EXPECT_NEAR(right.front().second, -s, 1e-6);
    EXPECT_NEAR(right.back().first, c, 1e-6);
    EXPECT_NEAR(right.back().second, s, 1e-6);
    const std::vector<XY> left = NodePositions(At(1));
    EXPECT_NEAR(left.front().first, -c, 1e-6);
    EXPECT_NEAR(left.front().second, s, 1e-6);
    EXPECT_NEAR(left.back().first, -c, 1e-6);
    EXPECT_NEAR(left.back().second, -s, 1e-6);
    EXPECT_EQ(NodePositions(At(2)), (std::vector<XY>{{1000, 0}, {2000, 0}}));
    ExpectBox(At(3)->m_rcBound, -6000, -4000, -1000, 1000);
}

TEST_F(DxfReader, EllipseArcsRunCounterClockwiseAcrossTheirZeroParameter)
{
    // Major axis (2, 0), ratio 0.5, parameters from 3/2 pi to pi/2: the
    // right half, through (2, 0), not the left half.
    ASSERT_TRUE(Read(Entities(Lines({"0", "ELLIPSE", "10", "0", "20", "0", "11", "2", "21", "0", "40", "0.5", "41",
                                     FormatFixed(1.5 * std::numbers::pi, 12), "42",
                                     FormatFixed(0.5 * std::numbers::pi, 12)}))));
    CGeoBox box = m_list->m_rcBound;
    EXPECT_NEAR(box.m_xmin, 0.0, 1.0);
    EXPECT_NEAR(box.m_xmax, 2000.0, 1.0);
}

TEST_F(DxfReader, SplinesFollowTheirOwnDegreeWithinBounds)
{
    auto spline = [](std::string_view degree, std::initializer_list<std::string_view> knots,
                     std::initializer_list<XY> controls) {
        std::string s = Lines({"0", "SPLINE", "70", "8", "71", degree, "72", FormatInt(static_cast<int>(knots.size())),
                               "73", FormatInt(static_cast<int>(controls.size())), "74", "0"});
        for (std::string_view k : knots)
            s += Lines({"40", k});
        for (const XY& p : controls)
            s += Lines({"10", FormatFixed(p.first), "20", FormatFixed(p.second), "30", "0"});
        return s;
    };
    // Clamped cubic over (0,0) (0,3) (3,3) (3,0): P0, 20 samples from t = 0
    // in steps of 0.05, P3. B(0.25) = (0.46875, 1.6875), B(0.5) = (1.5, 2.25).
    ASSERT_TRUE(Read(Entities(spline("3", {"0", "0", "0", "0", "1", "1", "1", "1"}, {{0, 0}, {0, 3}, {3, 3}, {3, 0}}))));
    std::vector<XY> nodes = NodePositions(m_list);
    ASSERT_EQ(nodes.size(), 22u);
    EXPECT_EQ(nodes[0], (XY{0, 0}));
    EXPECT_EQ(nodes[1], (XY{0, 0}));
    EXPECT_NEAR(nodes[6].first, 468.75, 1e-6);
    EXPECT_NEAR(nodes[6].second, 1687.5, 1e-6);
    EXPECT_NEAR(nodes[11].first, 1500, 1e-6);
    EXPECT_NEAR(nodes[11].second, 2250, 1e-6);
    EXPECT_EQ(nodes[21], (XY{3000, 0}));

    // A quadratic one is evaluated as quadratic: B(0.5) = (2, 2) for
    // (0,0) (2,4) (4,0).
    ASSERT_TRUE(Read(Entities(spline("2", {"0", "0", "0", "1", "1", "1"}, {{0, 0}, {2, 4}, {4, 0}}))));
    nodes = NodePositions(m_list);
    ASSERT_EQ(nodes.size(), 22u);
    EXPECT_NEAR(nodes[11].first, 2000, 1e-6);
    EXPECT_NEAR(nodes[11].second, 2000, 1e-6);

    // Beyond the order limit, up to the largest degree a file can give:
    // passed over. A huge knot span and a count far beyond the file: bounded.
    ASSERT_TRUE(Read(Entities(spline(FormatInt(kMaxSplineOrder), {"0", "1"}, {{0, 0}}) +
                              spline("2147483647", {"0", "1"}, {{0, 0}}) + Line(0, 0, 1, 0) +
                              spline("3", {"0", "0", "0", "0", "1e12", "1e12", "1e12", "1e12"},
                                     {{0, 0}, {0, 3}, {3, 3}, {3, 0}}) +
                              Lines({"0", "SPLINE", "72", "99999999999", "73", "99999999999", "10", "1", "20", "1"}))));
    ASSERT_EQ(Objects(m_list).size(), 3u);
    EXPECT_EQ(At(0)->GetType(), MT_LINE);
    EXPECT_LE(CountNodes(At(1)->m_pNodes), static_cast<int>(CFileTransDxf::kMaxSplinePoints) + 2);
    EXPECT_EQ(NodePositions(At(2)), (std::vector<XY>{{1000, 1000}}));
}


TEST_F(DxfReader, InsertsPlaceTheBlockBasePointScaledAndTurned)
{
    // Base (1, 1), a line from the base to (3, 1). At (10, 10), scale 2,
    // turned by 90 degrees: from (10, 10) to (10, 14). In inches the
    // insertion point is scaled like every other point.
    const std::string blocks = Block("B", "1", "1", Line(1, 1, 3, 1));
    const std::string insert = Insert("B", "10", "10", Lines({"41", "2", "42", "2", "50", "90"}));
    ASSERT_TRUE(Read(WithBlocks(blocks, insert)));
    ExpectNodesNear(m_list, {{10000, 10000}, {10000, 14000}});
    ASSERT_TRUE(Read(WithBlocks(blocks, insert, InsUnits(1))));
    ExpectNodesNear(m_list, {{254000, 254000}, {254000, 355600}});

    // A second definition of the name joins the first, its objects kept
    // where they lie against its own base point.
    ASSERT_TRUE(Read(WithBlocks(blocks + Block("B", "0", "0", Line(5, 5, 6, 5)), Insert("B", "0", "0"))));
    ASSERT_EQ(Objects(m_list).size(), 2u);
    ExpectNodesNear(At(0), {{0, 0}, {2000, 0}});
    ExpectNodesNear(At(1), {{5000, 5000}, {6000, 5000}});

    // Unknown and empty blocks add nothing; the file holds nothing else.
    EXPECT_FALSE(Read(WithBlocks(Block("E", "0", "0", ""), Insert("E", "0", "0") + Insert("X", "0", "0"))));
}

TEST_F(DxfReader, NestedBlocksStopAtTheirDepthLimit)
{
    // B0 holds a line; each Bk holds an INSERT of the one before. An INSERT
    // may nest kMaxInsertDepth blocks in all, its own level included.
    std::string blocks = Block("B0", "0", "0", Line(0, 0, 1, 0));
    for (int k = 1; k <= 20; ++k)
        blocks += Block("B" + FormatInt(k), "0", "0", Insert("B" + FormatInt(k - 1), "1", "0"));
    const int deepest = static_cast<int>(CFileTransDxf::kMaxInsertDepth) - 2;
    ASSERT_TRUE(Read(WithBlocks(blocks, Insert("B" + FormatInt(deepest), "0", "0"))));
    ExpectNodesNear(m_list, {{deepest * 1000.0, 0}, {deepest * 1000.0 + 1000, 0}});
    EXPECT_FALSE(Read(WithBlocks(blocks, Insert("B" + FormatInt(deepest + 1), "0", "0") + Insert("B20", "0", "0"))));
}

TEST_F(DxfReader, BlockObjectsOnLayerZeroAndByBlockTakeTheInsertsLayerAndColour)
{
    // Layer 0 is red, CUT blue, KEEP yellow. Block B holds a line on layer 0
    // by layer, one on layer 0 by block and one on KEEP; OUTER holds B
    // inserted on layer 0 by block.
    const std::string tables = Lines({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LAYER", "0", "LAYER", "2",
                                      "0", "62", "1", "0", "LAYER", "2", "CUT", "62", "5", "0", "LAYER", "2", "KEEP",
                                      "62", "2", "0", "ENDTAB", "0", "ENDSEC"});
    const std::string blocks =
        Block("B", "0", "0",
              Line(0, 0, 1, 0) + Line(0, 1, 1, 1, Lines({"62", "0"})) + Line(0, 2, 1, 2, Lines({"8", "KEEP"}))) +
        Block("OUTER", "0", "0", Insert("B", "0", "0", Lines({"62", "0"})));
    const std::string cut = Lines({"8", "CUT"});
    ASSERT_TRUE(Read(tables + WithBlocks(blocks, Insert("B", "0", "0", cut) +
                                                     Insert("B", "10", "0", cut + Lines({"62", "3"})) +
                                                     Insert("OUTER", "20", "0", cut + Lines({"62", "6"})) +
                                                     Line(0, 5, 1, 5, cut) + Line(0, 6, 1, 6))));
    const COLORREF red = MakeRGB(255, 0, 0), blue = MakeRGB(0, 0, 255), yellow = MakeRGB(255, 255, 0);
    const COLORREF green = MakeRGB(0, 255, 0), magenta = MakeRGB(255, 0, 255);
    // By CUT, by the INSERT's colour (CUT's when it has none of its own,
    // the outer INSERT's through a nested one by block), KEEP's own.
    const COLORREF expected[] = {blue, blue, yellow, blue, green, yellow, blue, magenta, yellow, blue, red};
    ASSERT_EQ(Objects(m_list).size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(At(i)->m_nLayer, static_cast<std::int32_t>(Nearest(expected[i]))) << i;
    ExpectNodesNear(At(4), {{10000, 1000}, {11000, 1000}});
}

TEST_F(DxfReader, GridInsertsMakeRowsTimesColumnsCopiesAndMirroredInsertsMirror)
{
    // 4 columns 5 apart, 3 rows 7 apart, turned a quarter about (10, 20):
    // copy (c, r) of the line (0, 0)-(1, 0) runs from (10 - 7r, 20 + 5c)
    // upwards by 1, rows after rows.
    const std::string blocks = Block("G", "0", "0", Line(0, 0, 1, 0)) + Block("E", "0", "0", Line(0, 0, 10, 0));
    ASSERT_TRUE(Read(WithBlocks(blocks, Insert("G", "10", "20", Lines({"50", "90", "70", "4", "71", "3", "44", "5",
                                                                       "45", "7"})))));
    ASSERT_EQ(Objects(m_list).size(), 12u);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            const double x = 1000.0 * (10 - 7 * r), y = 1000.0 * (20 + 5 * c);
            SCOPED_TRACE(testing::Message() << "column " << c << " row " << r);
            ExpectNodesNear(At(static_cast<std::size_t>(r * 4 + c)), {{x, y}, {x, y + 1000}});
        }
    }

    // Counts below 1 make one copy; a grid beyond the object limit is left
    // out. Seen from below, the copy placed at (100, 0)-(110, 0) is mirrored
    // to (-100, 0)-(-110, 0).
    ASSERT_TRUE(Read(WithBlocks(blocks, Insert("G", "0", "0", Lines({"70", "0", "71", "-3", "44", "5"})) +
                                            Insert("G", "0", "0", Lines({"70", "100000", "71", "100000"})) +
                                            Insert("E", "100", "0", Lines({"210", "0", "220", "0", "230", "-1"})))));
    ASSERT_EQ(Objects(m_list).size(), 2u);
    ExpectNodesNear(At(0), {{0, 0}, {1000, 0}});
    ExpectNodesNear(At(1), {{-100000, 0}, {-110000, 0}});
}

// Every point of the object's cubic pieces, at 100 steps each, lies within
// tol of the circle.
void ExpectOnCircle(const CDocData* o, double cx, double cy, double r, double tol)
{
    std::vector<XY> at = NodePositions(o);
    ASSERT_EQ((at.size() - 1) % 3, 0u);
    double worst = 0.0;
    for (std::size_t i = 0; i + 3 < at.size(); i += 3) {
        for (int k = 0; k <= 100; ++k) {
            const double t = k / 100.0, u = 1 - t;
            const double x = u * u * u * at[i].first + 3 * u * u * t * at[i + 1].first +
                             3 * u * t * t * at[i + 2].first + t * t * t * at[i + 3].first;
            const double y = u * u * u * at[i].second + 3 * u * u * t * at[i + 1].second +
                             3 * u * t * t * at[i + 2].second + t * t * t * at[i + 3].second;
            worst = std::max(worst, std::fabs(std::hypot(x - cx, y - cy) - r));
        }
    }
    EXPECT_LE(worst, tol);
}

TEST_F(DxfReader, ArcsAndBulgesStayOnTheirCircleAndEllipseArcsEndOnTheirPoints)
{
    // 85 degrees of radius 100 mm in one piece: the exact cubic is 0.019 mm
    // off at most (tan(theta / 3) made it 1.04 mm); as an ARC and as a bulge
    // of tan(85 / 4 degrees).
    const double a = 85.0 * std::numbers::pi / 180.0;
    ASSERT_TRUE(Read(Entities(
        Lines({"0", "ARC", "10", "0", "20", "0", "40", "100", "50", "0", "51", "85"}) +
        Lines({"0", "LWPOLYLINE", "10", "100", "20", "0", "42", FormatFixed(std::tan(a / 4), 15), "10",
               FormatFixed(100 * std::cos(a), 12), "20", FormatFixed(100 * std::sin(a), 12)}))));
    ASSERT_EQ(Objects(m_list).size(), 2u);
    ExpectOnCircle(At(0), 0, 0, 100000, 20);
    ExpectOnCircle(At(1), 0, 0, 100000, 20);

    // An ellipse (axes 20 and 10) from parameter 0.3 to 0.3 + pi ends on
    // exactly those points, so the LINE across it closes it.
    const std::string ellipse = Lines({"0", "ELLIPSE", "10", "0", "20", "0", "11", "20", "21", "0", "40", "0.5", "41",
                                       "0.3", "42", FormatFixed(0.3 + std::numbers::pi, 15)});
    ASSERT_TRUE(Read(Entities(ellipse)));
    const std::vector<XY> ends = NodePositions(m_list);
    EXPECT_NEAR(ends.front().first, 20000 * std::cos(0.3), 1e-6);
    EXPECT_NEAR(ends.front().second, 10000 * std::sin(0.3), 1e-6);
    EXPECT_NEAR(ends.back().first, -20000 * std::cos(0.3), 1e-6);
    EXPECT_NEAR(ends.back().second, -10000 * std::sin(0.3), 1e-6);
}

std::string SplineOf(int degree, const std::vector<double>& knots, const std::vector<XY>& controls,
                     const std::vector<std::string>& weights = {})
{
    std::string s = Lines({"0", "SPLINE", "70", "8", "71", FormatInt(degree), "72",
                           FormatInt(static_cast<int>(knots.size())), "73",
                           FormatInt(static_cast<int>(controls.size()))});
    for (double k : knots)
        s += Lines({"40", FormatFixed(k, 6)});
    for (const std::string& w : weights)
        s += Lines({"41", w});
    for (const XY& p : controls)
        s += Lines({"10", FormatFixed(p.first, 6), "20", FormatFixed(p.second, 6), "30", "0"});
    return s;
}

TEST_F(DxfReader, RationalSplinesKeepEachWeightAndBadOnesCountAsOne)
{
    // A quarter circle of radius 50 as a rational quadratic (weights 1,
    // 1/sqrt 2, 1): every point within 0.01 mm of the circle (one weight
    // for all made it a parabola, 3 mm off).
    const std::vector<double> knots = {0, 0, 0, 1, 1, 1};
    const std::vector<XY> controls = {{50, 0}, {50, 50}, {0, 50}};
    ASSERT_TRUE(Read(Entities(SplineOf(2, knots, controls, {"1", FormatFixed(std::sqrt(0.5), 15), "1"}))));
    for (const XY& p : NodePositions(m_list))
        EXPECT_NEAR(std::hypot(p.first, p.second), 50000, 10);

    // Weights 0, not a number and negative count as 1: the plain quadratic,
    // through (37.5, 37.5) at its middle.
    ASSERT_TRUE(Read(Entities(SplineOf(2, knots, controls, {"0", "nan", "-2"}))));
    bool middle = false;
    for (const XY& p : NodePositions(m_list)) {
        ASSERT_TRUE(std::isfinite(p.first) && std::isfinite(p.second));
        middle = middle || (std::fabs(p.first - 37500) < 1e-6 && std::fabs(p.second - 37500) < 1e-6);
    }
    EXPECT_TRUE(middle);
}

TEST_F(DxfReader, SplineSpansAreHalvedUntilEveryChordIsWithinAHundredthOfAMillimetre)
{
    // The clamped cubic over (0, 0) (0, 300) (300, 300) (300, 0) mm: at 80
    // steps the chords about t = 0.5 (curve speed 450 mm, radius 112.5 mm)
    // lie 450^2 / 80^2 / 112.5 / 8 = 0.035 mm off, at 160 steps 0.0088 mm:
    // P0, 160 samples and P3.
    const std::vector<XY> controls = {{0, 0}, {0, 300}, {300, 300}, {300, 0}};
    ASSERT_TRUE(Read(Entities(SplineOf(3, {0, 0, 0, 0, 1, 1, 1, 1}, controls))));
    const std::vector<XY> nodes = NodePositions(m_list);
    ASSERT_EQ(nodes.size(), 162u);
    auto bezier = [&](double t) {
        const double u = 1 - t;
        return XY{1000 * (3 * u * t * t * 300 + t * t * t * 300), 1000 * (3 * u * u * t * 300 + 3 * u * t * t * 300)};
    };
    for (std::size_t q = 0; q < 160; ++q) {
        const XY a = nodes[q + 1], b = nodes[q + 2], m = bezier((q + 0.5) / 160.0);
        EXPECT_NEAR(a.first, bezier(q / 160.0).first, 1e-6);
        const double cross = (b.first - a.first) * (m.second - a.second) - (b.second - a.second) * (m.first - a.first);
        EXPECT_LE(std::fabs(cross) / std::hypot(b.first - a.first, b.second - a.second), 10.0) << q;
    }

    // Degree 31 over 2000 points would need 39,380 samples at least: it is
    // sampled evenly at 1,600,000 / 32^2 = 1,562, with P0 and the last point.
    std::vector<double> many;
    std::vector<XY> wave;
    for (int i = 0; i < 2000 + 32; ++i)
        many.push_back(std::clamp(i - 31, 0, 2000 - 31));
    for (int i = 0; i < 2000; ++i)
        wave.push_back({i * 0.1, (i % 2) * 5.0});
    ASSERT_TRUE(Read(Entities(SplineOf(31, many, wave))));
    EXPECT_EQ(CountNodes(m_list->m_pNodes), 1564);

    // Degrees 0 and 32, and knots that go back: left out; the LINE is read.
    ASSERT_TRUE(Read(Entities(SplineOf(0, {0, 1}, {{0, 0}}) + SplineOf(32, {0, 1}, {{0, 0}}) +
                              SplineOf(3, {0, 0, 0, 0, 1, 0.5, 1, 1}, controls) + Line(0, 0, 1, 0))));
    ASSERT_EQ(Objects(m_list).size(), 1u);
    EXPECT_EQ(m_list->GetType(), MT_LINE);
}

TEST_F(DxfReader, ColourNumbersIndexTheStandardTableAndByLayerTakesTheLayer)
{
    // The standard table: the named colours (7 black on the light drawing),
    // the red hue at brightness 255, 165, 127, 76 and 38 with their
    // half-saturated twins, a few other hues, and the greys.
    const std::pair<int, COLORREF> table[] = {
        {1, MakeRGB(255, 0, 0)},      {2, MakeRGB(255, 255, 0)},    {3, MakeRGB(0, 255, 0)},
        {4, MakeRGB(0, 255, 255)},    {5, MakeRGB(0, 0, 255)},      {6, MakeRGB(255, 0, 255)},
        {7, MakeRGB(0, 0, 0)},        {8, MakeRGB(128, 128, 128)},  {9, MakeRGB(192, 192, 192)},
        {10, MakeRGB(255, 0, 0)},     {11, MakeRGB(255, 127, 127)}, {12, MakeRGB(165, 0, 0)},
        {13, MakeRGB(165, 82, 82)},   {14, MakeRGB(127, 0, 0)},     {15, MakeRGB(127, 63, 63)},
        {16, MakeRGB(76, 0, 0)},      {17, MakeRGB(76, 38, 38)},    {18, MakeRGB(38, 0, 0)},
        {19, MakeRGB(38, 19, 19)},    {33, MakeRGB(165, 124, 82)},  {94, MakeRGB(0, 127, 0)},
        {109, MakeRGB(19, 38, 23)},   {147, MakeRGB(38, 66, 76)},   {170, MakeRGB(0, 0, 255)},
        {250, MakeRGB(51, 51, 51)},   {251, MakeRGB(80, 80, 80)},   {252, MakeRGB(105, 105, 105)},
        {253, MakeRGB(130, 130, 130)}, {254, MakeRGB(190, 190, 190)}, {255, MakeRGB(255, 255, 255)},
    };
    for (const auto& [number, rgb] : table)
        EXPECT_EQ(CFileTransDxf::StandardColour(number), rgb) << number;
    // Green and the dark green of hue 120 are two layers.
    EXPECT_NE(Nearest(CFileTransDxf::StandardColour(3)), Nearest(CFileTransDxf::StandardColour(94)));

    // Layer CUT is blue (5), layer OFF is switched off and green (-3).
    const std::string tables = Lines({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LAYER", "0", "LAYER", "2",
                                      "CUT", "62", "5", "0", "LAYER", "2", "OFF", "62", "-3", "0", "ENDTAB", "0",
                                      "ENDSEC"});
    ASSERT_TRUE(Read(tables + Entities(Line(0, 0, 1, 0, Lines({"62", "1"})) + Line(0, 1, 1, 1, Lines({"8", "CUT"})) +
                                       Line(0, 2, 1, 2, Lines({"8", "OFF"})) + Line(0, 3, 1, 3))));
    const std::uint32_t expected[] = {Nearest(MakeRGB(255, 0, 0)), Nearest(MakeRGB(0, 0, 255)),
                                      Nearest(MakeRGB(0, 255, 0)), Nearest(MakeRGB(0, 0, 0))};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(At(i)->m_nLayer, static_cast<std::int32_t>(expected[i])) << i;
        EXPECT_EQ(At(i)->m_nColor, m_settings.m_palette[expected[i]]) << i;
    }
    EXPECT_NE(expected[0], expected[1]);
}

TEST_F(DxfReader, BrokenFilesEndCleanly)
{
    EXPECT_FALSE(Read(std::string("AutoCAD Binary DXF\r\n\x1a\0", 22) + Entities(Line(0, 0, 1, 0))));
    EXPECT_FALSE(Read(""));
    EXPECT_FALSE(Read("garbage\n\n\r\r\n"));
    CFileTransDxf reader;
    CDocData* list = nullptr;
    std::filesystem::create_directory(m_folder.Root() + "folder.dxf");
    EXPECT_FALSE(reader.ReadDxf(m_folder.Root() + "folder.dxf", list, &m_ctx));
    EXPECT_FALSE(reader.ReadDxf(m_folder.Root() + "missing.dxf", list, &m_ctx));

    // Every cut of a file with tables, blocks and entities: what is read is
    // read, nothing more.
    const std::string whole =
        Lines({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LAYER", "0", "LAYER", "2", "A", "62", "3", "0",
               "ENDTAB", "0", "TABLE", "2", "STYLE", "0", "STYLE", "2", "S", "3", "x.shx", "0", "ENDTAB", "0",
               "ENDSEC"}) +
        WithBlocks(Block("B", "1", "1", Line(1, 1, 2, 2) + Lines({"0", "LWPOLYLINE", "10", "0", "20", "0", "42", "1",
                                                                    "10", "1", "20", "0"})),
                   Insert("B", "3", "3") + Lines({"0", "POLYLINE", "70", "1", "0", "VERTEX", "10", "0", "20", "0",
                                                  "0", "VERTEX", "10", "1", "20", "1", "42", "-2", "0", "SEQEND"}) +
                       Lines({"0", "SPLINE", "72", "8", "73", "4", "40", "0", "40", "0"}) + Line(5, 5, 6, 6));
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        Read(whole.substr(0, cut));
        for (const CDocData* o : Objects(m_list)) {
            for (const XY& p : NodePositions(o->m_pNodes)) {
                ASSERT_TRUE(std::isfinite(p.first) && std::isfinite(p.second)) << cut;
            }
        }
    }
    // Whole: the block's two objects, the polyline and the line; the spline
    // whose control points never came adds nothing.
    ASSERT_TRUE(Read(whole));
    EXPECT_EQ(Objects(m_list).size(), 4u);
}

// A file cut short: inside an entity, the entity is dropped (its last value
// may be cut too: 6.0 of 6.0000) and the whole ones before it are read;
// before the end-of-file group, everything is read. Either way one message
// names the entities read; a file that gave nothing fails without it, as
// any file without a drawing. Read without a document (the open dialog's
// preview), nothing is said.
TEST_F(DxfReader, AFileCutShortGivesWhatWasWholeAndSaysHowManyEntitiesWereRead)
{
    m_table[101 + 47] = u"ended early: ";
    const std::string whole = Entities(Line(1, 1, 2, 1) + Line(3, 3, 4, 3) + Line(5, 5, 6, 5));
    const std::size_t lastX = whole.rfind("6.0000");
    const std::size_t eof = whole.rfind("0\r\nEOF");
    struct Cut {
        std::size_t at;
        std::size_t objects;
        const char16_t* text;
    };
    for (const Cut& cut : {Cut{lastX + 3, 2, u"ended early: 2"}, Cut{eof, 3, u"ended early: 3"},
                           Cut{whole.find("LINE") + 4, 0, nullptr}}) {
        SCOPED_TRACE(cut.at);
        m_prompt.m_shown.clear();
        EXPECT_EQ(Read(whole.substr(0, cut.at)), cut.objects > 0);
        EXPECT_EQ(Objects(m_list).size(), cut.objects);
        ASSERT_EQ(m_prompt.m_shown.size(), cut.text != nullptr ? 1u : 0u);
        if (cut.text != nullptr) {
            EXPECT_EQ(m_prompt.m_shown[0].text, cut.text);
        }
    }
    ASSERT_EQ(Objects(m_list).size(), 0u);
    m_prompt.m_shown.clear();
    ASSERT_TRUE(Read(whole.substr(0, lastX + 3) + "\r\n"));
    EXPECT_EQ(NodePositions(At(1)), (std::vector<XY>{{3000, 3000}, {4000, 3000}}));

    // Whole, with blank lines and a DOS end mark, or trash, after EOF:
    // nothing to say.
    m_prompt.m_shown.clear();
    for (const char* after : {"\r\n\x1a", "999\r\ntrash\r\n0\r\nLINE\r\n10"}) {
        ASSERT_TRUE(Read(whole + after));
        EXPECT_EQ(Objects(m_list).size(), 3u);
    }
    CFileTransDxf preview;
    CDocData* list = nullptr;
    EXPECT_TRUE(preview.ReadDxfBytes(whole.substr(0, eof), list, nullptr));
    DeleteObjectList(list);
    EXPECT_TRUE(m_prompt.m_shown.empty());
}

// On a thread of long work the reader steps every 4096 entities. 5000
// lines of 81 bytes after the 25 of the section's head, with 19 after them:
// 405,044 bytes. Entity 4096 has been read once the next one's "0", "LINE"
// are: 25 + 4096 x 81 + 9 = 331,810, 819 thousandths (cut). A cancelled
// read brings nothing, leaves a given list as it was and says nothing,
// though it stopped inside the file.
TEST_F(DxfReader, ALongFileStepsThroughItsEntitiesAndACancelledReadBringsNothing)
{
    std::string body;
    for (int i = 0; i < 5000; ++i)
        body += Line(0, 0, 1, 0);
    const std::string dxf = Entities(body);
    ASSERT_EQ(dxf.size(), 405044u);
    const StepRecorder steps;
    {
        WorkControl control;
        const WorkControl::Scope scope(&control);
        ASSERT_TRUE(Read(dxf));
    }
    EXPECT_EQ(steps.Steps(), std::vector<int>{819});
    EXPECT_EQ(Objects(m_list).size(), 5000u);

    CDocData* const before = m_list;
    WorkControl cancelled;
    cancelled.Cancel();
    const WorkControl::Scope scope(&cancelled);
    CFileTransDxf reader;
    EXPECT_FALSE(reader.ReadDxfBytes(dxf, m_list, &m_ctx));
    EXPECT_EQ(m_list, before);
    EXPECT_EQ(Objects(m_list).size(), 5000u);
    EXPECT_TRUE(m_prompt.m_shown.empty());
}

TEST_F(DxfReader, TextEscapesTakeExactlyTheirDigits)
{
    EXPECT_EQ(CFileTransDxf::DecodeText("\\U+00B15mm"), WideToCodePage(u"\u00B15mm"));
    EXPECT_EQ(CFileTransDxf::DecodeText("A\\U+00B0"), WideToCodePage(u"A\u00B0"));
    // Too few digits: the text stays as written.
    EXPECT_EQ(CFileTransDxf::DecodeText("\\U+00Bx"), "\\U+00Bx");
    // A double-byte character of the code page, then plain text.
    EXPECT_EQ(CFileTransDxf::DecodeText("\\M+5B0A1z"), std::string("\xB0\xA1z"));
    // The control codes: degree, plus-minus, a percent sign, the underline
    // and overline switches dropped, and the diameter sign, which the
    // Chinese code page (the default) holds only as capital phi.
    EXPECT_EQ(CFileTransDxf::DecodeText("45%%d %%P0.1 100%%% %%uA%%U%%o %%x"),
              WideToCodePage(u"45\u00B0 \u00B10.1 100% A %%x"));
    if (CodePageName() == "CP936") {
        EXPECT_EQ(CFileTransDxf::DecodeText("%%c8"), WideToCodePage(u"\u03A68"));
    }
    // Cut to 255 bytes between two-byte characters, not inside one.
    std::string wide;
    for (int i = 0; i < 200; ++i)
        wide += "\xB0\xA1";
    EXPECT_EQ(CFileTransDxf::DecodeText(wide, 255).size(), 254u);
}

TEST_F(DxfReader, TextRecordsTakeTheFirstStyleAndSoundDefaults)
{
    // Two styles: only the first reaches the texts; its extended data face
    // name replaces its font file. A face name too long for the field keeps
    // its suffix within it.
    const std::string styles = Lines({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "STYLE", "0", "STYLE", "2",
                                      "First", "3", "first.shx", "41", "1.2", "1001", "ACAD", "1000", "Sans", "0",
                                      "STYLE", "2", "Second", "3", "second.shx", "0", "ENDTAB", "0", "ENDSEC"});
    CFileTransDxf reader;
    CDocData* list = nullptr;
    EXPECT_FALSE(reader.ReadDxfBytes(styles, list, &m_ctx));
    EXPECT_EQ(reader.m_style.m_name, "First");
    EXPECT_EQ(reader.m_style.m_font_file, "Sans.ttf");

    DXFENTITY entity;
    DXFTEXT rec;
    rec.m_text = "a";
    rec.m_width_factor = 0.8;
    rec.m_bWidthRead = true;
    Text text;
    reader.BuildTextRecord(entity, rec, text);
    EXPECT_EQ(text.m_width_factor, 0.8); // below 1, yet the entity's own
    EXPECT_EQ(std::string(text.m_font_file), "Sans.ttf");
    EXPECT_EQ(std::string(text.m_text), "a");
    EXPECT_EQ(text.m_color, 256);
    rec.m_bWidthRead = false;
    reader.BuildTextRecord(entity, rec, text);
    EXPECT_EQ(text.m_width_factor, 1.2); // the style's
    reader.m_style.m_width_factor = 0.0;
    reader.BuildTextRecord(entity, rec, text);
    EXPECT_EQ(text.m_width_factor, 1.0); // neither: 1

    MText mtext;
    reader.BuildMTextRecord(entity, DXFMTEXT{}, mtext);
    EXPECT_EQ(mtext.m_line_spacing, 1.0); // the library divides by no 0

    const std::string longFace(700, 'f');
    reader.ReadDxfBytes(Lines({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "STYLE", "0", "STYLE", "1000"}) +
                            Lines({longFace, "0", "ENDTAB", "0", "ENDSEC"}),
                        list, &m_ctx);
    EXPECT_EQ(reader.m_style.m_font_file.size(), CFileTransDxf::kMaxName);
    EXPECT_TRUE(reader.m_style.m_font_file.ends_with(".ttf"));
}

// Outlines of the system's sans-serif face.
class DxfText : public DxfReader {
protected:
    CGeoBox Box()
    {
        CGeoBox box;
        for (const CDocData* o : Objects(m_list))
            box.Union(o->m_rcBound);
        return box;
    }
};

TEST_F(DxfText, TextsScaleWithTheUnitAndLandOnTheirAlignmentPoint)
{
    const std::string text = Lines({"0", "TEXT", "10", "0", "20", "0", "40", "1", "1", "HI"});
    ASSERT_TRUE(Read(Entities(text)));
    ASSERT_EQ(Objects(m_list).size(), 2u); // one text object per letter
    EXPECT_EQ(m_list->GetType(), MT_CHAR);
    const CGeoBox mm = Box();
    ASSERT_TRUE(Read(Entities(text, InsUnits(1))));
    const CGeoBox inch = Box();
    EXPECT_NEAR(inch.m_xmax - inch.m_xmin, 25.4 * (mm.m_xmax - mm.m_xmin), 1e-6);
    EXPECT_NEAR(inch.m_ymax - inch.m_ymin, 25.4 * (mm.m_ymax - mm.m_ymin), 1e-6);

    // Centred (72 = 1) and right-aligned (72 = 2) on the alignment point
    // (5, 0); the insertion point written beside it does not count.
    const std::string centred = Lines({"0", "TEXT", "10", "0", "20", "0", "40", "1", "1", "HI", "72", "1", "11", "5",
                                       "21", "0"});
    ASSERT_TRUE(Read(Entities(centred)));
    CGeoBox box = Box();
    EXPECT_NEAR((box.m_xmin + box.m_xmax) / 2, 5000, 1e-6);
    EXPECT_NEAR(box.m_xmax - box.m_xmin, mm.m_xmax - mm.m_xmin, 1e-6);
    ASSERT_TRUE(Read(Entities(Lines({"0", "TEXT", "10", "0", "20", "0", "40", "1", "1", "HI", "72", "2", "11", "5",
                                     "21", "0"}))));
    EXPECT_NEAR(Box().m_xmax, 5000, 1e-6);
}

// A style whose font is not installed and a character no face has: the text
// is drawn all the same, and one message says what was replaced or left out.
TEST_F(DxfText, TextOfFontsNotInstalledIsDrawnAndToldOnce)
{
    m_table[137] = u"Replaced:";
    m_table[138] = u"Left out:";
    SetLanguageTable(m_table);
    auto style = [](const char* font) {
        return Lines({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "STYLE", "0", "STYLE", "2", "Standard", "3",
                      font, "0", "ENDTAB", "0", "ENDSEC"});
    };
    // H of height 10 in the default face: 10 mm high, its left bearing
    // 201 / 1493 of that from the insertion point; two texts, one message.
    const std::string text = Lines({"0", "TEXT", "10", "0", "20", "0", "40", "10", "1", "HI"});
    ASSERT_TRUE(Read(style("txt") + Entities(text + text)));
    ASSERT_EQ(Objects(m_list).size(), 4u);
    const CGeoBox h = At(0)->m_rcBound;
    EXPECT_NEAR(h.m_ymax - h.m_ymin, 10000.0, 0.01);
    EXPECT_NEAR(h.m_xmin, 10000.0 * 201 / 1493, 0.01);
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, u"Replaced:\ntxt \u2192 DejaVu Sans");

    // The first character of the user-defined area is in no installed face:
    // with a code page that has it, the character is left out, its
    // neighbours stay, and it is named once.
    plat::GlyphFont probe;
    ASSERT_TRUE(probe.Create(plat::GlyphFontSpec{"DejaVu Sans", 64, 400, false}));
    if (probe.FontFor(U'\uE000') != nullptr)
        GTEST_SKIP() << "a face has U+E000";
    ::setenv("BRENVIK_CODEPAGE", "CP932", 1);
    const bool read = Read(Entities(Lines({"0", "TEXT", "10", "0", "20", "0", "40", "1", "1", "A\\U+E000B\\U+E000"})));
    ::unsetenv("BRENVIK_CODEPAGE");
    ASSERT_TRUE(read);
    EXPECT_EQ(Objects(m_list).size(), 2u);
    ASSERT_EQ(m_prompt.m_shown.size(), 2u);
    EXPECT_EQ(m_prompt.m_shown[1].text, u"Left out:\n\uE000 (U+E000)");
}

// A 10 mm TEXT is 10 mm high (its H, within 0.1 %) in a millimetre and in an
// inch drawing; no size is rounded on the way.
TEST_F(DxfText, TenMillimetreTextIsTenMillimetresHighInEveryUnit)
{
    ASSERT_TRUE(Read(Entities(Lines({"0", "TEXT", "10", "0", "20", "0", "40", "10", "1", "H"}))));
    EXPECT_NEAR(Box().m_ymax - Box().m_ymin, 10000.0, 10.0);
    ASSERT_TRUE(Read(Entities(Lines({"0", "TEXT", "10", "0", "20", "0", "40", "0.393700787", "1", "H"}), InsUnits(1))));
    EXPECT_NEAR(Box().m_ymax - Box().m_ymin, 10000.0, 10.0);
    // A 0.01 mm text too.
    ASSERT_TRUE(Read(Entities(Lines({"0", "TEXT", "10", "0", "20", "0", "40", "0.01", "1", "H"}))));
    EXPECT_NEAR(Box().m_ymax - Box().m_ymin, 10.0, 0.01);
}

TEST_F(DxfText, MTextPiecesAreAppendedAndTurnByAngleOrDirection)
{
    // Multi-line texts take their font from the style only.
    const std::string style = Lines({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "STYLE", "0", "STYLE", "2",
                                     "Standard", "3", "arial.ttf", "0", "ENDTAB", "0", "ENDSEC"});
    // Two group 3 pieces and the group 1 end: six letters, six objects.
    ASSERT_TRUE(Read(style + Entities(Lines({"0", "MTEXT", "10", "0", "20", "0", "40", "1", "3", "AB", "3", "CD", "1",
                                             "EF"}))));
    EXPECT_EQ(Objects(m_list).size(), 6u);

    // Turned a quarter by 50 = 90 or by the direction (0, 1): the line runs
    // upwards, taller than wide, and both ways give the same outline.
    ASSERT_TRUE(Read(style + Entities(Lines({"0", "MTEXT", "10", "0", "20", "0", "40", "1", "50", "90", "11", "1",
                                             "21", "0", "1", "ABCDEF"}))));
    const CGeoBox byAngle = Box();
    EXPECT_GT(byAngle.m_ymax - byAngle.m_ymin, byAngle.m_xmax - byAngle.m_xmin);
    ASSERT_TRUE(Read(style + Entities(Lines({"0", "MTEXT", "10", "0", "20", "0", "40", "1", "11", "0", "21", "1", "1",
                                             "ABCDEF"}))));
    const CGeoBox byDirection = Box();
    EXPECT_NEAR(byDirection.m_xmin, byAngle.m_xmin, 1e-6);
    EXPECT_NEAR(byDirection.m_ymax, byAngle.m_ymax, 1e-6);
}

// Files written by other programs, read whole; coordinates in
// micrometres worked out from their values.
TEST_F(DxfReader, FilesOfOtherProgramsReadWithTheirCoordinates)
{
    if (TestDataFolder().empty())
        GTEST_SKIP() << "test data folder missing";
    auto read = [&](const char* name) {
        DeleteObjectList(m_list);
        CFileTransDxf reader;
        reader.SetUnitChoice(0);
        return reader.ReadDxf(TestDataFolder() + "/dxf/" + name, m_list, &m_ctx);
    };
    auto box = [&] {
        CGeoBox b;
        for (const CDocData* o : Objects(m_list))
            b.Union(o->m_rcBound);
        return b;
    };
    // Nothing drawable: an empty ENTITIES section; blocks only.
    EXPECT_FALSE(read("Minimal_DXF_AC1009.dxf"));
    EXPECT_FALSE(read("blocks2.dxf"));

    for (const char* name : {"t.r12.dxf", "t.r2000.dxf"}) {
        ASSERT_TRUE(read(name)) << name;
        EXPECT_EQ(NodePositions(m_list), (std::vector<XY>{{0, 0}, {10000, 10000}})) << name;
    }
    // A circle of radius 1.5 about the origin; the bytes after EOF are not
    // read.
    ASSERT_TRUE(read("R12_with_trash_beyond_EOF.dxf"));
    ASSERT_EQ(Objects(m_list).size(), 1u);
    ExpectBox(m_list->m_rcBound, -1500, 1500, -1500, 1500);

    // An ARC seen from below: centre (650.054..., 347.590...), radius
    // 0.760..., 338.90 to 355.08 degrees, mirrored to 180 - 355.08 to
    // 180 - 338.90 degrees about x = -650054.18.
    ASSERT_TRUE(read("arc1.dxf"));
    const std::vector<XY> arc = NodePositions(m_list);
    EXPECT_NEAR(arc.front().first, -650811.8013497037, 1e-6);
    EXPECT_NEAR(arc.front().second, 347525.692386294, 1e-6);
    EXPECT_NEAR(arc.back().first, -650763.6241845747, 1e-6);
    EXPECT_NEAR(arc.back().second, 347317.2207874862, 1e-6);

    // The second ellipse: centre (0, -5), major axis (0, 5), ratio 4.
    ASSERT_TRUE(read("ellipse.dxf"));
    ASSERT_EQ(Objects(m_list).size(), 2u);
    const CGeoBox second = At(1)->m_rcBound;
    EXPECT_NEAR(second.m_xmin, -20000, 1e-6);
    EXPECT_NEAR(second.m_xmax, 20000, 1e-6);
    EXPECT_NEAR(second.m_ymin, -10000, 1e-6);
    EXPECT_NEAR(second.m_ymax, 0, 1e-6);

    // A POLYLINE whose first vertices are (0, 60) and (18.54..., 60).
    ASSERT_TRUE(read("polylines.dxf"));
    EXPECT_EQ(Objects(m_list).size(), 12u);
    const std::vector<XY> poly = NodePositions(m_list);
    EXPECT_NEAR(poly[0].second, 60000, 1e-6);
    EXPECT_NEAR(poly[1].first, 18540.2455661664, 1e-6);

    // Splines end on their last control point.
    ASSERT_TRUE(read("splines.dxf"));
    ASSERT_EQ(Objects(m_list).size(), 2u);
    EXPECT_EQ(NodePositions(m_list).front(), (XY{0, 0}));
    EXPECT_NEAR(NodePositions(m_list).back().first, 4994861.260930288, 1e-6);
    EXPECT_NEAR(NodePositions(m_list).back().second, 329532.9955163307, 1e-6);

    // Inches: a 5 x 7 inch drawing.
    ASSERT_TRUE(read("Tux-R2000.dxf"));
    const CGeoBox tux = box();
    EXPECT_NEAR(tux.m_xmax - tux.m_xmin, 127000, 1e-6);
    EXPECT_NEAR(tux.m_ymax - tux.m_ymin, 177800, 1e-6);

    // Metres: the first line runs from (0, 0) to (0, 10). The style's font
    // txt is not installed: the 16 texts are drawn in the default face, one
    // text object for each of their 237 characters that are not spaces.
    ASSERT_TRUE(read("text_alignments.dxf"));
    EXPECT_EQ(NodePositions(m_list), (std::vector<XY>{{0, 0}, {0, 10000000}}));
    std::size_t characters = 0;
    for (const CDocData* o : Objects(m_list))
        characters += o->GetType() == MT_CHAR ? 1 : 0;
    EXPECT_EQ(characters, 237u);

    // Polylines with an arbitrary extrusion are read in their own plane.
    ASSERT_TRUE(read("POLI-ALL210_12.DXF"));
    EXPECT_EQ(Objects(m_list).size(), 30u);
    EXPECT_NEAR(NodePositions(m_list).front().first, -6255.607057780904, 1e-6);
    EXPECT_NEAR(NodePositions(m_list).front().second, -5555.7016588601824, 1e-6);

    ASSERT_TRUE(read("geom-arc.dxf"));
    EXPECT_EQ(Objects(m_list).size(), 34u);
}

} // namespace
} // namespace plat

namespace plat {
namespace {

// An object and its children as numbers: kind, layer, colour, box and
// every node, to the bit.
void Describe(const CDocData* o, std::vector<double>& out)
{
    for (; o != nullptr; o = o->m_pNext) {
        out.insert(out.end(), {double(o->m_nType), double(o->m_nLayer), double(o->m_nColor), o->m_rcBound.m_xmin,
                               o->m_rcBound.m_xmax, o->m_rcBound.m_ymin, o->m_rcBound.m_ymax});
        for (const DOCNODE* n = o->m_pNodes; n != nullptr; n = n->m_pNext)
            out.insert(out.end(), {n->m_x, n->m_y, double(n->m_nKind)});
        if (CDocData** children = const_cast<CDocData*>(o)->ChildList()) {
            out.push_back(-1.0);
            Describe(*children, out);
            out.push_back(-2.0);
        }
    }
}

using dxftest::Block;
using dxftest::Entities;
using dxftest::Insert;
using dxftest::Line;
using dxftest::Lines;
using dxftest::WithBlocks;

struct SideBySideSizes {
    SideBySideSizes(std::size_t from, std::size_t piece) { CFileTransDxf::SetSideBySideSizes(from, piece); }
    ~SideBySideSizes() { CFileTransDxf::SetSideBySideSizes(std::size_t{4} << 20, std::size_t{1} << 20); }
};

class DxfPieces : public ImportFixture {
protected:
    // What a read gives, and says, with the section read whole and in
    // pieces of about `piece` bytes.
    void ExpectSameEachWay(const std::string& bytes, std::size_t piece)
    {
        auto read = [&](std::size_t from, std::size_t pieceBytes) {
            const SideBySideSizes sizes(from, pieceBytes);
            m_prompt.m_shown.clear();
            CFileTransDxf reader;
            CDocData* list = nullptr;
            std::vector<double> out{reader.ReadDxfBytes(bytes, list, &m_ctx) ? 1.0 : 0.0};
            Describe(list, out);
            DeleteObjectList(list);
            std::vector<std::u16string> said;
            for (const auto& m : m_prompt.m_shown)
                said.push_back(m.text);
            return std::make_pair(out, said);
        };
        const auto whole = read(static_cast<std::size_t>(-1), std::size_t{1} << 20);
        const auto pieces = read(0, piece);
        EXPECT_EQ(pieces.first, whole.first);
        EXPECT_EQ(pieces.second, whole.second);
    }
};

// Every file of other programs, and written ones with every entity that
// stands alone, long lines, blank lines, a cut end, and entities (TEXT,
// INSERT) that send the reading back to one walk: read in pieces side by
// side they give what one walk gives, objects, order and messages alike.
TEST_F(DxfPieces, ASectionReadInPiecesGivesWhatOneWalkGives)
{
    // The files of other programs, where the checkout has them.
    const std::string folder = TestDataFolder().empty() ? std::string() : TestDataFolder() + "/dxf";
    for (const auto& entry : folder.empty() ? std::filesystem::directory_iterator()
                                            : std::filesystem::directory_iterator(folder)) {
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (std::size_t piece : {64u, 700u})
            ExpectSameEachWay(bytes, piece);
    }

    std::string body;
    for (int i = 0; i < 40; ++i) {
        const std::string n = FormatInt(i);
        body += Line(i, 0, i + 1, 2, Lines({"8", i % 3 == 0 ? "0" : "Cut", "62", FormatInt(1 + i % 7)}));
        body += Lines({"0", "LWPOLYLINE", "8", "Cut", "90", "3", "70", "1", "10", n, "20", "5", "42", "0.5", "10",
                       FormatInt(i + 2), "20", "5", "10", FormatInt(i + 1), "20", "9"});
        body += Lines({"0", "CIRCLE", "10", n, "20", "20", "40", "1.5"});
        body += Lines({"0", "ARC", "10", n, "20", "30", "40", "2", "50", "10", "51", "200"});
        body += Lines({"0", "ELLIPSE", "10", n, "20", "40", "11", "3", "21", "1", "40", "0.4", "41", "0", "42", "4"});
        body += Lines({"0", "POINT", "10", n, "20", "50"});
        body += Lines({"0", "SPLINE", "70", "8", "71", "3", "72", "8", "73", "4", "40", "0", "40", "0", "40", "0",
                       "40", "0", "40", "1", "40", "1", "40", "1", "40", "1", "10", n, "20", "60", "10", "1", "20",
                       "65", "10", "2", "20", "58", "10", "3", "20", "62"});
        body += Lines({"0", "POLYLINE", "66", "1", "70", "1", "0", "VERTEX", "10", n, "20", "70", "0", "VERTEX",
                       "10", FormatInt(i + 1), "20", "71", "42", "1", "0", "VERTEX", "10", n, "20", "72", "0",
                       "SEQEND"});
        body += Lines({"0", "SOLID", "10", "0", "20", "0", "0", "HATCH", "2", "SOLID", "10", "1", "20", "1"});
        if (i == 17)
            body += Lines({"0", "LINE", "999", std::string(1500, 'x'), "10", "0", "20", "0", "11", "1", "21", "1"});
    }
    const std::string file = Entities(body);
    ExpectSameEachWay(file, 64);
    ExpectSameEachWay(file, 333);
    // Cut inside an entity, without its end.
    ExpectSameEachWay(file.substr(0, file.size() * 2 / 3), 64);
    // LF only, with blank lines before some codes.
    std::string lf;
    for (char c : file) {
        if (c != '\r')
            lf += c;
    }
    for (std::size_t at = lf.find("\n0\nCIRCLE"); at != std::string::npos; at = lf.find("\n0\nCIRCLE", at + 3))
        lf.insert(at + 1, "\n");
    ExpectSameEachWay(lf, 64);
    // A text and an insert among them: one walk.
    ExpectSameEachWay(WithBlocks(Block("B", "0", "0", Line(0, 0, 1, 1)),
                                 body + Insert("B", "5", "5") + Lines({"0", "TEXT", "10", "0", "20", "0", "40", "2",
                                                                       "1", "AB"})),
                      64);
}

// Read in pieces, the bar moves while the pieces are read, and a cancel
// stops every piece: nothing is brought in.
TEST_F(DxfPieces, TheBarMovesWhilePiecesAreReadAndACancelStopsThemAll)
{
    std::string body;
    for (int i = 0; i < 40000; ++i)
        body += Line(i, 0, i + 1, 1);
    const std::string file = Entities(body);
    const SideBySideSizes sizes(0, file.size() / 8);
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel);
        std::vector<int> steps;
        WorkControl::SetStepHookForTesting([&](WorkControl& control, int permille) {
            steps.push_back(permille);
            if (cancel)
                control.Cancel();
        });
        WorkControl control;
        CDocData* list = nullptr;
        {
            const WorkControl::Scope scope(&control);
            CFileTransDxf reader;
            reader.ReadDxfBytes(file, list, &m_ctx);
        }
        WorkControl::SetStepHookForTesting(nullptr);
        std::size_t objects = 0;
        for (const CDocData* o = list; o != nullptr; o = o->m_pNext)
            ++objects;
        DeleteObjectList(list);
        ASSERT_FALSE(steps.empty());
        EXPECT_GT(steps.front(), 0);
        if (cancel) {
            EXPECT_LT(steps.front(), 1000);
            EXPECT_TRUE(control.Cancelled());
            EXPECT_EQ(objects, 0u);
        } else {
            // Steps within the pieces, before the section's end.
            EXPECT_LT(steps.front(), 900);
            EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
            EXPECT_EQ(objects, 40000u);
        }
    }
}

} // namespace
} // namespace plat
