// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The OS's handle of a file, pipe end or event, wide enough for every system
// we build for. Portable code only passes it between platform objects.

#include <cstdint>

namespace zr8 {

using NativeHandle = intptr_t;
inline constexpr NativeHandle kNoHandle = -1;

}  // namespace zr8
