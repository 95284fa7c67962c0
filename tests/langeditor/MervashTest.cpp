// Mervash edits the language files the way the main program reads them: row
// k is line k of every file, empty strings included, and saving never
// loses a language or half-writes a file.
#include "langeditor/ControlId.h"
#include "langeditor/MervashDlg.h"
#include "platform/Folders.h"
#include "platform/TextFile.h"
#include "settings/HexUtf16Text.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"

#include <QApplication>
#include "LayoutCheck.h"
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QKeyEvent>
#include <QTableWidget>
#include <QTimer>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string g_shippedLanguages;

void Write(const fs::path& p, const std::string& bytes)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string Read(const fs::path& p)
{
    std::string s;
    return plat::ReadWholeFile(p.string(), s) ? s : std::string("<missing>");
}

std::string Hex(std::u16string_view s) { return HexUtf16Text(s); }

class Mervash : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("mervash-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string Folder() const { return folder.string() + "/"; }
    // Three languages A, B, C with rows: name, marker, x1, x2.
    void MakeThree()
    {
        for (const char16_t* n : {u"A", u"B", u"C"}) {
            const std::u16string name(n);
            Write(folder / (Hex(name) + ".txt"),
                  Hex(u"phase1:main") + "\r\n" + Hex(name + u"1") + "\r\n" + Hex(name + u"2") + "\r\n");
        }
    }
    QString Cell(const CMervashDlg& d, int r, int c) const
    {
        const QTableWidgetItem* it = d.Grid()->item(r, c);
        return it ? it->text() : QString("<none>");
    }
    CMervashDlg::Seams Answering(QString text, int column = 0, QStringList* messages = nullptr)
    {
        CMervashDlg::Seams s;
        s.editStrings = [text](QWidget*, QString& t) { t = text; return true; };
        s.askColumn = [text, column](QWidget*, bool, QString& content, int& col) { content = text; col = column; return true; };
        s.askName = [text](QWidget*, QString& name) { name = text; return true; };
        s.message = [messages](QWidget*, const QString& m) { if (messages) *messages << m; };
        return s;
    }
    fs::path folder;
};

TEST_F(Mervash, ReadsNamesLinesMarkersAndNumbersAsTheMainProgram)
{
    Write(folder / "4e2d6587.txt",
          "00410042\r\n0041004\r\n" + Hex(u"phase2:x") + "\r\n\r\n" + Hex(u"q") + "\n");
    Write(folder / "Language", "4e2d6587.txt\r\n");
    Write(folder / "sub.txt/inner", "x");
    CMervashDlg d(Folder());
    ASSERT_EQ(d.Grid()->columnCount(), 2);
    EXPECT_EQ(d.Grid()->horizontalHeaderItem(0)->text(), QString::fromUtf8("序号"));
    EXPECT_EQ(d.Grid()->horizontalHeaderItem(1)->text(), "4e2d6587.txt");
    const QString expected[6][2] = {{"", QString::fromUtf8("中文")}, {"0", "AB"}, {"1", QString("A") + QChar(4)},
                                    {"----->", "phase2:x"},           {"0", ""},  {"1", "q"}};
    ASSERT_EQ(d.Grid()->rowCount(), 6);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(Cell(d, r, c), expected[r][c]) << r << "," << c;
}

TEST_F(Mervash, RowAndColumnCommandsMoveOnlyWhatTheySay)
{
    MakeThree();
    CMervashDlg d(Folder());
    d.SetSeams(Answering(""));
    d.OnCommand(ID_STR_ADD); // empty line: placeholder everywhere
    d.SelectRow(2);
    d.SetSeams(Answering("iA\r\niB\n"));
    d.OnCommand(ID_STR_INSERT); // C gets the empty remainder: placeholder
    d.SelectRow(3);
    d.SetSeams(Answering("eA\n\neC\n\n"));
    d.OnCommand(ID_STR_EDIT); // B's line is empty and stays so
    const auto& L = d.Files().Languages();
    EXPECT_EQ(L[0].strings, (std::vector<std::u16string>{u"A", u"phase1:main", u"iA", u"eA", u"A2", u"--.."}));
    EXPECT_EQ(L[1].strings, (std::vector<std::u16string>{u"B", u"phase1:main", u"iB", u"", u"B2", u"--.."}));
    EXPECT_EQ(L[2].strings, (std::vector<std::u16string>{u"C", u"phase1:main", u"--..", u"eC", u"C2", u"--.."}));

    d.SelectRow(2);
    d.SetSeams(Answering("ins", 3));
    d.OnCommand(ID_COLUMN_INSERT); // language 2 of 3 only
    EXPECT_EQ(L[1].strings, (std::vector<std::u16string>{u"B", u"phase1:main", u"ins", u"iB", u"", u"B2", u"--.."}));
    EXPECT_EQ(L[0].strings.size(), 6u);
    d.SetSeams(Answering("", 5));
    d.OnCommand(ID_COLUMN_INSERT); // past the last language: nothing
    d.SetSeams(Answering("", 2));
    d.SelectRow(2);
    d.OnCommand(ID_COLUMN_DELETE);
    EXPECT_EQ(L[0].strings[2], u"eA");
    d.SetSeams(Answering("D"));
    d.OnCommand(IDC_NEW_LANGUAGE); // markers kept, the rest placeholders
    ASSERT_EQ(L.size(), 4u);
    EXPECT_EQ(L[3].strings, (std::vector<std::u16string>{u"D", u"phase1:main", u"--..", u"--..", u"--.."}));
    d.SelectRow(1);
    d.OnCommand(ID_STR_DELETE);
    EXPECT_EQ(L[2].strings, (std::vector<std::u16string>{u"C", u"--..", u"eC", u"C2", u"--.."}));
    d.SelectRow(0);
    d.OnCommand(ID_STR_DELETE); // the names row stays
    EXPECT_EQ(L[3].strings.size(), 4u);
    d.SetSeams(Answering("B"));
    d.OnCommand(IDC_DELETE_LANGUAGE);
    EXPECT_EQ(L.size(), 3u);
    EXPECT_EQ(d.Grid()->columnCount(), 4);
    EXPECT_EQ(d.Grid()->horizontalHeaderItem(3)->text(), "0044.txt");
}

