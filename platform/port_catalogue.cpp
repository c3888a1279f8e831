// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/port_catalogue.h"

#include <algorithm>
#include <utility>

#include "platform/natural_order.h"

namespace zr8 {

std::string PortEntry::label() const {
    const std::string& name = devicePath.empty() ? description : devicePath;
    if (description.empty() || name == description) return name;
    return name + " - " + description;
}

PortCatalogue::PortCatalogue(DeviceScanner scanner) : scanner_(std::move(scanner)) { refresh(); }

uint8_t PortCatalogue::assignLocked(PortKind kind, const std::string& path,
                                    const std::string& description, uint8_t systemNumber) {
    // "com7" typed and "COM7" detected are one port: the system's number says so.
    for (auto& [number, slot] : slots_) {
        const bool samePort =
            slot.path == path || (systemNumber != 0 && slot.systemNumber == systemNumber);
        const bool same = kind == PortKind::Provided
                              ? slot.kind == PortKind::Provided && slot.description == description
                              : slot.kind != PortKind::Provided && samePort;
        if (same) {
            slot.present = true;
            if (!description.empty()) slot.description = description;
            return number;
        }
    }
    auto take = [&](uint8_t number) {
        slots_[number] = Slot{kind, path, description, systemNumber, true, nullptr};
        return number;
    };
    if (systemNumber != 0 && slots_.count(systemNumber) == 0) return take(systemNumber);
    for (unsigned number = 1; number <= 255; ++number) {
        const auto free = static_cast<uint8_t>(number);
        if (slots_.count(free) == 0) return take(free);
    }
    return 0;
}

uint8_t PortCatalogue::addProvided(const std::string& name, Starter starter) {
    std::lock_guard guard(lock_);
    const uint8_t number = assignLocked(PortKind::Provided, std::string(), name, 0);
    if (number != 0) {
        slots_[number].starter = std::move(starter);
        streamStarters_.erase(number);
    }
    return number;
}

uint8_t PortCatalogue::addProvidedStream(const std::string& name, StreamStarter starter) {
    std::lock_guard guard(lock_);
    const uint8_t number = assignLocked(PortKind::Provided, std::string(), name, 0);
    if (number != 0) {
        slots_[number].starter = nullptr;
        streamStarters_[number] = std::move(starter);
    }
    return number;
}

void PortCatalogue::refresh() {
    // The scan talks to the system; do it without the lock.
    std::vector<DetectedDevice> found = scanner_ ? scanner_() : std::vector<DetectedDevice>{};
    std::lock_guard guard(lock_);
    for (auto& [number, slot] : slots_) {
        if (slot.kind == PortKind::Detected) slot.present = false;
    }
    // A path the operator entered that the scan now finds stays "entered".
    for (const DetectedDevice& device : found) {
        assignLocked(PortKind::Detected, device.path, device.description, device.number);
    }
}

uint8_t PortCatalogue::addDevicePath(const std::string& path) {
    if (path.empty()) return 0;
    const std::string name = typedPortName(path);
    std::lock_guard guard(lock_);
    return assignLocked(PortKind::Entered, name, std::string(), systemPortNumber(name));
}

std::vector<PortEntry> PortCatalogue::entries() const {
    std::vector<PortEntry> list;
    std::lock_guard guard(lock_);
    for (PortKind kind : {PortKind::Detected, PortKind::Entered, PortKind::Provided}) {
        std::vector<PortEntry> group;
        for (const auto& [number, slot] : slots_) {
            if (slot.kind == kind && slot.present) {
                group.push_back(PortEntry{number, kind, slot.path, slot.description});
            }
        }
        std::stable_sort(group.begin(), group.end(), [](const PortEntry& a, const PortEntry& b) {
            return naturalLess(a.devicePath, b.devicePath);
        });
        list.insert(list.end(), group.begin(), group.end());
    }
    return list;
}

bool PortCatalogue::resolve(uint8_t number, PortEntry& entry, std::string& devicePath,
                            PortError& error) const {
    std::shared_ptr<iByteStream> stream;
    if (!resolve(number, entry, devicePath, stream, error)) return false;
    if (!stream) return true;
    stream->close();  // a caller that opens devices only cannot take it
    error.code = PortErrorCode::Other;
    error.device = entry.description;
    error.systemMessage = "It is served inside the program, not as a device";
    return false;
}

bool PortCatalogue::resolve(uint8_t number, PortEntry& entry, std::string& devicePath,
                            std::shared_ptr<iByteStream>& stream, PortError& error) const {
    error = PortError{};
    stream.reset();
    devicePath.clear();
    Starter starter;
    StreamStarter streamStarter;
    {
        std::lock_guard guard(lock_);
        const auto found = slots_.find(number);
        if (found == slots_.end()) {
            error.code = PortErrorCode::NotFound;
            error.systemMessage = "No device has port number " + std::to_string(number);
            error.remedy = "choose a port from the list";
            return false;
        }
        const Slot& slot = found->second;
        entry = PortEntry{number, slot.kind, slot.path, slot.description};
        if (slot.kind != PortKind::Provided) {
            devicePath = slot.path;
            return true;
        }
        starter = slot.starter;
        if (const auto served = streamStarters_.find(number); served != streamStarters_.end()) {
            streamStarter = served->second;
        }
    }
    std::string reason;
    if (streamStarter) {
        stream = streamStarter(reason);
        if (stream) return true;
    } else if (starter && starter(devicePath, reason) && !devicePath.empty()) {
        return true;
    }
    devicePath.clear();
    error.code = PortErrorCode::Other;
    error.device = entry.description;
    error.systemMessage = reason.empty() ? std::string("It could not be started") : reason;
    return false;
}

}  // namespace zr8
