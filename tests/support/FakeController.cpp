#include "FakeController.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace plat {

namespace {
constexpr int kSliceMs = 10;
constexpr std::size_t kHeader = 50;
} // namespace

Bytes MakeNetPacket(std::uint8_t type, const Bytes& payload)
{
    Bytes packet(kHeader + payload.size(), 0);
    packet[1] = type;
    packet[12] = 1;
    packet[29] = static_cast<std::uint8_t>(payload.size() >> 8);
    packet[30] = static_cast<std::uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), packet.begin() + kHeader);
    return packet;
}

FakeController::Step FakeController::Answering(Bytes payload, std::uint16_t type, int delayMs)
{
    Step step;
    step.payload = std::move(payload);
    step.type = type;
    step.delayMs = delayMs;
    return step;
}

FakeController::Step FakeController::Silence()
{
    Step step;
    step.reply = Reply::Silent;
    return step;
}

FakeController::Step FakeController::CutOff(Bytes payload)
{
    Step step = Answering(std::move(payload));
    step.reply = Reply::CloseMidAnswer;
    step.cutAt = (50 + step.payload.size()) / 2;
    return step;
}

FakeController::Step FakeController::CutAfter(Bytes payload, std::size_t bytes)
{
    Step step = Answering(std::move(payload));
    step.reply = Reply::CloseMidAnswer;
    step.cutAt = bytes;
    return step;
}

FakeController::Step FakeController::GarbageHeldOpen(Bytes bytes)
{
    Step step = Garbage(std::move(bytes));
    step.holdOpen = true;
    return step;
}

FakeController::Step FakeController::CloseOnAccept()
{
    Step step;
    step.reply = Reply::CloseOnAccept;
    return step;
}

FakeController::Step FakeController::Trickle(Bytes payload, int msPerByte)
{
    Step step = Answering(std::move(payload));
    step.reply = Reply::Trickle;
    step.delayMs = msPerByte;
    return step;
}

FakeController::Step FakeController::Garbage(Bytes bytes)
{
    Step step = Answering(std::move(bytes));
    step.reply = Reply::Garbage;
    return step;
}

FakeController::Step FakeController::ForeignExchange(Bytes payload)
{
    Step step = Answering(std::move(payload));
    step.echoExchange = false;
    return step;
}

FakeController::Step FakeController::ResetConnection()
{
    Step step;
    step.reply = Reply::Reset;
    return step;
}

FakeController::Step FakeController::LastAnswer(Bytes payload)
{
    Step step = Answering(std::move(payload));
    step.stopListening = true;
    return step;
}

FakeController::~FakeController()
{
    m_stop.store(true);
    if (m_thread.joinable())
        m_thread.join();
    if (m_listen.load() >= 0)
        ::close(m_listen.load());
}

bool FakeController::Listen()
{
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = m_address;
    at.sin_port = htons(m_port);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    socklen_t len = sizeof at;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &len) != 0) {
        ::close(fd);
        return false;
    }
    m_port = ntohs(at.sin_port);
    m_listen.store(fd);
    return true;
}

bool FakeController::Start(const char* address, std::uint16_t port)
{
    in_addr a{};
    if (address == nullptr || ::inet_pton(AF_INET, address, &a) != 1)
        return false;
    m_address = a.s_addr;
    m_port = port;
    if (!Listen())
        return false;
    m_thread = std::thread(&FakeController::Run, this);
    return true;
}

bool FakeController::Relisten()
{
    for (int waited = 0; m_listen.load() >= 0; waited += kSliceMs) {
        if (waited > 2000)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
    }
    return Listen();
}

bool FakeController::PacketWithin(int fd, int ms)
{
    for (int waited = 0; waited < ms && !m_stop.load(); waited += kSliceMs) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) > 0)
            return true;
    }
    return false;
}

void FakeController::Script(std::vector<Step> steps)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_steps = std::move(steps);
    m_nextStep = 0;
}

std::vector<Bytes> FakeController::Packets() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_packets;
}

std::vector<Bytes> FakeController::Unscrambled(std::uint8_t key) const
{
    std::vector<Bytes> plain = Packets();
    for (Bytes& p : plain)
        for (std::size_t i = kHeader; i < p.size(); ++i)
            p[i] ^= key;
    return plain;
}

std::vector<int> FakeController::PacketConnections() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_packetConnections;
}

