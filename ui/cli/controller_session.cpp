// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/controller_session.h"

#include <algorithm>

#include "app/heart_beat.h"
#include "app/sky_time.h"
#include "link/comm_control.h"
#include "link/sky_clock.h"
#include "link/status_codes.h"
#include "platform/port_catalogue.h"

namespace zr8::cli {

namespace {
// The observer's longitude the dialog program uses; zr8ctl never positions,
// but the link asks for a clock.
constexpr double kLongitude = 19.5;

// The encoder format the link starts with until the controller reports its own.
EncoderConfig initialFormat() {
    EncoderConfig format;
    format.raLeadingBits = format.decLeadingBits = 12;
    format.raBitsPerRev = format.decBitsPerRev = 25;
    return format;
}
}  // namespace

struct ControllerSession::Clock final : iSkyClock {
    long double localSiderealTime() const override {
        return localSiderealTimeAt(currentUtcTime(), kLongitude);
    }
};

ControllerSession::ControllerSession(LinkEvents& events, PortCatalogue& ports,
                                     std::chrono::milliseconds timeout, iLineTap& tap)
    : events_(events),
      ports_(ports),
      timeout_(timeout),
      clock_(std::make_unique<Clock>()),
      heartBeat_(std::make_unique<HeartBeat>()) {
    link_ = std::make_unique<CommControl>(events_, *clock_, initialFormat(), ports_, &tap);
    heartBeat_->setListener(link_.get());
    heartBeat_->start();
}

ControllerSession::~ControllerSession() { close(events_.interruptions()); }

Result ControllerSession::await(const EventMark& from, std::initializer_list<int32_t> wanted,
                                LinkEvents::Record record, const char* awaited) {
    const WaitResult r = events_.waitFor(
        from, wanted, record, std::chrono::steady_clock::now() + timeout_, interruptsAllowed_);
    return {r.end, r.status, awaited};
}

Result ControllerSession::connect(uint8_t portNumber, uint32_t baudRate) {
    portNumber_ = portNumber;
    baudRate_ = baudRate;
    readingInFlight_ = false;  // nothing comes back from an earlier opening
    const EventMark from = events_.mark();
    link_->connect(portNumber, baudRate);
    const std::chrono::milliseconds timeout = timeout_;
    timeout_ += kConnectPauses;
    const Result r = await(from, {}, LinkEvents::Record::Configuration, kAwaitingConnection);
    timeout_ = timeout;
    // Kept while the port is open: a failed open leaves its reason here.
    connection_ = events_.connection();
    return r;
}

Result ControllerSession::reconnect() {
    const EventMark from = events_.mark();
    link_->disconnect();
    if (Result r =
            await(from, {StatusConnectionClosed}, LinkEvents::Record::None, "the port to close");
        !r) {
        return r;
    }
    return connect(portNumber_, baudRate_);
}

Result ControllerSession::readPositions(EncoderPositions& positions) {
    const Result r = fence();
    if (r) positions = events_.positions();
    return r;
}

Result ControllerSession::fence() {
    // A reading whose wait was cut short may still come back, and the link
    // takes it for the answer to the next one, which then proves nothing
    // about what was sent since; the second reading after it does.
    for (int readings = readingInFlight_ ? 2 : 1; readings > 0; --readings) {
        const EventMark from = events_.mark();
        link_->readEncoders(0);
        const Result r = await(from, {}, LinkEvents::Record::Positions, "an encoder reading");
        readingInFlight_ = !r;
        if (!r) return r;
    }
    return {};
}

Result ControllerSession::writeFormat(const WireFormat& format) {
    uint8_t bytes[8];
    std::copy(format.begin(), format.end(), bytes);
    link_->setEncoderFormat(bytes);
    return fence();
}

Result ControllerSession::writeCalibration(uint8_t reverseBits, int32_t raOffset,
                                           int32_t decOffset) {
    const EventMark from = events_.mark();
    link_->setEncoderCalibration(reverseBits, raOffset, decOffset);
    return await(from, {StatusCalibrationUpdated}, LinkEvents::Record::None,
                 "the calibration to be confirmed");
}

Result ControllerSession::writeMotorReverse(uint8_t reverseBits, uint8_t motorOption) {
    link_->setMotorReverse(reverseBits, motorOption);
    return fence();
}

Result ControllerSession::setTracking(bool on) {
    link_->setTracking(on ? kTrackingOn : kTrackingOff);
    return fence();
}

Result ControllerSession::startMove(uint8_t direction, uint8_t speedStep) {
    const EventMark from = events_.mark();
    moving_ = true;
    link_->manualMove(direction, speedStep);
    if (Result r =
            await(from, {StatusManualMovement}, LinkEvents::Record::None, "the move to start");
        !r) {
        return r;
    }
    return fence();
}

Result ControllerSession::stopMotion() {
    const EventMark from = events_.mark();
    link_->stopMotion(kStopBothAxes);
    if (Result r = await(from, {StatusReady}, LinkEvents::Record::None, "the stop"); !r) return r;
    Result r = fence();
    if (r) moving_ = false;
    return r;
}

Result ControllerSession::stop() { return stopMotion(); }

Result ControllerSession::store() {
    const EventMark from = events_.mark();
    link_->storeSettings();
    return await(from, {StatusParametersStored}, LinkEvents::Record::None,
                 "the settings to be stored");
}

Result ControllerSession::pause(std::chrono::milliseconds duration) {
    const WaitResult r =
        events_.waitFor(events_.mark(), {}, LinkEvents::Record::None,
                        std::chrono::steady_clock::now() + duration, interruptsAllowed_);
    if (r.end == WaitEnd::TimedOut) return {};
    return {r.end, r.status, ""};
}

bool ControllerSession::stopsOnClose() const {
    return !closed_ && moving_ && (!leaveMoving_ || events_.interrupted());
}

ExitStop ControllerSession::close(int interruptsSeen) {
    if (closed_) return ExitStop::NotNeeded;
    ExitStop outcome = ExitStop::NotNeeded;
    // Neither an interrupt nor a failure leaves the mount running; only an
    // interrupt beyond those that led here cuts this wait short.
    if (stopsOnClose()) {
        interruptsAllowed_ = interruptsSeen;
        timeout_ = std::min(timeout_, kExitStopWait);
        const Result r = stopMotion();
        outcome = r                               ? ExitStop::Confirmed
                  : r.end == WaitEnd::Interrupted ? ExitStop::NotWaited
                  : r.end == WaitEnd::TimedOut    ? ExitStop::Unconfirmed
                                                  : ExitStop::NotSent;
    }
    closed_ = true;
    heartBeat_->clearListener();  // no tick in progress or to come
    link_->shutdown();            // no link thread reports any more
    link_.reset();
    heartBeat_->stop();
    return outcome;
}

}  // namespace zr8::cli
