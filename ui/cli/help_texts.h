// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What `zr8ctl --help` and `zr8ctl COMMAND --help` say beyond the one-line
// descriptions: the manual page's content, for the systems that have no
// `man` (on Windows this and docs/zr8ctl.md are the manual).

#include "ui/cli/invocation.h"

namespace zr8::cli {

// Above the options of `zr8ctl --help`.
extern const char* const kProgramDescription;
// Below the commands of `zr8ctl --help`.
extern const char* const kProgramFooter;

// Below the options of `zr8ctl COMMAND --help`; empty when the line says it all.
const char* commandFooter(Command command);

}  // namespace zr8::cli
