#include "LanguageTable.h"

#include "HexUtf16Text.h"
#include "ReadParamFile.h"
#include "platform/Folders.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

LanguageNameList g_languageNames;

namespace {
std::span<const std::u16string> g_registeredTable;
} // namespace

void SetLanguageTable(std::span<const std::u16string> table)
{
    g_registeredTable = table;
}

std::span<const std::u16string> RegisteredLanguageTable()
{
    return g_registeredTable;
}

namespace {

constexpr std::string_view kTxt = ".txt";
constexpr const char* kPointerFile = "Language";

bool EndsWithTxt(std::string_view name)
{
    return name.size() >= kTxt.size() && name.substr(name.size() - kTxt.size()) == kTxt;
}

// The current file's name from the pointer file; the default language when
// the file is missing or names no plain file of the folder.
std::string CurrentLanguageFile(const std::string& folder)
{
    std::vector<std::string> lines;
    if (plat::ReadTextLines(folder + kPointerFile, lines) && !lines.empty()) {
        std::string name = lines.front();
        while (!name.empty() && name.back() == '\r')
            name.pop_back();
        if (!name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos)
            return name;
    }
    return HexUtf16Text(kDefaultLanguageName) + std::string(kTxt);
}

} // namespace

std::u16string DisplayNameOf(std::string_view fileName)
{
    const std::size_t keep = fileName.size() >= kTxt.size() ? fileName.size() - kTxt.size() : 0;
    return DecodeHexName(fileName.substr(0, keep));
}

// Language file names of the folder, sorted so that the list does not depend
// on the file system's order.
std::vector<std::string> ListLanguageFiles(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec)
        return names;
    for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            break;
        std::error_code typeEc;
        if (it->is_directory(typeEc))
            continue;
        std::string name = it->path().filename().string();
        if (EndsWithTxt(name))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string LanguageFolder()
{
    return plat::ProgramFolder() + "Language/";
}

int CReadParamFile::LoadLanguageFiles(std::span<std::u16string> table) const
{
    const std::string folder = LanguageFolder();
    const std::string current = CurrentLanguageFile(folder);

    LanguageNameList& list = g_languageNames;
    list.m_count = 0;
    for (const std::string& name : ListLanguageFiles(folder)) {
        if (list.m_count >= kLanguageNameSlots - 1)
            break;
        list.m_names[static_cast<std::size_t>(list.m_count++)] = DisplayNameOf(name);
    }
    list.m_names[static_cast<std::size_t>(list.m_count)] = DisplayNameOf(current);

    std::vector<std::string> lines;
    if (!plat::ReadTextLines(folder + current, lines))
        return 0;
    const std::size_t n = std::min(lines.size(), table.size());
    for (std::size_t k = 0; k < n; ++k) {
        std::string_view line = lines[k];
        // A stray CR would decode as one more unit.
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        table[k] = DecodeHexName(line);
    }
    return static_cast<int>(n);
}

int FindLanguageSection(std::span<const std::u16string> table, std::u16string_view marker)
{
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i] == marker)
            return static_cast<int>(i);
    }
    return -1;
}

const std::u16string& LanguageText(std::span<const std::u16string> table, std::u16string_view marker, int k)
{
    static const std::u16string kEmpty;
    if (k < 0)
        return kEmpty;
    const int at = FindLanguageSection(table, marker);
    const std::size_t pos = static_cast<std::size_t>(at + 1) + static_cast<std::size_t>(k);
    return pos < table.size() ? table[pos] : kEmpty;
}
