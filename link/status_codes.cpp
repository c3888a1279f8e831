// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/status_codes.h"

namespace zr8 {

namespace {
constexpr const char* kStatusTexts[kStatusCodeCount] = {
    "Not connected",
    "Opening port, please wait...",
    "Connecting...",
    "Connection established.",
    "Connection closed",
    "Testing without using COM port.",
    "Error: Cannot open port.",
    "Error: Cannot connect to device.",
    "Error: Cannot connect: Unknown device",
    "Error: Not supported device",
    "Error: Communication error",
    "Error: Already connected",
    "Error: Not connected yet",
    "Ready",
    "Manual movement",
    "Positioning",
    "Encoder calibration parameters updated.",
    "Parameters stored...",
    "Error: Connection to the device lost.",
    "Error: The slew did not end in time; both axes were stopped.",
};
}  // namespace

const char* statusText(int32_t code) {
    if (code < 0 || code >= kStatusCodeCount) return nullptr;
    return kStatusTexts[code];
}

}  // namespace zr8
