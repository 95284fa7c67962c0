// The machine connection against the fake controller: the link it starts and
// the one it ends, jobs sent, saved as .out files and sent again from them,
// transfers that must not be disturbed while they run, and .out files that
// cannot be handed over.
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/TransThreadInfo.h"
#include "machinecomm/OnlineOperate.h"
#include "platform/CodePage.h"
#include "platform/Messages.h"
#include "platform/Prompt.h"
#include "platform/Sleep.h"
#include "platform/TextFile.h"

#include "FakeController.h"
#include "JobTestSupport.h"
#include "ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <thread>
#include <unistd.h>

namespace {

using plat::Bytes;
using plat::FakeController;
using Progression = std::vector<std::pair<plat::WPARAM, plat::LPARAM>>;

constexpr plat::HWND kMainWindow = 0x1000;
constexpr plat::HWND kAnswerWindow = 0x2000;
constexpr plat::HWND kTransferWindow = 0x3000;
constexpr std::uint32_t kLoopback = 0x7F000001;

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class Connection : public ::testing::Test {
protected:
    Connection()
    {
        ::setenv("XDG_DATA_HOME", (m_scratch.Root() + "data").c_str(), 1);
        plat::SetMessagePoster(&m_poster);
        plat::SetPrompt(&m_prompt);
        m_table[300] = u"phase15:error-hint";
        m_table[306] = u"unreachable";
        SetLanguageTable(m_table);
        SetMainFrameWindow(kMainWindow);
        EXPECT_TRUE(m_fake.Start());
        ::setenv("VANTREL_PORT", std::to_string(m_fake.Port()).c_str(), 1);
    }
    ~Connection() override
    {
        VqEtCommThrd(0);
        ::unsetenv("VANTREL_PORT");
        ::unsetenv("XDG_DATA_HOME");
        SetMainFrameWindow(0);
        SetLanguageTable({});
        plat::SetPrompt(nullptr);
        plat::SetMessagePoster(nullptr);
    }

    Progression Progress() const
    {
        Progression all;
        for (const auto& m : m_poster.Messages())
            if (m.msg == WM_TRANS_PROGRESS && m.window == kTransferWindow)
                all.emplace_back(m.wParam, m.lParam);
        return all;
    }
    bool WaitForTransferEnd(int timeoutMs) const
    {
        return WaitUntil(
            [&] {
                const Progression p = Progress();
                return !p.empty() && (p.back() == Progression::value_type{2, 100} ||
                                      p.back().first == TRANS_PROGRESS_FAILED);
            },
            timeoutMs);
    }
    std::uint32_t Send(CTransThreadInfo& c, WORKHEAD& head, std::int32_t operation, const Bytes& payload = {})
    {
        return c.TransFile(&head, operation, kTransferWindow, WM_TRANS_PROGRESS, 0,
                           static_cast<std::int32_t>(payload.size()), payload.data(), 0);
    }
    void SetFilePath(WORKHEAD& head, const std::string& path) const
    {
        std::strncpy(head.m_filePath, path.c_str(), sizeof head.m_filePath - 1);
    }

    ScratchProgramFolder m_scratch;
    plat::RecordingPoster m_poster;
    plat::RecordingPrompt m_prompt;
    std::array<std::u16string, kLanguageTableSize> m_table{};
    FakeController m_fake;
};

TEST_F(Connection, JobSavedWithoutLinkAndSentAgainFromItsOutFileReachesTheControllerAsTheJobSentDirectly)
{
    const std::string out = m_scratch.Root() + "job.out";
    for (std::uint8_t type : {0, 1}) {
        const std::uint8_t key = type == 1 ? 0x6B : 0x39;
        m_poster.Clear();
        CTransThreadInfo saving(1, 0x0A000001, type, u"Laser", 0);
        plat::TestJob job;
        plat::MakeSquareJob(job);
        SetFilePath(job.head, out);
        ASSERT_EQ(Send(saving, job.head, TRANSOP_SAVE, plat::SquareFrameTrace()), TRANS_STARTED);
        EXPECT_EQ(job.head.m_operation, 2u);
        EXPECT_EQ(job.head.m_arrayUse, 1u);
        ASSERT_TRUE(WaitForTransferEnd(5000));
        std::string saved;
        ASSERT_TRUE(plat::ReadWholeFile(out, saved));
        Bytes stream(saved.begin(), saved.end());
        for (auto& b : stream)
            b ^= key;
        ASSERT_EQ(Bytes(stream.begin(), stream.begin() + 2), (Bytes{0xE2, 0x00})) << "machine type " << int(type);

        m_poster.Clear();
        CTransThreadInfo sending(1, kLoopback, type, u"Laser", 1);
        EXPECT_TRUE(m_prompt.m_shown.empty());
        WORKHEAD stored;
        std::memcpy(stored.m_jobName, "ab", 2);
        SetFilePath(stored, out);
        ASSERT_EQ(Send(sending, stored, TRANSOP_SEND_FILE), TRANS_STARTED);
        // The stream goes over in ready mode, behind the block the library skips.
        const TRANSFILEREQ& r = sending.m_request;
        const auto total = static_cast<std::uint32_t>(stream.size() + 384);
        EXPECT_EQ(r.m_pInfo, &r.m_info);
        EXPECT_EQ(r.m_info.m_dataMode, 1u);
        EXPECT_EQ(r.m_readyLength, total);
        EXPECT_EQ(r.m_info.m_totalLength, total);
        EXPECT_EQ(r.m_info.m_payloadLength, 0);
        EXPECT_EQ(r.m_pReadyData, sending.m_pFileBuffer);
        EXPECT_EQ(Bytes(sending.m_pFileBuffer + 384, sending.m_pFileBuffer + total), stream);
        EXPECT_EQ(std::memcmp(r.m_info.m_tag, "\0\0\0\0owner", 10), 0);
        EXPECT_STREQ(r.m_info.m_machineName, "Laser");
        ASSERT_TRUE(WaitForTransferEnd(5000));
        ASSERT_EQ(Progress().back(), (Progression::value_type{2, 100}));

        // The same job sent directly (a fresh copy: encoding moves a closed
        // path's start in place).
        m_poster.Clear();
        plat::TestJob again;
        plat::MakeSquareJob(again);
        ASSERT_EQ(Send(sending, again.head, TRANSOP_SEND, plat::SquareFrameTrace()), TRANS_STARTED);
        ASSERT_TRUE(WaitForTransferEnd(5000));
        // The end is posted once the last block is written; the controller
        // may still be reading it.
        WaitUntil([&] { return m_fake.Unscrambled(key).size() >= 2; }, 5000);
        const std::vector<Bytes> blocks = m_fake.Unscrambled(key);
        ASSERT_GE(blocks.size(), 2u);
        EXPECT_EQ(Bytes(blocks[blocks.size() - 2].begin() + 50, blocks[blocks.size() - 2].end()), stream);
        EXPECT_EQ(Bytes(blocks.back().begin() + 50, blocks.back().end()), stream);
    }
}

TEST_F(Connection, UnusableOutFilesAndBadRequestsSendNothingAndAThousandByteFileGoesBehindItsBlock)
{
    // A serial connection: with no link a network transfer would fail at once.
    auto saving = std::make_unique<CTransThreadInfo>(0, 0, 2, u"Laser", 0);
    WORKHEAD head;
    const std::string root = m_scratch.Root();
    m_scratch.Write("empty.out", "");
    std::filesystem::create_directories(root + "folder.out");
    // One byte too long for the request's 32-bit length once the block is in
    // front; sparse, so it takes no room.
    const int fd = ::open((root + "huge.out").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 4294967296LL - 384 + 1), 0);
    ::close(fd);
    for (const char* name : {"missing.out", "empty.out", "folder.out", "huge.out"}) {
        SetFilePath(head, root + name);
        EXPECT_EQ(Send(*saving, head, TRANSOP_SEND_FILE), TRANS_FILE_UNUSABLE) << name;
    }
    EXPECT_EQ(saving->m_pFileBuffer, nullptr);

