// SPDX-License-Identifier: GPL-3.0-or-later
// zr8ctl: the ZR8 mount controller from a terminal, scripts and a headless
// mount computer, on the same link as the dialog program.

#include <string>
#include <vector>

#include "ui/cli/commands.h"
#include "ui/cli/console.h"
#include "ui/cli/invocation.h"

int main(int argc, char* argv[]) {
    const zr8::cli::ConsoleSetup console;
    std::vector<std::string> arguments = zr8::cli::commandLineArguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    zr8::cli::Invocation invocation;
    if (const int code = zr8::cli::readCommandLine(static_cast<int>(arguments.size()),
                                                   pointers.data(), invocation);
        code >= 0) {
        return code;
    }
    return zr8::cli::runCommand(invocation);
}
