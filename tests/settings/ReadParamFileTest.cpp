#include "settings/ReadParamFile.h"

#include "ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

TEST(ReadParamFile, FoldersFollowWorkPathAtEveryCall)
{
    ScratchProgramFolder scratch;
    CReadParamFile files;
    EXPECT_EQ(files.GetProgramPath("workPath.txt"), scratch.Root() + "workPath.txt");
    EXPECT_EQ(files.GetWorkPath(), scratch.Root() + "work/");
    EXPECT_EQ(files.GetParamPath(), scratch.Root());
    EXPECT_EQ(files.GetFilePath(), scratch.Root() + "file/");
    scratch.Write("workPath.txt", scratch.Root() + "Artwork/work\n");
    EXPECT_EQ(files.GetParamPath(), scratch.Root() + "Artwork/");
    ::setenv("XDG_DATA_HOME", "/tmp/brenvik-xdg", 1);
    EXPECT_EQ(files.GetSpecialFolder("Halvoren/Brenvik/"), "/tmp/brenvik-xdg/Halvoren/Brenvik/");
    ::unsetenv("XDG_DATA_HOME");
}

TEST(ReadParamFile, StartAndExitOfAFreshAccountKeepTheSettings)
{
    ScratchProgramFolder scratch;
    // A fresh account: none of the parents exist yet.
    scratch.Write("workPath.txt", scratch.Root() + "home/.local/share/Halvoren/Brenvik/work/\n");
    CReadParamFile files;
    ASSERT_TRUE(files.CreateWorkFolder(files.GetWorkPath()));
    ASSERT_TRUE(files.CreateWorkFolder(files.GetFilePath()));
    const std::string base = "home/.local/share/Halvoren/Brenvik/";
    scratch.Write(base + "MacInfo.par", "x");
    scratch.Write(base + "work/import.tmp", "x");
    scratch.Write(base + "file/export.tmp", "x");

    EXPECT_TRUE(files.DeleteFolderFiles(files.GetWorkPath()));
    EXPECT_TRUE(files.DeleteFolderFiles(files.GetFilePath()));
    EXPECT_FALSE(scratch.Exists(base + "work/import.tmp"));
    EXPECT_FALSE(scratch.Exists(base + "file/export.tmp"));
    EXPECT_TRUE(scratch.Exists(base + "MacInfo.par"));

    // The next run finds its own folders and empties them again.
    ASSERT_TRUE(files.CreateWorkFolder(files.GetWorkPath()));
    scratch.Write(base + "work/import.tmp", "x");
    EXPECT_TRUE(files.DeleteFolderFiles(files.GetWorkPath()));
    EXPECT_FALSE(scratch.Exists(base + "work/import.tmp"));
}

TEST(ReadParamFile, WorkPathNamingSomeonesFolderUsesItButNeverEmptiesIt)
{
    // <root>/top stands for "/"; its folders work and file hold a user's
    // files. workPath.txt reaches them directly, through "..", and through a
    // parameter folder that is a link to "/".
    ScratchProgramFolder scratch;
    std::filesystem::create_directories(scratch.Root() + "top/work");
    std::filesystem::create_directories(scratch.Root() + "top/file");
    std::filesystem::create_directories(scratch.Root() + "top/srv");
    std::filesystem::create_directory_symlink(scratch.Root() + "top", scratch.Root() + "top/srv/params");
    scratch.Write("top/work/report.odt", "x");
    scratch.Write("top/file/photo.jpg", "x");
    CReadParamFile files;
    for (const std::string line : {"top/work/", "top/srv/../work/", "top/srv/params/work/"}) {
        scratch.Write("workPath.txt", scratch.Root() + line + "\r\n");
        EXPECT_EQ(files.GetWorkPath(), scratch.Root() + line);
        ASSERT_TRUE(files.CreateWorkFolder(files.GetWorkPath()));
        ASSERT_TRUE(files.CreateWorkFolder(files.GetFilePath()));
        EXPECT_FALSE(files.DeleteFolderFiles(files.GetWorkPath())) << line;
        EXPECT_FALSE(files.DeleteFolderFiles(files.GetFilePath())) << line;
        EXPECT_TRUE(scratch.Exists("top/work/report.odt")) << line;
        EXPECT_TRUE(scratch.Exists("top/file/photo.jpg")) << line;
    }
}

TEST(ReadParamFile, WorkFolderThatIsTheParameterFolderIsNeverEmptied)
{
    ScratchProgramFolder scratch;
    // No final "work" component: the parameter folder is the work folder.
    scratch.Write("workPath.txt", scratch.Root() + "jobs/\n");
    std::filesystem::create_directories(scratch.Root() + "jobs");
    scratch.Write("jobs/MacInfo.par", "x");
    CReadParamFile files;
    EXPECT_EQ(files.GetParamPath(), files.GetWorkPath());
    EXPECT_FALSE(files.DeleteFolderFiles(files.GetWorkPath()));
    // .../work/work/: the parameter folder is named work itself.
    scratch.Write("workPath.txt", scratch.Root() + "work/work/\n");
    scratch.Write("work/MacInfo.par", "x");
    EXPECT_FALSE(files.DeleteFolderFiles(files.GetParamPath()));
    EXPECT_TRUE(scratch.Exists("jobs/MacInfo.par"));
    EXPECT_TRUE(scratch.Exists("work/MacInfo.par"));
}

TEST(ReadParamFile, ProbeOfNoPortsFindsNothing)
{
    unsigned char flag = 3;
    EXPECT_EQ(CReadParamFile().ProbeComPorts(&flag, 0), 0);
    EXPECT_EQ(flag, 3);
}
