#include "platform/Folders.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace plat;

TEST(Folders, SeparatorRulesOnLinuxPaths)
{
    EXPECT_EQ(LastSeparator("/home/op/work/a.dxf"), 13u);
    EXPECT_EQ(FolderOf("/home/op/work/a.dxf"), "/home/op/work/");
    EXPECT_EQ(FileNameOf("/home/op/work/a.dxf"), "a.dxf");
    EXPECT_EQ(FolderOf("a.dxf"), "");
    EXPECT_EQ(FileNameOf("a.dxf"), "a.dxf");
    EXPECT_EQ(WithTrailingSeparator("/tmp"), "/tmp/");
    EXPECT_EQ(WithTrailingSeparator("/tmp/"), "/tmp/");
}

TEST(Folders, ProgramFolderIsTheExecutablesFolder)
{
    const std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/');
    EXPECT_EQ(folder.back(), '/');
    SetProgramFolderForTesting("/tmp/brenvik-test");
    EXPECT_EQ(ProgramFolder(), "/tmp/brenvik-test/");
    SetProgramFolderForTesting("");
    EXPECT_EQ(ProgramFolder(), folder);
}

TEST(Folders, AppDataFollowsXdgDataHome)
{
    const char* old = std::getenv("XDG_DATA_HOME");
    std::string saved = old != nullptr ? old : "";
    setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(AppDataFolder(), "/srv/data/");
    // A relative value is not a valid base folder.
    setenv("XDG_DATA_HOME", "relative", 1);
    setenv("HOME", "/home/op", 1);
    EXPECT_EQ(AppDataFolder(), "/home/op/.local/share/");
    if (old != nullptr)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}
