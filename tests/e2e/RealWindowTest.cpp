// The program in a real window: under an X server (xcb), the frame sized to
// the screen opens the sample drawing, and the pixels the X server holds,
// read back from the root window, show the drawing where the view's mapping
// puts it and the work area's outline where it lies. Offscreen, where no
// server holds the pixels, it is skipped. A failed comparison keeps the
// screen's image beside the test program.
#include "E2eProgram.h"
#include "qtplatform/CommandRouter.h"
#include "app/OrvelView.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "settings/SoftwareSettings.h"
#include "ui/ParamFontType.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>

namespace {

QRgb FromColorRef(COLORREF colour)
{
    return qRgb(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

// The middle of each object's first segment, in world units, for the first
// `count` objects (the plate's sides are straight and axis-parallel or, for
// the triangle, its base).
std::vector<std::pair<double, double>> SegmentMiddles(const DOCCONTEXT& ctx, std::size_t count)
{
    std::vector<std::pair<double, double>> points;
    for (const CDocData* o = ctx.m_pCurrent->m_pFirst; o != nullptr && points.size() < count; o = o->m_pNext) {
        const DOCNODE* a = o->m_pNodes;
        if (a == nullptr || a->m_pNext == nullptr)
            continue;
        points.emplace_back((a->m_x + a->m_pNext->m_x) / 2.0, (a->m_y + a->m_pNext->m_y) / 2.0);
    }
    return points;
}

struct Probe {
    QPoint m_global;
    QRgb m_expected;
    std::string m_what;
};

// Grabs the root window until every probe shows its colour (a paint may still
// be on its way to the server) or 3 s have passed; the mismatches.
std::vector<std::string> Mismatches(const std::vector<Probe>& probes, QImage& screen)
{
    std::vector<std::string> wrong;
    plat::WaitFor(
        [&] {
            screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
            wrong.clear();
            for (const Probe& p : probes) {
                const QRgb got = screen.pixel(p.m_global) & 0xFFFFFF;
                if (got != (p.m_expected & 0xFFFFFF))
                    wrong.push_back(p.m_what + " at " + std::to_string(p.m_global.x()) + "," +
                                    std::to_string(p.m_global.y()) + ": " + QString::number(got, 16).toStdString());
            }
            return wrong.empty();
        },
        3000);
    return wrong;
}

void KeepOnFailure(const QImage& screen, const std::vector<std::string>& wrong, const char* name)
{
    if (wrong.empty())
        return;
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(name));
    screen.save(path);
    ADD_FAILURE() << "screen kept in " << path.toStdString();
}

} // namespace

TEST(RealWindow, TheServersPixelsShowTheSampleDrawingAndTheWorkArea)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server (QT_QPA_PLATFORM=xcb)";
    plat::E2eProgram program;
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        CMainFrame* frame = app.MainFrame();
        ASSERT_NE(frame, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
        // Without a window manager the maximised frame keeps the screen's size.
        EXPECT_EQ(frame->frameGeometry(), QGuiApplication::primaryScreen()->geometry());
        const std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(*frame);
        ASSERT_EQ(documents.size(), 1u);
        DOCCONTEXT& ctx = documents[0]->Document()->Context();
        auto* view = static_cast<COrvelView*>(ctx.m_pView);
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view->viewport()));
        const auto global = [&](double x, double y) {
            const plat::POINT p = ctx.WorldToClientPixel(x, y);
            return view->viewport()->mapToGlobal(QPoint(p.x, p.y));
        };

        // Fitted to the drawing: three of its sides in their layer's colour.
        const QRgb layer = FromColorRef(g_settings.m_palette[0]);
        std::vector<Probe> probes;
        for (const auto& [x, y] : SegmentMiddles(ctx, 3))
            probes.push_back({global(x, y), layer, "drawing"});
        ASSERT_EQ(probes.size(), 3u);
        for (const CDocData* o = ctx.m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
            EXPECT_EQ(o->m_nColor, g_settings.m_palette[0]) << "the sample is drawn on layer 0";
        QImage screen;
        std::vector<std::string> wrong = Mismatches(probes, screen);
        EXPECT_TRUE(wrong.empty()) << wrong.front();
        KeepOnFailure(screen, wrong, "real-window-drawing.png");

        // The whole table: the work area's four corners (900 x 600 mm from
        // the machine origin) in its colour.
        app.MainFrame()->Router().Execute(32789);
        probes.clear();
        const QRgb outline = FromColorRef(g_settings.m_crWorkArea);
        const double far_x = kWorldOrigin + 9000.0, far_y = kWorldOrigin + 6000.0;
        for (const auto& [x, y] : {std::pair{kWorldOrigin, kWorldOrigin}, std::pair{far_x, kWorldOrigin},
                                   std::pair{far_x, far_y}, std::pair{kWorldOrigin, far_y}})
            probes.push_back({global(x, y), outline, "work-area corner"});
        wrong = Mismatches(probes, screen);
        EXPECT_TRUE(wrong.empty()) << wrong.front();
        KeepOnFailure(screen, wrong, "real-window-work-area.png");
    });
    EXPECT_EQ(status, 0);
}

