// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/telescope_figures.h"

#include <cmath>
#include <numbers>

#include "link/manual_move.h"
#include "link/positioning.h"
#include "link/wire.h"
#include "mount/slew_rates.h"

namespace zr8::alpaca {

namespace {

// The base speed of each axis is the sidereal rate: one turn a sidereal day.
constexpr double kSiderealDegreesPerSecond = 360.0 / 86164.0905;

}  // namespace

std::vector<AxisRate> axisRatesOf(const MountConfig& mount, int axis) {
    std::vector<AxisRate> rates;
    const uint32_t base = axis == 0 ? mount.raBaseSpeed : mount.decBaseSpeed;
    if (base == 0) return rates;
    for (int i = 0; i < mount::kSlewRateCount; ++i) {
        const ManualMoveCommand move = manualMoveFor(axis == 0 ? DirectionWest : DirectionNorth,
                                                     mount::kSlewRateSteps[i], mount);
        const double degrees =
            std::abs(static_cast<double>(move.speed)) / base * kSiderealDegreesPerSecond;
        bool seen = degrees <= 0;
        for (const AxisRate& r : rates)
            if (std::abs(r.degreesPerSecond - degrees) <= 1e-9 * degrees) seen = true;
        if (!seen) rates.push_back({degrees, i});
    }
    return rates;
}

int pointingStateOf(int32_t pierState) {
    switch (static_cast<PierState>(pierState)) {
    case PierState::East:
    case PierState::FlipToWest:
        return 0;
    case PierState::West:
    case PierState::FlipToEast:
        return 1;
    default:
        return -1;
    }
}

double separationDegrees(const mount::SkyPosition& a, const mount::SkyPosition& b) {
    double dRa = std::remainder((a.raHours - b.raHours) * 15.0, 360.0);
    dRa *= std::cos(b.decDegrees * std::numbers::pi / 180.0);
    const double dDec = a.decDegrees - b.decDegrees;
    return std::sqrt(dRa * dRa + dDec * dDec);
}

}  // namespace zr8::alpaca
