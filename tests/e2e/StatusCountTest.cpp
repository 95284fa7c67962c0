// The status bar counts the objects in the drawing and, after them, those
// selected, and follows every change at once, not at the next mouse move:
// clicks and keys here never move the mouse.
#include "E2eCanvas.h"

#include <QLabel>

TEST(StatusCount, TheDrawingsObjectsAndTheSelectedOnesFollowEveryChange)
{
    plat::E2eProgram program;
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        plat::E2eCanvas canvas(app);
        ASSERT_TRUE(canvas.Ok());
        QLabel* pane = app.MainFrame()->StatusPane(2);
        auto shows = [pane](const char* text) {
            const QString want = QString::fromUtf8(text);
            return plat::WaitFor([&] { return pane->text() == want; }, 2000);
        };
        // The opened plate: five objects, all selected.
        EXPECT_TRUE(shows("Objects: 5 in the drawing, 5 selected")) << pane->text().toStdString();

        DOCCONTEXT& ctx = canvas.Ctx();
        const CGeoBox all = ctx.m_rcSelect;
        const QPoint edge = canvas.At(all.m_xmin + all.Width() / 4, all.m_ymin);
        canvas.Click(edge - QPoint(0, 20));
        EXPECT_TRUE(shows("Objects: 5 in the drawing, 0 selected")) << pane->text().toStdString();
        canvas.Click(edge);
        EXPECT_TRUE(shows("Objects: 5 in the drawing, 1 selected")) << pane->text().toStdString();
        canvas.Key(Qt::Key_Delete);
        EXPECT_TRUE(shows("Objects: 4 in the drawing, 0 selected")) << pane->text().toStdString();
        canvas.Key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(plat::WaitFor([&] { return pane->text().startsWith(QStringLiteral("Objects: 5 in the drawing")); }))
            << pane->text().toStdString();
        canvas.Child()->Document()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}
