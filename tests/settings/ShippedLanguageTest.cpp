// The language folder shipped beside the programs: both files carry every
// section at the same place, with enough entries for the positions the
// windows read, and a new installation starts in English.
#include "settings/HexUtf16Text.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "platform/Folders.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <vector>

namespace {

using Table = std::array<std::u16string, kLanguageTableSize>;

const std::string kEnglishFile = "0045006e0067006c006900730068.txt";
const std::string kChineseFile = "4e2d6587002d7b804f53.txt";

// Each marker and the highest entry of it that a window or message reads.
const std::map<std::u16string, int> kSections = {
    {u"phase:title", 0},          {u"phase0:main-menu", 51},    {u"phase1:main-tool", 32},
    {u"phase2:draw-tool", 11},    {u"phase3:work-tool", 45},    {u"phase4:export-tool", 13},
    {u"phase5:array-tool", 23},   {u"phase6:statistic-info", 6}, {u"phase7:mac-frame", 12},
    {u"phase8:soft-version", 17}, {u"phase9:mac-info", 14},     {u"phase10:layer-param", 36},
    {u"phase11:edit-right-menu", 60}, {u"phase12:mac-right-menu", 2}, {u"phase13:param-dialog", 103},
    {u"phase15:error-hint", 14},  {u"phase16:import-text", 12}, {u"phase17:work-preview", 10},
    {u"phase18:light-barrier", 23}, {u"phase19:sort-manually", 12}, {u"phase20:scale-slot", 7},
    {u"phase21:delete-repeat", 4}, {u"phase22:genetic-nest", 7}, {u"phase23:verify-account", 5},
    {u"phase24:plt-im-rs-calc", 6}, {u"phase25:link-near", 3},  {u"phase26:show-grid", 3},
};

std::vector<std::u16string> DecodedLines(const std::string& file)
{
    std::vector<std::string> lines;
    EXPECT_TRUE(plat::ReadTextLines(LanguageFolder() + file, lines)) << file;
    std::vector<std::u16string> decoded;
    for (const std::string& l : lines)
        decoded.push_back(DecodeHexName(l));
    return decoded;
}

bool IsMarker(const std::u16string& s)
{
    return s.rfind(u"phase", 0) == 0;
}

} // namespace

TEST(ShippedLanguage, NewInstallationStartsInEnglish)
{
    std::string pointer;
    ASSERT_TRUE(plat::ReadWholeFile(LanguageFolder() + "Language", pointer));
    EXPECT_EQ(pointer, kEnglishFile); // one line, no line end
    Table table;
    EXPECT_GT(CReadParamFile().LoadLanguageFiles(table), 500);
    ASSERT_EQ(g_languageNames.m_count, 2);
    EXPECT_EQ(g_languageNames.m_names[0], u"English");
    EXPECT_EQ(g_languageNames.m_names[1], u"中文-简体");
    EXPECT_EQ(g_languageNames.Current(), u"English");
    EXPECT_EQ(LanguageText(table, u"phase8:soft-version", 9), u"Highest");
    EXPECT_EQ(LanguageText(table, u"phase9:mac-info", 9), u"Ordinary");
    EXPECT_EQ(LanguageText(table, u"phase11:edit-right-menu", 45), u"Top Left");
}

TEST(ShippedLanguage, BothFilesHoldEverySectionAtTheSamePlace)
{
    const std::vector<std::u16string> english = DecodedLines(kEnglishFile);
    const std::vector<std::u16string> chinese = DecodedLines(kChineseFile);
    ASSERT_EQ(english.size(), chinese.size());
    ASSERT_LE(english.size(), static_cast<std::size_t>(kLanguageTableSize));
    std::map<std::u16string, int> found;
    for (std::size_t i = 0; i < english.size(); ++i) {
        EXPECT_FALSE(english[i].empty()) << "line " << i;
        EXPECT_FALSE(chinese[i].empty()) << "line " << i;
        EXPECT_EQ(IsMarker(english[i]), IsMarker(chinese[i])) << "line " << i;
        if (IsMarker(english[i])) {
            EXPECT_EQ(english[i], chinese[i]) << "line " << i;
            EXPECT_TRUE(found.emplace(english[i], static_cast<int>(i)).second) << "marker twice";
        }
    }
    for (const auto& [marker, highest] : kSections) {
        const auto it = found.find(marker);
        ASSERT_NE(it, found.end()) << std::string(marker.begin(), marker.end());
        // The section reaches at least to its highest entry before the next marker.
        for (int k = 0; k <= highest; ++k) {
            const std::size_t at = static_cast<std::size_t>(it->second + 1 + k);
            ASSERT_LT(at, english.size());
            EXPECT_FALSE(IsMarker(english[at])) << std::string(marker.begin(), marker.end()) << " entry " << k;
        }
    }
    EXPECT_EQ(found.size(), kSections.size());
}

TEST(ShippedLanguage, MessagesTheEngineShowsAreWritten)
{
    for (const std::string& file : {kEnglishFile, kChineseFile}) {
        const std::vector<std::u16string> lines = DecodedLines(file);
        Table table;
        for (std::size_t i = 0; i < lines.size(); ++i)
            table[i] = lines[i];
        for (int k : {0, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 14})
            EXPECT_NE(LanguageText(table, u"phase15:error-hint", k), u"--..") << file << " entry " << k;
        EXPECT_NE(LanguageText(table, u"phase13:param-dialog", 67), u"--..");
        EXPECT_NE(LanguageText(table, u"phase10:layer-param", 35), u"--..");
    }
}
