// Arranging a drawing as a whole: align by its key, group, ungroup (one level
// or all) and mirror through their commands, each one undo step, on the sample plate
// (120 x 80 mm: an outline, two square cut-outs, a slot and a triangle
// 50..70 mm across and 60..72.5 mm up). World y runs downwards: the
// triangle's world box starts 80 - 72.5 = 7.5 mm below the outline's top.
#include "E2eProgram.h"
#include "qtplatform/CommandRouter.h"
#include "app/OrvelView.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/TextFile.h"

#include <QTest>

#include <cmath>

namespace {

std::vector<CGeoBox> Boxes(const DOCCONTEXT& ctx)
{
    std::vector<CGeoBox> boxes;
    for (const CDocData* data = ctx.m_pCurrent->m_pFirst; data != nullptr; data = data->m_pNext)
        boxes.push_back(data->GetBoundRect());
    return boxes;
}

// The triangle: the only object 12.5 mm (125 world units) high.
CGeoBox Triangle(const DOCCONTEXT& ctx)
{
    for (const CGeoBox& box : Boxes(ctx))
        if (std::abs(box.m_ymax - box.m_ymin - 125.0) < 0.5)
            return box;
    ADD_FAILURE() << "no triangle";
    return {};
}

// The types of the drawing's objects, each group with its children in
// brackets.
std::string Shape(const CDocData* data)
{
    std::string shape;
    for (; data != nullptr; data = data->m_pNext) {
        if (data->GetType() == MT_GROUP)
            shape += "G(" + Shape(*const_cast<CDocData*>(data)->ChildList()) + ")";
        else
            shape += std::to_string(data->GetType());
    }
    return shape;
}

} // namespace

TEST(Arrange, AlignGroupUngroupAndMirrorAreOneUndoStepEach)
{
    plat::E2eProgram program;
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        ASSERT_NE(app.MainFrame(), nullptr);
        const std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(*app.MainFrame());
        ASSERT_EQ(documents.size(), 1u);
        COrvelDoc& doc = *documents[0]->Document();
        DOCCONTEXT& ctx = doc.Context();
        CommandRouter& router = app.MainFrame()->Router();
        ASSERT_EQ(Boxes(ctx).size(), 5u); // the opened drawing is left selected
        const CGeoBox all = ctx.m_rcSelect;
        EXPECT_NEAR(all.m_xmax - all.m_xmin, 1200.0, 0.5);
        EXPECT_NEAR(all.m_ymax - all.m_ymin, 800.0, 0.5);
        const CGeoBox triangle = Triangle(ctx);
        EXPECT_NEAR(triangle.m_xmin - all.m_xmin, 500.0, 0.5);
        EXPECT_NEAR(triangle.m_ymin - all.m_ymin, 75.0, 0.5);

        // L aligns left: every left edge on the outline's.
        COrvelView* view = documents[0]->View();
        app.MainFrame()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(app.MainFrame()));
        view->setFocus();
        ASSERT_TRUE(plat::WaitFor([view] { return view->hasFocus(); }));
        QTest::keyClick(view, Qt::Key_L);
        for (const CGeoBox& box : Boxes(ctx))
            EXPECT_NEAR(box.m_xmin, all.m_xmin, 0.5);
        router.Execute(cmd::EditUndo);
        EXPECT_NEAR(Triangle(ctx).m_xmin, triangle.m_xmin, 0.5);

        // Group, then ungroup one level: one object, then five again.
        router.Execute(32860);
        EXPECT_EQ(Boxes(ctx).size(), 1u);
        router.Execute(32861);
        EXPECT_EQ(Boxes(ctx).size(), 5u);
        router.Execute(cmd::EditUndo);
        EXPECT_EQ(Boxes(ctx).size(), 1u);
        router.Execute(cmd::EditUndo);
        EXPECT_EQ(Boxes(ctx).size(), 5u);

        // Mirror top to bottom against the selection's box: the triangle
        // goes to 60 mm below the top; the plate is symmetric left to right.
        router.Execute(32834);
        EXPECT_NEAR(Triangle(ctx).m_ymin - all.m_ymin, 600.0, 0.5);
        EXPECT_NEAR(Triangle(ctx).m_xmin - all.m_xmin, 500.0, 0.5);
        router.Execute(cmd::EditUndo);
        EXPECT_NEAR(Triangle(ctx).m_ymin - all.m_ymin, 75.0, 0.5);
        doc.SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}

// A drawing of the system's own format holding a group within a group:
// ungrouping all levels leaves the three lines alone, one undo step gives
// back both levels; one level leaves the inner group.
TEST(Arrange, UngroupAllDissolvesEveryLevelInOneUndoStep)
{
    plat::E2eProgram program;
    // A child follows its parent's VALUE and one line more.
    const std::string line = "MT_LINE\nPEN\n0\nSTART\nVALUE\n0\n0\n0\n0\nVALUE\n100\n0\n0\n0\nEND\n";
    const std::string child = "VALUE\nMETA\n";
    const std::string group = "MT_GROUP\nPEN\n0\nSTART\n";
    const std::string nested =
        "META\n" + group + child + group + child + line + child + line + "END\n" + child + line + "END\n";
    const std::string path = program.m_program.Root() + "nested.wcvr";
    ASSERT_TRUE(plat::WriteWholeFile(path, nested));
    COrvelView::SetImportChooserForTesting([&](const std::string&, std::string& chosen, bool&) {
        chosen = path;
        return true;
    });
    const int status = program.Run({QStringLiteral("brenvik")}, [&](COrvelApp& app) {
        const std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(*app.MainFrame());
        ASSERT_EQ(documents.size(), 1u);
        COrvelDoc& doc = *documents[0]->Document();
        DOCCONTEXT& ctx = doc.Context();
        CommandRouter& router = app.MainFrame()->Router();
        router.Execute(cmd::FileImport);
        ASSERT_EQ(Shape(ctx.m_pCurrent->m_pFirst), "G(G(22)2)");
        ASSERT_FALSE(ctx.m_rcSelect.IsEmpty());

        router.Execute(32861);
        EXPECT_EQ(Shape(ctx.m_pCurrent->m_pFirst), "G(22)2");
        router.Execute(cmd::EditUndo);
        router.Execute(32862);
        EXPECT_EQ(Shape(ctx.m_pCurrent->m_pFirst), "222");
        router.Execute(cmd::EditUndo);
        EXPECT_EQ(Shape(ctx.m_pCurrent->m_pFirst), "G(G(22)2)");
        router.Execute(cmd::EditUndo); // the import
        EXPECT_EQ(ctx.m_pCurrent->m_pFirst, nullptr);
        doc.SetModifiedFlag(false);
    });
    COrvelView::SetImportChooserForTesting(nullptr);
    EXPECT_EQ(status, 0);
}
