// The HPGL export. One file unit is 1/40 mm: X = trunc((x - 500000) x 4 +
// 0.5), Y = -trunc((y - 500000) x 4 + 0.5); the pen is the layer plus one.
//
// Faults these catch: a wrong header or line end, rounding away from the
// truncation the format uses, an export that leaves its exploded arrays or
// an extra step in the undo history, a replaced file destroyed by a failed
// write, a coordinate beyond 32 bits written as garbage.
#include "ImportTestSupport.h"
#include "importexport/FileTransPlt.h"
#include "model/DocDataGroup.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace plat {
namespace {

constexpr std::string_view kHeader = "Halvoren\r\n"
                                     "IN;\r\n"
                                     "VS32,1;\r\nVS32,2;\r\nVS32,3;\r\nVS32,4;\r\n"
                                     "VS32,5;\r\nVS32,6;\r\nVS32,7;\r\nVS32,8;\r\n"
                                     "WU0;\r\n"
                                     "PW0.350,1;\r\nPW0.350,2;\r\nPW0.350,3;\r\nPW0.350,4;\r\n"
                                     "PW0.350,5;\r\nPW0.350,6;\r\nPW0.350,7;\r\nPW0.350,8;\r\n";

class PltWriter : public ImportFixture {
protected:
    void SetDocument(CDocData* list) { m_ctx.m_pCurrent->m_pFirst = list; }
    std::string Export(bool expectOk = true)
    {
        CFileTransPlt writer;
        EXPECT_EQ(writer.ExportPlt(m_path, &m_ctx), expectOk);
        std::string bytes;
        ReadWholeFile(m_path, bytes);
        return bytes;
    }
    // Files of the scratch folder other than the parameter files.
    std::vector<std::string> Leftovers() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_folder.Root())) {
            const std::string name = e.path().filename().string();
            if (e.is_regular_file() && name != "workPath.txt" && name != "out.plt")
                names.push_back(name);
        }
        return names;
    }

    std::string m_path = m_folder.Root() + "out.plt";
};

TEST_F(PltWriter, ClosedSquareOnLayerTwoIsWrittenByteForByte)
{
    SetDocument(MakeLine({{500000, 500000}, {500010, 500000}, {500010, 500010}, {500000, 500010}, {500000, 500000}}, 2));
    const std::string expected = std::string(kHeader) +
                                 "LT;\r\nSP3;\r\nPU0,0;\r\nPD40,0;\r\nPD40,-40;\r\nPD0,-40;\r\nPD0,0;\r\n"
                                 "SP0;\r\n";
    EXPECT_EQ(Export(), expected);
    EXPECT_TRUE(m_prompt.m_shown.empty());
}

TEST_F(PltWriter, CoordinatesAreTruncatedAfterAddingAHalf)
{
    // (0.5 + 0.5) = 1, (-0.5 + 0.5) = 0, (-2 + 0.5) = -1.5 -> -1; y 500010
    // gives -40, x 499999.9 gives trunc(0.1) = 0. A point is written twice,
    // pen up and pen down. A straight Bezier segment of length 3 is halved
    // once: anchors at 0, 1.5 and 3, that is 0, 6 and 12.
    DOCNODE* bez = MakeNodes({{500000, 500000}, {500001, 500000}, {500002, 500000}, {500003, 500000}});
    bez->m_pNext->m_nKind = NODE_CONTROL_OUT;
    bez->m_pNext->m_pNext->m_nKind = NODE_CONTROL_IN;
    SetDocument(LinkObjects({MakePoint(500000.125, 500000), MakePoint(499999.875, 500000), MakePoint(499999.5, 500000),
                       MakePoint(499999.9, 500010), new CDocDataBezier(bez, true, nullptr)}));
    const std::string expected = std::string(kHeader) +
                                 "LT;\r\nSP1;\r\nPU1,0;\r\nPD1,0;\r\n"
                                 "LT;\r\nSP1;\r\nPU0,0;\r\nPD0,0;\r\n"
                                 "LT;\r\nSP1;\r\nPU-1,0;\r\nPD-1,0;\r\n"
                                 "LT;\r\nSP1;\r\nPU0,-40;\r\nPD0,-40;\r\n"
                                 "LT;\r\nSP1;\r\nPU0,0;\r\nPD6,0;\r\nPD12,0;\r\n"
                                 "SP0;\r\n";
    EXPECT_EQ(Export(), expected);
}

