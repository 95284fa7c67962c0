// Folder rules shared by the main program and the communication library,
// checked on the Windows form of the design's own examples and on Linux paths.
#include "platform/Folders.h"
#include "platform/TextFile.h"
#include "platform/WorkFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace plat;
namespace fs = std::filesystem;

namespace {

class ScratchFolder {
public:
    ScratchFolder()
    {
        char pattern[] = "/tmp/brenvik-workfolder-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        m_root = std::string(made != nullptr ? made : "/tmp") + "/";
    }
    ~ScratchFolder()
    {
        SetProgramFolderForTesting("");
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    const std::string& Root() const { return m_root; }
    void Touch(const std::string& relative) const { ASSERT_TRUE(WriteWholeFile(m_root + relative, "x")); }
    bool Exists(const std::string& relative) const { return fs::symlink_status(m_root + relative).type() != fs::file_type::not_found; }

private:
    std::string m_root;
};

} // namespace

TEST(ParamFolderRule, WindowsExamplesDropOnlyTheFinalWorkComponent)
{
    EXPECT_EQ(ParamFolderOf("D:\\data\\work\\", '\\'), "D:\\data\\");
    // No "work" component: the work folder is its own parameter folder.
    EXPECT_EQ(ParamFolderOf("D:\\data\\jobs\\", '\\'), "D:\\data\\jobs\\");
    // Removing every "work\" would turn Artwork\work\ into Art.
    EXPECT_EQ(ParamFolderOf("C:\\Users\\ann\\Artwork\\work\\", '\\'), "C:\\Users\\ann\\Artwork\\");
    // An inner "work" folder is not the work folder's own component.
    EXPECT_EQ(ParamFolderOf("D:\\work\\data\\", '\\'), "D:\\work\\data\\");
    EXPECT_EQ(ParamFolderOf("D:\\work\\work\\", '\\'), "D:\\work\\");
    // Doubled separators are made single first.
    EXPECT_EQ(ParamFolderOf("D:\\\\data\\\\work\\\\", '\\'), "D:\\data\\");
    EXPECT_EQ(ParamFolderOf("C:\\Users\\ann\\AppData\\Roaming\\Halvoren\\Brenvik\\work\\", '\\'),
              "C:\\Users\\ann\\AppData\\Roaming\\Halvoren\\Brenvik\\");
}

TEST(ParamFolderRule, LinuxPathsFollowTheSameRule)
{
    EXPECT_EQ(ParamFolderOf("/home/ann/.local/share/Halvoren/Brenvik/work/"), "/home/ann/.local/share/Halvoren/Brenvik/");
    EXPECT_EQ(ParamFolderOf("/srv/Artwork/work/"), "/srv/Artwork/");
    EXPECT_EQ(ParamFolderOf("/srv/work/work/"), "/srv/work/");
    EXPECT_EQ(ParamFolderOf("//srv//data//work//"), "/srv/data/");
    EXPECT_EQ(ParamFolderOf("/srv/jobs/"), "/srv/jobs/");
    EXPECT_EQ(ParamFolderOf("/srv/networking/"), "/srv/networking/");
    // A backslash is an ordinary character in a Linux name.
    EXPECT_EQ(ParamFolderOf("/srv/a\\work\\/"), "/srv/a\\work\\/");
}

TEST(FileFolderRule, ReplacesOnlyTheFinalWorkComponent)
{
    EXPECT_EQ(FileFolderOf("D:\\data\\work\\", '\\'), "D:\\data\\file\\");
    EXPECT_EQ(FileFolderOf("/srv/Artwork/work/"), "/srv/Artwork/file/");
    EXPECT_EQ(FileFolderOf("/srv/work/work/"), "/srv/work/file/");
    EXPECT_EQ(FileFolderOf("/srv/work/jobs/"), "/srv/work/jobs/");
    EXPECT_EQ(LastComponent("/srv/work//"), "work");
    EXPECT_EQ(LastComponent("D:\\data\\file\\", '\\'), "file");
}

TEST(WorkFolderRule, FirstLineOfWorkPathFileOrTheDefault)
{
    ScratchFolder scratch;
    ::setenv("XDG_DATA_HOME", "/tmp/brenvik-xdg", 1);
    SetProgramFolderForTesting(scratch.Root());
    EXPECT_EQ(WorkFolder(), "/tmp/brenvik-xdg/Halvoren/Brenvik/work/");
    EXPECT_EQ(ParamFolder(), "/tmp/brenvik-xdg/Halvoren/Brenvik/");
    EXPECT_EQ(FileFolder(), "/tmp/brenvik-xdg/Halvoren/Brenvik/file/");

    ASSERT_TRUE(WriteWholeFile(scratch.Root() + "workPath.txt", "/srv/jobs/work\r\nignored\r\n"));
    EXPECT_EQ(WorkFolder(), "/srv/jobs/work/");
    EXPECT_EQ(ParamFolder(), "/srv/jobs/");

    // A Windows path or a relative one cannot be used here: the default.
    ASSERT_TRUE(WriteWholeFile(scratch.Root() + "workPath.txt", "D:\\data\\work\\\r\n"));
    EXPECT_EQ(WorkFolder(), "/tmp/brenvik-xdg/Halvoren/Brenvik/work/");
    ASSERT_TRUE(WriteWholeFile(scratch.Root() + "workPath.txt", "data/work/\n"));
    EXPECT_EQ(WorkFolder(), "/tmp/brenvik-xdg/Halvoren/Brenvik/work/");
    ASSERT_TRUE(WriteWholeFile(scratch.Root() + "workPath.txt", ""));
    EXPECT_EQ(WorkFolder(), "/tmp/brenvik-xdg/Halvoren/Brenvik/work/");
    // A NUL byte would cut the path short where the system takes it, and the
    // files would go to /srv/data instead.
    ASSERT_TRUE(WriteWholeFile(scratch.Root() + "workPath.txt", std::string("/srv/data\0/work/\n", 17)));
    EXPECT_EQ(WorkFolder(), "/tmp/brenvik-xdg/Halvoren/Brenvik/work/");
    ::unsetenv("XDG_DATA_HOME");
}

TEST(TechFileName, MachineNameInUtf8InsideTheParameterFolder)
{
    EXPECT_EQ(TechFileName(u"Def"), "TechDef.par");
    EXPECT_EQ(TechFileName(u"图纸"), "Tech\xE5\x9B\xBE\xE7\xBA\xB8.par");
    // Nothing in a name may lead out of the folder.
    EXPECT_EQ(TechFileName(u"../../etc/x"), "Tech.._.._etc_x.par");
    EXPECT_EQ(TechFileName(u"a\\b"), "Techa_b.par");
    EXPECT_EQ(TechFileName(std::u16string(u"a\nb\x7f") + u'\0'), "Techa_b__.par");
    // 100 three-byte characters are cut to 66 (198 bytes), never mid-character.
    const std::string cut = TechFileName(std::u16string(100, u'图'));
    EXPECT_EQ(cut.size(), 4 + 198 + 4u);
    EXPECT_EQ(cut.substr(cut.size() - 7), "\xE5\x9B\xBE.par");
}

TEST(TechFileName, CodePageBytesGiveTheSameFileAsTheWideName)
{
    ::unsetenv("BRENVIK_CODEPAGE");
    // 图纸 in CP936 is CD BC D6 BD.
    EXPECT_EQ(TechFileNameFromCodePage("\xCD\xBC\xD6\xBD"), TechFileName(u"图纸"));
    EXPECT_EQ(TechFileNameFromCodePage("Def"), "TechDef.par");
    EXPECT_EQ(TechFileNameFromCodePage("../x"), "Tech.._x.par");
}

TEST(CreateFolderPath, MakesMissingParentsAndReportsFailure)
{
    ScratchFolder scratch;
    EXPECT_TRUE(CreateFolderPath(scratch.Root() + "a/b/c/work/"));
    EXPECT_TRUE(fs::is_directory(scratch.Root() + "a/b/c/work"));
    EXPECT_TRUE(CreateFolderPath(scratch.Root() + "a/b/c/work")); // already there
    scratch.Touch("plain");
    EXPECT_FALSE(CreateFolderPath(scratch.Root() + "plain/work/"));
    EXPECT_FALSE(CreateFolderPath(scratch.Root() + "plain"));
    EXPECT_FALSE(CreateFolderPath(""));
}

TEST(DeleteFolderFiles, EmptiesWorkFolderKeepsSubfoldersAndNeverFollowsLinks)
{
    ScratchFolder scratch;
    ASSERT_TRUE(CreateOwnFolder(scratch.Root() + "work/"));
    ASSERT_TRUE(CreateFolderPath(scratch.Root() + "work/sub/deeper"));
    ASSERT_TRUE(CreateFolderPath(scratch.Root() + "outside"));
    scratch.Touch("work/a.tmp");
    scratch.Touch("work/sub/b.tmp");
    scratch.Touch("work/sub/deeper/c.tmp");
    scratch.Touch("outside/keep.par");
    fs::create_directory_symlink(scratch.Root() + "outside", scratch.Root() + "work/linked");

    EXPECT_TRUE(DeleteFolderFiles(scratch.Root() + "work/", scratch.Root()));
    EXPECT_FALSE(scratch.Exists("work/a.tmp"));
    EXPECT_FALSE(scratch.Exists("work/sub/b.tmp"));
    EXPECT_FALSE(scratch.Exists("work/sub/deeper/c.tmp"));
    EXPECT_TRUE(fs::is_directory(scratch.Root() + "work/sub/deeper"));
    EXPECT_FALSE(scratch.Exists("work/linked"));
    EXPECT_TRUE(scratch.Exists("outside/keep.par"));
    EXPECT_TRUE(fs::is_directory(scratch.Root() + "work"));
    EXPECT_TRUE(scratch.Exists(std::string("work/") + kOwnFolderMarker)); // emptied again next time

    // Without a trailing separator the folder itself goes too.
    ASSERT_TRUE(CreateOwnFolder(scratch.Root() + "x/file"));
    scratch.Touch("x/file/d.tmp");
    EXPECT_TRUE(DeleteFolderFiles(scratch.Root() + "x/file", scratch.Root()));
    EXPECT_FALSE(scratch.Exists("x/file"));
}

TEST(DeleteFolderFiles, RefusesFoldersThatAreNotWorkOrFileFolders)
{
    ScratchFolder scratch;
    // Each folder carries the marker, so only the rule under test refuses it.
    ASSERT_TRUE(CreateOwnFolder(scratch.Root() + "settings"));
    scratch.Touch("settings/MacInfo.par");
    // A work folder without a "work" component is the parameter folder itself.
    EXPECT_FALSE(DeleteFolderFiles(scratch.Root() + "settings/", scratch.Root() + "settings/"));
    EXPECT_FALSE(DeleteFolderFiles(scratch.Root() + "settings/", scratch.Root()));
    EXPECT_TRUE(scratch.Exists("settings/MacInfo.par"));

    // A folder named work that is the parameter folder (work folder .../work/work/).
    ASSERT_TRUE(CreateOwnFolder(scratch.Root() + "work"));
    scratch.Touch("work/MacInfo.par");
    EXPECT_FALSE(DeleteFolderFiles(scratch.Root() + "work/", scratch.Root() + "work/"));
    EXPECT_TRUE(scratch.Exists("work/MacInfo.par"));

    // A work folder that is a symbolic link is not emptied through it.
    ASSERT_TRUE(CreateOwnFolder(scratch.Root() + "real"));
    scratch.Touch("real/keep.tmp");
    ASSERT_TRUE(CreateFolderPath(scratch.Root() + "l"));
    fs::create_directory_symlink(scratch.Root() + "real", scratch.Root() + "l/work");
    EXPECT_FALSE(DeleteFolderFiles(scratch.Root() + "l/work/", scratch.Root()));
    EXPECT_TRUE(scratch.Exists("real/keep.tmp"));

    EXPECT_FALSE(DeleteFolderFiles("", scratch.Root()));
    EXPECT_FALSE(DeleteFolderFiles("/", scratch.Root()));
    EXPECT_FALSE(DeleteFolderFiles("//", scratch.Root()));
}

TEST(DeleteFolderFiles, RefusesTheHomeFolderEvenWhenNamedWork)
{
    ScratchFolder scratch;
    ASSERT_TRUE(CreateOwnFolder(scratch.Root() + "home/work"));
    scratch.Touch("home/work/.profile");
    const char* oldHome = std::getenv("HOME");
    const std::string saved = oldHome != nullptr ? oldHome : "";
    ::setenv("HOME", (scratch.Root() + "home/work").c_str(), 1);
    EXPECT_FALSE(DeleteFolderFiles(scratch.Root() + "home/work/", scratch.Root()));
    ::setenv("HOME", saved.c_str(), 1);
    EXPECT_TRUE(scratch.Exists("home/work/.profile"));
}

TEST(DeleteFolderFiles, RefusesAFolderThatHoldsTheHomeOrTheParameterFolder)
{
    // Sites that keep home folders under /work/<user>: a workPath.txt line of
    // /work/ must not empty every user's home.
    ScratchFolder scratch;
    ASSERT_TRUE(CreateOwnFolder(scratch.Root() + "work"));
    ASSERT_TRUE(CreateFolderPath(scratch.Root() + "work/alice"));
    scratch.Touch("work/alice/thesis.tex");
    const char* oldHome = std::getenv("HOME");
    const std::string saved = oldHome != nullptr ? oldHome : "";
    ::setenv("HOME", (scratch.Root() + "work/alice").c_str(), 1);
    EXPECT_FALSE(DeleteFolderFiles(scratch.Root() + "work/", scratch.Root()));
    ::setenv("HOME", saved.c_str(), 1);
    EXPECT_TRUE(scratch.Exists("work/alice/thesis.tex"));

    // The parameter folder reached below the file folder through a link.
    ASSERT_TRUE(CreateOwnFolder(scratch.Root() + "file"));
    ASSERT_TRUE(CreateFolderPath(scratch.Root() + "file/settings"));
    scratch.Touch("file/settings/MacInfo.par");
    fs::create_directory_symlink(scratch.Root() + "file/settings", scratch.Root() + "params");
    EXPECT_FALSE(DeleteFolderFiles(scratch.Root() + "file/", scratch.Root() + "params/"));
    EXPECT_TRUE(scratch.Exists("file/settings/MacInfo.par"));

    // A sibling whose name only starts like the folder is not inside it.
    ASSERT_TRUE(CreateOwnFolder(scratch.Root() + "x/work"));
    ASSERT_TRUE(CreateFolderPath(scratch.Root() + "x/workshop"));
    scratch.Touch("x/work/a.tmp");
    ::setenv("HOME", (scratch.Root() + "x/workshop").c_str(), 1);
    EXPECT_TRUE(DeleteFolderFiles(scratch.Root() + "x/work/", scratch.Root() + "x/"));
    ::setenv("HOME", saved.c_str(), 1);
    EXPECT_FALSE(scratch.Exists("x/work/a.tmp"));
}

// The scratch root stands for "/": a folder named work directly below it
// holds someone's files.
TEST(DeleteFolderFiles, EmptiesOnlyAFolderTheProgramCreatedWhateverWayThePathLeadsThere)
{
    ScratchFolder scratch;
    ASSERT_TRUE(CreateFolderPath(scratch.Root() + "work/project"));
    scratch.Touch("work/thesis.tex");
    scratch.Touch("work/project/data.csv");
    ASSERT_TRUE(CreateFolderPath(scratch.Root() + "x"));
    fs::create_directory_symlink(scratch.Root(), scratch.Root() + "params"); // a parameter folder leading to "/"

    // Starting the program there uses the folder but does not make it its own.
    EXPECT_TRUE(CreateOwnFolder(scratch.Root() + "params/work/"));
    EXPECT_FALSE(scratch.Exists(std::string("work/") + kOwnFolderMarker));
    for (const std::string path : {"work/", "x/../work/", "params/work/", "params/work", "x/../work"})
        EXPECT_FALSE(DeleteFolderFiles(scratch.Root() + path, scratch.Root() + "settings/")) << path;
    // A marker that is only a link to a file does not count either.
    scratch.Touch("x/.brenvik-folder");
    fs::create_symlink(scratch.Root() + "x/.brenvik-folder", scratch.Root() + "work/" + kOwnFolderMarker);
    EXPECT_FALSE(DeleteFolderFiles(scratch.Root() + "work/", scratch.Root() + "settings/"));
    EXPECT_TRUE(scratch.Exists("work/thesis.tex"));
    EXPECT_TRUE(scratch.Exists("work/project/data.csv"));

    // The program's own folder is emptied by the same paths.
    ASSERT_TRUE(CreateOwnFolder(scratch.Root() + "x/mine/work/"));
    for (const std::string path : {"x/mine/work/", "x/../x/mine/work/", "params/x/mine/work/"}) {
        scratch.Touch("x/mine/work/import.tmp");
        EXPECT_TRUE(DeleteFolderFiles(scratch.Root() + path, scratch.Root() + "settings/")) << path;
        EXPECT_FALSE(scratch.Exists("x/mine/work/import.tmp")) << path;
    }
    // Removing the folder itself fails while a subfolder stays; it keeps its
    // marker then, and goes once it is empty.
    ASSERT_TRUE(CreateFolderPath(scratch.Root() + "x/mine/work/sub"));
    EXPECT_FALSE(DeleteFolderFiles(scratch.Root() + "x/mine/work", scratch.Root() + "settings/"));
    EXPECT_TRUE(scratch.Exists(std::string("x/mine/work/") + kOwnFolderMarker));
    fs::remove(scratch.Root() + "x/mine/work/sub");
    EXPECT_TRUE(DeleteFolderFiles(scratch.Root() + "x/mine/work", scratch.Root() + "settings/"));
    EXPECT_FALSE(scratch.Exists("x/mine/work"));
}

// A folder is the program's own only while nobody else could have put the
// marker there: folders it makes get mode 0755 whatever the umask and pass;
// the same folder made writable by others does not, unless it is sticky.
TEST(DeleteFolderFiles, HonoursTheMarkerOnlyInAFolderOthersCannotWrite)
{
    ScratchFolder scratch;
    const mode_t umask = ::umask(0002);
    const bool made = CreateOwnFolder(scratch.Root() + "a/work/");
    ::umask(umask);
    ASSERT_TRUE(made);
    for (const char* folder : {"a", "a/work"})
        EXPECT_EQ(fs::status(scratch.Root() + folder).permissions(), fs::perms(0755)) << folder;
    const std::string work = scratch.Root() + "a/work/";
    for (const auto& [mode, emptied] : {std::pair{0755, true}, std::pair{0775, false}, std::pair{0777, false},
                                        std::pair{01777, true}, std::pair{0700, true}}) {
        SCOPED_TRACE(mode);
        fs::permissions(work, fs::perms(mode));
        scratch.Touch("a/work/import.tmp");
        EXPECT_EQ(DeleteFolderFiles(work, scratch.Root() + "settings/"), emptied);
        EXPECT_EQ(scratch.Exists("a/work/import.tmp"), !emptied);
    }
}

// Another user's world-writable work folder with a marker in it, or a marker
// of another user in the program's own folder, is used but never emptied,
// nor removed with its marker.
TEST(DeleteFolderFiles, AMarkerOfAnotherUserOrInAnotherUsersFolderIsNotHonoured)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "changing owners needs root";
    constexpr uid_t kOther = 54321;
    ScratchFolder scratch;
    ASSERT_TRUE(CreateOwnFolder(scratch.Root() + "theirs/work/"));
    ASSERT_TRUE(CreateOwnFolder(scratch.Root() + "mine/work/"));
    const std::string theirs = scratch.Root() + "theirs/work";
    const std::string marker = scratch.Root() + "mine/work/" + kOwnFolderMarker;
    ASSERT_EQ(::chown(theirs.c_str(), kOther, kOther), 0);
    ASSERT_EQ(::chown((theirs + "/" + kOwnFolderMarker).c_str(), kOther, kOther), 0);
    fs::permissions(theirs, fs::perms(0777));
    ASSERT_EQ(::chown(marker.c_str(), kOther, kOther), 0);
    for (const char* folder : {"theirs/work", "mine/work"}) {
        SCOPED_TRACE(folder);
        scratch.Touch(std::string(folder) + "/drawing.dxf");
        EXPECT_FALSE(DeleteFolderFiles(scratch.Root() + folder + "/", scratch.Root() + "settings/"));
        EXPECT_FALSE(DeleteFolderFiles(scratch.Root() + folder, scratch.Root() + "settings/"));
        EXPECT_TRUE(scratch.Exists(std::string(folder) + "/drawing.dxf"));
        EXPECT_TRUE(scratch.Exists(std::string(folder) + "/" + kOwnFolderMarker));
    }
    // The marker made the program's own again: emptied.
    ASSERT_EQ(::chown(marker.c_str(), ::geteuid(), ::getegid()), 0);
    EXPECT_TRUE(DeleteFolderFiles(scratch.Root() + "mine/work/", scratch.Root() + "settings/"));
    EXPECT_FALSE(scratch.Exists("mine/work/drawing.dxf"));
}
