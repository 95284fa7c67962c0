// The serial port object of the communication library: a device opened raw
// and exclusive through termios, with an event thread that gathers received
// bytes into a read ring and carries out queued writes. Port numbers map to
// devices as the settings' port probe maps them.
#pragma once
#include "platform/Win.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Status bits, set by the event thread and taken by TakeStatus.
constexpr std::uint32_t SERIAL_STATUS_CTS = 0x01;
constexpr std::uint32_t SERIAL_STATUS_EVENTCHAR = 0x02;
constexpr std::uint32_t SERIAL_STATUS_BREAK = 0x04;
constexpr std::uint32_t SERIAL_STATUS_LINEERROR = 0x08;
constexpr std::uint32_t SERIAL_STATUS_RING = 0x10;
constexpr std::uint32_t SERIAL_STATUS_TXEMPTY = 0x20;
constexpr std::uint32_t SERIAL_STATUS_WRITTEN = 0x40;  // a queued write has been carried out

// Comm event types of the event mask.
constexpr std::uint32_t EV_RXCHAR = 0x0001;
constexpr std::uint32_t EV_RXFLAG = 0x0002;
constexpr std::uint32_t EV_TXEMPTY = 0x0004;
constexpr std::uint32_t EV_CTS = 0x0008;
constexpr std::uint32_t EV_DSR = 0x0010;
constexpr std::uint32_t EV_RLSD = 0x0020;
constexpr std::uint32_t EV_BREAK = 0x0040;
constexpr std::uint32_t EV_ERR = 0x0080;
constexpr std::uint32_t EV_RING = 0x0100;

class CSerialPort {
public:
    CSerialPort() = default;
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens port n with the given line settings. False only when the device
    // is missing or cannot be opened; a line setting the device refuses is
    // reported (ReportError) and the port is used as it is.
    bool OpenPort(plat::HWND owner, int port, int baud, char parity, int dataBits, int stopBits,
                  std::uint32_t eventMask, std::uint8_t bufferMode, std::uint32_t writeSize,
                  std::uint32_t readSize);
    bool StartEventThread();

    // Copies the block (at most the write buffer's size) XORed with
    // SCRAMBLEBYTE into the write buffer and asks the event thread to write it.
    bool QueueWrite(const std::uint8_t* block, std::uint32_t n);

    std::uint32_t TakeStatus();

    // Takes max bytes when 0 < max <= the bytes held, else all of them.
    std::uint32_t ReadBuffered(std::uint8_t* buffer, std::uint32_t max);

    bool ClosePort();

    // Posts WM_COMM_PORT_ERROR to the registered main window once.
    static void ReportError();

private:
    void EventThreadProc();
    void StopEventThread();
    void Wake();
    bool ReadAvailable();
    void WriteQueued();
    void CloseDevice();
    bool WaitFor(short events, int ms);

    plat::HWND m_owner = 0;
    int m_port = 0;
    int m_fd = -1;
    int m_wakeFd = -1;  // eventfd: shutdown and write requests
    std::thread m_eventThread;
    std::atomic<bool> m_alive{false};
    std::atomic<bool> m_shutdown{false};
    std::atomic<bool> m_writeRequest{false};
    bool m_closed = true;

    std::mutex m_lock;  // port handle, write buffer, read ring, status word
    std::vector<std::uint8_t> m_writeBuffer;
    std::uint32_t m_writeLength = 0;
    std::vector<std::uint8_t> m_readRing;
    std::uint32_t m_readPos = 0;
    std::uint32_t m_writePos = 0;
    std::uint32_t m_count = 0;
    std::uint32_t m_eventMask = 0;
    std::uint8_t m_bufferMode = 0;
    std::uint32_t m_status = 0;
};
