// Raster images into the drawing: the grey copy and its bytes, the halftone
// screen, the layer an image takes, the names of the copies, and the road of
// the import dispatcher for BMP, JPEG, PNG and GIF files.
//
// Faults these catch: palette indices taken for grey values, a top-down or
// compressed file read as plain rows, unused alpha bytes whitening an image
// or used ones ignored, the two grey formulas mixed up, a screen matrix
// ranked or rounded wrongly, a copy overwriting another file, a failed
// import leaving a file, a stale image or a changed layer record behind, a
// layer used inside a group taken again, and a hostile cell size or
// resolution asking for a matrix of gigabytes.
#include "ImageEncoders.h"
#include "ImportTestSupport.h"
#include "importexport/BmpLoader.h"
#include "importexport/BmpPixels.h"
#include "importexport/FileReadTrans.h"
#include "importexport/GreyBitmap.h"
#include "model/DocDataBitmap.h"
#include "model/DocDataGroup.h"
#include "platform/WorkFolder.h"
#include "settings/WorkParams.h"
#include "tests/model/BmpTestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace plat {
namespace {

using Rows = std::vector<std::vector<std::uint8_t>>;

// Pixels of a grey copy: row y from the bottom, column x.
std::uint8_t GreyAt(const std::string& file, std::size_t width, std::size_t x, std::size_t y)
{
    const std::size_t stride = (width + 3) / 4 * 4;
    return static_cast<std::uint8_t>(file.at(1078 + y * stride + x));
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (name != kOwnFolderMarker)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class RasterImport : public ImportFixture {
protected:
    RasterImport() { CBmpLoader::SetImageCounterForTesting(0); }
    ~RasterImport() override { FreeWorkParamList(m_settings.m_pLayers); }

    std::string FileFolder() const { return m_folder.Root() + "file/"; }
    std::string WorkFolder() const { return m_folder.Root() + "work/"; }

    // LoadBitmap without a dialog, as the hand-over import calls it.
    CDocDataBitmap* Load(const std::string& path, const BitmapChoice* options = nullptr)
    {
        CBmpLoader loader;
        CDocData* object = nullptr;
        if (!loader.LoadBitmap(path, object, options, &m_ctx, false))
            return nullptr;
        m_objects.reset(object);
        return static_cast<CDocDataBitmap*>(object);
    }
    std::string Copy(const CDocDataBitmap* image) { return ReadFileBytes(image->m_strPath); }
    bool Import(const std::string& path) { return CFileReadTrans().ReadFile(&m_ctx, path, true); }

    std::unique_ptr<CDocData> m_objects;
};

BmpForm Form(std::int32_t w, std::int32_t h, std::uint16_t bits, std::int32_t pels = 2835)
{
    BmpForm f;
    f.width = w;
    f.height = h;
    f.bits = bits;
    f.xPels = f.yPels = pels;
    f.paletteEntries = bits <= 8 ? 1u << bits : 0; // grey ramp
    return f;
}

// (0,255,0) is 149 by the integer weights and 150 by the real ones;
// (128,128,128) is 128 and 127 (0.3 x 128 + 0.59 x 128 + 0.11 x 128 lies just
// below 128); (blue 0, green 0, red 255) is 76 by both.
TEST_F(RasterImport, GreyCopyOfA24BitFileIsTheGreyRampLayoutByteForByte)
{
    // Rows bottom-up, pixels blue, green, red.
    const std::string source = MakeBmp(Form(3, 2, 24), {{0, 255, 0, 128, 128, 128, 0, 0, 255},
                                                        {255, 255, 255, 0, 0, 0, 255, 0, 0}});
    CDocDataBitmap* image = Load(File("photo.bmp", source));
    ASSERT_NE(image, nullptr);
    // White 255, black 0, blue (117 x 255) >> 10 = 29; padding 255.
    BmpForm grey = Form(3, 2, 8);
    grey.paletteEntries = 256;
    grey.pad = 255;
    EXPECT_EQ(Copy(image), MakeBmp(grey, {{149, 128, 76}, {255, 0, 29}}));
    EXPECT_EQ(image->m_strPath, FileFolder() + "10photo.bmp");
    EXPECT_EQ(image->m_strName, m_folder.Root() + "photo.bmp");
    EXPECT_EQ(image->m_bFlag, 1);
    // Without placement the image lands on the machine origin; 3 x 2 pixels
    // at 2835 pixels per metre.
    ExpectNodesNear(image, {{500000, 500000},
                            {500000 + 30000.0 / 2835, 500000},
                            {500000 + 30000.0 / 2835, 500000 + 20000.0 / 2835},
                            {500000, 500000 + 20000.0 / 2835},
                            {500000, 500000}});
}

TEST_F(RasterImport, ScreenTakesTheRealWeightsWhereTheCopyTakesTheIntegerOnes)
{
    // Cell 11, mode 0: the cell (row 9, column 8) ranks 70th of 121 (the
    // twelve cells at distance 25 follow the 69 nearer ones, the later
    // generated first: (10,5), then (9,8)), threshold (60 + 255 x 71) / 121
    // = 150; its neighbour (9,2) ranks 71st, threshold 152. Green is 150:
    // white at the first, black at the second.
    std::vector<std::uint8_t> green;
    for (int x = 0; x < 9; ++x)
        green.insert(green.end(), {0, 255, 0});
    const std::string source = MakeBmp(Form(9, 10, 24), Rows(10, green));
    BmpPixels pixels;
    ASSERT_TRUE(pixels.Open(reinterpret_cast<const std::uint8_t*>(source.data()), source.size()));
    CGreyBitmap screen;
    ASSERT_TRUE(screen.Screen(pixels, 11, 0));
    EXPECT_EQ(GreyAt(screen.Grey8Bytes(), 9, 8, 9), 255);
    EXPECT_EQ(GreyAt(screen.Grey8Bytes(), 9, 2, 9), 0);

    // Cell 1, mode 1: thresholds 128 and 255. Mid grey is 127, below 128.
    const std::string mid = MakeBmp(Form(2, 1, 24), {{128, 128, 128, 128, 128, 128}});
    ASSERT_TRUE(pixels.Open(reinterpret_cast<const std::uint8_t*>(mid.data()), mid.size()));
    ASSERT_TRUE(screen.Screen(pixels, 1, 1));
    EXPECT_EQ(GreyAt(screen.Grey8Bytes(), 2, 0, 0), 0);
    const std::string lighter = MakeBmp(Form(1, 1, 24), {{129, 129, 129}});
    ASSERT_TRUE(pixels.Open(reinterpret_cast<const std::uint8_t*>(lighter.data()), lighter.size()));
    ASSERT_TRUE(screen.Screen(pixels, 1, 1));
    EXPECT_EQ(GreyAt(screen.Grey8Bytes(), 1, 0, 0), 255);
}

TEST(GreyBitmap, ScreenMatricesOfCellThreeRankByDistanceLaterCellsFirst)
{
    // Ranks of the 3 x 3 cells: centre 0; distance 1 in the order (2,1),
    // (1,2), (1,0), (0,1): 1 to 4; the corners (2,2), (2,0), (0,2), (0,0): 5
    // to 8. Mode 0: (4 + 255 (k+1)) / 9.
    EXPECT_EQ(CGreyBitmap::BuildScreen(3, 0), (std::vector<int>{255, 142, 227, 113, 28, 85, 198, 57, 170}));
    // Mode 1: (9 + 255 (k+1)) / 18 on the left, (4599 - 255 k) / 18 on the
    // right.
    EXPECT_EQ(CGreyBitmap::BuildScreen(3, 1), (std::vector<int>{128, 71, 113, 142, 198, 156,   //
                                                                 57, 14, 43, 213, 255, 227,    //
                                                                 99, 28, 85, 170, 241, 184})); //
    // One pixel: only white stays white in mode 0.
    EXPECT_EQ(CGreyBitmap::BuildScreen(1, 0), std::vector<int>{255});
    EXPECT_EQ(CGreyBitmap::BuildScreen(1, 1), (std::vector<int>{128, 255}));
    EXPECT_TRUE(CGreyBitmap::BuildScreen(0, 0).empty());
    EXPECT_TRUE(CGreyBitmap::BuildScreen(kMaxScreenCell + 1, 0).empty());
    EXPECT_TRUE(CGreyBitmap::BuildScreen(3, 2).empty());
}

TEST_F(RasterImport, CellComesFromTheResolutionAndHostileCellsAreRefused)
{
    // 0.5 mm at the 40000 pixels per metre a file without resolution gets:
    // 20 pixels, made odd.
    BmpForm f = Form(4, 4, 24, 0);
    const std::string noResolution = MakeBmp(f, Rows(4, std::vector<std::uint8_t>(12, 200)));
    CGreyBitmap screen;
    ASSERT_TRUE(screen.LoadBytes(noResolution, 0.5, 45));
    EXPECT_EQ(screen.m_nCell, 21);
    EXPECT_EQ(screen.m_nXRes, 40000u);
    EXPECT_EQ(GetLe(screen.Grey8Bytes(), 38), 40000u);
    // 2000 pixels per metre, 1 mm: 2 pixels, made 3.
    ASSERT_TRUE(screen.LoadBytes(MakeBmp(Form(4, 4, 24, 2000), Rows(4, std::vector<std::uint8_t>(12, 200))), 1.0, 0));
    EXPECT_EQ(screen.m_nCell, 3);

    // A cell size of 0, not a number or one that makes a cell of a million
    // pixels, and an angle the screen does not know.
    f.xPels = 2000000000;
    const std::string highResolution = MakeBmp(f, Rows(4, std::vector<std::uint8_t>(12, 200)));
    CGreyBitmap refused;
    EXPECT_FALSE(refused.LoadBytes(noResolution, 0.0, 0));
    EXPECT_FALSE(refused.LoadBytes(noResolution, std::nan(""), 0));
    EXPECT_FALSE(refused.LoadBytes(noResolution, 0.5, 30));
    EXPECT_FALSE(refused.LoadBytes(highResolution, 1.0, 0));
    EXPECT_TRUE(refused.Grey8Bytes().empty());

    // Convert takes ".bmp" files only and refuses 4-bit ones.
    const std::string target = m_folder.Root() + "screen.bmp";
    EXPECT_FALSE(CGreyBitmap::Convert(File("grey.png", noResolution), 0, 0.5, target));
    const BmpForm four = Form(2, 1, 4);
    EXPECT_FALSE(CGreyBitmap::Convert(File("four.BMP", MakeBmp(four, {{0x12}})), 0, 0.5, target));
    EXPECT_FALSE(std::filesystem::exists(target));
    ASSERT_TRUE(CGreyBitmap::Convert(File("grey.BMP", noResolution), 0, 0.5, target));
    EXPECT_EQ(ReadFileBytes(target).size(), 1078u + 4 * 4);
}

TEST_F(RasterImport, PalettesOneBitRowsAndTopDownFilesGiveGreyRowsBottomUp)
{
    // 1 bit, first palette entry white (blue byte not 0): bit 1 is black,
    // bit 0 white, and so is the padding. Then the same with a black first
    // entry. Row 101 of three pixels.
    const BmpForm one = Form(3, 1, 1);
    std::string whiteFirst = MakeBmp(one, {{0xA0}});
    whiteFirst[54] = static_cast<char>(0xFF);
    CDocDataBitmap* image = Load(File("w.bmp", whiteFirst));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Copy(image).substr(1078), std::string("\x00\xFF\x00\xFF", 4));
    image = Load(File("b.bmp", MakeBmp(one, {{0xA0}})));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Copy(image).substr(1078), std::string("\xFF\x00\xFF\x00", 4));

