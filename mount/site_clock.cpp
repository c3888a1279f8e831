// SPDX-License-Identifier: GPL-3.0-or-later
#include "mount/site_clock.h"

#include <cmath>

#include "app/sky_time.h"

namespace zr8::mount {

using namespace std::chrono;

long double siderealTimeAt(system_clock::time_point utc, double longitudeDegrees) {
    const auto day = floor<days>(utc);
    const year_month_day date{day};
    const double dayFraction = duration<double, std::ratio<86400>>(utc - day).count();
    const long double jd = julianDate(static_cast<int32_t>(int(date.year())),
                                      static_cast<int32_t>(unsigned(date.month())),
                                      static_cast<int32_t>(unsigned(date.day())), 0, 0, 0) +
                           dayFraction;
    return static_cast<long double>(greenwichSiderealTime(static_cast<double>(jd))) +
           static_cast<long double>(longitudeDegrees) / 15.0L;
}

double normalizedLongitude(double degreesEast) {
    double lon = std::fmod(degreesEast, 360.0);
    if (lon > 180.0) lon -= 360.0;
    if (lon <= -180.0) lon += 360.0;
    return lon;
}

SiteClock::SiteClock(double longitudeDegrees) : longitude_(normalizedLongitude(longitudeDegrees)) {}

void SiteClock::setLongitude(double degreesEast) {
    longitude_.store(normalizedLongitude(degreesEast), std::memory_order_relaxed);
}

void SiteClock::setUtcNow(system_clock::time_point clientNow) {
    offsetMs_.store(duration_cast<milliseconds>(clientNow - system_clock::now()).count(),
                    std::memory_order_relaxed);
}

system_clock::time_point SiteClock::now() const {
    return system_clock::now() + milliseconds(offsetMs_.load(std::memory_order_relaxed));
}

long double SiteClock::localSiderealTime() const { return siderealTimeAt(now(), longitude()); }

}  // namespace zr8::mount
