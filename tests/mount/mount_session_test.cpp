// SPDX-License-Identifier: GPL-3.0-or-later
// The session over the link: its state from the link's reports, the flip
// answers it sends, and the commands it refuses before anything is sent.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "link/positioning.h"
#include "link/status_codes.h"
#include "link/wire.h"
#include "mount/mount_session.h"
#include "tests/support/recording_link.h"

namespace zr8::mount {
namespace {

struct Wakes : iMountObserver {
    void onMountEvent() override { ++count; }
    int count = 0;
};

struct Session {
    SiteClock clock;
    Wakes wakes;
    test::RecordingLink link;
    MountSession session{clock, &wakes};

    Session() { session.attach(&link); }
    void configure() {
        MountConfig mount;
        mount.raMicrostepResolution = mount.decMicrostepResolution = 1728000;
        mount.raBaseSpeed = 1000;
        mount.raMaxSpeed = 1000000;
        session.onConfiguration(StatusConnected, 1, mount, EncoderConfig{});
        events();
    }
    std::vector<MountEvent> events() {
        MountEvent out[MountSession::kEventCapacity + 1];
        MountState state;
        const size_t n = session.service(out, std::size(out), state);
        return {out, out + n};
    }
};

TEST(MountSession, RefusesBeforeSendingAnything) {
    Session s;
    EXPECT_NE(s.session.slewTo({1, 0}), nullptr);  // not connected
    s.configure();
    for (const SkyPosition bad : {SkyPosition{25, 0}, SkyPosition{1, 91}}) {
        EXPECT_NE(s.session.slewTo(bad), nullptr);
        EXPECT_NE(s.session.syncTo(bad), nullptr);
    }
    const char* baud = s.session.connect(3, 4800);
    ASSERT_NE(baud, nullptr);
    EXPECT_NE(std::string(baud).find("4800"), std::string::npos);
    EXPECT_EQ(s.link.calls, std::vector<std::string>{});
    EXPECT_EQ(s.session.connect(3, 9600), nullptr);
    EXPECT_EQ(s.link.calls, std::vector<std::string>{"connect 3 9600"});
}

TEST(MountSession, SlewingFromGotoUntilReadyShowsTheTarget) {
    Session s;
    s.configure();
    ASSERT_EQ(s.session.slewTo({12.5, -45.5}), nullptr);
    EXPECT_EQ(s.link.calls, std::vector<std::string>{"gotoPosition 675000 -163800"});
    MountState state = s.session.snapshot();
    EXPECT_TRUE(state.slewing);
    SkyPosition sky;
    ASSERT_TRUE(s.session.skyPosition(state, sky));
    EXPECT_DOUBLE_EQ(sky.raHours, 12.5);
    s.link.calls.clear();
    s.session.requestPosition();  // not while slewing
    EXPECT_EQ(s.link.calls, std::vector<std::string>{});
    s.session.onStatus(StatusPositioning);
    s.session.onStatus(StatusReady);
    EXPECT_FALSE(s.session.snapshot().slewing);
    s.session.requestPosition();
    EXPECT_EQ(s.link.calls, std::vector<std::string>{"readAxisPositions"});
}

TEST(MountSession, FailuresEndSlewingAndReadiness) {
    for (const int32_t code :
         {StatusConnectionLost, StatusConnectionClosed, StatusNotConnectedYet}) {
        Session s;
        s.configure();
        s.session.slewTo({1, 1});
        s.session.onStatus(code);
        const MountState state = s.session.snapshot();
        EXPECT_FALSE(state.slewing) << code;
        EXPECT_FALSE(state.ready) << code;
    }
}

TEST(MountSession, FlipQuestionsAnsweredByPolicyOnTheFrontEndsThread) {
    for (const FlipPolicy policy : {FlipPolicy::FlipWhenRecommended, FlipPolicy::StayWhenAllowed}) {
        for (const int32_t flipCase : {FlipCaseEastNear, FlipCaseEastFar}) {
            Session s;
            s.configure();
            s.session.setFlipPolicy(policy);
            s.session.slewTo({1, 1});
            s.link.calls.clear();
            s.session.onMeridianFlipQuery(flipCase);
            EXPECT_EQ(s.link.calls, std::vector<std::string>{}) << "not on the link's thread";
            const std::vector<MountEvent> events = s.events();
            ASSERT_EQ(events.size(), 1u);
            EXPECT_EQ(events[0].kind, MountEventKind::FlipAnswered);
            const bool stay = policy == FlipPolicy::StayWhenAllowed && flipCase == FlipCaseEastNear;
            EXPECT_EQ(s.link.calls, std::vector<std::string>{stay ? "meridianFlipChoice 1"
                                                                  : "meridianFlipChoice 2"});
        }
    }
}

// A question asked for a goto aborted or replaced since is not answered: the
// answer would reach the link after the abort and start that slew.
TEST(MountSession, OnlyTheNewestGotoStillWantedHasItsFlipQuestionAnswered) {
    Session s;
    s.configure();
    s.session.slewTo({1, 1});
    s.session.abort();
    s.session.slewTo({2, 2});
    s.session.slewTo({3, 3});
    s.link.calls.clear();
    for (int i = 0; i < 3; ++i) s.session.onMeridianFlipQuery(FlipCaseEastNear);
    const std::vector<MountEvent> events = s.events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].detail, FlipChoiceCancel);
    EXPECT_EQ(events[1].detail, FlipChoiceCancel);
    EXPECT_EQ(events[2].detail, FlipChoiceWithFlip);
    EXPECT_EQ(s.link.calls, std::vector<std::string>{"meridianFlipChoice 2"});
}

