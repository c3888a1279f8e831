#include "ui/cli/commands.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "app/sky_time.h"
#include "link/status_codes.h"
#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "ui/cli/backup_file.h"
#include "ui/cli/configuration_document.h"
#include "ui/cli/console.h"
#include "ui/cli/controller_session.h"
#include "ui/cli/port_choice.h"
#include "ui/cli/text_report.h"
#include "ui/rules/main_dialog_fields.h"

namespace zr8::cli {

namespace {

// Results on standard output: a text for people, or one JSON document with
// --json. Failures: a message on standard error, and with --json also
// {"error": {...}} on standard output.
class Output {
public:
    explicit Output(bool json) : json_(json) {}
    bool json() const { return json_; }

    void document(const Json& document) const {
        if (json_) std::cout << document.dump(2) << '\n' << std::flush;
    }
    void text(const std::string& text) const {
        if (!json_) std::cout << text << std::flush;
    }
    // Returns `exitCode`.
    int error(int exitCode, const char* kind, const std::string& message,
              Json details = Json::object()) const {
        size_t from = 0;
        while (from < message.size()) {
            const size_t end = message.find('\n', from);
            std::cerr << "zr8ctl: " << message.substr(from, end - from) << '\n';
            if (end == std::string::npos) break;
            from = end + 1;
        }
        if (json_) {
            Json error = Json::object();
            error["kind"] = kind;
            error["message"] = message;
            for (auto& [key, value] : details.items()) error[key] = value;
            std::cout << Json{{"error", error}}.dump(2) << '\n' << std::flush;
        }
        return exitCode;
    }

private:
    bool json_;
};

struct Run {
    const Invocation& inv;
    Output out;
};

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", value);
    return text;
}

int reportFailure(const Run& run, const Result& r, const ConnectionInfo& connection) {
    switch (r.end) {
    case WaitEnd::Wanted:
        return kExitDone;
    case WaitEnd::Interrupted:
        return run.out.error(kExitInterrupted, "interrupted", "interrupted; the link is shut down");
    case WaitEnd::Failed: {
        const std::string text = statusText(r.status) != nullptr ? statusText(r.status) : "";
        if (r.status == StatusCannotOpenPort) {
            return run.out.error(kExitFailed, "port",
                                 text + "\n" + rules::openFailureText(connection),
                                 {{"status", r.status},
                                  {"device", connection.device},
                                  {"reason", connection.reason},
                                  {"remedy", connection.remedy}});
        }
        return run.out.error(kExitFailed, r.status == StatusConnectionLost ? "port" : "controller",
                             text, {{"status", r.status}});
    }
    case WaitEnd::TimedOut: {
        const std::string within = "no answer within " + seconds(run.inv.timeoutSeconds);
        if (std::string_view(r.awaited) == kAwaitingConnection) {
            return run.out.error(kExitFailed, "controller",
                                 std::string(statusText(StatusCannotConnect)) + "\n" + within,
                                 {{"status", StatusCannotConnect}});
        }
        return run.out.error(kExitFailed, "timeout", within + " while waiting for " + r.awaited,
                             {{"awaited", r.awaited}});
    }
    }
    return kExitFailed;
}

int refuse(const Run& run, const std::string& message) {
    return run.out.error(kExitUsage, "usage", message);
}

std::chrono::milliseconds timeoutOf(const Invocation& inv) {
    return std::chrono::milliseconds(static_cast<int64_t>(inv.timeoutSeconds * 1000));
}

using Body = std::function<int(ControllerSession&)>;

// Chooses the port, connects, runs `body` and takes the link down again.
int withController(const Run& run, const Body& body) {
    if (run.inv.port.empty()) {
        return refuse(run,
                      "no port given: --port takes a device path, a port `zr8ctl ports` "
                      "lists, or sim for the built-in simulator");
    }
    // Outlives the link, which may hold its terminal open.
    sim::BuiltInSimulator simulator;
    PortCatalogue ports;
    simulator.offerIn(ports);
    std::string error;
    const uint8_t number = choosePort(ports, run.inv.port, error);
    if (number == 0) return refuse(run, error);

    // The link's reports, and the operator's interrupt from here on, which
    // every wait heeds.
    LinkEvents events;
    InterruptWatch interrupts([&events] { events.interrupt(); });
    int code;
    {
        ControllerSession session(events, ports, timeoutOf(run.inv));
        const Result connected = session.connect(number, run.inv.baudRate);
        code = connected ? body(session) : reportFailure(run, connected, session.connection());
        session.close();
    }
    if (code != kExitInterrupted && events.interrupted()) {
        std::cerr << "zr8ctl: interrupted; the link is shut down\n";
        code = kExitInterrupted;
    }
    return code;
}

Configuration configurationOf(const ControllerSession& session) {
    return {session.mount(), session.encoder()};
}

std::string now() { return utcTimeText(currentUtcTime()); }

std::optional<Backup> loadBackup(const Run& run, int& code) {
    std::string error;
    const std::optional<std::string> text = readTextFile(run.inv.file, error);
    if (!text) {
        code = run.out.error(kExitUsage, "file", error);
        return std::nullopt;
    }
    std::optional<Backup> backup = readBackup(*text, error);
    if (!backup) {
        code = run.out.error(kExitUsage, "file",
                             run.inv.file + ": " + error + "\n" + rules::kNothingSent);
    }
    return backup;
}

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

int backup(const Run& run) {
    const std::string& file = run.inv.file;
    std::error_code ignored;
    if (file != "-" && !run.inv.force && std::filesystem::exists(file, ignored)) {
        return refuse(run, file + " exists; --force replaces it");
    }
    return withController(run, [&](ControllerSession& session) {
        const std::string time = now();
        const Json document = backupJson(configurationOf(session), ZR8_VERSION, time);
        std::string error;
        if (!writeTextFile(file, document.dump(2) + "\n", error)) {
            return run.out.error(kExitFailed, "file", error);
        }
        if (file == "-") return kExitDone;  // the backup is the output
        run.out.document(Json{{"backup", {{"file", file}, {"time", time}}}});
        run.out.text("Backup of " + rules::connectionText(session.connection()) + " written to " +
                     file + "\n");
        return kExitDone;
    });
}

int diff(const Run& run) {
    int code = kExitDone;
    const std::optional<Backup> backup = loadBackup(run, code);
    if (!backup) return code;
    return withController(run, [&](ControllerSession& session) {
        const std::vector<Difference> list =
            differences(backup->configuration, configurationOf(session));
        run.out.document(differencesJson(list));
        run.out.text(list.empty()
                         ? "No difference.\n"
                         : differencesText(list) + std::to_string(list.size()) +
                               (list.size() == 1 ? " field differs.\n" : " fields differ.\n"));
        return list.empty() ? kExitDone : kExitDifferent;
    });
}

struct Writes {
    WireFormat format;
    CalibrationValues calibration;
    MotorReverseValues motorReverse;
};

Writes writesOf(const Configuration& c) {
    return {formatInWireOrder(c.encoder),
            {static_cast<uint8_t>(c.encoder.reverseEncoder & (kReverseRa | kReverseDec)),
             c.encoder.raOffset, c.encoder.decOffset},
            {static_cast<uint8_t>(c.mount.reverseMotor & (kReverseRa | kReverseDec)),
             c.mount.motorOption}};
}

Json writesJson(const Writes& w) {
    Json written = Json::object();
    written["format"] = formatJson(w.format);
    written["calibration"] = calibrationJson(w.calibration);
    written["motorReverse"] = motorReverseJson(w.motorReverse);
    return written;
}

std::string writesText(const Writes& w) {
    return "  " + formatText(w.format) + "\n  " + calibrationText(w.calibration) + "\n  " +
           motorReverseText(w.motorReverse) + "\n";
}

int restore(const Run& run) {
    int code = kExitDone;
    const std::optional<Backup> backup = loadBackup(run, code);
    if (!backup) return code;
    const Writes writes = writesOf(backup->configuration);
    if (run.inv.dryRun) {
        run.out.document(Json{{"dryRun", true}, {"written", writesJson(writes)}});
        run.out.text("Would write (nothing sent):\n" + writesText(writes));
        return kExitDone;
    }
    return withController(run, [&](ControllerSession& session) {
        // Calibration last: its confirmation comes after the two writes that
        // the controller does not answer.
        Result r = session.writeFormat(writes.format);
        if (r)
            r = session.writeMotorReverse(writes.motorReverse.reverseBits,
                                          writes.motorReverse.motorOption);
        if (r) {
            r = session.writeCalibration(writes.calibration.reverseBits,
                                         writes.calibration.raOffset, writes.calibration.decOffset);
        }
        if (!r) return reportFailure(run, r, session.connection());
        run.out.text("Wrote:\n" + writesText(writes));
        // What the controller holds now, as it reports it on connect.
        if (r = session.reconnect(); !r) return reportFailure(run, r, session.connection());
        std::vector<Difference> readBack, notWritten;
        for (Difference& d : differences(backup->configuration, configurationOf(session))) {
            (d.writable ? readBack : notWritten).push_back(std::move(d));
        }
        Json document = Json::object();
        document["dryRun"] = false;
        document["written"] = writesJson(writes);
        document["readBack"] = differencesJson(readBack);
        document["notWritten"] = differencesJson(notWritten)["differences"];
        document["stored"] = false;
        if (!notWritten.empty()) {
            run.out.text("Not written (restore cannot change them), these differ:\n" +
                         differencesText(notWritten));
        }
        if (!readBack.empty()) {
            run.out.document(document);
            run.out.text("Read back differs:\n" + differencesText(readBack));
            return run.out.error(kExitFailed, "controller",
                                 "the controller does not hold what was written; nothing stored");
        }
        run.out.text("Read back: every written field matches.\n");
        if (run.inv.store) {
            if (r = session.store(); !r) {
                run.out.document(document);
                return reportFailure(run, r, session.connection());
            }
            document["stored"] = true;
            run.out.text(std::string(statusText(StatusParametersStored)) + "\n");
        }
        run.out.document(document);
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
