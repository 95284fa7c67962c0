#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace plat;

TEST(TextFile, SplitAcceptsLfAndCrLfAndKeepsEmptyLines)
{
    EXPECT_EQ(SplitTextLines("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SplitTextLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(SplitTextLines(""), std::vector<std::string>{});
    // Only the CR right before the LF is a line end.
    EXPECT_EQ(SplitTextLines("a\rb\n"), (std::vector<std::string>{"a\rb"}));
    // A UTF-8 byte-order mark is dropped, but only at the very start.
    EXPECT_EQ(SplitTextLines("\xEF\xBB\xBFkey\r\n\xEF\xBB\xBFv"), (std::vector<std::string>{"key", "\xEF\xBB\xBFv"}));
    EXPECT_EQ(SplitTextLines("\xEF\xBB\xBF\r\nx"), (std::vector<std::string>{"", "x"}));
    EXPECT_EQ(SplitTextLines("\xEF\xBB"), std::vector<std::string>{"\xEF\xBB"});
}

TEST(TextFile, WritesCrLfAndReadsItBack)
{
    char name[] = "/tmp/brenvik-textXXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_TRUE(WriteTextLinesCrLf(name, {"key", "12", ""}));
    std::string data;
    ASSERT_TRUE(ReadWholeFile(name, data));
    EXPECT_EQ(data, "key\r\n12\r\n\r\n");
    // Read once front to back, a file of several reading buffers comes whole.
    std::vector<std::string> many(40000, "0123456789");
    ASSERT_TRUE(WriteTextLinesCrLf(name, many));
    ASSERT_TRUE(ReadWholeFileOnce(name, data));
    EXPECT_EQ(data.size(), 40000u * 12u);
    EXPECT_EQ(data.substr(data.size() - 12), "0123456789\r\n");
    ASSERT_TRUE(WriteTextLinesCrLf(name, {"key", "12", ""}));
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadTextLines(name, lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"key", "12", ""}));
    std::remove(name);
    EXPECT_FALSE(ReadTextLines(name, lines));
}

TEST(TextFile, ReadingAFolderOrAPipeFailsWithoutThrowingOrWaiting)
{
    char name[] = "/tmp/brenvik-textXXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const std::string folder = name;
    std::string data = "kept";
    EXPECT_FALSE(ReadWholeFile(folder, data));
    EXPECT_EQ(data, "kept");
    std::vector<std::string> lines{"kept"};
    EXPECT_FALSE(ReadTextLines(folder, lines));
    EXPECT_EQ(lines, std::vector<std::string>{"kept"});

    // A pipe without a writer would block an ordinary open for reading.
    const std::string fifo = folder + "/MacInfo.par";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(fifo, data));
    EXPECT_FALSE(ReadWholeFileOnce(fifo, data));
    EXPECT_FALSE(ReadWholeFileOnce(folder, data));
    EXPECT_EQ(data, "kept");
    EXPECT_FALSE(ReadWholeFile(folder + "/missing", data));
    EXPECT_FALSE(ReadWholeFile(std::string("/etc/hostname\0x", 15), data)); // a NUL cuts no path short
    std::remove(fifo.c_str());
    rmdir(name);
}

namespace {

// Lowers the largest file this process may write, as a full disk would stop
// a write; a write past it fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_old;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
};

std::vector<std::string> Listing(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(TextFile, WriteThatRunsOutOfSpaceKeepsTheOldFileAndLeavesNoTemporary)
{
    char name[] = "/tmp/brenvik-textXXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const std::string folder = std::string(name) + "/";
    const std::string old = "item\r\n0\r\nname\r\nDef\r\n";
    ASSERT_TRUE(WriteWholeFile(folder + "MacInfo.par", old));
    {
        FileSizeLimit limit(4096);
        // Cut mid-line at 4,096 bytes when written in place.
        EXPECT_FALSE(WriteWholeFile(folder + "MacInfo.par", std::string(10000, 'x')));
        EXPECT_TRUE(WriteWholeFile(folder + "MacInfo.par", std::string(4096, 'y'))); // up to the limit
        EXPECT_FALSE(WriteWholeFile(folder + "MacInfo.par", std::string(4097, 'x')));
    }
    std::string data;
    ASSERT_TRUE(ReadWholeFile(folder + "MacInfo.par", data));
    EXPECT_EQ(data, std::string(4096, 'y'));
    EXPECT_EQ(Listing(folder), std::vector<std::string>{"MacInfo.par"});
    std::filesystem::remove_all(folder);
}

TEST(TextFile, ReplacingKeepsLinksAndPermissionsAndRefusesAFolder)
{
    char name[] = "/tmp/brenvik-textXXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const std::string folder = std::string(name) + "/";
    namespace fs = std::filesystem;
    fs::create_directory(folder + "shared");
    ASSERT_TRUE(WriteWholeFile(folder + "shared/nest.par", "old"));
    ASSERT_EQ(chmod((folder + "shared/nest.par").c_str(), 0640), 0);
    fs::create_symlink(folder + "shared/nest.par", folder + "nest.par");

    ASSERT_TRUE(WriteWholeFile(folder + "nest.par", "new\r\n"));
    EXPECT_TRUE(fs::is_symlink(folder + "nest.par"));
    std::string data;
    ASSERT_TRUE(ReadWholeFile(folder + "shared/nest.par", data));
    EXPECT_EQ(data, "new\r\n");
    EXPECT_EQ(fs::status(folder + "shared/nest.par").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A folder in the file's place stays; nothing is left beside it.
    fs::create_directory(folder + "shared/Bari.par");
    EXPECT_FALSE(WriteWholeFile(folder + "shared/Bari.par", "x"));
    EXPECT_TRUE(fs::is_directory(folder + "shared/Bari.par"));
    EXPECT_FALSE(WriteWholeFile(folder + "missing/Bari.par", "x"));
    EXPECT_EQ(Listing(folder + "shared"), (std::vector<std::string>{"Bari.par", "nest.par"}));
    fs::remove_all(folder);
}

TEST(TextFile, NewFileIsMadeOnlyUnderAFreeNameAndThenFilled)
{
    char name[] = "/tmp/brenvik-textXXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const std::string folder = std::string(name) + "/";
    namespace fs = std::filesystem;
    ASSERT_TRUE(CreateNewFile(folder + "10a.bmp"));
    EXPECT_EQ(fs::file_size(folder + "10a.bmp"), 0u);
    // Taken: by that file (filled as a file of the run), by a link (even one
    // leading nowhere), by a folder.
    ASSERT_TRUE(WriteScratchFile(folder + "10a.bmp", "kept"));
    EXPECT_FALSE(CreateNewFile(folder + "10a.bmp"));
    fs::create_symlink(folder + "nowhere", folder + "11a.bmp");
    EXPECT_FALSE(CreateNewFile(folder + "11a.bmp"));
    EXPECT_FALSE(fs::exists(folder + "nowhere"));
    fs::create_directory(folder + "12a.bmp");
    EXPECT_FALSE(CreateNewFile(folder + "12a.bmp"));
    EXPECT_FALSE(CreateNewFile(folder + "missing/13a.bmp"));
    std::string data;
    ASSERT_TRUE(ReadWholeFile(folder + "10a.bmp", data));
    EXPECT_EQ(data, "kept");
    fs::remove_all(folder);
}
