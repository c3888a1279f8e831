// SPDX-License-Identifier: GPL-3.0-or-later
// Serial ports from SetupAPI's Ports class: the device's "PortName" value
// ("COM3") is what opens it, its friendly name ("USB Serial Port (COM3)")
// describes it, and its COM number is the port's number in the catalogue.
// Printer ports share the class and are left out.
#include "platform/device_scan.h"

// windows.h first: the SetupAPI headers need its types.
#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

#include <algorithm>

#include "platform/windows/com_port_name.h"
#include "platform/windows/wide_text.h"

namespace zr8 {

namespace {

std::string portName(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    const HKEY key =
        ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t name[64] = {};
    DWORD type = 0;
    DWORD size = sizeof name - sizeof(wchar_t);  // room for a NUL the value may lack
    const LONG status =
        ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return {};
    return utf8FromWide(name, wcsnlen(name, size / sizeof(wchar_t)));
}

std::string friendlyName(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    wchar_t name[256] = {};
    if (!::SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                             reinterpret_cast<BYTE*>(name),
                                             sizeof name - sizeof(wchar_t), nullptr) &&
        !::SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_DEVICEDESC, nullptr,
                                             reinterpret_cast<BYTE*>(name),
                                             sizeof name - sizeof(wchar_t), nullptr)) {
        return {};
    }
    return utf8FromWide(name, wcsnlen(name, 255));
}

}  // namespace

std::vector<DetectedDevice> scanSerialDevices() {
    std::vector<DetectedDevice> found;
    const HDEVINFO devices =
        ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return found;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const std::string name = portName(devices, device);
        if (name.empty() || name.rfind("LPT", 0) == 0) continue;
        found.push_back({name, friendlyName(devices, device), systemPortNumber(name)});
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    sortByComNumber(found);
    return found;
}

uint8_t systemPortNumber(const std::string& name) {
    return static_cast<uint8_t>(comPortNumber(name));
}

std::string typedPortName(const std::string& typed) { return comPortName(typed); }

}  // namespace zr8
