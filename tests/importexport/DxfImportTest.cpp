// The DXF road of the import dispatcher: the unit chosen and remembered,
// block copies placed with the other objects, many polylines and curves
// cleaned, placed and selected, and the drawing mirrored in y, with a
// cancel that changes nothing.
#include "DxfTestSupport.h"
#include "ImportTestSupport.h"
#include "importexport/FileReadTrans.h"
#include "platform/Progress.h"
#include "settings/ReadParamFile.h"

#include <gtest/gtest.h>

#include <numeric>

#include <functional>
#include <string>

namespace plat {
namespace {

using dxftest::Block;
using dxftest::Entities;
using dxftest::InsUnits;
using dxftest::Insert;
using dxftest::Line;
using dxftest::Lines;
using dxftest::WithBlocks;

class DxfImport : public ImportFixture {
protected:
    bool Import(const std::string& bytes)
    {
        CFileReadTrans dispatcher;
        return dispatcher.ReadFile(&m_ctx, File("drawing.DXF", bytes), true);
    }
    CGeoBox DocumentBox()
    {
        CGeoBox box;
        m_ctx.m_pCurrent->GetObjectsRect(box, 0);
        return box;
    }
    // Imports the entities in millimetres into an empty document without
    // and with a progress control (placed side by side either way, the
    // control stepped once per object after: 0, 1, ..., count, and back to
    // 0 as the range is used up); `check` sees each of the `count` objects
    // with its place in the list, and the selection box must be `selected`.
    void ImportEachWay(const std::string& entities, int count,
                       const std::function<void(const CDocData&, int)>& check, const CGeoBox& selected)
    {
        m_options.m_setUnit = true;
        m_options.m_unit = 2;
        RecordingProgress progress;
        for (ProgressSink* sink : {static_cast<ProgressSink*>(nullptr), static_cast<ProgressSink*>(&progress)}) {
            SCOPED_TRACE(sink == nullptr ? "no progress control" : "progress control");
            SetProgressSink(sink);
            DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
            m_ctx.m_pCurrent->m_pFirst = nullptr;
            const bool imported = Import(Entities(entities));
            SetProgressSink(nullptr);
            ASSERT_TRUE(imported);
            int k = 0;
            for (const CDocData* o = Document(); o != nullptr; o = o->m_pNext, ++k) {
                SCOPED_TRACE(k);
                ASSERT_LT(k, count);
                EXPECT_NE(o->IsSelected(), 0);
                check(*o, k);
                if (HasFailure())
                    break;
            }
            EXPECT_EQ(k, count);
            ExpectBox(m_ctx.m_rcSelect, selected.m_xmin, selected.m_xmax, selected.m_ymin, selected.m_ymax);
        }
        std::vector<int> stepped(static_cast<std::size_t>(count) + 2, 0);
        std::iota(stepped.begin(), stepped.end() - 1, 0);
        EXPECT_EQ(progress.m_history, stepped);
    }
};

TEST_F(DxfImport, TheChosenUnitIsAppliedOnceAndRemembered)
{
    // A fresh software.par offers the file's own unit: a 34 x 22 mm part of
    // a millimetre file ($INSUNITS 4) comes in at its drawn size, 340 x 220
    // world units (not 25.4 times that).
    ASSERT_TRUE(CReadParamFile().ReadSoftwareParam(m_settings));
    const std::string part = Entities(Lines({"0", "LWPOLYLINE", "70", "1", "10", "0", "20", "0", "10", "34", "20",
                                             "0", "10", "34", "20", "22", "10", "0", "20", "22"}),
                                      InsUnits(4));
    ASSERT_TRUE(Import(part));
    ASSERT_EQ(m_options.m_dimensionsShown.size(), 1u);
    EXPECT_EQ(m_options.m_dimensionsShown[0], 0); // automatic
    ExpectBox(DocumentBox(), 500000, 500340, 500000, 500220);
    EXPECT_NE(m_folder.Read("software.par").find("dxf dimension\r\n0\r\n"), std::string::npos);

    // Inch chosen: a 1 x 1 square without $INSUNITS is 254 x 254 world
    // units from the origin, and inch is remembered.
    const std::string square = Entities(Lines({"0", "LWPOLYLINE", "70", "1", "10", "0", "20", "0", "10", "1", "20",
                                               "0", "10", "1", "20", "1", "10", "0", "20", "1"}));
    DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
    m_options.m_setUnit = true;
    m_options.m_unit = 1;
    ASSERT_TRUE(Import(square));
    ExpectBox(DocumentBox(), 500000, 500254, 500000, 500254);
    EXPECT_EQ(m_settings.dxf_dimension, 1);
    EXPECT_NE(m_folder.Read("software.par").find("dxf dimension\r\n1\r\n"), std::string::npos);

    // Millimetres: 10 x 10; automatic with $INSUNITS 1: inches again.
    DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
    m_options.m_unit = 2;
    ASSERT_TRUE(Import(square));
    ExpectBox(DocumentBox(), 500000, 500010, 500000, 500010);
    EXPECT_NE(m_folder.Read("software.par").find("dxf dimension\r\n2\r\n"), std::string::npos);
    DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
    m_options.m_unit = 0;
    ASSERT_TRUE(Import(Entities(Lines({"0", "LWPOLYLINE", "70", "1", "10", "0", "20", "0", "10", "1", "20", "0", "10",
                                       "1", "20", "1"}),
                                InsUnits(1))));
    ExpectBox(DocumentBox(), 500000, 500254, 500000, 500254);
}

TEST_F(DxfImport, BlockCopiesAreScaledFlippedAndPlacedWithTheOtherObjects)
{
    // Millimetres: a copy of (1, 1)-(2, 1) about base (1, 1) at (10, 0)
    // lies at (100, 0)-(110, 0) world units, the line at (0, 0)-(0, 100).
    // Mirrored in y about 50 and placed on the origin; a copy left as read
    // would lie 100 times too far and stretch the box it is mirrored about.
    m_options.m_setUnit = true;
    m_options.m_unit = 2;
    ASSERT_TRUE(Import(WithBlocks(Block("B", "1", "1", Line(1, 1, 2, 1)), Insert("B", "10", "0") + Line(0, 0, 0, 10))));
    const CDocData* copy = Document();
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->m_pNext, nullptr);
    EXPECT_EQ(NodePositions(copy), (std::vector<XY>{{500100, 500100}, {500110, 500100}}));
    EXPECT_EQ(NodePositions(copy->m_pNext), (std::vector<XY>{{500000, 500100}, {500000, 500000}}));
    EXPECT_EQ(copy->m_pNext->m_pNext, nullptr);
}

TEST_F(DxfImport, ManyPolylinesAreMirroredCleanedPlacedReducedAndSelectedAsAFewAre)
{
    // Enough polylines for the cleaning and placing to be shared out in
    // pieces. Each is (0, k)-(0.02, k)-(0.04, k)-(5, k)-(5, k) mm: ten times
    // that in world units; the repeated point goes, and the two segments
    // under one unit, straight on, become one. Mirrored in y about the
    // middle of 0..199990 and placed on the origin.
    constexpr int kCount = 20000;
    std::string body;
    for (int k = 0; k < kCount; ++k) {
        const std::string y = std::to_string(k);
        body += Lines({"0", "LWPOLYLINE", "8", "0", "70", "0", "10", "0", "20", y, "10", "0.02", "20", y, "10", "0.04",
                       "20", y, "10", "5", "20", y, "10", "5", "20", y});
    }
    ImportEachWay(
        body, kCount,
        [](const CDocData& o, int k) {
            const double y = 500000.0 + 199990.0 - 10.0 * k;
            ExpectNodesNear(&o, {{500000, y}, {500000.4, y}, {500050, y}});
        },
        CGeoBox(500000, 500050, 500000, 699990));

    // Not placed: mirrored about the middle of all of them, 99995.
    DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
    m_ctx.m_pCurrent->m_pFirst = nullptr;
    CFileReadTrans dispatcher;
    ASSERT_TRUE(dispatcher.ReadFile(&m_ctx, File("unplaced.dxf", Entities(body)), false));
    ExpectNodesNear(Document(), {{0, 199990}, {0.4, 199990}, {50, 199990}});
    const CDocData* last = Document();
    while (last->m_pNext != nullptr)
        last = last->m_pNext;
    ExpectNodesNear(last, {{0, 0}, {0.4, 0}, {50, 0}});
}

TEST_F(DxfImport, ManyLinesCirclesAndArcsAreScaledMirroredPlacedAndSelectedAsAFewAre)
{
    // Object k, k mm up: a line (0, k)-(5, k), a circle of radius 0.25 about
    // (10, k) or a quarter arc of radius 0.25 about (20, k) from 0 to 90
    // degrees, in turn. The drawing spans 0..20.25 by 0..20000.25 mm (the
    // last object is an arc): in world units 202.5 by 200002.5, mirrored in
    // y about its middle and placed on the origin, so that what lay k mm up
    // lies at 700002.5 - 10 k.
    constexpr int kCount = 20001;
    std::string body;
    for (int k = 0; k < kCount; ++k) {
        const std::string y = std::to_string(k);
        if (k % 3 == 0)
            body += Line(0, k, 5, k);
        else if (k % 3 == 1)
            body += Lines({"0", "CIRCLE", "8", "0", "10", "10", "20", y, "40", "0.25"});
        else
            body += Lines({"0", "ARC", "8", "0", "10", "20", "20", y, "40", "0.25", "50", "0", "51", "90"});
    }
    ImportEachWay(
        body, kCount,
        [](const CDocData& o, int k) {
            const double y = 700002.5 - 10.0 * k;
            const CGeoBox& b = o.m_rcBound;
            if (k % 3 == 0) {
                EXPECT_EQ(o.GetType(), static_cast<std::uint32_t>(MT_LINE));
                ExpectNodesNear(&o, {{500000, y}, {500050, y}});
            } else if (k % 3 == 1) {
                EXPECT_EQ(o.GetType(), static_cast<std::uint32_t>(MT_ELLIPSE));
                EXPECT_NEAR(b.m_xmin, 500097.5, 1e-6);
                EXPECT_NEAR(b.m_xmax, 500102.5, 1e-6);
                EXPECT_NEAR(b.m_ymin, y - 2.5, 1e-6);
                EXPECT_NEAR(b.m_ymax, y + 2.5, 1e-6);
            } else {
                EXPECT_EQ(o.GetType(), static_cast<std::uint32_t>(MT_BEZIER));
                EXPECT_NEAR(b.m_xmin, 500200, 1e-6);
                EXPECT_NEAR(b.m_xmax, 500202.5, 1e-6);
                EXPECT_NEAR(b.m_ymin, y - 2.5, 1e-6);
                EXPECT_NEAR(b.m_ymax, y, 1e-6);
            }
        },
        CGeoBox(500000, 500202.5, 500000, 700002.5));
}

TEST_F(DxfImport, TheDrawingIsMirroredInYAndACancelChangesNothing)
{
    // (0, 0) to (1, 2) mm is (0, 0) to (10, 20) world units, mirrored about
    // its middle and placed on the origin.
    m_options.m_setUnit = true;
    m_options.m_unit = 2;
    ASSERT_TRUE(Import(Entities(Line(0, 0, 1, 2))));
    EXPECT_EQ(NodePositions(Document()), (std::vector<XY>{{500000, 500020}, {500010, 500000}}));
    EXPECT_EQ(OlderSnapshots(), 1);

    CDocData* const before = Document();
    m_options.m_answer = IDCANCEL;
    EXPECT_FALSE(Import(Entities(Line(0, 0, 1, 2))));
    EXPECT_EQ(Document(), before);
    EXPECT_EQ(OlderSnapshots(), 1);
}

} // namespace
} // namespace plat
