// The import option dialogs and the HPGL resolution calculator, asked
// through the program's import options and answered through the dialog
// seam, then once each as a real modal run.
//
// Faults these catch: dot controls live for a two-level image; a unit shown
// that is not the unit returned; a typed resolution that overflows or goes
// negative; the calculator dividing by 0 or by an unparsed text, or never
// told the drawing's size, so every calculation gives 0 and the import is
// cancelled; a dialog shown from another thread.
#include "AppTestSupport.h"
#include "importexport/FileReadTrans.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "ui/ImportBmpDlg.h"
#include "ui/ImportDimensionsDlg.h"
#include "ui/ImportResolutionDlg.h"
#include "ui/PltImportRsCalcDlg.h"
#include "ui/QtImportOptions.h"
#include "ui/XPButton.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Clicks a dialog's OK: IDOK when the dialog took it and closed.
int ClickOk(CDialogBase& dialog, QAbstractButton* ok)
{
    ok->click();
    return dialog.result() == QDialog::Accepted ? plat::IDOK : plat::IDCANCEL;
}

// Answers the resolution dialog with "other" and "<<", and the calculator
// with the real size; keeps the size the calculator was given.
std::function<int(CDialogBase&)> OtherByCalculator(const char* realSize, double& width, double& height)
{
    return [realSize, &width, &height](CDialogBase& d) {
        if (d.TemplateId() == CPltImportRsCalcDlg::IDD) {
            auto& calc = static_cast<CPltImportRsCalcDlg&>(d);
            width = calc.m_dPltMaxWidth;
            height = calc.m_dPltMaxHeight;
            calc.RealSize()->setText(QString::fromLatin1(realSize));
            return ClickOk(calc, calc.CalculateButton());
        }
        auto& dlg = static_cast<CImportResolutionDlg&>(d);
        dlg.Radio(CImportResolutionDlg::IDC_OTHER)->click();
        dlg.CalculatorButton()->click();
        return ClickOk(dlg, dlg.OkButton());
    };
}

// The shipped English texts and the program's dialogs as the import's
// questions; each test answers the dialogs it opens through the seam.
class ImportDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = std::make_unique<plat::ScratchProgram>();
        ASSERT_GT(CReadParamFile().LoadLanguageFiles(m_table), 0);
        SetLanguageTable(m_table);
        plat::SetImportOptions(&m_options);
    }
    void TearDown() override
    {
        CDialogBase::SetModalAnswerForTesting({});
        plat::SetImportOptions(nullptr);
        SetLanguageTable({});
    }
    void Answer(std::function<int(CDialogBase&)> answer) { CDialogBase::SetModalAnswerForTesting(std::move(answer)); }

    std::unique_ptr<plat::ScratchProgram> m_program;
    std::array<std::u16string, kLanguageTableSize> m_table;
    QtImportOptions m_options;
};

