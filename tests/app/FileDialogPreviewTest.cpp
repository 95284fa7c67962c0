// The open-file dialog's preview, grabbed from its image: pictures at the
// size and place the scaling rules give, a drawing's outline in its colour,
// every object the import would bring, read on a thread of its own for the
// latest highlight only, placeholders meanwhile and for files too large,
// and nothing at all (never a crash or a message) for broken files.
#include "AppTestSupport.h"
#include "app/MyFileDialog.h"
#include "importexport/FileReadTrans.h"
#include "importexport/FileTransPlt.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/ImportOptions.h"
#include "platform/WorkControl.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <QCheckBox>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

namespace {

using plat::kWhite;
constexpr QRgb kRed = 0xFF0000;
constexpr QRgb kGreen = 0x00FF00;
constexpr QRgb kBlue = 0x0000FF;

void Put32(std::string& s, std::size_t at, std::int32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
}

// A 24-bit BMP, green, with its top-left pixel red and its bottom-right one
// blue. A negative `height` stores the rows top-down.
std::string Bmp(std::int32_t width, std::int32_t height)
{
    const std::int32_t rows = height < 0 ? -height : height;
    const std::int32_t stride = (width * 3 + 3) / 4 * 4;
    std::string s(54 + static_cast<std::size_t>(stride * rows), '\0');
    s[0] = 'B';
    s[1] = 'M';
    Put32(s, 2, static_cast<std::int32_t>(s.size()));
    Put32(s, 10, 54);
    Put32(s, 14, 40);
    Put32(s, 18, width);
    Put32(s, 22, height);
    s[26] = 1;
    s[28] = 24;
    Put32(s, 34, stride * rows);
    for (std::int32_t r = 0; r < rows; ++r) {
        // The row `r` from the top of the picture.
        const std::int32_t stored = height < 0 ? r : rows - 1 - r;
        for (std::int32_t x = 0; x < width; ++x) {
            QRgb c = kGreen;
            if (r == 0 && x == 0)
                c = kRed;
            else if (r == rows - 1 && x == width - 1)
                c = kBlue;
            const std::size_t at = 54 + static_cast<std::size_t>(stored * stride + x * 3);
            s[at] = static_cast<char>(qBlue(c));
            s[at + 1] = static_cast<char>(qGreen(c));
            s[at + 2] = static_cast<char>(qRed(c));
        }
    }
    return s;
}

class FileDialogPreviewTest : public ::testing::Test {
protected:
    QRgb At(int x, int y) const { return m_dialog.Preview().pixel(x, y) & 0xFFFFFF; }
    bool AllWhite() const
    {
        for (int y = 0; y < m_dialog.Preview().height(); ++y)
            for (int x = 0; x < m_dialog.Preview().width(); ++x)
                if (At(x, y) != kWhite)
                    return false;
        return true;
    }
    FileDialogPreviewTest()
    {
        CReadParamFile().LoadLanguageFiles(m_texts);
        SetLanguageTable(m_texts);
    }
    ~FileDialogPreviewTest() override { SetLanguageTable({}); }

    // Highlights the file and waits for its preview.
    void Show(const std::string& name, const std::string& bytes)
    {
        m_program.Write(name, bytes);
        Highlight(m_program.Root() + name);
    }
    void Highlight(const std::string& path)
    {
        m_dialog.OnFileNameChange(QString::fromStdString(path));
        ASSERT_TRUE(plat::WaitFor([this] { return !m_dialog.PreviewReading(); }));
    }

    plat::ScratchProgram m_program;
    std::vector<std::u16string> m_texts = std::vector<std::u16string>(kLanguageTableSize);
    plat::ScopedRecordingPrompt m_prompt;
    CMyFileDialog m_dialog{nullptr, {QStringLiteral("All (*)")}, QString(), QStringLiteral("Preview"), true};
};

} // namespace

// The box is 220 x 200: 40 x 30 fits (sx 5.25, sy 6.36), so it is drawn at
// its natural size at (90, 85); a top-down file gives the same picture.
TEST_F(FileDialogPreviewTest, ASmallBitmapIsDrawnAtNaturalSizeCentred)
{
    ASSERT_EQ(m_dialog.Preview().size(), QSize(220, 200));
    for (const std::int32_t height : {30, -30}) {
        Show("small.BMP", Bmp(40, height));
        EXPECT_EQ(At(90, 85), kRed) << height;
        EXPECT_EQ(At(129, 114), kBlue) << height;
        EXPECT_EQ(At(100, 100), kGreen) << height;
        EXPECT_EQ(At(89, 85), kWhite) << height;
        EXPECT_EQ(At(90, 84), kWhite) << height;
        EXPECT_EQ(At(130, 114), kWhite) << height;
        EXPECT_EQ(At(129, 115), kWhite) << height;
    }
}

