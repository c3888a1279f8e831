// SPDX-License-Identifier: GPL-3.0-or-later
// zr8-setup for Windows: configures the ZR8 mount controller. It takes no
// options; of what the system hands the entry point only the instance is
// used.

#include <windows.h>

#include "ui/win32/start_up.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return zr8::win32::runProgram(instance);
}
