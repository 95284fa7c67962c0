// The job transfer: VQ_TransFileOperate checks a request and starts the
// transfer thread, which builds the whole job stream and then saves it as a
// .out file or feeds it through the send ring to the transport: network
// blocks of at most 1,024 stream bytes behind a 50-byte block header, one in
// the ring at a time, or raw chunks on a serial link. One transfer at a time.
#pragma once
#include "VantrelRecords.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The 50-byte header in front of each network job block; the stream bytes
// follow it. Every byte not named is 0; numbers are big-endian.
struct NETBLOCKHEAD {
    std::uint8_t m_zero[4] = {};
    std::uint8_t m_total[4] = {};    // length of the whole stream
    std::uint8_t m_number[4] = {};   // block number, 1 for the first; the controller echoes it
    std::uint8_t m_last = 0;         // 1 on the block that ends the stream
    char m_jobName[8] = {};          // up to 8 characters of the cut job name, zero-filled
    char m_out[3] = {'O', 'U', 'T'};
    std::uint8_t m_reserved0[5] = {};
    std::uint8_t m_length[2] = {};   // stream bytes in this block, at most 1024
    std::uint8_t m_counter[2] = {};  // 112 for the first block, one more per block
    std::uint8_t m_reserved1[17] = {};
};

static_assert(sizeof(NETBLOCKHEAD) == 50);
static_assert(offsetof(NETBLOCKHEAD, m_total) == 4);
static_assert(offsetof(NETBLOCKHEAD, m_number) == 8);
static_assert(offsetof(NETBLOCKHEAD, m_last) == 12);
static_assert(offsetof(NETBLOCKHEAD, m_jobName) == 13);
static_assert(offsetof(NETBLOCKHEAD, m_out) == 21);
static_assert(offsetof(NETBLOCKHEAD, m_length) == 29);
static_assert(offsetof(NETBLOCKHEAD, m_counter) == 31);

constexpr std::uint32_t kNetBlockPayloadMax = 1024;
// Writes the NETBLOCKHEAD of a block to block.
void WriteNetBlockHead(std::uint8_t* block, std::uint32_t total, std::uint32_t number, bool last,
                       const char (&jobName)[12], std::uint32_t payload, std::uint16_t counter);

// True when the request can be transferred (TRANS_BAD_REQUEST otherwise).
bool TransferRequestIsValid(const TRANSFILEREQ* request);

// The body of VQ_TransFileOperate.
std::uint32_t TransFileOperate(TRANSFILEREQ* request);

// Saves n stream bytes, each XORed with key, as the offline work file path,
// replaced in one step (plat::WriteWholeFile): false on any failure, with
// the old file untouched. The bytes are scrambled in place and left so.
bool WriteOutFile(const std::string& path, std::uint8_t* stream, std::size_t n, std::uint8_t key);
