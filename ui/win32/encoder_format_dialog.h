// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The encoder data format dialog from template 101. What it shows and what
// Ok makes of it are the rules' (rules/encoder_format_form.h); it writes
// nothing anywhere and sends nothing.

#include <windows.h>

#include <optional>

#include "link/records.h"
#include "link/wire.h"

namespace zr8::win32 {

// Runs the dialog modally over `owner`: the new format bytes after Ok,
// nothing after Cancel, Escape or closing.
std::optional<WireFormat> runEncoderFormatDialog(HINSTANCE instance, HWND owner,
                                                 const EncoderConfig& current);

}  // namespace zr8::win32
