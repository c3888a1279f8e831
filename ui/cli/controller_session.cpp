// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/controller_session.h"

#include <algorithm>

#include "app/heart_beat.h"
#include "link/comm_control.h"
#include "link/status_codes.h"
#include "platform/port_catalogue.h"
#include "ui/cli/line_trace.h"

namespace zr8::cli {

namespace {
constexpr const char* kAwaitingAxes = "the axis position";
constexpr const char* kAwaitingSlew = "the mount to reach its target";
}  // namespace

ControllerSession::ControllerSession(LinkEvents& events, PortCatalogue& ports,
                                     std::chrono::milliseconds timeout, LineTrace& line,
                                     double longitude)
    : events_(events),
      ports_(ports),
      line_(line),
      timeout_(timeout),
      clock_(longitude),
      mount_(clock_, nullptr),  // LinkEvents wakes the waits
      heartBeat_(std::make_unique<HeartBeat>()) {
    events_.forwardTo(&mount_);
    link_ = std::make_unique<CommControl>(events_, clock_, initialEncoderFormat(), ports_, &line_);
    mount_.attach(link_.get());
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

void ControllerSession::serviceMount(SlewProgress* progress) {
    mount::MountEvent events[mount::MountSession::kEventCapacity];
    mount::MountState state;
    const size_t n = mount_.service(events, std::size(events), state);
    if (progress == nullptr) return;
    for (size_t i = 0; i < n; ++i) {
        if (events[i].kind == mount::MountEventKind::FlipAnswered) {
            progress->answers.push_back({events[i].value, events[i].detail == FlipChoiceWithFlip});
        }
    }
    progress->pierState = state.pierState;
}

Result ControllerSession::readAxes(mount::MountState& state) {
    const EventMark from = events_.mark();
    mount_.requestPosition();
    const Result r = await(from, {}, LinkEvents::Record::Axes, kAwaitingAxes);
    serviceMount(nullptr);
    state = mount_.snapshot();
    return r;
}

Result ControllerSession::settlePierSide() {
    mount::MountState state;
    // The session tells the link the side this first reading shows before
    // anything counts by it; a refusal fails the next wait.
    return readAxes(state);
}

Result ControllerSession::slewTo(const mount::SkyPosition& sky, mount::FlipPolicy policy,
                                 const std::function<void(const SlewProgress&)>& watch,
                                 SlewProgress& progress) {
    if (Result r = settlePierSide(); !r) return r;
    mount_.setFlipPolicy(policy);
    const EventMark from = events_.mark();
    if (mount_.slewTo(sky) != nullptr) return {WaitEnd::Failed, StatusNotConnectedYet, ""};
    moving_ = slewing_ = true;
    const auto start = std::chrono::steady_clock::now();
    auto heard = start;  // the controller's last sign of life
    uint64_t received = line_.receivedBytes();
    EventMark wake = from;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        const WaitResult w = events_.waitFor(wake, {StatusReady}, LinkEvents::Record::FlipQuestion,
                                             std::min(now + kSlewProgressPeriod, heard + timeout_),
                                             interruptsAllowed_);
        wake.flipQuestions = events_.mark().flipQuestions;
        serviceMount(&progress);  // answers the flip questions
        progress.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        if (w.end == WaitEnd::Failed || w.end == WaitEnd::Interrupted) {
            return {w.end, w.status, kAwaitingSlew};
        }
        if (events_.statusSince(from, StatusReady)) break;
        // The link polls every two seconds while the axes move: each answer
        // is a sign of life.
        if (const uint64_t bytes = line_.receivedBytes(); bytes != received) {
            received = bytes;
            heard = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() >= heard + timeout_) {
            return {WaitEnd::TimedOut, -1, kAwaitingSlew};
        }
        if (w.end == WaitEnd::TimedOut) watch(progress);
    }
    moving_ = slewing_ = false;
    return {};
}

Result ControllerSession::syncTo(const mount::SkyPosition& sky, mount::MountState& state) {
    if (Result r = settlePierSide(); !r) return r;
    const EventMark from = events_.mark();
    if (mount_.syncTo(sky) != nullptr) return {WaitEnd::Failed, StatusNotConnectedYet, ""};
    const Result r = await(from, {}, LinkEvents::Record::Axes, kAwaitingAxes);
    serviceMount(nullptr);
    state = mount_.snapshot();
    return r;
}

Result ControllerSession::abortSlew() {
    const EventMark from = events_.mark();
    mount_.abort();
    if (Result r = await(from, {StatusReady}, LinkEvents::Record::None, "the stop"); !r) return r;
    // The answer to the move or its poll may still be on its way, and would
    // be taken for the next reading's.
    readingInFlight_ = true;
    Result r = fence();
    if (r) moving_ = slewing_ = false;
    return r;
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
        const Result r = slewing_ ? abortSlew() : stopMotion();
        outcome = r                               ? ExitStop::Confirmed
                  : r.end == WaitEnd::Interrupted ? ExitStop::NotWaited
                  : r.end == WaitEnd::TimedOut    ? ExitStop::Unconfirmed
                                                  : ExitStop::NotSent;
    }
    closed_ = true;
    heartBeat_->clearListener();  // no tick in progress or to come
    link_->shutdown();            // no link thread reports any more
    mount_.attach(nullptr);
    link_.reset();
    heartBeat_->stop();
    return outcome;
}

}  // namespace zr8::cli
