// Runs the application tests in one QApplication (offscreen, scale 1), with
// the runtime, data and config folders of XDG in scratch space: the program
// empties its work folder at exit and takes its lock in the runtime folder.
#include "AppTestMainSupport.h"

int main(int argc, char** argv)
{
    const std::string root = plat::MakeScratchXdgFolders("/tmp/brenvik-app-tests-XXXXXX");
    if (root.empty())
        return 2;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return plat::RunTestsInApplication(argc, argv, root);
}
