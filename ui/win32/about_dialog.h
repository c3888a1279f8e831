// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The About box from template 104: what the tool is, a credit line and the
// maker's web address as a link (underlined, in the system's link colour,
// with the hand cursor) that the shell opens in the browser. Its texts are
// the rules' (rules/dialog_texts.h), put into the template by the build.

#include <windows.h>

namespace zr8::win32 {

// Runs the box modally over `owner`; the result is always 1.
int runAboutDialog(HINSTANCE instance, HWND owner);

// How the address is opened: the shell's default action, unless a test
// puts a recorder in its place. Returns the previous opener.
using AddressOpener = void (*)(HWND owner, const wchar_t* address);
AddressOpener setAddressOpener(AddressOpener opener);

}  // namespace zr8::win32
