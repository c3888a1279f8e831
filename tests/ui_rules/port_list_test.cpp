// SPDX-License-Identifier: GPL-3.0-or-later
// The port list's policy over a catalogue with made-up devices.

#include "ui/rules/port_list.h"

#include <gtest/gtest.h>

#include "platform/port_catalogue.h"

namespace zr8::rules {
namespace {

std::vector<std::string> labels(const PortList& list) {
    std::vector<std::string> out;
    for (const PortList::Row& row : list.rows()) out.push_back(row.label);
    return out;
}

TEST(PortList, ChoosesTheFirstDeviceElseTheProvidedEntry) {
    struct Case {
        std::vector<DetectedDevice> devices;
        bool provided;
        std::vector<std::string> rows;
        int selected;
    };
    const Case cases[] = {
        {{{"/dev/ttyS0", ""}, {"/dev/ttyUSB0", "FT232R"}},
         true,
         {"/dev/ttyS0", "/dev/ttyUSB0 - FT232R", "Simulated", "Other device..."},
         0},
        {{}, true, {"Simulated", "Other device..."}, 0},
        {{}, false, {"Other device..."}, -1},
    };
    for (const Case& c : cases) {
        PortCatalogue ports([&] { return c.devices; });
        if (c.provided)
            ports.addProvided("Simulated", [](std::string&, std::string&) { return false; });
        PortList list(ports);
        EXPECT_EQ(labels(list), c.rows);
        EXPECT_EQ(list.selectedRow(), c.selected);
        EXPECT_EQ(list.selectedNumber(), c.selected < 0 ? 0 : list.rows()[0].number);
    }
}

TEST(PortList, KeepsTheChoiceAcrossRefreshesAndTakesEnteredPaths) {
    std::vector<DetectedDevice> present = {{"/dev/ttyUSB0", ""}, {"/dev/ttyUSB1", ""}};
    PortCatalogue ports([&] { return present; });
    PortList list(ports);
    EXPECT_FALSE(list.select(1));
    const uint8_t chosen = list.selectedNumber();
    present.insert(present.begin(), {"/dev/ttyACM0", ""});  // plugged in while the list was shut
    list.refresh();
    EXPECT_EQ(list.selectedNumber(), chosen);
    EXPECT_EQ(list.rows()[static_cast<size_t>(list.selectedRow())].label, "/dev/ttyUSB1");

    const int other = static_cast<int>(list.rows().size()) - 1;
    std::string message;
    EXPECT_TRUE(list.select(other));  // ask for a path; the choice stays
    EXPECT_TRUE(list.enterPath(std::nullopt, message));
    EXPECT_TRUE(list.enterPath("/dev/", message));
    EXPECT_EQ(list.selectedNumber(), chosen);
    EXPECT_TRUE(list.enterPath(" /tmp/ttyZR8 ", message));
    EXPECT_EQ(list.rows()[static_cast<size_t>(list.selectedRow())].label, "/tmp/ttyZR8");
    EXPECT_TRUE(message.empty());

    for (int n = 0; ports.addDevicePath("/tmp/fill" + std::to_string(n)) != 0; ++n) {}
    const uint8_t before = list.selectedNumber();
    EXPECT_FALSE(list.enterPath("/tmp/one-too-many", message));
    EXPECT_EQ(message, kPortListFull);
    EXPECT_EQ(list.selectedNumber(), before);
}

}  // namespace
}  // namespace zr8::rules
