// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/commands.h"

#include <chrono>
#include <iostream>
#include <optional>
#include <string>

#include "link/status_codes.h"
#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "ui/cli/backup_commands.h"
#include "ui/cli/command_run.h"
#include "ui/cli/console.h"
#include "ui/cli/port_choice.h"
#include "ui/cli/text_report.h"
#include "ui/rules/main_dialog_fields.h"

namespace zr8::cli {

namespace {

int ports(const Run& run) {
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

int info(const Run& run) {
    return withController(run, [&](ControllerSession& session) {
        Json document = Json::object();
        document["port"] = connectionJson(session.connection());
        document["controller"] = configurationJson(configurationOf(session));
        run.out.document(document);
        run.out.text(infoText(session.connection(), configurationOf(session)));
        return kExitDone;
    });
}

int readOnce(const Run& run, ControllerSession& session) {
    EncoderPositions positions;
    if (Result r = session.readPositions(positions); !r) {
        return reportFailure(run, r, session.connection());
    }
    run.out.document(readingJson(positions, now()));
    run.out.text(readingTable(positions));
    return kExitDone;
}

// One reading every interval until interrupted: one line updated in place on
// a terminal, a line each otherwise; with --json one compact document a line.
int watch(const Run& run, ControllerSession& session) {
    const bool inPlace = !run.out.json() && outputIsTerminal();
    const auto interval =
        std::chrono::microseconds(static_cast<int64_t>(run.inv.watchSeconds * 1e6));
    auto next = std::chrono::steady_clock::now();
    int code = kExitDone;
    for (;;) {
        next += interval;
        EncoderPositions positions;
        Result r = session.readPositions(positions);
        if (r.end == WaitEnd::Interrupted) {
            code = kExitInterrupted;
            break;
        }
        if (!r) {
            if (inPlace) std::cout << '\n';
            code = reportFailure(run, r, session.connection());
            break;
        }
        if (run.out.json()) {
            std::cout << readingJson(positions, now()).dump() << '\n';
        } else if (inPlace) {
            std::cout << '\r' << readingLine(positions) << "\x1b[K";
        } else {
            std::cout << readingLine(positions) << '\n';
        }
        std::cout.flush();
        if (!std::cout) {
            code = kExitFailed;  // nobody reads any more; nothing to tell them
            break;
        }
        // A slow answer does not make the readings pile up.
        const auto current = std::chrono::steady_clock::now();
        if (next < current) next = current;
        if (session.pause(std::chrono::duration_cast<std::chrono::milliseconds>(next - current))
                .end == WaitEnd::Interrupted) {
            code = kExitInterrupted;
            break;
        }
    }
    // The interrupt is how watching ends: no error document among the readings.
    if (code == kExitInterrupted) {
        if (inPlace) std::cout << '\n' << std::flush;
        std::cerr << "zr8ctl: interrupted; the link is shut down\n";
    }
    return code;
}

int read(const Run& run) {
    return withController(run, [&](ControllerSession& session) {
        return run.inv.watchSeconds > 0 ? watch(run, session) : readOnce(run, session);
    });
}

// Prints what was written, and the controller's word on it where it gives one.
void reportWritten(const Run& run, const char* key, const Json& written, const std::string& text,
                   const char* status = nullptr) {
    Json document = Json::object();
    document["written"] = Json{{key, written}};
    if (status != nullptr) document["status"] = status;
    run.out.document(document);
    run.out.text("Wrote " + text + "\n" + (status != nullptr ? std::string(status) + "\n" : ""));
}

int format(const Run& run) {
    rules::Refusal refusal;
    if (!editedFormat(EncoderConfig{}, run.inv.changes, refusal))
        return refuse(run, refusal.message);
    return withController(run, [&](ControllerSession& session) {
        const WireFormat bytes = *editedFormat(session.encoder(), run.inv.changes, refusal);
        if (Result r = session.writeFormat(bytes); !r) {
            return reportFailure(run, r, session.connection());
        }
        reportWritten(run, "format", formatJson(bytes), formatText(bytes));
        return kExitDone;
    });
}

int calibration(const Run& run) {
    rules::Refusal refusal;
    if (!editedCalibration(EncoderConfig{}, run.inv.changes, refusal)) {
        return refuse(run, refusal.message);
    }
    return withController(run, [&](ControllerSession& session) {
        const CalibrationValues values =
            *editedCalibration(session.encoder(), run.inv.changes, refusal);
        if (Result r =
                session.writeCalibration(values.reverseBits, values.raOffset, values.decOffset);
            !r) {
            return reportFailure(run, r, session.connection());
        }
        reportWritten(run, "calibration", calibrationJson(values), calibrationText(values),
                      statusText(StatusCalibrationUpdated));
        return kExitDone;
    });
}

int motorReverse(const Run& run) {
    return withController(run, [&](ControllerSession& session) {
        const MotorReverseValues values = editedMotorReverse(session.mount(), run.inv.changes);
        if (Result r = session.writeMotorReverse(values.reverseBits, values.motorOption); !r) {
            return reportFailure(run, r, session.connection());
        }
        reportWritten(run, "motorReverse", motorReverseJson(values), motorReverseText(values));
        return kExitDone;
    });
}

int tracking(const Run& run) {
    return withController(run, [&](ControllerSession& session) {
        if (Result r = session.setTracking(run.inv.trackingOn); !r) {
            return reportFailure(run, r, session.connection());
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

int move(const Run& run) {
    rules::Refusal refusal;
    const std::optional<uint8_t> step = speedStep(run.inv.speedText, refusal);
    if (!step) return refuse(run, refusal.message);
    return withController(run, [&](ControllerSession& session) {
        if (Result r = session.startMove(run.inv.direction, *step); !r) {
            return reportFailure(run, r, session.connection());
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
        if (Result r = session.pause(duration); !r)
            return reportFailure(run, r, session.connection());
        if (Result r = session.stop(); !r) return reportFailure(run, r, session.connection());
        move["seconds"] = run.inv.forSeconds;
        move["stopped"] = true;
        run.out.document(Json{{"move", move}, {"status", statusText(StatusReady)}});
        run.out.text(std::string(statusText(StatusReady)) + "\n");
        return kExitDone;
    });
}

int stop(const Run& run) {
    return withController(run, [&](ControllerSession& session) {
        if (Result r = session.stop(); !r) return reportFailure(run, r, session.connection());
        run.out.document(Json{{"stopped", true}, {"status", statusText(StatusReady)}});
        run.out.text(std::string(statusText(StatusReady)) + "\n");
        return kExitDone;
    });
}

int store(const Run& run) {
    return withController(run, [&](ControllerSession& session) {
        if (Result r = session.store(); !r) return reportFailure(run, r, session.connection());
        run.out.document(Json{{"stored", true}, {"status", statusText(StatusParametersStored)}});
        run.out.text(std::string(statusText(StatusParametersStored)) + "\n");
        return kExitDone;
    });
}

}  // namespace

int runCommand(const Invocation& inv) {
    const Run run{inv, Output(inv.json)};
    switch (inv.command) {
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
    }
    return kExitUsage;
}

}  // namespace zr8::cli
