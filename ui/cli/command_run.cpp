// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/command_run.h"

#include <chrono>
#include <cstdio>
#include <string_view>

#include "app/sky_time.h"
#include "link/status_codes.h"
#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "ui/cli/commands.h"
#include "ui/cli/console.h"
#include "ui/cli/file_access.h"
#include "ui/cli/line_trace.h"
#include "ui/cli/port_choice.h"
#include "ui/rules/main_dialog_fields.h"

namespace zr8::cli {

namespace {

std::chrono::milliseconds timeoutOf(const Invocation& inv) {
    return std::chrono::milliseconds(static_cast<int64_t>(inv.timeoutSeconds * 1000));
}

// A silent line is most often one at the other rate.
std::string otherBaudHint(uint32_t baudRate) {
    const uint32_t other = baudRate == 115200 ? 9600 : 115200;
    return "nothing answered at " + std::to_string(baudRate) + " baud; if the controller runs at " +
           std::to_string(other) + ", try --baud " + std::to_string(other);
}

int cannotConnect(Run& run, const std::string& text) {
    Json details = {{"status", StatusCannotConnect}};
    std::string message = text;
    if (run.line != nullptr && run.line->receivedBytes() == 0) {
        const std::string hint = otherBaudHint(run.inv.baudRate);
        message += "\n" + hint;
        details["remedy"] = hint;
    }
    return run.out.error(kExitFailed, "controller", message, details);
}

const char* interruptName(int exitStatus) {
    switch (exitStatus) {
    case kExitTerminated:
        return "terminated";
    case kExitHungUp:
        return "hung up";
    default:
        return "interrupted";
    }
}

const char* exitStopText(ExitStop stop) {
    switch (stop) {
    case ExitStop::Confirmed:
        return "the mount is stopped";
    case ExitStop::Unconfirmed:
        return "the controller did not confirm the stop: the mount may still be moving";
    case ExitStop::NotWaited:
        return "the stop was not awaited: the mount may still be moving";
    case ExitStop::NotSent:
        return "the stop could not be sent: the mount may still be moving";
    case ExitStop::NotNeeded:
        break;
    }
    return "";
}

}  // namespace

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", value);
    return text;
}

std::string now() { return utcTimeText(currentUtcTime()); }

std::string nowPrecise() {
    using namespace std::chrono;
    const auto time = floor<milliseconds>(system_clock::now());
    const auto day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char text[40];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

int reportFailure(Run& run, const Result& r, const ControllerSession& session) {
    const ConnectionInfo connection = session.connection();
    switch (r.end) {
    case WaitEnd::Wanted:
        return kExitDone;
    case WaitEnd::Interrupted:
        return kExitInterrupted;  // told once the link is down
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
        if (r.status == StatusCannotConnect) return cannotConnect(run, text);
        return run.out.error(kExitFailed, r.status == StatusConnectionLost ? "port" : "controller",
                             text, {{"status", r.status}});
    }
    case WaitEnd::TimedOut: {
        const std::string within = "no answer within " + seconds(run.inv.timeoutSeconds);
        if (std::string_view(r.awaited) == kAwaitingConnection) {
            return cannotConnect(run, std::string(statusText(StatusCannotConnect)) + "\n" + within);
        }
        return run.out.error(kExitFailed, "timeout", within + " while waiting for " + r.awaited,
                             {{"awaited", r.awaited}});
    }
    }
    return kExitFailed;
}

int refuse(Run& run, const std::string& message) {
    return run.out.error(kExitUsage, "usage", message);
}

int withController(Run& run, const Body& body) {
    if (run.inv.port.empty()) {
        return refuse(run,
                      "no port given: --port takes a port `zr8ctl ports` lists, a device "
                      "(/dev/ttyUSB0, COM3), or sim for the built-in simulator");
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
    LineTrace line(run.trace);
    run.line = &line;
    InterruptWatch interrupts([&events](int exitStatus) { events.interrupt(exitStatus); });
    int code;
    ExitStop stop;
    {
        ControllerSession session(events, ports, timeoutOf(run.inv), line, run.inv.longitude);
        const Result connected = session.connect(number, run.inv.baudRate);
        code = connected ? body(session) : reportFailure(run, connected, session);
        // Counted before the operator is told that another one cuts the wait.
        const int interruptsSeen = events.interruptions();
        if (session.stopsOnClose() && interruptsSeen > 0) {
            run.out.note(std::string(interruptName(events.interruptStatus())) +
                         "; stopping the mount first (interrupt again not to wait)");
        }
        stop = session.close(interruptsSeen);
    }
    run.line = nullptr;
    Json details = Json::object();
    if (stop != ExitStop::NotNeeded) details["mountStopped"] = stop == ExitStop::Confirmed;
    if (events.interrupted()) {
        code = events.interruptStatus();
        std::string message = interruptName(code);
        if (stop != ExitStop::NotNeeded) message += std::string("; ") + exitStopText(stop);
        message += "; the link is shut down";
        if (run.out.failed()) {
            run.out.amend(message, details);
        } else {
            run.out.error(code, "interrupted", message, details);
        }
    } else if (stop != ExitStop::NotNeeded) {
        run.out.amend(exitStopText(stop), details);
    }
    return code;
}

Configuration configurationOf(const ControllerSession& session) {
    return {session.mount(), session.encoder()};
}

std::optional<Backup> loadBackup(Run& run, int& code) {
    std::string text, error;
    const FileOutcome read = readWholeFile(run.inv.file, kReadLimit, text, error);
    if (read != FileOutcome::Done) {
        code = run.out.error(kExitUsage, "file", error + "\n" + rules::kNothingSent);
        return std::nullopt;
    }
    std::optional<Backup> backup = readBackup(text, error);
    if (!backup) {
        const std::string name = run.inv.file == "-" ? "standard input" : run.inv.file;
        code = run.out.error(kExitUsage, "file", name + ": " + error + "\n" + rules::kNothingSent);
    }
    return backup;
}

}  // namespace zr8::cli
