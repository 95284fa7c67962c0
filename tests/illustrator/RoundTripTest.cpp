// What the plug-in hands over, read back by the main program's own readers:
// the images through its BMP reader, and the list with the saved drawing and
// both images through its hand-over import.
//
// Faults these catch: rows stored top-down or a pixel's bytes reordered (the
// program would see another picture), headers the program refuses, list
// values that put an image or the drawing elsewhere than the host had them,
// a drawing saved as something other than what the host wrote.
#include "PluginTestSupport.h"
#include "importexport/BmpPixels.h"

#include <gtest/gtest.h>

#include "importexport/FileReadTrans.h"
#include "model/DocDataBitmap.h"
#include "tests/importexport/ImportTestSupport.h"

namespace {

using plat::FakeHost;
using plat::HostedPlugin;
using plat::PluginFolders;
using plat::PluginLibrary;

// Exports the export tests' document through Brisquel; the save writes the
// bytes of `drawing` (a short text when empty) as default.ai.
void ExportDocument(PluginLibrary& lib, PluginFolders& folders, const std::string& drawing)
{
    HostedPlugin s(lib.Main());
    plat::BuildExportDocument(s.m_host);
    s.m_host.m_saveSource = drawing;
    ASSERT_EQ(s.Startup(), 0);
    ASSERT_EQ(s.Export(), 0) << (s.m_host.m_errorAlerts.empty() ? "" : s.m_host.m_errorAlerts.back());
    EXPECT_EQ(folders.WaitForMarker(), "started\n");
    EXPECT_EQ(s.Shutdown(), 0);
}

TEST(RoundTrip, ImagesReadBackThroughTheProgramsBmpReaderPixelForPixel)
{
    PluginFolders folders;
    PluginLibrary lib(BRISQUEL_LIBRARY_PATH);
    ASSERT_NE(lib.Main(), nullptr) << ::dlerror();
    ExportDocument(lib, folders, std::string());

    // Raster n of side `side`: pixel (x, y), y counted from the top, holds
    // the host's bytes; the reader counts rows from the bottom.
    for (const auto& [serial, side] : {std::pair{0, 150}, std::pair{1, 75}}) {
        const std::string bytes = plat::ReadFileBytes(folders.m_work + std::to_string(serial) + ".bmp");
        BmpPixels pixels;
        ASSERT_TRUE(pixels.Open(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())) << serial;
        ASSERT_EQ(pixels.Width(), side);
        ASSERT_EQ(pixels.Rows(), std::size_t(side));
        EXPECT_EQ(pixels.BitCount(), 32);
        EXPECT_TRUE(pixels.Header().IsBottomUp());
        int wrong = 0;
        for (int y = 0; y < side; ++y) {
            const std::uint8_t* row = pixels.Row(std::size_t(side - 1 - y));
            for (int x = 0; x < side; ++x)
                for (int k = 0; k < 4; ++k)
                    wrong += row[4 * x + k] != FakeHost::PixelByte(serial, x, y, k);
        }
        EXPECT_EQ(wrong, 0) << serial << ".bmp";
    }
}

class HandOverRoundTrip : public plat::ImportFixture {
protected:
    PluginFolders m_plugin;
    PluginLibrary m_lib{BRISQUEL_LIBRARY_PATH};
};

// The list says: drawing x -12.7 .. 63.5 mm, y 0 .. 25.4 mm; 0.bmp with its
// top left at (12.7, 50.8) mm, 25.4 mm square; 1.bmp at (-12.7, 12.7) mm,
// 12.7 mm square. In world units (x 10) the extents run x -127 .. 635 and
// y 0 .. 508, so the import turns y into 508 - y: image 0's top edge 508
// becomes its bottom edge 0, image 1's 127 becomes 381, and the drawing,
// placed with its lower-left corner on (-127, 0), ends with its top at 508.
// Then the box of everything moves onto the machine origin.
TEST_F(HandOverRoundTrip, ProgramImportsTheSavedDrawingAndBothImagesWhereTheHostHadThem)
{
    if (plat::TestDataFolder().empty())
        GTEST_SKIP() << "no test data folder";
    const std::string drawing = plat::TestDataFolder() + "/ai/plotutils_graph.ai";
    ASSERT_NE(m_lib.Main(), nullptr) << ::dlerror();
    ExportDocument(m_lib, m_plugin, drawing);
    ASSERT_EQ(plat::ReadFileBytes(m_plugin.m_work + "default.ai"), plat::ReadFileBytes(drawing));

    CFileReadTrans trans;
    trans.ReadPluginParam(&m_ctx, m_plugin.m_work);
    EXPECT_TRUE(m_prompt.m_shown.empty()) << "an entry was refused";
    const std::vector<const CDocData*> objects = plat::Objects(Document());
    ASSERT_GE(objects.size(), 3u);
    CGeoBox all;
    all.SetEmpty();
    CGeoBox shapes;
    shapes.SetEmpty();
    std::vector<const CDocDataBitmap*> images;
    for (const CDocData* o : objects) {
        all.Union(o->m_rcBound);
        if (o->GetType() == MT_BITMAP)
            images.push_back(static_cast<const CDocDataBitmap*>(o));
        else
            shapes.Union(o->m_rcBound);
    }
    ASSERT_EQ(images.size(), 2u);
    ASSERT_FALSE(shapes.IsEmpty());
    const CDocDataBitmap& image0 = *images[0];
    const CDocDataBitmap& image1 = *images[1];

    EXPECT_NEAR(all.m_xmin, kWorldOrigin, 1e-6);
    EXPECT_NEAR(all.m_ymin, kWorldOrigin, 1e-6);
    // Leftmost: the drawing and image 1, both at x -127.
    EXPECT_NEAR(image1.m_x, kWorldOrigin, 1e-6);
    EXPECT_NEAR(shapes.m_xmin, kWorldOrigin, 1e-6);
    EXPECT_NEAR(image0.m_x - image1.m_x, 254.0, 1e-6);
    EXPECT_NEAR(image1.m_y - image0.m_y, 381.0, 1e-6);
    EXPECT_NEAR(shapes.m_ymax - image0.m_y, 508.0, 1e-6);
    // The images take the size the list gives them, as far as a resolution
    // in whole pixels per metre carries it (150 pixels at 5906 a metre).
    EXPECT_NEAR(image0.m_rcBound.m_xmax - image0.m_rcBound.m_xmin, 254.0, 0.05);
    EXPECT_NEAR(image0.m_rcBound.m_ymax - image0.m_rcBound.m_ymin, 254.0, 0.05);
    EXPECT_NEAR(image1.m_rcBound.m_ymax - image1.m_rcBound.m_ymin, 127.0, 0.05);
    EXPECT_NEAR(image1.m_rcBound.m_ymax, shapes.m_ymax, 0.05);
}

} // namespace
