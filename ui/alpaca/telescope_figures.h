// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the telescope works out from the mount's figures alone: MoveAxis's
// rates, ASCOM's pointing state and how far apart two sky positions are.
// Pure functions; any thread.

#include <vector>

#include "link/records.h"
#include "mount/sky_axes.h"

namespace zr8::alpaca {

// One MoveAxis rate: degrees per second, and the session's rate index.
struct AxisRate {
    double degreesPerSecond = 0;
    int rateIndex = 0;
};
// The rates of one axis (0 RA, 1 Dec): positive, none zero, none twice.
std::vector<AxisRate> axisRatesOf(const MountConfig& mount, int axis);

// ASCOM's pointing state for a pier state: 0 normal (east of the pier), 1
// through the pole (west), -1 unknown. A flip counts as the side it left
// until it ends.
int pointingStateOf(int32_t pierState);

double separationDegrees(const mount::SkyPosition& a, const mount::SkyPosition& b);

}  // namespace zr8::alpaca
