// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/commands.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "link/status_codes.h"
#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "ui/cli/backup_commands.h"
#include "ui/cli/command_run.h"
#include "ui/cli/console.h"
#include "ui/cli/file_access.h"
#include "ui/cli/mount_commands.h"
#include "ui/cli/port_choice.h"
#include "ui/cli/setting_commands.h"
#include "ui/cli/text_report.h"
#include "ui/rules/main_dialog_fields.h"

namespace zr8::cli {

namespace {

int ports(Run& run) {
    sim::BuiltInSimulator simulator;  // listed, never started here
    PortCatalogue catalogue;
    simulator.offerIn(catalogue);
    const std::vector<PortEntry> entries = catalogue.entries();
    run.out.document(portsJson(entries));
    std::string text;
    for (const PortEntry& entry : entries) {
        const std::string name = portName(entry);
        text += name;
        if (!entry.description.empty() && entry.description != name) {
            text += std::string(name.size() < 20 ? 20 - name.size() : 1, ' ') + entry.description;
        }
        text += '\n';
    }
    run.out.text(text);
    return kExitDone;
}

int info(Run& run) {
    return withController(run, [&](ControllerSession& session) {
        Json document = Json::object();
        document["port"] = connectionJson(session.connection());
        document["controller"] = configurationJson(configurationOf(session));
        run.out.document(document);
        run.out.text(infoText(session.connection(), configurationOf(session)));
        return kExitDone;
    });
}

int readOnce(Run& run, ControllerSession& session) {
    EncoderPositions positions;
    if (Result r = session.readPositions(positions); !r) return reportFailure(run, r, session);
    run.out.document(readingJson(positions, nowPrecise()));
    run.out.text(readingTable(positions));
    return kExitDone;
}

// One reading every interval until interrupted: one line updated in place on
// a terminal, a line each otherwise; with --json one compact document a line,
// a failure as the last.
int watch(Run& run, ControllerSession& session) {
    const bool inPlace = !run.out.json() && liveOutput() == LiveOutput::InPlace;
    const auto interval =
        std::chrono::microseconds(static_cast<int64_t>(run.inv.watchSeconds * 1e6));
    auto next = std::chrono::steady_clock::now();
    bool shown = false;
    Result r;
    for (;;) {
        next += interval;
        EncoderPositions positions;
        if (r = session.readPositions(positions); !r) break;
        const std::string line = readingLine(positions);
        run.out.line(readingJson(positions, nowPrecise()),
                     inPlace ? "\r" + line + "\x1b[K" : line + "\n");
        shown = true;
        // Nobody reads any more: finish() tells why it ends.
        if (!standardOutputFailure().empty()) return kExitDone;
        // A slow answer does not make the readings pile up.
        const auto current = std::chrono::steady_clock::now();
        if (next < current) next = current;
        if (r = session.pause(
                std::chrono::duration_cast<std::chrono::milliseconds>(next - current));
            !r) {
            break;
        }
    }
    if (inPlace && shown) writeStandardOutput("\n");
    // The interrupt is how watching ends: no error document among the readings.
    if (r.end == WaitEnd::Interrupted) run.out.quietFailure();
    return reportFailure(run, r, session);
}

int read(Run& run) {
    return withController(run, [&](ControllerSession& session) {
        return run.inv.watchSeconds > 0 ? watch(run, session) : readOnce(run, session);
    });
}

int tracking(Run& run) {
    return withController(run, [&](ControllerSession& session) {
        if (Result r = session.setTracking(run.inv.trackingOn); !r) {
            return reportFailure(run, r, session);
        }
        run.out.document(Json{{"tracking", run.inv.trackingOn}});
        run.out.text(std::string("Tracking ") + (run.inv.trackingOn ? "on" : "off") + "\n");
        return kExitDone;
    });
}

const char* directionName(uint8_t direction) {
    switch (direction) {
    case DirectionNorth:
        return "north";
    case DirectionSouth:
        return "south";
    case DirectionWest:
        return "west";
    default:
        return "east";
    }
}

int move(Run& run) {
    rules::Refusal refusal;
    const std::optional<uint8_t> step = speedStep(run.inv.speedText, refusal);
    if (!step) return refuse(run, refusal.message);
    return withController(run, [&](ControllerSession& session) {
        if (Result r = session.startMove(run.inv.direction, *step); !r) {
            return reportFailure(run, r, session);
        }
        Json move = {{"direction", directionName(run.inv.direction)}, {"speed", *step}};
        const std::string what = std::string("Moving ") + directionName(run.inv.direction) +
                                 " at speed step " + std::to_string(*step);
        if (run.inv.forSeconds < 0) {
            session.leaveMoving();
            move["seconds"] = nullptr;
            move["stopped"] = false;
            run.out.document(Json{{"move", move}});
            run.out.text(what + "; `zr8ctl stop` stops it\n");
            return kExitDone;
        }
        run.out.text(what + " for " + seconds(run.inv.forSeconds) + "\n");
        const auto duration =
            std::chrono::milliseconds(static_cast<int64_t>(run.inv.forSeconds * 1000));
        if (Result r = session.pause(duration); !r) return reportFailure(run, r, session);
        if (Result r = session.stop(); !r) return reportFailure(run, r, session);
        move["seconds"] = run.inv.forSeconds;
        move["stopped"] = true;
        run.out.document(Json{{"move", move}, {"status", statusText(StatusReady)}});
        run.out.text(std::string(statusText(StatusReady)) + "\n");
        return kExitDone;
    });
}

int stop(Run& run) {
    return withController(run, [&](ControllerSession& session) {
        if (Result r = session.stop(); !r) return reportFailure(run, r, session);
        run.out.document(Json{{"stopped", true}, {"status", statusText(StatusReady)}});
        run.out.text(std::string(statusText(StatusReady)) + "\n");
        return kExitDone;
    });
}

int store(Run& run) {
    return withController(run, [&](ControllerSession& session) {
        if (Result r = session.store(); !r) return reportFailure(run, r, session);
        run.out.document(Json{{"stored", true}, {"status", statusText(StatusParametersStored)}});
        run.out.text(std::string(statusText(StatusParametersStored)) + "\n");
        return kExitDone;
    });
}

int dispatch(Run& run) {
    switch (run.inv.command) {
    case Command::Ports:
        return ports(run);
    case Command::Info:
        return info(run);
    case Command::Read:
        return read(run);
    case Command::Format:
        return format(run);
    case Command::Calibration:
        return calibration(run);
    case Command::MotorReverse:
        return motorReverse(run);
    case Command::Tracking:
        return tracking(run);
    case Command::Move:
        return move(run);
    case Command::Stop:
        return stop(run);
    case Command::Store:
        return store(run);
    case Command::Backup:
        return backup(run);
    case Command::Diff:
        return diff(run);
    case Command::Restore:
        return restore(run);
    case Command::Position:
        return position(run);
    case Command::Goto:
        return gotoPosition(run);
    case Command::Sync:
        return sync(run);
    }
    return kExitUsage;
}

// --trace: a file of its own, or standard error for "-", where it does not
// mix with the results.
std::FILE* openTrace(const std::string& path, std::string& error) {
    if (path == "-") return stderr;
    std::FILE* file = openLog(path, error);
    if (file == nullptr) error = "--trace " + error;
    return file;
}

}  // namespace

int runCommand(const Invocation& inv) {
    Run run{inv, Output(inv.json, inv.command == Command::Read && inv.watchSeconds > 0)};
    if (!inv.tracePath.empty()) {
        std::string error;
        run.trace = openTrace(inv.tracePath, error);
        if (run.trace == nullptr) return run.out.finish(refuse(run, error));
    }
    int code = dispatch(run);
    if (run.trace != nullptr && run.trace != stderr) {
        const bool written = !std::ferror(run.trace);
        if (std::fclose(run.trace) != 0 || !written) {
            run.out.note("--trace " + inv.tracePath + ": cannot be written");
            if (code == kExitDone || code == kExitDifferent) code = kExitFailed;
        }
    }
    return run.out.finish(code);
}

}  // namespace zr8::cli
