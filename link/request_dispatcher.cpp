// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/request_dispatcher.h"

#include <cstring>

#include "link/frames.h"
#include "link/manual_move.h"
#include "link/reply_decode.h"
#include "link/request_message.h"
#include "link/status_codes.h"
#include "link/wire.h"

namespace zr8 {

namespace {

constexpr uint8_t kArgOne = 0x01;
constexpr uint8_t kReadCommands[] = {CmdReadEncoders, CmdReadEncoders1, CmdReadEncoders2};

}  // namespace

void RequestDispatcher::dispatch(const uint8_t* message, size_t length) {
    // Arguments a short message does not carry read as 0.
    uint8_t m[kMessageCapacity] = {};
    std::memcpy(m, message, length < kMessageCapacity ? length : kMessageCapacity);
    if (messageBodyLength(m[0]) == 0) return;
    const uint8_t* arg = m + 2;
    switch (static_cast<LinkRequest>(m[1])) {
    case LinkRequest::StoreSettings:
        // The one request that waits its turn: a store must not swallow
        // another request's reply as its confirmation. A position read's
        // reply is told apart by its command byte.
        if (link_.seq.state != LinkState::Idle && link_.seq.state != LinkState::AxisReadSent) {
            link_.listener.onStatus(StatusCommunicationError);
            break;
        }
        link_.seq.state = LinkState::StoreSettingsSent;
        sendCommandB(link_.transport, CmdStoreSettings, kArgOne);
        break;
    case LinkRequest::ManualMove: {
        const ManualMoveCommand move = manualMoveFor(arg[0], arg[1], link_.mount);
        sendCommandBBW(link_.transport, CmdManualSpeed, 0x00, move.axisMask,
                       static_cast<uint32_t>(move.speed));
        link_.listener.onStatus(StatusManualMovement);
        break;
    }
    case LinkRequest::Stop:
        sendCommandBB(link_.transport, CmdStopAxes, 0x00, stopAxisMask(arg[0]));
        link_.listener.onStatus(StatusReady);
        break;
    case LinkRequest::Tracking:
        sendCommandBB(link_.transport, CmdTracking, 0x00, arg[0]);
        break;
    case LinkRequest::MotorReverse:
        link_.seq.state = LinkState::Idle;
        sendCommandBBBB(link_.transport, CmdWriteMotorReverse, 0x00, kAxisBoth, arg[0], arg[1]);
        break;
    case LinkRequest::PierSideMove:
        positioner_.pierSideMove(arg[0]);
        break;
    case LinkRequest::EncoderFormat: {
        storeWireFormat(link_.encoder, arg);
        link_.seq.state = LinkState::Idle;
        const uint8_t p[8] = {arg[0], arg[1], arg[2], arg[3], arg[4], arg[5], arg[6], arg[7]};
        sendCommandBx9(link_.transport, CmdWriteEncoderFormat, kArgOne, p);
        break;
    }
    case LinkRequest::ReadEncoders:
        link_.seq.state = LinkState::ReadEncodersSent;
        readSelector_ = arg[0];
        if (readSelector_ < std::size(kReadCommands)) {
            sendCommandB(link_.transport, kReadCommands[readSelector_], kArgOne);
        }
        break;
    case LinkRequest::ReadEncodersQuiet:  // its parameter is carried, and nothing uses it
        link_.seq.state = LinkState::ReadEncodersQuietSent;
        sendCommandB(link_.transport, CmdReadEncoders, kArgOne);
        break;
    case LinkRequest::EncoderCalibration:
        link_.encoder.reverseEncoder = arg[0];
        link_.encoder.raOffset = readI32(arg + 1);
        link_.encoder.decOffset = readI32(arg + 5);
        link_.seq.state = LinkState::CalibrationWriteSent;
        sendCommandBBWW(link_.transport, CmdWriteEncoderCalibration, kArgOne, arg[0],
                        readU32(arg + 1), readU32(arg + 5));
        break;
    case LinkRequest::Goto:
        positioner_.startPositioning(readI32(arg), readI32(arg + 4));
        break;
    case LinkRequest::MeridianFlipChoice: {
        const uint16_t choice = readU16(arg);
        if ((choice & 0xFF) != FlipChoiceCancel) positioner_.startMeridianFlip(choice);
        break;
    }
    case LinkRequest::ReadAxisPositions:
        // Only while nothing is awaited: a read must never take the place of
        // a move's acknowledgement or its poll. A busy link skips it; the
        // front end asks again at its next poll.
        if (link_.seq.state == LinkState::Idle) startAxisRead();
        break;
    case LinkRequest::Sync:
        if (positioner_.sync(readI32(arg), readI32(arg + 4)) &&
            link_.seq.state == LinkState::AxisReadSent)
            readStale_ = true;
        break;
    case LinkRequest::Abort:
        positioner_.abort();
        break;
    case LinkRequest::PierSide:
        positioner_.settleSide(arg[0]);
        break;
    default:  // 13 is reserved and has no effect; the rest are not requests
        break;
    }
}

void RequestDispatcher::startAxisRead() {
    link_.seq.state = LinkState::AxisReadSent;
    axisReadTicks_ = 0;
    readStale_ = false;
    sendCommandBB(link_.transport, CmdReadAxisPositions, kArgOne, kAxisBoth);
}

void RequestDispatcher::onTick() {
    if (link_.seq.state != LinkState::AxisReadSent) return;
    if (++axisReadTicks_ < kAxisReadTicks) return;
    link_.seq.state = LinkState::Idle;
    // The counters were synced since: read them once more for the front end.
    if (readStale_) startAxisRead();
}

bool RequestDispatcher::awaits(LinkState state) {
    return state == LinkState::ReadEncodersSent || state == LinkState::CalibrationWriteSent ||
           state == LinkState::StoreSettingsSent || state == LinkState::AxisReadSent;
}

uint8_t RequestDispatcher::commandAwaited(LinkState state) const {
    switch (state) {
    case LinkState::ReadEncodersSent:
        return readSelector_ < std::size(kReadCommands) ? kReadCommands[readSelector_] : 0;
    case LinkState::ReadEncodersQuietSent:
        return CmdReadEncoders;
    case LinkState::CalibrationWriteSent:
        return CmdWriteEncoderCalibration;
    case LinkState::StoreSettingsSent:
        return CmdStoreSettings;
    case LinkState::AxisReadSent:
        return CmdReadAxisPositions;
    default:
        return 0;
    }
}

void RequestDispatcher::onReply(const uint8_t* frame) {
    const LinkState answered = link_.seq.state;
    link_.seq.state = LinkState::Idle;
    answer(answered, frame);
}

void RequestDispatcher::answer(LinkState answered, const uint8_t* frame) {
    switch (answered) {
    case LinkState::ReadEncodersSent:
        // Only the plain read (0x7A) is decoded.
        if (readSelector_ == 0)
            link_.listener.onPositions(decodeEncoderReading(frame, link_.encoder));
        break;
    case LinkState::CalibrationWriteSent:
        link_.listener.onStatus(StatusCalibrationUpdated);
        break;
    case LinkState::StoreSettingsSent:
        link_.listener.onStatus(StatusParametersStored);
        break;
    case LinkState::AxisReadSent: {
        if (readStale_) {
            // Read again unless a move has taken the link meanwhile.
            readStale_ = false;
            if (link_.seq.state == LinkState::Idle) startAxisRead();
            break;
        }
        const AxisPositions at = decodeAxisPositions(frame);
        AxisReading reading;
        reading.valid = 1;
        reading.raSteps = static_cast<int32_t>(at.ra);
        reading.decSteps = static_cast<int32_t>(at.dec);
        reading.pierState = static_cast<int32_t>(positioner_.pierState());
        link_.listener.onAxisPositions(reading);
        break;
    }
    default:
        break;
    }
}

}  // namespace zr8
