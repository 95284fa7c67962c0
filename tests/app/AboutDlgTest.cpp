// The About box takes its title and texts from "phase8:soft-version" and the
// table's first line, from the table's start when the marker is missing, and
// keeps its own texts when there is no table.
#include "AppTestSupport.h"
#include "app/AboutDlg.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <array>

namespace {

struct AboutTexts {
    QString title, version, second, ok;
};

// Loads the scratch program's language into a table, opens the box through
// the test seam and reads its texts.
AboutTexts ShowAbout()
{
    static std::array<std::u16string, kLanguageTableSize> table;
    table.fill(std::u16string());
    CReadParamFile().LoadLanguageFiles(table);
    SetLanguageTable(table);
    AboutTexts texts;
    CDialogBase::SetModalAnswerForTesting([&](CDialogBase& dialog) {
        auto& about = static_cast<CAboutDlg&>(dialog);
        texts = {about.windowTitle(), about.VersionLine()->text(), about.SecondLine()->text(),
                 about.OkButton()->text()};
        return plat::IDOK;
    });
    CAboutDlg about;
    EXPECT_EQ(about.DoModal(), plat::IDOK);
    CDialogBase::SetModalAnswerForTesting({});
    SetLanguageTable({});
    return texts;
}

} // namespace

TEST(AboutDlg, TakesItsTextsFromTheVersionSectionInBothLanguages)
{
    {
        plat::ScratchProgram program(plat::kEnglishFile);
        const AboutTexts t = ShowAbout();
        EXPECT_EQ(t.title, QStringLiteral("About Brenvik"));
        EXPECT_EQ(t.version, QStringLiteral("Brenvik laser cutting and engraving software"));
        EXPECT_EQ(t.second, QStringLiteral("Copyright (C) Halvoren"));
        EXPECT_EQ(t.ok, QStringLiteral("OK"));
    }
    {
        plat::ScratchProgram program(plat::kChineseFile);
        const AboutTexts t = ShowAbout();
        EXPECT_EQ(t.title, QStringLiteral("关于 Brenvik"));
        EXPECT_EQ(t.version, QStringLiteral("Brenvik 激光切割雕刻软件"));
        EXPECT_EQ(t.second, QStringLiteral("版权所有 (C) Halvoren"));
        EXPECT_EQ(t.ok, QStringLiteral("确定"));
    }
}

TEST(AboutDlg, WithoutItsMarkerReadsFromTheTablesStartAndWithoutATableKeepsItsOwnTexts)
{
    {
        plat::ScratchProgram program("");
        // "alpha", "beta", "gamma", "delta" and no section marker.
        program.Write("Language/0078.txt", "0061006c007000680061\r\n0062006500740061\r\n00670061006d006d0061\r\n"
                                           "00640065006c00740061\r\n");
        program.Write("Language/Language", "0078.txt\r\n");
        const AboutTexts t = ShowAbout();
        EXPECT_EQ(t.title, QStringLiteral("alpha"));
        EXPECT_EQ(t.version, QStringLiteral("alpha"));
        EXPECT_EQ(t.second, QStringLiteral("gamma"));
        EXPECT_EQ(t.ok, QStringLiteral("delta"));
    }
    {
        // The pointer names a file that is not there.
        plat::ScratchProgram program("");
        program.Write("Language/Language", "0079.txt\r\n");
        const AboutTexts t = ShowAbout();
        EXPECT_EQ(t.title, QStringLiteral("About Brenvik"));
        EXPECT_EQ(t.version, QStringLiteral("Brenvik laser cutting and engraving software"));
        EXPECT_EQ(t.ok, QStringLiteral("OK"));
    }
}

TEST(AboutDlg, RealModalRunEndsWithOk)
{
    plat::ScratchProgram program(plat::kEnglishFile);
    CAboutDlg about;
    QTimer::singleShot(0, [&] { about.OkButton()->click(); });
    EXPECT_EQ(about.DoModal(), plat::IDOK);
}
