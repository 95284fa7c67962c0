// The job transfer through its export: .out files written whole or not at
// all, requests refused before a thread starts, and transfers that fail
// after the start ending with a failure message instead of 100 %.
#include "JobTestSupport.h"
#include "JobTransfer.h"
#include "LinkTestSupport.h"
#include "platform/TextFile.h"

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

namespace plat {
namespace {

namespace fs = std::filesystem;
using Progression = std::vector<std::pair<WPARAM, LPARAM>>;

class Transfer : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        char pattern[] = "/tmp/vantrel-out-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        path = folder + "/job.out";
    }
    void TearDown() override
    {
        LinkTest::TearDown();
        fs::remove_all(folder);
    }
    // Saves the square job as path; returns the transfer's messages.
    Progression SaveSquareJob(const std::string& target)
    {
        TestJob job;
        MakeSquareJob(job);
        job.head.m_operation = 2;
        std::strcpy(job.head.m_filePath, target.c_str());
        TRANSFILEREQ request;
        FillRequest(request, job, SquareFrameTrace(), kTransferWindow);
        poster.Clear();
        EXPECT_EQ(VQ_TransFileOperate(&request), TRANS_STARTED);
        EXPECT_TRUE(WaitForTransferEnd(5000));
        return Progress();
    }
    std::vector<std::string> FolderEntries() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        return names;
    }

    std::string folder;
    std::string path;
};

TEST_F(Transfer, OutFileIsTheStreamXoredWithTheScramblingByteOfTheMachineType)
{
    for (const auto& [type, key] : {std::pair<int, std::uint8_t>{0, 0x39}, {1, 0x6B}}) {
        ASSERT_EQ(SetMainFramWnd(kMainWindow, type), 0u);
        EXPECT_EQ(SaveSquareJob(path), (Progression{{1, 234}, {2, 100}}));
        Bytes expected = SquareJobStream();
        for (auto& b : expected)
            b ^= key;
        std::string file;
        ASSERT_TRUE(ReadWholeFile(path, file));
        EXPECT_EQ(Bytes(file.begin(), file.end()), expected);
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"job.out"}); // no temporary left
    }
}

TEST_F(Transfer, OutFileThatCannotBeWrittenWholeKeepsTheOldFileAndReportsIt)
{
    ASSERT_TRUE(WriteWholeFile(path, "OLD"));
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 100; // the stream has 234 bytes
    ::setrlimit(RLIMIT_FSIZE, &small);
    const Progression full = SaveSquareJob(path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(full, (Progression{{1, 234}, {3, TRANS_ERROR_FILE}}));
    std::string file;
    ASSERT_TRUE(ReadWholeFile(path, file));
    EXPECT_EQ(file, "OLD");
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"job.out"});

    EXPECT_EQ(SaveSquareJob(folder + "/missing/job.out"),
              (Progression{{1, 234}, {3, TRANS_ERROR_FILE}}));
}

TEST_F(Transfer, BadRequestsAreRefusedBeforeAThreadStarts)
{
    TestJob job;
    MakeSquareJob(job);
    TRANSFILEREQ request;
    FillRequest(request, job, {}, kTransferWindow);
    EXPECT_EQ(VQ_TransFileOperate(nullptr), TRANS_BAD_REQUEST);
    for (std::int32_t length : {-1, 123}) {
        request.m_info.m_payloadLength = length;
        EXPECT_EQ(VQ_TransFileOperate(&request), TRANS_BAD_REQUEST);
    }
    // Name "ab" ends at 16, so 13 D2 bytes (26 written) end just before the
    // body at 30 + 13; 14 would overwrite its first bytes.
    request.m_info.m_payloadLength = 13;
    std::fill(request.m_info.m_payload, request.m_info.m_payload + 14, 0xD2);
    EXPECT_TRUE(TransferRequestIsValid(&request));
    request.m_info.m_payloadLength = 14;
    EXPECT_EQ(VQ_TransFileOperate(&request), TRANS_BAD_REQUEST);
    request.m_info.m_payloadLength = 0;

    job.head.m_workMode = 9;
    EXPECT_EQ(VQ_TransFileOperate(&request), TRANS_BAD_REQUEST);
    const Bytes ready = ReadyData(0);
    UseReadyData(request, ready);
    request.m_readyLength = 383;
    EXPECT_EQ(VQ_TransFileOperate(&request), TRANS_BAD_REQUEST);
    request.m_readyLength = 384;
    request.m_pReadyData = nullptr;
    EXPECT_EQ(VQ_TransFileOperate(&request), TRANS_BAD_REQUEST);
    request.m_pInfo = nullptr;
    EXPECT_EQ(VQ_TransFileOperate(&request), TRANS_BAD_REQUEST);
    EXPECT_TRUE(poster.Messages().empty());
    EXPECT_FALSE(Comm().transferThread.joinable());
}

TEST_F(Transfer, WithoutATransportItFailsAndClosingTheLinkStopsIt)
{
    TestJob job;
    const Bytes ready = ReadyData(100);
    TRANSFILEREQ request;
    FillRequest(request, job, {}, kTransferWindow);
    UseReadyData(request, ready);
    // A network transfer needs a link: without one it fails at once.
    request.m_info.m_linkType = 1;
    ASSERT_EQ(VQ_TransFileOperate(&request), TRANS_STARTED);
    ASSERT_TRUE(WaitForTransferEnd(3000));
    EXPECT_EQ(Progress(), (Progression{{1, 100}, {3, TRANS_ERROR_LINK}}));

    // A serial one waits for a transport for its idle passes.
    poster.Clear();
    request.m_info.m_linkType = 0;
    ASSERT_EQ(VQ_TransFileOperate(&request), TRANS_STARTED);
    EXPECT_EQ(VQ_TransFileOperate(&request), TRANS_BUSY);
    EXPECT_EQ(VQ_TransFileOperate(nullptr), TRANS_BUSY); // a caller may ask before it fills one
    ASSERT_TRUE(WaitForTransferEnd(3000));
    Progression seen = Progress();
    EXPECT_EQ(seen.front(), (std::pair<WPARAM, LPARAM>{1, 100}));
    EXPECT_EQ(seen.back(), (std::pair<WPARAM, LPARAM>{3, TRANS_ERROR_LINK}));
    EXPECT_GE(seen.size(), 2u + 21); // a 0 % message per pass

    poster.Clear();
    ClearSendRing();
    ASSERT_EQ(VQ_TransFileOperate(&request), TRANS_STARTED);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_LT(MillisecondsOf([] { VqEtCommThrd(0); }), 200);
    seen = Progress();
    EXPECT_EQ(seen.back(), (std::pair<WPARAM, LPARAM>{3, TRANS_ERROR_STOPPED}));
}

} // namespace
} // namespace plat
