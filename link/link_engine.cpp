#include "link/link_engine.h"

#include <cstring>

#include "link/frames.h"
#include "link/manual_move.h"
#include "link/positioning.h"
#include "link/request_message.h"
#include "link/status_codes.h"

namespace zr8 {

namespace {

uint32_t readU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t readU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

int32_t readI32(const uint8_t* p) { return static_cast<int32_t>(readU32(p)); }

// Reply layouts: frame indices.
constexpr size_t kIdentifyLength = 5;
constexpr size_t kAxisReplyRa = 4;
constexpr size_t kAxisReplyDec = 17;
constexpr size_t kMotorFlags = 4;
constexpr size_t kMotorBlockRa = 6;
constexpr size_t kMotorBlockDec = 33;
constexpr size_t kPollStatusRa = 4;
constexpr size_t kPollStatusDec = 5;
constexpr uint8_t kAxisMoving = 2;  // motion status above this: still moving
constexpr size_t kPositionRa = 6;
constexpr size_t kPositionDec = 10;

constexpr uint8_t kArgOne = 0x01;
constexpr uint64_t kArcsecPerTurn = 1296000;

// One motor block's fields, as named after their offsets.
struct MotorFields {
    uint32_t& speedFactor;
    uint16_t &m2, &m3, &m5, &m7, &m9;
    uint8_t &m11, &m12, &m13, &m14, &m15, &m16, &m17;
    uint16_t &m18, &m20;
    uint8_t& m22;
    uint32_t& m23;
};

void storeMotorBlock(const uint8_t* b, const MotorFields& f) {
    f.speedFactor = readU16(b);
    f.m2 = b[2];
    f.m3 = readU16(b + 3);
    f.m5 = readU16(b + 5);
    f.m7 = readU16(b + 7);
    f.m9 = readU16(b + 9);
    f.m11 = b[11];
    f.m12 = b[12];
    f.m13 = b[13];
    f.m14 = b[14];
    f.m15 = b[15];
    f.m16 = b[16];
    f.m17 = b[17];
    f.m18 = readU16(b + 18);
    f.m20 = readU16(b + 20);
    f.m22 = b[22];
    f.m23 = readU32(b + 23);
}

}  // namespace

LinkEngine::LinkEngine(iNotificationListener& listener, iLinkTransport& transport,
                       const iSkyClock& clock, const EncoderConfig& initialFormat)
    : listener_(listener), transport_(transport), clock_(clock) {
    copyFormatBytes(encoder_, initialFormat);
}

// ---- The request pipe -------------------------------------------------------

void LinkEngine::feedPipeBytes(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (collector_.push(bytes[i])) processMessage(collector_.message(), collector_.length());
    }
}

void LinkEngine::processMessage(const uint8_t* message, size_t length) {
    const size_t n = messageBodyLength(message[0]);
    switch (messageKind(message[0])) {
    case MessageKind::Heartbeat:
        if (portOpen_ && onTick() == ResultClosePort) closePort();
        break;
    case MessageKind::SerialData:
        if (portOpen_) {
            const int32_t result = feedReplyBytes(message + 1, n);
            if (result == ResultLinkReady) linkReady_ = true;
            if (result == ResultClosePort) closePort();
        }
        break;
    case MessageKind::Control:
        if (n >= 2 && message[1] == kControlPortLost && message[2] == portGeneration_ &&
            portOpen_) {
            closePort();
            listener_.onStatus(StatusConnectionLost);
        }
        break;
    case MessageKind::Request: {
        if (n == 0) break;
        const uint8_t code = message[1];
        if (code < static_cast<uint8_t>(LinkRequest::Connect) ||
            code > static_cast<uint8_t>(LinkRequest::MeridianFlipChoice)) {
            break;
        }
        if (code == static_cast<uint8_t>(LinkRequest::Connect) && n == 6) {
            connectProcedure(message[2], readU32(message + 3));
        } else if (code == static_cast<uint8_t>(LinkRequest::Disconnect)) {
            disconnectProcedure();
        } else if (linkReady_) {
            dispatchRequest(message, length);
        } else {
            listener_.onStatus(StatusNotConnectedYet);
        }
        break;
    }
    }
}

