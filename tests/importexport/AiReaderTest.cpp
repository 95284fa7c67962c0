// The Illustrator reader. A world unit is a point / 0.28346246479299203, so
// 72 pt are 254.0018836447373 world units (not 254). Objects come out newest
// first, their lower-left corner on the mouse point.
//
// Faults these catch: the inch taken as 254 units, y curves built like v
// curves, CMYK read as 0 to 100 (black and 90 % black on one layer), a
// path's colour taken from a later colour operator, paths closed by s or f
// left open, a clipping path glued to the next painted path, files without
// a layer comment importing nothing, PDF bytes read as PostScript, huge
// numbers flattened into absurd node counts.
#include "ImportTestSupport.h"
#include "importexport/FileReadTrans.h"
#include "importexport/FileTransAi.h"
#include "platform/WorkControl.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

constexpr double kInch = 254.0018836447373;
constexpr double kO = kWorldOrigin;

class AiReader : public ImportFixture {
protected:
    // Reads the drawing inside a layer; false when the reader fails.
    bool Read(std::string_view body, bool layer = true)
    {
        DeleteObjectList(m_list);
        const std::string text = std::string(layer ? "%AI5_BeginLayer\n" : "") + std::string(body);
        CFileTransAi reader;
        return reader.ParseAi(text, m_list, &m_ctx);
    }
    ~AiReader() override { DeleteObjectList(m_list); }

    std::vector<std::uint8_t> Kinds(const CDocData* o) const
    {
        std::vector<std::uint8_t> out;
        for (const DOCNODE* n = o->m_pNodes; n != nullptr; n = n->m_pNext)
            out.push_back(n->m_nKind);
        return out;
    }

    CDocData* m_list = nullptr;
};

TEST_F(AiReader, TwoColoursOnTwoLayersAtExactWorldPositions)
{
    // Black, then cyan (0, 255, 255); the newer path comes first. The box
    // of both starts at (0, 0) and lands on the mouse point.
    ASSERT_TRUE(Read("0 0 0 1 K\n0 0 m\n72 0 L\nS\n1 0 0 0 K\n36 72 m\n72 144 L\nS\n"));
    const std::vector<const CDocData*> objects = Objects(m_list);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0]->GetType(), MT_LINE);
    EXPECT_EQ(objects[0]->m_nLayer, 1);
    EXPECT_EQ(objects[0]->m_nColor, m_settings.m_palette[1]);
    ExpectNodesNear(objects[0], {{kO + kInch / 2, kO + kInch}, {kO + kInch, kO + 2 * kInch}});
    EXPECT_EQ(objects[1]->m_nLayer, 0);
    ExpectNodesNear(objects[1], {{kO, kO}, {kO + kInch, kO}});
}

TEST_F(AiReader, YAndVCurvesTakeDifferentControls)
{
    // From (0, 0) to (300, 400) pt: v puts the first control on the start,
    // y puts the second on the end.
    const double k = kAiPointsPerWorldUnit;
    ASSERT_TRUE(Read("0 0 m\n100 200 300 400 v\nS\n"));
    ASSERT_EQ(Objects(m_list).size(), 1u);
    EXPECT_EQ(m_list->GetType(), MT_BEZIER);
    EXPECT_EQ(Kinds(m_list), (std::vector<std::uint8_t>{NODE_ANCHOR, NODE_CONTROL_OUT, NODE_CONTROL_IN, NODE_ANCHOR}));
    ExpectNodesNear(m_list, {{kO, kO}, {kO, kO}, {kO + 100 / k, kO + 200 / k}, {kO + 300 / k, kO + 400 / k}});

    ASSERT_TRUE(Read("0 0 m\n100 200 300 400 y\nS\n"));
    ExpectNodesNear(m_list, {{kO, kO}, {kO + 100 / k, kO + 200 / k}, {kO + 300 / k, kO + 400 / k},
                             {kO + 300 / k, kO + 400 / k}});
}

TEST_F(AiReader, CmykRunsFromZeroToOneAndEachPathKeepsItsOwnColour)
{
    // 0 0 0 1 K is black (0, 0, 0), 0 0 0 0.9 K is (25, 25, 25): two layers.
    // Between the second and third path two colour operators name one
    // blue; the second path stays on its own layer.
    ASSERT_TRUE(Read("0 0 0 1 K\n0 0 m\n10 0 L\nS\n0 0 0 0.9 K\n0 10 m\n10 10 L\nS\n"
                     "0 0 1 XA\n1 1 0 0 K\n0 20 m\n10 20 L\nS\n0 0 0 1 K\n0 30 m\n10 30 L\nS\n"));
    std::vector<int> layers;
    for (const CDocData* o : Objects(m_list))
        layers.push_back(o->m_nLayer);
    EXPECT_EQ(layers, (std::vector<int>{0, 2, 1, 0}));
}

TEST_F(AiReader, LowerCasePaintingClosesAndNoPaintDropsThePath)
{
    // s closes the square with a segment back to its start; the clipping
    // path ended by n is dropped, not joined to the path painted after it.
    ASSERT_TRUE(Read("0 0 m\n72 0 L\n72 72 L\ns\n0 0 m\n10 0 L\nn\n0 100 m\n72 100 L\nS\n"));
    const std::vector<const CDocData*> objects = Objects(m_list);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(NodePositions(objects[0]).size(), 2u);
    EXPECT_EQ(objects[1]->m_bClosed, 1);
    ExpectNodesNear(objects[1], {{kO, kO}, {kO + kInch, kO}, {kO + kInch, kO + kInch}, {kO, kO}});
}

