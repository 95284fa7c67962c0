// The HPGL reader on bytes. Coordinates stay in file units; a chain of two
// or more nodes becomes a polyline, one node a point; the layer is the pen
// less one, modulo 256.
//
// Faults these catch: a path taking the pen chosen after it, numbers of LT
// or other commands read as coordinates (including the odd count before LT
// that once left a y with no node to go to), label and encoded-polyline
// bytes read as commands, the last bytes of a file left unread, coordinates
// beyond 32 bits taken as they come.
#include "ImportTestSupport.h"
#include "importexport/FileTransPlt.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

struct Read {
    bool ok = false;
    CDocData* list = nullptr;
    ~Read() { DeleteObjectList(list); }
};

void Parse(std::string_view bytes, Read& r)
{
    CFileTransPlt reader;
    r.ok = reader.ParsePlt(bytes, r.list, nullptr);
}

// What a test expects of one object: its type, layer and nodes.
struct Expected {
    std::uint32_t type;
    std::int32_t layer;
    std::vector<XY> nodes;
};

void ExpectObjects(const Read& r, const std::vector<Expected>& expected)
{
    ASSERT_TRUE(r.ok);
    const std::vector<const CDocData*> got = Objects(r.list);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i]->GetType(), expected[i].type);
        EXPECT_EQ(got[i]->m_nLayer, expected[i].layer);
        EXPECT_EQ(got[i]->m_nColor, g_settings.m_palette[static_cast<std::size_t>(expected[i].layer)]);
        EXPECT_EQ(NodePositions(got[i]), expected[i].nodes);
    }
}

TEST(PltReader, PenUpStartsANewPathAndALoneNodeIsAPoint)
{
    Read r;
    Parse("PU100,200;PU300,400;PD500,600;", r);
    ExpectObjects(r, {{MT_POINT, 0, {{100, 200}}}, {MT_LINE, 0, {{300, 400}, {500, 600}}}});
}

TEST(PltReader, PenChoiceEndsThePathDrawnWithTheOldPen)
{
    // SP2 closes the path of pen 1 before it changes the pen, and turns the
    // switch off: PD30,30 right after it is no coordinate.
    Read r;
    Parse("SP1;PU0,0;PD10,0;SP2;PD30,30;PU5,5;PD6,6;", r);
    ExpectObjects(r, {{MT_LINE, 0, {{0, 0}, {10, 0}}}, {MT_LINE, 1, {{5, 5}, {6, 6}}}});
}

TEST(PltReader, PenNumbersMapOntoLayers)
{
    // SP10 is pen 10, layer 9; pen 300 is layer 299 mod 256 = 43; a pen
    // before any PU is only remembered, and the PD numbers after it are
    // ignored with the switch off.
    Read r;
    Parse("SP3;PD10,10;SP10;PU1,1;SP300;PU2,2;", r);
    ExpectObjects(r, {{MT_POINT, 9, {{1, 1}}}, {MT_POINT, 43, {{2, 2}}}});
}

TEST(PltReader, OnlyPenMoveAndDrawNumbersAreCoordinates)
{
    // LT ends the path and its numbers are skipped, so the odd count left
    // by PD10 is dropped and LT2,4 is no point; the numbers of PW, IP and SC
    // are not coordinates either.
    Read r;
    Parse("IN;SP1;PU0,0;PD10;LT2,4;PU5,5;PW0.35,1;IP0,0,10,10;SC0,1,0,1;PD6,6;", r);
    ExpectObjects(r, {{MT_LINE, 0, {{0, 0}, {10, 10}}}, {MT_LINE, 0, {{5, 5}, {6, 6}}}});
}

TEST(PltReader, LabelsAndEncodedPolylinesAreSkippedWhole)
{
    // The label holds what would read as commands up to its terminator: ETX
    // first, then the '*' that DT sets. PE data ends at ';'.
    Read r;
    Parse("SP1;PU0,0;LBSP0PU9,9\x03;PD10,0;DT*;LBPA7,7*;PD20,0;PESP0<=y?;PD30,0;", r);
    ExpectObjects(r, {{MT_LINE, 0, {{0, 0}, {10, 0}, {20, 0}, {30, 0}}}});
}

TEST(PltReader, PenZeroEndsTheFileAndKeepsTheOpenPath)
{
    Read r;
    Parse("SP1;PU0,0;PD10,0;SP0;PU50,50;PD60,60;", r);
    ExpectObjects(r, {{MT_LINE, 0, {{0, 0}, {10, 0}}}});
}

TEST(PltReader, TheLastBytesAreRead)
{
    // The file ends inside the PD numbers: the path ends at (1, 2). The same
    // file cut after "S" or "SP" reads nothing past its end.
    Read r;
    Parse("SP1;PU0,0;PD1,2", r);
    ExpectObjects(r, {{MT_LINE, 0, {{0, 0}, {1, 2}}}});
    for (std::string_view cut : {"PU0,0;S", "PU0,0;SP", "PU0,0;LB", "PU0,0;DT", "PU0,0;PU", "PU0,0;PD-"}) {
        SCOPED_TRACE(cut);
        Read c;
        Parse(cut, c);
        ExpectObjects(c, {{MT_POINT, 0, {{0, 0}}}});
    }
}

TEST(PltReader, NumbersAreDecimalRunsAndBlanksMayFollowTheCommand)
{
    // "1e3" is read as 1 up to the 'e' (then 3 is the y); "-2.5" is negative;
    // a blank between PU and its number still starts a new path.
    Read r;
    Parse("SP1;PU 1e3;PD-2.5,7.25;PU 8,8;", r);
    ExpectObjects(r, {{MT_LINE, 0, {{1, 3}, {-2.5, 7.25}}}, {MT_POINT, 0, {{8, 8}}}});
}

TEST(PltReader, CoordinatesBeyondThirtyTwoBitsFailTheRead)
{
    Read edge;
    Parse("SP1;PU2147483647,-2147483648;", edge);
    ExpectObjects(edge, {{MT_POINT, 0, {{2147483647.0, -2147483648.0}}}});

    const std::string huge = "SP1;PU0,0;PD" + std::string(400, '9') + ",0;";
    for (std::string_view bad : {std::string_view("SP1;PU0,0;PD2147483648,0;"), std::string_view("SP1;PU0,-2147483649;"),
                                 std::string_view(huge)}) {
        Read r;
        Parse(bad, r);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.list, nullptr);
    }
    // Numbers that are not coordinates are not checked.
    Read skipped;
    Parse("SP1;PW99999999999;PU1,1;", skipped);
    ExpectObjects(skipped, {{MT_POINT, 0, {{1, 1}}}});
}

TEST(PltReader, UnreadableFileFails)
{
    CFileTransPlt reader;
    CDocData* list = nullptr;
    EXPECT_FALSE(reader.ReadPlt("/nonexistent/drawing.plt", list, nullptr));
    EXPECT_EQ(list, nullptr);
}

} // namespace
} // namespace plat
