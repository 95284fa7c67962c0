// The property bar's edits applied to the selection when the focus comes
// back to the view, and the import command through a file-chooser seam and
// once through the real dialog. Runs under a German locale: the edits must
// read and write with a decimal point whatever the locale.
#include "AppTestSupport.h"
#include "ShownDocumentTest.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/OrvelDoc.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "app/RecentFileList.h"
#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <clocale>
#include <cmath>
#include <filesystem>
#include <string>

namespace {

class PropertyBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldLocale = std::setlocale(LC_ALL, nullptr);
        std::setlocale(LC_ALL, "de_DE.UTF-8");
        m_savedMachines = g_settings.m_pMachines;
        g_settings.m_pMachines = nullptr;
        g_settings.SetPaletteAndInterfaceDefaults();
        g_settings.import_file_dir.clear();
        m_program = std::make_unique<plat::ScratchProgram>();
        ASSERT_NO_FATAL_FAILURE(plat::ShowFrameWithOneDocument(m_frame, m_manager, m_recent, m_view));
        m_view->setFocus();
        ASSERT_TRUE(plat::WaitFor([this] { return m_view->hasFocus(); }));
    }
    void TearDown() override
    {
        COrvelView::SetImportChooserForTesting(nullptr);
        m_manager.reset();
        m_frame.reset();
        m_program.reset();
        g_settings.m_pMachines = m_savedMachines;
        std::setlocale(LC_ALL, m_oldLocale.c_str());
    }
    DOCCONTEXT& Ctx() { return m_view->Context(); }
    QLineEdit* Edit(int id, bool lower = false) { return m_frame->PropertyEdit(id, lower); }
    // A selected closed rectangle with its lower-left corner at (x, y) and
    // the given size, all in world units; the selection box follows it.
    void AddRectangle(double x, double y, double w, double h)
    {
        DOCNODE* nodes = AppendNode(nullptr, x, y);
        DOCNODE* last = AppendNode(AppendNode(AppendNode(nodes, x + w, y), x + w, y + h), x, y + h);
        (void)last;
        auto* obj = new CDocDataLine(nodes, 1, nullptr);
        obj->m_bClosed = 1;
        obj->SetSelected(1);
        obj->RecalcBoundRect(nullptr);
        Ctx().m_pCurrent->m_pFirst = obj;
        Ctx().m_rcSelect = obj->GetBoundRect();
        m_view->ShowSelectionSize(Ctx().m_rcSelect);
    }
    int Steps()
    {
        int n = 0;
        for (CDocListNode* s = Ctx().m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n;
        return n;
    }
    // Types into an edit as the operator does, then hands the focus back.
    void TypeAndReturn(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        ASSERT_TRUE(plat::WaitFor([edit] { return edit->hasFocus(); }));
        edit->selectAll();
        QTest::keyClicks(edit, text);
        m_view->setFocus();
        ASSERT_TRUE(plat::WaitFor([this] { return m_view->hasFocus(); }));
    }

    std::string m_oldLocale;
    MachineNode* m_savedMachines = nullptr;
    std::unique_ptr<plat::ScratchProgram> m_program;
    std::unique_ptr<CMainFrame> m_frame;
    RecentFileList m_recent{QStringLiteral("BrenvikPropertyBarTest")};
    std::unique_ptr<OrvelDocManager> m_manager;
    COrvelView* m_view = nullptr;
};

} // namespace

// Numbers are read in the C locale up to the first foreign character; what
// is no finite number reads 0, never NaN or infinity.
TEST_F(PropertyBarTest, EditsReadDecimalPointNumbersAndNothingElse)
{
    EXPECT_EQ(COrvelView::ReadEditNumber(QStringLiteral("12.5 mm")), 12.5);
    EXPECT_EQ(COrvelView::ReadEditNumber(QStringLiteral("12,5")), 12.0);
    EXPECT_EQ(COrvelView::ReadEditNumber(QStringLiteral("  -3e1x")), -30.0);
    EXPECT_EQ(COrvelView::ReadEditNumber(QStringLiteral("+.5")), 0.5);
    for (const char* bad : {"", "abc", "-", "--5", "inf", "nan", "1e999", "-1e999", "0x"})
        EXPECT_EQ(COrvelView::ReadEditNumber(QString::fromLatin1(bad)), 0.0) << bad;
    // Only the first 50 characters count: 60 ones read as 50 of them.
    EXPECT_DOUBLE_EQ(COrvelView::ReadEditNumber(QString(60, QLatin1Char('1'))), 1.1111111111111111e49);
    EXPECT_EQ(COrvelView::ReadEditNumber(QStringLiteral("7\n9")), 7.0);
}

