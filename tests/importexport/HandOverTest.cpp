// The plug-in hand-over: the list files cor.param and cad.param in the work
// folder, and the import of what they name. Positions are worked out by
// hand from the list's millimetres (x 10 to world units), the extents, the
// mirror line y = (y-min + y-max) / 2 and the placement on the origin.
//
// Faults these catch: the bitmap test made case-insensitive or after the
// Illustrator one, value lines counted wrongly, numbers read as 0 when they
// are not numbers, names that lead out of the work folder followed, an
// image mirrored as a shape (its origin must be the mirrored top edge), the
// extents taken from the objects instead of the list, cad.param mirrored,
// cor.param read although cad.param exists, a missing list reported.
#include "ImportTestSupport.h"
#include "importexport/FileReadTrans.h"
#include "importexport/HandOverReads.h"
#include "importexport/PluginParamList.h"
#include "model/DocDataBitmap.h"
#include "model/DocDataLine.h"
#include "tests/model/BmpTestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace plat {
namespace {

constexpr double kInch = 254.0018836447373; // 72 pt in world units
constexpr double kO = kWorldOrigin;
constexpr std::u16string_view kRefusedText = u"Not imported:";

std::vector<std::string> Names(const CPluginParamList& list, bool refused = false)
{
    std::vector<std::string> out;
    for (const HANDOVERENTRY& e : list.m_entries) {
        if (e.m_bRefused == refused)
            out.push_back(e.m_name);
    }
    return out;
}

TEST(PluginParamList, EntriesAreToldByTheirLastCharactersInTheFilesOrder)
{
    // cor.param: the bitmap test comes first, so "x.ai.bmp" is a bitmap;
    // "picture.BMP" and "plan.dxf" are not entries of cor.param.
    CPluginParamList cor;
    cor.Parse("default.ai\r\nmax\r\n 100\r\n 50\r\nmin\r\n 0\r\n -2.5\r\n"
              "picture.BMP\r\nx.ai.bmp\r\n 10\r\n 20\r\nsize\r\n 30\r\n 40\r\nplan.dxf\r\n",
              false);
    EXPECT_TRUE(Names(cor, true).empty());
    ASSERT_EQ(Names(cor), (std::vector<std::string>{"default.ai", "x.ai.bmp"}));
    EXPECT_EQ(cor.m_entries[0].m_nKind, HANDOVER_AI);
    EXPECT_EQ(cor.m_entries[0].m_values, (std::array<double, 4>{100, 50, 0, -2.5}));
    EXPECT_EQ(cor.m_entries[1].m_nKind, HANDOVER_BMP);
    EXPECT_EQ(cor.m_entries[1].m_values, (std::array<double, 4>{10, 20, 30, 40}));

    // cad.param: the DXF test first; no value lines follow a DXF name, and
    // "default.ai" is not an entry there.
    CPluginParamList cad;
    cad.Parse("a.dxf\nsub/b.dxf\ndefault.ai\nmax\nlogo.bmp\n1e+06\n 5\nsize\n 0.333333\n 12.5\nc.bmp.dxf\n", true);
    EXPECT_TRUE(Names(cad, true).empty());
    ASSERT_EQ(Names(cad), (std::vector<std::string>{"a.dxf", "sub/b.dxf", "logo.bmp", "c.bmp.dxf"}));
    EXPECT_EQ(cad.m_entries[2].m_values, (std::array<double, 4>{1e6, 5, 0.333333, 12.5}));
    EXPECT_EQ(cad.m_entries[3].m_nKind, HANDOVER_DXF);
}

TEST(PluginParamList, BrokenEntriesAreRefusedByNameAndTheRestStillRead)
{
    // Value lines that are no number, not finite or beyond 10 km; names that
    // are absolute or climb out of the folder; an entry cut short at the end.
    const std::string bytes = "bad.bmp\n 1\n x1\nsize\n 1\n 1\n"
                              "nan.bmp\n nan\n 1\nsize\n 1\n 1\n"
                              "far.bmp\n 1\n 1\nsize\n 1e8\n 1\n"
                              "../up.bmp\n 1\n 1\nsize\n 1\n 1\n"
                              "/abs.bmp\n 1\n 1\nsize\n 1\n 1\n"
                              "C:x.bmp\n 1\n 1\nsize\n 1\n 1\n"
                              "a\\..\\..\\b.bmp\n 1\n 1\nsize\n 1\n 1\n"
                              "\x01\xff\xfe..bmp\n 1\n 1\nsize\n 1\n 1\n"
                              "ok.bmp\n 7\n 8\nsize\n 9\n 10\n"
                              "default.ai\nmax\n 1\n";
    CPluginParamList list;
    list.Parse(bytes, false);
    EXPECT_EQ(Names(list, true), (std::vector<std::string>{"bad.bmp", "nan.bmp", "far.bmp", "../up.bmp", "/abs.bmp",
                                                         "C:x.bmp", "a\\..\\..\\b.bmp", "default.ai"}));
    ASSERT_EQ(Names(list), (std::vector<std::string>{"\x01\xff\xfe..bmp", "ok.bmp"}));
    EXPECT_EQ(list.m_entries[8].m_values, (std::array<double, 4>{7, 8, 9, 10}));

    EXPECT_TRUE(CPluginParamList::IsConfinedName("sub/..x/y.dxf"));
    EXPECT_FALSE(CPluginParamList::IsConfinedName(std::string_view("a\0b.dxf", 7)));
    EXPECT_FALSE(CPluginParamList::IsConfinedName(""));
}

// Reads through the real Illustrator reader; images are made from the
// hand-made BMP at the mouse point, DXF entries as a 100 x 50 box corner.
class StubImageReads : public CHandOverReads {
public:
    bool ReadBitmap(const std::string& path, double widthMm, double heightMm, CDocData*& object,
                    DOCCONTEXT* ctx) override
    {
        m_sizes.emplace_back(widthMm, heightMm);
        std::string bytes;
        if (!ReadWholeFile(path, bytes))
            return false;
        object = new CDocDataBitmap(FileNameOf(path), path, ctx->m_ptMouse.m_x, ctx->m_ptMouse.m_y, 0, ctx);
        return true;
    }
    bool ReadDxf(const std::string& path, CDocData*& list, DOCCONTEXT* ctx) override
    {
        std::string bytes;
        if (!ReadWholeFile(path, bytes))
            return false;
        list = new CDocDataLine(MakeNodes({{0, 0}, {100, 0}, {100, 50}}), 1, ctx);
        return true;
    }
    std::vector<XY> m_sizes;
};

class HandOver : public ImportFixture {
protected:
    HandOver()
    {
        m_table[116] = kRefusedText;
        // 30 x 40 and 20 x 10 pixels at 1000 per metre: 1 mm each.
        BmpForm form;
        form.bits = 24;
        form.xPels = form.yPels = 1000;
        form.width = 30;
        form.height = 40;
        File("0.bmp", MakeBmp(form, std::vector<std::vector<std::uint8_t>>(40, std::vector<std::uint8_t>(90, 0))));
        form.width = 20;
        form.height = 10;
        File("1.bmp", MakeBmp(form, std::vector<std::vector<std::uint8_t>>(10, std::vector<std::uint8_t>(60, 0))));
        File("default.ai", "%AI5_BeginLayer\n0 0 m\n72 72 L\nS\n");
    }

