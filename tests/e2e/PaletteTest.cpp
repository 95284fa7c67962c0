// The colour bar on an opened drawing: a click on a cell gives every
// selected object that layer and its colour, on screen too, as one undo
// step; Ctrl+Z on the view gives the old ones back.
#include "E2eCanvas.h"
#include "app/ColorPaletteBar.h"
#include "model/DocData.h"
#include "settings/SoftwareSettings.h"

namespace {

// Layers and colours of the drawing, in list order.
std::vector<std::pair<std::uint32_t, std::uint32_t>> Colours(const DOCCONTEXT& ctx)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> colours;
    for (const CDocData* data = ctx.m_pCurrent->m_pFirst; data != nullptr; data = data->m_pNext)
        colours.emplace_back(data->m_nLayer, data->m_nColor);
    return colours;
}

} // namespace

TEST(Palette, ACellClickRecoloursTheSelectionAndCtrlZRestoresIt)
{
    plat::E2eProgram program;
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    const std::int32_t savedLayer = g_settings.m_nCurLayer;
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        plat::E2eCanvas canvas(app);
        ASSERT_TRUE(canvas.Ok());
        DOCCONTEXT& ctx = canvas.Ctx();
        CColorPaletteBar* bar = app.MainFrame()->PaletteBar();
        ASSERT_NE(bar, nullptr);
        ASSERT_TRUE(bar->isVisible());
        // The opened plate is all selected, all drawn by pen 1: layer 0,
        // black.
        const auto before = Colours(ctx);
        ASSERT_EQ(before.size(), 5u);
        for (const auto& [layer, colour] : before) {
            EXPECT_EQ(layer, 0u);
            EXPECT_EQ(colour, 0u);
        }
        const int steps = canvas.UndoSteps();
        // A point a quarter along the outline's top edge, on screen.
        const CGeoBox all = ctx.m_rcSelect;
        const QPoint edge = canvas.At(all.m_xmin + all.Width() / 4, all.m_ymin);
        EXPECT_EQ(canvas.Pixel(edge), 0u);

        // Cell 3 of the first page is palette index 3, 0xDD9300: blue.
        ASSERT_EQ(bar->ShownPage(), 0);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->CellRect(3).center());
        EXPECT_EQ(bar->CurrentIndex(), 3);
        EXPECT_EQ(g_settings.m_nCurLayer, 3);
        for (const auto& [layer, colour] : Colours(ctx)) {
            EXPECT_EQ(layer, 3u);
            EXPECT_EQ(colour, 0xDD9300u);
        }
        EXPECT_EQ(canvas.Pixel(edge), 0x0093DDu);
        // The same cell again changes nothing and takes no step.
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->CellRect(3).center());
        EXPECT_EQ(canvas.UndoSteps(), steps + 1);

        canvas.Key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(Colours(ctx), before);
        EXPECT_EQ(canvas.UndoSteps(), steps);
        EXPECT_EQ(canvas.Pixel(edge), 0u);
        canvas.Child()->Document()->SetModifiedFlag(false);
    });
    g_settings.m_nCurLayer = savedLayer;
    EXPECT_EQ(status, 0);
}
