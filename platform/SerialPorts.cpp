#include "SerialPorts.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>
#include <utility>

namespace plat {

namespace {

// Devices of one family ("ttyUSB"), ordered by their number.
std::vector<std::string> ListFamily(const std::string& folder, std::string_view prefix)
{
    std::vector<std::pair<unsigned long, std::string>> found;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return {};
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name(e->d_name);
        if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix)
            continue;
        const std::string_view digits = name.substr(prefix.size());
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        found.emplace_back(std::stoul(std::string(digits)), std::string(name));
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    paths.reserve(found.size());
    for (const auto& f : found)
        paths.push_back(folder + f.second);
    return paths;
}

std::string OverrideOrFixed(int port)
{
    const std::string var = "BRENVIK_COM" + std::to_string(port);
    if (const char* env = std::getenv(var.c_str()); env != nullptr && env[0] != '\0')
        return env;
    if (port == 1)
        return "/dev/ttyS0";
    if (port == 2)
        return "/dev/ttyS1";
    return std::string();
}

std::string PathFor(int port, const std::vector<std::string>& adapters)
{
    std::string path = OverrideOrFixed(port);
    if (!path.empty() || port < 3)
        return path;
    const std::size_t index = static_cast<std::size_t>(port - 3);
    return index < adapters.size() ? adapters[index] : std::string();
}

} // namespace

std::vector<std::string> ListSerialAdapters(const std::string& deviceFolder)
{
    std::string folder = deviceFolder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    std::vector<std::string> all = ListFamily(folder, "ttyUSB");
    std::vector<std::string> acm = ListFamily(folder, "ttyACM");
    all.insert(all.end(), acm.begin(), acm.end());
    return all;
}

std::string SerialDevicePath(int port)
{
    if (port < 1)
        return std::string();
    std::string path = OverrideOrFixed(port);
    if (!path.empty() || port < 3)
        return path;
    return PathFor(port, ListSerialAdapters());
}

int ProbeSerialPorts(unsigned char* present, int count)
{
    if (present == nullptr || count <= 0)
        return 0;
    const std::vector<std::string> adapters = ListSerialAdapters();
    int found = 0;
    for (int k = 1; k <= count; ++k) {
        present[k - 1] = 0;
        const std::string path = PathFor(k, adapters);
        if (path.empty())
            continue;
        // Non-blocking: a port without carrier must not hold the probe.
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        ::close(fd);
        present[k - 1] = 1;
        ++found;
    }
    return found;
}

} // namespace plat
