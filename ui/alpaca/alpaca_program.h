// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// zr8-alpaca's run: the settings, the mount layer with its link, the
// telescope, the HTTP server and (when it listens on the network)
// discovery, made in order and taken down in the reverse one.

#include <string>

#include "ui/alpaca/command_line.h"

namespace zr8::alpaca {

// Runs until a termination signal (Ctrl+C, SIGTERM; on Windows also the
// console window closing). The exit status.
int runServer(const CommandLine& options, const std::string& version);

}  // namespace zr8::alpaca
