#include "settings/HexUtf16Text.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"

#include "ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <vector>

namespace {

// A language file: every string as HexUtf16Text, lines ending in CR LF.
std::string LanguageFileOf(const std::vector<std::u16string>& strings, const char* end = "\r\n")
{
    std::string data;
    for (const std::u16string& s : strings)
        data += HexUtf16Text(s) + end;
    return data;
}

using Table = std::array<std::u16string, kLanguageTableSize>;

} // namespace

TEST(LanguageTable, PointerFileNamesTheFileLoadedAndTheCurrentName)
{
    ScratchProgramFolder scratch;
    scratch.Write("Language/0045004e0047.txt", LanguageFileOf({u"Brenvik", u"phase15:error-hint", u"None selected"}));
    scratch.Write("Language/4e2d6587002d7b804f53.txt", LanguageFileOf({u"中文"}));
    scratch.Write("Language/Language", "0045004e0047.txt");
    Table table;
    EXPECT_EQ(CReadParamFile().LoadLanguageFiles(table), 3);
    EXPECT_EQ(table[0], u"Brenvik");
    EXPECT_EQ(table[2], u"None selected");
    EXPECT_EQ(table[3], u"");
    ASSERT_EQ(g_languageNames.m_count, 2);
    EXPECT_EQ(g_languageNames.m_names[0], u"ENG");
    EXPECT_EQ(g_languageNames.m_names[1], u"中文-简体");
    // The current name stands behind the counted ones.
    EXPECT_EQ(g_languageNames.Current(), u"ENG");
    EXPECT_EQ(g_languageNames.m_names[2], u"ENG");
}

TEST(LanguageTable, WithoutPointerFileSimplifiedChineseIsLoaded)
{
    ScratchProgramFolder scratch;
    scratch.Write("Language/4e2d6587002d7b804f53.txt", LanguageFileOf({u"简体"}));
    scratch.Write("Language/0045004e0047.txt", LanguageFileOf({u"English"}));
    Table table;
    EXPECT_EQ(CReadParamFile().LoadLanguageFiles(table), 1);
    EXPECT_EQ(table[0], u"简体");
    EXPECT_EQ(g_languageNames.Current(), u"中文-简体");
}

TEST(LanguageTable, PointerFileCannotLeadOutOfTheLanguageFolder)
{
    ScratchProgramFolder scratch;
    scratch.Write("secret.txt", LanguageFileOf({u"secret"}));
    scratch.Write("Language/Language", "../secret.txt");
    scratch.Write("Language/4e2d6587002d7b804f53.txt", LanguageFileOf({u"简体"}));
    Table table;
    EXPECT_EQ(CReadParamFile().LoadLanguageFiles(table), 1);
    EXPECT_EQ(table[0], u"简体");
}

TEST(LanguageTable, ListsOnlyLowerCaseTxtFilesInNameOrder)
{
    ScratchProgramFolder scratch;
    // Created out of order: the list must not depend on the file system.
    for (const char* name : {"0043.txt", "0041.txt", "0042.txt", "b.TXT", "0044.txt.bak", "Language"})
        scratch.Write(std::string("Language/") + name, "");
    std::filesystem::create_directories(scratch.Language() + "0045.txt");
    Table table;
    CReadParamFile().LoadLanguageFiles(table);
    ASSERT_EQ(g_languageNames.m_count, 3);
    EXPECT_EQ(g_languageNames.m_names[0], u"A");
    EXPECT_EQ(g_languageNames.m_names[1], u"B");
    EXPECT_EQ(g_languageNames.m_names[2], u"C");
    EXPECT_EQ(g_languageNames.m_names[3], u"中文-简体");
}

TEST(LanguageTable, MoreThan99FilesLeaveTheLastPlaceForTheCurrentName)
{
    ScratchProgramFolder scratch;
    for (int i = 0; i < 120; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Language/%04x.txt", 0x100 + i);
        scratch.Write(name, "");
    }
    scratch.Write("Language/Language", "0045.txt");
    Table table;
    CReadParamFile().LoadLanguageFiles(table);
    EXPECT_EQ(g_languageNames.m_count, kLanguageNameSlots - 1);
    EXPECT_EQ(g_languageNames.m_names[98], u"\u0162");
    EXPECT_EQ(g_languageNames.Current(), u"E");
}

