// Shaping a drawing by hand: the node tool inserts a node on the sample
// plate's triangle by a double click, drags it, deletes every node (the
// triangle goes) and, after Ctrl+Z, drags a node of the triangle back in the
// drawing; the text tool places a text from its settings file and leaves
// what was typed there for the next document.
#include "E2eCanvas.h"
#include "qtplatform/CommandRouter.h"
#include "app/tools/DocStateEditNode.h"
#include "model/DocData.h"
#include "model/NodeList.h"
#include "platform/TextFile.h"
#include "settings/SoftwareSettings.h"
#include "ui/ParamFontType.h"
#include "ui/XPButton.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

constexpr plat::UINT kNodeTool = 32791;
constexpr plat::UINT kTextTool = 32882;

std::vector<CDocData*> Objects(const DOCCONTEXT& ctx)
{
    std::vector<CDocData*> objects;
    for (CDocData* data = ctx.m_pCurrent->m_pFirst; data != nullptr; data = data->m_pNext)
        objects.push_back(data);
    return objects;
}

std::vector<CGeoPoint> Nodes(const CDocData* data)
{
    std::vector<CGeoPoint> nodes;
    for (const DOCNODE* n = data->m_pNodes; n != nullptr; n = n->m_pNext)
        nodes.emplace_back(n->m_x, n->m_y);
    return nodes;
}

// The triangle: the only object with four nodes (three corners, closed).
CDocData* Triangle(const DOCCONTEXT& ctx)
{
    for (CDocData* data : Objects(ctx))
        if (Nodes(data).size() == 4u)
            return data;
    return nullptr;
}

// The object that starts at a point; null when none does.
CDocData* StartingAt(const DOCCONTEXT& ctx, const CGeoPoint& start)
{
    for (CDocData* data : Objects(ctx))
        if (data->m_pNodes != nullptr && data->m_pNodes->m_x == start.m_x && data->m_pNodes->m_y == start.m_y)
            return data;
    return nullptr;
}

} // namespace

