// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/telescope_device.h"

#include <cmath>

#include "link/positioning.h"
#include "link/wire.h"

namespace zr8::alpaca {

using mount::SkyPosition;

TelescopeDevice::TelescopeDevice(mount::MountSession& session, mount::SiteClock& clock,
                                 iZR6Control& link, PortCatalogue& ports, Timing timing)
    : session_(session), clock_(clock), ports_(ports), timing_(timing) {
    session_.attach(&link);
}

TelescopeDevice::~TelescopeDevice() { session_.attach(nullptr); }

void TelescopeDevice::setLine(const std::string& port, uint32_t baudRate) {
    std::lock_guard guard(lock_);
    port_ = port;
    baud_ = baudRate;
}

void TelescopeDevice::setSite(double latitude, double longitude, double elevation) {
    std::lock_guard guard(lock_);
    latitude_ = latitude;
    elevation_ = elevation;
    clock_.setLongitude(longitude);
}

void TelescopeDevice::setFlipPolicy(mount::FlipPolicy policy) {
    std::lock_guard guard(lock_);
    session_.setFlipPolicy(policy);
}

Outcome TelescopeDevice::refusalLocked(const char* why) const {
    if (!state_.ready || phase_ != LinkPhase::Connected)
        return Outcome::failure(ErrorNotConnected, "The ZR8 is not connected.");
    return Outcome::failure(ErrorInvalidOperation, why);
}

Outcome TelescopeDevice::startConnectLocked() {
    if (phase_ != LinkPhase::Closed) return {};
    if (port_.empty()) {
        return Outcome::failure(ErrorUnspecified,
                                "No serial port is set: choose the ZR8's port on the setup page "
                                "or with --serial-port.");
    }
    uint8_t number = 0;
    for (const PortEntry& entry : ports_.entries())
        if (entry.kind == PortKind::Provided && entry.description == port_) number = entry.number;
    if (number == 0) number = ports_.addDevicePath(port_);
    if (number == 0) {
        return Outcome::failure(ErrorUnspecified,
                                "No port number is free for " + port_ + ". Nothing has been sent.");
    }
    if (const char* why = session_.connect(number, baud_))
        return Outcome::failure(ErrorUnspecified, why);
    phase_ = LinkPhase::Connecting;
    awaitingPosition_ = false;
    connectFailure_.clear();
    lineFailure_.clear();
    connectDeadline_ = Clock::now() + timing_.connectLimit;
    return {};
}

Outcome TelescopeDevice::connect() {
    std::lock_guard guard(lock_);
    return startConnectLocked();
}

Outcome TelescopeDevice::connectAndWait() {
    std::unique_lock guard(lock_);
    if (Outcome started = startConnectLocked(); !started.ok()) return started;
    changed_.wait(guard, [&] { return phase_ != LinkPhase::Connecting || shutDown_; });
    if (phase_ == LinkPhase::Connected) return {};
    if (shutDown_) return Outcome::failure(ErrorUnspecified, "The server is shutting down.");
    return Outcome::failure(ErrorUnspecified, connectFailure_.empty()
                                                  ? "The ZR8 could not be connected."
                                                  : connectFailure_);
}

void TelescopeDevice::disconnect() {
    std::lock_guard guard(lock_);
    if (phase_ == LinkPhase::Closed) return;
    // A mount left moving with nobody to stop it: stopped first.
    if (movingLocked()) session_.abort();
    abortMotionLocked();
    session_.disconnect();
    ++closesAsked_;
    phase_ = LinkPhase::Closed;
    connectFailure_ = "Disconnected.";
    changed_.notify_all();
}

bool TelescopeDevice::awaitLineClosed(Clock::duration limit) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, limit,
                             [&] { return state_.line.state != LineState::Open && !state_.ready; });
}

mount::SkyPosition TelescopeDevice::positionLocked(bool& valid) const {
    valid = true;
    // The link reads no position during a slew.
    if (gotoActive_ || targetStandsIn_) return gotoTarget_;
    const AxisReading& axes = state_.axes;
    valid = axes.valid != 0;
    if (!valid) return {};
    // Axes standing still point at a sky turning under them; tracking or
    // moving axes were read at their own time.
    const bool still = !state_.tracking && !moving_[0] && !moving_[1];
    const long double lst = still ? clock_.localSiderealTime() : state_.axesSiderealTime;
    const int32_t side = axes.pierState;
    const bool west = side == static_cast<int32_t>(PierState::West) ||
                      side == static_cast<int32_t>(PierState::FlipToWest);
    return mount::axesToSky(axes.raSteps, axes.decSteps, west, lst,
                            mount::axisScaleOf(state_.mount));
}

TelescopeView TelescopeDevice::view() const {
    std::lock_guard guard(lock_);
    TelescopeView v;
    v.connected = phase_ == LinkPhase::Connected;
    v.connecting = phase_ == LinkPhase::Connecting;
    v.slewing = movingLocked();
    v.tracking = state_.tracking;
    v.position = positionLocked(v.havePosition);
    v.pierState = state_.pierState;
    v.mount = state_.mount;
    v.targetRa = targetRa_;
    v.targetDec = targetDec_;
    v.latitude = latitude_;
    v.longitude = clock_.longitude();
    v.elevation = elevation_;
    return v;
}

