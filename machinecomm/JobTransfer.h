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

// The block header of a network job block. Every byte not named is 0.
constexpr std::uint32_t kNetBlockPayloadMax = 1024;
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
