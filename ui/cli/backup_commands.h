// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands that keep a controller's configuration in a file: backup,
// diff and restore.

#include "ui/cli/command_run.h"

namespace zr8::cli {

int backup(Run& run);
int diff(Run& run);
int restore(Run& run);

}  // namespace zr8::cli
