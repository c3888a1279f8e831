// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/sky_time.h"

#include <cmath>

namespace zr8 {

long double julianDate(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                       int32_t second) {
    int32_t y = year;
    int32_t m = month;
    if (month <= 2) {
        y = year - 1;
        m = month + 12;
    }
    // The calendar is decided on the date as given, before January and
    // February are moved into the previous year.
    const bool gregorian =
        year > 1582 || (year == 1582 && month > 10) || (year == 1582 && month == 10 && day > 14);
    const int32_t b = gregorian ? y / 400 - y / 100 : -2;

    // Each product is rounded to double before its floor is taken.
    const double monthPart = std::floor(static_cast<double>(30.6001 * (m + 1)));
    const double yearPart = std::floor(static_cast<double>(365.25 * y));

    long double jd = monthPart;
    jd += yearPart;
    jd += b;
    jd += 1720996.5L;
    jd += day;
    jd += static_cast<long double>(hour) / 24;
    jd += static_cast<long double>(minute) / 1440;
    jd += static_cast<long double>(second) / 86400;
    return jd;
}

long double normalizeDegrees(double degrees) {
    if (degrees >= 0.0 && degrees < 360.0) return degrees;
    const long double x = degrees;
    return x - 360.0L * std::floor(x / 360.0L);
}

double greenwichSiderealTime(double jd) {
    const long double t = static_cast<long double>(jd) - 2451545.0L;
    const long double tc = t / 36525.0L;
    const double theta = static_cast<double>(t * 360.98564736629L + 280.46061837L +
                                             (tc * 0.000387933L) * tc - tc * tc * tc / 38710000.0L);
    const double reduced =
        (theta >= 0.0 && theta < 360.0) ? theta : static_cast<double>(normalizeDegrees(theta));
    const double hours = reduced * (1.0 / 15.0);
    // An angle a hair below 360 can round up to exactly 24 hours.
    return hours < 24.0 ? hours : hours - 24.0;
}

long double localSiderealTimeAt(const UtcTime& utc, double longitudeDegrees) {
    const double jd = static_cast<double>(
        julianDate(utc.year, utc.month, utc.day, utc.hour, utc.minute, utc.second));
    return static_cast<long double>(greenwichSiderealTime(jd)) +
           static_cast<long double>(longitudeDegrees) / 15.0L;
}

}  // namespace zr8
