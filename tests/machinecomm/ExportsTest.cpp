// The shared library as the main program sees it: exactly the eight plain
// names exported, nothing of its insides, and its messages posted through
// the poster of the program that loaded it.
#include "LinkTestSupport.h"

#include <dlfcn.h>
#include <elf.h>

#include <cstring>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace plat {
namespace {

// Names of the defined global symbols in the library's dynamic symbol table.
std::set<std::string> DefinedDynamicSymbols(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (image.size() < sizeof(Elf64_Ehdr))
        return names;
    Elf64_Ehdr eh;
    std::memcpy(&eh, image.data(), sizeof eh);
    for (int i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr sh;
        std::memcpy(&sh, image.data() + eh.e_shoff + std::size_t{eh.e_shentsize} * i, sizeof sh);
        if (sh.sh_type != SHT_DYNSYM)
            continue;
        Elf64_Shdr strings;
        std::memcpy(&strings, image.data() + eh.e_shoff + std::size_t{eh.e_shentsize} * sh.sh_link,
                    sizeof strings);
        for (std::size_t k = 0; k < sh.sh_size / sizeof(Elf64_Sym); ++k) {
            Elf64_Sym sym;
            std::memcpy(&sym, image.data() + sh.sh_offset + k * sizeof sym, sizeof sym);
            const int bind = ELF64_ST_BIND(sym.st_info);
            if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK))
                continue;
            names.insert(image.data() + strings.sh_offset + sym.st_name);
        }
    }
    return names;
}

TEST(VantrelLibrary, ExportsExactlyTheEightFunctionsUnderPlainNames)
{
    const std::set<std::string> expected = {
        "SetMainFramWnd",      "VqStCommThrd", "VqEtCommThrd", "VQ_OnlineOperate",
        "GetWidthAndHigh",     "VQ_TransFileOperate", "GetMsgAnswer", "DelAnswerList"};
    EXPECT_EQ(DefinedDynamicSymbols(VANTREL_LIBRARY_PATH), expected);
}

class LoadedVantrel : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_lib = ::dlopen(VANTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_lib, nullptr) << ::dlerror();
        SetMessagePoster(&poster);
    }
    void TearDown() override
    {
        SetMessagePoster(nullptr);
        if (m_lib != nullptr)
            ::dlclose(m_lib);
    }
    template <typename F>
    F* Get(const char* name)
    {
        return reinterpret_cast<F*>(::dlsym(m_lib, name));
    }

    void* m_lib = nullptr;
    RecordingPoster poster;
};

TEST_F(LoadedVantrel, PortErrorReachesTheLoadingProgramsPoster)
{
    auto* setMain = Get<decltype(SetMainFramWnd)>("SetMainFramWnd");
    auto* start = Get<decltype(VqStCommThrd)>("VqStCommThrd");
    auto* end = Get<decltype(VqEtCommThrd)>("VqEtCommThrd");
    ASSERT_TRUE(setMain && start && end);
    ScopedEnv notTty("BRENVIK_COM11", "/dev/null");
    EXPECT_EQ(setMain(kMainWindow, 0), 0u);
    ASSERT_TRUE(start(0, 11));
    EXPECT_TRUE(WaitUntil([&] { return poster.Count(WM_COMM_PORT_ERROR) == 1; }, 2000));
    end(0);
    EXPECT_EQ(poster.Count(WM_COMM_PORT_ERROR), 1u);
    for (const auto& m : poster.Messages())
        EXPECT_EQ(m.window, kMainWindow);
}

} // namespace
} // namespace plat
