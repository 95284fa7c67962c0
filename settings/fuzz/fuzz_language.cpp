// Feeds arbitrary bytes to the language loader as the current language file
// (and, for odd first bytes, its first line as the pointer file), then looks
// sections up in the table it filled.
#include "FuzzScratch.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string folder = FuzzScratchFolder() + "Language/";
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string file = "0045.txt";
    std::string pointer = file;
    if (size > 0 && (data[0] & 1) != 0)
        pointer = text.substr(0, text.find('\n'));
    plat::WriteWholeFile(folder + "Language", pointer);
    plat::WriteWholeFile(folder + file, text);

    static std::array<std::u16string, kLanguageTableSize> table;
    table.fill(std::u16string());
    const int loaded = CReadParamFile().LoadLanguageFiles(table);
    if (loaded < 0 || loaded > kLanguageTableSize)
        std::abort();
    if (g_languageNames.m_count < 0 || g_languageNames.m_count >= kLanguageNameSlots)
        std::abort();
    volatile std::size_t sink = LanguageText(table, u"phase15:error-hint", 5).size() +
                                LanguageText(table, u"phase0:main-menu", 999).size();
    (void)sink;
    return 0;
}
