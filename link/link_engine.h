#pragma once
// The controller link's logic, free of threads and devices: everything the
// link's worker does with one request-pipe byte stream. It collects the
// messages, runs the connect and disconnect procedures, dispatches requests,
// sends command frames through iLinkTransport, assembles and interprets the
// controller's replies, counts heartbeat ticks and reports through
// iNotificationListener.
//
// Threading: not thread-safe and needs not be. Exactly one thread (the
// link's worker) calls into it; listener and transport calls happen on that
// thread, synchronously, from inside the call that caused them.
//
// Failures are status codes through the listener, never exceptions. Nothing
// is allocated after construction.

#include <cstddef>
#include <cstdint>

#include "link/link_transport.h"
#include "link/message_collector.h"
#include "link/notification_listener.h"
#include "link/records.h"
#include "link/reply_assembler.h"
#include "link/sky_clock.h"

namespace zr8 {

// linkState: the reply the link is waiting for.
enum LinkStateValue : int32_t {
    LinkNeverConnected = 0,
    LinkIdle = 2,
    LinkDelay = 3,            // waiting delayTicks, then nextState's request
    LinkIdentifySent = 4,
    LinkQuery03Sent = 5,
    LinkQuery02Sent = 6,
    LinkAxisQuerySent = 7,
    LinkMotorQuerySent = 8,
    LinkFormatQuerySent = 9,
    LinkCalibrationQuerySent = 10,
    LinkReadEncodersSent = 11,
    LinkReadEncodersQuietSent = 12,  // its reply is not evaluated
    LinkMoveSent = 14,
    LinkPollDue = 15,                // passing, straight to 16
    LinkPollSent = 16,
    LinkAxisPositionsSent = 18,
    LinkCalibrationWriteSent = 19,
    LinkStoreSettingsSent = 20,
};

// Results of feedReplyBytes and onTick for the worker.
enum LinkResult : int32_t {
    ResultNone = 0,
    ResultLinkReady = 1,   // the connect sequence completed
    ResultClosePort = 2,   // the controller was rejected or did not answer
};

inline constexpr int32_t kConnectTimeoutTicks = 40;
inline constexpr int32_t kIdentifyDelayTicks = 2;
// A reply that has stopped arriving for this many ticks is given up; so is
// one that a new request finds silent for one tick fewer (a whole tick's
// length, far beyond the longest reply's time on the line).
inline constexpr int32_t kReplyGapTicks = 3;
inline constexpr int32_t kPollDelayTicks = 8;
inline constexpr int kConnectPauseMs = 500;

// Kinds of move the positioning follows to completion.
enum MoveKind : int32_t {
    MoveSlew = 0,       // a sky target, with one correction pass
    MoveHalfTurn = 2,   // the side-of-pier move
};

class LinkEngine {
public:
    // Takes the eight format bytes of `initialFormat` (fields 1 to 8) only.
    LinkEngine(iNotificationListener& listener, iLinkTransport& transport,
               const iSkyClock& clock, const EncoderConfig& initialFormat);
    LinkEngine(const LinkEngine&) = delete;
    LinkEngine& operator=(const LinkEngine&) = delete;

    // The request-pipe byte stream, in any slicing. Each complete message
    // is processed at once: heartbeat -> onTick, serial data ->
    // feedReplyBytes, connect / disconnect -> their procedures, other
    // requests -> dispatchRequest, control C1 01 -> port lost.
    void feedPipeBytes(const uint8_t* bytes, size_t count);

    // Teardown: closes an open port without a status report.
    void closeQuietly();

    bool portOpen() const { return portOpen_; }
    bool linkReady() const { return linkReady_; }

    // The steps feedPipeBytes is made of, for callers that hold one message
    // or one chunk of serial data already.

