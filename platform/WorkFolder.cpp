#include "WorkFolder.h"

#include "CodePage.h"
#include "Folders.h"
#include "TextFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace plat {

namespace {

constexpr std::string_view kWork = "work";
constexpr std::string_view kFile = "file";
constexpr std::size_t kTechNameMaxBytes = 200;
constexpr int kMaxFolderDepth = 64;

// Bounds of the final component: [start, end), with trailing separators
// after `end`.
struct LastPart {
    std::size_t start;
    std::size_t end;
};

LastPart FindLastPart(std::string_view path, char sep)
{
    std::size_t end = path.size();
    while (end > 0 && path[end - 1] == sep)
        --end;
    std::size_t start = end;
    while (start > 0 && path[start - 1] != sep)
        --start;
    return {start, end};
}

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return std::string();
}

// Canonical form of an existing path; empty when it cannot be resolved.
std::string Canonical(const std::string& path)
{
    if (path.empty())
        return std::string();
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf) == nullptr)
        return std::string();
    return buf;
}

// True when `path` is `folder` or lies below it (both canonical).
bool IsSameOrInside(const std::string& path, const std::string& folder)
{
    if (path.empty() || folder.empty())
        return false;
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              (folder.back() == '/' || path[folder.size()] == '/'));
}

std::string WithoutTrailingSeparators(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Empties the folder open at `fd`: files and links are unlinked, subfolders
// emptied and kept, and so is an entry named `keep` of this folder itself.
// Never follows a link. `hasFolders` tells whether subfolders remain.
bool EmptyOpenFolder(int fd, int depth, const char* keep, bool& hasFolders)
{
    const int listFd = ::dup(fd);
    if (listFd < 0)
        return false;
    DIR* dir = ::fdopendir(listFd);
    if (dir == nullptr) {
        ::close(listFd);
        return false;
    }
    // Collect first: removing entries while reading the listing may skip some.
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view n(e->d_name);
        if (n != "." && n != ".." && (keep == nullptr || n != keep))
            names.emplace_back(n);
    }
    ::closedir(dir);

    bool ok = true;
    hasFolders = false;
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            hasFolders = true;
            if (depth >= kMaxFolderDepth) {
                ok = false;
                continue;
            }
            const int sub = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                ok = false;
                continue;
            }
            bool inner = false;
            ok = EmptyOpenFolder(sub, depth + 1, nullptr, inner) && ok;
            ::close(sub);
        } else if (::unlinkat(fd, name.c_str(), 0) != 0) {
            ok = false;
        }
    }
    return ok;
}

// Makes one folder, open to others for reading only whatever the umask, so
// that a folder the program makes passes the test of HasMarker; true when
// this call made it.
bool MakeFolder(const std::string& path)
{
    constexpr mode_t kFolderMode = 0755;
    if (::mkdir(path.c_str(), kFolderMode) != 0)
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        ::fchmod(fd, kFolderMode);
        ::close(fd);
    }
    return true;
}

// Creates every missing parent of `path` (no trailing separator).
void MakeParents(const std::string& path)
{
    for (std::size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
        const std::string parent = path.substr(0, pos);
        if (!parent.empty() && parent.back() != '/')
            MakeFolder(parent);
    }
}

