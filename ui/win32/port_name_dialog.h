// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Other device...": asks for the name of a port the listing does not show
// (a COM port made by a driver that SetupAPI does not list, say).

#include <windows.h>

#include <optional>
#include <string>

namespace zr8::win32 {

// The name typed, or nothing when the prompt was cancelled or closed.
std::optional<std::string> askPortName(HINSTANCE instance, HWND owner);

}  // namespace zr8::win32
