// SPDX-License-Identifier: GPL-3.0-or-later
// The telescope's other half: what it makes of the link's reports (through
// the session) and of the time passing, on the pump thread.
#include "link/status_codes.h"
#include "ui/alpaca/telescope_device.h"
#include "ui/rules/main_dialog_fields.h"

namespace zr8::alpaca {

namespace {

using mount::SkyPosition;

// A sync is confirmed by a reading this close to the synced position.
constexpr double kSyncToleranceDegrees = 1.0 / 60;

bool closesLine(int32_t code) {
    switch (code) {
    case StatusConnectionClosed:
    case StatusCannotOpenPort:
    case StatusCannotConnect:
    case StatusNotSupportedDevice:
    case StatusConnectionLost:
        return true;
    default:
        return false;
    }
}

}  // namespace

void TelescopeDevice::service() {
    std::lock_guard guard(lock_);
    mount::MountEvent events[mount::MountSession::kEventCapacity];
    const size_t n = session_.service(events, std::size(events), state_);
    for (size_t i = 0; i < n; ++i) {
        const mount::MountEvent& e = events[i];
        switch (e.kind) {
        case mount::MountEventKind::Status:
            onStatusLocked(e.value);
            break;
        case mount::MountEventKind::Line:
            if (state_.line.state == LineState::OpenFailed)
                lineFailure_ = rules::openFailureText(state_.line);
            break;
        case mount::MountEventKind::Configuration:
            if (phase_ == LinkPhase::Connecting) {
                // The controller does not say whether it tracks: it is made
                // to match what Tracking will say.
                session_.setTracking(false);
                awaitingPosition_ = true;
                session_.requestPosition();
                lastPoll_ = Clock::now();
            }
            break;
        case mount::MountEventKind::Axes:
            onAxesLocked();
            break;
        case mount::MountEventKind::SlewEnded:
            if (gotoActive_) slewEndedLocked(e.value);
            break;
        case mount::MountEventKind::Lost:
            // Reports were dropped: what the session holds now decides.
            if (gotoActive_ && !state_.slewing) slewEndedLocked(StatusReady);
            break;
        default:
            break;
        }
    }
    changed_.notify_all();
}

void TelescopeDevice::lineEndedLocked(const std::string& why) {
    if (phase_ == LinkPhase::Connecting) connectFailure_ = why;
    if (movingLocked()) slewFailure_ = "The slew ended without reaching its target: " + why;
    abortMotionLocked();
    phase_ = LinkPhase::Closed;
    awaitingPosition_ = false;
    if (sync_.pending) endSyncLocked(Outcome::failure(ErrorNotConnected, why));
}

void TelescopeDevice::onStatusLocked(int32_t code) {
    // The answer to a disconnect of ours ("closed", or "not connected" when
    // the port was not open yet) says nothing about a newer connection.
    if (closesAsked_ > 0 && (code == StatusConnectionClosed || code == StatusNotConnectedYet)) {
        --closesAsked_;
        return;
    }
    if (closesLine(code)) {
        std::string why = statusText(code) ? statusText(code) : "The line closed.";
        if (code == StatusCannotOpenPort && !lineFailure_.empty()) why += " " + lineFailure_;
        if (phase_ != LinkPhase::Closed) lineEndedLocked(why);
        return;
    }
    switch (code) {
    case StatusNotConnectedYet:
        if (gotoActive_) {
            slewFailure_ = "The ZR8 was not ready: the slew did not start.";
            abortMotionLocked();
        }
        if (sync_.pending)
            endSyncLocked(Outcome::failure(ErrorNotConnected, "The ZR8 was not ready."));
        break;
    case StatusCommunicationError:
        // The link refuses a sync only under a move or a flip, or after a
        // flip stopped half done.
        if (sync_.pending)
            endSyncLocked(Outcome::failure(
                ErrorInvalidOperation,
                "The ZR8 refused the sync: the mount is moving or its side of the pier is "
                "not settled. Slew to a target first."));
        break;
    default:
        break;
    }
}

void TelescopeDevice::slewEndedLocked(int32_t code) {
    if (code != StatusReady) {
        const char* text = statusText(code);
        slewFailure_ = text ? text : "The slew failed.";
        abortMotionLocked();
        return;
    }
    gotoActive_ = false;
    targetStandsIn_ = true;
    session_.requestPosition();
}

void TelescopeDevice::onAxesLocked() {
    targetStandsIn_ = false;
    if (awaitingPosition_ && phase_ == LinkPhase::Connecting) {
        awaitingPosition_ = false;
        phase_ = LinkPhase::Connected;
    }
    bool valid = false;
    const SkyPosition at = positionLocked(valid);
    if (sync_.pending && valid && separationDegrees(at, sync_.target) <= kSyncToleranceDegrees)
        endSyncLocked({});
}

void TelescopeDevice::tick(Clock::time_point now) {
    std::lock_guard guard(lock_);
    if (phase_ == LinkPhase::Connecting && now > connectDeadline_) {
        session_.disconnect();
        ++closesAsked_;
        lineEndedLocked("The ZR8 did not complete the connection in time.");
    }
    if (sync_.pending && now > sync_.deadline)
        endSyncLocked(Outcome::failure(ErrorUnspecified, "The ZR8 did not confirm the sync."));
    const bool reading = phase_ == LinkPhase::Connected || awaitingPosition_;
    const Clock::duration period = movingLocked() ? timing_.movingPollPeriod : timing_.pollPeriod;
    if (reading && !gotoActive_ && now - lastPoll_ >= period) {
        session_.requestPosition();
        lastPoll_ = now;
    }
    changed_.notify_all();
}

}  // namespace zr8::alpaca