// Readies the link sends before the wanted slew has started (a stop's, an
// earlier slew's end) leave it slewing.
TEST(MountSession, SlewingEndsOnlyWithTheReadyOfTheSlewWanted) {
    Session s;
    s.configure();
    s.session.stopMove(DirectionNorth);
    s.session.slewTo({1, 1});
    s.session.onStatus(StatusReady);  // the stop's
    s.session.onStatus(StatusPositioning);
    s.session.slewTo({2, 2});
    s.session.onStatus(StatusReady);  // the first slew ended before the second reached the link
    EXPECT_TRUE(s.session.snapshot().slewing);
    s.session.onStatus(StatusPositioning);
    s.session.onStatus(StatusReady);
    EXPECT_FALSE(s.session.snapshot().slewing);
    const std::vector<MountEvent> events = s.events();
    EXPECT_EQ(
        std::count_if(events.begin(), events.end(),
                      [](const MountEvent& e) { return e.kind == MountEventKind::SlewEnded; }),
        1);
}

// The link takes no new target while a flip is under way: the flip is
// completed, then the goto goes out again.
TEST(MountSession, AGotoDuringAFlipIsSentAgainOnceTheFlipHasEnded) {
    Session s;
    s.configure();
    s.session.slewTo({1, 1});
    s.session.onMeridianFlipQuery(FlipCaseEastNear);
    s.events();
    s.session.onStatus(StatusPositioning);
    s.session.slewTo({2, 2});
    s.session.onMeridianFlipQuery(FlipCaseUnsettled);
    s.link.calls.clear();
    s.events();
    EXPECT_EQ(s.link.calls, std::vector<std::string>{"meridianFlipChoice 2"});
    s.session.onStatus(StatusPositioning);
    s.session.onStatus(StatusReady);  // the flip's end
    s.events();
    EXPECT_TRUE(s.session.snapshot().slewing);
    EXPECT_EQ(s.link.calls.back(), "gotoPosition 108000 7200");
    s.session.onStatus(StatusPositioning);
    s.session.onStatus(StatusReady);
    EXPECT_FALSE(s.session.snapshot().slewing);
}

TEST(MountSession, AnOverdueSlewEndsAsAFailure) {
    Session s;
    s.configure();
    s.session.slewTo({1, 1});
    s.session.onStatus(StatusPositioning);
    s.session.onStatus(StatusSlewOverdue);
    EXPECT_FALSE(s.session.snapshot().slewing);
    const std::vector<MountEvent> events = s.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, MountEventKind::SlewEnded);
    EXPECT_EQ(events.back().value, StatusSlewOverdue);
}

TEST(MountSession, NoSyncAfterAFlipStoppedHalfDoneUntilTheNextSlew) {
    Session s;
    s.configure();
    s.session.onPierSide(static_cast<int32_t>(PierState::FlipToWest));
    s.session.onPierSide(static_cast<int32_t>(PierState::East));
    s.link.calls.clear();
    EXPECT_NE(s.session.syncTo({1, 1}), nullptr);
    EXPECT_EQ(s.link.calls, std::vector<std::string>{});
    s.session.slewTo({1, 1});
    s.session.onStatus(StatusPositioning);
    s.session.onStatus(StatusReady);
    EXPECT_EQ(s.session.syncTo({1, 1}), nullptr);
}

TEST(MountSession, ManualMoveAbortsAFollowedSlewFirst) {
    Session s;
    s.configure();
    s.session.slewTo({1, 1});
    s.link.calls.clear();
    EXPECT_EQ(s.session.startMove(DirectionNorth, 7), nullptr);
    EXPECT_EQ(s.link.calls, (std::vector<std::string>{"abortMotion", "manualMove 0 31"}));
    EXPECT_NE(s.session.startMove(DirectionNorth, kSlewRateCount), nullptr);
}

TEST(MountSession, AReadingBecomesASkyPositionAtItsOwnTime) {
    Session s;
    s.configure();
    AxisReading reading{1, -360000, 216000, static_cast<int32_t>(PierState::East)};
    s.session.onAxisPositions(reading);
    MountState state = s.session.snapshot();
    SkyPosition sky;
    ASSERT_TRUE(s.session.skyPosition(state, sky));
    EXPECT_NEAR(sky.decDegrees, 45, 1e-9);
    EXPECT_NEAR(std::remainder(sky.raHours - double(state.axesSiderealTime) + 1, 24.0), 0, 1e-9);
}

// A connection takes the east side; counters past the pole the other way
// are the west side, and the first reading after connecting tells the link
// so (once), the pole telling nothing.
TEST(MountSession, TellsTheLinkTheSideTheFirstReadingShows) {
    const int32_t east = static_cast<int32_t>(PierState::East);
    struct Case {
        int32_t decSteps;
        std::vector<std::string> calls;
    };
    const Case cases[] = {{-216000, {"setPierSide 6"}}, {216000, {}}, {0, {}}};
    for (const Case& c : cases) {
        Session s;
        s.configure();
        s.session.onPierSide(east);
        s.session.onAxisPositions({1, -360000, c.decSteps, east});
        s.events();
        s.session.onAxisPositions({1, -360000, c.decSteps, east});
        s.events();
        EXPECT_EQ(s.link.calls, c.calls) << c.decSteps;
    }
}

TEST(MountSession, AFullQueueDropsTheOldestAndSaysSo) {
    Session s;
    for (size_t i = 0; i < MountSession::kEventCapacity + 3; ++i)
        s.session.onStatus(StatusManualMovement);
    const std::vector<MountEvent> events = s.events();
    ASSERT_EQ(events.size(), MountSession::kEventCapacity + 1);
    EXPECT_EQ(events.front().kind, MountEventKind::Lost);
    EXPECT_EQ(s.wakes.count, static_cast<int>(MountSession::kEventCapacity + 3));
}

}  // namespace
}  // namespace zr8::mount
