// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controller link's logic, free of threads and devices: everything the
// link's worker does with its request-pipe byte stream. A router: it cuts the
// stream into messages, runs the connect and disconnect procedures itself and
// hands the rest to its rooms: requests to RequestDispatcher, replies to the
// room that awaits them (ConnectSequence, RequestDispatcher, Positioner),
// ticks to the connect time-out and the delays.
//
// Threading: exactly one thread (the link's worker) calls into it; listener
// and transport calls happen on that thread, synchronously, from inside the
// call that caused them.
//
// Failures are status codes through the listener, never exceptions. Nothing
// is allocated after construction.

#include <cstddef>
#include <cstdint>

#include "link/connect_sequence.h"
#include "link/link_context.h"
#include "link/message_collector.h"
#include "link/positioner.h"
#include "link/reply_assembler.h"
#include "link/request_dispatcher.h"

namespace zr8 {

class LinkEngine {
public:
    // Takes the eight format bytes of `initialFormat` (fields 1 to 8) only.
    LinkEngine(iNotificationListener& listener, iLinkTransport& transport, const iSkyClock& clock,
               const EncoderConfig& initialFormat);
    LinkEngine(const LinkEngine&) = delete;
    LinkEngine& operator=(const LinkEngine&) = delete;

    // The request-pipe byte stream, in any slicing; each message is acted on
    // as soon as it is complete.
    void feedPipeBytes(const uint8_t* bytes, size_t count);

    // Teardown: closes an open port without telling the listener.
    void closeQuietly();

private:
    void process(const uint8_t* message, size_t length);
    void connectProcedure(uint8_t portNumber, uint32_t baudRate);
    void disconnectProcedure();
    void closePort();
    void act(LinkResult result);

    LinkResult onSerialData(const uint8_t* bytes, size_t count);
    LinkResult onReply(const uint8_t* frame, size_t length);
    LinkResult onTick();

    LinkContext link_;
    MessageCollector collector_;
    ReplyAssembler assembler_;
    int32_t quietTicks_ = 0;  // ticks without a byte while a reply is half received
    // A request went out while another's reply was awaited: that reply
    // comes first, known by its command byte, and goes to its request.
    LinkState displaced_ = LinkState::Idle;
    uint8_t displacedCommand_ = 0;

    Positioner positioner_{link_};
    ConnectSequence connectSequence_{link_};
    RequestDispatcher requests_{link_, positioner_};

    bool portOpen_ = false;
    bool linkReady_ = false;      // the connect sequence completed on this opening
    uint8_t portGeneration_ = 0;  // counts openings; port-lost notices name one
    ConnectionInfo connection_;
};

}  // namespace zr8
