#include "NetComm.h"

#include "CommState.h"
#include "PacketHead.h"
#include "Vantrel.h"
#include "platform/NumText.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Answers carry the same header as packets, payload length at the same place.
constexpr std::uint32_t kLengthAt = offsetof(PACKETHEAD, m_lengthHigh);
constexpr int kConnectTimeoutMs = 3000;
constexpr int kFirstTimeoutMs = 2000;      // send and receive on the first connection
constexpr int kLaterTimeoutMs = 3000;      // on every connection after an exchange
constexpr int kSliceMs = 20;               // longest wait without looking at the stop flag
constexpr int kExchangePauseMs = 100;
// An answer must be whole within 200 turns of 10 ms from its packet's send.
constexpr int kAnswerWaitMs = 200 * 10;

using Clock = std::chrono::steady_clock;

bool Stopping()
{
    return Comm().stop.load();
}

int ElapsedMs(Clock::time_point since)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

class ControllerSocket {
public:
    ControllerSocket() = default;
    ~ControllerSocket() { Close(); }
    ControllerSocket(const ControllerSocket&) = delete;
    ControllerSocket& operator=(const ControllerSocket&) = delete;

    // Connects within kConnectTimeoutMs, watching the stop flag meanwhile.
    bool Connect(std::uint32_t address, std::uint16_t port, int ioTimeoutMs);
    void Close();
    int Fd() const { return m_fd; }
    int TimeoutMs() const { return m_timeoutMs; }

private:
    int m_fd = -1;
    int m_timeoutMs = kFirstTimeoutMs;
};

void ControllerSocket::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool ControllerSocket::Connect(std::uint32_t address, std::uint16_t port, int ioTimeoutMs)
{
    Close();
    m_timeoutMs = ioTimeoutMs;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // A connection ends with a reset instead of lingering in TIME_WAIT: a job
    // makes one connection per block, thousands in a row.
    const linger hardClose{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hardClose, sizeof hardClose);
    const timeval tv{ioTimeoutMs / 1000, (ioTimeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        if (errno != EINPROGRESS) {
            ::close(fd);
            return false;
        }
        const Clock::time_point start = Clock::now();
        for (;;) {
            if (Stopping() || ElapsedMs(start) >= kConnectTimeoutMs) {
                ::close(fd);
                return false;
            }
            pollfd p{fd, POLLOUT, 0};
            const int rc = ::poll(&p, 1, kSliceMs);
            if (rc > 0)
                break;
            if (rc < 0 && errno != EINTR) {
                ::close(fd);
                return false;
            }
        }
        // Writable also means refused: the outcome is in SO_ERROR.
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
            ::close(fd);
            return false;
        }
    }
    m_fd = fd;
    return true;
}

// The failure a socket error stands for.
plat::LPARAM SocketFailure(int error)
{
    switch (error) {
    case EPIPE:
        return TRANS_ERROR_CLOSED;
    case ECONNRESET:
        return TRANS_ERROR_RESET;
    default:
        return TRANS_ERROR_LINK;
    }
}

// A connection held while the link was idle may have been closed by the
// controller since (or carry bytes nobody asked for): either way it is no
// place for the next packet.
bool PeerHasLeft(const ControllerSocket& sock)
{
    pollfd p{sock.Fd(), POLLIN | POLLRDHUP, 0};
    return ::poll(&p, 1, 0) != 0;
}

// Sends the whole packet: 0, else the failure. A packet already taken from
// the ring is tried at once even when a stop is asked for, so a closing link
// does not lose it.
plat::LPARAM SendAll(const ControllerSocket& sock, const std::uint8_t* data, std::uint32_t n)
{
    std::uint32_t sent = 0;
    Clock::time_point last = Clock::now();
    while (sent < n) {
        const ssize_t w = ::send(sock.Fd(), data + sent, n - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (w > 0) {
            sent += static_cast<std::uint32_t>(w);
            last = Clock::now();
            continue;
        }
        if (!(w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)))
            return SocketFailure(errno);
        if (Stopping())
            return TRANS_ERROR_LINK;
        if (ElapsedMs(last) >= sock.TimeoutMs())
            return TRANS_ERROR_NO_ANSWER; // the controller takes nothing
        pollfd p{sock.Fd(), POLLOUT, 0};
        if (::poll(&p, 1, kSliceMs) < 0 && errno != EINTR)
            return SocketFailure(errno);
    }
    return 0;
}