    // Reply bytes from the controller. Returns the weightiest result of the
    // replies completed in the chunk (ResultClosePort over ResultLinkReady
    // over ResultNone). Does not act on it: feedPipeBytes does.
    int32_t feedReplyBytes(const uint8_t* bytes, size_t count);
    // One heartbeat; ResultClosePort when the connect sequence timed out.
    int32_t onTick();
    // One request message (header, code, arguments). Arguments past
    // `length` read as 0.
    void dispatchRequest(const uint8_t* message, size_t length);

    // Read-only state.
    int32_t linkState() const { return linkState_; }
    int32_t nextState() const { return nextState_; }
    int32_t delayTicks() const { return delayTicks_; }
    int32_t connectTimeoutTicks() const { return connectTimeoutTicks_; }
    int32_t pierState() const { return pierState_; }
    uint8_t readSelector() const { return readSelector_; }
    uint8_t readParameter() const { return readParameter_; }
    const MountConfig& mountConfig() const { return mount_; }
    const EncoderConfig& encoderConfig() const { return encoder_; }
    const EncoderPositions& positions() const { return positions_; }
    uint32_t raHalfTurn() const { return raHalfTurn_; }
    double raStepsPerHour() const { return raStepsPerHour_; }
    double decStepsPerHour() const { return decStepsPerHour_; }
    double targetRaHours() const { return targetRaHours_; }
    double targetDecDegrees() const { return targetDecDegrees_; }
    int32_t raTargetSteps() const { return raTargetSteps_; }
    int32_t decTargetSteps() const { return decTargetSteps_; }
    bool targetWestSide() const { return targetWestSide_; }
    int32_t moveKind() const { return moveKind_; }
    int32_t correctionCount() const { return correctionCount_; }

private:
    void processMessage(const uint8_t* message, size_t length);
    void connectProcedure(uint8_t portNumber, uint32_t baudRate);
    void disconnectProcedure();
    void closePort();
    void beginConnectSequence();

    int32_t onReply(const uint8_t* frame, size_t length);
    void sendStateRequest();
    void deriveAxisQuantities();
    void decodeEncoderReading(const uint8_t* frame);
    void storeAxisReply(const uint8_t* frame);
    void storeMotorReply(const uint8_t* frame);

    void stopAxes(uint8_t selector);
    void pierSideMove(uint8_t selector);
    void startManualMove(uint8_t direction, uint8_t speedIndex);
    void startPositioning(int32_t raArcsec, int32_t decArcsec);
    void startMeridianFlip(uint16_t choice);
    void slew(bool westSide, double meridianOffset);
    void recomputeRaTarget();
    void onAxisPositions(const uint8_t* frame);
    void onMotionStatus(const uint8_t* frame);
    void sendMove();
    void waitThenPoll();
    void finishMove();

    iNotificationListener& listener_;
    iLinkTransport& transport_;
    const iSkyClock& clock_;

    MessageCollector collector_;
    ReplyAssembler assembler_;

    int32_t connectTimeoutTicks_ = 0;
    int32_t delayTicks_ = 0;
    int32_t quietTicks_ = 0;  // ticks since the last reply byte, while a reply is half received
    int32_t linkState_ = LinkNeverConnected;
    int32_t nextState_ = LinkIdle;
    bool portOpen_ = false;
    bool linkReady_ = false;
    uint8_t portGeneration_ = 0;  // counts openings; port-lost notices name one

    ConnectionInfo connection_;
    MountConfig mount_;
    EncoderConfig encoder_;
    EncoderPositions positions_;
    uint8_t readSelector_ = 0;
    uint8_t readParameter_ = 0;

    uint32_t raHalfTurn_ = 0;
    double raStepsPerHour_ = 0.0;
    double decStepsPerHour_ = 0.0;

    int32_t pierState_ = 0;
    double targetRaHours_ = 0.0;
    double targetDecDegrees_ = 0.0;
    int32_t raTargetSteps_ = 0;
    int32_t decTargetSteps_ = 0;
    bool targetWestSide_ = false;
    int32_t moveKind_ = MoveSlew;
    int32_t correctionCount_ = 0;
};

}  // namespace zr8