    // Top-down: the first stored row is the top one; the copy is bottom-up
    // with a positive height.
    BmpForm top = Form(1, -2, 24);
    image = Load(File("t.bmp", MakeBmp(top, {{0, 0, 0}, {255, 255, 255}})));
    ASSERT_NE(image, nullptr);
    const std::string copy = Copy(image);
    EXPECT_EQ(GetLe(copy, 22), 2u);
    EXPECT_EQ(copy.substr(1078), std::string("\xFF\xFF\xFF\xFF\x00\xFF\xFF\xFF", 8));
    EXPECT_GT(image->m_rcBound.m_ymax, image->m_rcBound.m_ymin);
}

TEST_F(RasterImport, PaletteImageGetsGreyValuesUnderARampAndItsSizeAt3780)
{
    if (TestDataFolder().empty())
        GTEST_SKIP() << "test data folder missing";
    // The bottom-left pixel is index 67, palette entry (red 90, green 104,
    // blue 83): (306 x 90 + 601 x 104 + 117 x 83) >> 10 = 99755 >> 10 = 97.
    CDocDataBitmap* image = Load(TestDataFolder() + "/raster/pal_8bit.bmp");
    ASSERT_NE(image, nullptr);
    const std::string copy = Copy(image);
    EXPECT_EQ(GreyAt(copy, 70, 0, 0), 97);
    EXPECT_EQ(GetLe(copy, 54 + 4 * 67), 0x00434343u);
    EXPECT_EQ(GetLe(copy, 38), 3780u);
    // 70 x 46 pixels without resolution: 700000 / 3780 by 460000 / 3780.
    ExpectNodesNear(image, {{500000, 500000},
                            {500000 + 700000.0 / 3780, 500000},
                            {500000 + 700000.0 / 3780, 500000 + 460000.0 / 3780},
                            {500000, 500000 + 460000.0 / 3780},
                            {500000, 500000}});

    // One bit: the first stored row is 0xFF x 7, 0xFE: bit 1 white (black
    // first entry), so only the last pixel, 63, is black.
    image = Load(TestDataFolder() + "/raster/bw_1bit.bmp");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(GreyAt(Copy(image), 64, 62, 0), 255);
    EXPECT_EQ(GreyAt(Copy(image), 64, 63, 0), 0);
    // 24 bits: the first pixel is blue 0x4F, green 0x67, red 0x5C:
    // (306 x 92 + 601 x 103 + 117 x 79) >> 10 = 99298 >> 10 = 96.
    image = Load(TestDataFolder() + "/raster/rgb_24bit.bmp");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(GreyAt(Copy(image), 70, 0, 0), 96);
    // 32 bits with alpha in use: the first pixel is black and fully
    // transparent, so white.
    image = Load(TestDataFolder() + "/raster/rgba_32bit_infoheader.bmp");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(GreyAt(Copy(image), 64, 0, 0), 255);
}

