// The image object: its size from the file's header, quarter turns and flips
// written to new files (so that snapshots keep the old pixels), scaling
// through the file's resolution, copies in snapshots, drawing, and the raster
// scan placed on the image.
//
// The test image is 3 x 2 pixels at 10,000 pixels per metre (one pixel is
// one world unit), rows bottom-up 1 2 3 and 4 5 6, no palette: its pixels
// start at 54, each row padded to 4 bytes with 0.
#include "BmpTestFiles.h"
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocDataBitmap.h"
#include "model/DocDataGroup.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/PathRecord.h"
#include "platform/RecordingDC.h"
#include "settings/WorkParams.h"
#include "tests/settings/ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <vector>

using plat::BmpForm;
using plat::MakeBmp;
using plat::ReadFileBytes;

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

class ImageTest : public ::testing::Test {
protected:
    std::string Put(const std::string& name, const std::string& bytes)
    {
        m_scratch.Write(name, bytes);
        return m_scratch.Root() + name;
    }
    std::string SmallPath()
    {
        BmpForm form;
        form.width = 3;
        form.height = 2;
        return Put("small.bmp", MakeBmp(form, {{1, 2, 3}, {4, 5, 6}}));
    }
    static std::string Turned(std::int32_t width, const std::vector<std::vector<std::uint8_t>>& rows,
                              std::uint8_t pad)
    {
        BmpForm form;
        form.width = width;
        form.height = static_cast<std::int32_t>(rows.size());
        form.pad = pad;
        return MakeBmp(form, rows);
    }
    static void ExpectBox(const CGeoBox& b, double xmin, double xmax, double ymin, double ymax)
    {
        EXPECT_NEAR(b.m_xmin, xmin, 1e-9);
        EXPECT_NEAR(b.m_xmax, xmax, 1e-9);
        EXPECT_NEAR(b.m_ymin, ymin, 1e-9);
        EXPECT_NEAR(b.m_ymax, ymax, 1e-9);
    }

    ScratchProgramFolder m_scratch; // work folder <root>/work/, file folder <root>/file/
};

std::vector<std::pair<double, double>> Nodes(const CDocData& obj)
{
    std::vector<std::pair<double, double>> out;
    for (const DOCNODE* n = obj.m_pNodes; n != nullptr; n = n->m_pNext)
        out.emplace_back(n->m_x, n->m_y);
    return out;
}

} // namespace

TEST_F(ImageTest, SizeComesFromTheHeaderAndAFileWithoutResolutionIsMeasuredAt3780)
{
    BmpForm form;
    form.width = 100;
    form.height = 50;
    form.xPels = form.yPels = 3937;
    const std::vector<std::uint8_t> row(100, 7);
    const std::string path = Put("a.bmp", MakeBmp(form, std::vector<std::vector<std::uint8_t>>(50, row)));
    CDocDataBitmap img("name", path, 500000.0, 500000.0, 0, nullptr);
    // W = 100 x 10 x 1000 / 3937, H = 50 x 10 x 1000 / 3937, not rounded.
    const double w = 1000.0 * 1000.0 / 3937.0, h = 500.0 * 1000.0 / 3937.0;
    EXPECT_NEAR(w, 254.0005, 1e-4);
    const std::vector<std::pair<double, double>> expected = {
        {500000, 500000}, {500000 + w, 500000}, {500000 + w, 500000 + h}, {500000, 500000 + h}, {500000, 500000}};
    EXPECT_EQ(Nodes(img), expected);
    EXPECT_EQ(img.GetType(), MT_BITMAP);
    EXPECT_EQ(img.IsSelected(), 1);
    ExpectBox(img.GetBoundRect(), 500000, 500000 + w, 500000, 500000 + h);

    // 378 pixels at the screen's 3780 per metre are 100 mm: a file without
    // resolution no longer divides by zero.
    form.width = 378;
    form.height = 1;
    form.xPels = form.yPels = 0;
    CDocDataBitmap screen("s", Put("b.bmp", MakeBmp(form, {std::vector<std::uint8_t>(378, 0)})), 0, 0, 0, nullptr);
    ExpectBox(screen.GetBoundRect(), 0, 1000, 0, 1000.0 / 378.0);

    // Missing, and promising more pixels than it holds: no nodes.
    std::string cut = MakeBmp(form, {std::vector<std::uint8_t>(378, 0)});
    cut.resize(cut.size() - 1);
    CDocDataBitmap missing("m", m_scratch.Root() + "none.bmp", 0, 0, 0, nullptr);
    CDocDataBitmap truncated("t", Put("cut.bmp", cut), 0, 0, 0, nullptr);
    EXPECT_EQ(missing.m_pNodes, nullptr);
    EXPECT_EQ(truncated.m_pNodes, nullptr);
    EXPECT_TRUE(truncated.GetBoundRect().IsEmpty());
}

