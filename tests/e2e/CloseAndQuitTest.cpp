// Closing with unsaved changes and quitting: the question's Cancel keeps the
// document, Yes saves it as HPGL under the name chosen in the save dialog,
// No at the end of the program writes nothing. The program then ends with
// the machine connection it opened at start-up: status 0, no dialog left
// open, no thread left running, the work and file folders emptied but for
// the work folder's marker.
#include "E2eProgram.h"
#include "ModalWatch.h"
#include "app/ColorPaletteBar.h"
#include "qtplatform/CommandRouter.h"
#include "app/OrvelView.h"
#include "qtplatform/QtPrompt.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/TextFile.h"
#include "platform/WorkFolder.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include <filesystem>
#include <set>

namespace {

namespace fs = std::filesystem;

// The threads of the process by name, but for Qt's pooled helpers of its
// dialogs, which come and go on their own.
std::multiset<std::string> Threads()
{
    std::multiset<std::string> names;
    std::error_code ec;
    for (auto it = fs::directory_iterator("/proc/self/task", ec); !ec && it != fs::directory_iterator(); ++it) {
        std::string name;
        plat::ReadWholeFile(it->path().string() + "/comm", name);
        name = name.substr(0, name.find('\n'));
        if (name != "Thread (pooled)")
            names.insert(name);
    }
    return names;
}

// Every file below a folder, by its path relative to it.
std::set<std::string> FilesBelow(const std::string& folder)
{
    std::set<std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_directory())
            files.insert(fs::relative(it->path(), folder).string());
    }
    return files;
}

// The sample plate as the program writes it with every object on layer 3
// (pen 4): the sample's plotter units, the drawing's top edge (y 3200) on
// the origin, as the import placed it.
std::string PlateOnPenFour()
{
    std::string file = "Halvoren\r\nIN;\r\n";
    for (int pen = 1; pen <= 8; ++pen)
        file += "VS32," + std::to_string(pen) + ";\r\n";
    file += "WU0;\r\n";
    for (int pen = 1; pen <= 8; ++pen)
        file += "PW0.350," + std::to_string(pen) + ";\r\n";
    const std::vector<std::vector<std::pair<int, int>>> outlines = {
        {{0, 0}, {4800, 0}, {4800, 3200}, {0, 3200}, {0, 0}},
        {{600, 1200}, {1400, 1200}, {1400, 2000}, {600, 2000}, {600, 1200}},
        {{3400, 1200}, {4200, 1200}, {4200, 2000}, {3400, 2000}, {3400, 1200}},
        {{1600, 400}, {3200, 400}, {3200, 720}, {1600, 720}, {1600, 400}},
        {{2000, 2400}, {2800, 2400}, {2400, 2900}, {2000, 2400}}};
    for (const auto& outline : outlines) {
        file += "LT;\r\nSP4;\r\n";
        for (std::size_t k = 0; k < outline.size(); ++k)
            file += (k == 0 ? "PU" : "PD") + std::to_string(outline[k].first) + "," +
                    std::to_string(outline[k].second - 3200) + ";\r\n";
    }
    return file + "SP0;\r\n";
}

} // namespace

