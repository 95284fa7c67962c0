// The platform's standard keys where the design gives a command none (Select
// All, Redo, Save, Save As, Close, Quit), shown in the menus, with every
// designed key kept; and the Window menu, which lists the open documents and
// activates the one chosen.
#include "E2eCanvas.h"

#include <QKeySequence>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

TEST(StandardKeys, TheyJoinTheDesignedKeysAndSelectAllAndRedoWork)
{
    // Each key the platform gives these commands, unless a designed key is
    // the same, reaches its command; the designed keys stay as they were.
    const std::pair<QKeySequence::StandardKey, plat::UINT> standard[] = {
        {QKeySequence::Save, cmd::FileSave},   {QKeySequence::SaveAs, cmd::FileSaveAs},
        {QKeySequence::Redo, cmd::EditRedo},   {QKeySequence::SelectAll, cmd::EditSelectAll},
        {QKeySequence::Close, cmd::FileClose}, {QKeySequence::Quit, cmd::AppExit}};
    auto keyOf = [](const QKeySequence& sequence) {
        const QKeyCombination c = sequence[0];
        const Qt::KeyboardModifiers m = c.keyboardModifiers();
        return VirtualKey{ToVirtualKey(static_cast<int>(c.key())), (m & Qt::ControlModifier) != 0,
                          (m & Qt::ShiftModifier) != 0, (m & Qt::AltModifier) != 0, true};
    };
    int added = 0;
    for (const auto& [key, id] : standard)
        for (const QKeySequence& sequence : QKeySequence::keyBindings(key)) {
            EXPECT_EQ(FindAccelerator(AcceleratorTable(), keyOf(sequence)), id) << sequence.toString().toStdString();
            ++added;
        }
    EXPECT_GE(added, 3); // Ctrl+S, Ctrl+A and a Redo key everywhere
    EXPECT_EQ(FindAccelerator(AcceleratorTable(), VirtualKey{'Z', true, false, false, true}), cmd::EditUndo);
    EXPECT_EQ(FindAccelerator(AcceleratorTable(), VirtualKey{vk::Back, false, false, true, true}), cmd::EditUndo);
    EXPECT_EQ(FindAccelerator(AcceleratorTable(), VirtualKey{'N', true, false, false, true}), cmd::FileNew);
    EXPECT_EQ(FindAccelerator(AcceleratorTable(), VirtualKey{vk::Delete, false, true, false, true}), cmd::EditCut);

    plat::E2eProgram program;
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        plat::E2eCanvas canvas(app);
        ASSERT_TRUE(canvas.Ok());
        CMainFrame* frame = app.MainFrame();
        // The menu shows the key.
        EXPECT_TRUE(frame->Action(cmd::FileSave)->text().endsWith(QStringLiteral("\tCtrl+S")));
        const QKeySequence redo = QKeySequence::keyBindings(QKeySequence::Redo).value(0);
        EXPECT_TRUE(
            frame->Action(cmd::EditRedo)->text().endsWith(QLatin1Char('\t') + redo.toString(QKeySequence::NativeText)));

        DOCCONTEXT& ctx = canvas.Ctx();
        const CGeoBox all = ctx.m_rcSelect;
        const QPoint edge = canvas.At(all.m_xmin + all.Width() / 4, all.m_ymin);
        canvas.Click(edge - QPoint(0, 20));
        ASSERT_TRUE(ctx.m_rcSelect.IsEmpty());
        canvas.Key(Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(canvas.View()->CurrentTool()->CountObjects(&ctx), 5u);
        EXPECT_FALSE(ctx.m_rcSelect.IsDifferent(all));

        canvas.Click(edge);
        canvas.Key(Qt::Key_Delete);
        ASSERT_EQ(canvas.Objects(), 4u);
        canvas.Key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(canvas.Objects(), 5u);
        QTest::keySequence(canvas.View(), redo);
        EXPECT_EQ(canvas.Objects(), 4u);

        // In a property edit the key selects the edit's text, not the drawing.
        QLineEdit* x = frame->PropertyEdit(32853);
        x->setFocus();
        ASSERT_TRUE(plat::WaitFor([x] { return x->hasFocus(); }));
        x->setText(QStringLiteral("12.5 mm"));
        x->deselect();
        const CGeoBox before = ctx.m_rcSelect;
        QTest::keyClick(x, Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(x->selectedText(), QStringLiteral("12.5 mm"));
        EXPECT_FALSE(ctx.m_rcSelect.IsDifferent(before));
        canvas.Child()->Document()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}

TEST(WindowMenu, ListsTheOpenDocumentsAndActivatesTheOneChosen)
{
    plat::E2eProgram program;
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        CMainFrame* frame = app.MainFrame();
        frame->Router().Execute(cmd::FileNew);
        QMdiArea* area = frame->MdiArea();
        const QList<QMdiSubWindow*> windows = area->subWindowList();
        ASSERT_EQ(windows.size(), 2);
        ASSERT_EQ(area->activeSubWindow(), windows[1]);

        QMenu* menu = nullptr;
        for (int position = 0; QMenu* m = frame->TopMenu(129, position); ++position)
            if (m->actions().contains(frame->Action(cmd::WindowNew)))
                menu = m;
        ASSERT_NE(menu, nullptr);
        emit menu->aboutToShow();
        QList<QAction*> listed;
        for (QAction* a : menu->actions())
            if (a->text().startsWith(QLatin1Char('&')) && a->text().at(1).isDigit())
                listed << a;
        ASSERT_EQ(listed.size(), 2);
        EXPECT_EQ(listed[0]->text(), QStringLiteral("&1 ") + windows[0]->windowTitle());
        EXPECT_FALSE(listed[0]->isChecked());
        EXPECT_TRUE(listed[1]->isChecked());
        listed[0]->trigger();
        EXPECT_EQ(area->activeSubWindow(), windows[0]);

        // Shown again, the list is rebuilt, not added to.
        emit menu->aboutToShow();
        int count = 0;
        for (QAction* a : menu->actions())
            count += a->text().startsWith(QLatin1Char('&')) && a->text().at(1).isDigit() ? 1 : 0;
        EXPECT_EQ(count, 2);
        for (CChildFrame* child : plat::E2eProgram::Documents(*frame))
            child->Document()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}
