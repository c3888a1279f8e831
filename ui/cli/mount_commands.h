// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands that point the mount at the sky: position, goto and sync,
// over the mount layer as every mount front end uses it. Each reads the
// axis counters first: a new connection takes the east side of the pier,
// and the counters tell which side the mount was left on.

#include "ui/cli/command_run.h"

namespace zr8::cli {

int position(Run& run);
int gotoPosition(Run& run);
int sync(Run& run);

}  // namespace zr8::cli
