// Runs the scenarios in one QApplication (offscreen, scale 1), with the
// runtime, data and config folders of XDG in scratch space, so that the lock,
// the work folder and the recent files are the run's own.
#include <QApplication>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

int main(int argc, char** argv)
{
    char pattern[] = "/tmp/brenvik-e2e-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made == nullptr)
        return 2;
    const std::string root = made;
    for (const char* sub : {"/run", "/data", "/config"})
        ::mkdir((root + sub).c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    // Offscreen, the screen is 1600 x 1000 pixels, where the frame is shown
    // maximised.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform == nullptr || std::string(platform) == "offscreen") {
        const std::string screen = root + "/screen.json";
        if (FILE* file = std::fopen(screen.c_str(), "w")) {
            std::fputs("{\"screens\": [{\"name\": \"e2e\", \"x\": 0, \"y\": 0, \"width\": 1600, "
                       "\"height\": 1000, \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1}]}\n",
                       file);
            std::fclose(file);
        }
        ::setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screen).c_str(), 1);
    }
    ::setenv("QT_SCALE_FACTOR", "1", 1);

    ::testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        QApplication application(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        QCoreApplication::setApplicationName(QStringLiteral("Brenvik"));
        result = RUN_ALL_TESTS();
    }
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return result;
}