TEST(CloseAndQuit, CancelKeepsYesSavesHpglNoWritesNothingAndTheProgramEndsCleanly)
{
    plat::E2eProgram program;
    const std::string root = program.m_program.Root();
    const std::string saved = root + "saved/";
    fs::create_directories(saved);
    const std::string plate = BRENVIK_SOURCE_DIR "/samples/plate.plt";
    COrvelView::SetImportChooserForTesting([&](const std::string&, std::string& path, bool&) {
        path = plate;
        return true;
    });
    // The operator's answers, in the order the windows show.
    std::vector<QString> texts;
    plat::ModalWatch watch([&](QWidget& window, int index) {
        if (auto* box = qobject_cast<QMessageBox*>(&window)) {
            texts.push_back(box->text());
            const QMessageBox::StandardButton answers[] = {QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::No};
            box->button(answers[std::min<std::size_t>(texts.size() - 1, 2)])->click();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(&window)) {
            // The whole name, without extension, then Save. (Typed key by
            // key, it would race the name completer's popup for the Enter.)
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromStdString(saved + "plate"));
            QMetaObject::invokeMethod(dialog, "accept");
        } else {
            ADD_FAILURE() << "window " << index;
        }
    });
    QtPrompt prompt;
    plat::SetPrompt(&prompt);
    const std::multiset<std::string> threadsBefore = Threads();
    const std::int32_t savedLayer = g_settings.m_nCurLayer;
    const int status = program.Run({QStringLiteral("brenvik"), QString::fromStdString(plate)}, [&](COrvelApp& app) {
        CMainFrame& frame = *app.MainFrame();
        CommandRouter& router = frame.Router();
        // The page opened a connection to the network machine.
        ASSERT_NE(g_settings.m_pMachines, nullptr);
        EXPECT_NE(g_settings.m_pMachines->m_session, nullptr);
        EXPECT_EQ(g_settings.m_pMachines->m_online, 1);
        EXPECT_GT(Threads().size(), threadsBefore.size()); // its link's
        // Work files the program leaves about.
        program.m_program.Write("work/job.out", "job");
        fs::create_directories(root + "work/images");
        program.m_program.Write("work/images/0.bmp", "BM");
        program.m_program.Write("file/list.txt", "list");

        std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(frame);
        ASSERT_EQ(documents.size(), 1u);
        COrvelDoc* doc = documents[0]->Document();
        // Palette index 3: the plate moves to layer 3, pen 4.
        QTest::mouseClick(frame.PaletteBar(), Qt::LeftButton, {}, frame.PaletteBar()->CellRect(3).center());
        ASSERT_TRUE(doc->IsModified());

        router.Execute(cmd::FileClose);
        EXPECT_EQ(plat::E2eProgram::Documents(frame).size(), 1u);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_TRUE(FilesBelow(saved).empty());

        router.Execute(cmd::FileClose);
        ASSERT_TRUE(plat::WaitFor([&frame] { return plat::E2eProgram::Documents(frame).empty(); }));
        std::string bytes;
        EXPECT_TRUE(plat::ReadWholeFile(saved + "plate.plt", bytes));
        EXPECT_EQ(bytes, PlateOnPenFour());

        // A new document with the plate imported is left unsaved at the end.
        router.Execute(cmd::FileNew);
        router.Execute(cmd::FileImport);
        documents = plat::E2eProgram::Documents(frame);
        ASSERT_EQ(documents.size(), 1u);
        EXPECT_TRUE(documents[0]->Document()->IsModified());
    });
    plat::SetPrompt(&program.m_prompt.m_prompt);
    COrvelView::SetImportChooserForTesting(nullptr);
    g_settings.m_nCurLayer = savedLayer;
    EXPECT_EQ(status, 0);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("plate0.wcvr"))) << texts[0].toStdString();
    EXPECT_TRUE(texts[2].contains(QStringLiteral("temp1.wcvr"))) << texts[2].toStdString();
    EXPECT_EQ(watch.m_shown.size(), 4u);
    EXPECT_EQ(watch.m_leftOpen, 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(FilesBelow(saved), std::set<std::string>{"plate.plt"});
    EXPECT_EQ(FilesBelow(root + "work/"), std::set<std::string>{plat::kOwnFolderMarker});
    EXPECT_EQ(FilesBelow(root + "file/"), std::set<std::string>{plat::kOwnFolderMarker});
    EXPECT_EQ(g_settings.m_pMachines, nullptr);
    EXPECT_TRUE(plat::WaitFor([threadsBefore] { return Threads() == threadsBefore; }, 2000))
        << ::testing::PrintToString(Threads()) << " after, before " << ::testing::PrintToString(threadsBefore);
}
