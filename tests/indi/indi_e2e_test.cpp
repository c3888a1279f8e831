// SPDX-License-Identifier: GPL-3.0-or-later
// indi_zr8_telescope end to end: a real indiserver, Debian's client tools,
// the simulated ZR8 on a pseudo-terminal, and the frames it received.

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "mount/site_clock.h"
#include "mount/sky_axes.h"
#include "tests/indi/indi_harness.h"

namespace zr8::indi_test {
namespace {

const std::string kEqState = "\"ZR8.EQUATORIAL_EOD_COORD._STATE\"";

int32_t word(const Bytes& f, size_t at) {
    return static_cast<int32_t>(f[at] | f[at + 1] << 8 | f[at + 2] << 16 |
                                static_cast<uint32_t>(f[at + 3]) << 24);
}

// A target `d` hours east of the meridian now (the driver's default site).
std::string gotoSpec(double d, double dec = 30) {
    const long double lst =
        mount::siderealTimeAt(std::chrono::system_clock::now(), mount::kDefaultLongitude);
    return "ZR8.EQUATORIAL_EOD_COORD.RA;DEC=" + std::to_string(mount::normalizedHours(lst + d)) +
           ";" + std::to_string(dec);
}

// Slews and waits for "Ready": the moves sent, each checked for its side.
void slew(IndiRig& rig, double d, bool expectWest, const char* why) {
    rig.mark();
    ASSERT_EQ(rig.set(gotoSpec(d)).exitCode, 0) << why;
    ASSERT_TRUE(rig.awaitFrame(0x25)) << why;
    ASSERT_TRUE(rig.await(kEqState + "==1")) << why;
    int moves = 0;
    for (const Bytes& f : rig.framesSinceMark()) {
        if (f[2] != 0x25) continue;
        ++moves;
        // East: RA below zero, Dec above; west the other way round.
        EXPECT_EQ(word(f, 5) > 0, expectWest) << why << ": " << hex(f);
        EXPECT_EQ(word(f, 9) < 0, expectWest) << why << ": " << hex(f);
    }
    EXPECT_EQ(moves, 2) << why << ": the move and its correction pass";
    EXPECT_EQ(rig.get(expectWest ? "ZR8.TELESCOPE_PIER_SIDE.PIER_WEST"
                                 : "ZR8.TELESCOPE_PIER_SIDE.PIER_EAST"),
              "On")
        << why;
}

TEST(IndiDriver, ConnectsAtBothRatesAndReadsThePosition) {
    for (const char* baud : {"9600", "115200"}) {
        IndiRig rig;
        ASSERT_TRUE(rig.connect(baud)) << baud << rig.serverLog();
        EXPECT_EQ(rig.sim().receivedFrames().front(), (Bytes{0xAA, 0x01, 0x01}));
        EXPECT_TRUE(rig.awaitFrame(0x1F));
        // The simulator starts at the counters' zero on the east side: the pole.
        EXPECT_NEAR(rig.number("ZR8.EQUATORIAL_EOD_COORD.DEC"), 90, 1e-6);
        EXPECT_EQ(rig.get("ZR8.ZR8_CONFIGURATION.RA_MICROSTEPS"), "1728000");
    }
}

TEST(IndiDriver, RefusesWithAlertAndSendsNothing) {
    IndiRig rig;
    ASSERT_TRUE(rig.connect());
    rig.mark();
    struct Case {
        const char* spec;
        const char* typed;
        const char* property;
    };
    const Case cases[] = {
        {"ZR8.EQUATORIAL_EOD_COORD.RA;DEC=25;10", "-n", "EQUATORIAL_EOD_COORD"},
        {"ZR8.EQUATORIAL_EOD_COORD.RA;DEC=5;91", "-n", "EQUATORIAL_EOD_COORD"},
        {"ZR8.DEVICE_BAUD_RATE.4800=On", "-s", "DEVICE_BAUD_RATE"},
        {"ZR8.ZR8_ENCODER_FORMAT.RA_LEADING_BITS=300", "-n", "ZR8_ENCODER_FORMAT"},
        {"ZR8.ZR8_CALIBRATION.RA_OFFSET=4294967296", "-n", "ZR8_CALIBRATION"},
        {"ZR8.GEOGRAPHIC_COORD.LAT;LONG;ELEV=-33;151;10", "-n", "GEOGRAPHIC_COORD"},
    };
    for (const Case& c : cases) {
        rig.set(c.spec, c.typed);
        EXPECT_TRUE(rig.await("\"ZR8." + std::string(c.property) + "._STATE\"==3", 10)) << c.spec;
    }
    EXPECT_TRUE(rig.framesSinceMark().empty()) << hex(rig.framesSinceMark().front());
}

struct FlipCase {
    const char* name;
    bool startWest;
    double d;  // hours east of the meridian
    bool avoid;
    bool endWest;
};

void PrintTo(const FlipCase& c, std::ostream* os) { *os << c.name; }

class IndiGoto : public ::testing::TestWithParam<FlipCase> {};

TEST_P(IndiGoto, OnEachSideAndForEachFlipCaseUnderBothPolicies) {
    const FlipCase& c = GetParam();
    IndiRig rig;
    ASSERT_TRUE(rig.connect());
    if (c.startWest) slew(rig, 3, true, "to the west side");  // a needed flip
    ASSERT_EQ(rig.set(std::string("ZR8.ZR8_MERIDIAN_FLIP.") +
                      (c.avoid ? "STAY_WHEN_ALLOWED" : "FLIP_WHEN_RECOMMENDED") + "=On")
                  .exitCode,
              0);
    slew(rig, c.d, c.endWest, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IndiGoto,
    ::testing::Values(FlipCase{"EastDirect", false, -1, false, false},
                      FlipCase{"EastRecommendedFlips", false, 1, false, true},
                      FlipCase{"EastRecommendedAvoided", false, 1, true, false},
                      FlipCase{"EastNeededFlips", false, 3, false, true},
                      FlipCase{"EastNeededFlipsEvenAvoiding", false, 3, true, true},
                      FlipCase{"WestDirect", true, 1, false, true},
                      FlipCase{"WestRecommendedFlips", true, -1, false, false},
                      FlipCase{"WestRecommendedAvoided", true, -1, true, true},
                      FlipCase{"WestNeededFlips", true, -3, false, false},
                      FlipCase{"WestNeededFlipsEvenAvoiding", true, -3, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IndiDriver, AbortStopsBothAxesAndAStoppedFlipLeavesTheSideItStartedFrom) {
    IndiRig rig;
    ASSERT_TRUE(rig.connect());
    rig.mark();
    rig.set(gotoSpec(3));  // a needed flip: under way
    ASSERT_TRUE(rig.awaitFrame(0x25));
    rig.set("ZR8.TELESCOPE_ABORT_MOTION.ABORT=On");
    ASSERT_TRUE(rig.awaitFrame(0x21));
    ASSERT_TRUE(rig.await(kEqState + "!=2"));
    EXPECT_EQ(hex(rig.framesSinceMark().back()), "AA 03 21 00 C0");
    // The next goto slews to its own target, from the east side.
    slew(rig, -1, false, "after the stopped flip");
}

TEST(IndiDriver, MotionAtTwoRatesAndTracking) {
    IndiRig rig;
    ASSERT_TRUE(rig.connect());
    struct Case {
        const char* rate;
        const char* motion;
        const char* start;  // the move-at-speed frame
        const char* stop;
    };
    // Base speed 1000, maximum 1000000: step 2 is 1000, step 31 the maximum.
    const Case cases[] = {
        {"1x", "TELESCOPE_MOTION_NS.MOTION_NORTH", "AA 07 23 00 40 E8 03 00 00", "AA 03 21 00 40"},
        {"1x", "TELESCOPE_MOTION_NS.MOTION_SOUTH", "AA 07 23 00 40 18 FC FF FF", "AA 03 21 00 40"},
        {"1000x", "TELESCOPE_MOTION_WE.MOTION_WEST", "AA 07 23 00 80 40 42 0F 00",
         "AA 03 21 00 80"},
        {"1000x", "TELESCOPE_MOTION_WE.MOTION_EAST", "AA 07 23 00 80 C0 BD F0 FF",
         "AA 03 21 00 80"},
    };
    for (const Case& c : cases) {
        rig.set(std::string("ZR8.TELESCOPE_SLEW_RATE.") + c.rate + "=On");
        rig.mark();
        rig.set(std::string("ZR8.") + c.motion + "=On");
        ASSERT_TRUE(rig.awaitFrame(0x23)) << c.motion;
        rig.set(std::string("ZR8.") + c.motion + "=Off");
        ASSERT_TRUE(rig.awaitFrame(0x21)) << c.motion;
        const std::vector<Bytes> frames = rig.framesSinceMark();
        ASSERT_EQ(frames.size(), 2u) << c.motion;
        EXPECT_EQ(hex(frames[0]), c.start) << c.motion << " at " << c.rate;
        EXPECT_EQ(hex(frames[1]), c.stop) << c.motion;
    }
    for (const auto& [on, frame] :
         {std::pair{"TRACK_ON", "AA 03 24 00 01"}, std::pair{"TRACK_OFF", "AA 03 24 00 00"}}) {
        rig.mark();
        rig.set(std::string("ZR8.TELESCOPE_TRACK_STATE.") + on + "=On");
        ASSERT_TRUE(rig.awaitFrame(0x24)) << on;
        EXPECT_EQ(hex(rig.framesSinceMark().back()), frame);
    }
}

TEST(IndiDriver, SyncSetsTheCountersAndThePositionFollows) {
    IndiRig rig;
    ASSERT_TRUE(rig.connect());
    rig.set("ZR8.ON_COORD_SET.SYNC=On");
    rig.mark();
    const std::string spec = gotoSpec(-2, 45);
    rig.set(spec);
    ASSERT_TRUE(rig.awaitFrame(0x20));
    const Bytes f = rig.framesSinceMark().back();
    EXPECT_EQ(hex(Bytes(f.begin(), f.begin() + 5)), "AA 0B 20 01 C0");
    EXPECT_NEAR(word(f, 5), -4 * 72000, 100) << "east side, d = -2 h: -4 h of RA axis";
    EXPECT_EQ(word(f, 9), 216000);
    ASSERT_TRUE(rig.await("abs(\"ZR8.EQUATORIAL_EOD_COORD.DEC\"-45)<0.001"));
}

TEST(IndiDriver, EverySetupTabWriteAndStore) {
    IndiRig rig;
    ASSERT_TRUE(rig.connect());
    struct Case {
        const char* spec;
        const char* frame;
        const char* okState;  // awaited after the write
    };
    const Case cases[] = {
        {"ZR8.ZR8_ENCODER_FORMAT.RA_INVERT;RA_GRAY;DEC_LEADING_BITS=1;1;10",
         "AA 0A 18 01 03 0C 19 00 00 0A 19 00", "\"ZR8.ZR8_ENCODER_FORMAT._STATE\"==1"},
        {"ZR8.ZR8_CALIBRATION.RA_REVERSE_ENCODER;RA_OFFSET;DEC_OFFSET=1;4294967295;1234",
         "AA 0B 7C 01 01 FF FF FF FF D2 04 00 00", "\"ZR8.ZR8_CALIBRATION._STATE\"==1"},
        {"ZR8.ZR8_MOTOR_REVERSE.DEC_REVERSE=On", "AA 05 32 00 C0 02 00",
         "\"ZR8.ZR8_MOTOR_REVERSE._STATE\"==1"},
        {"ZR8.ZR8_STORE.STORE=On", "AA 02 0D 01", "\"ZR8.ZR8_STORE._STATE\"==1"},
        {"ZR8.ZR8_READ_ENCODERS.READ=On", "AA 02 7A 01", "\"ZR8.ZR8_READ_ENCODERS._STATE\"==1"},
    };
    for (const Case& c : cases) {
        rig.mark();
        ASSERT_EQ(rig.set(c.spec).exitCode, 0) << c.spec;
        ASSERT_TRUE(rig.await(c.okState)) << c.spec;
        // A write the controller does not answer is Ok once sent, maybe
        // before the simulator has read it.
        const auto command =
            static_cast<uint8_t>(std::stoi(std::string(c.frame).substr(6, 2), nullptr, 16));
        ASSERT_TRUE(rig.awaitFrame(command)) << c.spec;
        const std::vector<Bytes> frames = rig.framesSinceMark();
        ASSERT_FALSE(frames.empty()) << c.spec;
        EXPECT_EQ(hex(frames.back()), c.frame) << c.spec;
    }
    EXPECT_EQ(rig.sim().snapshot().storeCount, 1u);
    EXPECT_EQ(rig.get("ZR8.ZR8_ENCODERS.DEC_ANGLE").substr(0, 1), "+");
}

TEST(IndiDriver, DeviceLostMidSlewSetsMotionAlertAndConnectionOff) {
    IndiRig rig;
    ASSERT_TRUE(rig.connect());
    rig.mark();
    rig.set(gotoSpec(-1));
    ASSERT_TRUE(rig.awaitFrame(0x25));
    cli_test::Child* alert = rig.watch(kEqState + "==3");
    // The watcher has the property's present value before the device goes.
    ASSERT_TRUE(rig.await(kEqState + "==2"));
    rig.sim().stop();
    EXPECT_EQ(alert->finish(std::chrono::seconds(kDeadlineSeconds)).exitCode, 0);
    EXPECT_TRUE(rig.await("\"ZR8.CONNECTION.CONNECT\"==0 && \"ZR8.CONNECTION._STATE\"==3"));
}

TEST(IndiDriver, KilledDriverIsRestartedAndConnectsAgain) {
    IndiRig rig;
    ASSERT_TRUE(rig.connect());
    const pid_t first = rig.driverPid();
    ASSERT_GT(first, 0);
    ::kill(first, SIGKILL);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(kDeadlineSeconds);
    while ((rig.driverPid() <= 0 || rig.driverPid() == first) &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_NE(rig.driverPid(), first) << rig.serverLog();
    ASSERT_TRUE(rig.await("\"ZR8.CONNECTION.CONNECT\"==0")) << rig.serverLog();
    EXPECT_TRUE(rig.connect()) << rig.serverLog();
}

}  // namespace
}  // namespace zr8::indi_test
