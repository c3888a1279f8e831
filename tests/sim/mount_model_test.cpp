// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/mount_model.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zr8::sim {
namespace {

using namespace std::chrono_literals;

constexpr uint8_t kRa = 0x80, kDec = 0x40, kBoth = 0xC0;

// 1728000 microsteps a turn, base speed 1000, factor 1000.
ControllerSettings settings() { return defaultSettings(); }

double sidereal() { return 1728000 / kSiderealDaySeconds; }  // microsteps per second

TEST(MountModel, StartsStoppedAtZero) {
    MountModel m(settings());
    for (Axis a : {Axis::Ra, Axis::Dec}) {
        const AxisState s = m.axis(a, 10s);
        EXPECT_EQ(s.position, 0);
        EXPECT_EQ(s.status, MotionStatus::Stopped);
        EXPECT_EQ(s.shaft, 0.0);
    }
}

struct SpeedCase {
    int32_t speed;
    double siderealMultiple;  // expected, clamped to the speed factor
};

class ManualSpeedTest : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(ManualSpeedTest, RunsAtTheCommandedMultipleOfTheSiderealRate) {
    const SpeedCase& c = GetParam();
    MountModel m(settings());
    m.manualMove(kDec, c.speed, 0s);
    const AxisState s = m.axis(Axis::Dec, 2s);
    EXPECT_NEAR(s.speed, c.siderealMultiple * sidereal(), 1e-6);
    EXPECT_NEAR(s.shaft, 2 * c.siderealMultiple * sidereal(), 1e-3);
    EXPECT_EQ(s.status, MotionStatus::Manual);
    EXPECT_GT(static_cast<uint8_t>(s.status), 2);
    EXPECT_EQ(m.axis(Axis::Ra, 2s).position, 0) << "the other axis stays put";
}

INSTANTIATE_TEST_SUITE_P(Speeds, ManualSpeedTest,
                         ::testing::Values(SpeedCase{1000, 1.0}, SpeedCase{328, 0.328},
                                           SpeedCase{-1000, -1.0}, SpeedCase{4000, 4.0},
                                           SpeedCase{1000000, 1000.0}, SpeedCase{2000000, 1000.0},
                                           SpeedCase{-2147483647 - 1, -1000.0}));

TEST(MountModel, SpeedZeroOrStopEndsAManualMove) {
    MountModel m(settings());
    m.manualMove(kBoth, 500000, 0s);
    m.manualMove(kDec, 0, 1s);
    m.stop(kRa, 2s);
    const AxisState ra = m.axis(Axis::Ra, 10s);
    const AxisState dec = m.axis(Axis::Dec, 10s);
    EXPECT_EQ(ra.status, MotionStatus::Stopped);
    EXPECT_EQ(dec.status, MotionStatus::Stopped);
    EXPECT_EQ(ra.position, static_cast<int32_t>(std::floor(2 * 500 * sidereal())));
    EXPECT_EQ(dec.position, static_cast<int32_t>(std::floor(500 * sidereal())));
}

TEST(MountModel, TrackingTurnsOnlyRaAtTheSiderealRate) {
    MountModel m(settings());
    m.setTracking(true, 0s);
    EXPECT_EQ(m.axis(Axis::Ra, 3600s).position,
              static_cast<int32_t>(std::floor(3600 * sidereal())));
    EXPECT_EQ(m.axis(Axis::Ra, 1s).status, MotionStatus::Tracking);
    EXPECT_EQ(m.axis(Axis::Dec, 3600s).position, 0);
    // A whole sidereal day is one turn of the axis.
    EXPECT_NEAR(m.axis(Axis::Ra, std::chrono::duration_cast<SimTime>(
                                     std::chrono::duration<double>(kSiderealDaySeconds)))
                    .shaft,
                1728000, 1e-3);
    // Stop halts a manual move, not tracking.
    m.manualMove(kRa, 2000, 10s);
    m.stop(kRa, 11s);
    EXPECT_EQ(m.axis(Axis::Ra, 12s).status, MotionStatus::Tracking);
    m.setTracking(false, 20s);
    EXPECT_EQ(m.axis(Axis::Ra, 21s).status, MotionStatus::Stopped);
    EXPECT_EQ(m.axis(Axis::Ra, 21s).position, m.axis(Axis::Ra, 100s).position);
}

TEST(MountModel, ASlewRunsAtMaximumSpeedAndEndsOnTarget) {
    MountModel m(settings());
    const double vmax = 1000 * sidereal();  // about 20055 microsteps per second
    const int32_t raTarget = -432000;       // a quarter turn back
    const int32_t decTarget = 100000;
    m.positionTo(kBoth, raTarget, decTarget, 0s);

    const AxisState early = m.axis(Axis::Ra, 1s);
    EXPECT_EQ(early.status, MotionStatus::Positioning);
    EXPECT_NEAR(early.speed, -vmax, 1e-6);
    EXPECT_EQ(early.position, static_cast<int32_t>(std::floor(-vmax)));

    const auto decArrival = std::chrono::duration<double>(decTarget / vmax);
    const auto raArrival = std::chrono::duration<double>(-raTarget / vmax);
    auto at = [](std::chrono::duration<double> d) {
        return std::chrono::duration_cast<SimTime>(d);
    };
    EXPECT_EQ(m.axis(Axis::Dec, at(decArrival * 0.99)).status, MotionStatus::Positioning);
    EXPECT_EQ(m.axis(Axis::Dec, at(decArrival * 1.01)).status, MotionStatus::Stopped);
    EXPECT_EQ(m.axis(Axis::Dec, at(decArrival * 1.01)).position, decTarget);
    EXPECT_EQ(m.axis(Axis::Ra, at(raArrival * 0.99)).status, MotionStatus::Positioning);
    const AxisState ra = m.axis(Axis::Ra, at(raArrival * 1.01));
    EXPECT_EQ(ra.status, MotionStatus::Stopped);
    EXPECT_EQ(ra.position, raTarget);
    EXPECT_DOUBLE_EQ(ra.shaft, raTarget);
    EXPECT_EQ(ra.target, raTarget);
}

TEST(MountModel, ASlewUnderTrackingEndsTrackingOnward) {
    MountModel m(settings());
    m.setTracking(true, 0s);
    m.positionTo(kRa, 200000, 0, 0s);
    const AxisState after = m.axis(Axis::Ra, 60s);
    EXPECT_EQ(after.status, MotionStatus::Tracking);
    const double arrival = 200000 / (1000 * sidereal());
    EXPECT_NEAR(after.shaft, 200000 + (60 - arrival) * sidereal(), 1e-3);
}

TEST(MountModel, ASlewTakesTheShortWayRoundTheCounter) {
    MountModel m(settings());
    m.setPositions(kRa, 2147483000, 0, 0s);
    m.positionTo(kRa, -2147483000, 0, 0s);  // 1296 steps ahead, past the wrap
    const AxisState s = m.axis(Axis::Ra, 1s);
    EXPECT_EQ(s.status, MotionStatus::Stopped);
    EXPECT_EQ(s.position, -2147483000);
    EXPECT_DOUBLE_EQ(s.shaft, 1296);
}

TEST(MountModel, SettingPositionsMovesTheCounterNotTheShaft) {
    MountModel m(settings());
    m.manualMove(kRa, 1000, 0s);
    m.setPositions(kBoth, -432000, 432000, 10s);
    const AxisState ra = m.axis(Axis::Ra, 10s);
    const AxisState dec = m.axis(Axis::Dec, 10s);
    EXPECT_EQ(ra.position, -432000);
    EXPECT_EQ(dec.position, 432000);
    EXPECT_NEAR(ra.shaft, 10 * sidereal(), 1e-6);
    EXPECT_EQ(dec.shaft, 0.0);
    EXPECT_EQ(ra.status, MotionStatus::Manual) << "a running move goes on";
}

TEST(MountModel, AReversedMotorTurnsTheShaftAgainstTheCounter) {
    ControllerSettings s = settings();
    s.reverseMotor = 0x02;
    MountModel m(s);
    m.positionTo(kBoth, 10000, 10000, 0s);
    EXPECT_DOUBLE_EQ(m.axis(Axis::Ra, 5s).shaft, 10000);
    EXPECT_DOUBLE_EQ(m.axis(Axis::Dec, 5s).shaft, -10000);
    EXPECT_EQ(m.axis(Axis::Dec, 5s).position, 10000);

    s.reverseMotor = 0;  // reversing again mid-way keeps the shaft where it is
    m.applySettings(s, 5s);
    m.positionTo(kDec, 0, 0, 5s);
    EXPECT_DOUBLE_EQ(m.axis(Axis::Dec, 10s).shaft, -20000);
}

TEST(MountModel, ASpeedFactorChangeRescalesARunningMove) {
    ControllerSettings s = settings();
    MountModel m(s);
    m.manualMove(kRa, 1000000, 0s);
    s.ra.speedFactor = 10;
    m.applySettings(s, 1s);
    EXPECT_NEAR(m.axis(Axis::Ra, 1s).speed, 10 * sidereal(), 1e-6);
}

TEST(MountModel, QueriesDoNotChangeTheState) {
    MountModel m(settings());
    m.positionTo(kRa, 50000, 0, 0s);
    const AxisState first = m.axis(Axis::Ra, 1s);
    (void)m.axis(Axis::Ra, 100s);
    const AxisState again = m.axis(Axis::Ra, 1s);
    EXPECT_EQ(first.position, again.position);
    EXPECT_EQ(first.status, again.status);
}

}  // namespace
}  // namespace zr8::sim
