// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/link_engine.h"

#include "link/request_message.h"
#include "link/status_codes.h"
#include "link/wire.h"

namespace zr8 {

LinkEngine::LinkEngine(iNotificationListener& listener, iLinkTransport& transport,
                       const iSkyClock& clock, const EncoderConfig& initialFormat)
    : link_(listener, transport, clock) {
    copyFormatBytes(link_.encoder, initialFormat);
}

void LinkEngine::feedPipeBytes(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (collector_.push(bytes[i])) process(collector_.message(), collector_.length());
    }
}

void LinkEngine::process(const uint8_t* message, size_t length) {
    const size_t n = messageBodyLength(message[0]);
    switch (messageKind(message[0])) {
    case MessageKind::Heartbeat:
        if (portOpen_) act(onTick());
        break;
    case MessageKind::SerialData:
        if (portOpen_) act(onSerialData(message + 1, n));
        break;
    case MessageKind::Control:
        // Only the notice of the opening in use counts: one still in the
        // pipe from an earlier opening must not close a newer port.
        if (n >= 2 && message[1] == kControlPortLost && message[2] == portGeneration_ &&
            portOpen_) {
            closePort();
            link_.listener.onStatus(StatusConnectionLost);
        }
        break;
    case MessageKind::Request: {
        if (n == 0) break;
        const auto code = static_cast<LinkRequest>(message[1]);
        if (code < LinkRequest::Connect || code > kLastRequest) break;
        if (code == LinkRequest::Connect && n == 6) {
            connectProcedure(message[2], readU32(message + 3));
        } else if (code == LinkRequest::Disconnect) {
            disconnectProcedure();
        } else if (!linkReady_) {
            link_.listener.onStatus(StatusNotConnectedYet);
        } else {
            // Asked again after a whole tick without a byte of the reply
            // under way: that reply is dead, and its remains must not
            // swallow the new answer.
            if (assembler_.inFrame() && quietTicks_ >= kReplyGapTicks - 1) {
                assembler_.reset();
                quietTicks_ = 0;
            }
            const LinkState before = link_.seq.state;
            requests_.dispatch(message, length);
            // The reply the request took the place of still comes first. A
            // move may overtake any; the others only a front end's position
            // read, which the dialogs never send.
            const LinkState after = link_.seq.state;
            if (after != before &&
                (after == LinkState::MoveSent || before == LinkState::AxisReadSent)) {
                displaced_ = before;
                displacedCommand_ = requests_.commandAwaited(before);
            }
        }
        break;
    }
    }
}

void LinkEngine::act(LinkResult result) {
    if (result == LinkResult::Ready) linkReady_ = true;
    if (result == LinkResult::ClosePort) closePort();
}

void LinkEngine::connectProcedure(uint8_t portNumber, uint32_t baudRate) {
    if (portOpen_) {
        link_.listener.onStatus(StatusAlreadyConnected);
        return;
    }
    link_.listener.onStatus(StatusOpeningPort);
    connection_ = ConnectionInfo{};
    if (!link_.transport.openPort(portNumber, baudRate, connection_)) {
        connection_.state = LineState::OpenFailed;
        link_.listener.onConnection(connection_);
        link_.listener.onStatus(StatusCannotOpenPort);
        return;
    }
    portOpen_ = true;
    ++portGeneration_;
    link_.transport.startReader(portGeneration_);
    connection_.state = LineState::Open;
    link_.listener.onConnection(connection_);
    link_.listener.onStatus(StatusConnecting);
    // The controller needs a moment after the line opens before it listens.
    link_.transport.pause(kConnectPauseMs);
    assembler_.reset();
    positioner_.reset();
    connectSequence_.begin();
}

void LinkEngine::disconnectProcedure() {
    if (!portOpen_) {
        link_.listener.onStatus(StatusNotConnectedYet);
        return;
    }
    closePort();
    link_.listener.onStatus(StatusConnectionClosed);
}

void LinkEngine::closeQuietly() {
    if (!portOpen_) return;
    link_.transport.closePort();
    portOpen_ = false;
    linkReady_ = false;
}

void LinkEngine::closePort() {
    closeQuietly();
    connection_ = ConnectionInfo{};
    link_.listener.onConnection(connection_);
}

LinkResult LinkEngine::onSerialData(const uint8_t* bytes, size_t count) {
    // A later reply in the same chunk must not hide a finished connect
    // sequence or a rejection from the worker.
    LinkResult result = LinkResult::None;
    if (count > 0) quietTicks_ = 0;
    while (count > 0) {
        bool completed = false;
        const size_t used = assembler_.feed(bytes, count, completed);
        bytes += used;
        count -= used;
        if (completed) {
            const LinkResult replyResult = onReply(assembler_.frame(), assembler_.length());
            if (replyResult > result) result = replyResult;
        }
    }
    return result;
}

LinkResult LinkEngine::onReply(const uint8_t* frame, size_t length) {
    // The reply is read by the room that awaits it; with nothing awaited it
    // is ignored.
    const LinkState state = link_.seq.state;
    // The controller answers in order: the displaced reply is the first
    // after the move, or lost.
    const uint8_t displaced = displacedCommand_;
    displacedCommand_ = 0;
    if (displaced != 0 && length > 2 && frame[2] == displaced) {
        requests_.onDisplacedReply(displaced_, frame);
        return LinkResult::None;
    }
    if (ConnectSequence::awaits(state)) return connectSequence_.onReply(frame, length);
    if (RequestDispatcher::awaits(state)) requests_.onReply(frame);
    if (Positioner::awaits(state)) positioner_.onReply(frame);
    return LinkResult::None;
}

LinkResult LinkEngine::onTick() {
    // A reply cut short on the line is dropped after a pause that no whole
    // reply has; otherwise the next reply's bytes would complete it and be
    // taken for its data.
    if (!assembler_.inFrame()) {
        quietTicks_ = 0;
    } else if (++quietTicks_ >= kReplyGapTicks) {
        assembler_.reset();
        quietTicks_ = 0;
    }
    if (connectSequence_.onTick() == LinkResult::ClosePort) return LinkResult::ClosePort;
    requests_.onTick();
    positioner_.onTick();
    if (link_.seq.tickDelay()) {
        if (link_.seq.state == LinkState::PollDue) {
            positioner_.sendPoll();
        } else {
            connectSequence_.sendQuery(link_.seq.state);
        }
    }
    return LinkResult::None;
}

}  // namespace zr8