TEST_F(PltWriter, ArraysAndGroupsAreWrittenAsPathsAndTheHistoryStaysAsItWas)
{
    // A polyline with a 1 x 2 array of pitch 10 and a group of two points on
    // layer 4. One older and one newer snapshot stand in the history.
    CDocData* line = MakeLine({{500000, 500000}, {500005, 500000}});
    line->m_pArray = new ARRAYREC;
    line->m_pArray->m_nCols = 2;
    line->m_pArray->m_dDx = 10.0;
    CDocData* group = new CDocDataGroup(LinkObjects({MakePoint(500000, 500001, 4), MakePoint(500000, 500002, 4)}), nullptr);
    SetDocument(LinkObjects({line, group}));
    ASSERT_TRUE(CDocState::PushHistory(&m_ctx));
    ASSERT_TRUE(CDocState::PushHistory(&m_ctx));
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    CDocListNode* const current = m_ctx.m_pCurrent;

    const std::string expected = std::string(kHeader) +
                                 "LT;\r\nSP1;\r\nPU0,0;\r\nPD20,0;\r\n"
                                 "LT;\r\nSP1;\r\nPU40,0;\r\nPD60,0;\r\n"
                                 "LT;\r\nSP5;\r\nPU0,-4;\r\nPD0,-4;\r\n"
                                 "LT;\r\nSP5;\r\nPU0,-8;\r\nPD0,-8;\r\n"
                                 "SP0;\r\n";
    EXPECT_EQ(Export(), expected);
    EXPECT_EQ(m_ctx.m_pCurrent, current);
    EXPECT_EQ(OlderSnapshots(), 1);
    EXPECT_EQ(NewerSnapshots(), 1);
    ASSERT_EQ(Objects(Document()).size(), 2u);
    ASSERT_NE(Document()->m_pArray, nullptr);
    EXPECT_EQ(Document()->m_pArray->m_nCols, 2);
}

TEST_F(PltWriter, ExistingFileIsReplacedOnlyAfterConfirmation)
{
    SetDocument(MakeLine({{500000, 500000}, {500010, 500000}}));
    ASSERT_TRUE(WriteWholeFile(m_path, "old"));
    m_prompt.m_answer = IDCANCEL;
    EXPECT_EQ(Export(false), "old");
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, Utf8ToUtf16(m_path) + std::u16string(kReplaceText));
    EXPECT_EQ(m_prompt.m_shown[0].type, MB_OKCANCEL | MB_ICONWARNING);

    m_prompt.m_answer = IDOK;
    EXPECT_EQ(Export(), std::string(kHeader) + "LT;\r\nSP1;\r\nPU0,0;\r\nPD40,0;\r\nSP0;\r\n");
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(PltWriter, FailedWriteIsReportedAndLeavesTheOldFileWhole)
{
    // A coordinate far beyond 32 plotter bits: nothing is written over the
    // confirmed old file, and no temporary file stays behind.
    SetDocument(LinkObjects({MakeLine({{500000, 500000}, {500010, 500000}}), MakePoint(1e12, 500000)}));
    ASSERT_TRUE(WriteWholeFile(m_path, "old"));
    EXPECT_EQ(Export(false), "old");
    ASSERT_EQ(m_prompt.m_shown.size(), 2u);
    EXPECT_EQ(m_prompt.m_shown[1].text, Utf8ToUtf16(m_path) + std::u16string(kWriteFailedText));
    EXPECT_TRUE(Leftovers().empty());

    // A folder that does not exist.
    m_prompt.m_shown.clear();
    m_path = m_folder.Root() + "missing/out.plt";
    Export(false);
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, Utf8ToUtf16(m_path) + std::u16string(kWriteFailedText));
}

TEST_F(PltWriter, EmptyDocumentWritesNothing)
{
    Export(false);
    EXPECT_FALSE(std::filesystem::exists(m_path));
    EXPECT_TRUE(m_prompt.m_shown.empty());
}

} // namespace
} // namespace plat
