// SPDX-License-Identifier: GPL-3.0-or-later
// Positioning: the meridian offset, the flip decision, the axis targets for
// both pier sides, and whole slews driven by replies and heartbeats.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "link/positioning.h"
#include "tests/link/link_harness.h"

namespace zr8::test {
namespace {

TEST(MeridianOffset, FoldsOnceIntoPlusMinusTwelve) {
    struct Case {
        double ra;
        long double lst;
        double d;
    };
    const Case cases[] = {
        {10, 8, 2},   {1, 23, 2},   {23, 1, -2},      {12, 0, 12}, {0, 12, -12},     {18, 0, -6},
        {0, 36, -12}, {0, 48, -24}, {6, 30.5L, -0.5}, {5, -20, 1}, {0.25, 0.25L, 0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(meridianOffsetHours(c.ra, c.lst), c.d) << c.ra << " " << double(c.lst);
    }
}

TEST(GotoDecision, PierSideAndOffsetGiveSlewOrFlipCase) {
    struct Case {
        int32_t pier;
        double d;
        int32_t flipCase;
        bool west;
    };
    const Case cases[] = {
        {7, -12, 0, false},     {7, -1, 0, false},     {7, 0, 0, false},    {7, 0.5, 3, false},
        {7, 2, 3, false},       {7, 2.0001, 5, false}, {7, 12, 5, false},   {6, 12, 0, true},
        {6, 1, 0, true},        {6, 0, 0, true},       {6, -0.5, 2, false}, {6, -2, 2, false},
        {6, -2.0001, 4, false}, {6, -12, 4, false},    {4, 0, 1, false},    {5, 0, 1, false},
        {0, 0, 1, false},
    };
    for (const Case& c : cases) {
        const GotoDecision decision = decideGoto(static_cast<PierState>(c.pier), c.d);
        EXPECT_EQ(decision.flipCase, c.flipCase) << c.pier << " " << c.d;
        if (c.flipCase == 0) {
            EXPECT_EQ(decision.westSide, c.west) << c.pier << " " << c.d;
        }
    }
}

TEST(AxisTargets, BothSidesWithTruncationTowardZero) {
    struct Case {
        bool west;
        double d, dec, raPerHour, decPerHour;
        int32_t ra, decSteps;
    };
    const Case cases[] = {
        {true, 1.5, 90, 72000, 72000, 324000, 0},
        {false, -1.5, 90, 72000, 72000, -324000, 0},
        {true, 0, 0, 72000, 72000, 432000, -432000},  // a quarter turn, opposite signs
        {false, 0, 0, 72000, 72000, -432000, 432000},
        {true, 12, -90, 72000, 72000, -432000, -864000},
        {false, 12, -90, 72000, 72000, -1296000, 864000},
        {false, 1, 45, 72000, 72000, -504000, 216000},
        {true, 0.1, 89.99, 7, 7, 41, 0},  // 41.3 and -0.0466
        {false, 0.1, 0, 7, 7, -42, 42},   // -42.7 and 42
        {true, 0, 0, 1e12, 1e12, INT32_MAX, INT32_MIN},
        {true, NAN, NAN, 72000, 72000, 0, 0},
    };
    for (const Case& c : cases) {
        const AxisTargets t = targetsForSide(c.west, c.d, c.dec, c.raPerHour, c.decPerHour);
        EXPECT_EQ(t.raSteps, c.ra) << c.west << " " << c.d << " " << c.dec;
        EXPECT_EQ(t.decSteps, c.decSteps) << c.west << " " << c.d << " " << c.dec;
    }
}

TEST(FlipChoice, WithFlipTurnsTheSettledSidesOnly) {
    struct Case {
        int32_t pier;
        uint16_t choice;
        int32_t pierAfter;
        bool west;
    };
    const Case cases[] = {
        {7, 2, 4, true}, {6, 2, 5, false}, {4, 2, 4, true},  {5, 2, 5, false},     {7, 1, 7, false},
        {6, 1, 6, true}, {4, 1, 4, true},  {5, 1, 5, false}, {7, 0x0102, 4, true}, {7, 3, 7, false},
    };
    for (const Case& c : cases) {
        const FlipChoiceOutcome outcome = applyFlipChoice(static_cast<PierState>(c.pier), c.choice);
        EXPECT_EQ(static_cast<int32_t>(outcome.pierState), c.pierAfter)
            << c.pier << " " << c.choice;
        EXPECT_EQ(outcome.westSide, c.west) << c.pier << " " << c.choice;
    }
}

// A ready link with 1728000 microsteps per turn on both axes (72000 per
// hour) and the sidereal clock at 10 h.
struct Slewing : LinkHarness {
    Slewing() {
        clock.hours = 10.0L;
        connectAndConfigure();
    }
    // Goto in hours and degrees.
    void gotoTarget(double raHours, double decDegrees) {
        request(buildGotoMessage, static_cast<int32_t>(std::lround(raHours * 54000)),
                static_cast<int32_t>(std::lround(decDegrees * 3600)));
    }
    static std::string move(int32_t ra, int32_t dec) {
        Bytes frame(13, 0);
        frame[0] = 0xAA;
        frame[1] = 0x0B;
        frame[2] = 0x25;
        frame[3] = 0x01;
        frame[4] = 0xC0;
        putWord(frame, 5, static_cast<uint32_t>(ra));
        putWord(frame, 9, static_cast<uint32_t>(dec));
        return "frame " + hex(frame);
    }
    // Acknowledge the move and wait for the poll. Lines logged before are
    // the caller's to check.
    void acknowledgeAndWait() {
        log.clear();
        reply(replyFrame({0x25}));
        tick(7);
        EXPECT_EQ(take(), Lines{});
        tick();
        EXPECT_EQ(take(), Lines{"frame AA 02 1E 01"});
    }
};

TEST(Positioning, GotoFramesAtTheBoundariesOfTheOffset) {
    struct Case {
        int32_t pier;  // side-of-pier selector: 1 east, 3 west
        double ra;     // with the clock at 10 h
        Lines expected;
    };
    const Case cases[] = {
        {1, 10, {Slewing::move(-432000, 432000), "status 15"}},  // east, d = 0
        {1, 12, {"flip query 3"}},                               // east, d = 2
        {1, 12.5, {"flip query 5"}},
        {1, 22, {"flip query 5"}},                                // d = 12 stays 12
        {1, 8.5, {Slewing::move(-324000, 432000), "status 15"}},  // east, d = -1.5
        {3, 10, {Slewing::move(432000, -432000), "status 15"}},   // west, d = 0
        {3, 8, {"flip query 2"}},                                 // west, d = -2
        {3, 7.5, {"flip query 4"}},
        {3, 22, {Slewing::move(-432000, -432000), "status 15"}},   // west, d = 12
        {3, 11.5, {Slewing::move(324000, -432000), "status 15"}},  // west, d = 1.5
    };
    for (const Case& c : cases) {
        Slewing h;
        h.request(buildPierSideMoveMessage, static_cast<uint8_t>(c.pier));
        h.take();
        h.gotoTarget(c.ra, 0);
        EXPECT_EQ(h.take(), c.expected) << c.pier << " " << c.ra;
        // A question leaves the link idle; a slew waits for its acknowledgement.
        EXPECT_EQ(h.idle(), c.expected.size() == 1) << c.pier << " " << c.ra;
    }
}

TEST(Positioning, DeclinationTargetsOnBothSides) {
    // At d = 0 the RA target is -6 h on the east side, +6 h on the west.
    for (const auto& [selector, dec, steps] : {std::tuple<uint8_t, double, int32_t>{1, 90, 0},
                                               {3, 90, 0},
                                               {1, -90, 864000},
                                               {3, -90, -864000},
                                               {1, 45, 216000},
                                               {3, 45, -216000}}) {
        Slewing h;
        h.request(buildPierSideMoveMessage, selector);
        h.take();
        h.gotoTarget(10, dec);
        const int32_t ra = selector == 1 ? -432000 : 432000;
        EXPECT_EQ(h.take(), (Lines{Slewing::move(ra, steps), "status 15"}))
            << int(selector) << " " << dec;
    }
}

TEST(Positioning, SlewPollsWhileMovingThenCorrectsOnceThenIsReady) {
    Slewing h;
    h.gotoTarget(9, 45);  // east side, d = -1
    EXPECT_EQ(h.take(), (Lines{Slewing::move(-360000, 216000), "status 15"}));
    h.acknowledgeAndWait();

    // Either axis above 2 is still moving: poll again after 8 ticks.
    for (const Bytes& moving : {pollReply(3, 0), pollReply(0, 3), pollReply(255, 255)}) {
        h.reply(moving);
        h.tick(7);
        EXPECT_EQ(h.take(), Lines{});
        h.tick();
        EXPECT_EQ(h.take(), Lines{"frame AA 02 1E 01"});
    }

    // Stopped: the sky has turned half an hour, the RA target follows.
    h.clock.hours = 10.5L;
    h.reply(pollReply(2, 1));
    EXPECT_EQ(h.take(), Lines{Slewing::move(-324000, 216000)});  // no status

    // One correction pass only.
    h.acknowledgeAndWait();
    h.reply(pollReply(0, 0));
    EXPECT_EQ(h.take(), Lines{"status 13"});
    EXPECT_TRUE(h.idle());
    EXPECT_EQ(h.pierSide(), "east");
}

TEST(Positioning, FlipFromEastEndsOnTheWestSideAfterTheCorrectionPass) {
    Slewing h;
    h.gotoTarget(11, 0);  // east side, d = 1
    EXPECT_EQ(h.take(), Lines{"flip query 3"});

    h.request(buildMeridianFlipChoiceMessage, 2);
    EXPECT_EQ(h.take(), (Lines{Slewing::move(360000, -432000), "status 15"}));
    EXPECT_EQ(h.pierSide(), "flipping");

    h.acknowledgeAndWait();
    h.reply(pollReply(0, 0));
    EXPECT_EQ(h.take(), Lines{Slewing::move(360000, -432000)});  // the correction pass
    EXPECT_EQ(h.pierSide(), "flipping");
    h.acknowledgeAndWait();
    h.reply(pollReply(0, 0));
    EXPECT_EQ(h.take(), Lines{"status 13"});
    EXPECT_EQ(h.pierSide(), "west");
}

TEST(Positioning, FlipFromWestEndsOnTheEastSide) {
    Slewing h;
    h.request(buildPierSideMoveMessage, 3);
    h.gotoTarget(9, 0);  // west side, d = -1
    h.take();
    h.request(buildMeridianFlipChoiceMessage, 0x0102);
    EXPECT_EQ(h.take(), (Lines{Slewing::move(-360000, 432000), "status 15"}));
    EXPECT_EQ(h.pierSide(), "flipping");
    h.acknowledgeAndWait();
    h.reply(pollReply(0, 0));
    EXPECT_EQ(h.take(), Lines{Slewing::move(-360000, 432000)});
    h.acknowledgeAndWait();
    h.reply(pollReply(0, 0));
    EXPECT_EQ(h.take(), Lines{"status 13"});
    EXPECT_EQ(h.pierSide(), "east");
}

TEST(Positioning, WithoutFlipStaysOnTheSide) {
    Slewing h;
    h.gotoTarget(11, 0);  // east side, d = 1: RA target -7 h
    h.take();
    h.request(buildMeridianFlipChoiceMessage, 1);
    EXPECT_EQ(h.take(), (Lines{Slewing::move(-7 * 72000, 432000), "status 15"}));
    h.acknowledgeAndWait();
    h.reply(pollReply(0, 0));
    h.acknowledgeAndWait();
    h.reply(pollReply(0, 0));
    EXPECT_EQ(h.pierSide(), "east");
}

TEST(Positioning, CancelDoesNothing) {
    Slewing h;
    h.gotoTarget(11, 0);
    h.take();
    h.request(buildMeridianFlipChoiceMessage, 0);
    h.request(buildMeridianFlipChoiceMessage, 0x0100);
    EXPECT_EQ(h.take(), Lines{});
    EXPECT_TRUE(h.idle());
}

TEST(Positioning, GotoDuringAFlipAsksCaseOneAndKeepsTheTarget) {
    Slewing h;
    h.gotoTarget(11, 10);
    h.request(buildMeridianFlipChoiceMessage, 2);  // flip under way: pier 4
    h.take();
    h.gotoTarget(3, 20);
    EXPECT_EQ(h.take(), Lines{"flip query 1"});
    // Choosing the flip now slews to the stored target, 11 h and 10 degrees,
    // still westwards.
    h.request(buildMeridianFlipChoiceMessage, 2);
    EXPECT_EQ(h.take(), (Lines{Slewing::move(360000, -384000), "status 15"}));
    EXPECT_EQ(h.pierSide(), "flipping");
}

TEST(Positioning, StopDoesNotEndTheSequencing) {
    Slewing h;
    h.gotoTarget(9, 0);
    h.acknowledgeAndWait();
    h.request(buildStopMessage, 4);
    EXPECT_EQ(h.take(), (Lines{"frame AA 03 21 00 C0", "status 13"}));
    h.reply(pollReply(0, 0));
    EXPECT_EQ(h.take(), Lines{Slewing::move(-360000, 432000)});  // the correction still runs
}

TEST(Positioning, FormatOrMotorRequestEndsTheFollowing) {
    for (int which = 0; which < 2; ++which) {
        Slewing h;
        h.gotoTarget(11, 0);
        h.request(buildMeridianFlipChoiceMessage, 2);
        if (which == 0) {
            h.request(buildMotorReverseMessage, 1, 0);
        } else {
            const uint8_t format[8] = {};
            h.request(buildEncoderFormatMessage, format);
        }
        h.take();
        h.reply(replyFrame({0x25}));
        h.tick(20);
        EXPECT_EQ(h.take(), Lines{});
        EXPECT_TRUE(h.idle());
        EXPECT_EQ(h.pierSide(), "flipping");
    }
}

TEST(Positioning, NewGotoDuringASlewRestartsFromTheMove) {
    Slewing h;
    h.gotoTarget(9, 0);
    h.acknowledgeAndWait();
    h.gotoTarget(8.5, 0);
    EXPECT_EQ(h.take(), (Lines{Slewing::move(-324000, 432000), "status 15"}));
    // The new slew gets its own correction pass.
    h.acknowledgeAndWait();
    h.reply(pollReply(0, 0));
    EXPECT_EQ(h.take(), Lines{Slewing::move(-324000, 432000)});
}

TEST(Positioning, ManualMoveDuringASlewLeavesTheSequencing) {
    Slewing h;
    h.gotoTarget(9, 0);
    h.reply(replyFrame({0x25}));
    h.request(buildManualMoveMessage, 2, 5);
    h.take();
    h.tick(8);
    EXPECT_EQ(h.take(), Lines{"frame AA 02 1E 01"});
}

TEST(Positioning, TargetsBeyondThirtyTwoBitsAreHeld) {
    ControllerFigures f;
    f.raMicrostepResolution = 0xFFFFFFFF;
    LinkHarness h;
    h.clock.hours = 10.0L;
    h.connectAndConfigure(f);
    h.request(buildPierSideMoveMessage, 3);
    h.request(buildGotoMessage, INT32_MAX, INT32_MIN);  // far beyond a single fold
    h.take();
    h.request(buildMeridianFlipChoiceMessage, 1);
    const Lines lines = h.take();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 32), "frame AA 0B 25 01 C0 00 00 00 80") << "RA held at INT32_MIN";
}

}  // namespace
}  // namespace zr8::test
