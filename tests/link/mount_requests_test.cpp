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
    h.readAxes();
    EXPECT_EQ(h.take(), Lines{}) << "still awaited: a busy link skips the read";
    h.tick();
    h.readAxes();
    EXPECT_EQ(h.take(), Lines{kReadFrame});
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

// A request that goes out while a position read is awaited: the read's
// reply, known by its command byte, goes to the read, and the request's own
// reply to the request.
TEST(AxisRead, ARequestOvertakingAReadGetsItsOwnReply) {
    struct Case {
        const char* name;
        void (*send)(MountLink&);
        Bytes ownReply;
        Lines afterOwnReply;
    };
    const Case cases[] = {
        {"goto", [](MountLink& h) { h.gotoTarget(9, 45); }, replyFrame({0x25}), {}},
        {"store",
         [](MountLink& h) { h.request(buildStoreSettingsMessage); },
         replyFrame({0x0D, 0}),
         {"status 17"}},
        {"encoders",
         [](MountLink& h) { h.request(buildReadEncodersMessage, uint8_t{0}); },
         encoderReply(1, 2),
         {"positions"}},
        {"calibration",
         [](MountLink& h) { h.request(buildEncoderCalibrationMessage, uint8_t{0}, 0, 0); },
         replyFrame({0x7C, 0}),
         {"status 16"}},
    };
    for (const Case& c : cases) {
        MountLink h;
        h.readAxes();
        c.send(h);
        h.take();
        h.reply(positionsReply(-432000, 216000));
        EXPECT_EQ(h.take(), Lines{"axes -432000 216000 pier 7"}) << c.name;
        h.reply(c.ownReply);
        EXPECT_EQ(h.take(), c.afterOwnReply) << c.name;
    }
    MountLink h;  // the move, acknowledged, is polled in its time
    h.readAxes();
    h.gotoTarget(9, 45);
    h.reply(positionsReply(0, 0));
    h.reply(replyFrame({0x25}));
    h.take();
    h.tick(kPollDelayTicks);
    EXPECT_EQ(h.take(), Lines{kPoll});
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

TEST(Sync, DuringAReadGoesOutAtOnceAndTheCountersAreReadAgain) {
    MountLink h;
    h.readAxes();
    h.request(buildSyncMessage, 9 * 54000, 45 * 3600);
    EXPECT_EQ(h.take(), (Lines{kReadFrame, "frame AA 0B 20 01 C0 C0 81 FA FF C0 4B 03 00"}));
    h.reply(positionsReply(0, 0));  // from before the sync
    EXPECT_EQ(h.take(), Lines{kReadFrame});
    h.reply(positionsReply(-360000, 216000));
    EXPECT_EQ(h.take(), Lines{"axes -360000 216000 pier 7"});
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

// The targets are absolute: from the side the flip started from, the next
// goto takes its own target. The counters may lie past the pole until then,
// so no sync is taken for that side.
TEST(Abort, AFlipStoppedHalfDoneLeavesTheSideItStartedFrom) {
    MountLink h;
    h.gotoTarget(11, 0);  // east, d = 1
    h.request(buildMeridianFlipChoiceMessage, 2);
    h.reply(replyFrame({0x25}));
    h.take();
    h.request(buildAbortMessage);
    EXPECT_EQ(h.take(), (Lines{"frame AA 03 21 00 C0", "pier side 7", "status 13"}));
    h.request(buildSyncMessage, 9 * 54000, 0);
    EXPECT_EQ(h.take(), Lines{"status 10"});
    h.gotoTarget(9, 45);  // east, d = -1
    EXPECT_EQ(h.take(), (Lines{"frame AA 0B 25 01 C0 C0 81 FA FF C0 4B 03 00", "status 15"}));
}

// A controller that stops answering is asked again every poll period, and
// the slew is stopped at its limit: two turns at the top speed (speed factor
// 500: 344.7 s) and a minute, 1619 ticks.
TEST(Abort, ASlewNotEndedInTimeIsStoppedAndReported) {
    MountLink h;
    h.gotoTarget(9, 45);
    h.take();
    h.tick(1618);
    const Lines waiting = h.take();
    EXPECT_EQ(waiting.size(), 1618u / kPollDelayTicks);
    EXPECT_EQ(std::count(waiting.begin(), waiting.end(), kPoll), std::ssize(waiting));
    h.tick();
    EXPECT_EQ(h.take(), (Lines{"frame AA 03 21 00 C0", "status 19"}));
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
        {"during a read", [](MountLink& h) { h.readAxes(); }, 6, {"pier side 6"}, "west"},
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
