// SPDX-License-Identifier: GPL-3.0-or-later
// zr8ctl: the ZR8 mount controller from a terminal, scripts and a headless
// mount computer, on the same link as the dialog program.

#include "ui/cli/commands.h"
#include "ui/cli/console.h"
#include "ui/cli/invocation.h"

int main(int argc, char* argv[]) {
    zr8::cli::keepRunningWhenOutputCloses();
    zr8::cli::Invocation invocation;
    if (const int code = zr8::cli::readCommandLine(argc, argv, invocation); code >= 0) return code;
    return zr8::cli::runCommand(invocation);
}
