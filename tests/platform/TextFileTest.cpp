#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <cstdio>
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
    EXPECT_EQ(data, "kept");
    EXPECT_FALSE(ReadWholeFile(folder + "/missing", data));
    EXPECT_FALSE(ReadWholeFile(std::string("/etc/hostname\0x", 15), data)); // a NUL cuts no path short
    std::remove(fifo.c_str());
    rmdir(name);
}
