// The system's own drawing files: objects field by field in file order,
// groups with their children, lead and array records, embedded images
// written into the file folder, and the checks that refuse a broken file as
// a whole.
//
// Faults these catch: a keyword taken inside the seven array values, a PEN
// after START changing the layer, an unknown tag swallowing what follows,
// an image of one file overwriting that of another of the same name, a layer
// beyond the palette, a coordinate of 1e10 or NaN, a truncated record or
// image, deep nesting overflowing the stack, and a failed read leaving
// objects or image files behind.
#include "ImportTestSupport.h"
#include "importexport/DocFileReader.h"
#include "importexport/FileReadTrans.h"
#include "model/DocDataBitmap.h"
#include "model/DocDataGroup.h"
#include "platform/WorkControl.h"
#include "tests/model/BmpTestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace plat {
namespace {

class DocFile : public ImportFixture {
protected:
    ~DocFile() override { DeleteObjectList(m_list); }

    bool Read(const std::string& name, const std::string& text)
    {
        DeleteObjectList(m_list);
        CDocFileReader reader;
        return reader.Read(File(name, text), m_list, &m_ctx);
    }
    std::vector<std::string> FileFolderNames() const
    {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(m_folder.Root() + "file", ec)) {
            if (e.path().filename().string()[0] != '.')
                names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    CDocData* m_list = nullptr;
};

// Lines joined with LF, the first few with CR LF as well.
std::string Lines(std::initializer_list<const char*> lines)
{
    std::string text;
    int n = 0;
    for (const char* l : lines)
        text += std::string(l) + (n++ < 4 ? "\r\n" : "\n");
    return text;
}

// The bytes of a file as the image block's three-digit fields.
std::string Fields(const std::string& bytes)
{
    std::string text;
    for (unsigned char b : bytes) {
        char field[4];
        std::snprintf(field, sizeof field, "%03u", b);
        text += field;
    }
    return text;
}

TEST_F(DocFile, HandWrittenFileGivesItsObjectsInFileOrder)
{
    const std::string text = Lines({"VERSION", "2.0", "COORDINATE", "1", "UNITS", "0.1",
                                    // A group on layer 5 holding a point on layer 7.
                                    "META", "MT_GROUP", "PEN", "5", "START", "VALUE", "0", "MT_POINT", "PEN", "7",
                                    "START", "VALUE", "10.5", "20", "0", "0", "END", "END",
                                    // A polyline: the PEN after START is not its layer; an END among the
                                    // seven array values is the value 0; an unknown line is skipped.
                                    "META", "MT_LINE", "PEN", "3", "START", "PEN", "9", "VALUE", "0", "0", "0", "1",
                                    "VALUE", "  100 mm", "0", "0", "0", "ARRAY", "2", "3", "END", "15.5", "1", "9000",
                                    "6000", "EXTERN", "1", "45", "20", "-5", "-6", "0", "0", "0", "0", "0",
                                    "a line of no meaning", "END",
                                    // An unknown tag makes nothing and its lines are read at the top
                                    // level; so does MT_UNKNOWN.
                                    "META", "MT_SPLINE", "PEN", "4", "START", "VALUE", "1", "1", "0", "0", "END",
                                    "META", "MT_UNKNOWN"});
    ASSERT_TRUE(Read("plan.wcvr", text));
    const std::vector<const CDocData*> objects = Objects(m_list);
    ASSERT_EQ(objects.size(), 2u);

    const CDocData* group = objects[0];
    EXPECT_EQ(group->GetType(), MT_GROUP);
    EXPECT_EQ(group->m_nLayer, 5);
    EXPECT_EQ(group->m_nColor, m_settings.m_palette[5]);
    const CDocData* point = *const_cast<CDocData*>(group)->ChildList();
    ASSERT_NE(point, nullptr);
    EXPECT_EQ(point->m_pNext, nullptr);
    EXPECT_EQ(point->GetType(), MT_POINT);
    EXPECT_EQ(point->m_nLayer, 7);
    EXPECT_EQ(point->m_nColor, m_settings.m_palette[7]);
    EXPECT_EQ(NodePositions(point), (std::vector<XY>{{10.5, 20}}));
    ExpectBox(group->m_rcBound, 10.5, 10.5, 20, 20);

    const CDocData* line = objects[1];
    EXPECT_EQ(line->m_pPrev, group);
    EXPECT_EQ(line->GetType(), MT_LINE);
    EXPECT_EQ(line->m_nLayer, 3);
    EXPECT_EQ(line->m_nColor, m_settings.m_palette[3]);
    EXPECT_EQ(NodePositions(line), (std::vector<XY>{{0, 0}, {100, 0}}));
    EXPECT_EQ(line->m_pNodes->m_nSelect, 1);
    ASSERT_NE(line->m_pArray, nullptr);
    EXPECT_EQ(line->m_pArray->m_nRows, 2);
    EXPECT_EQ(line->m_pArray->m_nCols, 3);
    EXPECT_EQ(line->m_pArray->m_dDy, 0.0);
    EXPECT_EQ(line->m_pArray->m_dDx, 15.5);
    EXPECT_EQ(line->m_pArray->m_bFlag, 1);
    EXPECT_EQ(line->m_pArray->m_dAreaW, 9000.0);
    EXPECT_EQ(line->m_pArray->m_dAreaH, 6000.0);
    ASSERT_NE(line->m_pLeadInOut, nullptr);
    EXPECT_EQ(line->m_pLeadInOut->m_nKind, 2);
    EXPECT_EQ(line->m_pLeadInOut->m_bLeadIn, 1);
    EXPECT_EQ(line->m_pLeadInOut->m_dInAngle, 45.0);
    EXPECT_EQ(line->m_pLeadInOut->m_dInLength, 20.0);
    EXPECT_EQ(line->m_pLeadInOut->m_dInX, -5.0);
    EXPECT_EQ(line->m_pLeadInOut->m_dInY, -6.0);
    EXPECT_EQ(line->m_pLeadInOut->m_bLeadOut, 0);

    // Without a context (the open dialog's preview) the objects come without
    // colours.
    CDocData* preview = nullptr;
    ASSERT_TRUE(CDocFileReader().Read(m_folder.Root() + "plan.wcvr", preview, nullptr));
    EXPECT_EQ(preview->m_nColor, 0u);
    EXPECT_EQ(Objects(preview).size(), 2u);
    DeleteObjectList(preview);

    // Nothing but the header lines: no object.
    EXPECT_FALSE(Read("empty.wcvr", Lines({"VERSION", "1", "UNITS", "0.1"})));
    EXPECT_EQ(m_list, nullptr);
}

TEST_F(DocFile, ImagesAreWrittenUnderNamesOfTheirOwn)
{
    // LEN 3 and the fields 066077000: the bytes 'B', 'M', 0.
    ASSERT_TRUE(Read("drawing.wcvr", Lines({"META", "MT_BITMAP", "LEN", "3", "START", "VALUE"}) + "066077000\nEND\n"));
    const std::string first = m_folder.Root() + "file/drawing0.bmp";
    EXPECT_EQ(ReadFileBytes(first), std::string("BM\0", 3));

    // A file of the same name elsewhere: its image does not replace the
    // first one. A real BMP of 1 x 1 pixels at 2835 pixels per metre.
    BmpForm f;
    f.width = 1;
    f.height = 1;
    f.bits = 24;
    f.xPels = f.yPels = 2835;
    const std::string bmp = MakeBmp(f, {{1, 2, 3}});
    std::filesystem::create_directory(m_folder.Root() + "other");
    const std::string text = Lines({"META", "MT_BITMAP", "PEN", "2", "LEN", std::to_string(bmp.size()).c_str(),
                                    "POSITION", "100", "200", "BITCOUNT", "8", "START", "VALUE"}) +
                             Fields(bmp) + "\nEND\n";
    ASSERT_TRUE(Read("other/drawing.wcvr", text));
    EXPECT_EQ(ReadFileBytes(first), std::string("BM\0", 3));
    const auto* image = dynamic_cast<const CDocDataBitmap*>(m_list);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->m_strPath, m_folder.Root() + "file/drawing1.bmp");
    EXPECT_EQ(image->m_strName, image->m_strPath);
    EXPECT_EQ(ReadFileBytes(image->m_strPath), bmp);
    EXPECT_EQ(image->m_nLayer, 2);
    EXPECT_EQ(image->m_nColor, m_settings.m_palette[2]);
    EXPECT_EQ(image->m_bFlag, 8);
    EXPECT_EQ(image->IsSelected(), 1);
    ExpectNodesNear(image, {{100, 200}, {100 + 10000.0 / 2835, 200}, {100 + 10000.0 / 2835, 200 + 10000.0 / 2835},
                            {100, 200 + 10000.0 / 2835}, {100, 200}});
}

// On a thread of long work the reader steps every 4096 objects. An image
// of 47 bytes, then 5000 points of 30 bytes each: 150,047 bytes. The
// 4096th object is the 4095th point, whose "META" line ends at 47 + 4094 x
// 30 + 5 = 122,872: 818 thousandths (cut). Cancelled, the read fails there
// and its image goes.
TEST_F(DocFile, ALongFileStepsThroughItsBytesAndACancelledReadLeavesNoImage)
{
    std::string text = "META\nMT_BITMAP\nLEN\n3\nSTART\nVALUE\n066077000\nEND\n";
    for (int i = 0; i < 5000; ++i)
        text += "META\nMT_POINT\nPEN\n7\nSTART\nEND\n";
    const StepRecorder steps;
    {
        WorkControl control;
        const WorkControl::Scope scope(&control);
        ASSERT_TRUE(Read("many.wcvr", text));
    }
    ASSERT_EQ(text.size(), 150047u);
    EXPECT_EQ(steps.Steps(), std::vector<int>{818});
    EXPECT_EQ(FileFolderNames(), std::vector<std::string>{"many0.bmp"});
    {
        WorkControl control;
        control.Cancel();
        const WorkControl::Scope scope(&control);
        EXPECT_FALSE(Read("again.wcvr", text));
    }
    EXPECT_EQ(m_list, nullptr);
    EXPECT_EQ(FileFolderNames(), std::vector<std::string>{"many0.bmp"});
}

TEST_F(DocFile, BrokenFilesAreRefusedWholeAndLeaveNoImage)
{
    // Every file starts with a good image, whose file must go again.
    const std::string image = Lines({"META", "MT_BITMAP", "LEN", "2", "START", "VALUE"}) + "066077\nEND\n";
    auto line = [](std::initializer_list<const char*> body) {
        std::string text = "META\nMT_LINE\nPEN\n1\nSTART\n";
        for (const char* l : body)
            text += std::string(l) + "\n";
        return text;
    };
    // A child follows its group's VALUE and the line after it directly.
    const std::string level = "MT_GROUP\nSTART\nVALUE\n0\n";
    std::string groups;
    for (int i = 0; i < kMaxDocFileDepth; ++i)
        groups += level;
    const std::string tooDeep = "META\n" + groups + "MT_POINT\nSTART\nEND\n"; // 65 levels
    const std::vector<std::string> broken = {
        "META\nMT_POINT\nPEN\n256\nSTART\nEND\n",
        "META\nMT_POINT\nPEN\n-1\nSTART\nEND\n",
        line({"VALUE", "1e10", "0", "0", "0"}),
        line({"VALUE", "nan", "0", "0", "0"}),
        line({"VALUE", "0", "-inf", "0", "0"}),
        line({"VALUE", "0", "0", "3", "0"}),
        line({"ARRAY", "1000", "1000", "10", "10", "0", "9000", "6000"}),
        line({"EXTERN", "1", "45", "1e300"}),
        line({"VALUE", "0", "0"}), // cut off in the middle of a node
        "META\nMT_BITMAP\nLEN\n2\nSTART\nVALUE\n066256\nEND\n",
        "META\nMT_BITMAP\nLEN\n2\nSTART\nVALUE\n066abc\nEND\n",
        "META\nMT_BITMAP\nLEN\n10\nSTART\nVALUE\n066077000\n",
        "META\nMT_BITMAP\nLEN\n-1\nSTART\nEND\n",
        tooDeep,
    };
    for (const std::string& tail : broken) {
        SCOPED_TRACE(tail.substr(0, 60));
        EXPECT_FALSE(Read("broken.wcvr", image + tail));
        EXPECT_EQ(m_list, nullptr);
        EXPECT_TRUE(FileFolderNames().empty());
    }
    // One level less is read.
    ASSERT_TRUE(Read("deep.wcvr", "META\n" + groups.substr(level.size()) + "MT_POINT\nSTART\nEND\n"));
    int levels = 1;
    for (CDocData* o = m_list; o->GetType() == MT_GROUP; o = *o->ChildList())
        ++levels;
    EXPECT_EQ(levels, kMaxDocFileDepth);
}

TEST_F(DocFile, DispatcherImportsTheFileAsItIsAndPlacesIt)
{
    const std::string text = Lines({"META", "MT_LINE", "PEN", "4", "START", "VALUE", "120", "80", "0", "0", "VALUE",
                                    "130", "95", "0", "0", "END"});
    ASSERT_TRUE(CFileReadTrans().ReadFile(&m_ctx, File("lines.WCVR", text), true));
    EXPECT_EQ(NodePositions(Document()), (std::vector<XY>{{500000, 500000}, {500010, 500015}}));
    EXPECT_EQ(Document()->m_nLayer, 4);
    EXPECT_FALSE(CFileReadTrans().ReadFile(&m_ctx, File("bad.wcvr", "META\nMT_LINE\nPEN\n300\n"), true));
    EXPECT_EQ(OlderSnapshots(), 1);
}

} // namespace
} // namespace plat
