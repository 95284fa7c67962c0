// The uninstallers remove their edition's items and nothing else: never
// through a link, never under a base that cannot be trusted, and they say
// exactly what stayed.
#include "uninstall/UninstallCore.h"
#include "uninstall/UninstallDlg.h"

#include <QApplication>
#include "LayoutCheck.h"
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

fs::path g_scratch;

void Touch(const fs::path& p)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
}

class Uninstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = g_scratch / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root);
        env.home = (root / "home").string();
        env.xdgDataHome = (root / "data").string();
        env.xdgConfigHome = (root / "config").string();
        env.programFolder = (root / "prog").string();
    }
    // The edition's items plus neighbours that must survive.
    void MakeLayout(const EditionData& ed)
    {
        const fs::path apps = root / "data/applications";
        Touch(apps / ed.name / "Brenvik.desktop");
        Touch(apps / ed.name / "sub/deeper/a b ü.desktop");
        Touch(apps / "Other/keep.desktop");
        Touch(root / "config/Halvoren" / (ed.name + ".conf"));
        Touch(root / "config/Halvoren" / ed.name / "sub.conf");
        Touch(root / "config/Halvoren/Brenvik.conf");
        Touch(root / "config/Halvoren/Tarnwell.conf.keep");
        for (const std::string& f : ed.files)
            Touch(root / "prog" / f);
        Touch(root / "prog/unlisted.txt");
    }
    void ExpectNeighboursKept()
    {
        EXPECT_TRUE(fs::exists(root / "data/applications/Other/keep.desktop"));
        EXPECT_TRUE(fs::exists(root / "config/Halvoren/Brenvik.conf"));
        EXPECT_TRUE(fs::exists(root / "config/Halvoren/Tarnwell.conf.keep"));
        EXPECT_TRUE(fs::exists(root / "prog/unlisted.txt"));
    }
    fs::path root;
    UninstallEnv env;
};

TEST_F(Uninstall, SettingsPathIsTheOneQtUsesForBothEditions)
{
    UninstallEnv procEnv = EnvironmentOfProcess();
    procEnv.programFolder = "/opt/x";
    for (const EditionData* ed : {&PendrixEdition(), &TarnwellEdition()}) {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Halvoren", QString::fromStdString(ed->name));
        EXPECT_EQ(ComputeBases(procEnv, *ed).settingsFile, s.fileName().toStdString());
    }
}

TEST_F(Uninstall, RemovesEveryItemOfTheEditionAndNothingElseTwice)
{
    for (const EditionData* ed : {&PendrixEdition(), &TarnwellEdition()}) {
        MakeLayout(*ed);
        const UninstallReport first = RunUninstall(ComputeBases(env, *ed), *ed);
        EXPECT_EQ(ReportText(first), "Uninstall is complete!");
        EXPECT_FALSE(fs::exists(root / "data/applications" / ed->name));
        EXPECT_FALSE(fs::exists(root / "config/Halvoren" / (ed->name + ".conf")));
        EXPECT_FALSE(fs::exists(root / "config/Halvoren" / ed->name));
        for (const std::string& f : ed->files)
            EXPECT_FALSE(fs::exists(root / "prog" / f)) << f;
        ExpectNeighboursKept();
        // Nothing left to remove is still a complete run.
        EXPECT_TRUE(RunUninstall(ComputeBases(env, *ed), *ed).Complete());
    }
}

TEST_F(Uninstall, ListedNameThatIsAFolderStaysAndIsReported)
{
    const EditionData& ed = TarnwellEdition();
    MakeLayout(ed);
    fs::remove(root / "prog/Kelvra.fas");
    Touch(root / "prog/Kelvra.fas/inside.txt");
    const UninstallReport report = RunUninstall(ComputeBases(env, ed), ed);
    EXPECT_EQ(ReportText(report),
              "Uninstall is incomplete! Not removed:\n" + (root / "prog/Kelvra.fas").string());
    EXPECT_TRUE(fs::exists(root / "prog/Kelvra.fas/inside.txt"));
    int gone = 0;
    for (const std::string& f : ed.files)
        gone += !fs::exists(root / "prog" / f);
    EXPECT_EQ(gone, 9);
}

TEST_F(Uninstall, LinksAreRemovedAsLinksNeverFollowed)
{
    const EditionData& ed = PendrixEdition();
    Touch(root / "outside/precious.txt");
    fs::create_directories(root / "data/applications");
    fs::create_directory_symlink(root / "outside", root / "data/applications/Pendrix");
    EXPECT_TRUE(RunUninstall(ComputeBases(env, ed), ed).Complete());
    EXPECT_FALSE(fs::exists(fs::symlink_status(root / "data/applications/Pendrix")));
    EXPECT_TRUE(fs::exists(root / "outside/precious.txt"));

    Touch(root / "data/applications/Pendrix/own.desktop");
    fs::create_directory_symlink(root / "outside", root / "data/applications/Pendrix/out");
    fs::create_directory_symlink(root / "data/applications/Pendrix", root / "data/applications/Pendrix/loop");
    EXPECT_TRUE(RunUninstall(ComputeBases(env, ed), ed).Complete());
    EXPECT_FALSE(fs::exists(fs::symlink_status(root / "data/applications/Pendrix")));
    EXPECT_TRUE(fs::exists(root / "outside/precious.txt"));
}