TEST_F(RasterImport, AlphaIsLaidOverWhiteOnlyWhenTheFileUsesIt)
{
    // Black at alpha 128: (255 x 127 + 127) / 255 = 127; alpha 0: white.
    CDocDataBitmap* image = Load(File("a.bmp", MakeBmp(Form(2, 1, 32), {{0, 0, 0, 128, 0, 0, 0, 0}})));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Copy(image).substr(1078, 2), std::string("\x7F\xFF", 2));
    // Every fourth byte 0: unused, the pixels as they are. (30, 20, 10):
    // (9180 + 12020 + 1170) >> 10 = 21.
    image = Load(File("o.bmp", MakeBmp(Form(2, 1, 32), {{0, 0, 0, 0, 10, 20, 30, 0}})));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Copy(image).substr(1078, 2), std::string("\x00\x15", 2));
}

TEST_F(RasterImport, FilesTheGreyConversionCannotReadAreRefusedWithoutACopy)
{
    BmpForm rle = Form(2, 1, 8);
    rle.compression = 1;
    BmpForm sixteen = Form(2, 1, 16);
    BmpForm fields = Form(1, 1, 32);
    fields.compression = 3;
    fields.paletteEntries = 3; // room for the three masks
    std::string oddMasks = MakeBmp(fields, {{1, 2, 3, 0}});
    BmpPutU32(reinterpret_cast<std::uint8_t*>(oddMasks.data()), 54, 0x0000FF00u); // red where green is
    std::string plainMasks = oddMasks;
    for (std::size_t i = 0; i < 3; ++i)
        BmpPutU32(reinterpret_cast<std::uint8_t*>(plainMasks.data()), 54 + 4 * i, 0x00FF0000u >> (8 * i));
    const std::string truncated = MakeBmp(Form(4, 4, 24), Rows(4, std::vector<std::uint8_t>(12, 0))).substr(0, 80);
    for (const std::string& bytes : {MakeBmp(rle, {{1, 2}}), MakeBmp(sixteen, {{1, 2, 3, 4}}), oddMasks, truncated,
                                     std::string("BM"), std::string("PK\x03\x04 not an image")}) {
        EXPECT_EQ(Load(File("bad.bmp", bytes)), nullptr);
        EXPECT_TRUE(FilesIn(FileFolder()).empty());
    }
    // The usual masks read as a plain 32-bit file: (306 x 3 + 601 x 2 +
    // 117) >> 10 = 2.
    CDocDataBitmap* image = Load(File("fields.bmp", plainMasks));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(GreyAt(Copy(image), 1, 0, 0), 2);
}

