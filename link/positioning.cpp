// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/positioning.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "link/link_state.h"
#include "link/wire.h"

namespace zr8 {

double meridianOffsetHours(double targetRaHours, long double localSiderealTime) {
    long double d = static_cast<long double>(targetRaHours) - localSiderealTime;
    if (d > 12.0L) d -= 24.0L;
    if (d < -12.0L) d += 24.0L;
    return static_cast<double>(d);
}

int32_t truncateToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

int32_t slewLimitTicks(const MountConfig& mount) {
    constexpr double kSiderealDaySeconds = 86164.0905;
    constexpr double kMarginSeconds = 60;
    const uint32_t factor =
        std::min(std::max(mount.raSpeedFactor, 1u), std::max(mount.decSpeedFactor, 1u));
    const double seconds = 2 * kSiderealDaySeconds / factor + kMarginSeconds;
    return static_cast<int32_t>(std::ceil(seconds * kTicksPerSecond));
}

AxisTargets targetsForSide(bool westSide, double d, double targetDecDegrees, double raStepsPerHour,
                           double decStepsPerHour) {
    // Multiply before dividing by 15, as the controller's own figures do.
    const double decFromPole = (90.0 - targetDecDegrees) * decStepsPerHour / 15.0;
    AxisTargets targets;
    // Truncation toward zero is symmetric, so -trunc(v) == trunc(-v); negating
    // the double keeps the negation clear of INT32_MIN.
    if (westSide) {
        targets.raSteps = truncateToInt32((6.0 - d) * raStepsPerHour);
        targets.decSteps = truncateToInt32(-decFromPole);
    } else {
        targets.raSteps = truncateToInt32(-((d + 6.0) * raStepsPerHour));
        targets.decSteps = truncateToInt32(decFromPole);
    }
    return targets;
}

GotoDecision decideGoto(PierState pierState, double d) {
    GotoDecision decision;
    if (pierState == PierState::East) {
        if (d <= 0.0) {
            decision.westSide = false;
        } else if (d <= 2.0) {
            decision.flipCase = FlipCaseEastNear;
        } else {
            decision.flipCase = FlipCaseEastFar;
        }
    } else if (pierState == PierState::West) {
        if (d >= 0.0) {
            decision.westSide = true;
        } else if (d >= -2.0) {
            decision.flipCase = FlipCaseWestNear;
        } else {
            decision.flipCase = FlipCaseWestFar;
        }
    } else {
        decision.flipCase = FlipCaseUnsettled;
    }
    return decision;
}

FlipChoiceOutcome applyFlipChoice(PierState pierState, uint16_t choice) {
    FlipChoiceOutcome outcome{pierState, false};
    if ((choice & 0xFF) == FlipChoiceWithFlip) {
        if (pierState == PierState::East) outcome.pierState = PierState::FlipToWest;
        if (pierState == PierState::West) outcome.pierState = PierState::FlipToEast;
    }
    outcome.westSide =
        outcome.pierState != PierState::FlipToEast && outcome.pierState != PierState::East;
    return outcome;
}

}  // namespace zr8
