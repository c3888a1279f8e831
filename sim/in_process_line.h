// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated ZR8 serving a serial line inside this process, for systems
// without pseudo-terminals: the link writes command frames into it and reads
// the replies back, as it would from a COM port. Frames are cut and answered
// by zr8-sim's own decoder and controller model, with its frame gap, so the
// replies and their timing are zr8-sim's with no fault injected: a frame is
// answered the moment its last byte is written.
//
// One client at a time: attach() opens the line for it, close() ends it and
// drops what it left unread. The controller's settings (stored ones
// included) live as long as the object.
//
// Threads: as iByteStream (write and close on one thread, readSome on
// another); attach on the thread that then writes.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/byte_stream.h"
#include "platform/waitable_event.h"
#include "sim/controller.h"
#include "sim/controller_settings.h"
#include "sim/frame_codec.h"

namespace zr8::sim {

class InProcessLine final : public iByteStream {
public:
    // Unread reply bytes the line holds; more are dropped, as on a wire to a
    // client that does not read.
    static constexpr size_t kReplyBuffer = 8192;

    explicit InProcessLine(SimConfig config = {});

    // False when the controller could not start (an unreadable state file;
    // error() says why).
    bool ok() const;
    std::string error() const;

    // Opens the line for a new client.
    void attach();

    // Complete frames answered so far.
    uint32_t framesHandled() const;
    MountSnapshot snapshot() const;

    bool isOpen() const override;
    bool write(const uint8_t* bytes, size_t count, int timeoutMs,
               const WaitableEvent* giveUp) override;
    ReadOutcome readSome(uint8_t* buffer, size_t capacity, size_t& received,
                         const WaitableEvent& stop) override;
    void close() override;

private:
    using Clock = std::chrono::steady_clock;

    SimTime simNow() const;
    void queueLocked(const ReplyFrame& reply);
    void clearLocked();

    const double timeScale_;
    const Clock::time_point epoch_ = Clock::now();

    mutable std::mutex lock_;
    // Guarded by lock_:
    Controller controller_;
    FrameDecoder decoder_;
    Clock::time_point lastByte_;
    std::array<uint8_t, kReplyBuffer> replies_{};
    size_t replyHead_ = 0;
    size_t replyCount_ = 0;
    uint32_t framesHandled_ = 0;
    bool open_ = false;

    WaitableEvent repliesWaiting_;  // set while replies_ holds bytes
};

}  // namespace zr8::sim
