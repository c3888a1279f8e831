// SPDX-License-Identifier: GPL-3.0-or-later
// The telescope over the session, fed the link's reports by hand: when
// Slewing ends, which flip questions are answered, how a sync ends, a goto
// during a flip, and the rates MoveAxis takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "link/positioning.h"
#include "link/status_codes.h"
#include "link/wire.h"
#include "tests/support/recording_link.h"
#include "ui/alpaca/telescope_device.h"

namespace zr8::alpaca {
namespace {

using namespace std::chrono_literals;

// The recording link, safe to read while another thread sends.
class LockedLink final : public iZR6Control {
public:
    size_t count(const std::string& prefix) {
        std::lock_guard guard(lock_);
        return std::count_if(inner_.calls.begin(), inner_.calls.end(),
                             [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    }
    std::string last() {
        std::lock_guard guard(lock_);
        return inner_.calls.empty() ? "" : inner_.calls.back();
    }
    // Waits for `n` calls starting with `prefix`.
    bool await(const std::string& prefix, size_t n) {
        for (auto until = std::chrono::steady_clock::now() + 5s; count(prefix) < n;) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    void onHeartBeat() override {}
    void connect(uint8_t p, uint32_t b) override {
        locked([&](auto& l) { l.connect(p, b); });
    }
    void disconnect() override {
        locked([](auto& l) { l.disconnect(); });
    }
    void storeSettings() override {
        locked([](auto& l) { l.storeSettings(); });
    }
    void manualMove(uint8_t d, uint8_t s) override {
        locked([&](auto& l) { l.manualMove(d, s); });
    }
    void stopMotion(uint8_t s) override {
        locked([&](auto& l) { l.stopMotion(s); });
    }
    void setTracking(uint8_t on) override {
        locked([&](auto& l) { l.setTracking(on); });
    }
    void pierSideMove(uint8_t s) override {
        locked([&](auto& l) { l.pierSideMove(s); });
    }
    void gotoPosition(int32_t r, int32_t d) override {
        locked([&](auto& l) { l.gotoPosition(r, d); });
    }
    void meridianFlipChoice(uint16_t c) override {
        locked([&](auto& l) { l.meridianFlipChoice(c); });
    }
    void setMotorReverse(uint8_t b, uint8_t o) override {
        locked([&](auto& l) { l.setMotorReverse(b, o); });
    }
    void setEncoderFormat(const uint8_t (&f)[8]) override {
        locked([&](auto& l) { l.setEncoderFormat(f); });
    }
    void setEncoderCalibration(uint8_t b, int32_t r, int32_t d) override {
        locked([&](auto& l) { l.setEncoderCalibration(b, r, d); });
    }
    void readEncoders(uint8_t s) override {
        locked([&](auto& l) { l.readEncoders(s); });
    }
    void readEncodersQuiet(uint8_t p) override {
        locked([&](auto& l) { l.readEncodersQuiet(p); });
    }
    void sendReserved(uint32_t a, uint32_t b) override {
        locked([&](auto& l) { l.sendReserved(a, b); });
    }
    void readAxisPositions() override {
        locked([](auto& l) { l.readAxisPositions(); });
    }
    void syncPosition(int32_t r, int32_t d) override {
        locked([&](auto& l) { l.syncPosition(r, d); });
    }
    void abortMotion() override {
        locked([](auto& l) { l.abortMotion(); });
    }
    void setPierSide(uint8_t pierState) override {
        locked([pierState](auto& l) { l.setPierSide(pierState); });
    }

private:
    template <typename Call>
    void locked(Call call) {
        std::lock_guard guard(lock_);
        call(inner_);
    }

    std::mutex lock_;
    test::RecordingLink inner_;
};

MountConfig zr8Mount(uint32_t speedFactor = 1000) {
    MountConfig m;
    m.raMicrostepResolution = m.decMicrostepResolution = 1728000;
    m.raBaseSpeed = m.decBaseSpeed = 1000;
    m.raSpeedFactor = m.decSpeedFactor = speedFactor;
    m.raMaxSpeed = m.decMaxSpeed = 1000 * speedFactor;
    return m;
}

// A connected telescope whose link reports come from the test.
struct Rig {
    mount::SiteClock clock;
    mount::MountSession session{clock, nullptr};
    LockedLink link;
    PortCatalogue ports{PortCatalogue::DeviceScanner{}};
    TelescopeDevice device{session, clock, link, ports, {10s, 5s, 1h, 1h}};

    Rig() {
        device.setLine("/dev/ttyZR8", 115200);
        EXPECT_TRUE(device.connect().ok());
        ConnectionInfo line;
        line.state = LineState::Open;
        session.onConnection(line);
        session.onConfiguration(StatusConnected, 1, zr8Mount(), EncoderConfig{});
        session.onPierSide(static_cast<int32_t>(PierState::East));
        device.service();
        read({12, 45});
        EXPECT_TRUE(device.view().connected);
        EXPECT_TRUE(device.setTracking(true).ok());
    }
    void report(int32_t status) {
        session.onStatus(status);
        device.service();
    }
    void side(PierState pier) {
        session.onPierSide(static_cast<int32_t>(pier));
        device.service();
    }
    // The counters of `sky` on the east side now, as a reading.
    void read(const mount::SkyPosition& sky) {
        const AxisTargets at =
            mount::skyToAxes(sky, false, clock.localSiderealTime(), mount::axisScaleOf(zr8Mount()));
        session.onAxisPositions(
            {1, at.raSteps, at.decSteps, static_cast<int32_t>(PierState::East)});
        device.service();
    }
    double hoursFromMeridian(double ha) const {
        return mount::normalizedHours(clock.localSiderealTime() - ha);
    }
};

TEST(TelescopeDevice, SlewingLastsUntilTheReadyOfThatSlew) {
    Rig rig;
    ASSERT_TRUE(rig.device.slewTo({rig.hoursFromMeridian(1), 20}).ok());
    EXPECT_TRUE(rig.device.view().slewing) << "before the reply goes out";
    rig.report(StatusReady);  // an earlier stop's, still in the pipe
    EXPECT_TRUE(rig.device.view().slewing);
    rig.report(StatusPositioning);
    EXPECT_TRUE(rig.device.view().slewing);
    rig.report(StatusReady);
    EXPECT_FALSE(rig.device.view().slewing);
}

TEST(TelescopeDevice, AFlipQuestionIsAnsweredOnlyForASlewStillWanted) {
    for (const bool aborted : {false, true}) {
        Rig rig;
        ASSERT_TRUE(rig.device.slewTo({rig.hoursFromMeridian(-1), 20}).ok());
        if (aborted) {
            ASSERT_TRUE(rig.device.abort().ok());
        }
        rig.session.onMeridianFlipQuery(FlipCaseEastNear);
        rig.device.service();
        EXPECT_EQ(rig.link.count("meridianFlipChoice"), aborted ? 0u : 1u) << "aborted " << aborted;
    }
}

TEST(TelescopeDevice, AFailureAfterTheSlewWasAcceptedIsToldOnceBySlewing) {
    for (const int32_t status : {StatusNotConnectedYet, StatusConnectionLost, StatusSlewOverdue}) {
        Rig rig;
        ASSERT_TRUE(rig.device.slewTo({rig.hoursFromMeridian(1), 20}).ok());
        rig.report(StatusPositioning);
        rig.report(status);
        EXPECT_FALSE(rig.device.view().slewing) << status;
        EXPECT_EQ(rig.device.takeSlewFailure().error, ErrorUnspecified) << status;
        EXPECT_TRUE(rig.device.takeSlewFailure().ok()) << status;
    }
}

TEST(TelescopeDevice, ASyncEndsWithTheNewPositionOrAtOnceWithTheRefusal) {
    for (const bool refused : {false, true}) {
        Rig rig;
        const mount::SkyPosition sky{rig.hoursFromMeridian(1), 45};
        std::future<Outcome> synced =
            std::async(std::launch::async, [&] { return rig.device.syncTo(sky); });
        ASSERT_TRUE(rig.link.await("syncPosition", 1));
        EXPECT_EQ(synced.wait_for(0s), std::future_status::timeout) << "not before the reading";
        if (refused)
            rig.report(StatusCommunicationError);
        else
            rig.read(sky);
        EXPECT_EQ(synced.get().ok(), !refused);
        EXPECT_EQ(rig.link.count("syncPosition"), 1u);
        if (refused) continue;
        const TelescopeView v = rig.device.view();
        EXPECT_NEAR(v.position.raHours * 15 * 3600, sky.raHours * 15 * 3600, 10);
        EXPECT_NEAR(v.position.decDegrees * 3600, sky.decDegrees * 3600, 10);
    }
}

TEST(TelescopeDevice, AGotoDuringAFlipEndsTheFlipThenGoesOn) {
    Rig rig;
    ASSERT_TRUE(rig.device.slewTo({rig.hoursFromMeridian(-1), 20}).ok());
    rig.session.onMeridianFlipQuery(FlipCaseEastNear);
    rig.side(PierState::FlipToWest);
    rig.report(StatusPositioning);
    const size_t gotos = rig.link.count("gotoPosition");

    // The link takes no new target during a flip: it finishes the old one.
    ASSERT_TRUE(rig.device.slewTo({rig.hoursFromMeridian(-3), 30}).ok());
    rig.session.onMeridianFlipQuery(FlipCaseUnsettled);
    rig.device.service();
    EXPECT_EQ(rig.link.count("meridianFlipChoice"), 2u);
    rig.report(StatusPositioning);
    rig.side(PierState::West);
    rig.report(StatusReady);
    EXPECT_EQ(rig.link.count("gotoPosition"), gotos + 2) << "sent again once the flip ended";
    EXPECT_TRUE(rig.device.view().slewing);
    rig.report(StatusPositioning);
    rig.report(StatusReady);
    EXPECT_FALSE(rig.device.view().slewing);
}

TEST(TelescopeDevice, DestinationSideOfPierIsTheFlipDecisionUnderThePolicy) {
    struct Case {
        PierState pier;
        mount::FlipPolicy policy;
        double hourAngle;
        int side;
    };
    using P = mount::FlipPolicy;
    const Case cases[] = {
        {PierState::East, P::FlipWhenRecommended, 2, 0},
        {PierState::East, P::FlipWhenRecommended, -2, 1},
        {PierState::East, P::StayWhenAllowed, -1.5, 0},
        {PierState::East, P::StayWhenAllowed, -3, 1},
        {PierState::West, P::FlipWhenRecommended, 1.5, 0},
        {PierState::West, P::StayWhenAllowed, 1.5, 1},
        {PierState::West, P::StayWhenAllowed, -3, 1},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.side(c.pier);
        rig.device.setFlipPolicy(c.policy);
        EXPECT_EQ(rig.device.destinationSideOf({rig.hoursFromMeridian(c.hourAngle), 30}), c.side)
            << "pier " << static_cast<int>(c.pier) << " hour angle " << c.hourAngle;
    }
}

TEST(TelescopeDevice, AxisRatesArePositiveAndDistinctAndMoveAxisTakesOnlyThem) {
    for (const uint32_t factor : {1000u, 4u, 1u}) {  // 4 and 1: a flat curve
        for (int axis : {0, 1}) {
            const std::vector<AxisRate> rates = axisRatesOf(zr8Mount(factor), axis);
            ASSERT_FALSE(rates.empty());
            for (size_t i = 0; i < rates.size(); ++i) {
                EXPECT_GT(rates[i].degreesPerSecond, 0);
                for (size_t j = 0; j < i; ++j)
                    EXPECT_NE(rates[i].degreesPerSecond, rates[j].degreesPerSecond);
            }
        }
    }
    Rig rig;
    const std::vector<AxisRate> rates = axisRatesOf(zr8Mount(), 0);
    ASSERT_TRUE(rig.device.moveAxis(0, -rates[1].degreesPerSecond).ok());
    EXPECT_EQ(rig.link.last().rfind("manualMove 3 ", 0), 0u) << rig.link.last();  // east
    EXPECT_TRUE(rig.device.view().slewing);
    EXPECT_TRUE(rig.device.view().tracking) << "MoveAxis leaves Tracking alone";
    EXPECT_EQ(rig.device.moveAxis(0, rates[0].degreesPerSecond * 1.5).error, ErrorInvalidValue);
    ASSERT_TRUE(rig.device.moveAxis(0, 0).ok());
    EXPECT_EQ(rig.link.last(), "stopMotion 2");
    EXPECT_FALSE(rig.device.view().slewing);
}

}  // namespace
}  // namespace zr8::alpaca
