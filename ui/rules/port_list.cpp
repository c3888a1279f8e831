// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/port_list.h"

#include "platform/port_catalogue.h"

namespace zr8::rules {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

PortList::PortList(PortCatalogue& ports) : ports_(ports) { rebuild(); }

void PortList::refresh() {
    ports_.refresh();
    rebuild();
}

void PortList::rebuild() {
    const std::vector<PortEntry> entries = ports_.entries();
    rows_.clear();
    int chosen = -1;
    int firstDetected = -1;
    int firstProvided = -1;
    for (const PortEntry& entry : entries) {
        const int row = static_cast<int>(rows_.size());
        rows_.push_back({entry.label(), entry.number});
        if (entry.number == chosen_ && chosen_ != 0) chosen = row;
        if (entry.kind == PortKind::Detected && firstDetected < 0) firstDetected = row;
        if (entry.kind == PortKind::Provided && firstProvided < 0) firstProvided = row;
    }
    rows_.push_back({kOtherDeviceLabel, 0});
    // A real device first; the simulated controller when there is none.
    if (chosen < 0) chosen = firstDetected >= 0 ? firstDetected : firstProvided;
    if (chosen < 0 && !entries.empty()) chosen = 0;
    selectedRow_ = chosen;
    chosen_ = chosen >= 0 ? rows_[static_cast<size_t>(chosen)].number : 0;
}

bool PortList::select(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return false;
    const uint8_t number = rows_[static_cast<size_t>(row)].number;
    if (number == 0) return true;
    chosen_ = number;
    selectedRow_ = row;
    return false;
}

bool PortList::enterPath(std::optional<std::string_view> typed, std::string& message,
                         std::string_view start) {
    bool added = true;
    if (typed) {
        const std::string_view path = trimmed(*typed);
        if (!path.empty() && path != start) {
            const uint8_t number = ports_.addDevicePath(std::string(path));
            if (number != 0) {
                chosen_ = number;
            } else {
                message = kPortListFull;
                added = false;
            }
        }
    }
    rebuild();
    return added;
}

}  // namespace zr8::rules
