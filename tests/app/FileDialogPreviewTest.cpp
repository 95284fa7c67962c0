// The open-file dialog's preview, grabbed from its image: pictures at the
// size and place the scaling rules give, a drawing's outline in its colour,
// and nothing at all (never a crash or a message) for broken files.
#include "AppTestSupport.h"
#include "app/MyFileDialog.h"
#include "importexport/FileTransPlt.h"
#include "model/DocData.h"
#include "settings/SoftwareSettings.h"

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
    void Show(const std::string& name, const std::string& bytes)
    {
        m_program.Write(name, bytes);
        m_dialog.OnFileNameChange(QString::fromStdString(m_program.Root() + name));
    }

    plat::ScratchProgram m_program;
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
    EXPECT_EQ(At(90, 85), kRed);
}
