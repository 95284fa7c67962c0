// The owner-drawn buttons. The XP button: its cut corners, its face, the
// hover and focus edges and the arrow icon of each kind. The icon button:
// the grey copy of its icon until the mouse rests on it, the focus handed on
// when it is disabled, check-box mode and double clicks.
#include "qtplatform/ButtonST.h"
#include "ui/XPButton.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {

using Rgb = std::array<int, 3>;

Rgb PixelOf(const QImage& image, int x, int y)
{
    const QColor c = image.pixelColor(x, y);
    return {c.red(), c.green(), c.blue()};
}

// A blue window with the button under test at (10, 10) and an edit that
// can take the focus.
class ButtonStage : public ::testing::Test {
protected:
    template <class Button>
    Button* Make(int w, int h)
    {
        m_parent = std::make_unique<QWidget>();
        m_parent->setAutoFillBackground(true);
        QPalette palette = m_parent->palette();
        palette.setColor(QPalette::Window, QColor(0, 0, 255));
        m_parent->setPalette(palette);
        m_parent->resize(200, 120);
        auto* button = new Button(m_parent.get());
        button->setGeometry(10, 10, w, h);
        m_edit = new QLineEdit(m_parent.get());
        m_edit->setGeometry(10, 80, 80, 24);
        m_button = button;
        m_parent->show();
        m_parent->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_parent.get()));
        m_edit->setFocus();
        // The window may open under the mouse: every test starts away.
        QCoreApplication::processEvents();
        MoveAway();
        QCoreApplication::processEvents();
        EXPECT_FALSE(button->IsHovered());
        return button;
    }
    void TearDown() override
    {
        if (m_parent != nullptr)
            MoveAway();
    }
    QImage Grab() const { return m_parent->grab(m_button->geometry()).toImage(); }
    void MoveAway() const { QTest::mouseMove(m_parent.get(), QPoint(190, 110)); }

    std::unique_ptr<QWidget> m_parent;
    QWidget* m_button = nullptr;
    QLineEdit* m_edit = nullptr;
};

using XPButtonTest = ButtonStage;
using ButtonSTTest = ButtonStage;

} // namespace

TEST_F(XPButtonTest, CornersAreCutAndTheFaceLightsUpOnlyWhileTheMouseRestsOnIt)
{
    auto* button = Make<CXPButton>(80, 24);
    QImage image = Grab();
    EXPECT_EQ(PixelOf(image, 0, 0), (Rgb{0, 0, 255}));   // outside the shape
    EXPECT_EQ(PixelOf(image, 1, 0), (Rgb{0, 0, 255}));
    EXPECT_EQ(PixelOf(image, 2, 0), (Rgb{0, 0, 0}));     // the outline
    EXPECT_EQ(PixelOf(image, 79, 23), (Rgb{0, 0, 255}));
    EXPECT_EQ(PixelOf(image, 40, 12), (Rgb{240, 245, 245}));
    EXPECT_EQ(PixelOf(image, 2, 12), (Rgb{240, 245, 245})); // no edges at rest

    QTest::mouseMove(button, QPoint(40, 12));
    ASSERT_TRUE(button->IsHovered());
    image = Grab();
    EXPECT_EQ(PixelOf(image, 40, 12), (Rgb{226, 225, 217}));
    EXPECT_EQ(PixelOf(image, 2, 12), (Rgb{250, 196, 88}));  // left edge, 3 px
    EXPECT_EQ(PixelOf(image, 77, 12), (Rgb{251, 202, 106})); // right edge
    EXPECT_EQ(PixelOf(image, 40, 2), (Rgb{252, 210, 121}));  // top edge
    EXPECT_EQ(PixelOf(image, 40, 21), (Rgb{229, 151, 0}));   // bottom edge
    EXPECT_EQ(PixelOf(image, 40, 23), (Rgb{0, 0, 0}));       // outline kept

    MoveAway();
    EXPECT_FALSE(button->IsHovered());
    EXPECT_EQ(PixelOf(Grab(), 40, 12), (Rgb{240, 245, 245}));
}

TEST_F(XPButtonTest, FocusWithoutHoverDrawsTheFocusEdgesAndADottedFrameInsideThem)
{
    auto* button = Make<CXPButton>(80, 24);
    button->setFocus();
    ASSERT_TRUE(button->hasFocus());
    QImage image = Grab();
    EXPECT_EQ(PixelOf(image, 2, 12), (Rgb{153, 198, 252}));
    EXPECT_EQ(PixelOf(image, 40, 2), (Rgb{162, 189, 252}));
    EXPECT_EQ(PixelOf(image, 40, 12), (Rgb{240, 245, 245}));
    // The frame starts at (4, 4) with an inverted pixel, then every other one.
    EXPECT_EQ(PixelOf(image, 4, 4), (Rgb{15, 10, 10}));
    EXPECT_EQ(PixelOf(image, 5, 4), (Rgb{240, 245, 245}));

    // Hovered with the focus: the hover edges.
    QTest::mouseMove(button, QPoint(40, 12));
    image = Grab();
    EXPECT_EQ(PixelOf(image, 2, 12), (Rgb{250, 196, 88}));
    EXPECT_EQ(PixelOf(image, 4, 4), (Rgb{226, 225, 217}));
}

