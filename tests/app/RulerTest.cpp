// The rulers: the step that keeps minor ticks about 20 pixels apart, the tick
// walk worked out by hand from a scroll position, the label texts, and in a
// document window the offsets following the view's scroll bars and the
// marker line following the mouse point.
#include "AppTestSupport.h"
#include "app/ChildFrame.h"
#include "app/HyRulerBar.h"
#include "app/MainFrame.h"
#include "app/OrvelDoc.h"
#include "app/OrvelView.h"

#include <QMdiArea>
#include <QScrollBar>
#include <QTest>

namespace {

// A ruler of 400 pixels at the first display's scroll position 499950.
CHyRulerBar::Layout LayoutAt(double zoom, int scroll, int labelExtent, bool vertical = false)
{
    return CHyRulerBar::ComputeLayout(scroll - 1.0, zoom, 0.1, 10.0, 0, labelExtent, 400, vertical);
}

} // namespace

TEST(Ruler, MinorTicksStepTwoMillimetresAtZoomOneAndTwentyAtZoomATenth)
{
    // Zoom 1: 10 pixels per millimetre, s = 2, a minor step of 20 pixels.
    CHyRulerBar::Layout layout = LayoutAt(1.0, 499950, 60);
    EXPECT_EQ(layout.step, 2.0);
    EXPECT_EQ(layout.minorPixels, 20);
    // Zoom 0.1: 1 pixel per millimetre, s runs 1, 2, 10, 20.
    layout = LayoutAt(0.1, 49995, 60);
    EXPECT_EQ(layout.step, 20.0);
    EXPECT_EQ(layout.minorPixels, 20);
    // A label 60 pixels wide over 20-pixel steps (r = 3): every fifth tick;
    // 130 pixels (r = 6): every tenth; 30 (r = 1): every tick.
    EXPECT_EQ(LayoutAt(1.0, 499950, 60).labelEvery, 5);
    EXPECT_EQ(LayoutAt(1.0, 499950, 130).labelEvery, 10);
    EXPECT_EQ(LayoutAt(1.0, 499950, 30).labelEvery, 1);
}

TEST(Ruler, TicksWalkFromTheLastMajorBeforeTheEdgeAndStopBeforeTheEndMargin)
{
    // Offset 499949, o = -51, k = trunc(-0.255) - 1 = -1: tick i lies at
    // Q = -20 + 2i mm, pixel x = 20i - 149. The first visible one (x + 1 >= 3)
    // is i = 8 at x = 11; the origin (i = 10) at x = 51 is a labelled major;
    // the walk ends before x reaches 400 - 20 (i = 26 at x = 371 is last).
    const CHyRulerBar::Layout layout = LayoutAt(1.0, 499950, 60);
    ASSERT_EQ(layout.ticks.size(), 19u);
    const CHyRulerBar::Tick& first = layout.ticks.front();
    EXPECT_EQ((std::vector<double>{double(first.x), double(first.length), first.value}),
              (std::vector<double>{11, 2, -4}));
    const CHyRulerBar::Tick& origin = layout.ticks[2];
    EXPECT_EQ(origin.x, 51);
    EXPECT_EQ(origin.length, 7);
    EXPECT_TRUE(origin.labelled);
    EXPECT_EQ(origin.value, 0.0);
    const CHyRulerBar::Tick& fifth = layout.ticks[7];
    EXPECT_EQ(fifth.x, 151);
    EXPECT_EQ(fifth.length, 5);
    EXPECT_TRUE(fifth.labelled);
    EXPECT_EQ(fifth.value, 10.0);
    EXPECT_FALSE(layout.ticks[3].labelled);
    EXPECT_EQ(layout.ticks.back().x, 371);

    // Vertical: the same walk ends before 400 - 43.
    EXPECT_EQ(LayoutAt(1.0, 499950, 60, true).ticks.back().x, 351);
}

TEST(Ruler, LabelsAreCutNotRoundedAndLoseTrailingZerosWhenAsked)
{
    EXPECT_EQ(CHyRulerBar::FormatLabel(10.0, -1), "10");
    EXPECT_EQ(CHyRulerBar::FormatLabel(2.5, -1), "2.5");
    EXPECT_EQ(CHyRulerBar::FormatLabel(-40.0, -1), "-40");
    EXPECT_EQ(CHyRulerBar::FormatLabel(0.0, -1), "0");
    EXPECT_EQ(CHyRulerBar::FormatLabel(1234567890.0, -1), "1234567890");
    EXPECT_EQ(CHyRulerBar::FormatLabel(1.239, 2), "1.23");
    EXPECT_EQ(CHyRulerBar::FormatLabel(-0.25, 1), "-0.2");
    EXPECT_EQ(CHyRulerBar::FormatLabel(1.5, 0), "1");
    EXPECT_EQ(CHyRulerBar::FormatLabel(2.5, 12), "2.500000000000");
    // Below the tenth decimal nothing is left.
    EXPECT_EQ(CHyRulerBar::FormatLabel(4e-11, -1), "0");
}

namespace {

class RulerWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = std::make_unique<plat::ScratchProgram>();
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->Create());
        m_frame->resize(1000, 800);
        m_frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame.get()));
        m_child = new CChildFrame(std::make_unique<COrvelDoc>(), m_frame.get());
        m_frame->MdiArea()->addSubWindow(m_child);
        m_child->View()->OnInitialUpdate();
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        m_frame.reset();
        m_program.reset();
    }
    std::unique_ptr<plat::ScratchProgram> m_program;
    std::unique_ptr<CMainFrame> m_frame;
    CChildFrame* m_child = nullptr;
};

} // namespace

