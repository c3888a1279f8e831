// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands of zr8ctl, run on the main thread once the command line has
// been read. Each returns the exit status: 0 done, 1 the port or the
// controller failed, 2 a value or file given is wrong (nothing written to
// the controller), 3 diff found differences, 130, 143 or 129 interrupted by
// Ctrl-C, the terminate or the hang-up signal.

#include "ui/cli/invocation.h"

namespace zr8::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDifferent = 3;
inline constexpr int kExitHungUp = 129;
inline constexpr int kExitInterrupted = 130;
inline constexpr int kExitTerminated = 143;

// Ctrl-C is taken over while the link runs (it is then shut down cleanly);
// before that nothing needs taking down and the interrupt ends the program
// as usual. Call on the main thread before any other thread exists.
int runCommand(const Invocation& invocation);

}  // namespace zr8::cli