TEST_F(ImportDialogs, BitmapDotControlsFollowGreyscaleAndOkReturnsWhatIsShown)
{
    plat::BitmapChoice choice{0, 0, "0", 2.0};
    Answer([](CDialogBase& d) {
        auto& dlg = static_cast<CImportBmpDlg&>(d);
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Bitmap Import"));
        EXPECT_TRUE(dlg.Radio(CImportBmpDlg::IDC_TWO_LEVEL)->isChecked());
        for (QWidget* w : {static_cast<QWidget*>(dlg.DotCheck()), static_cast<QWidget*>(dlg.AngleList()),
                           static_cast<QWidget*>(dlg.SizeEdit())})
            EXPECT_FALSE(w->isEnabled());
        EXPECT_EQ(dlg.SizeEdit()->text(), QStringLiteral("2"));
        dlg.Radio(CImportBmpDlg::IDC_GREY)->click();
        EXPECT_TRUE(dlg.DotCheck()->isEnabled() && dlg.AngleList()->isEnabled() && dlg.SizeEdit()->isEnabled());
        dlg.DotCheck()->click();
        dlg.AngleList()->setCurrentIndex(1);
        dlg.SizeEdit()->setText(QStringLiteral("0.5"));
        return ClickOk(dlg, dlg.OkButton());
    });
    ASSERT_EQ(m_options.AskBitmap(choice), plat::IDOK);
    EXPECT_EQ(choice.m_bGrey, 1);
    EXPECT_EQ(choice.m_nHalftone, 1);
    EXPECT_EQ(choice.m_angleText, "45");
    EXPECT_EQ(choice.m_dCellSize, 0.5);

    // A stored angle that is no item shows, and returns, "0"; a dot size
    // that is no number keeps the dialog open.
    choice = {1, 1, "90", 0.3};
    Answer([](CDialogBase& d) {
        auto& dlg = static_cast<CImportBmpDlg&>(d);
        EXPECT_EQ(dlg.AngleList()->currentText(), QStringLiteral("0"));
        for (const char* bad : {"", "-", "1e", "1e999"}) {
            dlg.SizeEdit()->setText(QString::fromLatin1(bad));
            EXPECT_EQ(ClickOk(dlg, dlg.OkButton()), plat::IDCANCEL) << bad;
        }
        dlg.SizeEdit()->setText(QStringLiteral("1.25e-1"));
        return ClickOk(dlg, dlg.OkButton());
    });
    ASSERT_EQ(m_options.AskBitmap(choice), plat::IDOK);
    EXPECT_EQ(choice.m_angleText, "0");
    EXPECT_EQ(choice.m_dCellSize, 0.125);
}

TEST_F(ImportDialogs, UnitShownIsUnitReturned)
{
    using Dlg = CImportDimensionsDlg;
    // Stored value, radio checked, radio clicked (0: none), value returned.
    const std::array<int, 4> cases[] = {{1, Dlg::IDC_INCH, 0, 1},         {2, Dlg::IDC_MILLIMETRE, 0, 2},
                                        {0, Dlg::IDC_AUTOMATIC, 0, 0},    {7, Dlg::IDC_MILLIMETRE, 0, 2},
                                        {2, Dlg::IDC_MILLIMETRE, Dlg::IDC_AUTOMATIC, 0}};
    for (const auto& [stored, radio, click, returned] : cases) {
        Answer([&](CDialogBase& d) {
            auto& dlg = static_cast<Dlg&>(d);
            EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Drawing Unit"));
            EXPECT_EQ(dlg.Radio(Dlg::IDC_INCH)->text(), QStringLiteral("Inch"));
            EXPECT_EQ(dlg.Radios()->checkedId(), radio) << stored;
            if (click != 0)
                dlg.Radio(click)->click();
            return ClickOk(dlg, dlg.OkButton());
        });
        auto unit = static_cast<std::uint8_t>(stored);
        ASSERT_EQ(m_options.AskDimensions(unit), plat::IDOK);
        EXPECT_EQ(unit, returned) << stored;
    }
}

