// The technology tables and their row dialog, the grid, language and curve
// settings dialogs, and the view commands that open them: what reaches the
// record and the parameter files, what stays when a write fails, and what
// is repainted or rebuilt.
#include "AppTestSupport.h"

#include "app/OrvelDoc.h"
#include "app/OrvelView.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/TextFile.h"
#include "platform/ViewWindow.h"
#include "platform/WorkFolder.h"
#include "settings/LanguageTable.h"
#include "settings/MachineTech.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "ui/ParamSetCurve.h"
#include "ui/ParamSetLanguage.h"
#include "ui/ParamTechnology.h"
#include "ui/ShowGridDlg.h"
#include "ui/TechParamSetDlg.h"
#include "ui/XPButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <array>
#include <filesystem>
#include <memory>

namespace {

class SettingsDialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = std::make_unique<plat::ScratchProgram>();
        ASSERT_GT(CReadParamFile().LoadLanguageFiles(m_table), 0);
        SetLanguageTable(m_table);
        m_savedSettings = g_settings.circle_show;
    }
    void TearDown() override
    {
        CDialogBase::SetModalAnswerForTesting({});
        SetLanguageTable({});
        g_settings.circle_show = m_savedSettings;
        m_program.reset();
    }
    // The value line after a key line of software.par.
    std::string SoftwareValue(const std::string& key) const
    {
        std::vector<std::string> lines;
        EXPECT_TRUE(plat::ReadTextLines(m_program->Root() + "software.par", lines));
        for (std::size_t k = 0; k + 1 < lines.size(); ++k)
            if (lines[k] == key)
                return lines[k + 1];
        return "<missing>";
    }
    std::vector<std::string> Column(const QTableWidget* list, int column) const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < list->rowCount(); ++row)
            texts.push_back(list->item(row, column)->text().toStdString());
        return texts;
    }

    std::unique_ptr<plat::ScratchProgram> m_program;
    std::array<std::u16string, kLanguageTableSize> m_table;
    plat::ScopedRecordingPrompt m_prompt;
    std::uint8_t m_savedSettings = 0;
};

// Answers every row dialog with the given values by typing them.
void AnswerRowsWith(const std::vector<std::array<const char*, 3>>& answers, std::size_t& next)
{
    CDialogBase::SetModalAnswerForTesting([&answers, &next](CDialogBase& dlg) {
        auto& row = static_cast<CTechParamSetDlg&>(dlg);
        const auto& typed = answers.at(next++);
        for (int k = 0; k < 3; ++k)
            row.Edit(k)->setText(QString::fromLatin1(typed[static_cast<std::size_t>(k)]));
        row.OkButton()->click();
        return row.result() == QDialog::Accepted ? plat::IDOK : plat::IDCANCEL;
    });
}

TEST_F(SettingsDialogsTest, RowsWithinAThousandthReplaceOthersJoinSortedAndShowTwoDecimals)
{
    CMachineTech tech(u"M");
    tech.AppendCarveRepair(10.0, 0.1);
    tech.AppendSpeedLimit(10.0, 50.0);
    tech.AppendSpeedLimit(20.0, 60.0);
    CParamTechnology dlg;
    dlg.SetTechnology(&tech);
    std::size_t next = 0;
    const std::vector<std::array<const char*, 3>> answers = {
        {"10.0005", "0.2", "0"}, {"5", "40", "0"}, {"12.345", "1.5", "2.25"}};
    CDialogBase::SetModalAnswerForTesting({});
    dlg.Create(nullptr);
    AnswerRowsWith(answers, next);

    dlg.AddRow(CParamTechnology::kCarve);
    ASSERT_NE(tech.m_pCarveRepair, nullptr);
    EXPECT_EQ(tech.m_pCarveRepair->next, nullptr);
    EXPECT_DOUBLE_EQ(tech.m_pCarveRepair->speed, 10.0005);
    EXPECT_DOUBLE_EQ(tech.m_pCarveRepair->inter, 0.2);

    dlg.AddRow(CParamTechnology::kLimit);
    EXPECT_EQ(Column(dlg.List(CParamTechnology::kLimit), 0), (std::vector<std::string>{"5.00", "10.00", "20.00"}));
    EXPECT_EQ(Column(dlg.List(CParamTechnology::kLimit), 1),
              (std::vector<std::string>{"40.0000", "50.0000", "60.0000"}));

    dlg.AddRow(CParamTechnology::kCut);
    EXPECT_EQ(Column(dlg.List(CParamTechnology::kCut), 0), std::vector<std::string>{"12.35"});
    EXPECT_EQ(Column(dlg.List(CParamTechnology::kCut), 2), std::vector<std::string>{"2.2500"});
    EXPECT_DOUBLE_EQ(tech.m_pCutRepair->speed, 12.345);

    // Nothing selected: nothing removed. Then the middle row goes and the
    // list stays linked both ways.
    dlg.DeleteRow(CParamTechnology::kLimit);
    EXPECT_EQ(dlg.List(CParamTechnology::kLimit)->rowCount(), 3);
    dlg.List(CParamTechnology::kLimit)->selectRow(1);
    dlg.DeleteRow(CParamTechnology::kLimit);
    ASSERT_NE(tech.m_pSpeedLimit, nullptr);
    EXPECT_DOUBLE_EQ(tech.m_pSpeedLimit->frame, 5.0);
    ASSERT_NE(tech.m_pSpeedLimit->next, nullptr);
    EXPECT_DOUBLE_EQ(tech.m_pSpeedLimit->next->frame, 20.0);
    EXPECT_EQ(tech.m_pSpeedLimit->next->prev, tech.m_pSpeedLimit);
    // The first row goes: the head moves on.
    dlg.List(CParamTechnology::kLimit)->selectRow(0);
    dlg.DeleteRow(CParamTechnology::kLimit);
    EXPECT_DOUBLE_EQ(tech.m_pSpeedLimit->frame, 20.0);
    EXPECT_EQ(tech.m_pSpeedLimit->prev, nullptr);

    // A selected row prefills the row dialog.
    dlg.List(CParamTechnology::kCut)->selectRow(0);
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& row = static_cast<CTechParamSetDlg&>(d);
        EXPECT_EQ(row.Edit(0)->text(), QStringLiteral("12.345"));
        EXPECT_EQ(row.Edit(2)->text(), QStringLiteral("2.25"));
        return plat::IDCANCEL;
    });
    dlg.AddRow(CParamTechnology::kCut);
    EXPECT_EQ(dlg.List(CParamTechnology::kCut)->rowCount(), 1);
}