    plat::TestJob job;
    plat::MakeSquareJob(job);
    EXPECT_EQ(saving->TransFile(nullptr, TRANSOP_SEND, kTransferWindow, WM_TRANS_PROGRESS, 0, 0, nullptr, 0),
              TRANS_BAD_REQUEST);
    EXPECT_EQ(Send(*saving, head, TRANSOP_SEND), TRANS_BAD_REQUEST); // no layers
    EXPECT_EQ(Send(*saving, job.head, 3), TRANS_BAD_REQUEST);
    EXPECT_EQ(Send(*saving, job.head, TRANSOP_SAVE, Bytes(123, 0xC5)), TRANS_BAD_REQUEST);
    EXPECT_TRUE(m_poster.Messages().empty());
    EXPECT_EQ(m_fake.Connections(), 0);

    // Machine type 2 reads its files with 0x39. No link runs, so the
    // transfer keeps trying until the connection goes.
    std::string file(1000, '\0');
    for (std::size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<char>(i * 13);
    m_scratch.Write("thousand.out", file);
    SetFilePath(head, root + "thousand.out");
    ASSERT_EQ(Send(*saving, head, TRANSOP_SEND_FILE), TRANS_STARTED);
    EXPECT_EQ(saving->m_request.m_readyLength, 1384u);
    for (std::size_t i = 0; i < file.size(); ++i)
        ASSERT_EQ(saving->m_pFileBuffer[384 + i], static_cast<std::uint8_t>(file[i] ^ 0x39)) << i;

    // The connection without link ends its transfer before its buffer goes.
    const auto start = std::chrono::steady_clock::now();
    saving.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    ASSERT_FALSE(Progress().empty());
    EXPECT_EQ(Progress().back(), (Progression::value_type{TRANS_PROGRESS_FAILED, TRANS_ERROR_STOPPED}));
    EXPECT_EQ(VQ_TransFileOperate(nullptr), TRANS_BAD_REQUEST); // none runs
}

TEST_F(Connection, TransferWhileOneRunsIsRefusedAndLeavesItsRequestBufferAndHeaderAlone)
{
    // The controller never answers the first block, so the transfer runs on.
    m_fake.Script({FakeController::Silence()});
    m_scratch.Write("first.out", std::string(3000, 'a'));
    m_scratch.Write("second.out", std::string(10, 'b'));
    auto link = std::make_unique<CTransThreadInfo>(1, kLoopback, 0, u"Laser", 1);
    WORKHEAD first;
    SetFilePath(first, m_scratch.Root() + "first.out");
    ASSERT_EQ(Send(*link, first, TRANSOP_SEND_FILE), TRANS_STARTED);
    ASSERT_TRUE(m_fake.WaitForPackets(1, 3000));
    const std::uint8_t* buffer = link->m_pFileBuffer;

    WORKHEAD second;
    SetFilePath(second, m_scratch.Root() + "second.out");
    EXPECT_EQ(Send(*link, second, TRANSOP_SEND_FILE), TRANS_BUSY);
    plat::TestJob job;
    plat::MakeSquareJob(job);
    EXPECT_EQ(Send(*link, job.head, TRANSOP_SEND, plat::SquareFrameTrace()), TRANS_BUSY);
    EXPECT_EQ(link->m_pFileBuffer, buffer);
    EXPECT_EQ(link->m_request.m_pHead, &first);
    EXPECT_EQ(link->m_request.m_readyLength, 3384u);
    EXPECT_EQ(buffer[384], 'a' ^ 0x39);
    EXPECT_EQ(job.head.m_arrayUse, 0u);

    // Deleting the connection ends the transfer first, then the link.
    link.reset();
    ASSERT_FALSE(Progress().empty());
    EXPECT_EQ(Progress().back(), (Progression::value_type{TRANS_PROGRESS_FAILED, TRANS_ERROR_STOPPED}));
    CTransThreadInfo again(1, kLoopback, 0, u"Laser", 1);
    EXPECT_TRUE(m_prompt.m_shown.empty()) << "the link was not ended";
}

TEST_F(Connection, SecondLinkIsRefusedWithItsMessageAndNeitherItNorASavingConnectionEndsTheRunningLink)
{
    CTransThreadInfo running(1, kLoopback, 0, u"First", 1);
    ASSERT_TRUE(m_fake.WaitForConnections(1, 3000));
    EXPECT_TRUE(m_prompt.m_shown.empty());

    auto refused = std::make_unique<CTransThreadInfo>(1, kLoopback, 0, u"Second", 1);
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, u"unreachable");
    EXPECT_EQ(m_prompt.m_shown[0].type, plat::MB_OK);
    EXPECT_FALSE(refused->StartComm());
    EXPECT_EQ(m_prompt.m_shown.size(), 2u);

