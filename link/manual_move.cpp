// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/manual_move.h"

#include "link/frames.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace zr8 {

namespace {

constexpr int32_t kDefaultBaseSpeed = 200;
constexpr int32_t kDefaultMaxSpeed = 200000;
constexpr uint8_t kLastTableIndex = 6;
constexpr double kCurveSpan = 25.0;  // indices 6..31

// Products wrap in 32 bits as the controller's own arithmetic does; done
// unsigned so the wrap is defined.
int32_t wrappingProduct(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

}  // namespace

int32_t manualSpeed(int32_t baseSpeed, int32_t maxSpeed, uint8_t index) {
    if (index <= kLastTableIndex) return wrappingProduct(baseSpeed, manualSpeedTable[index]) / 64;

    const double x = std::pow((index - kLastTableIndex) / kCurveSpan, 1.5);
    // 4 x base as base * 256 / 64 in 32 bits: the slow range ends there too.
    const int32_t fourBase = wrappingProduct(baseSpeed, 256) / 64;
    const double speed = static_cast<double>(maxSpeed) * x + (1.0 - x) * fourBase;
    // Large bases or indices past the trackbar leave 32 bits; hold the
    // speed at the limit symmetric about 0 so the sign can still be flipped.
    constexpr double kLimit = std::numeric_limits<int32_t>::max();
    if (speed >= kLimit) return std::numeric_limits<int32_t>::max();
    if (speed <= -kLimit) return -std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(speed);
}

ManualMoveCommand manualMoveFor(uint8_t direction, uint8_t index, const MountConfig& mount) {
    ManualMoveCommand command;
    int32_t base = kDefaultBaseSpeed;
    int32_t maximum = kDefaultMaxSpeed;
    bool negative = false;
    switch (direction) {
    case DirectionNorth:
    case DirectionSouth:
        command.axisMask = kAxisDec;
        base = static_cast<int32_t>(mount.decBaseSpeed);
        maximum = static_cast<int32_t>(mount.decMaxSpeed);
        negative = direction == DirectionSouth;
        break;
    case DirectionWest:
    case DirectionEast:
        command.axisMask = kAxisRa;
        base = static_cast<int32_t>(mount.raBaseSpeed);
        maximum = static_cast<int32_t>(mount.raMaxSpeed);
        negative = direction == DirectionEast;
        break;
    default:
        command.axisMask = kAxisNone;
        break;
    }
    // |speed| <= INT32_MAX, so the negation is defined.
    const int32_t speed = manualSpeed(base, maximum, index);
    command.speed = negative ? -speed : speed;
    return command;
}

uint8_t stopAxisMask(uint8_t selector) {
    switch (selector) {
    case DirectionNorth:
    case DirectionSouth:
        return kAxisDec;
    case DirectionWest:
    case DirectionEast:
        return kAxisRa;
    case kStopBothAxes:
        return kAxisBoth;
    default:
        return kAxisNone;
    }
}

}  // namespace zr8
