// A Qt application for benchmarks of widgets, on the offscreen platform
// unless another one is asked for.
#pragma once
#include <QApplication>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

inline QApplication& EnsureQtApplication()
{
    static int argc = 1;
    static char name[] = "brenvik_bench";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// The data, config and runtime folders in scratch space, once: the main
// frame writes its parameter files and empties its work folder.
inline void UseScratchFolders()
{
    static const bool done = [] {
        char pattern[] = "/tmp/brenvik-bench-XXXXXX";
        const std::string root = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";
        for (const char* sub : {"/run", "/data", "/config"})
            ::mkdir((root + sub).c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        return true;
    }();
    (void)done;
}
