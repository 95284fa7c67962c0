// The library's reader of the speed-limit section of a machine's technology
// file: rows and enable value, the folder the main program writes the file
// to, line ends of either kind, hostile numbers, and machine names handed
// over in a char[50] without a terminator.
#include "TechReader.h"

#include "platform/Folders.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(std::initializer_list<const char*> lines)
{
    return std::vector<std::string>(lines.begin(), lines.end());
}

bool SameRows(const SpeedLimitTable& t, const std::vector<SpeedLimitRow>& rows)
{
    if (t.rows.size() != rows.size())
        return false;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (t.rows[i].frame != rows[i].frame || t.rows[i].speed != rows[i].speed)
            return false;
    return true;
}

TEST(SpeedLimitSection, RowsInFileOrderInThousandthsWithTheEnableValue)
{
    const SpeedLimitTable t = ParseSpeedLimits(
        Lines({"speed limit", "1", "frame", "10", "speed", "20", "frame", "50", "speed", "80",
               "limit end"}));
    EXPECT_EQ(t.enable, 1);
    EXPECT_TRUE(SameRows(t, {{10000, 20000}, {50000, 80000}}));
}

TEST(SpeedLimitSection, SpeedBeforeTheFirstFrameIsIgnoredAndAFrameWithoutSpeedHasZero)
{
    const SpeedLimitTable t = ParseSpeedLimits(
        Lines({"speed limit", "0", "speed", "99", "frame", "2.5", "frame", "7.0004", "speed",
               "12.3456", "limit end"}));
    EXPECT_EQ(t.enable, 0); // rows, but no limiting
    EXPECT_TRUE(SameRows(t, {{2500, 0}, {7000, 12346}}));
}

TEST(SpeedLimitSection, OnlyTheLimitSectionOfTheWholeFileIsRead)
{
    // As the main program writes it: the carve section's "speed" rows come
    // first, the cut section's after "limit end".
    const SpeedLimitTable t = ParseSpeedLimits(Lines(
        {"carve repair", "1", "speed", "100.000000", "inter", "0.100000", "carve end",
         "speed limit", "1", "frame", "10.000000", "speed", "20.000000", "unknown key",
         "5", "limit end", "cut repair", "0", "speed", "30.000000", "x rt", "0.1",
         "y rt", "0.2", "cut end", "m_disloc_use", "0"}));
    EXPECT_EQ(t.enable, 1);
    EXPECT_TRUE(SameRows(t, {{10000, 20000}}));
}

TEST(SpeedLimitSection, MissingSectionOrTruncatedFileGivesWhatWasThere)
{
    EXPECT_TRUE(ParseSpeedLimits(Lines({"carve repair", "1", "carve end"})).rows.empty());
    EXPECT_EQ(ParseSpeedLimits(Lines({"carve repair", "1"})).enable, 0);
    EXPECT_EQ(ParseSpeedLimits(Lines({"speed limit"})).enable, 0);
    // No end line and a key without its value: the rows so far are kept.
    const SpeedLimitTable t =
        ParseSpeedLimits(Lines({"speed limit", "3", "frame", "1", "speed", "2", "frame"}));
    EXPECT_EQ(t.enable, 3);
    EXPECT_TRUE(SameRows(t, {{1000, 2000}}));
}

TEST(SpeedLimitSection, HostileNumbersSaturateOrReadAsZero)
{
    const SpeedLimitTable t = ParseSpeedLimits(
        Lines({"speed limit", "99999999999999", "frame", "1e300", "speed", "-1e300", "frame",
               "abc", "speed", "nan", "frame", "-0.0004", "speed", "2147483.647"}));
    EXPECT_EQ(t.enable, INT32_MAX);
    EXPECT_TRUE(SameRows(t, {{INT32_MAX, INT32_MIN}, {0, 0}, {0, 2147483647}}));
}

