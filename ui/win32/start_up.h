// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Start-up and wiring of the Windows program: registers the common
// controls, builds the long-lived objects, connects them through their
// interfaces, runs the main dialog until the operator closes it and takes
// everything down again, in an order that lets no thread call into an
// object that is already gone. Returns the exit code, which is always 0.

#include <windows.h>

namespace zr8::win32 {

int runProgram(HINSTANCE instance);

}  // namespace zr8::win32
