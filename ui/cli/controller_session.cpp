// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/controller_session.h"

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
                                     std::chrono::milliseconds timeout)
    : events_(events),
      ports_(ports),
      timeout_(timeout),
      clock_(std::make_unique<Clock>()),
      heartBeat_(std::make_unique<HeartBeat>()) {
    link_ = std::make_unique<CommControl>(events_, *clock_, initialFormat(), ports_);
    heartBeat_->setListener(link_.get());
    heartBeat_->start();
}

ControllerSession::~ControllerSession() { close(); }

Deadline ControllerSession::deadline() const { return std::chrono::steady_clock::now() + timeout_; }

Result ControllerSession::await(const EventMark& from, std::initializer_list<int32_t> wanted,
                                LinkEvents::Record record, const char* awaited,
                                bool interruptible) {
    const WaitResult r = events_.waitFor(from, wanted, record, deadline(), interruptible);
    return {r.end, r.status, awaited};
}

Result ControllerSession::connect(uint8_t portNumber, uint32_t baudRate) {
    portNumber_ = portNumber;
    baudRate_ = baudRate;
    const EventMark from = events_.mark();
    link_->connect(portNumber, baudRate);
    const Result r = await(from, {}, LinkEvents::Record::Configuration, kAwaitingConnection);
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
    const EventMark from = events_.mark();
    link_->readEncoders(0);
    const Result r = await(from, {}, LinkEvents::Record::Positions, "an encoder reading");
    if (r) positions = events_.positions();
    return r;
}

Result ControllerSession::fence(bool interruptible) {
    const EventMark from = events_.mark();
    link_->readEncoders(0);
    return await(from, {}, LinkEvents::Record::Positions, "an encoder reading", interruptible);
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

Result ControllerSession::stopMotion(bool interruptible) {
    const EventMark from = events_.mark();
    link_->stopMotion(kStopBothAxes);
    if (Result r = await(from, {StatusReady}, LinkEvents::Record::None, "the stop", interruptible);
        !r) {
        return r;
    }
    Result r = fence(interruptible);
    if (r) moving_ = false;
    return r;
}

Result ControllerSession::stop() { return stopMotion(true); }

Result ControllerSession::store() {
    const EventMark from = events_.mark();
    link_->storeSettings();
    return await(from, {StatusParametersStored}, LinkEvents::Record::None,
                 "the settings to be stored");
}

Result ControllerSession::pause(std::chrono::milliseconds duration) {
    if (events_.sleepUntil(std::chrono::steady_clock::now() + duration)) return {};
    return {WaitEnd::Interrupted, -1, ""};
}

void ControllerSession::close() {
    if (closed_) return;
    closed_ = true;
    // Neither an interrupt nor a failure leaves the mount running; this wait
    // is not cut short by the interrupt that may have asked for it.
    if (moving_ && (!leaveMoving_ || events_.interrupted())) stopMotion(false);
    heartBeat_->clearListener();  // no tick in progress or to come
    link_->shutdown();            // no link thread reports any more
    link_.reset();
    heartBeat_->stop();
}

}  // namespace zr8::cli
