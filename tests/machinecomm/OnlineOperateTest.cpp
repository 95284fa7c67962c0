// Online operations: the payload bytes of every operation, the packet header
// of a network link, which calls wait for the send ring, refused null data,
// and commands queued behind a job block instead of dropping it.
#include "LinkTestSupport.h"
#include "OnlineOperate.h"

#include <array>
#include <climits>
#include <cstring>
#include <set>

namespace plat {
namespace {

Bytes Payload(std::int32_t code, const void* data)
{
    Bytes out(kOnlinePayloadMax, 0xEE);
    const std::int32_t n = EncodeOnlinePayload(code, data, out.data());
    if (n < 0)
        return Bytes{0xBA, 0xD0};
    out.resize(static_cast<std::size_t>(n));
    return out;
}

Bytes MoveBy(std::int32_t dx, std::int32_t dy)
{
    const std::int32_t d[2] = {dx, dy};
    return Payload(OP_MOVE_BY, d);
}

// The byte-packed record of OP_RUN_FRAME: a mode byte, then nine i32 from
// the very next byte.
std::array<std::uint8_t, 37> FrameRecord(std::uint8_t mode, const std::array<std::int32_t, 9>& v)
{
    std::array<std::uint8_t, 37> r{};
    r[0] = mode;
    std::memcpy(r.data() + 1, v.data(), 36);
    return r;
}

TEST(OnlinePayload, RelativeMoveTakesTheShortestFormThatHoldsTheOffsets)
{
    EXPECT_EQ(MoveBy(100, 0), (Bytes{0x82, 0x00, 0x64}));
    EXPECT_EQ(MoveBy(0, -8191), (Bytes{0x83, 0x40, 0x01}));
    EXPECT_EQ(MoveBy(-1, 1), (Bytes{0x81, 0x7F, 0x7F, 0x00, 0x01}));
    EXPECT_EQ(MoveBy(0, 0), (Bytes{0x81, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(MoveBy(9000, 0),
              (Bytes{0x80, 0x00, 0x00, 0x00, 0x46, 0x28, 0x00, 0x00, 0x00, 0x00, 0x00}));
    // 8192 no longer fits 14 signed bits: the long form, also for a negative dy.
    EXPECT_EQ(MoveBy(1, -8192),
              (Bytes{0x80, 0x00, 0x00, 0x00, 0x00, 0x01, 0x7F, 0x7F, 0x7F, 0x40, 0x00}));
    // The most negative offset must not overflow when its size is taken.
    EXPECT_EQ(MoveBy(INT32_MIN, 0),
              (Bytes{0x80, 0x78, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

TEST(OnlinePayload, MoveToSendsBothCoordinatesAsFiveGroupsWithTheSignInTheTopGroup)
{
    const std::int32_t to[2] = {1000, -1};
    EXPECT_EQ(Payload(OP_MOVE_TO, to), (Bytes{0xD3, 0x00, 0x00, 0x00, 0x00, 0x07, 0x68, 0x7F,
                                               0x7F, 0x7F, 0x7F, 0x7F}));
}

TEST(OnlinePayload, RunFrameReadsThePackedRecordAndSendsPowersAsFractionsOf16384)
{
    const auto r = FrameRecord(3, {1000, -1, 0, 2, 8192, 10000, 5000, 1234, 100});
    const Bytes expected = {0xD5, 0x03,
                            0x00, 0x00, 0x00, 0x07, 0x68, // 1000
                            0x7F, 0x7F, 0x7F, 0x7F, 0x7F, // -1
                            0x00, 0x00, 0x00, 0x00, 0x00, // 0
                            0x00, 0x00, 0x00, 0x00, 0x02, // 2
                            0x00, 0x00, 0x00, 0x40, 0x00, // 8192
                            0x7F, 0x7F,                   // 100 %: 16384 capped to 16383
                            0x40, 0x00,                   // 50 %: 8192
                            0x0F, 0x65,                   // 12.34 %: 2021
                            0x01, 0x23};                  // 1 %: 163
    EXPECT_EQ(Payload(OP_RUN_FRAME, r.data()), expected);

    // Tiny, negative and huge powers stay within 0..16383.
    const auto edge = FrameRecord(0, {0, 0, 0, 0, 0, 1, -5, 20000, INT32_MAX});
    const Bytes sent = Payload(OP_RUN_FRAME, edge.data());
    ASSERT_EQ(sent.size(), 35u);
    EXPECT_EQ(Bytes(sent.begin() + 27, sent.end()),
              (Bytes{0x00, 0x01, 0x00, 0x00, 0x7F, 0x7F, 0x7F, 0x7F}));
}

// The controller parameter ids read by OP_READ_PARAMS, in the order sent.
constexpr std::uint16_t kParamIdsRead[65] = {
    32,  33,  35,  36,  37,  38,  40,  48,  49,  51,  52,  53, 54, 56, 64, 65, 67,
    68,  69,  70,  72,  80,  81,  83,  84,  85,  86,  88,  96, 97, 99, 100, 101, 102,
    104, 256, 262, 263, 16,  22,  17,  18,  19,  20,  21,  1,  10, 12, 11, 4,  5,
    6,   23,  273, 274, 271, 275, 7,   8,   9,   25,  26,  27, 28, 29};

TEST(OnlinePayload, ParameterReadsSendTheIdListsInTheirOrder)
{
    EXPECT_EQ(Payload(OP_READ_INFO, nullptr), (Bytes{0xD4, 0x00, 0x05, 0x7F}));
    EXPECT_EQ(Payload(OP_READ_STATISTICS, nullptr),
              (Bytes{0xD4, 0x00, 0x04, 0x01, 0xD4, 0x00, 0x04, 0x11, 0xD4, 0x00, 0x04, 0x02,
                     0xD4, 0x00, 0x04, 0x03, 0xD4, 0x00, 0x04, 0x23, 0xD4, 0x00, 0x04, 0x33}));

    const Bytes reads = Payload(OP_READ_PARAMS, nullptr);
    ASSERT_EQ(reads.size(), 260u);
    EXPECT_EQ(Bytes(reads.begin(), reads.begin() + 8),
              (Bytes{0xD4, 0x00, 0x00, 0x20, 0xD4, 0x00, 0x00, 0x21})); // 32, 33
    EXPECT_EQ(Bytes(reads.begin() + 35 * 4, reads.begin() + 36 * 4),
              (Bytes{0xD4, 0x00, 0x02, 0x00})); // 256
    EXPECT_EQ(Bytes(reads.begin() + 45 * 4, reads.begin() + 46 * 4),
              (Bytes{0xD4, 0x00, 0x00, 0x01})); // 1
    EXPECT_EQ(Bytes(reads.end() - 4, reads.end()), (Bytes{0xD4, 0x00, 0x00, 0x1D})); // 29
    // Every id in its place: a slip anywhere in the list sends the wrong parameter.
    for (std::size_t i = 0; i < 65; ++i) {
        const Bytes expected = {0xD4, 0x00, static_cast<std::uint8_t>(kParamIdsRead[i] / 128),
                                static_cast<std::uint8_t>(kParamIdsRead[i] % 128)};
        EXPECT_EQ(Bytes(reads.begin() + 4 * i, reads.begin() + 4 * i + 4), expected) << "read " << i;
    }
}

TEST(OnlinePayload, ParameterWritesSendEachValueTwiceUnderTheWriteOrderOfIds)
{
    std::array<std::uint32_t, 65> values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<std::uint32_t>(i);
    values[0] = 0x12345678;
    const Bytes writes = Payload(OP_WRITE_PARAMS, values.data());
    ASSERT_EQ(writes.size(), 910u);
    // Id 1 first, carrying the first value.
    EXPECT_EQ(Bytes(writes.begin(), writes.begin() + 14),
              (Bytes{0xD4, 0x01, 0x00, 0x01, 0x01, 0x11, 0x51, 0x2C, 0x78, 0x01, 0x11, 0x51,
                     0x2C, 0x78}));
    // Then the read list without id 1: 32 with the second value ...
    EXPECT_EQ(Bytes(writes.begin() + 14, writes.begin() + 28),
              (Bytes{0xD4, 0x01, 0x00, 0x20, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    // ... 21 at the 46th place, 10 right after it, where the read list had 1.
    EXPECT_EQ(Bytes(writes.begin() + 45 * 14, writes.begin() + 45 * 14 + 4),
              (Bytes{0xD4, 0x01, 0x00, 0x15}));
    EXPECT_EQ(Bytes(writes.begin() + 46 * 14, writes.begin() + 47 * 14),
              (Bytes{0xD4, 0x01, 0x00, 0x0A, 0, 0, 0, 0, 46, 0, 0, 0, 0, 46}));
    EXPECT_EQ(Bytes(writes.end() - 14, writes.end() - 9), (Bytes{0xD4, 0x01, 0x00, 0x1D, 0x00}));
    // Every write: id 1 first, then the read order without id 1, each value
    // (its index here, below 128 from the second on) twice.
    std::vector<std::uint16_t> order = {1};
    for (std::uint16_t id : kParamIdsRead)
        if (id != 1)
            order.push_back(id);
    ASSERT_EQ(order.size(), 65u);
    for (std::size_t i = 1; i < 65; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        const Bytes expected = {0xD4, 0x01, static_cast<std::uint8_t>(order[i] / 128),
                                static_cast<std::uint8_t>(order[i] % 128), 0, 0, 0, 0, v, 0, 0, 0,
                                0, v};
        EXPECT_EQ(Bytes(writes.begin() + 14 * i, writes.begin() + 14 * i + 14), expected)
            << "write " << i;
    }
}

TEST(OnlinePayload, ControlJogAndAxisCommands)
{
    const std::uint8_t on = 1;
    const std::uint8_t off = 0;
    EXPECT_EQ(Payload(OP_QUERY_STATE, nullptr), Bytes{0xCE});
    EXPECT_EQ(Payload(OP_QUERY_STATE2, nullptr), Bytes{0xCE});
    EXPECT_EQ(Payload(OP_POSITION, nullptr), (Bytes{0xD1, 0x12}));
    EXPECT_EQ(Payload(OP_START, nullptr), (Bytes{0xD1, 0x00}));
    EXPECT_EQ(Payload(OP_PAUSE, nullptr), (Bytes{0xD1, 0x02}));
    EXPECT_EQ(Payload(OP_CONTINUE, nullptr), (Bytes{0xD1, 0x03}));
    EXPECT_EQ(Payload(OP_STOP, nullptr), (Bytes{0xD1, 0x01}));
    EXPECT_EQ(Payload(OP_JOG_X_1, &on), (Bytes{0xD1, 0x40, 0x01}));
    EXPECT_EQ(Payload(OP_JOG_X_2, &off), (Bytes{0xD1, 0x41, 0x00}));
    EXPECT_EQ(Payload(OP_JOG_X_STOP, nullptr), (Bytes{0xD1, 0x60}));
    EXPECT_EQ(Payload(OP_JOG_Y_1, &on), (Bytes{0xD1, 0x42, 0x01}));
    EXPECT_EQ(Payload(OP_JOG_Y_STOP, nullptr), (Bytes{0xD1, 0x61}));
    EXPECT_EQ(Payload(OP_JOG_Z_2, &on), (Bytes{0xD1, 0x45, 0x01}));
    EXPECT_EQ(Payload(OP_JOG_Z_STOP, nullptr), (Bytes{0xD1, 0x62}));
    EXPECT_EQ(Payload(OP_JOG_U_1, &on), (Bytes{0xD1, 0x46, 0x01}));
    EXPECT_EQ(Payload(OP_JOG_U_STOP, nullptr), (Bytes{0xD1, 0x63}));
    EXPECT_EQ(Payload(OP_JOG_V_2, &off), (Bytes{0xD1, 0x49, 0x00}));
    EXPECT_EQ(Payload(OP_JOG_V_STOP, nullptr), (Bytes{0xD1, 0x64}));
    EXPECT_EQ(Payload(OP_HOLD_START, nullptr), (Bytes{0xD1, 0x50}));
    EXPECT_EQ(Payload(OP_HOLD_END, nullptr), (Bytes{0xD1, 0x70}));
    // Axis and mode go as their low bytes, the distance as five groups.
    const std::int32_t axis[3] = {0x102, 1, -2};
    EXPECT_EQ(Payload(OP_AXIS_MOVE, axis),
              (Bytes{0xD2, 0x02, 0x01, 0x7F, 0x7F, 0x7F, 0x7F, 0x7E}));
    EXPECT_EQ(Payload(OP_WAIT_ONLY, nullptr), Bytes{});
    EXPECT_EQ(Payload(OP_WAIT_ONLY2, nullptr), Bytes{});
    EXPECT_EQ(Payload(0, nullptr), Bytes{});
    EXPECT_EQ(Payload(35, nullptr), Bytes{});
}

// Without a transport thread: what a call queues and returns.
class OnlineQueue : public ::testing::Test {
protected:
    void SetUp() override { Forget(); }
    void TearDown() override { Forget(); }
    static void Forget()
    {
        ResetRings();
        PutSendBytes(nullptr, 0, 0); // no notify window
    }
    static Bytes Queued()
    {
        Bytes all(CByteRing::kSize);
        all.resize(GetSendBytes(all.data(), CByteRing::kSize));
        return all;
    }
    static HWND Notify() { return Comm().sendRing.NotifyWindow(); }
};

TEST_F(OnlineQueue, StopOnANetworkLinkQueuesTheHeaderAndTwoPayloadBytes)
{
    EXPECT_EQ(VQ_OnlineOperate(1, OP_STOP, nullptr, 0, kAnswerWindow), 0u); // no link to drain to
    Bytes expected(52, 0);
    expected[1] = 1;
    expected[12] = 1;
    expected[29] = 0;
    expected[30] = 2;
    expected[50] = 0xD1;
    expected[51] = 0x01;
    EXPECT_EQ(Queued(), expected);
    EXPECT_EQ(Notify(), 0u); // a call that does not wait leaves no window
}

TEST_F(OnlineQueue, StopOnASerialLinkQueuesThePayloadAlone)
{
    VQ_OnlineOperate(0, OP_STOP, nullptr, 1, kAnswerWindow);
    EXPECT_EQ(Queued(), (Bytes{0xD1, 0x01}));
    EXPECT_EQ(Notify(), kAnswerWindow);
}

TEST_F(OnlineQueue, WaitOnlyQueuesNothingButTakesOverTheNotifyWindow)
{
    EXPECT_EQ(VQ_OnlineOperate(0, OP_WAIT_ONLY, nullptr, 1, kAnswerWindow), 1u);
    EXPECT_EQ(GetSendBytesLen(), 0u);
    EXPECT_EQ(Notify(), kAnswerWindow);
}

TEST_F(OnlineQueue, OnlyCommandsThatWaitForTheSendRingFailWithoutALink)
{
    // Queries, parameter traffic and jog presses never wait; everything else
    // waits with wait 0 and so reports the missing link.
    const std::set<std::int32_t> neverWait = {1, 2, 4, 14, 15, 17, 18, 20, 21,
                                              23, 24, 26, 27, 29, 31, 32, 34};
    std::array<std::uint8_t, 1024> data{};
    for (std::int32_t code = 0; code <= 35; ++code) {
        Forget();
        const std::uint32_t expected = neverWait.count(code) != 0 ? 1u : 0u;
        EXPECT_EQ(VQ_OnlineOperate(1, code, data.data(), 0, 0), expected) << "code " << code;
        // With wait set nothing waits for the ring.
        EXPECT_EQ(VQ_OnlineOperate(1, code, data.data(), 1, kAnswerWindow), 1u) << "code " << code;
    }
}

TEST_F(OnlineQueue, OperationsThatReadDataRefuseANullPointerAndQueueNothing)
{
    VQ_OnlineOperate(0, OP_WAIT_ONLY, nullptr, 1, kMainWindow);
    for (std::int32_t code : {6, 7, 9, 14, 15, 17, 18, 20, 21, 23, 24, 26, 27, 32, 33}) {
        EXPECT_EQ(VQ_OnlineOperate(1, code, nullptr, 1, kAnswerWindow), 0u) << "code " << code;
        EXPECT_EQ(GetSendBytesLen(), 0u) << "code " << code;
        EXPECT_EQ(Notify(), kMainWindow) << "code " << code;
    }
}

TEST_F(OnlineQueue, NetworkCommandQueuesBehindAJobBlockInsteadOfDroppingIt)
{
    const Bytes block = MakeNetPacket(1, Bytes(1024, 0x22));
    ASSERT_TRUE(PutSendBytes(block.data(), static_cast<std::uint32_t>(block.size()), kMainWindow));
    VQ_OnlineOperate(1, OP_PAUSE, nullptr, 1, kAnswerWindow);
    Bytes expected = block;
    const Bytes pause = MakeNetPacket(1, {0xD1, 0x02});
    expected.insert(expected.end(), pause.begin(), pause.end());
    EXPECT_EQ(Queued(), expected);
}

// With the network transport and the fake controller.
class OnlineOverNetwork : public NetLinkTest {};

TEST_F(OnlineOverNetwork, StopGoesOnTheWireScrambledWithTheByteOfTheMachineType)
{
    const struct {
        std::uint32_t machineType;
        Bytes payload;
    } cases[] = {{0, {0xE8, 0x38}}, {1, {0xBA, 0x6A}}};
    for (const auto& c : cases) {
        ASSERT_EQ(SetMainFramWnd(kMainWindow, c.machineType), 0u);
        FakeController own;
        ASSERT_TRUE(own.Start());
        ScopedEnv moved("VANTREL_PORT", std::to_string(own.Port()));
        ASSERT_TRUE(VqStCommThrd(1, kLoopback));
        // Waits until the transport has taken the packet.
        EXPECT_EQ(VQ_OnlineOperate(1, OP_STOP, nullptr, 0, 0), 1u);
        EXPECT_EQ(GetSendBytesLen(), 0u);
        ASSERT_TRUE(own.WaitForPackets(1, 2000));
        Bytes expected(50, 0);
        expected[1] = 1;
        expected[12] = 1;
        expected[30] = 2;
        expected.insert(expected.end(), c.payload.begin(), c.payload.end());
        EXPECT_EQ(own.Packets()[0], expected) << "machine type " << c.machineType;
        VqEtCommThrd(0);
    }
}

TEST_F(OnlineOverNetwork, CommandWhileAJobBlockWaitsInTheRingGoesOutAfterIt)
{
    // The first block's exchange is held up, so the second waits in the ring
    // when the command comes.
    fake.Script({FakeController::Answering({}, 1, 400)});
    ASSERT_TRUE(VqStCommThrd(1, kLoopback));
    const Bytes first = MakeNetPacket(1, Bytes(1024, 0x21));
    const Bytes second = MakeNetPacket(1, Bytes(1024, 0x22));
    ASSERT_TRUE(PutSendBytes(first.data(), 1074, kMainWindow));
    ASSERT_TRUE(fake.WaitForPackets(1, 2000));
    ASSERT_TRUE(PutSendBytes(second.data(), 1074, kMainWindow));
    EXPECT_EQ(VQ_OnlineOperate(1, OP_STOP, nullptr, 1, kAnswerWindow), 1u);
    ASSERT_TRUE(fake.WaitForPackets(3, 4000));
    const std::vector<Bytes> plain = fake.Unscrambled(0x39);
    EXPECT_EQ(plain[0], first);
    EXPECT_EQ(plain[1], second);
    EXPECT_EQ(plain[2], MakeNetPacket(1, {0xD1, 0x01}));
}

TEST_F(OnlineOverNetwork, QueryAnswerComesBackAsARecordForTheWaitingWindow)
{
    fake.Script({FakeController::Answering({0xCE, 0x05, 0x00, 0x00, 0x00, 0x00, 0x03})});
    ASSERT_TRUE(VqStCommThrd(1, kLoopback));
    EXPECT_EQ(VQ_OnlineOperate(1, OP_QUERY_STATE, nullptr, 1, kAnswerWindow), 1u);
    ASSERT_TRUE(WaitForPost(WM_COMM_ANSWER, kAnswerWindow, 1, 3000));
    ANSWERREC* list = GetMsgAnswer();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->m_type, 1u);
    EXPECT_EQ(list->m_id, 5);
    std::uint32_t value = 0;
    std::memcpy(&value, list->m_pData, 4);
    EXPECT_EQ(value, 3u);
    EXPECT_EQ(list->m_pNext, nullptr);
    DelAnswerList(&list);
    EXPECT_EQ(list, nullptr);
}

TEST_F(OnlineOverNetwork, ParameterWriteIsFollowedByAReadBackForTheSameWindow)
{
    ASSERT_TRUE(VqStCommThrd(1, kLoopback));
    std::array<std::uint32_t, 65> values{};
    values[0] = 7;
    EXPECT_EQ(VQ_OnlineOperate(1, OP_WRITE_PARAMS, values.data(), 1, kAnswerWindow), 1u);
    ASSERT_TRUE(fake.WaitForPackets(2, 3000));
    const std::vector<Bytes> packets = fake.Packets();
    ASSERT_EQ(packets[0].size(), 960u);
    EXPECT_EQ(packets[0][1], 15);
    ASSERT_EQ(packets[1].size(), 310u);
    EXPECT_EQ(packets[1][1], 16);
    EXPECT_EQ(Comm().sendRing.NotifyWindow(), kAnswerWindow);
}

} // namespace
} // namespace plat
