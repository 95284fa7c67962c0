// Every window of the program in both shipped languages at 9 and 12 point:
// the main window with a drawing open and every page of the work panel, and
// every dialog as it opens. No two visible sibling widgets may overlap and
// no label, button, check box or group box may need more width for its text
// than it has; faults name the widgets by their object names.
#include "E2eCanvas.h"
#include "LayoutCheck.h"
#include "app/AboutDlg.h"
#include "app/MyFileDialog.h"
#include "ui/EnableLinkNearDlg.h"
#include "ui/ImportBmpDlg.h"
#include "ui/ImportDimensionsDlg.h"
#include "ui/ImportResolutionDlg.h"
#include "ui/MachineManage.h"
#include "ui/MyTabCtrl.h"
#include "ui/ParamDashedSet.h"
#include "ui/ParamDeleteRepeat.h"
#include "ui/ParamDlg.h"
#include "ui/ParamFontType.h"
#include "ui/ParamPageMachineResolution.h"
#include "ui/ParamPasswordInput.h"
#include "ui/ParamRunFrame.h"
#include "ui/ParamScaleSlot.h"
#include "ui/ParamSetCurve.h"
#include "ui/ParamSetLanguage.h"
#include "ui/ParamTechnology.h"
#include "ui/PathOptDlg.h"
#include "ui/PathPreviewDlg.h"
#include "ui/PltImportRsCalcDlg.h"
#include "ui/RbtnNoneExtendDlg.h"
#include "ui/RbtnNoneUniteDlg.h"
#include "ui/SetMachineCoor.h"
#include "ui/ShowGridDlg.h"
#include "ui/TechParamSetDlg.h"
#include "ui/TransLoadNameDlg.h"
#include "ui/TransLoadProcessDlg.h"
#include "ui/WorkAutoArray.h"
#include "ui/WorkDownloadSet.h"
#include "ui/WorkSetParameter.h"
#include "settings/MachineTech.h"
#include "settings/SoftwareSettings.h"

#include <QLineEdit>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <QTableWidget>
#include <QHeaderView>
#include <QDockWidget>
#include <QScrollArea>
#include <QScrollBar>

namespace {

// Whether a line edit shows a text whole with the cursor after it: the text
// and the one-pixel cursor inside the contents less the edit's margin of 2
// on each side.
bool ShowsWhole(const QLineEdit& edit, const QString& text)
{
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
    const QRect contents = edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit);
    return QFontMetrics(edit.font()).horizontalAdvance(text) + 1 <= contents.width() - 2 * 2;
}

struct LayoutCase {
    const char* language;
    const char* name;
    int points;
};

void PrintTo(const LayoutCase& c, std::ostream* os)
{
    *os << c.name << ' ' << c.points << " pt";
}

class LayoutWalk : public ::testing::TestWithParam<LayoutCase> {
protected:
    void SetUp() override
    {
        m_savedFont = QApplication::font();
        QFont font = m_savedFont;
        font.setPointSize(GetParam().points);
        QApplication::setFont(font);
    }
    void TearDown() override
    {
        QApplication::setFont(m_savedFont);
        CDialogBase::SetModalAnswerForTesting({});
    }

    // The faults of a window as it shows now, each behind its name.
    void Check(const QString& name, QWidget* window)
    {
        QCoreApplication::processEvents();
        for (const std::string& fault : plat::LayoutFaults(window))
            m_faults.push_back(name.toStdString() + ": " + fault);
    }
    // Every tab of every tab widget in the window, one after the other.
    void CheckTabs(const QString& name, QWidget* window)
    {
        Check(name, window);
        for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
            if (!tabs->isVisibleTo(window))
                continue;
            const int shown = tabs->currentIndex();
            for (int i = 0; i < tabs->count(); ++i) {
                if (i == shown)
                    continue;
                tabs->setCurrentIndex(i);
                Check(name + QStringLiteral(" tab %1").arg(i), window);
            }
            tabs->setCurrentIndex(shown);
        }
    }
    // A dialog as its modal run shows it.
    void CheckModal(const QString& name, CDialogBase&& dialog) { CheckModal(name, dialog); }
    void CheckModal(const QString& name, CDialogBase& dialog)
    {
        CDialogBase::SetModalAnswerForTesting([&](CDialogBase& shown) {
            shown.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&shown));
            CheckTabs(name, &shown);
            shown.hide();
            return plat::IDCANCEL;
        });
        dialog.DoModal();
        CDialogBase::SetModalAnswerForTesting({});
    }

    std::vector<std::string> m_faults;
    QFont m_savedFont;
};

