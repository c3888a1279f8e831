// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/controller_settings.h"

#include "sim/frame_codec.h"

namespace zr8::sim {

namespace {

AxisSettings defaultAxis(uint8_t axisByte) {
    AxisSettings a;
    a.axisByte = axisByte;
    a.gearRatio = 270;
    a.microstepResolution = 270u * 200u * 32u;
    a.baseSpeed = 1000;
    a.speedFactor = 1000;
    // The rest of the block is the controller's business; these read like a
    // motor driver's setup: microsteps per step, full steps, run and hold
    // current (mA), acceleration, and a few switches.
    uint8_t* b = a.motorBlock.data();
    b[2] = 32;
    writeU16(b + 3, 200);
    writeU16(b + 5, 1200);
    writeU16(b + 7, 400);
    writeU16(b + 9, 500);
    b[11] = 1;
    b[12] = 0;
    b[13] = 4;
    b[14] = 0;
    b[15] = 0;
    b[16] = 1;
    b[17] = 0;
    writeU16(b + 18, 100);
    writeU16(b + 20, 2000);
    b[22] = 0;
    writeU32(b + 23, 115200);
    return a;
}

}  // namespace

ControllerSettings defaultSettings() {
    ControllerSettings s;
    s.identityWord = 0x0138525Au;  // bytes "ZR8" and firmware 1
    s.reply3Byte = 1;
    s.reply2Word = 0x00010002u;
    s.ra = defaultAxis(0x80);
    s.dec = defaultAxis(0x40);
    s.raFormat = {0, 12, 25, 0};
    s.decFormat = {0, 12, 25, 0};
    return s;
}

}  // namespace zr8::sim