// A program folder whose workPath.txt names <root>/work/, so the parameter
// folder is <root>/; the application-data folder is a second scratch folder.
class TechFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = Scratch();
        appData = Scratch();
        ASSERT_TRUE(plat::WriteWholeFile(root + "workPath.txt", root + "work/\r\n"));
        plat::SetProgramFolderForTesting(root);
        const char* old = std::getenv("XDG_DATA_HOME");
        oldXdg = old != nullptr ? std::make_unique<std::string>(old) : nullptr;
        ::setenv("XDG_DATA_HOME", appData.c_str(), 1);
    }
    void TearDown() override
    {
        plat::SetProgramFolderForTesting("");
        if (oldXdg)
            ::setenv("XDG_DATA_HOME", oldXdg->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        std::error_code ec;
        fs::remove_all(root, ec);
        fs::remove_all(appData, ec);
        ReadTechParam(nullptr); // no table left for other tests
    }
    static std::string Scratch()
    {
        char pattern[] = "/tmp/vantrel-tech-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        return std::string(made != nullptr ? made : "/tmp") + "/";
    }

    std::string root;
    std::string appData;
    std::unique_ptr<std::string> oldXdg;
};

TEST_F(TechFile, FileIsReadFromTheParameterFolderThatFollowsWorkPath)
{
    EXPECT_EQ(GetTechFolder(""), root);
    EXPECT_EQ(GetTechFolder("TechDef.par"), root + "TechDef.par");
    // A stale copy where the application-data rule would look must not win.
    fs::create_directories(appData + "Halvoren/Brenvik");
    ASSERT_TRUE(plat::WriteWholeFile(appData + "Halvoren/Brenvik/TechDef.par",
                                     "speed limit\r\n1\r\nframe\r\n99\r\nlimit end\r\n"));
    ASSERT_TRUE(plat::WriteWholeFile(root + "TechDef.par",
                                     "carve repair\r\n0\r\ncarve end\r\nspeed limit\r\n1\r\n"
                                     "frame\r\n10.000000\r\nspeed\r\n20.000000\r\nlimit end\r\n"));
    ReadTechParam("Def");
    EXPECT_EQ(TechSpeedLimits().enable, 1);
    EXPECT_TRUE(SameRows(TechSpeedLimits(), {{10000, 20000}}));
}

TEST_F(TechFile, MissingFileClearsTheTableOfTheLastRead)
{
    ASSERT_TRUE(plat::WriteWholeFile(root + "TechA.par", "speed limit\n1\nframe\n1\nspeed\n1\n"));
    ReadTechParam("A");
    ASSERT_EQ(TechSpeedLimits().rows.size(), 1u);
    ReadTechParam("B");
    EXPECT_EQ(TechSpeedLimits().enable, 0);
    EXPECT_TRUE(TechSpeedLimits().rows.empty());
}

TEST_F(TechFile, CodePageNameFindsTheFileOfTheSameWideName)
{
    // "图" in CP936 is CD BC; the main program names the file in UTF-8.
    ASSERT_TRUE(plat::WriteWholeFile(root + "Tech\xE5\x9B\xBE" "1.par",
                                     "speed limit\n2\nlimit end\n"));
    ReadTechParam("\xCD\xBC" "1");
    EXPECT_EQ(TechSpeedLimits().enable, 2);
    EXPECT_EQ(TechParamPath("\xCD\xBC" "1"), root + "Tech\xE5\x9B\xBE" "1.par");
}

TEST(MachineName, NameWithoutTerminatorIsCutTo49BytesAndNothingPastTheFieldIsRead)
{
    // Exactly the 50 bytes of the field on the heap: a read past them would
    // be caught by the address sanitizer.
    std::unique_ptr<char[]> field(new char[50]);
    std::fill(field.get(), field.get() + 50, 'M');
    EXPECT_EQ(MachineNameBytes(field.get()), std::string(49, 'M'));

    // A double-byte character across the 49th byte is left out whole.
    std::fill(field.get(), field.get() + 48, 'M');
    field[48] = '\xCD';
    field[49] = '\xBC';
    EXPECT_EQ(MachineNameBytes(field.get()), std::string(48, 'M'));

    field[10] = '\0';
    EXPECT_EQ(MachineNameBytes(field.get()), std::string(10, 'M'));
    EXPECT_EQ(MachineNameBytes(nullptr), "");
}

} // namespace
