// Export through both builds: the files of the hand-over byte for byte, what
// the document goes through, a host error at every step, the files that
// cannot be written and the start of the main program.
#include "PluginTestSupport.h"
#include "illustrator/BmpWriter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using plat::FakeHost;
using plat::PluginBuildInfo;
using plat::PluginFolders;
using plat::PluginLibrary;
using plat::HostedPlugin;
using plat::BuildExportDocument;

const std::string kParamFile = "default.ai\r\nmax\r\n 63.5\r\n 25.4\r\nmin\r\n -12.7\r\n 0\r\n"
                               "0.bmp\r\n 12.7\r\n 50.8\r\nsize\r\n 25.4\r\n 25.4\r\n"
                               "1.bmp\r\n -12.7\r\n 12.7\r\nsize\r\n 12.7\r\n 12.7\r\n";

// The 54 header bytes of a 32-bit BMP, worked out by hand.
const std::string kHeader150 = std::string("BM\xC6\x5F\x01\x00\0\0\0\0\x36\0\0\0", 14) +
                               std::string("\x28\0\0\0\x96\0\0\0\x96\0\0\0\x01\0\x20\0\0\0\0\0\x90\x5F\x01\0", 24) +
                               std::string(16, '\0');
const std::string kHeader75 = std::string("BM\x1A\x58\0\0\0\0\0\0\x36\0\0\0", 14) +
                              std::string("\x28\0\0\0\x4B\0\0\0\x4B\0\0\0\x01\0\x20\0\0\0\0\0\xE4\x57\0\0", 24) +
                              std::string(16, '\0');

// The rasters the host made for the plug-in, in order.
std::vector<FakeHost::Art*> MadeRasters(FakeHost& host)
{
    std::vector<FakeHost::Art*> made;
    for (std::uint32_t id = 1; host.Find(id) != nullptr; ++id)
        if (host.Find(id)->m_serial >= 0)
            made.push_back(host.Find(id));
    return made;
}

