#include "JobTransfer.h"

#include "CommState.h"
#include "JobEncoder.h"
#include "JobStream.h"
#include "PacketHead.h"
#include "Vantrel.h"
#include "platform/TextFile.h"

#include <chrono>
#include <cstring>
#include <deque>
#include <new>
#include <string>
#include <system_error>
#include <thread>

namespace {

constexpr std::uint16_t kFirstBlockCounter = 112;
constexpr int kPassMs = 50;
constexpr int kIdlePassesMax = 20;
constexpr std::uint8_t kStartCommand[] = {0xE1, 0x04, 0xD1, 0x00};
constexpr std::uint32_t kOperationSaveFile = 2;

static_assert(kPacketHeadSize + kNetBlockPayloadMax <= kPacketMax,
              "a job block must fit the packet the network transport takes whole");

void PutBigEndian(std::uint8_t* at, std::uint64_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, v >>= 8)
        at[i] = static_cast<std::uint8_t>(v);
}

// Sleeps ms in slices; false as soon as the transfer is asked to stop.
bool PauseUnlessStopped(int ms)
{
    constexpr int kSliceMs = 10;
    for (int slept = 0; slept < ms; slept += kSliceMs) {
        if (Comm().transferStop.load())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
    }
    return !Comm().transferStop.load();
}

class CStreamSender {
public:
    CStreamSender(const std::uint8_t* stream, std::uint64_t total, const char (&jobName)[12],
                  bool network, bool startAfter, plat::HWND window, plat::UINT msg)
        : m_stream(stream), m_total(total), m_jobName(jobName), m_network(network),
          m_startAfter(startAfter), m_window(window), m_msg(msg),
          m_linkNumber(Comm().linkNumber.load())
    {
    }

    // Feeds the stream (and the start command) to the transport; 0 when the
    // transport sent all of it (on the network: had all of it answered),
    // else a TRANS_ERROR_*.
    plat::LPARAM Run();

private:
    struct Queued {
        std::uint64_t mark;      // send ring mark of the chunk's end
        std::uint64_t streamEnd; // stream bytes sent once it is
    };

    bool QueueSerial();
    bool QueueNetwork();
    bool Queue(const std::uint8_t* data, std::uint32_t n, std::uint32_t streamBytes);
    void TakeSent();
    // The transport the transfer started on still runs.
    bool LinkRuns() const;
    bool AllSent() const { return m_remaining == 0 && m_queued.empty(); }
    // Why the transfer could not send everything.
    plat::LPARAM Failure() const;

    const std::uint8_t* m_stream;
    std::uint64_t m_total;
    const char (&m_jobName)[12];
    bool m_network;
    bool m_startAfter;
    plat::HWND m_window;
    plat::UINT m_msg;
    std::uint32_t m_linkNumber;

    const std::uint8_t* m_source = nullptr; // the stream, then the start command
    std::uint64_t m_at = 0;                 // bytes of the source queued
    std::uint64_t m_remaining = 0;
    bool m_startBuilt = false;
    std::uint32_t m_blockNumber = 1;
    std::uint16_t m_counter = kFirstBlockCounter;
    std::uint8_t m_block[kPacketMax] = {};
    std::deque<Queued> m_queued;
    std::uint64_t m_sent = 0;               // stream bytes the transport has sent
};

bool CStreamSender::Queue(const std::uint8_t* data, std::uint32_t n, std::uint32_t streamBytes)
{
    std::uint64_t mark = 0;
    if (!PutSendBytes(data, n, m_window, &mark))
        return false;
    m_at += streamBytes;
    m_remaining -= streamBytes;
    m_queued.push_back(Queued{mark, m_startBuilt ? m_total : m_at});
    return true;
}

bool CStreamSender::QueueSerial()
{
    const std::uint64_t free = GetSendFreeSpace();
    std::uint64_t chunk = m_remaining;
    if (free < m_remaining + 1)
        chunk = free - 1;
    if (chunk == 0)
        return false;
    const auto n = static_cast<std::uint32_t>(chunk);
    return Queue(m_source + m_at, n, n);
}

