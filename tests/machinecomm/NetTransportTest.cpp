// The network transport against the fake controller: the bytes on the wire,
// one packet and one fresh connection per exchange, answers into the answer
// ring, and every kind of bad or missing answer ending in a bounded way.
#include "JobTestSupport.h"
#include "LinkTestSupport.h"

#include <random>

namespace plat {
namespace {

using Fake = FakeController;

class NetTransport : public NetLinkTest {
protected:
    void Queue(const Bytes& packet, HWND window = kAnswerWindow)
    {
        ASSERT_TRUE(PutSendBytes(packet.data(), static_cast<std::uint32_t>(packet.size()), window));
    }
    bool Running() const { return Comm().running.load(); }

    const Bytes stop = MakeNetPacket(1, {0xD1, 0x01}); // OP_STOP
};

Bytes HeaderOfStop()
{
    Bytes h(50, 0);
    h[1] = 1;
    h[12] = 1;
    h[30] = 2;
    return h;
}

TEST_F(NetTransport, PayloadIsScrambledFromOffset50WithTheByteOfMachineType0)
{
    StartLink();
    Queue(stop);
    ASSERT_TRUE(fake.WaitForPackets(1, 2000));
    Bytes expected = HeaderOfStop();
    expected.push_back(0xE8); // D1 ^ 39
    expected.push_back(0x38); // 01 ^ 39
    EXPECT_EQ(fake.Packets()[0], expected);
}

TEST_F(NetTransport, PayloadIsScrambledWithTheByteOfMachineType1)
{
    ASSERT_EQ(SetMainFramWnd(kMainWindow, 1), 0u);
    StartLink();
    Queue(stop);
    ASSERT_TRUE(fake.WaitForPackets(1, 2000));
    Bytes expected = HeaderOfStop();
    expected.push_back(0xBA); // D1 ^ 6B
    expected.push_back(0x6A); // 01 ^ 6B
    EXPECT_EQ(fake.Packets()[0], expected);
}

TEST_F(NetTransport, RejectedWindowStillSwitchesScramblingAndUnknownTypeKeepsIt)
{
    EXPECT_EQ(SetMainFramWnd(0, 1), 1u);
    EXPECT_EQ(SetMainFramWnd(kMainWindow, 7), 0u);
    StartLink();
    Queue(stop);
    ASSERT_TRUE(fake.WaitForPackets(1, 2000));
    const Bytes wire = fake.Packets()[0];
    ASSERT_EQ(wire.size(), 52u);
    EXPECT_EQ(wire[50], 0xBA);
    EXPECT_EQ(wire[51], 0x6A);
}

TEST_F(NetTransport, BareHeaderGoesOutUnscrambled)
{
    StartLink();
    Bytes bare(50, 0);
    bare[1] = 1;
    bare[12] = 1;
    Queue(bare);
    ASSERT_TRUE(fake.WaitForPackets(1, 2000));
    EXPECT_EQ(fake.Packets()[0], bare);
}

TEST_F(NetTransport, TwoQueuedPacketsGoOutSeparatelyEachOnItsOwnConnection)
{
    StartLink();
    const Bytes query = MakeNetPacket(1, {0xCE});
    Bytes both = stop;
    both.insert(both.end(), query.begin(), query.end());
    Queue(both); // one block: the transport must still split it
    ASSERT_TRUE(fake.WaitForPackets(2, 3000));
    const std::vector<Bytes> plain = fake.Unscrambled(0x39);
    EXPECT_EQ(plain[0], stop);
    EXPECT_EQ(plain[1], query);
    EXPECT_EQ(fake.PacketConnections(), (std::vector<int>{0, 1}));
    EXPECT_TRUE(fake.WaitForConnections(3, 2000)); // ready for the third exchange
}

TEST_F(NetTransport, AnswerPayloadReachesTheAnswerRingAndTheQueuedWindow)
{
    const Bytes state = {0xCE, 0x05, 0x00, 0x00, 0x00, 0x00, 0x03};
    fake.Script({Fake::Answering(state)});
    StartLink();
    Queue(MakeNetPacket(1, {0xCE}));
    ASSERT_TRUE(WaitForPost(WM_COMM_ANSWER, kAnswerWindow, 1, 3000));
    EXPECT_EQ(TakeAnswers(), state); // not unscrambled
    EXPECT_EQ(Posted(WM_COMM_ANSWER, kAnswerWindow), 1u);
}

TEST_F(NetTransport, AnswerOfType4AndAnswerWithoutWindowAreDropped)
{
    fake.Script({Fake::Answering({0x11, 0x22}, 4), Fake::Answering({0x33}), Fake::Answering({0x44})});
    StartLink();
    Queue(MakeNetPacket(1, {0xCE}));
    ASSERT_TRUE(fake.WaitForConnections(2, 3000));
    Queue(MakeNetPacket(1, {0xCE}), 0);
    ASSERT_TRUE(fake.WaitForConnections(3, 3000));
    Queue(MakeNetPacket(1, {0xCE}));
    ASSERT_TRUE(WaitForPost(WM_COMM_ANSWER, kAnswerWindow, 1, 3000));
    EXPECT_EQ(TakeAnswers(), Bytes{0x44});
    EXPECT_EQ(poster.Count(WM_COMM_ANSWER), 1u);
}

TEST_F(NetTransport, IdleLinkOutlivesTheReceiveTimeOut)
{
    StartLink();
    ASSERT_TRUE(fake.WaitForConnections(1, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(2600));
    EXPECT_TRUE(Running());
    fake.Script({Fake::Answering({0x82, 0x00, 0x01})});
    Queue(stop);
    ASSERT_TRUE(WaitForPost(WM_COMM_ANSWER, kAnswerWindow, 1, 3000));
    EXPECT_EQ(TakeAnswers(), (Bytes{0x82, 0x00, 0x01}));
}

TEST_F(NetTransport, SlowAnswerWithinTheTimeOutIsDelivered)
{
    fake.Script({Fake::Answering({0x83, 0x01, 0x02}, 1, 900)});
    StartLink();
    Queue(stop);
    ASSERT_TRUE(WaitForPost(WM_COMM_ANSWER, kAnswerWindow, 1, 4000));
    EXPECT_EQ(TakeAnswers(), (Bytes{0x83, 0x01, 0x02}));
    EXPECT_TRUE(Running());
}

TEST_F(NetTransport, AnswerOfTheFullPacketLimitIsDeliveredAndOneByteMoreEndsTheTransport)
{
    Bytes full(1024);
    for (std::size_t i = 0; i < full.size(); ++i)
        full[i] = static_cast<std::uint8_t>(i & 0x7F);
    Bytes oversize(50, 0); // a header announcing 1,025 payload bytes
    oversize[1] = 1;
    oversize[29] = 0x04;
    oversize[30] = 0x01;
    fake.Script({Fake::Answering(full), Fake::GarbageHeldOpen(oversize)});
    StartLink();
    Queue(stop);
    ASSERT_TRUE(WaitForPost(WM_COMM_ANSWER, kAnswerWindow, 1, 3000));
    EXPECT_EQ(TakeAnswers(), full);
    Queue(stop);
    EXPECT_TRUE(WaitUntil([&] { return !Running(); }, 1500)); // at once, not after the wait
    EXPECT_EQ(GetAnswerBytesLen(), 0u);
    EXPECT_EQ(poster.Count(WM_COMM_ANSWER), 1u);
}

// A controller that fails an exchange in any way ends the transport within
// the answer wait (2 s from the send), without reconnecting or delivering
// anything; the main window is told why it ended.
struct FaultyController {
    const char* name;
    std::vector<FakeController::Step> steps;
    LPARAM reason;     // 0: the close may also come as a reset
};

void PrintTo(const FaultyController& c, std::ostream* os)
{
    *os << c.name;
}

Bytes RandomBytes(std::size_t n)
{
    std::mt19937 random(17);
    Bytes bytes(n);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

class FaultyControllerEndsTheLink : public NetTransport,
                                    public ::testing::WithParamInterface<FaultyController> {};

TEST_P(FaultyControllerEndsTheLink, WithinTheAnswerWaitAndNothingDelivered)
{
    std::vector<Fake::Step> script = GetParam().steps;
    script.push_back(Fake::Answering({0x82, 0x00, 0x05}));
    fake.Script(script);
    StartLink();
    ASSERT_TRUE(fake.WaitForConnections(1, 2000));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(VQ_OnlineOperate(1, 13, nullptr, 1, kAnswerWindow), 1u);
    EXPECT_TRUE(WaitUntil([&] { return !Running(); }, 2500));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_EQ(GetAnswerBytesLen(), 0u);
    EXPECT_EQ(poster.Count(WM_COMM_ANSWER), 0u);
    ASSERT_TRUE(WaitForPost(WM_COMM_LINK_STATE, kMainWindow, 2, 1000)); // up, then down
    const RecordingPoster::Message down = poster.Messages().back();
    EXPECT_EQ(down.wParam, 0u);
    if (GetParam().reason != 0)
        EXPECT_EQ(down.lParam, GetParam().reason);
    else
        EXPECT_TRUE(down.lParam == TRANS_ERROR_CLOSED || down.lParam == TRANS_ERROR_RESET) << down.lParam;
    // No reconnection after the failed exchange; a connection closed while
    // the link was idle is replaced once before it.
    EXPECT_LE(fake.Connections(), static_cast<int>(GetParam().steps.size()));
}

Bytes ShortAnswerPayload()
{
    return Bytes(40, 0x41);
}

INSTANTIATE_TEST_SUITE_P(
    NetTransport, FaultyControllerEndsTheLink,
    ::testing::Values(FaultyController{"CloseAfterAccept", {Fake::CloseOnAccept(), Fake::CloseOnAccept()}, 0},
                      FaultyController{"CloseMidHeader", {Fake::CutAfter(ShortAnswerPayload(), 20)},
                                       TRANS_ERROR_CLOSED},
                      FaultyController{"CloseMidPayload", {Fake::CutAfter(ShortAnswerPayload(), 70)},
                                       TRANS_ERROR_CLOSED},
                      FaultyController{"OversizeHeader", {Fake::GarbageHeldOpen([] {
                                           Bytes h(50, 0xFF); // announces 65,535 bytes
                                           h[8] = h[9] = h[10] = h[11] = 0;
                                           return h;
                                       }())},
                                       TRANS_ERROR_LINK},
                      FaultyController{"RandomBytes", {Fake::GarbageHeldOpen(RandomBytes(300))}, TRANS_ERROR_LINK},
                      FaultyController{"OneByteASecond", {Fake::Trickle({0x82, 0x00, 0x01}, 1000)},
                                       TRANS_ERROR_NO_ANSWER}),
    [](const ::testing::TestParamInfo<FaultyController>& info) { return info.param.name; });

TEST_F(NetTransport, AnswerToAnotherExchangeEndsTheTransport)
{
    fake.Script({Fake::ForeignExchange({0x82, 0x00, 0x01})});
    StartLink();
    Queue(stop);
    EXPECT_TRUE(WaitUntil([&] { return !Running(); }, 3000));
    EXPECT_EQ(GetAnswerBytesLen(), 0u);
    EXPECT_EQ(poster.Count(WM_COMM_ANSWER), 0u);
}

TEST_F(NetTransport, SilentControllerEndsTheTransportAfterTheTimeOutAndTheNextStartWorks)
{
    fake.Script({Fake::Silence(), Fake::Answering({0x82, 0x00, 0x02})});
    StartLink();
    Queue(stop);
    ASSERT_TRUE(fake.WaitForPackets(1, 2000));
    EXPECT_TRUE(Running());
    EXPECT_TRUE(WaitUntil([&] { return !Running(); }, 4000));
    EXPECT_LT(MillisecondsOf([] { VqEtCommThrd(1); }), 300);

    StartLink();
    Queue(stop);
    ASSERT_TRUE(WaitForPost(WM_COMM_ANSWER, kAnswerWindow, 1, 3000));
    EXPECT_EQ(TakeAnswers(), (Bytes{0x82, 0x00, 0x02}));
}

TEST_F(NetTransport, EndWhileWaitingForASilentControllerReturnsPromptly)
{
    fake.Script({Fake::Silence()});
    StartLink();
    Queue(stop);
    ASSERT_TRUE(fake.WaitForPackets(1, 2000));
    EXPECT_LT(MillisecondsOf([] { VqEtCommThrd(1); }), 500);
    EXPECT_FALSE(Running());
    EXPECT_FALSE(Comm().commThread.joinable());
}

TEST_F(NetTransport, EndWithWaitLetsAQueuedPacketGoOutFirst)
{
    StartLink();
    ASSERT_TRUE(fake.WaitForConnections(1, 2000));
    Queue(stop);
    VqEtCommThrd(1);
    EXPECT_TRUE(fake.WaitForPackets(1, 1000));
}

TEST_F(NetTransport, JobOf2100BytesGoesOutInNumberedBlocksFollowedByTheStartCommand)
{
    StartLink();
    TestJob job;
    std::memcpy(job.head.m_jobName, "net.out", 7);
    const Bytes ready = ReadyData(2100);
    TRANSFILEREQ request;
    FillRequest(request, job, {}, kTransferWindow);
    UseReadyData(request, ready);
    request.m_info.m_linkType = 1;
    request.m_startAfter = 1;
    ASSERT_EQ(VQ_TransFileOperate(&request), TRANS_STARTED);
    ASSERT_TRUE(WaitForTransferEnd(10000));
    ASSERT_TRUE(fake.WaitForPackets(4, 1000));
    const std::vector<Bytes> packets = fake.Unscrambled(0x39);
    ASSERT_EQ(packets.size(), 4u);

    // Block header: total 2100 = 08 34, block number, last flag, "net",
    // "OUT", payload length, counter from 112 = 00 70.
    const auto head = [](std::uint8_t number, std::uint8_t last, Bytes length, std::uint8_t counter) {
        return Cat({{0, 0, 0, 0, 0, 0, 0x08, 0x34, 0, 0, 0, number, last},
                    {0x6E, 0x65, 0x74, 0, 0, 0, 0, 0, 0x4F, 0x55, 0x54, 0, 0, 0, 0, 0},
                    length, {0x00, counter}, Bytes(17, 0)});
    };
    EXPECT_EQ(Bytes(packets[0].begin(), packets[0].begin() + 50), head(1, 0, {0x04, 0x00}, 0x70));
    EXPECT_EQ(Bytes(packets[1].begin(), packets[1].begin() + 50), head(2, 0, {0x04, 0x00}, 0x71));
    EXPECT_EQ(Bytes(packets[2].begin(), packets[2].begin() + 50), head(3, 1, {0x00, 0x34}, 0x72));
    // The start command keeps the last block's header but for type, length.
    Bytes start = head(3, 1, {0x00, 0x04}, 0x72);
    start[1] = 1;
    EXPECT_EQ(packets[3], Cat({start, {0xE1, 0x04, 0xD1, 0x00}}));

    Bytes stream(ready.begin() + 384, ready.end());
    const Bytes name = {0x6E, 0x65, 0x74, 0, 0, 0, 0, 0, 0x00}; // "net", end of name
    std::copy(name.begin(), name.end(), stream.begin() + 8);
    Bytes joined;
    for (int i = 0; i < 3; ++i)
        joined.insert(joined.end(), packets[i].begin() + 50, packets[i].end());
    EXPECT_EQ(joined, stream);

    // Percentages of the blocks the transport has sent: 0, 1024 and 2048 of 2100.
    const auto seen = Progress();
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), (std::pair<WPARAM, LPARAM>{1, 2100}));
    EXPECT_EQ(seen.back(), (std::pair<WPARAM, LPARAM>{2, 100}));
    LPARAM previous = 0;
    for (std::size_t i = 1; i + 1 < seen.size(); ++i) {
        EXPECT_EQ(seen[i].first, 2u);
        EXPECT_TRUE(seen[i].second == 0 || seen[i].second == 48 || seen[i].second == 97)
            << seen[i].second;
        EXPECT_GE(seen[i].second, previous);
        previous = seen[i].second;
    }
}

} // namespace
} // namespace plat
