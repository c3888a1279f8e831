// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Serves the simulated ZR8 on a pseudo-terminal. Clients open slavePath()
// like any serial port (raw 8N1; the baud rate is accepted and ignored) and
// may open and close it as often as they like.
//
// Threads: start() launches one server thread that alone reads and writes
// the master side and drives the controller. The other members may be
// called from any thread; they lock one mutex, which the server thread holds
// only while it handles a frame. The trace sink is called on the server
// thread without that lock held.
//
// Errors: start() returns false and describes the failure (pty calls, or an
// unreadable state file); nothing else reports errors.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "sim/controller.h"
#include "sim/controller_settings.h"

namespace zr8::sim {

struct FaultConfig {
    bool silent = false;            // never answer
    bool wrongIdentify = false;     // answer identify as a different device would
    int replyDelayMs = 0;           // hold every reply this long
    bool byteByByte = false;        // deliver replies one byte per write, ~1 ms apart
    bool noise = false;             // a few bytes other than 0x55 before every reply
    int truncateReplyNumber = 0;    // 0 = none; cut the Nth reply short (1 = the first)
    int hangUpAfterFrames = 0;      // 0 = never; close the pty once N frames are answered
    int stallReadsAfterFrames = 0;  // 0 = never; read nothing more once N frames arrived, so
                                    // the client's writes back up and finally block
    uint8_t ignoredCommand = 0;     // 0 = none; one of Controller::kIgnorableCommands, answered
                                    // as usual but not carried out
};

// ClientGone: the last client closed the slave (unread replies were dropped).
enum class TraceDirection { Received, Sent, Skipped, HungUp, ClientGone };

class PtyServer {
public:
    using TraceSink = std::function<void(TraceDirection, std::span<const uint8_t>)>;

    explicit PtyServer(SimConfig config = {}, FaultConfig faults = {});
    ~PtyServer();  // stops
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Set before start(): sees every received frame, every write of reply
    // bytes, skipped bytes, clients leaving and the hang-up.
    void setTraceSink(TraceSink sink);

    bool start(std::string* error = nullptr);
    void stop();                    // joins the thread, closes the master; safe to call twice
    std::string slavePath() const;  // e.g. /dev/pts/7; empty before start()
    bool running() const;           // started, not stopped, not hung up

    // Every complete frame received (0xAA and the length included), in order.
    std::vector<std::vector<uint8_t>> receivedFrames() const;
    bool waitForFrames(size_t count, std::chrono::milliseconds timeout) const;
    // Replies handed to the pty so far (a truncated one counts), and the hang-up.
    size_t repliesSent() const;
    bool waitForReplies(size_t count, std::chrono::milliseconds timeout) const;
    bool hungUp() const;

    MountSnapshot snapshot() const;
    // The store-settings failure of the last store, empty if none.
    std::string storeError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zr8::sim
