// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The observer's sidereal clock for mount front ends: the system's UTC clock,
// corrected by what a client says the time is, at a longitude given at run
// time (the dialogs keep their fixed 19.5 E in AppModel).
//
// Threads: the front end sets, the link's worker reads; both may run at once.

#include <atomic>
#include <chrono>

#include "link/sky_clock.h"

namespace zr8::mount {

inline constexpr double kDefaultLongitude = 19.5;  // degrees east

// Local mean sidereal time in hours at `utc` for a longitude in degrees east,
// fractions of a second included. Not reduced into 0..24.
long double siderealTimeAt(std::chrono::system_clock::time_point utc, double longitudeDegrees);

// A longitude in any turn (0..360 east as INDI gives it) as -180 < lon <= 180.
double normalizedLongitude(double degreesEast);

class SiteClock final : public iSkyClock {
public:
    explicit SiteClock(double longitudeDegrees = kDefaultLongitude);

    void setLongitude(double degreesEast);
    double longitude() const { return longitude_.load(std::memory_order_relaxed); }

    // The time a client says it is now; later readings keep that offset
    // from the system clock.
    void setUtcNow(std::chrono::system_clock::time_point clientNow);
    std::chrono::system_clock::time_point now() const;

    long double localSiderealTime() const override;

private:
    std::atomic<double> longitude_;
    std::atomic<int64_t> offsetMs_{0};
};

}  // namespace zr8::mount
