// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Makes what was written to an open file durable before it is renamed into
// place, so a stored state survives a power cut whole or not at all.

#include <cstdio>

namespace zr8::sim {

bool syncToDisk(std::FILE* file);

}  // namespace zr8::sim