    // Address 0 starts nothing and says nothing.
    auto unset = std::make_unique<CTransThreadInfo>(1, 0, 0, u"Third", 1);
    EXPECT_FALSE(unset->StartComm());
    // A connection that only saves opens beside the link and may save.
    auto saving = std::make_unique<CTransThreadInfo>(1, 0x0A000001, 0, u"Fourth", 0);
    EXPECT_TRUE(saving->StartComm());
    EXPECT_EQ(m_prompt.m_shown.size(), 2u);
    plat::TestJob job;
    plat::MakeSquareJob(job);
    SetFilePath(job.head, m_scratch.Root() + "saved.out");
    ASSERT_EQ(Send(*saving, job.head, TRANSOP_SAVE, plat::SquareFrameTrace()), TRANS_STARTED);
    ASSERT_TRUE(WaitForTransferEnd(5000));
    refused.reset();
    unset.reset();
    saving.reset();

    // The first link still carries commands.
    EXPECT_EQ(VQ_OnlineOperate(1, OP_QUERY_STATE, nullptr, 1, kAnswerWindow), 1u);
    EXPECT_TRUE(m_fake.WaitForPackets(1, 3000));
    EXPECT_EQ(m_fake.Unscrambled(0x39).back(), plat::MakeNetPacket(1, {0xCE}));
}