TEST_P(LayoutWalk, EveryWindowFitsItsTexts)
{
    plat::E2eProgram program(GetParam().language);
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        plat::E2eCanvas canvas(app);
        ASSERT_TRUE(canvas.Ok());
        CMainFrame* frame = app.MainFrame();
        // The status bar with its count and mouse point.
        canvas.Hover(QPoint(100, 100));
        // The optional pages of the work panel too.
        for (plat::UINT page : {32886u, 32870u, 32889u})
            frame->Router().Execute(page);
        CheckTabs(QStringLiteral("main window"), frame);
        // The position and size edits show the widest value whole.
        for (int id : {32853, 32831})
            for (bool lower : {false, true})
                if (!ShowsWhole(*frame->PropertyEdit(id, lower), QStringLiteral("-99999.999 mm")))
                    m_faults.push_back("property edit " + std::to_string(id) + " cuts -99999.999 mm");
        for (plat::UINT page : {32886u, 32870u, 32889u})
            frame->Router().Execute(page);

        DOCCONTEXT& ctx = canvas.Ctx();
        SoftwareSettings& settings = *ctx.m_pSettings;
        auto modal = [&](const char* name, CDialogBase&& dialog) { CheckModal(QString::fromLatin1(name), dialog); };
        modal("about", CAboutDlg(frame));
        modal("machine manager", CMachineManage(&ctx, frame));
        modal("machine parameters", CParamDlg(&ctx, 0, frame));
        modal("password 0", CParamPasswordInput(0, frame));
        modal("password 1", CParamPasswordInput(1, frame));
        modal("password 2", CParamPasswordInput(2, frame));
        modal("machine resolution", CParamPageMachineResolution(0.001, frame));
        {
            CMachineTech tech(u"Table");
            CParamTechnology technology(frame);
            technology.SetTechnology(&tech);
            CheckModal(QStringLiteral("technology"), technology);
        }
        for (std::uint8_t kind = 0; kind < 3; ++kind)
            modal(("technology entry " + std::to_string(kind)).c_str(), CTechParamSetDlg(kind, 1.0, 2.0, 3.0, frame));
        modal("path options", CPathOptDlg(frame));
        modal("text font", CParamFontType(u"TrueType", u"DejaVu Sans", u"Brenvik", 10.0, 1.0, frame));
        modal("language", CParamSetLanguage(frame));
        modal("curve settings", CParamSetCurve(
                                    &ctx, [] {}, frame));
        modal("run frame", CParamRunFrame(frame));
        modal("contour offset", CParamScaleSlot(frame));
        modal("delete overlapping", CParamDeleteRepeat(frame));
        modal("dashed lines", CParamDashedSet(1.0, 1.0, frame));
        modal("micro-joints", CEnableLinkNearDlg(frame));
        modal("resolution", CImportResolutionDlg(1016, frame));
        modal("bitmap import", CImportBmpDlg(0, 0, 45, 0.5, frame));
        modal("drawing unit", CImportDimensionsDlg(0, frame));
        modal("layer parameters", CWorkSetParameter(settings.m_pLayers, 0, &ctx, frame));
        modal("download", CWorkDownloadSet(ctx, frame));
        modal("job name", CTransLoadNameDlg(frame));
        modal("auto-fill",
              CWorkAutoArray(CWorkAutoArray::kModeReal, 900.0, 600.0, 1.0, 1.0, 20.0, 80.0, nullptr, frame));
        modal("path preview", CPathPreviewDlg(ctx, frame));
        modal("resolution calculator", CPltImportRsCalcDlg(frame));
        modal("lead lines", CRbtnNoneExtendDlg(&ctx, frame));
        modal("unite", CRbtnNoneUniteDlg(frame));
        modal("work area", CSetMachineCoor(1, 0, 900.0, 600.0, frame));
        modal("grid", CShowGridDlg(frame));
        modal("transfer",
              CTransLoadProcessDlg(ctx, CTransLoadProcessDlg::MODE_SAVE,
                                   QString::fromStdString(program.m_program.Root() + "work/job.out").toStdU16String(),
                                   0, frame));
        {
            CMyFileDialog open(frame, COrvelView::ImportDialogFilters(),
                               QString::fromStdString(program.m_program.Root()), QStringLiteral("Preview"), true);
            open.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&open));
            Check(QStringLiteral("open file"), &open);
        }
        canvas.Child()->Document()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
    std::string all;
    for (const std::string& fault : m_faults)
        all += fault + "\n";
    EXPECT_TRUE(m_faults.empty()) << m_faults.size() << " faults:\n" << all;
}