    void Import(const std::string& folder)
    {
        CFileReadTrans trans;
        StubImageReads reads;
        std::string bytes;
        if (ReadWholeFile(folder + "cad.param", bytes))
            CFileReadTrans::ImportPluginList(&m_ctx, folder, bytes, true, reads);
        else if (ReadWholeFile(folder + "cor.param", bytes))
            CFileReadTrans::ImportPluginList(&m_ctx, folder, bytes, false, reads);
        m_sizes = reads.m_sizes;
    }

    std::vector<XY> m_sizes;
};

// Extents: default.ai x 0..1000, y 0..500; 0.bmp at (10, 20) sized 30 x 40
// gives x 100..400, y -200..200; 1.bmp at (60, 50) sized 20 x 10 gives
// x 600..800, y 400..500. So y runs -200..500 and the mirror line is
// y = 150 (y becomes 300 - y). The drawing, placed at (0, 0), runs from
// (0, 0) to (kInch, kInch) and becomes (0, 300)-(kInch, 300 - kInch). An
// image's origin is its top edge turned: 300 - 200 = 100 and 300 - 500 =
// -200; its corners follow from the file (1 mm a pixel). The box of all is
// x 0..800, y -200..500, so everything moves by (500000, 500200).
TEST_F(HandOver, CorParamDrawingAndTwoImagesLandWhereTheExtentsPutThem)
{
    File("cor.param", "default.ai\r\nmax\r\n 100\r\n 50\r\nmin\r\n 0\r\n 0\r\n"
                      "0.bmp\r\n 10\r\n 20\r\nsize\r\n 30\r\n 40\r\n"
                      "1.bmp\r\n 60\r\n 50\r\nsize\r\n 20\r\n 10\r\n");
    CDocData* before = MakePoint(1, 1);
    m_ctx.m_pCurrent->m_pFirst = before;
    Import(m_folder.Root());

    EXPECT_EQ(m_sizes, (std::vector<XY>{{30, 40}, {20, 10}}));
    const std::vector<const CDocData*> objects = Objects(Document());
    ASSERT_EQ(objects.size(), 3u);
    ExpectNodesNear(objects[0], {{kO, kO + 500}, {kO + kInch, kO + 500 - kInch}});
    ASSERT_EQ(objects[1]->GetType(), MT_BITMAP);
    const auto* image0 = static_cast<const CDocDataBitmap*>(objects[1]);
    EXPECT_NEAR(image0->m_x, kO + 100, 1e-9);
    EXPECT_NEAR(image0->m_y, kO + 300, 1e-9);
    ExpectNodesNear(image0, {{kO + 100, kO + 300}, {kO + 400, kO + 300}, {kO + 400, kO + 700}, {kO + 100, kO + 700},
                             {kO + 100, kO + 300}});
    const auto* image1 = static_cast<const CDocDataBitmap*>(objects[2]);
    EXPECT_NEAR(image1->m_x, kO + 600, 1e-9);
    EXPECT_NEAR(image1->m_y, kO + 0, 1e-9);
    ExpectNodesNear(image1, {{kO + 600, kO}, {kO + 800, kO}, {kO + 800, kO + 100}, {kO + 600, kO + 100},
                             {kO + 600, kO}});

    for (const CDocData* o : objects)
        EXPECT_EQ(o->IsSelected(), 1);
    EXPECT_NEAR(m_ctx.m_rcSelect.m_xmin, kO, 1e-9);
    EXPECT_NEAR(m_ctx.m_rcSelect.m_ymax, kO + 700, 1e-9);
    EXPECT_EQ(m_ctx.m_ptMouse.m_x, kO);
    // One undo step, which still holds what the document held.
    EXPECT_EQ(OlderSnapshots(), 1);
    ASSERT_NE(m_ctx.m_pCurrent->m_pOlder->m_pFirst, nullptr);
    EXPECT_EQ(m_ctx.m_pCurrent->m_pOlder->m_pFirst->GetType(), MT_POINT);
    EXPECT_TRUE(m_prompt.m_shown.empty());
}

// The Part's own example: max 100, 50 and min 0, 0 alone mirror about
// y = 250 and land with the minimum corner on the origin.
TEST_F(HandOver, DrawingAloneIsTurnedAboutItsOwnMiddle)
{
    File("cor.param", "default.ai\nmax\n 100\n 50\nmin\n 0\n 0\n");
    Import(m_folder.Root());
    ASSERT_EQ(Objects(Document()).size(), 1u);
    // (0, 0)-(kInch, kInch) about y = 250: (0, 500)-(kInch, 500 - kInch),
    // box y from 500 - kInch, moved down onto the origin.
    ExpectNodesNear(Document(), {{kO, kO + kInch}, {kO + kInch, kO}});
}

TEST_F(HandOver, CadParamIsReadFirstAndNotMirrored)
{
    File("cor.param", "default.ai\nmax\n 100\n 50\nmin\n 0\n 0\n");
    File("a.dxf", "0\nEOF\n");
    File("cad.param", "a.dxf\n0.bmp\n 10\n 20\nsize\n 30\n 40\ndefault.ai\nmax\n 1\n 1\nmin\n 0\n 0\n");
    Import(m_folder.Root());
    // The DXF drawing (0,0)-(100,0)-(100,50) and the image at (100, 200)
    // sized 300 x 400 keep their y; the box x 0..400, y 0..600 moves onto
    // the origin. Nothing of cor.param is read.
    const std::vector<const CDocData*> objects = Objects(Document());
    ASSERT_EQ(objects.size(), 2u);
    ExpectNodesNear(objects[0], {{kO, kO}, {kO + 100, kO}, {kO + 100, kO + 50}});
    const auto* image = static_cast<const CDocDataBitmap*>(objects[1]);
    EXPECT_NEAR(image->m_x, kO + 100, 1e-9);
    EXPECT_NEAR(image->m_y, kO + 200, 1e-9);
    EXPECT_NEAR(image->m_rcBound.m_ymax, kO + 600, 1e-9);
}

TEST_F(HandOver, UnreadableEntriesAreNamedInOneMessageTheOthersImported)
{
    File("cad.param", "missing.dxf\n../escape.dxf\na.dxf\nnumber.bmp\n x\n 1\nsize\n 1\n 1\n");
    File("a.dxf", "0\nEOF\n");
    Import(m_folder.Root());
    EXPECT_EQ(Objects(Document()).size(), 1u);
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, std::u16string(kRefusedText) + u"\nmissing.dxf\n../escape.dxf\nnumber.bmp");
}