TEST_F(Connection, SerialMachineOpensItsPortAndScramblesWithItsMachineType)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::setenv("BRENVIK_COM3", name, 1);
    {
        CTransThreadInfo serial(0, 3, 1, u"Serial", 1);
        EXPECT_TRUE(m_prompt.m_shown.empty());
        EXPECT_EQ(VQ_OnlineOperate(0, OP_QUERY_STATE, nullptr, 1, kAnswerWindow), 1u);
        std::uint8_t got = 0;
        pollfd p{master, POLLIN, 0};
        ASSERT_GT(::poll(&p, 1, 3000), 0);
        ASSERT_EQ(::read(master, &got, 1), 1);
        EXPECT_EQ(got, 0xCE ^ 0x6B);
    }
    ::unsetenv("BRENVIK_COM3");
    ::close(master);
    ::close(slave);
}

TEST_F(Connection, MachineNameReachesTheLibraryCutAsTheEntryCutsIt)
{
    CTransThreadInfo ascii(1, 0, 0, std::u16string(60, u'M'), 0);
    EXPECT_EQ(std::string(ascii.m_request.m_info.m_machineName), std::string(49, 'M'));
    // 24 two-byte characters fill 48 bytes; the 25th would need 50.
    CTransThreadInfo wide(1, 0, 0, std::u16string(30, u'\u56fe'), 0);
    EXPECT_EQ(std::string(wide.m_request.m_info.m_machineName),
              plat::WideToCodePage(std::u16string(24, u'\u56fe')));
    EXPECT_EQ(std::strlen(wide.m_request.m_info.m_machineName), 48u);
}

// Three machines of one list: A and B on the network, S on the serial line.
struct MachineList {
    MachineList()
    {
        MachineNode* nodes[3] = {new MachineNode, new MachineNode, new MachineNode};
        nodes[0]->SetName(u"A");
        nodes[0]->m_link_type = 1;
        nodes[0]->m_ip = kLoopback;
        nodes[1]->SetName(u"B");
        nodes[1]->m_link_type = 1;
        nodes[1]->m_ip = 0x7F000002;
        nodes[2]->SetName(u"S");
        nodes[2]->m_link_type = 0;
        for (int i = 0; i < 2; ++i) {
            nodes[i]->m_next = nodes[i + 1];
            nodes[i + 1]->m_prev = nodes[i];
        }
        head = nodes[0];
    }
    ~MachineList() { FreeMachineList(head); }
    MachineNode& At(int i) const
    {
        MachineNode* m = head;
        while (i-- > 0)
            m = m->m_next;
        return *m;
    }
    MachineNode* head = nullptr;
};

class MachineConnections : public Connection {
protected:
    MachineConnections()
    {
        plat::SetSleepHookForTesting([this](int ms) { m_sleeps.push_back(ms); });
        m_settings.m_pMachines = m_list.head;
    }
    ~MachineConnections() override
    {
        m_settings.m_pMachines = nullptr;
        plat::SetSleepHookForTesting({});
    }
    bool Online(int i) const { return m_list.At(i).m_session != nullptr && m_list.At(i).m_online == 1; }
    bool Offline(int i) const { return m_list.At(i).m_session == nullptr && m_list.At(i).m_online == 0; }

    MachineList m_list;
    SoftwareSettings m_settings;
    std::vector<int> m_sleeps;
};

