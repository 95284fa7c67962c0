// The serial transport: the send ring goes out scrambled, byte for byte, over
// the port at 19200 baud 8N1, and what comes back fills the answer ring.
#pragma once
#include <cstdint>

// Thread body. Ends on the stop flag, and by itself (EndTransport) when the
// port cannot be opened and when a write is not carried out in time,
// closing the port.
void SerialCommThread(std::uint32_t port);

// Replaces the time a write may take (about 45 s for a 40,960-byte block) by
// ms; 0 restores it. Tests use it to see a stalled line end the link.
void SetSerialWriteBoundForTesting(std::uint32_t ms);