TEST_F(AiReader, OnlyPathsAfterTheFirstLayerOrTheSetupCount)
{
    // Before the layer comment nothing counts; a lone moveto is a point and
    // a path ending where it began on one anchor shrinks to a point too.
    ASSERT_TRUE(Read("0 0 m\n10 0 L\nS\n%AI5_BeginLayer\n5 5 m\nS\n20 20 m\n20 20 L\nS\n", false));
    const std::vector<const CDocData*> objects = Objects(m_list);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0]->GetType(), MT_POINT);
    EXPECT_EQ(objects[1]->GetType(), MT_POINT);

    // Older layout: no layer comment, the paths follow the setup section.
    ASSERT_TRUE(Read("0 0 m\n10 0 L\nS\n%%EndSetup\n0 0 m\n72 0 L\nS\n", false));
    ASSERT_EQ(Objects(m_list).size(), 1u);
    ExpectNodesNear(m_list, {{kO, kO}, {kO + kInch, kO}});
}

TEST_F(AiReader, BadNumbersFailTheReadAndLongLinesAreIgnored)
{
    EXPECT_FALSE(Read("0 0 m\n2e9 0 L\nS\n"));
    EXPECT_EQ(m_list, nullptr);
    EXPECT_FALSE(Read("0 0 m\nnan 0 L\nS\n"));
    EXPECT_FALSE(Read("inf 0 0 1 K\n"));
    // Numbers an operator does not use are not checked.
    EXPECT_TRUE(Read("1e99 0 0 0 0 X\n(1e999) Tx\n"));

    std::vector<double> numbers;
    std::string_view op;
    std::string line;
    for (int i = 0; i < 1003; ++i)
        line += "1 ";
    EXPECT_TRUE(CFileTransAi::Tokenize(line + "S", numbers, op));
    EXPECT_EQ(numbers.size(), 1003u);
    EXPECT_FALSE(CFileTransAi::Tokenize(line + "1 S", numbers, op));
    EXPECT_TRUE(CFileTransAi::Tokenize("  10 20 %x m \r", numbers, op));
    EXPECT_EQ(op, "m");
    EXPECT_TRUE(numbers.empty());
}

TEST_F(AiReader, PdfBasedFilesAreRefused)
{
    CFileTransAi reader;
    EXPECT_FALSE(reader.ParseAi("%PDF-1.4\n%AI5_BeginLayer\n0 0 m\n10 0 L\nS\n", m_list, &m_ctx));
    EXPECT_EQ(m_list, nullptr);
    EXPECT_FALSE(reader.ReadAi(m_folder.Root() + "missing.ai", m_list, &m_ctx));
}

TEST_F(AiReader, DispatcherMirrorsTheDrawingAndFilesOfOtherProgramsImport)
{
    CFileReadTrans dispatcher;
    ASSERT_TRUE(dispatcher.ReadFile(&m_ctx, File("a.ai", "%AI5_BeginLayer\n0 0 m\n72 0 L\n72 144 L\nS\n"), true));
    ExpectNodesNear(Document(), {{kO, kO + 2 * kInch}, {kO + kInch, kO + 2 * kInch}, {kO + kInch, kO}});

    if (TestDataFolder().empty())
        GTEST_SKIP() << "test data folder missing";
    // pstoedit: 6 paths in five colours (two of them black) on four layers,
    // newest first; plotutils: 106 paths without colour, whose axis ticks
    // the dispatcher then partly unites.
    const std::pair<const char*, std::vector<int>> files[] = {{"pstoedit_ps2ai.ai", {3, 3, 0, 2, 1, 0}},
                                                              {"plotutils_graph.ai", std::vector<int>(106, 0)}};
    for (const auto& [name, layers] : files) {
        SCOPED_TRACE(name);
        const std::string path = TestDataFolder() + "/ai/" + name;
        DeleteObjectList(m_list);
        CFileTransAi reader;
        ASSERT_TRUE(reader.ReadAi(path, m_list, &m_ctx));
        std::vector<int> got;
        for (const CDocData* o : Objects(m_list))
            got.push_back(o->m_nLayer);
        EXPECT_EQ(got, layers);
        DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
        EXPECT_TRUE(dispatcher.ReadFile(&m_ctx, path, true));
    }
}

// On a thread of long work the reader steps every 16,384 lines: 20,000
// comment lines of 2 bytes, 40,000 bytes; line 16,384 starts at 32,766,
// which is 819 thousandths (cut). A cancelled read fails there.
TEST_F(AiReader, ALongFileStepsThroughItsLinesAndACancelledReadFails)
{
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "%\n";
    const StepRecorder steps;
    CDocData* list = nullptr;
    {
        WorkControl control;
        const WorkControl::Scope scope(&control);
        EXPECT_TRUE(CFileTransAi().ParseAi(text, list, nullptr));
    }
    EXPECT_EQ(steps.Steps(), std::vector<int>{819});
    {
        WorkControl control;
        control.Cancel();
        const WorkControl::Scope scope(&control);
        EXPECT_FALSE(CFileTransAi().ParseAi(text, list, nullptr));
    }
    EXPECT_EQ(list, nullptr);
}

} // namespace
} // namespace plat
