// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/file_sync.h"

#include <unistd.h>

namespace zr8::sim {

bool syncToDisk(std::FILE* file) { return ::fsync(fileno(file)) == 0; }

}  // namespace zr8::sim