Outcome TelescopeDevice::takeSlewFailure() {
    std::lock_guard guard(lock_);
    if (slewFailure_.empty()) return {};
    Outcome failure = Outcome::failure(ErrorUnspecified, slewFailure_);
    slewFailure_.clear();
    return failure;
}

void TelescopeDevice::setTarget(std::optional<double> ra, std::optional<double> dec) {
    std::lock_guard guard(lock_);
    if (ra) targetRa_ = ra;
    if (dec) targetDec_ = dec;
}

Outcome TelescopeDevice::slewTo(const SkyPosition& sky) {
    std::lock_guard guard(lock_);
    if (phase_ != LinkPhase::Connected) return refusalLocked("");
    moving_ = {false, false};
    slewFailure_.clear();
    if (const char* why = session_.slewTo(sky)) return refusalLocked(why);
    gotoActive_ = true;
    gotoTarget_ = sky;
    return {};
}

void TelescopeDevice::endSyncLocked(Outcome result) {
    sync_.pending = false;
    sync_.result = std::move(result);
}

Outcome TelescopeDevice::syncTo(const SkyPosition& sky) {
    std::unique_lock guard(lock_);
    if (phase_ != LinkPhase::Connected) return refusalLocked("");
    if (movingLocked())
        return Outcome::failure(ErrorInvalidOperation,
                                "The mount is moving: sync when Slewing is false.");
    if (sync_.pending) return Outcome::failure(ErrorInvalidOperation, "Another sync is under way.");
    if (const char* why = session_.syncTo(sky)) return refusalLocked(why);
    sync_ = SyncWait{true, sky, Clock::now() + timing_.syncLimit, {}};
    changed_.wait(guard, [&] { return !sync_.pending || shutDown_; });
    if (sync_.pending) {
        sync_.pending = false;
        return Outcome::failure(ErrorUnspecified, "The server is shutting down.");
    }
    return sync_.result;
}

Outcome TelescopeDevice::abort() {
    std::lock_guard guard(lock_);
    if (phase_ != LinkPhase::Connected) return refusalLocked("");
    session_.abort();
    abortMotionLocked();
    return {};
}

void TelescopeDevice::abortMotionLocked() {
    if (gotoActive_) {
        targetStandsIn_ = true;
        session_.requestPosition();
    }
    gotoActive_ = false;
    moving_ = {false, false};
}

Outcome TelescopeDevice::moveAxis(int axis, double degreesPerSecond) {
    std::lock_guard guard(lock_);
    if (phase_ != LinkPhase::Connected) return refusalLocked("");
    const size_t a = axis == 0 ? 0 : 1;
    if (gotoActive_) {
        // A move under a followed slew would be undone by its correction pass.
        session_.abort();
        abortMotionLocked();
    }
    if (degreesPerSecond == 0) {
        session_.stopMove(axis == 0 ? DirectionWest : DirectionNorth);
        moving_[a] = false;
        return {};
    }
    const double speed = std::abs(degreesPerSecond);
    for (const AxisRate& rate : axisRatesOf(state_.mount, axis)) {
        if (std::abs(rate.degreesPerSecond - speed) > 1e-6 * rate.degreesPerSecond) continue;
        const uint8_t direction = axis == 0
                                      ? (degreesPerSecond > 0 ? DirectionWest : DirectionEast)
                                      : (degreesPerSecond > 0 ? DirectionNorth : DirectionSouth);
        if (const char* why = session_.startMove(direction, rate.rateIndex))
            return refusalLocked(why);
        moving_[a] = true;
        return {};
    }
    return Outcome::failure(ErrorInvalidValue, "Rate " + std::to_string(degreesPerSecond) +
                                                   " is not one of this axis's AxisRates.");
}

Outcome TelescopeDevice::setTracking(bool on) {
    std::lock_guard guard(lock_);
    if (phase_ != LinkPhase::Connected) return refusalLocked("");
    if (const char* why = session_.setTracking(on)) return refusalLocked(why);
    state_.tracking = on;  // the session has it; service() would copy it later
    return {};
}

int TelescopeDevice::destinationSideOf(const SkyPosition& sky) const {
    std::lock_guard guard(lock_);
    const auto pier = static_cast<PierState>(state_.pierState);
    const double d = meridianOffsetHours(sky.raHours, clock_.localSiderealTime());
    GotoDecision decision = decideGoto(pier, d);
    if (decision.flipCase == FlipCaseNone) return decision.westSide ? 1 : 0;
    const uint16_t choice = mount::flipAnswer(session_.flipPolicy(), decision.flipCase);
    return applyFlipChoice(pier, choice).westSide ? 1 : 0;
}

void TelescopeDevice::shutdown() {
    std::lock_guard guard(lock_);
    shutDown_ = true;
    changed_.notify_all();
}

}  // namespace zr8::alpaca
