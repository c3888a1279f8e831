#pragma once
// The commands of zr8ctl, run on the main thread once the command line has
// been read. Each returns the exit status: 0 done, 1 the port or the
// controller failed, 2 a value or file given is wrong (nothing sent),
// 3 diff found differences, 130 interrupted.

#include "ui/cli/invocation.h"
#include "ui/cli/link_events.h"

namespace zr8::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDifferent = 3;
inline constexpr int kExitInterrupted = 130;

// `events` receives the link's reports and the operator's interrupt.
int runCommand(const Invocation& invocation, LinkEvents& events);

}  // namespace zr8::cli