TEST_F(PropertyBarTest, TheBoxIsShownCutToThousandthsAndAnEmptyOneAsEmptyEdits)
{
    AddRectangle(kWorldOrigin + 123.456, kWorldOrigin - 20.0, 100.0, 0.00999);
    EXPECT_EQ(Edit(32853)->text(), QStringLiteral("12.345 mm"));
    EXPECT_EQ(Edit(32853, true)->text(), QStringLiteral("-2.000 mm"));
    EXPECT_EQ(Edit(32831)->text(), QStringLiteral("10.000 mm"));
    EXPECT_EQ(Edit(32831, true)->text(), QStringLiteral("0.000 mm"));
    Edit(32855)->setText(QStringLiteral("45"));
    m_view->ShowSelectionSize(CGeoBox());
    for (int id : {32853, 32831}) {
        EXPECT_TRUE(Edit(id)->text().isEmpty());
        EXPECT_TRUE(Edit(id, true)->text().isEmpty());
    }
    EXPECT_EQ(Edit(32855)->text(), QStringLiteral("45"));
}

// Shown values are cut to thousandths, but an untouched edit stands for the
// exact value: focus in and out moves nothing and takes no step, and
// changing only X keeps Y exact.
TEST_F(PropertyBarTest, UntouchedEditsChangeNothingAndTakeNoStep)
{
    AddRectangle(kWorldOrigin + 123.4567, kWorldOrigin + 56.7891, 100.0001, 50.0004);
    const CGeoBox before = Ctx().m_rcSelect;
    for (int id : {32853, 32831, 32855}) {
        Edit(id)->setFocus();
        ASSERT_TRUE(plat::WaitFor([&] { return Edit(id)->hasFocus(); }));
        EXPECT_EQ(m_frame->m_nFocusEditId, id);
        m_view->setFocus();
        ASSERT_TRUE(plat::WaitFor([this] { return m_view->hasFocus(); }));
    }
    EXPECT_EQ(Steps(), 0);
    EXPECT_FALSE(Ctx().m_rcSelect.IsDifferent(before));
    EXPECT_EQ(Ctx().m_rcSelect.m_xmin, before.m_xmin);

    TypeAndReturn(Edit(32853), QStringLiteral("1"));
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(Ctx().m_rcSelect.m_xmin, kWorldOrigin + 10.0);
    EXPECT_EQ(Ctx().m_rcSelect.m_ymin, before.m_ymin);
}

TEST_F(PropertyBarTest, KeepProportionsLetsTheChangedSideOrTheSmallerFactorDecide)
{
    AddRectangle(kWorldOrigin, kWorldOrigin, 100.0, 50.0);
    Ctx().m_bResizeFlag = 1;
    Edit(32831)->setFocus();
    ASSERT_TRUE(plat::WaitFor([&] { return Edit(32831)->hasFocus(); }));
    Edit(32831)->selectAll();
    QTest::keyClicks(Edit(32831), QStringLiteral("20"));
    // Enter hands the focus back to the view, which applies the edit.
    QTest::keyClick(Edit(32831), Qt::Key_Return);
    ASSERT_TRUE(plat::WaitFor([this] { return m_view->hasFocus(); }));
    EXPECT_DOUBLE_EQ(Ctx().m_rcSelect.Width(), 200.0);
    EXPECT_DOUBLE_EQ(Ctx().m_rcSelect.Height(), 100.0);
    EXPECT_EQ(Edit(32831, true)->text(), QStringLiteral("10.000 mm"));
    EXPECT_EQ(Steps(), 1);

    // Factors 2 and 3: both sides scale by 2, about the lower-left corner.
    Edit(32831)->setText(QStringLiteral("40"));
    Edit(32831, true)->setText(QStringLiteral("30"));
    m_frame->m_nFocusEditId = 32831;
    m_view->ApplyPropertyEdit(32831);
    EXPECT_DOUBLE_EQ(Ctx().m_rcSelect.Width(), 400.0);
    EXPECT_DOUBLE_EQ(Ctx().m_rcSelect.Height(), 200.0);
    EXPECT_EQ(Ctx().m_rcSelect.m_xmin, kWorldOrigin);
    EXPECT_EQ(Steps(), 2);
}

