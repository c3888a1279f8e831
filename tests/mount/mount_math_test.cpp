// SPDX-License-Identifier: GPL-3.0-or-later
// The mount layer's pure pieces: sky to axes and back on both sides, the
// site's sidereal clock, the flip policy and the slew rates.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "link/wire.h"
#include "mount/flip_policy.h"
#include "mount/site_clock.h"
#include "mount/sky_axes.h"
#include "mount/slew_rates.h"

namespace zr8::mount {
namespace {

constexpr AxisScale kScale{72000, 72000};  // 1728000 microsteps a turn
constexpr double kOneStep = 1.0 + 1e-6;

TEST(SkyAxes, TargetsAreTheLinksFormulas) {
    struct Case {
        bool west;
        double ra, dec;
        int32_t raSteps, decSteps;
    };
    // LST 10 h. Dec 90 is 0 on both sides; Dec -90 half a turn, signed by side.
    const Case cases[] = {
        {false, 9, 45, -360000, 216000},   {true, 9, 45, 504000, -216000},
        {false, 10, 90, -432000, 0},       {true, 10, 90, 432000, 0},
        {false, 10, -90, -432000, 864000}, {true, 10, -90, 432000, -864000},
        {true, 22, 0, -432000, -432000},  // d = 12 is not folded
        {true, 11.5, 0, 324000, -432000},  {false, 8.5, 0, -324000, 432000},
    };
    for (const Case& c : cases) {
        const AxisTargets t = skyToAxes({c.ra, c.dec}, c.west, 10.0L, kScale);
        EXPECT_EQ(t.raSteps, c.raSteps) << c.west << " " << c.ra << " " << c.dec;
        EXPECT_EQ(t.decSteps, c.decSteps) << c.west << " " << c.ra << " " << c.dec;
    }
}

TEST(SkyAxes, RoundTripOnBothSidesWithinOneMicrostep) {
    const AxisScale scales[] = {kScale, {2764800 / 24.0, 1296000 / 24.0}};
    for (const AxisScale& scale : scales) {
        for (const bool west : {false, true}) {
            for (double ra = 0.05; ra < 24; ra += 1.37) {
                for (double dec = -90; dec <= 90; dec += 7.5) {
                    for (const long double lst : {0.0L, 10.3L, 25.3L, -3.2L}) {
                        const AxisTargets t = skyToAxes({ra, dec}, west, lst, scale);
                        const SkyPosition back = axesToSky(t.raSteps, t.decSteps, west, lst, scale);
                        const double dRa = std::remainder(back.raHours - ra, 24.0);
                        // Truncation loses less than a step; the doubles' own
                        // rounding may add a hair.
                        EXPECT_LE(std::fabs(dRa) * scale.raStepsPerHour, kOneStep)
                            << west << " " << ra << " " << dec << " " << double(lst);
                        if (std::fabs(dec) < 90) {
                            EXPECT_LE(std::fabs(back.decDegrees - dec) * scale.decStepsPerHour / 15,
                                      kOneStep)
                                << west << " " << ra << " " << dec;
                        }
                    }
                }
            }
        }
    }
}

TEST(SkyAxes, DecAxisPastThePoleReadsTheOtherHourCircle) {
    // East side, 10 degrees past the pole: Dec 80 at RA 12 h beyond.
    const SkyPosition sky = axesToSky(-432000, -48000, false, 10.0L, kScale);
    EXPECT_NEAR(sky.decDegrees, 80, 1e-9);
    EXPECT_NEAR(sky.raHours, 22, 1e-9);
}

TEST(SkyAxes, OutOfRangeTargetsAreNamed) {
    char text[160];
    struct Case {
        double ra, dec;
        const char* start;  // nullptr: accepted
    };
    const Case cases[] = {{25, 0, "RA 25 h"},        {-0.5, 0, "RA -0.5 h"},
                          {0, 91, "Dec 91 degrees"}, {0, -90.5, "Dec -90.5"},
                          {NAN, 0, "RA nan"},        {24, 90, nullptr},
                          {0, -90, nullptr}};
    for (const Case& c : cases) {
        const char* error = skyPositionError({c.ra, c.dec}, text, sizeof text);
        if (!c.start) {
            EXPECT_EQ(error, nullptr) << c.ra << " " << c.dec;
        } else {
            ASSERT_NE(error, nullptr) << c.ra << " " << c.dec;
            EXPECT_EQ(std::string(error).rfind(c.start, 0), 0u) << error;
        }
    }
    EXPECT_EQ(raArcsecOf(24), 0);
    EXPECT_EQ(raArcsecOf(12.5), 675000);
    EXPECT_EQ(decArcsecOf(-45.5), -163800);
}

TEST(SiteClock, SiderealTimeFromAnyLongitudeAndFractionsOfASecond) {
    using namespace std::chrono;
    const auto noon = sys_days{year{2000} / January / 1} + hours{12};
    EXPECT_NEAR(double(siderealTimeAt(noon, 0)), 18.697374558, 1e-8);
    EXPECT_NEAR(double(siderealTimeAt(noon, 19.5)), 18.697374558 + 1.3, 1e-8);
    EXPECT_NEAR(double(siderealTimeAt(noon, -75)), 18.697374558 - 5, 1e-8);
    // Half a second of clock is 0.50137 s of sidereal time.
    EXPECT_NEAR(
        double(siderealTimeAt(noon + milliseconds(500), 0) - siderealTimeAt(noon, 0)) * 3600,
        0.501369, 1e-4);
    EXPECT_DOUBLE_EQ(normalizedLongitude(350), -10);
    EXPECT_DOUBLE_EQ(normalizedLongitude(19.5), 19.5);
    EXPECT_DOUBLE_EQ(normalizedLongitude(-190), 170);

    SiteClock clock;
    EXPECT_DOUBLE_EQ(clock.longitude(), 19.5);
    clock.setLongitude(340);
    clock.setUtcNow(noon);
    EXPECT_NEAR(double(clock.localSiderealTime()), 18.697374558 - 20.0 / 15, 1e-3);
}

TEST(FlipPolicy, NeededFlipsAreAlwaysTakenRecommendedOnesByPolicy) {
    const uint16_t with = FlipChoiceWithFlip, without = FlipChoiceWithoutFlip;
    const struct {
        int32_t flipCase;
        uint16_t whenRecommended, stay;
    } cases[] = {
        {1, with, with}, {2, with, without}, {3, with, without}, {4, with, with}, {5, with, with}};
    for (const auto& c : cases) {
        EXPECT_EQ(flipAnswer(FlipPolicy::FlipWhenRecommended, c.flipCase), c.whenRecommended);
        EXPECT_EQ(flipAnswer(FlipPolicy::StayWhenAllowed, c.flipCase), c.stay) << c.flipCase;
    }
    EXPECT_EQ(flipPolicyNamed("avoid"), FlipPolicy::StayWhenAllowed);
    EXPECT_EQ(flipPolicyNamed(flipPolicyName(FlipPolicy::FlipWhenRecommended)),
              FlipPolicy::FlipWhenRecommended);
    EXPECT_FALSE(flipPolicyNamed("sometimes"));
}

TEST(SlewRates, NamedBySpeedInBaseSpeeds) {
    MountConfig mount;
    mount.raBaseSpeed = 1000;
    mount.raMaxSpeed = 1000 * 1000;
    const SlewRateTable rates = slewRates(mount);
    const char* names[] = {"1x", "2x", "4x", "93x", "256x", "467x", "717x", "1000x"};
    for (int i = 0; i < kSlewRateCount; ++i) {
        EXPECT_STREQ(rates[size_t(i)].name, names[i]) << i;
        EXPECT_EQ(rates[size_t(i)].speedStep, kSlewRateSteps[i]);
    }
    // A maximum of four base speeds flattens the curve: the names stay apart.
    mount.raMaxSpeed = 4000;
    const SlewRateTable flat = slewRates(mount);
    EXPECT_STREQ(flat[2].name, "4x");
    EXPECT_STREQ(flat[3].name, "4x_11");
}

}  // namespace
}  // namespace zr8::mount