TEST(LanguageTable, LinesDecodeWithoutLineEndsOnLfAndCrLfFiles)
{
    ScratchProgramFolder scratch;
    scratch.Write("Language/0041.txt", "0041\r\r\n00420043\n0044\r\n");
    scratch.Write("Language/Language", "0041.txt");
    Table table;
    EXPECT_EQ(CReadParamFile().LoadLanguageFiles(table), 3);
    // A CR decoded as a digit would add the unit U+FFD6.
    EXPECT_EQ(table[0], u"A");
    EXPECT_EQ(table[1], u"BC");
    EXPECT_EQ(table[2], u"D");
}

TEST(LanguageTable, ByteOrderMarkIsNotDecodedIntoTheFirstString)
{
    ScratchProgramFolder scratch;
    scratch.Write("Language/0041.txt", "\xEF\xBB\xBF" "0041\r\n0042\r\n");
    scratch.Write("Language/Language", "\xEF\xBB\xBF" "0041.txt\r\n");
    Table table;
    EXPECT_EQ(CReadParamFile().LoadLanguageFiles(table), 2);
    EXPECT_EQ(table[0], u"A");
    EXPECT_EQ(table[1], u"B");
}

TEST(LanguageTable, MissingLanguageFileLoadsNothingAndLeavesTheTable)
{
    ScratchProgramFolder scratch;
    scratch.Write("Language/Language", "0058.txt");
    Table table;
    table[0] = u"kept";
    EXPECT_EQ(CReadParamFile().LoadLanguageFiles(table), 0);
    EXPECT_EQ(table[0], u"kept");
    EXPECT_EQ(g_languageNames.m_count, 0);
    EXPECT_EQ(g_languageNames.Current(), u"X");
}

TEST(LanguageTable, FileLongerThanTheTableFillsItOnly)
{
    ScratchProgramFolder scratch;
    scratch.Write("Language/0041.txt", LanguageFileOf({u"a", u"b", u"c", u"d", u"e"}));
    scratch.Write("Language/Language", "0041.txt");
    std::array<std::u16string, 3> small;
    EXPECT_EQ(CReadParamFile().LoadLanguageFiles(small), 3);
    EXPECT_EQ(small[2], u"c");
}

TEST(LanguageSection, EntriesCountFromTheStringAfterTheMarker)
{
    Table table;
    for (int i = 0; i < kLanguageTableSize; ++i)
        table[static_cast<std::size_t>(i)] = u"s" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
    table[300] = u"phase15:error-hint";
    table[306] = u"sixth";
    table[312] = u"twelfth";
    EXPECT_EQ(FindLanguageSection(table, u"phase15:error-hint"), 300);
    EXPECT_EQ(LanguageText(table, u"phase15:error-hint", 5), u"sixth");
    EXPECT_EQ(LanguageText(table, u"phase15:error-hint", 11), u"twelfth");
    // Comparison is of the whole string, case included.
    EXPECT_EQ(FindLanguageSection(table, u"Phase15:error-hint"), -1);
    EXPECT_EQ(FindLanguageSection(table, u"phase15"), -1);
}

TEST(LanguageSection, MissingMarkerCountsFromTheStartAndOutOfRangeIsEmpty)
{
    Table table;
    table[0] = u"first";
    table[5] = u"sixth";
    EXPECT_EQ(LanguageText(table, u"phase8:soft-version", 0), u"first");
    EXPECT_EQ(LanguageText(table, u"phase8:soft-version", 5), u"sixth");
    EXPECT_EQ(LanguageText(table, u"phase8:soft-version", kLanguageTableSize), u"");
    EXPECT_EQ(LanguageText(table, u"phase8:soft-version", -1), u"");
    table[kLanguageTableSize - 1] = u"phase26:show-grid";
    EXPECT_EQ(LanguageText(table, u"phase26:show-grid", 0), u"");
}
