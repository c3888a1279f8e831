// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ports zr8ctl offers and how --port names one: a device path, an entry
// of the catalogue (its device, its label or its description, as `zr8ctl
// ports` lists them), or the built-in simulator ("sim" or its full name).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/port_catalogue.h"
#include "ui/cli/configuration_document.h"

namespace zr8::cli {

// The short name --port takes for the built-in simulator.
inline constexpr const char* kSimulatorPortName = "sim";

// What --port takes to choose `entry`.
std::string portName(const PortEntry& entry);

// The catalogue's number for `text`, adding a device path to it as the
// dialog's "Other device..." does; 0 with `error` when `text` names no port
// (or more than one).
uint8_t choosePort(PortCatalogue& ports, const std::string& text, std::string& error);

// {"ports": [{"port": ..., "kind": "serial"|"simulator", "device": ...,
//             "description": ..., "label": ...}]}
Json portsJson(const std::vector<PortEntry>& entries);

// The open port as `ports` lists it, with "simulated" and "baud":
// {"port": ..., "kind": ..., "device": ..., "description": ..., "simulated": ..., "baud": ...}
Json connectionJson(const ConnectionInfo& connection);

}  // namespace zr8::cli
