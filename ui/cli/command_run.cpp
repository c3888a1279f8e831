// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/command_run.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string_view>

#include "app/sky_time.h"
#include "link/status_codes.h"
#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "ui/cli/commands.h"
#include "ui/cli/console.h"
#include "ui/cli/port_choice.h"
#include "ui/rules/main_dialog_fields.h"

namespace zr8::cli {

namespace {

std::chrono::milliseconds timeoutOf(const Invocation& inv) {
    return std::chrono::milliseconds(static_cast<int64_t>(inv.timeoutSeconds * 1000));
}

}  // namespace

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", value);
    return text;
}

std::string now() { return utcTimeText(currentUtcTime()); }

void Output::document(const Json& document) const {
    if (json_) std::cout << document.dump(2) << '\n' << std::flush;
}

void Output::text(const std::string& text) const {
    if (!json_) std::cout << text << std::flush;
}

int Output::error(int exitCode, const char* kind, const std::string& message, Json details) const {
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

}  // namespace zr8::cli
