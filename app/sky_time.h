// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sky time: Julian date, Greenwich mean sidereal time and angle reduction
// (Meeus, Astronomical Algorithms, ch. 7 and formula 12.4). Stateless; any
// thread may call these.

#include <cstdint>

namespace zr8 {

// Julian date of a calendar instant: Gregorian from 1582-10-15 on, Julian
// before (the ten skipped days count as Julian dates). Extended precision.
long double julianDate(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                       int32_t second);

// Greenwich mean sidereal time in hours, 0 <= h < 24.
double greenwichSiderealTime(double julianDate);

// The angle reduced into 0 <= a < 360 degrees.
long double normalizeDegrees(double degrees);

struct UtcTime {
    int32_t year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// The system clock in UTC, whole seconds.
UtcTime currentUtcTime();

// Local mean sidereal time in hours at `utc` for a longitude in degrees east.
// Not reduced into 0..24: Greenwich time plus longitude / 15.
long double localSiderealTimeAt(const UtcTime& utc, double longitudeDegrees);

}  // namespace zr8
