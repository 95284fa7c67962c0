// Engine message boxes as QMessageBox and the status bar's progress bar as
// the engine's progress control.
#include "AppTestSupport.h"
#include "qtplatform/QtProgress.h"
#include "qtplatform/QtPrompt.h"
#include "settings/ShowProcess.h"

#include <QAbstractButton>
#include <QPaintEvent>
#include <QTest>
#include <QTimer>

#include <thread>

namespace {

// Clicks a button of the message box once it is up.
void AnswerBoxWith(QMessageBox::StandardButton button)
{
    QTimer::singleShot(0, [button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        box->button(button)->click();
    });
}

class PaintCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++m_paints;
        return false;
    }
    int m_paints = 0;
};

} // namespace

TEST(QtPrompt, ButtonSetsIconsAndAnswersMapAsDesigned)
{
    plat::ScratchProgram program(plat::kEnglishFile);
    auto box = QtPrompt::BuildBox(u"Text", u"", plat::MB_OKCANCEL | plat::MB_ICONQUESTION);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Brenvik"));
    EXPECT_EQ(box->button(QMessageBox::Cancel)->text(), QStringLiteral("Cancel"));

    box = QtPrompt::BuildBox(u"Text", u"Caption", plat::MB_YESNO | plat::MB_ICONWARNING);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Caption"));
    // Abort/retry/ignore is not a set the program uses: shown as OK alone.
    box = QtPrompt::BuildBox(u"Text", u"", 0x2 | plat::MB_ICONERROR);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->icon(), QMessageBox::Critical);

    QtPrompt prompt;
    AnswerBoxWith(QMessageBox::No);
    EXPECT_EQ(prompt.MessageBox(u"Restart?", u"", plat::MB_YESNO), plat::IDNO);
    AnswerBoxWith(QMessageBox::Yes);
    EXPECT_EQ(prompt.MessageBox(u"Restart?", u"", plat::MB_YESNO), plat::IDYES);
    AnswerBoxWith(QMessageBox::Cancel);
    EXPECT_EQ(prompt.MessageBox(u"Go on?", u"", plat::MB_OKCANCEL), plat::IDCANCEL);
    // The unsaved-changes question has three answers.
    box = QtPrompt::BuildBox(u"Save?", u"", plat::MB_YESNOCANCEL | plat::MB_ICONWARNING);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    AnswerBoxWith(QMessageBox::Cancel);
    EXPECT_EQ(prompt.MessageBox(u"Save?", u"", plat::MB_YESNOCANCEL), plat::IDCANCEL);
    AnswerBoxWith(QMessageBox::No);
    EXPECT_EQ(prompt.MessageBox(u"Save?", u"", plat::MB_YESNOCANCEL), plat::IDNO);
    // Escape on a box with OK alone answers OK.
    QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    EXPECT_EQ(prompt.MessageBox(u"Done", u"", plat::MB_OK), plat::IDOK);
}

TEST(QtPrompt, ButtonTextsFollowTheLanguageAsTheHelpFileDoes)
{
    {
        plat::ScratchProgram program(plat::kChineseFile);
        auto box = QtPrompt::BuildBox(u"Text", u"", plat::MB_OKCANCEL);
        EXPECT_EQ(box->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
        EXPECT_EQ(box->button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    }
    {
        // Without the pointer file the Chinese texts are taken.
        plat::ScratchProgram program("");
        auto box = QtPrompt::BuildBox(u"Text", u"", plat::MB_YESNO);
        EXPECT_EQ(box->button(QMessageBox::Yes)->text(), QStringLiteral("是"));
        EXPECT_EQ(box->button(QMessageBox::No)->text(), QStringLiteral("否"));
    }
}

TEST(QtPrompt, AnotherThreadGetsCancelWithoutABox)
{
    QtPrompt prompt;
    int answer = 0;
    std::thread other([&] { answer = prompt.MessageBox(u"From a worker", u"", plat::MB_OK); });
    other.join();
    EXPECT_EQ(answer, plat::IDCANCEL);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(QtProgress, RangeAndPositionBehaveAsTheProgressControl)
{
    QProgressBar bar;
    QtProgress progress(&bar);
    EXPECT_EQ(bar.minimum(), 0);
    EXPECT_EQ(bar.maximum(), 1000);
    EXPECT_EQ(progress.GetPos(), 0);

    progress.SetRange(0, 50);
    progress.SetPos(70); // beyond the end: the end
    EXPECT_EQ(bar.value(), 50);
    progress.SetPos(-3);
    EXPECT_EQ(progress.GetPos(), 0);
    progress.SetRange(10, 5); // upper below lower: both 10, position kept inside
    EXPECT_EQ(bar.maximum(), 10);
    EXPECT_EQ(progress.GetPos(), 10);

    // The engine's progress display drives it: four steps, and the fifth
    // position returns to the end position 0.
    plat::SetProgressSink(&progress);
    CShowProcess show;
    ASSERT_TRUE(show.Start(4));
    EXPECT_EQ(bar.maximum(), 4);
    show.Step();
    show.Step();
    show.Step();
    EXPECT_EQ(bar.value(), 3);
    show.Step();
    EXPECT_EQ(bar.value(), 0);
    plat::SetProgressSink(nullptr);

    // From another thread the position arrives through the bar's thread.
    std::thread worker([&] { progress.SetPos(2); });
    worker.join();
    ASSERT_TRUE(plat::WaitFor([&] { return bar.value() == 2; }));
    EXPECT_EQ(progress.GetPos(), 2);

    // A million steps over a 200-pixel bar: steps inside a pixel may leave
    // the bar alone, but it stays within a pixel and ends exactly.
    QProgressBar wide;
    wide.resize(200, 20);
    QtProgress many(&wide);
    many.SetRange(0, 1000000);
    for (int pos = 1; pos <= 1000000; ++pos) {
        many.SetPos(pos);
        if (pos % 99991 == 0) {
            EXPECT_LT(pos - wide.value(), 1000000 / 200) << pos;
            EXPECT_EQ(many.GetPos(), pos);
        }
    }
    EXPECT_EQ(wide.value(), 1000000);
}

TEST(QtProgress, PaintsAtOnceButAtMostEvery50Milliseconds)
{
    QProgressBar bar;
    bar.resize(250, 20);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    QtProgress progress(&bar);
    QCoreApplication::processEvents();
    PaintCounter counter;
    bar.installEventFilter(&counter);

    // No return to the event loop: only the progress itself can paint.
    QElapsedTimer burst;
    burst.start();
    progress.SetPos(1);
    EXPECT_EQ(counter.m_paints, 1);
    for (int pos = 2; pos < 200; ++pos)
        progress.SetPos(pos);
    if (burst.elapsed() < QtProgress::kRepaintIntervalMs) {
        EXPECT_EQ(counter.m_paints, 1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(QtProgress::kRepaintIntervalMs + 10));
    const int before = counter.m_paints;
    progress.SetPos(300);
    EXPECT_EQ(counter.m_paints, before + 1);
    bar.removeEventFilter(&counter);
}
