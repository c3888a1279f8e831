// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Start-up measurements only (bench/startup): with ZR8_EXIT_WHEN_SHOWN=1 in
// the environment, a program says "shown" on its standard output once its
// first window is up, then closes that window as the operator would.
// Without it nothing changes.

#include <windows.h>

namespace zr8::win32 {

bool shownProbeAsked();

// Writes "shown" and posts the close command to `window`.
void reportShown(HWND window);

}  // namespace zr8::win32