// A context menu and the text font dialog opened from the drawing run their
// loops while the frame is resized under them: the program lives on, and
// the screen shows the drawing where the view's mapping puts it at the new
// size.
TEST(RealWindow, MenuAndFontDialogOpenedFromTheDrawingOutliveAResize)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server (QT_QPA_PLATFORM=xcb)";
    plat::E2eProgram program;
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        CMainFrame* frame = app.MainFrame();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
        DOCCONTEXT& ctx = plat::E2eProgram::Documents(*frame).at(0)->Document()->Context();
        auto* view = static_cast<COrvelView*>(ctx.m_pView);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view->viewport()));
        const QRect screenRect = QGuiApplication::primaryScreen()->geometry();
        QSize before;
        const auto resizeUnder = [&](std::function<bool()> shown, std::function<void()> close, QRect to) {
            return std::vector<std::function<bool()>>{
                std::move(shown),
                [&, to] {
                    before = view->ClientSize();
                    frame->setGeometry(to);
                    return true;
                },
                [&] { return view->ClientSize() != before && view->ScreenImage().size() == view->ClientSize(); },
                [close] {
                    close();
                    return true;
                },
            };
        };

        plat::EventSteps menu(resizeUnder([] { return QApplication::activePopupWidget() != nullptr; },
                                          [] { QApplication::activePopupWidget()->close(); },
                                          screenRect.adjusted(0, 0, -300, -200)));
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, QPoint(40, 40));
        ASSERT_TRUE(plat::WaitFor([&] { return menu.Done(); })) << menu.Taken();

        app.MainFrame()->Router().Execute(32882);
        plat::EventSteps font(resizeUnder(
            [] { return dynamic_cast<CParamFontType*>(QApplication::activeModalWidget()) != nullptr; },
            [] { static_cast<QDialog*>(QApplication::activeModalWidget())->reject(); }, screenRect));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(40, 40));
        ASSERT_TRUE(plat::WaitFor([&] { return font.Done(); })) << font.Taken();

        app.MainFrame()->Router().Execute(32790);
        const QRgb layer = FromColorRef(g_settings.m_palette[0]);
        std::vector<Probe> probes;
        for (const auto& [x, y] : SegmentMiddles(ctx, 3)) {
            const plat::POINT p = ctx.WorldToClientPixel(x, y);
            probes.push_back({view->viewport()->mapToGlobal(QPoint(p.x, p.y)), layer, "drawing"});
        }
        QImage screen;
        const std::vector<std::string> wrong = Mismatches(probes, screen);
        EXPECT_TRUE(wrong.empty()) << wrong.front();
        KeepOnFailure(screen, wrong, "real-window-after-resize.png");
    });
    EXPECT_EQ(status, 0);
}

// In a real window: a drawing reaching 1e300 is refused with its message
// and the window stays up; a selection that reaches that far all the same
// (put into the drawing directly) is painted with its handles at the end of
// the device range, and the window still shows the work area.
TEST(RealWindow, ADrawingBeyondTheWorldsReachIsRefusedAndAFarSelectionStillPaints)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server (QT_QPA_PLATFORM=xcb)";
    plat::E2eProgram program;
    program.ChooseFarDrawingForImport();
    const int status = program.Run({QStringLiteral("brenvik")}, [&](COrvelApp& app) {
        CMainFrame* frame = app.MainFrame();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
        const std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(*frame);
        ASSERT_EQ(documents.size(), 1u);
        DOCCONTEXT& ctx = documents[0]->Document()->Context();
        auto* view = static_cast<COrvelView*>(ctx.m_pView);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view->viewport()));
        frame->Router().Execute(cmd::FileImport);
        ASSERT_EQ(program.m_prompt.m_prompt.m_shown.size(), 1u);
        EXPECT_EQ(ctx.m_pCurrent->m_pFirst, nullptr);

        DOCNODE* nodes = AppendNode(nullptr, kWorldOrigin, kWorldOrigin);
        AppendNode(nodes, 1e300, 1e300);
        ctx.m_pCurrent->m_pFirst = new CDocDataLine(nodes, 1, &ctx);
        ctx.m_pTools[0]->OnKeyDown(&ctx, 'A'); // select all: handles on the far box
        view->viewport()->repaint();
        const auto global = [&](double x, double y) {
            const plat::POINT p = ctx.WorldToClientPixel(x, y);
            return view->viewport()->mapToGlobal(QPoint(p.x, p.y));
        };
        QImage screen;
        const std::vector<std::string> wrong =
            Mismatches({{global(kWorldOrigin + 9000.0, kWorldOrigin + 6000.0), FromColorRef(g_settings.m_crWorkArea),
                         "work-area corner"}},
                       screen);
        EXPECT_TRUE(wrong.empty()) << wrong.front();
        KeepOnFailure(screen, wrong, "real-window-far-selection.png");
        ctx.m_pTools[0]->OnKeyDown(&ctx, 46); // Delete, so that the exit asks nothing
        documents[0]->Document()->SetModifiedFlag(false);
    });
    COrvelView::SetImportChooserForTesting(nullptr);
    EXPECT_EQ(status, 0);
}
