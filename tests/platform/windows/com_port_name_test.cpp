#include "platform/windows/com_port_name.h"

#include <gtest/gtest.h>

namespace zr8 {
namespace {

TEST(ComPortName, TypedNamesOpenInTheDeviceNamespace) {
    const struct {
        const char* typed;
        const char* path;
    } cases[] = {
        {"COM3", "\\\\.\\COM3"},
        {"com12:", "\\\\.\\com12"},
        {"\\\\.\\COM3", "\\\\.\\COM3"},
        {"CNCA0", "\\\\.\\CNCA0"},
        {"", ""},
        {":", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(comDevicePath(c.typed), c.path) << c.typed;
}

TEST(ComPortName, NumbersOfComPortsOnly) {
    const struct {
        const char* name;
        int number;
    } cases[] = {
        {"COM3", 3}, {"\\\\.\\com10", 10}, {"COM255", 255}, {"COM256", 0}, {"COM0", 0},
        {"COM", 0},  {"COM3x", 0},         {"LPT1", 0},     {"CNCA0", 0},  {"COM-1", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(comPortNumber(c.name), c.number) << c.name;
}

TEST(ComPortName, DevicesSortByComNumberThenName) {
    std::vector<DetectedDevice> devices = {
        {"COM10", "b"}, {"CNCA0", "x"}, {"COM2", "a"}, {"COM1", "c"}, {"BTHCOM", "y"}};
    sortByComNumber(devices);
    std::vector<std::string> paths;
    for (const DetectedDevice& device : devices) paths.push_back(device.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"COM1", "COM2", "COM10", "BTHCOM", "CNCA0"}));
}

// Wine usually lists no ports; whatever the system lists must be openable
// names in order, without printer ports.
TEST(DeviceScan, ListsComPortsInOrder) {
    const std::vector<DetectedDevice> devices = scanSerialDevices();
    std::vector<DetectedDevice> sorted = devices;
    sortByComNumber(sorted);
    for (size_t i = 0; i < devices.size(); ++i) {
        EXPECT_FALSE(devices[i].path.empty());
        EXPECT_NE(devices[i].path.rfind("LPT", 0), 0u) << devices[i].path;
        EXPECT_EQ(devices[i].path, sorted[i].path);
    }
}

}  // namespace
}  // namespace zr8
