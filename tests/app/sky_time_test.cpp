// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/sky_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

namespace zr8 {
namespace {

TEST(JulianDate, CalendarExamples) {
    struct Case {
        int32_t y, mo, d, h, mi, s;
        long double jd;
    };
    const Case cases[] = {
        {2000, 1, 1, 12, 0, 0, 2451545.0L},
        {1957, 10, 4, 19, 26, 24, 2436116.31L},
        {333, 1, 27, 12, 0, 0, 1842713.0L},   // Julian calendar
        {1582, 10, 15, 0, 0, 0, 2299160.5L},  // first Gregorian day
        {1582, 10, 4, 0, 0, 0, 2299159.5L},   // last Julian day
        {1582, 10, 14, 0, 0, 0, 2299169.5L},  // skipped by the switch: taken as Julian
        {2000, 2, 29, 0, 0, 0, 2451603.5L},   // February counts as month 14 of 1999
        {1987, 4, 10, 19, 21, 0, 2446896.30625L},
        {1600, 1, 1, 0, 0, 0, 2305447.5L},
        {-4712, 1, 1, 12, 0, 0, 0.0L},  // the epoch itself
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(static_cast<double>(julianDate(c.y, c.mo, c.d, c.h, c.mi, c.s)),
                    static_cast<double>(c.jd), 1e-6)
            << c.y << "-" << c.mo << "-" << c.d;
    }
}

TEST(GreenwichSiderealTime, MeeusExamples) {
    struct Case {
        double jd, hours, degrees;
    };
    const Case cases[] = {
        {2451545.0, 18.697374558, 280.46061837},
        {2446896.30625, 8.5825249, 128.7378734},
        {2446895.5, 13.1795463, 197.6931951},  // angle negative before reduction
    };
    for (const auto& c : cases) {
        const double h = greenwichSiderealTime(c.jd);
        EXPECT_NEAR(h, c.hours, 5e-8) << c.jd;
        EXPECT_NEAR(h * 15.0, c.degrees, 5e-7) << c.jd;
    }
}

TEST(GreenwichSiderealTime, AlwaysWithinOneDay) {
    for (double jd = 2299160.5; jd < 2488070.5; jd += 3652.4219 + 0.013) {
        const double h = greenwichSiderealTime(jd);
        EXPECT_GE(h, 0.0) << jd;
        EXPECT_LT(h, 24.0) << jd;
    }
}

TEST(NormalizeDegrees, ReducesIntoOneTurn) {
    struct Case {
        double in, out;
    };
    const Case cases[] = {{-0.5, 359.5}, {360.0, 0.0},     {725.0, 5.0},      {-360.0, 0.0},
                          {0.0, 0.0},    {359.75, 359.75}, {-1080.25, 359.75}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(static_cast<double>(normalizeDegrees(c.in)), c.out) << c.in;
    }
}

TEST(LocalSiderealTime, AddsLongitudeWithoutReducing) {
    const UtcTime noon2000{2000, 1, 1, 12, 0, 0};
    EXPECT_NEAR(static_cast<double>(localSiderealTimeAt(noon2000, 19.5)), 18.697374558 + 1.3, 1e-8);
    // 1987-04-10 00:00 UT: Greenwich 13.1795 h.
    EXPECT_NEAR(static_cast<double>(localSiderealTimeAt({1987, 4, 10, 0, 0, 0}, 19.5)),
                13.1795463 + 1.3, 1e-7);
    // Find an instant whose Greenwich time is above 22.7 h: the local time passes 24.
    const UtcTime late{2000, 1, 1, 16, 0, 0};  // about 22.708 h at Greenwich
    const long double lst = localSiderealTimeAt(late, 19.5);
    EXPECT_GT(lst, 24.0L);
    EXPECT_LT(lst, 25.3L);
}

// The test runs in a time zone far from UTC (see CMakeLists.txt), so a
// clock read in local time is off by hours.
TEST(CurrentUtcTime, IsTheSystemClockInUtc) {
    using namespace std::chrono;
    const double before = duration<double>(system_clock::now().time_since_epoch()).count();
    const UtcTime now = currentUtcTime();
    const double after = duration<double>(system_clock::now().time_since_epoch()).count();
    constexpr double kUnixEpochJd = 2440587.5;
    const double read = static_cast<double>(
        (julianDate(now.year, now.month, now.day, now.hour, now.minute, now.second) -
         kUnixEpochJd) *
        86400.0L);
    EXPECT_GE(read, std::floor(before) - 1.0);  // whole seconds, so up to one below
    EXPECT_LE(read, after + 1.0);
}

}  // namespace
}  // namespace zr8
