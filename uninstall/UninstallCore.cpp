#include "uninstall/UninstallCore.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string EnvValue(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool IsAbsolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

// The folder an XDG variable names, or its default under the home folder. A
// relative value, or a home that is empty or the root (what an unset HOME
// gives), cannot be trusted: deleting under it could reach anything.
std::string XdgBase(const std::string& xdgValue, const char* xdgName, const std::string& home,
                    const char* defaultBelowHome, std::vector<std::string>& refused)
{
    if (!xdgValue.empty()) {
        if (!IsAbsolute(xdgValue)) {
            refused.push_back(std::string(xdgName) + " is not an absolute path: " + xdgValue);
            return {};
        }
        return WithoutTrailingSlashes(xdgValue);
    }
    const std::string h = WithoutTrailingSlashes(home);
    if (h.empty() || h == "/" || !IsAbsolute(h)) {
        refused.push_back(std::string(xdgName) + " is not set and the home folder is \"" + home + "\"");
        return {};
    }
    return h + defaultBelowHome;
}

bool IsMissing(const std::error_code& ec)
{
    return ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
}

// Removes a file, a link (as a link) or a folder with everything in it,
// deepest first, never following a link. Whatever exists and stays is
// recorded; what is already gone is no failure.
void RemoveItem(const fs::path& path, std::vector<std::string>& notRemoved)
{
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    if (ec || st.type() == fs::file_type::not_found) {
        if (ec && !IsMissing(ec))
            notRemoved.push_back(path.string());
        return;
    }
    if (st.type() == fs::file_type::directory) {
        std::vector<fs::path> children;
        for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
            children.push_back(it->path());
        if (ec) {
            notRemoved.push_back(path.string());
            return;
        }
        for (const fs::path& child : children)
            RemoveItem(child, notRemoved);
    }
    ec.clear();
    if (!fs::remove(path, ec) && ec && !IsMissing(ec))
        notRemoved.push_back(path.string());
}

} // namespace

UninstallEnv EnvironmentOfProcess()
{
    UninstallEnv env;
    env.home = EnvValue("HOME");
    env.xdgDataHome = EnvValue("XDG_DATA_HOME");
    env.xdgConfigHome = EnvValue("XDG_CONFIG_HOME");
    return env;
}

UninstallBases ComputeBases(const UninstallEnv& env, const EditionData& edition)
{
    UninstallBases b;
    const std::string data = XdgBase(env.xdgDataHome, "XDG_DATA_HOME", env.home, "/.local/share", b.refused);
    const std::string config = XdgBase(env.xdgConfigHome, "XDG_CONFIG_HOME", env.home, "/.config", b.refused);
    if (!data.empty())
        b.startMenuFolder = data + "/applications/" + edition.name;
    if (!config.empty()) {
        b.settingsFolder = config + "/Halvoren/" + edition.name;
        b.settingsFile = b.settingsFolder + ".conf";
    }
    const std::string program = WithoutTrailingSlashes(env.programFolder);
    if (!IsAbsolute(program))
        b.refused.push_back("The program folder is not an absolute path: \"" + env.programFolder + "\"");
    else
        b.programFolder = program;
    return b;
}

UninstallReport RunUninstall(const UninstallBases& bases, const EditionData& edition)
{
    UninstallReport report;
    if (!bases.refused.empty()) {
        report.refused = true;
        report.refusedBases = bases.refused;
        return report;
    }
    RemoveItem(bases.startMenuFolder, report.notRemoved);
    RemoveItem(bases.settingsFile, report.notRemoved);
    RemoveItem(bases.settingsFolder, report.notRemoved);
    // Only the listed names and only files: a folder of a listed name is not
    // the edition's file and stays.
    for (const std::string& name : edition.files) {
        const fs::path path = fs::path(bases.programFolder) / name;
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(path, ec);
        if (ec || st.type() == fs::file_type::not_found) {
            if (ec && !IsMissing(ec))
                report.notRemoved.push_back(path.string());
            continue;
        }
        if (st.type() == fs::file_type::directory) {
            report.notRemoved.push_back(path.string());
            continue;
        }
        if (!fs::remove(path, ec) && ec && !IsMissing(ec))
            report.notRemoved.push_back(path.string());
    }
    return report;
}

std::string ReportText(const UninstallReport& report)
{
    std::string text;
    if (report.refused) {
        text = kPathError;
        for (const std::string& line : report.refusedBases)
            text += "\n" + line;
        return text;
    }
    if (report.notRemoved.empty())
        return kComplete;
    text = kIncomplete;
    for (const std::string& path : report.notRemoved)
        text += "\n" + path;
    return text;
}
