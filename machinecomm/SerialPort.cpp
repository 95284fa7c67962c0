#include "SerialPort.h"

#include "CommState.h"
#include "Vantrel.h"
#include "platform/SerialPorts.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A comm event sets the status bit of every event type in the mask.
std::uint32_t StatusBitsFor(std::uint32_t mask)
{
    std::uint32_t bits = 0;
    bits |= (mask & EV_CTS) ? SERIAL_STATUS_CTS : 0;
    bits |= (mask & EV_RXFLAG) ? SERIAL_STATUS_EVENTCHAR : 0;
    bits |= (mask & EV_BREAK) ? SERIAL_STATUS_BREAK : 0;
    bits |= (mask & EV_ERR) ? SERIAL_STATUS_LINEERROR : 0;
    bits |= (mask & EV_RING) ? SERIAL_STATUS_RING : 0;
    bits |= (mask & EV_TXEMPTY) ? SERIAL_STATUS_TXEMPTY : 0;
    return bits;
}

bool BaudConstant(int baud, speed_t& speed)
{
    static constexpr struct {
        int baud;
        speed_t speed;
    } kRates[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},    {9600, B9600},
                  {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto& r : kRates)
        if (r.baud == baud) {
            speed = r.speed;
            return true;
        }
    return false;
}

// Raw line settings: no echo, no translation, no flow control, reads that
// return what is there.
bool ApplyLine(int fd, int baud, char parity, int dataBits, int stopBits)
{
    termios t{};
    speed_t speed = B0;
    if (::tcgetattr(fd, &t) != 0 || !BaudConstant(baud, speed))
        return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CRTSCTS | CSIZE | CSTOPB | PARENB | PARODD);
    switch (dataBits) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    default: t.c_cflag |= CS8; break;
    }
    if (stopBits == 2)
        t.c_cflag |= CSTOPB;
    if (parity == 'E' || parity == 'e')
        t.c_cflag |= PARENB;
    else if (parity == 'O' || parity == 'o')
        t.c_cflag |= PARENB | PARODD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return ::cfsetispeed(&t, speed) == 0 && ::cfsetospeed(&t, speed) == 0 &&
           ::tcsetattr(fd, TCSANOW, &t) == 0;
}

} // namespace

CSerialPort::~CSerialPort()
{
    StopEventThread();
    CloseDevice();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void CSerialPort::ReportError()
{
    const plat::HWND window = Comm().mainWindow.exchange(0);
    if (window != 0)
        PostToWindow(window, WM_COMM_PORT_ERROR, 0, 0);
}

void CSerialPort::Wake()
{
    const std::uint64_t one = 1;
    if (m_wakeFd >= 0)
        [[maybe_unused]] auto r = ::write(m_wakeFd, &one, sizeof one);
}

void CSerialPort::StopEventThread()
{
    if (m_eventThread.joinable()) {
        m_shutdown.store(true);
        Wake();
        m_eventThread.join();
    }
    m_shutdown.store(false);
    m_alive.store(false);
}

void CSerialPort::CloseDevice()
{
    if (m_fd >= 0) {
        // Purged first: a close with output still queued would wait for it.
        ::tcflush(m_fd, TCIOFLUSH);
        // The exclusive mark outlives the close while anyone else still
        // holds the device, and would then refuse the next open.
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
        m_fd = -1;
    }
}

bool CSerialPort::OpenPort(plat::HWND owner, int port, int baud, char parity, int dataBits,
                           int stopBits, std::uint32_t eventMask, std::uint8_t bufferMode,
                           std::uint32_t writeSize, std::uint32_t readSize)
{
    StopEventThread();
    if (m_wakeFd < 0)
        m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::uint64_t pending = 0;
    if (m_wakeFd >= 0)
        [[maybe_unused]] auto r = ::read(m_wakeFd, &pending, sizeof pending);
    m_writeRequest.store(false);

    std::lock_guard<std::mutex> lock(m_lock);
    m_writeBuffer.assign(writeSize, 0);
    m_writeLength = 0;
    m_readRing.assign(readSize, 0);
    m_readPos = m_writePos = m_count = 0;
    m_status = 0;
    m_owner = owner;
    m_port = port;
    m_eventMask = eventMask;
    m_bufferMode = bufferMode;
    m_closed = false;

    CloseDevice();
    const std::string path = plat::SerialDevicePath(port);
    if (path.empty() || m_wakeFd < 0)
        return false;
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    const bool exclusive = ::ioctl(m_fd, TIOCEXCL) == 0;
    const bool line = ApplyLine(m_fd, baud, parity, dataBits, stopBits);
    // RTS asserted where the device has modem lines; a pseudo-terminal
    // refuses the request, which is no failure.
    int rts = TIOCM_RTS;
    ::ioctl(m_fd, TIOCMBIS, &rts);
    if (!exclusive || !line)
        ReportError();
    ::tcflush(m_fd, TCIOFLUSH);
    return true;
}

bool CSerialPort::StartEventThread()
{
    if (m_eventThread.joinable() || m_fd < 0)
        return false;
    try {
        m_eventThread = std::thread(&CSerialPort::EventThreadProc, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool CSerialPort::QueueWrite(const std::uint8_t* block, std::uint32_t n)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_writeBuffer.empty())
            return false;
        n = std::min<std::uint32_t>(n, static_cast<std::uint32_t>(m_writeBuffer.size()));
        const std::uint8_t key = SCRAMBLEBYTE.load();
        for (std::uint32_t i = 0; i < n; ++i)
            m_writeBuffer[i] = block[i] ^ key;
        m_writeLength = n;
    }
    m_writeRequest.store(true);
    Wake();
    return true;
}

std::uint32_t CSerialPort::TakeStatus()
{
    std::lock_guard<std::mutex> lock(m_lock);
    const std::uint32_t status = m_status;
    m_status = 0;
    return status;
}

std::uint32_t CSerialPort::ReadBuffered(std::uint8_t* buffer, std::uint32_t max)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const std::uint32_t n = (max > 0 && max <= m_count) ? max : m_count;
    const std::uint32_t size = static_cast<std::uint32_t>(m_readRing.size());
    for (std::uint32_t i = 0; i < n; ++i) {
        buffer[i] = m_readRing[m_readPos];
        m_readPos = (m_readPos + 1) % size;
    }
    m_count -= n;
    return n;
}

