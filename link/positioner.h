// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Positioning to a sky position, the side-of-pier move and the meridian
// flip: a unit that keeps which side of the pier the telescope is on, the
// target, and whether the correction pass has been made. It follows each
// move to its end by polling the controller every 8 ticks.

#include <cstddef>
#include <cstdint>

#include "link/link_context.h"
#include "link/positioning.h"

namespace zr8 {

class Positioner {
public:
    explicit Positioner(LinkContext& link) : link_(link) {}

    // A new connection: the telescope is taken to be on the east side.
    void reset();

    PierState pierState() const { return pierState_; }

    // Request 9: set the axis counters for one side (selectors 1 and 3), or
    // read them and turn half a turn to the other side (2 and 4).
    void pierSideMove(uint8_t selector);
    // Request 15: slew to a sky position given in arcseconds, or ask the
    // operator first when a flip is recommended, needed or under way.
    void startPositioning(int32_t raArcsec, int32_t decArcsec);
    // Request 16 with a non-zero choice: slew to the last target with or
    // without the flip.
    void startMeridianFlip(uint16_t choice);

    // Request 18: sets the axis counters to where the sky position lies on
    // the current side; true when sent. Refused (status 10) while a move is
    // followed, a flip is under way, or after a flip stopped half done until
    // the next slew (the counters may lie in the other side's range then):
    // the counters must not change under a move nor be set for a side they
    // are not on.
    bool sync(int32_t raArcsec, int32_t decArcsec);
    // Request 19: stops both axes and ends the move being followed, so no
    // correction pass starts them again; then "Ready". A flip stopped half
    // done counts as not made: the side is the one it started from.
    void abort();
    // One heartbeat: an acknowledgement or poll reply that has not come for
    // kPollDelayTicks is asked for with a poll, and a move followed beyond
    // slewLimitTicks is stopped as by abort and reported with status 19.
    void onTick();
    // Request 20: the side the front end found (6 west, 7 east), taken
    // unless a move is followed or a flip is under way (else status 10):
    // the side decides how the next goto and sync count.
    void settleSide(uint8_t pierState);

    // True in the states whose reply belongs to a move.
    static bool awaits(LinkState state);
    void onReply(const uint8_t* frame);
    // The delay after a move has run out: ask how it goes.
    void sendPoll();
    // A move's reply or delay is awaited.
    bool following() const;

private:
    enum class MoveKind { Slew, HalfTurn };

    void startFollowing();
    void stopFollowing();
    void slew(bool westSide, double meridianOffset);
    void recomputeRaTarget();
    void onAxisPositions(const uint8_t* frame);
    void onMotionStatus(const uint8_t* frame);
    void sendMove();
    void finishMove();
    void setPierState(PierState state);
    AxisTargets targetsAt(bool westSide, double d, double decDegrees) const;

    LinkContext& link_;
    PierState pierState_ = PierState::Unknown;
    double targetRaHours_ = 0.0;
    double targetDecDegrees_ = 0.0;
    AxisTargets targets_;
    bool targetWestSide_ = false;
    MoveKind moveKind_ = MoveKind::Slew;
    bool corrected_ = false;
    bool sideUncertain_ = false;  // a flip was stopped half done; no slew since
    int32_t limitTicks_ = 0;      // of the move being followed
    int32_t followedTicks_ = 0;
    int32_t silentTicks_ = 0;  // since the last move or poll went out
};

}  // namespace zr8
