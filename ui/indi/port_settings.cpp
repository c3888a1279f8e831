// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/indi/port_settings.h"

namespace zr8::indi {

void PortSettings::init(const char* device) {
    portTP_[0].fill("PORT", "Port", "/dev/ttyUSB0");
    portTP_.fill(device, "DEVICE_PORT", "Ports", CONNECTION_TAB, IP_RW, 60, IPS_IDLE);
    baudSP_[0].fill("9600", "9600", ISS_OFF);
    baudSP_[1].fill("115200", "115200", ISS_ON);
    baudSP_.fill(device, "DEVICE_BAUD_RATE", "Baud Rate", CONNECTION_TAB, IP_RW, ISR_1OFMANY, 60,
                 IPS_IDLE);
}

void PortSettings::define(INDI::DefaultDevice& device) {
    device.defineProperty(portTP_);
    device.defineProperty(baudSP_);
}

void PortSettings::save(FILE* fp) const {
    portTP_.save(fp);
    baudSP_.save(fp);
}

bool PortSettings::newText(const char* name, char* texts[], char* names[], int n) {
    if (!portTP_.isNameMatch(name)) return false;
    portTP_.update(texts, names, n);
    portTP_.setState(IPS_OK);
    portTP_.apply();
    return true;
}

bool PortSettings::newSwitch(const char* name, ISState* states, char* names[], int n) {
    if (!baudSP_.isNameMatch(name)) return false;
    for (int i = 0; i < n; ++i) {
        if (!baudSP_.findWidgetByName(names[i])) {
            baudSP_.setState(IPS_ALERT);
            baudSP_.apply(
                "Baud rate %s: the ZR8 speaks 9600 or 115200 baud. Nothing has been sent.",
                names[i]);
            return true;
        }
    }
    baudSP_.update(states, names, n);
    baudSP_.setState(IPS_OK);
    baudSP_.apply();
    return true;
}

}  // namespace zr8::indi
