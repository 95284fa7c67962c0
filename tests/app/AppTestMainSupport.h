// What the Qt test programs' mains share: scratch XDG folders, so the lock,
// the work folder and the recent files are the run's own, and one
// QApplication for every test.
#pragma once

#include <QApplication>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace plat {

// The runtime, data and config folders of XDG made below a fresh folder
// named after the pattern (ending in XXXXXX); that folder, or "" if none
// could be made.
inline std::string MakeScratchXdgFolders(const std::string& pattern)
{
    std::string name = pattern;
    if (::mkdtemp(name.data()) == nullptr)
        return std::string();
    for (const char* sub : {"/run", "/data", "/config"})
        ::mkdir((name + sub).c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", (name + "/run").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (name + "/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (name + "/config").c_str(), 1);
    return name;
}

// Runs every test in one QApplication set up as the program's main sets it
// (numbers the C way, the program's name), then removes the scratch folder.
inline int RunTestsInApplication(int argc, char** argv, const std::string& scratch)
{
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
    std::filesystem::remove_all(scratch, ec);
    return result;
}

} // namespace plat
