// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main dialog's port list and its policy, over the port catalogue: the
// catalogue's entries under their labels, then "Other device..." to type a
// path. At first the first detected device is chosen, else the provided
// entry (the built-in simulator); the number chosen is remembered across
// refreshes, which happen each time the list is about to open, so a newly
// attached device shows up without moving the choice.
//
// Threads: user-interface thread (the catalogue itself is thread-safe).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zr8 {
class PortCatalogue;
}

namespace zr8::rules {

inline constexpr const char* kOtherDeviceLabel = "Other device...";
// The prompt for a path; a bare kDevicePathStart adds nothing.
inline constexpr const char* kDevicePathTitle = "Other device";
inline constexpr const char* kDevicePathPrompt =
    "Path of the serial device (for example /dev/ttyUSB0):";
inline constexpr const char* kDevicePathStart = "/dev/";
// The same prompt where ports have names rather than paths (Windows).
inline constexpr const char* kPortNamePrompt = "Name of the serial port (for example COM7):";
inline constexpr const char* kPortNameStart = "COM";
inline constexpr const char* kPortListFull = "No more devices can be added to the list.";

class PortList {
public:
    struct Row {
        std::string label;
        uint8_t number;  // the catalogue's; 0 on the "Other device..." row
    };

    explicit PortList(PortCatalogue& ports);

    const std::vector<Row>& rows() const { return rows_; }
    // The row to show as chosen, -1 for none.
    int selectedRow() const { return selectedRow_; }
    // The port Connect asks for; 0 when nothing is chosen.
    uint8_t selectedNumber() const { return chosen_; }

    // The list is about to open: scan again and rebuild, keeping the choice.
    void refresh();

    // The operator moved to `row`. A port row becomes the choice; the
    // "Other device..." row does not, and true says to ask for a path.
    bool select(int row);

    // The path typed at the prompt, or nothing when it was cancelled. A
    // path joins the list and becomes the choice; otherwise (nothing typed
    // beyond the prompt's `start`) the previous choice stays. False, with
    // `message`, when the list has no room.
    bool enterPath(std::optional<std::string_view> typed, std::string& message,
                   std::string_view start = kDevicePathStart);

private:
    void rebuild();

    PortCatalogue& ports_;
    std::vector<Row> rows_;
    int selectedRow_ = -1;
    uint8_t chosen_ = 0;
};

}  // namespace zr8::rules
