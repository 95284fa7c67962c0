// The network transport: one TCP connection per exchange with the controller.
#pragma once
#include <cstdint>

// The controller's TCP port: 222, or VANTREL_PORT when that holds a port
// number (tests run fake controllers on free ports).
std::uint16_t ControllerPort();

// Thread body. Takes one packet at a time from the send ring, scrambles it
// from offset 50, sends it and puts the answer's payload into the answer
// ring; then a fresh connection for the next exchange. Ends on the stop
// flag, on a connection that cannot be made, on a missing answer and on an
// answer to another exchange, clearing the running and stop flags.
void NetCommThread(std::uint32_t address, std::uint16_t port);
