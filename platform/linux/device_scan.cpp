// SPDX-License-Identifier: GPL-3.0-or-later
// Serial devices from udev: every tty with a parent device (a driver behind
// it), less the 8250 UART slots that have no chip (sysfs type 0).
#include "platform/device_scan.h"

#include <libudev.h>

#include <algorithm>
#include <cstring>

#include "platform/natural_order.h"

namespace zr8 {

namespace {

std::string property(udev_device* device, const char* name) {
    const char* value = udev_device_get_property_value(device, name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string describe(udev_device* device) {
    std::string model = property(device, "ID_MODEL_FROM_DATABASE");
    if (model.empty()) model = property(device, "ID_MODEL");
    std::string vendor = property(device, "ID_VENDOR_FROM_DATABASE");
    if (vendor.empty()) vendor = property(device, "ID_VENDOR");
    std::replace(model.begin(), model.end(), '_', ' ');
    std::replace(vendor.begin(), vendor.end(), '_', ' ');
    if (!model.empty() && !vendor.empty()) return model + " (" + vendor + ")";
    if (!model.empty()) return model;
    if (!vendor.empty()) return vendor;
    const char* sysname = udev_device_get_sysname(device);
    if (sysname != nullptr && std::strncmp(sysname, "ttyS", 4) == 0) return "Serial port";
    return std::string();
}

bool isRealPort(udev_device* device) {
    udev_device* parent = udev_device_get_parent(device);
    if (parent == nullptr) return false;  // virtual consoles, ptys
    const char* type = udev_device_get_sysattr_value(device, "type");
    // 8250 slots without a UART behind them report type 0 (unknown).
    if (type != nullptr && std::strcmp(type, "0") == 0) return false;
    return true;
}

}  // namespace

std::vector<DetectedDevice> scanSerialDevices() {
    std::vector<DetectedDevice> found;
    udev* context = udev_new();
    if (context == nullptr) return found;
    udev_enumerate* enumerate = udev_enumerate_new(context);
    if (enumerate != nullptr) {
        udev_enumerate_add_match_subsystem(enumerate, "tty");
        udev_enumerate_scan_devices(enumerate);
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
            udev_device* device =
                udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
            if (device == nullptr) continue;
            const char* node = udev_device_get_devnode(device);
            if (node != nullptr && isRealPort(device)) found.push_back({node, describe(device)});
            udev_device_unref(device);
        }
        udev_enumerate_unref(enumerate);
    }
    udev_unref(context);
    std::sort(found.begin(), found.end(), [](const DetectedDevice& a, const DetectedDevice& b) {
        return naturalLess(a.path, b.path);
    });
    return found;
}

// Device paths carry no number of the system's: the catalogue hands them out.
uint8_t systemPortNumber(const std::string&) { return 0; }

// A path is opened as it was typed.
std::string typedPortName(const std::string& typed) { return typed; }

}  // namespace zr8
