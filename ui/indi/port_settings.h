// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// DEVICE_PORT and DEVICE_BAUD_RATE, the standard names clients set before
// CONNECTION. The link opens the port itself, so only the ZR8's two rates
// are offered; any other is refused with Alert, and nothing is sent.
//
// Threads: the INDI event loop only.

#include <libindi/defaultdevice.h>

#include <cstdint>
#include <cstdio>

namespace zr8::indi {

class PortSettings {
public:
    void init(const char* device);
    void define(INDI::DefaultDevice& device);
    void save(FILE* fp) const;

    // True when the property is one of these two (taken or refused).
    bool newText(const char* name, char* texts[], char* names[], int n);
    bool newSwitch(const char* name, ISState* states, char* names[], int n);

    const char* port() const { return portTP_[0].getText(); }
    uint32_t baudRate() const { return baudSP_[0].getState() == ISS_ON ? 9600 : 115200; }

private:
    INDI::PropertyText portTP_{1};
    INDI::PropertySwitch baudSP_{2};
};

}  // namespace zr8::indi
