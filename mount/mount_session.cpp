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
    }
    for (size_t i = 0; i < taken; ++i) {
        if (out[i].kind != MountEventKind::FlipAnswered) continue;
        // Answered only for the newest goto, and not after an abort: an
        // answer reaching the link later would start a slew nobody wants.
        const auto answers = static_cast<uint32_t>(out[i].detail);
        bool wanted = false;
        {
            std::lock_guard guard(lock_);
            wanted = link_ && state_.slewing && answers != 0 && answers > voidUpTo_ &&
                     answers == requestsSent_;
            if (wanted) {
                ++requestsSent_;
                // The link keeps the flip's target: this goto follows it.
                if (out[i].value == FlipCaseUnsettled) chainAfterFlip_ = true;
            }
        }
        out[i].detail = wanted ? flipAnswer(policy_, out[i].value) : uint16_t{FlipChoiceCancel};
        if (wanted) link_->meridianFlipChoice(static_cast<uint16_t>(out[i].detail));
    }
    bool firstReading = false;
    {
        std::lock_guard guard(lock_);
        firstReading = !sideSettled_ && state_.ready && state_.axes.valid;
        if (firstReading) sideSettled_ = true;
    }
    if (firstReading) settlePierSideFromAxes();
    SkyPosition chained;
    bool sendChained = false;
    {
        std::lock_guard guard(lock_);
        if (chainDue_ && link_) {
            chainDue_ = false;
            sendChained = true;
            chained = state_.target;
            ++requestsSent_;
        }
        state = state_;
    }
    if (sendChained)
        link_->gotoPosition(raArcsecOf(chained.raHours), decArcsecOf(chained.decDegrees));
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
        state_.haveTarget = true;
        state_.target = {normalizedHours(sky.raHours), sky.decDegrees};
        state_.slewing = true;
        ++requestsSent_;
        chainAfterFlip_ = chainDue_ = false;
    }
    link_->gotoPosition(raArcsecOf(sky.raHours), decArcsecOf(sky.decDegrees));
    return nullptr;
}

const char* MountSession::syncTo(const SkyPosition& sky) {
    if (skyPositionError(sky, message_, sizeof message_)) return message_;
    const char* refusal = nullptr;
    if (!readyForMotion(refusal)) return refusal;
    bool slewing = false, flipStopped = false;
    {
        std::lock_guard guard(lock_);
        slewing = state_.slewing;
        flipStopped = flipStopped_;
    }
    if (slewing) return refuse("The mount is slewing: sync when it is Ready.");
    // Its counters may lie past the pole, in the other side's range.
    if (flipStopped)
        return refuse(
            "A meridian flip was stopped half done: slew to a target before syncing. Nothing "
            "has been sent.");
    link_->syncPosition(raArcsecOf(sky.raHours), decArcsecOf(sky.decDegrees));
    link_->readAxisPositions();
    return nullptr;
}

void MountSession::abort() {
    if (!link_) return;
    {
        std::lock_guard guard(lock_);
        state_.slewing = false;
        voidUpTo_ = requestsSent_;
        ++readiesOwed_;
        chainAfterFlip_ = chainDue_ = false;
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
    if (!link_) return;
    {
        std::lock_guard guard(lock_);
        ++readiesOwed_;
    }
    link_->stopMotion(direction);
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

void MountSession::forgetSlewsLocked() {
    state_.slewing = false;
    answersSeen_ = voidUpTo_ = requestsSent_;
    readiesOwed_ = 0;
    chainAfterFlip_ = chainDue_ = false;
}

bool MountSession::slewEndedLocked(int32_t statusCode) {
    // Stops and aborts are answered at once, in order with everything else.
    if (statusCode == StatusReady && readiesOwed_ > 0) {
        --readiesOwed_;
        return false;
    }
    // The wanted slew has not reached the link yet: an earlier one ended.
    if (answersSeen_ != requestsSent_ || !state_.slewing) return false;
    if (statusCode == StatusReady && chainAfterFlip_) {
        chainAfterFlip_ = false;
        chainDue_ = true;
        return false;
    }
    state_.slewing = false;
    chainAfterFlip_ = false;
    return true;
}

void MountSession::onStatus(int32_t statusCode) {
    {
        std::lock_guard guard(lock_);
        state_.lastStatus = statusCode;
        bool ended = false;
        switch (statusCode) {
        case StatusPositioning: {
            // The answer to a goto or a flip answer; one sent before an abort
            // is followed by the abort's stop.
            const bool ours = answersSeen_ != requestsSent_;
            if (ours) ++answersSeen_;
            if (!ours || answersSeen_ > voidUpTo_) {
                state_.slewing = true;
                flipStopped_ = false;
            }
            break;
        }
        case StatusReady:
        case StatusSlewOverdue:
            ended = slewEndedLocked(statusCode);
            break;
        case StatusConnectionClosed:
        case StatusCannotOpenPort:
        case StatusCannotConnect:
        case StatusNotSupportedDevice:
        case StatusConnectionLost:
        case StatusNotConnectedYet:
            state_.ready = false;
            forgetSlewsLocked();
            break;
        default:
            break;
        }
        queueLocked(MountEventKind::Status, statusCode);
        if (ended) queueLocked(MountEventKind::SlewEnded, statusCode);
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
        forgetSlewsLocked();
        flipStopped_ = false;
        sideSettled_ = false;
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
        // Which answer this is decides in service() whether it is answered.
        const bool ours = answersSeen_ != requestsSent_;
        if (ours) ++answersSeen_;
        queueLocked(MountEventKind::FlipAnswered, flipCase,
                    ours ? static_cast<int32_t>(answersSeen_) : 0);
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
            forgetSlewsLocked();
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
        // A flip that ends on the side it started from was stopped half done.
        const auto was = static_cast<PierState>(state_.pierState);
        const auto now = static_cast<PierState>(pierState);
        if ((was == PierState::FlipToWest && now == PierState::East) ||
            (was == PierState::FlipToEast && now == PierState::West))
            flipStopped_ = true;
        state_.pierState = pierState;
        queueLocked(MountEventKind::PierSide, pierState);
    }
    tell();
}

}  // namespace zr8::mount
