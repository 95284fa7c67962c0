// The serial transport over a pseudo-terminal: the test plays the controller
// on the master side, reading everything the library writes (a pty whose
// master is not read blocks the writer) and answering there.
#include "JobTestSupport.h"
#include "LinkTestSupport.h"
#include "SerialComm.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <mutex>

namespace plat {
namespace {

constexpr int kPort = 7;

class SerialTransport : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        char name[256] = {};
        ASSERT_EQ(::openpty(&m_master, &m_slave, name, nullptr, nullptr), 0);
        ::fcntl(m_master, F_SETFL, O_NONBLOCK);
        ::setenv("BRENVIK_COM7", name, 1);
    }
    void TearDown() override
    {
        LinkTest::TearDown();
        StopReading();
        ::unsetenv("BRENVIK_COM7");
        ::close(m_master);
        ::close(m_slave);
    }

    void StartReading()
    {
        m_reading = true;
        m_reader = std::thread([this] {
            std::uint8_t buf[4096];
            while (m_reading.load()) {
                pollfd p{m_master, POLLIN, 0};
                if (::poll(&p, 1, 10) <= 0)
                    continue;
                const ssize_t r = ::read(m_master, buf, sizeof buf);
                if (r > 0) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_line.insert(m_line.end(), buf, buf + r);
                }
            }
        });
    }
    void StopReading()
    {
        m_reading = false;
        if (m_reader.joinable())
            m_reader.join();
    }
    Bytes Line() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_line;
    }
    bool WaitForLine(std::size_t n, int timeoutMs) const
    {
        return WaitUntil([&] { return Line().size() >= n; }, timeoutMs);
    }
    void Answer(const Bytes& bytes) const
    {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
    void Queue(const Bytes& bytes, HWND window = kAnswerWindow) const
    {
        ASSERT_TRUE(PutSendBytes(bytes.data(), static_cast<std::uint32_t>(bytes.size()), window));
    }
    bool Running() const { return Comm().running.load(); }

    int m_master = -1;
    int m_slave = -1;
    std::atomic<bool> m_reading{false};
    std::thread m_reader;
    mutable std::mutex m_mutex;
    Bytes m_line;
};

