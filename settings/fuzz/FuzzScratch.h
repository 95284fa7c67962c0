// A scratch program folder for the fuzz targets: the program folder points
// at a fresh temporary folder whose workPath.txt names a work folder inside
// it, so nothing outside is read or written.
#pragma once
#include "platform/Folders.h"
#include "platform/TextFile.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

inline const std::string& FuzzScratchFolder()
{
    static const std::string folder = [] {
        char pattern[] = "/tmp/brenvik-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr)
            std::abort();
        const std::string root = std::string(made) + "/";
        ::mkdir((root + "work").c_str(), 0700);
        ::mkdir((root + "Language").c_str(), 0700);
        plat::SetFlushToDiskForTesting(false); // thousands of files a second, none kept
        plat::WriteWholeFile(root + "workPath.txt", root + "work/\r\n");
        plat::SetProgramFolderForTesting(root);
        // Kept on the heap: the handler runs after static destructors.
        static const std::string* kept = new std::string(root);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(*kept, ec);
        });
        return root;
    }();
    return folder;
}
