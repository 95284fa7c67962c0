// Which font draws a style's font file, and the faces that stand in for
// characters a face lacks. On the test machines DejaVu Sans, Liberation Sans
// (fontconfig's Arial) and, when installed, WenQuanYi Micro Hei.
#include "ShxBytes.h"
#include "platform/FontChoice.h"
#include "platform/GlyphFont.h"

#include <gtest/gtest.h>

namespace {

using plat::ChooseFont;
using plat::FontChoice;

void ExpectFace(const FontChoice& c, const std::string& face, bool replaced, const char* name)
{
    EXPECT_EQ(c.kind, FontChoice::TrueType) << name;
    EXPECT_EQ(c.face, face) << name;
    EXPECT_EQ(c.replaced, replaced) << name;
}

class FontChoiceTest : public ::testing::Test {
protected:
    plat::ScratchProgramFolder m_folder;
};

} // namespace

TEST_F(FontChoiceTest, NamesGoThroughFaceFamilyAndShapeFontToTheDefaultFace)
{
    ASSERT_EQ(plat::DefaultFace(), "DejaVu Sans");
    m_folder.Write("shx/romans.shx", plat::Bytes{1});
    m_folder.Write("shx/SIMPLEX.SHX", plat::Bytes{1});
    // A .ttf name is its base name's face, whatever fontconfig gives for it.
    ExpectFace(ChooseFont("arial.ttf"), "arial", false, "arial.ttf");
    ExpectFace(ChooseFont("C:\\Fonts\\times.TTF"), "times", false, "times");
    // A .shx name is its file in the shx folder, in any case.
    const std::string romans = (m_folder.Folder() / "shx" / "romans.shx").string();
    EXPECT_EQ(ChooseFont("ROMANS.shx").kind, FontChoice::Shape);
    EXPECT_EQ(ChooseFont("ROMANS.shx").shxPath, romans);
    // Without an extension (or with another one) a name is a family only
    // when an installed family has exactly that name; Arial is not one,
    // though fontconfig answers it with Liberation Sans.
    ExpectFace(ChooseFont("dejavu sans"), "dejavu sans", false, "dejavu sans");
    ExpectFace(ChooseFont("Liberation Sans.otf"), "Liberation Sans", false, "otf");
    ExpectFace(ChooseFont("arial"), "DejaVu Sans", true, "arial");
    // Then <name>.shx in the shx folder.
    EXPECT_EQ(ChooseFont("simplex").kind, FontChoice::Shape);
    EXPECT_EQ(ChooseFont("romans.fnt").shxPath, romans);
    // Else the default face: the usual CAD defaults not installed.
    for (const char* name : {"txt", "standard", "isocp.shx", "txt.fnt"})
        ExpectFace(ChooseFont(name), "DejaVu Sans", true, name);
}

TEST_F(FontChoiceTest, PathsAreNamesOnlyAndNeverLeaveTheFontFolders)
{
    // A shape font beside the shx folder, and one a path could reach.
    m_folder.Write("outside.shx", plat::Bytes{1});
    const std::string outside = (m_folder.Folder() / "outside.shx").string();
    for (const std::string& name : {std::string("../outside.shx"), outside, std::string("../outside"),
                                   std::string("../../etc/passwd"), std::string("/etc/passwd"), std::string("/tmp/"),
                                   std::string(".."), std::string("C:\\Windows\\Fonts\\")})
        ExpectFace(ChooseFont(name), "DejaVu Sans", true, name.c_str());
    EXPECT_EQ(plat::ShxFontPath("../outside.shx"), "");
}

TEST(FallbackFaces, MissingCharactersComeFromAFaceThatHasThemOrFromNone)
{
    plat::GlyphFont arial;
    ASSERT_TRUE(arial.Create(plat::GlyphFontSpec{"Arial", -1024, 400, false}));
    EXPECT_EQ(arial.FamilyName(), "Liberation Sans");
    EXPECT_EQ(arial.FontFor(U'A'), &arial);
    EXPECT_TRUE(plat::FaceHasChar("Arial", U'A'));
    EXPECT_FALSE(plat::FaceHasChar("Arial", U'\u6FC0'));
    // The last character of the supplementary private area: no face.
    EXPECT_EQ(arial.FontFor(U'\U0010FFFD'), nullptr);
    EXPECT_EQ(arial.FontFor(U'\U0010FFFD'), nullptr);

    const plat::GlyphFont* cjk = arial.FontFor(U'\u6FC0'); // 激
    if (cjk == nullptr)
        GTEST_SKIP() << "needs a CJK face";
    EXPECT_NE(cjk, &arial);
    EXPECT_TRUE(cjk->HasGlyph(U'\u6FC0'));
    // The same face serves the next character of the range, at the same
    // size: its outline is the face's own, not a box.
    EXPECT_EQ(arial.FontFor(U'\u5149'), cjk); // 光
    plat::GLYPHMETRICS metrics;
    plat::GlyphExtent extent;
    std::vector<plat::TTPOLYGON> own;
    ASSERT_TRUE(cjk->GetGlyphOutline(U'\u6FC0', metrics, &own));
    ASSERT_NE(cjk->GetFlatOutline(U'\u6FC0', metrics, &extent), nullptr);
    EXPECT_GT(own.size(), 4u);
    EXPECT_GT(extent.blackBoxY, 512.0);
    EXPECT_LT(extent.blackBoxY, 1024.0 * 1.2);
}
