#include "platform/port_catalogue.h"

#include <algorithm>
#include <utility>

namespace zr8 {

std::string PortEntry::label() const {
    const std::string& name = devicePath.empty() ? description : devicePath;
    if (description.empty() || name == description) return name;
    return name + " - " + description;
}

PortCatalogue::PortCatalogue(DeviceScanner scanner) : scanner_(std::move(scanner)) { refresh(); }

uint8_t PortCatalogue::assignLocked(PortKind kind, const std::string& path,
                                    const std::string& description) {
    for (auto& [number, slot] : slots_) {
        if (slot.kind != PortKind::Simulator && slot.path == path) {
            slot.present = true;
            if (!description.empty()) slot.description = description;
            return number;
        }
    }
    for (unsigned number = 1; number <= 255; ++number) {
        if (slots_.count(static_cast<uint8_t>(number)) == 0) {
            slots_[static_cast<uint8_t>(number)] = Slot{kind, path, description, true};
            return static_cast<uint8_t>(number);
        }
    }
    return 0;
}

void PortCatalogue::setSimulator(SimulatorStarter starter, std::string description) {
    std::lock_guard guard(lock_);
    simulator_ = std::move(starter);
    if (simulatorNumber_ != 0) {
        slots_[simulatorNumber_].description = std::move(description);
        return;
    }
    simulatorNumber_ = assignLocked(PortKind::Simulator, std::string(), description);
}

void PortCatalogue::refresh() {
    // The scan talks to the system; do it without the lock.
    std::vector<DetectedDevice> found = scanner_ ? scanner_() : std::vector<DetectedDevice>{};
    std::lock_guard guard(lock_);
    for (auto& [number, slot] : slots_) {
        if (slot.kind == PortKind::Detected) slot.present = false;
    }
    for (const DetectedDevice& device : found) {
        const uint8_t number = assignLocked(PortKind::Detected, device.path, device.description);
        // A path the operator entered that the scan now finds stays "entered".
        (void)number;
    }
}

uint8_t PortCatalogue::addDevicePath(const std::string& path) {
    if (path.empty()) return 0;
    std::lock_guard guard(lock_);
    return assignLocked(PortKind::Entered, path, std::string());
}

std::vector<PortEntry> PortCatalogue::entries() const {
    std::vector<PortEntry> list;
    std::lock_guard guard(lock_);
    for (PortKind kind : {PortKind::Detected, PortKind::Entered, PortKind::Simulator}) {
        std::vector<PortEntry> group;
        for (const auto& [number, slot] : slots_) {
            if (slot.kind == kind && slot.present) {
                group.push_back(PortEntry{number, kind, slot.path, slot.description});
            }
        }
        std::sort(group.begin(), group.end(), [](const PortEntry& a, const PortEntry& b) {
            return a.devicePath < b.devicePath;
        });
        list.insert(list.end(), group.begin(), group.end());
    }
    return list;
}

bool PortCatalogue::resolve(uint8_t number, std::string& devicePath, PortError& error) const {
    error = PortError{};
    SimulatorStarter starter;
    {
        std::lock_guard guard(lock_);
        const auto found = slots_.find(number);
        if (found == slots_.end()) {
            error.code = PortErrorCode::NotFound;
            error.systemMessage = "No device has port number " + std::to_string(number);
            error.remedy = "choose a port from the list";
            return false;
        }
        if (found->second.kind != PortKind::Simulator) {
            devicePath = found->second.path;
            return true;
        }
        starter = simulator_;
    }
    std::string reason;
    if (starter && starter(devicePath, reason) && !devicePath.empty()) return true;
    error.code = PortErrorCode::Other;
    error.device = kSimulatorDescription;
    error.systemMessage = reason.empty() ? std::string("The simulator did not start") : reason;
    return false;
}

void PortCatalogue::recordOpenResult(const PortError& error) {
    std::lock_guard guard(lock_);
    lastError_ = error;
}

PortError PortCatalogue::lastError() const {
    std::lock_guard guard(lock_);
    return lastError_;
}

}  // namespace zr8
