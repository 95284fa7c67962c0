#include "TextFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

std::vector<std::string> SplitTextLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
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

bool ReadWholeFile(const std::string& path, std::string& data)
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
        if (ok && st.st_size > 0)
            bytes.reserve(static_cast<std::size_t>(st.st_size));
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

bool WriteWholeFile(const std::string& path, const std::string& data)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
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
