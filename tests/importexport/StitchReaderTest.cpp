// The stitch readers: a 512-byte header, then 3-byte records. DST moves in
// balanced ternary with the record kind in byte 2's top bits; DSB has a
// control byte (low nibble kind, high nibble direction) and two magnitudes.
// A record right after a jump is a jump too; runs of stitches become
// polylines, each colour change moves on to the next layer.
//
// Faults these catch: a wrong ternary weight or direction, a colour change
// right after a jump turned into a jump (its colour lands on the wrong
// layer), a colour change with no run making a polyline of its own, a
// truncated record read past the end.
#include "ImportTestSupport.h"
#include "importexport/FileReadTrans.h"
#include "importexport/FileTransDsb.h"
#include "importexport/FileTransDst.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

std::string WithHeader(std::initializer_list<unsigned> records)
{
    std::string bytes(kStitchHeaderSize, ' ');
    for (unsigned b : records)
        bytes += static_cast<char>(b);
    return bytes;
}

struct Rec {
    std::uint8_t kind;
    double x;
    double y;
};

void ExpectRecords(const std::vector<STITCHREC>& got, const std::vector<Rec>& expected)
{
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].m_nKind, expected[i].kind);
        EXPECT_EQ(got[i].m_x, expected[i].x);
        EXPECT_EQ(got[i].m_y, expected[i].y);
    }
}

TEST(DstRecords, TernaryMovesAndKindsUpToTheEndCode)
{
    // 0x01 0x04 0x20: x +1 +27, y +81. 0x80 0x10 0x83: y +1 -27, jump; the
    // stitch after it becomes a jump (x -1 -3 -81). 0x00 0x00 0xC3: colour
    // change, no move. 0x00 0x00 0xF3 ends; what follows is not read.
    const std::vector<STITCHREC> s = CFileTransDst::ParseStitches(
        WithHeader({0x01, 0x04, 0x20, 0x80, 0x10, 0x83, 0x02, 0x02, 0x08, 0x00, 0x00, 0xC3, 0x00, 0x00, 0xF3, 0x01,
                    0x00, 0x00}));
    ExpectRecords(s, {{STITCH_NORMAL, 28, 81}, {STITCH_JUMP, 28, 55}, {STITCH_JUMP, -57, 55}, {STITCH_COLOUR, -57, 55}});
}

TEST(DsbRecords, ControlNibblesMoveAndKeepAsTheTableSays)
{
    // 0x80 to (10, 5); 0xE0 back to (0, 0); 0x83 (kind 3) keeps the
    // position; 0xA7 (kind 7) moves x -2, y +1; 0xC1 jumps x +4, y -3; the
    // colour change 0x88 after the jump stays one and moves x +1, y +1;
    // 0x8C (kind 12, stored as 9) too. A last record cut short is not read.
    const std::vector<STITCHREC> s = CFileTransDsb::ParseStitches(WithHeader(
        {0x80, 0x05, 0x0A, 0xE0, 0x05, 0x0A, 0x83, 0x09, 0x09, 0xA7, 0x01, 0x02, 0xC1, 0x03, 0x04, 0x88, 0x01, 0x01,
         0x8C, 0x00, 0x00, 0x80, 0x01}));
    ExpectRecords(s, {{STITCH_NORMAL, 10, 5},
                      {STITCH_NORMAL, 0, 0},
                      {3, 0, 0},
                      {STITCH_TRIM, -2, 1},
                      {STITCH_JUMP, 2, -2},
                      {STITCH_COLOUR, 3, -1},
                      {STITCH_COLOUR, 3, -1}});
    EXPECT_TRUE(CFileTransDsb::ParseStitches(std::string(kStitchHeaderSize + 2, '\0')).empty());
    EXPECT_TRUE(CFileTransDsb::ParseStitches(std::string(100, '\0')).empty());
}

