// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulator's settings memory on disk: a small text file of "key value"
// lines, written whole (to a temporary file, then renamed) by store settings
// and read at start-up. Keys a file lacks keep the value they had.

#include <string>

#include "sim/controller_settings.h"

namespace zr8::sim {

enum class StateLoad { Loaded, Missing, Invalid };

// On Invalid, `error` names the file, the line and what is wrong, and
// `settings` is left untouched.
StateLoad loadState(const std::string& path, ControllerSettings& settings, std::string* error);
bool saveState(const std::string& path, const ControllerSettings& settings, std::string* error);

std::string formatState(const ControllerSettings& settings);
// Parses text as written by formatState over `settings`; false and a message on error.
bool parseState(const std::string& text, ControllerSettings& settings, std::string* error);

}  // namespace zr8::sim
