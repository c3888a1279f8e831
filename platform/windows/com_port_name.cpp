// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/com_port_name.h"

#include <algorithm>

namespace zr8 {

namespace {

constexpr const char* kDevicePrefix = "\\\\.\\";

bool startsWithPath(const std::string& name) {
    return name.size() >= 2 && name[0] == '\\' && name[1] == '\\';
}

}  // namespace

std::string comDevicePath(const std::string& typed) {
    if (typed.empty() || startsWithPath(typed)) return typed;
    std::string name = typed;
    if (name.back() == ':') name.pop_back();
    return name.empty() ? name : kDevicePrefix + name;
}

int comPortNumber(const std::string& name) {
    std::string rest = name;
    if (rest.rfind(kDevicePrefix, 0) == 0) rest.erase(0, 4);
    if (rest.size() < 4 || rest.size() > 6) return 0;
    for (int i = 0; i < 3; ++i) {
        if ((rest[i] & ~0x20) != "COM"[i]) return 0;
    }
    if (rest[3] == '0') return 0;
    int number = 0;
    for (size_t i = 3; i < rest.size(); ++i) {
        if (rest[i] < '0' || rest[i] > '9') return 0;
        number = number * 10 + (rest[i] - '0');
    }
    return number <= 255 ? number : 0;
}

std::string comPortName(const std::string& typed) {
    std::string name = typed;
    if (!name.empty() && name.back() == ':') name.pop_back();
    int number = comPortNumber(name);
    if (number == 0 && !name.empty() && name.size() <= 3 && name[0] != '0' &&
        std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        number = std::stoi(name);
    }
    return number >= 1 && number <= 255 ? "COM" + std::to_string(number) : typed;
}

void sortByComNumber(std::vector<DetectedDevice>& devices) {
    // Names that are not COMn sort after every COM port.
    auto key = [](const DetectedDevice& device) {
        const int number = comPortNumber(device.path);
        return number != 0 ? number : 256;
    };
    std::stable_sort(devices.begin(), devices.end(),
                     [&](const DetectedDevice& a, const DetectedDevice& b) {
                         const int ka = key(a);
                         const int kb = key(b);
                         return ka != kb ? ka < kb : a.path < b.path;
                     });
}

}  // namespace zr8