// The public entry: the folder may lack its separator; no list file at all
// is the normal start and changes nothing, not even the history.
TEST_F(HandOver, NoListFileChangesNothingAndShowsNothing)
{
    CFileReadTrans trans;
    std::string folder = m_folder.Root();
    folder.pop_back();
    trans.ReadPluginParam(&m_ctx, folder);
    EXPECT_EQ(Document(), nullptr);
    EXPECT_EQ(OlderSnapshots(), 0);
    EXPECT_TRUE(m_prompt.m_shown.empty());

    // An empty list is a hand-over of nothing: one undo step, no objects.
    File("cor.param", "");
    trans.ReadPluginParam(&m_ctx, folder);
    EXPECT_EQ(Document(), nullptr);
    EXPECT_EQ(OlderSnapshots(), 1);

    // A list file far beyond any list is refused whole, by its name.
    File("cad.param", std::string(2 << 20, 'x'));
    trans.ReadPluginParam(&m_ctx, folder);
    EXPECT_EQ(OlderSnapshots(), 1);
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, std::u16string(kRefusedText) + u"\ncad.param");
}

// The same list as above through the program's own readers: the image loader
// places each image's origin on the mouse point and sizes it from the file
// (1 mm a pixel), so the positions are those worked out above.
TEST_F(HandOver, CorParamThroughTheRealReadersPlacesAllThree)
{
    File("cor.param", "default.ai\r\nmax\r\n 100\r\n 50\r\nmin\r\n 0\r\n 0\r\n"
                      "0.bmp\r\n 10\r\n 20\r\nsize\r\n 30\r\n 40\r\n"
                      "1.bmp\r\n 60\r\n 50\r\nsize\r\n 20\r\n 10\r\n");
    CFileReadTrans trans;
    trans.ReadPluginParam(&m_ctx, m_folder.Root());
    const std::vector<const CDocData*> objects = Objects(Document());
    ASSERT_EQ(objects.size(), 3u);
    ExpectNodesNear(objects[0], {{kO, kO + 500}, {kO + kInch, kO + 500 - kInch}});
    ASSERT_EQ(objects[1]->GetType(), MT_BITMAP);
    ASSERT_EQ(objects[2]->GetType(), MT_BITMAP);
    ExpectNodesNear(objects[1], {{kO + 100, kO + 300}, {kO + 400, kO + 300}, {kO + 400, kO + 700},
                                 {kO + 100, kO + 700}, {kO + 100, kO + 300}});
    ExpectNodesNear(objects[2], {{kO + 600, kO}, {kO + 800, kO}, {kO + 800, kO + 100}, {kO + 600, kO + 100},
                                 {kO + 600, kO}});
    EXPECT_TRUE(m_prompt.m_shown.empty());
}

