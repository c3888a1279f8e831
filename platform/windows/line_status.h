// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the driver says of an open COM port between transfers, and which of
// its failures mean that the device has gone away.

#include <windows.h>

namespace zr8 {

// True for the errors a call on an open port fails with once its device is
// gone (unplugged, driver unloaded, hung up); a driver that merely does not
// do what was asked (ERROR_INVALID_FUNCTION, ERROR_NOT_SUPPORTED, ...) is
// not one of them.
bool deviceGone(DWORD systemError);

enum class InputQueue { Known, Unknown, Gone };

// The bytes the driver holds ready to be read (ClearCommError, which also
// clears a line error). Unknown when the driver cannot say, Gone when the
// device has gone away; `count` is 0 then.
InputQueue bytesWaiting(HANDLE port, DWORD& count);

}  // namespace zr8
