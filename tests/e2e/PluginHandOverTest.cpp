// A drawing handed over from Illustrator: the BrenvikPlugin library, loaded
// as the host loads it and driven by the in-memory host, exports into the
// work folder of the program's own install folder and starts the program;
// the program's first new document imports the drawing and both images,
// where the host had them, and the next new document starts empty.
//
// The host's document (points, y up, origin 0): a 288 x 144 outline from
// (0, 0); a placed image at the top left, 72 points square; a raster image
// at the bottom right, 36 points square. In millimetres the list gives the
// drawing 0 .. 101.6 x 0 .. 50.8, image 0 with its top left at (0, 50.8),
// 25.4 square, image 1 at (88.9, 12.7), 12.7 square. In world units (0.1 mm,
// y down once turned within the extents 0 .. 508) image 0's top lies on the
// drawing's top and image 1's 508 - 127 = 381 below it; then the whole moves
// onto the machine origin.
#include "E2eProgram.h"
#include "PluginTestSupport.h"
#include "qtplatform/CommandRouter.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataBitmap.h"
#include "model/DocListNode.h"
#include "platform/WorkFolder.h"

#include <filesystem>

namespace {

std::vector<const CDocData*> Objects(const DOCCONTEXT& ctx)
{
    std::vector<const CDocData*> objects;
    for (const CDocData* data = ctx.m_pCurrent->m_pFirst; data != nullptr; data = data->m_pNext)
        objects.push_back(data);
    return objects;
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            names.push_back(entry.path().lexically_relative(folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(PluginHandOver, FirstNewDocumentImportsTheDrawingAndBothImagesAndTheNextStartsEmpty)
{
    plat::E2eProgram program;
    const std::string install = program.m_program.Root();
    const std::string work = install + "work/";
    // An earlier run left its own work folder, emptied but for its marker.
    EXPECT_EQ(program.Run({QStringLiteral("brenvik")}, [](COrvelApp&) {}), 0);
    ASSERT_EQ(FilesIn(work), std::vector<std::string>{plat::kOwnFolderMarker});

    // The plug-in finds workPath.txt and the program in the install folder;
    // the program it starts here only leaves a mark.
    ::setenv("BRENVIK_INSTALL_FOLDER", install.c_str(), 1);
    const std::string started = install + "started";
    program.m_program.Write("brenvik", "#!/bin/sh\ntouch '" + started + "'\n");
    std::filesystem::permissions(install + "brenvik", std::filesystem::perms::owner_all);
    program.m_program.Write("drawing.ai", "%AI5_BeginLayer\n0 0 m\n288 0 L\n288 144 L\n0 144 L\n0 0 L\nS\n");
    {
        plat::PluginLibrary library(BRENVIKPLUGIN_LIBRARY_PATH);
        ASSERT_NE(library.Main(), nullptr) << ::dlerror();
        plat::HostedPlugin plugin(library.Main());
        plat::FakeHost& host = plugin.m_host;
        host.m_saveSource = install + "drawing.ai";
        plat::FakeHost::Art* layer = host.AddLayer(true);
        host.AddArt(layer, kArtPath, {0, 144, 288, 0});
        host.AddArt(layer, kArtPlaced, {0, 144, 72, 72});
        host.AddArt(layer, kArtRaster, {252, 36, 288, 0});
        ASSERT_EQ(plugin.Startup(), 0);
        ASSERT_EQ(plugin.Export(), 0) << (host.m_errorAlerts.empty() ? "" : host.m_errorAlerts.back());
        EXPECT_EQ(plugin.Shutdown(), 0);
    }
    ::unsetenv("BRENVIK_INSTALL_FOLDER");
    EXPECT_TRUE(plat::WaitFor([&] { return std::filesystem::exists(started); }, 5000)) << "the program was not started";
    EXPECT_EQ(FilesIn(work), (std::vector<std::string>{plat::kOwnFolderMarker, "0.bmp", "1.bmp", "cor.param",
                                                       "default.ai"}));

    const int status = program.Run({QStringLiteral("brenvik")}, [&](COrvelApp& app) {
        ASSERT_NE(app.MainFrame(), nullptr);
        std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(*app.MainFrame());
        ASSERT_EQ(documents.size(), 1u);
        const DOCCONTEXT& first = documents[0]->Document()->Context();
        std::vector<const CDocDataBitmap*> images;
        CGeoBox shapes;
        shapes.SetEmpty();
        for (const CDocData* o : Objects(first)) {
            if (o->GetType() == MT_BITMAP)
                images.push_back(static_cast<const CDocDataBitmap*>(o));
            else
                shapes.Union(o->m_rcBound);
        }
        ASSERT_EQ(images.size(), 2u);
        ASSERT_FALSE(shapes.IsEmpty()) << "the drawing was not imported";
        EXPECT_NEAR(shapes.m_xmin, kWorldOrigin, 1e-6);
        EXPECT_NEAR(shapes.m_ymin, kWorldOrigin, 1e-6);
        // The drawing's reader takes 0.28346246 points to the world unit
        // (not 72 / 254): 288 points are 1016.0075 units, 144 are 508.0038.
        EXPECT_NEAR(shapes.m_xmax, kWorldOrigin + 1016.0075, 1e-4);
        EXPECT_NEAR(shapes.m_ymax, kWorldOrigin + 508.0038, 1e-4);
        // Which image is which: the larger one is the placed image.
        if (images[0]->m_rcBound.m_xmax - images[0]->m_rcBound.m_xmin <
            images[1]->m_rcBound.m_xmax - images[1]->m_rcBound.m_xmin)
            std::swap(images[0], images[1]);
        const CGeoBox& placed = images[0]->m_rcBound;
        const CGeoBox& raster = images[1]->m_rcBound;
        // Sizes in whole pixels per metre carry the list's to within 0.05.
        EXPECT_NEAR(placed.m_xmin, kWorldOrigin, 0.05);
        EXPECT_NEAR(placed.m_ymin, kWorldOrigin, 0.05);
        EXPECT_NEAR(placed.m_xmax, kWorldOrigin + 254.0, 0.05);
        EXPECT_NEAR(placed.m_ymax, kWorldOrigin + 254.0, 0.05);
        EXPECT_NEAR(raster.m_xmin, kWorldOrigin + 889.0, 0.05);
        EXPECT_NEAR(raster.m_ymin, kWorldOrigin + 381.0, 0.05);
        EXPECT_NEAR(raster.m_xmax, kWorldOrigin + 1016.0, 0.05);
        EXPECT_NEAR(raster.m_ymax, kWorldOrigin + 508.0, 0.05);
        EXPECT_FALSE(documents[0]->Document()->IsModified());

        app.MainFrame()->Router().Execute(cmd::FileNew);
        documents = plat::E2eProgram::Documents(*app.MainFrame());
        ASSERT_EQ(documents.size(), 2u);
        EXPECT_TRUE(Objects(documents[1]->Document()->Context()).empty()) << "the hand-over was imported twice";
        EXPECT_EQ(Objects(first).size(), 3u);
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(program.m_prompt.m_prompt.m_shown.empty()) << "an entry of the hand-over was refused";
    // The hand-over goes with the program's exit; the marker stays.
    EXPECT_EQ(FilesIn(work), std::vector<std::string>{plat::kOwnFolderMarker});
}