TEST_F(SettingsDialogsTest, SaveWritesTheFileOrSaysItCouldNotAndStaysOpen)
{
    CMachineTech tech(u"M1");
    tech.AppendCarveRepair(100.0, 0.05);
    tech.AppendCutRepair(30.0, 0.1, 0.2);
    tech.m_limit_use = 1;
    const std::string path = m_program->Root() + "TechM1.par";
    {
        CParamTechnology dlg;
        dlg.SetTechnology(&tech);
        CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
            auto& t = static_cast<CParamTechnology&>(d);
            EXPECT_TRUE(t.UseCheck(CParamTechnology::kLimit)->isChecked());
            t.UseCheck(CParamTechnology::kCarve)->setChecked(true);
            t.UseCheck(CParamTechnology::kLimit)->setChecked(false);
            t.Save();
            return t.result() == QDialog::Accepted ? plat::IDOK : plat::IDCANCEL;
        });
        EXPECT_EQ(dlg.DoModal(), plat::IDOK);
    }
    CMachineTech back(u"M1");
    ASSERT_TRUE(CReadParamFile().ReadTechParam(back));
    ASSERT_NE(back.m_pCarveRepair, nullptr);
    EXPECT_DOUBLE_EQ(back.m_pCarveRepair->inter, 0.05);
    ASSERT_NE(back.m_pCutRepair, nullptr);
    EXPECT_DOUBLE_EQ(back.m_pCutRepair->y_rt, 0.2);
    EXPECT_EQ(back.m_carve_use, 1);
    EXPECT_EQ(back.m_limit_use, 0);

    // Esc: rows edited in place stay, the switches do not, nothing written.
    std::string before;
    ASSERT_TRUE(plat::ReadWholeFile(path, before));
    {
        CParamTechnology dlg;
        dlg.SetTechnology(&tech);
        CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
            auto& t = static_cast<CParamTechnology&>(d);
            t.UseCheck(CParamTechnology::kCut)->setChecked(true);
            t.List(CParamTechnology::kCarve)->selectRow(0);
            t.DeleteRow(CParamTechnology::kCarve);
            t.reject();
            return plat::IDCANCEL;
        });
        EXPECT_EQ(dlg.DoModal(), plat::IDCANCEL);
    }
    EXPECT_EQ(tech.m_pCarveRepair, nullptr);
    EXPECT_EQ(tech.m_cut_use, 0);
    std::string after;
    ASSERT_TRUE(plat::ReadWholeFile(path, after));
    EXPECT_EQ(after, before);

    // A folder where the file belongs (fails as root too).
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    {
        CParamTechnology dlg;
        dlg.SetTechnology(&tech);
        CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
            auto& t = static_cast<CParamTechnology&>(d);
            t.Save();
            EXPECT_TRUE(t.result() != QDialog::Accepted);
            return plat::IDCANCEL;
        });
        dlg.DoModal();
    }
    ASSERT_EQ(m_prompt.m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_prompt.m_shown[0].text, u"The file could not be written.");
}

