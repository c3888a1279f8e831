// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/comm_control.h"

#include <memory>
#include <system_error>
#include <utility>

#include "link/link_engine.h"
#include "link/request_message.h"
#include "text/text_format.h"

namespace zr8 {

CommControl::CommControl(iNotificationListener& listener, const iSkyClock& clock,
                         const EncoderConfig& initialFormat, PortCatalogue& ports, iLineTap* tap)
    : ports_(ports),
      tap_(tap),
      engine_(std::make_unique<LinkEngine>(listener, static_cast<iLinkTransport&>(*this), clock,
                                           initialFormat)) {
    if (pipe_.valid() && workerQuit_.valid()) {
        try {
            workerThread_ = std::thread([this] { workerLoop(); });
            workerStarted_ = true;
        } catch (const std::system_error&) {
            // No thread: the link executes and reports nothing, as with no pipe.
        }
    }
    // Nobody will ever read the pipe: a writer must not wait for room in it
    // (the heartbeat would, with its lock held, and teardown behind it).
    if (!workerStarted_) pipe_.releaseWriters();
}

CommControl::~CommControl() { shutdown(); }

void CommControl::onHeartBeat() { postBuilt(buildHeartbeatMessage); }

void CommControl::connect(uint8_t portNumber, uint32_t baudRate) {
    postBuilt(buildConnectMessage, portNumber, baudRate);
}

void CommControl::disconnect() { postBuilt(buildDisconnectMessage); }

void CommControl::storeSettings() { postBuilt(buildStoreSettingsMessage); }

void CommControl::manualMove(uint8_t direction, uint8_t speedStep) {
    postBuilt(buildManualMoveMessage, direction, speedStep);
}

void CommControl::stopMotion(uint8_t selector) { postBuilt(buildStopMessage, selector); }

void CommControl::setTracking(uint8_t on) { postBuilt(buildTrackingMessage, on); }

void CommControl::pierSideMove(uint8_t selector) { postBuilt(buildPierSideMoveMessage, selector); }

void CommControl::gotoPosition(int32_t raTarget, int32_t decTarget) {
    postBuilt(buildGotoMessage, raTarget, decTarget);
}

void CommControl::meridianFlipChoice(uint16_t choice) {
    postBuilt(buildMeridianFlipChoiceMessage, choice);
}

void CommControl::setMotorReverse(uint8_t reverseBits, uint8_t motorOption) {
    postBuilt(buildMotorReverseMessage, reverseBits, motorOption);
}

void CommControl::setEncoderFormat(const uint8_t (&format)[8]) {
    postBuilt(buildEncoderFormatMessage, format);
}

void CommControl::setEncoderCalibration(uint8_t reverseBits, int32_t raOffset, int32_t decOffset) {
    postBuilt(buildEncoderCalibrationMessage, reverseBits, raOffset, decOffset);
}

void CommControl::readEncoders(uint8_t selector) { postBuilt(buildReadEncodersMessage, selector); }

void CommControl::readEncodersQuiet(uint8_t parameter) {
    postBuilt(buildReadEncodersQuietMessage, parameter);
}

void CommControl::sendReserved(uint32_t a, uint32_t b) { postBuilt(buildReservedMessage, a, b); }

void CommControl::readAxisPositions() { postBuilt(buildReadAxisPositionsMessage); }

void CommControl::syncPosition(int32_t raTarget, int32_t decTarget) {
    postBuilt(buildSyncMessage, raTarget, decTarget);
}

void CommControl::abortMotion() { postBuilt(buildAbortMessage); }

void CommControl::setPierSide(uint8_t pierState) { postBuilt(buildPierSideMessage, pierState); }

void CommControl::shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    workerQuit_.set();
    if (workerThread_.joinable()) workerThread_.join();
    // The worker is gone: the engine is ours now. Closing stops the reader
    // before the port's handle goes.
    engine_->closeQuietly();
    line_.close();  // a reader whose device was lost may still need awaiting
    // Nobody reads the pipe any more; late writers must not wait for room.
    pipe_.releaseWriters();
}

void CommControl::workerLoop() {
    uint8_t slice[kPipeSlice];
    for (;;) {
        size_t received = 0;
        switch (pipe_.read(slice, sizeof slice, received, workerQuit_, kWorkerWaitMs)) {
        case BytePipe::ReadOutcome::Data:
            engine_->feedPipeBytes(slice, received);
            break;
        case BytePipe::ReadOutcome::TimedOut:
            break;
        case BytePipe::ReadOutcome::Quit:
            return;
        case BytePipe::ReadOutcome::Failed:
            // Cannot happen while the pipe lives; wait for quit rather than spin.
            if (workerQuit_.wait(kWorkerWaitMs)) return;
            break;
        }
    }
}

namespace {

template <size_t N>
void copyText(char (&to)[N], const std::string& from) {
    appendText(to, 0, N, from.c_str());
}

}  // namespace

bool CommControl::openPort(uint8_t portNumber, uint32_t baudRate, ConnectionInfo& connection) {
    PortEntry entry;
    std::string device;
    std::shared_ptr<iByteStream> served;
    PortError error;
    bool opened = ports_.resolve(portNumber, entry, device, served, error);
    if (opened) {
        opened = served ? line_.open(std::move(served)) : line_.open(device, baudRate);
        error = line_.lastError();
    }
    const bool provided = entry.kind == PortKind::Provided;
    connection.simulated = provided;
    connection.baudRate = baudRate;
    copyText(connection.device, provided ? entry.description : device);
    copyText(connection.description, provided ? std::string() : entry.description);
    if (!opened) {
        connection.failure = error.code;
        if (!error.device.empty()) copyText(connection.device, error.device);
        copyText(connection.reason,
                 error.systemMessage.empty() ? portErrorName(error.code) : error.systemMessage);
        copyText(connection.remedy, error.remedy);
    }
    return opened;
}

void CommControl::startReader(uint8_t portGeneration) {
    // Without a reader nothing is received; the connect sequence times out
    // with its status.
    line_.startReader(portGeneration);
}

void CommControl::closePort() {
    line_.close();
    if (tap_ != nullptr) tap_->onClosed();
}

bool CommControl::writePort(const uint8_t* bytes, int length) {
    if (length <= 0) return false;
    if (tap_ != nullptr) tap_->onSent(bytes, static_cast<size_t>(length));
    // Shutdown cuts a write to a stalled device short, as it does the pause.
    return line_.write(bytes, static_cast<size_t>(length), kWriteTimeoutMs, &workerQuit_);
}

void CommControl::pause(int milliseconds) {
    // Quit cuts the pause short so that shutdown is never held up by it.
    workerQuit_.wait(milliseconds);
}

void CommControl::onReceived(const uint8_t* bytes, size_t count, uint32_t,
                             const WaitableEvent& stop) {
    if (tap_ != nullptr) tap_->onReceived(bytes, count);
    pipe_.postSerialData(bytes, count, &stop);
}

void CommControl::onLost(uint32_t tag, const WaitableEvent& stop) {
    // Said once; the worker closes the port, which awaits the reader.
    if (tap_ != nullptr) tap_->onLost();
    uint8_t notice[kMessageCapacity];
    pipe_.post(notice, buildPortLostMessage(notice, static_cast<uint8_t>(tag)), &stop);
}

}  // namespace zr8