// DXF text of one LINE, with an optional $INSUNITS code.
std::string DxfLine(const std::string& from, const std::string& to, const std::string& units = "")
{
    std::string out;
    if (!units.empty())
        out += "0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n" + units + "\n0\nENDSEC\n";
    return out + "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n" + from + to + "0\nENDSEC\n0\nEOF\n";
}

// cad.param through the DXF reader: micrometres divided by 100, each file
// turned top to bottom within its own box (its y axis points up), in the
// file's own unit. a.dxf (0,0)-(10,5) mm: (0,0)-(100,50), turned (0,50)-
// (100,0). sub/b.dxf in centimetres (2,0)-(3,1): (200,0)-(300,100), turned
// (200,100)-(300,0). The image at (10, 20) keeps its y: 100..400 x 200..600.
// The box of all starts at (0, 0), so everything moves by the origin alone.
TEST_F(HandOver, CadParamDxfDrawingsThroughTheDxfReader)
{
    std::filesystem::create_directories(m_folder.Root() + "sub");
    File("a.dxf", DxfLine("10\n0\n20\n0\n30\n0\n", "11\n10\n21\n5\n31\n0\n"));
    File("sub/b.dxf", DxfLine("10\n2\n20\n0\n30\n0\n", "11\n3\n21\n1\n31\n0\n", "5"));
    File("empty.dxf", "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n");
    File("cad.param", "a.dxf\r\nsub/b.dxf\r\n0.bmp\r\n 10\r\n 20\r\nsize\r\n 30\r\n 40\r\n"
                      "missing.dxf\r\nempty.dxf\r\n");
    CFileReadTrans trans;
    trans.ReadPluginParam(&m_ctx, m_folder.Root());
    const std::vector<const CDocData*> objects = Objects(Document());
    ASSERT_EQ(objects.size(), 3u);
    ExpectNodesNear(objects[0], {{kO, kO + 50}, {kO + 100, kO}});
    ExpectNodesNear(objects[1], {{kO + 200, kO + 100}, {kO + 300, kO}});
    ASSERT_EQ(objects[2]->GetType(), MT_BITMAP);
    ExpectNodesNear(objects[2], {{kO + 100, kO + 200}, {kO + 400, kO + 200}, {kO + 400, kO + 600},
                                 {kO + 100, kO + 600}, {kO + 100, kO + 200}});
    // A file that is not there and one that draws nothing are both named.
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, std::u16string(kRefusedText) + u"\nmissing.dxf\nempty.dxf");
}

// A list naming its file by the file system's own bytes, which are no text
// of the code page (nor UTF-8), still finds it.
TEST_F(HandOver, ANameWrittenAsTheFileSystemsBytesIsFound)
{
    const std::string name = "plan\xFF\xFE.dxf";
    File(name, DxfLine("10\n0\n20\n0\n30\n0\n", "11\n10\n21\n5\n31\n0\n"));
    File("cad.param", name + "\r\n");
    CFileReadTrans().ReadPluginParam(&m_ctx, m_folder.Root());
    ASSERT_EQ(Objects(Document()).size(), 1u);
    ExpectNodesNear(Document(), {{kO, kO + 50}, {kO + 100, kO}});
    EXPECT_TRUE(m_prompt.m_shown.empty());
}

} // namespace
} // namespace plat