// 440 x 100: sx = 210 / 440 is below 1 and below sy = 190.9 / 100, so the
// picture becomes 210 x 47, at (5, 76).
TEST_F(FileDialogPreviewTest, AWideBitmapIsScaledToTheBoxWidth)
{
    Show("wide.bmp", Bmp(440, 100));
    EXPECT_EQ(At(5, 76), kGreen);
    EXPECT_EQ(At(214, 122), kGreen);
    EXPECT_EQ(At(4, 100), kWhite);
    EXPECT_EQ(At(215, 100), kWhite);
    EXPECT_EQ(At(100, 75), kWhite);
    EXPECT_EQ(At(100, 123), kWhite);
}

// A square scales to 190 pixels (the height decides) and is centred: its
// sides lie on x 15 and 205, y 5 and 195, in the colour of its layer.
TEST_F(FileDialogPreviewTest, AnHpglSquareIsOutlinedInItsColour)
{
    const std::string square = "IN;SP1;PU0,0;PD4000,0,4000,4000,0,4000,0,0;PU;";
    m_program.Write("square.plt", square);
    CDocData* list = nullptr;
    ASSERT_TRUE(CFileTransPlt().ReadPlt(m_program.Root() + "square.plt", list, nullptr));
    ASSERT_NE(list, nullptr);
    const QRgb colour = qRgb(plat::GetRValue(list->m_nColor), plat::GetGValue(list->m_nColor),
                             plat::GetBValue(list->m_nColor)) & 0xFFFFFF;
    DeleteObjectList(list);
    ASSERT_NE(colour, kWhite);

    Show("square.plt", square);
    const std::initializer_list<std::pair<int, int>> sides = {{15, 100}, {205, 100}, {100, 5}, {100, 195}, {15, 5}};
    for (const auto& [x, y] : sides)
        EXPECT_EQ(At(x, y), colour) << x << "," << y;
    EXPECT_EQ(At(100, 100), kWhite);
    EXPECT_EQ(At(14, 100), kWhite);
    EXPECT_EQ(At(206, 100), kWhite);
    EXPECT_TRUE(m_prompt.m_prompt.m_shown.empty());
}

TEST_F(FileDialogPreviewTest, BrokenOrEmptyFilesDrawNothingAndAskNothing)
{
    std::string header = Bmp(40, 30).substr(0, 54);
    Show("short.bmp", header.substr(0, 53));
    EXPECT_TRUE(AllWhite());
    std::string zero = Bmp(40, 30);
    Put32(zero, 22, 0);
    Show("zero.bmp", zero);
    EXPECT_TRUE(AllWhite());
    std::string noWidth = Bmp(40, 30);
    Put32(noWidth, 18, -40);
    Show("nowidth.bmp", noWidth);
    EXPECT_TRUE(AllWhite());
    Show("truncated.bmp", Bmp(40, 30).substr(0, 300));
    EXPECT_TRUE(AllWhite());
    // A PNG header claiming 100000 x 100000 pixels, then nothing.
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\x01\x86\xa0\0\x01\x86\xa0\x08\x02\0\0\0\0\0\0\0", 33);
    Show("huge.png", png);
    EXPECT_TRUE(AllWhite());
    Show("broken.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nnot a number\n");
    EXPECT_TRUE(AllWhite());
    Show("x.JPG", "not a picture");
    EXPECT_TRUE(AllWhite());
    m_dialog.OnFileNameChange(QString::fromStdString(m_program.Root()));
    EXPECT_TRUE(AllWhite());
    EXPECT_TRUE(m_prompt.m_prompt.m_shown.empty());
}

// Off, the box stays empty; ticking it again previews the current file.
TEST_F(FileDialogPreviewTest, TheCheckBoxSwitchesThePreview)
{
    EXPECT_TRUE(m_dialog.PreviewCheck()->isChecked());
    m_dialog.OnPreviewCheck();
    EXPECT_FALSE(m_dialog.PreviewOn());
    Show("small.bmp", Bmp(40, 30));
    EXPECT_TRUE(AllWhite());
    m_dialog.OnPreviewCheck();
    EXPECT_TRUE(m_dialog.PreviewCheck()->isChecked());
    ASSERT_TRUE(plat::WaitFor([this] { return !m_dialog.PreviewReading(); }));
    EXPECT_EQ(At(90, 85), kRed);
}

