// SPDX-License-Identifier: GPL-3.0-or-later
// A typed COM port is listed under its COM number, as the connect request
// numbers ports; other names get the lowest free number.
#include <gtest/gtest.h>

#include "platform/port_catalogue.h"

namespace zr8 {
namespace {

TEST(PortNumbers, TypedComPortsTakeTheirComNumber) {
    PortCatalogue ports(PortCatalogue::DeviceScanner{});
    EXPECT_EQ(ports.addDevicePath("CNCA0"), 1);
    EXPECT_EQ(ports.addDevicePath("COM7"), 7);
    EXPECT_EQ(ports.addDevicePath("\\\\.\\com7"), 7) << "the same port, written otherwise";
    EXPECT_EQ(ports.addDevicePath("COM250"), 250);
    EXPECT_EQ(ports.addDevicePath("COM1"), 2) << "1 is taken";
    EXPECT_EQ(ports.entries().size(), 4u);
}

TEST(PortNumbers, EveryWayOfWritingAComPortIsOneEntry) {
    PortCatalogue ports(PortCatalogue::DeviceScanner{});
    for (const char* typed : {"21", "com21", "COM21", "\\\\.\\COM21", "COM21:"}) {
        EXPECT_EQ(ports.addDevicePath(typed), 21) << typed;
    }
    ASSERT_EQ(ports.entries().size(), 1u);
    EXPECT_EQ(ports.entries()[0].devicePath, "COM21");
    EXPECT_EQ(ports.addDevicePath("256"), 1) << "no COM port has that number: kept as typed";
}

}  // namespace
}  // namespace zr8
