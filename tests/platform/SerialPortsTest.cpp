#include "platform/SerialPorts.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

using namespace plat;

TEST(SerialPorts, AdaptersSortedByNumberUsbBeforeAcm)
{
    char pattern[] = "/tmp/brenvik-dev-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = std::string(pattern) + "/";
    for (const char* n : {"ttyUSB10", "ttyACM1", "ttyUSB2", "ttyS0", "ttyACM0", "ttyUSBx", "ttyUSB"})
        ASSERT_TRUE(WriteWholeFile(dir + n, ""));
    // By name alone ttyUSB10 would come before ttyUSB2, making COM3 the
    // eleventh adapter.
    EXPECT_EQ(ListSerialAdapters(dir), (std::vector<std::string>{dir + "ttyUSB2", dir + "ttyUSB10", dir + "ttyACM0",
                                                                 dir + "ttyACM1"}));
    std::filesystem::remove_all(dir);
}

TEST(SerialPorts, FixedPortsAndOverrides)
{
    ::unsetenv("BRENVIK_COM1");
    ::unsetenv("BRENVIK_COM2");
    EXPECT_EQ(SerialDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(SerialDevicePath(2), "/dev/ttyS1");
    EXPECT_EQ(SerialDevicePath(0), "");
    EXPECT_EQ(SerialDevicePath(-3), "");
    ::setenv("BRENVIK_COM7", "/tmp/brenvik-pty", 1);
    EXPECT_EQ(SerialDevicePath(7), "/tmp/brenvik-pty");
    ::unsetenv("BRENVIK_COM7");
    const std::string mapped = SerialDevicePath(7);
    ::setenv("BRENVIK_COM7", "", 1); // empty means no override
    EXPECT_EQ(SerialDevicePath(7), mapped);
    ::unsetenv("BRENVIK_COM7");
}

TEST(SerialPorts, ProbeFlagsExactlyThePortsThatOpen)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);
    ::setenv("BRENVIK_COM1", "/nonexistent/ttyS0", 1);
    ::setenv("BRENVIK_COM2", "/nonexistent/ttyS1", 1);
    ::setenv("BRENVIK_COM3", "/nonexistent/ttyUSB0", 1);
    ::setenv("BRENVIK_COM4", "/nonexistent/ttyUSB1", 1);
    ::setenv("BRENVIK_COM5", slave.c_str(), 1);

    unsigned char flags[5] = {9, 9, 9, 9, 9};
    EXPECT_EQ(ProbeSerialPorts(flags, 5), 1);
    EXPECT_EQ(std::vector<unsigned char>(flags, flags + 5), (std::vector<unsigned char>{0, 0, 0, 0, 1}));

    // No ports asked for: nothing counted, nothing touched.
    unsigned char untouched = 7;
    EXPECT_EQ(ProbeSerialPorts(&untouched, 0), 0);
    EXPECT_EQ(untouched, 7);
    for (const char* v : {"BRENVIK_COM1", "BRENVIK_COM2", "BRENVIK_COM3", "BRENVIK_COM4", "BRENVIK_COM5"})
        ::unsetenv(v);
    ::close(master);
}
