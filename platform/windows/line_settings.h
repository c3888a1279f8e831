// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device control block as the link needs it, changed as little as will
// do: whatever else the driver reports (and a program before us left) stays.

#include <windows.h>

#include <cstdint>

namespace zr8 {

// 8N1 at `baudRate`, with only what a binary frame protocol cannot work
// without turned off (line_settings.cpp names each change and its reason).
void makeRaw(DCB& dcb, uint32_t baudRate);

}  // namespace zr8