TEST_F(Mervash, SearchFindsNextWrapsAndReportsMisses)
{
    QStringList said;
    {
        CMervashDlg empty(Folder());
        empty.SetSeams(Answering("", 0, &said));
        empty.OnCommand(IDC_SEARCH);
    }
    MakeThree();
    CMervashDlg d(Folder());
    d.SetSeams(Answering("", 0, &said));
    d.OnCommand(IDC_SEARCH);
    d.SearchEdit()->setText("A");
    d.OnCommand(IDC_SEARCH);
    EXPECT_EQ(d.SelectedRow(), 0);
    d.OnCommand(IDC_SEARCH);
    EXPECT_EQ(d.SelectedRow(), 2);
    d.OnCommand(IDC_SEARCH);
    d.OnCommand(IDC_SEARCH);
    EXPECT_EQ(d.SelectedRow(), 0); // wrapped
    d.SearchEdit()->setText("x");
    d.OnCommand(IDC_SEARCH);
    EXPECT_EQ(said, (QStringList{QString::fromUtf8("列表里无内容可查，请先导入或者新增!"),
                                 QString::fromUtf8("请输入查找内容!"), QString::fromUtf8("没有找到“x”！")}));
}

TEST_F(Mervash, SaveRenamesKeepsEmptyRowsAndRefusesWhatWouldBeLost)
{
    MakeThree();
    const std::string oldA = Read(folder / "0041.txt");
    QStringList said;
    CMervashDlg d(Folder());
    d.SelectRow(3);
    d.SetSeams(Answering("\nX\n", 0, &said));
    d.OnCommand(ID_STR_EDIT); // A's row 3 becomes empty
    d.SelectRow(0);
    d.SetSeams(Answering("N\nB\nC", 0, &said));
    d.OnCommand(ID_STR_EDIT); // renames A to N
    d.OnCommand(IDC_SAVE);
    EXPECT_TRUE(said.isEmpty()) << said.join("|").toStdString();
    EXPECT_EQ(Read(folder / "0041.txt"), oldA); // the old name's file stays
    EXPECT_EQ(Read(folder / "004e.txt"), Hex(u"phase1:main") + "\r\n" + Hex(u"A1") + "\r\n\r\n");

    // The saved empty string keeps every later row for the main program.
    plat::SetProgramFolderForTesting(folder.string() + "/prog/");
    fs::create_directories(folder / "prog/Language");
    fs::copy_file(folder / "004e.txt", folder / "prog/Language/004e.txt");
    Write(folder / "prog/Language/Language", "004e.txt\r\n");
    std::array<std::u16string, kLanguageTableSize> table{};
    EXPECT_EQ(CReadParamFile().LoadLanguageFiles(table), 3);
    plat::SetProgramFolderForTesting("");
    EXPECT_EQ(table[1], u"A1");
    EXPECT_EQ(table[2], u"");

    // A folder where a file must go is named; two languages of one name
    // write nothing.
    fs::create_directory(folder / "0050.txt");
    d.SelectRow(0);
    d.SetSeams(Answering("P\nB\nC", 0, &said));
    d.OnCommand(ID_STR_EDIT);
    d.OnCommand(IDC_SAVE);
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0].endsWith("\n" + QString::fromStdString(Folder() + "0050.txt")));
    const std::string savedB = Read(folder / "0042.txt");
    d.SelectRow(0);
    d.SetSeams(Answering("B\nB\nC", 0, &said));
    d.OnCommand(ID_STR_EDIT);
    d.OnCommand(ID_STR_ADD); // would change B's file if written
    d.OnCommand(IDC_SAVE);
    ASSERT_EQ(said.size(), 2);
    EXPECT_TRUE(said[1].endsWith("\nB"));
    EXPECT_EQ(Read(folder / "0042.txt"), savedB);
}

