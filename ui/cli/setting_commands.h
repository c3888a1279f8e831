// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// format, calibration and motor-reverse: each sends one write, then connects
// again and reads the configuration back, as restore does, so that a write
// the controller ignored is a failure and not "Wrote ...".

#include <vector>

#include "ui/cli/command_run.h"
#include "ui/cli/configuration_writes.h"

namespace zr8::cli {

int format(Run& run);
int calibration(Run& run);
int motorReverse(Run& run);

// Connects again and compares the fields of `parts` with `expected`;
// `document` gains "readBack" and becomes the result. Records the failure
// and returns 1 when the controller does not hold them; the text names
// where `expected` comes from ("file", "written").
int readBack(Run& run, ControllerSession& session, const Configuration& expected,
             const std::vector<WritePart>& parts, Json& document, const char* expectedFrom);

// Ends what a successful write prints.
inline constexpr const char* kStoreReminder =
    "Nothing of this survives a power cycle until `zr8ctl store`.\n";

}  // namespace zr8::cli
