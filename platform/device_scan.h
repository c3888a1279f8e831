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

// Numbers in names in counting order: ttyUSB2 before ttyUSB10, COM2 before
// COM10. Empty when the system offers no listing.
std::vector<DetectedDevice> scanSerialDevices();

// The number the system gives a port of the name the operator typed ("COM7":
// 7 on Windows); 0 where the name carries none, and always on Linux.
uint8_t systemPortNumber(const std::string& name);

// The name a port the operator typed is listed and opened under: on Windows
// "COM21" for "21", "com21", "COM21:" and "\\.\COM21" alike; otherwise, and
// on Linux always, the name as typed.
std::string typedPortName(const std::string& typed);

}  // namespace zr8