bool IsFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteMarker(int folderFd)
{
    const int fd = ::openat(folderFd, kOwnFolderMarker, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    static constexpr std::string_view kText = "Brenvik empties this folder when it ends.\n";
    const bool ok = ::write(fd, kText.data(), kText.size()) == static_cast<ssize_t>(kText.size());
    return ::close(fd) == 0 && ok;
}

// The folder open at `folderFd` is the program's own: the folder and its
// marker (a regular file) belong to the user the program runs as, and no one
// else may change what the folder holds (a folder writable by group or
// others counts only when it is sticky, so that others cannot remove or
// replace what is not theirs). A marker planted by someone else, or in
// someone else's folder, is not honoured.
bool HasMarker(int folderFd)
{
    const uid_t me = ::geteuid();
    struct stat folder {};
    if (::fstat(folderFd, &folder) != 0 || folder.st_uid != me)
        return false;
    if ((folder.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (folder.st_mode & S_ISVTX) == 0)
        return false;
    struct stat marker {};
    return ::fstatat(folderFd, kOwnFolderMarker, &marker, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(marker.st_mode) &&
           marker.st_uid == me;
}

// Says once per folder that a folder the program did not make is kept.
void ReportKeptFolder(const std::string& folder)
{
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> lock(mutex);
    if (reported.insert(folder).second)
        std::fprintf(stderr, "Brenvik: %s was not created by the program; its files are kept.\n", folder.c_str());
}

} // namespace

std::string DefaultWorkFolder()
{
    return AppDataFolder() + "Halvoren/Brenvik/work/";
}

std::string WorkFolderFromLine(const std::string& line)
{
    // A NUL byte would cut the path short where the system takes it.
    if (line.empty() || line[0] != '/' || line.find('\0') != std::string::npos)
        return DefaultWorkFolder();
    return WithTrailingSeparator(line);
}

std::string WorkFolder()
{
    std::vector<std::string> lines;
    if (!ReadTextLines(ProgramFolder() + kWorkPathFile, lines) || lines.empty())
        return DefaultWorkFolder();
    return WorkFolderFromLine(lines.front());
}

std::string ParamFolderOf(std::string_view workFolder, char sep)
{
    std::string path;
    path.reserve(workFolder.size());
    for (char c : workFolder) {
        if (c == sep && !path.empty() && path.back() == sep)
            continue;
        path += c;
    }
    const LastPart last = FindLastPart(path, sep);
    if (std::string_view(path).substr(last.start, last.end - last.start) == kWork)
        path.erase(last.start);
    return path;
}

std::string FileFolderOf(std::string_view workFolder, char sep)
{
    std::string path(workFolder);
    const LastPart last = FindLastPart(path, sep);
    if (std::string_view(path).substr(last.start, last.end - last.start) == kWork)
        path.replace(last.start, kWork.size(), kFile);
    return path;
}

std::string ParamFolder()
{
    return ParamFolderOf(WorkFolder());
}

std::string FileFolder()
{
    return FileFolderOf(WorkFolder());
}

std::string LastComponent(std::string_view folder, char sep)
{
    const LastPart last = FindLastPart(folder, sep);
    return std::string(folder.substr(last.start, last.end - last.start));
}

std::string TechFileName(std::u16string_view machineName)
{
    std::string name = Utf16ToUtf8(machineName);
    for (char& c : name) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || b < 0x20 || b == 0x7F)
            c = '_';
    }
    if (name.size() > kTechNameMaxBytes) {
        std::size_t cut = kTechNameMaxBytes;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    return "Tech" + name + ".par";
}

std::string TechFileNameFromCodePage(std::string_view machineName)
{
    return TechFileName(CodePageToWide(machineName));
}

std::string TechFilePath(std::u16string_view machineName)
{
    return ParamFolder() + TechFileName(machineName);
}

bool CreateFolderPath(const std::string& folder)
{
    if (folder.empty())
        return false;
    const std::string path = WithoutTrailingSeparators(folder);
    MakeParents(path);
    MakeFolder(path);
    return IsFolder(path);
}

bool CreateOwnFolder(const std::string& folder)
{
    if (folder.empty())
        return false;
    const std::string path = WithoutTrailingSeparators(folder);
    MakeParents(path);
    if (MakeFolder(path)) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            WriteMarker(fd);
            ::close(fd);
        }
    }
    return IsFolder(path);
}

bool DeleteFolderFiles(const std::string& folder, const std::string& protectedFolder)
{
    if (folder.empty())
        return false;
    const bool removeSelf = folder.back() != '/';
    const std::string path = WithoutTrailingSeparators(folder);
    const std::string last = LastComponent(path);
    if (path == "/" || (last != kWork && last != kFile))
        return false;

    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT; // nothing there, nothing to delete
    if (!S_ISDIR(st.st_mode))
        return false; // a link or a file in place of the folder

    const std::string canonical = Canonical(path);
    if (canonical.empty() || canonical == "/")
        return false;
    // Neither the home folder nor the parameter folder may be emptied, nor
    // lie anywhere below the folder (home folders kept under /work/<user>).
    if (IsSameOrInside(Canonical(HomeFolder()), canonical))
        return false;
    if (IsSameOrInside(Canonical(WithoutTrailingSeparators(protectedFolder)), canonical))
        return false;

    // Where the path really leads, with no link left to swap on the way.
    const int fd = ::open(canonical.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (!HasMarker(fd)) {
        ::close(fd);
        ReportKeptFolder(canonical);
        return false;
    }
    bool hasFolders = false;
    bool ok = EmptyOpenFolder(fd, 0, kOwnFolderMarker, hasFolders);
    if (removeSelf) {
        // Subfolders stay, and so does the folder that holds them, marked.
        if (ok && !hasFolders && ::unlinkat(fd, kOwnFolderMarker, 0) == 0 && ::rmdir(canonical.c_str()) == 0) {
            ::close(fd);
            return true;
        }
        if (!HasMarker(fd))
            WriteMarker(fd);
        ok = false;
    }
    ::close(fd);
    return ok;
}

} // namespace plat
