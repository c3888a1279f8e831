// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "ZR8 setup" tab: what the dialogs do, for a client at a distance. The
// configuration (read-only), an encoder reading (raw, arcseconds,
// +DDD:MM:SS), the encoder format, the calibration, the motor reverse and
// store. Typed values pass the dialogs' own checks (ui/rules); a refusal
// sets the property Alert with a message naming the field, and nothing is
// sent.
//
// Threads: the INDI event loop only.

#include <libindi/defaultdevice.h>

#include "mount/mount_session.h"

namespace zr8::indi {

inline constexpr const char* kSetupTab = "ZR8 setup";

class SetupTab {
public:
    void init(const char* device);
    void define(INDI::DefaultDevice& device);
    void remove(INDI::DefaultDevice& device);

    // True when the property is this tab's (handled, refused or not).
    bool newSwitch(const char* name, ISState* states, char* names[], int n, iZR6Control& link,
                   const mount::MountState& state);
    bool newNumber(const char* name, double values[], char* names[], int n, iZR6Control& link,
                   const mount::MountState& state);

    // After the link reported: a status, a configuration, an encoder reading.
    void onStatus(int32_t code);
    void show(const mount::MountState& state);
    void showEncoders(const mount::MountState& state);

private:
    INDI::PropertyText configTP_{6};
    INDI::PropertySwitch readSP_{1};
    INDI::PropertyText encodersTP_{6};
    INDI::PropertyNumber formatNP_{10};
    INDI::PropertyNumber calibrationNP_{4};
    INDI::PropertySwitch motorSP_{2};
    INDI::PropertySwitch storeSP_{1};
};

}  // namespace zr8::indi