TEST_F(XPButtonTest, KindsElevenToFourteenShowTheArrowsOfOneToFourOnlyInTheirIconBox)
{
    auto* button = Make<CXPButton>(80, 24);
    button->m_kind = 0;
    const QImage plain = Grab();
    button->m_kind = 5; // no icon of its own
    EXPECT_EQ(Grab(), plain);

    for (std::uint32_t kind = 1; kind <= 4; ++kind) {
        button->m_kind = kind;
        const QImage arrow = Grab();
        button->m_kind = kind + 10;
        EXPECT_EQ(Grab(), arrow) << kind;
        EXPECT_NE(arrow, plain) << kind;
    }

    // The right arrow lies in its 32 x 32 box at (4, 1).
    button->m_kind = 2;
    const QImage right = Grab();
    const QRect box(4, 1, 32, 32);
    int changed = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            if (right.pixel(x, y) == plain.pixel(x, y))
                continue;
            EXPECT_TRUE(box.contains(x, y)) << x << "," << y;
            ++changed;
        }
    }
    EXPECT_GT(changed, 0);
}

TEST_F(ButtonSTTest, GreyCopyShowsUntilTheMouseEntersButNotWhileTheButtonIsHeld)
{
    auto* button = Make<CButtonST>(32, 32);
    // Quadrants: red, mid grey, near black and black.
    QImage icon(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QRgb c = y < 8 ? (x < 8 ? qRgb(255, 0, 0) : qRgb(128, 128, 128))
                                 : (x < 8 ? qRgb(1, 1, 1) : qRgb(0, 0, 0));
            icon.setPixel(x, y, c);
        }
    }
    button->SetBitmaps(QPixmap::fromImage(icon), CButtonST::kGreyCopy);

    // The 16 x 16 icon is centred: quadrants at (8, 8), (16, 8), (8, 16), (16, 16).
    QImage image = Grab();
    EXPECT_EQ(PixelOf(image, 10, 10), (Rgb{76, 76, 76}));    // 76.245
    EXPECT_EQ(PixelOf(image, 20, 10), (Rgb{127, 127, 127})); // 127.999...
    EXPECT_EQ(PixelOf(image, 10, 20), (Rgb{0, 0, 0}));       // 0.999...
    EXPECT_EQ(PixelOf(image, 20, 20), (Rgb{0, 0, 0}));

    // A move with the left button down does not start the hover look.
    QMouseEvent held(QEvent::MouseMove, QPointF(16, 16), button->mapToGlobal(QPointF(16, 16)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &held);
    EXPECT_FALSE(button->IsHovered());

    QTest::mouseMove(button, QPoint(16, 16));
    ASSERT_TRUE(button->IsHovered());
    image = Grab();
    EXPECT_EQ(PixelOf(image, 10, 10), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelOf(image, 20, 10), (Rgb{128, 128, 128}));
    EXPECT_EQ(PixelOf(image, 10, 20), (Rgb{1, 1, 1}));

    MoveAway();
    EXPECT_EQ(PixelOf(Grab(), 10, 10), (Rgb{76, 76, 76}));
}

TEST_F(ButtonSTTest, DisablingTheFocusedButtonHandsTheFocusOnAndEndsTheHover)
{
    auto* button = Make<CButtonST>(32, 32);
    QTest::mouseMove(button, QPoint(16, 16));
    button->setFocus();
    ASSERT_TRUE(button->hasFocus());
    ASSERT_TRUE(button->IsHovered());
    button->setEnabled(false);
    EXPECT_TRUE(m_edit->hasFocus());
    EXPECT_FALSE(button->IsHovered());
}

TEST_F(ButtonSTTest, CheckBoxModeTogglesAndLooksPressedWhileTicked)
{
    auto* button = Make<CButtonST>(32, 32);
    button->setCheckable(true);
    const QColor l = button->palette().color(QPalette::Light);
    const QColor d = button->palette().color(QPalette::Dark);
    const Rgb light{l.red(), l.green(), l.blue()};
    const Rgb dark{d.red(), d.green(), d.blue()};
    ASSERT_NE(light, dark);
    QTest::mouseMove(button, QPoint(16, 16));

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(16, 16));
    EXPECT_TRUE(button->isChecked());
    EXPECT_TRUE(button->hasFocus()); // a click takes the focus
    EXPECT_EQ(PixelOf(Grab(), 0, 16), dark); // shadow at top and left
    EXPECT_EQ(PixelOf(Grab(), 31, 16), light);

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(16, 16));
    EXPECT_FALSE(button->isChecked());
    EXPECT_EQ(PixelOf(Grab(), 0, 16), light); // hovered, raised
    EXPECT_EQ(PixelOf(Grab(), 31, 16), dark);
}

TEST_F(ButtonSTTest, DoubleClickCountsAsASecondClick)
{
    auto* button = Make<CButtonST>(32, 32);
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    const QPoint centre(16, 16);
    QTest::mousePress(button, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(button, Qt::LeftButton, {}, centre);
    QTest::mouseDClick(button, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(button, Qt::LeftButton, {}, centre);
    EXPECT_EQ(clicks.count(), 2);
}