TEST_F(RulerWindowTest, OffsetsFollowTheScrollBarsAtOnceAndAScrollToTheSamePlaceDoesNothing)
{
    COrvelView* view = m_child->View();
    CHyRulerBar* horz = m_child->HorizontalRuler();
    CHyRulerBar* vert = m_child->VerticalRuler();
    EXPECT_EQ(horz->Offset(), view->horizontalScrollBar()->value() - 1.0);
    EXPECT_EQ(vert->Offset(), view->verticalScrollBar()->value() - 1.0);
    EXPECT_EQ(horz->Scale(), view->Context().m_dZoom);

    const int x = view->horizontalScrollBar()->value();
    view->horizontalScrollBar()->setValue(x + 100);
    EXPECT_EQ(horz->Offset(), x + 99.0);
    // The view keeps the scroll position in world units too.
    EXPECT_EQ(view->Context().m_ptScroll.x, plat::RoundPixel((x + 100) / view->Context().m_dZoom));

    horz->DrawMarker({40, 40});
    horz->SetOffset(x + 100, true);
    EXPECT_EQ(horz->MarkerLine(), 41) << "the same position must not repaint and drop the marker";
    horz->SetOffset(x + 200, true);
    EXPECT_EQ(horz->MarkerLine(), -1);

    // Placed as designed: the vertical ruler over the whole height on the
    // left, the horizontal one right of it, both 23 pixels thick.
    EXPECT_EQ(vert->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(vert->width(), 23);
    EXPECT_EQ(vert->height(), m_child->widget()->height());
    EXPECT_EQ(horz->geometry().topLeft(), QPoint(23, 0));
    EXPECT_EQ(horz->height(), 23);
    EXPECT_EQ(view->geometry().topLeft(), QPoint(23, 23));
}

TEST_F(RulerWindowTest, TheMarkerInvertsOneLineAndMovesWithoutLeavingATrace)
{
    CHyRulerBar* horz = m_child->HorizontalRuler();
    CHyRulerBar* vert = m_child->VerticalRuler();
    const QImage plainH = horz->grab().toImage();
    const QImage plainV = vert->grab().toImage();
    const QRgb invert = horz->palette().color(QPalette::Base).rgb() & 0xFFFFFF;

    // Only the marker's pixels differ from the plain ruler: XOR-ed with the
    // window colour, column px + 1 (rows 2 to 22) or row py + 24 (columns 2 to 22).
    auto onlyMarkerDiffers = [invert](const QImage& plain, const QImage& marked, bool vertical, int line) {
        int differing = 0;
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                const int along = vertical ? y : x;
                const int across = vertical ? x : y;
                const bool onLine = along == line && across >= 2 && across <= 22;
                const QRgb want = onLine ? (plain.pixel(x, y) ^ invert) : plain.pixel(x, y);
                if ((marked.pixel(x, y) & 0xFFFFFF) != (want & 0xFFFFFF))
                    ++differing;
            }
        }
        return differing;
    };
    m_child->SetRulerMarker({100, 50});
    EXPECT_EQ(horz->MarkerLine(), 101);
    EXPECT_EQ(vert->MarkerLine(), 74);
    EXPECT_EQ(onlyMarkerDiffers(plainH, horz->grab().toImage(), false, 101), 0);
    EXPECT_EQ(onlyMarkerDiffers(plainV, vert->grab().toImage(), true, 74), 0);

    m_child->SetRulerMarker({200, 90});
    EXPECT_EQ(onlyMarkerDiffers(plainH, horz->grab().toImage(), false, 201), 0);
    EXPECT_EQ(onlyMarkerDiffers(plainV, vert->grab().toImage(), true, 114), 0);
}

TEST(Ruler, ALabelIsCentredOnItsTickByItsOwnWidth)
{
    // Tick 51 is column 52 of the horizontal ruler and row 75 of the vertical
    // one; a label 12 pixels wide starts 6 before, an odd 7 wide 3 before.
    EXPECT_EQ(CHyRulerBar::LabelStart(51, 12, false), 46);
    EXPECT_EQ(CHyRulerBar::LabelStart(51, 7, false), 49);
    EXPECT_EQ(CHyRulerBar::LabelStart(51, 12, true), 69);
}

TEST_F(RulerWindowTest, TheLabelsInkIsCentredOnItsTickOnBothRulers)
{
    for (CHyRulerBar* ruler : {m_child->HorizontalRuler(), m_child->VerticalRuler()}) {
        const bool vertical = ruler->IsVertical();
        const CHyRulerBar::Layout layout = ruler->CurrentLayout();
        const QImage image = ruler->grab().toImage();
        // Text is smoothed: ink is whatever is clearly darker than the face.
        const int face = qGray(ruler->palette().color(QPalette::Button).rgb());
        const int half = layout.labelEvery * layout.minorPixels / 2;
        int checked = 0;
        for (const CHyRulerBar::Tick& t : layout.ticks) {
            const int line = t.x + (vertical ? 24 : 1);
            if (!t.labelled || line - half < 0 || line + half >= (vertical ? image.height() : image.width()))
                continue;
            // The label's ink across the ruler's first 12 pixels, where no
            // tick reaches, within half a label interval of the tick.
            int first = -1, last = -1;
            for (int along = line - half; along < line + half; ++along)
                for (int across = 1; across < 12; ++across) {
                    const QRgb c = vertical ? image.pixel(across, along) : image.pixel(along, across);
                    if (qGray(c) < face - 80) {
                        first = first < 0 ? along : first;
                        last = along;
                    }
                }
            if (first < 0)
                continue;
            EXPECT_LE(std::abs((first + last) / 2 - line), 1) << (vertical ? "vertical " : "horizontal ") << t.value;
            ++checked;
        }
        EXPECT_GE(checked, 2) << vertical;
    }
}
