// SPDX-License-Identifier: GPL-3.0-or-later
#include "mount/slew_rates.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "link/manual_move.h"
#include "link/wire.h"

namespace zr8::mount {

SlewRateTable slewRates(const MountConfig& mount) {
    SlewRateTable table;
    for (int i = 0; i < kSlewRateCount; ++i) {
        SlewRate& rate = table[static_cast<size_t>(i)];
        rate.speedStep = kSlewRateSteps[i];
        // Computed as the link computes the speed it sends.
        const ManualMoveCommand move = manualMoveFor(DirectionWest, rate.speedStep, mount);
        const double base = mount.raBaseSpeed ? mount.raBaseSpeed : 200.0;
        rate.timesBase = move.speed / base;
        const double shown =
            rate.timesBase < 10 ? std::round(rate.timesBase * 10) / 10 : std::round(rate.timesBase);
        std::snprintf(rate.name, sizeof rate.name, "%gx", shown);
        // A mount whose curve is flat gives equal speeds: names stay apart.
        for (int j = 0; j < i; ++j) {
            if (std::strcmp(table[static_cast<size_t>(j)].name, rate.name) == 0) {
                std::snprintf(rate.name, sizeof rate.name, "%gx_%d", shown, rate.speedStep);
                break;
            }
        }
    }
    return table;
}

}  // namespace zr8::mount
