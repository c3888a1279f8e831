// SPDX-License-Identifier: GPL-3.0-or-later
// The command line, read by CLI11: the commands, their options and the
// help. Typed values stay text here; the dialogs' rules check them.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "link/wire.h"
#include "ui/cli/commands.h"
#include "ui/cli/help_texts.h"
#include "ui/cli/invocation.h"
#include "ui/cli/output.h"
#include "ui/rules/control_ids.h"

namespace zr8::cli {

namespace {

using namespace rules;

// An option that sets one of a dialog's controls: a check box (on|off) or a
// typed number.
struct ControlOption {
    Command command;
    const char* name;
    int controlId;
    bool box;
    const char* help;
};

const ControlOption kControlOptions[] = {
    {Command::Format, "--ra-invert", format_ids::IdRaInvert, true, "RA \"Invert data\""},
    {Command::Format, "--ra-gray", format_ids::IdRaGray, true, "RA \"Gray format\""},
    {Command::Format, "--ra-bits-per-rev", format_ids::IdRaBitsPerRev, false,
     "RA bits per one revolution, 0 to 255"},
    {Command::Format, "--ra-bits-for-revs", format_ids::IdRaBitsForRevs, false,
     "RA bits for revolutions, 0 to 255"},
    {Command::Format, "--ra-leading-bits", format_ids::IdRaLeadingBits, false,
     "RA leading bits, 0 to 255"},
    {Command::Format, "--dec-invert", format_ids::IdDecInvert, true, "Dec \"Invert data\""},
    {Command::Format, "--dec-gray", format_ids::IdDecGray, true, "Dec \"Gray format\""},
    {Command::Format, "--dec-bits-per-rev", format_ids::IdDecBitsPerRev, false,
     "Dec bits per one revolution, 0 to 255"},
    {Command::Format, "--dec-bits-for-revs", format_ids::IdDecBitsForRevs, false,
     "Dec bits for revolutions, 0 to 255"},
    {Command::Format, "--dec-leading-bits", format_ids::IdDecLeadingBits, false,
     "Dec leading bits, 0 to 255"},
    {Command::Calibration, "--ra-reverse", main_ids::IdRaReverseEncoder, true,
     "RA \"Reverse encoder\""},
    {Command::Calibration, "--dec-reverse", main_ids::IdDecReverseEncoder, true,
     "Dec \"Reverse encoder\""},
    {Command::Calibration, "--ra-offset", main_ids::IdRaOffset, false,
     "RA encoder offset in counts, -2147483648 to 4294967295 (one 32-bit word)"},
    {Command::Calibration, "--dec-offset", main_ids::IdDecOffset, false,
     "Dec encoder offset in counts, -2147483648 to 4294967295"},
    {Command::MotorReverse, "--ra", main_ids::IdRaReverseMotor, true, "RA \"Reverse motor\""},
    {Command::MotorReverse, "--dec", main_ids::IdDecReverseMotor, true, "Dec \"Reverse motor\""},
};

// Names only: the help and the messages show these, never the codes.
const std::map<std::string, uint8_t> kDirections = {
    {"north", DirectionNorth},
    {"south", DirectionSouth},
    {"west", DirectionWest},
    {"east", DirectionEast},
};

// A number of `unit` from `minimum` to `maximum`; "nan" and "inf" are not.
CLI::Validator numberFrom(double minimum, double maximum, const char* unit, const char* name) {
    char range[64];
    std::snprintf(range, sizeof range, "%g to %g", minimum, maximum);
    return CLI::Validator(
        [=, range = std::string(range)](std::string& text) {
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !std::isfinite(value) || value < minimum ||
                value > maximum) {
                return text + " is not a number of " + unit + " from " + range;
            }
            return std::string();
        },
        name);
}

CLI::Validator secondsFrom(double minimum, double maximum) {
    return numberFrom(minimum, maximum, "seconds", "SECONDS");
}

// "--watch: nan is not ..." and the like, named by what the operator typed.
std::string usageMessage(const CLI::App& app, const CLI::ParseError& e) {
    const bool extra = dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr;
    const bool noCommand =
        dynamic_cast<const CLI::RequiredError*>(&e) != nullptr && app.get_subcommands().empty();
    if (!extra && !noCommand) return e.what();
    const std::vector<std::string> rest = app.remaining();
    const std::string first = rest.empty() ? "" : rest.front();
    if (first.empty()) return noCommand ? "no command given" : e.what();
    if (first[0] == '-' && first.size() > 1) return "unknown option " + first;
    return (noCommand ? "unknown command " : "unexpected argument ") + first;
}

// Whether --json stands among the options, for a command line that could
// not be read.
bool asksForJson(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--") break;
        if (std::string(argv[i]) == "--json") return true;
    }
    return false;
}

}  // namespace

