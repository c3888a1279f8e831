// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every progress and error message the link gives is one of these codes; the
// dialog looks the text up in the same table.

#include <cstdint>

namespace zr8 {

enum StatusCode : int32_t {
    StatusNotConnected = 0,
    StatusOpeningPort = 1,
    StatusConnecting = 2,
    StatusConnected = 3,
    StatusConnectionClosed = 4,
    StatusTestingWithoutPort = 5,
    StatusCannotOpenPort = 6,
    StatusCannotConnect = 7,
    StatusUnknownDevice = 8,
    StatusNotSupportedDevice = 9,
    StatusCommunicationError = 10,
    StatusAlreadyConnected = 11,
    StatusNotConnectedYet = 12,
    StatusReady = 13,
    StatusManualMovement = 14,
    StatusPositioning = 15,
    StatusCalibrationUpdated = 16,
    StatusParametersStored = 17,
    // Not in the controller's original vocabulary: the serial device went
    // away (adapter pulled, pty closed) while the port was open.
    StatusConnectionLost = 18,
    // Nor this: a followed move did not end within its time limit (a stuck
    // axis, or a controller that stopped answering) and both axes were
    // stopped.
    StatusSlewOverdue = 19,
};

inline constexpr int32_t kStatusCodeCount = 20;

// The text of a status code, or nullptr for a code that has none.
const char* statusText(int32_t code);

}  // namespace zr8
