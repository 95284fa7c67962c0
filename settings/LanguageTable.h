// The language table: every text of the user interface comes from one
// language file, loaded at start into a table of 1000 strings. A window finds
// its section by its marker line ("phase15:error-hint") and takes its texts
// by position after it.
//
// Language folder: program folder + "Language/". Each language file is named
// by the HexUtf16Text of the language's display name + ".txt", and each of its
// lines is one string as HexUtf16Text. The pointer file "Language/Language"
// holds, as its one line, the file name of the current language.
#pragma once
#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

constexpr int kLanguageTableSize = 1000;
constexpr int kLanguageNameSlots = 100;

// The language used when the pointer file cannot be read.
inline constexpr std::u16string_view kDefaultLanguageName = u"中文-简体";

// Names of the installed languages, in the order of their file names, and the
// current language's name in the place just behind them (not counted). At
// most 99 languages are listed, so that place always exists.
struct LanguageNameList {
    std::array<std::u16string, kLanguageNameSlots> m_names{};
    int m_count = 0;

    const std::u16string& Current() const { return m_names[static_cast<std::size_t>(m_count)]; }
};

// Filled by CReadParamFile::LoadLanguageFiles.
extern LanguageNameList g_languageNames;

// Program folder + "Language/".
std::string LanguageFolder();

// Language file names (".txt") of a folder, sorted by name; folders and the
// pointer file are not listed.
std::vector<std::string> ListLanguageFiles(const std::string& folder);

// A language's display name: its file name less the last four characters,
// decoded as HexUtf16Text.
std::u16string DisplayNameOf(std::string_view fileName);

// Index of the first entry equal to the marker (whole string, case matters),
// or -1 when there is none.
int FindLanguageSection(std::span<const std::u16string> table, std::u16string_view marker);

// Entry k of a section (k = 0 is the first string after the marker). When the
// marker is missing, entry k is string k of the table. A position outside the
// table gives an empty text.
const std::u16string& LanguageText(std::span<const std::u16string> table, std::u16string_view marker, int k);

// The table that engine code takes its messages from: the program registers
// the main frame's table once it is loaded; tests register their own. With
// none registered the table is empty, and every lookup gives an empty text.
void SetLanguageTable(std::span<const std::u16string> table);
std::span<const std::u16string> RegisteredLanguageTable();