TEST_F(Mervash, ShippedLanguageFilesRoundTripByteForByte)
{
    for (const std::string& name : ListLanguageFiles(g_shippedLanguages))
        fs::copy_file(g_shippedLanguages + name, folder / name);
    ASSERT_EQ(ListLanguageFiles(Folder()).size(), 2u);
    std::vector<std::string> before;
    for (const std::string& name : ListLanguageFiles(Folder()))
        before.push_back(Read(folder / name));
    CMervashDlg d(Folder());
    d.OnCommand(IDC_SAVE);
    int i = 0;
    for (const std::string& name : ListLanguageFiles(Folder()))
        EXPECT_EQ(Read(folder / name), before[static_cast<std::size_t>(i++)]) << name;
}

TEST_F(Mervash, StringEditorThroughTheRealDialog)
{
    MakeThree();
    CMervashDlg d(Folder());
    d.SelectRow(2);
    QTimer::singleShot(50, [] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_NE(w, nullptr);
        auto* edit = FindControl<QPlainTextEdit>(w, 1015);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->toPlainText(), "A1\nB1\nC1\n");
        edit->setPlainText("a\r\nb\nc");
        FindControl<QPushButton>(w, 1016)->click();
    });
    d.OnCommand(ID_STR_EDIT);
    EXPECT_EQ(d.Files().Languages()[1].strings[2], u"b");
    EXPECT_EQ(Cell(d, 2, 3), "c");
}

} // namespace

// At 9 and 12 point, with the shipped files open, no two widgets of the
// editor overlap and no button or box cuts its text.
TEST_F(Mervash, LayoutFitsItsTextsAtNineAndTwelvePoint)
{
    for (const char* file : {"0045006e0067006c006900730068.txt", "4e2d6587002d7b804f53.txt"})
        fs::copy_file(fs::path(BRENVIK_SOURCE_DIR) / "Language" / file, folder / file);
    const QFont saved = QApplication::font();
    for (int points : {9, 12}) {
        QFont font = saved;
        font.setPointSize(points);
        QApplication::setFont(font);
        CMervashDlg d(Folder());
        d.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(plat::LayoutFaults(&d), std::vector<std::string>()) << points << " pt";
    }
    QApplication::setFont(saved);
}

// Mervash closes only through Escape or the close box: without edits it
// closes at once; with edits it asks, and Cancel keeps it open, Save writes
// the files and closes, Discard closes and leaves the files as they were.
// Edits taken back are no edits.
TEST_F(Mervash, EscapeOrTheCloseBoxWithUnsavedEditsAsks)
{
    MakeThree();
    const std::string oldA = Read(folder / "0041.txt");
    std::vector<CMervashDlg::CloseAnswer> answers;
    int asked = 0;
    CMervashDlg d(Folder());
    CMervashDlg::Seams seams = Answering("x\ny\nz");
    seams.askSave = [&](QWidget*) { return answers.at(static_cast<std::size_t>(asked++)); };
    d.SetSeams(seams);
    const auto escape = [&] {
        d.show();
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&d, &key);
        return d.isVisible();
    };
    EXPECT_FALSE(escape());
    EXPECT_EQ(asked, 0);

    d.OnCommand(ID_STR_ADD);
    d.SelectRow(4);
    d.OnCommand(ID_STR_DELETE);
    EXPECT_FALSE(d.HasUnsavedEdits()) << "added and deleted again";
    EXPECT_FALSE(escape());
    EXPECT_EQ(asked, 0);

    d.OnCommand(ID_STR_ADD);
    answers = {CMervashDlg::CloseAnswer::Cancel, CMervashDlg::CloseAnswer::Discard};
    EXPECT_TRUE(escape());
    EXPECT_EQ(asked, 1);
    d.close();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(Read(folder / "0041.txt"), oldA);

    CMervashDlg again(Folder());
    again.SetSeams(seams);
    again.OnCommand(ID_STR_ADD);
    asked = 0;
    answers = {CMervashDlg::CloseAnswer::Save};
    again.show();
    again.close();
    EXPECT_FALSE(again.isVisible());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Read(folder / "0041.txt"), oldA + Hex(u"x") + "\r\n");
    EXPECT_FALSE(again.HasUnsavedEdits());
}

int main(int argc, char** argv)
{
    // Tests run on the offscreen platform, also when listed at build time.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    g_shippedLanguages = LanguageFolder();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
