// A drawing's way to the machine: polylines imported, moved by the property
// bar, their layer's speed and power set from the layer list, the job saved
// as a work file and sent under a job name. What reaches the controller is
// the saved file's stream, block for block.
#include "E2eJob.h"
#include "platform/WorkFolder.h"

#include <map>
#include <sstream>

namespace {

using plat::Bytes;

// The values of the first layer group of a parameter file: key and value
// lines taking turns, each group opened by "m_group_num".
std::map<std::string, std::string> FirstGroup(const std::string& path)
{
    std::string text;
    EXPECT_TRUE(plat::ReadWholeFile(path, text)) << path;
    std::istringstream lines(text);
    std::map<std::string, std::string> group;
    std::string key;
    std::string value;
    int groups = 0;
    while (std::getline(lines, key) && std::getline(lines, value)) {
        for (std::string* s : {&key, &value})
            if (!s->empty() && s->back() == '\r')
                s->pop_back();
        if (key == "m_group_num" && ++groups > 1)
            break;
        group[key] = value;
    }
    return group;
}

std::size_t Count(const Bytes& stream, const Bytes& part)
{
    std::size_t n = 0;
    for (auto at = stream.begin(); (at = std::search(at, stream.end(), part.begin(), part.end())) != stream.end(); ++at)
        ++n;
    return n;
}

// The cut layer's header block: 20 mm/s is 20000 um/s in five 7-bit groups
// (01 1C 20), the travel speed stays 100 mm/s (06 0D 20); powers go as
// trunc(percent x 16384 / 100) in two groups: 20 % 3276 (19 4C), 55 %
// 9011.2 -> 9011 (46 33), 30 % 4915 (26 33); air on, no delays.
const Bytes kLayerBlock = {0xCD, 0x01, 0x00,
                           0xC5, 0x02, 0x00, 0x00, 0x01, 0x1C, 0x20,
                           0xC5, 0x04, 0x00, 0x00, 0x06, 0x0D, 0x20,
                           0xC0, 0x01, 0x19, 0x4C, 0xC0, 0x02, 0x46, 0x33,
                           0xC0, 0x08, 0x19, 0x4C, 0xC0, 0x03, 0x26, 0x33,
                           0xC0, 0x04, 0x01, 0x00, 0xC0, 0x05, 0x00, 0x00, 0xC0, 0x06, 0x00, 0x00,
                           0xC0, 0x09, 0x00, 0x00};

} // namespace

TEST(DownloadJob, TheSentStreamIsTheSavedWorkFileWithTheLayersSpeedAndPower)
{
    if (!plat::HavePolylines())
        GTEST_SKIP() << "no " << plat::kPolylines;
    plat::E2eProgram program;
    plat::E2eJobStage stage;
    const std::string saved = program.m_program.Root() + "JOB1.out";
    const int status = program.Run({QStringLiteral("brenvik")}, [&](COrvelApp& app) {
        CMainFrame& frame = *app.MainFrame();
        const std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(frame);
        ASSERT_EQ(documents.size(), 1u);
        COrvelView& view = *documents[0]->View();
        plat::ImportMoveAndSetLayer(frame, view, stage);
        // The dialog's OK wrote the layer list.
        std::map<std::string, std::string> layer0 = FirstGroup(plat::ParamFolder() + "WorkParam.par");
        EXPECT_EQ(layer0["m_group_num"], "0");
        EXPECT_EQ(layer0["m_border"], "1");
        EXPECT_EQ(std::stod(layer0["m_b_speed"]), 20.0) << layer0["m_b_speed"];
        EXPECT_EQ(std::stod(layer0["m_b_max_light1"]), 55.0) << layer0["m_b_max_light1"];
        CWorkPageWork& page = plat::WorkPage(frame);

        // Saved through the download dialog's save button.
        plat::E2eJobStage::Progress savedProgress;
        stage.RunProgress(savedProgress);
        plat::E2eJobStage::SaveAs(saved);
        stage.Answer(CWorkDownloadSet::IDD, plat::DownloadDialogPressing(CWorkDownloadSet::IDC_SAVE_FILE));
        QTest::mouseClick(page.Button(CWorkPageWork::IDC_DOWNLOAD), Qt::LeftButton);
        EXPECT_EQ(savedProgress.result, plat::IDOK);
        EXPECT_EQ(savedProgress.shownPercent, 100);
        EXPECT_TRUE(program.m_controller.Packets().empty()) << "saving sends nothing";

        // Sent as "JOB1".
        plat::E2eJobStage::Progress sentProgress;
        stage.RunProgress(sentProgress);
        stage.Answer(CTransLoadNameDlg::IDD, plat::JobNameTyping(QStringLiteral("JOB1")));
        stage.Answer(CWorkDownloadSet::IDD, plat::DownloadDialogPressing(CWorkDownloadSet::IDC_DOWNLOAD));
        QTest::mouseClick(page.Button(CWorkPageWork::IDC_DOWNLOAD), Qt::LeftButton);
        EXPECT_EQ(sentProgress.result, plat::IDOK);
        EXPECT_EQ(sentProgress.shownPercent, 100);
        // Closed half a second after the 100 % (a coarse timer may fire 5 %
        // early), not at once and not never (the upper bound leaves room for
        // a sanitized build on a loaded machine).
        EXPECT_GE(sentProgress.msFromFullToClose, 470);
        EXPECT_LT(sentProgress.msFromFullToClose, 10000);
        EXPECT_TRUE(program.m_prompt.m_prompt.m_shown.empty());
        EXPECT_TRUE(plat::NoDialogOpen());

        const Bytes sent = plat::ReceivedJobStream(program.m_controller, 0x39);
        const Bytes file = plat::UnscrambledFile(saved, 0x39);
        ASSERT_GT(file.size(), 1024u) << "a job of several blocks";
        EXPECT_EQ(sent, file);
        // The prelude with the length after its first 20 bytes, then the job
        // name "JOB1" zero-filled to eight and ended.
        const std::size_t rest = file.size() - 20;
        const Bytes prelude = {0xE2, 0x00, Bytes::value_type(rest >> 21 & 0x7F), Bytes::value_type(rest >> 14 & 0x7F),
                               Bytes::value_type(rest >> 7 & 0x7F), Bytes::value_type(rest & 0x7F), 0xE2, 0x01,
                               0x4A, 0x4F, 0x42, 0x31, 0, 0, 0, 0, 0x00};
        EXPECT_EQ(Bytes(file.begin(), file.begin() + 17), prelude);
        EXPECT_EQ(Count(file, kLayerBlock), 1u) << "one cut layer with the dialog's speed and power";
        documents[0]->Document()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}
