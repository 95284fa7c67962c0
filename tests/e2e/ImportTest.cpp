// Drawings brought in: the one named on the command line opens in its own
// document, an import through the File menu adds to it as one undo step,
// and the import folder is remembered in the software settings.
#include "E2eProgram.h"
#include "qtplatform/CommandRouter.h"
#include "app/OrvelView.h"
#include "app/RecentFileList.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/Folders.h"
#include "settings/SoftwareSettings.h"

namespace {

int Objects(const DOCCONTEXT& ctx)
{
    int count = 0;
    for (const CDocData* data = ctx.m_pCurrent->m_pFirst; data != nullptr; data = data->m_pNext)
        ++count;
    return count;
}

} // namespace

TEST(Import, CommandLineDrawingOpensAndAnImportIsOneUndoStep)
{
    plat::E2eProgram program;
    const std::string samples = BRENVIK_SOURCE_DIR "/samples/";
    const std::string plate = samples + "plate.plt";
    std::vector<std::string> askedIn;
    COrvelView::SetImportChooserForTesting([&](const std::string& folder, std::string& path, bool&) {
        askedIn.push_back(folder);
        path = plate;
        return true;
    });
    const int status = program.Run({QStringLiteral("brenvik"), QString::fromStdString(plate)}, [&](COrvelApp& app) {
        ASSERT_NE(app.MainFrame(), nullptr);
        const std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(*app.MainFrame());
        ASSERT_EQ(documents.size(), 1u);
        COrvelDoc& doc = *documents[0]->Document();
        DOCCONTEXT& ctx = doc.Context();
        EXPECT_EQ(ctx.m_strTitle, QString::fromStdString(samples + "plate0.wcvr").toStdU16String());
        // The plate: its outline, two cut-outs, a slot and a triangle.
        ASSERT_EQ(Objects(ctx), 5);
        EXPECT_FALSE(doc.IsModified());

        CommandRouter& router = app.MainFrame()->Router();
        router.Execute(cmd::FileImport);
        EXPECT_EQ(Objects(ctx), 10);
        EXPECT_TRUE(doc.IsModified());
        router.Execute(cmd::EditUndo);
        EXPECT_EQ(Objects(ctx), 5);
        router.Execute(cmd::EditRedo);
        EXPECT_EQ(Objects(ctx), 10);
        // The second import starts in the folder of the first.
        router.Execute(cmd::FileImport);
        EXPECT_EQ(Objects(ctx), 15);
        router.Execute(cmd::EditUndo);
        router.Execute(cmd::EditUndo);
        EXPECT_EQ(Objects(ctx), 5);
        // Unsaved work at exit is not the point here.
        doc.SetModifiedFlag(false);
    });
    COrvelView::SetImportChooserForTesting(nullptr);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(askedIn.size(), 2u);
    EXPECT_EQ(askedIn[1], plat::FolderOf(plate));
}

// A file whose name is no UTF-8 (byte 0xFF) opens from the command line and
// is listed among the recent files by those bytes.
TEST(Import, AFileNamedWithByteFFOpensFromTheCommandLine)
{
    plat::E2eProgram program;
    const std::string name = program.m_program.Root() + "bad\xFF-name.dxf";
    program.m_program.Write("bad\xFF-name.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n0\n11\n1\n21\n0\n"
                                                "0\nENDSEC\n0\nEOF\n");
    const int status = program.Run(std::vector<std::string>{"brenvik", name}, [&](COrvelApp& app) {
        const std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(*app.MainFrame());
        ASSERT_EQ(documents.size(), 1u);
        EXPECT_EQ(Objects(documents[0]->Document()->Context()), 1);
        ASSERT_NE(app.RecentFiles(), nullptr);
        ASSERT_FALSE(app.RecentFiles()->Paths().empty());
        EXPECT_EQ(app.RecentFiles()->Paths().front(), name);
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(program.m_prompt.m_prompt.m_shown.empty());
    // The next run lists the same bytes.
    EXPECT_EQ(RecentFileList(QStringLiteral("Brenvik")).Paths().front(), name);
}

// A drawing reaching 1e300 is refused with its message when imported, and
// the program goes on with its document as it was.
TEST(Import, ADrawingBeyondTheWorldsReachIsRefusedAndTheProgramStaysUp)
{
    plat::E2eProgram program;
    program.ChooseFarDrawingForImport();
    const int status = program.Run({QStringLiteral("brenvik")}, [&](COrvelApp& app) {
        const std::vector<CChildFrame*> documents = plat::E2eProgram::Documents(*app.MainFrame());
        ASSERT_EQ(documents.size(), 1u);
        COrvelDoc& doc = *documents[0]->Document();
        app.MainFrame()->Router().Execute(cmd::FileImport);
        EXPECT_EQ(Objects(doc.Context()), 0);
        EXPECT_FALSE(doc.IsModified());
        ASSERT_EQ(program.m_prompt.m_prompt.m_shown.size(), 1u);
        EXPECT_EQ(program.m_prompt.m_prompt.m_shown[0].text,
                  u"The drawing was not imported: its coordinates are not numbers or reach beyond 100 km.");
        EXPECT_TRUE(app.MainFrame()->isVisible());
    });
    COrvelView::SetImportChooserForTesting(nullptr);
    EXPECT_EQ(status, 0);
}
