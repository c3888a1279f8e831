// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The running controller link: a request pipe, one worker thread that serves
// it, and the serial port with its reader thread.
//
// Threads:
// - Every iZR6Control operation (and onHeartBeat) may be called from any
//   thread. It writes one message into the pipe under pipeLock and returns
//   at once; results come back through iNotificationListener.
// - The worker thread alone runs the link's logic, writes frames to the port
//   and calls the listener. It lives from construction to shutdown().
// - The serial reader thread (SerialLine's) runs while a port is open and
//   only forwards received bytes into the pipe; when the device goes away it
//   says so once and ends, and the worker closes the port ("connection
//   lost").
// - shutdown() is called once, on the owner's thread, after the heartbeat
//   stopped ticking this link. After it returns no thread of the link runs
//   and the listener is not called again. The destructor shuts down if that
//   was not done.
//
// Lock order: the heartbeat's lock, then the pipe's. Nothing is called while
// the pipe's lock is held.

#include <cstdint>
#include <memory>
#include <thread>

#include "link/line_tap.h"
#include "link/link_transport.h"
#include "link/notification_listener.h"
#include "link/records.h"
#include "link/request_message.h"
#include "link/request_pipe.h"
#include "link/sky_clock.h"
#include "link/zr6_control.h"
#include "platform/port_catalogue.h"
#include "platform/serial_line.h"
#include "platform/waitable_event.h"

namespace zr8 {

class LinkEngine;

class CommControl final : public iZR6Control, private iLinkTransport, private iLineReceiver {
public:
    // The worker reads the pipe in slices of this many bytes, and wakes up
    // at least this often while idle.
    static constexpr size_t kPipeSlice = 20;
    static constexpr int kWorkerWaitMs = 300;
    // The limit on one frame write.
    static constexpr int kWriteTimeoutMs = 1000;

    // Creates the pipe and starts the worker. `ports` maps the connect
    // request's port number to a device; `initialFormat` gives the eight
    // format bytes the link starts with; `tap`, when given, sees what crosses
    // the line. All references must outlive the link.
    CommControl(iNotificationListener& listener, const iSkyClock& clock,
                const EncoderConfig& initialFormat, PortCatalogue& ports, iLineTap* tap = nullptr);
    ~CommControl() override;

    CommControl(const CommControl&) = delete;
    CommControl& operator=(const CommControl&) = delete;

    // False when the pipe or the worker could not be created; the link then
    // executes nothing and reports nothing, and its operations return at
    // once.
    bool running() const { return workerStarted_; }

    void onHeartBeat() override;
    void connect(uint8_t portNumber, uint32_t baudRate) override;
    void disconnect() override;
    void storeSettings() override;
    void manualMove(uint8_t direction, uint8_t speedStep) override;
    void stopMotion(uint8_t selector) override;
    void setTracking(uint8_t on) override;
    void pierSideMove(uint8_t selector) override;
    void gotoPosition(int32_t raTarget, int32_t decTarget) override;
    void meridianFlipChoice(uint16_t choice) override;
    void setMotorReverse(uint8_t reverseBits, uint8_t motorOption) override;
    void setEncoderFormat(const uint8_t (&format)[8]) override;
    void setEncoderCalibration(uint8_t reverseBits, int32_t raOffset, int32_t decOffset) override;
    void readEncoders(uint8_t selector) override;
    void readEncodersQuiet(uint8_t parameter) override;
    void sendReserved(uint32_t a, uint32_t b) override;
    void readAxisPositions() override;
    void syncPosition(int32_t raTarget, int32_t decTarget) override;
    void abortMotion() override;
    void setPierSide(uint8_t pierState) override;

    // Ends the worker, then closes an open port without a status report.
    void shutdown();

private:
    // iLinkTransport, called by the engine on the worker thread (and by
    // shutdown once the worker has ended).
    bool openPort(uint8_t portNumber, uint32_t baudRate, ConnectionInfo& connection) override;
    void startReader(uint8_t portGeneration) override;
    void closePort() override;
    bool writePort(const uint8_t* bytes, int length) override;
    void pause(int milliseconds) override;

    // iLineReceiver, on the reader thread: into the pipe as serial-data
    // messages, giving up when the line closes.
    void onReceived(const uint8_t* bytes, size_t count, uint32_t tag,
                    const WaitableEvent& stop) override;
    void onLost(uint32_t tag, const WaitableEvent& stop) override;

    // Builds one request message on the stack with a request_message builder
    // and posts it.
    template <typename Build, typename... Args>
    void postBuilt(Build build, const Args&... args) {
        uint8_t message[kMessageCapacity];
        pipe_.post(message, build(message, args...));
    }
    void workerLoop();

    PortCatalogue& ports_;
    iLineTap* const tap_;
    RequestPipe pipe_;
    WaitableEvent workerQuit_;
    SerialLine line_{*this};  // opened, written and closed by the worker only

    std::unique_ptr<LinkEngine> engine_;  // the worker's; nobody else touches it

    bool workerStarted_ = false;
    bool shutDown_ = false;  // owner's thread only
    std::thread workerThread_;
};

}  // namespace zr8