void LinkEngine::connectProcedure(uint8_t portNumber, uint32_t baudRate) {
    if (portOpen_) {
        listener_.onStatus(StatusAlreadyConnected);
        return;
    }
    listener_.onStatus(StatusOpeningPort);
    connection_ = ConnectionInfo{};
    if (!transport_.openPort(portNumber, baudRate, connection_)) {
        connection_.state = LineState::OpenFailed;
        listener_.onConnection(connection_);
        listener_.onStatus(StatusCannotOpenPort);
        return;
    }
    portOpen_ = true;
    ++portGeneration_;
    transport_.startReader(portGeneration_);
    connection_.state = LineState::Open;
    listener_.onConnection(connection_);
    listener_.onStatus(StatusConnecting);
    // The controller needs a moment after the line opens before it listens.
    transport_.pause(kConnectPauseMs);
    beginConnectSequence();
}

void LinkEngine::disconnectProcedure() {
    if (portOpen_) {
        closePort();
        listener_.onStatus(StatusConnectionClosed);
    } else {
        listener_.onStatus(StatusNotConnectedYet);
    }
}

void LinkEngine::closeQuietly() {
    if (portOpen_) {
        transport_.closePort();
        portOpen_ = false;
        linkReady_ = false;
    }
}

void LinkEngine::closePort() {
    closeQuietly();
    connection_ = ConnectionInfo{};
    listener_.onConnection(connection_);
}

void LinkEngine::beginConnectSequence() {
    assembler_.reset();
    pierState_ = PierEast;
    mount_.connectMarker = 7;
    encoder_.reverseEncoder = 0;
    encoder_.raOffset = 0;
    encoder_.decOffset = 0;
    connectTimeoutTicks_ = kConnectTimeoutTicks;
    linkState_ = LinkIdentifySent;
    sendCommand(transport_, CmdIdentify);
}

// ---- Requests ---------------------------------------------------------------

void LinkEngine::dispatchRequest(const uint8_t* message, size_t length) {
    // Arguments a short message does not carry read as 0.
    uint8_t m[kMessageCapacity] = {};
    std::memcpy(m, message, length < kMessageCapacity ? length : kMessageCapacity);
    if (messageBodyLength(m[0]) == 0) return;
    if (!linkReady_) {
        listener_.onStatus(StatusNotConnectedYet);
        return;
    }
    // Asked again after a whole tick without a byte of the reply under way:
    // that reply is dead, and its remains must not swallow the new answer.
    if (assembler_.inFrame() && quietTicks_ >= kReplyGapTicks - 1) {
        assembler_.reset();
        quietTicks_ = 0;
    }
    const uint8_t* arg = m + 2;
    switch (static_cast<LinkRequest>(m[1])) {
    case LinkRequest::StoreSettings:
        if (linkState_ == LinkIdle) {
            linkState_ = LinkStoreSettingsSent;
            sendCommandB(transport_, CmdStoreSettings, kArgOne);
        } else {
            listener_.onStatus(StatusCommunicationError);
        }
        break;
    case LinkRequest::ManualMove:
        startManualMove(arg[0], arg[1]);
        break;
    case LinkRequest::Stop:
        stopAxes(arg[0]);
        listener_.onStatus(StatusReady);
        break;
    case LinkRequest::Tracking:
        sendCommandBB(transport_, CmdTracking, 0x00, arg[0]);
        break;
    case LinkRequest::MotorReverse:
        linkState_ = LinkIdle;
        sendCommandBBBB(transport_, CmdWriteMotorReverse, 0x00, kAxisBoth, arg[0], arg[1]);
        break;
    case LinkRequest::PierSideMove:
        pierSideMove(arg[0]);
        break;
    case LinkRequest::EncoderFormat: {
        const uint8_t p[8] = {arg[0], arg[1], arg[2], arg[3], arg[4], arg[5], arg[6], arg[7]};
        encoder_.raFlags = p[0];
        encoder_.raLeadingBits = p[1];
        encoder_.raBitsPerRev = p[2];
        encoder_.raBitsForRevs = p[3];
        encoder_.decFlags = p[4];
        encoder_.decLeadingBits = p[5];
        encoder_.decBitsPerRev = p[6];
        encoder_.decBitsForRevs = p[7];
        linkState_ = LinkIdle;
        sendCommandBx9(transport_, CmdWriteEncoderFormat, kArgOne, p);
        break;
    }
    case LinkRequest::ReadEncoders: {
        linkState_ = LinkReadEncodersSent;
        readSelector_ = arg[0];
        constexpr uint8_t kReadCommands[3] = {CmdReadEncoders, CmdReadEncoders1, CmdReadEncoders2};
        if (readSelector_ < 3) sendCommandB(transport_, kReadCommands[readSelector_], kArgOne);
        break;
    }
    case LinkRequest::ReadEncodersQuiet:
        linkState_ = LinkReadEncodersQuietSent;
        readParameter_ = arg[0];
        sendCommandB(transport_, CmdReadEncoders, kArgOne);
        break;
    case LinkRequest::EncoderCalibration:
        encoder_.reverseEncoder = arg[0];
        encoder_.raOffset = readI32(arg + 1);
        encoder_.decOffset = readI32(arg + 5);
        linkState_ = LinkCalibrationWriteSent;
        sendCommandBBWW(transport_, CmdWriteEncoderCalibration, kArgOne, arg[0], readU32(arg + 1),
                        readU32(arg + 5));
        break;
    case LinkRequest::Goto:
        startPositioning(readI32(arg), readI32(arg + 4));
        break;
    case LinkRequest::MeridianFlipChoice: {
        const uint16_t choice = readU16(arg);
        if ((choice & 0xFF) != 0) startMeridianFlip(choice);  // 0: the operator cancelled
        break;
    }
    default:  // 13 is reserved and has no effect; the rest are not requests
        break;
    }
}

