// SPDX-License-Identifier: GPL-3.0-or-later
// The requests mount front ends add: reading the axis counters, sync and
// abort, and the pier side told as it changes. None of them may disturb a
// slew's sequencing.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/link/link_harness.h"

namespace zr8::test {
namespace {

constexpr const char* kReadFrame = "frame AA 03 1F 01 C0";
constexpr const char* kPoll = "frame AA 02 1E 01";

// Connected at sidereal time 10 h with 1728000 microsteps a turn on both
// axes (72000 a sidereal hour), logging the mount calls.
struct MountLink : LinkHarness {
    MountLink() {
        listener.logMountCalls = true;
        clock.hours = 10.0L;
        connectAndConfigure();
    }
    void gotoTarget(double raHours, double decDegrees) {
        request(buildGotoMessage, static_cast<int32_t>(std::lround(raHours * 54000)),
                static_cast<int32_t>(std::lround(decDegrees * 3600)));
    }
    void readAxes() { request(buildReadAxisPositionsMessage); }
};

TEST(AxisRead, AnsweredWithTheCountersAndThePierSide) {
    MountLink h;
    h.readAxes();
    EXPECT_EQ(h.take(), Lines{kReadFrame});
    h.reply(positionsReply(-432000, 216000));
    EXPECT_EQ(h.take(), Lines{"axes -432000 216000 pier 7"});
    EXPECT_TRUE(h.idle());
}

TEST(AxisRead, UnansweredReadIsGivenUpAfterFourTicks) {
    MountLink h;
    h.readAxes();
    h.tick(kAxisReadTicks - 1);
    h.take();
    EXPECT_FALSE(h.idle());
    h.take();
    MountLink g;
    g.readAxes();
    g.tick(kAxisReadTicks);
    g.take();
    EXPECT_TRUE(g.idle());
}

// The same slew with and without a client asking for the position before
// every message: the frames and statuses are the same, and no read goes out
// until "Ready".
TEST(AxisRead, SlewPolledCorrectedAndFinishedUndisturbedByReads) {
    Lines runs[2];
    for (const bool reading : {false, true}) {
        MountLink h;
        auto step = [&](auto action) {
            if (reading) h.readAxes();
            action();
        };
        h.gotoTarget(9, 45);
        step([&] { h.reply(replyFrame({0x25})); });
        for (int poll = 0; poll < 2; ++poll) {
            for (int i = 0; i < kPollDelayTicks; ++i) step([&] { h.tick(); });
            step([&] { h.reply(pollReply(poll == 0 ? 4 : 0, 0)); });  // moving, then stopped
        }
        step([&] { h.reply(replyFrame({0x25})); });  // the correction pass acknowledged
        for (int i = 0; i < kPollDelayTicks; ++i) step([&] { h.tick(); });
        step([&] { h.reply(pollReply(0, 0)); });
        runs[reading] = h.take();
        EXPECT_EQ(runs[reading].back(), "status 13");
        // Once ready the read goes out again.
        h.readAxes();
        EXPECT_EQ(h.take(), Lines{kReadFrame});
    }
    EXPECT_EQ(runs[1], runs[0]);
    EXPECT_EQ(std::count(runs[0].begin(), runs[0].end(), kPoll), 3);
}

TEST(Sync, SetsTheCountersForTheCurrentSide) {
    struct Case {
        uint8_t pierSelector;  // 1 east, 3 west
        double raHours, decDegrees;
        const char* frame;
    };
    // d = -1 h: east -5 h = -360000 steps, west +7 h = 504000; Dec 45: 216000.
    const Case cases[] = {
        {1, 9, 45, "frame AA 0B 20 01 C0 C0 81 FA FF C0 4B 03 00"},
        {3, 9, 45, "frame AA 0B 20 01 C0 C0 B0 07 00 40 B4 FC FF"},
    };
    for (const Case& c : cases) {
        MountLink h;
        h.request(buildPierSideMoveMessage, c.pierSelector);
        h.take();
        h.request(buildSyncMessage, static_cast<int32_t>(std::lround(c.raHours * 54000)),
                  static_cast<int32_t>(std::lround(c.decDegrees * 3600)));
        EXPECT_EQ(h.take(), Lines{c.frame}) << int(c.pierSelector);
        EXPECT_TRUE(h.idle());
    }
}

TEST(Sync, RefusedWhileASlewIsFollowed) {
    MountLink h;
    h.gotoTarget(9, 45);
    h.take();
    h.request(buildSyncMessage, 0, 0);
    EXPECT_EQ(h.take(), Lines{"status 10"});
}

TEST(Abort, StopsAndEndsTheSlewWithoutACorrectionPass) {
    MountLink h;
    h.gotoTarget(9, 45);
    h.reply(replyFrame({0x25}));
    h.take();
    h.request(buildAbortMessage);
    EXPECT_EQ(h.take(), (Lines{"frame AA 03 21 00 C0", "status 13"}));
    h.tick(2 * kPollDelayTicks);
    h.reply(pollReply(0, 0));
    EXPECT_EQ(h.take(), Lines{});
    EXPECT_TRUE(h.idle());
}

// A new connection takes the east side; a front end that found the west
// side in the counters says so, but never under a move or a flip.
TEST(PierSide, SettledByTheFrontEndOnlyWhileNothingMoves) {
    struct Case {
        const char* name;
        void (*before)(MountLink&);
        uint8_t side;
        Lines told;
        const char* after;
    };
    const Case cases[] = {
        {"west", [](MountLink&) {}, 6, {"pier side 6"}, "west"},
        {"unchanged", [](MountLink&) {}, 7, {}, "east"},
        {"not a side", [](MountLink&) {}, 4, {"status 10"}, "east"},
        {"under a slew", [](MountLink& h) { h.gotoTarget(9, 45); }, 6, {"status 10"}, "unknown"},
        {"under a flip",
         [](MountLink& h) { h.request(buildPierSideMoveMessage, uint8_t{4}); },
         6,
         {"status 10"},
         "flipping"},
    };
    for (const Case& c : cases) {
        MountLink h;
        c.before(h);
        h.take();
        h.request(buildPierSideMessage, c.side);
        EXPECT_EQ(h.take(), c.told) << c.name;
        if (std::string(c.after) != "unknown") {
            EXPECT_EQ(h.pierSide(), c.after) << c.name;
        }
    }
}

TEST(PierSide, ToldOnConnectAndAsAFlipStartsAndEnds) {
    MountLink h;
    h.listener.logMountCalls = true;
    h.connect();  // already connected: nothing new
    h.request(buildDisconnectMessage);
    h.connect();
    Lines connecting = h.take();
    EXPECT_EQ(std::count(connecting.begin(), connecting.end(), "pier side 7"), 1);
    h.reply(identifyReply({}));
    h.tick(kIdentifyDelayTicks);
    for (const Bytes& r : {query03Reply({}), query02Reply({}), axisReply({}), motorReply({}),
                           formatReply({}), calibrationReply({})})
        h.reply(r);
    h.take();
    h.gotoTarget(11, 0);  // east, d = 1: flip recommended
    h.request(buildMeridianFlipChoiceMessage, 2);
    Lines flip = h.take();
    EXPECT_EQ(flip.front(), "flip query 3");
    EXPECT_EQ(std::count(flip.begin(), flip.end(), "pier side 4"), 1);
    for (int pass = 0; pass < 2; ++pass) {
        h.reply(replyFrame({0x25}));
        h.tick(kPollDelayTicks);
        h.reply(pollReply(0, 0));
    }
    Lines end = h.take();
    EXPECT_EQ(end, (Lines{kPoll, end[1], kPoll, "pier side 6", "status 13"}));
}

}  // namespace
}  // namespace zr8::test
