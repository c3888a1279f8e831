// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/port_choice.h"

#include "sim/built_in_simulator.h"

namespace zr8::cli {

std::string portName(const PortEntry& entry) {
    if (entry.kind == PortKind::Provided) {
        return entry.description == sim::kBuiltInSimulatorName ? kSimulatorPortName
                                                               : entry.description;
    }
    return entry.devicePath;
}

uint8_t choosePort(PortCatalogue& ports, const std::string& text, std::string& error) {
    if (text.empty()) {
        error = "--port is empty";
        return 0;
    }
    uint8_t found = 0;
    int matches = 0;
    for (const PortEntry& entry : ports.entries()) {
        const bool names = text == portName(entry) || text == entry.devicePath ||
                           text == entry.label() || text == entry.description;
        if (names) {
            found = entry.number;
            ++matches;
        }
    }
    if (matches == 1) return found;
    if (matches > 1) {
        error = "--port " + text + " names more than one port; give the device path";
        return 0;
    }
    // A path the catalogue does not list: opening it tells what is wrong.
    if (text.find('/') != std::string::npos || text.find('\\') != std::string::npos) {
        if (const uint8_t number = ports.addDevicePath(text)) return number;
        error = "--port " + text + ": no more ports can be added";
        return 0;
    }
    error = "--port " + text + ": no such port; give a device path (e.g. /dev/ttyUSB0), " +
            "a port that `zr8ctl ports` lists, or " + kSimulatorPortName +
            " for the built-in simulator";
    return 0;
}

Json portsJson(const std::vector<PortEntry>& entries) {
    Json list = Json::array();
    for (const PortEntry& entry : entries) {
        Json port = Json::object();
        port["port"] = portName(entry);
        port["kind"] = entry.kind == PortKind::Provided ? "simulator" : "serial";
        port["device"] = entry.devicePath.empty() ? Json() : Json(entry.devicePath);
        port["description"] = entry.description;
        port["label"] = entry.label();
        list.push_back(std::move(port));
    }
    Json document = Json::object();
    document["ports"] = std::move(list);
    return document;
}

}  // namespace zr8::cli
