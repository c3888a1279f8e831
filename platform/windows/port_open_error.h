// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a port could not be opened, from the system's error code: the closed
// set of PortErrorCode, the system's own text and what the operator can do.

#include <cstdint>
#include <string>

#include "platform/port_error.h"

namespace zr8 {

// Fills `error` for `device` (as the operator named it) failing with the
// Win32 error `systemError` (GetLastError()).
void describeOpenFailure(PortError& error, const std::string& device, uint32_t systemError);

// The system's text for a Win32 error code in the user's language, as UTF-8,
// without the trailing full stop and line break.
std::string systemErrorText(uint32_t systemError);

}  // namespace zr8