TEST_F(ImageTest, RotationTurnsTheFileByTheQuarterTurnOfItsWholeDegreesIntoANewFile)
{
    // The file leaves its image-size field 0, as many writers do; every turn
    // writes the real size (8 or 12) and all pixels, the half turn too.
    BmpForm form;
    form.width = 3;
    form.height = 2;
    form.imageSizeZero = true;
    const std::string source = Put("zero.bmp", MakeBmp(form, {{1, 2, 3}, {4, 5, 6}}));
    const std::string original = ReadFileBytes(source);
    // Turned by 90: 2 wide, 3 high, rows 3 6 / 2 5 / 1 4 from the bottom,
    // padded with the 255 the new buffer starts with; 270 the other way.
    const std::string by90 = Turned(2, {{3, 6}, {2, 5}, {1, 4}}, 255);
    const std::string by180 = Turned(3, {{6, 5, 4}, {3, 2, 1}}, 255);
    const std::string by270 = Turned(2, {{4, 1}, {5, 2}, {6, 3}}, 255);
    const struct {
        double degrees;
        const std::string* file; // null: not turned
    } cases[] = {{-90, &by270}, {45, &by90}, {100, &by180}, {181, &by270}, {271, nullptr}, {-45, nullptr},
                 {0.01, nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.degrees);
        CDocDataBitmap img("n", source, 0, 0, 0, nullptr);
        img.Rotate(CGeoPoint(1.5, 1), c.degrees * kDeg, nullptr);
        if (c.file == nullptr) {
            EXPECT_EQ(img.m_strPath, source);
            ExpectBox(img.GetBoundRect(), 0, 3, 0, 2);
            continue;
        }
        EXPECT_EQ(plat::FolderOf(img.m_strPath), m_scratch.Root() + "file/");
        EXPECT_EQ(ReadFileBytes(img.m_strPath), *c.file);
        // A turn by 90 or 270 about the middle swaps the box's sides; the
        // origin follows the box's minimum.
        if (c.file == &by180)
            ExpectBox(img.GetBoundRect(), 0, 3, 0, 2);
        else
            ExpectBox(img.GetBoundRect(), 0.5, 2.5, -0.5, 2.5);
        EXPECT_NEAR(img.m_x, img.GetBoundRect().m_xmin, 1e-9);
        EXPECT_NEAR(img.m_y, img.GetBoundRect().m_ymin, 1e-9);
    }
    // The source file itself never changes.
    EXPECT_EQ(ReadFileBytes(source), original);
}

