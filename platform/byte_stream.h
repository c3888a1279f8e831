// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two directions of a serial line as the link's transport uses them: a
// COM port or tty (SerialPort), or a stand-in that serves the line inside
// this process (the built-in simulated controller where the system has no
// pseudo-terminals).
//
// Threads: write and close on one thread (the link's worker, or teardown
// once the worker has ended); readSome on one reader thread, which must have
// ended before close is called. Reads and writes may run at the same time.

#include <cstddef>
#include <cstdint>

#include "platform/waitable_event.h"

namespace zr8 {

class iByteStream {
public:
    enum class ReadOutcome { Data, Stopped, Lost };

    virtual bool isOpen() const = 0;

    // Writes all bytes, waiting at most `timeoutMs` for the line to take
    // them; true when it took them all in time. The wait also ends when
    // `giveUp` (if given) is set. Nothing stays pending after the call.
    virtual bool write(const uint8_t* bytes, size_t count, int timeoutMs,
                       const WaitableEvent* giveUp) = 0;

    // Waits for received bytes or for `stop`. Data: `received` holds
    // 1..capacity bytes. Lost: the other end went away for good. `stop` is
    // checked before every read, so a stream of data cannot keep the reader
    // from stopping.
    virtual ReadOutcome readSome(uint8_t* buffer, size_t capacity, size_t& received,
                                 const WaitableEvent& stop) = 0;

    // Discards unsent and unread bytes and closes. Safe when closed.
    virtual void close() = 0;

protected:
    ~iByteStream() = default;
};

}  // namespace zr8
