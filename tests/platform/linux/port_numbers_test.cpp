// SPDX-License-Identifier: GPL-3.0-or-later
// Linux numbers no serial ports itself: the catalogue numbers them in order
// of first sight, whatever their names.
#include <gtest/gtest.h>

#include "platform/port_catalogue.h"

namespace zr8 {
namespace {

TEST(PortNumbers, TypedPathsAreNumberedInOrderOfFirstSight) {
    PortCatalogue ports(PortCatalogue::DeviceScanner{});
    EXPECT_EQ(ports.addDevicePath("/dev/ttyS7"), 1);
    EXPECT_EQ(ports.addDevicePath("COM7"), 2);
    EXPECT_EQ(ports.addDevicePath("/dev/ttyUSB3"), 3);
}

TEST(DeviceScan, ListsOnlyDevicesThatExist) {
    for (const DetectedDevice& device : scanSerialDevices()) {
        EXPECT_EQ(device.path.rfind("/dev/", 0), 0u) << device.path;
        EXPECT_EQ(device.path.find("/dev/pts/"), std::string::npos);
        EXPECT_EQ(device.number, 0) << device.path;
    }
}

}  // namespace
}  // namespace zr8