void LinkEngine::stopAxes(uint8_t selector) {
    sendCommandBB(transport_, CmdStopAxes, 0x00, stopAxisMask(selector));
}

void LinkEngine::startManualMove(uint8_t direction, uint8_t speedIndex) {
    const ManualMoveCommand move = manualMoveFor(direction, speedIndex, mount_);
    sendCommandBBW(transport_, CmdManualSpeed, 0x00, move.axisMask,
                   static_cast<uint32_t>(move.speed));
    listener_.onStatus(StatusManualMovement);
}

void LinkEngine::pierSideMove(uint8_t selector) {
    const uint32_t quarterRa = mount_.raMicrostepResolution >> 2;
    const uint32_t quarterDec = mount_.decMicrostepResolution >> 2;
    switch (selector) {
    case 1:  // east side: the meridian at declination 0 from the east
        pierState_ = PierEast;
        sendCommandBBWW(transport_, CmdSetAxisPositions, kArgOne, kAxisBoth, 0u - quarterRa,
                        quarterDec);
        break;
    case 2:
        pierState_ = PierFlipToEast;
        linkState_ = LinkAxisPositionsSent;
        sendCommandBB(transport_, CmdReadAxisPositions, kArgOne, kAxisBoth);
        break;
    case 3:  // west side: the same point from the west
        pierState_ = PierWest;
        sendCommandBBWW(transport_, CmdSetAxisPositions, kArgOne, kAxisBoth, quarterRa,
                        0u - quarterDec);
        break;
    case 4:
        pierState_ = PierFlipToWest;
        linkState_ = LinkAxisPositionsSent;
        sendCommandBB(transport_, CmdReadAxisPositions, kArgOne, kAxisBoth);
        break;
    default:
        break;
    }
}

// ---- Replies and ticks -------------------------------------------------------

int32_t LinkEngine::feedReplyBytes(const uint8_t* bytes, size_t count) {
    // A later reply in the same chunk must not hide a finished connect
    // sequence or a rejection from the worker.
    int32_t result = ResultNone;
    if (count > 0) quietTicks_ = 0;
    while (count > 0) {
        bool completed = false;
        const size_t used = assembler_.feed(bytes, count, completed);
        bytes += used;
        count -= used;
        if (completed) {
            const int32_t replyResult = onReply(assembler_.frame(), assembler_.length());
            if (replyResult > result) result = replyResult;
        }
    }
    return result;
}

