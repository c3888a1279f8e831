// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Names in the order people count: "COM2" before "COM10", "/dev/ttyUSB2"
// before "/dev/ttyUSB10". Runs of digits compare by their value, the rest
// by character without regard to case; names that differ only in case or in
// leading zeros fall back to plain text order, so the order is strict.

#include <string_view>

namespace zr8 {

bool naturalLess(std::string_view a, std::string_view b);

}  // namespace zr8
