// SPDX-License-Identifier: GPL-3.0-or-later
#include "mount/mount_session.h"

#include <cstdio>

#include "link/positioning.h"
#include "link/status_codes.h"
#include "link/wire.h"

namespace zr8::mount {

MountSession::MountSession(SiteClock& clock, iMountObserver* observer)
    : clock_(clock), observer_(observer) {}

void MountSession::queueLocked(MountEventKind kind, int32_t value, int32_t detail) {
    if (count_ == kEventCapacity) {
        head_ = (head_ + 1) % kEventCapacity;
        --count_;
        dropped_ = true;
    }
    events_[(head_ + count_) % kEventCapacity] = {kind, value, detail};
    ++count_;
}

void MountSession::tell() {
    if (observer_) observer_->onMountEvent();
}

size_t MountSession::service(MountEvent* out, size_t capacity, MountState& state) {
    size_t taken = 0;
    {
        std::lock_guard guard(lock_);
        if (dropped_ && taken < capacity) {
            out[taken++] = {MountEventKind::Lost, 0, 0};
            dropped_ = false;
        }
        while (count_ > 0 && taken < capacity) {
            out[taken++] = events_[head_];
            head_ = (head_ + 1) % kEventCapacity;
            --count_;
        }
        state = state_;
    }
    for (size_t i = 0; i < taken; ++i) {
        if (out[i].kind != MountEventKind::FlipAnswered) continue;
        if (out[i].value == FlipCaseUnsettled) {
            // A flip was under way: the link takes the goto not, and the flip
            // completes to the target it already had.
            std::lock_guard guard(lock_);
            state_.target = previousTarget_;
            state.target = previousTarget_;
        }
        out[i].detail = flipAnswer(policy_, out[i].value);
        if (link_) link_->meridianFlipChoice(static_cast<uint16_t>(out[i].detail));
    }
    return taken;
}

MountState MountSession::snapshot() const {
    std::lock_guard guard(lock_);
    return state_;
}

const char* MountSession::refuse(const char* text) {
    std::snprintf(message_, sizeof message_, "%s", text);
    return message_;
}

bool MountSession::readyForMotion(const char*& refusal) {
    refusal = nullptr;
    if (!link_) {
        refusal = refuse("No link. Nothing has been sent.");
    } else if (!snapshot().ready) {
        refusal = refuse("The ZR8 is not connected. Nothing has been sent.");
    }
    return refusal == nullptr;
}

const char* MountSession::connect(uint8_t portNumber, uint32_t baudRate) {
    if (baudRate != 9600 && baudRate != 115200) {
        std::snprintf(message_, sizeof message_,
                      "Baud rate %u: the ZR8 speaks 9600 or 115200 baud. Nothing has been sent.",
                      static_cast<unsigned>(baudRate));
        return message_;
    }
    if (!link_) return refuse("No link. Nothing has been sent.");
    link_->connect(portNumber, baudRate);
    return nullptr;
}

void MountSession::disconnect() {
    if (link_) link_->disconnect();
}

const char* MountSession::slewTo(const SkyPosition& sky) {
    if (skyPositionError(sky, message_, sizeof message_)) return message_;
    const char* refusal = nullptr;
    if (!readyForMotion(refusal)) return refusal;
    {
        std::lock_guard guard(lock_);
        previousTarget_ = state_.target;
        state_.haveTarget = true;
        state_.target = {normalizedHours(sky.raHours), sky.decDegrees};
        state_.slewing = true;
    }
    link_->gotoPosition(raArcsecOf(sky.raHours), decArcsecOf(sky.decDegrees));
    return nullptr;
}

const char* MountSession::syncTo(const SkyPosition& sky) {
    if (skyPositionError(sky, message_, sizeof message_)) return message_;
    const char* refusal = nullptr;
    if (!readyForMotion(refusal)) return refusal;
    if (snapshot().slewing) return refuse("The mount is slewing: sync when it is Ready.");
    link_->syncPosition(raArcsecOf(sky.raHours), decArcsecOf(sky.decDegrees));
    link_->readAxisPositions();
    return nullptr;
}

void MountSession::abort() {
    if (!link_) return;
    {
        std::lock_guard guard(lock_);
        state_.slewing = false;
    }
    link_->abortMotion();
}

const char* MountSession::startMove(uint8_t direction, int rate) {
    const char* refusal = nullptr;
    if (!readyForMotion(refusal)) return refusal;
    if (rate < 0 || rate >= kSlewRateCount) return refuse("No such slew rate.");
    const MountState state = snapshot();
    // A manual move under a followed slew would be undone by its correction pass.
    if (state.slewing) abort();
    link_->manualMove(direction, slewRates(state.mount)[static_cast<size_t>(rate)].speedStep);
    return nullptr;
}

void MountSession::stopMove(uint8_t direction) {
    if (link_) link_->stopMotion(direction);
}

const char* MountSession::setTracking(bool on) {
    const char* refusal = nullptr;
    if (!readyForMotion(refusal)) return refusal;
    {
        std::lock_guard guard(lock_);
        state_.tracking = on;
    }
    link_->setTracking(on ? kTrackingOn : kTrackingOff);
    return nullptr;
}

void MountSession::requestPosition() {
    const MountState state = snapshot();
    if (link_ && state.ready && !state.slewing) link_->readAxisPositions();
}

bool MountSession::settlePierSideFromAxes() {
    const MountState state = snapshot();
    if (!link_ || !state.ready || state.slewing || !state.axes.valid) return false;
    const PierState side = pierSideOfAxes(state.axes.decSteps);
    if (side == PierState::Unknown || static_cast<int32_t>(side) == state.pierState) return false;
    link_->setPierSide(static_cast<uint8_t>(side));
    return true;
}

bool MountSession::skyPosition(const MountState& state, SkyPosition& sky) const {
    if (state.slewing && state.haveTarget) {
        sky = state.target;
        return true;
    }
    if (!state.axes.valid) return false;
    sky = axesToSky(state.axes.raSteps, state.axes.decSteps,
                    state.axes.pierState == static_cast<int32_t>(PierState::West) ||
                        state.axes.pierState == static_cast<int32_t>(PierState::FlipToWest),
                    state.axesSiderealTime, axisScaleOf(state.mount));
    return true;
}

void MountSession::onStatus(int32_t statusCode) {
    {
        std::lock_guard guard(lock_);
        state_.lastStatus = statusCode;
        switch (statusCode) {
        case StatusPositioning:
            state_.slewing = true;
            break;
        case StatusReady:
            state_.slewing = false;
            break;
        case StatusConnectionClosed:
        case StatusCannotOpenPort:
        case StatusCannotConnect:
        case StatusNotSupportedDevice:
        case StatusConnectionLost:
        case StatusNotConnectedYet:
            state_.ready = false;
            state_.slewing = false;
            break;
        default:
            break;
        }
        queueLocked(MountEventKind::Status, statusCode);
    }
    tell();
}

void MountSession::onConfiguration(int32_t statusCode, int32_t, const MountConfig& mount,
                                   const EncoderConfig& encoder) {
    {
        std::lock_guard guard(lock_);
        state_.mount = mount;
        state_.encoder = encoder;
        state_.ready = true;
        state_.slewing = false;
        state_.tracking = false;
        state_.axes = AxisReading{};
        state_.lastStatus = statusCode;
        queueLocked(MountEventKind::Configuration, statusCode);
    }
    tell();
}

void MountSession::onMeridianFlipQuery(int32_t flipCase) {
    {
        std::lock_guard guard(lock_);
        queueLocked(MountEventKind::FlipAnswered, flipCase);
    }
    tell();
}

void MountSession::onPositions(const EncoderPositions& positions) {
    {
        std::lock_guard guard(lock_);
        state_.encoders = positions;
        queueLocked(MountEventKind::Encoders, 0);
    }
    tell();
}

void MountSession::onConnection(const ConnectionInfo& connection) {
    {
        std::lock_guard guard(lock_);
        state_.line = connection;
        if (connection.state != LineState::Open) {
            state_.ready = false;
            state_.slewing = false;
        }
        queueLocked(MountEventKind::Line, static_cast<int32_t>(connection.state));
    }
    tell();
}

void MountSession::onAxisPositions(const AxisReading& reading) {
    const long double lst = clock_.localSiderealTime();
    {
        std::lock_guard guard(lock_);
        state_.axes = reading;
        state_.axesSiderealTime = lst;
        queueLocked(MountEventKind::Axes, 0);
    }
    tell();
}

void MountSession::onPierSide(int32_t pierState) {
    {
        std::lock_guard guard(lock_);
        state_.pierState = pierState;
        queueLocked(MountEventKind::PierSide, pierState);
    }
    tell();
}

}  // namespace zr8::mount