TEST_F(RasterImport, ResolutionOfAFileWithoutOneComesFromThePlacementSize)
{
    // 1000 pixels over 50 mm: 20000 pixels per metre; 2 rows over 0.1 mm
    // likewise.
    const std::string bytes = MakeBmp(Form(1000, 2, 8, 0), Rows(2, std::vector<std::uint8_t>(1000, 9)));
    CBmpLoader loader;
    loader.SetSize(50.0, 0.1);
    CDocData* object = nullptr;
    ASSERT_TRUE(loader.LoadBitmap(File("sized.bmp", bytes), object, nullptr, &m_ctx, false));
    std::unique_ptr<CDocData> owned(object);
    const std::string copy = ReadFileBytes(static_cast<CDocDataBitmap*>(object)->m_strPath);
    EXPECT_EQ(GetLe(copy, 38), 20000u);
    EXPECT_EQ(GetLe(copy, 42), 20000u);
    // A size of 0 is no size: the screen's 3780.
    loader.SetSize(0.0, 5.0);
    ASSERT_TRUE(loader.LoadBitmap(File("sized.bmp", bytes), object, nullptr, &m_ctx, false));
    owned.reset(object);
    EXPECT_EQ(GetLe(ReadFileBytes(static_cast<CDocDataBitmap*>(object)->m_strPath), 38), 3780u);
}

