// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a serial device could not be opened: a small closed set the program
// can act on, with the system's own words kept for the operator.

#include <string>

namespace zr8 {

enum class PortErrorCode { None, NotFound, PermissionDenied, Busy, NotASerialDevice, Other };

struct PortError {
    PortErrorCode code = PortErrorCode::None;
    std::string device;         // the path that was opened, if any
    std::string systemMessage;  // the OS's text, e.g. "Permission denied"
    std::string remedy;         // what the operator can do about it

    // One line for a tooltip: device, system message and remedy.
    std::string text() const;
};

const char* portErrorName(PortErrorCode code);

}  // namespace zr8
