// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/port_catalogue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace zr8 {
namespace {

// A system whose device list the test changes.
struct FakeSystem {
    std::shared_ptr<std::vector<DetectedDevice>> devices =
        std::make_shared<std::vector<DetectedDevice>>();
    PortCatalogue::DeviceScanner scanner() const {
        auto list = devices;
        return [list] { return *list; };
    }
};

uint8_t numberOf(const PortCatalogue& ports, const std::string& path) {
    for (const PortEntry& entry : ports.entries()) {
        if (entry.devicePath == path) return entry.number;
    }
    return 0;
}

TEST(PortCatalogue, ListsDetectedThenEnteredThenSimulatorWithNumbers) {
    FakeSystem system;
    *system.devices = {{"/dev/ttyACM0", "ZR8 USB serial"}, {"/dev/ttyUSB0", "FT232R USB UART"}};
    PortCatalogue ports(system.scanner());
    ports.addProvided("Simulated controller", [](std::string&, std::string&) { return false; });
    const uint8_t entered = ports.addDevicePath("/dev/pts/9");

    const std::vector<PortEntry> list = ports.entries();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].devicePath, "/dev/ttyACM0");
    EXPECT_EQ(list[0].kind, PortKind::Detected);
    EXPECT_EQ(list[0].label(), "/dev/ttyACM0 - ZR8 USB serial");
    EXPECT_EQ(list[1].devicePath, "/dev/ttyUSB0");
    EXPECT_EQ(list[2].devicePath, "/dev/pts/9");
    EXPECT_EQ(list[2].kind, PortKind::Entered);
    EXPECT_EQ(list[2].number, entered);
    EXPECT_EQ(list[2].label(), "/dev/pts/9");
    EXPECT_EQ(list[3].kind, PortKind::Provided);
    EXPECT_EQ(list[3].label(), "Simulated controller");

    std::set<uint8_t> numbers;
    for (const PortEntry& entry : list) {
        EXPECT_NE(entry.number, 0);
        numbers.insert(entry.number);
    }
    EXPECT_EQ(numbers.size(), list.size());
}

TEST(PortCatalogue, NumbersSurviveRefreshAndDeviceComingAndGoing) {
    FakeSystem system;
    *system.devices = {{"/dev/ttyUSB0", ""}, {"/dev/ttyUSB1", ""}};
    PortCatalogue ports(system.scanner());
    const uint8_t usb0 = numberOf(ports, "/dev/ttyUSB0");
    const uint8_t usb1 = numberOf(ports, "/dev/ttyUSB1");

    *system.devices = {{"/dev/ttyUSB1", ""}, {"/dev/ttyACM0", ""}};
    ports.refresh();
    EXPECT_EQ(numberOf(ports, "/dev/ttyUSB0"), 0) << "gone from the list";
    EXPECT_EQ(numberOf(ports, "/dev/ttyUSB1"), usb1);
    const uint8_t acm0 = numberOf(ports, "/dev/ttyACM0");
    EXPECT_NE(acm0, usb0) << "a vanished device's number is not handed on";

    // The vanished device's number still names it; opening it will fail.
    std::string path;
    PortEntry entry;
    PortError error;
    EXPECT_TRUE(ports.resolve(usb0, entry, path, error));
    EXPECT_EQ(path, "/dev/ttyUSB0");

    *system.devices = {{"/dev/ttyUSB0", ""}};
    ports.refresh();
    EXPECT_EQ(numberOf(ports, "/dev/ttyUSB0"), usb0);
}

// Where the system numbers its ports (COM3), the catalogue keeps the number;
// a port whose number is taken already gets a free one.
TEST(PortCatalogue, DetectedPortsKeepTheSystemsNumbers) {
    FakeSystem system;
    *system.devices = {{"COM10", "USB Serial Port (COM10)", 10}, {"COM3", "", 3}, {"CNCA0", "", 0}};
    PortCatalogue ports(system.scanner());
    EXPECT_EQ(numberOf(ports, "COM3"), 3);
    EXPECT_EQ(numberOf(ports, "COM10"), 10);
    EXPECT_EQ(numberOf(ports, "CNCA0"), 1);

    *system.devices = {{"COM1", "", 1}, {"COM3", "", 3}};
    ports.refresh();
    EXPECT_EQ(numberOf(ports, "COM1"), 2) << "1 is CNCA0's for good";
    EXPECT_EQ(numberOf(ports, "COM3"), 3);
}

// Numbers in names count: COM2 before COM10, ttyUSB2 before ttyUSB10.
TEST(PortCatalogue, ListsEachGroupInNaturalOrder) {
    FakeSystem system;
    *system.devices = {{"COM1", "", 1}, {"COM10", "", 10}, {"COM11", "", 11}, {"COM2", "", 2}};
    PortCatalogue ports(system.scanner());
    for (const char* path : {"/dev/ttyUSB10", "/dev/ttyUSB2", "/dev/ttyACM0", "/dev/ttyusb3"}) {
        ports.addDevicePath(path);
    }
    std::vector<std::string> listed;
    for (const PortEntry& entry : ports.entries()) listed.push_back(entry.devicePath);
    EXPECT_EQ(listed, (std::vector<std::string>{"COM1", "COM2", "COM10", "COM11", "/dev/ttyACM0",
                                                "/dev/ttyUSB2", "/dev/ttyusb3", "/dev/ttyUSB10"}));
}

