// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/port_error.h"

namespace zr8 {

std::string PortError::text() const {
    std::string line = device.empty() ? std::string() : device + ": ";
    line += systemMessage.empty() ? portErrorName(code) : systemMessage;
    if (!remedy.empty()) line += " - " + remedy;
    return line;
}

const char* portErrorName(PortErrorCode code) {
    switch (code) {
    case PortErrorCode::None:
        return "No error";
    case PortErrorCode::NotFound:
        return "Device not found";
    case PortErrorCode::PermissionDenied:
        return "Permission denied";
    case PortErrorCode::Busy:
        return "Device busy";
    case PortErrorCode::NotASerialDevice:
        return "Not a serial device";
    case PortErrorCode::Other:
        return "Cannot open the device";
    }
    return "Cannot open the device";
}

}  // namespace zr8