TEST_F(SettingsDialogsTest, RowDialogShowsTheRowsOfItsKindAndRefusesAnEmptyEdit)
{
    CTechParamSetDlg limit(1, 10.0, 0.1, 0.0);
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& row = static_cast<CTechParamSetDlg&>(d);
        EXPECT_EQ(row.Label(0)->text(), QStringLiteral("Frame Size (mm)"));
        EXPECT_EQ(row.Unit(0)->text(), QStringLiteral("mm"));
        EXPECT_EQ(row.Label(1)->text(), QStringLiteral("Speed (mm/s)"));
        EXPECT_EQ(row.Unit(1)->text(), QStringLiteral("mm/s"));
        EXPECT_TRUE(row.Edit(2)->isHidden());
        EXPECT_TRUE(row.Label(2)->isHidden());
        EXPECT_EQ(row.Edit(1)->text(), QStringLiteral("0.1"));
        return plat::IDCANCEL;
    });
    limit.DoModal();

    CTechParamSetDlg cut(2, 1.0, 2.0, 3.0);
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& row = static_cast<CTechParamSetDlg&>(d);
        EXPECT_FALSE(row.Edit(2)->isHidden());
        EXPECT_EQ(row.Label(2)->text(), QStringLiteral("Y Compensation"));
        row.Edit(0)->setText(QStringLiteral("7"));
        row.Edit(1)->clear();
        row.OkButton()->click();
        EXPECT_NE(row.result(), QDialog::Accepted);
        return plat::IDCANCEL;
    });
    cut.DoModal();
    EXPECT_DOUBLE_EQ(cut.m_dValue1, 1.0);
}

// A view whose invalidations are counted.
class CountingView : public COrvelView {
public:
    using COrvelView::COrvelView;
    void InvalidateRect(const plat::RECT* rect, bool erase) override
    {
        ++m_invalidations;
        m_lastErase = erase;
        COrvelView::InvalidateRect(rect, erase);
    }
    int m_invalidations = 0;
    bool m_lastErase = false;
};

TEST_F(SettingsDialogsTest, GridCommandStoresBothValuesInSoftwareParAndRepaints)
{
    COrvelDoc doc;
    CountingView view(&doc);
    SoftwareSettings settings;
    settings.show_net = 0;
    settings.net_interval = 100.0;
    doc.Context().m_pSettings = &settings;
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& grid = static_cast<CShowGridDlg&>(d);
        EXPECT_FALSE(grid.ShowCheck()->isChecked());
        EXPECT_EQ(grid.LengthEdit()->text(), QStringLiteral("100"));
        EXPECT_EQ(grid.ShowCheck()->text(), QStringLiteral("Show Grid"));
        grid.ShowCheck()->setChecked(true);
        grid.LengthEdit()->setText(QStringLiteral("50"));
        grid.OkButton()->click();
        return plat::IDOK;
    });
    ASSERT_TRUE(view.OnCommand(32914));
    EXPECT_EQ(settings.show_net, 1);
    EXPECT_EQ(SoftwareValue("show_net"), "1");
    EXPECT_EQ(SoftwareValue("net_interval"), "50.000000");
    EXPECT_EQ(view.m_invalidations, 1);
    EXPECT_TRUE(view.m_lastErase);

    // Without its section the template's texts stay, typo included.
    SetLanguageTable({});
    CShowGridDlg bare;
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& grid = static_cast<CShowGridDlg&>(d);
        EXPECT_EQ(grid.windowTitle(), QStringLiteral("Show grid"));
        EXPECT_EQ(grid.ShowCheck()->text(), QStringLiteral("Show gird"));
        EXPECT_EQ(grid.LengthLabel()->text(), QStringLiteral("Length"));
        return plat::IDCANCEL;
    });
    bare.DoModal();
}

