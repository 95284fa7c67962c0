// Undoing every step made since an import and redoing them all gives the
// drawing back exactly: the work file saved again is the same, byte for byte.
#include "E2eJob.h"

#include <filesystem>

namespace {

// Saves the document's job through the download dialog's save button.
void SaveWorkFile(CMainFrame& frame, plat::E2eJobStage& stage, const std::string& path)
{
    plat::E2eJobStage::Progress progress;
    stage.RunProgress(progress);
    plat::E2eJobStage::SaveAs(path);
    stage.Answer(CWorkDownloadSet::IDD, plat::DownloadDialogPressing(CWorkDownloadSet::IDC_SAVE_FILE));
    QTest::mouseClick(plat::WorkPage(frame).Button(CWorkPageWork::IDC_DOWNLOAD), Qt::LeftButton);
    EXPECT_EQ(progress.result, plat::IDOK) << path;
}

std::string FileBytes(const std::string& path)
{
    std::string bytes;
    EXPECT_TRUE(plat::ReadWholeFile(path, bytes)) << path;
    return bytes;
}

} // namespace

TEST(UndoRedoJob, UndoingAndRedoingEveryStepSinceTheImportSavesTheSameWorkFile)
{
    if (!plat::HavePolylines())
        GTEST_SKIP() << "no " << plat::kPolylines;
    plat::E2eProgram program;
    plat::E2eJobStage stage;
    const std::string first = program.m_program.Root() + "JOB1.out";
    const std::string again = program.m_program.Root() + "again/JOB1.out";
    std::filesystem::create_directories(program.m_program.Root() + "again");
    const int status = program.Run({QStringLiteral("brenvik")}, [&](COrvelApp& app) {
        CMainFrame& frame = *app.MainFrame();
        const std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(frame);
        ASSERT_EQ(documents.size(), 1u);
        COrvelView& view = *documents[0]->View();
        DOCCONTEXT& ctx = view.Context();
        CommandRouter& router = frame.Router();
        const int afterImport = plat::ImportMoveAndSetLayer(frame, view, stage);
        SaveWorkFile(frame, stage, first);
        const std::vector<CGeoBox> moved = plat::ObjectBoxes(ctx);

        const int steps = plat::HistoryDepth(ctx) - afterImport;
        EXPECT_EQ(steps, 1) << "the move; selecting, the layer dialog and the save are no steps";
        EXPECT_EQ(ctx.m_pCurrent->m_pNewer, nullptr) << "building the job leaves nothing to redo";
        for (int i = 0; i < steps; ++i)
            router.Execute(cmd::EditUndo);
        const std::vector<CGeoBox> undone = plat::ObjectBoxes(ctx);
        ASSERT_EQ(undone.size(), 12u);
        EXPECT_EQ(undone.front().m_xmin, kWorldOrigin) << "back on the table's origin";
        for (int i = 0; i < steps; ++i)
            router.Execute(cmd::EditRedo);
        const std::vector<CGeoBox> redone = plat::ObjectBoxes(ctx);
        ASSERT_EQ(redone.size(), moved.size());
        for (std::size_t i = 0; i < moved.size(); ++i)
            EXPECT_FALSE(redone[i].IsDifferent(moved[i])) << i;

        SaveWorkFile(frame, stage, again);
        EXPECT_EQ(FileBytes(again), FileBytes(first));
        EXPECT_TRUE(program.m_prompt.m_prompt.m_shown.empty());
        documents[0]->Document()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}
