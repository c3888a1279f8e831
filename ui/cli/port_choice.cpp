// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/port_choice.h"

#include "platform/device_scan.h"
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
    // As the system names the port: on Windows "7", "com7", "COM7:" and
    // "\\.\COM7" are all COM7.
    const std::string name = typedPortName(text);
    uint8_t found = 0;
    int matches = 0;
    for (const PortEntry& entry : ports.entries()) {
        const bool names = text == portName(entry) || name == portName(entry) ||
                           name == entry.devicePath || text == entry.label() ||
                           text == entry.description;
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
    // A path or a port the catalogue does not list (a Bluetooth or virtual
    // COM port): opening it tells what is wrong.
    if (systemPortNumber(name) != 0 || text.find('/') != std::string::npos ||
        text.find('\\') != std::string::npos) {
        if (const uint8_t number = ports.addDevicePath(text)) return number;
        error = "--port " + text + ": no more ports can be added";
        return 0;
    }
    error = "--port " + text + ": no such port; give a port that `zr8ctl ports` lists, " +
            "a device (/dev/ttyUSB0, COM3), or " + kSimulatorPortName +
            " for the built-in simulator";
    return 0;
}

namespace {

// The members a port has wherever zr8ctl names one.
Json portJson(const std::string& name, bool simulator, const std::string& device,
              const std::string& description) {
    Json port = Json::object();
    port["port"] = name;
    port["kind"] = simulator ? "simulator" : "serial";
    port["device"] = device.empty() ? Json() : Json(device);
    port["description"] = description;
    return port;
}

}  // namespace

Json portsJson(const std::vector<PortEntry>& entries) {
    Json list = Json::array();
    for (const PortEntry& entry : entries) {
        Json port = portJson(portName(entry), entry.kind == PortKind::Provided, entry.devicePath,
                             entry.description);
        port["label"] = entry.label();
        list.push_back(std::move(port));
    }
    Json document = Json::object();
    document["ports"] = std::move(list);
    return document;
}

Json connectionJson(const ConnectionInfo& c) {
    // The built-in simulator's device is a pseudo-terminal of the moment,
    // which means nothing to whoever reads this; `ports` lists it without.
    const bool builtIn = c.simulated && std::string(c.device) == sim::kBuiltInSimulatorName;
    Json port = builtIn ? portJson(kSimulatorPortName, true, "", c.device)
                        : portJson(c.device, c.simulated, c.device, c.description);
    port["simulated"] = c.simulated;
    port["baud"] = c.baudRate;
    return port;
}

}  // namespace zr8::cli
