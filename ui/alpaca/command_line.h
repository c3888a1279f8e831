// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// zr8-alpaca's command line. What it gives overrides the settings file for
// this run only.

#include <cstdint>
#include <optional>
#include <string>

namespace zr8::alpaca {

struct CommandLine {
    std::optional<uint16_t> httpPort;
    std::optional<std::string> listenAddress;
    std::optional<std::string> serialPort;
    std::optional<uint32_t> baudRate;
    std::string settingsFile;  // empty: the per-user one
};

// Nothing to run; otherwise the exit status, after the help, the version or
// the error has been printed.
std::optional<int> parseCommandLine(int argc, char** argv, const std::string& version,
                                    CommandLine& out);

}  // namespace zr8::alpaca