// A position or size that would take the selection beyond 1e9 world units
// (100 km) is refused with its message, changes nothing, takes no step and
// leaves the edits showing the selection as it is. The rectangle is 100 x 50
// world units at the machine origin, so X = 99,949,990 mm puts its right side
// at exactly 1e9.
TEST_F(PropertyBarTest, EditsBeyondTheWorldsReachAreRefusedAndChangeNothing)
{
    plat::ScopedRecordingPrompt prompt;
    AddRectangle(kWorldOrigin, kWorldOrigin, 100.0, 50.0);
    const CGeoBox before = Ctx().m_rcSelect;
    TypeAndReturn(Edit(32853), QStringLiteral("99950000"));
    TypeAndReturn(Edit(32831), QStringLiteral("100000000"));
    ASSERT_TRUE(plat::WaitFor([&] { return prompt.m_prompt.m_shown.size() == 2; }));
    EXPECT_EQ(prompt.m_prompt.m_shown[0].text,
              u"The change was not made: it would take the drawing beyond 100 km.");
    EXPECT_FALSE(Ctx().m_rcSelect.IsDifferent(before));
    EXPECT_EQ(Steps(), 0);
    EXPECT_EQ(Edit(32853)->text(), QStringLiteral("0.000 mm"));
    EXPECT_EQ(Edit(32831)->text(), QStringLiteral("10.000 mm"));

    TypeAndReturn(Edit(32853), QStringLiteral("99949990"));
    EXPECT_EQ(Ctx().m_rcSelect.m_xmax, 1e9);
    EXPECT_EQ(Steps(), 1);
}

TEST_F(PropertyBarTest, RotationIsAOneShotEntryBroughtIntoOneTurn)
{
    AddRectangle(kWorldOrigin, kWorldOrigin, 100.0, 50.0);
    TypeAndReturn(Edit(32855), QStringLiteral("-90"));
    EXPECT_EQ(Edit(32855)->text(), QStringLiteral("0"));
    EXPECT_EQ(Steps(), 1);
    // A quarter turn about the centre (50, 25): a box 50 wide, 100 high.
    EXPECT_NEAR(Ctx().m_rcSelect.Width(), 50.0, 1e-6);
    EXPECT_NEAR(Ctx().m_rcSelect.Height(), 100.0, 1e-6);
    EXPECT_NEAR(Ctx().m_rcSelect.m_xmin, kWorldOrigin + 25.0, 1e-6);
    const CDocData* obj = Ctx().m_pCurrent->m_pFirst;
    const double firstX = obj->m_pNodes->m_x;
    const double firstY = obj->m_pNodes->m_y;
    // 270 degrees and -90 are one angle: from (0, 0) the first node goes to
    // (75, -25) or (25, 75) by the turning sense; either way not (0, 0).
    EXPECT_NEAR(std::fabs(firstX - kWorldOrigin - 50.0), 25.0, 1e-6);

    for (const char* none : {"720", "0.0005", "-360", "1e300"}) {
        TypeAndReturn(Edit(32855), QString::fromLatin1(none));
        EXPECT_EQ(Edit(32855)->text(), QStringLiteral("0")) << none;
    }
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(obj->m_pNodes->m_x, firstX);
    EXPECT_EQ(obj->m_pNodes->m_y, firstY);
}

TEST_F(PropertyBarTest, WithNothingSelectedEveryEditIsANoOp)
{
    for (int id : {32853, 32831, 32855}) {
        TypeAndReturn(Edit(id), QStringLiteral("abc"));
    }
    EXPECT_EQ(Steps(), 0);
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst, nullptr);
}

namespace {

constexpr const char* kLineDxf = "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n100\n21\n50\n0\nENDSEC\n0\nEOF\n";

} // namespace