TEST_F(ImageTest, FlipMirrorsThePixelsBothWaysInOneNewFileAndReflectsTheOutline)
{
    const std::string source = SmallPath();
    CDocDataBitmap img("n", source, 0, 0, 0, nullptr);
    img.Flip(CGeoPoint(0, 0), false, false, nullptr);
    EXPECT_EQ(img.m_strPath, source);

    img.Flip(CGeoPoint(0, 0), true, true, nullptr);
    EXPECT_EQ(ReadFileBytes(img.m_strPath), Turned(3, {{6, 5, 4}, {3, 2, 1}}, 0));
    ExpectBox(img.GetBoundRect(), -3, 0, -2, 0);
    EXPECT_EQ(img.m_x, -3);
    EXPECT_EQ(img.m_y, -2);
    // Each rewrite gets its own name beside the earlier ones.
    const std::string first = img.m_strPath;
    img.Flip(CGeoPoint(0, 0), true, false, nullptr);
    EXPECT_NE(img.m_strPath, first);
    EXPECT_EQ(ReadFileBytes(first), Turned(3, {{6, 5, 4}, {3, 2, 1}}, 0));

    // A 24-bit image is not turned or mirrored: one byte per pixel is
    // assumed by both, and the file is left alone.
    BmpForm rgb;
    rgb.width = 1;
    rgb.height = 1;
    rgb.bits = 24;
    const std::string rgbPath = Put("rgb.bmp", MakeBmp(rgb, {{1, 2, 3}}));
    CDocDataBitmap colour("c", rgbPath, 0, 0, 0, nullptr);
    colour.Flip(CGeoPoint(0, 0), true, false, nullptr);
    colour.Rotate(CGeoPoint(0, 0), 90 * kDeg, nullptr);
    EXPECT_EQ(colour.m_strPath, rgbPath);
    ExpectBox(colour.GetBoundRect(), 0, 1, 0, 1);
}

TEST_F(ImageTest, ScalingRewritesTheResolutionSoTheHeaderGivesTheNewSize)
{
    BmpForm form;
    form.width = 100;
    form.height = 1;
    form.xPels = form.yPels = 3937;
    const std::string source = Put("s.bmp", MakeBmp(form, {std::vector<std::uint8_t>(100, 0)}));
    CDocDataBitmap img("n", source, 0, 0, 0, nullptr);
    img.Scale(0, 0, 2, 1, nullptr);
    // 3937 / 2 = 1968.5, rounded 1969; y stays.
    const std::string scaled = ReadFileBytes(img.m_strPath);
    EXPECT_NE(img.m_strPath, source);
    EXPECT_EQ(plat::GetLe(scaled, 38), 1969u);
    EXPECT_EQ(plat::GetLe(scaled, 42), 3937u);
    ExpectBox(img.GetBoundRect(), 0, 2 * 1000 * 1000.0 / 3937.0, 0, 10 * 1000.0 / 3937.0);
    img.ReadBmpHeader();
    EXPECT_NEAR(img.m_pNodes->m_pNext->m_x, 1000 * 1000.0 / 1969.0, 1e-9);

    // A file that is gone leaves outline, box and array pitches as they were.
    CDocDataBitmap gone("g", source, 0, 0, 0, nullptr);
    gone.m_pArray = new ARRAYREC;
    gone.m_pArray->m_nCols = 2;
    gone.m_pArray->m_dDx = 300;
    gone.RecalcBoundRect(nullptr);
    const CGeoBox before = gone.GetBoundRect();
    std::filesystem::remove(source);
    gone.Scale(0, 0, 2, 2, nullptr);
    EXPECT_EQ(gone.m_strPath, source);
    EXPECT_EQ(gone.m_pArray->m_dDx, 300);
    ExpectBox(gone.GetBoundRect(), before.m_xmin, before.m_xmax, before.m_ymin, before.m_ymax);
}