bool NoChildLeft()
{
    return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

class Export : public testing::TestWithParam<PluginBuildInfo> {
protected:
    void SetUp() override { ASSERT_NE(m_lib.Main(), nullptr) << ::dlerror(); }
    bool Brenvik() const { return GetParam().m_brenvikPlugin; }

    PluginFolders m_folders;
    PluginLibrary m_lib{GetParam().m_library};
};

TEST_P(Export, WritesHandOverFilesByteForByteWhateverTheLocaleAndStartsTheProgram)
{
    const std::string oldLocale = std::setlocale(LC_ALL, nullptr);
    // A decimal comma for every number the C library formats.
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    HostedPlugin s(m_lib.Main());
    const plat::ExportDocument d = BuildExportDocument(s.m_host);
    ASSERT_EQ(s.Startup(), 0);
    const HostErr result = s.Export();
    std::setlocale(LC_ALL, oldLocale.c_str());
    ASSERT_EQ(result, 0) << (s.m_host.m_errorAlerts.empty() ? "" : s.m_host.m_errorAlerts.back());
    EXPECT_TRUE(s.m_host.m_misuse.empty()) << s.m_host.m_misuse.front();

    EXPECT_EQ(plat::ReadFileBytes(m_folders.m_work + "cor.param"), kParamFile);
    const std::string bmp0 = plat::ReadFileBytes(m_folders.m_work + "0.bmp");
    const std::string bmp1 = plat::ReadFileBytes(m_folders.m_work + "1.bmp");
    ASSERT_EQ(bmp0.size(), 90054u);
    ASSERT_EQ(bmp1.size(), 22554u);
    EXPECT_EQ(bmp0.substr(0, 54), kHeader150);
    EXPECT_EQ(bmp1.substr(0, 54), kHeader75);
    // Rows bottom-up: the file's first row is the raster's row 149 (74), its
    // last row the raster's row 0. Pixel bytes (7x + n, 3y, x ^ y, 0x80 + n)
    // of raster n.
    EXPECT_EQ(bmp0.substr(54, 4), std::string("\x00\xBF\x95\x80", 4));              // x 0, y 149
    EXPECT_EQ(bmp0.substr(54 + 149 * 600 + 4, 4), std::string("\x07\x00\x01\x80", 4)); // x 1, y 0
    EXPECT_EQ(bmp1.substr(54 + 2 * 4, 4), std::string("\x0F\xDE\x48\x81", 4));         // x 2, y 74
    EXPECT_EQ(m_folders.WaitForMarker(), "started\n");
    EXPECT_TRUE(NoChildLeft());

    // The text frame became outlines in its place: no fill, every path.
    EXPECT_TRUE(d.m_text->m_disposed);
    const auto groupChildren = s.m_host.Children(d.m_group);
    ASSERT_EQ(groupChildren.size(), 3u);
    EXPECT_EQ(groupChildren[1], d.m_placed);
    FakeHost::Art* outline = groupChildren[0];
    ASSERT_EQ(outline->m_type, kArtGroup);
    const auto outlineChildren = s.m_host.Children(outline);
    ASSERT_EQ(outlineChildren.size(), 2u);
    std::vector<FakeHost::Art*> paths = s.m_host.Children(outlineChildren[0]);
    paths.push_back(outlineChildren[1]);
    ASSERT_EQ(paths.size(), 3u);
    for (const FakeHost::Art* path : paths) {
        EXPECT_EQ(path->m_type, kArtPath);
        EXPECT_EQ(path->m_style.m_fillPaint, 0);
        EXPECT_EQ(path->m_style.m_strokePaint, 1);
    }

    // Rasterized with 4, 150, 2, 1, 2, 0 above the image, over the set's
    // bounds (one point beyond the art in this host) or the art's own.
    ASSERT_EQ(s.m_host.m_rasterizeCalls.size(), 2u);
    for (const auto& call : s.m_host.m_rasterizeCalls) {
        const RasterizeSettings& r = call.m_settings;
        EXPECT_EQ(std::vector<double>({double(r.m_type), r.m_resolution, double(r.m_antialiasing), double(r.m_options),
                                       double(r.m_colorConversion), double(r.m_spotColors)}),
                  std::vector<double>({4, 150.0, 2, 1, 2, 0}));
    }
    EXPECT_EQ(s.m_host.m_rasterizeCalls[0].m_prep, d.m_placed->m_id);
    EXPECT_EQ(s.m_host.m_rasterizeCalls[1].m_prep, d.m_raster->m_id);
    const HostRect b = s.m_host.m_rasterizeCalls[0].m_bounds;
    const float grow = Brenvik() ? 0.0f : 1.0f;
    EXPECT_EQ(std::vector<float>({b.left, b.top, b.right, b.bottom}),
              std::vector<float>({72 - grow, 144 + grow, 144 + grow, 72 - grow}));
    EXPECT_EQ(s.m_host.m_computedSetBounds, Brenvik() ? 0 : 2);
    // The rasters made on the way left the document again.
    const auto made = MadeRasters(s.m_host);
    ASSERT_EQ(made.size(), 2u);
    EXPECT_TRUE(made[0]->m_disposed && made[1]->m_disposed);

    std::vector<std::string> save = {"name=" + m_folders.m_work + "default.ai",
                                     "frmt=Adobe Illustrator Any Format Writer",
                                     "crtr=7", "incl=1", "embd=1", "rato=100", "pdf =true", "sbst=true", "smab=false",
                                     "gprm=false"};
    if (Brenvik())
        save.erase(save.begin() + 8);
    EXPECT_EQ(s.m_host.m_saveParams, save);
    EXPECT_EQ(s.m_host.m_playedEvents, std::vector<std::string>{"adobe_saveDocumentAs"});

    // A second export numbers the images from 0 again.
    std::filesystem::remove(m_folders.Marker());
    ASSERT_EQ(s.Export(), 0);
    EXPECT_EQ(plat::ReadFileBytes(m_folders.m_work + "cor.param"), kParamFile);
    EXPECT_FALSE(std::filesystem::exists(m_folders.m_work + "2.bmp"));
    EXPECT_EQ(m_folders.WaitForMarker(), "started\n");
    EXPECT_EQ(s.Shutdown(), 0);
    EXPECT_TRUE(s.m_host.m_misuse.empty()) << s.m_host.m_misuse.front();
}

TEST_P(Export, HostErrorAtAnyStepEndsExportWithItsCodeKeepsEarlierFilesAndStartsNothing)
{
    std::int64_t steps = 0;
    std::int64_t firstTile = -1;
    {
        HostedPlugin clean(m_lib.Main());
        BuildExportDocument(clean.m_host);
        ASSERT_EQ(clean.Startup(), 0);
        const std::size_t mark = clean.m_host.m_calls.size();
        ASSERT_EQ(clean.Export(), 0);
        const std::vector<std::string> calls(clean.m_host.m_calls.begin() + std::ptrdiff_t(mark),
                                             clean.m_host.m_calls.end());
        steps = std::int64_t(calls.size());
        firstTile = std::find(calls.begin(), calls.end(), "RasterGetTile") - calls.begin();
        ASSERT_LT(firstTile, steps);
        ASSERT_EQ(m_folders.WaitForMarker(), "started\n");
        EXPECT_EQ(clean.Shutdown(), 0);
    }
    for (std::int64_t step = 0; step < steps; ++step) {
        std::filesystem::remove_all(m_folders.m_work);
        std::filesystem::create_directories(m_folders.m_work);
        std::filesystem::remove(m_folders.Marker());
        HostedPlugin s(m_lib.Main());
        BuildExportDocument(s.m_host);
        ASSERT_EQ(s.Startup(), 0);
        const HostErr code = HostErr(0x100 + step);
        s.m_host.FailCall(s.m_host.CallCount() + step, code);
        ASSERT_EQ(s.Export(), code) << "step " << step << ": " << s.m_host.m_calls[s.m_host.m_calls.size() - 1];
        EXPECT_TRUE(s.m_host.m_misuse.empty()) << "step " << step << ": " << s.m_host.m_misuse.front();
        EXPECT_EQ(std::filesystem::exists(m_folders.m_work + "0.bmp"), step > firstTile) << "step " << step;
        EXPECT_FALSE(std::filesystem::exists(m_folders.m_work + "cor.param")) << "step " << step;
        EXPECT_EQ(s.Shutdown(), 0);
    }
    // A program started by any of them would have written by now.
    ::usleep(300000);
    EXPECT_FALSE(std::filesystem::exists(m_folders.Marker()));
}

INSTANTIATE_TEST_SUITE_P(Builds, Export, testing::Values(plat::kBrisquelBuild, plat::kBrenvikPluginBuild),
                         plat::BuildName);

// The rest is the same code in both builds.
class ExportFiles : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(m_lib.Main(), nullptr) << ::dlerror(); }
    PluginFolders m_folders;
    PluginLibrary m_lib{BRISQUEL_LIBRARY_PATH};
};

