// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the link is waiting for, and the clock it counts in: heartbeat ticks
// of 250 ms. Every room of the link's logic reads and sets the same state,
// on the worker thread only.

#include <cstdint>

namespace zr8 {

// The reply the link is waiting for. Replies carry no type the link looks
// at; this state says how the next one is read.
enum class LinkState : int32_t {
    NeverConnected = 0,
    Idle = 2,
    Delay = 3,  // waiting Sequencer::delayTicks, then Sequencer::next's request
    IdentifySent = 4,
    Query03Sent = 5,
    Query02Sent = 6,
    AxisQuerySent = 7,
    MotorQuerySent = 8,
    FormatQuerySent = 9,
    CalibrationQuerySent = 10,
    ReadEncodersSent = 11,
    ReadEncodersQuietSent = 12,  // its reply is not evaluated
    MoveSent = 14,
    PollDue = 15,  // passing, straight on to PollSent
    PollSent = 16,
    AxisPositionsSent = 18,
    CalibrationWriteSent = 19,
    StoreSettingsSent = 20,
    AxisReadSent = 21,  // a front end's position read (0x1F), not a side-of-pier move
};

// What the worker must do after a reply or a tick.
enum class LinkResult : int32_t {
    None = 0,
    Ready = 1,      // the connect sequence completed
    ClosePort = 2,  // the controller was rejected or did not answer
};

inline constexpr int32_t kTicksPerSecond = 4;
inline constexpr int32_t kConnectTimeoutTicks = 40;
inline constexpr int32_t kIdentifyDelayTicks = 2;
inline constexpr int32_t kPollDelayTicks = 8;
// A reply that has stopped arriving for this many ticks is given up; so is
// one that a new request finds silent for one tick fewer (a whole tick's
// length, far beyond the longest reply's time on the line).
inline constexpr int32_t kReplyGapTicks = 3;
inline constexpr int kConnectPauseMs = 500;
// A position read whose reply has not come in this many ticks is given up,
// so that a lost reply cannot keep the link from further reads.
inline constexpr int32_t kAxisReadTicks = 4;

struct Sequencer {
    LinkState state = LinkState::NeverConnected;
    LinkState next = LinkState::Idle;
    int32_t delayTicks = 0;

    // Waits `ticks` heartbeats, then enters `then` and sends its request.
    void waitThen(LinkState then, int32_t ticks) {
        next = then;
        delayTicks = ticks;
        state = LinkState::Delay;
    }

    // One tick of a delay; true when it ran out and `state` is now the state
    // whose request is due.
    bool tickDelay() {
        if (state != LinkState::Delay) return false;
        if (delayTicks > 0) --delayTicks;
        if (delayTicks != 0) return false;
        state = next;
        next = LinkState::Idle;
        return true;
    }
};

}  // namespace zr8
