// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands that keep a controller's configuration in a file: backup,
// diff and restore.

#include "ui/cli/command_run.h"

namespace zr8::cli {

int backup(const Run& run);
int diff(const Run& run);
int restore(const Run& run);

}  // namespace zr8::cli
