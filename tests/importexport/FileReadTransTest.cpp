// The import dispatcher on the HPGL road: the reader's file units divided by
// resolution / 25.4 / 10 (4.0 at 1016 dpi and for the system's own files),
// mirrored in y about the drawing's centre, cleaned, placed with the
// lower-left corner on the mouse point and linked in as one undo step.
//
// Faults these catch: a drawing upside down or off the origin, a cancelled
// or failed import that still changes the document or its history, a folder
// or a foreign extension taken for a drawing, the own-file mark ignored, the
// resolution not remembered, old objects lost or left unselected.
#include "ImportTestSupport.h"
#include "importexport/FileReadTrans.h"
#include "importexport/FileTransPlt.h"
#include "model/DocDataBezier.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace plat {
namespace {

constexpr std::string_view kDrawing = "IN;SP2;PU0,0;PD400,0,400,400;PU800,800;PD;SP0;";

class Dispatcher : public ImportFixture {
protected:
    bool Import(const std::string& path)
    {
        CFileReadTrans dispatcher;
        return dispatcher.ReadFile(&m_ctx, path, true);
    }
    // Document and history untouched by a failed import.
    void ExpectNothingChanged(CDocData* before)
    {
        EXPECT_EQ(Document(), before);
        EXPECT_EQ(OlderSnapshots(), 0);
    }
};

TEST_F(Dispatcher, HpglAt1016DpiLandsScaledMirroredAndPlaced)
{
    // File units / 4: the polyline (0,0) (100,0) (100,100) and the point
    // (200,200); mirrored about y = 100 and moved onto (500000, 500000).
    ASSERT_TRUE(Import(File("drawing.plt", std::string(kDrawing))));
    const std::vector<const CDocData*> objects = Objects(Document());
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0]->GetType(), MT_LINE);
    EXPECT_EQ(NodePositions(objects[0]), (std::vector<XY>{{500000, 500200}, {500100, 500200}, {500100, 500100}}));
    EXPECT_EQ(objects[1]->GetType(), MT_POINT);
    EXPECT_EQ(NodePositions(objects[1]), (std::vector<XY>{{500200, 500000}}));
    for (const CDocData* o : objects) {
        EXPECT_EQ(o->m_nLayer, 1);
        EXPECT_EQ(o->m_nColor, m_settings.m_palette[1]);
        EXPECT_EQ(o->IsSelected(), 1);
    }
    ExpectBox(m_ctx.m_rcSelect, 500000, 500200, 500000, 500200);
    EXPECT_EQ(OlderSnapshots(), 1);
    EXPECT_EQ(m_ctx.m_pCurrent->m_pOlder->m_pFirst, nullptr);

    // The dialog was shown the size in file units with the settings; the
    // confirmed choice is written to software.par.
    ASSERT_EQ(m_options.m_resolutionShown.size(), 1u);
    EXPECT_EQ(m_options.m_resolutionShown[0].m_dWidth, 800.0);
    EXPECT_EQ(m_options.m_resolutionShown[0].m_dHeight, 800.0);
    EXPECT_EQ(m_options.m_resolutionShown[0].m_nResolution, 1016);
    EXPECT_NE(m_folder.Read("software.par").find("plt resolution\r\n1016\r\n"), std::string::npos);
}

TEST_F(Dispatcher, ResolutionChoiceScalesForeignFilesButNotOwnOnes)
{
    // 508 dpi: factor 2. The own file (maker word on its first line) is
    // divided by 4 whatever the answer; the answer is still remembered.
    m_options.m_setResolution = true;
    m_options.m_resolution.m_nResolution = 508;
    m_options.m_resolution.m_nCustom = 508;
    ASSERT_TRUE(Import(File("foreign.PLT", "SP1;PU0,0;PD100,0;")));
    EXPECT_EQ(NodePositions(Document()), (std::vector<XY>{{500000, 500000}, {500050, 500000}}));
    EXPECT_EQ(m_settings.plt_resolution, 508);
    EXPECT_EQ(m_settings.plt_other_resolution, 508);

    DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
    ASSERT_TRUE(Import(File("own.rev.plt", "xx Halvoren xx\r\nSP1;PU0,0;PD100,0;")));
    EXPECT_EQ(NodePositions(Document()), (std::vector<XY>{{500000, 500000}, {500025, 500000}}));
}

