// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/command_line.h"

#include <CLI/CLI.hpp>

namespace zr8::alpaca {

std::optional<int> parseCommandLine(int argc, char** argv, const std::string& version,
                                    CommandLine& out) {
    CLI::App app{
        "zr8-alpaca: the ZR8 as an ASCOM Alpaca telescope (device 0), for N.I.N.A., the ASCOM "
        "Platform and other Alpaca clients. Setup page: http://127.0.0.1:11111/setup",
        "zr8-alpaca"};
    app.set_version_flag("--version", "zr8-alpaca " + version);
    uint16_t port = 0;
    std::string listen, serial, settings;
    uint32_t baud = 0;
    auto* portOption = app.add_option("--http-port", port,
                                      "TCP port of the API [11111]; 0: a free one, printed at "
                                      "start");
    auto* listenOption = app.add_option("--listen", listen,
                                        "IP address to listen on [127.0.0.1]. 0.0.0.0 (or ::) "
                                        "opens the API, which has no password, to the network, "
                                        "and answers discovery");
    auto* serialOption =
        app.add_option("--serial-port", serial, "the ZR8's serial port, e.g. /dev/ttyUSB0 or COM3");
    auto* baudOption =
        app.add_option("--baud", baud, "9600 or 115200")->check(CLI::IsMember({9600, 115200}));
    app.add_option("--settings", settings, "settings file [the per-user one]");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);  // --help and --version: 0
        return code == 0 ? 0 : 2;
    }
    if (*portOption) out.httpPort = port;
    if (*listenOption) out.listenAddress = listen;
    if (*serialOption) out.serialPort = serial;
    if (*baudOption) out.baudRate = baud;
    out.settingsFile = settings;
    return std::nullopt;
}

}  // namespace zr8::alpaca
