// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The connect sequence: identify the controller, wait two ticks, then read
// its whole configuration with six queries, one after the other, and report
// it. One table drives both what is sent in each state and how its reply is
// read. A budget of 40 ticks covers the whole sequence.

#include <cstddef>
#include <cstdint>

#include "link/link_context.h"

namespace zr8 {

class ConnectSequence {
public:
    explicit ConnectSequence(LinkContext& link) : link_(link) {}

    // Forgets the last calibration, arms the time-out and sends the
    // identify frame.
    void begin();

    // True in the states whose reply belongs to the sequence.
    static bool awaits(LinkState state);

    // One reply. Ready once the configuration has been reported; ClosePort
    // when the controller is not a ZR8.
    LinkResult onReply(const uint8_t* frame, size_t length);

    // The query of a state the delay after identify has just entered.
    void sendQuery(LinkState state) const;

    // Counts the budget down; ClosePort on the tick that exhausts it while
    // the sequence still runs.
    LinkResult onTick();

private:
    LinkContext& link_;
    int32_t ticksLeft_ = 0;
};

}  // namespace zr8