TEST_F(Dispatcher, CancelOrNoResolutionImportsNothing)
{
    CDocData* const before = MakeLine({{1, 1}, {2, 2}});
    m_ctx.m_pCurrent->m_pFirst = before;
    m_options.m_answer = IDCANCEL;
    EXPECT_FALSE(Import(File("a.plt", std::string(kDrawing))));
    ExpectNothingChanged(before);

    m_options.m_answer = IDOK;
    m_options.m_setResolution = true;
    m_options.m_resolution.m_nResolution = 0;
    EXPECT_FALSE(Import(File("a.plt", std::string(kDrawing))));
    ExpectNothingChanged(before);
    EXPECT_EQ(m_settings.plt_resolution, 1016);

    // A file without a path still shows the dialog, then fails.
    m_options.m_resolutionShown.clear();
    m_options.m_resolution.m_nResolution = 1016;
    EXPECT_FALSE(Import(File("empty.plt", "IN;SP1;")));
    EXPECT_EQ(m_options.m_resolutionShown.size(), 1u);
    ExpectNothingChanged(before);
}

TEST_F(Dispatcher, OnlyRegularFilesWithARoadAreRead)
{
    std::filesystem::create_directory(m_folder.Root() + "folder.plt");
    for (const std::string& path :
         {m_folder.Root() + "folder.plt", m_folder.Root() + "missing.plt", File("job.out", std::string(kDrawing)),
          File("plt", std::string(kDrawing)), File("broken.plt", "SP1;PU0,0;PD99999999999,0;")}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(Import(path));
        ExpectNothingChanged(nullptr);
    }
    EXPECT_TRUE(m_options.m_resolutionShown.empty());
}

TEST_F(Dispatcher, ImportIntoADrawingKeepsItAndSelectsEverything)
{
    CDocData* old = MakeLine({{400000, 400000}, {400010, 400000}});
    old->m_bSelected = 0;
    m_ctx.m_pCurrent->m_pFirst = old;
    ASSERT_TRUE(Import(File("b.plt", std::string(kDrawing))));
    const std::vector<const CDocData*> objects = Objects(Document());
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0], old);
    EXPECT_EQ(objects[1]->m_pPrev, old);
    for (const CDocData* o : objects)
        EXPECT_EQ(o->IsSelected(), 1);
    ExpectBox(m_ctx.m_rcSelect, 400000, 500200, 400000, 500200);
    EXPECT_EQ(OlderSnapshots(), 1);
    EXPECT_EQ(Objects(m_ctx.m_pCurrent->m_pOlder->m_pFirst).size(), 1u);
}

TEST_F(Dispatcher, AStraightBezierAlreadyInTheDrawingBecomesAPolylineOnImport)
{
    // The clean-up after an import passes over the whole drawing: the old
    // straight Bezier path, listed after an old polyline, becomes a
    // polyline in its place, and every object counts for the selection.
    CDocData* old = MakeLine({{400000, 400000}, {400010, 400000}});
    // Anchor, outgoing control, incoming control, anchor: the controls on
    // the anchors.
    DOCNODE* head = AppendNode(nullptr, 600000, 600000, NODE_ANCHOR);
    DOCNODE* last = AppendNode(head, 600000, 600000, NODE_CONTROL_OUT);
    last = AppendNode(last, 600003, 600000, NODE_CONTROL_IN);
    AppendNode(last, 600003, 600000, NODE_ANCHOR);
    auto* curve = new CDocDataBezier(head, true, nullptr);
    old->m_pNext = curve;
    curve->m_pPrev = old;
    m_ctx.m_pCurrent->m_pFirst = old;
    ASSERT_TRUE(Import(File("d.plt", std::string(kDrawing))));
    const std::vector<const CDocData*> objects = Objects(Document());
    ASSERT_EQ(objects.size(), 4u);
    EXPECT_EQ(objects[0], old);
    EXPECT_EQ(objects[1]->GetType(), MT_LINE);
    EXPECT_EQ(NodePositions(objects[1]), (std::vector<XY>{{600000, 600000}, {600003, 600000}}));
    for (const CDocData* o : objects)
        EXPECT_EQ(o->IsSelected(), 1);
    ExpectBox(m_ctx.m_rcSelect, 400000, 600003, 400000, 600000);
}