TEST_F(RasterImport, DialogOptionsCutToBlackAndWhiteOrScreenTheCopy)
{
    const std::string bytes = MakeBmp(Form(2, 1, 8), {{127, 128}});
    BitmapChoice options;
    options.m_bGrey = 0;
    CDocDataBitmap* image = Load(File("cut.bmp", bytes), &options);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Copy(image).substr(1078, 2), std::string("\x00\xFF", 2));
    EXPECT_EQ(plat::FileNameOf(image->m_strPath), "00cut.bmp");
    EXPECT_EQ(image->m_bFlag, 0);

    // Grey and halftone at 45 degrees: 2835 pixels per metre x 0.5 mm is 1
    // pixel, matrix (128, 255): 200 and 255 white, 127 (and 128, which the
    // screen takes for 127) and 128 at a threshold of 255 black.
    options.m_bGrey = 1;
    options.m_nHalftone = 1;
    options.m_angleText = "45";
    options.m_dCellSize = 0.5;
    image = Load(File("dots.bmp", MakeBmp(Form(2, 1, 8), {{200, 255}})), &options);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Copy(image).substr(1078, 4), std::string("\xFF\xFF\xFF\xFF", 4));
    image = Load(File("dots.bmp", bytes), &options);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Copy(image).substr(1078, 2), std::string("\x00\x00", 2));

    // A screen that cannot be made refuses the import and leaves no copy.
    const std::vector<std::string> before = FilesIn(FileFolder());
    options.m_angleText = "30";
    EXPECT_EQ(Load(File("dots.bmp", bytes), &options), nullptr);
    options.m_angleText = "0";
    options.m_dCellSize = -1.0;
    EXPECT_EQ(Load(File("dots.bmp", bytes), &options), nullptr);
    EXPECT_EQ(FilesIn(FileFolder()), before);
}

TEST_F(RasterImport, CopiesNeverOverwriteAnotherFile)
{
    // Grey flag 1, counter 12 and "a.bmp" make the same name as flag 1,
    // counter 1 and "2a.bmp": the second copy takes the next counter.
    const std::string first = MakeBmp(Form(1, 1, 24), {{0, 0, 0}});
    CBmpLoader::SetImageCounterForTesting(12);
    CDocDataBitmap* image = Load(File("a.bmp", first));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->m_strPath, FileFolder() + "112a.bmp");
    const std::string kept = Copy(image);
    CBmpLoader::SetImageCounterForTesting(1);
    image = Load(File("2a.bmp", MakeBmp(Form(1, 1, 24), {{255, 255, 255}})));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->m_strPath, FileFolder() + "122a.bmp");
    EXPECT_EQ(ReadFileBytes(FileFolder() + "112a.bmp"), kept);
}

TEST_F(RasterImport, ImageTakesTheHighestLayerNoObjectUsesAndTheLayerIsEngraved)
{
    m_settings.m_pLayers = MakeDefaultLayerList();
    // 255 at the top, 254 inside a group: 253 is free.
    auto* group = new CDocDataGroup(MakePoint(1, 1, 254), nullptr);
    group->m_nLayer = 0;
    m_ctx.m_pCurrent->m_pFirst = LinkObjects({MakePoint(0, 0, 255), group});
    const std::string bytes = MakeBmp(Form(1, 1, 24), {{0, 0, 0}});
    WorkParams* record = FindLayerParams(m_settings.m_pLayers, 253);
    ASSERT_NE(record, nullptr);
    const WorkParams before = *record;

    // A failed import leaves the record alone.
    EXPECT_EQ(Load(File("broken.bmp", bytes.substr(0, 56))), nullptr);
    EXPECT_EQ(record->m_border, before.m_border);
    EXPECT_EQ(record->m_sweep, before.m_sweep);

    CDocDataBitmap* image = Load(File("img.bmp", bytes));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->m_nLayer, 253);
    EXPECT_EQ(image->m_nColor, m_settings.m_palette[253]);
    EXPECT_EQ(record->m_border, 0);
    EXPECT_EQ(record->m_sweep, 1);

    // Every layer in use: refused.
    DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
    for (int layer = 0; layer < 256; ++layer) {
        CDocData* point = MakePoint(layer, 0, layer);
        point->m_pNext = m_ctx.m_pCurrent->m_pFirst;
        m_ctx.m_pCurrent->m_pFirst = point;
    }
    int index = -1;
    std::uint32_t colour = 0;
    EXPECT_FALSE(CBmpLoader::FindFreeLayer(index, colour, &m_ctx));
    EXPECT_EQ(Load(File("img.bmp", bytes)), nullptr);
}

