// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/com_port_name.h"

// windows.h first: the SetupAPI headers need its types.
#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

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

// Ports-class devices made for the test, removed again at its end. Only
// under Wine: on Windows this would need an administrator and would touch
// the machine's real device tree.
class FakePorts {
public:
    FakePorts() : set_(::SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr)) {}
    ~FakePorts() {
        for (SP_DEVINFO_DATA& device : devices_) ::SetupDiRemoveDevice(set_, &device);
        ::SetupDiDestroyDeviceInfoList(set_);
    }
    bool add(const wchar_t* friendlyName, const wchar_t* portName) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!::SetupDiCreateDeviceInfoW(set_, L"ZR8TESTPORT", &GUID_DEVCLASS_PORTS, nullptr,
                                        nullptr, DICD_GENERATE_ID, &device) ||
            !::SetupDiRegisterDeviceInfo(set_, &device, 0, nullptr, nullptr, nullptr)) {
            return false;
        }
        devices_.push_back(device);
        const HKEY key = ::SetupDiCreateDevRegKeyW(set_, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV,
                                                   nullptr, nullptr);
        if (key == INVALID_HANDLE_VALUE) return false;
        const bool named =
            ::RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(portName),
                             static_cast<DWORD>((wcslen(portName) + 1) * sizeof(wchar_t))) ==
            ERROR_SUCCESS;
        ::RegCloseKey(key);
        return named &&
               ::SetupDiSetDeviceRegistryPropertyW(
                   set_, &device, SPDRP_FRIENDLYNAME, reinterpret_cast<const BYTE*>(friendlyName),
                   static_cast<DWORD>((wcslen(friendlyName) + 1) * sizeof(wchar_t)));
    }

private:
    HDEVINFO set_;
    std::vector<SP_DEVINFO_DATA> devices_;
};

bool underWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST(DeviceScan, ListsComPortsByNumberWithTheirFriendlyNames) {
    if (!underWine()) GTEST_SKIP() << "makes devices; only under Wine";
    FakePorts ports;
    ASSERT_TRUE(ports.add(L"Test Serial Port (COM10)", L"COM10"));
    ASSERT_TRUE(ports.add(L"Test Serial Port (COM3)", L"COM3"));
    ASSERT_TRUE(ports.add(L"Test Printer Port (LPT1)", L"LPT1"));
    std::vector<std::string> listed;
    for (const DetectedDevice& device : scanSerialDevices()) {
        if (device.description.rfind("Test ", 0) == 0) {
            listed.push_back(device.path + " | " + std::to_string(device.number) + " | " +
                             device.description);
        }
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"COM3 | 3 | Test Serial Port (COM3)",
                                                "COM10 | 10 | Test Serial Port (COM10)"}));
}

}  // namespace
}  // namespace zr8
