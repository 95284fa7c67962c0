// Registering the main window, starting and ending the link: the scrambling
// byte's switch, the refused second start, and an end that never hangs.
#include "LinkTestSupport.h"

#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

namespace plat {
namespace {

using Lifecycle = LinkTest;

TEST_F(Lifecycle, RejectedWindowKeepsThePreviousOneButStillSwitchesTheScrambleByte)
{
    EXPECT_EQ(SetMainFramWnd(0, 1), 1u);
    EXPECT_EQ(Comm().mainWindow.load(), kMainWindow);
    EXPECT_EQ(SCRAMBLEBYTE.load(), 0x6B);
    EXPECT_EQ(SetMainFramWnd(static_cast<HWND>(-1), 0), 1u);
    EXPECT_EQ(Comm().mainWindow.load(), kMainWindow);
    EXPECT_EQ(SCRAMBLEBYTE.load(), 0x39);
}

TEST_F(Lifecycle, UnknownMachineTypeStoresTheWindowAndLeavesTheScrambleByte)
{
    ASSERT_EQ(SetMainFramWnd(0x3000, 1), 0u);
    EXPECT_EQ(SetMainFramWnd(0x4000, 7), 0u);
    EXPECT_EQ(Comm().mainWindow.load(), 0x4000u);
    EXPECT_EQ(SCRAMBLEBYTE.load(), 0x6B);
}

TEST_F(Lifecycle, ModeWithoutLinkStartsNothingButEmptiesBothRings)
{
    const Bytes bytes(100, 0x42);
    ASSERT_TRUE(PutSendBytes(bytes.data(), 100, kAnswerWindow));
    ASSERT_TRUE(PutAnswerBytes(bytes.data(), 100));
    EXPECT_TRUE(VqStCommThrd(255, kLoopback));
    EXPECT_FALSE(Comm().running.load());
    EXPECT_FALSE(Comm().commThread.joinable());
    EXPECT_EQ(GetSendBytesLen(), 0u);
    EXPECT_EQ(GetAnswerBytesLen(), 0u);
}

TEST_F(Lifecycle, EndWithoutARunningLinkReturnsAtOnce)
{
    EXPECT_LT(MillisecondsOf([] { VqEtCommThrd(1); }), 200);
    EXPECT_LT(MillisecondsOf([] { VqEtCommThrd(0); }), 200);
}

TEST_F(Lifecycle, SecondLinkWhileALinkRunsIsRefusedAndAModeWithoutLinkLeavesTheLinkAlone)
{
    FakeController fake;
    ASSERT_TRUE(fake.Start());
    ScopedEnv port("VANTREL_PORT", std::to_string(fake.Port()));
    ASSERT_TRUE(VqStCommThrd(1, kLoopback));
    ASSERT_TRUE(fake.WaitForConnections(1, 2000));
    const std::uint8_t kept[3] = {1, 2, 3};
    ASSERT_TRUE(PutAnswerBytes(kept, 3));

    EXPECT_FALSE(VqStCommThrd(1, kLoopback));
    EXPECT_FALSE(VqStCommThrd(0, 3));
    // A connection that only saves work files may open beside the link.
    EXPECT_TRUE(VqStCommThrd(255, 0x0A000001));
    EXPECT_EQ(GetAnswerBytesLen(), 3u); // none of these cleared anything
    EXPECT_EQ(Comm().linkArgument, kLoopback);
    EXPECT_TRUE(Comm().running.load());

    // The one link still carries packets.
    const Bytes packet = MakeNetPacket(1, {0xD1, 0x01});
    ASSERT_TRUE(PutSendBytes(packet.data(), 52, kAnswerWindow));
    EXPECT_TRUE(fake.WaitForPackets(1, 2000));
    EXPECT_TRUE(fake.WaitForConnections(2, 2000)); // the next exchange's connection
}

TEST_F(Lifecycle, RefusedConnectionEndsTheTransportAndTheNextStartWorks)
{
    // A bound socket that does not listen refuses every connection.
    const int closed = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof at;
    ASSERT_EQ(::bind(closed, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(::getsockname(closed, reinterpret_cast<sockaddr*>(&at), &len), 0);
    {
        ScopedEnv port("VANTREL_PORT", std::to_string(ntohs(at.sin_port)));
        ASSERT_TRUE(VqStCommThrd(1, kLoopback));
        EXPECT_TRUE(WaitUntil([] { return !Comm().running.load(); }, 2000));
        EXPECT_LT(MillisecondsOf([] { VqEtCommThrd(1); }), 300);
    }
    ::close(closed);

    FakeController fake;
    ASSERT_TRUE(fake.Start());
    fake.Script({FakeController::Answering({0x83, 0x00, 0x05})});
    ScopedEnv port("VANTREL_PORT", std::to_string(fake.Port()));
    ASSERT_TRUE(VqStCommThrd(1, kLoopback));
    const Bytes packet = MakeNetPacket(1, {0xCE});
    ASSERT_TRUE(PutSendBytes(packet.data(), 51, kAnswerWindow));
    ASSERT_TRUE(WaitForPost(WM_COMM_ANSWER, kAnswerWindow, 1, 3000));
    EXPECT_EQ(TakeAnswers(), (Bytes{0x83, 0x00, 0x05}));
}

TEST_F(Lifecycle, EndWhileTheFirstConnectionIsStillPendingReturnsPromptly)
{
    // A controller whose accept queue is full: its SYNs go unanswered, so the
    // transport's connect stays pending for its whole time-out.
    const int busy = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof at;
    ASSERT_EQ(::bind(busy, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(::listen(busy, 0), 0);
    ASSERT_EQ(::getsockname(busy, reinterpret_cast<sockaddr*>(&at), &len), 0);
    const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);

    ScopedEnv port("VANTREL_PORT", std::to_string(ntohs(at.sin_port)));
    for (std::uint32_t wait : {1u, 0u}) {
        ASSERT_TRUE(VqStCommThrd(1, kLoopback));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_TRUE(Comm().running.load()) << "the connect should still be pending";
        EXPECT_LT(MillisecondsOf([wait] { VqEtCommThrd(wait); }), 500) << "wait " << wait;
        EXPECT_FALSE(Comm().running.load());
        EXPECT_FALSE(Comm().commThread.joinable());
    }
    ::close(filler);
    ::close(busy);
}

TEST_F(Lifecycle, TransportThatEndedByItselfIsJoinedBeforeTheRingsAreClearedAgain)
{
    ScopedEnv device("BRENVIK_COM41", "/nonexistent/tty-for-vantrel-tests");
    ASSERT_TRUE(VqStCommThrd(0, 41));
    EXPECT_TRUE(WaitUntil([] { return !Comm().running.load(); }, 2000));
    // The dead link's thread is gone; a new start takes its place.
    EXPECT_TRUE(VqStCommThrd(0, 41));
    EXPECT_TRUE(WaitUntil([] { return !Comm().running.load(); }, 2000));
    EXPECT_LT(MillisecondsOf([] { VqEtCommThrd(1); }), 300);
    EXPECT_FALSE(Comm().commThread.joinable());
}

} // namespace
} // namespace plat
