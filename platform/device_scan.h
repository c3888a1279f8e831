#pragma once
// The serial devices the system has: USB adapters, ACM devices and real UARTs.

#include <string>
#include <vector>

namespace zr8 {

struct DetectedDevice {
    std::string path;         // e.g. /dev/ttyUSB0
    std::string description;  // vendor and model where the system knows them
};

// Sorted by path. Empty when the system offers no listing.
std::vector<DetectedDevice> scanSerialDevices();

}  // namespace zr8
