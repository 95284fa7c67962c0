// The 50-byte header in front of every command packet on a network link.
// Every byte not named here is 0. The payload behind it is scrambled by the
// transport; the header never is.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

constexpr std::uint32_t kPacketHeadSize = 50;
// A packet with the largest payload the controller takes (1024 bytes).
constexpr std::uint32_t kPacketMax = 1074;

// Packet types of PACKETHEAD::m_type.
constexpr std::uint8_t PACKET_COMMAND = 1;
constexpr std::uint8_t PACKET_WRITE_PARAMS = 15;
constexpr std::uint8_t PACKET_READ_PARAMS = 16;

struct PACKETHEAD {
    std::uint8_t m_zero = 0;
    std::uint8_t m_type = PACKET_COMMAND;
    std::uint8_t m_reserved0[6] = {};
    std::uint8_t m_exchange[4] = {};   // echoed by the controller; commands send 0
    std::uint8_t m_one = 1;
    std::uint8_t m_reserved1[16] = {};
    std::uint8_t m_lengthHigh = 0;     // payload length, big-endian
    std::uint8_t m_lengthLow = 0;
    std::uint8_t m_reserved2[19] = {};
};

static_assert(sizeof(PACKETHEAD) == kPacketHeadSize);
static_assert(offsetof(PACKETHEAD, m_type) == 1);
static_assert(offsetof(PACKETHEAD, m_exchange) == 8);
static_assert(offsetof(PACKETHEAD, m_one) == 12);
static_assert(offsetof(PACKETHEAD, m_lengthHigh) == 29);
static_assert(offsetof(PACKETHEAD, m_lengthLow) == 30);

// Writes the header of a packet of this type and payload length to out.
inline void WritePacketHead(std::uint8_t* out, std::uint8_t type, std::uint32_t payloadLength)
{
    PACKETHEAD head;
    head.m_type = type;
    head.m_lengthHigh = static_cast<std::uint8_t>(payloadLength >> 8);
    head.m_lengthLow = static_cast<std::uint8_t>(payloadLength);
    std::memcpy(out, &head, sizeof head);
}
