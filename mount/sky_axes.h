// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sky positions and axis counters of a German equatorial mount, both ways:
// the link's target formulas (link/positioning) and their inverse. Axis zero
// is declination 90 on the Dec axis and a meridian offset of +6 h (west
// side) or -6 h (east side) on the RA axis. Pure functions, any thread.

#include <cstdint>

#include "link/positioning.h"
#include "link/records.h"

namespace zr8::mount {

struct SkyPosition {
    double raHours = 0.0;     // 0 <= ra < 24
    double decDegrees = 0.0;  // -90..90
};

// Microsteps per hour of each axis's turn (a 24th of a turn).
struct AxisScale {
    double raStepsPerHour = 0.0;
    double decStepsPerHour = 0.0;
};
AxisScale axisScaleOf(const MountConfig& mount);

// The counters a slew to `sky` aims at on one side, as the link computes them.
AxisTargets skyToAxes(const SkyPosition& sky, bool westSide, long double localSiderealTime,
                      const AxisScale& scale);

// Where counters point. A Dec axis turned past the pole looks at the other
// hour circle, and is read so; a scale of zero gives the pole at RA = LST.
SkyPosition axesToSky(int32_t raSteps, int32_t decSteps, bool westSide,
                      long double localSiderealTime, const AxisScale& scale);

// The side of the pier counters show: the Dec axis turns one way from the
// pole on the east side and the other way on the west side. Unknown at the
// pole itself, where both sides meet.
PierState pierSideOfAxes(int32_t decSteps);

// Why a sky position cannot be a target ("RA 25 h is outside 0 to 24 h."),
// or nullptr. Writes at most `capacity` bytes into `message`.
const char* skyPositionError(const SkyPosition& sky, char* message, int capacity);

// The link's units: arcseconds of RA angle (54000 an hour) and of Dec.
int32_t raArcsecOf(double raHours);
int32_t decArcsecOf(double decDegrees);

// Hours reduced into 0 <= h < 24.
double normalizedHours(long double hours);

}  // namespace zr8::mount
