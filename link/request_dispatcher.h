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
    // The command byte of the reply a request of this room awaits in
    // `state`, or 0 for none.
    uint8_t commandAwaited(LinkState state) const;
    // The reply to the request whose state was `answered` when another
    // request took its place; that one is awaited still.
    void onDisplacedReply(LinkState answered, const uint8_t* frame) { answer(answered, frame); }
    // One heartbeat: a position read left unanswered is given up.
    void onTick();

private:
    void answer(LinkState answered, const uint8_t* frame);
    void startAxisRead();

    LinkContext& link_;
    Positioner& positioner_;
    uint8_t readSelector_ = 0;  // which read the last read-encoders request asked for
    int32_t axisReadTicks_ = 0;
    // A sync went out after the position read under way: its reply shows the
    // counters from before, and is read again instead of being reported.
    bool readStale_ = false;
};

}  // namespace zr8