TEST_F(RasterImport, InvertComplementsThePixelsButNotThePadding)
{
    const BmpForm f = Form(2, 1, 8);
    const std::string path = File("inv.bmp", MakeBmp(f, {{0, 200}}));
    ASSERT_TRUE(CBmpLoader::InvertImage(path));
    EXPECT_EQ(ReadFileBytes(path), MakeBmp(f, {{255, 55}}));
    EXPECT_FALSE(CBmpLoader::InvertImage(File("rgb.bmp", MakeBmp(Form(1, 1, 24), {{1, 2, 3}}))));
    EXPECT_FALSE(CBmpLoader::InvertImage(m_folder.Root() + "missing.bmp"));
    // A file that may not be written, or whose last row is cut off, stays.
    const std::string locked = File("locked.bmp", MakeBmp(f, {{0, 200}}));
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read);
    EXPECT_FALSE(CBmpLoader::InvertImage(locked));
    EXPECT_EQ(ReadFileBytes(locked), MakeBmp(f, {{0, 200}}));
    std::string cut = MakeBmp(Form(2, 2, 8), {{1, 2}, {3, 4}});
    cut.pop_back();
    const std::string truncated = File("cut.bmp", cut);
    EXPECT_FALSE(CBmpLoader::InvertImage(truncated));
    EXPECT_EQ(ReadFileBytes(truncated), cut);
}

TEST_F(RasterImport, DispatcherAsksTheBitmapOptionsAndRemembersThem)
{
    m_settings.bitmap_type = 1;
    m_settings.bitmap_dot = 0;
    m_settings.dot_agl = 45;
    m_settings.dot_size = 0.3;
    const std::string path = File("pic.bmp", MakeBmp(Form(2, 2, 24), Rows(2, std::vector<std::uint8_t>(6, 0))));
    m_options.m_answer = IDCANCEL;
    EXPECT_FALSE(Import(path));
    EXPECT_EQ(Document(), nullptr);
    EXPECT_EQ(OlderSnapshots(), 0);
    ASSERT_EQ(m_options.m_bitmapShown.size(), 1u);
    EXPECT_EQ(m_options.m_bitmapShown[0].m_bGrey, 1);
    EXPECT_EQ(m_options.m_bitmapShown[0].m_angleText, "45");
    EXPECT_EQ(m_options.m_bitmapShown[0].m_dCellSize, 0.3);

    m_options.m_answer = IDOK;
    m_options.m_setBitmap = true;
    m_options.m_bitmap.m_bGrey = 0;
    m_options.m_bitmap.m_nHalftone = 0;
    m_options.m_bitmap.m_angleText = "0";
    m_options.m_bitmap.m_dCellSize = 0.25;
    ASSERT_TRUE(Import(path));
    EXPECT_EQ(m_settings.bitmap_type, 0);
    EXPECT_EQ(m_settings.dot_agl, 0);
    EXPECT_EQ(m_settings.dot_size, 0.25);
    EXPECT_NE(m_folder.Read("software.par").find("bitmap type\r\n0\r\n"), std::string::npos);
    const std::vector<const CDocData*> objects = Objects(Document());
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0]->GetType(), MT_BITMAP);
    EXPECT_EQ(objects[0]->m_rcBound.m_xmin, 500000.0);
    EXPECT_EQ(objects[0]->m_rcBound.m_ymin, 500000.0);
    EXPECT_EQ(OlderSnapshots(), 1);
}

TEST_F(RasterImport, FilesOfOtherProgramsImportThroughEveryImageRoad)
{
    if (TestDataFolder().empty())
        GTEST_SKIP() << "test data folder missing";
    // name, width, height; none gives a resolution, so 3780.
    const struct {
        const char* name;
        int width;
        int height;
    } files[] = {{"progressive.jpg", 280, 184}, {"interlaced_rgba.png", 80, 60}, {"bw_1bit.bmp", 64, 48},
                 {"rgb_24bit.bmp", 70, 46},     {"anim_disposal_offsets.gif", 40, 40}};
    m_settings.bitmap_type = 1;
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(TestDataFolder() + "/raster/" + f.name, bytes));
        ASSERT_TRUE(Import(File(f.name, bytes)));
        const auto* image = dynamic_cast<const CDocDataBitmap*>(Document());
        ASSERT_NE(image, nullptr);
        ExpectBox(image->m_rcBound, 500000, 500000 + f.width * 10000.0 / 3780, 500000,
                  500000 + f.height * 10000.0 / 3780);
        BMPHEADER h;
        ASSERT_TRUE(ParseBmpHeader(ReadFileBytes(image->m_strPath), h));
        EXPECT_TRUE(h.IsPlainGrey8());
    }
    // The first frame of the animation only: red over the whole screen,
    // (306 x 255) >> 10 = 76. The second frame would put a green (149) or
    // black square at (10, 10).
    const std::string copy = ReadFileBytes(static_cast<const CDocDataBitmap*>(Document())->m_strPath);
    for (std::size_t y = 0; y < 40; ++y) {
        for (std::size_t x = 0; x < 40; ++x)
            ASSERT_EQ(GreyAt(copy, 40, x, y), 76) << x << ", " << y;
    }
}