// A drawing of another program with arcs and polylines besides its lines:
// the preview holds every object the import brings into a document (it
// once kept only the lines), and asks and tells nothing while reading.
TEST_F(FileDialogPreviewTest, ADxfPreviewShowsEveryObjectTheImportBrings)
{
    const std::string file = "/work/shared/testdata/dxf/geom-arc.dxf";
    if (!std::filesystem::exists(file))
        GTEST_SKIP() << "no " << file;
    plat::RecordingImportOptions options;
    plat::SetImportOptions(&options);
    // The settings in force, which the preview reads with too.
    DOCCONTEXT ctx;
    ctx.m_pSettings = &g_settings;
    ctx.m_pCurrent = new CDocListNode;
    ASSERT_TRUE(CFileReadTrans().ReadFile(&ctx, file, false));
    int imported = 0;
    for (const CDocData* o = ctx.m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
        ++imported;
    CDocListNode* oldest = ctx.m_pCurrent;
    while (oldest->m_pOlder != nullptr)
        oldest = oldest->m_pOlder;
    CDocState::DeleteHistoryChain(oldest);
    plat::SetImportOptions(nullptr);

    // Its two polylines with bulges, its six lines as four (two pairs meet
    // end to start and join), and one object for each of the 9 + 17
    // characters of CLOCKWISE and COUNTER-CLOCKWISE: 2 + 4 + 26.
    EXPECT_EQ(imported, 32);
    Highlight(file);
    EXPECT_EQ(m_dialog.PreviewObjects(), 32);
    EXPECT_TRUE(m_dialog.Placeholder().isEmpty());
    EXPECT_FALSE(AllWhite());
    EXPECT_TRUE(m_prompt.m_prompt.m_shown.empty());
}

// The drawing of the latest highlight is the one shown: the reading of the
// one before is dropped, though it was held at its first step, and the
// "preview" placeholder stands until the latest is read.
TEST_F(FileDialogPreviewTest, ANewerHighlightDropsTheOlderReading)
{
    m_program.Write("first.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n0\n11\n1\n21\n0\n"
                                 "0\nENDSEC\n0\nEOF\n");
    m_program.Write("second.plt", "IN;SP1;PU0,0;PD4000,0;PU0,1000;PD4000,1000;PU0,2000;PD4000,2000;");
    std::atomic<plat::WorkControl*> held{nullptr};
    std::atomic<bool> heldCancelled{false};
    plat::WorkControl::SetStepHookForTesting([&](plat::WorkControl& control, int) {
        plat::WorkControl* none = nullptr;
        if (!held.compare_exchange_strong(none, &control) && held.load() != &control)
            return;
        for (int i = 0; i < 5000 && !control.Cancelled(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        heldCancelled = control.Cancelled();
    });
    m_dialog.OnFileNameChange(QString::fromStdString(m_program.Root() + "first.dxf"));
    EXPECT_EQ(m_dialog.Placeholder(), QStringLiteral("preview"));
    ASSERT_TRUE(plat::WaitFor([&] { return held.load() != nullptr; }));
    Highlight(m_program.Root() + "second.plt");
    EXPECT_TRUE(plat::WaitFor([&] { return heldCancelled.load(); }));
    plat::WorkControl::SetStepHookForTesting(nullptr);
    // The three strokes of the second file, not the one line of the first.
    EXPECT_EQ(m_dialog.PreviewObjects(), 3);
    EXPECT_TRUE(m_dialog.Placeholder().isEmpty());
}

// A file above the limit is not read: the placeholder says why, and a
// smaller file highlighted next is previewed again.
TEST_F(FileDialogPreviewTest, AFileAboveTheLimitShowsTheTooLargePlaceholder)
{
    const std::string big = m_program.Root() + "big.dxf";
    m_program.Write("big.dxf", "0\nSECTION\n");
    std::filesystem::resize_file(big, CMyFileDialog::kPreviewLimitBytes + 1);
    Highlight(big);
    EXPECT_EQ(m_dialog.Placeholder(), QStringLiteral("too large to preview"));
    EXPECT_EQ(m_dialog.PreviewObjects(), 0);
    EXPECT_TRUE(AllWhite());

    Show("line.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n0\n11\n1\n21\n0\n0\nENDSEC\n0\nEOF\n");
    EXPECT_TRUE(m_dialog.Placeholder().isEmpty());
    EXPECT_EQ(m_dialog.PreviewObjects(), 1);
}
