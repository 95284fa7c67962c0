// Ends of a transfer that must never pass for a finished one: the operator
// cancels a send the controller never answers, a work file is saved into a
// folder that does not exist, and a drawing with nothing to output is sent
// or saved. Each leaves no dialog open, no transfer running and no file.
#include "E2eJob.h"
#include "platform/CodePage.h"
#include "settings/LanguageTable.h"

#include <filesystem>

namespace {

using plat::FakeController;

std::u16string ErrorText(int entry)
{
    return LanguageText(RegisteredLanguageTable(), u"phase15:error-hint", entry);
}

void PressDownload(CMainFrame& frame)
{
    QTest::mouseClick(plat::WorkPage(frame).Button(CWorkPageWork::IDC_DOWNLOAD), Qt::LeftButton);
}

} // namespace

TEST(TransferFailures, CancelMissingFolderAndNothingToOutputEndAsFailuresAndLeaveNothingBehind)
{
    if (!plat::HavePolylines())
        GTEST_SKIP() << "no " << plat::kPolylines;
    plat::E2eProgram program;
    plat::E2eJobStage stage;
    FakeController& controller = program.m_controller;
    const std::string root = program.m_program.Root();
    const int status = program.Run({QStringLiteral("brenvik")}, [&](COrvelApp& app) {
        CMainFrame& frame = *app.MainFrame();
        const std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(frame);
        ASSERT_EQ(documents.size(), 1u);
        plat::ImportPolylines(frame);
        std::vector<plat::RecordingPrompt::Shown>& shown = program.m_prompt.m_prompt.m_shown;

        // The controller takes the first block and never answers: Cancel
        // ends the transfer and the connection it was waiting on.
        controller.Script({FakeController::Silence()});
        plat::E2eJobStage::Progress cancelled;
        bool pressed = false;
        stage.RunProgress(cancelled, [&](CTransLoadProcessDlg& dialog) {
            if (!pressed && !controller.Packets().empty()) {
                pressed = true;
                QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
            }
        });
        stage.Answer(CTransLoadNameDlg::IDD, plat::JobNameTyping(QStringLiteral("JOB1")));
        stage.Answer(CWorkDownloadSet::IDD, plat::DownloadDialogPressing(CWorkDownloadSet::IDC_DOWNLOAD));
        PressDownload(frame);
        EXPECT_TRUE(pressed);
        EXPECT_EQ(cancelled.result, plat::IDCANCEL);
        EXPECT_LT(cancelled.shownPercent, 100);
        EXPECT_TRUE(shown.empty()) << "Cancel says nothing";
        EXPECT_TRUE(plat::WaitFor([] { return !plat::TransferRunning(); }, 2000));
        EXPECT_TRUE(plat::NoDialogOpen());
        // The controller serves one connection at a time: the next job gets
        // through only when the silent one was closed.
        const std::size_t before = controller.Packets().size();
        plat::E2eJobStage::Progress sent;
        stage.RunProgress(sent);
        PressDownload(frame);
        EXPECT_EQ(sent.result, plat::IDOK);
        EXPECT_GT(controller.Packets().size(), before);

        // A work file into a folder that is not there: said so, no file.
        const std::string missing = root + "missing/JOB1.out";
        plat::E2eJobStage::Progress unsaved;
        stage.RunProgress(unsaved);
        plat::E2eJobStage::SaveAs(missing);
        stage.Answer(CWorkDownloadSet::IDD, plat::DownloadDialogPressing(CWorkDownloadSet::IDC_SAVE_FILE));
        PressDownload(frame);
        EXPECT_EQ(unsaved.result, plat::IDCANCEL);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown.back().text, plat::Utf8ToUtf16(missing + " could not be written."));
        EXPECT_FALSE(std::filesystem::exists(root + "missing"));

        // The layer's cutting switched off: nothing to output. Sending says
        // so before asking a name; saving says so and the progress dialog
        // closes rejected, with no file.
        stage.Answer(CWorkSetParameter::IDD, plat::LayerDialogTyping(false));
        plat::DoubleClickRow(plat::WorkPage(frame).LayerList(), 0);
        stage.Forget(CTransLoadNameDlg::IDD);
        const std::string nothing = root + "nothing.out";
        plat::E2eJobStage::SaveAs(nothing);
        plat::E2eJobStage::Progress empty;
        stage.RunProgress(empty);
        stage.Answer(CWorkDownloadSet::IDD, [&](CDialogBase& d) {
            auto& dialog = static_cast<CWorkDownloadSet&>(d);
            plat::Press(dialog.Button(CWorkDownloadSet::IDC_DOWNLOAD));
            EXPECT_EQ(shown.size(), 2u);
            EXPECT_EQ(shown.back().text, ErrorText(6));
            plat::Press(dialog.Button(CWorkDownloadSet::IDC_SAVE_FILE));
            return int(plat::IDCANCEL);
        });
        const std::size_t packets = controller.Packets().size();
        PressDownload(frame);
        EXPECT_EQ(empty.result, plat::IDCANCEL);
        ASSERT_EQ(shown.size(), 3u);
        EXPECT_EQ(shown.back().text, ErrorText(6));
        EXPECT_FALSE(std::filesystem::exists(nothing));
        EXPECT_EQ(controller.Packets().size(), packets);

        EXPECT_FALSE(plat::TransferRunning());
        EXPECT_TRUE(plat::NoDialogOpen());
        documents[0]->Document()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}