bool CStreamSender::QueueNetwork()
{
    if (GetSendBytesLen() != 0)
        return false; // one block per exchange
    if (m_startBuilt) {
        // The last job block's header with the command's type and length.
        m_block[0] = 0;
        m_block[1] = PACKET_COMMAND;
        m_block[12] = 1;
        PutBigEndian(m_block + 29, sizeof kStartCommand, 2);
        std::memcpy(m_block + kPacketHeadSize, kStartCommand, sizeof kStartCommand);
        return Queue(m_block, kPacketHeadSize + sizeof kStartCommand, sizeof kStartCommand);
    }
    const bool last = m_remaining <= kNetBlockPayloadMax;
    const auto payload = static_cast<std::uint32_t>(last ? m_remaining : kNetBlockPayloadMax);
    std::memset(m_block, 0, sizeof m_block);
    WriteNetBlockHead(m_block, static_cast<std::uint32_t>(m_total), m_blockNumber, last, m_jobName,
                      payload, m_counter);
    std::memcpy(m_block + kPacketHeadSize, m_stream + m_at, payload);
    if (!Queue(m_block, kPacketHeadSize + payload, payload))
        return false;
    ++m_blockNumber;
    ++m_counter;
    return true;
}

void CStreamSender::TakeSent()
{
    const std::uint64_t finished = Comm().sendFinished.load();
    while (!m_queued.empty() && m_queued.front().mark <= finished) {
        m_sent = m_queued.front().streamEnd;
        m_queued.pop_front();
    }
}

bool CStreamSender::LinkRuns() const
{
    const CommState& s = Comm();
    return s.running.load() && s.linkNumber.load() == m_linkNumber;
}

plat::LPARAM CStreamSender::Failure() const
{
    // The reason the transport left belongs to this transfer only while no
    // later transport has replaced it.
    const CommState& s = Comm();
    const plat::LPARAM reason = s.linkEnd.load();
    return m_network && reason != 0 && s.linkNumber.load() == m_linkNumber ? reason
                                                                           : TRANS_ERROR_LINK;
}

plat::LPARAM CStreamSender::Run()
{
    m_source = m_stream;
    m_remaining = m_total;
    int idlePasses = 0;
    for (;;) {
        bool queued = false;
        if (m_remaining > 0)
            queued = m_network ? QueueNetwork() : QueueSerial();
        if (!PauseUnlessStopped(kPassMs))
            return TRANS_ERROR_STOPPED;
        TakeSent();
        if (m_sent < m_total && m_window != 0)
            PostToWindow(m_window, m_msg, TRANS_PROGRESS_PERCENT,
                         static_cast<plat::LPARAM>(m_sent * 100 / m_total));
        const bool ringEmpty = GetSendBytesLen() == 0;
        if (m_remaining == 0 && ringEmpty) {
            if (!m_startAfter || m_startBuilt)
                break;
            m_startBuilt = true;
            m_source = kStartCommand;
            m_at = 0;
            m_remaining = sizeof kStartCommand;
        }
        // Every network exchange is bounded by the transport, which ends on
        // any failure: its end is the transfer's.
        if (m_network) {
            if (!LinkRuns())
                break;
            continue;
        }
        if (queued || ringEmpty)
            continue;
        if (++idlePasses > kIdlePassesMax && !Comm().running.load())
            break;
    }
    // The transport may still be sending (or awaiting the answer to) what it
    // took last.
    while (!m_queued.empty() && LinkRuns()) {
        if (!PauseUnlessStopped(10))
            return TRANS_ERROR_STOPPED;
        TakeSent();
    }
    TakeSent();
    return AllSent() ? 0 : Failure();
}

plat::LPARAM StreamError(CJobStream::Result result)
{
    switch (result) {
    case CJobStream::Result::OutOfMemory:
        return TRANS_ERROR_MEMORY;
    case CJobStream::Result::InvalidJob:
        return TRANS_ERROR_JOB;
    case CJobStream::Result::Stopped:
        return TRANS_ERROR_STOPPED;
    case CJobStream::Result::Ok:
        break;
    }
    return 0;
}