TEST_F(Uninstall, UntrustedBasesDeleteNothing)
{
    const EditionData& ed = PendrixEdition();
    MakeLayout(ed);
    UninstallEnv relData = env, relConfig = env, rootHome = env;
    relData.xdgDataHome = "data";
    relConfig.xdgConfigHome = "config";
    rootHome.home = "/";
    rootHome.xdgDataHome.clear();
    rootHome.xdgConfigHome.clear();
    for (const UninstallEnv* e : {&relData, &relConfig, &rootHome}) {
        const UninstallReport report = RunUninstall(ComputeBases(*e, ed), ed);
        EXPECT_TRUE(report.refused);
        const std::string text = ReportText(report);
        EXPECT_EQ(text.rfind("Failed,Software installation path error!\n", 0), 0u) << text;
    }
    EXPECT_EQ(ComputeBases(rootHome, ed).refused.size(), 2u);
    EXPECT_TRUE(fs::exists(root / "data/applications/Pendrix/Brenvik.desktop"));
    EXPECT_TRUE(fs::exists(root / "prog/Kelvra.GMS"));
}

TEST_F(Uninstall, DeepTreeOfTenThousandFilesGoesDeepestFirst)
{
    const EditionData& ed = PendrixEdition();
    fs::path dir = root / "data/applications/Pendrix";
    fs::create_directories(dir);
    for (int i = 0; i < 9000; ++i)
        std::ofstream(dir / ("f" + std::to_string(i))) << "x";
    for (int depth = 0; depth < 1000; ++depth) {
        dir /= "d";
        fs::create_directory(dir);
        std::ofstream(dir / "f") << "x";
    }
    EXPECT_TRUE(RunUninstall(ComputeBases(env, ed), ed).Complete());
    EXPECT_FALSE(fs::exists(root / "data/applications/Pendrix"));
}

TEST_F(Uninstall, DialogCarriesEditionIdsAndAnswersThroughTheBox)
{
    CUninstallDlg pendrix(PendrixEdition(), env);
    EXPECT_EQ(CUninstallDlg::ControlId(pendrix.UninstallButton()), 1001);
    EXPECT_EQ(CUninstallDlg::ControlId(pendrix.CancelButton()), 1002);
    CUninstallDlg tarnwell(TarnwellEdition(), env);
    EXPECT_EQ(CUninstallDlg::ControlId(tarnwell.UninstallButton()), 1000);
    EXPECT_EQ(CUninstallDlg::ControlId(tarnwell.CancelButton()), 1001);
    EXPECT_EQ(pendrix.windowTitle(), QString::fromUtf8("卸载/Uninstall"));

    // Cancel deletes nothing.
    MakeLayout(PendrixEdition());
    pendrix.show();
    pendrix.CancelButton()->click();
    EXPECT_EQ(pendrix.result(), QDialog::Rejected);
    EXPECT_TRUE(fs::exists(root / "prog/Kelvra.GMS"));

    // About, and an incomplete run, answered through the real boxes.
    QStringList seen;
    auto answer = [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen << box->windowTitle() + "|" + box->text();
            box->buttons().first()->click();
        }
    };
    QTimer::singleShot(50, answer);
    pendrix.OnAbout();
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0], QString::fromUtf8("关于 UninstallPendrix|UninstallPendrix 1.0 版"));

    fs::remove(root / "prog/Kelvra.GMS");
    Touch(root / "prog/Kelvra.GMS/x");
    pendrix.show();
    QTimer::singleShot(50, answer);
    pendrix.UninstallButton()->click();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[1].contains("Uninstall is incomplete! Not removed:"));
    EXPECT_TRUE(pendrix.isVisible());

    // Through the seam: a complete run closes the dialog with OK.
    fs::remove_all(root / "prog/Kelvra.GMS");
    QString said;
    CUninstallDlg::SetMessageFunction([&](QWidget*, const QString& text) { said = text; });
    pendrix.UninstallButton()->click();
    CUninstallDlg::SetMessageFunction(nullptr);
    EXPECT_EQ(said, "Uninstall is complete!");
    EXPECT_EQ(pendrix.result(), QDialog::Accepted);
    EXPECT_FALSE(pendrix.isVisible());
}

} // namespace

// At 9 and 12 point no two widgets of either edition's dialog overlap and
// no button cuts its text.
TEST_F(Uninstall, DialogFitsItsTextsAtNineAndTwelvePoint)
{
    const QFont saved = QApplication::font();
    for (int points : {9, 12}) {
        QFont font = saved;
        font.setPointSize(points);
        QApplication::setFont(font);
        for (const EditionData* ed : {&PendrixEdition(), &TarnwellEdition()}) {
            CUninstallDlg d(*ed, env);
            d.show();
            QCoreApplication::processEvents();
            EXPECT_EQ(plat::LayoutFaults(&d), std::vector<std::string>()) << points << " pt";
        }
    }
    QApplication::setFont(saved);
}

int main(int argc, char** argv)
{
    // QSettings keeps the first settings folder it sees: the scratch folders
    // must be in place before the application exists.
    g_scratch = fs::temp_directory_path() / ("brenvik-uninstall-" + std::to_string(::getpid()));
    fs::create_directories(g_scratch);
    // Tests run on the offscreen platform, also when listed at build time.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("HOME", (g_scratch / "home").c_str(), 1);
    setenv("XDG_DATA_HOME", (g_scratch / "xdgdata").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (g_scratch / "xdgconfig").c_str(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    fs::remove_all(g_scratch);
    return rc;
}
