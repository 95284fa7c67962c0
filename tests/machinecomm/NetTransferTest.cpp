// Network transfers and commands against controllers that fail an exchange:
// a transfer succeeds only once its last packet is answered, every failure
// at every stage ends it with its own code (never 100 %), and the link is
// made again for the next transfer or command.
#include "JobTestSupport.h"
#include "LinkTestSupport.h"
#include "OnlineOperate.h"

#include <set>

namespace plat {
namespace {

using Fake = FakeController;
using Progression = std::vector<std::pair<WPARAM, LPARAM>>;

constexpr std::size_t kThreeBlocks = 2100; // 1024 + 1024 + 52 stream bytes

class NetTransfer : public NetLinkTest {
protected:
    // Sends a ready stream of n bytes and returns the transfer's messages.
    Progression Send(std::size_t n, bool startAfter)
    {
        poster.Clear();
        TestJob job;
        std::memcpy(job.head.m_jobName, "net", 3);
        const Bytes ready = ReadyData(n);
        TRANSFILEREQ request;
        FillRequest(request, job, {}, kTransferWindow);
        UseReadyData(request, ready);
        request.m_info.m_linkType = 1;
        request.m_startAfter = startAfter ? 1 : 0;
        EXPECT_EQ(VQ_TransFileOperate(&request), TRANS_STARTED);
        EXPECT_TRUE(WaitForTransferEnd(8000));
        return Progress();
    }
    std::vector<std::pair<WPARAM, LPARAM>> LinkStates() const { return PostedTo(WM_COMM_LINK_STATE, kMainWindow); }
    // Block numbers (bytes 8..11) and last flags of the packets from `first` on.
    std::vector<std::pair<std::uint32_t, int>> Blocks(std::size_t first) const
    {
        std::vector<std::pair<std::uint32_t, int>> blocks;
        const std::vector<Bytes> packets = fake.Packets();
        for (std::size_t i = first; i < packets.size(); ++i)
            blocks.emplace_back(packets[i][8] << 24 | packets[i][9] << 16 | packets[i][10] << 8 | packets[i][11],
                                packets[i][12]);
        return blocks;
    }
};

struct Fault {
    const char* name;
    std::vector<Fake::Step> script; // the answers until and including the failing exchange
    std::size_t size;
    bool startAfter;
    std::set<LPARAM> codes;         // the failure that may be seen (a close is a reset too,
                                    // when the packet reaches the closed connection first)
};

void PrintTo(const Fault& f, std::ostream* os)
{
    *os << f.name;
}

class FailedExchange : public NetTransfer, public ::testing::WithParamInterface<Fault> {};

TEST_P(FailedExchange, EndsTheTransferWithItsCodeAndTheNextTransferGoesThroughWhole)
{
    const Fault& f = GetParam();
    fake.Script(f.script);
    StartLink();
    const Progression failed = Send(f.size, f.startAfter);
    ASSERT_GE(failed.size(), 2u);
    EXPECT_EQ(failed.front(), (std::pair<WPARAM, LPARAM>{1, static_cast<LPARAM>(f.size)}));
    EXPECT_EQ(failed.back().first, TRANS_PROGRESS_FAILED);
    EXPECT_TRUE(f.codes.count(failed.back().second) == 1) << failed.back().second;
    for (std::size_t i = 1; i + 1 < failed.size(); ++i)
        EXPECT_LT(failed[i].second, 100) << "no 100 % before the last answer";
    // The main window learns that the link ended, and why.
    ASSERT_FALSE(LinkStates().empty());
    EXPECT_EQ(LinkStates().back(), (std::pair<WPARAM, LPARAM>{0, failed.back().second}));

    if (f.script.back().stopListening) {
        ASSERT_TRUE(fake.Relisten());
    }
    fake.Script({});
    const std::size_t before = fake.Packets().size();
    EXPECT_EQ(Send(f.size, f.startAfter).back(), (std::pair<WPARAM, LPARAM>{2, 100}));
    std::vector<std::pair<std::uint32_t, int>> whole = {{1, 1}};
    if (f.size == kThreeBlocks)
        whole = {{1, 0}, {2, 0}, {3, 1}};
    if (f.startAfter)
        whole.push_back({3, 1}); // the start command keeps the last block's header
    EXPECT_EQ(Blocks(before), whole);
    EXPECT_EQ(LinkStates().front(), (std::pair<WPARAM, LPARAM>{1, 0})) << "made again";
}

const Bytes kPayload = {0x82, 0x00, 0x01};
Fake::Step Ok()
{
    return Fake::Answering({});
}

INSTANTIATE_TEST_SUITE_P(
    NetTransfer, FailedExchange,
    ::testing::Values(
        Fault{"ResetOnTheFirstBlock", {Fake::ResetConnection()}, kThreeBlocks, true, {TRANS_ERROR_RESET}},
        Fault{"ResetOnTheMiddleBlock", {Ok(), Fake::ResetConnection()}, kThreeBlocks, true, {TRANS_ERROR_RESET}},
        Fault{"ResetOnTheLastBlock", {Ok(), Ok(), Fake::ResetConnection()}, kThreeBlocks, true,
              {TRANS_ERROR_RESET}},
        Fault{"ResetOnTheStartCommand", {Ok(), Ok(), Ok(), Fake::ResetConnection()}, kThreeBlocks, true,
              {TRANS_ERROR_RESET}},
        Fault{"LastBlockNeverAnswered", {Ok(), Ok(), Fake::Silence()}, kThreeBlocks, false,
              {TRANS_ERROR_NO_ANSWER}},
        Fault{"LastBlockAnsweredHalf", {Ok(), Ok(), Fake::CutOff(kPayload)}, kThreeBlocks, false,
              {TRANS_ERROR_CLOSED}},
        Fault{"LastBlockAnswersAnotherExchange", {Ok(), Ok(), Fake::ForeignExchange(kPayload)}, kThreeBlocks,
              false, {TRANS_ERROR_EXCHANGE}},
        Fault{"LastBlockAnswerTrickles", {Ok(), Ok(), Fake::Trickle(kPayload, 100)}, kThreeBlocks, false,
              {TRANS_ERROR_NO_ANSWER}},
        Fault{"LastBlockMeetsConnectionsClosedOnAccept",
              {Ok(), Ok(), Fake::CloseOnAccept(), Fake::CloseOnAccept()}, kThreeBlocks, false,
              {TRANS_ERROR_CLOSED, TRANS_ERROR_RESET}},
        Fault{"NoConnectionForTheLastBlock", {Ok(), Fake::LastAnswer({})}, kThreeBlocks, false,
              {TRANS_ERROR_NO_CONNECTION}},
        Fault{"StartCommandNeverAnswered", {Ok(), Ok(), Ok(), Fake::Silence()}, kThreeBlocks, true,
              {TRANS_ERROR_NO_ANSWER}},
        Fault{"OneBlockAnswersAnotherExchange", {Fake::ForeignExchange(kPayload)}, 100, false,
              {TRANS_ERROR_EXCHANGE}},
        Fault{"OneBlockMeetsConnectionsClosedOnAccept", {Fake::CloseOnAccept(), Fake::CloseOnAccept()}, 100,
              false, {TRANS_ERROR_CLOSED, TRANS_ERROR_RESET}}),
    [](const ::testing::TestParamInfo<Fault>& info) { return info.param.name; });

TEST_F(NetTransfer, AControllerClosingIdleConnectionsAfter1sTakesASecondJobAfterA2sPause)
{
    fake.CloseIdleConnectionsAfter(1000);
    StartLink();
    EXPECT_EQ(Send(kThreeBlocks, false).back(), (std::pair<WPARAM, LPARAM>{2, 100}));
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    EXPECT_EQ(Send(kThreeBlocks, false).back(), (std::pair<WPARAM, LPARAM>{2, 100}));
    EXPECT_EQ(Blocks(0), (std::vector<std::pair<std::uint32_t, int>>{{1, 0}, {2, 0}, {3, 1}, {1, 0}, {2, 0}, {3, 1}}));
    EXPECT_TRUE(LinkStates().empty()) << "the link never ended";
}

TEST_F(NetTransfer, ACommandMakesAnEndedLinkAgainOnceAndFailsWhenNoConnectionCanBeHad)
{
    fake.Script({Fake::ResetConnection()});
    StartLink();
    EXPECT_EQ(VQ_OnlineOperate(1, OP_STOP, nullptr, 0, 0), 1u);
    ASSERT_TRUE(WaitUntil([&] { return !LinkStates().empty() && LinkStates().back().first == 0; }, 3000));
    EXPECT_EQ(LinkStates().back(), (std::pair<WPARAM, LPARAM>{0, TRANS_ERROR_RESET}));

    // Made again: the command reaches the controller on a new connection.
    fake.Script({Fake::LastAnswer({})});
    EXPECT_EQ(VQ_OnlineOperate(1, OP_POSITION, nullptr, 0, 0), 1u);
    ASSERT_TRUE(fake.WaitForPackets(2, 3000));
    EXPECT_EQ(fake.Unscrambled(0x39)[1], MakeNetPacket(1, {0xD1, 0x12}));
    // The answer closed the listener: the next connection is refused, the
    // link ends, and the next command cannot make it again.
    ASSERT_TRUE(WaitUntil([&] { return LinkStates().back() == std::pair<WPARAM, LPARAM>{0, TRANS_ERROR_NO_CONNECTION}; },
                          3000));
    EXPECT_EQ(VQ_OnlineOperate(1, OP_QUERY_STATE, nullptr, 0, 0), 0u);
    EXPECT_EQ(GetSendBytesLen(), 0u) << "nothing queued";
    EXPECT_EQ(fake.Packets().size(), 2u);
}

} // namespace
} // namespace plat
