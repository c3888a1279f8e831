// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every zr8ctl command shares: where its results and failures go, and a
// connected controller for the length of the command's body.

#include <functional>
#include <optional>
#include <string>

#include "ui/cli/backup_file.h"
#include "ui/cli/controller_session.h"
#include "ui/cli/invocation.h"

namespace zr8::cli {

// Results on standard output: a text for people, or one JSON document with
// --json. Failures: a message on standard error, and with --json also
// {"error": {...}} on standard output.
class Output {
public:
    explicit Output(bool json) : json_(json) {}
    bool json() const { return json_; }

    // Printed with --json only.
    void document(const Json& document) const;
    // Printed without --json only.
    void text(const std::string& text) const;
    // Prints `message` a line at a time on standard error; with --json also
    // {"error": {"kind": kind, "message": message, ...details}}. Returns `exitCode`.
    int error(int exitCode, const char* kind, const std::string& message,
              Json details = Json::object()) const;

private:
    bool json_;
};

struct Run {
    const Invocation& inv;
    Output out;
};

// Prints the failure `r` (the status text, and for a port that cannot be
// opened the reason and remedy) and returns its exit status.
int reportFailure(const Run& run, const Result& r, const ConnectionInfo& connection);

// A value or file given is wrong: prints `message`, returns 2.
int refuse(const Run& run, const std::string& message);

using Body = std::function<int(ControllerSession&)>;

// Chooses the port, connects, runs `body` and takes the link down again.
// Returns what `body` returned, or the failure to connect; 130 once the
// operator has interrupted.
int withController(const Run& run, const Body& body);

// "2.5 s"
std::string seconds(double value);

// The system's time in UTC, as backups and readings carry it.
std::string now();

Configuration configurationOf(const ControllerSession& session);

// The backup file the command names; on refusal sets `code` and prints why.
std::optional<Backup> loadBackup(const Run& run, int& code);

}  // namespace zr8::cli