TEST_F(ImageTest, UndoAfterARotationShowsTheOldPixelsAgain)
{
    const std::string source = SmallPath();
    const std::string original = ReadFileBytes(source);
    plat::RecordingDC dc;
    DOCCONTEXT ctx;
    ctx.m_pCurrent = new CDocListNode;
    ctx.m_pCurrent->m_pFirst = new CDocDataBitmap("n", source, 0, 0, 0, &ctx);

    ASSERT_TRUE(CDocState::PushHistory(&ctx));
    auto* live = static_cast<CDocDataBitmap*>(ctx.m_pCurrent->m_pFirst);
    live->Rotate(CGeoPoint(1.5, 1), 90 * kDeg, &ctx);
    EXPECT_EQ(ReadFileBytes(live->m_strPath), Turned(2, {{3, 6}, {2, 5}, {1, 4}}, 255));

    ASSERT_TRUE(CDocState::Undo(&ctx));
    auto* restored = dynamic_cast<CDocDataBitmap*>(ctx.m_pCurrent->m_pFirst);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->m_strPath, source);
    EXPECT_EQ(ReadFileBytes(restored->m_strPath), original);
    ExpectBox(restored->GetBoundRect(), 0, 3, 0, 2);
    restored->Draw(&dc, &ctx);
    ASSERT_EQ(dc.Count(plat::RecordingDC::Op::DrawBmpFile), 1u);
    EXPECT_EQ(dc.Calls().back().path, source);

    CDocListNode* newest = ctx.m_pCurrent->m_pNewer;
    CDocListNode* oldest = ctx.m_pCurrent;
    ctx.m_pCurrent = newest;
    CDocState::DeleteHistoryChain(oldest);
}

TEST_F(ImageTest, AGroupHoldingAnImageSurvivesASnapshot)
{
    const std::string source = SmallPath();
    CDocListNode doc;
    auto* img = new CDocDataBitmap("photo", source, 10, 20, 1, nullptr);
    img->m_nLayer = 253;
    doc.m_pFirst = new CDocDataGroup(img, nullptr);

    CDocListNode snapshot(doc);
    ASSERT_NE(snapshot.m_pFirst, nullptr);
    CDocData** children = snapshot.m_pFirst->ChildList();
    ASSERT_NE(children, nullptr);
    auto* copy = dynamic_cast<CDocDataBitmap*>(*children);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_strName, "photo");
    EXPECT_EQ(copy->m_strPath, source);
    EXPECT_EQ(copy->m_bFlag, 1);
    EXPECT_EQ(copy->m_nLayer, 253);
    ASSERT_NE(copy->m_pNodes, nullptr);
    EXPECT_NE(copy->m_pNodes, img->m_pNodes);
    EXPECT_EQ(Nodes(*copy), Nodes(*img));
}

TEST_F(ImageTest, DrawStretchesTheFileOverTheBoxAndEachDocumentArrayCopy)
{
    plat::ScopedMachine noMachine;
    DOCCONTEXT ctx;
    ctx.m_dZoom = 2.0;
    ctx.m_ptScroll = plat::POINT{4, 6};
    CDocListNode doc;
    ctx.m_pCurrent = &doc;
    const std::string source = SmallPath();
    CDocDataBitmap img("n", source, 10, 20, 0, &ctx);
    plat::RecordingDC dc;
    img.Draw(&dc, &ctx);
    // Box 10..13 x 20..22 at zoom 2, less the scroll position.
    using Op = plat::RecordingDC::Op;
    ASSERT_EQ(dc.Count(Op::DrawBmpFile), 1u);
    EXPECT_EQ(dc.Calls().back().args, (std::vector<int>{16, 34, 22, 38}));

    doc.m_pArray = new ARRAYREC;
    doc.m_pArray->m_nRows = 2;
    doc.m_pArray->m_dDy = 50;
    dc.Clear();
    img.Draw(&dc, &ctx);
    ASSERT_EQ(dc.Count(Op::DrawBmpFile), 2u);
    EXPECT_EQ(dc.Calls().back().args, (std::vector<int>{16, 134, 22, 138}));
    ctx.m_pCurrent = nullptr;
}