// Everything of a transfer after its start; 0 on success, else a TRANS_ERROR_*.
plat::LPARAM Transfer(TRANSFILEREQ& request, plat::HWND window, plat::UINT msg)
{
    CJobStream stream;
    const CJobStream::Result built = stream.Build(request, &Comm().transferStop);
    if (built != CJobStream::Result::Ok)
        return StreamError(built);
    if (window != 0)
        PostToWindow(window, msg, TRANS_PROGRESS_START, static_cast<plat::LPARAM>(stream.Size()));
    WORKHEAD& head = *request.m_pHead;
    if (head.m_operation == kOperationSaveFile) {
        const std::string path(head.m_filePath, ::strnlen(head.m_filePath, sizeof head.m_filePath));
        return WriteOutFile(path, stream.Data(), stream.Size(), SCRAMBLEBYTE.load())
                   ? 0
                   : TRANS_ERROR_FILE;
    }
    const bool network = request.m_pInfo->m_linkType != 0;
    if (network) {
        // A transfer needs the link: one that ended by itself is made again
        // once, and none at all cannot carry the job.
        switch (EnsureNetworkLink(&Comm().transferStop)) {
        case LinkCheck::Connected:
            break;
        case LinkCheck::Failed:
            if (Comm().transferStop.load())
                return TRANS_ERROR_STOPPED;
            return Comm().linkEnd.load() != 0 ? Comm().linkEnd.load() : TRANS_ERROR_NO_CONNECTION;
        case LinkCheck::NoLink:
            return TRANS_ERROR_LINK;
        }
    }
    CStreamSender sender(stream.Data(), stream.Size(), head.m_jobName, network,
                         request.m_startAfter != 0, window, msg);
    return sender.Run();
}

void TransFileThread(TRANSFILEREQ* request)
{
    CommState& s = Comm();
    s.transferStarted.store(true);
    const plat::HWND window = request->m_pInfo->m_notifyWnd;
    const plat::UINT msg = request->m_pInfo->m_notifyMsg;
    plat::LPARAM error = 0;
    try {
        error = Transfer(*request, window, msg);
    } catch (const std::bad_alloc&) {
        error = TRANS_ERROR_MEMORY;
    }
    // The request is not looked at again: the receiver of the last message
    // may start the next transfer at once.
    s.transferRunning.store(false);
    if (window != 0)
        PostToWindow(window, msg, error == 0 ? TRANS_PROGRESS_PERCENT : TRANS_PROGRESS_FAILED,
                     error == 0 ? 100 : error);
}

} // namespace

void WriteNetBlockHead(std::uint8_t* block, std::uint32_t total, std::uint32_t number, bool last,
                       const char (&jobName)[12], std::uint32_t payload, std::uint16_t counter)
{
    NETBLOCKHEAD head;
    PutBigEndian(head.m_total, total, 4);
    PutBigEndian(head.m_number, number, 4);
    head.m_last = last ? 1 : 0;
    for (int i = 0; i < 8 && jobName[i] != '\0'; ++i)
        head.m_jobName[i] = jobName[i];
    PutBigEndian(head.m_length, payload, 2);
    PutBigEndian(head.m_counter, counter, 2);
    std::memcpy(block, &head, sizeof head);
}

bool TransferRequestIsValid(const TRANSFILEREQ* request)
{
    if (request == nullptr || request->m_pInfo == nullptr || request->m_pHead == nullptr)
        return false;
    const TRANSINFO& info = *request->m_pInfo;
    const WORKHEAD& head = *request->m_pHead;
    if (info.m_payloadLength < 0 || info.m_payloadLength > kFramePayloadMax)
        return false;
    char name[12];
    std::memcpy(name, head.m_jobName, sizeof name);
    CutJobName(name);
    if (NameAndFrameEnd(name, info.m_payload, info.m_payloadLength) >
        kStreamBodyAt + static_cast<std::size_t>(info.m_payloadLength))
        return false;
    if (info.m_dataMode != 0)
        return request->m_pReadyData != nullptr && request->m_readyLength >= kReadySkip;
    return head.m_workMode <= kWorkModeMax;
}

std::uint32_t TransFileOperate(TRANSFILEREQ* request)
{
    CommState& s = Comm();
    std::lock_guard<std::mutex> lock(s.lifecycle);
    if (s.transferRunning.load())
        return TRANS_BUSY;
    if (s.transferThread.joinable())
        s.transferThread.join(); // done with its request, posting its last message
    if (!TransferRequestIsValid(request))
        return TRANS_BAD_REQUEST;
    s.transferStarted.store(false);
    s.transferStop.store(false);
    s.transferRunning.store(true);
    try {
        s.transferThread = std::thread(TransFileThread, request);
    } catch (const std::system_error&) {
        s.transferRunning.store(false);
        return TRANS_NO_THREAD;
    }
    while (!s.transferStarted.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return TRANS_STARTED;
}

bool WriteOutFile(const std::string& path, std::uint8_t* stream, std::size_t n, std::uint8_t key)
{
    if (path.empty())
        return false;
    // In place: a scrambled copy of tens of megabytes would cost more in
    // page faults than the scrambling itself.
    for (std::size_t i = 0; i < n; ++i)
        stream[i] ^= key;
    return plat::WriteWholeFile(path, stream, n);
}
