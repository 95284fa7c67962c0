#include "TextFile.h"

#include "Folders.h"
#include "LargeBlock.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

std::vector<std::string> SplitTextLines(const std::string& text)
{
    std::vector<std::string> lines;
    // An editor may have put a UTF-8 byte-order mark before the first line;
    // left in, it would hide the first key.
    std::size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        std::size_t end = nl == std::string::npos ? text.size() : nl;
        std::size_t cut = end;
        if (cut > start && text[cut - 1] == '\r')
            --cut;
        lines.emplace_back(text, start, cut - start);
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    return lines;
}

namespace {

bool ReadFile(const std::string& path, std::string& data, bool hugePages)
{
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    // Non-blocking, so that a pipe in place of the file cannot hang the open.
    int fd;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    std::string bytes;
    try {
        if (ok && st.st_size > 0) {
            bytes.reserve(static_cast<std::size_t>(st.st_size));
            if (hugePages)
                AdviseHugePages(bytes.data(), bytes.capacity());
        }
        char buf[65536];
        while (ok) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0) {
                ok = errno == EINTR;
                continue;
            }
            if (n == 0)
                break;
            bytes.append(buf, static_cast<std::size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    } catch (const std::length_error&) {
        ok = false;
    }
    ::close(fd);
    if (ok)
        data.swap(bytes);
    return ok;
}

} // namespace

bool ReadWholeFile(const std::string& path, std::string& data)
{
    return ReadFile(path, data, true);
}

bool ReadWholeFileOnce(const std::string& path, std::string& data)
{
    return ReadFile(path, data, false);
}

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines)
{
    std::string data;
    if (!ReadWholeFile(path, data))
        return false;
    try {
        lines = SplitTextLines(data);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

namespace {

constexpr std::size_t kTempNameMaxBytes = 200;
std::atomic<bool> g_flushToDisk{true};

bool WriteAll(int fd, std::string_view data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Creates a new, hidden file beside `target`, with the permissions a new
// file gets (the process umask applies). -1 when none can be created.
int CreateTempBeside(const std::string& target, std::string& tempPath)
{
    static std::atomic<unsigned> s_counter{0};
    const std::string folder = FolderOf(target);
    const std::string name = FileNameOf(target).substr(0, kTempNameMaxBytes);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "." + name + "." + std::to_string(::getpid()) + "-" +
                   std::to_string(s_counter.fetch_add(1)) + ".tmp";
        int fd;
        do
            fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void SyncFolderOf(const std::string& path)
{
    std::string folder = FolderOf(path);
    if (folder.empty())
        folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // the rename itself reaches the disk; a failure here loses nothing
        ::close(fd);
    }
}

bool ReplaceFile(const std::string& path, std::string_view data, bool flush)
{
    if (path.empty() || path.back() == '/' || path.find('\0') != std::string::npos)
        return false;
    std::string target = path;
    struct stat st {};
    bool exists = ::lstat(path.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        char real[PATH_MAX];
        if (::realpath(path.c_str(), real) == nullptr || ::stat(real, &st) != 0)
            return false;
        target = real;
    } else if (!exists && errno != ENOENT) {
        return false;
    }
    if (exists && !S_ISREG(st.st_mode))
        return false;

    std::string temp;
    const int fd = CreateTempBeside(target, temp);
    if (fd < 0)
        return false;
    bool ok = (!exists || ::fchmod(fd, st.st_mode & 07777) == 0) && WriteAll(fd, data) && (!flush || ::fsync(fd) == 0);
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    if (flush)
        SyncFolderOf(target);
    return true;
}

} // namespace

bool WriteWholeFile(const std::string& path, const std::string& data)
{
    return ReplaceFile(path, data, g_flushToDisk.load());
}

bool WriteWholeFile(const std::string& path, const void* data, std::size_t size)
{
    return ReplaceFile(path, std::string_view(static_cast<const char*>(data), size), g_flushToDisk.load());
}

bool WriteScratchFile(const std::string& path, const std::string& data)
{
    return ReplaceFile(path, data, false);
}

bool CreateNewFile(const std::string& path)
{
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    int fd;
    do
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

void SetFlushToDiskForTesting(bool flush)
{
    g_flushToDisk.store(flush);
}

bool WriteTextLinesCrLf(const std::string& path, const std::vector<std::string>& lines)
{
    std::string data;
    for (const std::string& l : lines) {
        data += l;
        data += "\r\n";
    }
    return WriteWholeFile(path, data);
}

} // namespace plat
