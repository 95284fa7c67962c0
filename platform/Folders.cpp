#include "Folders.h"

#include <cstdlib>
#include <mutex>
#include <unistd.h>
#include <limits.h>
#include <pwd.h>

namespace plat {

namespace {
std::mutex g_folderMutex;
std::string g_programFolderOverride;
}

std::size_t LastSeparator(const std::string& path)
{
    return path.find_last_of('/');
}

std::string FolderOf(const std::string& path)
{
    const std::size_t pos = LastSeparator(path);
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string FileNameOf(const std::string& path)
{
    const std::size_t pos = LastSeparator(path);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string WithTrailingSeparator(const std::string& folder)
{
    if (folder.empty() || folder.back() == '/')
        return folder;
    return folder + '/';
}

void SetProgramFolderForTesting(const std::string& folder)
{
    std::lock_guard<std::mutex> lock(g_folderMutex);
    g_programFolderOverride = WithTrailingSeparator(folder);
}

std::string ProgramFolder()
{
    {
        std::lock_guard<std::mutex> lock(g_folderMutex);
        if (!g_programFolderOverride.empty())
            return g_programFolderOverride;
    }
    // The executable does not move while it runs: asked once.
    static const std::string folder = [] {
        char buf[PATH_MAX + 1];
        const ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
        if (n <= 0)
            return std::string("./");
        buf[n] = '\0';
        const std::string found = FolderOf(std::string(buf, static_cast<std::size_t>(n)));
        return found.empty() ? std::string("./") : found;
    }();
    return folder;
}

std::string AppDataFolder()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return WithTrailingSeparator(xdg);
    const char* home = std::getenv("HOME");
    std::string h;
    if (home != nullptr && home[0] == '/') {
        h = home;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        h = pw->pw_dir;
    } else {
        h = "/tmp";
    }
    return WithTrailingSeparator(h) + ".local/share/";
}

} // namespace plat
