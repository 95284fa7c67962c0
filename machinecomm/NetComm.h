// The network transport: one TCP connection per exchange with the controller.
#pragma once
#include <cstdint>

// The controller's TCP port: 222, or VANTREL_PORT when that holds a port
// number (tests run fake controllers on free ports).
std::uint16_t ControllerPort();

// Thread body. Takes one packet at a time from the send ring, scrambles it
// from offset 50, sends it and puts the answer's payload into the answer
// ring; then a fresh connection for the next exchange. An idle link stays
// up. Ends on the stop flag, on a connection that cannot be made, on an
// answer not whole within 2 s of the send, on the peer closing before it is
// whole, on a receive error, on an answer announcing more than the packet
// limit and on an answer to another exchange, clearing the running and stop
// flags; nothing is posted about the end.
void NetCommThread(std::uint32_t address, std::uint16_t port);