int32_t LinkEngine::onReply(const uint8_t* frame, size_t length) {
    // `frame` reads as 0 past `length` up to the assembler's decode window,
    // so the fixed layouts below never see an earlier frame's bytes.
    switch (linkState_) {
    case LinkIdentifySent:
        if (frame[1] == kIdentifyLength && frame[2] == CmdIdentify) {
            mount_.identityWord = readU32(frame + 3);
            linkState_ = LinkDelay;
            nextState_ = LinkQuery03Sent;
            delayTicks_ = kIdentifyDelayTicks;
            return ResultNone;
        }
        listener_.onStatus(StatusNotSupportedDevice);
        linkState_ = LinkIdle;
        return ResultClosePort;
    case LinkQuery03Sent:
        mount_.reply3Byte = length >= 4 ? frame[3] : 0;
        mount_.reply3Spare = 0;
        linkState_ = LinkQuery02Sent;
        sendCommand(transport_, CmdSetupQuery02);
        break;
    case LinkQuery02Sent:
        mount_.reply2Word = readU32(frame + 3);
        linkState_ = LinkAxisQuerySent;
        sendCommand(transport_, CmdSetupQuery14);
        break;
    case LinkAxisQuerySent:
        storeAxisReply(frame);
        linkState_ = LinkMotorQuerySent;
        sendCommand(transport_, CmdSetupQuery15);
        break;
    case LinkMotorQuerySent:
        storeMotorReply(frame);
        linkState_ = LinkFormatQuerySent;
        sendCommand(transport_, CmdReadEncoderFormat);
        break;
    case LinkFormatQuerySent:
        encoder_.raFlags = frame[3];
        encoder_.raLeadingBits = frame[4];
        encoder_.raBitsPerRev = frame[5];
        encoder_.raBitsForRevs = frame[6];
        encoder_.decFlags = frame[7];
        encoder_.decLeadingBits = frame[8];
        encoder_.decBitsPerRev = frame[9];
        encoder_.decBitsForRevs = frame[10];
        linkState_ = LinkCalibrationQuerySent;
        sendCommand(transport_, CmdReadEncoderCalibration);
        break;
    case LinkCalibrationQuerySent:
        encoder_.reverseEncoder = frame[3];
        encoder_.raOffset = readI32(frame + 4);
        encoder_.decOffset = readI32(frame + 8);
        linkState_ = LinkIdle;
        deriveAxisQuantities();
        listener_.onConfiguration(StatusConnected, 1, mount_, encoder_);
        return ResultLinkReady;
    case LinkReadEncodersSent:
        linkState_ = LinkIdle;
        // Only the plain read (0x7A) is decoded.
        if (readSelector_ == 0) decodeEncoderReading(frame);
        break;
    case LinkMoveSent:
        waitThenPoll();
        break;
    case LinkPollSent:
        onMotionStatus(frame);
        break;
    case LinkAxisPositionsSent:
        onAxisPositions(frame);
        break;
    case LinkCalibrationWriteSent:
        linkState_ = LinkIdle;
        listener_.onStatus(StatusCalibrationUpdated);
        break;
    case LinkStoreSettingsSent:
        linkState_ = LinkIdle;
        listener_.onStatus(StatusParametersStored);
        break;
    default:  // no reply awaited: ignore it
        break;
    }
    return ResultNone;
}

void LinkEngine::storeAxisReply(const uint8_t* frame) {
    mount_.raAxisByte = frame[kAxisReplyRa];
    mount_.raGearRatio = readU32(frame + kAxisReplyRa + 1);
    mount_.raMicrostepResolution = readU32(frame + kAxisReplyRa + 5);
    mount_.raBaseSpeed = readU32(frame + kAxisReplyRa + 9);
    mount_.decAxisByte = frame[kAxisReplyDec];
    mount_.decGearRatio = readU32(frame + kAxisReplyDec + 1);
    mount_.decMicrostepResolution = readU32(frame + kAxisReplyDec + 5);
    mount_.decBaseSpeed = readU32(frame + kAxisReplyDec + 9);
}