TEST(TextAndNodes, NodesInsertedDraggedAndDeletedUndoCleanlyAndTheTextToolKeepsItsSettings)
{
    plat::E2eProgram program;
    // "DejaVu Sans", "Lo", 10 mm, no spacing.
    program.m_program.Write("VqFontParam", "m_font_type\r\nTrueType\r\nm_font_name\r\n"
                                           "00440065006a006100560075002000530061006e0073\r\n"
                                           "m_font_text\r\n004c006f\r\nm_font_high\r\n10\r\nm_font_inter\r\n0\r\n");
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    std::vector<std::array<QString, 4>> asked; // face, text, height, spacing
    CDialogBase::SetModalAnswerForTesting([&](CDialogBase& dialog) {
        auto& font = dynamic_cast<CParamFontType&>(dialog);
        asked.push_back({font.FaceList()->currentText(), font.TextEdit()->text(), font.HeightEdit()->text(),
                         font.SpacingEdit()->text()});
        if (asked.size() > 1) {
            font.CancelButton()->click();
            return plat::IDCANCEL;
        }
        font.TextEdit()->setText(QStringLiteral("Hi"));
        font.HeightEdit()->setText(QStringLiteral("12.5"));
        font.SpacingEdit()->setText(QStringLiteral("0.5"));
        font.OkButton()->click();
        return plat::IDOK;
    });
    const std::int32_t savedLayer = g_settings.m_nCurLayer;
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        CMainFrame& frame = *app.MainFrame();
        CommandRouter& router = frame.Router();
        plat::E2eCanvas canvas(app);
        ASSERT_TRUE(canvas.Ok());
        DOCCONTEXT& ctx = canvas.Ctx();
        ASSERT_EQ(Objects(ctx).size(), 5u);
        const int opened = canvas.UndoSteps();

        // The triangle's corners are (50, 60), (70, 60) and (60, 72.5) mm
        // up from the plate's corner; its first side runs along the bottom.
        router.Execute(kNodeTool);
        CDocData* triangle = Triangle(ctx);
        ASSERT_NE(triangle, nullptr);
        const std::vector<CGeoPoint> corners = Nodes(triangle);
        ASSERT_NEAR(corners[1].m_x - corners[0].m_x, 200.0, 1e-6);
        ASSERT_NEAR(corners[1].m_y, corners[0].m_y, 1e-6);
        // A click on that side picks the triangle; a double click a quarter
        // along it puts a node there: one step.
        const CGeoPoint quarter(corners[0].m_x + 50.0, corners[0].m_y);
        canvas.Click(canvas.At(corners[0].m_x + 100.0, corners[0].m_y));
        auto& tool = dynamic_cast<CDocStateEditNode&>(*ctx.m_pTools[TOOL_EDIT_NODE]);
        ASSERT_EQ(tool.m_pObject, triangle);
        QTest::mouseDClick(canvas.View()->viewport(), Qt::LeftButton, {}, canvas.At(quarter.m_x, quarter.m_y));
        ASSERT_EQ(Nodes(triangle).size(), 5u);
        EXPECT_EQ(canvas.UndoSteps(), opened + 1);
        const CGeoPoint inserted = Nodes(triangle)[1];
        EXPECT_NEAR(inserted.m_y, corners[0].m_y, 1e-6);
        EXPECT_NEAR(inserted.m_x, quarter.m_x, 3.0 / ctx.m_dZoom);

        // The new node dragged 30 pixels down: the world moves by 30 pixels
        // over the zoom, in one step.
        const QPoint at = canvas.At(inserted.m_x, inserted.m_y);
        canvas.DragFromTo(at, at + QPoint(0, 30));
        EXPECT_EQ(canvas.UndoSteps(), opened + 2);
        ASSERT_EQ(Nodes(triangle).size(), 5u);
        EXPECT_NEAR(Nodes(triangle)[1].m_x, inserted.m_x, 1e-6);
        EXPECT_NEAR(Nodes(triangle)[1].m_y, inserted.m_y + 30.0 / ctx.m_dZoom, 1e-6);
        EXPECT_EQ(canvas.Settled(), canvas.Fresh());

        // A band around the whole triangle takes every node; Delete takes
        // them all, and the triangle with them.
        const CGeoBox box = triangle->GetBoundRect();
        canvas.DragFromTo(canvas.At(box.m_xmin - 20.0, box.m_ymin - 20.0),
                          canvas.At(box.m_xmax + 20.0, box.m_ymax + 20.0));
        ASSERT_EQ(tool.m_nMode, 2u);
        canvas.Key(Qt::Key_Delete);
        EXPECT_EQ(Objects(ctx).size(), 4u);
        EXPECT_EQ(StartingAt(ctx, corners[0]), nullptr);
        EXPECT_EQ(tool.m_nMode, 0u);
        EXPECT_EQ(canvas.UndoSteps(), opened + 3);
        EXPECT_EQ(canvas.Settled(), canvas.Fresh());

        // Ctrl+Z brings it back; the tool now works on the triangle in the
        // drawing: picked by its second side, its first corner dragged 20
        // pixels right.
        canvas.Key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(canvas.UndoSteps(), opened + 2);
        triangle = StartingAt(ctx, corners[0]);
        ASSERT_NE(triangle, nullptr);
        EXPECT_EQ(Objects(ctx).size(), 5u);
        EXPECT_EQ(Nodes(triangle).size(), 5u);
        canvas.Click(canvas.At((corners[1].m_x + corners[2].m_x) / 2, (corners[1].m_y + corners[2].m_y) / 2));
        ASSERT_EQ(tool.m_pObject, triangle);
        const QPoint corner = canvas.At(corners[0].m_x, corners[0].m_y);
        canvas.DragFromTo(corner, corner + QPoint(20, 0));
        EXPECT_EQ(canvas.UndoSteps(), opened + 3);
        EXPECT_NEAR(Nodes(triangle)[0].m_x, corners[0].m_x + 20.0 / ctx.m_dZoom, 1e-6);
        EXPECT_NEAR(Nodes(triangle)[0].m_y, corners[0].m_y, 1e-6);
        EXPECT_EQ(canvas.Settled(), canvas.Fresh());

        // The text tool starts from the file; "Hi" typed at 12.5 mm with
        // 0.5 mm spacing: an H of one contour, an i of two (stem and dot),
        // the i at least 5 world units (0.5 mm) after the H.
        router.Execute(kTextTool);
        canvas.Click(QPoint(200, 200));
        // The dialog runs once the press is done.
        ASSERT_TRUE(plat::WaitFor([&] { return asked.size() == 1u; }));
        EXPECT_EQ(asked[0], (std::array<QString, 4>{"DejaVu Sans", "Lo", "10", "0"}));
        std::vector<CDocData*> objects = Objects(ctx);
        ASSERT_EQ(objects.size(), 7u);
        EXPECT_EQ(canvas.UndoSteps(), opened + 4);
        CDocData* h = objects[5];
        CDocData* i = objects[6];
        ASSERT_EQ(h->GetType(), MT_CHAR);
        ASSERT_EQ(i->GetType(), MT_CHAR);
        int contours[2] = {0, 0};
        for (int k = 0; k < 2; ++k)
            for (CDocData* c = *(k == 0 ? h : i)->ChildList(); c != nullptr; c = c->m_pNext, ++contours[k])
                EXPECT_EQ(c->GetType(), MT_BEZIER);
        EXPECT_EQ(contours[0], 1);
        EXPECT_EQ(contours[1], 2);
        EXPECT_GT(i->GetBoundRect().m_xmin, h->GetBoundRect().m_xmax + 5.0);

        // Closed without saving, the document's tool writes what was typed;
        // the next document's tool asks with it.
        program.m_prompt.m_prompt.m_answer = plat::IDNO;
        router.Execute(cmd::FileClose);
        ASSERT_TRUE(plat::WaitFor([&frame] { return plat::E2eProgram::Documents(frame).empty(); }));
        // The window goes once the event loop is back at its own level.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        std::string bytes;
        ASSERT_TRUE(plat::ReadWholeFile(program.m_program.Root() + "VqFontParam", bytes));
        EXPECT_EQ(bytes, "m_font_type\r\nTrueType\r\nm_font_name\r\n00440065006a006100560075002000530061006e0073\r\n"
                         "m_font_text\r\n00480069\r\nm_font_high\r\n12.500000\r\nm_font_inter\r\n0.500000\r\n");
        router.Execute(cmd::FileNew);
        plat::E2eCanvas next(app);
        ASSERT_TRUE(next.Ok());
        router.Execute(kTextTool);
        next.Click(QPoint(200, 200));
        ASSERT_TRUE(plat::WaitFor([&] { return asked.size() == 2u; }));
        EXPECT_EQ(asked[1], (std::array<QString, 4>{"DejaVu Sans", "Hi", "12.5", "0.5"}));
        EXPECT_EQ(next.Objects(), 0u);
    });
    CDialogBase::SetModalAnswerForTesting({});
    g_settings.m_nCurLayer = savedLayer;
    EXPECT_EQ(status, 0);
}