TEST_F(PropertyBarTest, ImportRemembersTheFolderAndIsOneUndoStep)
{
    const std::string folder = m_program->Root() + "in/";
    std::filesystem::create_directories(folder);
    m_program->Write("in/x.DXF", kLineDxf);
    std::string offered = "unset";
    COrvelView::SetImportChooserForTesting([&](const std::string& start, std::string& path, bool& preview) {
        offered = start;
        path = folder + "x.DXF";
        preview = true;
        return true;
    });
    ASSERT_TRUE(m_frame->Router().Execute(32784));
    EXPECT_EQ(offered, "");
    EXPECT_EQ(g_settings.import_file_dir, folder);
    EXPECT_EQ(g_settings.m_file_view, 1);
    std::string par;
    ASSERT_TRUE(plat::ReadWholeFile(m_program->Root() + "software.par", par));
    EXPECT_NE(par.find("import_file_dir"), std::string::npos);
    EXPECT_NE(par.find("m_file_view"), std::string::npos);
    ASSERT_NE(Ctx().m_pCurrent->m_pFirst, nullptr);
    EXPECT_FALSE(Ctx().m_rcSelect.IsEmpty());
    EXPECT_FALSE(Edit(32831)->text().isEmpty());
    EXPECT_EQ(Steps(), 1);

    // The next import starts in the remembered folder; one undo takes the
    // whole first import back.
    ASSERT_TRUE(m_frame->Router().Execute(32784));
    EXPECT_EQ(offered, folder);
    ASSERT_TRUE(m_frame->Router().Execute(32907)); // undo
    ASSERT_TRUE(m_frame->Router().Execute(32907));
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst, nullptr);
}

// Cancel, a missing file, a folder named like a drawing, an unknown
// extension and a file without objects: document, history, tool and edits
// stay as they were.
TEST_F(PropertyBarTest, AFailedOrCancelledImportChangesNothing)
{
    std::filesystem::create_directories(m_program->Root() + "x.dxf");
    m_program->Write("a.xyz", kLineDxf);
    m_program->Write("empty.dxf", "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n");
    const int tool = Ctx().m_nTool;
    for (const std::string name : {"", "missing.dxf", "x.dxf", "a.xyz", "empty.dxf"}) {
        COrvelView::SetImportChooserForTesting([&](const std::string&, std::string& path, bool&) {
            path = m_program->Root() + name;
            return !name.empty();
        });
        m_frame->Router().Execute(32784);
        EXPECT_EQ(Ctx().m_pCurrent->m_pFirst, nullptr) << name;
        EXPECT_EQ(Steps(), 0) << name;
        EXPECT_EQ(Ctx().m_nTool, tool);
        EXPECT_TRUE(Edit(32853)->text().isEmpty());
    }
    EXPECT_EQ(g_settings.import_file_dir, m_program->Root());
}

// The real dialog: non-native, the import filters, and the chosen file
// goes through the dispatcher.
TEST_F(PropertyBarTest, TheRealDialogImportsTheChosenFile)
{
    m_program->Write("line.dxf", kLineDxf);
    g_settings.import_file_dir = m_program->Root();
    // The switch is read from software.par when the command starts.
    g_settings.m_file_view = 1;
    CReadParamFile().WriteSoftwareParam(g_settings);
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        seen = true;
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(dialog->nameFilters().front(),
                  QStringLiteral("All Files(*.*) (*.ai *.plt *.dxf *.dst *.dsb *.bmp *.jpg *.png *.gif)"));
        auto* check = dialog->findChild<QCheckBox*>(QStringLiteral("1256"));
        ASSERT_NE(check, nullptr);
        EXPECT_EQ(check->text(), QStringLiteral("Preview"));
        EXPECT_TRUE(check->isChecked());
        check->click(); // the switch is remembered off
        dialog->selectFile(QString::fromStdString(m_program->Root() + "line.dxf"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    m_frame->Router().Execute(32784);
    EXPECT_TRUE(seen);
    EXPECT_NE(Ctx().m_pCurrent->m_pFirst, nullptr);
    EXPECT_EQ(g_settings.m_file_view, 0);
}
