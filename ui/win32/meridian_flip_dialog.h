// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The meridian flip dialog from template 103. Its texts, enabling and the
// answer of each button are the rules' (rules/meridian_flip_form.h).

#include <windows.h>

#include "link/wire.h"

namespace zr8::win32 {

// Runs the dialog modally over `owner` and returns the choice; closing the
// window or Escape counts as cancel, Enter outside a button does nothing.
FlipChoice runMeridianFlipDialog(HINSTANCE instance, HWND owner, int flipCase);

}  // namespace zr8::win32