TEST_F(ExportFiles, ProgramGetsNoDescriptorBeyondTwoAndAMissingOneEndsExportWithExe)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0); // not close-on-exec: only the start closes it
    const std::string fd = std::to_string(fds[1]);
    m_folders.WriteProgram("if [ -e /proc/self/fd/" + fd + " ]; then echo open; else echo closed; fi");
    HostedPlugin s(m_lib.Main());
    ASSERT_EQ(s.Startup(), 0);
    ASSERT_EQ(s.Export(), 0);
    EXPECT_EQ(m_folders.WaitForMarker(), "closed\n");
    EXPECT_TRUE(NoChildLeft());
    ::close(fds[0]);
    ::close(fds[1]);

    std::filesystem::remove(m_folders.m_install + "brenvik");
    testing::internal::CaptureStderr();
    EXPECT_EQ(s.Export(), FourCharErr("!exe"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::to_string(ENOENT) + "\n");
    EXPECT_EQ(s.m_host.m_errorAlerts,
              std::vector<std::string>{"Error !exe: the program " + m_folders.m_install + "brenvik cannot be started."});
    EXPECT_TRUE(NoChildLeft());
    EXPECT_EQ(s.Shutdown(), 0);
}

TEST_F(ExportFiles, ImageOfNoPixelsOrBeyondTheBmpFieldsAndUnwritableFilesEndExportWithWrt)
{
    const std::string alert0 = "Error !wrt: the file " + m_folders.m_work + "0.bmp cannot be written.";
    for (const PixelRect pixels : {PixelRect{0, 0, 0, 150}, PixelRect{0, 0, 65536, 65536}, PixelRect{10, 5, 4, 20}}) {
        HostedPlugin s(m_lib.Main());
        BuildExportDocument(s.m_host);
        s.m_host.m_overridePixels = true;
        s.m_host.m_pixelOverride = pixels;
        ASSERT_EQ(s.Startup(), 0);
        EXPECT_EQ(s.Export(), FourCharErr("!wrt"));
        EXPECT_EQ(s.m_host.m_errorAlerts, std::vector<std::string>{alert0});
        EXPECT_TRUE(std::filesystem::is_empty(m_folders.m_work));
        const auto made = MadeRasters(s.m_host);
        ASSERT_EQ(made.size(), 1u);
        EXPECT_TRUE(made[0]->m_disposed);
        EXPECT_TRUE(s.m_host.m_misuse.empty()) << s.m_host.m_misuse.front();
        EXPECT_EQ(s.Shutdown(), 0);
    }

    // An image file that cannot be created.
    std::filesystem::create_directories(m_folders.m_work + "0.bmp");
    {
        HostedPlugin s(m_lib.Main());
        BuildExportDocument(s.m_host);
        ASSERT_EQ(s.Startup(), 0);
        EXPECT_EQ(s.Export(), FourCharErr("!wrt"));
        EXPECT_EQ(s.m_host.m_errorAlerts, std::vector<std::string>{alert0});
        EXPECT_EQ(s.Shutdown(), 0);
    }
    std::filesystem::remove(m_folders.m_work + "0.bmp");

    // A hand-over list that cannot be replaced: the images stay.
    std::filesystem::create_directories(m_folders.m_work + "cor.param");
    HostedPlugin s(m_lib.Main());
    BuildExportDocument(s.m_host);
    ASSERT_EQ(s.Startup(), 0);
    EXPECT_EQ(s.Export(), FourCharErr("!wrt"));
    EXPECT_EQ(s.m_host.m_errorAlerts,
              std::vector<std::string>{"Error !wrt: the file " + m_folders.m_work + "cor.param cannot be written."});
    EXPECT_EQ(std::filesystem::file_size(m_folders.m_work + "0.bmp"), 90054u);
    EXPECT_EQ(std::filesystem::file_size(m_folders.m_work + "1.bmp"), 22554u);
    EXPECT_EQ(s.Shutdown(), 0);
    ::usleep(300000);
    EXPECT_FALSE(std::filesystem::exists(m_folders.Marker()));
}

TEST(BmpWriter, HeaderRefusesSizesBeyondItsThirtyTwoBitFields)
{
    std::array<std::uint8_t, BmpWriter::kHeaderSize> header{};
    // 1,073,741,810 pixels: 54 + 4 x that = 4,294,967,294, the largest that fits.
    ASSERT_TRUE(BmpWriter::MakeHeader(1073741810, 1, header));
    EXPECT_EQ(std::vector<std::uint8_t>(header.begin() + 2, header.begin() + 6),
              std::vector<std::uint8_t>({0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(std::vector<std::uint8_t>(header.begin() + 34, header.begin() + 38),
              std::vector<std::uint8_t>({0xC8, 0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(BmpWriter::MakeHeader(1073741811, 1, header));
    EXPECT_FALSE(BmpWriter::MakeHeader(2, 536870906, header)); // 1,073,741,812 pixels
    EXPECT_FALSE(BmpWriter::MakeHeader(0, 5, header));
    EXPECT_FALSE(BmpWriter::MakeHeader(5, -1, header));
    EXPECT_FALSE(BmpWriter::MakeHeader(std::int64_t(1) << 33, std::int64_t(1) << 33, header));
}

} // namespace
