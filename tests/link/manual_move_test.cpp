// SPDX-License-Identifier: GPL-3.0-or-later
// Manual movement: the speed curve, the direction signs and masks, the stop
// selectors, and the frames the requests send.

#include <gtest/gtest.h>

#include <climits>

#include "link/manual_move.h"
#include "tests/link/link_harness.h"

namespace zr8::test {
namespace {

// Base 1000, maximum 500000, every trackbar position.
constexpr int32_t kCurve1000[32] = {328,    656,    1000,   1328,   1656,   2000,   4000,   7968,
                                    15223,  24618,  35744,  48363,  62317,  77488,  93785,  111136,
                                    129479, 148764, 168946, 189988, 211856, 234519, 257952, 282128,
                                    307026, 332626, 358908, 385856, 413454, 441686, 470539, 500000};

TEST(ManualSpeed, CurveAtEveryIndex) {
    for (uint8_t index = 0; index < 32; ++index) {
        EXPECT_EQ(manualSpeed(1000, 500000, index), kCurve1000[index]) << int(index);
    }
}

TEST(ManualSpeed, BothRangesMeetAtFourTimesTheBase) {
    for (int32_t base : {1, 64, 200, 1000, 123457}) {
        EXPECT_EQ(manualSpeed(base, 10 * base, 6), base * 4) << base;
    }
}

TEST(ManualSpeed, ExtremesStayDefined) {
    // Products wrap in 32 bits like the controller's figures.
    EXPECT_EQ(manualSpeed(INT32_MAX, 0, 6),
              static_cast<int32_t>(static_cast<uint32_t>(INT32_MAX) * 256u) / 64);
    // Past the trackbar the curve extrapolates; beyond 32 bits it is held.
    EXPECT_EQ(manualSpeed(1000, 500000, 56), 1406899);
    EXPECT_EQ(manualSpeed(1000, INT32_MAX, 255), INT32_MAX);
    EXPECT_EQ(manualSpeed(1000, INT32_MIN, 255), -INT32_MAX);
    EXPECT_EQ(manualSpeed(0, 0, 31), 0);
}

TEST(ManualMove, DirectionsPickAxisSignAndFigures) {
    MountConfig mount;
    mount.raBaseSpeed = 2000;
    mount.raMaxSpeed = 700000;
    mount.decBaseSpeed = 1000;
    mount.decMaxSpeed = 500000;
    struct Case {
        uint8_t direction, index, mask;
        int32_t speed;
    };
    const Case cases[] = {
        {0, 2, 0x40, 1000},    {1, 2, 0x40, -1000},    {2, 2, 0x80, 2000},
        {3, 2, 0x80, -2000},   {0, 31, 0x40, 500000},  {1, 31, 0x40, -500000},
        {2, 31, 0x80, 700000}, {3, 31, 0x80, -700000}, {4, 2, 0x00, 200},
        {5, 2, 0x00, 200},     {5, 31, 0x00, 200000},  {255, 6, 0x00, 800},
    };
    for (const Case& c : cases) {
        const ManualMoveCommand move = manualMoveFor(c.direction, c.index, mount);
        EXPECT_EQ(move.axisMask, c.mask) << int(c.direction);
        EXPECT_EQ(move.speed, c.speed) << int(c.direction) << " " << int(c.index);
    }
}

TEST(ManualMove, StopSelectorsPickTheAxes) {
    const std::pair<uint8_t, uint8_t> cases[] = {{0, 0x40}, {1, 0x40}, {2, 0x80},  {3, 0x80},
                                                 {4, 0xC0}, {5, 0x00}, {255, 0x00}};
    for (const auto& [selector, mask] : cases) EXPECT_EQ(stopAxisMask(selector), mask);
}

TEST(ManualMove, RequestSendsTheSpeedFrameAndReportsMovement) {
    LinkHarness h;
    h.connectAndConfigure();  // bases 1000, factors 500
    h.request(buildManualMoveMessage, 1, 2);
    EXPECT_EQ(h.take(), (Lines{"frame AA 07 23 00 40 18 FC FF FF", "status 14"}));
    h.request(buildManualMoveMessage, 3, 31);
    EXPECT_EQ(h.take(), (Lines{"frame AA 07 23 00 80 E0 5E F8 FF", "status 14"}));  // -500000
    h.request(buildManualMoveMessage, 5, 2);
    EXPECT_EQ(h.take(), (Lines{"frame AA 07 23 00 00 C8 00 00 00", "status 14"}));
    EXPECT_TRUE(h.idle());  // manual moves leave the sequencing alone
}

}  // namespace
}  // namespace zr8::test
