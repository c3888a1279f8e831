// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every zr8ctl command shares: where its results and failures go, and a
// connected controller for the length of the command's body.

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "ui/cli/backup_file.h"
#include "ui/cli/controller_session.h"
#include "ui/cli/invocation.h"
#include "ui/cli/output.h"

namespace zr8::cli {

class LineTrace;

struct Run {
    const Invocation& inv;
    Output out;
    std::FILE* trace = nullptr;       // --trace, once opened
    const LineTrace* line = nullptr;  // while connected
};

// Records the failure `r` (the status text; for a port that cannot be
// opened the reason and remedy; for a connection nobody answered, the other
// baud rate) and returns its exit status. An interrupt is told once the link
// is down (withController).
int reportFailure(Run& run, const Result& r, const ControllerSession& session);

// A value or file given is wrong: records `message`, returns 2.
int refuse(Run& run, const std::string& message);

using Body = std::function<int(ControllerSession&)>;

// Chooses the port, connects, runs `body` and takes the link down again,
// stopping a move the run started. Returns what `body` returned, or the
// failure to connect; once the operator has interrupted, the status the
// interrupt asks for.
int withController(Run& run, const Body& body);

// "2.5 s"
std::string seconds(double value);

// The system's time in UTC, as backups carry it: "2026-12-08T21:30:00Z".
std::string now();
// With milliseconds, as readings carry it: "2026-12-08T21:30:00.125Z".
std::string nowPrecise();

Configuration configurationOf(const ControllerSession& session);

// The backup file the command names; on refusal sets `code` and records why.
std::optional<Backup> loadBackup(Run& run, int& code);

}  // namespace zr8::cli
