// SPDX-License-Identifier: GPL-3.0-or-later
// zr8-alpaca: the ZR8 as an ASCOM Alpaca telescope server.
#include "ui/alpaca/alpaca_program.h"
#include "ui/alpaca/command_line.h"

int main(int argc, char** argv) {
    zr8::alpaca::CommandLine options;
    if (const auto status = zr8::alpaca::parseCommandLine(argc, argv, ZR8_VERSION, options))
        return *status;
    return zr8::alpaca::runServer(options, ZR8_VERSION);
}
