// The HPGL reader on bytes. Coordinates stay in file units; each run of
// pen-down moves becomes a polyline, a pen put down without moving a point;
// the layer is the pen less one, modulo 256.
//
// Faults these catch: pen-up travel cut, the first segment of a path lost
// or left as a dot, a path taking the pen chosen after it, numbers of other
// commands read as coordinates, lower-case commands or exponents misread,
// user units taken for plotter units, relative and encoded moves dropped,
// arcs flattened too coarsely or moving the pen wrongly, label and escape
// bytes read as commands, the last bytes of a file left unread,
// coordinates beyond 32 bits (or endless arcs) taken as they come.
#include "ImportTestSupport.h"
#include "importexport/FileTransPlt.h"
#include "platform/WorkControl.h"

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
    DeleteObjectList(r.list);
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

TEST(PltReader, PenDownRunsArePathsAndPenUpTravelIsNeverCut)
{
    struct Case {
        std::string_view file;
        std::vector<Expected> objects;
    };
    const Case cases[] = {
        // A bare PD, coordinates in PA: the path starts where the pen went
        // down, and no dot is left there.
        {"PU;PA100,100;PD;PA200,100,200,200;PU;", {{MT_LINE, 0, {{100, 100}, {200, 100}, {200, 200}}}}},
        // Pairs of one PU are all travel.
        {"PU0,0,1000,0;PD1000,1000;", {{MT_LINE, 0, {{1000, 0}, {1000, 1000}}}}},
        {"PU100,200;PU300,400;PD500,600;", {{MT_LINE, 0, {{300, 400}, {500, 600}}}}},
        // The pen put down and lifted without moving is the only dot.
        {"PU100,100;PD;PU;", {{MT_POINT, 0, {{100, 100}}}}},
        // The pen starts up at (0, 0); SP lifts it and the new pen starts
        // there.
        {"SP3;PD10,10;", {{MT_LINE, 2, {{0, 0}, {10, 10}}}}},
        {"SP1;PU0,0;PD10,0;SP2;PA30,30;PD40,40;", {{MT_LINE, 0, {{0, 0}, {10, 0}}}, {MT_LINE, 1, {{30, 30}, {40, 40}}}}},
        // LT ends the path but not the pen: drawing goes on from the same
        // place in a new path; its numbers are no coordinates, nor are IP's.
        {"PU0,0;PD10,0;LT2,4;PD10,10;PW0.35,1;IP0,0,10,10;PA20,10;",
         {{MT_LINE, 0, {{0, 0}, {10, 0}}}, {MT_LINE, 0, {{10, 0}, {10, 10}, {20, 10}}}}},
        // IN lifts the pen and brings it back to (0, 0).
        {"PU5,5;PD;PD6,6;IN;PD;PD1,1;", {{MT_LINE, 0, {{5, 5}, {6, 6}}}, {MT_LINE, 0, {{0, 0}, {1, 1}}}}},
        // PR steps with the pen up and down; PA goes back to absolute.
        {"PA100,100;PR;PD10,0,0,10;PU-5,-5;PD0,-5;PA0,0;PD;",
         {{MT_LINE, 0, {{100, 100}, {110, 100}, {110, 110}}}, {MT_LINE, 0, {{105, 105}, {105, 100}, {0, 0}}}}},
        // Pen 10 is layer 9; pen 300 is layer 299 mod 256 = 43.
        {"SP10;PU1,1;PD;SP300;PU2,2;PD;", {{MT_POINT, 9, {{1, 1}}}, {MT_POINT, 43, {{2, 2}}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Read r;
        Parse(c.file, r);
        ExpectObjects(r, c.objects);
    }
}

TEST(PltReader, MnemonicsAndNumbersReadInEveryFormTheFormatAllows)
{
    // Lower-case mnemonics, exponents, signs, decimals, blanks or nothing
    // between mnemonic and number, a sign as separator, EC without ';'.
    const std::pair<std::string_view, std::string_view> same[] = {
        {"PU1000,0;PD1000,1000;pu5000,5000;PD6000,5000;", "PU1000,0;PD1000,1000;PU5000,5000;PD6000,5000;"},
        {"PD1e3,1000,2000,1000;", "PD1000,1000,2000,1000;"},
        {"pu2.5E1 -.5pD 1.5e+1,-2e-1+3,4;", "PU25,-0.5;PD15,-0.2,3,4;"},
        {"PU0,0PD10,0ECPD20,0EC1PD30,0", "PU0,0;PD10,0;PD20,0;PD30,0;"},
    };
    for (const auto& [form, plain] : same) {
        SCOPED_TRACE(form);
        Read a, b;
        Parse(form, a);
        Parse(plain, b);
        ASSERT_TRUE(a.ok && b.ok);
        const std::vector<const CDocData*> got = Objects(a.list), want = Objects(b.list);
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(NodePositions(got[i]), NodePositions(want[i]));
    }
    Read r;
    Parse("pu2.5E1 -.5pD 1.5e+1,-2e-1+3,4;", r);
    ExpectObjects(r, {{MT_LINE, 0, {{25, -0.5}, {15, -0.2}, {3, 4}}}});
}

TEST(PltReader, CharacterDataAndEscapesAreNoCommands)
{
    // Label text up to ETX, then up to the '*' that DT sets; the symbol
    // after SM; PCL escapes around HP-GL/2; encoded data up to its ';' (a
    // relative step of (10, 0): 20 + 191 and 0 + 191).
    Read r;
    Parse("\x1b%-12345X\x1b" "E\x1b%1BSP1;PU0,0;LBSP0PU9,9\x03;PD10,0;DT*;LBPA7,7*;PD20,0;SMPPD30,0;"
          "PE\xd3\xbf;\x1b%0A",
          r);
    ExpectObjects(r, {{MT_LINE, 0, {{0, 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}}}});
}

TEST(PltReader, EncodedPolylinesDecodeToTheirCoordinates)
{
    // Written by hand: '<' '=' then 100 -> 200 = 8 + 3 * 64: 'G' (8 + 63),
    // 0xC2 (3 + 191); 50 -> 100 = 36 + 1 * 64: 'c', 0xC0. A pen-up move to
    // (100, 50). Then the relative step (20, -30): 40 -> 0xE7, 61 -> 0xFC.
    // '>' 1 fraction bit (2 -> 0xC1), the step (5, -3) / 2: 10 -> 0xC9,
    // 7 -> 0xC6. A second PE in 7-bit base 32: (40, -1): 80 = 16 + 2 * 32:
    // 'O' (16 + 63), 'a' (2 + 95); 3 -> 'b' (3 + 95). Then pen 2 (4 ->
    // 0xC3) and the step (10, 0).
    Read r;
    Parse("SP1;PE<=G\xc2" "c\xc0\xe7\xfc>\xc1\xc9\xc6;PE7Oab;PE:\xc3\xd3\xbf;", r);
    ExpectObjects(r, {{MT_LINE, 0, {{100, 50}, {120, 20}, {122.5, 18.5}, {162.5, 17.5}}},
                      {MT_LINE, 1, {{162.5, 17.5}, {172.5, 17.5}}}});

    // Under SC the steps are user units: 10 user units are 20 plotter units.
    Parse("SC0,5000,0,3600;PA1,1;PE\xd3\xbf;", r);
    ExpectObjects(r, {{MT_LINE, 0, {{2, 2}, {22, 2}}}});
}

TEST(PltReader, ScalingMapsUserUnitsOntoTheScalingPoints)
{
    struct Case {
        std::string_view file;
        std::vector<XY> nodes;
    };
    const Case cases[] = {
        // 10000 user units onto 8128 plotter units.
        {"IP0,0,8128,8128;SC0,10000,0,10000;PU0,0;PD10000,0;", {{0, 0}, {8128, 0}}},
        // IP with two numbers moves P2 along: (400, 4500)-(10400, 11700).
        {"IN;IP400,4500;SC0,9000,0,6363;PU0,0;PD9000,6363;", {{400, 4500}, {10400, 11700}}},
        // Isotropic: 100 plotter units per user unit, centred across.
        {"IP0,0,2000,1000;SC0,10,0,10,1;PU0,0;PD10,10;", {{500, 0}, {1500, 1000}}},
        {"IP0,0,2000,1000;SC0,10,0,10,1,0,0;PU0,0;PD10,10;", {{0, 0}, {1000, 1000}}},
        // Point factors: user (5, 5) at P1, 4 and 2 plotter units a unit.
        {"IP100,200;SC5,4,5,2,2;PU5,5;PD10,10;", {{100, 200}, {120, 210}}},
        // The default scaling points (0, 0)-(10000, 7200); relative steps
        // in user units; SC alone ends the scaling.
        {"SC0,100,0,100;PA1,1;PR;PD1,1;SC;PD1,1;", {{100, 72}, {200, 144}, {201, 145}}},
        // An unusable SC (no width, no height, factor 0, unknown type)
        // leaves the scaling as it was; IN and DF end it.
        {"SC0,0,0,10;SC0,10,5,5;SC0,0,0,2,2;SC0,10,0,10,3;PU1,1;PD2,2;", {{1, 1}, {2, 2}}},
        {"SC0,1,0,1;IN;PU1,1;SC0,1,0,1;DF;PD2,2;", {{1, 1}, {2, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Read r;
        Parse(c.file, r);
        ASSERT_TRUE(r.ok);
        ASSERT_EQ(Objects(r.list).size(), 1u);
        ExpectNodesNear(r.list, c.nodes);
    }
}

TEST(PltReader, ArcsAndCirclesStayWithinOneUnitOfTheCurve)
{
    // Radius 100: chords of 2 acos(1 - 1/100) = 16.2 degrees at most, so a
    // quarter turn takes 6 chords; no chord's middle is nearer the centre
    // than 99. The arc ends at (0, 100) and the path goes on from there.
    const auto chordsWithin = [](const std::vector<XY>& n, double cx, double cy, double radius) {
        for (std::size_t i = 0; i < n.size(); ++i) {
            EXPECT_NEAR(std::hypot(n[i].first - cx, n[i].second - cy), radius, 1e-9) << i;
            if (i > 0) {
                const double mx = (n[i].first + n[i - 1].first) / 2, my = (n[i].second + n[i - 1].second) / 2;
                EXPECT_GE(std::hypot(mx - cx, my - cy), radius - 1.0) << i;
            }
        }
    };
    Read r;
    Parse("PA100,0;PD;AA0,0,90;PD0,0;", r);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(Objects(r.list).size(), 1u);
    std::vector<XY> n = NodePositions(r.list);
    ASSERT_EQ(n.size(), 8u);
    n.pop_back();
    EXPECT_EQ(NodePositions(r.list).back(), (XY{0, 0}));
    EXPECT_NEAR(n.back().first, 0, 1e-9);
    EXPECT_NEAR(n.back().second, 100, 1e-9);
    chordsWithin(n, 0, 0, 100);

    // AR about (-50, 0) clockwise from (0, 0): through the lower half to
    // (-100, 0). With the pen up an arc only moves it.
    Parse("PA0,0;PD;AR-50,0,-180;PU;PA100,0;AA0,0,90;PD0,0;", r);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(Objects(r.list).size(), 2u);
    n = NodePositions(r.list);
    chordsWithin(n, -50, 0, 50);
    EXPECT_NEAR(n.back().first, -100, 1e-9);
    EXPECT_NEAR(n.back().second, 0, 1e-9);
    EXPECT_LT(n[n.size() / 2].second, -49);
    ExpectNodesNear(r.list->m_pNext, {{0, 100}, {0, 0}});

    // CI: a closed path of its own, 8 chords for a small circle, starting
    // at angle 0; the pen and its path stay where they were.
    Parse("PA10,20;PD;CI5;PD20,20;", r);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(Objects(r.list).size(), 2u);
    n = NodePositions(r.list);
    chordsWithin(n, 10, 20, 5);
    ASSERT_EQ(n.size(), 9u);
    EXPECT_EQ(n.front(), (XY{15, 20}));
    EXPECT_EQ(n.back(), (XY{15, 20}));
    EXPECT_EQ(NodePositions(r.list->m_pNext), (std::vector<XY>{{10, 20}, {20, 20}}));
}

TEST(PltReader, TheLastBytesAreRead)
{
    // The file ends inside the PD numbers: the path ends at (1, 2). The same
    // path cut short anywhere after it reads nothing past its end.
    Read r;
    Parse("SP1;PU0,0;PD1,2", r);
    ExpectObjects(r, {{MT_LINE, 0, {{0, 0}, {1, 2}}}});
    for (std::string_view cut : {"PU0,0;PD1,2;S", "PU0,0;PD1,2;SP", "PU0,0;PD1,2;LB", "PU0,0;PD1,2;DT",
                                 "PU0,0;PD1,2;SM", "PU0,0;PD1,2;PE", "PU0,0;PD1,2;PE=G", "PU0,0;PD1,2;PD-",
                                 "PU0,0;PD1,2;\x1b", "PU0,0;PD1,2;\x1b%", "PU0,0;PD1,2;\x1b.", "PU0,0;PD1,2;BP\"x"}) {
        SCOPED_TRACE(cut);
        Read c;
        Parse(cut, c);
        ExpectObjects(c, {{MT_LINE, 0, {{0, 0}, {1, 2}}}});
    }
}

TEST(PltReader, CoordinatesBeyondThirtyTwoBitsFailTheRead)
{
    Read edge;
    Parse("SP1;PU2147483647,-2147483648;PD;", edge);
    ExpectObjects(edge, {{MT_POINT, 0, {{2147483647.0, -2147483648.0}}}});

    // Straight, relative, scaled, encoded and curved ways past the range,
    // a number past a double's, and more arc nodes than a small file may
    // make.
    std::string circles = "PA0,0;";
    for (int i = 0; i < 20; ++i)
        circles += "CI2e9;";
    const std::string huge = "SP1;PU0,0;PD" + std::string(400, '9') + ",0;";
    for (std::string_view bad :
         {std::string_view("SP1;PU0,0;PD2147483648,0;"), std::string_view("SP1;PU0,-2147483649;"), std::string_view(huge),
          std::string_view("PA2147483000,0;PR;PD1000,0;"), std::string_view("SC0,1e-300,0,1;PD1,1;"),
          std::string_view("PE??????????\xc0\xbf;"), std::string_view("PA0,0;CI3e9;"),
          std::string_view("PA0,0;PD;AA-2147483000,0,180;"), std::string_view(circles)}) {
        SCOPED_TRACE(bad.substr(0, 40));
        Read r;
        Parse(bad, r);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.list, nullptr);
    }
    // Numbers that are not coordinates are not checked; an SC or IP whose
    // numbers are out of range is passed over.
    Read skipped;
    Parse("SP1;PW99999999999;SC0,1e999,0,1;IP1e999,0;PU1,1;PD;", skipped);
    ExpectObjects(skipped, {{MT_POINT, 0, {{1, 1}}}});
}

TEST(PltReader, UnreadableFileFails)
{
    CFileTransPlt reader;
    CDocData* list = nullptr;
    EXPECT_FALSE(reader.ReadPlt("/nonexistent/drawing.plt", list, nullptr));
    EXPECT_EQ(list, nullptr);
}

// On a thread of long work the reader steps through its bytes every 4096
// commands. "IN;" then 10,000 times "PU0,0;PD10,10;" (14 bytes), 140,003
// bytes: command 4096 (a PU, pair 2047) starts at 3 + 14 x 2047 = 28,661,
// which is 204 thousandths (cut); commands 8192, 12288 and 16384 at 57,333,
// 86,005 and 114,677: 409, 614 and 819. A cancelled read fails at its first
// step with nothing read.
TEST(PltReader, ALongFileStepsThroughItsBytesAndACancelledReadFails)
{
    std::string plt = "IN;";
    for (int i = 0; i < 10000; ++i)
        plt += "PU0,0;PD10,10;";
    const StepRecorder steps;
    WorkControl control;
    {
        const WorkControl::Scope scope(&control);
        CDocData* list = nullptr;
        ASSERT_TRUE(CFileTransPlt().ParsePlt(plt, list, nullptr));
        EXPECT_NE(list, nullptr);
        DeleteObjectList(list);
    }
    EXPECT_EQ(steps.Steps(), (std::vector<int>{204, 409, 614, 819}));

    WorkControl cancelled;
    cancelled.Cancel();
    {
        const WorkControl::Scope scope(&cancelled);
        CDocData* list = nullptr;
        EXPECT_FALSE(CFileTransPlt().ParsePlt(plt, list, nullptr));
        EXPECT_EQ(list, nullptr);
    }
}

} // namespace
} // namespace plat
