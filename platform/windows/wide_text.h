// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// UTF-8 (what the rest of the program speaks) to and from the UTF-16 of the
// Win32 "W" calls, so that device names and the system's localised texts
// pass through unharmed.

#include <string>

namespace zr8 {

std::wstring wideFromUtf8(const std::string& text);
std::string utf8FromWide(const wchar_t* text, size_t length);
std::string utf8FromWide(const std::wstring& text);

}  // namespace zr8
