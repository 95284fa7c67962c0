// The network transport: one TCP connection per exchange with the controller.
#pragma once
#include <cstdint>

// The controller's TCP port: 222, or VANTREL_PORT when that holds a port
// number (tests run fake controllers on free ports).
std::uint16_t ControllerPort();

// Thread body. Takes one packet at a time from the send ring, scrambles it
// from offset 50, sends it and puts the answer's payload into the answer
// ring; then a fresh connection for the next exchange. A packet counts as
// sent (sendFinished) once its answer is in whole with its exchange bytes.
// An idle link stays up; a connection the controller closed while idle is
// replaced before the next packet goes. Ends on the stop flag, and by itself
// (EndTransport with the TRANS_ERROR_* of why) on a connection that cannot
// be made, on an answer not whole within 2 s of the send, on the peer
// closing or resetting before it is whole, on another socket error, on an
// answer announcing more than the packet limit and on an answer to another
// exchange.
void NetCommThread(std::uint32_t address, std::uint16_t port);