TEST_F(SettingsDialogsTest, LanguageCommandWritesThePointerFileWholeThenAsksAboutTheRestart)
{
    COrvelDoc doc;
    COrvelView view(&doc);
    m_prompt.m_prompt.m_answer = plat::IDCANCEL;
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& lang = static_cast<CParamSetLanguage&>(d);
        const auto items = lang.List()->findItems(QStringLiteral("English"), Qt::MatchExactly);
        EXPECT_EQ(lang.List()->count(), 2);
        EXPECT_EQ(lang.List()->currentItem(), items.value(0));
        lang.List()->setCurrentItem(items.value(0));
        lang.OkButton()->click();
        return lang.result() == QDialog::Accepted ? plat::IDOK : plat::IDCANCEL;
    });
    ASSERT_TRUE(view.OnCommand(32864));
    std::string bytes;
    ASSERT_TRUE(plat::ReadWholeFile(m_program->Root() + "Language/Language", bytes));
    EXPECT_EQ(bytes, "0045006e0067006c006900730068.txt");
    ASSERT_EQ(m_prompt.m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_prompt.m_shown[0].text, u"The new language takes effect after a restart. Restart now?");

    // The pointer file cannot be replaced: said so, no restart offered.
    std::filesystem::remove(m_program->Root() + "Language/Language");
    std::filesystem::create_directory(m_program->Root() + "Language/Language");
    ASSERT_TRUE(view.OnCommand(32864));
    ASSERT_EQ(m_prompt.m_prompt.m_shown.size(), 2u);
    EXPECT_EQ(m_prompt.m_prompt.m_shown[1].text.rfind(u"The language could not be saved.\n", 0), 0u);

    // Nothing to choose: nothing written, Cancel.
    std::filesystem::remove(m_program->Root() + "Language/Language");
    const LanguageNameList saved = g_languageNames;
    g_languageNames = LanguageNameList{};
    CParamSetLanguage empty;
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& lang = static_cast<CParamSetLanguage&>(d);
        lang.OkButton()->click();
        return lang.result() == QDialog::Accepted ? plat::IDOK : plat::IDCANCEL;
    });
    EXPECT_EQ(empty.DoModal(), plat::IDCANCEL);
    g_languageNames = saved;
    EXPECT_FALSE(m_program->Exists("Language/Language"));
}

TEST_F(SettingsDialogsTest, CurveSettingsRepaintOnlyADrawingWithObjectsAndRebuildOnlyForTheSpeedUnit)
{
    SoftwareSettings settings;
    settings.circle_show = 1;
    settings.circle_export = 1;
    settings.speed_units = 0;
    plat::RecordingView view;
    CDocListNode drawing;
    DOCCONTEXT ctx;
    ctx.m_pSettings = &settings;
    ctx.m_pView = &view;
    ctx.m_pCurrent = &drawing;
    int rebuilds = 0;
    auto run = [&](int combo, int index) {
        CParamSetCurve dlg(&ctx, [&rebuilds] { ++rebuilds; });
        CDialogBase::SetModalAnswerForTesting([combo, index](CDialogBase& d) {
            auto& curve = static_cast<CParamSetCurve&>(d);
            curve.Combo(combo)->setCurrentIndex(index);
            curve.OkButton()->click();
            return plat::IDOK;
        });
        dlg.DoModal();
    };

    run(CParamSetCurve::IDC_EXPORT, 3);
    EXPECT_EQ(SoftwareValue("circle export"), "3");
    EXPECT_TRUE(view.m_invalidated.empty());
    EXPECT_EQ(rebuilds, 0);

    run(CParamSetCurve::IDC_SHOW, 4);
    EXPECT_EQ(settings.circle_show, 4);
    EXPECT_TRUE(view.m_invalidated.empty());

    auto* object = new CDocData;
    object->m_rcBound = CGeoBox(0, 100, 0, 100);
    drawing.m_pFirst = object;
    run(CParamSetCurve::IDC_SHOW, 0);
    ASSERT_EQ(view.m_invalidated.size(), 1u);
    EXPECT_EQ(view.m_invalidated[0].right, -1);

    run(CParamSetCurve::IDC_SPEED_UNIT, 1);
    EXPECT_EQ(rebuilds, 1);
    EXPECT_EQ(view.m_invalidated.size(), 1u);
}

TEST_F(SettingsDialogsTest, EachDialogRunsModallyForReal)
{
    CMachineTech tech(u"R");
    SoftwareSettings settings;
    DOCCONTEXT ctx;
    ctx.m_pSettings = &settings;
    std::vector<std::unique_ptr<CDialogBase>> dialogs;
    auto tech_dlg = std::make_unique<CParamTechnology>();
    tech_dlg->SetTechnology(&tech);
    dialogs.push_back(std::move(tech_dlg));
    dialogs.push_back(std::make_unique<CTechParamSetDlg>(0, 1.0, 2.0, 0.0));
    dialogs.push_back(std::make_unique<CShowGridDlg>());
    dialogs.push_back(std::make_unique<CParamSetLanguage>());
    dialogs.push_back(std::make_unique<CParamSetCurve>(&ctx, std::function<void()>{}));
    for (auto& dlg : dialogs) {
        bool seen = false;
        QTimer::singleShot(0, [&seen, &dlg] {
            seen = QApplication::activeModalWidget() == dlg.get();
            dlg->reject();
        });
        EXPECT_EQ(dlg->DoModal(), plat::IDCANCEL) << dlg->TemplateId();
        EXPECT_TRUE(seen) << dlg->TemplateId();
    }
}

} // namespace
