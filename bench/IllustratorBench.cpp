// Export through the Illustrator plug-in, loaded as the host loads it and
// driven by the in-memory host: 100,000 paths in groups nested 1,000 deep
// plus an image rasterized to 5,000 x 5,000 pixels (a 100 MB BMP file)
// should export in under a second, program start included.
#include "FakeHost.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

constexpr int kGroups = 1000;
constexpr int kPathsPerGroup = 100;

// Scratch install folder (workPath.txt, a `brenvik` that ends at once) and
// work folder; removed at the end.
struct ScratchInstall {
    ScratchInstall()
    {
        char pattern[] = "/tmp/brenvik-plugin-bench-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr)
            std::abort();
        m_root = made;
        std::filesystem::create_directories(m_root + "/work");
        std::ofstream(m_root + "/workPath.txt") << m_root << "/work/\r\n";
        std::ofstream(m_root + "/brenvik") << "#!/bin/sh\nexit 0\n";
        ::chmod((m_root + "/brenvik").c_str(), 0755);
        ::setenv("BRENVIK_INSTALL_FOLDER", m_root.c_str(), 1);
    }
    ~ScratchInstall()
    {
        ::unsetenv("BRENVIK_INSTALL_FOLDER");
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    std::string m_root;
};

void BuildDocument(plat::FakeHost& host)
{
    plat::FakeHost::Art* parent = host.AddLayer(true);
    for (int g = 0; g < kGroups; ++g) {
        for (int i = 0; i < kPathsPerGroup; ++i) {
            const float x = float(i * 3);
            const float y = float(g * 2);
            host.AddArt(parent, kArtPath, {x, y + 2, x + 2, y});
        }
        parent = host.AddArt(parent, kArtGroup, {0, 2000, 300, 0});
    }
    // 2,400 points at 150 pixels per inch: 5,000 pixels a side.
    plat::FakeHost::Art* image = host.AddArt(parent, kArtPlaced, {0, 2400, 2400, 0});
    image->m_rasterTo = image->m_bounds;
}

void BM_PluginExport(benchmark::State& state)
{
    ScratchInstall install;
    void* lib = ::dlopen(BRISQUEL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    auto main = lib != nullptr ? reinterpret_cast<PluginMainFn>(::dlsym(lib, "PluginMain")) : nullptr;
    if (main == nullptr) {
        state.SkipWithError("plug-in not loaded");
        return;
    }
    plat::FakeHost host;
    host.m_record = false;
    BuildDocument(host);
    PluginMessage message;
    message.m_host = &host;
    if (main(kCallerInterface, kSelectorStartup, &message) != 0) {
        state.SkipWithError("start-up failed");
        return;
    }
    MenuItemHandle exportItem = nullptr;
    for (std::size_t i = 0; i < host.m_menuItems.size(); ++i)
        if (host.m_menuItems[i].m_name == "Export")
            exportItem = reinterpret_cast<MenuItemHandle>(std::uintptr_t(i + 1));
    for (auto _ : state) {
        message.m_menuItem = exportItem;
        if (main(kCallerMenu, kSelectorGo, &message) != 0) {
            state.SkipWithError("export failed");
            break;
        }
    }
    const auto bmpBytes = std::filesystem::file_size(install.m_root + "/work/0.bmp");
    state.counters["bmp_MB"] = double(bmpBytes) / 1e6;
    main(kCallerInterface, kSelectorShutdown, &message);
    ::dlclose(lib);
}
BENCHMARK(BM_PluginExport)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