TEST_F(SerialTransport, EveryByteGoesOutScrambledWithoutHeader)
{
    StartReading();
    ASSERT_TRUE(VqStCommThrd(0, kPort));
    Queue({0xD1, 0x01});
    ASSERT_TRUE(WaitForLine(2, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Line(), (Bytes{0xE8, 0x38})); // D1 ^ 39, 01 ^ 39
}

TEST_F(SerialTransport, MachineType1ScramblesWith6B)
{
    ASSERT_EQ(SetMainFramWnd(kMainWindow, 1), 0u);
    StartReading();
    ASSERT_TRUE(VqStCommThrd(0, kPort));
    Queue({0xD1, 0x01, 0x00});
    ASSERT_TRUE(WaitForLine(3, 2000));
    EXPECT_EQ(Line(), (Bytes{0xBA, 0x6A, 0x6B}));
}

TEST_F(SerialTransport, FullSendRingGoesOutCompleteAndInOrder)
{
    StartReading();
    ASSERT_TRUE(VqStCommThrd(0, kPort));
    Bytes block(65534);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    Queue(block);
    ASSERT_TRUE(WaitForLine(block.size(), 10000));
    Bytes line = Line();
    ASSERT_EQ(line.size(), block.size());
    for (std::uint8_t& b : line)
        b ^= 0x39;
    EXPECT_TRUE(line == block);
}

TEST_F(SerialTransport, ReceivedBytesReachTheAnswerRingAndTheQueuedWindow)
{
    StartReading();
    ASSERT_TRUE(VqStCommThrd(0, kPort));
    Queue({0xCE});
    ASSERT_TRUE(WaitForLine(1, 2000));
    const Bytes state = {0xCE, 0x05, 0x00, 0x00, 0x00, 0x00, 0x03};
    Answer(state);
    ASSERT_TRUE(WaitForPost(WM_COMM_ANSWER, kAnswerWindow, 1, 2000));
    EXPECT_EQ(TakeAnswers(), state);
}

TEST_F(SerialTransport, BytesArrivingWhileNoWindowWaitsAreDiscarded)
{
    StartReading();
    ASSERT_TRUE(VqStCommThrd(0, kPort));
    Queue({0xCE}, 0);
    ASSERT_TRUE(WaitForLine(1, 2000));
    Answer({0x82, 0x00, 0x01});
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(GetAnswerBytesLen(), 0u);
    Queue({0xCE});
    ASSERT_TRUE(WaitForLine(2, 2000));
    Answer({0x82, 0x00, 0x02});
    ASSERT_TRUE(WaitForPost(WM_COMM_ANSWER, kAnswerWindow, 1, 2000));
    EXPECT_EQ(TakeAnswers(), (Bytes{0x82, 0x00, 0x02}));
    EXPECT_EQ(poster.Count(WM_COMM_ANSWER), 1u);
}

TEST_F(SerialTransport, EndReturnsPromptlyWhileAWriteIsStalled)
{
    // Nobody reads the master: the pty takes far fewer than the 40,960
    // bytes of the first block, and the write stalls.
    ASSERT_TRUE(VqStCommThrd(0, kPort));
    const Bytes block(65534, 0x55);
    Queue(block);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(Running());
    EXPECT_LT(MillisecondsOf([] { VqEtCommThrd(1); }), 3500);
    EXPECT_FALSE(Running());
    EXPECT_FALSE(Comm().commThread.joinable());
}

TEST_F(SerialTransport, EndedLinkGivesUpItsExclusiveHoldOnTheDevice)
{
    // The test keeps the slave side open, so the device outlives the link:
    // an exclusive mark left behind would shut every later open out.
    StartReading();
    ASSERT_TRUE(VqStCommThrd(0, kPort));
    Queue({0x01});
    ASSERT_TRUE(WaitForLine(1, 2000));
    int exclusive = 0;
    ASSERT_EQ(::ioctl(m_slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1); // held while the link runs
    VqEtCommThrd(1);
    ASSERT_EQ(::ioctl(m_slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
}

TEST_F(SerialTransport, MissingDeviceEndsTheTransportAndTheNextStartWorks)
{
    {
        ScopedEnv missing("BRENVIK_COM8", "/nonexistent/tty-for-vantrel-tests");
        ASSERT_TRUE(VqStCommThrd(0, 8));
        EXPECT_TRUE(WaitUntil([&] { return !Running(); }, 2000));
        EXPECT_LT(MillisecondsOf([] { VqEtCommThrd(1); }), 300);
    }
    StartReading();
    ASSERT_TRUE(VqStCommThrd(0, kPort));
    Queue({0x01});
    ASSERT_TRUE(WaitForLine(1, 2000));
    EXPECT_EQ(Line(), Bytes{0x38});
}

TEST_F(SerialTransport, PortFailureIsReportedOncePerRegisteredMainWindow)
{
    // Not a terminal: the line settings fail, which the port reports.
    ScopedEnv notTty("BRENVIK_COM9", "/dev/null");
    ASSERT_TRUE(VqStCommThrd(0, 9));
    ASSERT_TRUE(WaitForPost(WM_COMM_PORT_ERROR, kMainWindow, 1, 2000));
    VqEtCommThrd(1);
    ASSERT_TRUE(VqStCommThrd(0, 9));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    VqEtCommThrd(1);
    EXPECT_EQ(poster.Count(WM_COMM_PORT_ERROR), 1u);

    ASSERT_EQ(SetMainFramWnd(kMainWindow, 0), 0u);
    ASSERT_TRUE(VqStCommThrd(0, 9));
    EXPECT_TRUE(WaitForPost(WM_COMM_PORT_ERROR, kMainWindow, 2, 2000));
}

TEST_F(SerialTransport, JobGoesOutScrambledAndTheStartCommandFollowsIt)
{
    StartReading();
    ASSERT_TRUE(VqStCommThrd(0, kPort));
    TestJob job;
    const Bytes ready = ReadyData(3000);
    TRANSFILEREQ request;
    FillRequest(request, job, {}, kTransferWindow);
    UseReadyData(request, ready);
    request.m_startAfter = 1;
    ASSERT_EQ(VQ_TransFileOperate(&request), TRANS_STARTED);
    ASSERT_TRUE(WaitForTransferEnd(10000));
    EXPECT_EQ(Progress().back(), (std::pair<WPARAM, LPARAM>{2, 100}));
    Bytes expected(ready.begin() + 384, ready.end());
    std::fill(expected.begin() + 8, expected.begin() + 17, 0); // an empty name
    expected.insert(expected.end(), {0xE1, 0x04, 0xD1, 0x00});
    for (auto& b : expected)
        b ^= 0x39;
    ASSERT_TRUE(WaitForLine(expected.size(), 2000));
    EXPECT_EQ(Line(), expected);
}

TEST_F(SerialTransport, StalledLineEndsTheTransferWithAFailure)
{
    // Nobody reads the master; the write bound is shortened from about 45 s.
    SetSerialWriteBoundForTesting(300);
    ASSERT_TRUE(VqStCommThrd(0, kPort));
    TestJob job;
    const Bytes ready = ReadyData(200000);
    TRANSFILEREQ request;
    FillRequest(request, job, {}, kTransferWindow);
    UseReadyData(request, ready);
    ASSERT_EQ(VQ_TransFileOperate(&request), TRANS_STARTED);
    const bool ended = WaitForTransferEnd(5000);
    SetSerialWriteBoundForTesting(0);
    ASSERT_TRUE(ended);
    EXPECT_EQ(Progress().back(), (std::pair<WPARAM, LPARAM>{3, TRANS_ERROR_LINK}));
    EXPECT_FALSE(Running());
}

} // namespace
} // namespace plat
