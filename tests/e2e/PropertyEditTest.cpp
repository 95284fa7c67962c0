// The property bar on an opened drawing: a width typed with proportions
// kept doubles both sides, a rotation of "-90" turns it a quarter and the
// entry goes back to "0"; each is one undo step.
#include "E2eProgram.h"
#include "qtplatform/CommandRouter.h"
#include "app/OrvelView.h"
#include "model/DocContext.h"

#include <QLineEdit>
#include <QTest>

namespace {

// Types into an edit as the operator does, then Enter hands the focus back
// to the view, which applies it.
void TypeAndEnter(QLineEdit* edit, COrvelView* view, const QString& text)
{
    edit->setFocus();
    ASSERT_TRUE(plat::WaitFor([edit] { return edit->hasFocus(); }));
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(plat::WaitFor([view] { return view->hasFocus(); }));
}

} // namespace

TEST(PropertyEdit, WidthWithProportionsKeptAndRotationMinusNinetyAreOneStepEach)
{
    plat::E2eProgram program;
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        CMainFrame& frame = *app.MainFrame();
        const std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(frame);
        ASSERT_EQ(documents.size(), 1u);
        COrvelView* view = documents[0]->View();
        DOCCONTEXT& ctx = view->Context();
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
        view->setFocus();
        ASSERT_TRUE(plat::WaitFor([view] { return view->hasFocus(); }));
        // The whole plate is selected: 120 x 80 mm.
        EXPECT_NEAR(ctx.m_rcSelect.Width(), 1200.0, 0.5);
        EXPECT_NEAR(ctx.m_rcSelect.Height(), 800.0, 0.5);

        ctx.m_bResizeFlag = 1; // keep proportions
        TypeAndEnter(frame.PropertyEdit(32831, false), view, QStringLiteral("240"));
        EXPECT_NEAR(ctx.m_rcSelect.Width(), 2400.0, 0.5);
        EXPECT_NEAR(ctx.m_rcSelect.Height(), 1600.0, 0.5);

        TypeAndEnter(frame.PropertyEdit(32855, false), view, QStringLiteral("-90"));
        EXPECT_EQ(frame.PropertyEdit(32855, false)->text(), QStringLiteral("0"));
        EXPECT_NEAR(ctx.m_rcSelect.Width(), 1600.0, 0.5);
        EXPECT_NEAR(ctx.m_rcSelect.Height(), 2400.0, 0.5);

        CommandRouter& router = frame.Router();
        router.Execute(cmd::EditUndo);
        EXPECT_NEAR(ctx.m_rcSelect.Width(), 2400.0, 0.5);
        router.Execute(cmd::EditUndo);
        EXPECT_NEAR(ctx.m_rcSelect.Width(), 1200.0, 0.5);
        EXPECT_NEAR(ctx.m_rcSelect.Height(), 800.0, 0.5);
        documents[0]->Document()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}
