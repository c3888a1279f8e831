// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sky targets to axis targets for a German equatorial mount, and the
// meridian-flip decision. Pure arithmetic; Positioner keeps the state.
//
// Axis zero is declination 90 on the Dec axis and a meridian offset of +6 h
// (west side) or -6 h (east side) on the RA axis.

#include <cstdint>

#include "link/records.h"

namespace zr8 {

// Side of the pier.
enum class PierState : int32_t {
    Unknown = 0,     // before the first connect
    FlipToWest = 4,  // flip under way towards the west side
    FlipToEast = 5,  // flip under way towards the east side
    West = 6,        // telescope west of the pier, looking east
    East = 7,        // telescope east of the pier, looking west
};

// Flip question cases for onMeridianFlipQuery.
enum FlipCase : int32_t {
    FlipCaseNone = 0,       // no question: slew at once
    FlipCaseUnsettled = 1,  // a flip is under way: flip needed
    FlipCaseWestNear = 2,   // west side, target 0..2 h west: flip recommended
    FlipCaseEastNear = 3,   // east side, target 0..2 h east: flip recommended
    FlipCaseWestFar = 4,    // west side, more than 2 h west: flip needed
    FlipCaseEastFar = 5,    // east side, more than 2 h east: flip needed
};

inline constexpr double kArcsecPerRaHour = 54000.0;
inline constexpr double kArcsecPerDegree = 3600.0;

// Target RA minus sidereal time, folded once into -12..12 (both ends kept).
// Positive east of the meridian.
double meridianOffsetHours(double targetRaHours, long double localSiderealTime);

struct AxisTargets {
    int32_t raSteps = 0;
    int32_t decSteps = 0;
};

// Axis targets for one side at meridian offset `d`, truncated toward zero;
// values beyond 32 bits are held at the nearest 32-bit value.
AxisTargets targetsForSide(bool westSide, double d, double targetDecDegrees, double raStepsPerHour,
                           double decStepsPerHour);

struct GotoDecision {
    int32_t flipCase = FlipCaseNone;  // FlipCaseNone: slew on westSide
    bool westSide = false;
};

// What a goto does from `pierState` for a target at offset `d`.
GotoDecision decideGoto(PierState pierState, double d);

// The side a flip choice (1 without, 2 with flip) slews on, and the pier
// state it leaves behind.
struct FlipChoiceOutcome {
    PierState pierState = PierState::Unknown;
    bool westSide = false;
};
FlipChoiceOutcome applyFlipChoice(PierState pierState, uint16_t choice);

// How long a followed move may take, in heartbeat ticks: two full turns of
// the slower axis at its top speed (a sidereal day divided by its speed
// factor, the base speed being the sidereal rate), and a minute for the
// correction pass and the polls. A move still under way after that has
// failed.
int32_t slewLimitTicks(const MountConfig& mount);

// Truncates toward zero into 32 bits, holding out-of-range values at the
// limits and NaN at 0.
int32_t truncateToInt32(double value);

}  // namespace zr8
