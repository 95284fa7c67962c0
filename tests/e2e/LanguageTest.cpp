// Under the Chinese language file no English word is left where texts were
// once fixed in the code: the transfer dialog's title, the apply buttons of
// the machine parameter pages, the technology row dialog of every table and
// the palette's page buttons; and a recent file with an ampersand in its name
// is listed with it.
#include "E2eCanvas.h"
#include "LayoutCheck.h"
#include "app/ColorPaletteBar.h"
#include "app/RecentFileList.h"
#include "qtplatform/ButtonST.h"
#include "ui/ParamDlg.h"
#include "ui/TechParamSetDlg.h"
#include "ui/TransLoadProcessDlg.h"

#include <QMenu>
#include <QRegularExpression>

namespace {

// Texts of a window's visible labels and buttons, and its title.
QStringList ShownTexts(const QWidget& window)
{
    QStringList texts{window.windowTitle()};
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window))
            continue;
        if (const auto* label = qobject_cast<const QLabel*>(w))
            texts << label->text();
        else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
            texts << button->text();
    }
    return texts;
}

// A word of three Latin letters or more, not all capitals: units such as
// "mm/s" and names such as "PWM" are no English left behind.
bool HasEnglishWord(const QString& text)
{
    static const QRegularExpression word(QStringLiteral("[A-Za-z]+"));
    for (QRegularExpressionMatchIterator it = word.globalMatch(text); it.hasNext();) {
        const QString w = it.next().captured();
        if (w.size() >= 3 && w != w.toUpper())
            return true;
    }
    return false;
}

} // namespace

TEST(Language, UnderTheChineseFileTheFormerlyFixedTextsAreChinese)
{
    plat::E2eProgram program(plat::kChineseFile);
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        plat::E2eCanvas canvas(app);
        ASSERT_TRUE(canvas.Ok());
        CMainFrame* frame = app.MainFrame();
        DOCCONTEXT& ctx = canvas.Ctx();
        QStringList english;
        auto collect = [&english](const QString& where, const QStringList& texts) {
            for (const QString& text : texts)
                if (HasEnglishWord(text))
                    english << where + QStringLiteral(": ") + text;
        };
        CDialogBase::SetModalAnswerForTesting([&](CDialogBase& dialog) {
            dialog.show();
            QCoreApplication::processEvents();
            collect(dialog.objectName(), ShownTexts(dialog));
            // Every page of a dialog with tabs.
            for (QTabWidget* tabs : dialog.findChildren<QTabWidget*>())
                for (int i = 0; i < tabs->count(); ++i) {
                    tabs->setCurrentIndex(i);
                    collect(dialog.objectName() + QStringLiteral(" page %1").arg(i), ShownTexts(dialog));
                }
            dialog.hide();
            return plat::IDCANCEL;
        });
        CTransLoadProcessDlg(ctx, CTransLoadProcessDlg::MODE_SAVE,
                             QString::fromStdString(program.m_program.Root() + "work/job.out").toStdU16String(), 0,
                             frame)
            .DoModal();
        CParamDlg(&ctx, 0, frame).DoModal();
        for (std::uint8_t table = 0; table < 3; ++table)
            CTechParamSetDlg(table, 1.0, 2.0, 3.0, frame).DoModal();
        CDialogBase::SetModalAnswerForTesting({});
        CColorPaletteBar* palette = frame->PaletteBar();
        collect(QStringLiteral("palette"), {palette->PrevButton()->toolTip(), palette->NextButton()->toolTip()});
        EXPECT_EQ(palette->PrevButton()->toolTip(), QStringLiteral("上一页"));
        EXPECT_TRUE(english.isEmpty()) << english.join(QLatin1Char('\n')).toStdString();

        // The recent file keeps its ampersand in the File menu.
        const QString named = QString::fromStdString(program.m_program.Root()) + QStringLiteral("R&D.dxf");
        app.RecentFiles()->Add(named);
        QMenu* file = frame->TopMenu(frame->ShownMenu(), 0);
        ASSERT_NE(file, nullptr);
        emit file->aboutToShow();
        EXPECT_EQ(plat::ShownText(frame->Action(cmd::FileMru1)->text()), QStringLiteral("1 ") + named);
        app.RecentFiles()->Remove(0);
        canvas.Child()->Document()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}