// Reads one answer into answer (kPacketMax bytes): the header first, then
// exactly the payload its length announces, which is checked against the
// packet limit before a byte of it is read. The whole answer must be in
// within kAnswerWaitMs of the send however it trickles in. 0, else the
// failure, which ends the link: not in time, the peer closing or resetting
// first, another receive error, an announced payload beyond the limit, the
// stop flag.
plat::LPARAM ReceiveAnswer(const ControllerSocket& sock, Clock::time_point sentAt,
                           std::uint8_t* answer, std::uint32_t& payload)
{
    std::uint32_t got = 0;
    std::uint32_t need = kPacketHeadSize;
    while (got < need) {
        if (Stopping())
            return TRANS_ERROR_LINK;
        if (ElapsedMs(sentAt) >= kAnswerWaitMs)
            return TRANS_ERROR_NO_ANSWER;
        pollfd p{sock.Fd(), POLLIN, 0};
        const int rc = ::poll(&p, 1, kSliceMs);
        if (rc < 0 && errno != EINTR)
            return SocketFailure(errno);
        if (rc <= 0)
            continue;
        const ssize_t r = ::recv(sock.Fd(), answer + got, need - got, MSG_DONTWAIT);
        if (r == 0)
            return TRANS_ERROR_CLOSED;
        if (r < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return SocketFailure(errno);
        }
        got += static_cast<std::uint32_t>(r);
        if (need == kPacketHeadSize && got == kPacketHeadSize) {
            payload = static_cast<std::uint32_t>(answer[kLengthAt]) << 8 | answer[kLengthAt + 1];
            if (kPacketHeadSize + payload > kPacketMax)
                return TRANS_ERROR_LINK;
            need = kPacketHeadSize + payload;
        }
    }
    return 0;
}

void DeliverAnswer(const std::uint8_t* answer, std::uint32_t payload)
{
    const plat::HWND window = Comm().sendRing.NotifyWindow();
    if (window == 0)
        return;
    PutAnswerBytes(answer + kPacketHeadSize, payload);
    PostToWindow(window, WM_COMM_ANSWER, 0, 0);
}

} // namespace

std::uint16_t ControllerPort()
{
    const char* text = std::getenv("VANTREL_PORT");
    if (text == nullptr)
        return 222;
    bool ok = false;
    const std::int64_t port = plat::ParseInt(text, &ok);
    return ok && port >= 1 && port <= 65535 ? static_cast<std::uint16_t>(port) : 222;
}

void NetCommThread(std::uint32_t address, std::uint16_t port)
{
    CommState& s = Comm();
    ControllerSocket sock;
    plat::LPARAM failure = TRANS_ERROR_NO_CONNECTION;
    if (sock.Connect(address, port, kFirstTimeoutMs)) {
        failure = 0;
        ReportLinkUp();
        std::uint8_t packet[kPacketMax];
        std::uint8_t answer[kPacketMax];
        while (!Stopping() && failure == 0) {
            std::memset(packet, 0, sizeof packet);
            std::uint64_t mark = 0;
            const std::uint32_t n =
                s.sendRing.TakePacket(packet, kPacketMax, kPacketHeadSize, kLengthAt, &mark);
            if (n == 0) {
                // Idle: nothing is awaited, so an idle link stays up.
                SleepUnlessStopped(10);
                continue;
            }
            const std::uint8_t key = SCRAMBLEBYTE.load();
            for (std::uint32_t i = kPacketHeadSize; i < n; ++i)
                packet[i] ^= key;
            // Controllers close connections that stay idle; the link ends
            // only when no fresh one can be had.
            if (PeerHasLeft(sock) && !sock.Connect(address, port, kLaterTimeoutMs)) {
                failure = TRANS_ERROR_NO_CONNECTION;
                break;
            }
            failure = SendAll(sock, packet, n);
            std::uint32_t payload = 0;
            if (failure == 0) {
                const Clock::time_point sentAt = Clock::now();
                std::memset(answer, 0, sizeof answer);
                failure = ReceiveAnswer(sock, sentAt, answer, payload);
            }
            if (failure != 0)
                break;
            // Bytes 8..11 number the exchange; the controller echoes them.
            // Only an answer to this exchange makes the packet sent.
            if (std::memcmp(answer + 8, packet + 8, 4) != 0) {
                failure = TRANS_ERROR_EXCHANGE;
            } else {
                s.sendFinished.store(mark);
                if ((answer[0] << 8 | answer[1]) != 4)
                    DeliverAnswer(answer, payload);
            }
            if (failure == 0 && !sock.Connect(address, port, kLaterTimeoutMs))
                failure = TRANS_ERROR_NO_CONNECTION;
            if (failure != 0 || !SleepUnlessStopped(kExchangePauseMs))
                break;
        }
    }
    sock.Close();
    EndTransport(failure);
}
