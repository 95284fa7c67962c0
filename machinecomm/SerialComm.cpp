#include "SerialComm.h"

#include "CommState.h"
#include "Vantrel.h"

#include <atomic>
#include <vector>

namespace {

constexpr std::uint32_t kBlockMax = 40960;
constexpr std::uint32_t kWriteBuffer = 122880;
constexpr std::uint32_t kReadRing = 10240;
constexpr int kPollMs = 50;

std::atomic<std::uint32_t> g_writeBoundMs{0};

// Waits until the event thread has carried the write out. The bound is twice
// the block's time on the line at 19200 baud (ten bits a byte) plus two
// seconds, so a stalled line ends the link instead of holding it for ever.
bool WaitForWrite(CSerialPort& port, std::uint32_t n)
{
    const std::uint32_t fixed = g_writeBoundMs.load();
    const std::uint64_t boundMs = fixed != 0 ? fixed : 2000 + std::uint64_t{n} * 25 / 24;
    for (std::uint64_t waited = 0; waited < boundMs; waited += kPollMs) {
        if (!SleepUnlessStopped(kPollMs))
            return false;
        if (port.TakeStatus() & SERIAL_STATUS_WRITTEN)
            return true;
    }
    return false;
}

void DeliverReceived(CSerialPort& port, std::vector<std::uint8_t>& incoming)
{
    const std::uint32_t n = port.ReadBuffered(incoming.data(), 0);
    if (n == 0)
        return;
    if (n >= Comm().answerRing.Free())
        ClearAnswerRing();
    PutAnswerBytes(incoming.data(), n);
    const plat::HWND window = Comm().sendRing.NotifyWindow();
    if (window != 0)
        PostToWindow(window, WM_COMM_ANSWER, 0, 0);
    else
        ClearAnswerRing();
}

} // namespace

void SetSerialWriteBoundForTesting(std::uint32_t ms)
{
    g_writeBoundMs.store(ms);
}

void SerialCommThread(std::uint32_t port)
{
    CommState& s = Comm();
    CSerialPort& serial = s.serialPort;
    bool failed = true;
    if (serial.OpenPort(0, static_cast<int>(port), 19200, 'N', 8, 1, 0x1FF, 1, kWriteBuffer,
                        kReadRing) &&
        serial.StartEventThread()) {
        ReportLinkUp();
        std::vector<std::uint8_t> block(kBlockMax);
        std::vector<std::uint8_t> incoming(kReadRing);
        failed = false;
        while (!s.stop.load() && !failed) {
            std::uint32_t n = 0;
            std::uint64_t mark = 0;
            while (!s.stop.load() && (n = GetSendBytes(block.data(), kBlockMax, &mark)) > 0) {
                serial.TakeStatus(); // bits of earlier events say nothing about this write
                serial.QueueWrite(block.data(), n);
                if (!WaitForWrite(serial, n)) {
                    if (!s.stop.load()) {
                        CSerialPort::ReportError();
                        failed = true;
                    }
                    break;
                }
                s.sendFinished.store(mark);
            }
            if (failed || !SleepUnlessStopped(kPollMs))
                break;
            DeliverReceived(serial, incoming);
            SleepUnlessStopped(kPollMs);
        }
    }
    const bool opened = s.connected.load();
    serial.ClosePort();
    EndTransport(!failed ? 0 : opened ? TRANS_ERROR_LINK : TRANS_ERROR_NO_CONNECTION);
}