TEST_F(Dispatcher, EndsWithinTheJoinDistanceAreUnitedAndShortRunsReduced)
{
    // World units are file units / 4. The first path runs from 0 to 0.5 in
    // steps of 0.05; the second starts 0.005 after it and is joined to it,
    // the third starts 0.02 after the second and stays apart. The joined
    // path's nodes from 0 up to 0.505 form one run shorter than 1.0 that
    // ends before 25: only its ends stay.
    ASSERT_TRUE(Import(File("c.plt", "SP1;PU0,0;PD0.2,0,0.4,0,0.6,0,0.8,0,1,0,1.2,0,1.4,0,1.6,0,1.8,0,2,0;"
                                     "PU2.02,0;PD100,0;PU100.08,0;PD200,0;")));
    const std::vector<const CDocData*> objects = Objects(Document());
    ASSERT_EQ(objects.size(), 2u);
    ExpectNodesNear(objects[0], {{500000, 500000}, {500000.505, 500000}, {500025, 500000}});
    ExpectNodesNear(objects[1], {{500025.02, 500000}, {500050, 500000}});
}

TEST_F(Dispatcher, ShortRunsAreReducedAlsoAfterAnObjectWhosePlacedBoxCountsAsEmpty)
{
    // A point first, then a polyline with a run of short segments; placed
    // at a negative mouse point the point's box is a single negative
    // corner, which counts as empty. The polyline is still reduced (the
    // run from 0.1 to 0.25 becomes one segment) and both count for the
    // selection box.
    m_ctx.m_ptMouse = CGeoPoint(-5000, -5000);
    ASSERT_TRUE(Import(File("p.plt", "IN;SP1;PU0,0;PD;PU0.4,400;PD0.6,400,0.8,400,1,400,100,400;")));
    const std::vector<const CDocData*> objects = Objects(Document());
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0]->GetType(), MT_POINT);
    EXPECT_TRUE(objects[0]->m_rcBound.IsEmpty());
    ExpectNodesNear(objects[0], {{-5000, -4900}});
    ExpectNodesNear(objects[1], {{-4999.9, -5000}, {-4999.75, -5000}, {-4975, -5000}});
    ExpectBox(objects[1]->m_rcBound, -4999.9, -4975, -5000, -5000);
    ExpectBox(m_ctx.m_rcSelect, -4999.9, -4975, -5000, -5000);
}

TEST_F(Dispatcher, OwnExportComesBackWithItsGeometryAndLayers)
{
    // Paths at or above the origin that do not touch; the point returns as a
    // polyline of one node (written pen up and pen down on it).
    m_ctx.m_pCurrent->m_pFirst = LinkObjects({MakeLine({{500000, 500000}, {500040, 500000}, {500040, 500030}}, 3),
                                        MakePoint(500100, 500200, 7), MakeLine({{500060, 500050}, {500080, 500090}}, 0)});
    const std::string path = m_folder.Root() + "round.plt";
    CFileTransPlt writer;
    ASSERT_TRUE(writer.ExportPlt(path, &m_ctx));
    DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
    m_settings.plt_resolution = 1000;

    ASSERT_TRUE(Import(path));
    const std::vector<const CDocData*> objects = Objects(Document());
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(NodePositions(objects[0]), (std::vector<XY>{{500000, 500000}, {500040, 500000}, {500040, 500030}}));
    EXPECT_EQ(objects[0]->m_nLayer, 3);
    EXPECT_EQ(objects[1]->GetType(), MT_LINE);
    EXPECT_EQ(NodePositions(objects[1]), (std::vector<XY>{{500100, 500200}}));
    EXPECT_EQ(objects[1]->m_nLayer, 7);
    EXPECT_EQ(NodePositions(objects[2]), (std::vector<XY>{{500060, 500050}, {500080, 500090}}));
    EXPECT_EQ(objects[2]->m_nLayer, 0);
}

