// SPDX-License-Identifier: GPL-3.0-or-later
#include "mount/sky_axes.h"

#include <cmath>
#include <cstdio>

namespace zr8::mount {

AxisScale axisScaleOf(const MountConfig& mount) {
    return {mount.raMicrostepResolution / 24.0, mount.decMicrostepResolution / 24.0};
}

AxisTargets skyToAxes(const SkyPosition& sky, bool westSide, long double lst,
                      const AxisScale& scale) {
    const double d = meridianOffsetHours(sky.raHours, lst);
    return targetsForSide(westSide, d, sky.decDegrees, scale.raStepsPerHour, scale.decStepsPerHour);
}

double normalizedHours(long double hours) {
    long double h = std::fmod(hours, 24.0L);
    if (h < 0) h += 24.0L;
    const double rounded = static_cast<double>(h);
    return rounded < 24.0 ? rounded : 0.0;
}

SkyPosition axesToSky(int32_t raSteps, int32_t decSteps, bool westSide, long double lst,
                      const AxisScale& scale) {
    const double ra = scale.raStepsPerHour > 0 ? raSteps / scale.raStepsPerHour : 0.0;
    // Degrees from the pole along the Dec axis, the side's sign taken out.
    double fromPole = scale.decStepsPerHour > 0 ? decSteps * 15.0 / scale.decStepsPerHour : 0.0;
    if (westSide) fromPole = -fromPole;
    fromPole = std::remainder(fromPole, 360.0);  // -180..180
    const double d = westSide ? 6.0 - ra : -ra - 6.0;
    long double raHours = lst + d;
    double dec = 90.0 - fromPole;
    if (fromPole < 0) {  // past the pole: the other hour circle
        dec = 90.0 + fromPole;
        raHours += 12.0L;
    }
    return {normalizedHours(raHours), dec};
}

PierState pierSideOfAxes(int32_t decSteps) {
    if (decSteps > 0) return PierState::East;
    if (decSteps < 0) return PierState::West;
    return PierState::Unknown;
}

const char* skyPositionError(const SkyPosition& sky, char* message, int capacity) {
    if (!(sky.raHours >= 0.0 && sky.raHours <= 24.0)) {
        std::snprintf(message, static_cast<size_t>(capacity),
                      "RA %g h is outside 0 to 24 h. Nothing has been sent.", sky.raHours);
        return message;
    }
    if (!(sky.decDegrees >= -90.0 && sky.decDegrees <= 90.0)) {
        std::snprintf(message, static_cast<size_t>(capacity),
                      "Dec %g degrees is outside -90 to +90 degrees. Nothing has been sent.",
                      sky.decDegrees);
        return message;
    }
    return nullptr;
}

int32_t raArcsecOf(double raHours) {
    // 24 h is 0 h; the link's arithmetic takes any turn.
    return static_cast<int32_t>(std::lround(normalizedHours(raHours) * kArcsecPerRaHour));
}

int32_t decArcsecOf(double decDegrees) {
    return static_cast<int32_t>(std::lround(decDegrees * kArcsecPerDegree));
}

}  // namespace zr8::mount