// Six layers show in the work page's list at the panel's first size without
// a scroll bar, every column whole; the columns can be widened by hand, the
// last one takes what is left, and the list widens with the panel.
TEST_P(LayoutWalk, TheLayerListShowsSixLayersWholeAndGrowsWithThePanel)
{
    plat::E2eProgram program(GetParam().language);
    std::string pens = "IN;";
    for (int pen = 1; pen <= 6; ++pen)
        pens += "SP" + std::to_string(pen) + ";PU0," + std::to_string(pen * 400) + ";PD4000," +
                std::to_string(pen * 400) + ";";
    program.m_program.Write("six.plt", pens + "SP0;");
    const QString drawing = QString::fromStdString(program.m_program.Root() + "six.plt");
    const int status = program.Run({QStringLiteral("brenvik"), drawing}, [&](COrvelApp& app) {
        plat::E2eCanvas canvas(app);
        ASSERT_TRUE(canvas.Ok());
        CMainFrame* frame = app.MainFrame();
        auto* list = frame->findChild<QTableWidget*>(QStringLiteral("1010"));
        ASSERT_NE(list, nullptr);
        ASSERT_TRUE(list->isVisible());
        QCoreApplication::processEvents();
        ASSERT_EQ(list->rowCount(), 6);
        EXPECT_EQ(list->verticalScrollBar()->maximum(), 0);
        EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);
        QHeaderView* header = list->horizontalHeader();
        EXPECT_TRUE(header->stretchLastSection());
        for (int column = 0; column < list->columnCount(); ++column) {
            EXPECT_EQ(header->sectionResizeMode(column), QHeaderView::Interactive) << column;
            EXPECT_LE(list->columnViewportPosition(column) + list->columnWidth(column), list->viewport()->width())
                << column;
            const QString text = list->horizontalHeaderItem(column)->text();
            EXPECT_LE(QFontMetrics(header->font()).horizontalAdvance(text), list->columnWidth(column)) << column;
        }
        EXPECT_LE(list->visualItemRect(list->item(5, 3)).bottom(), list->viewport()->height()) << "row 6 hidden";

        QDockWidget* panel = frame->findChild<QDockWidget*>(QStringLiteral("149"));
        ASSERT_NE(panel, nullptr);
        const int before = list->width();
        frame->resizeDocks({panel}, {panel->width() + 120}, Qt::Horizontal);
        QCoreApplication::processEvents();
        EXPECT_GE(list->width(), before + 100);
        canvas.Child()->Document()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}

// The walk's check itself finds what it is there for.
TEST(LayoutCheck, FindsOverlappingSiblingsAndCutTextsByName)
{
    QWidget window;
    window.resize(300, 100);
    auto* a = new QPushButton(QStringLiteral("A"), &window);
    a->setObjectName(QStringLiteral("1001"));
    a->setGeometry(0, 0, 40, 30);
    auto* b = new QPushButton(QStringLiteral("B"), &window);
    b->setObjectName(QStringLiteral("1002"));
    b->setGeometry(39, 0, 40, 30);
    auto* label = new QLabel(QStringLiteral("A label far wider than its place"), &window);
    label->setObjectName(QStringLiteral("1003"));
    label->setGeometry(100, 0, 30, 20);
    window.setObjectName(QStringLiteral("100"));
    window.show();
    const std::vector<std::string> faults = plat::LayoutFaults(&window);
    ASSERT_EQ(faults.size(), 2u);
    EXPECT_EQ(faults[0], "overlap: 100/1001 and 100/1002");
    EXPECT_EQ(faults[1].rfind("text cut: 100/1003 needs ", 0), 0u) << faults[1];
}

INSTANTIATE_TEST_SUITE_P(LanguagesAndSizes, LayoutWalk,
                         ::testing::Values(LayoutCase{plat::kEnglishFile, "English", 9},
                                           LayoutCase{plat::kEnglishFile, "English", 12},
                                           LayoutCase{plat::kChineseFile, "Chinese", 9},
                                           LayoutCase{plat::kChineseFile, "Chinese", 12}));

} // namespace
