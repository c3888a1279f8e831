// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The requests a ready link executes (codes 4 to 16), each turned into its
// state change and its frame, and the replies that answer them: an encoder
// reading, a calibration write, a store. Moves and positioning go on to
// Positioner; manual movement to its speed curve.

#include <cstddef>
#include <cstdint>

#include "link/link_context.h"
#include "link/positioner.h"

namespace zr8 {

class RequestDispatcher {
public:
    RequestDispatcher(LinkContext& link, Positioner& positioner)
        : link_(link), positioner_(positioner) {}

    // One request message (header, code, arguments) while the link is ready.
    // Arguments past `length` read as 0.
    void dispatch(const uint8_t* message, size_t length);

    // True in the states whose reply answers one of these requests.
    static bool awaits(LinkState state);
    void onReply(const uint8_t* frame);
    // One heartbeat: a position read left unanswered is given up.
    void onTick();

private:
    LinkContext& link_;
    Positioner& positioner_;
    uint8_t readSelector_ = 0;  // which read the last read-encoders request asked for
    int32_t axisReadTicks_ = 0;
};

}  // namespace zr8
