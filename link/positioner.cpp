// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/positioner.h"

#include "link/frames.h"
#include "link/reply_decode.h"
#include "link/status_codes.h"
#include "link/wire.h"

namespace zr8 {

namespace {

constexpr uint8_t kArgOne = 0x01;

double stepsPerHour(uint32_t microstepsPerTurn) { return microstepsPerTurn / 24.0; }

}  // namespace

void Positioner::reset() {
    // Told even when unchanged: a front end learns the side of each connection.
    pierState_ = PierState::East;
    sideUncertain_ = false;
    link_.listener.onPierSide(static_cast<int32_t>(pierState_));
}

void Positioner::setPierState(PierState state) {
    if (state == pierState_) return;
    pierState_ = state;
    link_.listener.onPierSide(static_cast<int32_t>(state));
}

AxisTargets Positioner::targetsAt(bool westSide, double d, double decDegrees) const {
    return targetsForSide(westSide, d, decDegrees, stepsPerHour(link_.mount.raMicrostepResolution),
                          stepsPerHour(link_.mount.decMicrostepResolution));
}

void Positioner::pierSideMove(uint8_t selector) {
    const uint32_t quarterRa = link_.mount.raMicrostepResolution >> 2;
    const uint32_t quarterDec = link_.mount.decMicrostepResolution >> 2;
    switch (selector) {
    case 1:  // east side: the meridian at declination 0 seen from the east
        setPierState(PierState::East);
        sideUncertain_ = false;
        sendCommandBBWW(link_.transport, CmdSetAxisPositions, kArgOne, kAxisBoth, 0u - quarterRa,
                        quarterDec);
        break;
    case 2:
        setPierState(PierState::FlipToEast);
        startFollowing();
        link_.seq.state = LinkState::AxisPositionsSent;
        sendCommandBB(link_.transport, CmdReadAxisPositions, kArgOne, kAxisBoth);
        break;
    case 3:  // west side: the same point seen from the west
        setPierState(PierState::West);
        sideUncertain_ = false;
        sendCommandBBWW(link_.transport, CmdSetAxisPositions, kArgOne, kAxisBoth, quarterRa,
                        0u - quarterDec);
        break;
    case 4:
        setPierState(PierState::FlipToWest);
        startFollowing();
        link_.seq.state = LinkState::AxisPositionsSent;
        sendCommandBB(link_.transport, CmdReadAxisPositions, kArgOne, kAxisBoth);
        break;
    default:
        break;
    }
}

void Positioner::startPositioning(int32_t raArcsec, int32_t decArcsec) {
    if (pierState_ != PierState::East && pierState_ != PierState::West) {
        // A flip is under way; the new target is not taken.
        link_.listener.onMeridianFlipQuery(FlipCaseUnsettled);
        return;
    }
    targetRaHours_ = raArcsec / kArcsecPerRaHour;
    targetDecDegrees_ = decArcsec / kArcsecPerDegree;
    const double d = meridianOffsetHours(targetRaHours_, link_.clock.localSiderealTime());
    const GotoDecision decision = decideGoto(pierState_, d);
    if (decision.flipCase != FlipCaseNone) {
        link_.listener.onMeridianFlipQuery(decision.flipCase);
        return;
    }
    slew(decision.westSide, d);
}

void Positioner::startMeridianFlip(uint16_t choice) {
    const FlipChoiceOutcome outcome = applyFlipChoice(pierState_, choice);
    setPierState(outcome.pierState);
    slew(outcome.westSide, meridianOffsetHours(targetRaHours_, link_.clock.localSiderealTime()));
}

bool Positioner::sync(int32_t raArcsec, int32_t decArcsec) {
    if (following() || sideUncertain_ ||
        (pierState_ != PierState::East && pierState_ != PierState::West)) {
        link_.listener.onStatus(StatusCommunicationError);
        return false;
    }
    const double d =
        meridianOffsetHours(raArcsec / kArcsecPerRaHour, link_.clock.localSiderealTime());
    const AxisTargets at =
        targetsAt(pierState_ == PierState::West, d, decArcsec / kArcsecPerDegree);
    // No reply comes to this frame, so it may go out while another reply is
    // awaited.
    sendCommandBBWW(link_.transport, CmdSetAxisPositions, kArgOne, kAxisBoth,
                    static_cast<uint32_t>(at.raSteps), static_cast<uint32_t>(at.decSteps));
    return true;
}

void Positioner::abort() {
    stopFollowing();
    link_.listener.onStatus(StatusReady);
}

void Positioner::onTick() {
    if (!following()) return;
    if (++followedTicks_ >= limitTicks_) {
        stopFollowing();
        link_.listener.onStatus(StatusSlewOverdue);
        return;
    }
    // A reply lost on the line, or a controller gone quiet: ask again rather
    // than wait for ever.
    const LinkState state = link_.seq.state;
    if ((state == LinkState::MoveSent || state == LinkState::PollSent) &&
        ++silentTicks_ >= kPollDelayTicks)
        sendPoll();
}

bool Positioner::following() const {
    const LinkState state = link_.seq.state;
    return awaits(state) || state == LinkState::PollDue ||
           (state == LinkState::Delay && link_.seq.next == LinkState::PollDue);
}

void Positioner::startFollowing() {
    limitTicks_ = slewLimitTicks(link_.mount);
    followedTicks_ = 0;
    silentTicks_ = 0;
}

void Positioner::stopFollowing() {
    sendCommandBB(link_.transport, CmdStopAxes, 0x00, kAxisBoth);
    if (following()) link_.seq.state = LinkState::Idle;
    // The axis targets are absolute: from the side the flip started from,
    // the next slew drives both axes back into that side's range, so every
    // later target agrees with its side's formulas. Until then the counters
    // may lie past the pole, so no sync is taken for this side.
    if (pierState_ == PierState::FlipToWest || pierState_ == PierState::FlipToEast) {
        setPierState(pierState_ == PierState::FlipToWest ? PierState::East : PierState::West);
        sideUncertain_ = true;
    }
}

void Positioner::settleSide(uint8_t pierState) {
    const auto side = static_cast<PierState>(pierState);
    const bool settled = pierState_ == PierState::East || pierState_ == PierState::West;
    // A read under way is answered by the side the counters are counted on
    // then; only a move or a flip must not change sides under it.
    const bool moving = following() && link_.seq.state != LinkState::AxisPositionsSent;
    if (moving || !settled || (side != PierState::East && side != PierState::West)) {
        link_.listener.onStatus(StatusCommunicationError);
        return;
    }
    setPierState(side);
}

bool Positioner::awaits(LinkState state) {
    return state == LinkState::MoveSent || state == LinkState::PollSent ||
           state == LinkState::AxisPositionsSent;
}

void Positioner::onReply(const uint8_t* frame) {
    switch (link_.seq.state) {
    case LinkState::MoveSent:  // acknowledged: look again in a while
        link_.seq.waitThen(LinkState::PollDue, kPollDelayTicks);
        break;
    case LinkState::PollSent:
        onMotionStatus(frame);
        break;
    case LinkState::AxisPositionsSent:
        onAxisPositions(frame);
        break;
    default:
        break;
    }
}

void Positioner::sendPoll() {
    link_.seq.state = LinkState::PollSent;
    silentTicks_ = 0;
    sendCommandB(link_.transport, CmdPollMotion, kArgOne);
}

void Positioner::slew(bool westSide, double d) {
    targets_ = targetsAt(westSide, d, targetDecDegrees_);
    targetWestSide_ = westSide;
    moveKind_ = MoveKind::Slew;
    corrected_ = false;
    sideUncertain_ = false;
    startFollowing();
    sendMove();
    link_.listener.onStatus(StatusPositioning);
}

void Positioner::recomputeRaTarget() {
    // The sky has turned while the axes moved.
    const double d = meridianOffsetHours(targetRaHours_, link_.clock.localSiderealTime());
    targets_.raSteps = targetsAt(targetWestSide_, d, targetDecDegrees_).raSteps;
}

void Positioner::sendMove() {
    link_.seq.state = LinkState::MoveSent;
    silentTicks_ = 0;
    sendCommandBBWW(link_.transport, CmdPositionAxes, kArgOne, kAxisBoth,
                    static_cast<uint32_t>(targets_.raSteps),
                    static_cast<uint32_t>(targets_.decSteps));
}

void Positioner::onMotionStatus(const uint8_t* frame) {
    if (anyAxisMoving(frame)) {
        link_.seq.waitThen(LinkState::PollDue, kPollDelayTicks);
        return;
    }
    if (moveKind_ == MoveKind::Slew && !corrected_) {
        recomputeRaTarget();
        corrected_ = true;
        sendMove();
        return;
    }
    finishMove();
}

void Positioner::finishMove() {
    if (pierState_ == PierState::FlipToEast) setPierState(PierState::East);
    if (pierState_ == PierState::FlipToWest) setPierState(PierState::West);
    link_.seq.state = LinkState::Idle;
    link_.listener.onStatus(StatusReady);
}

void Positioner::onAxisPositions(const uint8_t* frame) {
    const AxisPositions at = decodeAxisPositions(frame);
    // Half a turn away on RA, mirrored on Dec; 32-bit wrap-around as the
    // controller counts.
    const uint32_t halfTurn = link_.mount.raMicrostepResolution >> 1;
    targets_.raSteps = static_cast<int32_t>(pierState_ == PierState::FlipToEast ? at.ra - halfTurn
                                                                                : at.ra + halfTurn);
    targets_.decSteps = static_cast<int32_t>(0u - at.dec);
    moveKind_ = MoveKind::HalfTurn;
    corrected_ = false;
    sendMove();
}

}  // namespace zr8