TEST_F(MachineConnections, ConnectionWhoseLinkDoesNotStartIsDeletedAndOnlyTheMachineChangeWaits)
{
    ASSERT_TRUE(OpenMachineConnection(m_list.At(0), m_settings));
    EXPECT_TRUE(Online(0));
    ASSERT_TRUE(m_fake.WaitForConnections(1, 3000));

    // The library runs A's link: B's start fails, with its message, and B
    // stays offline instead of online without a link.
    EXPECT_FALSE(OpenMachineConnection(m_list.At(1), m_settings));
    EXPECT_TRUE(Offline(1));
    EXPECT_EQ(m_prompt.m_shown.size(), 1u);
    // No port chosen: the serial machine's address is 0, nothing is said.
    EXPECT_FALSE(OpenMachineConnection(m_list.At(2), m_settings));
    EXPECT_TRUE(Offline(2));
    EXPECT_EQ(m_prompt.m_shown.size(), 1u);
    // A connection without link is kept beside the link.
    EXPECT_TRUE(OpenMachineConnection(m_list.At(1), m_settings, 0));
    EXPECT_TRUE(Online(1));

    EXPECT_EQ(CloseMachineConnections(m_list.head, false), 2);
    EXPECT_TRUE(Offline(0) && Offline(1) && Offline(2));
    EXPECT_TRUE(m_sleeps.empty());

    // A machine change waits 1000 ms after each connection it closes.
    ASSERT_TRUE(OpenMachineConnection(m_list.At(0), m_settings));
    ASSERT_TRUE(OpenMachineConnection(m_list.At(1), m_settings, 0));
    EXPECT_EQ(CloseMachineConnections(m_list.head, true), 2);
    EXPECT_EQ(m_sleeps, (std::vector<int>{1000, 1000}));
    EXPECT_TRUE(Offline(0) && Offline(1));
    EXPECT_EQ(m_prompt.m_shown.size(), 1u);
}

TEST_F(MachineConnections, CommandReachesTheMachineItIsForAfterAnotherMachinesLinkCloses)
{
    FakeController other;
    ASSERT_TRUE(other.Start("127.0.0.2", m_fake.Port()));
    ASSERT_TRUE(OpenMachineConnection(m_list.At(1), m_settings));
    ASSERT_TRUE(other.WaitForConnections(1, 3000));

    ASSERT_TRUE(ConnectOnly(m_list.head, m_list.At(0), m_settings));
    EXPECT_TRUE(Online(0));
    EXPECT_TRUE(Offline(1));
    EXPECT_EQ(m_sleeps, std::vector<int>{1000});
    EXPECT_EQ(VQ_OnlineOperate(1, OP_STOP, nullptr, 0, kAnswerWindow), 1u);
    ASSERT_TRUE(m_fake.WaitForPackets(1, 3000));
    EXPECT_EQ(m_fake.Unscrambled(0x39), (std::vector<Bytes>{plat::MakeNetPacket(1, {0xD1, 0x01})}));
    EXPECT_TRUE(other.Packets().empty());

    // Already the only connection: nothing is touched.
    CTransThreadInfo* session = m_list.At(0).m_session;
    EXPECT_TRUE(ConnectOnly(m_list.head, m_list.At(0), m_settings));
    EXPECT_EQ(m_list.At(0).m_session, session);
    EXPECT_EQ(m_sleeps.size(), 1u);
    EXPECT_TRUE(m_prompt.m_shown.empty());
}

TEST_F(MachineConnections, LinkIsUsableWithAnAddressOrAPortFromThreeOnAndTheMainWindowIsRegistered)
{
    MachineNode& a = m_list.At(0);
    EXPECT_TRUE(MachineLinkUsable(a, m_settings));
    a.m_ip = 0;
    EXPECT_FALSE(MachineLinkUsable(a, m_settings));
    MachineNode& s = m_list.At(2);
    m_settings.m_nComPort = 2;
    EXPECT_FALSE(MachineLinkUsable(s, m_settings));
    m_settings.m_nComPort = 3;
    EXPECT_TRUE(MachineLinkUsable(s, m_settings));

    // The main frame registers itself as the program's main window.
    SetMainFrameWindow(0);
    plat::SetMainWindow(0x4242);
    EXPECT_EQ(MainFrameWindow(), 0x4242u);
    SetMainFrameWindow(kMainWindow);
    EXPECT_EQ(MainFrameWindow(), kMainWindow);
    plat::SetMainWindow(0);
}

} // namespace
