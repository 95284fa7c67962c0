// A fake laser controller for the tests of the network link. It listens on
// 127.0.0.1 (or another loopback address) on a free port, or on a port
// given, and takes one packet per connection: 50 header
// bytes, then the payload length that bytes 29..30 announce. Every packet is
// recorded; each is answered by the next step of a script, which can also
// keep silent, close at once or mid-answer, trickle or send garbage.
#pragma once
#include <atomic>
#include <cstddef>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace plat {

using Bytes = std::vector<std::uint8_t>;

// A command packet as the network link frames it: a 50-byte header (byte 1
// the packet type, byte 12 = 1, bytes 29..30 the payload length) and the payload.
Bytes MakeNetPacket(std::uint8_t type, const Bytes& payload);

class FakeController {
public:
    enum class Reply {
        Answer,         // header (type, echoed exchange number, length) and payload
        Silent,         // reads on and never answers, until the client goes away
        CloseMidAnswer, // sends the first cutAt bytes of the answer, then closes
        Garbage,        // sends the step's payload bytes as they are, then closes
        CloseOnAccept,  // closes the connection as soon as it is accepted, reading nothing
        Trickle,        // sends the answer one byte every delayMs
        Reset,          // resets the connection instead of answering
    };
    struct Step {
        Reply reply = Reply::Answer;
        Bytes payload;
        std::uint16_t type = 1;     // bytes 0..1 of the answer, big-endian
        bool echoExchange = true;   // else bytes 8..11 of the answer differ from the packet's
        int delayMs = 0;            // wait before answering
        std::size_t cutAt = 0;      // CloseMidAnswer: bytes sent before closing
        bool holdOpen = false;      // after the reply, reads on until the client goes away
        bool stopListening = false; // closes the listener before the reply: later connections are refused
    };

    static Step Answering(Bytes payload, std::uint16_t type = 1, int delayMs = 0);
    static Step Silence();
    static Step CutOff(Bytes payload);          // the answer it would give, cut in half
    static Step CutAfter(Bytes payload, std::size_t bytes); // its first `bytes` bytes
    static Step Garbage(Bytes bytes);
    static Step GarbageHeldOpen(Bytes bytes);   // the bytes, then silence on an open connection
    static Step CloseOnAccept();                // a connection closed unread, instead of a packet
    static Step Trickle(Bytes payload, int msPerByte);
    static Step ForeignExchange(Bytes payload); // answers another exchange number
    static Step ResetConnection();              // reads the packet, then resets the connection
    static Step LastAnswer(Bytes payload);      // answers, refusing every connection after it

    FakeController() = default;
    ~FakeController();
    FakeController(const FakeController&) = delete;
    FakeController& operator=(const FakeController&) = delete;

    // Listens on the IPv4 address (dotted) and port, a free one for 0; false
    // when that failed. Two controllers may share a port on two loopback
    // addresses, as two machines on the network do.
    bool Start(const char* address = "127.0.0.1", std::uint16_t port = 0);
    std::uint16_t Port() const { return m_port; }
    // Listens again on its port once a LastAnswer step has closed the listener.
    bool Relisten();
    // A connection that brings no packet within ms is closed (0: never).
    void CloseIdleConnectionsAfter(int ms) { m_idleCloseMs.store(ms); }

    // Steps for the packets to come, in order; once they are used up every
    // packet gets an answer of type 1 with an empty payload.
    void Script(std::vector<Step> steps);

    std::vector<Bytes> Packets() const;                    // as they came over the wire
    std::vector<Bytes> Unscrambled(std::uint8_t key) const; // payloads XORed back
    std::vector<int> PacketConnections() const;            // connection number of each packet
    int Connections() const;                               // accepted so far

    bool WaitForPackets(std::size_t n, int timeoutMs) const;
    bool WaitForConnections(int n, int timeoutMs) const;

private:
    void Run();
    void Serve(int fd, int connection);
    bool ReadExactly(int fd, std::uint8_t* data, std::size_t n);
    bool Listen();
    bool PacketWithin(int fd, int ms);
    bool SendAll(int fd, const std::uint8_t* data, std::size_t n);
    bool Pause(int ms);
    void DrainUntilClosed(int fd);

    std::atomic<int> m_listen{-1}; // closed and reopened only on the controller's thread or
                                   // while it has none
    std::uint32_t m_address = 0;   // network order
    std::uint16_t m_port = 0;
    std::atomic<int> m_idleCloseMs{0};
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Step> m_steps;
    std::size_t m_nextStep = 0;
    std::vector<Bytes> m_packets;
    std::vector<int> m_packetConnections;
    int m_connections = 0;
};

} // namespace plat