TEST(PortCatalogue, AddDevicePath) {
    FakeSystem system;
    *system.devices = {{"/dev/ttyUSB0", ""}};
    PortCatalogue ports(system.scanner());
    EXPECT_EQ(ports.addDevicePath(""), 0);
    EXPECT_EQ(ports.addDevicePath("/dev/ttyUSB0"), numberOf(ports, "/dev/ttyUSB0"));
    const uint8_t entered = ports.addDevicePath("/dev/ttyS4");
    EXPECT_EQ(ports.addDevicePath("/dev/ttyS4"), entered);
    EXPECT_EQ(ports.entries().size(), 2u);

    std::string path;
    PortEntry entry;
    PortError error;
    ASSERT_TRUE(ports.resolve(entered, entry, path, error));
    EXPECT_EQ(entry.kind, PortKind::Entered);
    EXPECT_EQ(path, "/dev/ttyS4");
}

TEST(PortCatalogue, NumbersRunOutAt255) {
    PortCatalogue ports(PortCatalogue::DeviceScanner{});
    for (int i = 1; i <= 255; ++i) {
        ASSERT_EQ(ports.addDevicePath("/dev/x" + std::to_string(i)), i);
    }
    EXPECT_EQ(ports.addDevicePath("/dev/one-too-many"), 0);
}

TEST(PortCatalogue, UnknownNumberResolvesToNothing) {
    PortCatalogue ports(PortCatalogue::DeviceScanner{});
    for (uint8_t number : {uint8_t{0}, uint8_t{1}, uint8_t{255}}) {
        std::string path = "unchanged";
        PortEntry entry;
        PortError error;
        EXPECT_FALSE(ports.resolve(number, entry, path, error));
        EXPECT_EQ(error.code, PortErrorCode::NotFound);
        EXPECT_FALSE(error.systemMessage.empty());
    }
}

TEST(PortCatalogue, ProvidedEntryIsStartedWhenResolved) {
    PortCatalogue ports(PortCatalogue::DeviceScanner{});
    int starts = 0;
    bool fail = false;
    ports.addProvided("stand-in", [&](std::string& path, std::string& reason) {
        ++starts;
        if (fail) {
            reason = "no pseudo-terminals left";
            return false;
        }
        path = "/dev/pts/42";
        return true;
    });
    ASSERT_EQ(ports.entries().size(), 1u);
    const uint8_t number = ports.entries()[0].number;
    EXPECT_EQ(starts, 0) << "listing does not start it";

    std::string path;
    PortEntry entry;
    PortError error;
    ASSERT_TRUE(ports.resolve(number, entry, path, error));
    EXPECT_EQ(path, "/dev/pts/42");
    EXPECT_EQ(entry.kind, PortKind::Provided);
    EXPECT_EQ(entry.description, "stand-in");
    EXPECT_EQ(starts, 1);

    fail = true;
    EXPECT_FALSE(ports.resolve(number, entry, path, error));
    EXPECT_EQ(error.code, PortErrorCode::Other);
    EXPECT_EQ(error.device, "stand-in");
    EXPECT_EQ(error.systemMessage, "no pseudo-terminals left");

    EXPECT_EQ(ports.addProvided("stand-in", nullptr), number);
    EXPECT_EQ(ports.entries().size(), 1u) << "one entry per name, however often it is added";
    EXPECT_FALSE(ports.resolve(number, entry, path, error));
}

// The GUI lists while the worker resolves; run under tsan.
TEST(PortCatalogue, ListingResolvingAndRefreshingAtOnce) {
    FakeSystem system;
    *system.devices = {{"/dev/ttyUSB0", "a"}, {"/dev/ttyUSB1", "b"}};
    PortCatalogue ports(system.scanner());
    ports.addProvided("stand-in", [](std::string& path, std::string&) {
        path = "/dev/pts/1";
        return true;
    });
    std::atomic<bool> done{false};
    std::thread worker([&] {
        std::string path;
        PortEntry entry;
        PortError error;
        for (int i = 0; i < 2000; ++i)
            ports.resolve(static_cast<uint8_t>(i % 4), entry, path, error);
        done = true;
    });
    size_t listed = 0;
    int rounds = 0;
    do {
        ports.refresh();
        listed += ports.entries().size();
        ports.addDevicePath("/dev/ttyS0");
    } while (!done || ++rounds < 50);
    worker.join();
    EXPECT_GT(listed, 0u);
    EXPECT_EQ(ports.entries().size(), 4u);
}

}  // namespace
}  // namespace zr8
