// A Qt application for benchmarks of widgets, on the offscreen platform
// unless another one is asked for.
#pragma once
#include <QApplication>
#include <cstdlib>

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