int readCommandLine(int argc, char** argv, Invocation& inv) {
    CLI::App app{kProgramDescription, "zr8ctl"};
    app.footer(kProgramFooter);
    app.set_version_flag("--version", std::string("zr8ctl ") + ZR8_VERSION);
    app.require_subcommand(1);
    // Common options may come before or after the command.
    app.fallthrough();

    app.add_option("-p,--port", inv.port,
                   "the port: a port `zr8ctl ports` lists, a device (/dev/ttyUSB0; on Windows "
                   "COM3, com3, 3 or \\\\.\\COM3), or sim for the built-in simulator");
    app.add_option("-b,--baud", inv.baudRate, "the line's rate, 9600 or 115200")
        ->check(CLI::IsMember({9600, 115200}))
        ->capture_default_str();
    app.add_flag("--json", inv.json, "machine-readable output (docs/zr8ctl-*.schema.json)");
    app.add_option("-t,--timeout", inv.timeoutSeconds,
                   "seconds to wait for each answer of the controller (the connection's own "
                   "pauses, about a second, come on top)")
        ->check(secondsFrom(1.0, 3600.0))
        ->capture_default_str();
    app.add_option("--trace", inv.tracePath,
                   "write every frame both ways with its time to FILE (- for standard error)")
        ->type_name("FILE");
    app.add_option("--longitude", inv.longitude,
                   "the site's longitude in degrees, east positive, for the sidereal time that "
                   "position, goto and sync count with")
        ->check(numberFrom(-180.0, 360.0, "degrees", "DEGREES"))
        ->capture_default_str();

    struct Sub {
        Command command;
        CLI::App* app;
    };
    std::vector<Sub> subs;
    auto add = [&](Command command, const char* name, const char* help) {
        CLI::App* sub = app.add_subcommand(name, help);
        if (const char* footer = commandFooter(command); *footer != '\0') sub->footer(footer);
        subs.push_back({command, sub});
        return sub;
    };
    add(Command::Ports, "ports", "list the serial ports and the built-in simulator");
    add(Command::Info, "info", "show the configuration the controller reports on connect");
    CLI::App* read = add(Command::Read, "read", "read both encoders: raw, arcseconds, +DDD:MM:SS");
    read->add_option("-w,--watch", inv.watchSeconds, "read again every SECONDS until interrupted")
        ->check(secondsFrom(0.05, 86400.0));
    CLI::App* format = add(Command::Format, "format",
                           "set the encoder data format (what is not given stays; the unnamed "
                           "flag bit is cleared, as the dialog's Ok does)");
    CLI::App* calibration = add(Command::Calibration, "calibration",
                                "set the reverse-encoder bits and the encoder offsets (what is "
                                "not given stays)");
    CLI::App* motor = add(Command::MotorReverse, "motor-reverse",
                          "set the reverse-motor bits (what is not given stays)");
    CLI::App* tracking = add(Command::Tracking, "tracking", "switch tracking on or off");
    std::string trackingState;
    tracking->add_option("state", trackingState, "on or off")
        ->required()
        ->check(CLI::IsMember({"on", "off"}));
    CLI::App* move = add(Command::Move, "move",
                         "move the mount by hand; without --for it keeps moving after zr8ctl "
                         "ends, until `zr8ctl stop`");
    std::string direction;
    move->add_option("direction", direction, "north, south (Dec), west or east (RA)")
        ->required()
        ->check(CLI::IsMember({"north", "south", "west", "east"}));
    inv.speedText = std::to_string(main_ids::kSpeedStart);
    move->add_option("-s,--speed", inv.speedText, "speed step, 0 to 31")->capture_default_str();
    move->add_option("--for", inv.forSeconds, "stop after SECONDS")
        ->check(secondsFrom(0.0, 86400.0));
    add(Command::Stop, "stop", "stop both axes");
    add(Command::Store, "store",
        "make the controller store its settings (\"Save settings into ZR.\")");
    CLI::App* backup = add(Command::Backup, "backup",
                           "save the whole configuration to FILE (- for standard output)");
    backup->add_option("file", inv.file, "the backup to write")->required();
    backup->add_flag("-f,--force", inv.force, "replace an existing FILE");
    CLI::App* diff =
        add(Command::Diff, "diff", "show what differs between FILE and the controller");
    diff->add_option("file", inv.file, "a backup (- for standard input)")->required();
    CLI::App* restore = add(Command::Restore, "restore",
                            "write format, calibration and motor reverse from FILE, read back "
                            "and compare");
    restore->add_option("file", inv.file, "a backup (- for standard input)")->required();
    restore->add_flag("-n,--dry-run", inv.dryRun,
                      "connect, and show what would be written and what would change; write "
                      "nothing");
    restore->add_flag("--store", inv.store,
                      "store the settings in the controller after a clean read-back");
    restore->add_flag("--other-controller", inv.otherController,
                      "restore a backup of another controller (its identity or microstep "
                      "resolution differ)");

    add(Command::Position, "position",
        "show where the mount points: RA, Dec and the side of the pier");
    const auto addSkyPosition = [&](CLI::App* sub) {
        sub->add_option("ra", inv.raText, "right ascension in hours: 5.5 or 05:30:00")->required();
        sub->add_option("dec", inv.decText, "declination in degrees: -10.25 or -10:15:00")
            ->required();
    };
    CLI::App* slew = add(Command::Goto, "goto",
                         "slew to RA and Dec and wait for \"Ready\" (Ctrl-C stops the mount); a "
                         "meridian flip is made when needed, and when recommended unless --flip "
                         "avoid");
    addSkyPosition(slew);
    slew->add_option("--flip", inv.flipPolicy,
                     "recommended: flip when the controller recommends it; avoid: stay on this "
                     "side unless a flip is needed")
        ->check(CLI::IsMember({"recommended", "avoid"}))
        ->capture_default_str();
    CLI::App* sync = add(Command::Sync, "sync",
                         "take RA and Dec as where the mount points now: the axis counters are "
                         "set to them on the current side of the pier");
    addSkyPosition(sync);

    std::vector<std::pair<const ControlOption*, CLI::Option*>> controlOptions;
    std::map<const ControlOption*, std::string> texts;
    for (const ControlOption& option : kControlOptions) {
        CLI::App* sub = option.command == Command::Format        ? format
                        : option.command == Command::Calibration ? calibration
                                                                 : motor;
        CLI::Option* o = sub->add_option(option.name, texts[&option], option.help);
        if (option.box) {
            o->check(CLI::IsMember({"on", "off"}));
            o->type_name("on|off");
        } else {
            o->type_name("N");
        }
        controlOptions.push_back({&option, o});
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            // --help or --version, printed as any other result.
            std::ostringstream out, err;
            app.exit(e, out, err);
            writeStandardOutput(out.str());
            return Output(false).finish(kExitDone);
        }
        Output out(asksForJson(argc, argv));
        out.error(kExitUsage, "usage", usageMessage(app, e) + " (see zr8ctl --help)");
        return out.finish(kExitUsage);
    }

    for (const Sub& sub : subs) {
        if (sub.app->parsed()) inv.command = sub.command;
    }
    inv.trackingOn = trackingState == "on";
    if (!direction.empty()) inv.direction = kDirections.at(direction);
    for (const auto& [option, given] : controlOptions) {
        if (given->count() == 0) continue;
        if (option->box) {
            inv.changes.checks[option->controlId] = texts[option] == "on";
        } else {
            inv.changes.texts[option->controlId] = texts[option];
        }
    }
    const bool setter = inv.command == Command::Format || inv.command == Command::Calibration ||
                        inv.command == Command::MotorReverse;
    if (setter && inv.changes.empty()) {
        Output out(inv.json);
        out.error(kExitUsage, "usage", "nothing to set: give at least one option (see --help)");
        return out.finish(kExitUsage);
    }
    return -1;
}

}  // namespace zr8::cli
