// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial devices the system has: USB adapters, ACM devices and real UARTs.

#include <cstdint>
#include <string>
#include <vector>

namespace zr8 {

struct DetectedDevice {
    std::string path;         // e.g. /dev/ttyUSB0, COM3
    std::string description;  // vendor and model where the system knows them
    // The number the system itself gives the port (COM3: 3), which the
    // catalogue keeps as the port's number; 0 where the system numbers none.
    uint8_t number = 0;
};

// Sorted by path (on Windows by COM number). Empty when the system offers no
// listing.
std::vector<DetectedDevice> scanSerialDevices();

// The number the system gives a port of the name the operator typed ("COM7":
// 7 on Windows); 0 where the name carries none, and always on Linux.
uint8_t systemPortNumber(const std::string& name);

}  // namespace zr8
