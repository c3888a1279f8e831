// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link's request pipe: every producer (the public operations, the
// heartbeat, the serial reader) posts whole messages; the worker alone reads.
// One lock keeps the messages whole.
//
// A producer that must not be held up for ever (the serial reader, which
// the worker awaits when it closes the port) passes a give-up event: it then
// stops waiting, for the lock as for room in a full pipe, as soon as the
// event is set. Otherwise a writer that holds the lock while it waits for a
// full pipe to drain, a reader waiting for that lock and a worker awaiting
// the reader would wait on one another for ever.

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/byte_pipe.h"
#include "platform/waitable_event.h"

namespace zr8 {

class RequestPipe {
public:
    // How often a producer with a give-up event tries the lock again.
    static constexpr int kGiveUpCheckMs = 2;

    bool valid() const { return pipe_.valid(); }

    // Any thread. False when the message was not written (given up, or the
    // writers were released).
    bool post(const uint8_t* message, size_t length, const WaitableEvent* giveUp = nullptr);

    // Received bytes as serial-data messages of at most 31 bytes each, in
    // order. False when one could not be posted; the rest is dropped then.
    bool postSerialData(const uint8_t* bytes, size_t count, const WaitableEvent* giveUp);

    size_t capacity() const { return pipe_.capacity(); }

    // The worker only: waits up to `timeoutMs` for bytes or for `quit`.
    BytePipe::ReadOutcome read(uint8_t* buffer, size_t capacity, size_t& received,
                               const WaitableEvent& quit, int timeoutMs) {
        return pipe_.read(buffer, capacity, received, quit, timeoutMs);
    }

    // Once nobody reads any more: no writer waits for room from now on.
    void releaseWriters() { pipe_.releaseWriters(); }

private:
    std::mutex lock_;  // held for one write of one message
    BytePipe pipe_;
};

}  // namespace zr8