TEST(StitchesToObjects, RunsBreakAtJumpsAndColourChangesMoveOnALayer)
{
    // A run from the start (0, 0) to (10, 0) and the colour change at
    // (10, 5): layer 0. A jump to (20, 5) breaks; stitches go on from the
    // jump's position on layer 1. A second colour change with no run open
    // adds no node; the last run, from (40, 5), is on layer 2.
    const std::vector<STITCHREC> s = {{STITCH_NORMAL, 10, 0}, {STITCH_COLOUR, 10, 5}, {STITCH_JUMP, 20, 5},
                                      {STITCH_NORMAL, 30, 5}, {STITCH_TRIM, 30, 6},   {STITCH_COLOUR, 30, 7},
                                      {4, 40, 5},             {STITCH_NORMAL, 40, 9}};
    CDocData* list = CFileTransDsb::StitchesToObjects(s, nullptr);
    const std::vector<const CDocData*> objects = Objects(list);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(NodePositions(objects[0]), (std::vector<XY>{{0, 0}, {10, 0}, {10, 5}}));
    EXPECT_EQ(objects[0]->m_nLayer, 0);
    EXPECT_EQ(NodePositions(objects[1]), (std::vector<XY>{{20, 5}, {30, 5}}));
    EXPECT_EQ(objects[1]->m_nLayer, 1);
    EXPECT_EQ(NodePositions(objects[2]), (std::vector<XY>{{40, 5}, {40, 9}}));
    EXPECT_EQ(objects[2]->m_nLayer, 2);
    DeleteObjectList(list);
}

using StitchRoads = ImportFixture;

TEST_F(StitchRoads, StitchUnitsAreWorldUnitsMirroredInY)
{
    // One stitch from (0, 0) to (28, 81) in either layout: mirrored about
    // y = 40.5 and placed on the origin.
    CFileReadTrans dispatcher;
    for (const auto& [name, bytes] : {std::pair{"a.dst", WithHeader({0x01, 0x04, 0x20})},
                                      std::pair{"a.DSB", WithHeader({0x80, 81, 28})}}) {
        SCOPED_TRACE(name);
        DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
        ASSERT_TRUE(dispatcher.ReadFile(&m_ctx, File(name, bytes), true));
        ExpectNodesNear(Document(), {{500000, 500081}, {500028, 500000}});
    }
    // A header alone holds no stitch: nothing is imported.
    EXPECT_FALSE(dispatcher.ReadFile(&m_ctx, File("empty.dst", WithHeader({})), true));
}

class StitchFiles : public ImportFixture {
protected:
    void SetUp() override
    {
        if (TestDataFolder().empty())
            GTEST_SKIP() << "test data folder missing";
    }
    struct Summary {
        std::vector<int> layers;
        std::vector<std::vector<XY>> nodes;
    };
    Summary Import(const std::string& name)
    {
        DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
        CFileReadTrans dispatcher;
        EXPECT_TRUE(dispatcher.ReadFile(&m_ctx, TestDataFolder() + "/stitch/" + name, true));
        Summary s;
        for (const CDocData* o : Objects(Document())) {
            EXPECT_EQ(o->GetType(), MT_LINE);
            s.layers.push_back(o->m_nLayer);
            s.nodes.push_back(NodePositions(o));
        }
        return s;
    }
};

TEST_F(StitchFiles, BothLayoutsOfOneDesignGiveOneDrawing)
{
    // 12 polylines of 3,407 nodes on layer 0 before the node reduction.
    std::vector<STITCHREC> dst, dsb;
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(TestDataFolder() + "/stitch/Embroidermodder.DST", bytes));
    CDocData* list = CFileTransDsb::StitchesToObjects(CFileTransDst::ParseStitches(bytes), nullptr);
    int nodes = 0;
    for (const CDocData* o : Objects(list)) {
        nodes += static_cast<int>(NodePositions(o).size());
        EXPECT_EQ(o->m_nLayer, 0);
    }
    EXPECT_EQ(Objects(list).size(), 12u);
    EXPECT_EQ(nodes, 3407);
    DeleteObjectList(list);

    const Summary a = Import("Embroidermodder.DST");
    const Summary b = Import("Embroidermodder.DSB");
    EXPECT_EQ(a.layers, b.layers);
    EXPECT_EQ(a.nodes, b.nodes);
}

TEST_F(StitchFiles, TwoStitchingsOfTheStarEachUseTwoLayers)
{
    // In the DSB the second colour change comes right after a jump.
    for (const char* name : {"Star.DST", "Star.DSB"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Import(name).layers, (std::vector<int>{0, 1}));
    }
}

} // namespace
} // namespace plat