void LinkEngine::storeMotorReply(const uint8_t* frame) {
    MountConfig& m = mount_;
    m.reverseMotor = frame[kMotorFlags];
    m.motorOption = frame[kMotorFlags + 1];
    storeMotorBlock(frame + kMotorBlockRa,
                    {m.raSpeedFactor, m.raMotor2, m.raMotor3, m.raMotor5, m.raMotor7, m.raMotor9,
                     m.raMotor11, m.raMotor12, m.raMotor13, m.raMotor14, m.raMotor15, m.raMotor16,
                     m.raMotor17, m.raMotor18, m.raMotor20, m.raMotor22, m.raMotor23});
    storeMotorBlock(frame + kMotorBlockDec,
                    {m.decSpeedFactor, m.decMotor2, m.decMotor3, m.decMotor5, m.decMotor7,
                     m.decMotor9, m.decMotor11, m.decMotor12, m.decMotor13, m.decMotor14,
                     m.decMotor15, m.decMotor16, m.decMotor17, m.decMotor18, m.decMotor20,
                     m.decMotor22, m.decMotor23});
}

void LinkEngine::deriveAxisQuantities() {
    raHalfTurn_ = mount_.raMicrostepResolution >> 1;
    raStepsPerHour_ = mount_.raMicrostepResolution / 24.0;
    decStepsPerHour_ = mount_.decMicrostepResolution / 24.0;
    mount_.raMaxSpeed = mount_.raBaseSpeed * mount_.raSpeedFactor;
    mount_.decMaxSpeed = mount_.decBaseSpeed * mount_.decSpeedFactor;
    encoder_.raCountsPerRev = uint64_t{1} << (encoder_.raBitsPerRev % 64);
    encoder_.decCountsPerRev = uint64_t{1} << (encoder_.decBitsPerRev % 64);
}

void LinkEngine::decodeEncoderReading(const uint8_t* frame) {
    // Scaled with the format as it is now, which a format request may have
    // changed since the last connect.
    const uint64_t ra = readU32(frame + 3);
    const uint64_t dec = readU32(frame + 7);
    positions_.raRaw = ra;
    positions_.decRaw = dec;
    positions_.raArcsec = static_cast<int32_t>(
        static_cast<uint32_t>(ra * kArcsecPerTurn / (uint64_t{1} << (encoder_.raBitsPerRev % 64))));
    positions_.decArcsec = static_cast<int32_t>(static_cast<uint32_t>(
        dec * kArcsecPerTurn / (uint64_t{1} << (encoder_.decBitsPerRev % 64))));
    positions_.valid = 1;
    listener_.onPositions(positions_);
}

int32_t LinkEngine::onTick() {
    // A reply cut short on the line is dropped after a pause that no whole
    // reply has; otherwise the next reply's bytes would complete it and be
    // taken for its data.
    if (!assembler_.inFrame()) {
        quietTicks_ = 0;
    } else if (++quietTicks_ >= kReplyGapTicks) {
        assembler_.reset();
        quietTicks_ = 0;
    }
    if (connectTimeoutTicks_ > 0) {
        --connectTimeoutTicks_;
        // Every step of the connect sequence is covered, the last query and
        // the delay after identify included: none of them may leave the
        // operator on "Connecting..." for ever.
        const bool sequenceRunning =
            (linkState_ >= LinkIdentifySent && linkState_ <= LinkCalibrationQuerySent) ||
            (linkState_ == LinkDelay && nextState_ == LinkQuery03Sent);
        if (connectTimeoutTicks_ == 0 && sequenceRunning) {
            listener_.onStatus(StatusCannotConnect);
            return ResultClosePort;
        }
    }
    if (linkState_ == LinkDelay) {
        if (delayTicks_ > 0) --delayTicks_;
        if (delayTicks_ == 0) {
            linkState_ = nextState_;
            nextState_ = LinkIdle;
            sendStateRequest();
        }
    }
    return ResultNone;
}

void LinkEngine::sendStateRequest() {
    switch (linkState_) {
    case LinkQuery03Sent:
        sendCommand(transport_, CmdSetupQuery03);
        break;
    case LinkQuery02Sent:
        sendCommand(transport_, CmdSetupQuery02);
        break;
    case LinkAxisQuerySent:
        sendCommand(transport_, CmdSetupQuery14);
        break;
    case LinkMotorQuerySent:
        sendCommand(transport_, CmdSetupQuery15);
        break;
    case LinkFormatQuerySent:
        sendCommand(transport_, CmdReadEncoderFormat);
        break;
    case LinkPollDue:
        linkState_ = LinkPollSent;
        sendCommandB(transport_, CmdPollMotion, kArgOne);
        break;
    default:
        break;
    }
}