TEST_F(RasterImport, FailedConversionReportsAndLeavesNoImageToImport)
{
    // An older converted file of the same name stays as it was: the new one
    // goes to a name of its own, and is gone when the decoding fails.
    const std::string stale = MakeBmp(Form(1, 1, 24), {{0, 0, 0}});
    ASSERT_TRUE(WriteWholeFile(WorkFolder() + "photo.bmp", stale));
    EXPECT_FALSE(Import(File("photo.jpg", "\xFF\xD8\xFF\xE0 truncated")));
    EXPECT_FALSE(Import(File("photo.png", "\x89PNG\r\n\x1A\n")));
    EXPECT_FALSE(Import(File("photo.gif", "GIF89a")));
    EXPECT_FALSE(Import(File("photo.jpg", "not an image at all")));
    EXPECT_EQ(Document(), nullptr);
    EXPECT_EQ(OlderSnapshots(), 0);
    EXPECT_EQ(FilesIn(WorkFolder()), std::vector<std::string>{"photo.bmp"});
    EXPECT_EQ(ReadFileBytes(WorkFolder() + "photo.bmp"), stale);
    EXPECT_TRUE(FilesIn(FileFolder()).empty());

    // Called directly, the conversion removes what lay at its target.
    EXPECT_FALSE(CBmpLoader::ConvertToBmp(m_folder.Root() + "photo.gif", WorkFolder() + "photo.bmp"));
    EXPECT_FALSE(std::filesystem::exists(WorkFolder() + "photo.bmp"));
}

// A cancelled import of each converted kind leaves no copy in the work
// folder (nor in the file folder), whatever it was converted from.
TEST_F(RasterImport, ACancelledImportLeavesNoConvertedCopy)
{
    const std::vector<std::uint8_t> white(4 * 4 * 4, 255);
    const std::pair<const char*, std::string> files[] = {
        {"photo.png", EncodePng(white, 4, 4)},
        {"photo.jpg", EncodeJpeg(std::vector<std::uint8_t>(4 * 4 * 3, 255), 4, 4)},
        {"photo.gif", EncodeGif(4, 4, {{255, 255, 255}, {0, 0, 0}}, {GifFrame{0, 0, 4, 4, false, NO_TRANSPARENT_COLOR,
                                                                             std::vector<std::uint8_t>(16, 0)}})}};
    m_options.m_answer = IDCANCEL;
    for (const auto& [name, bytes] : files)
        EXPECT_FALSE(Import(File(name, bytes))) << name;
    EXPECT_EQ(m_options.m_bitmapShown.size(), 3u);
    EXPECT_TRUE(FilesIn(WorkFolder()).empty());
    EXPECT_TRUE(FilesIn(FileFolder()).empty());
    EXPECT_EQ(Document(), nullptr);
    EXPECT_EQ(OlderSnapshots(), 0);
}

// Read off the document (as a thread of its own reads it), a converted image
// takes its layer only when it is added: the highest layer the document does
// not use then (255 is used, so 254), which becomes engraved. Read objects
// that are dropped take their copies with them, from the work folder and the
// file folder alike.
TEST_F(RasterImport, AnImageReadWithoutTheDocumentTakesItsLayerWhenAddedAndADropLeavesNoCopy)
{
    m_settings.m_pLayers = MakeDefaultLayerList();
    m_ctx.m_pCurrent->m_pFirst = LinkObjects({MakePoint(0, 0, 255)});
    const std::string png = File("photo.png", EncodePng(std::vector<std::uint8_t>(4 * 4 * 4, 255), 4, 4));
    DOCCONTEXT apart;
    apart.m_pSettings = &m_settings;

    {
        ImportedObjects dropped;
        ASSERT_TRUE(CFileReadTrans().ReadObjects(&apart, png, false, dropped));
        EXPECT_EQ(FilesIn(WorkFolder()), std::vector<std::string>{"photo.bmp"});
        // Black and white (the settings' bitmap type 0), the first copy.
        EXPECT_EQ(FilesIn(FileFolder()), std::vector<std::string>{"00photo.bmp"});
    }
    EXPECT_TRUE(FilesIn(WorkFolder()).empty());
    EXPECT_TRUE(FilesIn(FileFolder()).empty());

    const WorkParams before = *FindLayerParams(m_settings.m_pLayers, 254);
    ImportedObjects read;
    ASSERT_TRUE(CFileReadTrans().ReadObjects(&apart, png, false, read));
    ASSERT_NE(read.list, nullptr);
    EXPECT_EQ(OlderSnapshots(), 0);
    ASSERT_TRUE(CFileReadTrans().AddObjects(&m_ctx, read, false));
    EXPECT_EQ(read.list, nullptr);
    ASSERT_NE(Document()->m_pNext, nullptr);
    const CDocData* image = Document()->m_pNext;
    EXPECT_EQ(image->GetType(), MT_BITMAP);
    EXPECT_EQ(image->m_nLayer, 254);
    EXPECT_EQ(image->m_nColor, m_settings.m_palette[254]);
    const WorkParams* record = FindLayerParams(m_settings.m_pLayers, 254);
    EXPECT_EQ(record->m_border, 0);
    EXPECT_EQ(record->m_sweep, 1);
    EXPECT_NE(before.m_sweep, 1);
    EXPECT_EQ(OlderSnapshots(), 1);
    // Added objects keep their copies.
    EXPECT_EQ(FilesIn(FileFolder()).size(), 1u);
}

