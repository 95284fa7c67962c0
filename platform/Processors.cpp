#include "Processors.h"

#include "TextFile.h"

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <sstream>
#include <thread>
#include <vector>

#include <sched.h>

namespace plat {

namespace {

// The text of a file; empty when it cannot be read.
std::string ReadText(const std::string& path)
{
    std::string text;
    ReadWholeFile(path, text);
    return text;
}

std::vector<std::string> Split(const std::string& s, char by)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, by))
        parts.push_back(part);
    return parts;
}

// Mount points write a space, tab, newline or backslash as \ooo.
std::string Unescape(const std::string& s)
{
    const auto octal = [&](std::size_t k) { return s[k] >= '0' && s[k] <= '7'; };
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

struct Hierarchy {
    std::string mount; // where it is mounted
    std::string root;  // the cgroup path seen at the mount point
    bool v2 = false;
};

// The mount of the unified hierarchy (v2) or of the one holding the cpu
// controller (v1).
bool FindMount(const std::string& mountinfo, bool v2, Hierarchy& out)
{
    std::istringstream lines(mountinfo);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        std::string field;
        while (fields >> field)
            f.push_back(field);
        const auto dash = std::find(f.begin(), f.end(), "-");
        if (f.size() < 5 || dash == f.end() || f.end() - dash < 4)
            continue;
        const std::string& type = dash[1];
        const std::vector<std::string> options = Split(dash[3], ',');
        const bool match = v2 ? type == "cgroup2"
                              : type == "cgroup" && std::find(options.begin(), options.end(), "cpu") != options.end();
        if (match) {
            out = Hierarchy{Unescape(f[4]), Unescape(f[3]), v2};
            return true;
        }
    }
    return false;
}

// Processors the quota files of one cgroup folder allow; 0 for none.
double FolderQuota(const std::string& folder, bool v2)
{
    double quota = 0.0, period = 0.0;
    if (v2) {
        std::istringstream in(ReadText(folder + "/cpu.max"));
        std::string q;
        if (!(in >> q >> period) || q == "max")
            return 0.0;
        quota = std::atof(q.c_str());
    } else {
        std::istringstream q(ReadText(folder + "/cpu.cfs_quota_us"));
        std::istringstream p(ReadText(folder + "/cpu.cfs_period_us"));
        if (!(q >> quota) || !(p >> period))
            return 0.0;
    }
    return quota > 0.0 && period > 0.0 ? quota / period : 0.0;
}

} // namespace

double CgroupCpuQuota(const std::string& procSelfCgroup, const std::string& mountinfo, const std::string& root)
{
    std::istringstream lines(procSelfCgroup);
    std::string line;
    while (std::getline(lines, line)) {
        // hierarchy:controllers:path; the path may hold colons itself.
        const std::size_t a = line.find(':');
        const std::size_t b = a == std::string::npos ? a : line.find(':', a + 1);
        if (b == std::string::npos)
            continue;
        const std::string id = line.substr(0, a);
        const std::vector<std::string> controllers = Split(line.substr(a + 1, b - a - 1), ',');
        const bool v2 = id == "0" && controllers.empty();
        if (!v2 && std::find(controllers.begin(), controllers.end(), "cpu") == controllers.end())
            continue;
        Hierarchy h;
        if (!FindMount(mountinfo, v2, h))
            continue;
        std::string path = line.substr(b + 1);
        if (h.root != "/" && path.compare(0, h.root.size(), h.root) == 0)
            path.erase(0, h.root.size());
        // The tightest quota from the process's own group up to the top.
        double tightest = 0.0;
        for (;;) {
            while (path.size() > 1 && path.back() == '/')
                path.pop_back();
            const double q = FolderQuota(root + h.mount + (path == "/" ? "" : path), h.v2);
            if (q > 0.0 && (tightest == 0.0 || q < tightest))
                tightest = q;
            const std::size_t slash = path.rfind('/');
            if (path.empty() || path == "/" || slash == std::string::npos)
                break;
            path.erase(slash == 0 ? 1 : slash);
        }
        if (tightest > 0.0)
            return tightest;
    }
    return 0.0;
}

unsigned UsableProcessors()
{
    // The quota is read once: it seldom changes while a program runs, and
    // the files cost more than the work of a small loop.
    static const double quota =
        CgroupCpuQuota(ReadText("/proc/self/cgroup"), ReadText("/proc/self/mountinfo"), "");
    unsigned n = 0;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0)
        n = static_cast<unsigned>(CPU_COUNT(&set));
    if (n == 0)
        n = std::max(1u, std::thread::hardware_concurrency());
    if (quota > 0.0)
        n = std::min(n, static_cast<unsigned>(std::ceil(quota)));
    return std::max(n, 1u);
}

} // namespace plat