bool CSerialPort::ClosePort()
{
    if (!m_closed) {
        StopEventThread();
        std::lock_guard<std::mutex> lock(m_lock);
        CloseDevice();
        m_closed = true;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_writeBuffer = {};
    m_writeLength = 0;
    m_readRing = {};
    m_readPos = m_writePos = m_count = 0;
    return true;
}

// Moves every byte the device holds into the read ring, as far as it has
// room. False when the device has hung up or failed.
bool CSerialPort::ReadAvailable()
{
    std::lock_guard<std::mutex> lock(m_lock);
    const std::uint32_t size = static_cast<std::uint32_t>(m_readRing.size());
    while (m_count < size) {
        const std::uint32_t chunk = std::min(size - m_count, size - m_writePos);
        const ssize_t r = ::read(m_fd, m_readRing.data() + m_writePos, chunk);
        if (r > 0) {
            m_writePos = (m_writePos + static_cast<std::uint32_t>(r)) % size;
            m_count += static_cast<std::uint32_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (r < 0)
            ReportError();
        return false; // end of file: the device is gone
    }
    return true;
}

// Waits up to ms for the device (events) or the wake signal, reading what
// arrives meanwhile. True when the device reported one of the events.
bool CSerialPort::WaitFor(short events, int ms)
{
    bool room = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        room = m_count < m_readRing.size();
    }
    const short watch = static_cast<short>(room ? (events | POLLIN) : events);
    pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {m_fd, watch, 0}};
    if (::poll(fds, 2, ms) <= 0)
        return false;
    if (fds[0].revents & POLLIN) {
        std::uint64_t v = 0;
        [[maybe_unused]] auto r = ::read(m_wakeFd, &v, sizeof v);
    }
    if ((fds[1].revents & POLLIN) && (m_eventMask & EV_RXCHAR))
        ReadAvailable();
    return (fds[1].revents & events) != 0;
}

// Writes the queued block. Incoming bytes are still gathered while the line
// is busy, and a shutdown ends the write at once.
void CSerialPort::WriteQueued()
{
    std::vector<std::uint8_t> block;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        block.assign(m_writeBuffer.begin(), m_writeBuffer.begin() + m_writeLength);
        m_writeLength = 0;
    }
    std::size_t done = 0;
    bool failed = false;
    while (done < block.size() && !m_shutdown.load()) {
        const ssize_t w = ::write(m_fd, block.data() + done, block.size() - done);
        if (w > 0)
            done += static_cast<std::size_t>(w);
        else if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            WaitFor(POLLOUT, 50);
        else if (!(w < 0 && errno == EINTR)) {
            failed = true;
            break;
        }
    }
    if (failed)
        ReportError();
    if (!m_shutdown.load() && (m_eventMask & EV_TXEMPTY)) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_status |= SERIAL_STATUS_WRITTEN;
    }
}

void CSerialPort::EventThreadProc()
{
    m_alive.store(true);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_readPos = m_writePos = m_count = 0;
        ::tcflush(m_fd, TCIOFLUSH);
    }
    bool backOff = false;
    while (!m_shutdown.load()) {
        bool room = false;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            room = m_count < m_readRing.size();
        }
        // A hung-up device stays readable; it is watched again only after a pause.
        const bool watchDevice = room && !backOff;
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {m_fd, POLLIN, 0}};
        const int rc = ::poll(fds, watchDevice ? 2 : 1, watchDevice ? 1000 : 50);
        backOff = false;
        if (m_shutdown.load())
            break;
        if (rc < 0 && errno != EINTR) {
            ReportError();
            backOff = true;
            continue;
        }
        if (rc > 0 && (fds[0].revents & POLLIN)) {
            std::uint64_t v = 0;
            [[maybe_unused]] auto r = ::read(m_wakeFd, &v, sizeof v);
        }
        if (rc > 0 && watchDevice && fds[1].revents != 0) {
            {
                std::lock_guard<std::mutex> lock(m_lock);
                m_status |= StatusBitsFor(m_eventMask);
            }
            if ((fds[1].revents & POLLIN) && (m_eventMask & EV_RXCHAR) && !ReadAvailable())
                backOff = true;
            if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                ReportError();
                backOff = true;
            }
        }
        if (m_writeRequest.exchange(false))
            WriteQueued();
    }
    m_alive.store(false);
}