// CMYK JPEGs import like any other. A flat patch C = M = Y = 200, K = 220,
// written as Adobe's writers do (inverted values, which its APP14 segment
// says): R = G = B = 200 x 220 / 255 = 172 (172.5 cut), grey
// (306 + 601 + 117) x 172 >> 10 = 172. Without the segment the same file is
// read as plain ink: it holds the YCCK planes 255 - 200 = 55, 128, 128 and
// K = 220, so R = 200 x 35 / 255 = 27, G = B = 127 x 35 / 255 = 17 (cut),
// grey (306 x 27 + 718 x 17) >> 10 = 19.
TEST_F(RasterImport, CmykJpegsImportWithTheGreyOfTheirInk)
{
    std::vector<std::uint8_t> ink(8 * 8 * 4, 200);
    for (std::size_t i = 3; i < ink.size(); i += 4)
        ink[i] = 220;
    const std::string adobe = EncodeJpeg(ink, 8, 8, TJPF_CMYK);
    const std::size_t segment = adobe.find(std::string_view("\xFF\xEE", 2));
    ASSERT_NE(segment, std::string::npos);
    const std::size_t length = static_cast<std::uint8_t>(adobe[segment + 2]) << 8 | static_cast<std::uint8_t>(adobe[segment + 3]);
    const std::string plain = adobe.substr(0, segment) + adobe.substr(segment + 2 + length);
    m_settings.bitmap_type = 1;
    for (const auto& [bytes, grey] : {std::pair{adobe, 172}, std::pair{plain, 19}}) {
        SCOPED_TRACE(grey);
        DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
        ASSERT_TRUE(Import(File("ink.jpg", bytes)));
        const auto* image = dynamic_cast<const CDocDataBitmap*>(Document());
        ASSERT_NE(image, nullptr);
        const std::string copy = ReadFileBytes(image->m_strPath);
        for (std::size_t y = 0; y < 8; ++y) {
            for (std::size_t x = 0; x < 8; ++x)
                ASSERT_EQ(GreyAt(copy, 8, x, y), grey) << x << ", " << y;
        }
    }
}

// A CMYK JPEG keeps its rows the right way up: 8 x 16, its upper half all
// 0 (Adobe's inverted values: R = G = B = 0 x 0 / 255, black), its lower
// half all 255 (255 x 255 / 255, white). The copy is bottom-up: rows 0 to 7
// are white, 8 to 15 black.
TEST_F(RasterImport, CmykJpegRowsKeepTheirOrder)
{
    std::vector<std::uint8_t> ink(8 * 16 * 4, 0);
    std::fill(ink.begin() + 8 * 8 * 4, ink.end(), 255);
    m_settings.bitmap_type = 1;
    ASSERT_TRUE(Import(File("halves.jpg", EncodeJpeg(ink, 8, 16, TJPF_CMYK))));
    const auto* image = dynamic_cast<const CDocDataBitmap*>(Document());
    ASSERT_NE(image, nullptr);
    const std::string copy = ReadFileBytes(image->m_strPath);
    for (std::size_t y = 0; y < 16; ++y) {
        for (std::size_t x = 0; x < 8; ++x)
            ASSERT_EQ(GreyAt(copy, 8, x, y), y < 8 ? 255 : 0) << x << ", " << y;
    }
}

// Each ink turns into its own channel: C = K = 255, M = Y = 0 in Adobe's
// inverted values is R = 255 x 255 / 255 = 255, G = B = 0, grey
// 306 x 255 >> 10 = 76 (red's weight; blue's would give 29).
TEST_F(RasterImport, CmykJpegInksKeepTheirChannels)
{
    std::vector<std::uint8_t> ink(8 * 8 * 4, 0);
    for (std::size_t i = 0; i < ink.size(); i += 4)
        ink[i] = ink[i + 3] = 255;
    m_settings.bitmap_type = 1;
    ASSERT_TRUE(Import(File("red.jpg", EncodeJpeg(ink, 8, 8, TJPF_CMYK))));
    const auto* image = dynamic_cast<const CDocDataBitmap*>(Document());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(GreyAt(ReadFileBytes(image->m_strPath), 8, 3, 3), 76);
}

} // namespace
} // namespace plat
