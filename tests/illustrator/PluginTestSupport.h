// The plug-in as the host sees it: a built library loaded with dlopen, driven
// through PluginMain with a FakeHost, in a scratch install folder (workPath.txt
// and a `brenvik` script) and a scratch work folder.
#pragma once
#include "FakeHost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace plat {

struct PluginBuildInfo {
    const char* m_library;
    bool m_brenvikPlugin; // the BrenvikPlugin build, else Brisquel
};
inline const PluginBuildInfo kBrisquelBuild{BRISQUEL_LIBRARY_PATH, false};
inline const PluginBuildInfo kBrenvikPluginBuild{BRENVIKPLUGIN_LIBRARY_PATH, true};
inline std::string BuildName(const testing::TestParamInfo<PluginBuildInfo>& info)
{
    return info.param.m_brenvikPlugin ? "BrenvikPlugin" : "Brisquel";
}

// The clock the plug-ins read through the message record.
inline std::int64_t g_fakeNowMs = 1000000;
inline std::int64_t FakeClockMs()
{
    return g_fakeNowMs;
}

inline std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class PluginLibrary {
public:
    explicit PluginLibrary(const char* path) { Open(path); }
    ~PluginLibrary() { Close(); }
    void Open(const char* path)
    {
        m_handle = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (m_handle != nullptr)
            m_main = reinterpret_cast<PluginMainFn>(::dlsym(m_handle, "PluginMain"));
    }
    void Close()
    {
        if (m_handle != nullptr)
            ::dlclose(m_handle);
        m_handle = nullptr;
        m_main = nullptr;
    }
    PluginMainFn Main() const { return m_main; }

private:
    void* m_handle = nullptr;
    PluginMainFn m_main = nullptr;
};

// Scratch folders: <root>/install (workPath.txt naming <root>/work/, and a
// `brenvik` script that writes <root>/started once it runs) and <root>/work.
class PluginFolders {
public:
    PluginFolders()
    {
        char pattern[] = "/tmp/brenvik-plugin-XXXXXX";
        m_root = ::mkdtemp(pattern);
        m_install = m_root + "/install/";
        m_work = m_root + "/work/";
        std::filesystem::create_directories(m_install);
        std::filesystem::create_directories(m_work);
        WriteFileBytes(m_install + "workPath.txt", m_work + "\r\n");
        WriteProgram("echo started");
        ::setenv("BRENVIK_INSTALL_FOLDER", m_install.c_str(), 1);
    }
    ~PluginFolders()
    {
        ::unsetenv("BRENVIK_INSTALL_FOLDER");
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    // The program the plug-in starts: a script whose output goes to the
    // marker file once it is whole.
    void WriteProgram(const std::string& body)
    {
        const std::string path = m_install + "brenvik";
        WriteFileBytes(path, "#!/bin/sh\n{ " + body + "; } > " + Marker() + ".part && mv " + Marker() + ".part " +
                                 Marker() + "\n");
        ::chmod(path.c_str(), 0755);
    }
    std::string Marker() const { return m_root + "/started"; }
    // The marker's text once the program has written it (empty after ~5 s).
    std::string WaitForMarker() const
    {
        for (int i = 0; i < 500; ++i) {
            if (std::filesystem::exists(Marker()))
                return ReadFileBytes(Marker());
            ::usleep(10000);
        }
        return std::string();
    }

    std::string m_root;
    std::string m_install;
    std::string m_work;
};

// One plug-in object in one fake host.
class HostedPlugin {
public:
    explicit HostedPlugin(PluginMainFn main) : m_main(main)
    {
        EXPECT_TRUE(m_host.LoadErrorStrings(ERROR_STRINGS_PATH));
        m_message.m_host = &m_host;
        m_message.m_plugin = reinterpret_cast<PluginRef>(std::uintptr_t(0x5EED));
        m_message.m_clockMs = &FakeClockMs;
    }
    HostErr Send(const char* caller, const char* selector, MenuItemHandle item = nullptr,
                 NotifierHandle notifier = nullptr)
    {
        m_message.m_menuItem = item;
        m_message.m_notifier = notifier;
        return m_main(caller, selector, &m_message);
    }
    HostErr Startup() { return Send(kCallerInterface, kSelectorStartup); }
    HostErr Shutdown() { return Send(kCallerInterface, kSelectorShutdown); }
    // The menu items the plug-in added, by name.
    MenuItemHandle Item(const std::string& name) const
    {
        for (std::size_t i = 0; i < m_host.m_menuItems.size(); ++i)
            if (m_host.m_menuItems[i].m_name == name)
                return reinterpret_cast<MenuItemHandle>(std::uintptr_t(i + 1));
        return nullptr;
    }
    HostErr Export() { return Send(kCallerMenu, kSelectorGo, Item("Export")); }

    FakeHost m_host;
    PluginMessage m_message;
    PluginMainFn m_main;
};

struct ExportDocument {
    FakeHost::Art* m_shownLayer = nullptr;
    FakeHost::Art* m_group = nullptr;
    FakeHost::Art* m_text = nullptr;
    FakeHost::Art* m_placed = nullptr;
    FakeHost::Art* m_raster = nullptr;
};

// The document the export tests start from. Origin (-36, 0). A visible
// layer: a path (0, 72, 144, 0), a far hidden path, and a group holding a
// text frame whose outlines span (144, 36, 216, 18), a placed image
// rasterized to (72, 144, 144, 72) and a far compound path that is kept out
// of the extent (attribute 0x1000). A hidden layer: a path and a raster
// image of (0, 36, 36, 0).
inline ExportDocument BuildExportDocument(FakeHost& host)
{
    ExportDocument d;
    host.m_origin = HostPoint{-36.0f, 0.0f};
    d.m_shownLayer = host.AddLayer(true);
    host.AddArt(d.m_shownLayer, kArtPath, {0, 72, 144, 0});
    host.AddArt(d.m_shownLayer, kArtPath, {1000, 2000, 3000, 1000}, kArtHidden);
    d.m_group = host.AddArt(d.m_shownLayer, kArtGroup, {72, 144, 216, 18});
    d.m_text = host.AddArt(d.m_group, kArtTextFrame, {140, 40, 220, 10});
    d.m_text->m_outlinePaths = {{144, 36, 160, 18}, {148, 30, 156, 24}, {170, 36, 216, 18}};
    d.m_placed = host.AddArt(d.m_group, kArtPlaced, {72, 144, 144, 72});
    host.AddArt(d.m_group, kArtCompoundPath, {-500, 900, -400, 800}, kArtExcluded);
    FakeHost::Art* hidden = host.AddLayer(false);
    host.AddArt(hidden, kArtPath, {-300, 300, -200, 200});
    d.m_raster = host.AddArt(hidden, kArtRaster, {0, 36, 36, 0});
    return d;
}

} // namespace plat
