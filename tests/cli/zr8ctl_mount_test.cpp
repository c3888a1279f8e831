// SPDX-License-Identifier: GPL-3.0-or-later
// zr8ctl's position, goto and sync as a process against the simulated ZR8 on
// a pseudo-terminal, checked in the frames it received: a goto on each side
// under each flip policy, from one run to the next; Ctrl-C during a goto;
// a sync read back.
#include <signal.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "mount/site_clock.h"
#include "mount/sky_axes.h"
#include "zr8ctl_harness.h"

namespace zr8::cli_test {
namespace {

using namespace std::chrono_literals;

int32_t word(const Bytes& f, size_t at) {
    return static_cast<int32_t>(f[at] | f[at + 1] << 8 | f[at + 2] << 16 |
                                static_cast<uint32_t>(f[at + 3]) << 24);
}

// Right ascension `d` hours east of the meridian now, at zr8ctl's default
// longitude.
std::string raEastOfMeridian(double d) {
    const long double lst =
        mount::siderealTimeAt(std::chrono::system_clock::now(), mount::kDefaultLongitude);
    return std::to_string(mount::normalizedHours(lst + d));
}

// Slews in a fraction of a second: a goto then takes its polls' time.
sim::SimConfig fastSlews() {
    sim::SimConfig config;
    config.settings.ra.speedFactor = config.settings.dec.speedFactor = 50000;
    return config;
}

struct SlewCase {
    double d;  // hours east of the meridian
    const char* policy;
    bool endWest;
    std::vector<Json> questions;
};

// One simulator for all: each run connects afresh and must find the side
// the previous one left the mount on.
TEST(Zr8ctlMount, GotoFlipsAsThePolicySaysOnEitherSideRunAfterRun) {
    const SlewCase cases[] = {
        {1, "recommended", true, {{{"case", 3}, {"flip", true}}}},  // east: flips
        {-1, "avoid", true, {{{"case", 2}, {"flip", false}}}},      // west: stays
        {-3, "avoid", false, {{{"case", 4}, {"flip", true}}}},      // west: flip needed
    };
    Simulator sim(fastSlews());
    for (const SlewCase& c : cases) {
        const size_t before = sim.frames().size();
        const Ran ran = zr8ctl(
            on(sim, {"--json", "goto", raEastOfMeridian(c.d), "-10:30:00", "--flip", c.policy}));
        ASSERT_EQ(ran.exitCode, 0) << c.d << ran.err;
        EXPECT_EQ(schemaErrors("goto", ran.out), "") << c.d;
        const Json out = Json::parse(ran.out);
        EXPECT_EQ(out["goto"]["flipQuestions"], Json(c.questions)) << c.d;
        EXPECT_EQ(out["position"]["pierSide"], c.endWest ? "west" : "east") << c.d;
        EXPECT_NEAR(out["position"]["dec"]["degrees"].get<double>(), -10.5, 1e-3) << c.d;
        const std::vector<Bytes> frames = sim.frames();
        int moves = 0;
        for (size_t i = before; i < frames.size(); ++i) {
            if (frames[i][2] != 0x25) continue;
            ++moves;
            // East: RA below zero, Dec above; west the other way round.
            EXPECT_EQ(word(frames[i], 5) > 0, c.endWest) << c.d;
            EXPECT_EQ(word(frames[i], 9) < 0, c.endWest) << c.d;
        }
        EXPECT_EQ(moves, 2) << c.d << ": the move and its correction pass";
    }
}

TEST(Zr8ctlMount, CtrlCDuringAGotoStopsBothAxes) {
    Simulator sim;  // slews of many seconds
    Child child(ZR8CTL_PATH, on(sim, {"goto", raEastOfMeridian(-3), "20"}));
    ASSERT_TRUE(child.started());
    // Connected, the counters read, the move sent.
    ASSERT_TRUE(sim.server().waitForFrames(kConnectFrames + 2, 20s));
    child.signal(SIGINT);
    const Ran ran = child.finish(30s);
    EXPECT_EQ(ran.exitCode, 130) << ran.err;
    EXPECT_NE(ran.err.find("the mount is stopped"), std::string::npos) << ran.err;
    const std::vector<Bytes> frames = sim.frames();
    ASSERT_GT(frames.size(), kConnectFrames + 2);
    EXPECT_EQ(frames[kConnectFrames + 1][2], 0x25);
    EXPECT_EQ(frames[kConnectFrames + 2], (Bytes{0xAA, 0x03, 0x21, 0x00, 0xC0}));
    const sim::MountSnapshot after = sim.server().snapshot();
    EXPECT_EQ(after.ra.state.status, sim::MotionStatus::Stopped);
    EXPECT_EQ(after.dec.state.status, sim::MotionStatus::Stopped);
}

TEST(Zr8ctlMount, ASyncIsReadBackAndKept) {
    Simulator sim;
    const std::string ra = raEastOfMeridian(-2);
    Ran ran = zr8ctl(on(sim, {"--json", "sync", ra, "-10:30:00"}));
    ASSERT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_EQ(schemaErrors("sync", ran.out), "");
    EXPECT_TRUE(hasCommand(sim.frames(), 0x20));
    ran = zr8ctl(on(sim, {"--json", "position"}));
    ASSERT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_EQ(schemaErrors("position", ran.out), "");
    const Json position = Json::parse(ran.out)["position"];
    EXPECT_NEAR(position["dec"]["degrees"].get<double>(), -10.5, 1e-3);
    // The mount does not track: the sky turns on by the seconds between.
    EXPECT_NEAR(std::remainder(position["ra"]["hours"].get<double>() - std::stod(ra), 24.0), 0,
                0.01);
    EXPECT_EQ(position["pierSide"], "east");
}

}  // namespace
}  // namespace zr8::cli_test
