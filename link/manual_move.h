// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Manual movement: a direction code and a speed index (the trackbar, 0..31)
// become one axis mask and one signed speed in the controller's units.
// Indices 0..6 are fixed fractions of the axis base speed; from 6 to 31 a
// curve rises from 4 x base to the axis maximum.

#include <cstdint>

#include "link/records.h"
#include "link/wire.h"

namespace zr8 {

// Multipliers in 64ths of the base speed for indices 0..6.
inline constexpr int32_t manualSpeedTable[7] = {21, 42, 64, 85, 106, 128, 256};

// Speed for a base and a maximum, before the direction's sign. Indices past
// 31 extrapolate; results beyond 32 bits are held at +-INT32_MAX.
int32_t manualSpeed(int32_t baseSpeed, int32_t maxSpeed, uint8_t index);

struct ManualMoveCommand {
    uint8_t axisMask = 0;
    int32_t speed = 0;
};

// Mask and signed speed for a direction, from the axis figures read at
// connect time (base 200, maximum 200000 for an unknown direction).
ManualMoveCommand manualMoveFor(uint8_t direction, uint8_t index, const MountConfig& mount);

// Axis byte of the stop command for a stop selector.
uint8_t stopAxisMask(uint8_t selector);

}  // namespace zr8