TEST_F(Dispatcher, FilesOfOtherProgramsImportWithoutHarm)
{
    if (TestDataFolder().empty())
        GTEST_SKIP() << "test data folder missing";
    for (const char* name : {"hp.hpgl", "tektronix.hpgl"}) {
        SCOPED_TRACE(name);
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(TestDataFolder() + "/hpgl/" + name, bytes));
        DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
        ASSERT_TRUE(Import(File("plot.plt", bytes)));
        CGeoBox box;
        m_ctx.m_pCurrent->GetObjectsRect(box, 0);
        EXPECT_EQ(box.m_xmin, 500000.0);
        EXPECT_EQ(box.m_ymin, 500000.0);
    }
    // HP-GL/2 behind PCL escapes, with no ';' after EC: its one encoded
    // path, absolute user units (2077, 2210) to (909, 1042) under
    // SC0,300,0,300 onto IP0,0,1016,-1016, runs 1168 * 1016 / 300 plotter
    // units each way, a quarter of that in world units, placed and
    // mirrored.
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(TestDataFolder() + "/hpgl/HPGL2Console_test1-Model.plt", bytes));
    DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
    ASSERT_TRUE(Import(File("console.plt", bytes)));
    ASSERT_EQ(Objects(Document()).size(), 1u);
    const double side = 1168.0 * 1016.0 / 300.0 / 4.0;
    ExpectNodesNear(Document(), {{500000 + side, 500000 + side}, {500000, 500000}});
}

// Coordinates beyond 1e9 world units (100 km), as read or as placed, would
// outrun the grids and pixels of everything after the import: such a
// drawing is refused with its message and leaves the document alone.
TEST_F(Dispatcher, DrawingsBeyondTheWorldsReachAreRefusedWithOneMessageAndChangeNothing)
{
    m_table[101 + 45] = u"out of reach";
    m_options.m_setUnit = true;
    m_options.m_unit = 2; // millimetres: 10 world units each
    const auto dxf = [](const std::string& entities) {
        return "0\nSECTION\n2\nENTITIES\n" + entities + "0\nENDSEC\n0\nEOF\n";
    };
    const std::string wide = "0\nLINE\n10\n-1e300\n20\n0\n11\n1e300\n21\n10\n";
    const std::string far =
        "0\nLINE\n10\n0\n20\n0\n11\n1e300\n21\n1e300\n0\nCIRCLE\n10\n1e300\n20\n-1e300\n40\n1e300\n";
    // 99,960,000 mm are 999,600,000 world units: placed from 500,000 the
    // line would end at 1,000,100,000.
    const std::string long_ = "0\nLINE\n10\n0\n20\n0\n11\n99960000\n21\n0\n";
    for (const std::string* entities : {&wide, &far, &long_}) {
        m_prompt.m_shown.clear();
        EXPECT_FALSE(Import(File("far.dxf", dxf(*entities))));
        ExpectNothingChanged(nullptr);
        ASSERT_EQ(m_prompt.m_shown.size(), 1u);
        EXPECT_EQ(m_prompt.m_shown[0].text, u"out of reach");
    }
    // 99,950,000 mm: placed, it ends at exactly 1e9.
    m_prompt.m_shown.clear();
    ASSERT_TRUE(Import(File("far.dxf", dxf("0\nLINE\n10\n0\n20\n0\n11\n99950000\n21\n0\n"))));
    EXPECT_TRUE(m_prompt.m_shown.empty());
    ExpectBox(m_ctx.m_rcSelect, 500000, 1e9, 500000, 500000);
}

TEST(NearestPaletteIndex, FirstOfEqualDistancesWinsAndNoPaletteGivesZero)
{
    std::array<COLORREF, 256> palette{};
    palette.fill(MakeRGB(255, 255, 255));
    palette[3] = MakeRGB(10, 20, 30);
    palette[5] = MakeRGB(14, 20, 30);
    palette[9] = MakeRGB(12, 20, 33);
    // (12, 20, 30): entries 3 and 5 lie 2 away, entry 9 lies 3 away.
    EXPECT_EQ(CFileReadTrans::NearestPaletteIndex(MakeRGB(12, 20, 30), palette.data()), 3u);
    EXPECT_EQ(CFileReadTrans::NearestPaletteIndex(MakeRGB(12, 20, 33), palette.data()), 9u);
    EXPECT_EQ(CFileReadTrans::NearestPaletteIndex(MakeRGB(12, 20, 30), nullptr), 0u);
}

TEST_F(Dispatcher, PlaceObjectsMovesTheBoxCornerOntoTheMouse)
{
    m_ctx.m_pCurrent->m_pFirst = MakeLine({{120, 80}, {130, 95}});
    CFileReadTrans::PlaceObjects(&m_ctx, CGeoBox(120, 130, 80, 95));
    EXPECT_EQ(NodePositions(Document()), (std::vector<XY>{{500000, 500000}, {500010, 500015}}));
}

} // namespace
} // namespace plat
