// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The manual speeds a client chooses from: a few of the controller's 32
// speed steps, each named by its speed in multiples of the base (sidereal)
// speed of the RA axis, e.g. "1x", "4x", "256x", "1000x". Pure, any thread.

#include <array>
#include <cstdint>

#include "link/records.h"

namespace zr8::mount {

struct SlewRate {
    uint8_t speedStep = 0;   // the manual-move request's speed index
    double timesBase = 0.0;  // speed / base speed
    char name[32] = {};      // unique within the table
};

// Slow steps 2, 5 and 6 (1x, 2x, 4x), then along the curve to the maximum.
inline constexpr uint8_t kSlewRateSteps[] = {2, 5, 6, 11, 16, 21, 26, 31};
inline constexpr int kSlewRateCount = static_cast<int>(std::size(kSlewRateSteps));

using SlewRateTable = std::array<SlewRate, kSlewRateCount>;
SlewRateTable slewRates(const MountConfig& mount);

}  // namespace zr8::mount