TEST_F(ImportDialogs, ResolutionRadiosAndTypedOtherResolution)
{
    // Resolution and other resolution opened with, radio checked.
    const std::array<int, 3> starts[] = {
        {1016, 0, CImportResolutionDlg::IDC_1016}, {1000, 0, CImportResolutionDlg::IDC_1000}, {600, 600, CImportResolutionDlg::IDC_OTHER}};
    for (const auto& [resolution, other, radio] : starts) {
        CImportResolutionDlg dlg(resolution);
        dlg.m_nOther = other;
        Answer([&](CDialogBase&) {
            EXPECT_EQ(dlg.Radios()->checkedId(), radio);
            EXPECT_EQ(dlg.OtherEdit()->isEnabled(), other != 0);
            EXPECT_EQ(dlg.CalculatorButton()->isEnabled(), other != 0);
            EXPECT_EQ(dlg.OtherEdit()->text(), QString::number(other));
            return plat::IDCANCEL;
        });
        dlg.DoModal();
    }

    plat::ResolutionChoice choice{4000, 2000, 1016, 0};
    Answer([](CDialogBase& d) {
        auto& dlg = static_cast<CImportResolutionDlg&>(d);
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Plotter Resolution"));
        QLineEdit* edit = dlg.OtherEdit();
        dlg.Radio(CImportResolutionDlg::IDC_OTHER)->click();
        // Emptied, then a minus alone typed: it already reads 0.
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_EQ(edit->text(), QString());
        QTest::keyClicks(edit, QStringLiteral("-"));
        EXPECT_EQ(edit->text(), QStringLiteral("0"));
        QTest::keyClicks(edit, QStringLiteral("6"));
        EXPECT_EQ(edit->text(), QStringLiteral("6"));
        edit->selectAll();
        edit->insert(QStringLiteral("-5")); // a paste
        EXPECT_EQ(edit->text(), QStringLiteral("0"));
        EXPECT_EQ(edit->cursorPosition(), 1);
        edit->selectAll();
        edit->insert(QStringLiteral("99999999999"));
        EXPECT_EQ(edit->text(), QStringLiteral("2147483647"));
        EXPECT_EQ(dlg.m_nResolution, 2147483647);
        dlg.Radio(CImportResolutionDlg::IDC_1000)->click();
        EXPECT_FALSE(edit->isEnabled());
        return ClickOk(dlg, dlg.OkButton());
    });
    ASSERT_EQ(m_options.AskResolution(choice), plat::IDOK);
    EXPECT_EQ(choice.m_nResolution, 1000);
    EXPECT_EQ(choice.m_nCustom, 2147483647);

    // A stored resolution that is no choice shows the other resolution,
    // and OK returns what is shown; a negative one shows 0.
    for (const auto& [stored, other, returned] : {std::array{-5, 600, 600}, std::array{600, -7, 0}}) {
        choice = {0, 0, stored, other};
        Answer([](CDialogBase& d) {
            auto& dlg = static_cast<CImportResolutionDlg&>(d);
            return ClickOk(dlg, dlg.OkButton());
        });
        ASSERT_EQ(m_options.AskResolution(choice), plat::IDOK);
        EXPECT_EQ(choice.m_nResolution, returned);
        EXPECT_EQ(choice.m_nCustom, returned);
    }
}

TEST_F(ImportDialogs, CalculatorDividesTheLargerMeasureByTheRealSizeWithoutDividingByZero)
{
    using Calc = CPltImportRsCalcDlg;
    EXPECT_EQ(Calc::Calculate(0.5, 4000, "100"), 40.0); // a thin drawing: its height
    EXPECT_EQ(Calc::Calculate(4000, 0.5, "100"), 40.0);
    EXPECT_EQ(Calc::Calculate(4000, 2000, " 80abc"), 50.0);
    EXPECT_EQ(Calc::Calculate(-2e8, -2e8, "100"), -2e6); // no path read
    EXPECT_EQ(Calc::Calculate(4000, 2000, "-100"), -40.0);
    for (const char* none : {"0", "0.01", "-0.01", "", "abc", "1e999", "-1e999", "nan"})
        EXPECT_EQ(Calc::Calculate(4000, 2000, none), 0.0) << none;

    // Units per millimetre to dots per inch, rounded, never below 0.
    using Dlg = CImportResolutionDlg;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // 1016, 999.998, 0.4826, 0.508, below 0, beyond the range, no number.
    const std::pair<double, int> dpis[] = {{40.0, 1016}, {39.37, 1000}, {0.019, 0},        {0.02, 1},
                                           {-2e6, 0},     {1e300, 2147483647}, {nan, 0}};
    for (const auto& [unitsPerMm, dpi] : dpis)
        EXPECT_EQ(Dlg::DotsPerInchOf(unitsPerMm), dpi) << unitsPerMm;

    // The formula names the measure divided.
    for (const auto& [width, measure] : {std::pair{4000.0, "Width"}, std::pair{0.5, "Height"}}) {
        Calc calc;
        calc.m_dPltMaxWidth = width;
        Answer([&](CDialogBase&) {
            EXPECT_EQ(calc.windowTitle(), QStringLiteral("PLT Import Resolution"));
            EXPECT_EQ(calc.Formula()->text(),
                      QStringLiteral("Resolution = PLT Maximum %1 ÷ Real Size (mm)").arg(QLatin1String(measure)));
            EXPECT_EQ(calc.RealSize()->text(), QStringLiteral("0"));
            return plat::IDCANCEL;
        });
        calc.DoModal();
    }
    // Without its own section the template's texts stay.
    SetLanguageTable({});
    Calc calc;
    Answer([&](CDialogBase&) {
        EXPECT_EQ(calc.windowTitle(), QStringLiteral("PLT import resolution caculate"));
        EXPECT_EQ(calc.Formula()->text(), QStringLiteral("Resolution = PLTMaxWidth ÷ RealSize"));
        EXPECT_EQ(calc.CalculateButton()->text(), QStringLiteral("Ok"));
        return plat::IDCANCEL;
    });
    calc.DoModal();
}

