// Serial port numbers (the controller's "COM n") and the devices they stand
// for. The probe of the settings and the serial transport of the
// communication library both use this mapping:
//  - BRENVIK_COM<n>, when set and not empty, names the device of port n;
//  - ports 1 and 2 are /dev/ttyS0 and /dev/ttyS1;
//  - port n >= 3 is entry n - 3 of the USB adapters /dev/ttyUSB* followed by
//    the modems /dev/ttyACM*, each group in the order of its number, so
//    COM3 is the first USB adapter.
#pragma once
#include <string>
#include <vector>

namespace plat {

// The ttyUSB* devices, then the ttyACM* devices of a device folder, as full
// paths, each group ordered by its number (ttyUSB2 before ttyUSB10).
std::vector<std::string> ListSerialAdapters(const std::string& deviceFolder = "/dev/");

// Device path of port n; empty when port n stands for no device.
std::string SerialDevicePath(int port);

// For k = 1 .. count: opens the device of port k for reading and writing and
// closes it again; present[k - 1] = 1 when that worked, else 0. Returns the
// number of ports that opened. A count of 0 or less touches nothing.
int ProbeSerialPorts(unsigned char* present, int count);

} // namespace plat
