// Runs the scenarios in one QApplication (offscreen, scale 1), with the
// runtime, data and config folders of XDG in scratch space, so that the lock,
// the work folder and the recent files are the run's own.
#include "AppTestMainSupport.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const std::string root = plat::MakeScratchXdgFolders("/tmp/brenvik-e2e-XXXXXX");
    if (root.empty())
        return 2;
    // Offscreen, the screen is 1600 x 1000 pixels, where the frame is shown
    // maximised; BRENVIK_E2E_DPR gives it another device pixel ratio.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform == nullptr || std::string(platform) == "offscreen") {
        const std::string screen = root + "/screen.json";
        const char* dpr = std::getenv("BRENVIK_E2E_DPR");
        const int ratio = dpr != nullptr && std::atoi(dpr) > 1 ? std::atoi(dpr) : 1;
        if (FILE* file = std::fopen(screen.c_str(), "w")) {
            std::fprintf(file,
                         "{\"screens\": [{\"name\": \"e2e\", \"x\": 0, \"y\": 0, \"width\": 1600, "
                         "\"height\": 1000, \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": %d}]}\n",
                         ratio);
            std::fclose(file);
        }
        ::setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screen).c_str(), 1);
    }
    return plat::RunTestsInApplication(argc, argv, root);
}
