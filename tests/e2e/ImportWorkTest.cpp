// A large drawing imported through the File menu is read off the interface
// thread: timers keep firing, the status bar's progress moves with the
// reading, and Cancel ends the import at once with nothing of it left in the
// document, its history or its change count.
#include "../support/ManyLines.h"
#include "E2eJob.h"
#include "E2eProgram.h"
#include "qtplatform/CommandRouter.h"
#include "platform/WorkControl.h"
#include "ui/QtImportOptions.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Lines 5 mm long, 0.05 mm apart, none touching another.
std::string ManyLines(int count)
{
    std::string dxf = "0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < count; ++i) {
        const std::string y = std::to_string(i * 5 / 100) + "." + std::to_string(i * 5 % 100 / 10) +
                              std::to_string(i * 5 % 10);
        dxf += "0\nLINE\n8\n0\n10\n0\n20\n" + y + "\n11\n5\n21\n" + y + "\n";
    }
    return dxf + "0\nENDSEC\n0\nEOF\n";
}

int Objects(const DOCCONTEXT& ctx)
{
    int count = 0;
    for (const CDocData* data = ctx.m_pCurrent->m_pFirst; data != nullptr; data = data->m_pNext)
        ++count;
    return count;
}

// 200,000 lines (8 MB, read in pieces side by side) in the plain build; a
// tenth under the sanitizers, as the other tests of long work.
constexpr int kLines = kManyLines / 5;

} // namespace

TEST(ImportWork, ALargeImportKeepsTheLoopTurningAndItsCancelLeavesTheDocumentAsItWas)
{
    plat::E2eProgram program;
    program.m_program.Write("many.dxf", ManyLines(kLines));
    const std::string many = program.m_program.Root() + "many.dxf";
    COrvelView::SetImportChooserForTesting([&](const std::string&, std::string& path, bool&) {
        path = many;
        return true;
    });
    const int status = program.Run({QStringLiteral("brenvik")}, [&](COrvelApp& app) {
        CMainFrame& frame = *app.MainFrame();
        const std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(frame);
        ASSERT_EQ(documents.size(), 1u);
        COrvelDoc& doc = *documents[0]->Document();
        DOCCONTEXT& ctx = doc.Context();
        const std::uint64_t changes = ctx.m_nChangeCount;
        const CDocListNode* snapshot = ctx.m_pCurrent;
        const int depth = plat::HistoryDepth(ctx);

        // The reader is held at its first step until the import is
        // cancelled; the operator presses Cancel once the bar has moved.
        plat::WorkControl::SetStepHookForTesting([](plat::WorkControl& control, int) {
            for (int i = 0; i < 5000 && !control.Cancelled(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        QPushButton* cancel = frame.WorkCancelButton();
        ASSERT_NE(cancel, nullptr);
        int barSeen = -1;
        bool cancelShown = false;
        QElapsedTimer sinceCancel;
        QTimer operatorWatch;
        QObject::connect(&operatorWatch, &QTimer::timeout, [&] {
            if (sinceCancel.isValid() || frame.ProgressBar()->value() <= 0)
                return;
            barSeen = frame.ProgressBar()->value();
            cancelShown = cancel->isVisible();
            sinceCancel.start();
            cancel->click();
        });
        operatorWatch.start(5);
        {
            const plat::LoopWatch loop;
            frame.Router().Execute(cmd::FileImport);
            EXPECT_LT(loop.Longest(), 100);
        }
        operatorWatch.stop();
        plat::WorkControl::SetStepHookForTesting(nullptr);
        ASSERT_TRUE(sinceCancel.isValid());
        EXPECT_LT(sinceCancel.elapsed(), 100);
        EXPECT_TRUE(cancelShown);
        EXPECT_FALSE(cancel->isVisible());
        // Held within the reading, which is the first 700 thousandths.
        EXPECT_GT(barSeen, 0);
        EXPECT_LT(barSeen, 700);
        EXPECT_EQ(ctx.m_nChangeCount, changes);
        EXPECT_EQ(ctx.m_pCurrent, snapshot);
        EXPECT_EQ(plat::HistoryDepth(ctx), depth);
        EXPECT_EQ(Objects(ctx), 0);
        EXPECT_FALSE(doc.IsModified());

        // Left alone, the import brings every line as one undo step.
        {
            const plat::LoopWatch loop;
            frame.Router().Execute(cmd::FileImport);
            EXPECT_LT(loop.Longest(), 100);
        }
        EXPECT_EQ(Objects(ctx), kLines);
        EXPECT_EQ(ctx.m_nChangeCount, changes + 1);
        EXPECT_EQ(plat::HistoryDepth(ctx), depth + 1);
        frame.Router().Execute(cmd::EditUndo);
        EXPECT_EQ(Objects(ctx), 0);
        doc.SetModifiedFlag(false);
    });
    COrvelView::SetImportChooserForTesting(nullptr);
    EXPECT_EQ(status, 0);
}

// The reading's own question (the drawing unit) opens on the interface
// thread and takes the operator's click through its window, though the rest
// of the program takes no input meanwhile.
TEST(ImportWork, TheReadingsQuestionIsAnsweredWithTheMouse)
{
    plat::E2eProgram program;
    QtImportOptions dialogs;
    plat::SetImportOptions(&dialogs);
    program.m_program.Write("few.dxf", ManyLines(3));
    const std::string few = program.m_program.Root() + "few.dxf";
    COrvelView::SetImportChooserForTesting([&](const std::string&, std::string& path, bool&) {
        path = few;
        return true;
    });
    const int status = program.Run({QStringLiteral("brenvik")}, [&](COrvelApp& app) {
        CMainFrame& frame = *app.MainFrame();
        COrvelDoc& doc = *plat::E2eProgram::Documents(frame).at(0)->Document();
        int questions = 0;
        QTimer operatorWatch;
        QObject::connect(&operatorWatch, &QTimer::timeout, [&] {
            QWidget* question = QApplication::activeModalWidget();
            if (question == nullptr || question->windowHandle() == nullptr)
                return;
            for (QAbstractButton* button : question->findChildren<QAbstractButton*>()) {
                if (button->text() != QStringLiteral("OK"))
                    continue;
                ++questions;
                QTest::mouseClick(question->windowHandle(), Qt::LeftButton, {},
                                  button->mapTo(question, button->rect().center()));
                return;
            }
        });
        operatorWatch.start(20);
        frame.Router().Execute(cmd::FileImport);
        operatorWatch.stop();
        EXPECT_EQ(questions, 1);
        EXPECT_EQ(Objects(doc.Context()), 3);
        doc.SetModifiedFlag(false);
    });
    COrvelView::SetImportChooserForTesting(nullptr);
    EXPECT_EQ(status, 0);
}
