// Start-up as the operator meets it: the program already running refuses a
// second start at once, and the first empty document shows the machine's
// whole table.
#include "E2eProgram.h"
#include "app/OrvelView.h"
#include "model/DocContext.h"

#include <QProcess>
#include <QScreen>

#include <algorithm>

TEST(StartUp, SecondStartEndsAtOnceAndTheFirstDocumentShowsTheWholeTable)
{
    plat::E2eProgram program;
    int secondStatus = -1;
    const int status = program.Run({QStringLiteral("brenvik")}, [&](COrvelApp& app) {
        ASSERT_NE(app.MainFrame(), nullptr);
        EXPECT_TRUE(app.MainFrame()->isMaximized());
        EXPECT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1600, 1000));
        EXPECT_EQ(app.MainFrame()->frameGeometry().size(), QSize(1600, 1000));
        // The built program, started while this one holds the lock, ends by
        // itself: a start that went on would wait for an operator. The bound
        // is generous, for a sanitized build on a loaded machine.
        QProcess second;
        second.start(QStringLiteral(BRENVIK_PROGRAM), {});
        ASSERT_TRUE(second.waitForFinished(30000));
        secondStatus = second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -2;

        const std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(*app.MainFrame());
        ASSERT_EQ(documents.size(), 1u);
        DOCCONTEXT& ctx = documents[0]->Document()->Context();
        EXPECT_EQ(ctx.m_strTitle, u"temp0.wcvr");
        // The machine list written before the start is the one in use.
        const MachineNode* machine = GetCurrentMachine();
        ASSERT_NE(machine, nullptr);
        EXPECT_EQ(machine->m_ip, plat::kLoopback);
        EXPECT_EQ(machine->m_xsize, 900);
        EXPECT_EQ(machine->m_ysize, 600);

        // 900 x 600 mm are 9000 x 6000 world units from (500000, 500000),
        // fitted into the client less a fifteenth and centred: the far
        // corner lies 9000 x zoom to the right of the near one.
        auto* view = static_cast<COrvelView*>(ctx.m_pView);
        ASSERT_NE(view, nullptr);
        const QSize client = view->ClientSize();
        const double zoom = std::min(client.width() / 9000.0, client.height() / 6000.0) * 14.0 / 15.0;
        EXPECT_NEAR(ctx.m_dZoom, zoom, 1e-12);
        const plat::POINT near = ctx.WorldToClientPixel(500000.0, 500000.0);
        const plat::POINT far = ctx.WorldToClientPixel(509000.0, 506000.0);
        for (const plat::POINT& p : {near, far}) {
            EXPECT_GE(p.x, 0);
            EXPECT_LT(p.x, client.width());
            EXPECT_GE(p.y, 0);
            EXPECT_LT(p.y, client.height());
        }
        EXPECT_NEAR(std::abs(far.x - near.x), 9000.0 * zoom, 1.0);
        EXPECT_NEAR(std::abs(far.y - near.y), 6000.0 * zoom, 1.0);
        EXPECT_NEAR((near.x + far.x) / 2.0, client.width() / 2.0, 1.0);
        EXPECT_NEAR((near.y + far.y) / 2.0, client.height() / 2.0, 1.0);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(secondStatus, 0);
    EXPECT_TRUE(program.m_prompt.m_prompt.m_shown.empty()) << "a start with a machine list reports nothing";
}