// ---- Positioning ---------------------------------------------------------------

void LinkEngine::startPositioning(int32_t raArcsec, int32_t decArcsec) {
    if (pierState_ != PierEast && pierState_ != PierWest) {
        // A flip is under way; the new target is not taken.
        listener_.onMeridianFlipQuery(FlipCaseUnsettled);
        return;
    }
    targetRaHours_ = raArcsec / kArcsecPerRaHour;
    targetDecDegrees_ = decArcsec / kArcsecPerDegree;
    const double d = meridianOffsetHours(targetRaHours_, clock_.localSiderealTime());
    const GotoDecision decision = decideGoto(pierState_, d);
    if (decision.flipCase != FlipCaseNone) {
        listener_.onMeridianFlipQuery(decision.flipCase);
        return;
    }
    slew(decision.westSide, d);
}

void LinkEngine::startMeridianFlip(uint16_t choice) {
    const FlipChoiceOutcome outcome = applyFlipChoice(pierState_, choice);
    pierState_ = outcome.pierState;
    slew(outcome.westSide, meridianOffsetHours(targetRaHours_, clock_.localSiderealTime()));
}

void LinkEngine::slew(bool westSide, double d) {
    const AxisTargets targets =
        targetsForSide(westSide, d, targetDecDegrees_, raStepsPerHour_, decStepsPerHour_);
    raTargetSteps_ = targets.raSteps;
    decTargetSteps_ = targets.decSteps;
    targetWestSide_ = westSide;
    moveKind_ = MoveSlew;
    correctionCount_ = 0;
    linkState_ = LinkMoveSent;
    sendMove();
    listener_.onStatus(StatusPositioning);
}

void LinkEngine::recomputeRaTarget() {
    // The sky has turned while the axes moved.
    const double d = meridianOffsetHours(targetRaHours_, clock_.localSiderealTime());
    raTargetSteps_ = targetsForSide(targetWestSide_, d, targetDecDegrees_, raStepsPerHour_,
                                    decStepsPerHour_)
                         .raSteps;
}

void LinkEngine::sendMove() {
    sendCommandBBWW(transport_, CmdPositionAxes, kArgOne, kAxisBoth,
                    static_cast<uint32_t>(raTargetSteps_), static_cast<uint32_t>(decTargetSteps_));
}

void LinkEngine::waitThenPoll() {
    nextState_ = LinkPollDue;
    delayTicks_ = kPollDelayTicks;
    linkState_ = LinkDelay;
}

void LinkEngine::onMotionStatus(const uint8_t* frame) {
    if (frame[kPollStatusDec] > kAxisMoving || frame[kPollStatusRa] > kAxisMoving) {
        waitThenPoll();
        return;
    }
    if (moveKind_ == MoveSlew && correctionCount_ == 0) {
        recomputeRaTarget();
        correctionCount_ = 1;
        linkState_ = LinkMoveSent;
        sendMove();
        return;
    }
    finishMove();
}

void LinkEngine::finishMove() {
    if (pierState_ == PierFlipToEast) pierState_ = PierEast;
    if (pierState_ == PierFlipToWest) pierState_ = PierWest;
    linkState_ = LinkIdle;
    listener_.onStatus(StatusReady);
}

void LinkEngine::onAxisPositions(const uint8_t* frame) {
    const uint32_t ra = readU32(frame + kPositionRa);
    const uint32_t dec = readU32(frame + kPositionDec);
    // Half a turn away on RA, mirrored on Dec; 32-bit wrap-around as the
    // controller counts.
    raTargetSteps_ =
        static_cast<int32_t>(pierState_ == PierFlipToEast ? ra - raHalfTurn_ : ra + raHalfTurn_);
    decTargetSteps_ = static_cast<int32_t>(0u - dec);
    moveKind_ = MoveHalfTurn;
    correctionCount_ = 0;
    linkState_ = LinkMoveSent;
    sendMove();
}

}  // namespace zr8