TEST_F(ImageTest, ScanIsPlacedOnTheImageAndTakenFromAVerifiedCopy)
{
    WorkParams params;
    params.m_s_precision = 0.1;
    params.m_s_method = 1;
    // The four-by-two example: the ramp row is the image's top row.
    const std::string bytes =
        MakeBmp(BmpForm{4, 2}, {{0xFF, 0xFF, 0x37, 0xFF}, {0xF5, 0xEB, 0xE1, 0xFF}});
    const std::string source = Put("four.bmp", bytes);
    CDocDataBitmap img("n", source, 1000, 2000, 0, nullptr);
    PATHREC* scan = img.MakeScanPath(params, 0, 0);
    ASSERT_NE(scan, nullptr);
    EXPECT_EQ(ReadFileBytes(m_scratch.Root() + "work/four.bmp"), bytes);
    const SEGNODE* a = scan->m_pSegs;
    const SEGNODE* b = a->m_pNext;
    EXPECT_EQ(b->m_pNext, a);
    EXPECT_NEAR(a->m_x0, 1000, 1e-9);
    EXPECT_NEAR(a->m_x1, 1002, 1e-9);
    EXPECT_NEAR(a->m_y0, 2000, 1e-9);
    EXPECT_NEAR(a->m_y1, 2000, 1e-9);
    EXPECT_EQ(a->m_nGrey0, 10);
    EXPECT_EQ(a->m_nGrey1, 30);
    EXPECT_NEAR(b->m_x0, 1002, 1e-9);
    EXPECT_NEAR(b->m_x1, 1001.9, 1e-9);
    EXPECT_NEAR(b->m_y0, 2001, 1e-9);
    EXPECT_EQ(b->m_nGrey0, 200);
    EXPECT_NEAR(scan->m_xmin, 1000, 1e-9);
    EXPECT_NEAR(scan->m_xmax, 1002, 1e-9);
    EXPECT_NEAR(scan->m_ymin, 2000, 1e-9);
    EXPECT_NEAR(scan->m_ymax, 2001, 1e-9);
    EXPECT_EQ(scan->m_zmin, 0.0);
    FreePathRecordList(scan);

    // White margins: the one dark pixel (x 2 of the middle row of three)
    // stays where the image shows it instead of moving to the origin.
    const std::string margin = Put("margin.bmp", MakeBmp(BmpForm{4, 3}, {{255, 255, 255, 255},
                                                                         {255, 255, 0, 255},
                                                                         {255, 255, 255, 255}}));
    CDocDataBitmap lone("n", margin, 1000, 2000, 0, nullptr);
    params.m_s_method = 0;
    scan = lone.MakeScanPath(params, 0, 0);
    ASSERT_NE(scan, nullptr);
    EXPECT_NEAR(scan->m_pSegs->m_x0, 1002, 1e-9);
    EXPECT_NEAR(scan->m_pSegs->m_x1, 1002.1, 1e-9);
    EXPECT_NEAR(scan->m_pSegs->m_y0, 2001, 1e-9);
    FreePathRecordList(scan);
}

TEST_F(ImageTest, ScanNeverTakesAStaleCopyAndNeverDestroysAnImageInTheWorkFolder)
{
    WorkParams params;
    params.m_s_precision = 0.1;
    const std::string bytes = MakeBmp(BmpForm{4, 1}, {{0, 255, 255, 255}});
    // The copy cannot be written (a folder holds its name): no scan, rather
    // than one of whatever the work folder held before.
    std::filesystem::create_directories(m_scratch.Root() + "work/blocked.bmp");
    CDocDataBitmap blocked("n", Put("blocked.bmp", bytes), 0, 0, 0, nullptr);
    EXPECT_EQ(blocked.MakeScanPath(params, 0, 0), nullptr);

    // An image that lies in the work folder is its own copy and stays whole.
    const std::string inWork = Put("work/own.bmp", bytes);
    CDocDataBitmap own("n", m_scratch.Root() + "work//own.bmp", 0, 0, 0, nullptr);
    PATHREC* scan = own.MakeScanPath(params, 0, 0);
    ASSERT_NE(scan, nullptr);
    FreePathRecordList(scan);
    EXPECT_EQ(ReadFileBytes(inWork), bytes);

    CDocDataBitmap missing("n", m_scratch.Root() + "gone.bmp", 0, 0, 0, nullptr);
    EXPECT_EQ(missing.MakeScanPath(params, 0, 0), nullptr);
}
