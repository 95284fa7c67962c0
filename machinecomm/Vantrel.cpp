// The exported functions: link lifecycle, and the entry points of the online
// commands, the job transfer and the answer parser.
#include "Vantrel.h"

#include "AnswerParser.h"
#include "CommState.h"
#include "JobEncoder.h"
#include "JobTransfer.h"
#include "NetComm.h"
#include "OnlineOperate.h"
#include "SerialComm.h"

#include <chrono>
#include <system_error>

namespace {

constexpr std::uint32_t kLinkSerial = 0;
constexpr std::uint32_t kLinkNetwork = 1;
// A closing link gives queued bytes this many turns of 100 ms to go out.
constexpr int kDrainTurns = 20;

// A reopened link waits for its connection this long: the connect bound
// and a margin for the thread to start.
constexpr int kReopenWaitMs = 3500;

// Ends the transfer thread and marks the transfer as started, so that a
// caller waiting for that start returns.
void EndTransferThread(CommState& s)
{
    if (!s.transferThread.joinable())
        return;
    s.transferStop.store(true);
    s.transferThread.join();
    s.transferStop.store(false);
    s.transferStarted.store(true);
}

// Under the lifecycle lock, with no transport thread left: empties both
// rings and starts the transport of the mode. False when the thread could
// not be made.
bool StartTransportLocked(CommState& s, std::uint32_t mode, std::uint32_t argument)
{
    ResetRings();
    s.linkArgument = argument;
    s.stop.store(false);
    s.linkMode.store(mode);
    if (mode != kLinkSerial && mode != kLinkNetwork)
        return true;
    s.linkEnd.store(0);
    s.connected.store(false);
    s.linkNumber.fetch_add(1);
    s.running.store(true);
    try {
        if (mode == kLinkNetwork)
            s.commThread = std::thread(NetCommThread, argument, ControllerPort());
        else
            s.commThread = std::thread(SerialCommThread, argument);
    } catch (const std::system_error&) {
        s.running.store(false);
        return false;
    }
    return true;
}

bool Aborted(const std::atomic<bool>* abort)
{
    return abort != nullptr && abort->load();
}

} // namespace

void ReportLinkUp()
{
    CommState& s = Comm();
    s.connected.store(true);
    PostToWindow(s.mainWindow.load(), WM_COMM_LINK_STATE, 1, 0);
}

void EndTransport(plat::LPARAM reason)
{
    CommState& s = Comm();
    // A stop asked for is no failure of the link.
    if (s.stop.load())
        reason = 0;
    s.linkEnd.store(reason);
    s.connected.store(false);
    if (reason != 0)
        PostToWindow(s.mainWindow.load(), WM_COMM_LINK_STATE, 0, reason);
    s.stop.store(false);
    s.running.store(false);
}

LinkCheck EnsureNetworkLink(const std::atomic<bool>* abort)
{
    CommState& s = Comm();
    {
        // The transfer thread must not wait here for VqEtCommThrd, which
        // holds the lock while it ends that thread.
        std::unique_lock<std::mutex> lock(s.lifecycle, std::defer_lock);
        while (!lock.try_lock()) {
            if (Aborted(abort))
                return LinkCheck::Failed;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (s.linkMode.load() != kLinkNetwork || !s.commThread.joinable())
            return LinkCheck::NoLink;
        if (!s.running.load()) {
            if (s.linkEnd.load() == 0)
                return LinkCheck::NoLink;
            s.commThread.join();
            if (!StartTransportLocked(s, kLinkNetwork, s.linkArgument))
                return LinkCheck::Failed;
        }
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReopenWaitMs);
    while (!s.connected.load()) {
        if (!s.running.load() || Aborted(abort) || std::chrono::steady_clock::now() >= end)
            return LinkCheck::Failed;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return LinkCheck::Connected;
}

extern "C" {

std::uint32_t SetMainFramWnd(plat::HWND window, std::uint32_t mode)
{
    if (mode == 0)
        SCRAMBLEBYTE.store(0x39);
    else if (mode == 1)
        SCRAMBLEBYTE.store(0x6B);
    if (window == 0 || window == static_cast<plat::HWND>(-1))
        return 1;
    Comm().mainWindow.store(window);
    return 0;
}

bool VqStCommThrd(std::uint32_t mode, std::uint32_t argument)
{
    CommState& s = Comm();
    std::lock_guard<std::mutex> lock(s.lifecycle);
    const bool startsLink = mode == kLinkSerial || mode == kLinkNetwork;
    if (s.commThread.joinable()) {
        // A running link keeps its rings and its argument: a second thread on
        // them would interleave both links' bytes, so a second link is
        // refused. A mode without link (a connection that only saves work
        // files) has nothing to start and leaves the link as it is.
        if (s.running.load())
            return !startsLink;
        s.commThread.join(); // it ended by itself and is on its way out
    }
    return StartTransportLocked(s, mode, argument);
}

void VqEtCommThrd(std::uint32_t wait)
{
    CommState& s = Comm();
    std::lock_guard<std::mutex> lock(s.lifecycle);
    EndTransferThread(s);
    if (wait != 0)
        for (int turn = 0; turn < kDrainTurns && s.running.load() && GetSendBytesLen() > 0; ++turn)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (s.commThread.joinable()) {
        // The transports look at the stop flag at least every 50 ms, also
        // while they connect, wait for an answer or wait for a write.
        s.stop.store(true);
        s.commThread.join();
    }
    s.stop.store(false);
    s.running.store(false);
    s.connected.store(false);
    s.linkEnd.store(0);
}

std::uint32_t VQ_OnlineOperate(std::uint8_t link, std::int32_t code, const void* data,
                               std::uint32_t wait, plat::HWND window)
{
    return OnlineOperate(link, code, data, wait, window);
}

std::int32_t GetWidthAndHigh(WORKHEAD* head, std::uint32_t* length, std::uint8_t* buffer)
{
    if (head == nullptr || length == nullptr || buffer == nullptr)
        return 0;
    WriteFrameTrace(*head, buffer);
    *length = kFrameTraceSize;
    return static_cast<std::int32_t>(kFrameTraceSize);
}

std::uint32_t VQ_TransFileOperate(TRANSFILEREQ* request)
{
    return TransFileOperate(request);
}

ANSWERREC* GetMsgAnswer()
{
    return ReadAnswerRing();
}

void DelAnswerList(ANSWERREC** list)
{
    FreeAnswerList(list);
}

} // extern "C"