TEST_F(ImportDialogs, QuestionsFromAnotherThreadAreCancelledUnshown)
{
    bool shown = false;
    Answer([&](CDialogBase&) { return shown = true, plat::IDOK; });
    std::uint8_t unit = 1;
    plat::ResolutionChoice resolution{10, 10, 1016, 5};
    plat::BitmapChoice bitmap{1, 1, "45", 0.5};
    std::array<int, 3> results{};
    std::thread([&] {
        results = {m_options.AskDimensions(unit), m_options.AskResolution(resolution), m_options.AskBitmap(bitmap)};
    }).join();
    EXPECT_EQ(results, (std::array<int, 3>{plat::IDCANCEL, plat::IDCANCEL, plat::IDCANCEL}));
    EXPECT_FALSE(shown);
    EXPECT_EQ(unit, 1);
    EXPECT_EQ(resolution.m_nResolution, 1016);
    EXPECT_EQ(bitmap.m_angleText, "45");
}

// One line 10 drawing units long, in no declared unit.
const char* const kTenUnitLine = "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n10\n21\n0\n"
                                 "0\nENDSEC\n0\nEOF\n";

// The import of a file through the dispatcher with the dialogs answering.
class ImportThroughDialogs : public ImportDialogs {
protected:
    void SetUp() override
    {
        ImportDialogs::SetUp();
        m_settings.SetPaletteAndInterfaceDefaults();
        m_settings.SetOptionDefaults();
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_pCurrent = new CDocListNode;
    }
    void TearDown() override
    {
        CDocListNode* oldest = m_ctx.m_pCurrent;
        while (oldest != nullptr && oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
        ImportDialogs::TearDown();
    }
    bool Import(const std::string& name, const std::string& bytes)
    {
        m_program->Write(name, bytes);
        return CFileReadTrans().ReadFile(&m_ctx, m_program->Root() + name, false);
    }
    void ExpectDocumentUntouched()
    {
        EXPECT_EQ(m_ctx.m_pCurrent->m_pFirst, nullptr);
        EXPECT_EQ(m_ctx.m_pCurrent->m_pOlder, nullptr);
    }

    SoftwareSettings m_settings;
    DOCCONTEXT m_ctx;
};

TEST_F(ImportThroughDialogs, HpglResolutionWorkedOutFromTheRealSize)
{
    double givenWidth = 0, givenHeight = 0;
    Answer(OtherByCalculator("100", givenWidth, givenHeight));
    ASSERT_TRUE(Import("square.plt", "IN;PU0,0;PD4000,0,4000,2000;"));
    EXPECT_EQ(givenWidth, 4000.0);
    EXPECT_EQ(givenHeight, 2000.0);
    std::string par;
    ASSERT_TRUE(plat::ReadWholeFile(m_program->Root() + "software.par", par));
    EXPECT_NE(par.find("plt resolution\r\n1016\r\n"), std::string::npos);
    // 4000 units at 1016 dpi are 100 mm.
    const CDocData* line = m_ctx.m_pCurrent->m_pFirst;
    ASSERT_NE(line, nullptr);
    EXPECT_NEAR(line->m_rcBound.Width(), 1000.0, 1e-9);
    EXPECT_NEAR(line->m_rcBound.Height(), 500.0, 1e-9);
}

TEST_F(ImportThroughDialogs, CancelOrNoResolutionLeavesDocumentAndHistoryAlone)
{
    std::vector<int> shown;
    Answer([&](CDialogBase& d) { return shown.push_back(d.TemplateId()), plat::IDCANCEL; });
    EXPECT_FALSE(Import("a.plt", "IN;PU0,0;PD4000,0;"));
    EXPECT_FALSE(Import("a.bmp", "BM"));
    EXPECT_FALSE(Import("a.dxf", kTenUnitLine));
    EXPECT_EQ(shown, (std::vector<int>{CImportResolutionDlg::IDD, CImportBmpDlg::IDD, CImportDimensionsDlg::IDD}));
    ExpectDocumentUntouched();

    // A file without a path: -2e8 units wide, so the result is negative,
    // the resolution 0, which cancels.
    double width = 0, height = 0;
    Answer(OtherByCalculator("100", width, height));
    EXPECT_FALSE(Import("empty.plt", "IN;SP1;"));
    EXPECT_EQ(width, -2e8);
    EXPECT_EQ(m_settings.plt_resolution, 1016);
    ExpectDocumentUntouched();
}

TEST_F(ImportThroughDialogs, DxfUnitShownIsTheUnitTheDrawingIsReadIn)
{
    // A stored unit that is no choice shows millimetre and reads millimetres;
    // clicking inch reads inches. World units are tenths of a millimetre.
    m_settings.dxf_dimension = 7;
    const std::pair<int, double> cases[] = {{0, 100.0}, {CImportDimensionsDlg::IDC_INCH, 2540.0}};
    for (const auto& [click, width] : cases) {
        Answer([click](CDialogBase& d) {
            auto& dlg = static_cast<CImportDimensionsDlg&>(d);
            EXPECT_EQ(dlg.Radios()->checkedId(), CImportDimensionsDlg::IDC_MILLIMETRE);
            if (click != 0)
                dlg.Radio(click)->click();
            return ClickOk(dlg, dlg.OkButton());
        });
        m_settings.dxf_dimension = 7;
        ASSERT_TRUE(Import("line.dxf", kTenUnitLine));
        const CDocData* line = m_ctx.m_pCurrent->m_pFirst;
        ASSERT_NE(line, nullptr);
        while (line->m_pNext != nullptr)
            line = line->m_pNext;
        EXPECT_NEAR(line->m_rcBound.Width(), width, 1e-6) << click;
        EXPECT_EQ(m_settings.dxf_dimension, click == 0 ? 2 : 1);
    }
}

// Real modal runs: the dialog opens as the modal window and OK ends it.
TEST_F(ImportDialogs, EachDialogRunsModallyUntilOk)
{
    const auto run = [](CDialogBase& dlg, const std::function<void()>& fill, QString okName) {
        QTimer::singleShot(0, [&, okName] {
            EXPECT_EQ(QApplication::activeModalWidget(), &dlg);
            fill();
            dlg.findChild<QAbstractButton*>(okName)->click();
        });
        return dlg.DoModal();
    };
    CImportBmpDlg bmp(1, 0, 45, 1.0);
    EXPECT_EQ(run(bmp, [] {}, QStringLiteral("1073")), plat::IDOK);
    EXPECT_EQ(bmp.m_strAngle, "45");
    CImportDimensionsDlg unit(1);
    EXPECT_EQ(run(unit, [&] { unit.Radio(CImportDimensionsDlg::IDC_MILLIMETRE)->click(); }, QStringLiteral("1018")),
              plat::IDOK);
    EXPECT_EQ(unit.m_nUnit, 2);
    CImportResolutionDlg resolution(1016);
    EXPECT_EQ(run(resolution, [] {}, QStringLiteral("1018")), plat::IDOK);
    EXPECT_EQ(resolution.m_nResolution, 1016);
    CPltImportRsCalcDlg calc;
    calc.m_dPltMaxWidth = 4000;
    EXPECT_EQ(run(calc, [&] { calc.RealSize()->setText(QStringLiteral("100")); }, QStringLiteral("1073")),
              plat::IDOK);
    EXPECT_EQ(calc.m_dResolution, 40.0);
}

} // namespace