int FakeController::Connections() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connections;
}

bool FakeController::WaitForPackets(std::size_t n, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_packets.size() >= n; });
}

bool FakeController::WaitForConnections(int n, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_connections >= n; });
}

bool FakeController::Pause(int ms)
{
    for (int slept = 0; slept < ms && !m_stop.load(); slept += kSliceMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
    return !m_stop.load();
}

// False when the peer went away or the controller is stopping.
bool FakeController::ReadExactly(int fd, std::uint8_t* data, std::size_t n)
{
    std::size_t got = 0;
    while (got < n) {
        if (m_stop.load())
            return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0)
            continue;
        const ssize_t r = ::recv(fd, data + got, n - got, MSG_DONTWAIT);
        if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR))
            return false;
        if (r > 0)
            got += static_cast<std::size_t>(r);
    }
    return true;
}

bool FakeController::SendAll(int fd, const std::uint8_t* data, std::size_t n)
{
    std::size_t sent = 0;
    while (sent < n && !m_stop.load()) {
        const ssize_t w = ::send(fd, data + sent, n - sent, MSG_NOSIGNAL);
        if (w <= 0)
            return false;
        sent += static_cast<std::size_t>(w);
    }
    return sent == n;
}

void FakeController::DrainUntilClosed(int fd)
{
    std::uint8_t sink[256];
    while (!m_stop.load()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0)
            continue;
        const ssize_t r = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
        if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR))
            return;
    }
}

void FakeController::Serve(int fd, int connection)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_nextStep < m_steps.size() && m_steps[m_nextStep].reply == Reply::CloseOnAccept) {
            ++m_nextStep;
            return;
        }
    }
    const int idleMs = m_idleCloseMs.load();
    if (idleMs > 0 && !PacketWithin(fd, idleMs))
        return;
    Bytes packet(kHeader);
    if (!ReadExactly(fd, packet.data(), kHeader))
        return;
    const std::size_t length = std::size_t{packet[29]} << 8 | packet[30];
    packet.resize(kHeader + length);
    if (!ReadExactly(fd, packet.data() + kHeader, length))
        return;

    Step step;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_packets.push_back(packet);
        m_packetConnections.push_back(connection);
        if (m_nextStep < m_steps.size())
            step = m_steps[m_nextStep++];
    }
    m_changed.notify_all();

    if (step.stopListening) {
        ::close(m_listen.load());
        m_listen.store(-1);
    }
    if (step.reply != Reply::Trickle && !Pause(step.delayMs))
        return;
    Bytes answer(kHeader + step.payload.size(), 0);
    answer[0] = static_cast<std::uint8_t>(step.type >> 8);
    answer[1] = static_cast<std::uint8_t>(step.type);
    for (int i = 8; i < 12; ++i)
        answer[i] = step.echoExchange ? packet[i] : static_cast<std::uint8_t>(packet[i] ^ 0x5A);
    answer[29] = static_cast<std::uint8_t>(step.payload.size() >> 8);
    answer[30] = static_cast<std::uint8_t>(step.payload.size());
    std::copy(step.payload.begin(), step.payload.end(), answer.begin() + kHeader);

    switch (step.reply) {
    case Reply::Answer:
        SendAll(fd, answer.data(), answer.size());
        break;
    case Reply::CloseMidAnswer:
        SendAll(fd, answer.data(), std::min(step.cutAt, answer.size()));
        break;
    case Reply::Garbage:
        SendAll(fd, step.payload.data(), step.payload.size());
        break;
    case Reply::Trickle:
        // Until the client goes away.
        for (std::size_t i = 0; i < answer.size() && Pause(step.delayMs); ++i)
            if (!SendAll(fd, answer.data() + i, 1))
                break;
        break;
    case Reply::Silent:
        DrainUntilClosed(fd);
        break;
    case Reply::Reset: {
        const linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        break;
    }
    case Reply::CloseOnAccept:
        break;
    }
    if (step.holdOpen)
        DrainUntilClosed(fd);
}

void FakeController::Run()
{
    while (!m_stop.load()) {
        const int listener = m_listen.load();
        if (listener < 0) {
            Pause(kSliceMs);
            continue;
        }
        pollfd p{listener, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0)
            continue;
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        int connection = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            connection = m_connections++;
        }
        m_changed.notify_all();
        Serve(fd, connection);
        ::close(fd);
    }
}

} // namespace plat
